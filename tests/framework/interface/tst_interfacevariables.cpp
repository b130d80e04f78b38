#include "interface/interfacemanager.h"

#include <support/simhost.h>

#include <mirel/variabledata.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <sim/controller/programstore.h>
#include <sim/controller/simulatedcontroller.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

#include <memory>

using tessel::tesselInterface;

namespace {

const QString kHotRemove = QStringLiteral("project.variable");
const QString kPersRead = QStringLiteral("monitor.pers.read");

nabu::ModuleObject *varList()
{
    return nabu::m(QStringLiteral("rovan.project.var._list"));
}

// A variable the host made itself, of a type the framework cannot give.
void seedVariable(const QString &name, const QString &type)
{
    QJsonObject var = mirel::VariableData::variableTemplate();
    var.insert(QStringLiteral("name"), name);
    var.insert(QStringLiteral("type"), type);
    varList()->append(nullptr)->importFromJson(nullptr, var, true, false);
}

QJsonObject removal(const QStringList &names)
{
    return QJsonObject{{"operator", "remove"}, {"variables", QJsonArray::fromStringList(names)}};
}

} // namespace

class tst_InterfaceVariables : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void addRecordsTypeValueAndUnbuilds_data();
    void addRecordsTypeValueAndUnbuilds();
    void removalKeepsSocketsAndAsksForTheRest();
    void removalOfUnknownOrRepeatedNames();
    void refusedRemovalChangesNothing_data();
    void refusedRemovalChangesNothing();
    void listsAndLookUps();
    void persNeedsASupportedVersion_data();
    void persNeedsASupportedVersion();
    void persValuesGoThroughTheController();
    void persReadWithFewerAnswersThanNames();

private:
    sim::SimulatedController *sim() const { return m_host->controller(); }
    support::SimHost *m_host = nullptr;
};

void tst_InterfaceVariables::initTestCase()
{
    tesselInterface();
    m_host = new support::SimHost(this);
}

void tst_InterfaceVariables::init()
{
    sim()->setVersion(QStringLiteral("3.1.2"));
    QVERIFY(m_host->start(QStringLiteral("SR6-900")));
    sim()->resetScript();
    sim()->clearCalls();
    mirel::VariableData::clearVariables(nullptr);
}

void tst_InterfaceVariables::addRecordsTypeValueAndUnbuilds_data()
{
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("type");
    QTest::newRow("int") << QVariant(7) << "int";
    QTest::newRow("double") << QVariant(2.5) << "double";
    QTest::newRow("text") << QVariant(QStringLiteral("hi")) << "QString";
    QTest::newRow("bool") << QVariant(true) << "bool";
}

void tst_InterfaceVariables::addRecordsTypeValueAndUnbuilds()
{
    QFETCH(QVariant, value);
    QFETCH(QString, type);
    QVERIFY(tesselInterface().addVarData(QStringLiteral("first"), 1, false));
    QVERIFY(tesselInterface().addVarData(QStringLiteral("v"), value, true));
    const QJsonObject var = tesselInterface().getVarObjDataByName(QStringLiteral("v"));
    QCOMPARE(var["type"].toString(), type);
    QCOMPARE(var["id"].toInt(), 1);
    QCOMPARE(var["pers"].toBool(), true);
    QCOMPARE(var["value"]["[0][0][0]"], QJsonValue::fromVariant(value));
    QCOMPARE(nabu::m(QStringLiteral("rovan.project.var.built"))->getBool(true), false);
    QVERIFY(sim()->calls().isEmpty());
}

void tst_InterfaceVariables::removalKeepsSocketsAndAsksForTheRest()
{
    tesselInterface().addVarData(QStringLiteral("a"), 1, false);
    seedVariable(QStringLiteral("s"), QStringLiteral("socketserver"));
    seedVariable(QStringLiteral("c"), QStringLiteral("socketconn"));
    seedVariable(QStringLiteral("r"), QStringLiteral("serials"));
    QSignalSpy reload(nabu::m(QStringLiteral("rovan.project.cur_project")),
                      &nabu::ModuleObject::changed);
    QVERIFY(tesselInterface().delVarData(QList<QString>{"a", "s", "c", "r"}));
    QCOMPARE(tesselInterface().getVarDataList(QString()), (QStringList{"s", "c", "r"}));
    const auto calls = sim()->callsOf(kHotRemove);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.at(0).payload, QJsonValue(removal({"a"})));
    QCOMPARE(reload.count(), 1);
}

