#include "pendanthome.h"
#include "pendantoptions.h"
#include "pendantsession.h"
#include "pendantrun.h"
#include "pendantwindow.h"
#include <nabuSkald/pluginloader.h>

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabuSkald/centerwidget.h>
#include <nabuSkald/statusbar.h>
#include <nabusrv/vantor.h>
#include <sim/controller/simulatedcontroller.h>

#include <QDir>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QTcpServer>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

namespace {

QStringList recordedCalls()
{
    QStringList calls;
    const QList<nabu::ModuleObject *> items = nabu::m(QStringLiteral("sample.module.calls"))->cmobjs();
    for (nabu::ModuleObject *item : items)
        calls.append(item->getString());
    return calls;
}

} // namespace

class tst_Pendant : public QObject
{
    Q_OBJECT

private slots:
    void options_data();
    void options();
    void loaderReportsWhatItCannotLoad();
    void loaderRefusesALibraryThatNeedsMissingFunctions();
    void loaderCreatesModulesAndDrivesTheirLifecycle();
    void loaderNamesALibraryWhosePluginNameIsTaken();
    void loaderLoadsAVersionedLibraryOnce();
    void sessionConnectsShowsMessagesAndSavesScreenshot();
    void homeIsOnePendantsAtATime();
    void executableRunsOffscreenAndExitsCleanly();
    void executableDemoShowsEveryPage();
    void executableDemoRunsTheCalibrationPlugin_data();
    void executableDemoRunsTheCalibrationPlugin();
    void executableRefusesBadArguments();
    void workFolderInstallKeepsResultsAndRefreshesPrograms();
};

void tst_Pendant::options_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("robot");
    QTest::addColumn<int>("quitAfter");

    QTest::newRow("defaults") << QStringList{} << true << QStringLiteral("SR6-900") << -1;
    QTest::newRow("seven axes") << QStringList{QStringLiteral("--robot"), QStringLiteral("SR7-800")}
                                << true << QStringLiteral("SR7-800") << -1;
    QTest::newRow("quit after") << QStringList{QStringLiteral("--quit-after"), QStringLiteral("250")}
                                << true << QStringLiteral("SR6-900") << 250;
    QTest::newRow("demo waits for the controller")
        << QStringList{QStringLiteral("--demo"), QStringLiteral("shots")} << true
        << QStringLiteral("SR6-900") << -1;
    QTest::newRow("demo at a given time")
        << QStringList{QStringLiteral("--demo"), QStringLiteral("shots"),
                       QStringLiteral("--quit-after"), QStringLiteral("0")}
        << true << QStringLiteral("SR6-900") << 0;
    QTest::newRow("unknown robot") << QStringList{QStringLiteral("--robot"), QStringLiteral("X1")}
                                   << false << QString() << -1;
    QTest::newRow("quit after not a number")
        << QStringList{QStringLiteral("--quit-after"), QStringLiteral("soon")} << false << QString()
        << -1;
    QTest::newRow("negative quit after")
        << QStringList{QStringLiteral("--quit-after"), QStringLiteral("-5")} << false << QString()
        << -1;
    QTest::newRow("unknown option") << QStringList{QStringLiteral("--frobnicate")} << false
                                    << QString() << -1;
    QTest::newRow("separate controller")
        << QStringList{QStringLiteral("--controller"), QStringLiteral("127.0.0.1:7610")} << true
        << QStringLiteral("SR6-900") << -1;
    QTest::newRow("bad controller port")
        << QStringList{QStringLiteral("--controller"), QStringLiteral("127.0.0.1:0")} << false
        << QString() << -1;
    // Paces the simulated robot would clamp or ignore, and a reboot no client waits for.
    for (const char *pace : {"inf", "nan", "1e5", "1e-4", "0"})
        QTest::addRow("motion pace %s", pace)
            << QStringList{QStringLiteral("--motion-pace"), QString::fromLatin1(pace)} << false
            << QString() << -1;
    QTest::newRow("fastest motion pace")
        << QStringList{QStringLiteral("--motion-pace"), QStringLiteral("1e4")} << true
        << QStringLiteral("SR6-900") << -1;
    QTest::newRow("reboot of two days")
        << QStringList{QStringLiteral("--reboot-delay"), QStringLiteral("172800000")} << false
        << QString() << -1;
}

