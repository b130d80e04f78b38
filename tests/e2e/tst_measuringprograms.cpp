// The measuring programs of the work folder, run as processes against a simulated controller
// served on loopback, with the request files written and the results read and applied as the
// calibration plug-in does.
#include "../sim/simtesthelpers.h"

#include <common/resultfile.h>
#include <controllertoken.h>
#include <iso/defaultisoposes.h>
#include <iso/isoconfigfile.h>
#include <pages/calibrequestfile.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/cell/virtualcell.h>
#include <sim/kinematics/robotcatalogue.h>
#include <sim/server/controllerserver.h>
#include <sim/tools/common/calibposeplanner.h>
#include <sim/tools/common/robotsession.h>
#include <sim/tools/common/targetsight.h>
#include <sim/tools/common/isomeasurements.h>
#include <sim/tools/common/measurementfile.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QScopeGuard>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

const QString kCalibCollector =
    QStringLiteral(WORKFOLDER_TEMPLATE "/calib/collectcalibposes/collectCalibPoses-1.3.0.exe");
const QString kIsoCollector =
    QStringLiteral(WORKFOLDER_TEMPLATE "/iso/collectisoposes/collectIsoPoses_v1.0.exe");
const QString kIsoReport = QStringLiteral(WORKFOLDER_TEMPLATE "/iso/scripts/isoReportGener.exe");
const QString kCopyResults = QStringLiteral(WORKFOLDER_TEMPLATE "/iso/scripts/copyResults.exe");
const QString kDelResults = QStringLiteral(WORKFOLDER_TEMPLATE "/iso/scripts/delResults.exe");
const QString kIdentify = QStringLiteral(IDENTIFY_CALIB_PROGRAM);
constexpr int kIsoCycles = 5;

struct Run
{
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs a program to its end while the event loop keeps serving the controller.
Run runProgram(const QString &program, const QStringList &arguments, int timeoutMs = 120000)
{
    QProcess process;
    QEventLoop loop;
    QObject::connect(&process, qOverload<int, QProcess::ExitStatus>(&QProcess::finished), &loop,
                     &QEventLoop::quit);
    QObject::connect(&process, &QProcess::errorOccurred, &loop, &QEventLoop::quit);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    process.start(program, arguments);
    loop.exec();
    Run run;
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(3000);
        run.err = QStringLiteral("timed out");
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err += QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString describe(const Run &run)
{
    return QStringLiteral("exit %1\nstdout:\n%2\nstderr:\n%3").arg(run.exitCode).arg(run.out,
                                                                                      run.err);
}

QJsonObject readJson(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QJsonObject();
    return QJsonDocument::fromJson(file.readAll()).object();
}

// J1 and the last joint with only theta chosen, every other parameter chosen: the setup page's
// default; or every parameter chosen.
void lockDefault(CalibRequestFile *request)
{
    for (int joint : {0, -1}) {
        for (const char *name : {"alpha", "a", "d"})
            request->addLockedParam(joint, QString::fromLatin1(name));
    }
}

// The five default test poses of the model, as the ISO settings card saves them.
QVector<QVector<double>> defaultIsoPoses(const QString &model)
{
    const auto poses = getDefaultIsoPoses(WORKFOLDER_TEMPLATE "/iso/default_iso_poses.json",
                                          model.toStdString());
    QVector<QVector<double>> rows;
    for (int k = 1; k <= 5; ++k) {
        const auto it = poses.find("point" + std::to_string(k));
        rows.append(it == poses.end() ? QVector<double>(6, 0.0)
                                      : QVector<double>(it->second.cbegin(), it->second.cend()));
    }
    return rows;
}

bool saveIsoSettings(const QString &folder, const QVector<QVector<double>> &poses,
                     const QString &savePath)
{
    QFile file(CalibRequestFile::filePath(folder));
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray content = file.readAll();
    file.close();
    QByteArray merged;
    if (!IsoConfigFile::merge(content, IsoConfigFile::build(kIsoCycles, savePath, poses),
                              &merged)
        || !file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(merged) == merged.size();
}

double meanAccuracy(const std::vector<common::IsoResult> &rows)
{
    double sum = 0;
    for (const common::IsoResult &row : rows)
        sum += row.accuracy;
    return rows.empty() ? 0.0 : sum / double(rows.size());
}

// The cell's floor for the validation error of a geometric calibration: the mean error of the
// validation readings predicted with every true geometric value (as-built DH set and zero
// offsets, tracker pose, reflector positions), the readings the result names as outliers left
// out. Compliance and gear errors stay in it.
double geometricFloor(const sim::VirtualCell &cell, const sim::MeasurementFile &readings,
                      const QJsonArray &outliers)
{
    double sum = 0;
    int count = 0;
    for (const sim::PoseMeasurement &r : readings.validation) {
        bool named = false;
        for (const QJsonValue &o : outliers) {
            named = named
                    || (o.toObject().value(QStringLiteral("pose")).toInt() == r.pose
                        && o.toObject().value(QStringLiteral("target")).toString() == r.target);
        }
        if (named)
            continue;
        const Eigen::Vector3d predicted =
            cell.trackerFromBase() * (cell.robot().flange(r.jointsDeg) * cell.targetOffsetMm(r.target));
        sum += (predicted - r.positionMm).norm();
        ++count;
    }
    return count > 0 ? sum / count : 0.0;
}

QJsonArray numbers(const QVector<double> &v)
{
    QJsonArray a;
    for (double x : v)
        a.append(x);
    return a;
}

// A port bound but listened on by nobody: connections to it are refused, and while `holder`
// keeps it no test running beside this one can start a server on it.
quint16 refusingPort(QTcpSocket *holder)
{
    holder->bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress);
    return holder->localPort();
}

} // namespace

class tst_MeasuringPrograms : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void calibrationMakesTheRobotAccurate_data();
    void calibrationMakesTheRobotAccurate();
    void zeroOffsetsBeforeAreFound();
    void isoResultsSavedAndDeleted();
    void isoRegistrationIgnoresTheModel();
    void isoRegistrationIsKeptUntilTheCellMoves();
    void isoTestWaitsForTheBeam();
    void moveUnderWayEndsFirst();
    void posesAreApproachedFromBelow();
    void refusedRun_data();
    void refusedRun();

private:
    bool writeRequest(const QString &model, bool lockDefaultChoice, const QString &address);
    Run runIso();

