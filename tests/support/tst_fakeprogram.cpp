#include <support/fakeprogram.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

struct Run
{
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

Run run(const QString &program, const QStringList &arguments = {},
        const QString &workingDirectory = QString())
{
    QProcess process;
    if (!workingDirectory.isEmpty())
        process.setWorkingDirectory(workingDirectory);
    process.start(program, arguments);
    Run result;
    result.finished = process.waitForFinished(10000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished();
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Times at which each stdout line arrived, measured from the start.
QVector<qint64> lineArrivals(const QString &program, int expectedLines)
{
    QProcess process;
    QElapsedTimer clock;
    QVector<qint64> arrivals;
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &process, [&] {
        while (process.canReadLine()) {
            process.readLine();
            arrivals.append(clock.elapsed());
        }
    });
    clock.start();
    process.start(program, QStringList());
    // The caller compares the count; a short list is its failure.
    if (QTest::qWaitFor([&] { return arrivals.size() >= expectedLines; }, 10000))
        process.waitForFinished(10000);
    return arrivals;
}

} // namespace

class tst_FakeProgram : public QObject
{
    Q_OBJECT

private slots:
    void writesExecutable_data();
    void writesExecutable();
    void printsLinesByteForByte_data();
    void printsLinesByteForByte();
    void keepsStreamsApartInOrder();
    void exitsWithCode_data();
    void exitsWithCode();
    void writesFiles_data();
    void writesFiles();
    void recordsArguments_data();
    void recordsArguments();
    void delaysBetweenLines();
    void pauses();
    void rewriteReplacesOldProgram();
    void failedStepEndsProgram();
};

void tst_FakeProgram::writesExecutable_data()
{
    QTest::addColumn<QString>("folder");
    QTest::addColumn<QString>("name");

    QTest::newRow("calibration tool") << QString() << QStringLiteral("collectCalibPoses_v1.2.exe");
    QTest::newRow("spaces") << QString() << QStringLiteral("iso test v2.0.exe");
    QTest::newRow("chinese") << QString() << QStringLiteral("标定工具.exe");
    QTest::newRow("awkward folder") << QStringLiteral("it's a $dir \"x\"")
                                    << QStringLiteral("optimizeDH_v3.exe");
}

void tst_FakeProgram::writesExecutable()
{
    QFETCH(QString, folder);
    QFETCH(QString, name);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString dir = folder.isEmpty() ? temp.path() : temp.filePath(folder);
    QVERIFY(QDir().mkpath(dir));

    const QString path = support::FakeProgram(dir, name).write();
    QCOMPARE(path, QDir(dir).filePath(name));
    QCOMPARE(support::FakeProgram(dir, name).filePath(), path);
    const QFileInfo info(path);
    QVERIFY(info.isFile());
    QVERIFY(info.isExecutable());
    QCOMPARE(info.fileName(), name);
    // Code that lists the program's folder sees the program and nothing else.
    QCOMPARE(QDir(dir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{name});

    const Run result = run(path);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray());
    QCOMPARE(result.err, QByteArray());
}

void tst_FakeProgram::printsLinesByteForByte_data()
{
    QTest::addColumn<QString>("line");

    QTest::newRow("progress") << QStringLiteral("[PROGRESS] 1/5");
    QTest::newRow("single quotes") << QStringLiteral("it's 'quoted' ''");
    QTest::newRow("double quotes") << QStringLiteral("say \"hi\" \"\"");
    QTest::newRow("shell expansions") << QStringLiteral("$HOME ${PATH} $(id) `id` $1 $@ $$ ~ *");
    QTest::newRow("backslashes") << QStringLiteral("C:\\new\\table \\n \\\\ \\t \\0 \\");
    QTest::newRow("printf format") << QStringLiteral("%s %d %% %b \\045");
    QTest::newRow("leading dash") << QStringLiteral("-n -e --");
    QTest::newRow("empty") << QString();
    QTest::newRow("chinese") << QStringLiteral("标定完成：误差 0.12 mm");
    QTest::newRow("spaces and tab") << QStringLiteral("  lead\ttab trail  ");
    QTest::newRow("embedded newline") << QStringLiteral("first\nsecond");
    QTest::newRow("semicolons and pipes") << QStringLiteral("a; exit 7 | b && c > /dev/null");
    QTest::newRow("json") << QStringLiteral("{\"dh\": [0.1, -2e-3], \"name\": \"a'b\"}");
}

void tst_FakeProgram::printsLinesByteForByte()
{
    QFETCH(QString, line);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString path = support::FakeProgram(temp.path(), QStringLiteral("tool.exe"))
                             .printLine(line)
                             .printLine(QStringLiteral("end"))
                             .write();
    QVERIFY(!path.isEmpty());
    const Run result = run(path);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, line.toUtf8() + "\nend\n");
    QCOMPARE(result.err, QByteArray());
}

