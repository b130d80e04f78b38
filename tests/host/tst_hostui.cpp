#include <mirel/basecontentwidget.h>
#include <mirel/basesettingpage.h>
#include <mirel/managerhelper.h>
#include <mirel/physicalbutton.h>
#include <mirel/rlmanager.h>
#include <mirel/settingmanager.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabuSkald/centerwidget.h>
#include <nabuSkald/statusbar.h>
#include <nabusrv/lumo.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {

const QString kStretch = QStringLiteral("rovan.body.statuspage.wgtStrech2");

// The keys of the bar's row in the order the layout shows them.
QStringList layoutOrder(const skald::StatusBar &bar)
{
    const QStringList keys = bar.itemKeys();
    QStringList shown;
    QLayout *layout = bar.layout();
    for (int i = 0; i < layout->count(); ++i) {
        QWidget *w = layout->itemAt(i)->widget();
        QString key = QStringLiteral("<unkeyed>");
        for (const QString &k : keys) {
            if (bar.item(k) == w)
                key = k;
        }
        shown.append(key);
    }
    return shown;
}

QStringList titles(nabu::ModuleObject *list)
{
    QStringList result;
    for (nabu::ModuleObject *entry : list->cmobjs())
        result.append(entry->r(QStringLiteral("title"))->getString());
    return result;
}

class TextContent : public mirel::BaseContentWidget
{
public:
    TextContent(const QString &label, QWidget *parent)
        : mirel::BaseContentWidget(parent)
    {
        setObjectName(label);
    }
    void SetContent(const QString &text) override { m_text = text; }
    QString ToString() override { return m_text; }

private:
    QString m_text;
};

mirel::PhysicalButton button(const QString &text, int *counter, int step = 1)
{
    mirel::PhysicalButton b;
    b.text = text;
    b.action = [counter, step] { *counter += step; };
    return b;
}

QList<mirel::PhysicalButtonRegistry::Registration> registrationsOf(const QString &key)
{
    QList<mirel::PhysicalButtonRegistry::Registration> result;
    const auto all = mirel::PhysicalButtonRegistry::instance()->registrations();
    for (const auto &reg : all) {
        if (reg.key == key)
            result.append(reg);
    }
    return result;
}

} // namespace

class tst_HostUi : public QObject
{
    Q_OBJECT

private slots:
    void centerAddAndRemove();
    void centerRefusals_data();
    void centerRefusals();
    void centerOwnerDestruction();
    void centerPageDeletedDirectly();
    void centerShowPage();
    void statusBarHostItems();
    void statusBarAddBeforeItem();
    void statusBarRefusals_data();
    void statusBarRefusals();
    void statusBarRemoveAndOwners();
    void statusBarItemDeletedDirectly();
    void instantiatedStatusBarAlwaysThere();
    void lumoPageListPath_data();
    void lumoPageListPath();
    void lumoRegisterPage();
    void lumoIndexInsertion_data();
    void lumoIndexInsertion();
    void baseSettingPage();
    void baseSettingPageInCenter();
    void physicalButtons();
    void physicalButtonRefusals();
    void physicalButtonOwnerDestruction();
    void rlManagerRegistrations();
    void rlManagerWidgetFactories();
    void throwLogRecordsAndEmits();
    void qrcAliases();
    void settingManager();
};

void tst_HostUi::centerAddAndRemove()
{
    skald::CenterWidget center;
    QCOMPARE(skald::instantiatedCenterWidget(), &center);
    QObject owner;
    QSignalSpy changed(&center, &skald::CenterWidget::pagesChanged);
    auto *one = new QWidget;
    auto *two = new QWidget;
    QVERIFY(center.addPage(&owner, QStringLiteral("one"), one));
    QVERIFY(center.addPage(&owner, QStringLiteral("two"), two));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(center.pageKeys(), (QStringList{"one", "two"}));
    QCOMPARE(center.count(), 2);
    QCOMPARE(center.page(QStringLiteral("one")), one);
    QCOMPARE(one->parentWidget(), &center);

    // Removed and deleted.
    QPointer<QWidget> watchOne(one);
    QVERIFY(center.removeItem(&owner, QStringLiteral("one")));
    QVERIFY(watchOne.isNull());
    QCOMPARE(center.pageKeys(), QStringList{"two"});
    QCOMPARE(center.count(), 1);
    QCOMPARE(center.page(QStringLiteral("one")), nullptr);
    QVERIFY(!center.removeItem(&owner, QStringLiteral("one")));
    QCOMPARE(changed.count(), 3);

    // Removed and handed back.
    QVERIFY(center.removeItem(&owner, QStringLiteral("two"), false));
    std::unique_ptr<QWidget> back(two);
    QCOMPARE(two->parent(), nullptr);
    QCOMPARE(center.indexOf(two), -1);
    QCOMPARE(center.count(), 0);
    QVERIFY(center.pageKeys().isEmpty());
    // The key is free again, and the handed-back widget can come back.
    QVERIFY(center.addPage(&owner, QStringLiteral("two"), back.release()));
    QCOMPARE(center.page(QStringLiteral("two")), two);
}

void tst_HostUi::centerRefusals_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<bool>("nullWidget");

    QTest::newRow("taken key") << "taken" << false;
    QTest::newRow("empty key") << "" << false;
    QTest::newRow("null widget") << "fresh" << true;
}

