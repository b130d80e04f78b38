#include <nabuCore/qflog.h>

#include <QDate>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Collects what the host log sends to the console while installed.
struct ConsoleCapture
{
    ConsoleCapture()
    {
        s_lines.clear();
        s_previous = qInstallMessageHandler(&ConsoleCapture::handle);
    }
    ~ConsoleCapture() { qInstallMessageHandler(s_previous); }
    ConsoleCapture(const ConsoleCapture &) = delete;
    ConsoleCapture &operator=(const ConsoleCapture &) = delete;

    static void handle(QtMsgType type, const QMessageLogContext &, const QString &message)
    {
        s_lines.append(qMakePair(type, message));
    }

    static QList<QPair<QtMsgType, QString>> s_lines;
    static QtMessageHandler s_previous;
};

QList<QPair<QtMsgType, QString>> ConsoleCapture::s_lines;
QtMessageHandler ConsoleCapture::s_previous = nullptr;

QByteArray readAll(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The day's file name; a run across midnight may see either day.
bool isDayFile(const QString &name, const QString &base, const QString &ext,
               const QDate &from, const QDate &to)
{
    for (QDate d = from; d <= to; d = d.addDays(1)) {
        if (name == base + QLatin1Char('_') + d.toString(QStringLiteral("yyyyMMdd"))
                       + QLatin1Char('.') + ext)
            return true;
    }
    return false;
}

} // namespace

class tst_QFLog : public QObject
{
    Q_OBJECT

private slots:
    void fileNameFor_data();
    void fileNameFor();
    void lineLayout_data();
    void lineLayout();
    void valuesOfOtherTypes();
    void linesAppendInOrder();
    void folderIsMade();
};

void tst_QFLog::fileNameFor_data()
{
    QTest::addColumn<QString>("base");
    QTest::addColumn<QString>("ext");

    QTest::newRow("plain") << "log/tessel" << "log";
    QTest::newRow("absolute") << "/var/log/pendant/host" << "txt";
    QTest::newRow("dotted base") << "./log/veltra.calib" << "log";
}

void tst_QFLog::fileNameFor()
{
    QFETCH(QString, base);
    QFETCH(QString, ext);

    const QDate from = QDate::currentDate();
    const QString name = nabu::QFLog::fileNameFor(base, ext);
    const QDate to = QDate::currentDate();
    QVERIFY2(isDayFile(name, base, ext, from, to), qPrintable(name));
}

void tst_QFLog::lineLayout_data()
{
    QTest::addColumn<QString>("colour");
    QTest::addColumn<QString>("tag");
    QTest::addColumn<QString>("location");
    QTest::addColumn<QStringList>("parts");
    QTest::addColumn<QString>("message");

    QTest::newRow("full")
        << "\033[32m" << "[I][2024-05-01 10:00:00.123]" << "[page.cpp:42]"
        << QStringList{"calibration ", "started"} << "calibration started";
    QTest::newRow("no location")
        << "\033[31m" << "[E]" << "" << QStringList{"link lost"} << "link lost";
    QTest::newRow("no colour") << "" << "[D]" << "(f:1)" << QStringList{"x"} << "x";
    QTest::newRow("empty message") << "\033[33m" << "[W]" << "[a:1]" << QStringList{} << "";
    QTest::newRow("spaces kept as given")
        << "\033[0m" << "[I] " << " [b:2] " << QStringList{" lead", "trail ", ""}
        << " leadtrail ";
    QTest::newRow("non-ascii") << "\033[36m" << "[I]" << "[c:3]"
                               << QStringList{QString::fromUtf8("\xe6\xa0\x87\xe5\xae\x9a ok")}
                               << QString::fromUtf8("\xe6\xa0\x87\xe5\xae\x9a ok");
}

