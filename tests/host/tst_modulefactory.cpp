#include <nabuCore/creatormanager.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabuCore/pluginmanager.h>
#include <nabuSkald/bmodule.h>
#include <nabuSkald/modulelifecycle.h>

#include <QPointer>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

#include <memory>

namespace {

// Writes every lifecycle call into a shared journal, tagged with the module's name.
class RecordingModule : public skald::BModule
{
public:
    RecordingModule(const QString &tag, QStringList *journal, QObject *parent = nullptr)
        : skald::BModule(parent)
        , m_tag(tag)
        , m_journal(journal)
    {
    }

    QString name() const override { return m_tag; }
    void setup() override { note("setup"); }
    void afterSetup() override { note("afterSetup"); }
    void init() override { note("init"); }
    void afterInit() override { note("afterInit"); }
    void render() override { note("render"); }
    void afterRender() override { note("afterRender"); }
    void idle() override { note("idle"); }
    void afterIdle() override { note("afterIdle"); }
    void beforeDetach() override { note("beforeDetach"); }
    void detach() override { note("detach"); }

private:
    void note(const char *step)
    {
        m_journal->append(m_tag + QLatin1Char(':') + QLatin1String(step));
    }

    QString m_tag;
    QStringList *m_journal;
};

class PaintCounter : public QWidget
{
public:
    using QWidget::QWidget;
    int paints = 0;

protected:
    void paintEvent(QPaintEvent *) override { ++paints; }
};

class PageModule : public skald::BModule
{
public:
    explicit PageModule(QWidget *page)
        : m_page(page)
    {
    }
    QWidget *wgt() override { return m_page; }

private:
    QWidget *m_page;
};

QStringList steps(const QStringList &journal, const QString &tag)
{
    QStringList result;
    for (const QString &entry : journal) {
        if (entry.startsWith(tag + QLatin1Char(':')))
            result.append(entry.mid(tag.size() + 1));
    }
    return result;
}

} // namespace

class tst_ModuleFactory : public QObject
{
    Q_OBJECT

private slots:
    void creatorOncePerName_data();
    void creatorOncePerName();
    void creatorRemoveAndOrder();
    void creatorPassesArguments();
    void announcedNames();
    void bfactoryCreatesModules();
    void pluginManagerRegistry();
    void bModuleFindsBoundModules();
    void bModuleRebindAndReplace();
    void lifecycleOrder();
    void lifecycleOfSeveralModules();
    void startRender();
    void defaults();
};

void tst_ModuleFactory::creatorOncePerName_data()
{
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("kept");

    QTest::newRow("distinct") << QStringList{"a", "b", "c"} << QStringList{"a", "b", "c"};
    QTest::newRow("repeat") << QStringList{"a", "a"} << QStringList{"a"};
    QTest::newRow("repeat later") << QStringList{"a", "b", "a", "c", "b"}
                                  << QStringList{"a", "b", "c"};
    QTest::newRow("case matters") << QStringList{"a", "A"} << QStringList{"a", "A"};
}

void tst_ModuleFactory::creatorOncePerName()
{
    QFETCH(QStringList, names);
    QFETCH(QStringList, kept);

    nabu::CreatorManager<int()> manager(QStringLiteral("numbers"));
    QHash<QString, int> firstValue;
    for (int i = 0; i < names.size(); ++i) {
        const QString &name = names.at(i);
        const bool isNew = !firstValue.contains(name);
        QCOMPARE(manager.insert(name, [i] { return 100 + i; }), isNew);
        if (isNew)
            firstValue.insert(name, 100 + i);
    }
    QCOMPARE(manager.keys(), kept);
    // The first creator of a name is the one that stays.
    for (const QString &name : kept) {
        QVERIFY(manager.contains(name));
        QCOMPARE(manager.create(name), firstValue.value(name));
    }
}

