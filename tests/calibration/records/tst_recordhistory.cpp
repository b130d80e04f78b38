#include "records/recordcsv.h"
#include "records/recordhistory.h"

#include <support/filesizelimit.h>
#include <support/temporarycurrentdir.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

#include <cmath>
#include <memory>

namespace {

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(bytes) == bytes.size();
}

CalibrationRecord makeRecord(int n, const QString &serial = QStringLiteral("SN-1"))
{
    CalibrationRecord r;
    r.time = QDateTime(QDate(2026, 1, 1), QTime(8, 0)).addSecs(60 * n);
    r.serialNumber = serial;
    r.robotModel = QStringLiteral("SR6-900");
    r.robotId = QStringLiteral("R1");
    r.mode = QStringLiteral("normal");
    for (int i = 0; i < 28; ++i) {
        r.dhBefore.append(i * 1.5);
        r.dhAfter.append(i * 1.5 + (i % 4 == 1 ? 0.01 * n : 0.0));
    }
    r.zeroBefore = {0.1, 0.2, 0.3, 0.4, 0.5, std::nan("")};
    r.zeroAfter = {0.11, 0.2, 0.3, 0.4, 0.5, 0.6};
    r.avgError = 0.05;
    r.maxError = 0.12 + n;
    r.heldParameters = QStringList{QStringLiteral("link2.d"), QStringLiteral("joint6.zero")};
    return r;
}

int recordsInFile(const QString &path)
{
    return QJsonDocument::fromJson(readFile(path)).object().value("records").toArray().size();
}

} // namespace

class tst_RecordHistory : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void recordRoundTrip();
    void restorability_data();
    void restorability();
    void appendAndReopen();
    void isoFigures();
    void memoryOnlyUntilAFolderComes();
    void capMovesOldestIntoArchive();
    void blockedArchiveLosesNothing();
    void fullDiskLosesNothing();
    void failedSavesArchiveEachRecordOnce();
    void laterFormatIsLeftAlone();
    void unwritableFolderLosesNothing();
    void damagedFileIsSetAside_data();
    void damagedFileIsSetAside();
    void csv();

private:
    // The plug-in's log goes below the current folder.
    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
};

void tst_RecordHistory::initTestCase()
{
    m_dir.reset(new support::TemporaryCurrentDir);
    QVERIFY(m_dir->isValid());
}

void tst_RecordHistory::recordRoundTrip()
{
    CalibrationRecord r = makeRecord(3);
    r.method = CalibrationRecord::Method::Restore;
    r.failedStep = QStringLiteral("REBOOT");
    r.restoredFrom = makeRecord(1).time;
    const QJsonObject json = r.toJson();
    QCOMPARE(json.value("outcome").toString(), QStringLiteral("partial"));
    QVERIFY(json.value("zero_points_before").toArray().at(5).isNull());
    QVERIFY(json.value("iso_ap_before").isNull());

    CalibrationRecord back;
    QString error;
    QVERIFY2(CalibrationRecord::fromJson(json, &back, &error), qPrintable(error));
    QCOMPARE(back.time, r.time);
    QCOMPARE(back.method, CalibrationRecord::Method::Restore);
    QCOMPARE(back.failedStep, QStringLiteral("REBOOT"));
    QCOMPARE(back.dhAfter, r.dhAfter);
    QCOMPARE(back.zeroBefore.size(), 6);
    QVERIFY(std::isnan(back.zeroBefore.at(5)));
    QCOMPARE(back.zeroAfter, r.zeroAfter);
    QCOMPARE(back.maxError, r.maxError);
    QVERIFY(std::isnan(back.isoApAfter));
    QCOMPARE(back.heldParameters, r.heldParameters);
    QCOMPARE(back.restoredFrom, r.restoredFrom);

    // A partial record that lost its step still reads as partial; a number that is text or an
    // unknown method is damage, not a default.
    QJsonObject noStep = json;
    noStep.insert("failed_step", "");
    QVERIFY(CalibrationRecord::fromJson(noStep, &back, &error));
    QVERIFY(!back.isComplete());
    QJsonObject text = json;
    text.insert("dh_before", QJsonArray{1.0, "2"});
    QVERIFY(!CalibrationRecord::fromJson(text, &back, &error));
    QJsonObject method = json;
    method.insert("applied_by", "magic");
    QVERIFY(!CalibrationRecord::fromJson(method, &back, &error));
    QJsonObject noTime = json;
    noTime.remove("time");
    QVERIFY(!CalibrationRecord::fromJson(noTime, &back, &error));
}

