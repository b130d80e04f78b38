#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

// README command 1 with the Teach example alone: the emulator teaches two points through the
// plug-in's page, moves the simulated robot between them and saves the robot view.
class tst_TeachDemo : public QObject
{
    Q_OBJECT

private slots:
    void emulatorTeachesAndMovesHeadless();
};

void tst_TeachDemo::emulatorTeachesAndMovesHeadless()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString plugins = dir.filePath(QStringLiteral("plugins"));
    QVERIFY(QDir().mkpath(plugins));
    const QString library = QStringLiteral(TEACH_PLUGIN);
    QVERIFY(QFile::copy(library, QDir(plugins).filePath(QFileInfo(library).fileName())));
    const QString demo = dir.filePath(QStringLiteral("demo"));

    QProcess pendant;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    pendant.setProcessEnvironment(env);
    pendant.start(QStringLiteral(PENDANT_EXECUTABLE),
                  {QStringLiteral("--home"), dir.filePath(QStringLiteral("home")),
                   QStringLiteral("--plugins"), plugins, QStringLiteral("--quit-after"),
                   QStringLiteral("200"), QStringLiteral("--reboot-delay"), QStringLiteral("100"),
                   QStringLiteral("--demo"), demo,
                   // The lines below are the Teach page's own texts, which follow the language.
                   QStringLiteral("--lang"), QStringLiteral("en")});
    QVERIFY(pendant.waitForFinished(60000));
    const QString out = QString::fromLocal8Bit(pendant.readAllStandardOutput());
    QVERIFY2(out.contains(QStringLiteral("Teach demo: 6 of 6 steps succeeded")), qPrintable(out));
    QCOMPARE(pendant.exitCode(), 0);
    QVERIFY(out.contains(QStringLiteral("Recorded joint point DemoA")));
    QVERIFY(out.contains(QStringLiteral("Recorded Cartesian point DemoB")));
    QVERIFY(out.contains(QStringLiteral("Move DemoB -> DemoA possible")));
    QVERIFY(out.contains(QStringLiteral("joint move to DemoA: arrived")));
    QVERIFY(out.contains(QStringLiteral("linear move to DemoB: arrived")));
    QVERIFY(out.contains(QStringLiteral("Teach demo step 6: ok (stopped on the way to DemoA")));

    // The arm stands elsewhere after the moves, so the two pictures differ.
    const QImage before(QDir(demo).filePath(QStringLiteral("teach-robot-view-before.png")));
    const QImage after(QDir(demo).filePath(QStringLiteral("teach-robot-view-after.png")));
    QVERIFY(!before.isNull());
    QVERIFY(!after.isNull());
    QVERIFY(before != after);
    QCOMPARE(
        QDir(demo).entryList({QStringLiteral("[0-9][0-9]-tessel_Teach.png")}, QDir::Files).size(),
        1);
}

QTEST_MAIN(tst_TeachDemo)
#include "tst_teachdemo.moc"
