#include <sim/tools/common/xlsxreport.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using sim::XlsxReport;

class tst_XlsxReport : public QObject
{
    Q_OBJECT

private slots:
    void tablesAndChart();
    void refusedSheetNames_data();
    void refusedSheetNames();
    void unwritableTarget();
};

void tst_XlsxReport::tablesAndChart()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("reports/SN-1.xlsx"));
    XlsxReport report(path);
    QVERIFY(report.addTable(QStringLiteral("Pose errors"),
                            {QStringLiteral("pose"), QStringLiteral("before (mm)")},
                            {{1, 0.5}, {2, 0.25}}));
    QVERIFY(report.addChart(QStringLiteral("Pose errors"), QStringLiteral("errors"),
                            XlsxReport::ChartKind::Column, 0, {1}, QStringLiteral("mm")));
    // A chart needs a table with rows.
    QVERIFY(!report.addChart(QStringLiteral("Missing"), QStringLiteral("errors"),
                             XlsxReport::ChartKind::Line, 0, {1}, QStringLiteral("mm")));
    QVERIFY(!QFile::exists(path));
    QString error;
    QVERIFY2(report.close(&error), qPrintable(error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.read(2), QByteArray("PK"));
    // Closed once: later calls change nothing.
    QVERIFY(!report.addTable(QStringLiteral("Late"), {QStringLiteral("x")}, {}));
}

void tst_XlsxReport::refusedSheetNames_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("slash") << "a/b";
    QTest::newRow("bracket") << "a[1]";
    QTest::newRow("longer than 31") << QString(32, QLatin1Char('x'));
    QTest::newRow("twice") << "Summary";
}

void tst_XlsxReport::refusedSheetNames()
{
    QFETCH(QString, name);
    QTemporaryDir dir;
    XlsxReport report(dir.filePath(QStringLiteral("r.xlsx")));
    QVERIFY(report.addTable(QStringLiteral("Summary"), {QStringLiteral("item")}, {{1}}));
    QVERIFY(!report.addTable(name, {QStringLiteral("item")}, {{1}}));
    QString error;
    QVERIFY(report.close(&error));
}

// The target is a folder: the report says it could not be written.
void tst_XlsxReport::unwritableTarget()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("taken.xlsx"));
    QVERIFY(QDir().mkpath(path));
    XlsxReport report(path);
    QVERIFY(report.addTable(QStringLiteral("Summary"), {QStringLiteral("item")}, {{1}}));
    QString error;
    QVERIFY(!report.close(&error));
    QVERIFY2(error.contains(path), qPrintable(error));
}

QTEST_GUILESS_MAIN(tst_XlsxReport)
#include "tst_xlsxreport.moc"
