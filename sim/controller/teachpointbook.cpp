#include "teachpointbook.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonArray>
#include <QJsonObject>

namespace sim {

namespace {

// Walks down without creating: the controller only reads the pendant's data.
nabu::ModuleObject *existing(const QStringList &path)
{
    nabu::ModuleObject *node = nabu::ModuleManager::instance()->root();
    for (const QString &segment : path) {
        if (!node->hasCmobj(segment))
            return nullptr;
        node = node->c(segment);
    }
    return node;
}

// Element k of a list, exported as an array or, for keyed "#k" children, as an object.
QJsonValue element(const QJsonValue &list, int k)
{
    if (list.isArray())
        return list.toArray().at(k);
    return list.toObject().value(QStringLiteral("#%1").arg(k));
}

QJsonValue at(QJsonValue value, const QStringList &path)
{
    for (const QString &segment : path)
        value = value.toObject().value(segment);
    return value;
}

bool readNumber(const QJsonValue &value, double *out)
{
    if (!value.isDouble())
        return false;
    *out = value.toDouble();
    return true;
}

} // namespace

QJsonArray TeachPointBook::pendantPoints()
{
    const nabu::ModuleObject *list = existing(
        {QStringLiteral("rovan"), QStringLiteral("project"), QStringLiteral("point"),
         QStringLiteral("_list")});
    if (!list)
        return {};
    const QJsonValue exported = list->exportToJson();
    if (exported.isArray())
        return exported.toArray();
    QJsonArray points;
    const QJsonObject byKey = exported.toObject();
    for (const nabu::ModuleObject *child : list->cmobjs())
        points.append(byKey.value(child->name()));
    return points;
}

bool TeachPointBook::find(const QString &name, int axes, TeachPointTarget *target,
                          const QJsonArray *sentPoints)
{
    const QJsonArray points = sentPoints ? *sentPoints : pendantPoints();
    for (const QJsonValue &point : qAsConst(points)) {
        const QJsonObject object = point.toObject();
        if (object.value(QStringLiteral("name")).toString() != name)
            continue;
        const QJsonValue position =
            at(object, {QStringLiteral("value"), QStringLiteral("[0][0][0]")});
        TeachPointTarget found;
        found.isJoint = object.value(QStringLiteral("property")).toString()
                        == QLatin1String("joint");
        if (found.isJoint) {
            const QJsonValue inner = position.toObject().value(QStringLiteral("inner_pos"));
            found.jointsDeg.resize(axes);
            for (int k = 0; k < axes; ++k) {
                if (!readNumber(element(inner, k), &found.jointsDeg[k]))
                    return false;
            }
        } else {
            const QJsonValue frame =
                at(position, {QStringLiteral("pose"), QStringLiteral("frame")});
            const QJsonObject pos = frame.toObject().value(QStringLiteral("pos")).toObject();
            const QJsonObject euler = at(frame, {QStringLiteral("ori"), QStringLiteral("euler")})
                                          .toObject();
            double x = 0, y = 0, z = 0;
            if (!readNumber(pos.value(QStringLiteral("x")), &x)
                || !readNumber(pos.value(QStringLiteral("y")), &y)
                || !readNumber(pos.value(QStringLiteral("z")), &z)
                || !readNumber(euler.value(QStringLiteral("a")), &found.pose.aDeg)
                || !readNumber(euler.value(QStringLiteral("b")), &found.pose.bDeg)
                || !readNumber(euler.value(QStringLiteral("c")), &found.pose.cDeg))
                return false;
            found.pose.positionMm = Eigen::Vector3d(x, y, z);
        }
        *target = found;
        return true;
    }
    return false;
}

} // namespace sim
