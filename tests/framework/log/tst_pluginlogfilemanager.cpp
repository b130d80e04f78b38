#include "messagecapture.h"

#include <support/temporarycurrentdir.h>

#include "log/logline.h"
#include "log/pluginlogfilemanager.h"
#include "log/pluginlogfilemanager_p.h"
#include "log/qflog.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSemaphore>
#include <QSet>
#include <QThread>
#include <QtTest>

#include <memory>
#include <vector>

namespace {

constexpr qint64 kMiB = 1024 * 1024;
constexpr qint64 kRollOver = 10 * kMiB;
constexpr qint64 kLimit = 209715200;

const QDate kDay(2026, 1, 4);
const QString kLog = QStringLiteral("log");

tessel::PluginLogFileManager &manager()
{
    return tessel::PluginLogFileManager::instance();
}

// A sparse file of `size` bytes, last modified `age` seconds ago.
bool makeFile(const QString &path, qint64 size, qint64 age = 0)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite) || !file.resize(size))
        return false;
    return file.setFileTime(QDateTime::currentDateTime().addSecs(-age),
                            QFileDevice::FileModificationTime);
}

QString cleanedMessage(const QString &path, qint64 size)
{
    return QStringLiteral("Cleaned old log file: \"%1\" size: %2").arg(path).arg(size);
}

} // namespace

class tst_PluginLogFileManager : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void buildFileName_data();
    void buildFileName();
    void fileChoiceWithExistingFiles_data();
    void fileChoiceWithExistingFiles();
    void dateInFileName_data();
    void dateInFileName();
    void todayWithoutDate();
    void rollsOverOnceCurrentFileReachesLimit();
    void sizeKeys_data();
    void sizeKeys();
    void sizeKeySharedAcrossIndexAndFolder();
    void stemsInTurnKeepTheirOwnFilesAndSizes();
    void lateSizeOfRolledOverFileIsNotCounted();
    void sizesReportedLateStillCountOnce();
    void currentFileSurvivesAndFolderIsNotWalkedPerStatement();
    void cleanupDeletesOldestOnlyWhileOverLimit();
    void rollOverCleansUpWhenOverLimit();
    void threadsLoseNoLineAndTearNone();
    // Last: the full files they leave counted would crowd the clean-up tests.
    void underscoreStemResumesAtItsLastFile();
    void stemWithADotRollsOver();

private:
    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
};

void tst_PluginLogFileManager::initTestCase()
{
    m_dir = std::make_unique<support::TemporaryCurrentDir>();
    QVERIFY(m_dir->isValid());
}

void tst_PluginLogFileManager::buildFileName_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("index");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QString>("name");

    const QString framework = QStringLiteral("./log/tessel");
    const QString plugin = QStringLiteral("./log/tessel/Veltra/Veltra");
    const QString day = QStringLiteral("20260104");
    QTest::newRow("index 0") << framework << day << 0 << kLog
                             << QStringLiteral("./log/tessel_20260104.log");
    QTest::newRow("index 1") << framework << day << 1 << kLog
                             << QStringLiteral("./log/tessel_20260104_1.log");
    QTest::newRow("index 2") << framework << day << 2 << kLog
                             << QStringLiteral("./log/tessel_20260104_2.log");
    QTest::newRow("index 12") << framework << day << 12 << kLog
                              << QStringLiteral("./log/tessel_20260104_12.log");
    QTest::newRow("plug-in") << plugin << QStringLiteral("20261231") << 0 << kLog
                             << QStringLiteral("./log/tessel/Veltra/Veltra_20261231.log");
    QTest::newRow("negative index")
        << framework << day << -1 << kLog << QStringLiteral("./log/tessel_20260104_-1.log");
    QTest::newRow("other extension") << QStringLiteral("x") << day << 3 << QStringLiteral("txt")
                                     << QStringLiteral("x_20260104_3.txt");
}

void tst_PluginLogFileManager::buildFileName()
{
    QFETCH(QString, base);
    QFETCH(QString, date);
    QFETCH(int, index);
    QFETCH(QString, ext);
    QFETCH(QString, name);
    QCOMPARE(tessel::PluginLogFileManager::buildFileName(base, date, index, ext), name);
}

