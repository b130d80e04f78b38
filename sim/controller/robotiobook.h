#pragma once

#include <QJsonArray>
#include <QJsonValue>
#include <QStringList>
#include <QVector>

namespace sim {

// The controller's IO signals, registers, tools and work objects, served as command-service
// values (see README.md for the keys and their shapes).
class RobotIoBook
{
public:
    // Signal kinds as the controller numbers them.
    enum Kind { DI = 1, DO, GI, GO, AI, AO };

    struct Signal
    {
        QString name;
        int kind = DI;
        QJsonValue value;
    };

    static const QString SignalsKey;
    static const QString RegistersKey;
    static const QString ToolsKey;
    static const QString WobjsKey;
    static const QString CurrentKey;

    RobotIoBook();

    static QStringList keys();
    bool hasKey(const QString &key) const;
    QJsonValue value(const QString &key) const;

    QVector<Signal> signalList() const;
    // Inputs only (DI, GI, AI): outputs are the programs' to set. False for an unknown name,
    // an output, or a value that is not a number.
    bool setInput(const QString &name, const QJsonValue &value);

private:
    QVector<Signal> m_signals;
    QJsonArray m_registers;
};

} // namespace sim
