#include "simtesthelpers.h"

#include <sim/controller/compliancebook.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/kinematics/cartesianpose.h>
#include <sim/kinematics/robotcatalogue.h>
#include <sim/server/controllerstatefile.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

using sim::ComplianceBook;
using sim::SimulatedController;
using simtest::command;

namespace {

constexpr double kDegPerRad = 180.0 / 3.14159265358979323846;

using simtest::numbers;
using simtest::toArray;

bool succeeded(const QJsonValue &answer)
{
    return answer.toObject().value(QStringLiteral("success")).toBool();
}

QJsonObject stored(SimulatedController &c)
{
    return command(c, ComplianceBook::GetCommand)
        .toObject()
        .value(QStringLiteral("data"))
        .toObject();
}

// A compliance a mid-size arm might have (a few tenths of a millimetre at the flange), the
// shoulder and elbow the softest.
const QVector<double> kCompliance{5e-7, 2.0e-6, 1.5e-6, 6e-7, 8e-7, 5e-7};

// The joint move request of the pendant for a flange pose (mm, degrees) at 100 deg/s.
QJsonObject moveRequest(const sim::CartesianPose &pose)
{
    const Eigen::Vector3d p = pose.positionMm / 1000.0;
    return QJsonObject{
        {QStringLiteral("point"),
         QJsonObject{{QStringLiteral("trans"), QJsonArray{p.x(), p.y(), p.z()}},
                     {QStringLiteral("rot"), QJsonArray{pose.aDeg / 1000.0, pose.bDeg / 1000.0,
                                                        pose.cDeg / 1000.0}}}},
        {QStringLiteral("traj"), QJsonObject{{QStringLiteral("speed"), 0.1}}}};
}

// Moves to `pose` and waits until the robot stands.
bool moveTo(SimulatedController &c, const sim::CartesianPose &pose)
{
    if (!succeeded(command(c, QStringLiteral("move.move_to.jc"), moveRequest(pose)))
        || !succeeded(command(c, QStringLiteral("move.opr.enough"))))
        return false;
    return QTest::qWaitFor([&c] { return !c.isMoving(); }, 10000);
}

} // namespace

class tst_ComplianceBook : public QObject
{
    Q_OBJECT

private slots:
    void setAndRead();
    void refusedPayloads_data();
    void refusedPayloads();
    void movesEndWhereTheBentArmShouldStand();
    void compensationStaysWithinTheTravel();
    void stateFileKeepsIt();
};

void tst_ComplianceBook::setAndRead()
{
    SimulatedController c;
    c.bringUp();
    const QJsonObject fresh = stored(c);
    QCOMPARE(fresh.value(QStringLiteral("unit")).toString(), QStringLiteral("rad/(N*m)"));
    QCOMPARE(numbers(fresh.value(QStringLiteral("values"))), QVector<double>(6, 0.0));
    QCOMPARE(fresh.value(QStringLiteral("payload_kg")).toDouble(), 0.0);

    QVERIFY(succeeded(command(c, ComplianceBook::SetCommand,
                              QJsonObject{{QStringLiteral("unit"), ComplianceBook::Unit},
                                          {QStringLiteral("values"), toArray(kCompliance)},
                                          {QStringLiteral("payload_kg"), 1.5}})));
    QCOMPARE(numbers(stored(c).value(QStringLiteral("values"))), kCompliance);
    QCOMPARE(stored(c).value(QStringLiteral("payload_kg")).toDouble(), 1.5);
    QVERIFY(c.compliance().isActive());
    // Without payload and unit: no payload, the same unit.
    QVERIFY(succeeded(command(c, ComplianceBook::SetCommand,
                              QJsonObject{{QStringLiteral("values"), toArray(kCompliance)}})));
    QCOMPARE(stored(c).value(QStringLiteral("payload_kg")).toDouble(), 0.0);

    // It is the controller's to keep across a reboot, and another robot model starts without.
    c.setRebootDelay(0);
    command(c, QStringLiteral("system.controller.reboot"));
    QTRY_COMPARE(c.rebootCount(), 1);
    QTRY_VERIFY(c.isUp());
    QCOMPARE(numbers(stored(c).value(QStringLiteral("values"))), kCompliance);
    QVERIFY(c.setModel(QStringLiteral("SR7-800")));
    QCOMPARE(numbers(stored(c).value(QStringLiteral("values"))), QVector<double>(7, 0.0));
    QVERIFY(!c.compliance().isActive());
}

