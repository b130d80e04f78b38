#include "plugin/pluginbase.h"
#include "plugin/pluginregister.h"
#include "plugin/pluginsettingpage_p.h"
#include "plugin/tessel_p.h"

#include <mirel/managerhelper.h>
#include <nabuCore/moduleobject.h>
#include <nabuCore/pluginmanager.h>
#include <nabuSkald/bmodule.h>
#include <nabuSkald/centerwidget.h>
#include <nabusrv/lumo.h>

#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QPointer>
#include <QtTest>

#include <memory>
#include <stdexcept>

namespace {

// Records the lifecycle calls it receives and which creator made it.
class RecordingPlugin : public tessel::PluginBase
{
    Q_OBJECT

public:
    RecordingPlugin(QObject *parent, const QString &madeBy)
        : tessel::PluginBase(parent)
        , madeBy(madeBy)
    {
    }

    void init() override { record(QStringLiteral("init")); }
    void afterInit() override { record(QStringLiteral("afterInit")); }
    void render() override { record(QStringLiteral("render")); }
    void idle() override { record(QStringLiteral("idle")); }
    void detach() override { record(QStringLiteral("detach")); }

    QString madeBy;
    QStringList calls;
    QString throwsIn; // the call that throws, if any

private:
    void record(const QString &call)
    {
        calls << call;
        if (call == throwsIn)
            throw std::runtime_error("broken " + call.toStdString());
    }
};

tessel::PluginRegister::Creator creatorNamed(const QString &madeBy)
{
    return [madeBy](QObject *parent) { return new RecordingPlugin(parent, madeBy); };
}

tessel::Tessel *makeModule(const QString &name, QObject *parent = nullptr)
{
    return qobject_cast<tessel::Tessel *>(skald::bfactory().create(name, parent));
}

// Every lifecycle call the host makes, in its order.
void runLifecycle(tessel::Tessel *module)
{
    module->setup();
    module->init();
    module->afterInit();
    module->render();
    module->idle();
    module->detach();
}

nabu::ModuleObject *navList()
{
    return sv::lumo::pageList(QStringLiteral("robot.pack"));
}

// The navigation entry whose "nav" is the given key, as JSON; empty when there is none.
QJsonObject navEntry(const QString &nav)
{
    const QJsonArray entries = navList()->exportToJson().toArray();
    for (const QJsonValue &entry : entries) {
        if (entry.toObject().value(QStringLiteral("nav")).toString() == nav)
            return entry.toObject();
    }
    return QJsonObject();
}

// Collects the debug output of a scope.
class MessageCapture
{
public:
    MessageCapture() { s_lines.clear(); s_previous = qInstallMessageHandler(&MessageCapture::handle); }
    ~MessageCapture() { qInstallMessageHandler(s_previous); }
    QStringList lines() const { return s_lines; }
    bool contains(const QString &text) const
    {
        for (const QString &line : qAsConst(s_lines)) {
            if (line.contains(text))
                return true;
        }
        return false;
    }

private:
    static void handle(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        s_lines.append(message);
    }
    static QStringList s_lines;
    static QtMessageHandler s_previous;
};
QStringList MessageCapture::s_lines;
QtMessageHandler MessageCapture::s_previous = nullptr;

} // namespace

class tst_Tessel : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void firstRegistrationWins();
    void refusesEmptyCreatorAndSurvivesThrowingOne();
    void throwingLifecycleCallStaysInTheFramework();
    void creatorMayCancelItsOwnRegistration();
    void moduleGivesPageAndNavigationEntry_data();
    void moduleGivesPageAndNavigationEntry();
    void renderAsksHostOnlyWithDefaultGlobalSheet_data();
    void renderAsksHostOnlyWithDefaultGlobalSheet();
    void destructionRemovesPageEntryAndRegistration();
    void moduleWithoutPluginDoesNothing();
    void setupWithoutCentreAreaMakesNoPage();
    void cancelPageRemovesFirstMatchOnly();

private:
    std::unique_ptr<skald::CenterWidget> m_center;
};

void tst_Tessel::initTestCase()
{
    m_center = std::make_unique<skald::CenterWidget>();
}

