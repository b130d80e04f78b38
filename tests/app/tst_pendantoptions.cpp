#include "pendanthome.h"
#include "pendantoptions.h"
#include "pendantpaths.h"
#include "pendantrun.h"

#include <sim/paths/drivepath.h>

#include <QDir>
#include <QProcess>
#include <QTcpSocket>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The emulator's command line: what it accepts, refuses and takes by default, and that help and
// errors need no display.
class tst_PendantOptions : public QObject
{
    Q_OBJECT

private slots:
    void parse_data();
    void parse();
    void defaultFoldersPreferTheInstalledLayout_data();
    void defaultFoldersPreferTheInstalledLayout();
    void helpAndErrorsWorkWithoutADisplay();
    void relativePathsMeanTheCurrentFolder();
    void toolsFolderHoldingTheWorkFolderIsRefused_data();
    void toolsFolderHoldingTheWorkFolderIsRefused();
    void checkAndDemoExitCodes_data();
    void checkAndDemoExitCodes();
    void saysWhenTheControllerIsNotReached();
};

void tst_PendantOptions::parse_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("error");     // part of the error; empty when accepted
    QTest::addColumn<QString>("printed");   // part of the help or version text
    QTest::addColumn<QSize>("size");

    const QSize pendant(1280, 800);
    QTest::newRow("defaults") << QStringList{} << QString() << QString() << pendant;
    QTest::newRow("size") << QStringList{QStringLiteral("--size"), QStringLiteral("1024x768")}
                          << QString() << QString() << QSize(1024, 768);
    QTest::newRow("size, upper-case X")
        << QStringList{QStringLiteral("--size=800X600")} << QString() << QString()
        << QSize(800, 600);
    for (const char *bad : {"1024", "1024x", "x768", "0x0", "-1024x768", "100x100", "99999x800",
                            "1024x768x2", "big"}) {
        QTest::addRow("bad size %s", bad)
            << QStringList{QStringLiteral("--size"), QLatin1String(bad)}
            << QStringLiteral("--size takes WIDTHxHEIGHT") << QString() << QSize();
    }
    QTest::newRow("unknown robot lists the models")
        << QStringList{QStringLiteral("--robot"), QStringLiteral("X1")}
        << QStringLiteral("Unknown robot model: X1 (models: SR6-900, SR7-800)") << QString()
        << QSize();
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate")}
                                    << QStringLiteral("frobnicate") << QString() << QSize();
    QTest::newRow("stray argument") << QStringList{QStringLiteral("plugins")}
                                    << QStringLiteral("Unexpected argument: plugins") << QString()
                                    << QSize();
    QTest::newRow("help") << QStringList{QStringLiteral("--help")} << QString()
                          << QStringLiteral("--size <WxH>") << QSize();
    QTest::newRow("version") << QStringList{QStringLiteral("--version")} << QString()
                             << QStringLiteral("7.8.9") << QSize();
}

void tst_PendantOptions::parse()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, error);
    QFETCH(QString, printed);
    QFETCH(QSize, size);
    QCoreApplication::setApplicationVersion(QStringLiteral("7.8.9"));

    arguments.prepend(QStringLiteral("pendant"));
    const PendantOptions options =
        PendantOptions::fromArguments(arguments, PendantPaths(QStringLiteral(PENDANT_BIN_DIR)));
    if (!printed.isEmpty()) {
        QVERIFY2(options.printOnly.contains(printed), qPrintable(options.printOnly));
        return;
    }
    QVERIFY(options.printOnly.isEmpty());
    QCOMPARE(options.ok, error.isEmpty());
    if (!options.ok) {
        QVERIFY2(options.error.contains(error), qPrintable(options.error));
        return;
    }
    QCOMPARE(options.windowSize, size);
    QCOMPARE(options.home, PendantPaths::defaultHome());
    QVERIFY(!options.home.isEmpty());
    QVERIFY(QDir::cleanPath(options.home) != QDir::cleanPath(QDir::currentPath()));
    QCOMPARE(options.pluginDir,
             QDir::cleanPath(QStringLiteral(PENDANT_BIN_DIR) + QStringLiteral("/../plugins")));
    QCOMPARE(options.robotModel, QStringLiteral("SR6-900"));
}

