#pragma once

#include "pendantoptions.h"

#include <QObject>

#include <functional>
#include <memory>

class ControllerProbe;
class PendantWindow;
class QLockFile;

namespace mirel {
class ControllerLink;
class NetworkControllerLink;
}

namespace skald {
class PluginLoader;
}

namespace sim {
class ControllerServer;
class SimulatedController;
}

// One run of the emulator: home folder, window, embedded controller, plug-ins, and the
// scripted steps the options ask for (demo pages, screenshot, quitting).
class PendantSession : public QObject
{
    Q_OBJECT

public:
    explicit PendantSession(const PendantOptions &options, QObject *parent = nullptr);
    ~PendantSession() override;

    // False with a message when the home or the plug-in folder cannot be used.
    bool start();

    PendantWindow *window() const;
    skald::PluginLoader *loader() const;
    // The embedded controller; null when the pendant uses a separate one (--controller).
    sim::SimulatedController *controller() const;
    // Where external programs reach the controller ("HOST:PORT").
    QString controllerAddress() const;

    bool saveScreenshot(const QString &path);
    // Shows every navigation page in turn and saves one PNG each; works the plug-ins' pages
    // through their scripted steps (the same on the embedded controller and a separate one);
    // reboots the controller. Returns the files; `allSucceeded` tells whether every step did.
    QStringList runDemo(const QString &folder, bool *allSucceeded = nullptr);
    // Called with the picture's name after each picture the demo saves: a test looks at the
    // window in every state the demo passes through.
    void setPictureHook(std::function<void(const QString &what)> hook);

    // Shows each navigation page once; returns the faults, each naming the library or page.
    QStringList checkPlugins();

signals:
    void message(const QString &text);
    // A fault that makes the run fail, for standard error.
    void failure(const QString &text);
    void finished(int exitCode);

private:
    static QString identifyProgram();
    void finish();
    void say(const QString &text);

    PendantOptions m_options;
    std::unique_ptr<QLockFile> m_homeLock;
    std::unique_ptr<PendantWindow> m_window;
    skald::PluginLoader *m_loader = nullptr;
    void startEmbeddedController();
    void requestReboot();
    void watchUnreachable();
    void startScriptOnLinkUp();

    ControllerProbe *m_probe = nullptr;
    sim::SimulatedController *m_controller = nullptr;
    sim::ControllerServer *m_server = nullptr;
    mirel::NetworkControllerLink *m_networkLink = nullptr;
    int m_unreachableSinceMs = 0;
    std::function<void(const QString &)> m_pictureHook;
};