    std::unique_ptr<QTemporaryDir> m_dir;
    sim::SimulatedController *m_controller = nullptr;
    sim::ControllerServer *m_server = nullptr;
    QString m_work;
};

void tst_MeasuringPrograms::initTestCase()
{
    for (const QString &program :
         {kCalibCollector, kIsoCollector, kIsoReport, kCopyResults, kDelResults})
        QVERIFY2(QFileInfo(program).isExecutable(), qPrintable(program));
    m_controller = new sim::SimulatedController(this);
    m_controller->setMotionPace(200);
    m_controller->bringUp();
    m_server = new sim::ControllerServer(m_controller, this);
    // The programs move the robot: they find the token where the pendant puts it for them.
    const QByteArray token = mirel::ControllerToken::generate();
    m_server->setToken(token);
    qputenv(mirel::ControllerToken::EnvironmentVariable, token);
    QVERIFY(m_server->listen(QHostAddress::LocalHost, 0));
}

// A fresh work folder and the factory state of a robot with fixed as-built errors.
void tst_MeasuringPrograms::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_work = m_dir->filePath(QStringLiteral("work"));
    QVERIFY(QDir().mkpath(m_work));
    QVERIFY(m_controller->setModel(QStringLiteral("SR6-900")));
    m_controller->setRobotId(QStringLiteral("SIM-TOOLS-1"));
    m_controller->setTrackerNoise(sim::VirtualCell::kNoiseBaseMm);
    m_controller->setTrackerSeed(17);
}

bool tst_MeasuringPrograms::writeRequest(const QString &model, bool lockDefaultChoice,
                                         const QString &address)
{
    CalibRequestFile::RobotProfile profile;
    profile.ip = address;
    profile.serialNumber = QStringLiteral("SN-TOOLS-1");
    profile.robotName = model;
    profile.modelType = 1;
    CalibRequestFile request(profile, QStringLiteral("normal"));
    if (lockDefaultChoice)
        lockDefault(&request);
    QString error;
    return request.write(m_work, &error)
           && saveIsoSettings(m_work, defaultIsoPoses(model), m_dir->filePath("report"));
}

Run tst_MeasuringPrograms::runIso()
{
    const QStringList arguments{QStringLiteral("--path"), m_work};
    Run collect = runProgram(kIsoCollector, arguments);
    if (collect.exitCode != 0
        || !collect.out.contains(QStringLiteral("[ROUND] %1/%1").arg(kIsoCycles)))
        return collect;
    return runProgram(kIsoReport, arguments);
}

void tst_MeasuringPrograms::calibrationMakesTheRobotAccurate_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("defaultChoice");
    QTest::addColumn<QString>("heldNote");
    // Joints 2 and 3 of the 6-axis arm are parallel: shifts along them are one motion twice.
    QTest::newRow("6 axes, default choice")
        << "SR6-900" << true << "link4.d held: the poses cannot tell it apart from link3.d";
#ifndef TESSEL_SANITIZED
    // The same programs and arrays as the row before, with another choice: the sanitizers
    // meet nothing new in it, at 40 s.
    // Shifts along the first axis before the second joint move the tracker's pose as well.
    QTest::newRow("6 axes, every parameter")
        << "SR6-900" << false << "link2.d held: the tracker's pose takes it over";
#endif
    QTest::newRow("7 axes, default choice")
        << "SR7-800" << true << "joint7.zero held: the targets' positions take it over";
}

