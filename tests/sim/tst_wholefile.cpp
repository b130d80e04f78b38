#include <sim/tools/common/jsonfile.h>
#include <sim/tools/common/measurementfile.h>
#include <sim/tools/common/xlsxreport.h>
#include <sim/paths/wholefile.h>
#include <support/filesizelimit.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>

using Writer = std::function<bool(const QString &path, QString *error)>;
Q_DECLARE_METATYPE(Writer)

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

} // namespace

// What the measuring programs write over files the pendant reads: the result, the readings,
// the report. A disk that fills while one is written must leave the last good file and say so.
class tst_WholeFile : public QObject
{
    Q_OBJECT

private slots:
    void failedWriteKeepsTheOldFile_data();
    void failedWriteKeepsTheOldFile();
};

void tst_WholeFile::failedWriteKeepsTheOldFile_data()
{
    QTest::addColumn<Writer>("write");
    // Each writes far more than the limit below.
    const QByteArray big(64 * 1024, 'x');
    QTest::newRow("bytes") << Writer([big](const QString &path, QString *error) {
        return sim::WholeFile::replace(path, big, error);
    });
    QTest::newRow("JSON") << Writer([big](const QString &path, QString *error) {
        return sim::JsonFile::write(path, {{QStringLiteral("text"), QString::fromLatin1(big)}},
                                    error);
    });
    QTest::newRow("readings") << Writer([](const QString &path, QString *error) {
        sim::MeasurementFile file;
        for (int pose = 0; pose < 2000; ++pose) {
            sim::PoseMeasurement r;
            r.pose = pose;
            r.target = QStringLiteral("A");
            r.jointsDeg = {1, 2, 3, 4, 5, 6};
            r.positionMm = {1000, 200, 300};
            file.identification.append(r);
        }
        return file.write(path, 6, error);
    });
    QTest::newRow("report") << Writer([big](const QString &path, QString *error) {
        sim::XlsxReport report(path);
        QVector<QVariantList> rows;
        for (int i = 0; i < 2000; ++i)
            rows.append({i, QString::fromLatin1(big.left(40)) + QString::number(i)});
        return report.addTable(QStringLiteral("Readings"), {QStringLiteral("n"), QStringLiteral("text")},
                               rows)
               && report.close(error);
    });
}

void tst_WholeFile::failedWriteKeepsTheOldFile()
{
    QFETCH(Writer, write);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kept.file"));
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("the last good file\n");
    old.close();

    QString error;
    {
        const support::FileSizeLimit limit(4096);
        if (!limit.isActive())
            QSKIP("no file size limit on this system");
        QVERIFY(!write(path, &error));
    }
    QVERIFY2(error.contains(QStringLiteral("cannot")), qPrintable(error));
    QCOMPARE(contents(path), QByteArray("the last good file\n"));
    // Nothing of the failed write is left beside it.
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"kept.file"});
    // With room, the same write goes through whole.
    QVERIFY2(write(path, &error), qPrintable(error));
    QVERIFY(contents(path).size() > 4096);
}

QTEST_GUILESS_MAIN(tst_WholeFile)
#include "tst_wholefile.moc"
