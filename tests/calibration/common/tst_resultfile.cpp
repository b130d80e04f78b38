#include "stderrcapture.h"

#include "common/resultfile.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <exception>
#include <functional>
#include <limits>

namespace {

// The shortest text that reads back as the same double: comparisons see the last bit, which
// QCOMPARE on doubles does not.
QString number(double value)
{
    return QString::number(value, 'g', QLocale::FloatingPointShortest);
}

QString numbers(const std::vector<double> &values)
{
    QStringList parts;
    for (double value : values)
        parts << number(value);
    return parts.join(QLatin1Char(' '));
}

QString text(const common::DHMap &map)
{
    QStringList parts;
    for (const auto &[name, p] : map) {
        parts << QStringLiteral("%1=%2").arg(QString::fromStdString(name),
                                             numbers({p.alpha, p.a, p.d, p.theta}));
    }
    return parts.join(QLatin1Char(';'));
}

QString text(const std::vector<common::IsoResult> &rows)
{
    QStringList parts;
    for (const common::IsoResult &r : rows) {
        const QString values = numbers({r.accuracy, r.repeatability, r.rms, r.stdDev});
        parts << QStringLiteral("%1=%2").arg(QString::fromStdString(r.name), values);
    }
    return parts.join(QLatin1Char(';'));
}

QString text(const common::QualityGateResult &r)
{
    return QStringLiteral("%1: ").arg(r.status)
           + numbers({r.avgError, r.maxError, r.avgErrorLimit, r.maxErrorLimit,
                      r.lengthDeltaLimit, r.angleDeltaLimit, r.maxLengthDelta, r.maxAngleDelta});
}

const common::DHMap kept{{"kept", {9, 9, 9, 9}}};
const QString keptText = QStringLiteral("kept=9 9 9 9");
const QString typeError = QStringLiteral("JSON Type Error: ");
const QString parseError = QStringLiteral("JSON Parsing Error: ");

} // namespace

class tst_ResultFile : public QObject
{
    Q_OBJECT

private slots:
    void parsing_data();
    void parsing();
    void unreadableFile_data();
    void unreadableFile();
    void calibStatus_data();
    void calibStatus();
    void dhParams_data();
    void dhParams();
    void productDHParams_data();
    void productDHParams();
    void numberLists_data();
    void numberLists();
    void isoResults_data();
    void isoResults();
    void qualityGate_data();
    void qualityGate();

private:
    std::string write(const QByteArray &content)
    {
        const QString path = m_dir.filePath(QStringLiteral("optimized_dh.json"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(content) < 0)
            qFatal("cannot write %s", qPrintable(path));
        return path.toStdString();
    }
    // Runs `reader` and gives back what it printed on standard error; an exception fails.
    QString run(const std::function<void()> &reader)
    {
        StderrCapture capture(m_dir.filePath(QStringLiteral("stderr.txt")));
        try {
            reader();
        } catch (const std::exception &e) {
            capture.text();
            QTest::qFail(qPrintable(QStringLiteral("threw: ") + QString::fromUtf8(e.what())),
                         __FILE__, __LINE__);
        } catch (...) {
            capture.text();
            QTest::qFail("threw", __FILE__, __LINE__);
        }
        return capture.text();
    }
    // `expected` is empty for silence, else the start of the one line that must be printed.
    static bool printedAsExpected(const QString &printed, const QString &expected)
    {
        if (expected.isEmpty())
            return printed.isEmpty();
        return printed.startsWith(expected) && printed.endsWith(QLatin1Char('\n'))
               && printed.count(QLatin1Char('\n')) == 1;
    }
    // Rows tagged "wrong type" expect the type-error line, "not JSON" the parse-error line.
    static bool printedAsExpected(const QString &printed)
    {
        const QString tag = QString::fromUtf8(QTest::currentDataTag());
        if (tag.contains(QLatin1String("wrong type")))
            return printedAsExpected(printed, typeError);
        if (tag.contains(QLatin1String("not JSON")))
            return printedAsExpected(printed, parseError);
        return printed.isEmpty();
    }

    QTemporaryDir m_dir;
};

void tst_ResultFile::parsing_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("parses");
    QTest::newRow("object") << QByteArray(R"({"status": 1})") << true;
    QTest::newRow("second object ignored")
        << QByteArray(R"({"status": 1} {"status": 0})") << true;
    QTest::newRow("garbage after the object") << QByteArray("{\"status\": 1}\n#!") << true;
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBF{\"status\": 1}") << true;
    QTest::newRow("comment") << QByteArray("{\"status\": 1 /* ok */}") << false;
    QTest::newRow("line comment") << QByteArray("// ok\n{\"status\": 1}") << false;
    QTest::newRow("number overflow") << QByteArray(R"({"status": 1e999})") << false;
    QTest::newRow("truncated") << QByteArray(R"({"status": 1)") << false;
    QTest::newRow("empty file") << QByteArray() << false;
    QTest::newRow("invalid UTF-8") << QByteArray("{\"\xFF\": 1, \"status\": 1}") << false;
}

