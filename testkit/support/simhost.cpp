#include "simhost.h"

#include <sim/controller/simulatedcontroller.h>
#include <mirel/controllermanager.h>
#include <mirel/managerhelper.h>
#include <nabuCore/moduleobject.h>
#include <nabusrv/vantor.h>

#include <QtTest/qtest.h>

namespace support {

namespace {

bool serviceConnected()
{
    return sv::vantor()->mobj()->c(QStringLiteral("connected"))->getBool(false);
}

} // namespace

SimHost::SimHost(QObject *parent)
    : QObject(parent)
    , m_controller(new sim::SimulatedController(this))
{
    // Tests read back every message of a whole road.
    m_controller->setCallLogUnbounded(true);
    // The command service follows the link from its first use on; make it before the link.
    sv::vantor();
    if (manager()->link())
        qWarning("SimHost: replaces the controller plugged in before");
    manager()->setLink(m_controller);
}

// Unplugging tells the host that the link is down; the controller, a child, goes afterwards.
SimHost::~SimHost()
{
    if (manager()->link() == m_controller)
        manager()->setLink(nullptr);
}

sim::SimulatedController *SimHost::controller() const
{
    return m_controller;
}

mirel::ControllerManager *SimHost::manager() const
{
    return mirel::ManagerHelper::instance()->controllerManager();
}

bool SimHost::start(const QString &model, int timeoutMs)
{
    if (manager()->link() != m_controller) {
        qWarning("SimHost: another controller was plugged in meanwhile");
        return false;
    }
    if (m_controller->isUp() && !stop(timeoutMs))
        return false;
    if (!model.isEmpty() && !m_controller->setModel(model)) {
        qWarning("SimHost: unknown robot model %s", qPrintable(model));
        return false;
    }
    m_controller->bringUp();
    return QTest::qWaitFor([this] { return isConnected(); }, timeoutMs);
}

bool SimHost::stop(int timeoutMs)
{
    m_controller->bringDown();
    return QTest::qWaitFor([this] { return !manager()->isLinkUp() && !serviceConnected(); },
                           timeoutMs);
}

bool SimHost::isConnected() const
{
    return manager()->link() == m_controller && manager()->isLinkUp() && serviceConnected();
}

} // namespace support
