#include "pendantsession.h"

#include "controllerprobe.h"
#include "eventwait.h"
#include "modalanswerer.h"
#include "pendanthome.h"
#include "pendantwindow.h"
#include <nabuSkald/pluginloader.h>
#include "programeditor.h"
#include "robotview.h"
#include "teachdemo.h"
#include "veltrademo.h"

#include <mirel/basesettingpage.h>
#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <mirel/settingmanager.h>
#include <mirel/networkcontrollerlink.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <nabuSkald/centerwidget.h>
#include <nabusrv/vantor.h>
#include <sim/controller/simulatedcontroller.h>
#include <sim/paths/wholefile.h>
#include <sim/server/controllerserver.h>

#include <controllertoken.h>

#include <QApplication>
#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QLockFile>
#include <QFont>
#include <QJsonValue>
#include <QPixmap>
#include <QTimer>

namespace {

constexpr int kPendantFontPoints = 9;
// A controller that does not answer by then is not waited for: the script reports it.
constexpr int kLinkUpWaitMs = 5000;
constexpr int kFirstUnreachableReportMs = 2000;
constexpr int kLongestUnreachableReportMs = 60000;

bool linkConnected()
{
    return sv::vantor()->mobj()->c(QStringLiteral("connected"))->getBool(false);
}

QString fileSafe(QString text)
{
    for (QChar &c : text) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-'))
            c = QLatin1Char('_');
    }
    return text;
}

} // namespace

PendantSession::PendantSession(const PendantOptions &options, QObject *parent)
    : QObject(parent)
    , m_options(options)
{
}

PendantSession::~PendantSession()
{
    // Modules go before the window that holds their pages, and the controller last.
    delete m_loader;
    m_window.reset();
    mirel::ManagerHelper::instance()->controllerManager()->setLink(nullptr);
}

bool PendantSession::start()
{
    QString error;
    const QString pluginDir = m_options.pluginDir.isEmpty()
                                  ? QString()
                                  : QFileInfo(m_options.pluginDir).absoluteFilePath();
    const QString tools = m_options.toolsDir.isEmpty()
                              ? QString()
                              : QFileInfo(m_options.toolsDir).absoluteFilePath();
    // A folder named but missing is a typing error, not an empty pendant.
    if (!QFileInfo(pluginDir).isDir()) {
        emit failure(tr("no plug-in folder %1").arg(QDir::toNativeSeparators(pluginDir)));
        return false;
    }
    m_homeLock = PendantHome::claim(m_options.home, &error);
    if (!m_homeLock || !PendantHome::prepare(m_options.home, &error, tools)) {
        emit failure(error);
        return false;
    }
    say(tr("home folder %1").arg(QDir::toNativeSeparators(QDir::currentPath())));
    // Robot projects live in the home, never at the file-system root.
    mirel::ManagerHelper::instance()->settingManager()->setStr(
        QStringLiteral("workspace"), QDir::current().absoluteFilePath(QStringLiteral("workspace")));

    // A pendant shows its system font at 9 points. Platforms without a desktop (offscreen)
    // default to 12, which lays pages out for a screen no pendant has.
    QFont font = QApplication::font();
    font.setPointSize(kPendantFontPoints);
    QApplication::setFont(font);

    m_window = std::make_unique<PendantWindow>(m_options.windowSize);
    connect(m_window.get(), &PendantWindow::message, this, &PendantSession::say);
    m_window->show();

    mirel::ControllerManager *manager = mirel::ManagerHelper::instance()->controllerManager();
    // The robot view follows the arm through the link, also while it moves.
    m_probe = new ControllerProbe(this);
    connect(m_probe, &ControllerProbe::poseChanged, m_window->robotView(), &RobotView::setPose);
    if (m_options.controllerAddress.isEmpty()) {
        startEmbeddedController();
        manager->setLink(m_controller);
    } else {
        m_networkLink = new mirel::NetworkControllerLink(m_options.controllerAddress, this);
        manager->setLink(m_networkLink);
        m_window->setControllerAddress(m_options.controllerAddress);
        say(tr("using the controller at %1").arg(m_options.controllerAddress));
        watchUnreachable();
    }
    connect(manager, &mirel::ControllerManager::rcConnected, this, [this] {
        say(tr("controller link up (%1)")
                .arg(nabu::m(QStringLiteral("mirel.setting.robot"))->getString()));
    });
    connect(manager, &mirel::ControllerManager::rcDisconnected, this,
            [this](bool expected) {
                say(expected ? tr("controller link down (reboot)") : tr("controller link lost"));
            });

    m_loader = new skald::PluginLoader(nullptr);
    connect(m_loader, &skald::PluginLoader::message, this, &PendantSession::say);
    m_loader->loadFolder(pluginDir);
    m_loader->startModules();
    say(tr("%n plug-in module(s) running", nullptr, m_loader->moduleNames().size()));

    // The host connects after start-up, as a pendant does once the controller answers.
    if (m_controller)
        QTimer::singleShot(0, m_controller, [this] { m_controller->bringUp(); });
    else
        m_networkLink->open();

    // The demo and the check end by themselves; --quit-after only delays their start.
    if (m_options.quitAfterMs >= 0)
        QTimer::singleShot(m_options.quitAfterMs, this, &PendantSession::finish);
    else if (!m_options.demoDir.isEmpty() || m_options.check)
        startScriptOnLinkUp();
    return true;
}