void tst_ResultFile::parsing()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, parses);
    const std::string path = write(json);
    const QString printed = parses ? QString() : parseError;
    bool read = !parses;
    std::optional<nlohmann::json> document;
    QVERIFY(printedAsExpected(run([&] { document = common::loadJsonFile(path); }), printed));
    QCOMPARE(document.has_value(), parses);
    // Every file that parses here holds "status": 1 in its first value.
    QVERIFY(printedAsExpected(run([&] { read = common::readCalibStatus(path); }), printed));
    QCOMPARE(read, parses);

    // No reader writes the file.
    common::DHMap map;
    double errors[2];
    double limits[4];
    std::vector<double> values;
    std::vector<common::IsoResult> rows;
    run([&] {
        common::readDHParams(map, path);
        common::readValidErrors(errors, path);
        common::readZeroPoints(values, path);
        common::readProductDHParams(map, path);
        common::readProductZeroPoints(values, path);
        common::readQualityThreshold(limits, path);
        common::readIsoResults(rows, path);
        common::evaluateQualityGate(path, {}, {}, 1);
    });
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), json);
}

void tst_ResultFile::unreadableFile_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("missing") << QStringLiteral("absent.json");
    QTest::newRow("folder") << QStringLiteral("folder.json");
}

void tst_ResultFile::unreadableFile()
{
    QFETCH(QString, name);
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("folder.json")));
    const std::string path = m_dir.filePath(name).toStdString();
    common::DHMap map = kept;
    common::DHMap product = kept;
    double errors[2] = {-7, -7};
    double limits[4] = {-7, -7, -7, -7};
    std::vector<double> values{-7};
    std::vector<double> productValues{-7};
    std::vector<common::IsoResult> rows(1);
    common::QualityGateResult gate;
    gate.status = -1;
    bool any = true;
    const QString printed = run([&] {
        any = common::loadJsonFile(path).has_value() || common::readCalibStatus(path)
              || common::readDHParams(map, path) || common::readValidErrors(errors, path)
              || common::readZeroPoints(values, path) || common::readProductDHParams(product, path)
              || common::readProductZeroPoints(productValues, path)
              || common::readQualityThreshold(limits, path) || common::readIsoResults(rows, path);
        gate = common::evaluateQualityGate(path, std::vector<double>(12, 1.0),
                                           std::vector<double>(8, 1.0), 2);
    });
    QVERIFY(!any);
    QCOMPARE(printed, QString());
    QCOMPARE(text(map), keptText);
    QCOMPARE(text(product), keptText);
    QCOMPARE(numbers({errors[0], errors[1]}), QStringLiteral("-7 -7"));
    QCOMPARE(numbers({limits[0], limits[1], limits[2], limits[3]}), QStringLiteral("-7 -7 -7 -7"));
    QCOMPARE(numbers(values) + numbers(productValues), QStringLiteral("-7-7"));
    QCOMPARE(text(rows), QStringLiteral("=0 0 0 0"));
    QCOMPARE(text(gate), text(common::QualityGateResult()));
}

