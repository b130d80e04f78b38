#include "plugin/pluginbase.h"
#include "plugin/pluginregister.h"
#include "plugin/pluginsettingpage_p.h"
#include "plugin/tessel_p.h"
#include "ui/pluginui.h"

#include <mirel/physicalbutton.h>
#include <nabuSkald/bmodule.h>
#include <nabuSkald/centerwidget.h>
#include <nabuSkald/statusbar.h>

#include <QLabel>
#include <QLayout>
#include <QPointer>
#include <QtTest>

#include <memory>

namespace {

QStringList s_lines;

void capture(QtMsgType, const QMessageLogContext &, const QString &message)
{
    s_lines.append(message);
}

// The debug lines written while it lives.
struct LineCapture
{
    LineCapture()
    {
        s_lines.clear();
        previous = qInstallMessageHandler(capture);
    }
    ~LineCapture() { qInstallMessageHandler(previous); }
    QtMessageHandler previous;
};

} // namespace

class tst_PluginUi : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void refusals_data();
    void refusals();
    void centreWidgetGoesIntoThePluginPage();
    void centreWidgetRefusedWithoutAPluginPage();
    void statusBarItemsGoBeforeTheStretch();
    void physicalButtonsReachTheHost();
    void dataPathOfALiveModule();

private:
    std::unique_ptr<skald::CenterWidget> m_center;
    std::unique_ptr<skald::StatusBar> m_status;
    std::unique_ptr<tessel::Tessel> m_module;
};

void tst_PluginUi::initTestCase()
{
    m_center = std::make_unique<skald::CenterWidget>();
    m_status = std::make_unique<skald::StatusBar>();
    tessel::tesselFactory().regist(QStringLiteral("Calib"), [](QObject *parent) {
        return new tessel::PluginBase(parent);
    });
    m_module.reset(qobject_cast<tessel::Tessel *>(
        skald::bfactory().create(QStringLiteral("Calib"), nullptr)));
    QVERIFY(m_module);
    m_module->setup();
}

void tst_PluginUi::refusals_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<QString>("loggedName");
    QTest::newRow("CreateCenterWidget") << "CreateCenterWidget" << "nabu.Unknown";
    QTest::newRow("CreateStatusBar") << "CreateStatusBar" << "nabu.tessel.Unknown";
    QTest::newRow("CreatePhyButtonList") << "CreatePhyButtonList" << "nabu.tessel.Unknown";
    QTest::newRow("ChangePhyButtonStatus") << "ChangePhyButtonStatus" << "nabu.tessel.Unknown";
    QTest::newRow("GetPluginDataPath") << "GetPluginDataPath" << "nabu.Unknown";
}

void tst_PluginUi::refusals()
{
    QFETCH(QString, function);
    QFETCH(QString, loggedName);
    QString path = QStringLiteral("untouched");
    auto call = [&function, &path](const QString &name) {
        QLabel widget;
        int status = 0;
        if (function == QLatin1String("CreateCenterWidget"))
            status = tessel::CreateCenterWidget(name, &widget);
        else if (function == QLatin1String("CreateStatusBar"))
            status = tessel::CreateStatusBar(name, &widget, 0);
        else if (function == QLatin1String("CreatePhyButtonList"))
            status = tessel::CreatePhyButtonList(name, QStringLiteral("k"), {}, {}, {});
        else if (function == QLatin1String("ChangePhyButtonStatus"))
            status = tessel::ChangePhyButtonStatus(name, QStringLiteral("k"), true);
        else
            status = tessel::GetPluginDataPath(path, name);
        return status;
    };

    {
        LineCapture lines;
        QCOMPARE(call(QString()), -1);
        QVERIFY(s_lines.isEmpty());
    }
    LineCapture lines;
    QCOMPARE(call(QStringLiteral("Unknown")), -2);
    QCOMPARE(s_lines.size(), 1);
    const QString line = s_lines.first();
    QVERIFY(line.startsWith(QStringLiteral("\033[31m[E|")));
    QVERIFY2(line.contains(QStringLiteral("{tessel::%1@").arg(function)), qPrintable(line));
    QVERIFY2(line.contains(QStringLiteral("<tessel interfacemanager>%1 unuseful").arg(loggedName)),
             qPrintable(line));
    QVERIFY(line.endsWith(QStringLiteral("\033[0m")));
    QCOMPARE(path, QStringLiteral("untouched"));
}

void tst_PluginUi::centreWidgetRefusedWithoutAPluginPage()
{
    tessel::tesselFactory().regist(QStringLiteral("Pageless"), [](QObject *parent) {
        return new tessel::PluginBase(parent);
    });
    std::unique_ptr<tessel::Tessel> module(qobject_cast<tessel::Tessel *>(
        skald::bfactory().create(QStringLiteral("Pageless"), nullptr)));
    QVERIFY(module);
    QLabel label(QStringLiteral("page"));
    LineCapture lines;
    QCOMPARE(tessel::CreateCenterWidget(QStringLiteral("Pageless"), &label), -3);
    QVERIFY(!label.parentWidget());
    QCOMPARE(s_lines.size(), 1);
    QVERIFY2(s_lines.first().contains(QStringLiteral("no page in the host for Pageless")),
             qPrintable(s_lines.first()));
}

