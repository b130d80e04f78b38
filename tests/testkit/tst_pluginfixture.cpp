// The fixture plug-in authors test with, on a plug-in made for the purpose.
#include <tessel/testing/pluginfixture.h>

#include <QJsonArray>
#include <QLabel>
#include <QPushButton>
#include <QtTest>

using tessel::testing::PluginFixture;

class tst_PluginFixture : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void runsThePluginOnTheSimulatedController();
    void answersModalBoxesInOrder();
    void followsTheControllerThroughAReboot();
    void readsAndSetsControllerState();
    void refusesLibrariesItCannotRun_data();
    void refusesLibrariesItCannotRun();
    void refusesAnUnknownRobotModel();
    void leavesTheHostAsItFoundIt();

private:
    QString m_before;
    std::unique_ptr<PluginFixture> m_fixture;
};

void tst_PluginFixture::initTestCase()
{
    m_before = QDir::currentPath();
    m_fixture = std::make_unique<PluginFixture>();
    m_fixture->setRobotModel(QStringLiteral("SR7-800"));
    m_fixture->setRebootDelay(150);
    QVERIFY(!m_fixture->page());
    QVERIFY2(m_fixture->setUp(QStringLiteral(TESSEL_PLUGIN_PATH)),
             qPrintable(m_fixture->errorString()));
    QVERIFY(m_fixture->errorString().isEmpty());
}

void tst_PluginFixture::runsThePluginOnTheSimulatedController()
{
    PluginFixture &fixture = *m_fixture;
    QCOMPARE(fixture.pluginName(), QStringLiteral("Probe"));
    QVERIFY(fixture.isLinkUp());
    // The plug-in's relative paths land in the fixture's home.
    QCOMPARE(QDir::currentPath(), fixture.homePath());
    QVERIFY(fixture.page() && fixture.page()->isVisible());
    QVERIFY(fixture.findWidget<QPushButton>(QStringLiteral("askButton")));
    QVERIFY(!fixture.findWidget<QLabel>(QStringLiteral("askButton")));
    QVERIFY(!fixture.findWidget(QStringLiteral("noSuchWidget")));
    QVERIFY(fixture.waitForLogLine(QStringLiteral("Probe: link up")));
    const QStringList lines = fixture.logLines();
    QVERIFY(lines.size() >= 2);
    QVERIFY(lines.first().contains(QStringLiteral("Probe::init")));
    QVERIFY(lines.first().startsWith(QStringLiteral("[S|")));
    QVERIFY(!fixture.waitForLogLine(QStringLiteral("never written"), 50));
    QVERIFY(fixture.errorString().contains(QStringLiteral("never written")));
}

void tst_PluginFixture::answersModalBoxesInOrder()
{
    PluginFixture &fixture = *m_fixture;
    auto *ask = fixture.findWidget<QPushButton>(QStringLiteral("askButton"));
    auto *answer = fixture.findWidget<QLabel>(QStringLiteral("answerLabel"));
    QVERIFY(ask && answer);

    fixture.answerNextMessageBox(QMessageBox::No);
    fixture.answerNextMessageBox(QStringLiteral("&Yes"));
    QTest::mouseClick(ask, Qt::LeftButton);
    QCOMPARE(answer->text(), QStringLiteral("no"));
    QTest::mouseClick(ask, Qt::LeftButton);
    QCOMPARE(answer->text(), QStringLiteral("yes"));
    // With no answer queued the box's default button is pressed: nothing blocks.
    QTest::mouseClick(ask, Qt::LeftButton);
    QVERIFY(fixture.waitForMessageBoxes(3));
    const QString asked = QStringLiteral("Go on?");
    QCOMPARE(fixture.messageBoxTexts(), (QStringList{asked, asked, asked}));
    QVERIFY(!fixture.waitForMessageBoxes(4, 50));
    QVERIFY(fixture.waitForLogLine(QStringLiteral("Probe: answered yes")));
}

