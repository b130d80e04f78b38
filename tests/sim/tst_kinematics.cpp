#include "simtesthelpers.h"

#include <sim/controller/simulatedcontroller.h>
#include <sim/kinematics/cartesianpose.h>
#include <sim/kinematics/dhchain.h>
#include <sim/kinematics/robotbody.h>
#include <sim/kinematics/robotcatalogue.h>

#include <QtTest>

#include <random>

using sim::CartesianPose;
using sim::DhChain;
using sim::IkStatus;
using sim::JointLimits;
using sim::RobotModel;

Q_DECLARE_METATYPE(Eigen::Vector3d)

namespace {

using simtest::modelNamed;

DhChain chainOf(const RobotModel &m)
{
    return DhChain(m.dh, m.axes);
}

QVector<double> randomJoints(const JointLimits &limits, std::mt19937 *random)
{
    QVector<double> q;
    for (int k = 0; k < limits.size(); ++k)
        q.append(std::uniform_real_distribution<double>(limits.lowerDeg.at(k),
                                                        limits.upperDeg.at(k))(*random));
    return q;
}

double angleBetweenDeg(const Eigen::Matrix3d &a, const Eigen::Matrix3d &b)
{
    return Eigen::AngleAxisd(a * b.transpose()).angle() * 180.0 / 3.14159265358979323846;
}

} // namespace

class tst_Kinematics : public QObject
{
    Q_OBJECT

private slots:
    void forwardDataSheetPoses_data();
    void forwardDataSheetPoses();
    void jacobianMatchesCentralDifferences_data();
    void jacobianMatchesCentralDifferences();
    void forwardThenInverseRoundTrip_data();
    void forwardThenInverseRoundTrip();
    void inverseFailures();
    void eulerRoundTrip_data();
    void eulerRoundTrip();
    void segmentDistances();
    void bodyHidesTheBeam();
};

void tst_Kinematics::forwardDataSheetPoses_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QVector<double>>("joints");
    QTest::addColumn<Eigen::Vector3d>("flangeMm");
    QTest::addColumn<Eigen::Vector3d>("flangeZ");
    // Upper arm up, forearm forward: shoulder 330 + 440 + 35 high, 50 + 420 + 80 ahead.
    QTest::newRow("SR6 zero") << "SR6-900" << QVector<double>(6, 0.0)
                              << Eigen::Vector3d(550, 0, 805) << Eigen::Vector3d(1, 0, 0);
    QTest::newRow("SR6 wrist down") << "SR6-900" << QVector<double>{0, 0, 0, 0, 90, 0}
                                    << Eigen::Vector3d(470, 0, 725) << Eigen::Vector3d(0, 0, -1);
    QTest::newRow("SR6 turned left") << "SR6-900" << QVector<double>{90, 0, 0, 0, 0, 0}
                                     << Eigen::Vector3d(0, 550, 805) << Eigen::Vector3d(0, 1, 0);
    QTest::newRow("SR7 upright") << "SR7-800" << QVector<double>(7, 0.0)
                                 << Eigen::Vector3d(0, 0, 1246) << Eigen::Vector3d(0, 0, 1);
    // Elbow bent by a right angle: forearm and flange horizontal at the elbow's height.
    QTest::newRow("SR7 elbow") << "SR7-800" << QVector<double>{0, 0, 0, 90, 0, 0, 0}
                               << Eigen::Vector3d(506, 0, 740) << Eigen::Vector3d(1, 0, 0);
}

void tst_Kinematics::forwardDataSheetPoses()
{
    QFETCH(QString, model);
    QFETCH(QVector<double>, joints);
    QFETCH(Eigen::Vector3d, flangeMm);
    QFETCH(Eigen::Vector3d, flangeZ);
    const RobotModel m = modelNamed(model);
    const DhChain chain = chainOf(m);
    QVERIFY(chain.isValid());
    const Eigen::Isometry3d t = chain.forward(joints);
    QVERIFY2(t.translation().isApprox(flangeMm, 1e-9),
             qPrintable(QStringLiteral("%1 %2 %3").arg(t.translation().x())
                            .arg(t.translation().y()).arg(t.translation().z())));
    QVERIFY((t.linear().col(2) - flangeZ).norm() < 1e-9);
    // Base, one frame per joint, flange.
    const QVector<Eigen::Isometry3d> frames = chain.frames(joints);
    QCOMPARE(frames.size(), m.axes + 2);
    QVERIFY(frames.constFirst().isApprox(Eigen::Isometry3d::Identity()));
    QVERIFY(frames.constLast().isApprox(t));
}

void tst_Kinematics::jacobianMatchesCentralDifferences_data()
{
    QTest::addColumn<QString>("model");
    QTest::newRow("SR6") << "SR6-900";
    QTest::newRow("SR7") << "SR7-800";
}