// The host reads the controller's parameters in a nested event loop when the link comes up; a
// script started from within that loop would hold it open to its end. It starts once the link
// is announced, or when the controller has not answered in time.
void PendantSession::startScriptOnLinkUp()
{
    mirel::ControllerManager *manager = mirel::ManagerHelper::instance()->controllerManager();
    auto *start = new QTimer(this);
    start->setSingleShot(true);
    connect(start, &QTimer::timeout, this, [this, manager, start] {
        // Once: the script's own reboots bring the link up again.
        disconnect(manager, nullptr, start, nullptr);
        start->deleteLater();
        finish();
    });
    connect(manager, &mirel::ControllerManager::rcConnected, start, [start] { start->start(0); });
    start->start(kLinkUpWaitMs);
}

PendantWindow *PendantSession::window() const
{
    return m_window.get();
}

skald::PluginLoader *PendantSession::loader() const
{
    return m_loader;
}

sim::SimulatedController *PendantSession::controller() const
{
    return m_controller;
}

QString PendantSession::controllerAddress() const
{
    return m_networkLink ? m_networkLink->address() : m_controller->address();
}

// The link retries by itself and silently: say when the controller is not reached, once, and
// again whenever the wait has doubled, so a typing error in --controller is seen at once.
void PendantSession::watchUnreachable()
{
    auto *timer = new QTimer(this);
    timer->setSingleShot(true);
    const auto restart = [this, timer] {
        m_unreachableSinceMs = 0;
        timer->start(kFirstUnreachableReportMs);
    };
    connect(timer, &QTimer::timeout, this, [this, timer] {
        if (linkConnected())
            return;
        m_unreachableSinceMs += timer->interval();
        if (m_unreachableSinceMs == kFirstUnreachableReportMs)
            say(tr("cannot reach %1, retrying").arg(m_options.controllerAddress));
        else
            say(tr("cannot reach %1 for %2 s, retrying")
                    .arg(m_options.controllerAddress)
                    .arg(m_unreachableSinceMs / 1000));
        timer->start(qMin(m_unreachableSinceMs, kLongestUnreachableReportMs));
    });
    mirel::ControllerManager *manager = mirel::ManagerHelper::instance()->controllerManager();
    connect(manager, &mirel::ControllerManager::rcConnected, timer, &QTimer::stop);
    // A reboot is announced and brief; a lost link is watched again.
    connect(manager, &mirel::ControllerManager::rcDisconnected, timer, [restart](bool expected) {
        if (!expected)
            restart();
    });
    restart();
}

