#include <support/guitestmain.h>

#include <QProcess>
#include <QtTest>

namespace {

const char kPlatformVariable[] = "QT_QPA_PLATFORM";

// Puts QT_QPA_PLATFORM back as it was when a test case ends.
class PlatformVariableGuard
{
public:
    PlatformVariableGuard()
        : m_wasSet(qEnvironmentVariableIsSet(kPlatformVariable))
        , m_value(qgetenv(kPlatformVariable))
    {
    }
    ~PlatformVariableGuard()
    {
        if (m_wasSet)
            qputenv(kPlatformVariable, m_value);
        else
            qunsetenv(kPlatformVariable);
    }

private:
    bool m_wasSet;
    QByteArray m_value;
};

struct ProbeRun
{
    bool finished = false;
    int exitCode = -1;
    QString out;
};

// `platform` null: the variable is removed from the probe's environment.
ProbeRun runProbe(const QString &platform, const QStringList &arguments = {})
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QString::fromLatin1(kPlatformVariable));
    if (!platform.isNull())
        env.insert(QString::fromLatin1(kPlatformVariable), platform);
    QProcess probe;
    probe.setProcessEnvironment(env);
    probe.start(QStringLiteral(OFFSCREEN_PROBE), arguments);
    ProbeRun run;
    run.finished = probe.waitForFinished(20000);
    if (!run.finished) {
        probe.kill();
        probe.waitForFinished();
        return run;
    }
    run.exitCode = probe.exitStatus() == QProcess::NormalExit ? probe.exitCode() : -1;
    run.out = QString::fromLocal8Bit(probe.readAllStandardOutput());
    return run;
}

} // namespace

class tst_GuiTestMain : public QObject
{
    Q_OBJECT

private slots:
    void prepareOffscreen_data();
    void prepareOffscreen();
    void mainChoosesPlatform_data();
    void mainChoosesPlatform();
    void mainPassesArguments();
};

void tst_GuiTestMain::prepareOffscreen_data()
{
    QTest::addColumn<bool>("set");
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<bool>("forced");
    QTest::addColumn<QByteArray>("after");

    QTest::newRow("unset") << false << QByteArray() << true << QByteArray("offscreen");
    QTest::newRow("empty") << true << QByteArray() << true << QByteArray("offscreen");
    QTest::newRow("minimal kept") << true << QByteArray("minimal") << false
                                  << QByteArray("minimal");
    QTest::newRow("xcb kept") << true << QByteArray("xcb") << false << QByteArray("xcb");
}

void tst_GuiTestMain::prepareOffscreen()
{
    QFETCH(bool, set);
    QFETCH(QByteArray, before);
    QFETCH(bool, forced);
    QFETCH(QByteArray, after);

    PlatformVariableGuard guard;
    if (set)
        qputenv(kPlatformVariable, before);
    else
        qunsetenv(kPlatformVariable);

    QCOMPARE(support::prepareOffscreen(), forced);
    QCOMPARE(qgetenv(kPlatformVariable), after);
    // A second call finds a platform named and leaves it alone.
    QCOMPARE(support::prepareOffscreen(), false);
    QCOMPARE(qgetenv(kPlatformVariable), after);
}

void tst_GuiTestMain::mainChoosesPlatform_data()
{
    QTest::addColumn<QString>("platform");
    QTest::addColumn<QString>("expected");

    QTest::newRow("unset") << QString() << QStringLiteral("offscreen");
    QTest::newRow("empty") << QStringLiteral("") << QStringLiteral("offscreen");
    QTest::newRow("minimal") << QStringLiteral("minimal") << QStringLiteral("minimal");
}

void tst_GuiTestMain::mainChoosesPlatform()
{
    QFETCH(QString, platform);
    QFETCH(QString, expected);

    const ProbeRun run = runProbe(platform);
    QVERIFY2(run.finished, "the probe hangs");
    QVERIFY2(run.exitCode == 0, qPrintable(run.out));
    const QStringList lines = run.out.split(QLatin1Char('\n'));
    QVERIFY2(lines.contains(QStringLiteral("platform=") + expected), qPrintable(run.out));
    QVERIFY2(lines.contains(QStringLiteral("environment=") + expected), qPrintable(run.out));
}

// Qt Test's own options reach QTest::qExec: "-functions" lists instead of running.
void tst_GuiTestMain::mainPassesArguments()
{
    const ProbeRun run = runProbe(QString(), {QStringLiteral("-functions")});
    QVERIFY2(run.finished, "the probe hangs");
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QLatin1String("reportPlatform()")), qPrintable(run.out));
    QVERIFY2(!run.out.contains(QLatin1String("platform=")), qPrintable(run.out));
}

SUPPORT_GUI_TEST_MAIN(tst_GuiTestMain)

#include "tst_guitestmain.moc"