void tst_Tessel::firstRegistrationWins()
{
    const QString name = QStringLiteral("Twice");
    tessel::tesselFactory().regist(name, creatorNamed(QStringLiteral("first")));
    tessel::tesselFactory().regist(name, creatorNamed(QStringLiteral("second")));

    QObject parent;
    auto *plugin = qobject_cast<RecordingPlugin *>(tessel::tesselFactory().create(name, &parent));
    QVERIFY(plugin);
    QCOMPARE(plugin->madeBy, QStringLiteral("first"));
    QCOMPARE(plugin->parent(), &parent);

    // Each host factory knows the name once and has it announced on its node.
    QCOMPARE(skald::bfactory().keys().count(name), 1);
    QCOMPARE(nabu::pluginManager().keys().count(name), 1);
    QCOMPARE(nabu::pluginManager().create(name), -1);
    int announced = 0;
    for (nabu::ModuleObject *child : skald::bfactory().mobj()->cmobjs())
        announced += child->name() == name ? 1 : 0;
    QCOMPARE(announced, 1);

    // The module the host makes holds the first creator's plug-in as its child.
    std::unique_ptr<tessel::Tessel> module(makeModule(name));
    QVERIFY(module);
    auto *modulePlugin = qobject_cast<RecordingPlugin *>(module->plugin());
    QVERIFY(modulePlugin);
    QCOMPARE(modulePlugin->madeBy, QStringLiteral("first"));
    QCOMPARE(modulePlugin->parent(), module.get());
    QCOMPARE(module->name(), QStringLiteral("tessel"));
    QCOMPARE(skald::bModule(QStringLiteral("nabu.tessel.Twice")), module.get());
    QVERIFY(mirel::ManagerHelper::instance()->qrcAliases().contains(name));

    // A copy of the registry shares the table.
    tessel::PluginRegister copy = tessel::tesselFactory();
    QVERIFY(copy.create(QStringLiteral("Nobody"), nullptr) == nullptr);
}

void tst_Tessel::refusesEmptyCreatorAndSurvivesThrowingOne()
{
    {
        MessageCapture capture;
        tessel::tesselFactory().regist(QStringLiteral("Empty"), tessel::PluginRegister::Creator());
        QVERIFY(capture.contains(QStringLiteral("refused an empty creator for plug-in Empty")));
        QVERIFY(capture.lines().first().startsWith(QStringLiteral("\033[31m[E|")));
    }
    QVERIFY(!tessel::tesselFactory().create(QStringLiteral("Empty"), nullptr));
    QVERIFY(!skald::bfactory().contains(QStringLiteral("Empty")));
    QVERIFY(!nabu::pluginManager().contains(QStringLiteral("Empty")));
    QVERIFY(!skald::bfactory().mobj()->hasCmobj(QStringLiteral("Empty")));
    // A later valid creator for the name is still taken.
    tessel::tesselFactory().regist(QStringLiteral("Empty"), creatorNamed(QStringLiteral("late")));
    QVERIFY(tessel::tesselFactory().create(QStringLiteral("Empty"), nullptr) != nullptr);

    tessel::tesselFactory().regist(QStringLiteral("Throws"), [](QObject *) -> tessel::PluginBase * {
        throw std::runtime_error("broken plug-in");
    });
    MessageCapture capture;
    QVERIFY(!tessel::tesselFactory().create(QStringLiteral("Throws"), nullptr));
    QVERIFY(capture.contains(QStringLiteral("creating plug-in Throws failed: broken plug-in")));
    std::unique_ptr<tessel::Tessel> module(makeModule(QStringLiteral("Throws")));
    QVERIFY(module);
    QVERIFY(!module->plugin());
}

// What a plug-in throws in a lifecycle call stays in the framework: the host goes on, and the
// plug-in gets no call after it but its detach.
void tst_Tessel::throwingLifecycleCallStaysInTheFramework()
{
    tessel::tesselFactory().regist(QStringLiteral("ThrowsInInit"), [](QObject *parent) {
        auto *plugin = new RecordingPlugin(parent, QStringLiteral("throwing"));
        plugin->throwsIn = QStringLiteral("init");
        return plugin;
    });
    std::unique_ptr<tessel::Tessel> module(makeModule(QStringLiteral("ThrowsInInit")));
    QVERIFY(module && module->plugin());
    MessageCapture capture;
    runLifecycle(module.get());
    const auto *plugin = qobject_cast<RecordingPlugin *>(module->plugin());
    QCOMPARE(plugin->calls, (QStringList{"init", "detach"}));
    QVERIFY(capture.contains(QStringLiteral("plug-in ThrowsInInit threw in init: broken init")));
}