void tst_ResultFile::calibStatus_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::newRow("true") << QByteArray(R"({"status": true})") << true;
    QTest::newRow("1") << QByteArray(R"({"status": 1})") << true;
    QTest::newRow("1.7") << QByteArray(R"({"status": 1.7})") << true;
    QTest::newRow("1.0") << QByteArray(R"({"status": 1.0})") << true;
    QTest::newRow("false") << QByteArray(R"({"status": false})") << false;
    QTest::newRow("0") << QByteArray(R"({"status": 0})") << false;
    QTest::newRow("2") << QByteArray(R"({"status": 2})") << false;
    QTest::newRow("0.99") << QByteArray(R"({"status": 0.99})") << false;
    QTest::newRow("-1") << QByteArray(R"({"status": -1})") << false;
    QTest::newRow("beyond int") << QByteArray(R"({"status": 4294967297})") << false;
    QTest::newRow("beyond int, floating") << QByteArray(R"({"status": 1e300})") << false;
    QTest::newRow("largest unsigned")
        << QByteArray(R"({"status": 18446744073709551615})") << false;
    QTest::newRow("missing") << QByteArray(R"({"state": 1})") << false;
    QTest::newRow("top-level array") << QByteArray(R"([{"status": 1}])") << false;
    QTest::newRow("top-level number") << QByteArray("1") << false;
    QTest::newRow("wrong type: string") << QByteArray(R"({"status": "1"})") << false;
    QTest::newRow("wrong type: null") << QByteArray(R"({"status": null})") << false;
    QTest::newRow("wrong type: array") << QByteArray(R"({"status": [1]})") << false;
}

void tst_ResultFile::calibStatus()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    const std::string path = write(json);
    bool read = !ok;
    const QString output = run([&] { read = common::readCalibStatus(path); });
    QCOMPARE(read, ok);
    QVERIFY2(printedAsExpected(output), qPrintable(output));
}

void tst_ResultFile::dhParams_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("map");
    QTest::newRow("joints") << QByteArray(R"({"dh_parameters": {
        "joint_2": {"alpha": -90, "a": 150.019, "d": 0, "theta_offset": -90.004},
        "joint_1": {"alpha": 0, "a": 1.9, "d": 525.5, "theta_offset": 0.5}}})")
        << true << "joint_1=0 1.9 525.5 0.5;joint_2=-90 150.019 0 -90.004";
    // Its d would reach the controller as 0.
    QTest::newRow("wrong type: joint without d")
        << QByteArray(R"({"dh_parameters": {"joint_1": {"alpha": 90, "a": 1,
            "theta_offset": 2}}})")
        << false << keptText;
    QTest::newRow("joint without theta_offset, which stays the controller's")
        << QByteArray(R"({"dh_parameters": {"joint_1": {"alpha": 90, "a": 1, "d": 3}}})")
        << true << "joint_1=90 1 3 0";
    QTest::newRow("empty entry") << QByteArray(R"({"dh_parameters": {"x": {}}})") << true
                                 << "x=0 0 0 0";
    QTest::newRow("other members read too")
        << QByteArray(R"({"dh_parameters": {"joint_1": {"alpha": 0, "a": 1, "d": 0, "b": "x"},
            "tool": {"d": 2}}})")
        << true << "joint_1=0 1 0 0;tool=0 0 2 0";
    QTest::newRow("no joints") << QByteArray(R"({"dh_parameters": {}})") << true << QString();
    QTest::newRow("absent") << QByteArray(R"({"status": 1})") << true << keptText;
    QTest::newRow("not an object") << QByteArray(R"({"dh_parameters": [1, 2]})") << true
                                   << keptText;
    QTest::newRow("top-level array") << QByteArray("[]") << true << keptText;
    QTest::newRow("wrong type: entry not an object")
        << QByteArray(R"({"dh_parameters": {"joint_1": {"a": 1}, "joint_2": 5}})") << false
        << keptText;
    QTest::newRow("wrong type: string field")
        << QByteArray(R"({"dh_parameters": {"joint_1": {"alpha": "90"}}})") << false << keptText;
    QTest::newRow("wrong type: null field")
        << QByteArray(R"({"dh_parameters": {"joint_1": {"alpha": 0, "a": 1, "d": 2,
            "theta_offset": null}}})")
        << false << keptText;
    QTest::newRow("wrong type: line break in the joint name, still one line")
        << QByteArray(R"({"dh_parameters": {"joint\n1": true}})") << false << keptText;
}