void tst_InterfaceVariables::removalOfUnknownOrRepeatedNames()
{
    QVERIFY(tesselInterface().delVarData(QStringLiteral("missing")));
    QVERIFY(sim()->callsOf(kHotRemove).isEmpty());
    // Asked twice, removed once: the same node must not be freed twice.
    tesselInterface().addVarData(QStringLiteral("a"), 1, false);
    tesselInterface().addVarData(QStringLiteral("b"), 2, false);
    QVERIFY(tesselInterface().delVarData(QList<QString>{"a", "a"}));
    QCOMPARE(tesselInterface().getVarDataList(QString()), QStringList{"b"});
    QCOMPARE(sim()->callsOf(kHotRemove).at(0).payload, QJsonValue(removal({"a"})));
    // Taken out and recorded anew while the controller is asked: the one now named "b" goes.
    std::unique_ptr<nabu::ModuleObject> taken;
    sim()->setHandler(kHotRemove, [&taken](const QJsonValue &) {
        taken.reset(varList()->cmobjs(false).first());
        varList()->remove(nullptr, taken.get(), false);
        seedVariable(QStringLiteral("b"), QStringLiteral("int"));
        return QJsonValue(0);
    });
    QVERIFY(tesselInterface().delVarData(QStringLiteral("b")));
    QVERIFY(tesselInterface().getVarDataList(QString()).isEmpty());
}

void tst_InterfaceVariables::refusedRemovalChangesNothing_data()
{
    QTest::addColumn<QJsonValue>("answer");
    QTest::addColumn<bool>("linkDown");
    QTest::newRow("error answer") << QJsonValue(QJsonObject{{"error", -51001}}) << false;
    QTest::newRow("non-zero code") << QJsonValue(-1) << false;
    QTest::newRow("link down, no answer") << QJsonValue() << true;
}

void tst_InterfaceVariables::refusedRemovalChangesNothing()
{
    QFETCH(QJsonValue, answer);
    QFETCH(bool, linkDown);
    tesselInterface().addVarData(QStringLiteral("a"), 1, false);
    const QJsonValue before = varList()->exportToJson();
    if (linkDown)
        QVERIFY(m_host->stop());
    else
        sim()->setAnswer(kHotRemove, answer);
    QVERIFY(!tesselInterface().delVarData(QStringLiteral("a")));
    QCOMPARE(varList()->exportToJson(), before);
}

void tst_InterfaceVariables::listsAndLookUps()
{
    seedVariable(QStringLiteral("myspeed"), QStringLiteral("speed"));
    seedVariable(QStringLiteral("myzone"), QStringLiteral("zone"));
    tesselInterface().addVarData(QStringLiteral("n"), 1, false);
    tesselInterface().addVarData(QStringLiteral("n"), 2, false);
    QCOMPARE(tesselInterface().getVarDataList(QString()),
             (QStringList{"myspeed", "myzone", "n", "n"}));
    QCOMPARE(tesselInterface().getVarDataList(QStringLiteral("speed")), QStringList{"myspeed"});
    const QStringList speeds = tesselInterface().getSpeedList();
    QVERIFY(speeds.contains(QStringLiteral("v100")));
    QCOMPARE(speeds.constLast(), QStringLiteral("myspeed"));
    const QStringList zones = tesselInterface().getZoneList();
    QVERIFY(zones.contains(QStringLiteral("z10")) && !zones.contains(QStringLiteral("v100")));
    QCOMPARE(zones.constLast(), QStringLiteral("myzone"));

    // Every variable of that name changes; a teach point of the same name is no variable.
    nabu::m(QStringLiteral("rovan.project.point._list"))
        ->append(nullptr)
        ->set(nullptr, QStringLiteral("name"), QStringLiteral("n"));
    QVERIFY(tesselInterface().updateVarData(QStringLiteral("n"), 9));
    QVERIFY(tesselInterface().updateVarData(QStringLiteral("none"), 9));
    const QJsonArray vars = varList()->exportToJson().toArray();
    QCOMPARE(vars.at(2)["value"]["[0][0][0]"].toInt(), 9);
    QCOMPARE(vars.at(3)["value"]["[0][0][0]"].toInt(), 9);
    QVERIFY(tesselInterface().getVarObjDataByName(QStringLiteral("n")).contains("pers"));
    QVERIFY(tesselInterface().getVarObjDataByName(QStringLiteral("none")).isEmpty());
    nabu::m(QStringLiteral("rovan.project.point._list"))->clear(nullptr, true, false);
}