void tst_RecordHistory::restorability_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<bool>("unknownZero");
    QTest::addColumn<bool>("emptyBefore");
    QTest::addColumn<bool>("unknownDh");
    QTest::addColumn<int>("block");
    QTest::newRow("normal, all known") << "normal" << false << false << false
                                       << int(CalibrationRecord::RestoreBlock::None);
    QTest::newRow("a zero unknown") << "normal" << true << false << false
                                    << int(CalibrationRecord::RestoreBlock::ZeroUnknown);
    QTest::newRow("production") << "product" << false << false << false
                                << int(CalibrationRecord::RestoreBlock::ProductionMode);
    QTest::newRow("nothing before") << "normal" << false << true << false
                                    << int(CalibrationRecord::RestoreBlock::NoBeforeValues);
    QTest::newRow("a DH value unknown (null in the file)")
        << "normal" << false << false << true
        << int(CalibrationRecord::RestoreBlock::NoBeforeValues);
}

void tst_RecordHistory::restorability()
{
    QFETCH(QString, mode);
    QFETCH(bool, unknownZero);
    QFETCH(bool, emptyBefore);
    QFETCH(bool, unknownDh);
    QFETCH(int, block);
    CalibrationRecord r = makeRecord(1);
    r.mode = mode;
    r.zeroBefore[5] = unknownZero ? std::nan("") : 0.6;
    if (emptyBefore)
        r.zeroBefore.clear();
    if (unknownDh) {
        QJsonObject json = r.toJson();
        QJsonArray dh = json.value("dh_before").toArray();
        dh[9] = QJsonValue::Null;
        json.insert("dh_before", dh);
        QString error;
        QVERIFY2(CalibrationRecord::fromJson(json, &r, &error), qPrintable(error));
    }
    QCOMPARE(int(r.restoreBlock()), block);
}

void tst_RecordHistory::appendAndReopen()
{
    QTemporaryDir dir;
    RecordHistory history;
    history.open(dir.filePath("data"));
    QSignalSpy changed(&history, &RecordHistory::changed);
    QVERIFY(history.append(makeRecord(1)));
    QVERIFY(history.append(makeRecord(2)));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(history.unsavedCount(), 0);
    QCOMPARE(history.problem(), RecordHistory::Problem::None);

    RecordHistory again;
    again.open(dir.filePath("data"));
    QCOMPARE(again.records().size(), 2);
    QCOMPARE(again.records().at(1).maxError, makeRecord(2).maxError);
    QCOMPARE(again.records().at(1).dhAfter, makeRecord(2).dhAfter);
    // Nothing but the history itself: no temporary left behind.
    QCOMPARE(QDir(dir.filePath("data")).entryList(QDir::Files | QDir::Hidden),
             QStringList{RecordHistory::kFileName});
}

