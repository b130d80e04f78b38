#include "simtesthelpers.h"

#include <sim/kinematics/massmodel.h>
#include <sim/kinematics/robotcatalogue.h>

#include <QtTest>

#include <random>

using sim::CatalogueModel;
using sim::DhChain;
using sim::MassModel;
using sim::RobotCatalogue;

namespace {

constexpr double kG = MassModel::kStandardGravity;

// Gravity's potential energy in J: the torques are its negative gradient over the joints.
double potentialJ(const DhChain &chain, const MassModel &masses, const QVector<double> &q,
                  double payloadKg)
{
    const QVector<Eigen::Isometry3d> frames = chain.frames(q);
    double v = 0;
    for (int k = 0; k < masses.axisCount(); ++k) {
        const MassModel::Body b = masses.links().at(k);
        v += b.massKg * kG * (frames.at(k + 2) * b.comMm).z() / 1000.0;
    }
    const MassModel::Body plate = masses.toolPlate();
    v += plate.massKg * kG * (frames.constLast() * plate.comMm).z() / 1000.0;
    v += payloadKg * kG * frames.constLast().translation().z() / 1000.0;
    return v;
}

QVector<double> randomJoints(int axes, std::mt19937 *random)
{
    QVector<double> q;
    for (int k = 0; k < axes; ++k)
        q.append(std::uniform_real_distribution<double>(-120.0, 120.0)(*random));
    return q;
}

} // namespace

class tst_MassModel : public QObject
{
    Q_OBJECT

private slots:
    void horizontalArmByHand();
    void torqueIsGradientOfPotential_data();
    void torqueIsGradientOfPotential();
    void catalogueMatchesControllerModels();
    void badCatalogues_data();
    void badCatalogues();
};

// Two horizontal joints about the base's -y axis, links along x: every weight's moment is
// m * g * (horizontal distance to the joint).
void tst_MassModel::horizontalArmByHand()
{
    const DhChain chain({90.0, 0.0, 0.0, 0.0, 0.0, 500.0, 0.0, 0.0, 0.0, 300.0, 0.0, 0.0}, 2);
    MassModel::Body link1{2.0, Eigen::Vector3d(-250.0, 0.0, 0.0)}; // at x 250
    MassModel::Body link2{1.0, Eigen::Vector3d(-150.0, 0.0, 0.0)}; // at x 650
    MassModel::Body plate{0.5, Eigen::Vector3d::Zero()};           // at x 800
    const MassModel masses({link1, link2}, plate);
    QVERIFY(masses.isValid());

    const QVector<double> tau = masses.gravityTorqueNm(chain, {0.0, 0.0}, 1.0);
    QCOMPARE(tau.size(), 2);
    // The axes point along -y, so a weight beyond them in +x turns them negatively.
    QVERIFY(qAbs(tau.at(0) + kG * (2.0 * 0.25 + 1.0 * 0.65 + 1.5 * 0.8)) < 1e-9);
    QVERIFY(qAbs(tau.at(1) + kG * (1.0 * 0.15 + 1.5 * 0.3)) < 1e-9);

    // The outer link hanging straight: joint 2 carries no moment, joint 1 only link 1's and
    // the outer bodies' at x 500.
    const QVector<double> hanging = masses.gravityTorqueNm(chain, {0.0, 90.0}, 1.0);
    QVERIFY(qAbs(hanging.at(1)) < 1e-9);
    QVERIFY(qAbs(hanging.at(0) + kG * (2.0 * 0.25 + 2.5 * 0.5)) < 1e-9);

    // Gravity along joint 1's own axis gives it no torque; without gravity nothing does.
    const QVector<double> along =
        masses.gravityTorqueNm(chain, {30.0, -40.0}, 1.0, Eigen::Vector3d(0.0, kG, 0.0));
    QVERIFY(qAbs(along.at(0)) < 1e-12);
    QVERIFY(qAbs(along.at(1)) < 1e-12);
    for (double t : masses.gravityTorqueNm(chain, {30.0, -40.0}, 1.0, Eigen::Vector3d::Zero()))
        QCOMPARE(t, 0.0);

    // A chain of another size or a wrong joint count gives nothing rather than a wrong torque.
    QVERIFY(masses.gravityTorqueNm(chain, {0.0}, 0.0).isEmpty());
    QVERIFY(masses.gravityTorqueNm(DhChain(QVector<double>(16, 0.0), 3), {0.0, 0.0, 0.0})
                .isEmpty());
}

void tst_MassModel::torqueIsGradientOfPotential_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<double>("payloadKg");
    QTest::newRow("SR6-900") << QStringLiteral("SR6-900") << 0.0;
    QTest::newRow("SR6-900 with 3 kg") << QStringLiteral("SR6-900") << 3.0;
    QTest::newRow("SR7-800 with 1 kg") << QStringLiteral("SR7-800") << 1.0;
}

