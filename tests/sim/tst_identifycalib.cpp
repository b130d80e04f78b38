// The offline identification program and the measurement file it reads: good files give a
// result, every bad one ends with exit 3 and one line naming its line and reason, writing
// nothing.
#include "simtesthelpers.h"

#include <sim/cell/virtualcell.h>
#include <sim/tools/common/calibmodelfile.h>
#include <sim/tools/common/calibposeplanner.h>
#include <sim/tools/common/measurementfile.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>

using sim::MeasurementFile;

namespace {

const QString kProgram = QStringLiteral(IDENTIFY_CALIB_PROGRAM);

struct Exit
{
    int code = -1;
    QString err;
};

Exit runIdentify(const QStringList &arguments)
{
    QProcess p;
    p.start(kProgram, arguments);
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished(3000);
        return {};
    }
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardError())};
}

bool writeFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(data) == data.size();
}

// A 6-axis run of the virtual cell: its model file and readings of 40 + 10 poses.
void cellRun(sim::CalibModelFile *model, MeasurementFile *readings)
{
    const sim::RobotModel m = simtest::modelNamed(QStringLiteral("SR6-900"));
    const sim::CatalogueModel *entry = sim::RobotCatalogue::builtIn().model(m.name);
    sim::VirtualCell cell(*entry, m.limits, QStringLiteral("SN-OFFLINE"));
    model->robotType = m.name;
    model->axes = m.axes;
    model->dh = m.dh;
    model->zeroOffsetsDeg = QVector<double>(m.axes, 0.0);
    model->targets = entry->targetsMm.keys();
    model->targetsMm = entry->targetsMm.values().toVector();
    sim::CalibPosePlanner planner(m.axes);
    for (int pose = 1; pose <= 50; ++pose) {
        const QVector<double> q = planner.next();
        cell.noteMotion();
        for (const QString &t : cell.targetNames()) {
            sim::VirtualCell::Reading r;
            cell.measure(q, t, &r);
            (pose <= 40 ? readings->identification : readings->validation)
                .append(sim::PoseMeasurement{q, r.positionMm, t, pose, false,
                                             Eigen::Vector3d::Zero()});
        }
    }
}

} // namespace

class tst_IdentifyCalib : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void fileRoundTrip();
    void identifiesARun();
    void badFiles_data();
    void badFiles();
    void resultNothingJudgesIsRefused();
    void complianceRequest();
    void badRequests_data();
    void badRequests();

private:
    QTemporaryDir m_dir;
    QByteArray m_csv;
    QString m_model;
};

void tst_IdentifyCalib::initTestCase()
{
    QVERIFY2(QFileInfo(kProgram).isExecutable(), qPrintable(kProgram));
    QVERIFY(!kProgram.contains(QStringLiteral("workfolder")));
    sim::CalibModelFile model;
    MeasurementFile readings;
    cellRun(&model, &readings);
    m_csv = readings.toCsv(model.axes);
    m_model = m_dir.filePath(QStringLiteral("model.json"));
    QString error;
    QVERIFY2(model.write(m_model, &error), qPrintable(error));
}

// What is written is read back to the bit, comments and blank lines aside.
void tst_IdentifyCalib::fileRoundTrip()
{
    MeasurementFile first;
    QString error;
    QVERIFY2(first.parse(m_csv, 6, &error), qPrintable(error));
    QCOMPARE(first.identification.size(), 120);
    QCOMPARE(first.validation.size(), 30);
    MeasurementFile second;
    QVERIFY2(second.parse("# exported\r\n\r\n" + first.toCsv(6), 6, &error), qPrintable(error));
    QCOMPARE(second.toCsv(6), m_csv);
    QCOMPARE(second.identification.at(7).positionMm, first.identification.at(7).positionMm);
    QCOMPARE(second.validation.constLast().jointsDeg, first.validation.constLast().jointsDeg);
    QCOMPARE(second.validation.constLast().target, QStringLiteral("C"));
    QVERIFY(!second.fullPose);

    MeasurementFile full;
    QVERIFY2(full.parse("pose,set,target,j1,x,y,z,rx,ry,rz\n1,id,A,10,1,2,3,0.5,-1,90\n", 1,
                        &error),
             qPrintable(error));
    QVERIFY(full.fullPose);
    QVERIFY(full.identification.at(0).hasOrientation);
    QCOMPARE(full.identification.at(0).orientationDeg, Eigen::Vector3d(0.5, -1, 90));
}

