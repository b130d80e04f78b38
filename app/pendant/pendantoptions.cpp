#include "pendantoptions.h"

#include "pendanthome.h"

#include <controllerprotocol.h>
#include <sim/controller/robotmotion.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/paths/drivepath.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

constexpr double kDemoMotionPace = 100.0;

QString tr(const char *text)
{
    return QCoreApplication::translate("PendantOptions", text);
}

QString withDefault(const QString &description, const QString &value)
{
    return tr("%1 Default: %2").arg(description, value);
}

// The session runs in its home folder: what the user typed means the folder they typed it in.
QString absolute(const QString &path)
{
    return path.isEmpty() ? path : QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// Below this nothing of a page fits; above it no screen exists.
constexpr int kMinSide = 320;
constexpr int kMaxSide = 16384;

} // namespace

QSize PendantOptions::parseSize(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
    const QRegularExpressionMatch match = pattern.match(text.trimmed());
    if (!match.hasMatch())
        return QSize();
    const QSize size(match.captured(1).toInt(), match.captured(2).toInt());
    if (size.width() < kMinSide || size.height() < kMinSide || size.width() > kMaxSide
        || size.height() > kMaxSide)
        return QSize();
    return size;
}

PendantOptions PendantOptions::fromArguments(const QStringList &arguments,
                                             const PendantPaths &paths)
{
    PendantOptions options;
    const QStringList models = sim::SimulatedController::modelNames();
    const QString defaultHome = PendantPaths::defaultHome();
    const QString defaultPlugins = paths.pluginDir();
    const QString defaultTools = paths.workFolderTemplate();
    const QString size = QStringLiteral("%1x%2").arg(options.windowSize.width())
                             .arg(options.windowSize.height());

    QCommandLineParser parser;
    parser.setApplicationDescription(tr("Teach-pendant emulator with an embedded "
                                        "simulated robot controller."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption home(
        QStringLiteral("home"),
        withDefault(tr("Home folder to run in: logs, robot projects and the work folder "
                       "(Windows drive paths such as D:/VeltraPemba are folders below it)."),
                    QDir::toNativeSeparators(defaultHome)),
        QStringLiteral("dir"), defaultHome);
    const QCommandLineOption plugins(
        QStringLiteral("plugins"),
        withDefault(tr("Folder of plug-in libraries."),
                    defaultPlugins.isEmpty()
                        ? tr("none found (%1)")
                              .arg(QDir::toNativeSeparators(
                                  paths.pluginDirCandidates().join(QStringLiteral(", "))))
                        : QDir::toNativeSeparators(defaultPlugins)),
        QStringLiteral("dir"));
    const QCommandLineOption robot(
        QStringLiteral("robot"),
        withDefault(tr("Robot model of the simulated controller: %1.")
                        .arg(models.join(QStringLiteral(", "))),
                    models.value(0)),
        QStringLiteral("model"), models.value(0));
    const QCommandLineOption windowSize(
        QStringLiteral("size"),
        withDefault(tr("Size of the window, a pendant's screen; pages larger than it scroll."),
                    size),
        QStringLiteral("WxH"), size);
    const QCommandLineOption screenshot(QStringLiteral("screenshot"),
                                        tr("Save a PNG of the window before quitting."),
                                        QStringLiteral("file"));
    const QCommandLineOption demo(QStringLiteral("demo"),
                                  tr("Run the scripted demo (every page, then the Teach and "
                                     "Veltra steps), save its screenshots into this folder, "
                                     "then quit."),
                                  QStringLiteral("dir"));
    const QCommandLineOption quitAfter(
        QStringLiteral("quit-after"),
        withDefault(tr("Quit this many milliseconds after start (with --demo or --check: start "
                       "them then, and quit when they end)."),
                    tr("never; the demo and the check start once the controller answers")),
        QStringLiteral("ms"));
    const QCommandLineOption rebootDelay(
        QStringLiteral("reboot-delay"),
        withDefault(tr("Milliseconds the simulated controller takes to reboot."),
                    QString::number(options.rebootDelayMs)),
        QStringLiteral("ms"), QString::number(options.rebootDelayMs));
    const QCommandLineOption pace(
        QStringLiteral("motion-pace"),
        withDefault(tr("How many times faster than real time the simulated robot moves."),
                    tr("1, with --demo %1").arg(kDemoMotionPace)),
        QStringLiteral("factor"));
    const QCommandLineOption tools(
        QStringLiteral("tools"),
        withDefault(tr("Folder of the measuring programs to install into the home's work "
                       "folder."),
                    QDir::toNativeSeparators(defaultTools)),
        QStringLiteral("dir"), defaultTools);
    const QCommandLineOption controller(
        QStringLiteral("controller"),
        tr("Use the controller at this address (simcontroller) instead of the embedded one."),
        QStringLiteral("address:port"));
    const QCommandLineOption check(
        QStringLiteral("check"),
        tr("Load every plug-in library, create every module, show each page once and quit; "
           "exit non-zero, naming the library, when one does not load or adds no plug-in, and "
           "when the folder holds no plug-in."));
    parser.addOptions({home, plugins, robot, windowSize, screenshot, demo, quitAfter, rebootDelay,
                       pace, tools, controller, check});
    const QCommandLineOption lang(
        QStringLiteral("lang"),
        withDefault(tr("Language of the window and the plug-ins: en or zh."),
                    tr("Chinese on a Chinese system, English otherwise")),
        QStringLiteral("language"));
    parser.addOption(lang);

    const auto fail = [&options](const QString &error) {
        options.ok = false;
        options.error = error;
        return options;
    };
    if (!parser.parse(arguments))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help"))) {
        options.printOnly = parser.helpText();
        return options;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        options.printOnly = QStringLiteral("%1 %2\n").arg(QCoreApplication::applicationName(),
                                                           QCoreApplication::applicationVersion());
        return options;
    }
    if (!parser.positionalArguments().isEmpty())
        return fail(tr("Unexpected argument: %1").arg(parser.positionalArguments().constFirst()));

    options.home = absolute(parser.value(home));
    options.pluginDir = parser.isSet(plugins) ? absolute(parser.value(plugins)) : defaultPlugins;
    options.robotModel = parser.value(robot);
    options.screenshot = absolute(parser.value(screenshot));
    options.demoDir = absolute(parser.value(demo));
    options.toolsDir = absolute(parser.value(tools));
    options.check = parser.isSet(check);
    options.controllerAddress = parser.value(controller);
    if (options.home.isEmpty())
        return fail(tr("No home folder: give one with --home"));
    // The programs go into the work folder below the home; a tools folder holding it would be
    // copied into itself at every start.
    const QString workFolder = sim::DrivePath::toLocal(PendantHome::workFolder(), options.home);
    if (!options.toolsDir.isEmpty() && PendantHome::liesWithin(workFolder, options.toolsDir)
        && !PendantHome::liesWithin(options.toolsDir, workFolder)) {
        return fail(tr("The tools folder %1 holds the work folder %2 its programs are copied "
                       "into; give --tools the folder of the measuring programs alone")
                        .arg(QDir::toNativeSeparators(options.toolsDir),
                             QDir::toNativeSeparators(workFolder)));
    }
    if (parser.isSet(plugins) && !QFileInfo(options.pluginDir).isDir())
        return fail(tr("No plug-in folder %1").arg(QDir::toNativeSeparators(options.pluginDir)));
    if (options.pluginDir.isEmpty()) {
        return fail(tr("No plug-in folder: none of %1 exists; give one with --plugins")
                        .arg(QDir::toNativeSeparators(
                            paths.pluginDirCandidates().join(QStringLiteral(", ")))));
    }
    if (parser.isSet(controller)
        && !mirel::ControllerProtocol::parseAddress(options.controllerAddress, nullptr, nullptr))
        return fail(tr("Bad controller address: %1").arg(options.controllerAddress));
    if (!models.contains(options.robotModel)) {
        return fail(tr("Unknown robot model: %1 (models: %2)")
                        .arg(options.robotModel, models.join(QStringLiteral(", "))));
    }
    options.windowSize = parseSize(parser.value(windowSize));
    if (!options.windowSize.isValid()) {
        return fail(tr("--size takes WIDTHxHEIGHT, each %1 to %2 pixels, e.g. %3")
                        .arg(kMinSide)
                        .arg(kMaxSide)
                        .arg(size));
    }
    options.language = parser.value(lang);
    if (parser.isSet(lang) && options.language != QLatin1String("en")
        && options.language != QLatin1String("zh")) {
        return fail(tr("--lang takes en or zh"));
    }
    bool number = true;
    if (parser.isSet(quitAfter)) {
        options.quitAfterMs = parser.value(quitAfter).toInt(&number);
        if (!number || options.quitAfterMs < 0)
            return fail(tr("--quit-after takes milliseconds"));
    }
    options.rebootDelayMs = parser.value(rebootDelay).toInt(&number);
    // Beyond a day, the controller's going-down notice carries a delay every client refuses.
    if (!number || options.rebootDelayMs < 0 || options.rebootDelayMs > 86400000)
        return fail(tr("--reboot-delay takes milliseconds, at most a day"));
    // The demo measures a whole calibration and ISO test in seconds.
    options.motionPace = parser.isSet(pace) ? parser.value(pace).toDouble(&number)
                         : options.demoDir.isEmpty() ? 1.0
                                                     : kDemoMotionPace;
    // Beyond the simulated robot's bounds a pace would be clamped, or ignored, unseen.
    if (!number || !(options.motionPace >= sim::RobotMotion::kMinPace)
        || !(options.motionPace <= sim::RobotMotion::kMaxPace))
        return fail(tr("--motion-pace takes a factor from %1 to %2")
                        .arg(sim::RobotMotion::kMinPace)
                        .arg(sim::RobotMotion::kMaxPace));
    return options;
}
