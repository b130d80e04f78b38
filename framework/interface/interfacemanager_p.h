#pragma once

#include "motioncontrol.h"
#include "pointdata.h"
#include "projectdata.h"
#include "variabledata.h"
#include "robotio.h"

#include <QHash>
#include <QMap>
#include <QMetaObject>
#include <QStringList>
#include <QVariant>

#include <functional>

namespace tessel {

class InterfaceManager;

class InterfaceManagerPrivate
{
public:
    explicit InterfaceManagerPrivate(InterfaceManager *q);

    bool connected() const;
    void deliver(const QString &key, const QVariant &value);

    QMap<QString, std::function<void(const QVariant &)>> dataCallbacks;
    QMap<QString, QStringList> watchedKeys;
    // One change connection per watched key, so a key watched again delivers once.
    QHash<QString, QMetaObject::Connection> keyConnections;
    PointData points;
    MotionControl motion;
    VariableData variables;
    ProjectData projects;
    RobotIo io;
    InterfaceManager *const q;
};

} // namespace tessel
