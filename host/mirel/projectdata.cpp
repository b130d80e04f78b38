#include "projectdata.h"

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonArray>

namespace mirel {

namespace {

QJsonArray zeros(int count)
{
    QJsonArray values;
    for (int i = 0; i < count; ++i)
        values.append(0.0);
    return values;
}

QJsonObject numbered(const QString &prefix, int first, int last)
{
    QJsonObject values;
    for (int i = first; i <= last; ++i)
        values.insert(prefix + QString::number(i), 0.0);
    return values;
}

nabu::ModuleObject *pointRoot()
{
    return nabu::m(QStringLiteral("rovan.project.point"));
}

void ensureList(QObject *source, nabu::ModuleObject *parent, const QString &key)
{
    if (!parent->hasCmobj(key, false))
        parent->c(key)->importFromJson(source, QJsonArray(), true, false);
}

void ensureValue(QObject *source, const QString &path, const QVariant &value)
{
    nabu::ModuleObject *node = nabu::m(path);
    if (!node->get().isValid())
        node->set(source, value);
}

} // namespace

QJsonObject ProjectData::pointTemplate()
{
    QJsonObject conf = numbered(QStringLiteral("cf"), 1, 7);
    conf.insert(QStringLiteral("cfx"), 0.0);
    const QJsonObject frame{
        {QStringLiteral("pos"), QJsonObject{{QStringLiteral("x"), 0.0},
                                            {QStringLiteral("y"), 0.0},
                                            {QStringLiteral("z"), 0.0}}},
        {QStringLiteral("ori"),
         QJsonObject{{QStringLiteral("euler"), QJsonObject{{QStringLiteral("a"), 0.0},
                                                           {QStringLiteral("b"), 0.0},
                                                           {QStringLiteral("c"), 0.0}}},
                     {QStringLiteral("quaternion"), numbered(QStringLiteral("q"), 1, 4)}}}};
    const QJsonObject position{
        {QStringLiteral("inner_pos"), zeros(7)},
        {QStringLiteral("extern_pos"), zeros(6)},
        {QStringLiteral("pose"),
         QJsonObject{{QStringLiteral("frame"), frame}, {QStringLiteral("elb"), 0.0}}},
        {QStringLiteral("conf"), conf},
        {QStringLiteral("external_joint"), zeros(6)},
        {QStringLiteral("coord"), QJsonObject{{QStringLiteral("tool"), QStringLiteral("tool0")},
                                              {QStringLiteral("wobj"), QStringLiteral("wobj0")}}}};
    return QJsonObject{{QStringLiteral("id"), 0},
                       {QStringLiteral("name"), QString()},
                       {QStringLiteral("property"), QStringLiteral("joint")},
                       {QStringLiteral("description"), QString()},
                       {QStringLiteral("func"), QString()},
                       {QStringLiteral("task"), QString()},
                       {QStringLiteral("value"),
                        QJsonObject{{QStringLiteral("[0][0][0]"), position}}}};
}

void ProjectData::install(QObject *source)
{
    nabu::ModuleObject *root = pointRoot();
    ensureList(source, root, QStringLiteral("_list"));
    if (!root->hasCmobj(QStringLiteral("default"), false))
        root->c(QStringLiteral("default"))->importFromJson(source, pointTemplate(), true, false);
    nabu::ModuleObject *hot = root->c(QStringLiteral("hot_update"));
    ensureList(source, hot, QStringLiteral("points"));
    ensureValue(source, QStringLiteral("rovan.project.point.hot_update.operate"), QString());
    ensureValue(source, QStringLiteral("rovan.project.cur_func"), QStringLiteral("main"));
    ensureValue(source, QStringLiteral("rovan.project.cur_task"), QStringLiteral("T_ROB1"));
}

void ProjectData::clearPoints(QObject *source)
{
    install(source);
    nabu::ModuleObject *root = pointRoot();
    root->c(QStringLiteral("_list"))->clear(source, true, true);
    root->r(QStringLiteral("hot_update.points"))->clear(source, true, false);
    root->r(QStringLiteral("hot_update.operate"))->set(source, QString());
}

} // namespace mirel
