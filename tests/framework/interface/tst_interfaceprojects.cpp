#include "interface/interfacemanager.h"

#include <support/simhost.h>
#include <support/temporarycurrentdir.h>

#include <mirel/managerhelper.h>
#include <mirel/projectoverview.h>
#include <mirel/settingmanager.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>
#include <sim/controller/programstore.h>
#include <sim/controller/simulatedcontroller.h>

#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using tessel::tesselInterface;

namespace {

const QString kRemoveTask = QStringLiteral("project.remove_task");
const QString kSetAutoload = QStringLiteral("project.overview.set_autoload");

QString node(const QString &path)
{
    return nabu::m(path)->getString();
}

void setNode(const QString &path, const QString &value)
{
    nabu::m(path)->set(nullptr, value);
}

void setWorkspace(const QString &path)
{
    mirel::ManagerHelper::instance()->settingManager()->setStr(QStringLiteral("workspace"), path);
}

// Every file and folder below `root`, relative to it.
QStringList listing(const QString &root)
{
    QStringList entries;
    QDirIterator it(root, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        entries.append(QDir(root).relativeFilePath(it.next()));
    entries.sort();
    return entries;
}

bool touch(const QString &path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("x") == 1;
}

// The framework's log lines of the running test.
QStringList g_lines;
void keepLine(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_lines.append(text);
}

int linesWith(const QString &text)
{
    int n = 0;
    for (const QString &line : qAsConst(g_lines))
        n += line.contains(text) ? 1 : 0;
    return n;
}

} // namespace

class tst_InterfaceProjects : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void hostileNamesTouchNothing_data();
    void hostileNamesTouchNothing();
    void createWritesInfoAndSelects();
    void createWithoutSelecting();
    void emptyRobotIdIsLocalhost();
    void noWorkspaceCreatesAndDeletesNothing();
    void removeClearsCurrentAndResetsTool();
    void removeUnlinksALinkedProjectFolder();
    void removeClearsTheAutoloadThroughTheController_data();
    void removeClearsTheAutoloadThroughTheController();
    void projectListIsTheControllersBackups();

private:
    QString folder(const QString &name) const
    {
        return m_dir->filePath(QStringLiteral("ws/SIM-0001/") + name);
    }
    sim::SimulatedController *sim() const { return m_host->controller(); }
    support::SimHost *m_host = nullptr;
    // Log files go to the current directory, apart from the workspace the tests list.
    std::unique_ptr<support::TemporaryCurrentDir> m_cwd;
    std::unique_ptr<QTemporaryDir> m_dir;
    QtMessageHandler m_previous = nullptr;
};

void tst_InterfaceProjects::initTestCase()
{
    tesselInterface();
    m_host = new support::SimHost(this);
    m_cwd = std::make_unique<support::TemporaryCurrentDir>();
    QVERIFY(m_cwd->isValid());
}

void tst_InterfaceProjects::init()
{
    sim()->setRobotId(QStringLiteral("SIM-0001"));
    QVERIFY(m_host->start(QStringLiteral("SR6-900")));
    // The host watches the controller's current tool and work object from link-up on; the
    // first update of that watch must land before the test sets its own values, not inside a
    // later blocking wait.
    QTRY_VERIFY(sim()->isWatched(QStringLiteral("toolpage.current")));
    QTest::qWait(20);
    sim()->resetScript();
    sim()->clearCalls();
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    setWorkspace(m_dir->filePath(QStringLiteral("ws")));
    setNode(QStringLiteral("rovan.project.cur_project"), QStringLiteral("SIM-0001/keep"));
    setNode(QStringLiteral("rovan.project.autoload_prj_path"), QString());
    setNode(QStringLiteral("rovan.toolpage.tool"), QStringLiteral("tool7"));
    setNode(QStringLiteral("rovan.toolpage.wobj"), QStringLiteral("g_wobj_table"));
    g_lines.clear();
    m_previous = qInstallMessageHandler(keepLine);
}

