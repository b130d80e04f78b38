#include <sim/controller/programstore.h>
#include <sim/controller/simulatedcontroller.h>

#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <mirel/projectoverview.h>
#include <nabuCore/modulemanager.h>
#include <nabuCore/moduleobject.h>

#include <QtTest>

// The host's kept "project.overview.set_autoload" request and its autoload path.
class tst_ProjectOverview : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void installKeepsTheAutoloadRequest();
    void setAutoloadKeepsThePathOnlyWhenTheControllerAgrees_data();
    void setAutoloadKeepsThePathOnlyWhenTheControllerAgrees();

private:
    mirel::ControllerManager *manager() const
    {
        return mirel::ManagerHelper::instance()->controllerManager();
    }
    sim::SimulatedController *m_sim = nullptr;
};

void tst_ProjectOverview::initTestCase()
{
    m_sim = new sim::SimulatedController(this);
    manager()->setLink(m_sim);
    m_sim->bringUp();
    QTRY_VERIFY(manager()->isLinkUp());
}

void tst_ProjectOverview::cleanupTestCase()
{
    manager()->setLink(nullptr);
}

void tst_ProjectOverview::installKeepsTheAutoloadRequest()
{
    QCOMPARE(nabu::m(QStringLiteral("rovan.toolpage.tool"))->getString(), QStringLiteral("tool0"));
    QCOMPARE(nabu::m(QStringLiteral("rovan.toolpage.wobj"))->getString(), QStringLiteral("wobj0"));
    nabu::ModuleObject *request = manager()->requestMobj(QStringLiteral("project.overview.set_autoload"));
    QVERIFY(request->hasCmobj(QStringLiteral("autoload_pri_path")));
}

void tst_ProjectOverview::setAutoloadKeepsThePathOnlyWhenTheControllerAgrees_data()
{
    QTest::addColumn<QJsonValue>("answer");
    QTest::addColumn<bool>("agreed");
    QTest::newRow("built-in") << QJsonValue() << true;
    QTest::newRow("refused") << QJsonValue(QJsonObject{{"error", -5}}) << false;
}

void tst_ProjectOverview::setAutoloadKeepsThePathOnlyWhenTheControllerAgrees()
{
    QFETCH(QJsonValue, answer);
    QFETCH(bool, agreed);
    nabu::m(QStringLiteral("rovan.project.autoload_prj_path"))->set(nullptr, QStringLiteral("old/x"));
    m_sim->resetScript();
    if (!answer.isNull())
        m_sim->setAnswer(QStringLiteral("project.overview.set_autoload"), answer);
    QCOMPARE(mirel::ProjectOverview::setAutoload(nullptr, manager(), QStringLiteral("p/main")),
             agreed);
    QCOMPARE(nabu::m(QStringLiteral("rovan.project.autoload_prj_path"))->getString(),
             agreed ? QStringLiteral("p/main") : QStringLiteral("old/x"));
    if (agreed)
        QCOMPARE(m_sim->programs()->autoloadPath(), QStringLiteral("p/main"));
}

QTEST_MAIN(tst_ProjectOverview)
#include "tst_projectoverview.moc"