// The embedded controller is also served on loopback, so that programs the plug-ins start reach
// the same controller as the pendant.
void PendantSession::startEmbeddedController()
{
    m_controller = new sim::SimulatedController(this);
    m_controller->setModel(m_options.robotModel);
    m_controller->setRebootDelay(m_options.rebootDelayMs);
    m_controller->setMotionPace(m_options.motionPace);
    m_server = new sim::ControllerServer(m_controller, this);
    // This user's token, so that programs started by hand reach it as well; the programs the
    // plug-ins start find it in their environment.
    QByteArray token;
    QString error;
    if (!mirel::ControllerToken::readOrCreate(mirel::ControllerToken::userFilePath(), &token,
                                              &error)) {
        say(error);
        token = mirel::ControllerToken::generate();
    }
    m_server->setToken(token);
    qputenv(mirel::ControllerToken::EnvironmentVariable, token);
    if (m_server->listen(QHostAddress::LocalHost, 0)) {
        m_controller->setAddress(m_server->addressText());
        say(tr("controller served on %1 (loopback only)").arg(m_server->addressText()));
    } else {
        say(tr("controller not served on the network: %1").arg(m_server->errorString()));
    }
}

// Through the link, as a plug-in asks for it, whichever controller is plugged in.
void PendantSession::requestReboot()
{
    mirel::ControllerManager *manager = mirel::ManagerHelper::instance()->controllerManager();
    manager->post(mirel::ControllerMessage::Command, QStringLiteral("system.controller.reboot"),
                  QJsonValue());
}

void PendantSession::setPictureHook(std::function<void(const QString &)> hook)
{
    m_pictureHook = std::move(hook);
}

bool PendantSession::saveScreenshot(const QString &path)
{
    const QFileInfo info(path);
    QDir().mkpath(info.absolutePath());
    // Put in place whole: a full disk must not leave a cut-off picture over an earlier one.
    QByteArray png;
    QBuffer buffer(&png);
    QString error;
    const bool saved = m_window && buffer.open(QIODevice::WriteOnly)
                       && m_window->grab().save(&buffer, "PNG")
                       && sim::WholeFile::replace(info.absoluteFilePath(), png, &error);
    if (!saved) {
        say(tr("cannot save screenshot %1").arg(QDir::toNativeSeparators(info.absoluteFilePath())));
        return false;
    }
    say(tr("screenshot saved to %1").arg(QDir::toNativeSeparators(info.absoluteFilePath())));
    return true;
}

// The offline identification is installed beside the emulator, out of the plug-ins' reach.
QString PendantSession::identifyProgram()
{
#ifdef Q_OS_WIN
    const QString suffix = QStringLiteral(".exe");
#else
    const QString suffix;
#endif
    return QCoreApplication::applicationDirPath() + QStringLiteral("/identifyCalib") + suffix;
}