void tst_ModuleFactory::creatorRemoveAndOrder()
{
    nabu::CreatorManager<int()> manager(QStringLiteral("numbers"));
    QVERIFY(!manager.insert(QStringLiteral("empty"), nullptr));
    QVERIFY(!manager.contains(QStringLiteral("empty")));
    QCOMPARE(manager.create(QStringLiteral("empty")), 0);
    QCOMPARE(manager.create(QStringLiteral("unknown")), 0);

    QVERIFY(manager.insert(QStringLiteral("one"), [] { return 1; }));
    QVERIFY(manager.insert(QStringLiteral("two"), [] { return 2; }));
    QVERIFY(manager.remove(QStringLiteral("one")));
    QVERIFY(!manager.remove(QStringLiteral("one")));
    QVERIFY(!manager.contains(QStringLiteral("one")));
    QCOMPARE(manager.create(QStringLiteral("one")), 0);
    QCOMPARE(manager.keys(), QStringList{"two"});
    // A removed name can be registered again; it then comes last.
    QVERIFY(manager.insert(QStringLiteral("one"), [] { return 11; }));
    QCOMPARE(manager.keys(), (QStringList{"two", "one"}));
    QCOMPARE(manager.create(QStringLiteral("one")), 11);
}

void tst_ModuleFactory::creatorPassesArguments()
{
    nabu::CreatorManager<QString(const QString &, int)> manager(QStringLiteral("text"));
    manager.insert(QStringLiteral("repeat"),
                   [](const QString &text, int times) { return text.repeated(times); });
    QCOMPARE(manager.create(QStringLiteral("repeat"), QStringLiteral("ab"), 3),
             QStringLiteral("ababab"));
    QCOMPARE(manager.create(QStringLiteral("nope"), QStringLiteral("ab"), 3), QString());

    // Move-only results and arguments pass through untouched.
    nabu::CreatorManager<std::unique_ptr<int>(int)> boxes(QStringLiteral("boxes"));
    boxes.insert(QStringLiteral("box"), [](int v) { return std::make_unique<int>(v); });
    const std::unique_ptr<int> box = boxes.create(QStringLiteral("box"), 9);
    QVERIFY(box);
    QCOMPARE(*box, 9);
    QVERIFY(!boxes.create(QStringLiteral("other"), 9));
}

void tst_ModuleFactory::announcedNames()
{
    nabu::CreatorManager<int()> manager(QStringLiteral("announcements"));
    nabu::ModuleObject *node = manager.mobj();
    QVERIFY(node);
    QCOMPARE(node->name(), QStringLiteral("announcements"));
    QCOMPARE(manager.mobj(), node);

    // How the framework announces a registered name.
    for (const char *name : {"tessel", "veltra", "tessel"}) {
        manager.insert(QString::fromLatin1(name), [] { return 1; });
        nabu::ModuleObject *entry =
            node->set(node, QString::fromLatin1(name), QVariant(), true);
        QVERIFY(entry);
        QCOMPARE(entry->pmobj(), node);
    }
    QCOMPARE(node->cmobjCount(), 2);
    QVERIFY(node->hasCmobj(QStringLiteral("tessel")));
    QVERIFY(node->hasCmobj(QStringLiteral("veltra")));
    QCOMPARE(node->cmobjs().at(0)->name(), QStringLiteral("tessel"));
    QVERIFY(!node->c(QStringLiteral("tessel"))->get().isValid());
    QCOMPARE(node->exportToJson().toObject().keys(), (QStringList{"tessel", "veltra"}));
}

