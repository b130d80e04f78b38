// A plug-in for the fixture's own test, built four times: registering "Probe", registering
// "Probe" again from a second library, registering nothing, and registering "ProbeFaulty",
// whose creator throws.
#include <tessel/interface/interfacemanager.h>
#include <tessel/log/logline.h>
#include <tessel/log/qflog.h>
#include <tessel/plugin/pluginbase.h>
#include <tessel/plugin/pluginregister.h>
#include <tessel/ui/pluginui.h>

#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QVBoxLayout>

#include <stdexcept>

namespace {

tessel::QFLog probeLog()
{
    return tessel::QFLog(tessel::logColour(tessel::LogKind::Service),
                         tessel::logTag(tessel::LogKind::Service), QString(),
                         QStringLiteral("./log/tessel/Probe/Probe"), QStringLiteral("log"));
}

class Probe : public tessel::PluginBase
{
    Q_OBJECT

public:
    explicit Probe(QObject *parent)
        : PluginBase(parent)
    {
    }

    void init() override
    {
        auto *page = new QWidget;
        auto *layout = new QVBoxLayout(page);
        auto *ask = new QPushButton(QStringLiteral("ask"), page);
        ask->setObjectName(QStringLiteral("askButton"));
        auto *answer = new QLabel(page);
        answer->setObjectName(QStringLiteral("answerLabel"));
        layout->addWidget(ask);
        layout->addWidget(answer);
        connect(ask, &QPushButton::clicked, answer, [answer] {
            const auto pressed = QMessageBox::question(answer, QStringLiteral("Probe"),
                                                       QStringLiteral("Go on?"));
            answer->setText(pressed == QMessageBox::Yes ? QStringLiteral("yes")
                                                        : QStringLiteral("no"));
            probeLog() << "Probe: answered " << answer->text();
        });
        tessel::CreateCenterWidget(QStringLiteral("Probe"), page);
        connect(&tessel::tesselInterface(), &tessel::InterfaceManager::sigNetworkConnect, this,
                [] { probeLog() << "Probe: link up"; });
        probeLog() << "Probe::init";
    }
};

#if defined(PROBE_CREATOR_FAILS)
const bool registered = [] {
    tessel::tesselFactory().regist(QStringLiteral("ProbeFaulty"),
                                   [](QObject *) -> tessel::PluginBase * {
                                       throw std::runtime_error("its settings are missing");
                                   });
    return true;
}();
#elif !defined(PROBE_REGISTERS_NOTHING)
const bool registered = [] {
    tessel::tesselFactory().regist(QStringLiteral("Probe"),
                                   [](QObject *parent) { return new Probe(parent); });
    return true;
}();
#endif

} // namespace

#include "probeplugin.moc"
