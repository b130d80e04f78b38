#include "simtesthelpers.h"

#include <sim/controller/programstore.h>
#include <sim/server/controllerstatefile.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using sim::ControllerStateFile;
using sim::SimulatedController;

namespace {

void set(SimulatedController &c, const QString &key, const QJsonValue &value)
{
    mirel::ControllerMessage message;
    message.id = 1;
    message.kind = mirel::ControllerMessage::Set;
    message.name = key;
    message.payload = QJsonObject{{QStringLiteral("sub"), QString()}, {QStringLiteral("value"), value}};
    c.send(message);
}

QJsonObject jointPoint(const QString &name, const QVector<double> &joints)
{
    QJsonArray inner;
    for (double q : joints)
        inner.append(q);
    return QJsonObject{
        {QStringLiteral("name"), name},
        {QStringLiteral("property"), QStringLiteral("joint")},
        {QStringLiteral("value"),
         QJsonObject{{QStringLiteral("[0][0][0]"),
                      QJsonObject{{QStringLiteral("inner_pos"), inner}}}}}};
}

int errorOf(const QJsonValue &answer)
{
    return answer.isObject() ? answer.toObject().value(QStringLiteral("error")).toInt() : answer.toInt();
}

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

// What a controller keeps across a restart in its state file, and what it does with a file it
// cannot use.
class tst_ControllerStateFile : public QObject
{
    Q_OBJECT

private slots:
    void everythingConfirmedSurvivesARestart();
    void unusableFileIsKeptAside_data();
    void unusableFileIsKeptAside();
};

void tst_ControllerStateFile::everythingConfirmedSurvivesARestart()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.json"));
    const QVector<double> home = simtest::modelNamed(QStringLiteral("SR6-900")).homeDeg;
    QVector<double> dh;
    QVector<double> zero;
    {
        SimulatedController first;
        first.bringUp();
        ControllerStateFile state(path);
        QString error;
        QCOMPARE(state.load(&first, &error), ControllerStateFile::Missing);
        dh = first.dhParams();
        dh[5] += 0.25;
        first.setDhParams(dh);
        QVERIFY(simtest::command(first, QStringLiteral("ethercat.set_precision_compensation_zero"),
                                 QJsonObject{{QStringLiteral("joint_angle_A"),
                                              QJsonArray{0.01, 0.02, 0.0, 0.0, 0.0, -0.03}}})
                    .toObject()
                    .value(QStringLiteral("success"))
                    .toBool());
        zero = first.zeroOffsets();
        set(first, QStringLiteral("rovan.project.point._list"),
            QJsonArray{jointPoint(QStringLiteral("Kept"), home)});
        set(first, QStringLiteral("rovan.project.var._list"),
            QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("speedFactor")}}});
        simtest::command(first, QStringLiteral("monitor.pers.modify"),
                         QJsonObject{{QStringLiteral("counter"), 7}});
        QCOMPARE(errorOf(simtest::command(first, QStringLiteral("project.remove_task"),
                                          QJsonObject{{QStringLiteral("name"), QStringLiteral("demo")}})),
                 0);
        simtest::command(first, QStringLiteral("project.overview.set_autoload"),
                         QJsonObject{{QStringLiteral("autoload_pri_path"), QStringLiteral("cell/main")}});
        QVERIFY2(state.saveIfChanged(&first, &error), qPrintable(error));
    }

    SimulatedController second;
    second.bringUp();
    ControllerStateFile state(path);
    QString error;
    QCOMPARE(state.load(&second, &error), ControllerStateFile::Loaded);
    QTRY_COMPARE(second.dhParams(), dh);
    QCOMPARE(second.zeroOffsets(), zero);
    // The points and variables a pendant elsewhere sent are known again.
    QCOMPARE(errorOf(simtest::command(second, QStringLiteral("move.path.check"),
                                      QJsonArray{QStringLiteral("Kept")})),
             0);
    QCOMPARE(errorOf(simtest::command(second, QStringLiteral("move.path.check"),
                                      QJsonArray{QStringLiteral("Never")})),
             -50005);
    QCOMPARE(simtest::command(second, QStringLiteral("monitor.pers.read"),
                              QJsonArray{QStringLiteral("counter")})
                 .toObject()
                 .value(QStringLiteral("data")),
             QJsonValue(QJsonArray{7}));
    QVERIFY(second.programs()->projects().isEmpty());
    QCOMPARE(second.programs()->autoloadPath(), QStringLiteral("cell/main"));
    QCOMPARE(errorOf(simtest::command(
                 second, QStringLiteral("project.variable"),
                 QJsonObject{{QStringLiteral("operator"), QStringLiteral("remove")},
                             {QStringLiteral("variables"), QJsonArray{QStringLiteral("speedFactor")}}})),
             0);
}

void tst_ControllerStateFile::unusableFileIsKeptAside_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::newRow("not JSON") << QByteArray("{\"robot\": \"SR6-900\", \"dh\": [1, 2");
    QTest::newRow("not an object") << QByteArray("[1, 2, 3]");
    QTest::newRow("another robot") << QByteArray("{\"robot\": \"SR7-800\"}");
    QTest::newRow("DH of another size")
        << QByteArray("{\"robot\": \"SR6-900\", \"dh\": [1, 2, 3], \"product_dh\": [1, 2, 3], "
                      "\"zero\": [0, 0, 0, 0, 0, 0], \"product_zero\": [0, 0, 0, 0, 0, 0]}");
}

// Somebody's only copy of a robot's calibration is never written over: it is kept beside, and
// the controller starts from the factory state.
void tst_ControllerStateFile::unusableFileIsKeptAside()
{
    QFETCH(QByteArray, text);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.json"));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
    }
    SimulatedController controller;
    controller.bringUp();
    const QVector<double> factory = controller.dhParams();
    ControllerStateFile state(path);
    QString error;
    QCOMPARE(state.load(&controller, &error), ControllerStateFile::Unusable);
    QVERIFY2(error.contains(QStringLiteral("state.json.bad")), qPrintable(error));
    QCOMPARE(contents(path + QStringLiteral(".bad")), text);
    QTest::qWait(20);
    QCOMPARE(controller.dhParams(), factory);
    // A new state goes where the old one was; the kept copy stays as it is.
    QVector<double> dh = factory;
    dh[1] += 1.0;
    controller.setDhParams(dh);
    QVERIFY(state.saveIfChanged(&controller, &error));
    QVERIFY(contents(path).contains("SR6-900"));
    QCOMPARE(contents(path + QStringLiteral(".bad")), text);
}

QTEST_MAIN(tst_ControllerStateFile)
#include "tst_controllerstatefile.moc"