void tst_RecordHistory::isoFigures()
{
    QTemporaryDir dir;
    RecordHistory history;
    history.open(dir.path());
    const QDateTime t0 = makeRecord(0).time;
    history.noteIsoReport("SN-1", 0.80, t0.addSecs(-120));
    history.noteIsoReport("SN-1", 0.70, t0.addSecs(-60)); // the latest before counts
    history.noteIsoReport("SN-2", 9.00, t0.addSecs(-30)); // another robot does not
    history.append(makeRecord(1));
    history.append(makeRecord(2, "SN-2"));
    QCOMPARE(history.records().at(0).isoApBefore, 0.70);
    QCOMPARE(history.records().at(1).isoApBefore, 9.00);
    QVERIFY(std::isnan(history.records().at(0).isoApAfter));

    history.noteIsoReport("SN-1", 0.20, t0.addSecs(600));
    history.noteIsoReport("SN-1", 0.30, t0.addSecs(700)); // only the first after counts
    QCOMPARE(history.records().at(0).isoApAfter, 0.20);
    QVERIFY(std::isnan(history.records().at(1).isoApAfter));

    RecordHistory again;
    again.open(dir.path());
    QCOMPARE(again.records().at(0).isoApAfter, 0.20);
    // The reports are kept too: a record made now finds the latest of them.
    again.append(makeRecord(30));
    QCOMPARE(again.records().last().isoApBefore, 0.30);
    // Two writes before a report: it is the figure of the second's robot only.
    again.append(makeRecord(31));
    again.noteIsoReport("SN-1", 0.50, t0.addSecs(60 * 32));
    QVERIFY(std::isnan(again.records().at(again.records().size() - 2).isoApAfter));
    QCOMPARE(again.records().last().isoApAfter, 0.50);
}

// Without a data folder the records stay in memory; a folder given later takes them all.
void tst_RecordHistory::memoryOnlyUntilAFolderComes()
{
    RecordHistory history;
    history.open(QString());
    history.noteIsoReport("SN-1", 0.80, makeRecord(0).time);
    QVERIFY(!history.append(makeRecord(1)));
    QVERIFY(!history.append(makeRecord(2)));
    history.open(QString());
    QCOMPARE(history.records().size(), 2);
    QCOMPARE(history.unsavedCount(), 2);

    QTemporaryDir dir;
    history.open(dir.path());
    QCOMPARE(history.unsavedCount(), 0);
    RecordHistory again;
    again.open(dir.path());
    QCOMPARE(again.records().size(), 2);
    QCOMPARE(again.records().at(1).maxError, makeRecord(2).maxError);
    QCOMPARE(again.records().at(0).isoApBefore, 0.80);
}

void tst_RecordHistory::capMovesOldestIntoArchive()
{
    QTemporaryDir dir;
    RecordHistory history;
    history.open(dir.path());
    const int total = RecordHistory::kMaxRecords + 5;
    for (int i = 0; i < total; ++i)
        QVERIFY(history.append(makeRecord(i)));
    QCOMPARE(history.records().size(), RecordHistory::kMaxRecords);
    QCOMPARE(history.records().first().time, makeRecord(5).time);
    QCOMPARE(recordsInFile(dir.filePath(RecordHistory::kFileName)), RecordHistory::kMaxRecords);
    const QString archive =
        dir.filePath(RecordHistory::archiveName(QDate::currentDate()));
    const QJsonArray archived =
        QJsonDocument::fromJson(readFile(archive)).object().value("records").toArray();
    QCOMPARE(archived.size(), 5);
    for (int i = 0; i < 5; ++i) {
        QCOMPARE(archived.at(i).toObject().value("time").toString(),
                 makeRecord(i).time.toString(Qt::ISODateWithMs));
    }
}

void tst_RecordHistory::blockedArchiveLosesNothing()
{
    QTemporaryDir dir;
    RecordHistory history;
    history.open(dir.path());
    for (int i = 0; i < RecordHistory::kMaxRecords; ++i)
        QVERIFY(history.append(makeRecord(i)));
    // Something that is not an archive occupies the name: it is left alone, and the history
    // keeps the record it could not move.
    const QString archive = dir.filePath(RecordHistory::archiveName(QDate::currentDate()));
    QVERIFY(writeFile(archive, "not an archive"));
    QVERIFY(history.append(makeRecord(500)));
    QCOMPARE(readFile(archive), QByteArray("not an archive"));
    QCOMPARE(recordsInFile(dir.filePath(RecordHistory::kFileName)),
             RecordHistory::kMaxRecords + 1);
}