void tst_HostUi::centerRefusals()
{
    QFETCH(QString, key);
    QFETCH(bool, nullWidget);

    skald::CenterWidget center;
    QObject owner;
    auto *taken = new QWidget;
    QVERIFY(center.addPage(&owner, QStringLiteral("taken"), taken));
    QSignalSpy changed(&center, &skald::CenterWidget::pagesChanged);
    std::unique_ptr<QWidget> widget(nullWidget ? nullptr : new QWidget);
    QVERIFY(!center.addPage(&owner, key, widget.get()));
    QCOMPARE(changed.count(), 0);
    QCOMPARE(center.pageKeys(), QStringList{"taken"});
    QCOMPARE(center.count(), 1);
    QCOMPARE(center.page(QStringLiteral("taken")), taken);
    if (widget)
        QCOMPARE(widget->parent(), nullptr);

    // One widget cannot be two pages.
    QVERIFY(!center.addPage(&owner, QStringLiteral("again"), taken));
    QCOMPARE(center.pageKeys(), QStringList{"taken"});
}

void tst_HostUi::centerOwnerDestruction()
{
    skald::CenterWidget center;
    auto owner = std::make_unique<QObject>();
    QObject other;
    QPointer<QWidget> a = new QWidget;
    QPointer<QWidget> b = new QWidget;
    QPointer<QWidget> c = new QWidget;
    center.addPage(owner.get(), QStringLiteral("a"), a);
    center.addPage(&other, QStringLiteral("b"), b);
    center.addPage(owner.get(), QStringLiteral("c"), c);
    center.removeItem(owner.get(), QStringLiteral("c"), false);
    std::unique_ptr<QWidget> keepC(c.data());

    owner.reset();
    QVERIFY(a.isNull());
    QVERIFY(!b.isNull());
    QVERIFY(!c.isNull());
    QCOMPARE(center.pageKeys(), QStringList{"b"});
    QCOMPARE(center.count(), 1);

    // A page without an owner stays until removed.
    auto *orphan = new QWidget;
    QVERIFY(center.addPage(nullptr, QStringLiteral("orphan"), orphan));
    QCOMPARE(center.pageKeys(), (QStringList{"b", "orphan"}));
}

void tst_HostUi::centerPageDeletedDirectly()
{
    skald::CenterWidget center;
    QObject owner;
    auto *page = new QWidget;
    center.addPage(&owner, QStringLiteral("p"), page);
    center.addPage(&owner, QStringLiteral("q"), new QWidget);
    QSignalSpy changed(&center, &skald::CenterWidget::pagesChanged);
    delete page;
    QCOMPARE(center.pageKeys(), QStringList{"q"});
    QCOMPARE(center.page(QStringLiteral("p")), nullptr);
    QCOMPARE(center.count(), 1);
    QCOMPARE(changed.count(), 1);
    // Its key is free for a new page.
    auto *replacement = new QWidget;
    QVERIFY(center.addPage(&owner, QStringLiteral("p"), replacement));
    QCOMPARE(center.page(QStringLiteral("p")), replacement);

    // A widget handed back and deleted later does not take the new page's key along.
    QVERIFY(center.removeItem(&owner, QStringLiteral("p"), false));
    QVERIFY(center.addPage(&owner, QStringLiteral("p"), new QWidget));
    delete replacement;
    QVERIFY(center.page(QStringLiteral("p")));
    QCOMPARE(center.pageKeys(), (QStringList{"q", "p"}));
}

void tst_HostUi::centerShowPage()
{
    skald::CenterWidget center;
    QVERIFY(center.currentKey().isEmpty());
    auto *one = new QWidget;
    auto *two = new QWidget;
    center.addPage(nullptr, QStringLiteral("one"), one);
    center.addPage(nullptr, QStringLiteral("two"), two);
    QVERIFY(center.showPage(QStringLiteral("two")));
    QCOMPARE(center.currentWidget(), two);
    QCOMPARE(center.currentKey(), QStringLiteral("two"));
    QVERIFY(!center.showPage(QStringLiteral("three")));
    QCOMPARE(center.currentKey(), QStringLiteral("two"));
    center.removeItem(nullptr, QStringLiteral("two"));
    QCOMPARE(center.currentKey(), QStringLiteral("one"));
}

void tst_HostUi::statusBarHostItems()
{
    skald::StatusBar bar;
    const QStringList host = skald::StatusBar::hostItemKeys();
    QVERIFY(host.contains(kStretch));
    QCOMPARE(bar.itemKeys(), host);
    QCOMPARE(layoutOrder(bar), host);
    for (const QString &key : host) {
        QVERIFY(bar.item(key));
        QCOMPARE(bar.item(key)->parentWidget(), &bar);
        // The host's own items cannot be taken away.
        QVERIFY(!bar.removeItem(nullptr, key));
    }
    QCOMPARE(bar.itemKeys(), host);
}

