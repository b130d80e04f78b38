#pragma once

#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace nabu {
class ModuleObject;
}

namespace tessel {

class InterfaceManager;

// Program variables of the current project, kept by the host under "rovan.project.var", and
// the persistent (PERS) values the controller holds for the running program.
class VariableData
{
public:
    explicit VariableData(InterfaceManager *q);

    bool addVarData(const QString &name, const QVariant &value, bool pers);
    bool updateVarData(const QString &name, const QVariant &value);
    bool delVarData(const QList<QString> &names);
    QStringList getVarDataList(const QString &type) const;
    QJsonObject getVarObjDataByName(const QString &name) const;
    QStringList getSpeedList() const;
    QStringList getZoneList() const;

    int registPERSVars(const QVector<QString> &names);
    QVector<QVariant> getRegistedPERSVars();
    QVector<QString> getValuesOfPERSVars(const QVector<QString> &names);
    int setValuesOfPERSVars(const QVector<QString> &names, const QVector<QVariant> &values);

    // Controller versions whose monitor serves PERS values.
    static bool persSupported();

private:
    // Asks the controller to drop the variables from the running program first.
    bool hotRemoveVar(const QStringList &names);
    static nabu::ModuleObject *varList();
    static QStringList namesOfType(nabu::ModuleObject *list, const QString &type);

    InterfaceManager *const q;
};

} // namespace tessel