void tst_FakeProgram::keepsStreamsApartInOrder()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString path = support::FakeProgram(temp.path(), QStringLiteral("tool.exe"))
                             .printLine(QStringLiteral("out 1"))
                             .printErrorLine(QStringLiteral("err 1: 'bad' $x"))
                             .printLines({QStringLiteral("out 2"), QStringLiteral("out 3")})
                             .printErrorLine(QStringLiteral("err 2"))
                             .write();
    QVERIFY(!path.isEmpty());

    const Run apart = run(path);
    QVERIFY(apart.finished);
    QCOMPARE(apart.out, QByteArray("out 1\nout 2\nout 3\n"));
    QCOMPARE(apart.err, QByteArray("err 1: 'bad' $x\nerr 2\n"));

    QProcess merged;
    merged.setProcessChannelMode(QProcess::MergedChannels);
    merged.start(path, QStringList());
    QVERIFY(merged.waitForFinished(10000));
    QCOMPARE(merged.readAll(), QByteArray("out 1\nerr 1: 'bad' $x\nout 2\nout 3\nerr 2\n"));
}

void tst_FakeProgram::exitsWithCode_data()
{
    QTest::addColumn<int>("code");

    QTest::newRow("success") << 0;
    QTest::newRow("failure") << 1;
    QTest::newRow("two") << 2;
    QTest::newRow("forty-two") << 42;
    QTest::newRow("largest") << 255;
}

void tst_FakeProgram::exitsWithCode()
{
    QFETCH(int, code);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString path = support::FakeProgram(temp.path(), QStringLiteral("tool.exe"))
                             .printLine(QStringLiteral("working"))
                             .exitCode(code)
                             .write();
    QVERIFY(!path.isEmpty());
    const Run result = run(path);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, code);
    QCOMPARE(result.out, QByteArray("working\n"));
}

void tst_FakeProgram::writesFiles_data()
{
    QTest::addColumn<QByteArray>("contents");

    QTest::newRow("json")
        << QByteArray("{\n  \"dh\": [0.5, -90, 0],\n  \"note\": \"it's \\\"ok\\\"\"\n}\n");
    QTest::newRow("no final newline") << QByteArray("last line");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("shell text")
        << QByteArray("$(touch pwned) `touch pwned` $HOME \\ '\" EOF\nEOF\n");
    QTest::newRow("chinese") << QStringLiteral("机器人 DH 参数\n").toUtf8();
    QTest::newRow("binary") << QByteArray("\x00\x01\xff\r\n\x00 end", 10);
    QTest::newRow("large") << QByteArray(200000, 'x').append("tail");
}

void tst_FakeProgram::writesFiles()
{
    QFETCH(QByteArray, contents);

    QTemporaryDir programs;
    QTemporaryDir work;
    QTemporaryDir absolute;
    QVERIFY(programs.isValid() && work.isValid() && absolute.isValid());
    const QString absoluteTarget = absolute.filePath(QStringLiteral("deep/er/result.json"));
    const QString path = support::FakeProgram(programs.path(), QStringLiteral("optimize.exe"))
                             .writeFile(QStringLiteral("optimized_dh.json"), contents)
                             .writeFile(QStringLiteral("out dir/it's/copy.json"), contents)
                             .writeFile(absoluteTarget, contents)
                             .write();
    QVERIFY(!path.isEmpty());

    const Run result = run(path, {}, work.path());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.err, QByteArray());
    // Relative paths resolve against the working directory of the run, not the program's folder.
    QCOMPARE(readAll(work.filePath(QStringLiteral("optimized_dh.json"))), contents);
    QCOMPARE(readAll(work.filePath(QStringLiteral("out dir/it's/copy.json"))), contents);
    QCOMPARE(readAll(absoluteTarget), contents);
    QVERIFY(!QFileInfo::exists(programs.filePath(QStringLiteral("optimized_dh.json"))));
    QVERIFY(!QFileInfo::exists(work.filePath(QStringLiteral("pwned"))));
}