void tst_ResultFile::dhParams()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(QString, map);
    const std::string path = write(json);
    common::DHMap read = kept;
    bool result = !ok;
    const QString output = run([&] { result = common::readDHParams(read, path); });
    QCOMPARE(result, ok);
    QCOMPARE(text(read), map);
    QVERIFY2(printedAsExpected(output), qPrintable(output));
}

void tst_ResultFile::productDHParams_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("map");
    const QByteArray link1 = R"("joint_1": {"alpha": 1, "a": 2.5, "d": 3, "theta_offset": 4})";
    QTest::newRow("complete") << R"({"product_result": {"dh_parameters": {)" + link1 + "}}}"
                              << true << "joint_1=1 2.5 3 4";
    QTest::newRow("empty set") << QByteArray(R"({"product_result": {"dh_parameters": {}}})")
                               << true << QString();
    QTest::newRow("one string a")
        << R"({"product_result": {"dh_parameters": {)" + link1
               + R"(, "joint_2": {"alpha": 1, "a": "2", "d": 3, "theta_offset": 4}}}})"
        << false << QString();
    QTest::newRow("first entry incomplete")
        << R"({"product_result": {"dh_parameters": {"joint_0": {"alpha": 1, "a": 2, "d": 3}, )"
               + link1 + "}}}"
        << false << QString();
    QTest::newRow("null field")
        << QByteArray(R"({"product_result": {"dh_parameters": {"j": {"alpha": 1, "a": 2,
            "d": null, "theta_offset": 4}}}})")
        << false << QString();
    QTest::newRow("entry not an object")
        << QByteArray(R"({"product_result": {"dh_parameters": {"joint_1": [1, 2, 3, 4]}}})")
        << false << QString();
    QTest::newRow("no product_result") << R"({"dh_parameters": {)" + link1 + "}}" << false
                                       << keptText;
    QTest::newRow("product_result not an object") << QByteArray(R"({"product_result": 1})")
                                                  << false << keptText;
    QTest::newRow("dh_parameters not an object")
        << QByteArray(R"({"product_result": {"dh_parameters": []}})") << false << keptText;
}

void tst_ResultFile::productDHParams()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(QString, map);
    const std::string path = write(json);
    common::DHMap read = kept;
    bool result = !ok;
    // A missing or incomplete production set is no error of the file: nothing is printed.
    QCOMPARE(run([&] { result = common::readProductDHParams(read, path); }), QString());
    QCOMPARE(result, ok);
    QCOMPARE(text(read), map);
}