void tst_ModuleFactory::bfactoryCreatesModules()
{
    skald::ModuleFactory &factory = skald::bfactory();
    QCOMPARE(&skald::bfactory(), &factory);
    QVERIFY(factory.mobj());
    QCOMPARE(factory.mobj()->name(), QStringLiteral("bfactory"));

    QStringList journal;
    QObject *seenParent = nullptr;
    const QString name = QStringLiteral("tst.modulefactory.recorder");
    QVERIFY(factory.insert(name, [&journal, &seenParent](QObject *parent) -> skald::BModule * {
        seenParent = parent;
        return new RecordingModule(QStringLiteral("made"), &journal, parent);
    }));
    QVERIFY(!factory.insert(name, [](QObject *) -> skald::BModule * { return nullptr; }));
    QVERIFY(factory.keys().contains(name));

    QObject owner;
    skald::BModule *module = factory.create(name, &owner);
    QVERIFY(module);
    QCOMPARE(seenParent, &owner);
    QCOMPARE(module->parent(), &owner);
    QCOMPARE(module->name(), QStringLiteral("made"));

    // The host's own entry point goes through the same factory.
    QPointer<skald::BModule> second = skald::lifecycle::create(name, &owner);
    QVERIFY(second);
    QVERIFY(second != module);
    QCOMPARE(second->parent(), &owner);
    QCOMPARE(skald::lifecycle::create(QStringLiteral("tst.modulefactory.none"), &owner),
             nullptr);
    QVERIFY(journal.isEmpty());
    QVERIFY(factory.remove(name));
}

void tst_ModuleFactory::pluginManagerRegistry()
{
    nabu::PluginCreatorManager &plugins = nabu::pluginManager();
    QCOMPARE(&nabu::pluginManager(), &plugins);
    QVERIFY(plugins.mobj());
    QVERIFY(plugins.mobj() != skald::bfactory().mobj());

    int calls = 0;
    const QString name = QStringLiteral("tst.modulefactory.plugin");
    QVERIFY(plugins.insert(name, [&calls] { return ++calls; }));
    QVERIFY(!plugins.insert(name, [] { return -1; }));
    QCOMPARE(plugins.create(name), 1);
    QCOMPARE(plugins.create(name), 2);
    QCOMPARE(plugins.create(QStringLiteral("tst.modulefactory.absent")), 0);
    QCOMPARE(calls, 2);
    QVERIFY(plugins.remove(name));
}

void tst_ModuleFactory::bModuleFindsBoundModules()
{
    QStringList journal;
    const QString name = QStringLiteral("tst.modulefactory.bound");
    QCOMPARE(skald::bModule(name), nullptr);
    auto module = std::make_unique<RecordingModule>(QStringLiteral("m"), &journal);
    QCOMPARE(module->mobj(), nullptr);
    module->bindMobj(name);
    QCOMPARE(skald::bModule(name), module.get());
    QCOMPARE(module->boundName(), name);
    QCOMPARE(module->mobj(), nabu::m(name));
    // The node is the module's data: what the module writes, others read at that path.
    module->mobj()->set(module.get(), QStringLiteral("state"), QStringLiteral("ready"));
    QCOMPARE(nabu::m(name + QStringLiteral(".state"))->getString(), QStringLiteral("ready"));

    module.reset();
    QCOMPARE(skald::bModule(name), nullptr);
    QCOMPARE(skald::bModule(QStringLiteral("tst.modulefactory.never")), nullptr);
}

void tst_ModuleFactory::bModuleRebindAndReplace()
{
    QStringList journal;
    const QString first = QStringLiteral("tst.modulefactory.first");
    const QString second = QStringLiteral("tst.modulefactory.second");
    RecordingModule a(QStringLiteral("a"), &journal);
    a.bindMobj(first);
    a.bindMobj(second);
    QCOMPARE(skald::bModule(first), nullptr);
    QCOMPARE(skald::bModule(second), &a);
    QCOMPARE(a.mobj(), nabu::m(second));

    // A later module bound to the name takes it; the earlier one going away leaves it.
    {
        RecordingModule b(QStringLiteral("b"), &journal);
        b.bindMobj(second);
        QCOMPARE(skald::bModule(second), &b);
        {
            RecordingModule c(QStringLiteral("c"), &journal);
            c.bindMobj(first);
            QCOMPARE(skald::bModule(first), &c);
        }
        QCOMPARE(skald::bModule(first), nullptr);
        QCOMPARE(skald::bModule(second), &b);
    }
    QCOMPARE(skald::bModule(second), nullptr);
    QVERIFY(journal.isEmpty());
}