// ISO test, calibration, the plug-in's apply, ISO test again: the robot is accurate after.
void tst_MeasuringPrograms::calibrationMakesTheRobotAccurate()
{
    QFETCH(QString, model);
    QFETCH(bool, defaultChoice);
    QFETCH(QString, heldNote);
    QVERIFY(m_controller->setModel(model));
    const int axes = m_controller->axisCount();
    QVERIFY(writeRequest(model, defaultChoice, m_server->addressText()));
    const std::string resultPath = (m_work + QStringLiteral("/optimized_dh.json")).toStdString();

    Run run = runIso();
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    std::vector<common::IsoResult> before;
    QVERIFY(common::readIsoResults(before, resultPath));
    QCOMPARE(before.size(), size_t(5));

    run = runProgram(kCalibCollector, {QStringLiteral("--path"), m_work});
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    const int lastProgress = run.out.indexOf(QStringLiteral("[PROGRESS] 80/80"));
    QVERIFY(run.out.contains(QStringLiteral("[PROGRESS] 1/80")));
    QVERIFY(lastProgress > 0);
    QVERIFY(run.out.indexOf(QStringLiteral("[PHASE] OPTIMIZATION")) > lastProgress);
    QVERIFY2(run.err.contains(heldNote), qPrintable(run.err));
    QFile report(m_work + QStringLiteral("/results/calib_results/SN-TOOLS-1.xlsx"));
    QVERIFY(report.open(QIODevice::ReadOnly));
    QCOMPARE(report.read(2), QByteArray("PK"));

    // The run's files identified again, offline, give the run's result.
    const QString runFiles = m_work + QStringLiteral("/results/calib_results/SN-TOOLS-1");
    const QString offline = m_dir->filePath(QStringLiteral("offline"));
    const Run again = runProgram(
        kIdentify, {QStringLiteral("--model"), runFiles + QStringLiteral("_model.json"),
                    QStringLiteral("--measurements"), runFiles + QStringLiteral("_measurements.csv"),
                    QStringLiteral("--request"), CalibRequestFile::filePath(m_work),
                    QStringLiteral("--out"), offline});
    QVERIFY2(again.exitCode == 0, qPrintable(describe(again)));
    const QJsonObject collected = readJson(QString::fromStdString(resultPath));
    const QJsonObject identified = readJson(offline + QStringLiteral("/optimized_dh.json"));
    for (const char *member : {"dh_parameters", "zero_points", "avg_valid_position_error",
                               "max_valid_position_error", "held_parameters", "outliers"})
        QVERIFY2(identified.value(QLatin1String(member)) == collected.value(QLatin1String(member)),
                 member);
    // The collector replaying the recorded readings without a robot gives the same result too.
    const Run replayed = runProgram(
        kCalibCollector, {QStringLiteral("--path"), m_work, QStringLiteral("--replay"),
                          runFiles + QStringLiteral("_measurements.csv"), QStringLiteral("--model"),
                          runFiles + QStringLiteral("_model.json")});
    QVERIFY2(replayed.exitCode == 0, qPrintable(describe(replayed)));
    const QJsonObject fromReplay = readJson(QString::fromStdString(resultPath));
    for (const char *member : {"dh_parameters", "zero_points", "avg_valid_position_error",
                               "held_parameters", "outliers"})
        QVERIFY2(fromReplay.value(QLatin1String(member)) == collected.value(QLatin1String(member)),
                 member);

    // Within half as much again of what perfect geometric values give on the same readings.
    sim::MeasurementFile readings;
    QString readError;
    QVERIFY2(readings.read(runFiles + QStringLiteral("_measurements.csv"), axes, &readError),
             qPrintable(readError));
    // Only what the tracker sees is read: at least one reflector at each pose.
    QVector<int> poses;
    for (const sim::PoseMeasurement &r : qAsConst(readings.identification)) {
        if (!poses.contains(r.pose))
            poses.append(r.pose);
        QVERIFY2(m_controller->cell()->inSight(r.jointsDeg, r.target),
                 qPrintable(QStringLiteral("pose %1, %2").arg(r.pose).arg(r.target)));
    }
    QCOMPARE(poses.size(), 60);
    // Chosen or random, no pose put the flange into the floor or the robot's column.
    const sim::DhChain nominal(m_controller->dhParams(), axes);
    for (const sim::PoseMeasurement &r : readings.identification + readings.validation)
        QVERIFY2(sim::CalibPosePlanner::withinReach(nominal.forward(r.jointsDeg).translation()),
                 qPrintable(QStringLiteral("pose %1").arg(r.pose)));
    const double floor = geometricFloor(
        *m_controller->cell(), readings,
        collected.value(QStringLiteral("outliers")).toObject().value(QStringLiteral("readings"))
            .toArray());

    // Read as the run card reads it.
    QVERIFY(common::readCalibStatus(resultPath));
    common::DHMap joints;
    QVERIFY(common::readDHParams(joints, resultPath));
    double errors[2] = {-1, -1};
    QVERIFY(common::readValidErrors(errors, resultPath));
    const QString validation =
        QStringLiteral("validation mean %1 mm, floor %2 mm").arg(errors[0]).arg(floor);
    qInfo("%s", qPrintable(validation));
    QVERIFY2(floor > 0.005 && errors[0] <= 1.5 * floor, qPrintable(validation));
    std::vector<double> zero;
    QVERIFY(common::readZeroPoints(zero, resultPath));
    QCOMPARE(int(zero.size()), axes);
    const QVector<double> original = m_controller->dhParams();
    QVector<double> optimized;
    for (int n = 1; n <= axes; ++n) {
        const auto it = joints.find("joint_" + std::to_string(n));
        QVERIFY(it != joints.end());
        optimized << it->second.alpha << it->second.a << it->second.d << it->second.theta;
    }
    // What the poses cannot tell apart keeps the controller's value.
    const QJsonArray held = readJson(QString::fromStdString(resultPath))
                                .value(QStringLiteral("held_parameters"))
                                .toArray();
    QVERIFY(!held.isEmpty());
    const QStringList columns{"alpha", "a", "d"};
    for (const QJsonValue &label : held) {
        const QStringList parts = label.toString().mid(4).split(QLatin1Char('.'));
        const int group = parts.value(0).toInt() - 1;
        const int column = columns.indexOf(parts.value(1));
        if (label.toString().startsWith(QLatin1String("link")) && group < axes && column >= 0)
            QCOMPARE(optimized.at(4 * group + column), original.at(4 * group + column));
    }
    const common::QualityGateResult gate = common::evaluateQualityGate(
        resultPath, std::vector<double>(original.cbegin(), original.cend()),
        std::vector<double>(optimized.cbegin(), optimized.cend()), axes);
    QCOMPARE(gate.status, 0);

    // Written as the result card writes it: alpha, a and d of each joint with the controller's
    // own theta (a 7-axis controller also gets its last link group back), then the zero offsets.
    QJsonArray dh;
    for (int j = 0; j < 4 * axes; ++j)
        dh.append(j % 4 == 3 ? original.at(j) : optimized.at(j));
    if (axes == 7) {
        for (int j = original.size() - 4; j < original.size(); ++j)
            dh.append(original.at(j));
    }
    QJsonArray zeroArray;
    for (double z : zero)
        zeroArray.append(z);
    QCOMPARE(simtest::command(*m_controller, QStringLiteral("factory.set_DH_params_all"),
                              QJsonObject{{QStringLiteral("DH_params_all"), dh}})
                 .toObject()
                 .value(QStringLiteral("success")),
             QJsonValue(true));
    QCOMPARE(simtest::command(*m_controller,
                              QStringLiteral("ethercat.set_precision_compensation_zero"),
                              QJsonObject{{QStringLiteral("joint_angle_A"), zeroArray}})
                 .toObject()
                 .value(QStringLiteral("success")),
             QJsonValue(true));

    run = runIso();
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    std::vector<common::IsoResult> after;
    QVERIFY(common::readIsoResults(after, resultPath));
    QCOMPARE(after.size(), size_t(5));
    const QString figures = QStringLiteral("AP before %1 mm, after %2 mm")
                                .arg(meanAccuracy(before))
                                .arg(meanAccuracy(after));
    qInfo("%s", qPrintable(figures));
    // An uncalibrated robot misses by a millimetre or two; a calibrated one by what no geometric
    // model holds, at least three times less.
    QVERIFY2(meanAccuracy(before) >= 0.3 && meanAccuracy(before) <= 3.0, qPrintable(figures));
    QVERIFY2(meanAccuracy(after) * 3 <= meanAccuracy(before), qPrintable(figures));
    for (const common::IsoResult &row : after)
        QVERIFY2(row.accuracy < 0.3, qPrintable(figures));
    // The ISO report keeps the calibration's members.
    QVERIFY(common::readCalibStatus(resultPath));
}