void tst_ComplianceBook::refusedPayloads_data()
{
    QTest::addColumn<QJsonValue>("payload");
    const QJsonArray good = toArray(kCompliance);
    QJsonArray text = good;
    text.replace(2, QStringLiteral("1e-5"));
    QJsonArray huge = good;
    huge.replace(1, 0.01);
    QTest::newRow("no payload") << QJsonValue();
    QTest::newRow("values missing") << QJsonValue(QJsonObject{{QStringLiteral("payload_kg"), 1}});
    QTest::newRow("one value short")
        << QJsonValue(QJsonObject{{QStringLiteral("values"), toArray(kCompliance.mid(1))}});
    QTest::newRow("a value as text") << QJsonValue(QJsonObject{{QStringLiteral("values"), text}});
    QTest::newRow("no joint bends that much")
        << QJsonValue(QJsonObject{{QStringLiteral("values"), huge}});
    QTest::newRow("negative payload")
        << QJsonValue(QJsonObject{{QStringLiteral("values"), good},
                                  {QStringLiteral("payload_kg"), -1}});
    QTest::newRow("payload as text")
        << QJsonValue(QJsonObject{{QStringLiteral("values"), good},
                                  {QStringLiteral("payload_kg"), QStringLiteral("2")}});
    QTest::newRow("other unit")
        << QJsonValue(QJsonObject{{QStringLiteral("values"), good},
                                  {QStringLiteral("unit"), QStringLiteral("deg/(N*m)")}});
}

void tst_ComplianceBook::refusedPayloads()
{
    QFETCH(QJsonValue, payload);
    SimulatedController c;
    c.bringUp();
    QVERIFY(succeeded(command(c, ComplianceBook::SetCommand,
                              QJsonObject{{QStringLiteral("values"), toArray(kCompliance)},
                                          {QStringLiteral("payload_kg"), 2.0}})));
    const QJsonObject answer = command(c, ComplianceBook::SetCommand, payload).toObject();
    QCOMPARE(answer.value(QStringLiteral("success")).toBool(true), false);
    QCOMPARE(answer.value(QStringLiteral("code")).toInt(), -2);
    QCOMPARE(numbers(stored(c).value(QStringLiteral("values"))), kCompliance);
    QCOMPARE(stored(c).value(QStringLiteral("payload_kg")).toDouble(), 2.0);
}

// With a compliance set, the readings the robot stops at differ from the model's solution by
// the deflection the controller predicts there, so that the bent arm puts the flange on the
// target; without one they are the model's solution.
void tst_ComplianceBook::movesEndWhereTheBentArmShouldStand()
{
    const sim::CatalogueModel *catalogue =
        sim::RobotCatalogue::builtIn().model(QStringLiteral("SR6-900"));
    QVERIFY(catalogue);
    const double payloadKg = 3.0;
    sim::CartesianPose target;
    target.positionMm = Eigen::Vector3d(550, 120, 420);
    target.cDeg = 180;

    SimulatedController stiff;
    stiff.setMotionPace(50);
    stiff.bringUp();
    QVERIFY(moveTo(stiff, target));
    const QVector<double> solution = stiff.jointPositions();

    SimulatedController c;
    c.setMotionPace(50);
    c.bringUp();
    QVERIFY(succeeded(command(c, ComplianceBook::SetCommand,
                              QJsonObject{{QStringLiteral("values"), toArray(kCompliance)},
                                          {QStringLiteral("payload_kg"), payloadKg}})));
    QVERIFY(moveTo(c, target));
    const QVector<double> readings = c.jointPositions();
    const sim::DhChain chain(c.dhParams(), c.axisCount());
    const QVector<double> tau = catalogue->masses.gravityTorqueNm(chain, readings, payloadKg);
    QCOMPARE(tau.size(), 6);
    QVector<double> arm = readings;
    double largestTurn = 0;
    for (int k = 0; k < 6; ++k) {
        arm[k] += kCompliance.at(k) * tau.at(k) * kDegPerRad;
        largestTurn = std::max(largestTurn, std::abs(readings.at(k) - solution.at(k)));
    }
    // The bent arm puts the flange on the target, to the solver's tolerance of 1 um; the
    // readings alone would miss it by the deflection.
    const Eigen::Vector3d reached = chain.forward(arm).translation();
    QVERIFY2((reached - target.positionMm).norm() < 2e-3,
             qPrintable(QString::number((reached - target.positionMm).norm())));
    const double missed = (chain.forward(readings).translation() - target.positionMm).norm();
    QVERIFY2(missed > 0.02 && missed < 1.0, qPrintable(QString::number(missed)));
    // Shoulder and elbow carry tens of newton-metres: thousandths of a degree, not nothing.
    QVERIFY2(largestTurn > 0.002 && largestTurn < 0.05, qPrintable(QString::number(largestTurn)));
    // What the controller reports is its readings.
    QCOMPARE(numbers(c.value(QStringLiteral("move.last_error_with_setting"))
                         .toObject()
                         .value(QStringLiteral("joint"))),
             readings);
    // From there, a move to the same target leaves the arm where it is: the deflection is
    // taken off once, not again on every move.
    QVERIFY(moveTo(c, target));
    for (int k = 0; k < 6; ++k)
        QVERIFY(std::abs(c.jointPositions().at(k) - readings.at(k)) < 1e-3);
}

