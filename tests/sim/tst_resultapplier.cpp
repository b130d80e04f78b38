#include "simtesthelpers.h"

#include <controllertoken.h>
#include <sim/controller/compliancebook.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/server/controllerclient.h>
#include <sim/server/controllerserver.h>
#include <sim/tools/common/resultapplier.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QJsonObject>
#include <QtTest>

using sim::ControllerClient;
using sim::ControllerServer;
using sim::ResultApplier;
using sim::SimulatedController;

namespace {

const QString kSetDhAll = QStringLiteral("factory.set_DH_params_all");
const QString kSetDhLink = QStringLiteral("factory.set_DH_params_link");
const QString kSetZero = QStringLiteral("ethercat.set_precision_compensation_zero");
const QString kReboot = QStringLiteral("system.controller.reboot");

using simtest::numbers;
using simtest::toArray;

// A result as the collector writes it for the controller's set `dh`: a changed a of joint 2,
// zero offsets and compliances.
QJsonObject resultFor(const QVector<double> &dh, int axes)
{
    QJsonObject joints;
    for (int k = 0; k < axes; ++k) {
        joints.insert(QStringLiteral("joint_%1").arg(k + 1),
                      QJsonObject{{QStringLiteral("alpha"), dh.at(4 * k)},
                                  {QStringLiteral("a"), dh.at(4 * k + 1) + (k == 1 ? 0.3 : 0.0)},
                                  {QStringLiteral("d"), dh.at(4 * k + 2)},
                                  {QStringLiteral("theta_offset"), dh.at(4 * k + 3) + 0.01}});
    }
    QVector<double> compliance(axes, 1e-6);
    compliance[1] = 2.5e-6;
    return QJsonObject{
        {QStringLiteral("status"), 1},
        {QStringLiteral("dh_parameters"), joints},
        {QStringLiteral("zero_points"), toArray(QVector<double>(axes, 0.01))},
        {QStringLiteral("avg_valid_position_error"), 0.04},
        {QStringLiteral("max_valid_position_error"), 0.09},
        {QStringLiteral("threshold"), QJsonArray{0.1, 0.3, 2.0, 0.5}},
        {QStringLiteral("joint_compliance"),
         QJsonObject{{QStringLiteral("unit"), QStringLiteral("rad/(N*m)")},
                     {QStringLiteral("values"), toArray(compliance)},
                     {QStringLiteral("payload_kg"), 1.0}}}};
}

} // namespace

class tst_ResultApplier : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void writesWhatTheResultHolds_data();
    void writesWhatTheResultHolds();
    void refusedResults_data();
    void refusedResults();
    void firstFailureStops();
    void verdictRule_data();
    void verdictRule();
    void programAppliesOrRefuses();

private:
    SimulatedController *m_controller = nullptr;
    ControllerServer *m_server = nullptr;
};

void tst_ResultApplier::init()
{
    m_controller = new SimulatedController(this);
    m_controller->setRebootDelay(50);
    m_controller->bringUp();
    m_server = new ControllerServer(m_controller, this);
    // Applying writes: the client and identifyCalib find the token where the pendant puts it.
    const QByteArray token = mirel::ControllerToken::generate();
    m_server->setToken(token);
    qputenv(mirel::ControllerToken::EnvironmentVariable, token);
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
}

void tst_ResultApplier::cleanup()
{
    delete m_server;
    delete m_controller;
}

void tst_ResultApplier::writesWhatTheResultHolds_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("production");
    QTest::newRow("SR6 normal") << QStringLiteral("SR6-900") << false;
    QTest::newRow("SR6 production") << QStringLiteral("SR6-900") << true;
    QTest::newRow("SR7 normal") << QStringLiteral("SR7-800") << false;
}