void tst_PluginUi::centreWidgetGoesIntoThePluginPage()
{
    QCOMPARE(tessel::CreateCenterWidget(QStringLiteral("Calib"), nullptr), 0);
    QWidget *content = m_module->settingPage()->contentWgt();
    QCOMPARE(content->layout()->count(), 0);
    QPointer<QLabel> label = new QLabel(QStringLiteral("page"));
    QCOMPARE(tessel::CreateCenterWidget(QStringLiteral("Calib"), label), 0);
    QCOMPARE(content->layout()->count(), 1);
    QCOMPARE(label->parentWidget(), content);
    QCOMPARE(m_center->page(QStringLiteral("tessel.Calib")), m_module->settingPage()->wgt());
}

void tst_PluginUi::statusBarItemsGoBeforeTheStretch()
{
    const QStringList before = m_status->itemKeys();
    QCOMPARE(tessel::CreateStatusBar(QStringLiteral("Calib"), nullptr, 3), 0);
    QCOMPARE(m_status->itemKeys(), before);

    auto *first = new QLabel(QStringLiteral("first"));
    auto *second = new QLabel(QStringLiteral("second"));
    QCOMPARE(tessel::CreateStatusBar(QStringLiteral("Calib"), first, -1), 0);
    QCOMPARE(tessel::CreateStatusBar(QStringLiteral("Calib"), second, 2), 0);
    const QStringList keys = m_status->itemKeys();
    const int stretch = keys.indexOf(QStringLiteral("rovan.body.statuspage.wgtStrech2"));
    QCOMPARE(keys.indexOf(QStringLiteral("tessel.Calib.-1")), stretch - 2);
    QCOMPARE(keys.indexOf(QStringLiteral("tessel.Calib.2")), stretch - 1);
    QCOMPARE(m_status->item(QStringLiteral("tessel.Calib.-1")), first);

    // A key the host refuses (taken) is not reported.
    QLabel third;
    QCOMPARE(tessel::CreateStatusBar(QStringLiteral("Calib"), &third, 2), 0);
    QCOMPARE(m_status->item(QStringLiteral("tessel.Calib.2")), second);
}

void tst_PluginUi::physicalButtonsReachTheHost()
{
    int pressed = 0;
    tessel::PhysicalButton start{QStringLiteral("Start"), QStringLiteral(":/none/a.png"),
                                 QStringLiteral(":/none/b.png"), [&pressed] { ++pressed; }};
    tessel::PhysicalButton stop{QStringLiteral("Stop"), QString(), QString(), {}};
    QCOMPARE(tessel::CreatePhyButtonList(QStringLiteral("Calib"), QStringLiteral("keys"),
                                         {start, stop}, {stop}, {QStringLiteral("page")}),
             0);
    mirel::PhysicalButtonRegistry *registry = mirel::PhysicalButtonRegistry::instance();
    const auto regs = registry->registrations();
    QCOMPARE(regs.size(), 1);
    const auto &reg = regs.first();
    QCOMPARE(reg.owner, static_cast<QObject *>(m_module.get()));
    QCOMPARE(reg.key, QStringLiteral("keys"));
    QCOMPARE(reg.list1.size(), 2);
    QCOMPARE(reg.list2.size(), 1);
    QCOMPARE(reg.list1.at(0).text, QStringLiteral("Start"));
    QCOMPARE(reg.list1.at(1).text, QStringLiteral("Stop"));
    QCOMPARE(reg.names, QStringList{QStringLiteral("page")});
    QVERIFY(reg.enabled);
    QVERIFY(registry->press(QStringLiteral("keys"), 0, 0));
    QCOMPARE(pressed, 1);

    QCOMPARE(tessel::ChangePhyButtonStatus(QStringLiteral("Calib"), QStringLiteral("keys"), false),
             0);
    QVERIFY(!registry->registrations().first().enabled);
    QVERIFY(!registry->press(QStringLiteral("keys"), 0, 0));
    QCOMPARE(pressed, 1);
    // The host's answer to an unknown key is not the plug-in's concern.
    QCOMPARE(tessel::ChangePhyButtonStatus(QStringLiteral("Calib"), QStringLiteral("none"), true),
             0);
}

void tst_PluginUi::dataPathOfALiveModule()
{
    QString path;
    QCOMPARE(tessel::GetPluginDataPath(path, QStringLiteral("Calib")), 0);
    QCOMPARE(path, QStringLiteral("upgrade/plugins/client/Calib/data/"));
}

QTEST_MAIN(tst_PluginUi)
#include "tst_pluginui.moc"