// The controller's zero offsets, which it offers no read of, come back in the result as they
// were: those that move the flange from its positions, the last one from its orientation, and
// the last one, which the identification holds, is written back unchanged. The run starts with
// the tracker's beam cut, and goes on without what it cannot see.
void tst_MeasuringPrograms::zeroOffsetsBeforeAreFound()
{
    const int axes = m_controller->axisCount();
    QJsonArray set;
    for (int k = 0; k < axes; ++k)
        set.append(0.05 * (k + 1) * (k % 2 ? -1 : 1));
    QCOMPARE(simtest::command(*m_controller,
                              QStringLiteral("ethercat.set_precision_compensation_zero"),
                              QJsonObject{{QStringLiteral("joint_angle_A"), set}})
                 .toObject()
                 .value(QStringLiteral("success")),
             QJsonValue(true));
    QVERIFY(writeRequest(QStringLiteral("SR6-900"), true, m_server->addressText()));
    // Someone steps into the beam once the tracker is located (every reflector asked once at
    // the rough poses): every target of the first pose is lost, each asked four times, the pose
    // is skipped and the next planned one taken; it goes without what is cut there.
    const sim::CatalogueModel *catalogue =
        sim::RobotCatalogue::builtIn().model(QStringLiteral("SR6-900"));
    const int locating = int(sim::TargetSight::roughPoses(catalogue->homeDeg).size()
                             * m_controller->cell()->targetNames().size());
    m_controller->cell()->interruptBeam(3 * sim::RobotSession::kBeamTries
                                            + sim::RobotSession::kBeamTries + 2,
                                        locating);
    const Run run = runProgram(kCalibCollector, {QStringLiteral("--path"), m_work,
                                                 QStringLiteral("--poses"), QStringLiteral("24"),
                                                 QStringLiteral("--validation-poses"),
                                                 QStringLiteral("4")});
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    QVERIFY(run.out.contains(QStringLiteral("[PROGRESS] 28/28")));
    QVERIFY2(run.err.contains(QStringLiteral(
                 "[WARN] pose skipped: the tracker sees no target at pose 1")),
             qPrintable(run.err));
    const QString lost = QStringLiteral("[WARN] pose 1 goes without target ");
    QVERIFY2(run.err.contains(QRegularExpression(QRegularExpression::escape(lost)
                                                 + QStringLiteral("(.): the tracker lost the "
                                                                  "beam to target \"\\1\" \\(4 "
                                                                  "tries, 0.25 s apart\\)"))),
             qPrintable(run.err));
    QFile readings(m_work + QStringLiteral("/results/calib_results/SN-TOOLS-1_measurements.csv"));
    QVERIFY(readings.open(QIODevice::ReadOnly));
    QStringList firstPose;
    for (const QByteArray &line : readings.readAll().split('\n')) {
        if (line.startsWith("1,id,"))
            firstPose.append(QString::fromLatin1(line.split(',').value(2)));
    }
    // The skipped pose's targets and at least one of the next pose's went without.
    QVERIFY(!firstPose.isEmpty() && firstPose.size() < 3);
    QVERIFY(run.err.count(lost) >= 2);
    const QJsonObject result = readJson(m_work + QStringLiteral("/optimized_dh.json"));
    const QJsonArray before = result.value(QStringLiteral("zero_points_before")).toArray();
    const QVector<double> held = m_controller->zeroOffsets();
    QCOMPARE(before.size(), axes);
    for (int k = 0; k < axes; ++k) {
        QVERIFY2(before.at(k).isDouble(), qPrintable(QString::number(k)));
        QVERIFY2(std::abs(before.at(k).toDouble() - held.at(k)) < 1e-4,
                 qPrintable(QStringLiteral("joint %1: %2 for %3")
                                .arg(k + 1)
                                .arg(before.at(k).toDouble())
                                .arg(held.at(k))));
    }
    const QJsonArray written = result.value(QStringLiteral("zero_points")).toArray();
    QVERIFY(std::abs(written.at(axes - 1).toDouble() - held.at(axes - 1)) < 1e-4);
}

