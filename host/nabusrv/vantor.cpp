#include "vantor.h"

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonObject>

namespace sv {

namespace {

mirel::ControllerManager *controller()
{
    return mirel::ManagerHelper::instance()->controllerManager();
}

QJsonValue payloadOf(nabu::ModuleObject *payload)
{
    return payload ? payload->exportToJson() : QJsonValue();
}

} // namespace

Vantor::Vantor(QObject *parent)
    : skald::BModule(parent)
{
    bindMobj(QStringLiteral("nabusrv.vantor"));
    mobj()->c(QStringLiteral("connected"))->set(this, controller()->isLinkUp());
    connect(controller(), &mirel::ControllerManager::rcConnected, this, [this] {
        // The controller forgets its watches when the link drops.
        for (const QString &key : qAsConst(m_watched))
            controller()->post(mirel::ControllerMessage::Watch, key, true);
        setConnected(true);
    });
    connect(controller(), &mirel::ControllerManager::rcDisconnected, this,
            [this] { setConnected(false); });
    connect(controller(), &mirel::ControllerManager::valueChanged, this,
            &Vantor::onValueChanged);
}

Vantor::~Vantor() = default;

QString Vantor::name() const
{
    return QStringLiteral("vantor");
}

bool Vantor::command(QObject *source, const QString &command, const QVariant &value)
{
    Q_UNUSED(source)
    return controller()->post(mirel::ControllerMessage::Command, command,
                              QJsonValue::fromVariant(value))
           != 0;
}

bool Vantor::command(QObject *source, const QString &command, nabu::ModuleObject *payload)
{
    Q_UNUSED(source)
    return controller()->post(mirel::ControllerMessage::Command, command, payloadOf(payload))
           != 0;
}

nabu::ModuleObject *Vantor::execCommand(QObject *source, const QString &command,
                                        const QVariant &value)
{
    return exec(source, command, QJsonValue::fromVariant(value), node(m_results, command));
}

nabu::ModuleObject *Vantor::execCommand(QObject *source, const QString &command,
                                        nabu::ModuleObject *payload)
{
    return exec(source, command, payloadOf(payload), node(m_results, command));
}

nabu::ModuleObject *Vantor::execPluginCommand(QObject *source, const QString &id,
                                              const QString &service, const QVariant &value)
{
    nabu::ModuleObject *result = node(m_pluginResults, id);
    const QJsonObject payload{{QStringLiteral("id"), id},
                              {QStringLiteral("data"), QJsonValue::fromVariant(value)}};
    result->importFromJson(source, QJsonValue(), true, false);
    exec(source, service, payload, result->c(QStringLiteral("data")));
    return result;
}

nabu::ModuleObject *Vantor::get(QObject *source, const QString &key)
{
    return get(source, key, QString());
}

nabu::ModuleObject *Vantor::get(QObject *source, const QString &key, const QString &sub)
{
    nabu::ModuleObject *value =
        node(m_values, sub.isEmpty() ? key : key + QLatin1Char('/') + sub);
    value->importFromJson(source, QJsonValue(), true, false);
    const quint64 id = controller()->post(mirel::ControllerMessage::Get, key,
                                          sub.isEmpty() ? QJsonValue() : QJsonValue(sub));
    QJsonValue answer;
    if (controller()->wait(id, TimeoutMs, &answer))
        value->importFromJson(source, answer, true, false);
    return value;
}

bool Vantor::set(QObject *source, const QString &key, const QString &sub, const QVariant &value)
{
    Q_UNUSED(source)
    const QJsonObject payload{{QStringLiteral("sub"), sub},
                              {QStringLiteral("value"), QJsonValue::fromVariant(value)}};
    return controller()->post(mirel::ControllerMessage::Set, key, payload) != 0;
}

bool Vantor::set(QObject *source, const QString &key, nabu::ModuleObject *payload)
{
    Q_UNUSED(source)
    const QJsonObject message{{QStringLiteral("sub"), QString()},
                              {QStringLiteral("value"), payloadOf(payload)}};
    return controller()->post(mirel::ControllerMessage::Set, key, message) != 0;
}

bool Vantor::watch(QObject *source, const QString &key, bool on)
{
    Q_UNUSED(source)
    if (on)
        m_watched.insert(key);
    else
        m_watched.remove(key);
    return controller()->post(mirel::ControllerMessage::Watch, key, on) != 0;
}

nabu::ModuleObject *Vantor::watchNode(const QString &key)
{
    return node(m_watchNodes, key);
}

QStringList Vantor::watchedKeys() const
{
    QStringList keys = m_watched.values();
    keys.sort();
    return keys;
}

nabu::ModuleObject *Vantor::exec(QObject *source, const QString &command,
                                 const QJsonValue &payload, nabu::ModuleObject *result)
{
    result->importFromJson(source, QJsonValue(), true, false);
    const quint64 id = controller()->post(mirel::ControllerMessage::Command, command, payload);
    QJsonValue answer;
    if (controller()->wait(id, TimeoutMs, &answer))
        result->importFromJson(source, answer, true, false);
    return result;
}

nabu::ModuleObject *Vantor::node(QHash<QString, nabu::ModuleObject *> &nodes, const QString &key)
{
    nabu::ModuleObject *&n = nodes[key];
    if (!n)
        n = new nabu::ModuleObject(key, this);
    return n;
}

void Vantor::setConnected(bool connected)
{
    mobj()->c(QStringLiteral("connected"))->set(this, connected);
}

void Vantor::onValueChanged(const QString &key, const QJsonValue &value)
{
    if (m_watched.contains(key))
        watchNode(key)->importFromJson(this, value, true, true);
}

} // namespace sv

namespace sv {

Vantor *vantor()
{
    // Lives as long as the host's services, which outlive every plug-in.
    static Vantor *service = new Vantor(mirel::ManagerHelper::instance());
    return service;
}

} // namespace sv