// The creator's captures are read after it cancelled itself: called in place, the table's
// callable (and its captured name) would already be gone, which the sanitizer build reports.
void tst_Tessel::creatorMayCancelItsOwnRegistration()
{
    const QString name = QStringLiteral("SelfCancelling");
    const QString madeBy = QString(300, QLatin1Char('m')); // on the heap, not in the callable
    tessel::tesselFactory().regist(name, [name, madeBy](QObject *parent) {
        tessel::tesselFactory().cancel(name);
        return new RecordingPlugin(parent, madeBy);
    });
    QObject parent;
    auto *plugin = qobject_cast<RecordingPlugin *>(tessel::tesselFactory().create(name, &parent));
    QVERIFY(plugin);
    QCOMPARE(plugin->madeBy, madeBy);
    QVERIFY(!tessel::tesselFactory().create(name, &parent));
}

void tst_Tessel::moduleGivesPageAndNavigationEntry_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("title");

    QTest::newRow("empty label") << QStringLiteral("NoLabel") << QString() << QStringLiteral("NoLabel");
    QTest::newRow("label") << QStringLiteral("Labelled") << QStringLiteral("Nice title")
                           << QStringLiteral("Nice title");
}

void tst_Tessel::moduleGivesPageAndNavigationEntry()
{
    QFETCH(QString, name);
    QFETCH(QString, label);
    QFETCH(QString, title);
    tessel::tesselFactory().regist(name, [label](QObject *parent) {
        auto *plugin = new RecordingPlugin(parent, QStringLiteral("one"));
        plugin->setPluginLabel(label);
        return plugin;
    });
    std::unique_ptr<tessel::Tessel> module(makeModule(name));
    module->setup();
    const QString key = QStringLiteral("tessel.") + name;
    tessel::PluginSettingPage *page = module->settingPage();
    QVERIFY(page);
    QCOMPARE(m_center->page(key), page->wgt());
    QVERIFY(page->titleWgt()->isHidden());
    auto *row = qobject_cast<QHBoxLayout *>(page->contentWgt()->layout());
    QVERIFY(row);
    QCOMPARE(row->contentsMargins(), QMargins(0, 0, 0, 0));
    auto *label2 = new QLabel(QStringLiteral("content"));
    page->addContentWidget(label2);
    QCOMPARE(label2->parentWidget(), page->contentWgt());

    module->init();
    const QJsonObject entry = navEntry(key);
    QCOMPARE(entry.value(QStringLiteral("title")).toString(), title);
    QCOMPARE(entry.value(QStringLiteral("text")).toString(), QString());
    QCOMPARE(entry.value(QStringLiteral("group")).toString(), QStringLiteral("robot.pack"));

    module->afterInit();
    module->render();
    module->idle();
    module->detach();
    auto *plugin = qobject_cast<RecordingPlugin *>(module->plugin());
    QCOMPARE(plugin->calls, (QStringList{QStringLiteral("init"), QStringLiteral("afterInit"),
                                         QStringLiteral("render"), QStringLiteral("idle"),
                                         QStringLiteral("detach")}));
}

void tst_Tessel::renderAsksHostOnlyWithDefaultGlobalSheet_data()
{
    QTest::addColumn<bool>("sheet");
    QTest::addColumn<int>("renderRequests");
    QTest::newRow("default sheet") << true << 1;
    QTest::newRow("own sheet") << false << 0;
}

void tst_Tessel::renderAsksHostOnlyWithDefaultGlobalSheet()
{
    QFETCH(bool, sheet);
    QFETCH(int, renderRequests);
    const QString name = QStringLiteral("Sheet%1").arg(sheet);
    tessel::tesselFactory().regist(name, [sheet](QObject *parent) {
        auto *plugin = new RecordingPlugin(parent, QStringLiteral("one"));
        plugin->setDefaultGlobalSheet(sheet);
        return plugin;
    });
    std::unique_ptr<tessel::Tessel> module(makeModule(name));
    module->setup();
    module->render();
    QCOMPARE(module->settingPage()->renderRequests(), renderRequests);
    QCOMPARE(qobject_cast<RecordingPlugin *>(module->plugin())->calls,
             QStringList{QStringLiteral("render")});
}