// The deflection is taken off after the planner's checks: a target near a joint's limit, with
// the stiffest-allowed joints bent by a heavy payload, is refused rather than driven past it.
void tst_ComplianceBook::compensationStaysWithinTheTravel()
{
    SimulatedController c;
    c.setMotionPace(50);
    c.bringUp();
    QVERIFY(succeeded(command(c, QStringLiteral("sim.robot.set_joints"),
                              QJsonObject{{QStringLiteral("joints_deg"),
                                           QJsonArray{0, -60, 159, 0, 90, 0}}})));
    const sim::DhChain chain(c.dhParams(), c.axisCount());
    const sim::CartesianPose nearLimit =
        sim::CartesianPose::fromIsometry(chain.forward(c.jointPositions()));
    QVERIFY(succeeded(command(c, QStringLiteral("sim.robot.set_joints"),
                              QJsonObject{{QStringLiteral("joints_deg"),
                                           QJsonArray{0, 0, 0, 0, 90, 0}}})));
    const QVector<double> before = c.jointPositions();
    QVERIFY(succeeded(command(c, ComplianceBook::SetCommand,
                              QJsonObject{{QStringLiteral("values"),
                                           toArray(QVector<double>(6, ComplianceBook::kMaxRadPerNm))},
                                          {QStringLiteral("payload_kg"), 30.0}})));
    const QJsonObject answer =
        command(c, QStringLiteral("move.move_to.jc"), moveRequest(nearLimit)).toObject();
    QCOMPARE(answer.value(QStringLiteral("error")).toInt(), -50001);
    QVERIFY2(answer.value(QStringLiteral("msg")).toString().contains(QLatin1String("travel")),
             qPrintable(answer.value(QStringLiteral("msg")).toString()));
    QVERIFY(!succeeded(command(c, QStringLiteral("move.opr.enough"))));
    QCOMPARE(c.jointPositions(), before);
}

void tst_ComplianceBook::stateFileKeepsIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("state.json"));
    QString error;
    {
        SimulatedController first;
        first.bringUp();
        sim::ControllerStateFile state(path);
        QCOMPARE(state.load(&first, &error), sim::ControllerStateFile::Missing);
        QVERIFY(succeeded(command(first, ComplianceBook::SetCommand,
                                  QJsonObject{{QStringLiteral("values"), toArray(kCompliance)},
                                              {QStringLiteral("payload_kg"), 0.5}})));
        QVERIFY2(state.saveIfChanged(&first, &error), qPrintable(error));
    }
    SimulatedController second;
    second.bringUp();
    {
        sim::ControllerStateFile state(path);
        QCOMPARE(state.load(&second, &error), sim::ControllerStateFile::Loaded);
    }
    QTRY_COMPARE(second.compliance().values(), kCompliance);
    QCOMPARE(second.compliance().payloadKg(), 0.5);

    // A file whose compliance the controller would refuse is kept aside whole.
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject saved = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonObject compliance = saved.value(QStringLiteral("compliance")).toObject();
    compliance.insert(QStringLiteral("values"), QJsonArray{1e-5, 1e-5});
    saved.insert(QStringLiteral("compliance"), compliance);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(saved).toJson());
    file.close();
    SimulatedController third;
    third.bringUp();
    sim::ControllerStateFile state(path);
    QCOMPARE(state.load(&third, &error), sim::ControllerStateFile::Unusable);
    QVERIFY(QFile::exists(path + QStringLiteral(".bad")));
    QVERIFY(!third.compliance().isActive());
    // A file of a controller that never had the option loads as before.
    saved.remove(QStringLiteral("compliance"));
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(saved).toJson());
    file.close();
    sim::ControllerStateFile older(path);
    QCOMPARE(older.load(&third, &error), sim::ControllerStateFile::Loaded);
    QVERIFY(!third.compliance().isActive());
}

QTEST_MAIN(tst_ComplianceBook)
#include "tst_compliancebook.moc"