void tst_Pendant::options()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, ok);
    arguments.prepend(QStringLiteral("pendant"));
    const PendantOptions options = PendantOptions::fromArguments(arguments);
    QCOMPARE(options.ok, ok);
    if (!ok) {
        QVERIFY(!options.error.isEmpty());
        return;
    }
    QFETCH(QString, robot);
    QFETCH(int, quitAfter);
    QCOMPARE(options.robotModel, robot);
    QCOMPARE(options.quitAfterMs, quitAfter);
}

void tst_Pendant::loaderReportsWhatItCannotLoad()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QFile broken(dir.filePath(QStringLiteral("libbroken.so")));
    QVERIFY(broken.open(QIODevice::WriteOnly));
    broken.write("not a library");
    broken.close();

    skald::PluginLoader loader;
    QSignalSpy messages(&loader, &skald::PluginLoader::message);
    QCOMPARE(loader.loadFolder(dir.path()), 0);
    QCOMPARE(messages.count(), 1);
    QVERIFY(messages.at(0).at(0).toString().startsWith(QLatin1String("cannot load")));

    QCOMPARE(loader.loadFolder(dir.filePath(QStringLiteral("missing"))), 0);
    QVERIFY(messages.last().at(0).toString().startsWith(QLatin1String("no plug-in folder")));
    QVERIFY(loader.loadedLibraries().isEmpty());
}

// A library that needs a function this host lacks is refused at load, named; bound lazily, it
// would load and end the whole pendant at its first call of that function.
void tst_Pendant::loaderRefusesALibraryThatNeedsMissingFunctions()
{
#ifdef UNRESOLVED_PLUGIN
    skald::PluginLoader loader;
    QVERIFY(!loader.loadLibrary(QStringLiteral(UNRESOLVED_PLUGIN)));
    QVERIFY2(loader.errorString().contains(QLatin1String("functionOfANewerHost")),
             qPrintable(loader.errorString()));
    QVERIFY(loader.loadedLibraries().isEmpty());
#else
    QSKIP("a library with a missing function cannot be linked here");
#endif
}

void tst_Pendant::loaderCreatesModulesAndDrivesTheirLifecycle()
{
    PendantWindow window;
    window.show();
    auto *loader = new skald::PluginLoader;
    QCOMPARE(loader->loadFolder(QStringLiteral(SAMPLE_PLUGIN_DIR)), 1);
    QCOMPARE(loader->startModules(), QStringList{QStringLiteral("Sample")});
    // A second start creates nothing new.
    QCOMPARE(loader->startModules(), QStringList());
    QCOMPARE(recordedCalls(), (QStringList{QStringLiteral("setup"), QStringLiteral("init"),
                                           QStringLiteral("afterInit"), QStringLiteral("render"),
                                           QStringLiteral("idle")}));

    // The navigation entry shows the module's page.
    QTRY_COMPARE(window.navigation()->count(), 1);
    QCOMPARE(window.navigation()->item(0)->text(), QStringLiteral("Sample"));
    QVERIFY(window.showNavigation(QStringLiteral("sample.page")));
    QVERIFY(window.centerArea()->currentWidget()->findChild<QLabel *>(QStringLiteral("sampleLabel")));

    // Its physical button sits on the frame and runs the module's action.
    auto *f1 = window.findChild<QPushButton *>(QStringLiteral("phy.sample.keys.0.0"));
    QVERIFY(f1);
    QCOMPARE(f1->text(), QStringLiteral("F1"));
    QTest::mouseClick(f1, Qt::LeftButton);
    QCOMPARE(recordedCalls().last(), QStringLiteral("F1"));

    delete loader;
    QCOMPARE(recordedCalls().last(), QStringLiteral("detach"));
    QVERIFY(!window.centerArea()->page(QStringLiteral("sample.page")));
    QTRY_VERIFY(!window.findChild<QPushButton *>(QStringLiteral("phy.sample.keys.0.0")));
}