void tst_ResultFile::numberLists_data()
{
    QTest::addColumn<QString>("reader");
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("values");
    const QString zero = QStringLiteral("zero points");
    const QString product = QStringLiteral("product zero points");
    const QString errors = QStringLiteral("valid errors");
    const QString threshold = QStringLiteral("threshold");

    QTest::newRow("zero points: numbers only")
        << zero << QByteArray(R"({"zero_points": [1, "x", 2.5, true]})") << true << "1 2.5";
    QTest::newRow("zero points: null, object, negative, unsigned")
        << zero << QByteArray(R"({"zero_points": [null, {}, -0.25, 18446744073709551615]})")
        << true << "-0.25 18446744073709552000";
    QTest::newRow("zero points: empty") << zero << QByteArray(R"({"zero_points": []})") << true
                                        << QString();
    QTest::newRow("zero points: not an array") << zero << QByteArray(R"({"zero_points": 5})")
                                               << false << "-7";
    QTest::newRow("zero points: absent") << zero << QByteArray(R"({"status": 1})") << false
                                         << "-7";
    QTest::newRow("zero points: only the production set")
        << zero << QByteArray(R"({"product_result": {"zero_points": [1]}})") << false << "-7";

    QTest::newRow("product zero points")
        << product << QByteArray(R"({"product_result": {"zero_points": [0.5, null, 1]}})")
        << true << "0.5 1";
    QTest::newRow("product zero points: product_result not an object")
        << product << QByteArray(R"({"product_result": [1], "zero_points": [1]})") << false
        << "-7";
    QTest::newRow("product zero points: absent")
        << product << QByteArray(R"({"product_result": {}, "zero_points": [1]})") << false
        << "-7";

    QTest::newRow("valid errors") << errors
                                  << QByteArray(R"({"avg_valid_position_error": 0.125,
        "max_valid_position_error": 1.9})") << true << "0.125 1.9";
    QTest::newRow("valid errors: only the average, which stays written")
        << errors << QByteArray(R"({"avg_valid_position_error": 3})") << false << "3 -7";
    QTest::newRow("valid errors: only the maximum")
        << errors << QByteArray(R"({"max_valid_position_error": 3})") << false << "-7 -7";
    QTest::newRow("valid errors wrong type: average a string")
        << errors << QByteArray(R"({"avg_valid_position_error": "0.1",
        "max_valid_position_error": 1})") << false << "-7 -7";
    QTest::newRow("valid errors wrong type: maximum null")
        << errors << QByteArray(R"({"avg_valid_position_error": 0.5,
        "max_valid_position_error": null})") << false << "0.5 -7";

    QTest::newRow("threshold: four") << threshold
                                     << QByteArray(R"({"threshold": [0.2, 0.6, 1, 0.5]})")
                                     << true << "0.2 0.6 1 0.5";
    QTest::newRow("threshold: after the fourth ignored, whatever it is")
        << threshold << QByteArray(R"({"threshold": [0.2, 0.6, 1, 0.5, "x", null]})") << true
        << "0.2 0.6 1 0.5";
    QTest::newRow("threshold: three") << threshold << QByteArray(R"({"threshold": [1, 2, 3]})")
                                      << false << "-7 -7 -7 -7";
    QTest::newRow("threshold: not an array")
        << threshold << QByteArray(R"({"threshold": {"0": 1, "1": 1, "2": 1, "3": 1}})")
        << false << "-7 -7 -7 -7";
    QTest::newRow("threshold wrong type: string")
        << threshold << QByteArray(R"({"threshold": [1, 2, "3", 4]})") << false
        << "-7 -7 -7 -7";
    QTest::newRow("threshold wrong type: null last")
        << threshold << QByteArray(R"({"threshold": [1, 2, 3, null]})") << false
        << "-7 -7 -7 -7";
    QTest::newRow("threshold wrong type: boolean")
        << threshold << QByteArray(R"({"threshold": [true, 2, 3, 4]})") << false
        << "-7 -7 -7 -7";
}

void tst_ResultFile::numberLists()
{
    QFETCH(QString, reader);
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(QString, values);
    const std::string path = write(json);
    std::vector<double> read{-7};
    double errors[2] = {-7, -7};
    double limits[4] = {-7, -7, -7, -7};
    bool result = !ok;
    const QString output = run([&] {
        if (reader == QLatin1String("zero points"))
            result = common::readZeroPoints(read, path);
        else if (reader == QLatin1String("product zero points"))
            result = common::readProductZeroPoints(read, path);
        else if (reader == QLatin1String("valid errors"))
            result = common::readValidErrors(errors, path);
        else
            result = common::readQualityThreshold(limits, path);
    });
    if (reader == QLatin1String("valid errors"))
        read.assign(errors, errors + 2);
    else if (reader == QLatin1String("threshold"))
        read.assign(limits, limits + 4);
    QCOMPARE(result, ok);
    QCOMPARE(numbers(read), values);
    QVERIFY2(printedAsExpected(output), qPrintable(output));
}