void tst_MeasuringPrograms::isoResultsSavedAndDeleted()
{
    QVERIFY(writeRequest(QStringLiteral("SR6-900"), true, m_server->addressText()));
    const Run run = runIso();
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    const QString result = m_work + QStringLiteral("/optimized_dh.json");
    QVERIFY(readJson(result).contains(QStringLiteral("iso_results")));
    QVERIFY(QFile::exists(m_work + QStringLiteral("/results/iso_results/iso_report.xlsx")));

    const QStringList arguments{QStringLiteral("--path"), m_work};
    const Run copy = runProgram(kCopyResults, arguments);
    QVERIFY2(copy.exitCode == 0, qPrintable(describe(copy)));
    const QStringList saved =
        QDir(m_dir->filePath("report")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    QCOMPARE(saved.size(), 1);
    const QDir savedDir(m_dir->filePath("report") + QLatin1Char('/') + saved.first());
    for (const char *name : {"iso_report.xlsx", "optimized_dh.json", "calibInfo.json"})
        QVERIFY2(savedDir.exists(QLatin1String(name)), name);

    QJsonObject content = readJson(result);
    content.insert(QStringLiteral("status"), 1);
    QFile file(result);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(QJsonDocument(content).toJson());
    file.close();
    const Run remove = runProgram(kDelResults, arguments);
    QVERIFY2(remove.exitCode == 0, qPrintable(describe(remove)));
    QVERIFY(!readJson(result).contains(QStringLiteral("iso_results")));
    QCOMPARE(readJson(result).value(QStringLiteral("status")), QJsonValue(1));
    QVERIFY(!QFile::exists(m_work + QStringLiteral("/results/iso_results/iso_report.xlsx")));
    // Saving needs a report: after the removal there is none.
    QVERIFY(runProgram(kCopyResults, arguments).exitCode != 0);

#ifndef Q_OS_WIN
    // A results folder that is a link (to a share, a stick): the link goes, what it leads to
    // stays.
    const QString elsewhere = m_dir->filePath(QStringLiteral("elsewhere"));
    QVERIFY(QDir().mkpath(elsewhere + QStringLiteral("/inner")));
    QFile kept(elsewhere + QStringLiteral("/inner/keep.txt"));
    QVERIFY(kept.open(QIODevice::WriteOnly));
    kept.close();
    const QString linked = m_work + QStringLiteral("/results/iso_results");
    QVERIFY(QFile::link(elsewhere, linked));
    const Run unlink = runProgram(kDelResults, arguments);
    QVERIFY2(unlink.exitCode == 0, qPrintable(describe(unlink)));
    QVERIFY(QFile::exists(kept.fileName()));
    QVERIFY(!QFileInfo(linked).isSymLink() && !QFileInfo::exists(linked));
#endif
}

// The ISO collector registers the tracker from single-joint circles and the catalogue: two
// different wrong DH sets in the controller find the same tracker pose, within the noise.
void tst_MeasuringPrograms::isoRegistrationIgnoresTheModel()
{
    QVERIFY(writeRequest(QStringLiteral("SR6-900"), true, m_server->addressText()));
    const QVector<double> catalogue = m_controller->dhParams();
    QVector<Eigen::Isometry3d> found;
    for (double sign : {1.0, -1.0}) {
        QVector<double> wrong = catalogue;
        wrong[4 + 1] += sign * 0.8;  // link 2 a
        wrong[8 + 0] -= sign * 0.05; // link 3 alpha
        wrong[16 + 2] += sign * 0.6; // link 5 d
        wrong[4 + 3] += sign * 0.1;  // link 2 theta
        QCOMPARE(simtest::command(*m_controller, QStringLiteral("factory.set_DH_params_all"),
                                  QJsonObject{{QStringLiteral("DH_params_all"), numbers(wrong)}})
                     .toObject()
                     .value(QStringLiteral("success")),
                 QJsonValue(true));
        QCOMPARE(m_controller->dhParams(), wrong);
        // Each run registers for itself: a kept registration would agree trivially.
        QFile::remove(m_work + QStringLiteral("/results/tracker_registration.json"));
        const Run run = runProgram(kIsoCollector, {QStringLiteral("--path"), m_work});
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QVERIFY2(!run.err.contains(QLatin1String("registration")), qPrintable(run.err));
        sim::IsoMeasurements readings;
        QString error;
        QVERIFY2(readings.read(m_work + QStringLiteral("/results/iso_results/iso_measurements.json"),
                               &error),
                 qPrintable(error));
        found.append(readings.trackerFromBase);
    }
    const double shift = (found.at(0).translation() - found.at(1).translation()).norm();
    const double turnDeg = Eigen::AngleAxisd(found.at(0).linear() * found.at(1).linear().transpose())
                               .angle()
                           * 180.0 / 3.14159265358979323846;
    const QString figures = QStringLiteral("%1 mm, %2 deg apart").arg(shift).arg(turnDeg);
    QVERIFY2(shift < 0.1 && turnDeg < 0.01, qPrintable(figures));
    // The wrong sets are tenths of a millimetre apart where the robot stands.
    const Eigen::Isometry3d truth = m_controller->cell()->trackerFromBase();
    QVERIFY((found.at(0).translation() - truth.translation()).norm() < 2.0);
}

// A second ISO test of the same robot keeps the first one's registration once its reference
// poses read where they did, so that two tests of an unchanged robot differ only by what the
// robot and the tracker scatter; a reference that moved (a bumped tracker) registers anew.
void tst_MeasuringPrograms::isoRegistrationIsKeptUntilTheCellMoves()
{
    QVERIFY(writeRequest(QStringLiteral("SR6-900"), true, m_server->addressText()));
    const std::string resultPath = (m_work + QStringLiteral("/optimized_dh.json")).toStdString();
    const QString kept = m_work + QStringLiteral("/results/tracker_registration.json");
    QVector<double> accuracy;
    QVector<double> repeatability;
    const QStringList arguments{QStringLiteral("--path"), m_work};
    for (const char *expected : {"registering the tracker from the circles",
                                 "tracker registration kept: the reference poses read within"}) {
        const Run run = runProgram(kIsoCollector, arguments);
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QVERIFY2(run.out.contains(QLatin1String(expected)), qPrintable(run.out));
        const Run report = runProgram(kIsoReport, arguments);
        QVERIFY2(report.exitCode == 0, qPrintable(describe(report)));
        std::vector<common::IsoResult> rows;
        QVERIFY(common::readIsoResults(rows, resultPath));
        accuracy.append(meanAccuracy(rows));
        double spread = 0;
        for (const common::IsoResult &row : rows)
            spread += row.repeatability / double(rows.size());
        repeatability.append(spread);
        QVERIFY(QFile::exists(kept));
    }
    const QString figures = QStringLiteral("AP %1 and %2 mm, RP %3 mm")
                                .arg(accuracy.at(0))
                                .arg(accuracy.at(1))
                                .arg(repeatability.at(0));
    qInfo("%s", qPrintable(figures));
    QVERIFY2(std::abs(accuracy.at(0) - accuracy.at(1)) <= repeatability.at(0),
             qPrintable(figures));

    // Another model in the controller moves no reference pose: a calibration written since
    // keeps the registration.
    const QVector<double> catalogueDh = m_controller->dhParams();
    QVector<double> calibrated = catalogueDh;
    calibrated[4 + 1] += 0.5;
    for (const auto &[dh, zeros] :
         {std::make_pair(calibrated, QVector<double>{0.05, -0.08, 0.1, 0.02, -0.05, 0.0}),
          std::make_pair(catalogueDh, QVector<double>(6, 0.0))}) {
        QCOMPARE(simtest::command(*m_controller, QStringLiteral("factory.set_DH_params_all"),
                                  QJsonObject{{QStringLiteral("DH_params_all"), numbers(dh)}})
                     .toObject()
                     .value(QStringLiteral("success")),
                 QJsonValue(true));
        QCOMPARE(simtest::command(*m_controller,
                                  QStringLiteral("ethercat.set_precision_compensation_zero"),
                                  QJsonObject{{QStringLiteral("joint_angle_A"), numbers(zeros)}})
                     .toObject()
                     .value(QStringLiteral("success")),
                 QJsonValue(true));
        const Run run = runProgram(kIsoCollector, arguments);
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QVERIFY2(run.out.contains(QLatin1String("tracker registration kept")),
                 qPrintable(run.out + run.err));
    }

    // A compliance the controller compensates moves the arm for the same joints: it gets a
    // registration of its own, and the one without it is kept for when it is taken off.
    for (double c : {2e-6, 0.0}) {
        const QJsonValue set = simtest::command(
            *m_controller, QStringLiteral("factory.set_compliance"),
            QJsonObject{{QStringLiteral("values"), numbers(QVector<double>(6, c))}});
        QCOMPARE(set.toObject().value(QStringLiteral("success")), QJsonValue(true));
        const Run run = runProgram(kIsoCollector, arguments);
        QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
        QVERIFY2(run.out.contains(c > 0 ? QLatin1String("registering the tracker from the circles")
                                        : QLatin1String("tracker registration kept")),
                 qPrintable(run.out));
    }

    // A reference reading half a millimetre off: the tracker moved since.
    QFile file(kept);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QJsonObject root = QJsonDocument::fromJson(file.readAll()).object();
    file.close();
    QJsonArray registrations = root.value(QStringLiteral("registrations")).toArray();
    QCOMPARE(registrations.size(), 2);
    const int plain =
        registrations.at(0).toObject().value(QStringLiteral("compliance")).toArray().isEmpty()
            ? 0
            : 1;
    QJsonObject registration = registrations.at(plain).toObject();
    QJsonArray references = registration.value(QStringLiteral("references")).toArray();
    QJsonObject first = references.at(0).toObject();
    QJsonArray position = first.value(QStringLiteral("position_mm")).toArray();
    position[2] = position.at(2).toDouble() + 0.5;
    first.insert(QStringLiteral("position_mm"), position);
    references[0] = first;
    registration.insert(QStringLiteral("references"), references);
    registrations[plain] = registration;
    root.insert(QStringLiteral("registrations"), registrations);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QJsonDocument(root).toJson());
    file.close();
    const Run moved = runProgram(kIsoCollector, arguments);
    QVERIFY2(moved.exitCode == 0, qPrintable(describe(moved)));
    QVERIFY2(moved.out.contains(QLatin1String("registering the tracker anew")),
             qPrintable(moved.out));
    QVERIFY(moved.out.contains(QLatin1String("registering the tracker from the circles")));
    // Another robot under the same folder does not take this one's registration.
    QVERIFY(m_controller->setModel(QStringLiteral("SR7-800")));
    QVERIFY(writeRequest(QStringLiteral("SR7-800"), true, m_server->addressText()));
    const Run other = runProgram(kIsoCollector, arguments);
    QVERIFY2(other.exitCode == 0, qPrintable(describe(other)));
    QVERIFY(!other.out.contains(QLatin1String("registration kept")));
}