void tst_ResultApplier::writesWhatTheResultHolds()
{
    QFETCH(QString, model);
    QFETCH(bool, production);
    QVERIFY(m_controller->setModel(model));
    const int axes = m_controller->axisCount();
    const QVector<double> before = m_controller->dhParams();
    QJsonObject result = resultFor(before, axes);
    if (production) {
        result.insert(QStringLiteral("product_result"),
                      QJsonObject{{QStringLiteral("dh_parameters"),
                                   result.value(QStringLiteral("dh_parameters"))},
                                  {QStringLiteral("zero_points"),
                                   toArray(QVector<double>(axes, 0.02))}});
    }
    ControllerClient client;
    QVERIFY(client.connectTo(m_server->addressText()));
    ResultApplier applier(&client);
    QString error;
    QVERIFY2(applier.apply(result, &error), qPrintable(error));

    // The pendant's sequence, then the compliance, then the reboot.
    QStringList sent;
    for (const SimulatedController::Call &call : m_controller->calls()) {
        if (call.name != QLatin1String("factory.get_DH_params_link"))
            sent.append(call.name);
    }
    QCOMPARE(sent, QStringList({production ? kSetDhLink : kSetDhAll, kSetZero,
                                sim::ComplianceBook::SetCommand, kReboot}));
    QCOMPARE(applier.log().size(), 4);
    QVERIFY(applier.log().at(0).startsWith(QLatin1String("[APPLY][DH_WRITE] SUCCESS")));

    // a of joint 2 changed, theta stayed the controller's, the last group unchanged.
    QVector<double> expected = before;
    expected[5] += 0.3;
    QCOMPARE(m_controller->dhParams(), expected);
    QCOMPARE(m_controller->zeroOffsets(), QVector<double>(axes, 0.01));
    if (production)
        QCOMPARE(m_controller->productZeroOffsets(), QVector<double>(axes, 0.02));
    QCOMPARE(m_controller->compliance().values(),
             numbers(result.value(QStringLiteral("joint_compliance"))
                         .toObject()
                         .value(QStringLiteral("values"))));
    QCOMPARE(m_controller->compliance().payloadKg(), 1.0);
    QTRY_COMPARE(m_controller->rebootCount(), 1);
}

void tst_ResultApplier::refusedResults_data()
{
    QTest::addColumn<QString>("member");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<QString>("reason");
    QTest::newRow("mean error over its limit")
        << QStringLiteral("avg_valid_position_error") << QJsonValue(0.11)
        << QStringLiteral("mean validation error");
    QTest::newRow("largest error over its limit")
        << QStringLiteral("max_valid_position_error") << QJsonValue(0.31)
        << QStringLiteral("largest validation error");
    QTest::newRow("no threshold") << QStringLiteral("threshold") << QJsonValue()
                                  << QStringLiteral("no complete quality gate");
    QTest::newRow("a length limit a change exceeds")
        << QStringLiteral("threshold") << QJsonValue(QJsonArray{0.1, 0.3, 0.2, 0.5})
        << QStringLiteral("a or d changes");
    QTest::newRow("status 0") << QStringLiteral("status") << QJsonValue(0)
                              << QStringLiteral("\"status\"");
    // The controller would refuse these only after the DH set and zero offsets had gone in.
    const QJsonArray six{0, 1e-6, 1e-6, 0, 0, 0};
    QTest::newRow("a compliance short of a joint")
        << QStringLiteral("joint_compliance")
        << QJsonValue(QJsonObject{{QStringLiteral("values"), QJsonArray{0, 1e-6}}})
        << QStringLiteral("\"joint_compliance\"");
    QTest::newRow("a payload the link cannot carry")
        << QStringLiteral("joint_compliance")
        << QJsonValue(QJsonObject{{QStringLiteral("values"), six},
                                  {QStringLiteral("payload_kg"), 1e300}})
        << QStringLiteral("\"joint_compliance\"");
    QTest::newRow("a joint bending against its load")
        << QStringLiteral("joint_compliance")
        << QJsonValue(QJsonObject{{QStringLiteral("values"), QJsonArray{0, 1e-6, -1e-6, 0, 0, 0}}})
        << QStringLiteral("\"joint_compliance\"");
    QTest::newRow("a negative payload")
        << QStringLiteral("joint_compliance")
        << QJsonValue(QJsonObject{{QStringLiteral("values"), six},
                                  {QStringLiteral("payload_kg"), -1}})
        << QStringLiteral("\"joint_compliance\"");
}

// Nothing is written for a result that is not good enough.
void tst_ResultApplier::refusedResults()
{
    QFETCH(QString, member);
    QFETCH(QJsonValue, value);
    QFETCH(QString, reason);
    QJsonObject result = resultFor(m_controller->dhParams(), m_controller->axisCount());
    if (value.isUndefined() || value.isNull())
        result.remove(member);
    else
        result.insert(member, value);
    ControllerClient client;
    QVERIFY(client.connectTo(m_server->addressText()));
    ResultApplier applier(&client);
    QString error;
    QVERIFY(!applier.apply(result, &error));
    QVERIFY2(error.contains(reason), qPrintable(error));
    for (const SimulatedController::Call &call : m_controller->calls())
        QCOMPARE(call.name, QStringLiteral("factory.get_DH_params_link"));
    QVERIFY(applier.log().isEmpty());
    QVERIFY(!applier.controllerFailed());
    QCOMPARE(m_controller->rebootCount(), 0);
}

