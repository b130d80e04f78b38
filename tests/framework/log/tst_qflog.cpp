#include "messagecapture.h"

#include <support/temporarycurrentdir.h>

#include "log/flog.h"
#include "log/logline.h"
#include "log/pluginlogfilemanager.h"
#include "log/qflog.h"
#include "log/qlog.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonValue>
#include <QRegularExpression>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(tessel::LogKind)

namespace {

const QString kReset = QStringLiteral("\033[0m");
const QString kTimeFormat = QStringLiteral("MM/dd hh:mm:ss.zzz");

// Everything written below `folder` to the files of `stem`, in name order (a statement made
// across midnight lands in the next day's file, which sorts after).
QByteArray logBytes(const QString &folder, const QString &stem)
{
    QByteArray all;
    const QStringList names
        = QDir(folder).entryList({stem + QStringLiteral("*.log")}, QDir::Files, QDir::Name);
    for (const QString &name : names) {
        QFile file(QDir(folder).filePath(name));
        if (file.open(QIODevice::ReadOnly))
            all += file.readAll();
    }
    return all;
}

int logFileCount(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.log")}, QDir::Files).size();
}

// What the debug stream makes of a value, as both lines write it.
template <typename T>
QString debugText(const T &value)
{
    QString text;
    QDebug(&text).noquote().nospace() << value;
    return text;
}

// Sets the time zone for a scope.
class ScopedTimeZone
{
public:
    explicit ScopedTimeZone(const QByteArray &zone)
        : m_hadZone(qEnvironmentVariableIsSet("TZ"))
        , m_previous(qgetenv("TZ"))
    {
        qputenv("TZ", zone);
    }
    ~ScopedTimeZone()
    {
        if (m_hadZone)
            qputenv("TZ", m_previous);
        else
            qunsetenv("TZ");
    }

private:
    Q_DISABLE_COPY(ScopedTimeZone)

    bool m_hadZone;
    QByteArray m_previous;
};

} // namespace

class tst_QFLog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void colours_data();
    void colours();
    void tagOfNow_data();
    void tagOfNow();
    void tagFormatsLikeQt_data();
    void tagFormatsLikeQt();
    void locations_data();
    void locations();

    void lineLayout_data();
    void lineLayout();
    void messageParts();
    void automaticSpaces_data();
    void automaticSpaces();
    void spacesAroundStreamedParts();
    void lineReachesFileWhenStatementEnds();
    void unopenableFileKeepsConsoleLine();
    void partsAlone();
    void consoleCopiesShareOneMessage();

private:
    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
};

void tst_QFLog::initTestCase()
{
    m_dir = std::make_unique<support::TemporaryCurrentDir>();
    QVERIFY(m_dir->isValid());
}

void tst_QFLog::colours_data()
{
    QTest::addColumn<tessel::LogKind>("kind");
    QTest::addColumn<QString>("colour");
    QTest::newRow("error") << tessel::LogKind::Error << QStringLiteral("\x1b[31m");
    QTest::newRow("info") << tessel::LogKind::Info << QStringLiteral("\x1b[36m");
    QTest::newRow("service") << tessel::LogKind::Service << QStringLiteral("\x1b[35m");
}

void tst_QFLog::colours()
{
    QFETCH(tessel::LogKind, kind);
    QFETCH(QString, colour);
    QCOMPARE(tessel::logColour(kind), colour);
}

void tst_QFLog::tagOfNow_data()
{
    QTest::addColumn<tessel::LogKind>("kind");
    QTest::addColumn<QString>("letter");
    QTest::newRow("error") << tessel::LogKind::Error << QStringLiteral("E");
    QTest::newRow("info") << tessel::LogKind::Info << QStringLiteral("I");
    QTest::newRow("service") << tessel::LogKind::Service << QStringLiteral("S");
}

void tst_QFLog::tagOfNow()
{
    QFETCH(tessel::LogKind, kind);
    QFETCH(QString, letter);

    const QString before = QDateTime::currentDateTime().toString(kTimeFormat);
    const QString tag = tessel::logTag(kind);
    const QString after = QDateTime::currentDateTime().toString(kTimeFormat);

    const QRegularExpression pattern(
        QStringLiteral("^\\[%1\\|(\\d\\d/\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3})\\]$").arg(letter));
    const QRegularExpressionMatch match = pattern.match(tag);
    QVERIFY2(match.hasMatch(), qPrintable(tag));
    // The fixed-width text sorts like the time, except across New Year's Eve.
    const QString time = match.captured(1);
    if (before <= after)
        QVERIFY2(before <= time && time <= after, qPrintable(before + " " + time + " " + after));
    else
        QVERIFY2(before <= time || time <= after, qPrintable(before + " " + time + " " + after));
}