void tst_PluginLogFileManager::fileChoiceWithExistingFiles_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("stem");
    QTest::addColumn<QString>("ext");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QList<qint64>>("sizes");
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<qint64>("counted");

    // Every row has its own stem: the manager counts a stem's files once per process.
    QTest::newRow("highest index in use")
        << QStringLiteral("./log/choice/a") << QStringLiteral("tessel") << kLog
        << QStringList{QStringLiteral("tessel_20260104.log"),
                       QStringLiteral("tessel_20260104_3.log"),
                       QStringLiteral("other_20260104_9.log"),
                       QStringLiteral("tessel_20260104_5.txt")}
        << QList<qint64>{100, 2000, 40, 70} << QStringLiteral("tessel_20260104_3.log")
        << qint64(2100);
    QTest::newRow("full file rolls over")
        << QStringLiteral("./log/choice/b") << QStringLiteral("full") << kLog
        << QStringList{QStringLiteral("full_20260104.log"), QStringLiteral("full_20260104_2.log")}
        << QList<qint64>{5, kRollOver} << QStringLiteral("full_20260104_3.log") << kRollOver + 5;
    QTest::newRow("just under the limit stays")
        << QStringLiteral("./log/choice/c") << QStringLiteral("under") << kLog
        << QStringList{QStringLiteral("under_20260104_1.log")} << QList<qint64>{kRollOver - 1}
        << QStringLiteral("under_20260104_1.log") << kRollOver - 1;
    QTest::newRow("stem holding an underscore resumes at its highest index")
        << QStringLiteral("./log/choice/d") << QStringLiteral("my_plugin") << kLog
        << QStringList{QStringLiteral("my_plugin_20260104.log"),
                       QStringLiteral("my_plugin_20260104_3.log")}
        << QList<qint64>{100, 200} << QStringLiteral("my_plugin_20260104_3.log") << qint64(300);
    QTest::newRow("other days ignored")
        << QStringLiteral("./log/choice/e") << QStringLiteral("days") << kLog
        << QStringList{QStringLiteral("days_20260103_5.log"),
                       QStringLiteral("days_20260105_2.log")}
        << QList<qint64>{10, 20} << QStringLiteral("days_20260104.log") << qint64(30);
    QTest::newRow("numeric, not text, order")
        << QStringLiteral("./log/choice/f") << QStringLiteral("gaps") << kLog
        << QStringList{QStringLiteral("gaps_20260104_1.log"),
                       QStringLiteral("gaps_20260104_7.log"),
                       QStringLiteral("gaps_20260104_12.log")}
        << QList<qint64>{1, 2, 3} << QStringLiteral("gaps_20260104_12.log") << qint64(6);
    // Names the manager never writes are neither resumed nor counted.
    QTest::newRow("no index in the name")
        << QStringLiteral("./log/choice/g") << QStringLiteral("odd") << kLog
        << QStringList{QStringLiteral("odd_20260104_x.log"),
                       QStringLiteral("odd_20260104_2_1.log"),
                       QStringLiteral("odd_20260104_-4.log"),
                       QStringLiteral("odd_20260104_07.log"),
                       QStringLiteral("odd_2026010.log"), QStringLiteral("odd_20260104.log.1")}
        << QList<qint64>{1, 2, 4, 8, 16, 32} << QStringLiteral("odd_20260104.log") << qint64(0);
    QTest::newRow("stem that begins other stems")
        << QStringLiteral("./log/choice/k") << QStringLiteral("mine") << kLog
        << QStringList{QStringLiteral("mine_20260104_1.log"), QStringLiteral("mine_20260101.log"),
                       QStringLiteral("mine_plugin_20260104.log"),
                       QStringLiteral("mine_plugin_20260104_2.log"),
                       QStringLiteral("mine2_20260104_3.log"),
                       QStringLiteral("mine_20260104_x_20260104_4.log")}
        << QList<qint64>{10, 20, 400, 800, 1600, 3200} << QStringLiteral("mine_20260104_1.log")
        << qint64(30);
    QTest::newRow("folder made when missing")
        << QStringLiteral("./log/choice/h/deeper") << QStringLiteral("fresh") << kLog
        << QStringList() << QList<qint64>() << QStringLiteral("fresh_20260104.log") << qint64(0);
    QTest::newRow("own extension")
        << QStringLiteral("./log/choice/i") << QStringLiteral("ext") << QStringLiteral("txt")
        << QStringList{QStringLiteral("ext_20260104_2.txt"), QStringLiteral("ext_20260104_4.log")}
        << QList<qint64>{8, 16} << QStringLiteral("ext_20260104_2.txt") << qint64(8);
    // A plug-in named like "V2.1": the dot is the stem's, not the start of the extension.
    QTest::newRow("stem holding a dot")
        << QStringLiteral("./log/choice/j") << QStringLiteral("R4.5") << kLog
        << QStringList{QStringLiteral("R4.5_20260104.log"), QStringLiteral("R4.5_20260104_2.log"),
                       QStringLiteral("R4.5_20260104_3.txt")}
        << QList<qint64>{100, 200, 400} << QStringLiteral("R4.5_20260104_2.log") << qint64(300);
}