void tst_Pendant::loaderNamesALibraryWhosePluginNameIsTaken()
{
    // A second copy of a plug-in registers the name the first took.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QFileInfoList originals =
        QDir(QStringLiteral(SAMPLE_PLUGIN_DIR)).entryInfoList(QDir::Files);
    QCOMPARE(originals.size(), 1);
    const QString copy = dir.filePath(QStringLiteral("libsamplecopy.so"));
    QVERIFY(QFile::copy(originals.constFirst().absoluteFilePath(), copy));

    skald::PluginLoader loader;
    QSignalSpy messages(&loader, &skald::PluginLoader::message);
    QVERIFY(loader.loadLibrary(originals.constFirst().absoluteFilePath()));
    QVERIFY(loader.loadLibrary(copy));
    QVERIFY2(messages.last().at(0).toString().startsWith(
                 QStringLiteral("libsamplecopy.so registers no new plug-in")),
             qPrintable(messages.last().at(0).toString()));
    QVERIFY(messages.last().at(0).toString().contains(QStringLiteral("Sample")));
}

// libX.so -> libX.so.1 -> libX.so.1.0 is one library, loaded once under its first name.
void tst_Pendant::loaderLoadsAVersionedLibraryOnce()
{
#ifdef Q_OS_WIN
    QSKIP("QFile::link makes a shortcut on Windows, not a link a library loads through");
#else
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QFileInfoList originals =
        QDir(QStringLiteral(SAMPLE_PLUGIN_DIR)).entryInfoList(QDir::Files);
    QCOMPARE(originals.size(), 1);
    const QString name = QStringLiteral("libsampleversioned.so");
    QVERIFY(QFile::copy(originals.constFirst().absoluteFilePath(),
                        dir.filePath(name + QStringLiteral(".1.0"))));
    if (!QFile::link(name + QStringLiteral(".1.0"), dir.filePath(name + QStringLiteral(".1")))
        || !QFile::link(name + QStringLiteral(".1"), dir.filePath(name)))
        QSKIP("this file system has no symbolic links");

    skald::PluginLoader loader;
    QCOMPARE(loader.loadFolder(dir.path()), 1);
    QCOMPARE(loader.loadedLibraries(), QStringList{dir.filePath(name)});
    QVERIFY2(loader.problems().filter(QStringLiteral(".so.1")).isEmpty(),
             qPrintable(loader.problems().join(QLatin1Char('\n'))));
#endif
}

void tst_Pendant::sessionConnectsShowsMessagesAndSavesScreenshot()
{
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QString previous = QDir::currentPath();
    PendantOptions options = PendantOptions::fromArguments({QStringLiteral("pendant")});
    options.home = home.filePath(QStringLiteral("home"));
    options.pluginDir = home.path();
    options.robotModel = QStringLiteral("SR7-800");
    {
        PendantSession session(options);
        QSignalSpy finished(&session, &PendantSession::finished);
        QVERIFY(session.start());
        QCOMPARE(QDir::currentPath(), QDir(options.home).canonicalPath());
        QVERIFY(QDir(QStringLiteral("log")).exists());

        QTRY_VERIFY(sv::vantor()->mobj()->c(QStringLiteral("connected"))->getBool(false));
        auto *link = qobject_cast<QLabel *>(
            session.window()->statusArea()->item(QStringLiteral("rovan.body.statuspage.link")));
        QVERIFY(link);
        QTRY_COMPARE(link->text(), QStringLiteral("Controller connected"));

        mirel::ManagerHelper::throwLog(nullptr, QStringLiteral("warning"), QStringLiteral("Hello"));
        QVERIFY(session.window()->messageArea()->toPlainText().contains(
            QStringLiteral("[warning] Hello")));

        const QString shot = home.filePath(QStringLiteral("shots/one.png"));
        QVERIFY(session.saveScreenshot(shot));
        const QImage image(shot);
        QVERIFY(!image.isNull());
        QCOMPARE(image.size(), session.window()->size());

        session.controller()->bringDown(false);
        QTRY_COMPARE(link->text(), QStringLiteral("Controller disconnected"));
        QCOMPARE(finished.count(), 0);
    }
    QVERIFY(!mirel::ManagerHelper::instance()->controllerManager()->link());
    QDir::setCurrent(previous);
}

