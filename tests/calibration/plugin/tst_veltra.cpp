#include "common/calibrationstate.h"
#include "plugin/pluginbase.h"
#include "plugin/pluginregister.h"
#include "plugin/centerwidget.h"
#include "plugin/tessel_p.h"

#include <calibration/veltratesthelpers.h>
#include <nabuSkald/centerwidget.h>
#include <sim/controller/simulatedcontroller.h>
#include <support/guitestmain.h>
#include <support/simhost.h>
#include <support/temporarycurrentdir.h>

#include <QApplication>
#include <QJsonArray>
#include <QJsonObject>
#include <QPushButton>
#include <QStackedWidget>
#include <QTest>

#include <memory>

namespace {

QJsonArray rows(int count)
{
    QJsonArray outer;
    for (int i = 0; i < count; ++i)
        outer.append(QJsonArray{i, 0.5, -1, 2});
    return outer;
}

bool mainPageLeftAlone()
{
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (qobject_cast<centerWidget *>(widget))
            return true;
    return false;
}

} // namespace

// The plug-in's entry, compiled into this test: the registration runs as the test starts.
class tst_Veltra : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void registeredUnderItsName();
    void disconnectedServiceLeavesTheDhSetEmpty();
    void dhSetReadEarly_data();
    void dhSetReadEarly();
    void mainPageGoesIntoTheHostPage();

private:
    void runInit();

    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    support::SimHost *m_host = nullptr;
};

void tst_Veltra::initTestCase()
{
    m_dir = std::make_unique<support::TemporaryCurrentDir>();
    QVERIFY(m_dir->isValid());
    m_host = new support::SimHost(this);
}

void tst_Veltra::init()
{
    common::originalDHParamsVec.clear();
    common::axisNum = 0;
    m_host->controller()->resetScript();
}

// Without a host module the main page has nowhere to go, and init() deletes it.
void tst_Veltra::runInit()
{
    std::unique_ptr<tessel::PluginBase> plugin(
        tessel::tesselFactory().create(QStringLiteral("Veltra"), nullptr));
    QVERIFY(plugin);
    plugin->init();
    plugin->afterInit();
    QVERIFY(!mainPageLeftAlone());
}

void tst_Veltra::registeredUnderItsName()
{
    std::unique_ptr<tessel::PluginBase> plugin(
        tessel::tesselFactory().create(QStringLiteral("Veltra"), nullptr));
    QVERIFY(plugin);
    QCOMPARE(plugin->metaObject()->className(), "tessel::Veltra");
}

void tst_Veltra::disconnectedServiceLeavesTheDhSetEmpty()
{
    QVERIFY(m_host->stop());
    common::axisNum = 5;
    runInit();
    QVERIFY(common::originalDHParamsVec.isEmpty());
    QCOMPARE(common::axisNum, 5);
}

void tst_Veltra::dhSetReadEarly_data()
{
    QTest::addColumn<QJsonValue>("support");
    QTest::addColumn<QJsonValue>("links");
    QTest::addColumn<int>("numbers");
    QTest::addColumn<int>("axes");
    QTest::addColumn<QString>("refusal");

    const QJsonObject yes{{QStringLiteral("data"), true}};
    QTest::newRow("28 rows") << QJsonValue(yes) << QJsonValue(rows(28)) << 112 << 7 << QString();
    QTest::newRow("6 rows") << QJsonValue(yes) << QJsonValue(rows(6)) << 24 << 1 << QString();
    QTest::newRow("data false is a boolean too")
        << QJsonValue(QJsonObject{{QStringLiteral("data"), false}}) << QJsonValue(rows(8)) << 32
        << 2 << QString();
    QTest::newRow("data not a boolean")
        << QJsonValue(QJsonObject{{QStringLiteral("data"), 1}}) << QJsonValue(rows(8)) << 0 << 0
        << QString();
    QTest::newRow("links not an array") << QJsonValue(yes) << QJsonValue(QStringLiteral("x")) << 0
                                        << 0 << QString();
    QJsonArray mixed = rows(3);
    mixed.append(7);
    mixed.append(QStringLiteral("row"));
    QTest::newRow("elements not arrays add nothing but count")
        << QJsonValue(yes) << QJsonValue(mixed) << 12 << 1 << QString();
    // The tables hold ten axes (the joint captions): a set for more reads as none, and the log
    // says why.
    QTest::newRow("ten axes") << QJsonValue(yes) << QJsonValue(rows(40)) << 160 << 10
                              << QString();
    QTest::newRow("eleven axes")
        << QJsonValue(yes) << QJsonValue(rows(44)) << 0 << 0
        << QStringLiteral("factory.set_DH_params_link refused : 11 axes, more than 10");
    QTest::newRow("thousands of axes")
        << QJsonValue(yes) << QJsonValue(rows(10000)) << 0 << 0
        << QStringLiteral("factory.set_DH_params_link refused : 2500 axes, more than 10");
}

void tst_Veltra::dhSetReadEarly()
{
    QFETCH(QJsonValue, support);
    QFETCH(QJsonValue, links);
    QFETCH(int, numbers);
    QFETCH(int, axes);
    QFETCH(QString, refusal);

    const int logStart = veltratest::pluginLogText().size();
    m_host->controller()->setValue(QStringLiteral("factory.get_dh_params_support"), support);
    m_host->controller()->setValue(QStringLiteral("factory.set_DH_params_link"), links);
    QVERIFY(m_host->start(QStringLiteral("SR6-900")));
    runInit();
    QCOMPARE(common::originalDHParamsVec.size(), numbers);
    QCOMPARE(common::axisNum, axes);
    if (numbers > 0)
        QCOMPARE(common::originalDHParamsVec.mid(0, 8),
                 QVector<double>({0, 0.5, -1, 2, 1, 0.5, -1, 2}));
    const QString logged = veltratest::pluginLogText().mid(logStart);
    if (refusal.isEmpty())
        QVERIFY2(!logged.contains(QLatin1String("refused")), qPrintable(logged.right(1000)));
    else
        QVERIFY2(logged.contains(refusal), qPrintable(logged.right(1000)));
}

void tst_Veltra::mainPageGoesIntoTheHostPage()
{
    skald::CenterWidget center;
    std::unique_ptr<tessel::Tessel> module(
        tessel::Tessel::create(QStringLiteral("Veltra"), nullptr));
    QVERIFY(module);
    module->setup();
    module->init();

    auto *page = center.findChild<centerWidget *>();
    QVERIFY(page);
    QVERIFY(!mainPageLeftAlone());
    auto *stack = page->findChild<QStackedWidget *>(QStringLiteral("stackedWidget"));
    QCOMPARE(stack->currentIndex(), 0);
    QVERIFY(page->findChild<QPushButton *>(QStringLiteral("infoNavBtn"))->isChecked());
    QVERIFY(page->findChild<QWidget *>(QStringLiteral("infoWidget")));
    QVERIFY(page->findChild<QWidget *>(QStringLiteral("setupWidget")));

    // The host's page owns the main page and with it the pages.
    QPointer<centerWidget> watched = page;
    module.reset();
    QVERIFY(!watched);
}

SUPPORT_GUI_TEST_MAIN(tst_Veltra)
#include "tst_veltra.moc"
