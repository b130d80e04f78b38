#include "common/common.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdio>
#include <iostream>
#include <limits>

#ifdef Q_OS_WIN
#  include <io.h>
#  define dup _dup
#  define dup2 _dup2
#  define fileno _fileno
#else
#  include <unistd.h>
#endif

namespace {

// Captures what the readers print on standard error.
class StderrCapture
{
public:
    explicit StderrCapture(const QString &path)
        : m_path(path)
    {
        fflush(stderr);
        m_saved = dup(fileno(stderr));
        std::FILE *file = std::fopen(path.toLocal8Bit().constData(), "w");
        dup2(fileno(file), fileno(stderr));
        std::fclose(file);
    }
    QString finish()
    {
        std::cerr.flush();
        fflush(stderr);
        dup2(m_saved, fileno(stderr));
        QFile file(m_path);
        file.open(QIODevice::ReadOnly);
        return QString::fromUtf8(file.readAll());
    }

private:
    QString m_path;
    int m_saved = -1;
};

} // namespace

class tst_ResultFile : public QObject
{
    Q_OBJECT

private slots:
    void status_data();
    void status();
    void dhParameters();
    void errorsZeroPointsAndThreshold();
    void productResult();
    void isoResults();
    void qualityGate_data();
    void qualityGate();
    void wrongTypesReturnFalseWithoutThrowing_data();
    void wrongTypesReturnFalseWithoutThrowing();
    void parsing();
    void sharedState();

private:
    std::string write(const QByteArray &content, const QString &name = QStringLiteral("r.json"))
    {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        file.open(QIODevice::WriteOnly | QIODevice::Truncate);
        file.write(content);
        return path.toStdString();
    }
    QTemporaryDir m_dir;
};

void tst_ResultFile::status_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::newRow("true") << QByteArray(R"({"status": true})") << true;
    QTest::newRow("1") << QByteArray(R"({"status": 1})") << true;
    QTest::newRow("1.7") << QByteArray(R"({"status": 1.7})") << true;
    QTest::newRow("false") << QByteArray(R"({"status": false})") << false;
    QTest::newRow("0") << QByteArray(R"({"status": 0})") << false;
    QTest::newRow("2") << QByteArray(R"({"status": 2})") << false;
    QTest::newRow("0.99") << QByteArray(R"({"status": 0.99})") << false;
    QTest::newRow("-1") << QByteArray(R"({"status": -1})") << false;
    QTest::newRow("huge") << QByteArray(R"({"status": 1e300})") << false;
    QTest::newRow("huge unsigned") << QByteArray(R"({"status": 18446744073709551615})") << false;
    QTest::newRow("missing") << QByteArray(R"({"state": 1})") << false;
    QTest::newRow("top-level array") << QByteArray(R"([{"status": 1}])") << false;
}

void tst_ResultFile::status()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QCOMPARE(common::readCalibStatus(write(json)), ok);
}

void tst_ResultFile::dhParameters()
{
    common::DHMap map;
    QVERIFY(common::readDHParams(map, write(R"({"dh_parameters": {
        "joint_1": {"alpha": 90, "a": 1.5, "d": 300.25, "theta_offset": -0.5},
        "joint_2": {"alpha": 0, "a": 400, "theta_offset": 90}}})")));
    QCOMPARE(map.size(), size_t(2));
    QCOMPARE(map["joint_1"].alpha, 90.0);
    QCOMPARE(map["joint_1"].a, 1.5);
    QCOMPARE(map["joint_1"].d, 300.25);
    QCOMPARE(map["joint_1"].theta, -0.5);
    // A joint without "d" reads 0.0.
    QCOMPARE(map["joint_2"].d, 0.0);
    QCOMPARE(map["joint_2"].theta, 90.0);

    // Absent or not an object: the read succeeds and the map stays as it was.
    QVERIFY(common::readDHParams(map, write(R"({"status": 1})")));
    QCOMPARE(map.size(), size_t(2));
    common::DHMap empty;
    QVERIFY(common::readDHParams(empty, write(R"({"dh_parameters": [1, 2]})")));
    QVERIFY(empty.empty());
    QVERIFY(!common::readDHParams(empty, m_dir.filePath("missing.json").toStdString()));
}