// At a test pose the ISO test cannot go without a reading: it waits up to 41 tries (10 s) for a
// beam someone stands in. A cut of 20 readings costs time, not the test; one that outlasts the
// wait ends it, naming the pose.
void tst_MeasuringPrograms::isoTestWaitsForTheBeam()
{
    QVERIFY(writeRequest(QStringLiteral("SR6-900"), true, m_server->addressText()));
    // The registration takes 26 points of three readings (a few more where the arm hides the
    // target); the test 5 cycles of 5 poses.
    m_controller->cell()->interruptBeam(20, 110);
    QElapsedTimer clock;
    clock.start();
    const Run waited = runProgram(kIsoCollector, {QStringLiteral("--path"), m_work});
    QVERIFY2(waited.exitCode == 0, qPrintable(describe(waited)));
    QVERIFY(waited.out.contains(QStringLiteral("[ROUND] %1/%1").arg(kIsoCycles)));
    // It waited at a test pose: no registration step went without, and 20 tries take 5 s.
    QVERIFY2(!waited.err.contains(QStringLiteral("goes without a reading")),
             qPrintable(describe(waited)));
    QVERIFY2(clock.elapsed() >= 19 * 250, qPrintable(QString::number(clock.elapsed())));

    // The registration is kept now: its three reference poses take 9 readings.
    m_controller->cell()->interruptBeam(60, 30);
    const Run lost = runProgram(kIsoCollector, {QStringLiteral("--path"), m_work});
    QCOMPARE(lost.exitCode, 4);
    QVERIFY2(lost.err.contains(QRegularExpression(
                 QStringLiteral("P[1-5]: the tracker lost the beam to target \"A\" \\(41 tries"))),
             qPrintable(describe(lost)));
}

