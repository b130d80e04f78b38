#pragma once

#include <tessel/plugin/pluginbase.h>

#include <QPointer>

class QLabel;
class QListWidget;
class QTableWidget;
class QTimer;

namespace tessel {

// The robot's IO signals with their values, its registers, tools and work objects on one
// page, and the instruction "WaitDI" registered with the program editor.
class RlIo : public PluginBase
{
    Q_OBJECT

public:
    explicit RlIo(QObject *parent);
    ~RlIo() override;

    void init() override;

private:
    QWidget *buildPage();
    void registerInstruction();
    void refresh();

    // The page is the host's; it may go before the plug-in.
    QPointer<QWidget> m_page;
    QTableWidget *m_io = nullptr;
    QTableWidget *m_registers = nullptr;
    QListWidget *m_tools = nullptr;
    QListWidget *m_wobjs = nullptr;
    QLabel *m_current = nullptr;
    QTimer *m_timer = nullptr;
};

} // namespace tessel
