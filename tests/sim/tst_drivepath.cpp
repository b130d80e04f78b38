#include <sim/paths/drivepath.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// Drive paths on a machine without drives: both separators name the same folder below the root.
class tst_DrivePath : public QObject
{
    Q_OBJECT

private slots:
    void mapBelow_data();
    void mapBelow();
    void reportCopierFollowsTheRule_data();
    void reportCopierFollowsTheRule();
};

void tst_DrivePath::mapBelow_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("mapped");

    const QString root = QStringLiteral("/home/pendant");
    QTest::newRow("work folder") << QStringLiteral("D:/VeltraPemba")
                                 << root + QStringLiteral("/D:/VeltraPemba");
    QTest::newRow("report folder, backslash") << QStringLiteral("D:\\VeltraReport")
                                              << root + QStringLiteral("/D:/VeltraReport");
    QTest::newRow("report folder, slash") << QStringLiteral("D:/VeltraReport")
                                          << root + QStringLiteral("/D:/VeltraReport");
    QTest::newRow("mixed, doubled, trailing") << QStringLiteral("d:\\a//b\\")
                                              << root + QStringLiteral("/d:/a/b");
    QTest::newRow("drive alone") << QStringLiteral("E:") << root + QStringLiteral("/E:");
    QTest::newRow("drive top") << QStringLiteral("E:\\") << root + QStringLiteral("/E:");
    QTest::newRow("dot-dot stops at the drive's top")
        << QStringLiteral("D:\\..\\..\\etc\\passwd") << root + QStringLiteral("/D:/etc/passwd");
    QTest::newRow("absolute path stays") << QStringLiteral("/tmp/report")
                                         << QStringLiteral("/tmp/report");
    QTest::newRow("relative path stays") << QStringLiteral("log/a.log")
                                         << QStringLiteral("log/a.log");
    QTest::newRow("colon later stays") << QStringLiteral("ab:/x") << QStringLiteral("ab:/x");
    QTest::newRow("drive-relative stays") << QStringLiteral("D:x") << QStringLiteral("D:x");
    QTest::newRow("not a letter") << QStringLiteral("1:/x") << QStringLiteral("1:/x");
}

void tst_DrivePath::mapBelow()
{
    QFETCH(QString, path);
    QFETCH(QString, mapped);
    QCOMPARE(sim::DrivePath::mapBelow(path, QStringLiteral("/home/pendant")), mapped);
#ifndef Q_OS_WIN
    QCOMPARE(sim::DrivePath::toLocal(path, QStringLiteral("/home/pendant")), mapped);
#else
    QCOMPARE(sim::DrivePath::toLocal(path, QStringLiteral("/home/pendant")), path);
#endif
}

void tst_DrivePath::reportCopierFollowsTheRule_data()
{
    QTest::addColumn<QByteArray>("savePath"); // as the request file spells it in JSON

    QTest::newRow("backslash") << QByteArray("D:\\\\VeltraReport");
    QTest::newRow("slash") << QByteArray("D:/VeltraReport");
}

// The ISO result copier runs in the emulator's home and makes the report folder there.
void tst_DrivePath::reportCopierFollowsTheRule()
{
    QFETCH(QByteArray, savePath);
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString work = sim::DrivePath::mapBelow(QStringLiteral("D:/VeltraPemba"), home.path());
    QVERIFY(QDir().mkpath(work));
    QFile request(QDir(work).filePath(QStringLiteral("calibInfo.json")));
    QVERIFY(request.open(QIODevice::WriteOnly));
    QByteArray poses;
    for (int k = 1; k <= 5; ++k)
        poses += QByteArray(k > 1 ? ", " : "") + "\"point" + QByteArray::number(k)
                 + "\": [400, 0, 400, 180, 0, 180]";
    request.write("{\n    \"iso_config\": {\n        \"save_path\": \"" + savePath
                  + "\",\n        \"iso_poses\": {" + poses + "}\n    }\n}\n");
    request.close();
    // The copier saves an ISO run's report; only its presence matters here.
    QVERIFY(QDir(work).mkpath(QStringLiteral("results/iso_results")));
    QFile report(QDir(work).filePath(QStringLiteral("results/iso_results/iso_report.xlsx")));
    QVERIFY(report.open(QIODevice::WriteOnly));
    report.close();

    QProcess copier;
    copier.setWorkingDirectory(home.path());
    copier.start(QStringLiteral(COPY_RESULTS_PROGRAM),
                 {QStringLiteral("--path"), QStringLiteral("D:/VeltraPemba")});
    QVERIFY(copier.waitForFinished(10000));
    QCOMPARE(copier.exitCode(), 0);

    const QString reports =
        sim::DrivePath::mapBelow(QStringLiteral("D:\\VeltraReport"), home.path());
    const QStringList made =
        QDir(reports).entryList({QStringLiteral("iso_report_*")}, QDir::Dirs);
    QCOMPARE(made.size(), 1);
    QVERIFY(QFileInfo::exists(
        QDir(reports).filePath(made.constFirst() + QStringLiteral("/calibInfo.json"))));
    // No folder whose name holds the separator.
    QCOMPARE(QDir(home.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot),
             QStringList{QStringLiteral("D:")});
}

QTEST_GUILESS_MAIN(tst_DrivePath)
#include "tst_drivepath.moc"
