#pragma once

#include <tessel/testing/testkit_global.h>

#include <QJsonValue>
#include <QMessageBox>
#include <QString>
#include <QStringList>
#include <QVector>
#include <QWidget>

#include <memory>

/// @file
/// A plug-in running headless in the host stand-in, for the plug-in's own tests.

namespace tessel {
/// Testing a plug-in without a pendant: tessel::testing::PluginFixture.
namespace testing {

/// Runs one plug-in library as the pendant emulator does, offscreen, on the embedded simulated
/// controller, so that a Qt Test (or any test that runs a Qt event loop) can drive its page.
///
/// setUp() makes a temporary home folder the current directory (the plug-in's relative paths,
/// such as "./log/...", resolve there), plugs in the simulated controller, loads the library by
/// path, creates the plug-in's module through the host's module factory, shows its page and
/// waits for the controller link. The destructor stops the module, unplugs the controller and
/// returns to the previous folder. A QApplication must exist for the fixture's whole life.
///
/// Every modal dialog the plug-in opens is answered (with its default button unless an answer
/// was queued with answerNextMessageBox()), so a static QMessageBox call never blocks a test.
///
/// Helpers that can fail return false and say why through qWarning(), which Qt Test prints
/// beside the failing check, and through errorString(). Waits spin the event loop and are
/// bounded by their time-out. Everything runs on the GUI thread.
///
/// A library loads once per process, and its plug-in's registration ends when its module goes:
/// run each library in one fixture per test program, for example a member of the test class
/// set up in `initTestCase()`. A second fixture on the same library fails its set-up.
class TESSEL_TESTKIT_EXPORT PluginFixture
{
public:
    /// Default time-out of the waits, in milliseconds.
    static constexpr int DefaultTimeoutMs = 5000;

    /// A fixture with the defaults: robot model "SR6-900", motion pace 10, reboot delay 300 ms.
    PluginFixture();
    /// Stops the plug-in's module (detach, then destruction), unplugs the controller and
    /// returns to the folder that was current before setUp().
    ~PluginFixture();
    PluginFixture(const PluginFixture &) = delete;
    PluginFixture &operator=(const PluginFixture &) = delete;

    /// The simulated robot model ("SR6-900", 6 axes; "SR7-800", 7 axes); set before setUp().
    void setRobotModel(const QString &model);
    /// How many times faster than real time the simulated robot moves (1 is real time, 10 the
    /// default); set before setUp().
    void setMotionPace(double factor);
    /// How long the simulated controller stays away after "system.controller.reboot", in
    /// milliseconds; set before setUp().
    void setRebootDelay(int ms);

    /// Uses `folder` (made when missing, kept afterwards) as the home instead of a temporary
    /// folder, for files the plug-in reads as it starts; set before setUp().
    void setHome(const QString &folder);

    /// Starts the host stand-in and runs the plug-in in `libraryPath`; blocks (spinning the
    /// event loop) until the controller link is up or `timeoutMs` has passed. Returns false,
    /// with the loader's reason in errorString(), when the library does not load, registers no
    /// plug-in, or registers only names that another library took before; false also when the
    /// library ran in an earlier fixture of this process, when the module cannot be made, when
    /// its page shows nothing (the plug-in's creator threw or returned none) or the link does
    /// not come up. Call it once per fixture.
    bool setUp(const QString &libraryPath, int timeoutMs = DefaultTimeoutMs);
    /// Why the last failing call failed; empty after a success.
    QString errorString() const;
    /// The name the plug-in registered (the first one, if the library registers several).
    QString pluginName() const;
    /// The home folder, current while the fixture is set up; empty before setUp().
    QString homePath() const;

    /// The page the plug-in placed into the host's centre area; null before setUp().
    QWidget *page() const;
    /// The host's window around the page (centre area and status bar); null before setUp().
    QWidget *hostWindow() const;
    /// The first widget called `objectName` in the page, the host's status bar or any other
    /// top-level window; null when there is none.
    QWidget *findWidget(const QString &objectName) const;
    /// findWidget() cast to `T`; null when there is none or it is no `T`.
    template <typename T>
    T *findWidget(const QString &objectName) const
    {
        return qobject_cast<T *>(findWidget(objectName));
    }

    /// Answers the next modal dialog by pressing `button` (a dialog without it gets its default
    /// button). Answers are used in the order queued.
    void answerNextMessageBox(QMessageBox::StandardButton button);
    /// Answers the next modal dialog by pressing the button with this text ("&" marks ignored).
    void answerNextMessageBox(const QString &buttonText);
    /// Answers the next modal dialog by typing `text` into its input field (an input dialog's,
    /// else the focused or the first line edit; a file dialog's name field takes a path) and
    /// accepting it.
    void typeIntoNextDialog(const QString &text);
    /// The texts of the modal dialogs answered so far, oldest first: a message box's text, an
    /// input dialog's label, empty for other dialogs.
    QStringList messageBoxTexts() const;
    /// Waits until `count` dialogs in all were answered; false on time-out.
    bool waitForMessageBoxes(int count, int timeoutMs = DefaultTimeoutMs);

    /// Whether the host reports the controller link up (the command service's "connected").
    bool isLinkUp() const;
    /// Waits until the link is up (or, with `up` false, down); false on time-out.
    bool waitForLink(bool up = true, int timeoutMs = DefaultTimeoutMs);
    /// Drops the link as a pulled cable would; the plug-in sees sigNetworkDisConnect(false).
    void dropLink();
    /// Brings a dropped link back; returns at once (use waitForLink()).
    void restoreLink();
    /// Reboots the controller as "system.controller.reboot" does: the link goes down and comes
    /// back after the reboot delay. Returns at once.
    void rebootController();

    /// The controller's command-service value under `key` (see the SDK's key list); null when
    /// the controller has none.
    QJsonValue controllerValue(const QString &key) const;
    /// Sets a command-service value as the controller would; watchers are told.
    void setControllerValue(const QString &key, const QJsonValue &value);
    /// Sets an input signal ("DI", "GI" or "AI" kind) by name as the cell would. False for an
    /// unknown name, an output or a value that is not a number.
    bool setInput(const QString &name, const QJsonValue &value);
    /// Replaces the controller's answer to `command` by `answer` for the rest of the fixture.
    void setCommandAnswer(const QString &command, const QJsonValue &answer);
    /// The names of the commands and requests the controller received, oldest first.
    QStringList commandsReceived() const;

    /// The robot's joint positions in degrees, one per axis.
    QVector<double> joints() const;
    /// Places the robot at once (degrees, one per axis); false outside the joint limits.
    bool setJoints(const QVector<double> &degrees);

    /// Presses the plug-in's physical button with this text, as the operator would on the
    /// pendant's frame. False when no enabled button has that text.
    bool pressPhysicalButton(const QString &text);

    /// The lines of the plug-in's log files ("log/tessel/<plug-in>/" in the home), oldest
    /// first, as written: tag, time, location, message.
    QStringList logLines() const;
    /// Waits until a log line contains `text`; false on time-out.
    bool waitForLogLine(const QString &text, int timeoutMs = DefaultTimeoutMs);

private:
    bool fail(const QString &reason);

    class Private;
    std::unique_ptr<Private> d;
};

} // namespace testing
} // namespace tessel
