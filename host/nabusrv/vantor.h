#pragma once

#include "nabusrv_global.h"

#include <nabuSkald/bmodule.h>

#include <QHash>
#include <QJsonValue>
#include <QSet>
#include <QVariant>

namespace nabu {
class ModuleObject;
}

namespace sv {

// The controller's command service. Its node has a child "connected" that follows the link.
// Waiting calls block in a nested event loop until the controller answers or time runs out.
class NABUSRV_EXPORT Vantor : public skald::BModule
{
    Q_OBJECT

public:
    static constexpr int TimeoutMs = 5000;

    explicit Vantor(QObject *parent = nullptr);
    ~Vantor() override;

    QString name() const override;

    bool command(QObject *source, const QString &command, const QVariant &value);
    bool command(QObject *source, const QString &command, nabu::ModuleObject *payload);
    // The result node holds the answer; it is empty when none came.
    nabu::ModuleObject *execCommand(QObject *source, const QString &command,
                                    const QVariant &value);
    nabu::ModuleObject *execCommand(QObject *source, const QString &command,
                                    nabu::ModuleObject *payload);
    // The answer of a plug-in service, under the result node's child "data".
    nabu::ModuleObject *execPluginCommand(QObject *source, const QString &id,
                                          const QString &service, const QVariant &value);

    nabu::ModuleObject *get(QObject *source, const QString &key);
    nabu::ModuleObject *get(QObject *source, const QString &key, const QString &sub);
    bool set(QObject *source, const QString &key, const QString &sub, const QVariant &value);
    bool set(QObject *source, const QString &key, nabu::ModuleObject *payload);

    // Live updates of `key` arrive on watchNode(key) as `changed` signals.
    bool watch(QObject *source, const QString &key, bool on);
    nabu::ModuleObject *watchNode(const QString &key);
    QStringList watchedKeys() const;

private:
    nabu::ModuleObject *exec(QObject *source, const QString &command, const QJsonValue &payload,
                             nabu::ModuleObject *result);
    nabu::ModuleObject *node(QHash<QString, nabu::ModuleObject *> &nodes, const QString &key);
    void setConnected(bool connected);
    void onValueChanged(const QString &key, const QJsonValue &value);

    QHash<QString, nabu::ModuleObject *> m_results;
    QHash<QString, nabu::ModuleObject *> m_pluginResults; // by command id, apart from commands
    QHash<QString, nabu::ModuleObject *> m_values;
    QHash<QString, nabu::ModuleObject *> m_watchNodes;
    QSet<QString> m_watched;
};

// The host's command service, made on first use.
NABUSRV_EXPORT Vantor *vantor();

} // namespace sv