void tst_ResultApplier::firstFailureStops()
{
    m_controller->setAnswer(kSetZero, QJsonObject{{QStringLiteral("success"), false},
                                                  {QStringLiteral("code"), 0}});
    const QVector<double> before = m_controller->dhParams();
    ControllerClient client;
    QVERIFY(client.connectTo(m_server->addressText()));
    ResultApplier applier(&client);
    QString error;
    QVERIFY(!applier.apply(resultFor(before, m_controller->axisCount()), &error));
    QVERIFY2(error.contains(kSetZero), qPrintable(error));
    // The DH set went in and stays (no rollback); neither the compliance nor a reboot follow.
    QVERIFY(m_controller->dhParams() != before);
    QVERIFY(m_controller->callsOf(sim::ComplianceBook::SetCommand).isEmpty());
    QVERIFY(m_controller->callsOf(kReboot).isEmpty());
    QCOMPARE(applier.log().size(), 2);
    QVERIFY(applier.log().at(1).startsWith(QLatin1String("[APPLY][ZERO_WRITE] FAILED")));
    QVERIFY(applier.controllerFailed());
}

void tst_ResultApplier::verdictRule_data()
{
    QTest::addColumn<QJsonValue>("response");
    QTest::addColumn<bool>("ok");
    QTest::newRow("success false wins over code 0")
        << QJsonValue(QJsonObject{{QStringLiteral("success"), false}, {QStringLiteral("code"), 0}})
        << false;
    QTest::newRow("code 3") << QJsonValue(QJsonObject{{QStringLiteral("code"), 3}}) << false;
    QTest::newRow("code 0") << QJsonValue(QJsonObject{{QStringLiteral("code"), 0}}) << true;
    QTest::newRow("empty object") << QJsonValue(QJsonObject()) << true;
    QTest::newRow("code as text")
        << QJsonValue(QJsonObject{{QStringLiteral("code"), QStringLiteral("3")}}) << true;
    QTest::newRow("code 0.5") << QJsonValue(QJsonObject{{QStringLiteral("code"), 0.5}}) << false;
    QTest::newRow("unknown command")
        << QJsonValue(QJsonObject{{QStringLiteral("error"), -1},
                                  {QStringLiteral("msg"), QStringLiteral("unknown command")}})
        << false;
    QTest::newRow("error 0") << QJsonValue(QJsonObject{{QStringLiteral("error"), 0}}) << true;
    QTest::newRow("bare 0") << QJsonValue(0) << true;
    QTest::newRow("bare 1") << QJsonValue(1) << false;
    QTest::newRow("null") << QJsonValue() << false;
    QTest::newRow("text") << QJsonValue(QStringLiteral("ok")) << true;
}

void tst_ResultApplier::verdictRule()
{
    QFETCH(QJsonValue, response);
    QFETCH(bool, ok);
    QCOMPARE(ResultApplier::judge(response), ok);
}

// identifyCalib --apply against the controller served on loopback: a good result is written
// with its compliance and the controller reboots; one over its limits leaves it untouched.
void tst_ResultApplier::programAppliesOrRefuses()
{
    QTemporaryDir dir;
    const QVector<double> before = m_controller->dhParams();
    QJsonObject bad = resultFor(before, m_controller->axisCount());
    bad.insert(QStringLiteral("max_valid_position_error"), 0.5);
    const auto run = [&](const QJsonObject &result) {
        const QString path = dir.filePath(QStringLiteral("optimized_dh.json"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return -1;
        file.write(QJsonDocument(result).toJson());
        file.close();
        QProcess program;
        program.start(QStringLiteral(IDENTIFY_CALIB_PROGRAM),
                      {QStringLiteral("--apply"), m_server->addressText(),
                       QStringLiteral("--result"), path});
        // The server answers on this thread's event loop while the program runs.
        if (!QTest::qWaitFor([&] { return program.state() == QProcess::NotRunning; }, 30000))
            return -2;
        return program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -3;
    };

    QCOMPARE(run(bad), 3);
    QCOMPARE(m_controller->dhParams(), before);
    QVERIFY(!m_controller->compliance().isActive());
    QCOMPARE(m_controller->rebootCount(), 0);

    // A controller that gives no DH set is the controller's failure, not the result's.
    const QString getDh = QStringLiteral("factory.get_DH_params_link");
    m_controller->setAnswer(getDh, QJsonObject{{QStringLiteral("error"), -50007},
                                               {QStringLiteral("msg"), QStringLiteral("busy")}});
    QCOMPARE(run(resultFor(before, m_controller->axisCount())), 4);
    QCOMPARE(m_controller->dhParams(), before);
    m_controller->resetScript();

    QCOMPARE(run(resultFor(before, m_controller->axisCount())), 0);
    QVERIFY(m_controller->dhParams() != before);
    QVERIFY(m_controller->compliance().isActive());
    QTRY_COMPARE(m_controller->rebootCount(), 1);
}

QTEST_MAIN(tst_ResultApplier)
#include "tst_resultapplier.moc"