void tst_InterfaceProjects::cleanup()
{
    qInstallMessageHandler(m_previous);
    m_dir.reset();
}

void tst_InterfaceProjects::hostileNamesTouchNothing_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("_temp") << "_temp";
    QTest::newRow("empty") << "";
    QTest::newRow("../x") << "../x";
    QTest::newRow("a/b") << "a/b";
    QTest::newRow("..") << "..";
    QTest::newRow(".") << ".";
    QTest::newRow("C:\\x") << "C:\\x";
    QTest::newRow("C:x") << "C:x";
    QTest::newRow("/abs") << "/abs";
    QTest::newRow("a\\b") << "a\\b";
    QTest::newRow("tab") << "a\tb";
    QTest::newRow("newline") << "a\nb";
    QTest::newRow("escape") << QStringLiteral("a") + QChar(0x1b);
    QTest::newRow("star") << "a*";
    QTest::newRow("trailing dot") << "x.";
    QTest::newRow("device") << "NUL";
}

void tst_InterfaceProjects::hostileNamesTouchNothing()
{
    QFETCH(QString, name);
    // What a name that escaped would hit: the workspace itself, its siblings, nested folders.
    QVERIFY(touch(folder(QStringLiteral("keep/projectinfo.json"))));
    QVERIFY(touch(folder(QStringLiteral("a/b/file"))));
    QVERIFY(touch(m_dir->filePath(QStringLiteral("ws/x/file"))));
    QVERIFY(touch(m_dir->filePath(QStringLiteral("x/file"))));
    const QStringList before = listing(m_dir->path());

    QCOMPARE(tesselInterface().createProject(name, QStringLiteral("d"), true), -1);
    QCOMPARE(tesselInterface().changeProject(name), -1);
    QCOMPARE(tesselInterface().removeProject(name), -1);

    QCOMPARE(listing(m_dir->path()), before);
    QCOMPARE(linesWith(QStringLiteral("Project name unuesful!")), 3);
    QCOMPARE(node(QStringLiteral("rovan.project.cur_project")), QStringLiteral("SIM-0001/keep"));
    QCOMPARE(node(QStringLiteral("rovan.toolpage.tool")), QStringLiteral("tool7"));
    QVERIFY(sim()->calls().isEmpty());
}

void tst_InterfaceProjects::createWritesInfoAndSelects()
{
    QCOMPARE(tesselInterface().createProject(QStringLiteral("p1"), QStringLiteral("weld"), true), 0);
    QFile info(folder(QStringLiteral("p1/projectinfo.json")));
    QVERIFY(info.open(QIODevice::ReadOnly));
    const QJsonObject written = QJsonDocument::fromJson(info.readAll()).object();
    QCOMPARE(written["description"].toString(), QStringLiteral("weld"));
    QVERIFY(QDateTime::fromString(written["create_time"].toString(),
                                  QStringLiteral("yyyy-MM-dd hh:mm:ss"))
                .isValid());
    QCOMPARE(node(QStringLiteral("rovan.project.projetc_info.description")), QStringLiteral("weld"));
    QCOMPARE(node(QStringLiteral("rovan.project.cur_project")), QStringLiteral("SIM-0001/p1"));
    // The project's own tool goes; the host's global work object stays.
    QCOMPARE(node(QStringLiteral("rovan.toolpage.tool")), QStringLiteral("tool0"));
    QCOMPARE(node(QStringLiteral("rovan.toolpage.wobj")), QStringLiteral("g_wobj_table"));

    const QStringList before = listing(m_dir->path());
    QCOMPARE(tesselInterface().createProject(QStringLiteral("p1"), QStringLiteral("other"), true),
             -2);
    QCOMPARE(linesWith(QStringLiteral("Projrct already exists! Path : ")), 1);
    QCOMPARE(listing(m_dir->path()), before);
}