void tst_HostUi::statusBarAddBeforeItem()
{
    skald::StatusBar bar;
    QObject owner;
    QSignalSpy changed(&bar, &skald::StatusBar::itemsChanged);
    const QStringList host = skald::StatusBar::hostItemKeys();
    const int stretchAt = host.indexOf(kStretch);

    auto *k1 = new QLabel(QStringLiteral("k1"));
    QVERIFY(bar.addBeforeItem(&owner, QStringLiteral("k1"), kStretch, k1));
    QStringList expected = host;
    expected.insert(stretchAt, QStringLiteral("k1"));
    QCOMPARE(bar.itemKeys(), expected);
    QCOMPARE(k1->parentWidget(), &bar);

    // In front of a plug-in's own item.
    QVERIFY(bar.addBeforeItem(&owner, QStringLiteral("k2"), QStringLiteral("k1"), new QLabel));
    expected.insert(stretchAt, QStringLiteral("k2"));
    QCOMPARE(bar.itemKeys(), expected);

    // In front of the first and the last item.
    QVERIFY(bar.addBeforeItem(&owner, QStringLiteral("first"), host.first(), new QLabel));
    expected.prepend(QStringLiteral("first"));
    QVERIFY(bar.addBeforeItem(&owner, QStringLiteral("beforeLast"), host.last(), new QLabel));
    expected.insert(expected.size() - 1, QStringLiteral("beforeLast"));
    QVERIFY(bar.addItem(&owner, QStringLiteral("end"), new QLabel));
    expected.append(QStringLiteral("end"));

    QCOMPARE(bar.itemKeys(), expected);
    QCOMPARE(layoutOrder(bar), expected);
    QCOMPARE(bar.item(QStringLiteral("k1")), k1);
    QCOMPARE(changed.count(), 5);
}

void tst_HostUi::statusBarRefusals_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("before");
    QTest::addColumn<bool>("nullWidget");

    QTest::newRow("unknown before") << "k" << "rovan.body.statuspage.none" << false;
    QTest::newRow("empty before") << "k" << "" << false;
    QTest::newRow("before a removed item") << "k" << "gone" << false;
    QTest::newRow("key taken by plug-in") << "mine" << kStretch << false;
    QTest::newRow("key taken by host") << "rovan.body.statuspage.link" << kStretch << false;
    QTest::newRow("empty key") << "" << kStretch << false;
    QTest::newRow("null widget") << "k" << kStretch << true;
}

void tst_HostUi::statusBarRefusals()
{
    QFETCH(QString, key);
    QFETCH(QString, before);
    QFETCH(bool, nullWidget);

    skald::StatusBar bar;
    QObject owner;
    QVERIFY(bar.addBeforeItem(&owner, QStringLiteral("mine"), kStretch, new QLabel));
    QVERIFY(bar.addItem(&owner, QStringLiteral("gone"), new QLabel));
    QVERIFY(bar.removeItem(&owner, QStringLiteral("gone")));
    const QStringList keys = bar.itemKeys();
    QSignalSpy changed(&bar, &skald::StatusBar::itemsChanged);

    std::unique_ptr<QWidget> widget(nullWidget ? nullptr : new QLabel);
    QVERIFY(!bar.addBeforeItem(&owner, key, before, widget.get()));
    QCOMPARE(bar.itemKeys(), keys);
    QCOMPARE(layoutOrder(bar), keys);
    QCOMPARE(changed.count(), 0);
    if (widget)
        QCOMPARE(widget->parent(), nullptr);
}

void tst_HostUi::statusBarRemoveAndOwners()
{
    skald::StatusBar bar;
    auto owner = std::make_unique<QObject>();
    QObject other;
    QPointer<QWidget> mine = new QLabel;
    QPointer<QWidget> theirs = new QLabel;
    bar.addBeforeItem(owner.get(), QStringLiteral("mine"), kStretch, mine);
    bar.addBeforeItem(&other, QStringLiteral("theirs"), kStretch, theirs);
    bar.addItem(owner.get(), QStringLiteral("mine2"), new QLabel);

    // One widget cannot be two items.
    QVERIFY(!bar.addItem(&other, QStringLiteral("dup"), theirs));

    QVERIFY(bar.removeItem(&other, QStringLiteral("theirs")));
    QVERIFY(theirs.isNull());
    QVERIFY(!bar.removeItem(&other, QStringLiteral("theirs")));
    QVERIFY(bar.addBeforeItem(&other, QStringLiteral("theirs"), QStringLiteral("mine"),
                              new QLabel));

    owner.reset();
    QVERIFY(mine.isNull());
    QStringList expected = skald::StatusBar::hostItemKeys();
    expected.insert(expected.indexOf(kStretch), QStringLiteral("theirs"));
    QCOMPARE(bar.itemKeys(), expected);
    QCOMPARE(layoutOrder(bar), expected);
}

void tst_HostUi::statusBarItemDeletedDirectly()
{
    skald::StatusBar bar;
    QObject owner;
    auto *doomed = new QLabel;
    bar.addBeforeItem(&owner, QStringLiteral("doomed"), kStretch, doomed);
    bar.addBeforeItem(&owner, QStringLiteral("stays"), kStretch, new QLabel);
    delete doomed;
    QVERIFY(!bar.itemKeys().contains(QStringLiteral("doomed")));
    QCOMPARE(bar.item(QStringLiteral("doomed")), nullptr);
    // Later insertions still land where asked.
    QVERIFY(bar.addBeforeItem(&owner, QStringLiteral("late"), kStretch, new QLabel));
    QVERIFY(bar.addBeforeItem(&owner, QStringLiteral("doomed"), QStringLiteral("stays"),
                              new QLabel));
    QStringList expected = skald::StatusBar::hostItemKeys();
    const int at = expected.indexOf(kStretch);
    expected.insert(at, QStringLiteral("late"));
    expected.insert(at, QStringLiteral("stays"));
    expected.insert(at, QStringLiteral("doomed"));
    QCOMPARE(bar.itemKeys(), expected);
    QCOMPARE(layoutOrder(bar), expected);
}

