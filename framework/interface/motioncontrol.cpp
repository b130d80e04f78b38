#include "motioncontrol.h"

#include "interfacemanager.h"
#include "log/tessellog_p.h"
#include "pointdata.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>

#include <QJsonDocument>

namespace tessel {

namespace {

const QString kLastError = QStringLiteral("move.last_error_with_setting");
constexpr double kUnit = 1000.0;

QVariantList scaled(nabu::ModuleObject *node, const QStringList &keys)
{
    QVariantList values;
    for (const QString &key : keys) {
        nabu::ModuleObject *child = PointData::existing(node, key);
        values.append((child ? child->getDouble(0.0) : 0.0) / kUnit);
    }
    return values;
}

} // namespace

MotionControl::MotionControl(InterfaceManager *q)
    : q(q)
{
}

bool MotionControl::moveToCommands()
{
    const QString version = nabu::m(QStringLiteral("mirel.r.version"))->getString(QString());
    return version.startsWith(QLatin1String("2.3")) || version.startsWith(QLatin1String("3.0"))
           || version.startsWith(QLatin1String("3.1"));
}

void MotionControl::moveToStart(int &result, const QString &pointName, int speed, bool withConf,
                                bool jointMove)
{
    if (!PointData::findPoint(pointName, Qt::CaseSensitive)) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::moveToStart") << "no point find!";
        result = -1;
        return;
    }
    sv::Vantor *service = sv::vantor();
    service->execCommand(q, QStringLiteral("move.reset"), QVariant());
    // The reset is awaited with events running, and the point may have been recorded again or
    // removed meanwhile: look it up anew rather than keep the node found before.
    nabu::ModuleObject *point = PointData::findPoint(pointName, Qt::CaseSensitive);
    if (!point) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::moveToStart")
            << "point " << pointName << " went away during the reset";
        result = -1;
        return;
    }
    service->watch(q, kLastError, true);

    nabu::ModuleObject *position = PointData::existing(point, QStringLiteral("value.[0][0][0]"));
    nabu::ModuleObject request(QStringLiteral("tmp"));
    nabu::ModuleObject *target = request.append(q, QStringLiteral("point"));
    if (withConf) {
        QVariantList conf;
        nabu::ModuleObject *node = position ? PointData::existing(position, QStringLiteral("conf"))
                                            : nullptr;
        const QList<nabu::ModuleObject *> children =
            node ? node->cmobjs(false) : QList<nabu::ModuleObject *>();
        for (int i = 0; i < 8; ++i)
            conf.append(i < children.size() ? children.at(i)->getDouble(0.0) : 0.0);
        target->append(q, QStringLiteral("conf"))->setList(q, conf);
    }
    nabu::ModuleObject *frame =
        position ? PointData::existing(position, QStringLiteral("pose.frame")) : nullptr;
    nabu::ModuleObject *euler =
        frame ? PointData::existing(frame, QStringLiteral("ori.euler")) : nullptr;
    if (euler && euler->cmobjCount() > 0) {
        target->append(q, QStringLiteral("rot"))
            ->setList(q, scaled(euler, {QStringLiteral("a"), QStringLiteral("b"),
                                        QStringLiteral("c")}));
    }
    nabu::ModuleObject *pos = frame ? PointData::existing(frame, QStringLiteral("pos")) : nullptr;
    if (pos && pos->cmobjCount() > 0) {
        target->append(q, QStringLiteral("trans"))
            ->setList(q, scaled(pos, {QStringLiteral("x"), QStringLiteral("y"),
                                      QStringLiteral("z")}));
    }
    request.set(q, QStringLiteral("traj.speed"), speed / kUnit);

    TESSEL_LOG(Error, "tessel::InterfaceManager::moveToStart")
        << " moveToStart : "
        << QString::fromUtf8(QJsonDocument(request.exportToJson(true).toObject())
                                 .toJson(QJsonDocument::Compact));

    const QString kind = jointMove
                             ? (moveToCommands() ? QStringLiteral("jc") : QStringLiteral("j"))
                             : QStringLiteral("l");
    const QString command = moveToCommands() ? QStringLiteral("move.move_to.%1").arg(kind)
                                             : QStringLiteral("move.%1").arg(kind);
    service->command(q, command, &request);
    service->command(q, QStringLiteral("move.opr.enough"), QVariant());
}

void MotionControl::moveToStop()
{
    sv::Vantor *service = sv::vantor();
    service->watch(q, kLastError, false);
    if (moveToCommands()) {
        nabu::ModuleObject request(QStringLiteral("tmp"));
        request.set(q, QStringLiteral("task_space"), 1);
        service->command(q, QStringLiteral("move.stop"), &request);
    } else {
        service->command(q, QStringLiteral("move.stop"), QVariant());
    }
}

} // namespace tessel