void tst_ResultFile::errorsZeroPointsAndThreshold()
{
    const std::string path = write(R"({"avg_valid_position_error": 0.125,
        "max_valid_position_error": 0.5, "zero_points": [1, "x", 2.5, true, -3],
        "threshold": [0.2, 0.6, 1.0, 0.5, 99]})");
    double errors[2] = {-1, -1};
    QVERIFY(common::readValidErrors(errors, path));
    QCOMPARE(errors[0], 0.125);
    QCOMPARE(errors[1], 0.5);
    std::vector<double> zero{7};
    QVERIFY(common::readZeroPoints(zero, path));
    QCOMPARE(zero, (std::vector<double>{1.0, 2.5, -3.0}));
    double limits[4] = {};
    QVERIFY(common::readQualityThreshold(limits, path));
    QCOMPARE(limits[3], 0.5);

    // Only the average: it is kept, the read fails.
    double partial[2] = {-1, -1};
    QVERIFY(!common::readValidErrors(partial, write(R"({"avg_valid_position_error": 3})")));
    QCOMPARE(partial[0], 3.0);
    QCOMPARE(partial[1], -1.0);
    std::vector<double> untouched{7};
    QVERIFY(!common::readZeroPoints(untouched, write(R"({"zero_points": 5})")));
    QCOMPARE(untouched, std::vector<double>{7});
    QVERIFY(!common::readQualityThreshold(limits, write(R"({"threshold": [1, 2, 3]})")));
}

void tst_ResultFile::productResult()
{
    const std::string good = write(R"({"product_result": {"dh_parameters": {
        "joint_1": {"alpha": 1, "a": 2, "d": 3, "theta_offset": 4}}, "zero_points": [0.5, null, 1]}})");
    common::DHMap map;
    QVERIFY(common::readProductDHParams(map, good));
    QCOMPARE(map["joint_1"].theta, 4.0);
    std::vector<double> zero;
    QVERIFY(common::readProductZeroPoints(zero, good));
    QCOMPARE(zero, (std::vector<double>{0.5, 1.0}));

    // One string "a" empties the whole production map.
    QVERIFY(!common::readProductDHParams(map, write(R"({"product_result": {"dh_parameters": {
        "joint_1": {"alpha": 1, "a": 2, "d": 3, "theta_offset": 4},
        "joint_2": {"alpha": 1, "a": "x", "d": 3, "theta_offset": 4}}}})")));
    QVERIFY(map.empty());
    map["keep"] = {};
    QVERIFY(!common::readProductDHParams(map, write(R"({"product_result": 1})")));
    QCOMPARE(map.size(), size_t(1));
}

void tst_ResultFile::isoResults()
{
    std::vector<common::IsoResult> rows;
    QVERIFY(common::readIsoResults(rows, write(R"({"iso_results": [
        {"name": "P1", "Accuracy": 0.1, "Repeatability": 0.02, "RMS": 0.3, "StdDev": 0.04},
        7, {"Accuracy": 1}]})")));
    QCOMPARE(rows.size(), size_t(2));
    QCOMPARE(rows[0].name, std::string("P1"));
    QCOMPARE(rows[0].stdDev, 0.04);
    QCOMPARE(rows[1].name, std::string());
    QCOMPARE(rows[1].rms, 0.0);
    QVERIFY(!common::readIsoResults(rows, write(R"({"iso_results": {}})")));
}

void tst_ResultFile::qualityGate_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<double>("thetaChange");
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("status");

    const QByteArray base = R"({"avg_valid_position_error": 0.1, "max_valid_position_error": 0.3,
        "threshold": [0.2, 0.4, 1.0, 0.5]})";
    QTest::newRow("passes") << base << 0.25 << 2 << 0;
    QTest::newRow("theta equal to its limit") << base << 0.5 << 2 << 0;
    QTest::newRow("theta just over its limit")
        << base << std::nextafter(0.5, 1.0) << 2 << 1;
    QTest::newRow("average too large")
        << QByteArray(R"({"avg_valid_position_error": 0.3, "max_valid_position_error": 0.3,
            "threshold": [0.2, 0.4, 1.0, 0.5]})") << 0.0 << 2 << 1;
    QTest::newRow("three thresholds")
        << QByteArray(R"({"avg_valid_position_error": 0.1, "max_valid_position_error": 0.3,
            "threshold": [0.2, 0.4, 1.0]})") << 0.0 << 2 << 2;
    QTest::newRow("no errors") << QByteArray(R"({"threshold": [0.2, 0.4, 1.0, 0.5]})") << 0.0
                               << 2 << 2;
    QTest::newRow("no axes") << base << 0.0 << 0 << 2;
    QTest::newRow("vectors too short") << base << 0.0 << 4 << 2;
    QTest::newRow("threshold of the wrong type")
        << QByteArray(R"({"avg_valid_position_error": 0.1, "max_valid_position_error": 0.3,
            "threshold": [0.2, "0.4", 1.0, 0.5]})") << 0.0 << 2 << 2;
}

