#include <tessel/testing/pluginfixture.h>

#include <support/modaldialogwatcher.h>
#include <support/simhost.h>
#include <support/temporarycurrentdir.h>

#include <mirel/basesettingpage.h>
#include <mirel/managerhelper.h>
#include <mirel/physicalbutton.h>
#include <mirel/settingmanager.h>
#include <nabuCore/modulemanager.h>
#include <nabuSkald/centerwidget.h>
#include <nabuSkald/pluginloader.h>
#include <nabuSkald/statusbar.h>
#include <sim/controller/simulatedcontroller.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextStream>
#include <QVBoxLayout>
#include <QtTest/qtest.h>

#include <utility>

namespace tessel {
namespace testing {

namespace {

// A library loads once per process and registers its plug-in while loading; the registration
// ends with the plug-in's module. A library run once cannot run again in the same process.
QSet<QString> &librariesRun()
{
    static QSet<QString> paths;
    return paths;
}

// The page size of the pendant's centre area.
constexpr int kWindowWidth = 1024;
constexpr int kWindowHeight = 700;

} // namespace

class PluginFixture::Private
{
public:
    QString model = QStringLiteral("SR6-900");
    double pace = 10.0;
    int rebootDelayMs = 300;
    QString error;
    QString plugin;
    QString chosenHome;
    QString homePath;
    QString previousDir; // set while a chosen home is current

    // Declared in set-up order; destroyed the other way round.
    std::unique_ptr<support::TemporaryCurrentDir> home;
    std::unique_ptr<support::SimHost> host;
    std::unique_ptr<support::ModalDialogWatcher> dialogs;
    std::unique_ptr<QWidget> window;
    skald::CenterWidget *center = nullptr;
    skald::StatusBar *status = nullptr;
    std::unique_ptr<skald::PluginLoader> loader;

