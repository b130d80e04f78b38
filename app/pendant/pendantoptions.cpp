#include "pendantoptions.h"

#include <controllerprotocol.h>
#include <sim/controller/simulatedcontroller.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>

namespace {

constexpr double kDemoMotionPace = 100.0;

} // namespace

PendantOptions PendantOptions::fromArguments(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("PendantOptions", "Teach-pendant emulator with an embedded "
                                                      "simulated robot controller."));
    parser.addHelpOption();
    const QCommandLineOption home(QStringLiteral("home"),
                                  QCoreApplication::translate("PendantOptions",
                                                              "Home folder to run in."),
                                  QStringLiteral("dir"));
    const QCommandLineOption plugins(QStringLiteral("plugins"),
                                     QCoreApplication::translate("PendantOptions",
                                                                 "Folder of plug-in libraries."),
                                     QStringLiteral("dir"));
    const QCommandLineOption robot(
        QStringLiteral("robot"),
        QCoreApplication::translate("PendantOptions", "Robot model of the simulated controller: %1.")
            .arg(sim::SimulatedController::modelNames().join(QStringLiteral(", "))),
        QStringLiteral("model"), sim::SimulatedController::modelNames().value(0));
    const QCommandLineOption screenshot(
        QStringLiteral("screenshot"),
        QCoreApplication::translate("PendantOptions", "Save a PNG of the window before quitting."),
        QStringLiteral("file"));
    const QCommandLineOption demo(
        QStringLiteral("demo"),
        QCoreApplication::translate("PendantOptions",
                                    "Show every navigation page in turn and save a PNG of each "
                                    "into this folder, then quit."),
        QStringLiteral("dir"));
    const QCommandLineOption quitAfter(
        QStringLiteral("quit-after"),
        QCoreApplication::translate("PendantOptions", "Quit this many milliseconds after start."),
        QStringLiteral("ms"));
    const QCommandLineOption rebootDelay(
        QStringLiteral("reboot-delay"),
        QCoreApplication::translate("PendantOptions",
                                    "Milliseconds the simulated controller takes to reboot."),
        QStringLiteral("ms"), QStringLiteral("1500"));
    const QCommandLineOption pace(
        QStringLiteral("motion-pace"),
        QCoreApplication::translate("PendantOptions",
                                    "How many times faster than real time the simulated robot "
                                    "moves (default 1, with --demo 100)."),
        QStringLiteral("factor"));
    const QCommandLineOption tools(
        QStringLiteral("tools"),
        QCoreApplication::translate("PendantOptions",
                                    "Folder of stand-in external programs to install into the "
                                    "home's work folder."),
        QStringLiteral("dir"), QStringLiteral(TESSEL_WORKFOLDER_TEMPLATE));
    const QCommandLineOption controller(
        QStringLiteral("controller"),
        QCoreApplication::translate("PendantOptions",
                                    "Use the controller at this address (simcontroller) instead "
                                    "of the embedded one."),
        QStringLiteral("address:port"));
    parser.addOptions(
        {home, plugins, robot, screenshot, demo, quitAfter, rebootDelay, pace, tools, controller});

    PendantOptions options;
    if (!parser.parse(arguments)) {
        options.ok = false;
        options.error = parser.errorText();
        return options;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        options.ok = false;
        options.error = parser.helpText();
        return options;
    }
    options.home = parser.value(home);
    options.pluginDir = parser.value(plugins);
    options.robotModel = parser.value(robot);
    options.screenshot = parser.value(screenshot);
    options.demoDir = parser.value(demo);
    options.toolsDir = parser.value(tools);
    options.controllerAddress = parser.value(controller);
    if (parser.isSet(controller)
        && !mirel::ControllerProtocol::parseAddress(options.controllerAddress, nullptr, nullptr)) {
        options.ok = false;
        options.error = QCoreApplication::translate("PendantOptions", "Bad controller address: %1")
                            .arg(options.controllerAddress);
        return options;
    }
    if (!sim::SimulatedController::modelNames().contains(options.robotModel)) {
        options.ok = false;
        options.error = QCoreApplication::translate("PendantOptions", "Unknown robot model: %1")
                            .arg(options.robotModel);
        return options;
    }
    bool number = true;
    if (parser.isSet(quitAfter)) {
        options.quitAfterMs = parser.value(quitAfter).toInt(&number);
        if (!number || options.quitAfterMs < 0) {
            options.ok = false;
            options.error = QCoreApplication::translate("PendantOptions",
                                                        "--quit-after takes milliseconds");
            return options;
        }
    }
    options.rebootDelayMs = parser.value(rebootDelay).toInt(&number);
    if (!number || options.rebootDelayMs < 0) {
        options.ok = false;
        options.error = QCoreApplication::translate("PendantOptions",
                                                    "--reboot-delay takes milliseconds");
        return options;
    }
    // The demo measures a whole calibration and ISO test in seconds.
    options.motionPace = parser.isSet(pace) ? parser.value(pace).toDouble(&number)
                         : options.demoDir.isEmpty() ? 1.0
                                                     : kDemoMotionPace;
    if (!number || !(options.motionPace > 0)) {
        options.ok = false;
        options.error = QCoreApplication::translate("PendantOptions",
                                                    "--motion-pace takes a factor above 0");
    }
    return options;
}