void tst_Kinematics::jacobianMatchesCentralDifferences()
{
    QFETCH(QString, model);
    const RobotModel m = modelNamed(model);
    const DhChain chain = chainOf(m);
    std::mt19937 random(7);
    const double h = 1e-4; // degrees
    const double hRad = h * 3.14159265358979323846 / 180.0;
    for (int sample = 0; sample < 10; ++sample) {
        const QVector<double> q = randomJoints(m.limits, &random);
        const DhChain::Jacobian j = chain.jacobian(q);
        for (int k = 0; k < m.axes; ++k) {
            QVector<double> plus = q, minus = q;
            plus[k] += h;
            minus[k] -= h;
            const Eigen::Isometry3d tp = chain.forward(plus);
            const Eigen::Isometry3d tm = chain.forward(minus);
            const Eigen::Vector3d v = (tp.translation() - tm.translation()) / (2 * hRad);
            const Eigen::AngleAxisd turn(tp.linear() * tm.linear().transpose());
            const Eigen::Vector3d w = turn.angle() * turn.axis() / (2 * hRad);
            QVERIFY2((j.block<3, 1>(0, k) - v).norm() < 1e-4, qPrintable(QString::number(k)));
            QVERIFY2((j.block<3, 1>(3, k) - w).norm() < 1e-6, qPrintable(QString::number(k)));
        }
    }
}

void tst_Kinematics::forwardThenInverseRoundTrip_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("fromHome");
    QTest::newRow("SR6 from home") << "SR6-900" << true;
    QTest::newRow("SR6 from zero") << "SR6-900" << false;
    QTest::newRow("SR7 from home") << "SR7-800" << true;
    QTest::newRow("SR7 from zero") << "SR7-800" << false;
}

// Random joints anywhere in the travel give reachable poses; the solver must find joints within
// the travel that put the flange there again (for 7 axes not the same joints, the same pose).
void tst_Kinematics::forwardThenInverseRoundTrip()
{
    QFETCH(QString, model);
    QFETCH(bool, fromHome);
    const RobotModel m = modelNamed(model);
    const DhChain chain = chainOf(m);
    const QVector<double> seed = fromHome ? m.homeDeg : QVector<double>(m.axes, 0.0);
    std::mt19937 random(fromHome ? 11 : 12);
    for (int sample = 0; sample < 150; ++sample) {
        const QVector<double> q = randomJoints(m.limits, &random);
        const Eigen::Isometry3d goal = chain.forward(q);
        const sim::IkResult ik = chain.inverse(goal, seed, m.limits);
        QVERIFY2(ik.ok(), qPrintable(QStringLiteral("sample %1: %2 mm, %3 deg off")
                                         .arg(sample).arg(ik.positionErrorMm)
                                         .arg(ik.rotationErrorDeg)));
        QVERIFY(m.limits.contains(ik.jointsDeg));
        const Eigen::Isometry3d reached = chain.forward(ik.jointsDeg);
        QVERIFY((reached.translation() - goal.translation()).norm() < 1e-2);
        QVERIFY(angleBetweenDeg(reached.linear(), goal.linear()) < 1e-2);
    }
}

void tst_Kinematics::inverseFailures()
{
    const RobotModel m = modelNamed(QStringLiteral("SR6-900"));
    const DhChain chain = chainOf(m);
    Eigen::Isometry3d far = Eigen::Isometry3d::Identity();
    far.translation() = Eigen::Vector3d(3000, 0, 500);

    // Out of reach: the best effort stays within the travel and says how far off it is.
    sim::IkResult ik = chain.inverse(far, m.homeDeg, m.limits);
    QCOMPARE(ik.status, IkStatus::NoConvergence);
    QVERIFY(m.limits.contains(ik.jointsDeg));
    QVERIFY(ik.positionErrorMm > 1000);

    // Reachable only with the first joint at 90 degrees, which narrow limits forbid.
    JointLimits narrow = m.limits;
    narrow.lowerDeg[0] = -10;
    narrow.upperDeg[0] = 10;
    const Eigen::Isometry3d aside = chain.forward({90, 0, 0, 0, 90, 0});
    ik = chain.inverse(aside, m.homeDeg, narrow);
    QCOMPARE(ik.status, IkStatus::NoConvergence);
    QVERIFY(narrow.contains(ik.jointsDeg));
    QVERIFY(chain.inverse(aside, m.homeDeg, m.limits).ok());

    // Inputs that fit no robot.
    QCOMPARE(chain.inverse(aside, {0, 0, 0}, m.limits).status, IkStatus::InvalidInput);
    QCOMPARE(chain.inverse(aside, m.homeDeg, JointLimits()).status, IkStatus::InvalidInput);
    const DhChain shortChain(m.dh.mid(4), m.axes);
    QVERIFY(!shortChain.isValid());
    QCOMPARE(shortChain.inverse(aside, m.homeDeg, m.limits).status, IkStatus::InvalidInput);
    QVector<double> broken = m.dh;
    broken[5] = std::nan("");
    QVERIFY(!DhChain(broken, m.axes).isValid());
}

