#include "simtesthelpers.h"

#include <sim/controller/programstore.h>
#include <sim/kinematics/dhchain.h>
#include <sim/server/controllerstatefile.h>
#include <support/filesizelimit.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using sim::ControllerStateFile;
using sim::SimulatedController;

namespace {

quint64 post(SimulatedController &c, const QString &key, const QJsonValue &value)
{
    static quint64 nextId = 1;
    mirel::ControllerMessage message;
    message.id = nextId++;
    message.kind = mirel::ControllerMessage::Set;
    message.name = key;
    message.payload = QJsonObject{{QStringLiteral("sub"), QString()}, {QStringLiteral("value"), value}};
    c.send(message);
    return message.id;
}

QJsonValue answerOf(QSignalSpy &answered, quint64 id)
{
    for (int i = 0; i < 100; ++i) {
        for (const QList<QVariant> &a : qAsConst(answered)) {
            if (a.at(0).toULongLong() == id)
                return a.at(1).value<QJsonValue>();
        }
        answered.wait(50);
    }
    return QJsonValue();
}

// The answer of a set, waited for.
QJsonValue set(SimulatedController &c, const QString &key, const QJsonValue &value)
{
    QSignalSpy answered(&c, &mirel::ControllerLink::answered);
    return answerOf(answered, post(c, key, value));
}

bool succeeded(const QJsonValue &answer)
{
    return answer.toObject().value(QStringLiteral("success")).toBool();
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
    void unreadableFileConfirmsNoChange();
    void failedSaveIsUndoneAndAnsweredAsFailure_data();
    void failedSaveIsUndoneAndAnsweredAsFailure();
    void changeThatWouldPassTheReadLimitIsRefused();
    void onlyChangesAreSaved();
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
    const auto numbers = [](int count, double first) {
        return "[" + QByteArray::number(first) + QByteArray(", 0").repeated(count - 1) + "]";
    };
    const auto file = [&numbers](double dh, double zero) {
        return "{\"robot\": \"SR6-900\", \"dh\": " + numbers(28, dh) + ", \"product_dh\": "
               + numbers(28, 0) + ", \"zero\": " + numbers(6, zero) + ", \"product_zero\": "
               + numbers(6, 0) + "}";
    };
    QTest::newRow("DH no robot has") << file(1e300, 0);
    QTest::newRow("zero offset no robot has") << file(0, -2e6);
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

// A state file that cannot even be read (here a folder) is never written over, so no change
// can be kept: none is confirmed. Undoing one leaves a move that waits for its go.
void tst_ControllerStateFile::unreadableFileConfirmsNoChange()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.json"));
    QVERIFY(QDir().mkpath(path));
    SimulatedController controller;
    controller.setMotionPace(50);
    controller.bringUp();
    ControllerStateFile state(path);
    QString error;
    QCOMPARE(state.load(&controller, &error), ControllerStateFile::Unusable);
    state.keep(&controller);

    const sim::DhChain chain(controller.dhParams(), controller.axisCount());
    const Eigen::Vector3d at = chain.forward(controller.jointPositions()).translation() / 1000.0;
    const QJsonValue prepared = simtest::command(
        controller, QStringLiteral("move.move_to.jc"),
        QJsonObject{{QStringLiteral("point"),
                     QJsonObject{{QStringLiteral("trans"),
                                  QJsonArray{at.x(), at.y(), at.z() - 0.02}}}},
                    {QStringLiteral("traj"), QJsonObject{{QStringLiteral("speed"), 0.1}}}});
    QVERIFY(succeeded(prepared));

    const QJsonValue answer = set(controller, QStringLiteral("user.note"), QStringLiteral("x"));
    QVERIFY(!succeeded(answer));
    QCOMPARE(controller.value(QStringLiteral("user.note")), QJsonValue());
    QVERIFY(QFileInfo(path).isDir());
    const QJsonValue go = simtest::command(controller, QStringLiteral("move.opr.enough"));
    QVERIFY2(succeeded(go), QJsonDocument(go.toObject()).toJson().constData());
    QVERIFY(controller.isMoving());
}

void tst_ControllerStateFile::failedSaveIsUndoneAndAnsweredAsFailure_data()
{
    QTest::addColumn<bool>("diskFull");
    QTest::newRow("disk full") << true;
    QTest::newRow("folder not writable") << false;
}

// A change the controller cannot keep is not confirmed: the client hears of the failure, the
// controller goes on with what the file holds, and the file stays as it was.
void tst_ControllerStateFile::failedSaveIsUndoneAndAnsweredAsFailure()
{
    QFETCH(bool, diskFull);
    QTemporaryDir dir;
    // No folder can be made below a regular file, whoever the user is.
    QFile blocker(dir.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = diskFull ? dir.filePath(QStringLiteral("state.json"))
                                  : dir.filePath(QStringLiteral("blocker/state.json"));
    SimulatedController controller;
    controller.bringUp();
    ControllerStateFile state(path);
    QString error;
    QCOMPARE(state.load(&controller, &error), ControllerStateFile::Missing);
    state.keep(&controller);
    const QString key = QStringLiteral("rovan.project.point._list");
    const QJsonArray kept{jointPoint(QStringLiteral("Kept"), {0, 0, 0, 0, 90, 0})};
    QByteArray before;
    std::unique_ptr<support::FileSizeLimit> limit;
    if (diskFull) {
        QVERIFY(succeeded(set(controller, key, kept)));
        before = contents(path);
        QVERIFY(before.contains("Kept"));
        limit = std::make_unique<support::FileSizeLimit>(before.size() + 16);
        if (!limit->isActive())
            QSKIP("no file size limit on this system");
    }
    const QVector<double> dh = controller.dhParams();
    QJsonArray grown;
    for (int i = 0; i < 20; ++i)
        grown.append(jointPoint(QStringLiteral("P%1").arg(i), {0, 0, 0, 0, 90, 0}));
    // A change that arrives before the failed save of an earlier one is undone with it.
    QSignalSpy answered(&controller, &mirel::ControllerLink::answered);
    const quint64 first = post(controller, key, grown);
    const QJsonValue later = answerOf(answered, post(controller, QStringLiteral("later"), 1));
    const QJsonValue answer = answerOf(answered, first);
    QVERIFY(!succeeded(answer));
    QCOMPARE(later.toObject().value(QStringLiteral("code")).toInt(),
             int(SimulatedController::NotSaved));
    QCOMPARE(controller.value(QStringLiteral("later")), QJsonValue());
    QCOMPARE(answer.toObject().value(QStringLiteral("code")).toInt(),
             int(SimulatedController::NotSaved));
    QJsonArray changed;
    for (double v : dh)
        changed.append(v + 0.123456);
    const QJsonValue dhAnswer = simtest::command(
        controller, QStringLiteral("factory.set_DH_params_all"),
        QJsonObject{{QStringLiteral("DH_params_all"), changed}});
    QVERIFY(!succeeded(dhAnswer));
    QVERIFY(dhAnswer.toObject().value(QStringLiteral("code")).toInt() != 0);
    limit.reset();

    QTRY_COMPARE(controller.dhParams(), dh);
    QCOMPARE(controller.value(key), diskFull ? QJsonValue(kept) : QJsonValue());
    QCOMPARE(errorOf(simtest::command(controller, QStringLiteral("move.path.check"),
                                      QJsonArray{QStringLiteral("P3")})),
             -50005);
    QCOMPARE(contents(path), before);
}

// A start reads at most 64 MiB; a file that grew past it would be set aside with all it holds.
void tst_ControllerStateFile::changeThatWouldPassTheReadLimitIsRefused()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.json"));
    SimulatedController controller;
    controller.bringUp();
    ControllerStateFile state(path);
    QString error;
    state.load(&controller, &error);
    state.keep(&controller);
    const int third = int(ControllerStateFile::MaxFileBytes / 3);
    QVERIFY(succeeded(set(controller, QStringLiteral("a"), QString(third, QLatin1Char('a')))));
    QVERIFY(succeeded(set(controller, QStringLiteral("b"), QString(third, QLatin1Char('b')))));
    const qint64 size = QFileInfo(path).size();
    QVERIFY(size > 2 * third && size <= ControllerStateFile::MaxFileBytes);
    const QJsonValue answer =
        set(controller, QStringLiteral("c"), QString(third, QLatin1Char('c')));
    QVERIFY(!succeeded(answer));
    QCOMPARE(answer.toObject().value(QStringLiteral("code")).toInt(),
             int(SimulatedController::NotSaved));
    QVERIFY(controller.value(QStringLiteral("c")).isUndefined()
            || controller.value(QStringLiteral("c")).isNull());
    QCOMPARE(QFileInfo(path).size(), size);

    SimulatedController restarted;
    restarted.bringUp();
    ControllerStateFile again(path);
    QCOMPARE(again.load(&restarted, &error), ControllerStateFile::Loaded);
    QCOMPARE(restarted.value(QStringLiteral("b")).toString().size(), third);
}

// Reads leave the state alone: only what may change it is saved, so a flood of gets costs no
// comparison of the whole state.
void tst_ControllerStateFile::onlyChangesAreSaved()
{
    SimulatedController controller;
    controller.bringUp();
    int kept = 0;
    controller.setKeeper([&kept] {
        ++kept;
        return true;
    });
    for (int i = 0; i < 20; ++i) {
        simtest::command(controller, QStringLiteral("system.controller.get_params"));
        simtest::command(controller, QStringLiteral("factory.get_DH_params_link"));
    }
    // Each reading command of each book, answered before the count is looked at.
    const QList<QPair<QString, QJsonValue>> reads{
        {QStringLiteral("factory.get_compliance"), QJsonValue()},
        {QStringLiteral("rl_program.get_rob_pos"), QJsonObject()},
        {QStringLiteral("move.path.check"), QJsonArray{QStringLiteral("P1"), QStringLiteral("P2")}},
        {QStringLiteral("monitor.pers.read"), QJsonArray{QStringLiteral("counter")}},
        {QStringLiteral("sim.tracker.measure"), QJsonValue()},
        {QStringLiteral("sim.cell.truth"), QJsonValue()}};
    for (const auto &read : reads)
        QVERIFY2(!simtest::command(controller, read.first, read.second).isNull(),
                 qPrintable(read.first));
    QSignalSpy answered(&controller, &mirel::ControllerLink::answered);
    for (const auto kind : {mirel::ControllerMessage::Get, mirel::ControllerMessage::Watch}) {
        mirel::ControllerMessage read;
        read.kind = kind;
        read.name = QStringLiteral("io.signal_list");
        read.payload = kind == mirel::ControllerMessage::Watch ? QJsonValue(true) : QJsonValue();
        controller.send(read);
    }
    QTRY_COMPARE(answered.count(), 2);
    QCOMPARE(kept, 0);
    set(controller, QStringLiteral("a"), 1);
    simtest::command(controller, QStringLiteral("project.overview.set_autoload"),
                     QJsonObject{{QStringLiteral("autoload_pri_path"), QStringLiteral("x")}});
    QCOMPARE(kept, 2);
}

QTEST_MAIN(tst_ControllerStateFile)
#include "tst_controllerstatefile.moc"