void tst_PluginLogFileManager::fileChoiceWithExistingFiles()
{
    QFETCH(QString, folder);
    QFETCH(QString, stem);
    QFETCH(QString, ext);
    QFETCH(QStringList, files);
    QFETCH(QList<qint64>, sizes);
    QFETCH(QString, chosen);
    QFETCH(qint64, counted);

    for (int i = 0; i < files.size(); ++i)
        QVERIFY(makeFile(folder + QLatin1Char('/') + files.at(i), sizes.at(i)));
    const QString base = folder + QLatin1Char('/') + stem;
    const long long totalBefore = manager().totalSize();

    QCOMPARE(manager().getProperLogFileName(base, ext, kDay), folder + QLatin1Char('/') + chosen);
    QVERIFY(QFileInfo(folder).isDir());
    QCOMPARE(manager().totalSize() - totalBefore, counted);
    // Asked again, nothing changed: the same file, nothing counted twice.
    QCOMPARE(manager().getProperLogFileName(base, ext, kDay), folder + QLatin1Char('/') + chosen);
    QCOMPARE(manager().totalSize() - totalBefore, counted);
}

void tst_PluginLogFileManager::dateInFileName_data()
{
    QTest::addColumn<QString>("stem");
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("name");
    QTest::newRow("January") << QStringLiteral("d1") << QDate(2026, 1, 4)
                             << QStringLiteral("./log/dates/d1_20260104.log");
    QTest::newRow("December") << QStringLiteral("d2") << QDate(2026, 12, 31)
                              << QStringLiteral("./log/dates/d2_20261231.log");
    QTest::newRow("October") << QStringLiteral("d3") << QDate(2030, 10, 9)
                             << QStringLiteral("./log/dates/d3_20301009.log");
    QTest::newRow("leap day") << QStringLiteral("d4") << QDate(2028, 2, 29)
                              << QStringLiteral("./log/dates/d4_20280229.log");
    QTest::newRow("last century") << QStringLiteral("d5") << QDate(1999, 11, 30)
                                  << QStringLiteral("./log/dates/d5_19991130.log");
}

void tst_PluginLogFileManager::dateInFileName()
{
    QFETCH(QString, stem);
    QFETCH(QDate, date);
    QFETCH(QString, name);
    QCOMPARE(manager().getProperLogFileName(QStringLiteral("./log/dates/") + stem, kLog, date),
             name);
}

// Without a date the manager takes today's, as the local clock gives it.
void tst_PluginLogFileManager::todayWithoutDate()
{
    const QString base = QStringLiteral("./log/today/today");
    const QDate before = QDate::currentDate();
    const QString name = manager().getProperLogFileName(base, kLog);
    const QDate after = QDate::currentDate();
    QVERIFY2(name == manager().getProperLogFileName(base, kLog, before)
                 || name == manager().getProperLogFileName(base, kLog, after),
             qPrintable(name));
}

