#include "hello.h"

#include <tessel/interface/interfacemanager.h>
#include <tessel/log/logline.h>
#include <tessel/log/qflog.h>
#include <tessel/plugin/pluginregister.h>
#include <tessel/ui/catalogtranslator.h>
#include <tessel/ui/pluginui.h>

#include <QJsonDocument>
#include <QLabel>
#include <QPointer>
#include <QVBoxLayout>

namespace tessel {

namespace {

const QString kName = QStringLiteral("Hello");
const QString kWatchedKey = QStringLiteral("factory.get_dh_params_support");

// A plug-in's log line: information kind, in the plug-in's own log folder.
QFLog helloLog()
{
    return QFLog(logColour(LogKind::Info), logTag(LogKind::Info), QString(),
                 QStringLiteral("./log/tessel/Hello/Hello"), QStringLiteral("log"));
}

// Runs while the library loads: from here on the host can make the plug-in's module.
const bool registered = [] {
    tesselFactory().regist(kName, [](QObject *parent) { return new Hello(parent); });
    return true;
}();

} // namespace

Hello::Hello(QObject *parent)
    : PluginBase(parent)
{
    // Before the first tr(): the label already shows in the host's language.
    CatalogTranslator::install(QStringLiteral("hello"));
    setPluginLabel(tr("Hello"));
}

Hello::~Hello()
{
    // Subscriptions outlive plug-ins unless they are removed.
    tesselInterface().disconnectVantorData(kName, kWatchedKey, QStringLiteral("support"));
}

void Hello::init()
{
    auto *page = new QWidget;
    page->setObjectName(QStringLiteral("helloPage"));
    auto *layout = new QVBoxLayout(page);
    auto *greeting = new QLabel(tr("Hello from a tessel plug-in."), page);
    greeting->setObjectName(QStringLiteral("helloLabel"));
    m_link = new QLabel(page);
    m_link->setObjectName(QStringLiteral("linkLabel"));
    m_value = new QLabel(tr("%1: no value yet").arg(kWatchedKey), page);
    m_value->setObjectName(QStringLiteral("valueLabel"));
    m_presses = new QLabel(tr("Physical button pressed 0 times"), page);
    m_presses->setObjectName(QStringLiteral("pressLabel"));
    for (QLabel *label : {greeting, m_link, m_value, m_presses})
        layout->addWidget(label);
    layout->addStretch(1);
    // The host owns the page from here on.
    CreateCenterWidget(kName, page);
    CreateStatusBar(kName, new QLabel(tr("Hello")), 0);

    InterfaceManager &controller = tesselInterface();
    connect(&controller, &InterfaceManager::sigNetworkConnect, this, [this] { showLink(true); });
    connect(&controller, &InterfaceManager::sigNetworkDisConnect, this,
            [this] { showLink(false); });
    showLink(controller.getRobotConnected());

    // The label lives in the host's page; the callback must not outlive it.
    QPointer<QLabel> value = m_value;
    controller.connectVantorData(
        kName, kWatchedKey,
        [value](const QVariant &v) {
            if (value)
                value->setText(QStringLiteral("%1: %2").arg(
                    kWatchedKey,
                    QString::fromUtf8(QJsonDocument::fromVariant(v).toJson(QJsonDocument::Compact))));
        },
        QStringLiteral("support"));

    PhysicalButton wave{tr("Wave"), QString(), QString(), [this] {
                            ++m_pressCount;
                            m_presses->setText(tr("Physical button pressed %1 times").arg(m_pressCount));
                            helloLog() << "Hello: button pressed " << QString::number(m_pressCount);
                        }};
    CreatePhyButtonList(kName, QStringLiteral("hello.keys"), {wave}, {}, {});

    helloLog() << "Hello::init" << "[out]";
}

void Hello::showLink(bool up)
{
    m_link->setText(up ? tr("Controller connected (%1)").arg(tesselInterface().getRobotType())
                       : tr("Controller disconnected"));
    helloLog() << "Hello: link " << (up ? "up" : "down");
}

} // namespace tessel
