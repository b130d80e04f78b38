#pragma once

#include <tessel/rl/rlcontentbase.h>

class QComboBox;
class QSpinBox;

namespace tessel {

// The editor of "WaitDI <signal>, <value>": waits until a digital input has the value.
class WaitDIEditor : public RLContentBase
{
    Q_OBJECT

public:
    static const QString Name;

    explicit WaitDIEditor(QWidget *parent = nullptr);

    void FillWith(const QString &text) override;
    QString ToString() override;
    bool CheckInsert() override;
    bool CheckReplace() override;

private:
    QComboBox *m_signal;
    QSpinBox *m_value;
};

} // namespace tessel