void tst_PluginLogFileManager::rollsOverOnceCurrentFileReachesLimit()
{
    const QString folder = QStringLiteral("./log/roll");
    const QString base = folder + QStringLiteral("/roll");
    const QString first = folder + QStringLiteral("/roll_20260104.log");

    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay), first);
    // A statement reports the size read after its write, whoever else made the file grow; the
    // file is not looked at again per statement.
    QVERIFY(makeFile(first, kRollOver));
    manager().updateFileSize(first, kRollOver - 1);
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay), first);
    manager().updateFileSize(first, kRollOver);
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay),
             folder + QStringLiteral("/roll_20260104_1.log"));
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay),
             folder + QStringLiteral("/roll_20260104_1.log"));
    manager().updateFileSize(folder + QStringLiteral("/roll_20260104_1.log"), kRollOver + 5);
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay),
             folder + QStringLiteral("/roll_20260104_2.log"));

    // Another day of the same stem has its own index.
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay.addDays(1)),
             folder + QStringLiteral("/roll_20260105.log"));

    // A size reported for the current file counts as well, even before the file is there.
    const QString third = folder + QStringLiteral("/roll_20260104_2.log");
    manager().updateFileSize(third, kRollOver);
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay),
             folder + QStringLiteral("/roll_20260104_3.log"));
    manager().updateFileSize(folder + QStringLiteral("/roll_20260104_3.log"), 0);
}

// After a restart, a stem holding "_" takes up the day's last file. The folder's scan counted
// it, so its size reported back unchanged adds nothing.
void tst_PluginLogFileManager::underscoreStemResumesAtItsLastFile()
{
    const QString folder = QStringLiteral("./log/resume/");
    QVERIFY(makeFile(folder + QStringLiteral("re_start_20260104.log"), kRollOver));
    QVERIFY(makeFile(folder + QStringLiteral("re_start_20260104_1.log"), 10));
    const long long before = manager().totalSize();
    const QString current
        = manager().getProperLogFileName(folder + QStringLiteral("re_start"), kLog, kDay);
    QCOMPARE(current, folder + QStringLiteral("re_start_20260104_1.log"));
    manager().updateFileSize(current, 10);
    QCOMPARE(manager().totalSize() - before, kRollOver + 10);
}

// The file names stay as the statement wrote them; the size behind them rolls the file over.
void tst_PluginLogFileManager::stemWithADotRollsOver()
{
    const QString folder = QStringLiteral("./log/dotted");
    const QString base = folder + QStringLiteral("/V2.1");
    const QString first = folder + QStringLiteral("/V2.1_20260104.log");
    const QString second = folder + QStringLiteral("/V2.1_20260104_1.log");
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay), first);
    QVERIFY(makeFile(first, kRollOver));
    manager().updateFileSize(first, kRollOver);
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay), second);
    manager().updateFileSize(second, 10);
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay), second);
    // A next file already filled, by another process say, is passed over.
    QVERIFY(makeFile(folder + QStringLiteral("/V2.1_20260104_2.log"), kRollOver));
    manager().updateFileSize(second, kRollOver);
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay),
             folder + QStringLiteral("/V2.1_20260104_3.log"));
}

void tst_PluginLogFileManager::sizeKeys_data()
{
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<bool>("counted");

    QTest::newRow("stem and date") << QStringLiteral("./log/keys/ka_20260104.log") << true;
    QTest::newRow("with index") << QStringLiteral("./log/keys/kb_20260104_2.log") << true;
    QTest::newRow("underscore stem, with index")
        << QStringLiteral("./log/keys/kc_d_20260104_2.log") << true;
    QTest::newRow("two underscores in stem, with index")
        << QStringLiteral("./log/keys/ke_f_g_20260104_1.log") << true;
    QTest::newRow("date only") << QStringLiteral("./log/keys/_20260104.log") << true;
    QTest::newRow("more dots") << QStringLiteral("./log/keys/kh_20260104.old.log") << true;
    QTest::newRow("no underscore") << QStringLiteral("./log/keys/nodate.log") << false;
    QTest::newRow("seven-digit date") << QStringLiteral("./log/keys/ki_2026014.log") << false;
    QTest::newRow("nine-digit date") << QStringLiteral("./log/keys/kj_202601044_1.log") << false;
    // The last part is the date when it has eight characters, so a stem holding "_" keeps
    // its first file of the day.
    QTest::newRow("underscore stem at index 0")
        << QStringLiteral("./log/keys/kn_o_20260104.log") << true;
    QTest::newRow("no date before the index") << QStringLiteral("./log/keys/km_2_1.log") << false;
    // A plug-in named "V2.1" writes "V2.1_<date>.log": its size counts like any other's.
    QTest::newRow("dot before the date") << QStringLiteral("./log/keys/k.l_20260104.log") << true;
    QTest::newRow("dots before the date, with index")
        << QStringLiteral("./log/keys/k.2.1_20260104_3.log") << true;
}