void tst_RecordHistory::fullDiskLosesNothing()
{
#ifdef Q_OS_WIN
    QSKIP("no file size limit on Windows");
#else
    QTemporaryDir dir;
    RecordHistory history;
    history.open(dir.path());
    QVERIFY(history.append(makeRecord(1)));
    const QString path = dir.filePath(RecordHistory::kFileName);
    const QByteArray before = readFile(path);
    bool saved = true;
    bool limitSet = false;
    {
        support::FileSizeLimit limit(before.size() / 2);
        limitSet = limit.isActive();
        saved = history.append(makeRecord(2));
    }
    QVERIFY(limitSet);
    QVERIFY(!saved);
    QCOMPARE(readFile(path), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList{RecordHistory::kFileName});
    QCOMPARE(history.problem(), RecordHistory::Problem::WriteFailed);
    QCOMPARE(history.unsavedCount(), 1);
    QCOMPARE(history.records().size(), 2);

    // With room again, the next change writes both.
    QVERIFY(history.append(makeRecord(3)));
    QCOMPARE(history.problem(), RecordHistory::Problem::None);
    QCOMPARE(recordsInFile(path), 3);
#endif
}

// The archive fits on a nearly full disk where the history does not: each record goes into the
// archive once, however often the history's write fails after it.
void tst_RecordHistory::failedSavesArchiveEachRecordOnce()
{
#ifdef Q_OS_WIN
    QSKIP("no file size limit on Windows");
#else
    QTemporaryDir dir;
    RecordHistory history;
    history.open(dir.path());
    for (int i = 0; i < RecordHistory::kMaxRecords; ++i)
        QVERIFY(history.append(makeRecord(i)));
    const QString path = dir.filePath(RecordHistory::kFileName);
    {
        support::FileSizeLimit limit(readFile(path).size() - 1);
        QVERIFY(limit.isActive());
        for (int i = 0; i < 3; ++i)
            QVERIFY(!history.append(makeRecord(1000 + i)));
    }
    QVERIFY(history.append(makeRecord(2000)));
    const QString archive = dir.filePath(RecordHistory::archiveName(QDate::currentDate()));
    QCOMPARE(QJsonDocument::fromJson(readFile(archive)).object().value("records").toArray().size(),
             4);
    QCOMPARE(recordsInFile(path), RecordHistory::kMaxRecords);
#endif
}

// A history a later plug-in wrote is neither read in part nor written over in this format.
void tst_RecordHistory::laterFormatIsLeftAlone()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(RecordHistory::kFileName);
    const QByteArray later = R"({"format": 2, "records": [], "site": "hall 3"})";
    QVERIFY(writeFile(path, later));
    RecordHistory history;
    history.open(dir.path());
    QCOMPARE(history.problem(), RecordHistory::Problem::Unusable);
    QVERIFY(!history.append(makeRecord(1)));
    QCOMPARE(readFile(path), later);
}

void tst_RecordHistory::unwritableFolderLosesNothing()
{
    QTemporaryDir dir;
    // Below a regular file no folder can be made, not even by root.
    QVERIFY(writeFile(dir.filePath("plain"), "x"));
    RecordHistory history;
    history.open(dir.filePath("plain/data"));
    QVERIFY(!history.append(makeRecord(1)));
    QVERIFY(!history.append(makeRecord(2)));
    QCOMPARE(history.problem(), RecordHistory::Problem::WriteFailed);
    QVERIFY(history.problemDetail().contains("plain/data"));
    QCOMPARE(history.records().size(), 2);
    QCOMPARE(history.unsavedCount(), 2);
    QCOMPARE(readFile(dir.filePath("plain")), QByteArray("x"));

    // The same when the history file's own name is taken by a folder.
    QTemporaryDir other;
    RecordHistory kept;
    kept.open(other.path());
    QVERIFY(kept.append(makeRecord(1)));
    const QByteArray saved = readFile(other.filePath(RecordHistory::kFileName));
    QVERIFY(QFile::rename(other.filePath(RecordHistory::kFileName), other.filePath("moved")));
    QVERIFY(QDir(other.path()).mkdir(RecordHistory::kFileName));
    QVERIFY(!kept.append(makeRecord(2)));
    QCOMPARE(kept.records().size(), 2);
    QCOMPARE(readFile(other.filePath("moved")), saved);
}