// Two pendants on one home would drive each other's robot through the work folder.
void tst_Pendant::homeIsOnePendantsAtATime()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString home = dir.filePath(QStringLiteral("home"));
    QString error;
    std::unique_ptr<QLockFile> first = PendantHome::claim(home, &error);
    QVERIFY2(first, qPrintable(error));
    QVERIFY(!PendantHome::claim(home, &error));
    QVERIFY2(error.contains(QStringLiteral("in use by another pendant")), qPrintable(error));
    first.reset();
    QVERIFY2(PendantHome::claim(home, &error), qPrintable(error));
}

void tst_Pendant::executableRunsOffscreenAndExitsCleanly()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString shot = dir.filePath(QStringLiteral("pendant.png"));
    const PendantRun run = runPendant({QStringLiteral("--home"), dir.filePath(QStringLiteral("home")),
                                      QStringLiteral("--plugins"), dir.path(),
                                      QStringLiteral("--quit-after"), QStringLiteral("400"),
                                      QStringLiteral("--screenshot"), shot});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QStringLiteral("controller link up (SR6-900)")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("0 plug-in module(s) running")));
    QVERIFY(run.out.contains(QStringLiteral("screenshot saved to ") + shot));
    QVERIFY(!QImage(shot).isNull());
}

void tst_Pendant::executableDemoShowsEveryPage()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString demo = dir.filePath(QStringLiteral("demo"));
    const PendantRun run = runPendant({QStringLiteral("--home"), dir.filePath(QStringLiteral("home")),
                                      QStringLiteral("--plugins"), QStringLiteral(SAMPLE_PLUGIN_DIR),
                                      QStringLiteral("--quit-after"), QStringLiteral("200"),
                                      QStringLiteral("--reboot-delay"), QStringLiteral("100"),
                                      QStringLiteral("--demo"), demo});
    QCOMPARE(run.exitCode, 0);
    QVERIFY2(run.out.contains(QStringLiteral("created module Sample")), qPrintable(run.out));
    QVERIFY(run.out.contains(QStringLiteral("showing page \"Sample\" (sample.page)")));
    QVERIFY(run.out.contains(QStringLiteral("module Sample stopped")));
    QVERIFY(!QImage(QDir(demo).filePath(QStringLiteral("00-overview.png"))).isNull());
    QVERIFY(!QImage(QDir(demo).filePath(QStringLiteral("01-sample_page.png"))).isNull());
    QVERIFY(run.out.contains(QStringLiteral("controller link down (reboot)")));
    QVERIFY(!QImage(QDir(demo).filePath(QStringLiteral("02-controller-rebooting.png"))).isNull());
    QVERIFY(!QImage(QDir(demo).filePath(QStringLiteral("03-controller-back.png"))).isNull());
    QCOMPARE(run.out.count(QStringLiteral("controller link up (SR6-900)")), 2);
    // The stand-in programs are in the home's work folder, ready to run.
    const QFileInfo optimiser(dir.filePath(
        QStringLiteral("home/D:/VeltraPemba/calib/veltraalgorithm/calib-2.1.0.exe")));
    QVERIFY(optimiser.isFile() && optimiser.isExecutable());
}

void tst_Pendant::executableDemoRunsTheCalibrationPlugin_data()
{
    QTest::addColumn<bool>("separate");
#ifndef TESSEL_SANITIZED
    // The sanitizers meet the embedded controller's demo in the window walks.
    QTest::newRow("embedded controller") << false;
#endif
    QTest::newRow("separate simcontroller") << true;
}