void tst_PluginLogFileManager::sizeKeys()
{
    QFETCH(QString, fileName);
    QFETCH(bool, counted);

    const long long before = manager().totalSize();
    manager().updateFileSize(fileName, 1000);
    QCOMPARE(manager().totalSize() - before, counted ? 1000LL : 0LL);
    // The same file again: only the growth counts.
    manager().updateFileSize(fileName, 1500);
    QCOMPARE(manager().totalSize() - before, counted ? 1500LL : 0LL);
    manager().updateFileSize(fileName, 0);
    QCOMPARE(manager().totalSize(), before);
}

// The key is the stem's name and the date: folder and index do not enter it.
void tst_PluginLogFileManager::sizeKeySharedAcrossIndexAndFolder()
{
    const long long before = manager().totalSize();
    manager().updateFileSize(QStringLiteral("./log/a/kk_20260104.log"), 100);
    manager().updateFileSize(QStringLiteral("./log/b/kk_20260104_5.log"), 250);
    QCOMPARE(manager().totalSize() - before, 250LL);
    manager().updateFileSize(QStringLiteral("./log/b/kk_20260105_5.log"), 40);
    QCOMPARE(manager().totalSize() - before, 290LL);
    manager().updateFileSize(QStringLiteral("kk_20260104.log"), 0);
    manager().updateFileSize(QStringLiteral("kk_20260105.log"), 0);
    QCOMPARE(manager().totalSize(), before);
}

// Statements of two stems taking turns: each stem keeps its own file, size and roll-over.
void tst_PluginLogFileManager::stemsInTurnKeepTheirOwnFilesAndSizes()
{
    const QString folder = QStringLiteral("./log/turns");
    const QString a = folder + QStringLiteral("/ta");
    const QString b = folder + QStringLiteral("/tb");
    const QString a0 = folder + QStringLiteral("/ta_20260104.log");
    const QString a1 = folder + QStringLiteral("/ta_20260104_1.log");
    const QString b0 = folder + QStringLiteral("/tb_20260104.log");

    const long long before = manager().totalSize();
    for (int turn = 1; turn <= 3; ++turn) {
        QCOMPARE(manager().getProperLogFileName(a, kLog, kDay), a0);
        manager().updateFileSize(a0, 100 * turn);
        QCOMPARE(manager().getProperLogFileName(b, kLog, kDay), b0);
        manager().updateFileSize(b0, 10 * turn);
    }
    QCOMPARE(manager().totalSize() - before, 330LL);

    manager().updateFileSize(a0, kRollOver);
    QCOMPARE(manager().getProperLogFileName(b, kLog, kDay), b0);
    QCOMPARE(manager().getProperLogFileName(a, kLog, kDay), a1);
    QCOMPARE(manager().getProperLogFileName(a, kLog, kDay.addDays(1)),
             folder + QStringLiteral("/ta_20260105.log"));
    QCOMPARE(manager().getProperLogFileName(a, kLog, kDay), a1);
    // A late size of the file left behind is not taken for the new one's, in either order.
    manager().updateFileSize(b0, 40);
    manager().updateFileSize(a0, kRollOver + 100);
    manager().updateFileSize(a1, 5);
    manager().updateFileSize(a0, kRollOver + 200);
    QCOMPARE(manager().totalSize() - before, kRollOver + 40 + 5);

    manager().updateFileSize(a1, 0);
    manager().updateFileSize(b0, 0);
    QCOMPARE(manager().totalSize() - before, kRollOver);
}

