#include <mirel/managerhelper.h>
#include <mirel/projectdata.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QtTest>

namespace {

// Every leaf of a JSON value as "path=type", arrays as "#k".
void leaves(const QJsonValue &value, const QString &path, QStringList *out)
{
    if (value.isObject()) {
        const QJsonObject object = value.toObject();
        for (auto it = object.begin(); it != object.end(); ++it)
            leaves(it.value(), path.isEmpty() ? it.key() : path + '.' + it.key(), out);
    } else if (value.isArray()) {
        const QJsonArray array = value.toArray();
        for (int i = 0; i < array.size(); ++i)
            leaves(array.at(i), path + ".#" + QString::number(i), out);
    } else {
        out->append(path
                    + (value.isDouble()   ? "=number"
                       : value.isString() ? "=string"
                                          : "=other"));
    }
}

} // namespace

class tst_ProjectData : public QObject
{
    Q_OBJECT

private slots:
    void hostStartsWithAnEmptyProject();
    void templateHoldsEveryKeyOfAPoint_data();
    void templateHoldsEveryKeyOfAPoint();
    void installKeepsTaughtPointsAndClearForgetsThem();
};

void tst_ProjectData::hostStartsWithAnEmptyProject()
{
    mirel::ManagerHelper::instance();
    QCOMPARE(nabu::m(QStringLiteral("rovan.project.point._list"))->exportToJson(),
             QJsonValue(QJsonArray()));
    QCOMPARE(nabu::m(QStringLiteral("rovan.project.point.hot_update.points"))->exportToJson(),
             QJsonValue(QJsonArray()));
    QCOMPARE(nabu::m(QStringLiteral("rovan.project.point.default"))->exportToJson(),
             QJsonValue(mirel::ProjectData::pointTemplate()));
    QCOMPARE(nabu::m(QStringLiteral("rovan.project.cur_func"))->getString(),
             QStringLiteral("main"));
    QCOMPARE(nabu::m(QStringLiteral("rovan.project.cur_task"))->getString(),
             QStringLiteral("T_ROB1"));
}

void tst_ProjectData::templateHoldsEveryKeyOfAPoint_data()
{
    QTest::addColumn<QString>("leaf");
    const QString p = QStringLiteral("value.[0][0][0].");
    QStringList expected = {"id=number", "name=string", "property=string", "description=string",
                            "func=string", "task=string"};
    for (int i = 0; i < 7; ++i)
        expected << p + "inner_pos.#" + QString::number(i) + "=number";
    for (int i = 0; i < 6; ++i)
        expected << p + "extern_pos.#" + QString::number(i) + "=number"
                 << p + "external_joint.#" + QString::number(i) + "=number";
    for (const char *k : {"pos.x", "pos.y", "pos.z", "ori.euler.a", "ori.euler.b", "ori.euler.c",
                          "ori.quaternion.q1", "ori.quaternion.q2", "ori.quaternion.q3",
                          "ori.quaternion.q4"})
        expected << p + "pose.frame." + k + "=number";
    expected << p + "pose.elb=number" << p + "conf.cfx=number" << p + "coord.tool=string"
             << p + "coord.wobj=string";
    for (int i = 1; i <= 7; ++i)
        expected << p + "conf.cf" + QString::number(i) + "=number";
    for (const QString &leaf : qAsConst(expected))
        QTest::newRow(qPrintable(leaf)) << leaf;
}

void tst_ProjectData::templateHoldsEveryKeyOfAPoint()
{
    QFETCH(QString, leaf);
    QStringList all;
    leaves(mirel::ProjectData::pointTemplate(), QString(), &all);
    QVERIFY2(all.contains(leaf), qPrintable(all.join(' ')));
    QCOMPARE(all.size(), 46);
}

void tst_ProjectData::installKeepsTaughtPointsAndClearForgetsThem()
{
    mirel::ProjectData::install(nullptr);
    nabu::ModuleObject *list = nabu::m(QStringLiteral("rovan.project.point._list"));
    list->append(nullptr)->set(nullptr, QStringLiteral("name"), QStringLiteral("P1"));
    nabu::m(QStringLiteral("rovan.project.point.hot_update.operate"))
        ->set(nullptr, QStringLiteral("add"));
    nabu::m(QStringLiteral("rovan.project.cur_func"))->set(nullptr, QStringLiteral("weld"));
    mirel::ProjectData::install(nullptr);
    QCOMPARE(list->cmobjCount(), 1);
    QCOMPARE(nabu::m(QStringLiteral("rovan.project.cur_func"))->getString(),
             QStringLiteral("weld"));

    mirel::ProjectData::clearPoints(nullptr);
    QCOMPARE(list->exportToJson(), QJsonValue(QJsonArray()));
    QCOMPARE(nabu::m(QStringLiteral("rovan.project.point.hot_update.operate"))->getString(),
             QString());
    // Still a list: a point added now exports as an array element.
    list->append(nullptr)->set(nullptr, QStringLiteral("name"), QStringLiteral("P2"));
    QCOMPARE(list->exportToJson().toArray().size(), 1);
}

QTEST_MAIN(tst_ProjectData)
#include "tst_projectdata.moc"