// README command 1 with every plug-in and the measuring programs: the calibration story, a
// result given up, ISO before and after an automatically applied calibration, on the embedded
// controller and on a separate simcontroller process alike. The robot and the tracker are
// seeded, so the figures are the same on every run.
void tst_Pendant::executableDemoRunsTheCalibrationPlugin()
{
    QFETCH(bool, separate);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString home = dir.filePath(QStringLiteral("home"));
    const QString demo = dir.filePath(QStringLiteral("demo"));
    QStringList arguments = {QStringLiteral("--home"), home,
                             QStringLiteral("--plugins"), QStringLiteral(VELTRA_PLUGIN_DIR),
                             QStringLiteral("--quit-after"), QStringLiteral("200"),
                             QStringLiteral("--reboot-delay"), QStringLiteral("300"),
                             QStringLiteral("--demo"), demo, QStringLiteral("--lang"),
                             QStringLiteral("zh")};
    QProcess controller;
    if (separate) {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const QString address = QStringLiteral("127.0.0.1:%1").arg(probe.serverPort());
        probe.close();
        controller.start(QStringLiteral(SIMCONTROLLER),
                         {QStringLiteral("--listen"), address, QStringLiteral("--reboot-delay"),
                          QStringLiteral("300"), QStringLiteral("--motion-pace"),
                          QStringLiteral("100")});
        QVERIFY(controller.waitForStarted(5000));
        QVERIFY(controller.waitForReadyRead(5000));
        QVERIFY(controller.readAllStandardOutput().contains("listening"));
        arguments << QStringLiteral("--controller") << address;
    }
    const PendantRun run = runPendant(arguments, 150000);
    if (separate) {
        controller.kill();
        controller.waitForFinished(3000);
    }
    QVERIFY2(run.out.contains(QStringLiteral("Veltra demo: 19 of 19 steps succeeded")),
             qPrintable(run.out.right(4000)));
    QVERIFY(run.out.contains(QStringLiteral("Teach demo: 6 of 6 steps succeeded")));
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.out.contains(QStringLiteral("password typed -> 确定")));
    QVERIFY(run.out.contains(QStringLiteral("showing the program editor with WaitDI")));
    QVERIFY(run.out.contains(QStringLiteral("request file: SN SN-DEMO-001, mode normal, joint 0 "
                                            "keeps alpha a d")));
    QVERIFY(run.out.contains(QStringLiteral("result given up: the controller keeps its 28 DH")));

    // Both figures are printed; the calibrated robot is at least three times more accurate, the
    // demo's own gate, and within what a geometric calibration leaves a mid-size arm at.
    static const QRegularExpression figures(
        QStringLiteral("ISO accuracy before calibration ([0-9.]+) mm, after ([0-9.]+) mm"));
    const QRegularExpressionMatch match = figures.match(run.out);
    QVERIFY2(match.hasMatch(), qPrintable(run.out.right(2000)));
    const double before = match.captured(1).toDouble();
    const double after = match.captured(2).toDouble();
    QVERIFY2(before > 0.3 && before < 3.0, qPrintable(match.captured(0)));
    QVERIFY2(after > 0.0 && after < 0.3 && before >= 3 * after, qPrintable(match.captured(0)));

    // Shots are numbered in page order, and the plug-in folder holds other examples too.
    for (const char *shot :
         {"veltra-info.png", "veltra-calib-unlocked.png", "veltra-calib-given-up.png",
          "veltra-calib-new-params.png", "veltra-iso-saved-uncalibrated.png",
          "veltra-iso-saved-calibrated.png", "veltra-records.png", "veltra-records-restored.png",
          "veltra-iso-saved-restored.png", "tessel_RlIo.png", "program-editor.png"}) {
        const QString pattern = QStringLiteral("[0-9][0-9]-") + QLatin1String(shot);
        const QStringList found = QDir(demo).entryList({pattern}, QDir::Files);
        QVERIFY2(found.size() == 1 && !QImage(QDir(demo).filePath(found.constFirst())).isNull(),
                 shot);
    }
    // The restore brings the controller back, and the robot is as accurate as before.
    QVERIFY(run.out.contains(
        QStringLiteral("the controller holds its DH parameters from before the calibration again")));
    QVERIFY(run.out.contains(QStringLiteral("1 record(s); the newest: ")));
    QVERIFY(run.out.contains(QStringLiteral("mm apart, within")));
    // Each saved report is a folder of its own below the chosen one.
    const QStringList reports = QDir(home + QStringLiteral("/VeltraReport"))
                                    .entryList({QStringLiteral("iso_report_*")}, QDir::Dirs);
    QCOMPARE(reports.size(), 4);
    // The offline identification with the joints' compliance, applied by its own program: the
    // three figures are printed, the last at least five times better than the first.
    static const QRegularExpression three(
        QStringLiteral("ISO accuracy uncalibrated ([0-9.]+) mm, DH ([0-9.]+) mm, DH with "
                       "compliance ([0-9.]+) mm"));
    const QRegularExpressionMatch compliant = three.match(run.out);
    QVERIFY2(compliant.hasMatch(), qPrintable(run.out.right(2000)));
    QCOMPARE(compliant.captured(1).toDouble(), before);
    QVERIFY2(compliant.captured(3).toDouble() > 0
                 && before >= 5 * compliant.captured(3).toDouble(),
             qPrintable(compliant.captured(0)));
    QVERIFY(run.out.contains(QStringLiteral("joint1.compliance held: the joint carries no torque")));
    QVERIFY(QFileInfo::exists(home + QStringLiteral("/VeltraReport/compliance/optimized_dh.json")));
}