void tst_HostUi::instantiatedStatusBarAlwaysThere()
{
    // No bar on screen: the host still gives one, with its own items.
    skald::StatusBar *fallback = skald::instantiatedStatusBar();
    QVERIFY(fallback);
    QCOMPARE(skald::instantiatedStatusBar(this), fallback);
    QVERIFY(fallback->itemKeys().contains(kStretch));
    QVERIFY(fallback->addBeforeItem(this, QStringLiteral("tst.hostui.item"), kStretch,
                                    new QLabel));

    QPointer<skald::StatusBar> shown;
    {
        skald::StatusBar real;
        shown = &real;
        QCOMPARE(skald::instantiatedStatusBar(), &real);
        // A second bar does not displace the one shown.
        skald::StatusBar second;
        QCOMPARE(skald::instantiatedStatusBar(), &real);
    }
    QVERIFY(shown.isNull());
    skald::StatusBar *after = skald::instantiatedStatusBar();
    QVERIFY(after);
    QVERIFY(after->addBeforeItem(this, QStringLiteral("tst.hostui.after"), kStretch,
                                 new QLabel));
    QVERIFY(after->removeItem(this, QStringLiteral("tst.hostui.after")));
}

void tst_HostUi::lumoPageListPath_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("path");

    QTest::newRow("robot pack") << "robot.pack" << "robot.page.pack.page";
    QTest::newRow("three levels") << "tsthostui.a.b" << "tsthostui.page.a.page.b.page";
    QTest::newRow("one level") << "tsthostuisolo" << "tsthostuisolo.page";
}

void tst_HostUi::lumoPageListPath()
{
    QFETCH(QString, group);
    QFETCH(QString, path);

    nabu::ModuleObject *list = sv::lumo::pageList(group);
    QCOMPARE(list, nabu::m(QStringLiteral("lumo.page"))->r(path));
    QCOMPARE(list, nabu::m(QStringLiteral("lumo.page.") + path));
    QVERIFY(list->isList());
    QCOMPARE(sv::lumo::pageList(group), list);
}

void tst_HostUi::lumoRegisterPage()
{
    nabu::ModuleObject *list = sv::lumo::pageList(QStringLiteral("robot.pack"));
    list->clear(this);
    QObject owner;
    QSignalSpy added(list, &nabu::ModuleObject::childAdded);

    nabu::ModuleObject *first = sv::lumo::registerPage(
        &owner, QStringLiteral("Calibration"), QStringLiteral("robot.pack"),
        QStringLiteral("DH calibration"), -1);
    nabu::ModuleObject *second = sv::lumo::registerPage(
        &owner, QStringLiteral("ISO test"), QStringLiteral("robot.pack"),
        QStringLiteral("ISO 9283"), -1);
    QVERIFY(first);
    QVERIFY(second);
    QCOMPARE(added.count(), 2);
    QCOMPARE(first->pmobj(), list);
    QCOMPARE(list->cmobjCount(), 2);
    QVERIFY(first->name() != second->name());
    QCOMPARE(first->r(QStringLiteral("title"))->getString(), QStringLiteral("Calibration"));
    QCOMPARE(first->r(QStringLiteral("text"))->getString(), QStringLiteral("DH calibration"));
    QCOMPARE(first->r(QStringLiteral("group"))->getString(), QStringLiteral("robot.pack"));
    QCOMPARE(first->r(QStringLiteral("index"))->getInt(99), -1);

    // The caller fills "nav"; the entry then exports as an object with it.
    first->set(&owner, QStringLiteral("nav"),
               QVariantMap{{QStringLiteral("module"), QStringLiteral("veltra")}});
    second->r(QStringLiteral("nav.module"))->set(&owner, QStringLiteral("iso"));
    const QJsonValue exported = nabu::m(QStringLiteral("lumo.page"))
                                    ->r(QStringLiteral("robot.page.pack.page"))
                                    ->exportToJson();
    QVERIFY(exported.isArray());
    const QJsonArray entries = exported.toArray();
    QCOMPARE(entries.size(), 2);
    for (const QJsonValue &entry : entries) {
        QVERIFY(entry.isObject());
        QVERIFY(entry.toObject().value("nav").isObject());
        QCOMPARE(entry.toObject().value("group").toString(), QStringLiteral("robot.pack"));
    }
    QCOMPARE(entries.at(0).toObject().value("nav").toObject().value("module").toString(),
             QStringLiteral("veltra"));
    QCOMPARE(entries.at(1).toObject().value("title").toString(), QStringLiteral("ISO test"));

    // The export rebuilds the same list.
    nabu::ModuleObject copy;
    copy.importFromJson(this, exported);
    QCOMPARE(copy.exportToJson(), exported);
    QCOMPARE(copy.r(QStringLiteral("#1.nav.module"))->getString(), QStringLiteral("iso"));

    // Removing an entry leaves the others in order.
    QVERIFY(list->remove(&owner, first));
    QCOMPARE(titles(list), QStringList{"ISO test"});
    list->clear(this);
}

