// The ISO collector's registration of the tracker from single-joint circles, and the circle fit
// under it.
#include "simtesthelpers.h"

#include <sim/cell/virtualcell.h>
#include <sim/metrology/circlefit.h>
#include <sim/tools/common/keptregistration.h>
#include <sim/tools/common/robotsession.h>
#include <sim/tools/common/trackerregistration.h>

#include <QtTest>

#include <cmath>

using sim::TrackerRegistration;

namespace {

// The circles a cell's tracker sees while joint 1, then joint 2 turn alone.
void circles(sim::VirtualCell *cell, const sim::CatalogueModel &model,
             std::vector<Eigen::Vector3d> *first, std::vector<Eigen::Vector3d> *second)
{
    for (int joint : {0, 1}) {
        const QVector<double> start =
            joint == 0 ? model.homeDeg : TrackerRegistration::joint2Start(model, model.homeDeg);
        const QVector<double> steps = joint == 0 ? TrackerRegistration::joint1StepsDeg()
                                                 : TrackerRegistration::joint2StepsDeg();
        // The collector's lead-in: every step is reached turning the same way.
        QVector<double> leadIn = start;
        leadIn[joint] += steps.first() - sim::RobotSession::kLeadInDeg;
        cell->noteMotion();
        sim::VirtualCell::Reading unused;
        cell->measure(leadIn, QStringLiteral("A"), &unused);
        for (double step : steps) {
            QVector<double> q = start;
            q[joint] += step;
            cell->noteMotion();
            sim::VirtualCell::Reading r;
            cell->measure(q, QStringLiteral("A"), &r);
            (joint == 0 ? first : second)->push_back(r.positionMm);
        }
    }
}

} // namespace

class tst_TrackerRegistration : public QObject
{
    Q_OBJECT

private slots:
    void circleFit();
    void registersTheBase_data();
    void registersTheBase();
    void keptRegistrationOnlyOfARotation();
};

void tst_TrackerRegistration::circleFit()
{
    const Eigen::Vector3d centre(100, -50, 300);
    const Eigen::Vector3d axis = Eigen::Vector3d(0.2, -0.3, 1).normalized();
    const Eigen::Vector3d u = axis.unitOrthogonal();
    const Eigen::Vector3d v = axis.cross(u);
    std::vector<Eigen::Vector3d> points;
    for (double deg : {-40.0, -10.0, 5.0, 30.0}) {
        const double a = deg * 3.14159265358979323846 / 180;
        points.push_back(centre + 250 * (std::cos(a) * u + std::sin(a) * v));
    }
    const sim::CircleFit fit = sim::fitCircle(points);
    QVERIFY(fit.valid);
    QVERIFY((fit.centreMm - centre).norm() < 1e-9);
    QVERIFY((fit.normal - axis).norm() < 1e-12);
    QVERIFY(std::abs(fit.radiusMm - 250) < 1e-9);
    QVERIFY(fit.rmsMm < 1e-9);
    std::reverse(points.begin(), points.end());
    QVERIFY((sim::fitCircle(points).normal + axis).norm() < 1e-12);
    QVERIFY(!sim::fitCircle({centre, centre + u}).valid);
    QVERIFY(!sim::fitCircle({centre, centre + u, centre + 2 * u}).valid);
}

void tst_TrackerRegistration::registersTheBase_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("place");
    QTest::newRow("6 axes") << "SR6-900" << "REG-1";
    QTest::newRow("6 axes, another place") << "SR6-900" << "REG-2";
    QTest::newRow("7 axes") << "SR7-800" << "REG-3";
}