QStringList PendantSession::runDemo(const QString &folder, bool *allSucceeded)
{
    QStringList files;
    bool succeeded = true;
    eventwait::until(linkConnected, 3000);
    eventwait::settle(100);

    int n = 0;
    const auto shotAs = [&](const QString &what) {
        eventwait::settle(150);
        const QString file = QDir(folder).filePath(
            QStringLiteral("%1-%2.png").arg(n++, 2, 10, QLatin1Char('0')).arg(what));
        if (!saveScreenshot(file))
            return false;
        files.append(file);
        if (m_pictureHook)
            m_pictureHook(what);
        return true;
    };
    // Boxes a plug-in opens while the demo drives it would block the demo.
    ModalAnswerer answerer;
    connect(&answerer, &ModalAnswerer::message, this, &PendantSession::say);

    shotAs(QStringLiteral("overview"));
    const auto entries = m_window->navigationEntries();
    for (const auto &entry : entries) {
        if (!m_window->showNavigation(entry.second)) {
            say(tr("page %1 cannot be shown").arg(entry.second));
            continue;
        }
        say(tr("showing page \"%1\" (%2)").arg(entry.first, entry.second));
        QWidget *current = m_window->centerArea()->currentWidget();
        if (QWidget *teach = TeachDemo::findPage(current)) {
            TeachDemo demo(teach, m_probe, m_window->robotView(), folder);
            connect(&demo, &TeachDemo::message, this, &PendantSession::say);
            succeeded = demo.run() == TeachDemo::StepCount && succeeded;
            files += demo.pictures();
            shotAs(fileSafe(entry.second));
            continue;
        }
        QWidget *veltra = VeltraDemo::findPage(current);
        if (!veltra) {
            shotAs(fileSafe(entry.second));
            continue;
        }
        VeltraDemo demo(veltra, m_probe, &answerer, shotAs);
        demo.setRebootWait(m_options.rebootDelayMs);
        connect(&demo, &VeltraDemo::message, this, &PendantSession::say);
        demo.setReportFolder(QDir::current().absoluteFilePath(QStringLiteral("VeltraReport")));
        demo.setWorkFolder(QDir::current().absoluteFilePath(PendantHome::workFolder()));
        demo.setControllerAddress(controllerAddress());
        demo.setIdentifyProgram(identifyProgram());
        succeeded = demo.run() == VeltraDemo::StepCount && succeeded;
    }

    // The instructions plug-ins registered, with the first one's insert editor open.
    ProgramEditor *program = m_window->programEditor();
    program->refresh();
    if (!program->instructions().isEmpty()) {
        m_window->showProgramEditor();
        program->selectInstruction(program->instructions().constFirst());
        say(tr("showing the program editor with %1").arg(program->selectedInstruction()));
        if (!program->openInsertEditor()) {
            say(tr("the insert editor of %1 cannot be opened")
                    .arg(program->selectedInstruction()));
            succeeded = false;
        }
        shotAs(QStringLiteral("program-editor"));
    }

    // Plug-ins must follow the link through a controller reboot.
    say(tr("rebooting the controller"));
    requestReboot();
    if (eventwait::until([] { return !linkConnected(); }, 2000))
        shotAs(QStringLiteral("controller-rebooting"));
    if (eventwait::until(linkConnected, m_options.rebootDelayMs + 3000)) {
        shotAs(QStringLiteral("controller-back"));
    } else {
        say(tr("the controller did not come back"));
        succeeded = false;
    }
    if (allSucceeded)
        *allSucceeded = succeeded;
    return files;
}

QStringList PendantSession::checkPlugins()
{
    QStringList faults = m_loader->problems();
    const auto entries = m_window->navigationEntries();
    if (m_loader->loadedLibraries().isEmpty() || m_loader->moduleNames().isEmpty()) {
        faults.append(tr("no plug-in in %1")
                          .arg(QDir::toNativeSeparators(QFileInfo(m_options.pluginDir)
                                                            .absoluteFilePath())));
    }
    for (const auto &entry : entries) {
        if (!m_window->showNavigation(entry.second)) {
            faults.append(tr("page %1 cannot be shown").arg(entry.second));
            continue;
        }
        eventwait::settle(50);
        if (mirel::BaseSettingPage::showsNothing(m_window->centerArea()->page(entry.second))) {
            faults.append(tr("page %1 shows nothing: its plug-in could not be created, or adds "
                             "no widget")
                              .arg(entry.second));
            continue;
        }
        say(tr("showing page \"%1\" (%2)").arg(entry.first, entry.second));
    }
    return faults;
}

void PendantSession::finish()
{
    bool ok = true;
    if (m_options.check) {
        const QStringList faults = checkPlugins();
        for (const QString &fault : faults)
            emit failure(fault);
        say(faults.isEmpty() ? tr("check passed: %n plug-in module(s)", nullptr,
                                  m_loader->moduleNames().size())
                             : tr("check failed: %n fault(s)", nullptr, faults.size()));
        ok = faults.isEmpty();
    }
    // A library that does not load fails a scripted run, as it would fail a pendant.
    if (!m_options.demoDir.isEmpty() && !m_options.check) {
        for (const QString &problem : m_loader->problems())
            emit failure(problem);
        ok = m_loader->problems().isEmpty();
    }
    if (!m_options.demoDir.isEmpty()) {
        bool stepsSucceeded = false;
        ok = !runDemo(m_options.demoDir, &stepsSucceeded).isEmpty() && stepsSucceeded && ok;
    }
    if (!m_options.screenshot.isEmpty())
        ok = saveScreenshot(m_options.screenshot) && ok;
    say(tr("quitting"));
    emit finished(ok ? 0 : 1);
}

void PendantSession::say(const QString &text)
{
    emit message(text);
}