// A statement that chose the old file before another one rolled over reports the old file's
// size after the roll-over; that must not be taken as the size of the new file.
void tst_PluginLogFileManager::lateSizeOfRolledOverFileIsNotCounted()
{
    const QString folder = QStringLiteral("./log/late");
    const QString base = folder + QStringLiteral("/late");
    const QString old = folder + QStringLiteral("/late_20260104_3.log");
    QVERIFY(makeFile(old, kRollOver));
    const long long before = manager().totalSize();

    const QString current = manager().getProperLogFileName(base, kLog, kDay);
    QCOMPARE(current, folder + QStringLiteral("/late_20260104_4.log"));
    QCOMPARE(manager().totalSize() - before, kRollOver);

    manager().updateFileSize(old, kRollOver + 80);
    QCOMPARE(manager().totalSize() - before, kRollOver);
    manager().updateFileSize(current, 80);
    QCOMPARE(manager().totalSize() - before, kRollOver + 80);
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay), current);
    manager().updateFileSize(current, 0);
}

// Two statements chose the file and wrote; a third looked at the file before either reported.
// Every byte still counts once.
void tst_PluginLogFileManager::sizesReportedLateStillCountOnce()
{
    const QString folder = QStringLiteral("./log/overlap");
    const QString base = folder + QStringLiteral("/overlap");
    const long long before = manager().totalSize();
    const QString current = manager().getProperLogFileName(base, kLog, kDay);
    QVERIFY(makeFile(current, 200)); // both lines written
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay), current);
    manager().updateFileSize(current, 100);
    manager().updateFileSize(current, 200);
    QCOMPARE(manager().totalSize() - before, 200LL);
    // Reported out of order: the earlier size comes last.
    QVERIFY(makeFile(current, 400));
    QCOMPARE(manager().getProperLogFileName(base, kLog, kDay), current);
    manager().updateFileSize(current, 400);
    manager().updateFileSize(current, 300);
    QCOMPARE(manager().totalSize() - before, 300LL);
    QVERIFY(makeFile(current, 500));
    manager().updateFileSize(current, 500);
    QCOMPARE(manager().totalSize() - before, 500LL);
    manager().updateFileSize(current, 0);
}

// The total counts stems of every folder, the walk sees one folder: when only the file being
// written is left there, it stays, and the folder is walked again only once the total moved by a
// roll-over's worth, not for every statement.
void tst_PluginLogFileManager::currentFileSurvivesAndFolderIsNotWalkedPerStatement()
{
    const QString elsewhere = QStringLiteral("./log/elsewhere/far_20251201.log"); // not on disk
    const QString folder = QStringLiteral("./log/kept");
    const long long before = manager().totalSize();
    const QString current
        = manager().getProperLogFileName(folder + QStringLiteral("/kept"), kLog, kDay);
    QVERIFY(makeFile(current, 1000, 100 * 24 * 3600));
    QVERIFY(makeFile(folder + QStringLiteral("/older_20251201.log"), 500, 200 * 24 * 3600));
    manager().updateFileSize(elsewhere, kLimit - before);

    MessageCapture capture;
    const int walks = tessel::logCleanupWalkCount();
    manager().updateFileSize(current, 1000);
    QCOMPARE(tessel::logCleanupWalkCount(), walks + 1);
    QCOMPARE(capture.texts(),
             QStringList{cleanedMessage(folder + QStringLiteral("/older_20251201.log"), 500)});
    QVERIFY(QFileInfo::exists(current));

    for (int line = 1; line <= 100; ++line) {
        manager().updateFileSize(current, 1000 + line * 100);
        QCOMPARE(manager().getProperLogFileName(folder + QStringLiteral("/kept"), kLog, kDay),
                 current);
    }
    QCOMPARE(tessel::logCleanupWalkCount(), walks + 1);
    manager().updateFileSize(current, 1000 + kRollOver);
    QCOMPARE(tessel::logCleanupWalkCount(), walks + 2);
    QVERIFY(QFileInfo::exists(current));
    QCOMPARE(capture.texts().size(), 1);

    // Give back what this test reported, for the tests after it.
    manager().updateFileSize(current, 0);
    manager().updateFileSize(elsewhere, 0);
    QCOMPARE(manager().totalSize(), before - 500);
}