    ~Private()
    {
        // Modules go before the window that holds their pages, the controller after both.
        loader.reset();
        window.reset();
        dialogs.reset();
        host.reset();
        home.reset();
        if (!previousDir.isEmpty())
            QDir::setCurrent(previousDir);
    }
};

PluginFixture::PluginFixture()
    : d(std::make_unique<Private>())
{
}

PluginFixture::~PluginFixture() = default;

void PluginFixture::setRobotModel(const QString &model)
{
    d->model = model;
}

void PluginFixture::setMotionPace(double factor)
{
    d->pace = factor;
}

void PluginFixture::setRebootDelay(int ms)
{
    d->rebootDelayMs = ms;
}

void PluginFixture::setHome(const QString &folder)
{
    d->chosenHome = folder;
}

bool PluginFixture::setUp(const QString &libraryPath, int timeoutMs)
{
    if (d->loader)
        return fail(QStringLiteral("setUp() was called before on this fixture"));
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return fail(QStringLiteral("no QApplication: the plug-in's page needs one"));
    if (!sim::SimulatedController::modelNames().contains(d->model)) {
        return fail(QStringLiteral("unknown robot model %1 (known: %2)")
                        .arg(d->model, sim::SimulatedController::modelNames().join(", ")));
    }
    d->error.clear();

    if (d->chosenHome.isEmpty()) {
        d->home = std::make_unique<support::TemporaryCurrentDir>();
        if (!d->home->isValid())
            return fail(QStringLiteral("cannot make a temporary home folder"));
        d->homePath = d->home->path();
    } else {
        const QString previous = QDir::currentPath();
        if (!QDir().mkpath(d->chosenHome) || !QDir::setCurrent(d->chosenHome))
            return fail(QStringLiteral("cannot use %1 as home folder").arg(d->chosenHome));
        d->previousDir = previous;
        d->homePath = QDir::currentPath();
    }
    // Robot projects live in the home, as in the emulator.
    mirel::ManagerHelper::instance()->settingManager()->setStr(
        QStringLiteral("workspace"), QDir(d->homePath).filePath(QStringLiteral("workspace")));

    d->host = std::make_unique<support::SimHost>();
    sim::SimulatedController *controller = d->host->controller();
    controller->setMotionPace(d->pace);
    controller->setRebootDelay(d->rebootDelayMs);
    d->dialogs = std::make_unique<support::ModalDialogWatcher>();

    d->window = std::make_unique<QWidget>();
    d->window->setObjectName(QStringLiteral("pluginFixtureWindow"));
    d->window->resize(kWindowWidth, kWindowHeight);
    auto *layout = new QVBoxLayout(d->window.get());
    d->center = new skald::CenterWidget(d->window.get());
    d->status = new skald::StatusBar(d->window.get());
    layout->addWidget(d->center, 1);
    layout->addWidget(d->status);
    d->window->show();

    d->loader = std::make_unique<skald::PluginLoader>();
    const QString path = QFileInfo(libraryPath).absoluteFilePath();
    if (librariesRun().contains(path)) {
        return fail(QStringLiteral("%1 ran in an earlier fixture of this process: a plug-in's "
                                   "registration ends with its module, so each library runs in "
                                   "one fixture per test program")
                        .arg(path));
    }
    if (!QFileInfo::exists(path))
        return fail(QStringLiteral("no plug-in library %1").arg(path));
    if (!d->loader->loadLibrary(path) || d->loader->lastRegistered().isEmpty())
        return fail(d->loader->errorString());
    librariesRun().insert(path);
    d->plugin = d->loader->lastRegistered().constFirst();
    if (!d->loader->startModule(d->plugin))
        return fail(QStringLiteral("the module of %1 could not be created").arg(d->plugin));
    const QString key = nabu::mName(QStringLiteral("tessel"), d->plugin);
    if (!d->center->showPage(key))
        return fail(QStringLiteral("%1 has no page in the centre area").arg(d->plugin));
    if (mirel::BaseSettingPage::showsNothing(d->center->page(key))) {
        // Not created: the fixture has no plug-in to offer.
        const QString plugin = std::exchange(d->plugin, QString());
        return fail(QStringLiteral("the page of %1 shows nothing: its plug-in could not be "
                                   "created, or adds no widget")
                        .arg(plugin));
    }

    // The host connects once the modules run, as a pendant does.
    if (!d->host->start(d->model, timeoutMs))
        return fail(QStringLiteral("the controller link did not come up within %1 ms").arg(timeoutMs));
    return true;
}

QString PluginFixture::errorString() const
{
    return d->error;
}

QString PluginFixture::pluginName() const
{
    return d->plugin;
}

QString PluginFixture::homePath() const
{
    return d->homePath;
}

QWidget *PluginFixture::page() const
{
    return d->center && !d->plugin.isEmpty()
               ? d->center->page(nabu::mName(QStringLiteral("tessel"), d->plugin))
               : nullptr;
}

QWidget *PluginFixture::hostWindow() const
{
    return d->window.get();
}

QWidget *PluginFixture::findWidget(const QString &objectName) const
{
    if (QWidget *in = page()) {
        if (auto *found = in->findChild<QWidget *>(objectName))
            return found;
    }
    if (d->window) {
        if (auto *found = d->window->findChild<QWidget *>(objectName))
            return found;
    }
    // Dialogs and windows the plug-in opened on their own.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        if (window->objectName() == objectName)
            return window;
        if (auto *found = window->findChild<QWidget *>(objectName))
            return found;
    }
    return nullptr;
}

void PluginFixture::answerNextMessageBox(QMessageBox::StandardButton button)
{
    if (d->dialogs)
        d->dialogs->addAnswer(support::DialogAnswer::press(button));
}

void PluginFixture::answerNextMessageBox(const QString &buttonText)
{
    if (d->dialogs)
        d->dialogs->addAnswer(support::DialogAnswer::press(buttonText));
}

void PluginFixture::typeIntoNextDialog(const QString &text)
{
    if (d->dialogs)
        d->dialogs->addAnswer(support::DialogAnswer::type(text));
}

QStringList PluginFixture::messageBoxTexts() const
{
    QStringList texts;
    if (d->dialogs) {
        const QList<support::DialogRecord> records = d->dialogs->dialogs();
        for (const support::DialogRecord &record : records)
            texts.append(record.text);
    }
    return texts;
}

bool PluginFixture::waitForMessageBoxes(int count, int timeoutMs)
{
    if (!d->dialogs)
        return fail(QStringLiteral("waitForMessageBoxes() before setUp()"));
    if (!d->dialogs->waitForDialogs(count, timeoutMs)) {
        return fail(QStringLiteral("%1 of %2 modal dialogs seen within %3 ms")
                        .arg(d->dialogs->count())
                        .arg(count)
                        .arg(timeoutMs));
    }
    return true;
}

bool PluginFixture::isLinkUp() const
{
    return d->host && d->host->isConnected();
}

bool PluginFixture::waitForLink(bool up, int timeoutMs)
{
    if (!d->host)
        return fail(QStringLiteral("waitForLink() before setUp()"));
    if (!QTest::qWaitFor([this, up] { return isLinkUp() == up; }, timeoutMs))
        return fail(QStringLiteral("the link is not %1 after %2 ms").arg(up ? "up" : "down").arg(timeoutMs));
    return true;
}

void PluginFixture::dropLink()
{
    if (d->host)
        d->host->controller()->bringDown(false);
}

void PluginFixture::restoreLink()
{
    if (d->host)
        d->host->controller()->bringUp();
}

void PluginFixture::rebootController()
{
    if (d->host)
        d->host->controller()->reboot();
}

QJsonValue PluginFixture::controllerValue(const QString &key) const
{
    return d->host ? d->host->controller()->value(key) : QJsonValue();
}

void PluginFixture::setControllerValue(const QString &key, const QJsonValue &value)
{
    if (d->host)
        d->host->controller()->setValue(key, value);
}

bool PluginFixture::setInput(const QString &name, const QJsonValue &value)
{
    if (!d->host)
        return fail(QStringLiteral("setInput() before setUp()"));
    if (!d->host->controller()->setInput(name, value))
        return fail(QStringLiteral("the controller has no input %1 that takes this value").arg(name));
    return true;
}

void PluginFixture::setCommandAnswer(const QString &command, const QJsonValue &answer)
{
    if (d->host)
        d->host->controller()->setAnswer(command, answer);
}

QStringList PluginFixture::commandsReceived() const
{
    QStringList names;
    if (d->host) {
        const QList<sim::SimulatedController::Call> calls = d->host->controller()->calls();
        for (const sim::SimulatedController::Call &call : calls)
            names.append(call.name);
    }
    return names;
}

QVector<double> PluginFixture::joints() const
{
    return d->host ? d->host->controller()->jointPositions() : QVector<double>();
}

bool PluginFixture::setJoints(const QVector<double> &degrees)
{
    if (!d->host)
        return fail(QStringLiteral("setJoints() before setUp()"));
    if (!d->host->controller()->setJointPositions(degrees))
        return fail(QStringLiteral("joints outside the robot's limits or of the wrong count"));
    return true;
}

bool PluginFixture::pressPhysicalButton(const QString &text)
{
    mirel::PhysicalButtonRegistry *registry = mirel::PhysicalButtonRegistry::instance();
    const QList<mirel::PhysicalButtonRegistry::Registration> registrations = registry->registrations();
    for (const auto &registration : registrations) {
        const QList<mirel::PhysicalButton> *lists[] = {&registration.list1, &registration.list2};
        for (int list = 0; list < 2; ++list) {
            for (int i = 0; i < lists[list]->size(); ++i) {
                if (lists[list]->at(i).text == text && registry->press(registration.key, list, i))
                    return true;
            }
        }
    }
    return fail(QStringLiteral("no enabled physical button %1").arg(text));
}

QStringList PluginFixture::logLines() const
{
    QStringList lines;
    if (d->homePath.isEmpty() || d->plugin.isEmpty())
        return lines;
    // Per day "<name>_<date>.log", then "<name>_<date>_<n>.log": name order is write order.
    const QDir folder(QDir(d->homePath).filePath(QStringLiteral("log/tessel/") + d->plugin));
    const QStringList files =
        folder.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
    for (const QString &name : files) {
        QFile file(folder.filePath(name));
        if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
            continue;
        QTextStream in(&file);
        in.setCodec("UTF-8");
        while (!in.atEnd())
            lines.append(in.readLine());
    }
    return lines;
}

bool PluginFixture::waitForLogLine(const QString &text, int timeoutMs)
{
    const auto seen = [this, &text] {
        const QStringList lines = logLines();
        for (const QString &line : lines) {
            if (line.contains(text))
                return true;
        }
        return false;
    };
    if (!QTest::qWaitFor(seen, timeoutMs))
        return fail(QStringLiteral("no log line with \"%1\" within %2 ms").arg(text).arg(timeoutMs));
    return true;
}

bool PluginFixture::fail(const QString &reason)
{
    d->error = reason;
    qWarning("PluginFixture: %s", qPrintable(reason));
    return false;
}

} // namespace testing
} // namespace tessel