void tst_PendantOptions::defaultFoldersPreferTheInstalledLayout_data()
{
    QTest::addColumn<QStringList>("folders"); // made below the prefix
    QTest::addColumn<QString>("plugins");     // expected, below the prefix; empty for none
    QTest::addColumn<QString>("workFolder");  // expected, below the prefix; empty: compiled in

    QTest::newRow("installed") << QStringList{QStringLiteral("lib/tessel/plugins"),
                                              QStringLiteral("share/tessel/workfolder"),
                                              QStringLiteral("plugins"),
                                              QStringLiteral("workfolder")}
                               << QStringLiteral("lib/tessel/plugins")
                               << QStringLiteral("share/tessel/workfolder");
    QTest::newRow("build tree") << QStringList{QStringLiteral("plugins"),
                                               QStringLiteral("workfolder")}
                                << QStringLiteral("plugins") << QStringLiteral("workfolder");
    QTest::newRow("nothing beside") << QStringList{} << QString() << QString();
}

void tst_PendantOptions::defaultFoldersPreferTheInstalledLayout()
{
    QFETCH(QStringList, folders);
    QFETCH(QString, plugins);
    QFETCH(QString, workFolder);
    QTemporaryDir prefix;
    QVERIFY(prefix.isValid());
    for (const QString &folder : folders)
        QVERIFY(QDir(prefix.path()).mkpath(folder));
    const PendantPaths paths(prefix.filePath(QStringLiteral("bin")));

    QCOMPARE(paths.pluginDir(), plugins.isEmpty() ? QString() : prefix.filePath(plugins));
    if (workFolder.isEmpty()) // the source tree's, compiled in
        QVERIFY(!paths.workFolderTemplate().startsWith(prefix.path()));
    else
        QCOMPARE(paths.workFolderTemplate(), prefix.filePath(workFolder));

    // With no plug-ins anywhere the emulator says where it looked, unless given a folder.
    const PendantOptions options = PendantOptions::fromArguments({QStringLiteral("pendant")},
                                                                 paths);
    QCOMPARE(options.ok, !plugins.isEmpty());
    if (plugins.isEmpty())
        QVERIFY2(options.error.contains(prefix.filePath(QStringLiteral("lib/tessel/plugins"))),
                 qPrintable(options.error));
    QVERIFY(PendantOptions::fromArguments(
                {QStringLiteral("pendant"), QStringLiteral("--plugins"), prefix.path()}, paths)
                .ok);
}

void tst_PendantOptions::helpAndErrorsWorkWithoutADisplay()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("DISPLAY"));
    env.remove(QStringLiteral("WAYLAND_DISPLAY"));
    env.remove(QStringLiteral("QT_QPA_PLATFORM"));
    const auto run = [&env](const QStringList &arguments, QByteArray *out, QByteArray *err) {
        QProcess pendant;
        pendant.setProcessEnvironment(env);
        pendant.start(QStringLiteral(PENDANT_EXECUTABLE), arguments);
        if (!pendant.waitForFinished(20000) || pendant.exitStatus() != QProcess::NormalExit)
            return -1;
        *out = pendant.readAllStandardOutput();
        *err = pendant.readAllStandardError();
        return pendant.exitCode();
    };
    QByteArray out;
    QByteArray err;
    QCOMPARE(run({QStringLiteral("--help")}, &out, &err), 0);
    for (const char *option : {"--home", "--plugins", "--robot", "--size", "--screenshot",
                               "--demo", "--quit-after", "--reboot-delay", "--controller"})
        QVERIFY2(out.contains(option), option);
    QVERIFY(out.contains("Default: 1280x800"));
    QVERIFY(out.contains(QFile::encodeName(QStandardPaths::writableLocation(
                QStandardPaths::GenericDataLocation))));

    QCOMPARE(run({QStringLiteral("--version")}, &out, &err), 0);
    QVERIFY(out.startsWith("pendant "));

    QVERIFY(run({QStringLiteral("--frobnicate")}, &out, &err) > 0);
    QVERIFY2(err.contains("frobnicate"), err.constData());
    QVERIFY(run({QStringLiteral("--plugins"), QStringLiteral("/nonexistent-plugins")}, &out,
                &err) > 0);
    QVERIFY2(err.contains("/nonexistent-plugins"), err.constData());
}

