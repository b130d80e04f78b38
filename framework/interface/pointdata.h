#pragma once

#include <QJsonObject>
#include <QStringList>
#include <QVector>

namespace nabu {
class ModuleObject;
}

namespace tessel {

class InterfaceManager;

// Teach points of the current project, kept by the host under "rovan.project.point".
// Changes to the list are announced to the controller side through the hot-update nodes.
class PointData
{
public:
    explicit PointData(InterfaceManager *q);

    bool addCurrentPoint(const QString &name, bool joint, const QString &tool,
                         const QString &wobj);
    void changeCartPoint(const QString &name, const QVector<double> &pose);
    QVector<double> getPointDataByName(const QString &name) const;
    QStringList getPointNameList() const;
    QJsonObject getPointObjDataByName(const QString &name) const;
    int checkPointSame(const QString &a, const QString &b) const;
    int checkPointMoveTo(const QString &from, const QString &to);

    static nabu::ModuleObject *pointList();
    // The first point of that name, or null.
    static nabu::ModuleObject *findPoint(const QString &name, Qt::CaseSensitivity cs);
    // The node at a dotted path below `node`, or null; unlike ModuleObject::r() it creates
    // nothing, so reading a point leaves it as it was.
    static nabu::ModuleObject *existing(nabu::ModuleObject *node, const QString &path);

private:
    static void announce(const QList<int> &positions, const QString &operate);

    InterfaceManager *const q;
};

} // namespace tessel
