#include "pendantoptions.h"
#include "pendantpaths.h"

#include <QDir>
#include <QProcess>
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

QTEST_MAIN(tst_PendantOptions)
#include "tst_pendantoptions.moc"