// The session moves into its home: a relative path typed on the command line must still name
// what the user meant.
void tst_PendantOptions::relativePathsMeanTheCurrentFolder()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("plugins")));
    const QString previous = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir.path()));
    const PendantOptions options = PendantOptions::fromArguments(
        {QStringLiteral("pendant"), QStringLiteral("--plugins"), QStringLiteral("plugins"),
         QStringLiteral("--home"), QStringLiteral("home"), QStringLiteral("--screenshot"),
         QStringLiteral("shots/window.png"), QStringLiteral("--demo"), QStringLiteral("./demo"),
         QStringLiteral("--tools"), QStringLiteral("../tools")},
        PendantPaths(QStringLiteral(PENDANT_BIN_DIR)));
    QDir::setCurrent(previous);
    QVERIFY2(options.ok, qPrintable(options.error));
    const QDir here(QFileInfo(dir.path()).absoluteFilePath());
    QCOMPARE(options.pluginDir, here.filePath(QStringLiteral("plugins")));
    QCOMPARE(options.home, here.filePath(QStringLiteral("home")));
    QCOMPARE(options.screenshot, here.filePath(QStringLiteral("shots/window.png")));
    QCOMPARE(options.demoDir, here.filePath(QStringLiteral("demo")));
    QCOMPARE(options.toolsDir, QDir::cleanPath(here.filePath(QStringLiteral("../tools"))));
}

void tst_PendantOptions::toolsFolderHoldingTheWorkFolderIsRefused_data()
{
    QTest::addColumn<QString>("home");   // below a temporary folder
    QTest::addColumn<QString>("tools");  // below it too; empty for the home's work folder
    QTest::addColumn<QString>("linkTo"); // when set, `tools` is made a link to it
    QTest::addColumn<bool>("accepted");

    QTest::newRow("tools is the home") << "h" << "h" << QString() << false;
    QTest::newRow("home inside the tools") << "t/h" << "t" << QString() << false;
    QTest::newRow("tools a link to the home") << "h" << "l" << "h" << false;
    QTest::newRow("tools inside the home") << "h" << "h/tools" << QString() << true;
    QTest::newRow("tools beside the home") << "h" << "tools" << QString() << true;
    // Already where the plug-in reads them: used in place.
    QTest::newRow("tools is the work folder") << "h" << QString() << QString() << true;
}

void tst_PendantOptions::toolsFolderHoldingTheWorkFolderIsRefused()
{
#ifdef Q_OS_WIN
    QSKIP("the work folder is drive D:'s there, outside any home");
#else
    QFETCH(QString, home);
    QFETCH(QString, tools);
    QFETCH(QString, linkTo);
    QFETCH(bool, accepted);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    home = dir.filePath(home);
    QVERIFY(QDir().mkpath(home)); // as after a first start
    tools = tools.isEmpty() ? sim::DrivePath::toLocal(PendantHome::workFolder(), home)
                            : dir.filePath(tools);
    if (!linkTo.isEmpty() && !QFile::link(dir.filePath(linkTo), tools))
        QSKIP("this file system has no symbolic links");
    const PendantOptions options = PendantOptions::fromArguments(
        {QStringLiteral("pendant"), QStringLiteral("--home"), home, QStringLiteral("--tools"),
         tools},
        PendantPaths(QStringLiteral(PENDANT_BIN_DIR)));
    QVERIFY2(options.ok == accepted, qPrintable(options.error));
    if (!accepted)
        QVERIFY2(options.error.contains(QStringLiteral("holds the work folder")),
                 qPrintable(options.error));
#endif
}

