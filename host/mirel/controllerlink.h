#pragma once

#include "mirel_global.h"

#include <QJsonValue>
#include <QObject>

namespace mirel {

// One message to the robot controller. Every message is answered through
// ControllerLink::answered with the same id.
struct ControllerMessage
{
    enum Kind { Command, Get, Set, Watch };

    quint64 id = 0;
    Kind kind = Command;
    QString name;       // command, or command-service key
    QJsonValue payload; // Get: sub path or null; Set: {"sub", "value"}; Watch: bool
};

// The host's only way to a controller: an embedded simulator, a network link, or a real robot.
class MIREL_EXPORT ControllerLink : public QObject
{
    Q_OBJECT

public:
    explicit ControllerLink(QObject *parent = nullptr);
    ~ControllerLink() override;

    virtual bool isUp() const = 0;
    virtual QString address() const = 0;
    virtual void send(const ControllerMessage &message) = 0;
    // True for a controller outside the pendant's process, which cannot read its data tree.
    virtual bool isRemote() const;

signals:
    void up();
    // `expected` is true when the controller closed the link on purpose (a reboot).
    void down(bool expected);
    void answered(quint64 id, const QJsonValue &answer);
    // A watched command-service key changed.
    void valueChanged(const QString &key, const QJsonValue &value);
};

} // namespace mirel