void tst_HostUi::lumoIndexInsertion_data()
{
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("order");

    QTest::newRow("front") << 0 << QStringList{"N", "A", "B", "C"};
    QTest::newRow("second") << 1 << QStringList{"A", "N", "B", "C"};
    QTest::newRow("last slot") << 3 << QStringList{"A", "B", "C", "N"};
    QTest::newRow("far beyond") << 40 << QStringList{"A", "B", "C", "N"};
    QTest::newRow("append") << -1 << QStringList{"A", "B", "C", "N"};
}

void tst_HostUi::lumoIndexInsertion()
{
    QFETCH(int, index);
    QFETCH(QStringList, order);

    const QString group = QStringLiteral("tsthostui.insert");
    nabu::ModuleObject *list = sv::lumo::pageList(group);
    list->clear(this);
    QObject owner;
    for (const char *title : {"A", "B", "C"})
        sv::lumo::registerPage(&owner, QString::fromLatin1(title), group, QString(), -1);
    nabu::ModuleObject *entry =
        sv::lumo::registerPage(&owner, QStringLiteral("N"), group, QString(), index);
    QCOMPARE(titles(list), order);
    QCOMPARE(list->indexOf(entry), order.indexOf(QStringLiteral("N")));
    QCOMPARE(list->r(QStringLiteral("#%1").arg(order.indexOf(QStringLiteral("N")))), entry);
    const QJsonArray exported = list->exportToJson().toArray();
    for (int i = 0; i < order.size(); ++i)
        QCOMPARE(exported.at(i).toObject().value("title").toString(), order.at(i));
    list->clear(this);
}

void tst_HostUi::baseSettingPage()
{
    QWidget parentWidget;
    QObject owner;
    QPointer<QWidget> page;
    {
        mirel::BaseSettingPage module(QStringLiteral("robot"), QStringLiteral("Calibration"),
                                      &parentWidget, &owner);
        QCOMPARE(module.type(), QStringLiteral("robot"));
        QCOMPARE(module.name(), QStringLiteral("Calibration"));
        QCOMPARE(module.parent(), &owner);
        page = module.wgt();
        QVERIFY(page);
        QCOMPARE(page->parentWidget(), &parentWidget);
        auto *title = qobject_cast<QLabel *>(module.titleWgt());
        QVERIFY(title);
        QCOMPARE(title->text(), QStringLiteral("Calibration"));
        QCOMPARE(title->objectName(), QStringLiteral("titleWgt"));
        QCOMPARE(module.contentWgt()->objectName(), QStringLiteral("contentWgt"));
        QCOMPARE(page->findChild<QWidget *>(QStringLiteral("titleWgt")), title);
        QCOMPARE(page->findChild<QWidget *>(QStringLiteral("contentWgt")), module.contentWgt());
        // The title row sits above the content.
        QVERIFY(page->layout()->indexOf(title) < page->layout()->indexOf(module.contentWgt()));
        // A plug-in fills the content widget.
        auto *inner = new QLabel(QStringLiteral("inner"), module.contentWgt());
        QCOMPARE(inner->window(), parentWidget.window());
    }
    // The page goes with its module.
    QVERIFY(page.isNull());

    // A parent that went first takes the page; the module then has none to delete.
    auto parentFirst = std::make_unique<QWidget>();
    auto module = std::make_unique<mirel::BaseSettingPage>(
        QStringLiteral("robot"), QStringLiteral("Iso"), parentFirst.get(), nullptr);
    page = module->wgt();
    parentFirst.reset();
    QVERIFY(page.isNull());
    QCOMPARE(module->wgt(), nullptr);
    module.reset();

    // Without a parent widget the page is a window of its own until placed.
    mirel::BaseSettingPage loose(QStringLiteral("t"), QStringLiteral("n"), nullptr, nullptr);
    QCOMPARE(loose.wgt()->parentWidget(), nullptr);
    QCOMPARE(loose.wgt()->objectName(), QStringLiteral("t.n"));
}

void tst_HostUi::baseSettingPageInCenter()
{
    skald::CenterWidget center;
    auto module = std::make_unique<mirel::BaseSettingPage>(
        QStringLiteral("robot"), QStringLiteral("Calibration"), nullptr, nullptr);
    QVERIFY(center.addPage(module.get(), QStringLiteral("veltra"), module->wgt()));
    QCOMPARE(center.page(QStringLiteral("veltra")), module->wgt());
    // The module owns the page and is its owner in the centre area: both go together.
    module.reset();
    QVERIFY(center.pageKeys().isEmpty());
    QCOMPARE(center.count(), 0);
}