void tst_PluginLogFileManager::cleanupDeletesOldestOnlyWhileOverLimit()
{
    const QString folder = QStringLiteral("./log/cleanup");
    const qint64 day = 24 * 3600;
    const QString oldest = folder + QStringLiteral("/sub/old.log");
    const QString older = folder + QStringLiteral("/clean_20251230.log");
    const QString newer = folder + QStringLiteral("/clean_20251231.log");
    const QString newest = folder + QStringLiteral("/clean_20260101.log");
    const QString notLog = folder + QStringLiteral("/notes.txt");
    QVERIFY(makeFile(oldest, 40 * kMiB, 10 * day)); // other stem, in a subfolder: not counted
    QVERIFY(makeFile(older, 40 * kMiB, 5 * day));
    QVERIFY(makeFile(newer, 40 * kMiB, 4 * day));
    QVERIFY(makeFile(newest, 40 * kMiB, 3 * day));
    QVERIFY(makeFile(notLog, kMiB, 20 * day));

    const long long before = manager().totalSize();
    const QString current
        = manager().getProperLogFileName(folder + QStringLiteral("/clean"), kLog, kDay);
    QCOMPARE(current, folder + QStringLiteral("/clean_20260104.log"));
    QCOMPARE(manager().totalSize() - before, 120 * kMiB);
    const qint64 toLimit = kLimit - manager().totalSize();
    QVERIFY2(toLimit > 0, "earlier tests left too much counted");

    MessageCapture capture;
    // Exactly at the limit: nothing goes.
    manager().updateFileSize(current, toLimit);
    QCOMPARE(manager().totalSize(), kLimit);
    QVERIFY(capture.texts().isEmpty());
    for (const QString &file : {oldest, older, newer, newest, notLog})
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));

    // One byte over: the oldest log file goes, wherever it lies below the folder.
    manager().updateFileSize(current, toLimit + 1);
    QCOMPARE(capture.texts(), QStringList{cleanedMessage(oldest, 40 * kMiB)});
    QCOMPARE(manager().totalSize(), kLimit + 1 - 40 * kMiB);
    QVERIFY(!QFileInfo::exists(oldest));
    for (const QString &file : {older, newer, newest, notLog})
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));

    // Over again: the next oldest, and only it.
    manager().updateFileSize(current, toLimit + 40 * kMiB + 2);
    QCOMPARE(capture.texts(),
             (QStringList{cleanedMessage(oldest, 40 * kMiB), cleanedMessage(older, 40 * kMiB)}));
    QCOMPARE(manager().totalSize(), kLimit + 2 - 40 * kMiB);
    QVERIFY(!QFileInfo::exists(older));
    for (const QString &file : {newer, newest, notLog})
        QVERIFY2(QFileInfo::exists(file), qPrintable(file));

    // Give back what this test reported, for the tests after it.
    manager().updateFileSize(current, 0);
    QCOMPARE(manager().totalSize(), before + 40 * kMiB);
}

void tst_PluginLogFileManager::rollOverCleansUpWhenOverLimit()
{
    const QString folder = QStringLiteral("./log/rollclean");
    const qint64 day = 24 * 3600;
    const qint64 over = kLimit - manager().totalSize() - kRollOver + 1;
    QVERIFY2(over > 0, "earlier tests left too much counted");
    const QString old = folder + QStringLiteral("/rc_20251201.log");
    QVERIFY(makeFile(old, over, 30 * day));
    QVERIFY(makeFile(folder + QStringLiteral("/rc_20260104.log"), kRollOver));

    MessageCapture capture;
    QCOMPARE(manager().getProperLogFileName(folder + QStringLiteral("/rc"), kLog, kDay),
             folder + QStringLiteral("/rc_20260104_1.log"));
    QCOMPARE(capture.texts(), QStringList{cleanedMessage(old, over)});
    QVERIFY(!QFileInfo::exists(old));
    QVERIFY(QFileInfo::exists(folder + QStringLiteral("/rc_20260104.log")));
    QCOMPARE(manager().totalSize(), kLimit + 1 - over);
}