void tst_InterfaceProjects::createWithoutSelecting()
{
    setNode(QStringLiteral("rovan.project.projetc_info.description"), QStringLiteral("old"));
    QCOMPARE(tesselInterface().createProject(QStringLiteral("p2"), QStringLiteral("new"), false), 0);
    QFile info(folder(QStringLiteral("p2/projectinfo.json")));
    QVERIFY(info.open(QIODevice::ReadOnly));
    QCOMPARE(QJsonDocument::fromJson(info.readAll()).object()["description"].toString(),
             QStringLiteral("new"));
    QCOMPARE(node(QStringLiteral("rovan.project.projetc_info.description")), QStringLiteral("old"));
    QCOMPARE(node(QStringLiteral("rovan.project.cur_project")), QStringLiteral("SIM-0001/keep"));
    QCOMPARE(node(QStringLiteral("rovan.toolpage.tool")), QStringLiteral("tool7"));
}

void tst_InterfaceProjects::emptyRobotIdIsLocalhost()
{
    sim()->setRobotId(QString());
    QVERIFY(m_host->start());
    QCOMPARE(tesselInterface().createProject(QStringLiteral("p"), QString(), true), 0);
    QVERIFY(QFileInfo(m_dir->filePath(QStringLiteral("ws/LOCALHOST/p/projectinfo.json"))).isFile());
    QCOMPARE(node(QStringLiteral("rovan.project.cur_project")), QStringLiteral("LOCALHOST/p"));
    QCOMPARE(tesselInterface().changeProject(QStringLiteral("q")), 0);
    QCOMPARE(node(QStringLiteral("rovan.project.cur_project")), QStringLiteral("LOCALHOST/q"));
    QCOMPARE(tesselInterface().removeProject(QStringLiteral("p")), 0);
    QVERIFY(!QFileInfo::exists(m_dir->filePath(QStringLiteral("ws/LOCALHOST/p"))));
}

void tst_InterfaceProjects::noWorkspaceCreatesAndDeletesNothing()
{
    QVERIFY(touch(m_dir->filePath(QStringLiteral("SIM-0001/p/file"))));
    setWorkspace(QString());
    const QStringList before = listing(m_dir->path());
    QCOMPARE(tesselInterface().createProject(QStringLiteral("p"), QString(), true), -3);
    QCOMPARE(linesWith(QStringLiteral("Path create error! Path : ")), 1);
    setNode(QStringLiteral("rovan.project.cur_project"), QStringLiteral("SIM-0001/p"));
    QCOMPARE(tesselInterface().removeProject(QStringLiteral("p")), 0);
    QCOMPARE(linesWith(QStringLiteral("Path remove error!")), 1);
    QCOMPARE(listing(m_dir->path()), before);
    // The rest of the removal still happens: the controller and the host forget the project.
    QCOMPARE(sim()->callsOf(kRemoveTask).size(), 1);
    QCOMPARE(node(QStringLiteral("rovan.project.cur_project")), QString());
}

void tst_InterfaceProjects::removeClearsCurrentAndResetsTool()
{
    QCOMPARE(tesselInterface().createProject(QStringLiteral("p1"), QString(), true), 0);
    QVERIFY(touch(folder(QStringLiteral("p1/sub/main.mod"))));
    setNode(QStringLiteral("rovan.toolpage.tool"), QStringLiteral("tool7"));
    QSignalSpy refreshed(nabu::m(QStringLiteral("rovan.project.refresh_project")),
                         &nabu::ModuleObject::changed);
    QCOMPARE(tesselInterface().removeProject(QStringLiteral("p1")), 0);
    QVERIFY(!QFileInfo::exists(folder(QStringLiteral("p1"))));
    QVERIFY(QFileInfo::exists(folder(QString())));
    QCOMPARE(node(QStringLiteral("rovan.project.cur_project")), QString());
    QCOMPARE(node(QStringLiteral("rovan.toolpage.tool")), QStringLiteral("tool0"));
    QCOMPARE(node(QStringLiteral("rovan.toolpage.wobj")), QStringLiteral("g_wobj_table"));
    QCOMPARE(refreshed.count(), 1);
    const auto calls = sim()->callsOf(kRemoveTask);
    QCOMPARE(calls.size(), 1);
    QCOMPARE(calls.at(0).payload, QJsonValue(QJsonObject{{"name", "p1"}}));
    QVERIFY(sim()->callsOf(kSetAutoload).isEmpty());

    // Another project stays current.
    QCOMPARE(tesselInterface().createProject(QStringLiteral("p2"), QString(), false), 0);
    QCOMPARE(tesselInterface().changeProject(QStringLiteral("p3")), 0);
    QCOMPARE(tesselInterface().removeProject(QStringLiteral("p2")), 0);
    QCOMPARE(node(QStringLiteral("rovan.project.cur_project")), QStringLiteral("SIM-0001/p3"));
}

