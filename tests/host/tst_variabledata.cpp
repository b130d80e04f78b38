#include <mirel/variabledata.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

class tst_VariableData : public QObject
{
    Q_OBJECT

private slots:
    void systemListHoldsTheControllersSpeedsAndZones_data();
    void systemListHoldsTheControllersSpeedsAndZones();
    void installKeepsVariablesAndClearForgetsThem();
};

void tst_VariableData::systemListHoldsTheControllersSpeedsAndZones_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::newRow("v100") << "v100" << "speed";
    QTest::newRow("v7000") << "v7000" << "speed";
    QTest::newRow("fine") << "fine" << "zone";
    QTest::newRow("z10") << "z10" << "zone";
}

void tst_VariableData::systemListHoldsTheControllersSpeedsAndZones()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    mirel::VariableData::install(nullptr);
    const QJsonArray system =
        nabu::m(QStringLiteral("rovan.project.var.system_list"))->exportToJson().toArray();
    int found = 0;
    for (const QJsonValue &var : system) {
        if (var["name"].toString() == name) {
            ++found;
            QCOMPARE(var["type"].toString(), type);
            QVERIFY(var["value"]["[0][0][0]"].isObject());
        }
    }
    QCOMPARE(found, 1);
}

void tst_VariableData::installKeepsVariablesAndClearForgetsThem()
{
    mirel::VariableData::install(nullptr);
    nabu::ModuleObject *root = nabu::m(QStringLiteral("rovan.project.var"));
    QCOMPARE(root->c(QStringLiteral("default"))->exportToJson(),
             QJsonValue(mirel::VariableData::variableTemplate()));
    QCOMPARE(root->c(QStringLiteral("built"))->getBool(false), true);
    root->c(QStringLiteral("_list"))->append(nullptr)->set(nullptr, QStringLiteral("name"),
                                                           QStringLiteral("a"));
    root->c(QStringLiteral("built"))->set(nullptr, false);
    mirel::VariableData::install(nullptr);
    QCOMPARE(root->c(QStringLiteral("_list"))->cmobjCount(), 1);
    QCOMPARE(root->c(QStringLiteral("built"))->getBool(true), false);
    const int systemCount = root->c(QStringLiteral("system_list"))->cmobjCount();
    mirel::VariableData::clearVariables(nullptr);
    QCOMPARE(root->c(QStringLiteral("_list"))->exportToJson(), QJsonValue(QJsonArray()));
    QCOMPARE(root->c(QStringLiteral("system_list"))->cmobjCount(), systemCount);
}

QTEST_MAIN(tst_VariableData)
#include "tst_variabledata.moc"