void tst_IdentifyCalib::identifiesARun()
{
    const QString csv = m_dir.filePath(QStringLiteral("run.csv"));
    QVERIFY(writeFile(csv, m_csv));
    const QString out = m_dir.filePath(QStringLiteral("out"));
    const Exit e = runIdentify({"--model", m_model, "--measurements", csv, "--out", out});
    QVERIFY2(e.code == 0, qPrintable(e.err));
    QFile result(out + QStringLiteral("/optimized_dh.json"));
    QVERIFY(result.open(QIODevice::ReadOnly));
    const QJsonObject root = QJsonDocument::fromJson(result.readAll()).object();
    QCOMPARE(root.value(QStringLiteral("status")).toInt(), 1);
    const double mean = root.value(QStringLiteral("avg_valid_position_error")).toDouble();
    QVERIFY2(mean > 0.005 && mean < 0.12, qPrintable(QString::number(mean)));
    QVERIFY(root.value(QStringLiteral("outliers")).toObject().contains(QStringLiteral("count")));
    QVERIFY(QFileInfo::exists(out + QStringLiteral("/calibration.xlsx")));
}

void tst_IdentifyCalib::badFiles_data()
{
    QTest::addColumn<QByteArray>("csv");
    QTest::addColumn<QString>("message");
    const QByteArray header = "pose,set,target,j1,j2,j3,j4,j5,j6,x,y,z\n";
    const QByteArray row = "1,id,A,0,1,2,3,4,5,600,10,20\n";
    QTest::newRow("missing column") << QByteArray("pose,set,target,j1,j2,j3,j4,j5,j6,x,y\n")
                                    << "line 1: missing column \"z\"";
    QTest::newRow("short row") << QByteArray(header + row + "2,id,A,0,1,2,3,4,5,600,10\n")
                               << "line 3: missing column \"z\"";
    QTest::newRow("not a number")
        << QByteArray("# comment\n" + header + "1,id,A,0,1,2,x,4,5,600,10,20\n")
        << "line 3: column \"j4\" is no finite number";
    QTest::newRow("NaN") << QByteArray(header + row + "2,val,B,0,1,2,3,4,5,nan,10,20\n")
                         << "line 3: column \"x\" is no finite number";
    QTest::newRow("fewer joints than the model")
        << QByteArray("pose,set,target,j1,j2,j3,j4,j5,x,y,z\n1,id,A,0,1,2,3,4,600,10,20\n")
        << "line 1: the readings have 5 joints, the model 6";
    QTest::newRow("no target") << QByteArray(header + row + "2,id, ,0,1,2,3,4,5,600,10,20\n")
                               << "line 3: the reading names no target";
    QTest::newRow("beyond any tracker")
        << QByteArray(header + row + "2,val,A,0,1,2,3,4,5,1e200,10,20\n")
        << "line 3: the position is 1e+200 mm from the tracker";
    QTest::newRow("bad set") << QByteArray(header + "1,test,A,0,1,2,3,4,5,600,10,20\n")
                             << "line 2: the set must be \"id\" or \"val\"";
    QTest::newRow("one pose, two joint sets")
        << QByteArray(header + row + "1,id,B,0,1,2,3,4,6,600,10,20\n")
        << "line 3: pose 1 has other joints on line 2";
    QTest::newRow("fewer readings than free parameters")
        << QByteArray(header + row + "2,id,A,5,1,2,3,4,5,600,10,20\n")
        << "line 3: 2 identification readings, fewer than the";
}

void tst_IdentifyCalib::badFiles()
{
    QFETCH(QByteArray, csv);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bad.csv"));
    QVERIFY(writeFile(path, csv));
    const QString out = dir.filePath(QStringLiteral("out"));
    const Exit e = runIdentify({"--model", m_model, "--measurements", path, "--out", out});
    QCOMPARE(e.code, 3);
    QVERIFY2(e.err.contains(message), qPrintable(e.err));
    QCOMPARE(e.err.trimmed().count(QLatin1Char('\n')), 0);
    QVERIFY(!QFileInfo::exists(out + QStringLiteral("/optimized_dh.json")));
}

// Validation errors over no reading would pass any gate: a run without validation, and one
// whose model fits none of it, leave no result.
void tst_IdentifyCalib::resultNothingJudgesIsRefused()
{
    QList<QByteArray> lines = m_csv.split('\n');
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const QByteArray &l) { return l.contains(",val,"); }),
                lines.end());
    const QString unjudged = m_dir.filePath(QStringLiteral("unjudged.csv"));
    QVERIFY(writeFile(unjudged, lines.join('\n')));
    const QString out = m_dir.filePath(QStringLiteral("unjudged"));
    Exit e = runIdentify({"--model", m_model, "--measurements", unjudged, "--out", out});
    QCOMPARE(e.code, 3);
    QVERIFY2(e.err.contains(QStringLiteral("no validation readings")), qPrintable(e.err));

    // A link a hundred orders of magnitude long: every prediction overflows.
    sim::CalibModelFile absurd;
    QString error;
    QVERIFY2(absurd.read(m_model, &error), qPrintable(error));
    absurd.dh[5] = 1e300;
    const QString model = m_dir.filePath(QStringLiteral("absurd.json"));
    QVERIFY2(absurd.write(model, &error), qPrintable(error));
    const QString csv = m_dir.filePath(QStringLiteral("judged.csv"));
    QVERIFY(writeFile(csv, m_csv));
    e = runIdentify({"--model", model, "--measurements", csv, "--out", out});
    QCOMPARE(e.code, 6);
    QVERIFY2(e.err.contains(QStringLiteral("fits 0 of 30 validation readings")), qPrintable(e.err));
    QVERIFY(!QFileInfo::exists(out + QStringLiteral("/optimized_dh.json")));
}