void tst_PluginLogFileManager::threadsLoseNoLineAndTearNone()
{
    const int threadCount = 8;
    const int linesPerThread = 600;
    const QString folder = QStringLiteral("./log/threads");
    const QString base = folder + QStringLiteral("/threads");
    const QString padding(100, QLatin1Char('x'));

    // The first file is nearly full, so the statements roll over while they run.
    const QString first = manager().getProperLogFileName(base, kLog);
    const qint64 start = kRollOver - 200 * 1024;
    QVERIFY(makeFile(first, start));
    const long long before = manager().totalSize();

    MessageCapture capture;
    QSemaphore go;
    std::vector<std::unique_ptr<QThread>> threads;
    for (int t = 0; t < threadCount; ++t) {
        threads.emplace_back(QThread::create([&, t] {
            go.acquire();
            for (int i = 0; i < linesPerThread; ++i) {
                tessel::QFLog(tessel::logColour(tessel::LogKind::Info),
                              tessel::logTag(tessel::LogKind::Info), QString(), base, kLog)
                    << QStringLiteral("T%1-%2-").arg(t).arg(i) << padding;
            }
        }));
        threads.back()->start();
    }
    go.release(threadCount);
    for (const auto &thread : threads)
        QVERIFY(thread->wait(30000));

    QByteArray written;
    const QStringList names
        = QDir(folder).entryList({QStringLiteral("threads*.log")}, QDir::Files, QDir::Name);
    QVERIFY2(names.contains(QFileInfo(first).fileName()) && names.size() >= 2,
             qPrintable(names.join(QLatin1Char(' '))));
    for (const QString &name : names) {
        QFile file(QDir(folder).filePath(name));
        QVERIFY(file.open(QIODevice::ReadOnly));
        if (file.fileName() == first)
            QVERIFY(file.seek(start));
        written += file.readAll();
    }

    const QRegularExpression filePattern(QStringLiteral(
        "^\\[I\\|\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\]T(\\d+)-(\\d+)-x{100}$"));
    QSet<QString> seen;
    const QList<QByteArray> lines = written.split('\n');
    QCOMPARE(lines.last(), QByteArray()); // every line ended
    for (int i = 0; i < lines.size() - 1; ++i) {
        const QString line = QString::fromLocal8Bit(lines.at(i));
        const QRegularExpressionMatch match = filePattern.match(line);
        QVERIFY2(match.hasMatch(), qPrintable(line.left(200)));
        const QString id = match.captured(1) + QLatin1Char('-') + match.captured(2);
        QVERIFY2(!seen.contains(id), qPrintable(id));
        seen.insert(id);
    }
    QCOMPARE(seen.size(), threadCount * linesPerThread);

    const QStringList console = capture.texts();
    QCOMPARE(console.size(), threadCount * linesPerThread);
    const QRegularExpression consolePattern(
        QStringLiteral("^\x1b\\[36m\\[I\\|[^\\]]{18}\\]T\\d+-\\d+-x{100}\x1b\\[0m$"));
    for (const QString &line : console)
        QVERIFY2(consolePattern.match(line).hasMatch(), qPrintable(line.left(200)));

    // The whole of both files counts (the first one's earlier bytes with its first report),
    // less at most the lines whose reports came in after a later one: never more, since a late
    // report for the file rolled over from is not taken for the size of the next one.
    const long long counted = manager().totalSize() - before;
    const long long onDisk = start + written.size();
    QVERIFY2(counted <= onDisk && counted >= onDisk - written.size() / 10,
             qPrintable(QStringLiteral("%1 counted, %2 on disk").arg(counted).arg(onDisk)));
}

QTEST_GUILESS_MAIN(tst_PluginLogFileManager)
#include "tst_pluginlogfilemanager.moc"