void tst_HostUi::physicalButtons()
{
    auto *registry = mirel::PhysicalButtonRegistry::instance();
    QCOMPARE(mirel::PhysicalButtonRegistry::instance(), registry);
    QObject owner;
    const QString key = QStringLiteral("tst.hostui.buttons");
    int first = 0;
    int second = 0;
    QSignalSpy changed(registry, &mirel::PhysicalButtonRegistry::changed);

    QVERIFY(mirel::registerPhysicalButtons(
        &owner, key, {button("Run", &first), button("Stop", &first, 10)},
        {button("Save", &second)}, {QStringLiteral("run"), QStringLiteral("stop")}));
    QCOMPARE(changed.count(), 1);
    auto regs = registrationsOf(key);
    QCOMPARE(regs.size(), 1);
    QCOMPARE(regs.at(0).owner, &owner);
    QCOMPARE(regs.at(0).list1.size(), 2);
    QCOMPARE(regs.at(0).list1.at(1).text, QStringLiteral("Stop"));
    QCOMPARE(regs.at(0).names, (QStringList{"run", "stop"}));
    QVERIFY(regs.at(0).enabled);

    QVERIFY(registry->press(key, 0, 0));
    QVERIFY(registry->press(key, 0, 1));
    QCOMPARE(first, 11);
    QVERIFY(registry->press(key, 1, 0));
    QCOMPARE(second, 1);

    // Disabled: nothing runs until enabled again.
    QVERIFY(mirel::enableRegisterPhysicalButtons(&owner, key, false));
    QVERIFY(!registrationsOf(key).at(0).enabled);
    QVERIFY(!registry->press(key, 0, 0));
    QCOMPARE(first, 11);
    QVERIFY(mirel::enableRegisterPhysicalButtons(&owner, key, true));
    QVERIFY(registry->press(key, 0, 0));
    QCOMPARE(first, 12);

    // Registering the same owner and key again replaces the set.
    int third = 0;
    QVERIFY(mirel::registerPhysicalButtons(&owner, key, {button("Other", &third)}, {}, {}));
    regs = registrationsOf(key);
    QCOMPARE(regs.size(), 1);
    QCOMPARE(regs.at(0).list1.size(), 1);
    QVERIFY(registry->press(key, 0, 0));
    QCOMPARE(third, 1);
    QCOMPARE(first, 12);
    QVERIFY(!registry->press(key, 1, 0));
}

void tst_HostUi::physicalButtonRefusals()
{
    auto *registry = mirel::PhysicalButtonRegistry::instance();
    QObject owner;
    const QString key = QStringLiteral("tst.hostui.refusals");
    int count = 0;
    mirel::PhysicalButton silent;
    silent.text = QStringLiteral("no action");
    QVERIFY(registry->registerButtons(&owner, key, {button("a", &count), silent},
                                      {button("b", &count)}, {}));

    QVERIFY(!registry->registerButtons(&owner, QString(), {button("x", &count)}, {}, {}));
    QVERIFY(!mirel::enableRegisterPhysicalButtons(&owner, QStringLiteral("tst.hostui.none"),
                                                  true));
    QObject stranger;
    QVERIFY(!mirel::enableRegisterPhysicalButtons(&stranger, key, false));
    QVERIFY(registrationsOf(key).at(0).enabled);

    QVERIFY(!registry->press(key, 0, 2));
    QVERIFY(!registry->press(key, 0, -1));
    QVERIFY(!registry->press(key, 1, 1));
    QVERIFY(!registry->press(key, 2, 0));
    QVERIFY(!registry->press(key, -1, 0));
    QVERIFY(!registry->press(key, 0, 1));
    QVERIFY(!registry->press(QStringLiteral("tst.hostui.none"), 0, 0));
    QCOMPARE(count, 0);
    QVERIFY(registry->press(key, 1, 0));
    QCOMPARE(count, 1);
}

void tst_HostUi::physicalButtonOwnerDestruction()
{
    auto *registry = mirel::PhysicalButtonRegistry::instance();
    const QString key = QStringLiteral("tst.hostui.owners");
    auto owner = std::make_unique<QObject>();
    QObject other;
    int count = 0;
    registry->registerButtons(owner.get(), key, {button("a", &count)}, {}, {});
    registry->registerButtons(owner.get(), QStringLiteral("tst.hostui.owners2"),
                              {button("a", &count)}, {}, {});
    registry->registerButtons(&other, key, {button("b", &count, 100)}, {}, {});
    QCOMPARE(registrationsOf(key).size(), 2);

    QSignalSpy changed(registry, &mirel::PhysicalButtonRegistry::changed);
    owner.reset();
    QVERIFY(changed.count() >= 1);
    QCOMPARE(registrationsOf(key).size(), 1);
    QCOMPARE(registrationsOf(key).at(0).owner, &other);
    QVERIFY(registrationsOf(QStringLiteral("tst.hostui.owners2")).isEmpty());
    QVERIFY(registry->press(key, 0, 0));
    QCOMPARE(count, 100);

    // An action may destroy its own owner.
    const QString selfKey = QStringLiteral("tst.hostui.selfdestruct");
    QPointer<QObject> doomed = new QObject;
    mirel::PhysicalButton bye;
    bye.action = [doomed] { delete doomed.data(); };
    registry->registerButtons(doomed, selfKey, {bye}, {}, {});
    QVERIFY(registry->press(selfKey, 0, 0));
    QVERIFY(doomed.isNull());
    QVERIFY(registrationsOf(selfKey).isEmpty());
    QVERIFY(!registry->press(selfKey, 0, 0));
}