// The same run identified with the joints' compliance: the result carries one per joint in
// rad/(N*m), and bending the geometry cannot follow no longer stays in the validation errors.
void tst_IdentifyCalib::complianceRequest()
{
    const QString csv = m_dir.filePath(QStringLiteral("bending.csv"));
    QVERIFY(writeFile(csv, m_csv));
    const auto identify = [&](const QByteArray &request, QJsonObject *root) {
        const QString folder = m_dir.filePath(QString::fromLatin1(request.toHex()));
        const QString path = folder + QStringLiteral(".json");
        if (!writeFile(path, request))
            return false;
        const Exit e = runIdentify({"--model", m_model, "--measurements", csv, "--request", path,
                                    "--out", folder});
        QFile result(folder + QStringLiteral("/optimized_dh.json"));
        if (e.code != 0 || !result.open(QIODevice::ReadOnly))
            return false;
        *root = QJsonDocument::fromJson(result.readAll()).object();
        return true;
    };
    QJsonObject rigid;
    QJsonObject bending;
    QVERIFY(identify("{}", &rigid));
    QVERIFY(identify(R"({"compliance": true, "payload_kg": 0})", &bending));
    QVERIFY(!rigid.contains(QStringLiteral("joint_compliance")));
    const QJsonObject compliance = bending.value(QStringLiteral("joint_compliance")).toObject();
    QCOMPARE(compliance.value(QStringLiteral("unit")).toString(), QStringLiteral("rad/(N*m)"));
    const QJsonArray values = compliance.value(QStringLiteral("values")).toArray();
    QCOMPARE(values.size(), 6);
    // The cell's joints turn by microradians per newton metre; the first is held at zero.
    QCOMPARE(values.at(0).toDouble(), 0.0);
    for (int k = 1; k < 3; ++k)
        QVERIFY2(values.at(k).toDouble() > 1e-8 && values.at(k).toDouble() < 1e-4,
                 qPrintable(QString::number(values.at(k).toDouble())));
    const auto mean = [](const QJsonObject &root) {
        return root.value(QStringLiteral("avg_valid_position_error")).toDouble();
    };
    QVERIFY2(mean(bending) < mean(rigid),
             qPrintable(QStringLiteral("%1 against %2").arg(mean(bending)).arg(mean(rigid))));
    for (const QJsonObject &root : {rigid, bending}) {
        const QJsonObject seen = root.value(QStringLiteral("observability")).toObject();
        QCOMPARE(seen.value(QStringLiteral("poses")).toInt(), 40);
        QVERIFY(seen.value(QStringLiteral("o1")).toDouble() > 0);
        QVERIFY(seen.value(QStringLiteral("condition")).toDouble() > 1);
        QVERIFY(seen.value(QStringLiteral("o5")).toDouble() > 0);
    }
}

void tst_IdentifyCalib::badRequests_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QString>("message");
    QTest::newRow("compliance as text") << QByteArray(R"({"compliance": "yes"})")
                                        << "\"compliance\" is not true or false";
    QTest::newRow("compliance as number") << QByteArray(R"({"compliance": 1})")
                                          << "\"compliance\" is not true or false";
    QTest::newRow("negative payload") << QByteArray(R"({"compliance": true, "payload_kg": -1})")
                                      << "\"payload_kg\" is not a number of at least 0";
    QTest::newRow("payload as text") << QByteArray(R"({"payload_kg": "5"})")
                                     << "\"payload_kg\" is not a number of at least 0";
    QTest::newRow("payload null") << QByteArray(R"({"payload_kg": null})")
                                  << "\"payload_kg\" is not a number of at least 0";
}

void tst_IdentifyCalib::badRequests()
{
    QFETCH(QByteArray, request);
    QFETCH(QString, message);
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("run.csv"));
    const QString path = dir.filePath(QStringLiteral("calibInfo.json"));
    QVERIFY(writeFile(csv, m_csv));
    QVERIFY(writeFile(path, request));
    const QString out = dir.filePath(QStringLiteral("out"));
    const Exit e = runIdentify(
        {"--model", m_model, "--measurements", csv, "--request", path, "--out", out});
    QCOMPARE(e.code, 3);
    QVERIFY2(e.err.contains(message), qPrintable(e.err));
    QVERIFY(!QFileInfo::exists(out + QStringLiteral("/optimized_dh.json")));
}

QTEST_GUILESS_MAIN(tst_IdentifyCalib)
#include "tst_identifycalib.moc"