void tst_ResultFile::isoResults_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("rows");
    QTest::newRow("rows in order, others skipped, missing fields 0 and empty")
        << QByteArray(R"({"iso_results": [
            {"name": "P1", "Accuracy": 0.1, "Repeatability": 0.02, "RMS": 0.3, "StdDev": 0.04},
            7, "P2", null, {"Accuracy": 1.9}]})")
        << true << "P1=0.1 0.02 0.3 0.04;=1.9 0 0 0";
    QTest::newRow("empty") << QByteArray(R"({"iso_results": []})") << true << QString();
    QTest::newRow("not an array") << QByteArray(R"({"iso_results": {"name": "P1"}})") << false
                                  << keptText;
    QTest::newRow("absent") << QByteArray(R"({"status": 1})") << false << keptText;
    QTest::newRow("wrong type: name a number")
        << QByteArray(R"({"iso_results": [{"name": 5, "Accuracy": 0.1}]})") << false << keptText;
    QTest::newRow("wrong type: RMS a string")
        << QByteArray(R"({"iso_results": [{"name": "P1"}, {"name": "P2", "RMS": "0.3"}]})")
        << false << keptText;
    QTest::newRow("wrong type: StdDev null")
        << QByteArray(R"({"iso_results": [{"StdDev": null}]})") << false << keptText;
}

void tst_ResultFile::isoResults()
{
    QFETCH(QByteArray, json);
    QFETCH(bool, ok);
    QFETCH(QString, rows);
    const std::string path = write(json);
    std::vector<common::IsoResult> read{{"kept", 9, 9, 9, 9}};
    bool result = !ok;
    const QString output = run([&] { result = common::readIsoResults(read, path); });
    QCOMPARE(result, ok);
    QCOMPARE(text(read), rows);
    QVERIFY2(printedAsExpected(output), qPrintable(output));
}