void tst_HostUi::rlManagerRegistrations()
{
    mirel::RlManager *rl = mirel::RlManager::getRlManager();
    QCOMPARE(mirel::RlManager::getRlManager(), rl);

    const QStringList before = rl->cmdKeywords();
    rl->addCmdKeyword(QStringLiteral("TstHostUiMove"));
    rl->addCmdKeyword(QStringLiteral("TstHostUiWait"));
    rl->addCmdKeyword(QStringLiteral("TstHostUiMove"));
    QCOMPARE(rl->cmdKeywords(), before + QStringList({"TstHostUiMove", "TstHostUiWait"}));

    rl->addSkeleton(QStringLiteral("TstHostUiMove"), QStringLiteral("TstHostUiMove p, v;"));
    rl->addPattern(QStringLiteral("TstHostUiMove"), QStringLiteral("^TstHostUiMove\\s"));
    rl->addInsUsage(QStringLiteral("TstHostUiMove"), QStringLiteral("moves"));
    rl->addInsDefault(QStringLiteral("TstHostUiMove"), QStringLiteral("TstHostUiMove p1, v100;"));
    rl->addInsDefault(QStringLiteral("TstHostUiEmpty"), QString());
    QCOMPARE(rl->skeleton(QStringLiteral("TstHostUiMove")), QStringLiteral("TstHostUiMove p, v;"));
    QCOMPARE(rl->pattern(QStringLiteral("TstHostUiMove")), QStringLiteral("^TstHostUiMove\\s"));
    QCOMPARE(rl->usage(QStringLiteral("TstHostUiMove")), QStringLiteral("moves"));
    QCOMPARE(rl->insDefault(QStringLiteral("TstHostUiMove")),
             QStringLiteral("TstHostUiMove p1, v100;"));
    QVERIFY(rl->hasInsDefault(QStringLiteral("TstHostUiMove")));
    QVERIFY(rl->hasInsDefault(QStringLiteral("TstHostUiEmpty")));
    QVERIFY(!rl->hasInsDefault(QStringLiteral("TstHostUiNone")));
    QVERIFY(rl->skeleton(QStringLiteral("TstHostUiNone")).isEmpty());
    // A later registration of the same instruction replaces the text.
    rl->addInsUsage(QStringLiteral("TstHostUiMove"), QStringLiteral("moves linearly"));
    QCOMPARE(rl->usage(QStringLiteral("TstHostUiMove")), QStringLiteral("moves linearly"));

    const QString group = QStringLiteral("TstHostUiGroup");
    rl->addInsGroup(group, QStringLiteral("Calibration"));
    QCOMPARE(rl->insGroupText(group), QStringLiteral("Calibration"));
    rl->addInsGroupInsList(group, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("a")},
                           false);
    rl->addInsGroupInsList(group, {QStringLiteral("b"), QStringLiteral("c")}, false);
    QCOMPARE(rl->insGroupInsList(group), (QStringList{"a", "b", "c"}));
    rl->addInsGroupInsList(group, {QStringLiteral("z")}, true);
    QCOMPARE(rl->insGroupInsList(group), QStringList{"z"});
    QVERIFY(rl->insGroupInsList(QStringLiteral("TstHostUiNoGroup")).isEmpty());
}

void tst_HostUi::rlManagerWidgetFactories()
{
    mirel::RlManager *rl = mirel::RlManager::getRlManager();
    QWidget parent;
    QWidget *seenParent = nullptr;
    rl->addInsertWidget(QStringLiteral("TstHostUiMove"),
                        [&seenParent](QWidget *p) -> mirel::BaseContentWidget * {
                            seenParent = p;
                            return new TextContent(QStringLiteral("insert"), p);
                        });
    rl->addPropertyWidget(QStringLiteral("TstHostUiMove"),
                          [](QWidget *p) -> mirel::BaseContentWidget * {
                              return new TextContent(QStringLiteral("property"), p);
                          });

    mirel::BaseContentWidget *insert = rl->createInsertWidget(QStringLiteral("TstHostUiMove"),
                                                              &parent);
    QVERIFY(insert);
    QCOMPARE(seenParent, &parent);
    QCOMPARE(insert->parentWidget(), &parent);
    QCOMPARE(insert->GetLabel(), QStringLiteral("insert"));
    insert->SetContent(QStringLiteral("TstHostUiMove p1;"));
    QCOMPARE(insert->ToString(), QStringLiteral("TstHostUiMove p1;"));
    QCOMPARE(insert->ToJsonValue().toObject().value("text").toString(),
             QStringLiteral("TstHostUiMove p1;"));
    QVERIFY(insert->InsertCheck());
    QVERIFY(insert->ReplaceCheck());

    mirel::BaseContentWidget *property =
        rl->createPropertyWidget(QStringLiteral("TstHostUiMove"), &parent);
    QVERIFY(property);
    QVERIFY(property != insert);
    QCOMPARE(property->GetLabel(), QStringLiteral("property"));

    QCOMPARE(rl->createInsertWidget(QStringLiteral("TstHostUiNone"), &parent), nullptr);
    QCOMPARE(rl->createPropertyWidget(QStringLiteral("TstHostUiNone"), &parent), nullptr);
    // Insert and property widgets are separate registries.
    rl->addInsertWidget(QStringLiteral("TstHostUiOnlyInsert"),
                        [](QWidget *p) -> mirel::BaseContentWidget * {
                            return new mirel::BaseContentWidget(p);
                        });
    QCOMPARE(rl->createPropertyWidget(QStringLiteral("TstHostUiOnlyInsert"), &parent), nullptr);
    QVERIFY(rl->createInsertWidget(QStringLiteral("TstHostUiOnlyInsert"), &parent));
    // An empty factory registers nothing to create.
    rl->addInsertWidget(QStringLiteral("TstHostUiEmptyFactory"), nullptr);
    QCOMPARE(rl->createInsertWidget(QStringLiteral("TstHostUiEmptyFactory"), &parent), nullptr);
}