void tst_PendantOptions::checkAndDemoExitCodes_data()
{
    QTest::addColumn<QString>("mode");         // "--check" or "--demo"
    // Copies of Hello, "broken" for a bad file, "faulty" for a plug-in that cannot be created.
    QTest::addColumn<QStringList>("libraries");
    QTest::addColumn<bool>("succeeds");
    QTest::addColumn<QString>("named");        // on standard error when it fails

    const QStringList one{QStringLiteral("libHello.so")};
    const QStringList clash{QStringLiteral("libHello.so"), QStringLiteral("libHelloAgain.so")};
    const QStringList broken{QStringLiteral("libHello.so"), QStringLiteral("broken")};
    QTest::newRow("check, one plug-in") << "--check" << one << true << QString();
    QTest::newRow("check, empty folder") << "--check" << QStringList() << false << "no plug-in in";
    QTest::newRow("check, a library that does not load")
        << "--check" << broken << false << "cannot load libBroken.so";
    QTest::newRow("check, a name taken twice")
        << "--check" << clash << false << "libHelloAgain.so registers no new plug-in";
    QTest::newRow("check, a plug-in that cannot be created")
        << "--check" << QStringList{QStringLiteral("libHello.so"), QStringLiteral("faulty")}
        << false << "page tessel.ProbeFaulty shows nothing";
    // The demo ends by itself, without --quit-after.
    QTest::newRow("demo, one plug-in") << "--demo" << one << true << QString();
    QTest::newRow("demo, a library that does not load")
        << "--demo" << broken << false << "cannot load libBroken.so";
    QTest::newRow("demo, a name taken twice")
        << "--demo" << clash << false << "libHelloAgain.so registers no new plug-in";
}

void tst_PendantOptions::checkAndDemoExitCodes()
{
    QFETCH(QString, mode);
    QFETCH(QStringList, libraries);
    QFETCH(bool, succeeds);
    QFETCH(QString, named);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QDir plugins(dir.filePath(QStringLiteral("plugins")));
    QVERIFY(plugins.mkpath(QStringLiteral(".")));
    // No measuring programs: the work folder stays empty.
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("tools")));
    for (const QString &library : libraries) {
        if (library == QLatin1String("broken")) {
            QFile bad(plugins.filePath(QStringLiteral("libBroken.so")));
            QVERIFY(bad.open(QIODevice::WriteOnly));
            bad.write("not a library");
        } else if (library == QLatin1String("faulty")) {
            QVERIFY(QFile::copy(QStringLiteral(FAULTY_PLUGIN), plugins.filePath(
                                    QFileInfo(QStringLiteral(FAULTY_PLUGIN)).fileName())));
        } else {
            QVERIFY(QFile::copy(QStringLiteral(HELLO_PLUGIN), plugins.filePath(library)));
        }
    }
    QStringList arguments{QStringLiteral("--home"), dir.filePath(QStringLiteral("home")),
                          QStringLiteral("--plugins"), plugins.path(), QStringLiteral("--tools"),
                          dir.filePath(QStringLiteral("tools")), QStringLiteral("--reboot-delay"),
                          QStringLiteral("100"), mode};
    if (mode == QLatin1String("--demo"))
        arguments << dir.filePath(QStringLiteral("shots"));
    const PendantRun run = runPendant(arguments, 60000);
    QVERIFY2(run.exitCode >= 0, "the emulator did not quit by itself");
    QVERIFY2((run.exitCode == 0) == succeeds,
             qPrintable(QStringLiteral("exit %1\n%2\n%3").arg(run.exitCode).arg(run.err, run.out)));
    if (!succeeds)
        QVERIFY2(run.err.contains(named), qPrintable(run.err));
    if (!libraries.isEmpty())
        QVERIFY2(run.out.contains(QStringLiteral("showing page")), qPrintable(run.out));
}

void tst_PendantOptions::saysWhenTheControllerIsNotReached()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("plugins")));
    QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("tools")));
    QVERIFY(QFile::copy(QStringLiteral(HELLO_PLUGIN), dir.filePath(QStringLiteral("plugins/libHello.so"))));
    // A port nobody listens on: bound, not listened on, and kept from tests running beside.
    QTcpSocket portHolder;
    QVERIFY(portHolder.bind(QHostAddress::LocalHost, 0, QAbstractSocket::DontShareAddress));
    const QString address = QStringLiteral("127.0.0.1:%1").arg(portHolder.localPort());
    const PendantRun run = runPendant(
        {QStringLiteral("--home"), dir.filePath(QStringLiteral("home")), QStringLiteral("--plugins"),
         dir.filePath(QStringLiteral("plugins")), QStringLiteral("--tools"),
         dir.filePath(QStringLiteral("tools")), QStringLiteral("--controller"), address,
         QStringLiteral("--check")},
        60000);
    // Said once, early; the plug-in still loads and shows its page without a controller.
    QCOMPARE(run.out.count(QStringLiteral("cannot reach %1, retrying").arg(address)), 1);
    QCOMPARE(run.exitCode, 0);
}

QTEST_MAIN(tst_PendantOptions)
#include "tst_pendantoptions.moc"
