#include "interface/interfacemanager.h"

#include "../log/messagecapture.h"

#include <support/simhost.h>
#include <support/temporarycurrentdir.h>

#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <sim/controller/simulatedcontroller.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

using tessel::tesselInterface;

namespace {

const QString kBadKind = QStringLiteral("Get IO By Err Signaltype!");

int countOf(const QStringList &texts, const QString &part)
{
    int n = 0;
    for (const QString &text : texts)
        n += text.contains(part) ? 1 : 0;
    return n;
}

} // namespace

class tst_RobotIo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void signalsByKind_data();
    void signalsByKind();
    void controllerChangesReachTheHash();
    void registersNeedNameAndValue();
    void toolsAndWorkObjectsInListOrder();
    void currentToolAndWorkObjectDefaults();

private:
    support::TemporaryCurrentDir m_dir;
    support::SimHost *m_host = nullptr;
};

void tst_RobotIo::initTestCase()
{
    QVERIFY(m_dir.isValid());
    tesselInterface();
    m_host = new support::SimHost(this);
    QVERIFY(m_host->start(QStringLiteral("SR6-900")));
}

void tst_RobotIo::signalsByKind_data()
{
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("kind");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<bool>("refused");
    const QStringList di = {"di_start", "di_stop", "di_door_closed"};
    QTest::newRow("DI") << "DI" << 1 << di << false;
    QTest::newRow("DO") << "DO" << 2 << QStringList{"do_lamp", "do_gripper"} << false;
    QTest::newRow("GI") << "GI" << 3 << QStringList{"gi_part_code"} << false;
    QTest::newRow("GO") << "GO" << 4 << QStringList{"go_program"} << false;
    QTest::newRow("AI") << "AI" << 5 << QStringList{"ai_pressure"} << false;
    QTest::newRow("AO") << "AO" << 6 << QStringList{"ao_feed_speed"} << false;
    QTest::newRow("lower case") << "di" << 0 << QStringList() << true;
    QTest::newRow("kind 7") << "XX" << 7 << QStringList() << true;
}

// Text and number take the same road; a kind outside 1..6 is logged once per call.
void tst_RobotIo::signalsByKind()
{
    QFETCH(QString, type);
    QFETCH(int, kind);
    QFETCH(QStringList, names);
    QFETCH(bool, refused);
    MessageCapture capture;
    QCOMPARE(tesselInterface().getIOByType(type), names);
    QCOMPARE(tesselInterface().getIOByType(kind), names);
    QCOMPARE(countOf(capture.texts(), kBadKind), refused ? 2 : 0);
}

void tst_RobotIo::controllerChangesReachTheHash()
{
    QHash<QString, QVariant> io = tesselInterface().getIOHash();
    QCOMPARE(io.size(), 9);
    QCOMPARE(io.value(QStringLiteral("di_start")).toInt(), 0);
    QCOMPARE(io.value(QStringLiteral("ai_pressure")).toDouble(), 2.5);

    QVERIFY(m_host->controller()->setInput(QStringLiteral("di_start"), 1));
    QVERIFY(m_host->controller()->setInput(QStringLiteral("ai_pressure"), 3.75));
    QTRY_COMPARE(tesselInterface().getIOHash().value(QStringLiteral("di_start")).toInt(), 1);
    QTRY_COMPARE(tesselInterface().getIOHash().value(QStringLiteral("ai_pressure")).toDouble(),
                 3.75);
    // Outputs belong to the programs.
    QVERIFY(!m_host->controller()->setInput(QStringLiteral("do_lamp"), 1));

    // A link that comes back brings what changed meanwhile.
    QVERIFY(m_host->stop());
    QVERIFY(m_host->controller()->setInput(QStringLiteral("di_stop"), 1));
    QCOMPARE(tesselInterface().getIOHash().value(QStringLiteral("di_stop")).toInt(), 0);
    QVERIFY(m_host->start());
    QCOMPARE(tesselInterface().getIOHash().value(QStringLiteral("di_stop")).toInt(), 1);
    QVERIFY(m_host->controller()->setInput(QStringLiteral("di_stop"), 0));
    QTRY_COMPARE(tesselInterface().getIOHash().value(QStringLiteral("di_stop")).toInt(), 0);
}

void tst_RobotIo::registersNeedNameAndValue()
{
    const QJsonArray fromController = tesselInterface().getRegisterValue().toArray();
    QCOMPARE(fromController.size(), 3);
    QHash<QString, QStringList> registers = tesselInterface().getRegisterHash();
    QCOMPARE(registers.value(QStringLiteral("R2")), QStringList{"12.5"});
    QCOMPARE(registers.value(QStringLiteral("PR1")),
             (QStringList{"500", "0", "300", "0", "90", "0"}));

    const QJsonArray mixed{QJsonObject{{"name", "R1"}, {"value", QJsonArray{7}}},
                           QJsonObject{{"name", "noValue"}},
                           QJsonObject{{"value", QJsonArray{1}}},
                           QJsonObject{{"name", "text"}, {"value", "on"}}, 42};
    nabu::m(QStringLiteral("rovan.robot.register._list"))->importFromJson(nullptr, mixed);
    registers = tesselInterface().getRegisterHash();
    QCOMPARE(registers.keys().size(), 2);
    QCOMPARE(registers.value(QStringLiteral("R1")), QStringList{"7"});
    QCOMPARE(registers.value(QStringLiteral("text")), QStringList{"on"});
    QVERIFY(!registers.contains(QStringLiteral("noValue")));
}

void tst_RobotIo::toolsAndWorkObjectsInListOrder()
{
    QCOMPARE(tesselInterface().getToolList(),
             (QStringList{"tool0", "gripper", "welder", "g_probe"}));
    QCOMPARE(tesselInterface().getWobjList(), (QStringList{"wobj0", "table", "g_fixture"}));
}

void tst_RobotIo::currentToolAndWorkObjectDefaults()
{
    nabu::ModuleObject *page = nabu::m(QStringLiteral("rovan.toolpage"));
    page->set(nullptr, QStringLiteral("tool"), QStringLiteral("gripper"));
    QCOMPARE(tesselInterface().getCurTool(), QStringLiteral("gripper"));
    page->c(QStringLiteral("tool"))->set(nullptr, QVariant());
    page->c(QStringLiteral("wobj"))->set(nullptr, QVariant());
    QCOMPARE(tesselInterface().getCurTool(), QStringLiteral("tool0"));
    QCOMPARE(tesselInterface().getCurWobj(), QStringLiteral("wobj0"));
}

QTEST_MAIN(tst_RobotIo)
#include "tst_robotio.moc"
