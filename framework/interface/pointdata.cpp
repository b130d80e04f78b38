#include "pointdata.h"

#include "interfacemanager.h"
#include "log/tessellog_p.h"

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>

#include <QDateTime>
#include <QJsonArray>

#include <memory>

namespace tessel {

namespace {

const QString kPointRoot = QStringLiteral("rovan.project.point");
const QString kHotPoints = QStringLiteral("rovan.project.point.hot_update.points");
const QString kHotOperate = QStringLiteral("rovan.project.point.hot_update.operate");
const QString kPosition = QStringLiteral("value.[0][0][0]");
const QString kPathCheck = QStringLiteral("move.path.check");
constexpr int kPathCheckTolerated = -50003;
constexpr int kRobPosTimeoutMs = 1600;

QStringList indexed(const QString &prefix, int count)
{
    QStringList keys;
    for (int i = 0; i < count; ++i)
        keys.append(QStringLiteral("%1.#%2").arg(prefix).arg(i));
    return keys;
}

QStringList jointKeys()
{
    return indexed(QStringLiteral("inner_pos"), 7) + indexed(QStringLiteral("extern_pos"), 6);
}

QStringList cartesianKeys()
{
    QStringList keys
        = {QStringLiteral("pose.frame.pos.x"),       QStringLiteral("pose.frame.pos.y"),
           QStringLiteral("pose.frame.pos.z"),       QStringLiteral("pose.elb"),
           QStringLiteral("pose.frame.ori.euler.a"), QStringLiteral("pose.frame.ori.euler.b"),
           QStringLiteral("pose.frame.ori.euler.c")};
    for (int i = 1; i <= 4; ++i)
        keys.append(QStringLiteral("pose.frame.ori.quaternion.q%1").arg(i));
    for (int i = 1; i <= 7; ++i)
        keys.append(QStringLiteral("conf.cf%1").arg(i));
    keys.append(QStringLiteral("conf.cfx"));
    return keys;
}

// The value at a dotted path of a JSON answer ("#k" is array element k); undefined if absent.
QJsonValue jsonAt(QJsonValue value, const QString &path)
{
    const QStringList segments = path.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    for (const QString &segment : segments) {
        if (segment.startsWith(QLatin1Char('#')) && value.isArray()) {
            bool ok = false;
            const int k = segment.mid(1).toInt(&ok);
            const QJsonArray array = value.toArray();
            if (!ok || k < 0 || k >= array.size())
                return QJsonValue(QJsonValue::Undefined);
            value = array.at(k);
        } else if (value.isObject()) {
            value = value.toObject().value(segment);
        } else {
            return QJsonValue(QJsonValue::Undefined);
        }
    }
    return value;
}

bool allNumbers(const QJsonValue &answer, const QStringList &paths)
{
    for (const QString &path : paths) {
        if (!jsonAt(answer, path).isDouble())
            return false;
    }
    return true;
}

// A point is only worth recording from an answer that holds the position it describes.
bool usableAnswer(const QJsonValue &answer, bool joint)
{
    if (joint) {
        const QJsonValue inner = jsonAt(answer, QStringLiteral("joint.inner_pos"));
        return inner.isArray() && !inner.toArray().isEmpty()
               && allNumbers(answer, {QStringLiteral("joint.inner_pos.#0")});
    }
    return allNumbers(answer, {QStringLiteral("cartesian.pose.frame.pos.x"),
                               QStringLiteral("cartesian.pose.frame.pos.y"),
                               QStringLiteral("cartesian.pose.frame.pos.z"),
                               QStringLiteral("cartesian.pose.frame.ori.euler.a"),
                               QStringLiteral("cartesian.pose.frame.ori.euler.b"),
                               QStringLiteral("cartesian.pose.frame.ori.euler.c")});
}

double numberAt(const QJsonValue &answer, const QString &path)
{
    return jsonAt(answer, path).toDouble(0.0);
}

} // namespace

PointData::PointData(InterfaceManager *q)
    : q(q)
{
}

nabu::ModuleObject *PointData::pointList()
{
    return nabu::m(kPointRoot)->c(QStringLiteral("_list"));
}

nabu::ModuleObject *PointData::findPoint(const QString &name, Qt::CaseSensitivity cs)
{
    const QList<nabu::ModuleObject *> points = pointList()->cmobjs(false);
    for (nabu::ModuleObject *point : points) {
        nabu::ModuleObject *key = existing(point, QStringLiteral("name"));
        if (key && key->getString(QString()).compare(name, cs) == 0)
            return point;
    }
    return nullptr;
}

nabu::ModuleObject *PointData::existing(nabu::ModuleObject *node, const QString &path)
{
    const QStringList segments = path.split(QLatin1Char('.'), Qt::SkipEmptyParts);
    for (const QString &segment : segments) {
        if (!node || !node->hasCmobj(segment, false))
            return nullptr;
        node = node->c(segment, false);
    }
    return node;
}

bool PointData::addCurrentPoint(const QString &name, bool joint, const QString &tool,
                                const QString &wobj)
{
    mirel::ControllerManager *controller = mirel::ManagerHelper::instance()->controllerManager();
    if (!controller->isLinkUp())
        return false;

    // Ask first: a lost or malformed answer must leave the list as it was.
    const QJsonObject where{{QStringLiteral("tool"), tool}, {QStringLiteral("wobj"), wobj}};
    const QJsonValue answer = controller
                                  ->execRequest(QStringLiteral("project"),
                                                QStringLiteral("rl_program.get_rob_pos"), where,
                                                true, kRobPosTimeoutMs)
                                  ->exportToJson(true);
    if (!usableAnswer(answer, joint)) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::addCurrentPoint")
            << "no usable " << (joint ? "joint" : "cartesian") << " position for " << name
            << " : " << answer;
        return false;
    }