void tst_HostUi::throwLogRecordsAndEmits()
{
    mirel::ManagerHelper *helper = mirel::ManagerHelper::instance();
    QVERIFY(helper);
    QCOMPARE(mirel::ManagerHelper::instance(), helper);
    helper->clearMessages();
    QVERIFY(helper->messages().isEmpty());
    QSignalSpy spy(helper, &mirel::ManagerHelper::operatorMessage);

    QObject named;
    named.setObjectName(QStringLiteral("calibrationPage"));
    QObject unnamed;
    mirel::ManagerHelper::throwLog(&named, QStringLiteral("error"), QStringLiteral("link lost"));
    mirel::ManagerHelper::throwLog(&unnamed, QStringLiteral("info"), QStringLiteral("saved"));
    mirel::ManagerHelper::throwLog(nullptr, QStringLiteral("warning"), QString());

    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(0).at(0).toString(), QStringLiteral("error"));
    QCOMPARE(spy.at(0).at(1).toString(), QStringLiteral("link lost"));
    QCOMPARE(spy.at(1).at(1).toString(), QStringLiteral("saved"));
    QCOMPARE(spy.at(2).at(0).toString(), QStringLiteral("warning"));

    const QList<mirel::ManagerHelper::Message> messages = helper->messages();
    QCOMPARE(messages.size(), 3);
    QCOMPARE(messages.at(0).source, QStringLiteral("calibrationPage"));
    QCOMPARE(messages.at(0).level, QStringLiteral("error"));
    QCOMPARE(messages.at(0).text, QStringLiteral("link lost"));
    QCOMPARE(messages.at(1).source, QStringLiteral("QObject"));
    QVERIFY(messages.at(2).source.isEmpty());
    QVERIFY(messages.at(2).text.isEmpty());

    helper->clearMessages();
    QVERIFY(helper->messages().isEmpty());
    QCOMPARE(spy.count(), 3);
}

void tst_HostUi::qrcAliases()
{
    mirel::ManagerHelper *helper = mirel::ManagerHelper::instance();
    const QStringList before = helper->qrcAliases();
    helper->registQrcAlias(QStringLiteral("tsthostui"));
    helper->registQrcAlias(QStringLiteral("tsthostui"));
    QCOMPARE(helper->qrcAliases(), before + QStringList{"tsthostui"});
}

void tst_HostUi::settingManager()
{
    mirel::SettingManager *settings = mirel::ManagerHelper::instance()->settingManager();
    QVERIFY(settings);
    QCOMPARE(settings->getStr(QStringLiteral("tsthostui.absent"), QStringLiteral("dflt")),
             QStringLiteral("dflt"));
    QVERIFY(settings->getStr(QStringLiteral("tsthostui.absent")).isEmpty());

    nabu::ModuleObject *node = nabu::m(QStringLiteral("mirel.setting.tsthostui.robot.type"));
    QSignalSpy spy(node, &nabu::ModuleObject::changed);
    settings->setStr(QStringLiteral("tsthostui.robot.type"), QStringLiteral("R6"));
    QCOMPARE(settings->getStr(QStringLiteral("tsthostui.robot.type"), QStringLiteral("dflt")),
             QStringLiteral("R6"));
    QCOMPARE(node->getString(), QStringLiteral("R6"));
    QCOMPARE(spy.count(), 1);
    QCOMPARE(qvariant_cast<QObject *>(spy.at(0).at(2)), settings);
    settings->setStr(QStringLiteral("tsthostui.robot.type"), QStringLiteral("R6"));
    QCOMPARE(spy.count(), 1);

    // An empty setting is a value, not an absence.
    settings->setStr(QStringLiteral("tsthostui.robot.type"), QString());
    QCOMPARE(settings->getStr(QStringLiteral("tsthostui.robot.type"), QStringLiteral("dflt")),
             QString());

    // Settings live in the data tree: any manager and any reader see the same.
    nabu::m(QStringLiteral("mirel.setting.tsthostui.fromTree"))->set(this, QStringLiteral("t"));
    mirel::SettingManager another;
    QCOMPARE(another.getStr(QStringLiteral("tsthostui.fromTree")), QStringLiteral("t"));
    another.setStr(QStringLiteral("tsthostui.fromAnother"), QStringLiteral("a"));
    QCOMPARE(settings->getStr(QStringLiteral("tsthostui.fromAnother")), QStringLiteral("a"));
}

QTEST_MAIN(tst_HostUi)

#include "tst_hostui.moc"