void tst_QFLog::tagFormatsLikeQt_data()
{
    QTest::addColumn<QByteArray>("zone");
    QTest::addColumn<qint64>("msecs");

    const QVector<QByteArray> zones
        = {"UTC", "Europe/Berlin", "Asia/Shanghai", "America/St_Johns"};
    const auto utc = [](int year, int month, int day, int hour, int minute, int second, int ms) {
        return QDateTime(QDate(year, month, day), QTime(hour, minute, second, ms), Qt::UTC)
            .toMSecsSinceEpoch();
    };
    const struct
    {
        const char *name;
        qint64 msecs;
    } instants[] = {
        {"epoch", 0},
        {"before epoch", -1},
        {"before epoch, whole second", -1000},
        {"single digits", utc(2026, 1, 4, 1, 2, 3, 4)},
        {"last of a year", utc(2025, 12, 31, 23, 59, 59, 999)},
        {"before summer time", utc(2026, 3, 29, 0, 59, 59, 999)},
        {"summer time starts", utc(2026, 3, 29, 1, 0, 0, 0)},
        {"summer time ends", utc(2026, 10, 25, 1, 0, 0, 50)},
        {"leap day", utc(2028, 2, 29, 12, 34, 56, 7)},
        {"year 2038", utc(2038, 1, 19, 3, 14, 8, 100)},
    };
    for (const QByteArray &zone : zones) {
        for (const auto &instant : instants)
            QTest::addRow("%s, %s", zone.constData(), instant.name) << zone << instant.msecs;
    }
}

// Byte for byte what QDateTime makes of the same instant in the same zone.
void tst_QFLog::tagFormatsLikeQt()
{
    QFETCH(QByteArray, zone);
    QFETCH(qint64, msecs);
    ScopedTimeZone timeZone(zone);
    // Ours first: Qt's conversion would make the C library read the new zone for us.
    const QString error = tessel::logTag(tessel::LogKind::Error, msecs);
    const QString service = tessel::logTag(tessel::LogKind::Service, msecs);
    const QString expected = QDateTime::fromMSecsSinceEpoch(msecs).toString(kTimeFormat);
    QCOMPARE(error, QStringLiteral("[E|") + expected + "]");
    QCOMPARE(service, QStringLiteral("[S|") + expected + "]");
}

void tst_QFLog::locations_data()
{
    QTest::addColumn<QString>("function");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("location");
    QTest::newRow("qualified") << QStringLiteral("tessel::Tessel::cancelPage") << 112
                               << QStringLiteral("{tessel::Tessel::cancelPage@112}");
    QTest::newRow("free function")
        << QStringLiteral("tessel::ThrowLog") << 7 << QStringLiteral("{tessel::ThrowLog@7}");
    QTest::newRow("percent in name") << QStringLiteral("f%1") << 3 << QStringLiteral("{f%1@3}");
    QTest::newRow("empty") << QString() << 40 << QString();
}

void tst_QFLog::locations()
{
    QFETCH(QString, function);
    QFETCH(int, line);
    QFETCH(QString, location);
    QCOMPARE(tessel::logLocation(function, line), location);
}

void tst_QFLog::lineLayout_data()
{
    QTest::addColumn<tessel::LogKind>("kind");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QString>("folder");

    QTest::newRow("error with location")
        << tessel::LogKind::Error << tessel::logLocation(QStringLiteral("tessel::A::run"), 12)
        << QStringLiteral("./log/layout/1");
    QTest::newRow("info with location")
        << tessel::LogKind::Info << tessel::logLocation(QStringLiteral("tessel::B::go"), 3)
        << QStringLiteral("./log/layout/2");
    QTest::newRow("service without location")
        << tessel::LogKind::Service << QString() << QStringLiteral("./log/layout/3");
    QTest::newRow("error without location")
        << tessel::LogKind::Error << QString() << QStringLiteral("./log/layout/4");
}