    nabu::ModuleObject *list = pointList();
    const QList<nabu::ModuleObject *> points = list->cmobjs(false);
    for (nabu::ModuleObject *point : points) {
        nabu::ModuleObject *key = existing(point, QStringLiteral("name"));
        if (key && key->getString(QString()).compare(name, Qt::CaseInsensitive) == 0)
            list->remove(nullptr, point, true);
    }

    auto point = std::make_unique<nabu::ModuleObject>(nabu::ModuleObject::generateId(list));
    point->watch(true, false);
    point->copyFrom(nullptr, nabu::m(kPointRoot)->c(QStringLiteral("default")), true, false);
    point->set(nullptr, QStringLiteral("id"), list->cmobjCount());
    point->set(nullptr, QStringLiteral("name"), name);
    point->set(nullptr, QStringLiteral("property"),
               joint ? QStringLiteral("joint") : QStringLiteral("cart"));
    point->set(nullptr, QStringLiteral("description"),
               InterfaceManager::tr("Auto generate at: %1")
                   .arg(QDateTime::currentDateTime().toString(
                       QStringLiteral("yyyy/MM/dd hh:mm:ss"))));
    point->set(nullptr, QStringLiteral("func"),
               nabu::m(QStringLiteral("rovan.project.cur_func"))->getString(QString()));
    point->set(nullptr, QStringLiteral("task"),
               nabu::m(QStringLiteral("rovan.project.cur_task"))->getString(QString()));

    nabu::ModuleObject *position = point->set(nullptr, kPosition, QVariant());
    if (joint) {
        for (const QString &key : jointKeys())
            position->set(nullptr, key, numberAt(answer, QStringLiteral("joint.") + key));
        // Moves to a point are sent as its pose: without it a joint point would send the
        // template's zeros, the robot's base.
        if (usableAnswer(answer, false)) {
            for (const QString &key : cartesianKeys())
                position->set(nullptr, key, numberAt(answer, QStringLiteral("cartesian.") + key));
        }
    } else {
        for (const QString &key : cartesianKeys())
            position->set(nullptr, key, numberAt(answer, QStringLiteral("cartesian.") + key));
        for (int i = 0; i < 6; ++i) {
            position->set(nullptr, QStringLiteral("external_joint.#%1").arg(i),
                          numberAt(answer, QStringLiteral("joint.extern_pos.#%1").arg(i)));
        }
    }
    position->set(nullptr, QStringLiteral("coord.tool"), tool);
    position->set(nullptr, QStringLiteral("coord.wobj"), wobj);

    nabu::ModuleObject *added = list->insert(nullptr, point.release(), false, -1);
    added->set(nullptr, QVariant());
    announce({list->cmobjCount() - 1}, QStringLiteral("add"));
    return true;
}