void tst_FakeProgram::recordsArguments_data()
{
    QTest::addColumn<QStringList>("arguments");

    QTest::newRow("none") << QStringList();
    QTest::newRow("one") << QStringList{QStringLiteral("--config=calib.json")};
    QTest::newRow("awkward") << QStringList{QStringLiteral("with space"),
                                            QStringLiteral("it's \"quoted\""),
                                            QString(),
                                            QStringLiteral("$HOME `id` *"),
                                            QStringLiteral("two\nlines"),
                                            QStringLiteral("C:\\data\\poses.txt"),
                                            QStringLiteral("-n"),
                                            QStringLiteral("位姿.txt")};
}

void tst_FakeProgram::recordsArguments()
{
    QFETCH(QStringList, arguments);

    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString record = temp.filePath(QStringLiteral("records/args of run"));
    const QString path = support::FakeProgram(temp.path(), QStringLiteral("tool.exe"))
                             .recordArguments(record)
                             .printLine(QStringLiteral("ok"))
                             .write();
    QVERIFY(!path.isEmpty());
    const Run result = run(path, arguments);
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("ok\n"));
    QVERIFY(QFileInfo::exists(record));
    QCOMPARE(support::FakeProgram::readArguments(record), arguments);
}

void tst_FakeProgram::delaysBetweenLines()
{
    const int delay = 200;
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString path = support::FakeProgram(temp.path(), QStringLiteral("slow.exe"))
                             .lineDelay(delay)
                             .printLines({QStringLiteral("[PROGRESS] 1/3"),
                                          QStringLiteral("[PROGRESS] 2/3"),
                                          QStringLiteral("[PROGRESS] 3/3")})
                             .write();
    QVERIFY(!path.isEmpty());
    const QVector<qint64> arrivals = lineArrivals(path, 3);
    QCOMPARE(arrivals.size(), 3);
    // Lower bounds only: a loaded machine may be slower, never faster.
    for (int i = 1; i < arrivals.size(); ++i) {
        const qint64 gap = arrivals.at(i) - arrivals.at(i - 1);
        QVERIFY2(gap >= delay - 50, qPrintable(QString::number(gap)));
    }
}

void tst_FakeProgram::pauses()
{
    const int pause = 300;
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    const QString path = support::FakeProgram(temp.path(), QStringLiteral("slow.exe"))
                             .printLine(QStringLiteral("before"))
                             .pause(pause)
                             .printLine(QStringLiteral("after"))
                             .write();
    QVERIFY(!path.isEmpty());
    const QVector<qint64> arrivals = lineArrivals(path, 2);
    QCOMPARE(arrivals.size(), 2);
    QVERIFY2(arrivals.at(1) - arrivals.at(0) >= pause - 50,
             qPrintable(QString::number(arrivals.at(1) - arrivals.at(0))));
}

void tst_FakeProgram::rewriteReplacesOldProgram()
{
    QTemporaryDir temp;
    QTemporaryDir work;
    QVERIFY(temp.isValid() && work.isValid());
    const QString name = QStringLiteral("tool.exe");
    const QString first = support::FakeProgram(temp.path(), name)
                              .printLine(QStringLiteral("version 1"))
                              .writeFile(QStringLiteral("a.json"), "first a")
                              .writeFile(QStringLiteral("b.json"), "first b")
                              .exitCode(3)
                              .write();
    const QString second = support::FakeProgram(temp.path(), name)
                               .printLine(QStringLiteral("version 2"))
                               .writeFile(QStringLiteral("b.json"), "second b")
                               .write();
    QCOMPARE(second, first);

    const Run result = run(second, {}, work.path());
    QVERIFY(result.finished);
    QCOMPARE(result.exitCode, 0);
    QCOMPARE(result.out, QByteArray("version 2\n"));
    QCOMPARE(readAll(work.filePath(QStringLiteral("b.json"))), QByteArray("second b"));
    QVERIFY(!QFileInfo::exists(work.filePath(QStringLiteral("a.json"))));
}

void tst_FakeProgram::failedStepEndsProgram()
{
    QTemporaryDir temp;
    QVERIFY(temp.isValid());
    QFile blocker(temp.filePath(QStringLiteral("blocker")));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const QString path = support::FakeProgram(temp.path(), QStringLiteral("tool.exe"))
                             .printLine(QStringLiteral("start"))
                             .writeFile(temp.filePath(QStringLiteral("blocker/inside.json")), "x")
                             .printLine(QStringLiteral("not reached"))
                             .exitCode(0)
                             .write();
    QVERIFY(!path.isEmpty());
    const Run result = run(path);
    QVERIFY(result.finished);
    QVERIFY(result.exitCode != 0);
    QCOMPARE(result.out, QByteArray("start\n"));
    QVERIFY(!result.err.isEmpty());
}

QTEST_GUILESS_MAIN(tst_FakeProgram)

#include "tst_fakeprogram.moc"