void tst_RecordHistory::damagedFileIsSetAside_data()
{
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("salvaged");
    QTest::newRow("cut short") << QByteArray("{\"format\": 1, \"records\": [{\"time\"") << 0;
    QTest::newRow("not json") << QByteArray("\x00\x01garbage", 9) << 0;
    QTest::newRow("no record list") << QByteArray("{\"records\": 3}") << 0;
    const QByteArray good = QJsonDocument(makeRecord(1).toJson()).toJson(QJsonDocument::Compact);
    QTest::newRow("one bad record")
        << QByteArray("{\"records\": [" + good + ", {\"time\": \"yesterday\"}]}") << 1;
}

void tst_RecordHistory::damagedFileIsSetAside()
{
    QFETCH(QByteArray, content);
    QFETCH(int, salvaged);
    QTemporaryDir dir;
    const QString path = dir.filePath(RecordHistory::kFileName);
    QVERIFY(writeFile(path, content));
    RecordHistory history;
    history.open(dir.path());
    QCOMPARE(history.problem(), RecordHistory::Problem::SetAside);
    QCOMPARE(history.records().size(), salvaged);
    const QStringList aside =
        QDir(dir.path()).entryList({RecordHistory::kFileName + ".damaged-*"}, QDir::Files);
    QCOMPARE(aside.size(), 1);
    QCOMPARE(readFile(dir.filePath(aside.first())), content);
    QVERIFY(history.problemDetail().contains(aside.first()));

    QVERIFY(history.append(makeRecord(2)));
    QCOMPARE(recordsInFile(path), salvaged + 1);
    QCOMPARE(readFile(dir.filePath(aside.first())), content);
}

void tst_RecordHistory::csv()
{
    CalibrationRecord r = makeRecord(2, QStringLiteral("=HYPERLINK(\"x\"),1"));
    const QByteArray bytes = RecordCsv::record(r);
    QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
    const QString one = QString::fromUtf8(bytes);
    // A serial number never becomes a formula and its comma and quotes survive.
    QVERIFY2(one.contains("serial_number,\"'=HYPERLINK(\"\"x\"\"),1\"\r\n"), qPrintable(one));
    QVERIFY(one.contains("link1.a,1.5,1.52,0.02\r\n"));
    QVERIFY(one.contains("joint6.zero,,0.6,\r\n")); // unknown before: empty, no change
    QVERIFY(one.contains("outcome,complete\r\n"));
    QVERIFY(one.contains("held_parameters,link2.d joint6.zero\r\n"));

    const QString all = QString::fromUtf8(RecordCsv::history({makeRecord(1), r}));
    const QStringList rows = all.split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(rows.size(), 3);
    QVERIFY(rows.at(0).contains("link7.theta.before"));
    QVERIFY(rows.at(0).endsWith("joint6.zero.after"));
    QVERIFY(rows.at(1).startsWith("2026-01-01T08:01:00.000,SN-1,SR6-900,R1,normal,manual"));
    QCOMPARE(RecordCsv::recordFileName(r),
             QStringLiteral("calibration_record__HYPERLINK__x___1_20260101-080200.csv"));
    // Only a plain number keeps a bare sign: a sum or a signed word is text.
    for (const char *serial : {"-2+3", "+1-1", "-e"}) {
        const QString text = QString::fromUtf8(RecordCsv::record(makeRecord(3, serial)));
        QVERIFY2(text.contains(QStringLiteral("serial_number,\"'%1\"\r\n").arg(serial)),
                 qPrintable(text));
    }
    QVERIFY(QString::fromUtf8(RecordCsv::record(makeRecord(3, "-2.5e-3")))
                .contains("serial_number,-2.5e-3\r\n"));
}

QTEST_GUILESS_MAIN(tst_RecordHistory)
#include "tst_recordhistory.moc"