void tst_Tessel::destructionRemovesPageEntryAndRegistration()
{
    const QString name = QStringLiteral("Gone");
    const QString key = QStringLiteral("tessel.Gone");
    tessel::tesselFactory().regist(name, creatorNamed(QStringLiteral("one")));
    auto *module = makeModule(name);
    module->setup();
    module->init();
    QVERIFY(m_center->page(key));
    QVERIFY(!navEntry(key).isEmpty());
    QPointer<tessel::PluginBase> plugin = module->plugin();
    QPointer<QWidget> pageWidget = module->settingPage()->wgt();

    {
        MessageCapture capture;
        delete module;
        QVERIFY(capture.contains(QStringLiteral("~Tessel")));
        QVERIFY(capture.contains(QStringLiteral("{tessel::Tessel::~Tessel@")));
        QVERIFY(capture.contains(QStringLiteral("tessel::Tessel::cancelPage")));
    }
    QVERIFY(plugin.isNull());
    QVERIFY(pageWidget.isNull());
    QVERIFY(!m_center->page(key));
    QVERIFY(!m_center->pageKeys().contains(key));
    QVERIFY(navEntry(key).isEmpty());
    QVERIFY(!tessel::tesselFactory().create(name, nullptr));
    QVERIFY(!skald::bModule(QStringLiteral("nabu.tessel.Gone")));
}

void tst_Tessel::moduleWithoutPluginDoesNothing()
{
    const QString name = QStringLiteral("Cancelled");
    tessel::tesselFactory().regist(name, creatorNamed(QStringLiteral("one")));
    tessel::tesselFactory().cancel(name);
    tessel::tesselFactory().cancel(QStringLiteral("NeverRegistered"));

    MessageCapture capture;
    std::unique_ptr<tessel::Tessel> module(makeModule(name));
    QVERIFY(module);
    QVERIFY(!module->plugin());
    QVERIFY(capture.contains(QStringLiteral("no plug-in could be created for Cancelled")));
    runLifecycle(module.get());
    QCOMPARE(module->settingPage()->renderRequests(), 0);
    // The host still has a (blank) page and entry for the module until it goes.
    QCOMPARE(navEntry(QStringLiteral("tessel.Cancelled")).value(QStringLiteral("title")).toString(),
             name);
}

void tst_Tessel::setupWithoutCentreAreaMakesNoPage()
{
    const QString name = QStringLiteral("Headless");
    tessel::tesselFactory().regist(name, creatorNamed(QStringLiteral("one")));
    m_center.reset();
    QVERIFY(!skald::instantiatedCenterWidget());
    {
        MessageCapture capture;
        std::unique_ptr<tessel::Tessel> module(makeModule(name));
        module->setup();
        QVERIFY(capture.contains(QStringLiteral("the host has no centre area; no page for Headless")));
        QVERIFY(!module->settingPage());
        module->init();
        module->render();
        module->idle();
        QCOMPARE(qobject_cast<RecordingPlugin *>(module->plugin())->calls,
                 (QStringList{QStringLiteral("init"), QStringLiteral("render"),
                              QStringLiteral("idle")}));
    }
    m_center = std::make_unique<skald::CenterWidget>();
}

void tst_Tessel::cancelPageRemovesFirstMatchOnly()
{
    tessel::tesselFactory().regist(QStringLiteral("Pager"), creatorNamed(QStringLiteral("one")));
    std::unique_ptr<tessel::Tessel> module(makeModule(QStringLiteral("Pager")));
    nabu::ModuleObject *list = navList();
    list->importFromJson(nullptr, QJsonArray{QJsonObject{{"nav", "x.A"}, {"title", "1"}},
                                             QJsonObject{{"nav", "x.B"}, {"title", "2"}},
                                             QJsonObject{{"nav", "x.A"}, {"title", "3"}}});

    QVERIFY(!module->cancelPage(QString(), QStringLiteral("x.A")));
    QCOMPARE(list->cmobjCount(), 3);

    QVERIFY(module->cancelPage(QStringLiteral("robot.pack"), QStringLiteral("x.A")));
    QCOMPARE(list->exportToJson(),
             QJsonValue(QJsonArray{QJsonObject{{"nav", "x.B"}, {"title", "2"}},
                                   QJsonObject{{"nav", "x.A"}, {"title", "3"}}}));

    // No match (the comparison is case-sensitive): the list is written back unchanged.
    QPointer<nabu::ModuleObject> before = list->c(0);
    QVERIFY(module->cancelPage(QStringLiteral("robot.pack"), QStringLiteral("x.b")));
    QVERIFY(before.isNull());
    QCOMPARE(list->cmobjCount(), 2);
    QVERIFY(list->isList());

    // The last entry gone leaves an empty list, not a missing one.
    list->importFromJson(nullptr, QJsonArray{QJsonObject{{"nav", "x.C"}}});
    QVERIFY(module->cancelPage(QStringLiteral("robot.pack"), QStringLiteral("x.C")));
    QCOMPARE(list->exportToJson(), QJsonValue(QJsonArray()));
}

QTEST_MAIN(tst_Tessel)
#include "tst_tessel.moc"