void tst_PluginFixture::followsTheControllerThroughAReboot()
{
    PluginFixture &fixture = *m_fixture;
    const int reads = fixture.commandsReceived().count(QStringLiteral("system.controller.get_params"));
    QVERIFY(reads >= 1);
    fixture.rebootController();
    QVERIFY(fixture.waitForLink(false, 1000));
    QVERIFY(fixture.waitForLink(true, 3000));
    // The host read the robot again after the reboot.
    QCOMPARE(fixture.commandsReceived().count(QStringLiteral("system.controller.get_params")),
             reads + 1);

    fixture.dropLink();
    QVERIFY(fixture.waitForLink(false, 1000));
    // A dropped link stays down until it is restored.
    QVERIFY(!fixture.waitForLink(true, 400));
    fixture.restoreLink();
    QVERIFY(fixture.waitForLink(true, 3000));
}

void tst_PluginFixture::readsAndSetsControllerState()
{
    PluginFixture &fixture = *m_fixture;
    QCOMPARE(fixture.joints(), (QVector<double>{0, 30, 0, 90, 0, 60, 0}));
    QVERIFY(fixture.setJoints({10, 20, 30, 40, 50, 60, 70}));
    QCOMPARE(fixture.joints(), (QVector<double>{10, 20, 30, 40, 50, 60, 70}));
    QVERIFY(!fixture.setJoints({0, 0, 0}));
    QVERIFY(!fixture.setJoints({500, 0, 0, 0, 0, 0, 0}));
    QCOMPARE(fixture.joints().first(), 10.0);

    fixture.setControllerValue(QStringLiteral("probe.value"), QJsonArray{1, 2});
    QCOMPARE(fixture.controllerValue(QStringLiteral("probe.value")), QJsonValue(QJsonArray{1, 2}));

    QVERIFY(fixture.setInput(QStringLiteral("di_start"), 1));
    QVERIFY(!fixture.setInput(QStringLiteral("do_lamp"), 1));
    QVERIFY(!fixture.setInput(QStringLiteral("no_such_signal"), 1));
    QVERIFY(!fixture.pressPhysicalButton(QStringLiteral("none registered")));
}

void tst_PluginFixture::refusesLibrariesItCannotRun_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing") << QStringLiteral("/no/such/libProbe.so")
                             << QStringLiteral("no plug-in library");
    QTest::newRow("not a library") << QStringLiteral(NOT_A_LIBRARY)
                                   << QStringLiteral("cannot load");
    QTest::newRow("registers nothing") << QStringLiteral(PROBE_EMPTY)
                                       << QStringLiteral("registers no new plug-in");
    QTest::newRow("creator fails") << QStringLiteral(PROBE_FAULTY)
                                   << QStringLiteral("the page of ProbeFaulty shows nothing");
    // Its "Probe" was taken by the first library loaded.
    QTest::newRow("name taken") << QStringLiteral(PROBE_TWIN)
                                << QStringLiteral("registers no new plug-in");
    // The registration of its plug-in ends with the module of the fixture that ran it.
    QTest::newRow("ran before") << QStringLiteral(TESSEL_PLUGIN_PATH)
                                << QStringLiteral("ran in an earlier fixture");
}

// Each failure is reported by the set-up, never later; the first fixture goes on working.
void tst_PluginFixture::refusesLibrariesItCannotRun()
{
    QFETCH(QString, path);
    QFETCH(QString, reason);
    {
        PluginFixture fixture;
        QVERIFY(!fixture.setUp(path));
        QVERIFY2(fixture.errorString().contains(reason), qPrintable(fixture.errorString()));
        QVERIFY(!fixture.page());
        QVERIFY(fixture.pluginName().isEmpty());
    }
}

void tst_PluginFixture::refusesAnUnknownRobotModel()
{
    PluginFixture fixture;
    fixture.setRobotModel(QStringLiteral("XR-1"));
    QVERIFY(!fixture.setUp(QStringLiteral(TESSEL_PLUGIN_PATH)));
    QVERIFY(fixture.errorString().contains(QStringLiteral("SR6-900")));
}

void tst_PluginFixture::leavesTheHostAsItFoundIt()
{
    QPointer<QWidget> page = m_fixture->page();
    QVERIFY(page);
    m_fixture.reset();
    QVERIFY(!page);
    QCOMPARE(QDir::currentPath(), m_before);
}

QTEST_MAIN(tst_PluginFixture)
#include "tst_pluginfixture.moc"