void tst_ModuleFactory::lifecycleOrder()
{
    QStringList journal;
    RecordingModule module(QStringLiteral("m"), &journal);
    skald::lifecycle::start(&module);
    QCOMPARE(journal, (QStringList{"m:setup", "m:afterSetup", "m:init", "m:afterInit",
                                   "m:render", "m:afterRender", "m:idle", "m:afterIdle"}));
    journal.clear();
    skald::lifecycle::stop(&module);
    QCOMPARE(journal, (QStringList{"m:beforeDetach", "m:detach"}));

    journal.clear();
    skald::lifecycle::start(nullptr);
    skald::lifecycle::stop(nullptr);
    QVERIFY(journal.isEmpty());
}

void tst_ModuleFactory::lifecycleOfSeveralModules()
{
    // Created through the factory, as the app does, each runs its own steps in order.
    QStringList journal;
    const QString name = QStringLiteral("tst.modulefactory.several");
    int made = 0;
    skald::bfactory().insert(name, [&journal, &made](QObject *parent) -> skald::BModule * {
        return new RecordingModule(QStringLiteral("m%1").arg(made++), &journal, parent);
    });
    QObject owner;
    skald::BModule *m0 = skald::lifecycle::create(name, &owner);
    skald::BModule *m1 = skald::lifecycle::create(name, &owner);
    skald::lifecycle::start(m0);
    skald::lifecycle::start(m1);
    skald::lifecycle::stop(m1);
    skald::lifecycle::stop(m0);
    const QStringList up{"setup", "afterSetup", "init", "afterInit",
                         "render", "afterRender", "idle", "afterIdle"};
    const QStringList whole = up + QStringList{"beforeDetach", "detach"};
    QCOMPARE(steps(journal, QStringLiteral("m0")), whole);
    QCOMPARE(steps(journal, QStringLiteral("m1")), whole);
    QVERIFY(journal.indexOf(QStringLiteral("m1:detach"))
            < journal.indexOf(QStringLiteral("m0:beforeDetach")));
    skald::bfactory().remove(name);
}

void tst_ModuleFactory::startRender()
{
    PaintCounter page;
    page.resize(40, 30);
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QTRY_VERIFY(page.paints > 0);
    const int paintsBefore = page.paints;

    PageModule module(&page);
    QSignalSpy requested(&module, &skald::BModule::renderRequested);
    QCOMPARE(module.renderRequests(), 0);
    module.startRender();
    QCOMPARE(module.renderRequests(), 1);
    QCOMPARE(requested.count(), 1);
    // The page is repainted by the event loop.
    QTRY_VERIFY(page.paints > paintsBefore);

    module.startRender();
    module.startRender();
    QCOMPARE(module.renderRequests(), 3);
    QCOMPARE(requested.count(), 3);

    // A module without a page still asks.
    QStringList journal;
    RecordingModule bare(QStringLiteral("bare"), &journal);
    QSignalSpy bareSpy(&bare, &skald::BModule::renderRequested);
    bare.startRender();
    QCOMPARE(bareSpy.count(), 1);
    QCOMPARE(bare.renderRequests(), 1);
    QVERIFY(journal.isEmpty());
}

void tst_ModuleFactory::defaults()
{
    skald::BModule module;
    QCOMPARE(module.name(), QStringLiteral("module"));
    QCOMPARE(module.wgt(), nullptr);
    QCOMPARE(module.mobj(), nullptr);
    QVERIFY(module.boundName().isEmpty());
    // The base hooks do nothing and are safe to run.
    skald::lifecycle::start(&module);
    skald::lifecycle::stop(&module);
    QCOMPARE(module.renderRequests(), 0);
}

QTEST_MAIN(tst_ModuleFactory)

#include "tst_modulefactory.moc"