// The robot is still on a slow move of someone else's when the collector starts.
void tst_MeasuringPrograms::moveUnderWayEndsFirst()
{
    QVERIFY(writeRequest(QStringLiteral("SR6-900"), true, m_server->addressText()));
    const QJsonObject slowMove{
        {QStringLiteral("point"),
         QJsonObject{{QStringLiteral("trans"), QJsonArray{0.42, 0.0, 0.51}},
                     {QStringLiteral("rot"), QJsonArray{0.18, 0.0, 0.18}}}},
        {QStringLiteral("traj.speed"), 0.0002}};
    QCOMPARE(simtest::command(*m_controller, QStringLiteral("move.move_to.jc"), slowMove)
                 .toObject()
                 .value(QStringLiteral("success")),
             QJsonValue(true));
    simtest::command(*m_controller, QStringLiteral("move.opr.enough"));
    QVERIFY(m_controller->isMoving());
    const Run run = runProgram(kIsoCollector, {QStringLiteral("--path"), m_work});
    QVERIFY2(run.exitCode == 0, qPrintable(describe(run)));
    QVERIFY(!m_controller->isMoving());
}

// The calibration collector reaches every pose turning each joint upwards: where no torque holds
// a joint (joint 1, about the vertical), its gear's play then leaves it on the same flank
// whichever side the arm came from, as a plain move does not.
void tst_MeasuringPrograms::posesAreApproachedFromBelow()
{
    sim::RobotSession robot;
    QString error;
    QVERIFY2(robot.open(m_server->addressText(), &error), qPrintable(error));
    const sim::DhChain model(robot.dhParams(), robot.axisCount());
    const QVector<double> q{10, -20, 30, 0, 50, 0};
    const sim::VirtualCell *cell = m_controller->cell();
    const auto joint1From = [&](double side, bool fromBelow) {
        QVector<double> before = q;
        before[0] += side;
        if (!robot.moveTo(sim::CartesianPose::fromIsometry(model.forward(before)), &error, before))
            return qQNaN();
        const bool moved =
            fromBelow ? robot.moveToFromBelow(model, q, &error)
                      : robot.moveTo(sim::CartesianPose::fromIsometry(model.forward(q)), &error, q);
        return moved ? cell->trueJointsDeg(m_controller->jointPositions()).at(0) : qQNaN();
    };
    const double fromAbove = joint1From(5, true);
    const double fromUnder = joint1From(-5, true);
    QVERIFY2(std::abs(fromAbove - fromUnder) < 1e-9, qPrintable(error));
    const double play = cell->lostMotionDeg().at(0);
    QVERIFY(play > 0);
    // A plain move from above leaves it on the other flank (the controller's last steps settle
    // within a few millionths of a degree).
    QVERIFY(std::abs(joint1From(5, false) - fromUnder - play) < 1e-4);
}

