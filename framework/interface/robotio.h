#pragma once

#include <QHash>
#include <QJsonValue>
#include <QStringList>
#include <QVariant>

namespace tessel {

// IO signals, registers, tools and work objects as the host keeps them in its data tree.
// Reads only: nothing here talks to the controller.
class RobotIo
{
public:
    // -1 for a text that names no signal kind.
    static int signalKind(const QString &type);

    QStringList getIOByType(int kind) const;
    QHash<QString, QVariant> getIOHash() const;
    QJsonValue getRegisterValue() const;
    QHash<QString, QStringList> getRegisterHash() const;
    QStringList getToolList() const;
    QStringList getWobjList() const;
    QString getCurTool() const;
    QString getCurWobj() const;
};

} // namespace tessel
