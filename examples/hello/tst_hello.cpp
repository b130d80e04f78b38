#include "tst_hello.h"

#include <QJsonArray>
#include <QLabel>
#include <QtTest>

void tst_Hello::initTestCase()
{
    m_fixture.setRobotModel(QStringLiteral("SR7-800"));
    m_fixture.setRebootDelay(200);
    QVERIFY2(m_fixture.setUp(QStringLiteral(TESSEL_PLUGIN_PATH)), qPrintable(m_fixture.errorString()));
    QCOMPARE(m_fixture.pluginName(), QStringLiteral("Hello"));
    QVERIFY(m_fixture.findWidget<QLabel>(QStringLiteral("helloLabel")));
    QVERIFY(m_fixture.waitForLogLine(QStringLiteral("Hello::init")));
}

// The label names the robot while the link is up, through a reboot and a pulled cable.
void tst_Hello::pageFollowsTheLink()
{
    auto *link = m_fixture.findWidget<QLabel>(QStringLiteral("linkLabel"));
    QVERIFY(link);
    QTRY_VERIFY(link->text().contains(QStringLiteral("SR7-800")));

    m_fixture.rebootController();
    QVERIFY(m_fixture.waitForLink(false));
    QVERIFY(!link->text().contains(QStringLiteral("SR7-800")));
    QVERIFY(m_fixture.waitForLink(true));
    QTRY_VERIFY(link->text().contains(QStringLiteral("SR7-800")));

    m_fixture.dropLink();
    QVERIFY(m_fixture.waitForLogLine(QStringLiteral("Hello: link down")));
    m_fixture.restoreLink();
    QVERIFY(m_fixture.waitForLink(true));
    QTRY_VERIFY(link->text().contains(QStringLiteral("SR7-800")));
    QCOMPARE(m_fixture.joints().size(), 7);
}

void tst_Hello::subscriptionShowsNewValues()
{
    auto *value = m_fixture.findWidget<QLabel>(QStringLiteral("valueLabel"));
    QVERIFY(value);
    m_fixture.setControllerValue(QStringLiteral("factory.get_dh_params_support"),
                                 QJsonArray{1, 2, 5});
    QTRY_VERIFY(value->text().endsWith(QStringLiteral("[1,2,5]")));
}

void tst_Hello::physicalButtonCountsPresses()
{
    auto *presses = m_fixture.findWidget<QLabel>(QStringLiteral("pressLabel"));
    QVERIFY(presses);
    QVERIFY(!m_fixture.pressPhysicalButton(QStringLiteral("no such button")));
    // The button shows in the host's language, through the catalogue the plug-in installed.
    const QString wave = QCoreApplication::translate("tessel::Hello", "Wave");
    QVERIFY2(m_fixture.pressPhysicalButton(wave), qPrintable(m_fixture.errorString()));
    QVERIFY2(m_fixture.pressPhysicalButton(wave), qPrintable(m_fixture.errorString()));
    QVERIFY(presses->text().contains(QLatin1Char('2')));
    QVERIFY(m_fixture.waitForLogLine(QStringLiteral("Hello: button pressed 2")));
}

QTEST_MAIN(tst_Hello)