void tst_QFLog::lineLayout()
{
    QFETCH(tessel::LogKind, kind);
    QFETCH(QString, location);
    QFETCH(QString, folder);
    const QString colour = tessel::logColour(kind);
    const QString tag = tessel::logTag(kind);
    const QString text = QStringLiteral("Achse \u00e4 \u8f74 : ");

    MessageCapture capture;
    tessel::QFLog(colour, tag, location, folder + QStringLiteral("/Veltra"), QStringLiteral("log"))
        << text << 6;

    const QVector<MessageCapture::Message> messages = capture.messages();
    QCOMPARE(messages.size(), 1);
    QCOMPARE(messages.first().type, QtDebugMsg);
    QCOMPARE(messages.first().text, colour + tag + location + text + QStringLiteral("6") + kReset);
    // A message with no file, line or function: the line carries its own location.
    QVERIFY(!messages.first().hasFile);
    QCOMPARE(messages.first().line, 0);
    QVERIFY(!messages.first().hasFunction);

    QCOMPARE(logBytes(folder, QStringLiteral("Veltra")),
             QString(tag + location + text + QStringLiteral("6\n")).toLocal8Bit());
}

void tst_QFLog::messageParts()
{
    const QString folder = QStringLiteral("./log/parts");
    const QString tag = tessel::logTag(tessel::LogKind::Info);
    int object = 0;
    const void *pointer = &object;
    const QJsonValue jsonText(QStringLiteral("j"));
    const QJsonValue jsonNumber(7.5);
    const QJsonArray jsonArray{1, QStringLiteral("a")};

    MessageCapture capture;
    tessel::QFLog(QStringLiteral("<c>"), tag, QString(), folder + QStringLiteral("/parts"),
                  QStringLiteral("log"))
        << QStringLiteral("text|") << QVariant(42) << QVariant(QStringLiteral("|v|"))
        << QVariant(2.5) << "|" << pointer << static_cast<const void *>(nullptr) << "|literal|"
        << jsonText << jsonNumber << jsonArray << 12 << true;

    const QString parts = QStringLiteral("text|42|v|2.5|0x")
                          + QString::number(quintptr(pointer), 16) + QStringLiteral("0x0|literal|")
                          + debugText(jsonText) + debugText(jsonNumber) + debugText(jsonArray)
                          + QStringLiteral("12true");
    // The debug stream spells JSON values out with their contents.
    QVERIFY(debugText(jsonText).contains(QLatin1String("j")));
    QVERIFY(debugText(jsonArray).contains(QLatin1String("1")));

    QCOMPARE(capture.texts(), QStringList{QStringLiteral("<c>") + tag + parts + kReset});
    QCOMPARE(logBytes(folder, QStringLiteral("parts")),
             QString(tag + parts + QStringLiteral("\n")).toLocal8Bit());
}

void tst_QFLog::automaticSpaces_data()
{
    QTest::addColumn<bool>("spaced");
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("console");
    QTest::addColumn<QString>("file");

    // space() writes one space at once and one after every later part; the console message
    // loses its very last one, the file line keeps it before the line end.
    QTest::newRow("no spaces") << false << QStringLiteral("./log/space/off")
                               << QStringLiteral("<c>[tag]{f@1}ab3\x1b[0m")
                               << QStringLiteral("[tag]{f@1}ab3\n");
    QTest::newRow("space() after the first part")
        << true << QStringLiteral("./log/space/on") << QStringLiteral("<c>[tag]{f@1}a b 3 \x1b[0m")
        << QStringLiteral("[tag]{f@1}a b 3 \n");
}

void tst_QFLog::automaticSpaces()
{
    QFETCH(bool, spaced);
    QFETCH(QString, folder);
    QFETCH(QString, console);
    QFETCH(QString, file);

    MessageCapture capture;
    {
        tessel::QFLog log(QStringLiteral("<c>"), QStringLiteral("[tag]"), QStringLiteral("{f@1}"),
                          folder + QStringLiteral("/space"), QStringLiteral("log"));
        log << "a";
        if (spaced)
            log.space();
        log << QStringLiteral("b") << QVariant(3);
    }
    QCOMPARE(capture.texts(), QStringList{console});
    QCOMPARE(logBytes(folder, QStringLiteral("space")), file.toLocal8Bit());
}

