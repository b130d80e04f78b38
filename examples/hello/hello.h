#pragma once

#include <tessel/plugin/pluginbase.h>

class QLabel;

namespace tessel {

// The smallest complete plug-in: a page that follows the controller link, a status-bar item,
// a physical button, a command-service subscription, and log lines.
class Hello : public PluginBase
{
    Q_OBJECT

public:
    explicit Hello(QObject *parent);
    ~Hello() override;

    void init() override;

private:
    void showLink(bool up);

    QLabel *m_link = nullptr;
    QLabel *m_value = nullptr;
    QLabel *m_presses = nullptr;
    int m_pressCount = 0;
};

} // namespace tessel