void tst_Kinematics::eulerRoundTrip_data()
{
    QTest::addColumn<double>("a");
    QTest::addColumn<double>("b");
    QTest::addColumn<double>("c");
    QTest::newRow("identity") << 0.0 << 0.0 << 0.0;
    QTest::newRow("general") << 30.0 << -20.0 << 170.0;
    QTest::newRow("flange down") << 0.0 << 0.0 << 180.0;
    QTest::newRow("b +90") << 40.0 << 90.0 << 0.0;
    QTest::newRow("b -90") << -70.0 << -90.0 << 0.0;
}

void tst_Kinematics::eulerRoundTrip()
{
    QFETCH(double, a);
    QFETCH(double, b);
    QFETCH(double, c);
    CartesianPose pose;
    pose.positionMm = Eigen::Vector3d(1, 2, 3);
    pose.aDeg = a;
    pose.bDeg = b;
    pose.cDeg = c;
    const Eigen::Isometry3d t = pose.toIsometry();
    // a about z, then b about the new y, then c about the new x.
    const Eigen::Vector3d x = t.linear() * Eigen::Vector3d::UnitX();
    const double toRad = 3.14159265358979323846 / 180.0;
    QVERIFY(std::abs(x.z() + std::sin(b * toRad)) < 1e-12);
    const CartesianPose back = CartesianPose::fromIsometry(t);
    QVERIFY(back.toIsometry().isApprox(t, 1e-12));
    QVERIFY(back.positionMm.isApprox(pose.positionMm));
    const Eigen::Quaterniond q = pose.quaternion();
    QVERIFY(q.w() >= 0);
    QVERIFY(q.toRotationMatrix().isApprox(t.linear(), 1e-12));
}

void tst_Kinematics::segmentDistances()
{
    using V = Eigen::Vector3d;
    const auto d = &sim::RobotBody::segmentDistance;
    QCOMPARE(d(V(0, 0, 0), V(1, 0, 0), V(0.5, -1, 2), V(0.5, 1, 2)), 2.0); // skew, crossing
    QCOMPARE(d(V(0, 0, 0), V(2, 0, 0), V(1, 1, 0), V(3, 1, 0)), 1.0);     // parallel, overlapping
    QCOMPARE(d(V(0, 0, 0), V(1, 0, 0), V(3, 0, 0), V(4, 0, 0)), 2.0);     // on one line, apart
    QCOMPARE(d(V(0, 0, 0), V(1, 0, 0), V(4, 4, 0), V(4, 4, 0)), 5.0);     // to a point, past an end
    QCOMPARE(d(V(2, 3, 0), V(2, 3, 0), V(0, 0, 0), V(4, 0, 0)), 3.0);     // a point over the middle
}

// The column hides a beam through it, not one beside it unless grown; the wrist ends flat at the
// flange, so a beam across the tool plate's side of it passes.
void tst_Kinematics::bodyHidesTheBeam()
{
    const sim::CatalogueModel *m = sim::RobotCatalogue::builtIn().model(QStringLiteral("SR6-900"));
    QVERIFY(m);
    const QVector<Eigen::Isometry3d> frames = DhChain(m->dh, m->axes).frames(m->homeDeg);
    const sim::RobotBody &body = m->body;
    QVERIFY(body.hidesBeam(frames, {-2000, 0, 200}, {2000, 0, 200}));
    QVERIFY(!body.hidesBeam(frames, {-2000, 115, 200}, {2000, 115, 200}));
    QVERIFY(body.grown(10).hidesBeam(frames, {-2000, 115, 200}, {2000, 115, 200}));
    QVERIFY(!body.hidesBeam(frames, {-2000, 0, 3000}, {2000, 0, 3000}));

    const Eigen::Vector3d flange = frames.constLast().translation();
    const Eigen::Vector3d out = frames.constLast().linear().col(2);
    const Eigen::Vector3d across = frames.constLast().linear().col(0);
    QVERIFY(!body.hidesBeam(frames, flange + 10 * out - 150 * across,
                            flange + 10 * out + 150 * across));
    QVERIFY(body.hidesBeam(frames, flange - 10 * out - 150 * across,
                           flange - 10 * out + 150 * across));
    // A body of the wrong size hides nothing rather than guess.
    QVERIFY(!sim::RobotBody({100.0}).hidesBeam(frames, {-2000, 0, 200}, {2000, 0, 200}));
    QVERIFY(sim::RobotBody({100.0, -1.0}).isEmpty());
}

QTEST_APPLESS_MAIN(tst_Kinematics)
#include "tst_kinematics.moc"
