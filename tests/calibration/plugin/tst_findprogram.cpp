#include "plugin/findprogram.h"

#include <calibration/veltratesthelpers.h>
#include <support/temporarycurrentdir.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// Program discovery in the external programs' folders.
class tst_FindProgram : public QObject
{
    Q_OBJECT

private slots:
    void folderMissingOrUnnamed();
    void matches_data();
    void matches();
    void symbolicLinksAreNotCounted();
};

void tst_FindProgram::folderMissingOrUnnamed()
{
    // An empty folder name must not fall back to the current directory, which holds a match.
    support::TemporaryCurrentDir current;
    QVERIFY(current.isValid());
    QVERIFY(veltratest::writeFile(current.filePath(QStringLiteral("collectCalibPoses.exe")), QByteArray()));

    for (const QString &folder : {QString(), current.filePath(QStringLiteral("absent"))}) {
        const ProgramMatch match = findProgram(folder, QStringLiteral("collectCalibPoses"));
        QCOMPARE(match.count, 0);
        QCOMPARE(match.path, QString());
    }
}

void tst_FindProgram::matches_data()
{
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QStringList>("folders");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("found"); // name of the one match, empty when none is chosen

    QTest::newRow("empty folder") << QStringList() << QStringList() << 0 << QString();
    QTest::newRow("none matches")
        << QStringList{QStringLiteral("collectCalibPoses.bat"),
                       QStringLiteral("collectCalibPoses.exe.bak"), QStringLiteral("calib.exe"),
                       QStringLiteral("collect_calib_poses.exe")}
        << QStringList() << 0 << QString();
    QTest::newRow("one, any case, word inside the name")
        << QStringList{QStringLiteral("v2_COLLECTcalibPOSES-1.2.EXE"),
                       QStringLiteral("readme.txt")}
        << QStringList() << 1 << QStringLiteral("v2_COLLECTcalibPOSES-1.2.EXE");
    QTest::newRow("two")
        << QStringList{QStringLiteral("collectCalibPoses-1.0.exe"),
                       QStringLiteral("collectCalibPoses-1.1.exe")}
        << QStringList() << 2 << QString();
    QTest::newRow("a folder named like a match")
        << QStringList{QStringLiteral("collectCalibPoses-1.0.exe")}
        << QStringList{QStringLiteral("collectCalibPoses-old.exe")} << 1
        << QStringLiteral("collectCalibPoses-1.0.exe");
}

void tst_FindProgram::matches()
{
    QFETCH(QStringList, files);
    QFETCH(QStringList, folders);
    QFETCH(int, count);
    QFETCH(QString, found);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    for (const QString &name : files)
        QVERIFY(veltratest::writeFile(dir.filePath(name), QByteArray()));
    for (const QString &name : folders)
        QVERIFY(QDir(dir.path()).mkdir(name));

    const ProgramMatch match = findProgram(dir.path(), QStringLiteral("collectCalibPoses"));
    QCOMPARE(match.count, count);
    QCOMPARE(match.path, found.isEmpty() ? QString() : QDir(dir.path()).absoluteFilePath(found));
    if (!found.isEmpty())
        QVERIFY(QDir::isAbsolutePath(match.path));
}

void tst_FindProgram::symbolicLinksAreNotCounted()
{
#ifdef Q_OS_WIN
    QSKIP("Making symbolic links needs extra rights on Windows.");
#else
    QTemporaryDir dir;
    QTemporaryDir elsewhere;
    QVERIFY(dir.isValid() && elsewhere.isValid());
    const QString real = dir.filePath(QStringLiteral("collectCalibPoses-1.0.exe"));
    const QString outside = elsewhere.filePath(QStringLiteral("collectCalibPoses-2.0.exe"));
    QVERIFY(veltratest::writeFile(real, QByteArray()));
    QVERIFY(veltratest::writeFile(outside, QByteArray()));
    QVERIFY(QFile::link(real, dir.filePath(QStringLiteral("collectCalibPoses-link.exe"))));
    QVERIFY(QFile::link(outside, dir.filePath(QStringLiteral("collectCalibPoses-2.0.exe"))));

    const ProgramMatch match = findProgram(dir.path(), QStringLiteral("collectCalibPoses"));
    QCOMPARE(match.count, 1);
    QCOMPARE(match.path, real);
#endif
}

QTEST_GUILESS_MAIN(tst_FindProgram)
#include "tst_findprogram.moc"