// For every joint, in random poses of the catalogue's robots, tau_k = -dV/dq_k (central
// differences); the first joint turns about the vertical and never carries gravity.
void tst_MassModel::torqueIsGradientOfPotential()
{
    QFETCH(QString, model);
    QFETCH(double, payloadKg);
    const CatalogueModel *m = RobotCatalogue::builtIn().model(model);
    QVERIFY(m);
    const DhChain chain(m->dh, m->axes);
    std::mt19937 random(27u);
    const double h = 1e-4; // deg
    const double hRad = h * 3.14159265358979323846 / 180.0;
    for (int trial = 0; trial < 20; ++trial) {
        const QVector<double> q = randomJoints(m->axes, &random);
        const QVector<double> tau = m->masses.gravityTorqueNm(chain, q, payloadKg);
        QCOMPARE(tau.size(), m->axes);
        QVERIFY2(qAbs(tau.at(0)) < 1e-9, qPrintable(QString::number(tau.at(0))));
        for (int k = 0; k < m->axes; ++k) {
            QVector<double> up = q;
            QVector<double> down = q;
            up[k] += h;
            down[k] -= h;
            const double numeric = -(potentialJ(chain, m->masses, up, payloadKg)
                                     - potentialJ(chain, m->masses, down, payloadKg))
                                   / (2 * hRad);
            QVERIFY2(qAbs(tau.at(k) - numeric) < 1e-5,
                     qPrintable(QStringLiteral("joint %1: %2 against %3")
                                    .arg(k + 1).arg(tau.at(k)).arg(numeric)));
        }
    }
    // The shoulder of a stretched arm carries tens of newton metres, as a 6-10 kg robot's does.
    const QVector<double> stretched = m->masses.gravityTorqueNm(
        chain, QVector<double>(m->axes, 0.0).mid(0, 1) + QVector<double>{90.0}
                   + QVector<double>(m->axes - 2, 0.0));
    QVERIFY(qAbs(stretched.at(1)) > 30.0 && qAbs(stretched.at(1)) < 300.0);
}

void tst_MassModel::catalogueMatchesControllerModels()
{
    const RobotCatalogue &catalogue = RobotCatalogue::builtIn();
    const QList<sim::RobotModel> models = sim::SimulatedController::models();
    QCOMPARE(catalogue.names().size(), models.size());
    for (const sim::RobotModel &r : models) {
        const CatalogueModel *m = catalogue.model(r.name);
        QVERIFY2(m, qPrintable(r.name));
        QCOMPARE(m->axes, r.axes);
        QCOMPARE(m->dh, r.dh);
        QCOMPARE(m->homeDeg, r.homeDeg);
        QCOMPARE(m->targetsMm.size(), 3);
        QVERIFY(m->masses.isValid());
        QCOMPARE(m->masses.axisCount(), r.axes);
        QVERIFY(!m->body.isEmpty());
    }
    QVERIFY(!catalogue.model(QStringLiteral("SR6-901")));
}

void tst_MassModel::badCatalogues_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("reason");
    const QByteArray body = R"({"mass_kg": 1, "com_mm": [0, 0, 0]})";
    const QByteArray dh1 = "[0,0,100,0, 0,200,0,0]";
    auto model = [&](const QByteArray &dh, const QByteArray &links, const QByteArray &plate) {
        return QByteArray(R"({"models": [{"name": "R1", "axes": 1, "home_deg": [0], "dh": )") + dh
               + R"(, "links": )" + links + R"(, "tool_plate": )" + plate + "}]}";
    };
    QTest::newRow("not JSON") << QByteArray("{") << QString();
    QTest::newRow("no models") << QByteArray("{}") << QStringLiteral("no \"models\"");
    QTest::newRow("short DH set") << model("[0,0,100,0]", "[" + body + "]", body)
                                  << QStringLiteral("\"dh\" needs 8 numbers");
    QTest::newRow("DH not a number") << model("[0,0,100,0, 0,\"a\",0,0]", "[" + body + "]", body)
                                     << QStringLiteral("\"dh\" needs 8 numbers");
    QTest::newRow("a body too many")
        << model(dh1, "[" + body + "," + body + "]", body) << QStringLiteral("one body per joint");
    QTest::newRow("negative mass")
        << model(dh1, R"([{"mass_kg": -1, "com_mm": [0, 0, 0]}])", body)
        << QStringLiteral("one body per joint");
    QTest::newRow("no tool plate") << model(dh1, "[" + body + "]", "null")
                                   << QStringLiteral("one body per joint");
    QTest::newRow("a body radius short")
        << model(dh1, "[" + body + "]", body + R"(, "body_radius_mm": [50])")
        << QStringLiteral("\"body_radius_mm\" needs 2 numbers above zero");
    QTest::newRow("a body radius of zero")
        << model(dh1, "[" + body + "]", body + R"(, "body_radius_mm": [50, 0])")
        << QStringLiteral("\"body_radius_mm\" needs 2 numbers above zero");
}

void tst_MassModel::badCatalogues()
{
    QFETCH(QByteArray, json);
    QFETCH(QString, reason);
    QString error;
    const RobotCatalogue c = RobotCatalogue::fromJson(json, &error);
    QVERIFY(c.isEmpty());
    QVERIFY(!error.isEmpty());
    QVERIFY2(error.contains(reason), qPrintable(error));
}

QTEST_GUILESS_MAIN(tst_MassModel)
#include "tst_massmodel.moc"