void tst_ResultFile::qualityGate()
{
    QFETCH(QByteArray, json);
    QFETCH(double, thetaChange);
    QFETCH(int, axes);
    QFETCH(int, status);
    // Two joints and the extra link group, whose large change never counts.
    const std::vector<double> initial{90, 0, 300, 0, 0, 400, 0, 90, 0, 0, 100, 0};
    std::vector<double> optimized{90.1, 0.2, 300.3, thetaChange, 0, 400.5, 0, 90, 50, 50, 50, 50};
    optimized.resize(8);
    const common::QualityGateResult result =
        common::evaluateQualityGate(write(json), initial, optimized, axes);
    QCOMPARE(result.status, status);
    if (status != 2) {
        QCOMPARE(result.angleDeltaLimit, 0.5);
        QVERIFY(qAbs(result.maxLengthDelta - 0.5) < 1e-9);
        QVERIFY(result.maxAngleDelta >= thetaChange);
    }
}

void tst_ResultFile::wrongTypesReturnFalseWithoutThrowing_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::newRow("status as a string") << QByteArray(R"({"status": "1"})");
    QTest::newRow("dh entry not an object") << QByteArray(R"({"dh_parameters": {"joint_1": 5}})");
    QTest::newRow("dh field a string")
        << QByteArray(R"({"dh_parameters": {"joint_1": {"alpha": "90"}}})");
    QTest::newRow("dh field null") << QByteArray(R"({"dh_parameters": {"joint_1": {"d": null}}})");
    QTest::newRow("error a string")
        << QByteArray(R"({"avg_valid_position_error": "0.1", "max_valid_position_error": 1})");
    QTest::newRow("threshold element null") << QByteArray(R"({"threshold": [1, 2, null, 4]})");
    QTest::newRow("iso field of the wrong type")
        << QByteArray(R"({"iso_results": [{"name": 5, "Accuracy": "x"}]})");
}

void tst_ResultFile::wrongTypesReturnFalseWithoutThrowing()
{
    QFETCH(QByteArray, json);
    const std::string path = write(json);
    common::DHMap map{{"kept", {}}};
    double errors[2] = {-1, -1};
    double limits[4] = {-1, -1, -1, -1};
    std::vector<common::IsoResult> rows(1);
    StderrCapture capture(m_dir.filePath(QStringLiteral("stderr.txt")));
    bool any = false;
    any |= common::readCalibStatus(path) && json.contains("status");
    const bool dhOk = common::readDHParams(map, path);
    const bool errorsOk = common::readValidErrors(errors, path);
    const bool limitsOk = common::readQualityThreshold(limits, path);
    const bool isoOk = common::readIsoResults(rows, path);
    const common::QualityGateResult gate =
        common::evaluateQualityGate(path, std::vector<double>(8), std::vector<double>(8), 2);
    const QString printed = capture.finish();
    QVERIFY(!any);
    if (json.contains("dh_parameters")) {
        QVERIFY(!dhOk);
        QCOMPARE(map.size(), size_t(1));
    }
    if (json.contains("avg_valid")) {
        QVERIFY(!errorsOk);
        QCOMPARE(errors[0], -1.0);
    }
    if (json.contains("threshold")) {
        QVERIFY(!limitsOk);
        QCOMPARE(limits[0], -1.0);
    }
    if (json.contains("iso_results")) {
        QVERIFY(!isoOk);
        QCOMPARE(rows.size(), size_t(1));
    }
    QCOMPARE(gate.status, 2);
    QVERIFY2(printed.startsWith(QStringLiteral("JSON Type Error: ")), qPrintable(printed));
}

void tst_ResultFile::parsing()
{
    // A second object after the first is not read; a BOM is accepted.
    QVERIFY(common::readCalibStatus(write(R"({"status": 1} {"status": 0})")));
    QVERIFY(common::readCalibStatus(write("\xEF\xBB\xBF{\"status\": 1}")));
    StderrCapture capture(m_dir.filePath(QStringLiteral("parse.txt")));
    const bool comment = common::readCalibStatus(write("{\"status\": 1 /* ok */}"));
    const bool huge = common::readCalibStatus(write("{\"status\": 1e999}"));
    const bool unreadable = common::readCalibStatus(m_dir.filePath("none.json").toStdString());
    const QString printed = capture.finish();
    QVERIFY(!comment);
    QVERIFY(!huge);
    QVERIFY(!unreadable);
    QCOMPARE(printed.count(QStringLiteral("JSON Parsing Error: ")), 2);
    QVERIFY(!common::loadJsonFile(m_dir.filePath("none.json").toStdString()));
}

void tst_ResultFile::sharedState()
{
    QCOMPARE(common::calibMode, QStringLiteral("normal"));
    QCOMPARE(common::jointNames.size(), 10);
    QCOMPARE(common::jointName(0), QStringLiteral("J1"));
    QCOMPARE(common::jointName(9), QStringLiteral("J10"));
    QCOMPARE(common::jointName(10), QStringLiteral("J11"));
    QCOMPARE(common::isoPointNames.last(), QStringLiteral("P5(中心点)"));
    QCOMPARE(common::optimizedDHFileName, QStringLiteral("optimized_dh.json"));
}

QTEST_GUILESS_MAIN(tst_ResultFile)
#include "tst_resultfile.moc"