void tst_ResultFile::qualityGate_data()
{
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QVector<double>>("initial");
    QTest::addColumn<QVector<double>>("optimized");
    QTest::addColumn<int>("axes");
    // status: avgError maxError, the four limits, maxLengthDelta maxAngleDelta
    QTest::addColumn<QString>("result");

    const QByteArray file = R"({"avg_valid_position_error": 0.1, "max_valid_position_error": 0.3,
        "threshold": [0.2, 0.4, 1.0, 0.5]})";
    // Two joints and the extra link group, whose change never counts.
    const QVector<double> initial{0, 150, 525, 0, -90, 610, 0, 90, 0, 0, 100, 0};
    const double above = std::nextafter(0.5, 1.0);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    QTest::newRow("passes") << file << initial
                            << QVector<double>{0.1, 150.25, 525, 0.25, -90, 610, 0.5, 90} << 2
                            << "0: 0.1 0.3 0.2 0.4 1 0.5 0.5 0.25";
    QTest::newRow("theta change equal to its limit")
        << file << initial << QVector<double>{0, 150, 525, 0, -90, 610, 0, 90.5} << 2
        << "0: 0.1 0.3 0.2 0.4 1 0.5 0 0.5";
    QTest::newRow("theta change larger by the smallest amount")
        << file << initial << QVector<double>{0, 150, 525, -above, -90, 610, 0, 90} << 2
        << "1: 0.1 0.3 0.2 0.4 1 0.5 0 " + number(above);
    QTest::newRow("alpha change too large")
        << file << initial << QVector<double>{0, 150, 525, 0, -90.75, 610, 0, 90} << 2
        << "1: 0.1 0.3 0.2 0.4 1 0.5 0 0.75";
    QTest::newRow("d change equal to its limit, a change too large")
        << file << initial << QVector<double>{0, 151, 524, 0, -90, 608.5, 0, 90} << 2
        << "1: 0.1 0.3 0.2 0.4 1 0.5 1.5 0";
    QTest::newRow("extra link group and further values ignored")
        << file << initial << QVector<double>{0, 150, 525, 0, -90, 610, 0, 90, 50, 50, 50, 50}
        << 2 << "0: 0.1 0.3 0.2 0.4 1 0.5 0 0";
    QTest::newRow("average error too large")
        << QByteArray(R"({"avg_valid_position_error": 0.2000001, "max_valid_position_error": 0.4,
            "threshold": [0.2, 0.4, 1.0, 0.5]})")
        << initial << initial.mid(0, 8) << 2 << "1: 0.2000001 0.4 0.2 0.4 1 0.5 0 0";
    QTest::newRow("maximum error too large")
        << QByteArray(R"({"avg_valid_position_error": 0.2, "max_valid_position_error": 0.41,
            "threshold": [0.2, 0.4, 1.0, 0.5]})")
        << initial << initial.mid(0, 8) << 2 << "1: 0.2 0.41 0.2 0.4 1 0.5 0 0";
    QTest::newRow("three thresholds")
        << QByteArray(R"({"avg_valid_position_error": 0.1, "max_valid_position_error": 0.3,
            "threshold": [0.2, 0.4, 1.0]})")
        << initial << initial.mid(0, 8) << 2 << "2: 0 0 0 0 0 0 0 0";
    QTest::newRow("no maximum error")
        << QByteArray(R"({"avg_valid_position_error": 0.1, "threshold": [0.2, 0.4, 1.0, 0.5]})")
        << initial << initial.mid(0, 8) << 2 << "2: 0 0 0.2 0.4 1 0.5 0 0";
    QTest::newRow("no axes") << file << initial << initial.mid(0, 8) << 0 << "2: 0 0 0 0 0 0 0 0";
    QTest::newRow("negative axes") << file << initial << initial << -3 << "2: 0 0 0 0 0 0 0 0";
    QTest::newRow("optimised set one value short")
        << file << initial << initial.mid(0, 7) << 2 << "2: 0 0 0.2 0.4 1 0.5 0 0";
    QTest::newRow("original set shorter than the axes")
        << file << initial.mid(0, 4) << initial.mid(0, 8) << 2 << "2: 0 0 0.2 0.4 1 0.5 0 0";
    QTest::newRow("NaN in the optimised set")
        << file << initial << QVector<double>{0, 150, 525, 0, -90, nan, 0, 90} << 2
        << "2: 0.1 0.3 0.2 0.4 1 0.5 0 0";
    QTest::newRow("infinity in the original set")
        << file << QVector<double>{inf, 150, 525, 0, -90, 610, 0, 90} << initial.mid(0, 8) << 2
        << "2: 0.1 0.3 0.2 0.4 1 0.5 0 0";
    QTest::newRow("wrong type: threshold element")
        << QByteArray(R"({"avg_valid_position_error": 0.1, "max_valid_position_error": 0.3,
            "threshold": [0.2, "0.4", 1.0, 0.5]})")
        << initial << initial.mid(0, 8) << 2 << "2: 0 0 0 0 0 0 0 0";
    QTest::newRow("wrong type: average error")
        << QByteArray(R"({"avg_valid_position_error": null, "max_valid_position_error": 0.3,
            "threshold": [0.2, 0.4, 1.0, 0.5]})")
        << initial << initial.mid(0, 8) << 2 << "2: 0 0 0.2 0.4 1 0.5 0 0";
    QTest::newRow("not JSON: unterminated")
        << QByteArray("{\"threshold\": [1, 1, 1, 1]") << initial << initial.mid(0, 8) << 2
        << "2: 0 0 0 0 0 0 0 0";
}

void tst_ResultFile::qualityGate()
{
    QFETCH(QByteArray, json);
    QFETCH(QVector<double>, initial);
    QFETCH(QVector<double>, optimized);
    QFETCH(int, axes);
    QFETCH(QString, result);
    const std::string path = write(json);
    common::QualityGateResult gate;
    gate.status = -1;
    const QString output = run([&] {
        gate = common::evaluateQualityGate(path, {initial.begin(), initial.end()},
                                           {optimized.begin(), optimized.end()}, axes);
    });
    QCOMPARE(text(gate), result);
    QVERIFY2(printedAsExpected(output), qPrintable(output));
}

QTEST_GUILESS_MAIN(tst_ResultFile)
#include "tst_resultfile.moc"