// Once a part needs the debug stream, the spaces still follow every part, whatever its kind.
void tst_QFLog::spacesAroundStreamedParts()
{
    const QString folder = QStringLiteral("./log/space/streamed");
    MessageCapture capture;
    {
        tessel::QFLog log(QStringLiteral("<c>"), QStringLiteral("[tag]"), QStringLiteral("{f@1}"),
                          folder + QStringLiteral("/space"), QStringLiteral("log"));
        log << 7;
        log.space();
        log << QLatin1String("x") << 8 << "y" << QStringLiteral("z");
    }
    QCOMPARE(capture.texts(), QStringList{QStringLiteral("<c>[tag]{f@1}7 x 8 y z \x1b[0m")});
    QCOMPARE(logBytes(folder, QStringLiteral("space")), QByteArray("[tag]{f@1}7 x 8 y z \n"));
}

// Each line is in the file, and counted with its full size, once its statement is gone.
void tst_QFLog::lineReachesFileWhenStatementEnds()
{
    const QString folder = QStringLiteral("./log/order");
    const QString base = folder + QStringLiteral("/order");
    MessageCapture capture;
    QByteArray expected;
    const long long totalBefore = tessel::PluginLogFileManager::instance().totalSize();
    for (int i = 0; i < 3; ++i) {
        const QString tag = tessel::logTag(tessel::LogKind::Service);
        tessel::QFLog(tessel::logColour(tessel::LogKind::Service), tag, QString(), base,
                      QStringLiteral("log"))
            << QStringLiteral("line ") << i;
        expected += QString(tag + QStringLiteral("line %1\n").arg(i)).toLocal8Bit();
        QCOMPARE(logBytes(folder, QStringLiteral("order")), expected);
        QCOMPARE(tessel::PluginLogFileManager::instance().totalSize() - totalBefore,
                 static_cast<long long>(expected.size()));
    }
    QCOMPARE(capture.messages().size(), 3);
}

void tst_QFLog::unopenableFileKeepsConsoleLine()
{
    // A plain file where the log folder should be: neither folder nor log file can be made.
    QFile blocker(QStringLiteral("./blocked"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const long long totalBefore = tessel::PluginLogFileManager::instance().totalSize();

    MessageCapture capture;
    tessel::QFLog(QStringLiteral("<c>"), QStringLiteral("[tag]"), QStringLiteral("{f@2}"),
                  QStringLiteral("./blocked/x"), QStringLiteral("log"))
        << QStringLiteral("still ") << "shown " << QVariant(1) << QJsonValue(true);
    tessel::FLog(QStringLiteral("[tag]"), QString(), QStringLiteral("./blocked/y"),
                 QStringLiteral("log"))
        << QStringLiteral("nowhere");

    QCOMPARE(capture.texts(), QStringList{QStringLiteral("<c>[tag]{f@2}still shown 1")
                                          + debugText(QJsonValue(true)) + kReset});
    QVERIFY(QFileInfo(QStringLiteral("./blocked")).isFile());
    QCOMPARE(QFileInfo(QStringLiteral("./blocked")).size(), qint64(0));
    QCOMPARE(tessel::PluginLogFileManager::instance().totalSize(), totalBefore);
}

void tst_QFLog::partsAlone()
{
    const QString folder = QStringLiteral("./log/alone");
    MessageCapture capture;
    tessel::QLog(QStringLiteral("<c>"), QStringLiteral("[tag]"), QString())
        << QStringLiteral("console");
    QCOMPARE(capture.texts(), QStringList{QStringLiteral("<c>[tag]console") + kReset});
    QCOMPARE(logFileCount(folder), 0);

    tessel::FLog(QStringLiteral("[tag]"), QStringLiteral("{f@3}"),
                 folder + QStringLiteral("/alone"), QStringLiteral("log"))
        << QStringLiteral("file") << QVariant(2) << "|" << 4;
    QCOMPARE(capture.texts().size(), 1);
    QCOMPARE(logBytes(folder, QStringLiteral("alone")), QByteArray("[tag]{f@3}file2|4\n"));
}

// A copy writes into the same message; each copy ends its share with the reset sequence.
void tst_QFLog::consoleCopiesShareOneMessage()
{
    MessageCapture capture;
    {
        tessel::QLog first(QStringLiteral("<c>"), QStringLiteral("[tag]"),
                           QStringLiteral("{f@4}"));
        {
            tessel::QLog copy(first);
            copy << QStringLiteral("from copy|");
        }
        QCOMPARE(capture.messages().size(), 0);
        first << QStringLiteral("|from first");
    }
    QCOMPARE(capture.texts(), QStringList{QStringLiteral("<c>[tag]{f@4}from copy|") + kReset
                                          + QStringLiteral("|from first") + kReset});
}

QTEST_GUILESS_MAIN(tst_QFLog)
#include "tst_qflog.moc"