void tst_QFLog::lineLayout()
{
    QFETCH(QString, colour);
    QFETCH(QString, tag);
    QFETCH(QString, location);
    QFETCH(QStringList, parts);
    QFETCH(QString, message);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString base = dir.filePath(QStringLiteral("host"));
    const QDate from = QDate::currentDate();
    {
        ConsoleCapture capture;
        {
            nabu::QFLog log(colour, tag, location, base, QStringLiteral("log"));
            for (const QString &part : parts)
                log << part;
        }
        QCOMPARE(ConsoleCapture::s_lines.size(), 1);
        QCOMPARE(ConsoleCapture::s_lines.at(0).first, QtDebugMsg);
        QCOMPARE(ConsoleCapture::s_lines.at(0).second,
                 colour + tag + location + message + QStringLiteral("\033[0m"));
    }

    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    QCOMPARE(files.size(), 1);
    QVERIFY2(isDayFile(dir.filePath(files.at(0)), base, QStringLiteral("log"), from,
                       QDate::currentDate()),
             qPrintable(files.at(0)));
    // No colour in the file, one line per statement.
    QCOMPARE(QString::fromUtf8(readAll(dir.filePath(files.at(0)))),
             tag + location + message + QLatin1Char('\n'));
}

void tst_QFLog::valuesOfOtherTypes()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString base = dir.filePath(QStringLiteral("types"));
    const QString file = nabu::QFLog::fileNameFor(base, QStringLiteral("log"));
    int anchor = 0;
    const void *pointer = &anchor;
    QString pointerText;
    QDebug(&pointerText).nospace() << pointer;

    ConsoleCapture capture;
    {
        nabu::QFLog log(QStringLiteral("\033[32m"), QStringLiteral("[I]"), QString(), base,
                        QStringLiteral("log"));
        log << "n=" << 42 << " x=" << 2.5 << " v=" << QVariant(QStringLiteral("var"))
            << " b=" << QVariant(7) << " p=" << pointer;
    }
    const QString message = QStringLiteral("n=42 x=2.5 v=var b=7 p=") + pointerText;
    QCOMPARE(ConsoleCapture::s_lines.size(), 1);
    QCOMPARE(ConsoleCapture::s_lines.at(0).second,
             QStringLiteral("\033[32m[I]") + message + QStringLiteral("\033[0m"));
    QCOMPARE(QString::fromUtf8(readAll(file)), QStringLiteral("[I]") + message + '\n');
}

void tst_QFLog::linesAppendInOrder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString base = dir.filePath(QStringLiteral("seq"));
    const QString file = nabu::QFLog::fileNameFor(base, QStringLiteral("txt"));
    // A line written before the host started logging stays.
    {
        QFile existing(file);
        QVERIFY(existing.open(QIODevice::WriteOnly));
        existing.write("earlier\n");
    }
    ConsoleCapture capture;
    for (int i = 0; i < 3; ++i) {
        nabu::QFLog log(QStringLiteral("\033[32m"), QStringLiteral("[I]"),
                        i == 1 ? QString() : QStringLiteral("[s:%1]").arg(i), base,
                        QStringLiteral("txt"));
        log << QStringLiteral("line ") << i;
    }
    QCOMPARE(readAll(file), QByteArray("earlier\n[I][s:0]line 0\n[I]line 1\n[I][s:2]line 2\n"));
    QCOMPARE(ConsoleCapture::s_lines.size(), 3);
    QCOMPARE(ConsoleCapture::s_lines.at(1).second,
             QStringLiteral("\033[32m[I]line 1\033[0m"));
}

void tst_QFLog::folderIsMade()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString base = dir.filePath(QStringLiteral("log/deeper/host"));
    ConsoleCapture capture;
    {
        nabu::QFLog log(QString(), QStringLiteral("[E]"), QStringLiteral("[m:1]"), base,
                        QStringLiteral("log"));
        log << QStringLiteral("made");
    }
    QCOMPARE(readAll(nabu::QFLog::fileNameFor(base, QStringLiteral("log"))),
             QByteArray("[E][m:1]made\n"));
}

QTEST_GUILESS_MAIN(tst_QFLog)

#include "tst_qflog.moc"