void tst_Pendant::workFolderInstallKeepsResultsAndRefreshesPrograms()
{
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString from = dir.filePath(QStringLiteral("template"));
    const QString to = dir.filePath(QStringLiteral("work"));
    const auto write = [](const QString &path, const QByteArray &content) {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
               && file.write(content) == content.size();
    };
    const QString program = QStringLiteral("/calib/tool/run-1.0.exe");
    QVERIFY(write(from + program, "#!/bin/sh\necho new\n"));
    QVERIFY(QFile::setPermissions(from + program, QFile::permissions(from + program)
                                                      | QFileDevice::ExeOwner));
    QVERIFY(write(to + program, "#!/bin/sh\necho old\n"));
    QVERIFY(write(to + QStringLiteral("/results/calib_results/SN1/report.xlsx"), "kept"));

    QString error;
    QVERIFY2(PendantHome::installTree(from, to, &error), qPrintable(error));
    QFile copied(to + program);
    QVERIFY(copied.open(QIODevice::ReadOnly));
    QCOMPARE(copied.readAll(), QByteArray("#!/bin/sh\necho new\n"));
    QVERIFY(QFileInfo(to + program).isExecutable());
    QVERIFY(QFileInfo::exists(to + QStringLiteral("/results/calib_results/SN1/report.xlsx")));

    QVERIFY(!PendantHome::installTree(dir.filePath(QStringLiteral("missing")), to, &error));
    QVERIFY(error.contains(QStringLiteral("missing")));

    // Into itself there is nothing to copy; into a folder of its own it would copy itself along.
    QVERIFY2(PendantHome::installTree(to, to, &error), qPrintable(error));
    QVERIFY(!PendantHome::installTree(dir.path(), to, &error));
    QVERIFY2(error.contains(QStringLiteral("lies inside")), qPrintable(error));
    QVERIFY(!QFileInfo::exists(to + QStringLiteral("/template")));
}

void tst_Pendant::executableRefusesBadArguments()
{
    const PendantRun run = runPendant({QStringLiteral("--robot"), QStringLiteral("nope")});
    QCOMPARE(run.exitCode, 2);
    // A home that cannot be made is found only at the start; its reason goes where errors go.
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("a-file"));
    QFile taken(file);
    QVERIFY(taken.open(QIODevice::WriteOnly));
    taken.close();
    const PendantRun noHome = runPendant({QStringLiteral("--home"), file, QStringLiteral("--plugins"),
                                          dir.path(), QStringLiteral("--quit-after"),
                                          QStringLiteral("0")});
    QVERIFY(noHome.exitCode != 0);
    QVERIFY2(noHome.err.contains(QStringLiteral("a-file")), qPrintable(noHome.out + noHome.err));

#ifndef Q_OS_WIN // the work folder is drive D:'s there, outside any home
    // Its own tools folder, the home would go into its work folder again at every start.
    QTemporaryDir home;
    QVERIFY(home.isValid());
    const PendantRun nested = runPendant(
        {QStringLiteral("--home"), home.path(), QStringLiteral("--tools"), home.path(),
         QStringLiteral("--plugins"), home.path(), QStringLiteral("--quit-after"),
         QStringLiteral("0")});
    QCOMPARE(nested.exitCode, 2);
    QVERIFY2(nested.err.contains(QStringLiteral("holds the work folder")), qPrintable(nested.err));
    QVERIFY(QDir(home.path()).isEmpty());
#endif
}

QTEST_MAIN(tst_Pendant)
#include "tst_pendant.moc"
