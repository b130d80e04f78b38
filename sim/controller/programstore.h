#pragma once

#include <QHash>
#include <QJsonArray>
#include <QJsonValue>
#include <QStringList>

namespace sim {

// What the controller keeps of the pendant's programs: the projects it holds as backups (kept
// across a reboot), the project it loads at start-up, the PERS variables the monitor reports
// and the values it holds for them. Program variables themselves are read from the pendant's
// data tree ("rovan.project.var"), where the host keeps the current project's.
class ProgramStore
{
public:
    // Answers: 0 or {"success": true}; refusals {"error": code, "msg": text}.
    enum Error { UnknownVariable = -51001, BadRequest = -51002, UnknownProject = -51003 };

    ProgramStore();

    // "project.variable", "monitor.pers.read", "monitor.pers.modify", "project.remove_task",
    // "project.overview.set_autoload".
    static bool handles(const QString &command);
    // "monitor.pers.read": the one that changes nothing.
    static bool isReading(const QString &command);
    QJsonValue runCommand(const QString &command, const QJsonValue &payload);

    // Command-service values: "monitor.pers" (the registered names) and "backup.backup_list"
    // ([{"name"}...]). Undefined for any other key.
    static bool servesValue(const QString &key);
    QJsonValue value(const QString &key) const;
    // A write to "monitor.select" registers the names; false for any other key. `accepted` is
    // false, and nothing changes, when the value is no list of names.
    bool takeSet(const QString &key, const QJsonValue &value, bool *accepted);

    // The current project's variables as the pendant last sent them ("rovan.project.var._list"),
    // an empty list among them; while none were sent, those of a pendant in the same process.
    void setVariables(const QJsonArray &variables);
    void forgetVariables();
    QJsonArray variables() const;

    QStringList projects() const;
    void setProjects(const QStringList &names);
    QString autoloadPath() const;
    void setAutoloadPath(const QString &path);
    QStringList registeredPers() const;
    void setRegisteredPers(const QStringList &names);
    // The PERS values written by "monitor.pers.modify", by name.
    QHash<QString, QJsonValue> modifiedPers() const;
    void setModifiedPers(const QHash<QString, QJsonValue> &values);
    // The value the controller holds; the project's initial value until it was modified.
    QJsonValue persValue(const QString &name) const;

private:
    QJsonValue removeVariables(const QJsonValue &payload);
    QJsonValue readPers(const QJsonValue &payload) const;
    QJsonValue modifyPers(const QJsonValue &payload);
    QJsonValue removeProject(const QJsonValue &payload);
    QJsonValue setAutoload(const QJsonValue &payload);

    QStringList m_projects;
    QString m_autoload;
    QStringList m_registered;
    QHash<QString, QJsonValue> m_persValues;
    QJsonArray m_variables;
    bool m_variablesSent = false;
};

} // namespace sim