void tst_MeasuringPrograms::refusedRun_data()
{
    QTest::addColumn<QString>("program");
    // "" for none, else "good" or one fault: "broken", "no-iso", "closed-port", "no-ip",
    // "far-pose", "few-poses", "many-cycles", "beam-cut"
    QTest::addColumn<QString>("request");
    QTest::addColumn<bool>("withPath");
    QTest::addColumn<QString>("message");
    QTest::newRow("no --path") << kCalibCollector << "good" << false << "--path";
    QTest::newRow("no request") << kCalibCollector << "" << true << "calibInfo.json";
    QTest::newRow("request not JSON") << kCalibCollector << "broken" << true << "no JSON";
    QTest::newRow("no controller") << kCalibCollector << "closed-port" << true
                                   << "cannot reach the controller";
    QTest::newRow("no controller named") << kCalibCollector << "no-ip" << true
                                         << "names no controller";
    // Three readings a pose, 33 parameters free: refused before the robot moves.
    QTest::newRow("too few poses") << kCalibCollector << "few-poses" << true
                                   << "ask for at least 11 poses";
    QTest::newRow("ISO without settings") << kIsoCollector << "no-iso" << true
                                          << "no ISO settings";
    QTest::newRow("ISO pose out of reach") << kIsoCollector << "far-pose" << true
                                           << "P3 cannot be reached";
    // A hand-edited file: refused before the robot moves.
    QTest::newRow("ISO cycles beyond the pendant's") << kIsoCollector << "many-cycles" << true
                                                     << "at most 30 cycles";
    QTest::newRow("ISO report without readings") << kIsoReport << "good" << true
                                                 << "iso_measurements.json";
    // Someone stays in the beam: the registration goes without a few steps of a circle, not
    // without most.
    QTest::newRow("ISO beam cut") << kIsoCollector << "beam-cut" << true
                                  << "registration: joint 1's circle was read at 0 of its 13 "
                                     "steps, at least 9 are needed (the tracker lost the beam to "
                                     "target \"A\" (4 tries, 0.25 s apart))";
}

// A run that cannot be done ends with a non-zero code and says why on standard error.
void tst_MeasuringPrograms::refusedRun()
{
    QFETCH(QString, program);
    QFETCH(QString, request);
    QFETCH(bool, withPath);
    QFETCH(QString, message);
    QString address = m_server->addressText();
    QTcpSocket portHolder;
    if (request == QLatin1String("closed-port"))
        address = QStringLiteral("127.0.0.1:%1").arg(refusingPort(&portHolder));
    else if (request == QLatin1String("no-ip"))
        address.clear();
    if (!request.isEmpty())
        QVERIFY(writeRequest(QStringLiteral("SR6-900"), true, address));
    const QString path = CalibRequestFile::filePath(m_work);
    if (request == QLatin1String("broken") || request == QLatin1String("no-iso")
        || request == QLatin1String("far-pose") || request == QLatin1String("many-cycles")) {
        QJsonObject content = readJson(path);
        QJsonObject iso = content.value(QStringLiteral("iso_config")).toObject();
        QJsonObject poses = iso.value(QStringLiteral("iso_poses")).toObject();
        if (request == QLatin1String("many-cycles"))
            iso.insert(QStringLiteral("sample_times"), 1000000);
        else
            poses.insert(QStringLiteral("point3"),
                         QJsonArray{3000.0, 0.0, 500.0, 180.0, 0.0, 180.0});
        iso.insert(QStringLiteral("iso_poses"), poses);
        content.insert(QStringLiteral("iso_config"), iso);
        if (request == QLatin1String("no-iso"))
            content.remove(QStringLiteral("iso_config"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(request == QLatin1String("broken") ? QByteArray("{\"robot_profile\": ")
                                                      : QJsonDocument(content).toJson());
    }
    QStringList arguments;
    if (withPath)
        arguments << QStringLiteral("--path") << m_work;
    if (request == QLatin1String("few-poses"))
        arguments << QStringLiteral("--poses") << QStringLiteral("10");
    if (request == QLatin1String("beam-cut"))
        m_controller->cell()->interruptBeam(1000);
    // Every message of the run is kept: among the latest 64 alone, the run's queries pushed the
    // earlier tests' moves out, and the count of moves fell.
    m_controller->clearCalls();
    m_controller->setCallLogUnbounded(true);
    const auto bounded = qScopeGuard([this] { m_controller->setCallLogUnbounded(false); });
    const Run run = runProgram(program, arguments);
    QVERIFY2(run.exitCode > 0, qPrintable(describe(run)));
    QVERIFY2(run.err.contains(message), qPrintable(describe(run)));
    if (request == QLatin1String("beam-cut"))
        QCOMPARE(run.exitCode, 4);
    QVERIFY(!QFile::exists(m_work + QStringLiteral("/optimized_dh.json")));
    if (request == QLatin1String("few-poses") || request == QLatin1String("many-cycles")) {
        QCOMPARE(m_controller->callsOf(QStringLiteral("move.move_to.jc")).size(), 0);
        QCOMPARE(m_controller->callsOf(QStringLiteral("move.j")).size(), 0);
    }
}

QTEST_GUILESS_MAIN(tst_MeasuringPrograms)
#include "tst_measuringprograms.moc"