void tst_InterfaceProjects::removeUnlinksALinkedProjectFolder()
{
#ifdef Q_OS_WIN
    QSKIP("folder links need privileges on Windows");
#else
    QVERIFY(touch(m_dir->filePath(QStringLiteral("elsewhere/data"))));
    QVERIFY(QDir().mkpath(folder(QString())));
    QVERIFY(QFile::link(m_dir->filePath(QStringLiteral("elsewhere")), folder(QStringLiteral("p"))));
    QCOMPARE(tesselInterface().removeProject(QStringLiteral("p")), 0);
    QVERIFY(!QFileInfo(folder(QStringLiteral("p"))).isSymLink());
    QVERIFY(QFileInfo::exists(m_dir->filePath(QStringLiteral("elsewhere/data"))));
#endif
}

void tst_InterfaceProjects::removeClearsTheAutoloadThroughTheController_data()
{
    QTest::addColumn<QString>("autoload");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<QString>("kept");
    QTest::newRow("names the project") << "p1/main" << true << "";
    QTest::newRow("names another") << "p10/main" << true << "p10/main";
    QTest::newRow("controller silent") << "p1/main" << false << "p1/main";
}

void tst_InterfaceProjects::removeClearsTheAutoloadThroughTheController()
{
    QFETCH(QString, autoload);
    QFETCH(bool, answers);
    QFETCH(QString, kept);
    mirel::ControllerManager *manager = m_host->manager();
    QVERIFY(mirel::ProjectOverview::setAutoload(nullptr, manager, autoload));
    QCOMPARE(sim()->programs()->autoloadPath(), autoload);
    QCOMPARE(tesselInterface().createProject(QStringLiteral("p1"), QString(), false), 0);
    sim()->clearCalls();
    sim()->setSilent(kSetAutoload, !answers);

    QCOMPARE(tesselInterface().removeProject(QStringLiteral("p1")), 0);
    QCOMPARE(node(QStringLiteral("rovan.project.autoload_prj_path")), kept);
    const auto calls = sim()->callsOf(kSetAutoload);
    QCOMPARE(calls.size(), autoload.startsWith(QLatin1String("p1/")) ? 1 : 0);
    if (!calls.isEmpty())
        QCOMPARE(calls.at(0).payload, QJsonValue(QJsonObject{{"autoload_pri_path", ""}}));
    if (answers)
        QCOMPARE(sim()->programs()->autoloadPath(), kept);
}

void tst_InterfaceProjects::projectListIsTheControllersBackups()
{
    sim()->programs()->setProjects({QStringLiteral("a"), QStringLiteral("b")});
    QCOMPARE(tesselInterface().getProjectList(), (QStringList{"a", "b"}));
    QCOMPARE(tesselInterface().removeProject(QStringLiteral("a")), 0);
    QCOMPARE(tesselInterface().getProjectList(), QStringList{"b"});
    // Kept across a reboot.
    sim()->setRebootDelay(0);
    sim()->reboot();
    QVERIFY(m_host->start());
    QCOMPARE(tesselInterface().getProjectList(), QStringList{"b"});
}

QTEST_MAIN(tst_InterfaceProjects)
#include "tst_interfaceprojects.moc"