// A robot built as its catalogue says, in a cell without imperfections: the tracker's pose comes
// back exactly; with every imperfection of a real cell (gears and gravity bend the circles) to a
// tenth of a millimetre and a hundredth of a degree.
void tst_TrackerRegistration::registersTheBase()
{
    QFETCH(QString, model);
    QFETCH(QString, place);
    const sim::RobotModel m = simtest::modelNamed(model);
    const sim::CatalogueModel *entry = sim::RobotCatalogue::builtIn().model(model);
    const sim::AsBuiltRobot asDesigned = sim::AsBuiltRobot::withErrors(
        m.dh, m.axes, QVector<double>(m.dh.size(), 0.0), QVector<double>(m.axes, 0.0));
    sim::VirtualCell cell(*entry, m.limits, place, asDesigned);
    sim::VirtualCell::Imperfections on = sim::VirtualCell::Imperfections::none();
    on.trackerPlacement = true;
    cell.setImperfections(on);

    std::vector<Eigen::Vector3d> first;
    std::vector<Eigen::Vector3d> second;
    circles(&cell, *entry, &first, &second);
    Eigen::Isometry3d found;
    QString error;
    QVERIFY2(TrackerRegistration::registerBase(*entry, entry->homeDeg, first, second, &found,
                                               &error),
             qPrintable(error));
    QVERIFY(found.isApprox(cell.trackerFromBase(), 1e-9));

    cell.setImperfections(sim::VirtualCell::Imperfections());
    first.clear();
    second.clear();
    circles(&cell, *entry, &first, &second);
    QVERIFY(TrackerRegistration::registerBase(*entry, entry->homeDeg, first, second, &found,
                                              &error));
    const double shift = (found.translation() - cell.trackerFromBase().translation()).norm();
    const double turnDeg =
        Eigen::AngleAxisd(found.linear() * cell.trackerFromBase().linear().transpose()).angle()
        * 180 / 3.14159265358979323846;
    const QString figures = QStringLiteral("%1 mm, %2 deg").arg(shift).arg(turnDeg);
    // The cell's compliance, gear errors and play bend the circles a little: about 0.01-0.02
    // degrees of turn, where the noise alone would leave a thousandth.
    QVERIFY2(shift < 0.2 && turnDeg < 0.025, qPrintable(figures));

    // Two circles about one axis are no registration.
    QVERIFY(!TrackerRegistration::registerBase(*entry, entry->homeDeg, first, first, &found,
                                               &error));
    QVERIFY(error.contains(QLatin1String("parallel")));
}

// A kept frame read back is used only when it is a rotation: a mirrored or stretched one, from
// a damaged or edited file, is not found, and the tracker is registered anew.
void tst_TrackerRegistration::keptRegistrationOnlyOfARotation()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("tracker_registration.json"));
    sim::KeptRegistration kept;
    kept.serialNumber = QStringLiteral("SIM-0001");
    kept.robotType = QStringLiteral("SR6-900");
    kept.trackerFromBase.rotate(Eigen::AngleAxisd(0.7, Eigen::Vector3d(1, 2, 3).normalized()));
    kept.trackerFromBase.translation() = Eigen::Vector3d(2500, -300, 120);
    kept.references.append({QVector<double>(6, 10.0), Eigen::Vector3d(900, 10, 400)});
    QString error;
    QVERIFY2(kept.storeIn(path, &error), qPrintable(error));
    sim::KeptRegistration found = kept;
    found.trackerFromBase.setIdentity();
    QVERIFY(found.findIn(path, 6));
    QVERIFY(found.trackerFromBase.isApprox(kept.trackerFromBase, 1e-12));

    for (const Eigen::Vector3d &scale :
         {Eigen::Vector3d(1, 1, -1), Eigen::Vector3d(-1, -1, -1), Eigen::Vector3d(1, 1.01, 1)}) {
        sim::KeptRegistration bent = kept;
        bent.trackerFromBase.linear() = kept.trackerFromBase.linear() * scale.asDiagonal();
        QVERIFY(bent.storeIn(path, &error));
        sim::KeptRegistration again = kept;
        QVERIFY2(!again.findIn(path, 6), qPrintable(QStringLiteral("scale %1 %2 %3")
                                                        .arg(scale.x())
                                                        .arg(scale.y())
                                                        .arg(scale.z())));
    }
}

QTEST_GUILESS_MAIN(tst_TrackerRegistration)
#include "tst_trackerregistration.moc"