void tst_InterfaceVariables::persNeedsASupportedVersion_data()
{
    QTest::addColumn<QString>("version");
    QTest::addColumn<bool>("supported");
    QTest::newRow("3.2.1") << "3.2.1" << false;
    QTest::newRow("3.1.0") << "3.1.0" << true;
    QTest::newRow("2.3.4") << "2.3.4" << true;
    QTest::newRow("3.0") << "3.0" << true;
    QTest::newRow("2.4") << "2.4" << false;
}

void tst_InterfaceVariables::persNeedsASupportedVersion()
{
    QFETCH(QString, version);
    QFETCH(bool, supported);
    sim()->setVersion(version);
    QVERIFY(m_host->start());
    sim()->clearCalls();
    const QVector<QString> names{"p1", "p2"};
    QCOMPARE(tesselInterface().registPERSVars(names), supported ? 0 : -240);
    QCOMPARE(tesselInterface().getRegistedPERSVars().size(), supported ? 2 : 0);
    QCOMPARE(tesselInterface().getValuesOfPERSVars(names).size(), 2);
    QCOMPARE(tesselInterface().setValuesOfPERSVars(names, {1, 2}), supported ? 0 : -240);
    if (supported) {
        QCOMPARE(sim()->programs()->registeredPers(), (QStringList{"p1", "p2"}));
        QCOMPARE(sim()->callsOf(kPersRead).size(), 1);
    } else {
        QVERIFY(sim()->calls().isEmpty());
    }
}

void tst_InterfaceVariables::persValuesGoThroughTheController()
{
    tesselInterface().addVarData(QStringLiteral("count"), 5, true);
    QCOMPARE(tesselInterface().getValuesOfPERSVars({"count", "other"}),
             (QVector<QString>{"5", ""}));
    QCOMPARE(sim()->callsOf(kPersRead).at(0).payload, QJsonValue(QJsonArray{"count", "other"}));
    QCOMPARE(tesselInterface().setValuesOfPERSVars({"count"}, {1, 2}), -1);
    QVERIFY(sim()->callsOf(QStringLiteral("monitor.pers.modify")).isEmpty());
    QCOMPARE(tesselInterface().setValuesOfPERSVars({"count", "other"}, {7, "x"}), 0);
    QTRY_COMPARE(sim()->programs()->persValue(QStringLiteral("count")), QJsonValue(7));
    QCOMPARE(sim()->callsOf(QStringLiteral("monitor.pers.modify")).at(0).payload,
             QJsonValue(QJsonObject{{"count", 7}, {"other", "x"}}));
    QCOMPARE(tesselInterface().getValuesOfPERSVars({"count", "other"}),
             (QVector<QString>{"7", "x"}));
}

void tst_InterfaceVariables::persReadWithFewerAnswersThanNames()
{
    sim()->setAnswer(kPersRead, QJsonObject{{"data", QJsonArray{"1", "2"}}});
    QCOMPARE(tesselInterface().getValuesOfPERSVars({"a", "b", "c"}),
             (QVector<QString>{"1", "2", ""}));
    sim()->setAnswer(kPersRead, QJsonObject{{"data", QJsonArray{"1", "2", "3"}}});
    QCOMPARE(tesselInterface().getValuesOfPERSVars({"a"}), QVector<QString>{"1"});
}

QTEST_MAIN(tst_InterfaceVariables)
#include "tst_interfacevariables.moc"