void PointData::changeCartPoint(const QString &name, const QVector<double> &pose)
{
    if (pose.size() < 6) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::changeCartPoint")
            << name << " : a pose needs x, y, z, a, b, c, got " << QString::number(pose.size())
            << " values";
        return;
    }
    nabu::ModuleObject *point = findPoint(name, Qt::CaseInsensitive);
    if (!point)
        return;
    nabu::ModuleObject *frame = point->c(QStringLiteral("value"))
                                    ->c(QStringLiteral("[0][0][0]"))
                                    ->c(QStringLiteral("pose"))
                                    ->c(QStringLiteral("frame"));
    const QStringList keys = {QStringLiteral("pos.x"), QStringLiteral("pos.y"),
                              QStringLiteral("pos.z"), QStringLiteral("ori.euler.a"),
                              QStringLiteral("ori.euler.b"), QStringLiteral("ori.euler.c")};
    for (int i = 0; i < keys.size(); ++i)
        frame->r(keys.at(i))->set(nullptr, pose.at(i));
    // The changed point's own position: the controller side reloads that one.
    announce({pointList()->indexOf(point)}, QStringLiteral("edit"));
}

QVector<double> PointData::getPointDataByName(const QString &name) const
{
    nabu::ModuleObject *point = findPoint(name, Qt::CaseSensitive);
    if (!point)
        return {};
    nabu::ModuleObject *frame =
        existing(point, QStringLiteral("value.[0][0][0].pose.frame"));
    QVector<double> pose;
    for (const QString &key : {QStringLiteral("pos.x"), QStringLiteral("pos.y"),
                               QStringLiteral("pos.z"), QStringLiteral("ori.euler.a"),
                               QStringLiteral("ori.euler.b"), QStringLiteral("ori.euler.c")}) {
        nabu::ModuleObject *node = frame ? existing(frame, key) : nullptr;
        pose.append(node ? node->getDouble(0.0) : 0.0);
    }
    return pose;
}

QStringList PointData::getPointNameList() const
{
    QStringList names;
    const QList<nabu::ModuleObject *> points = pointList()->cmobjs(false);
    for (nabu::ModuleObject *point : points) {
        nabu::ModuleObject *key = existing(point, QStringLiteral("name"));
        names.append(key ? key->getString(QString()) : QString());
    }
    return names;
}

QJsonObject PointData::getPointObjDataByName(const QString &name) const
{
    const QJsonArray points = pointList()->exportToJson(true).toArray();
    for (const QJsonValue &point : points) {
        if (point.toObject().value(QStringLiteral("name")).toString() == name)
            return point.toObject();
    }
    return {};
}

int PointData::checkPointSame(const QString &a, const QString &b) const
{
    return a == b ? 1 : 0;
}

int PointData::checkPointMoveTo(const QString &from, const QString &to)
{
    if (from == to)
        return 1;
    // The two names in order, as a list, so the controller can tell start from end.
    nabu::ModuleObject path{QString()};
    path.setIsList(true);
    path.append(nullptr)->set(nullptr, from);
    path.append(nullptr)->set(nullptr, to);
    nabu::ModuleObject *result = sv::vantor()->execCommand(q, kPathCheck, &path);
    // No answer at all (link down, time-out) proves nothing about the path.
    if (result->cmobjCount() == 0 && !result->get().isValid()) {
        TESSEL_LOG(Error, "tessel::InterfaceManager::checkPointMoveTo")
            << "no answer to " << kPathCheck << " for " << from << " -> " << to;
        return -2;
    }
    if (!result->hasCmobj(QStringLiteral("error"), false))
        return 0;
    const int error = result->c(QStringLiteral("error"))->getInt(0);
    return error == 0 || error == kPathCheckTolerated ? 0 : -2;
}

void PointData::announce(const QList<int> &positions, const QString &operate)
{
    nabu::ModuleObject *points = nabu::m(kHotPoints);
    points->clear(nullptr, true, false);
    for (int i = 0; i < positions.size(); ++i)
        points->set(nullptr, QStringLiteral("#%1").arg(i), positions.at(i));
    nabu::m(kHotOperate)->set(nullptr, operate);
}

} // namespace tessel
