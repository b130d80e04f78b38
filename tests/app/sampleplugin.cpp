// A host-level plug-in library for the emulator's tests: while it loads it announces the module
// "Sample", whose page and navigation entry go into the host as a plug-in's would.
#include <mirel/basesettingpage.h>
#include <mirel/physicalbutton.h>
#include <nabuCore/moduleobject.h>
#include <nabuSkald/bmodule.h>
#include <nabuSkald/centerwidget.h>
#include <nabusrv/lumo.h>

#include <QLabel>
#include <QVBoxLayout>

namespace {

class SampleModule : public skald::BModule
{
public:
    explicit SampleModule(QObject *parent)
        : skald::BModule(parent)
    {
        bindMobj(QStringLiteral("sample.module"));
    }

    ~SampleModule() override
    {
        if (skald::CenterWidget *center = skald::instantiatedCenterWidget())
            center->removeItem(this, QStringLiteral("sample.page"), true);
    }

    QString name() const override { return QStringLiteral("sample"); }

    void setup() override
    {
        record(QStringLiteral("setup"));
        skald::CenterWidget *center = skald::instantiatedCenterWidget();
        m_page = new mirel::BaseSettingPage(QStringLiteral("sample"), QStringLiteral("Sample"),
                                            center, this);
        auto *layout = new QVBoxLayout(m_page->contentWgt());
        auto *label = new QLabel(QStringLiteral("Sample page"), m_page->contentWgt());
        label->setObjectName(QStringLiteral("sampleLabel"));
        layout->addWidget(label);
        center->addPage(this, QStringLiteral("sample.page"), m_page->wgt());
    }

    void init() override
    {
        record(QStringLiteral("init"));
        nabu::ModuleObject *entry = sv::lumo::registerPage(this, QStringLiteral("Sample"),
                                                           QStringLiteral("robot.pack"),
                                                           QString(), -1);
        entry->set(this, QStringLiteral("nav"), QStringLiteral("sample.page"));
        mirel::PhysicalButton button;
        button.text = QStringLiteral("F1");
        button.action = [this] { record(QStringLiteral("F1")); };
        mirel::registerPhysicalButtons(this, QStringLiteral("sample.keys"), {button}, {}, {});
    }

    void afterInit() override { record(QStringLiteral("afterInit")); }
    void render() override { record(QStringLiteral("render")); }
    void idle() override { record(QStringLiteral("idle")); }
    void detach() override { record(QStringLiteral("detach")); }

private:
    void record(const QString &call)
    {
        nabu::ModuleObject *calls = mobj()->c(QStringLiteral("calls"));
        calls->append(this)->set(this, call);
    }

    mirel::BaseSettingPage *m_page = nullptr;
};

const bool registered = [] {
    if (!skald::bfactory().contains(QStringLiteral("Sample"))) {
        skald::bfactory().insert(QStringLiteral("Sample"),
                                 [](QObject *parent) -> skald::BModule * {
                                     return new SampleModule(parent);
                                 });
        skald::bfactory().mobj()->set(skald::bfactory().mobj(), QStringLiteral("Sample"),
                                      QVariant(), true);
    }
    return true;
}();

} // namespace
