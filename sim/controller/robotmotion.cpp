#include "robotmotion.h"

#include <cmath>

namespace sim {

RobotMotion::RobotMotion(QObject *parent)
    : QObject(parent)
{
    m_timer.setInterval(kTickMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &RobotMotion::advance);
}

QVector<double> RobotMotion::joints() const
{
    return m_joints;
}

void RobotMotion::setJoints(const QVector<double> &jointsDeg)
{
    m_timer.stop();
    m_plan = MotionPlan();
    m_joints = jointsDeg;
    emit jointsChanged(m_joints);
}

void RobotMotion::start(const MotionPlan &plan)
{
    m_plan = plan;
    m_planTimeS = 0;
    m_clock.start();
    m_timer.start();
}

bool RobotMotion::stop()
{
    if (!m_timer.isActive())
        return false;
    // Where the robot got to since the last tick counts: it halts there, not one tick back.
    m_planTimeS += m_clock.restart() / 1000.0 * m_pace;
    m_timer.stop();
    m_joints = m_plan.at(std::min(m_planTimeS, m_plan.durationS()));
    m_plan = MotionPlan();
    emit jointsChanged(m_joints);
    return true;
}

bool RobotMotion::isMoving() const
{
    return m_timer.isActive();
}

QVector<double> RobotMotion::target() const
{
    return m_plan.target();
}

void RobotMotion::setPace(double factor)
{
    if (!std::isfinite(factor))
        return;
    // The time run so far keeps the old pace.
    if (m_timer.isActive())
        m_planTimeS += m_clock.restart() / 1000.0 * m_pace;
    m_pace = qBound(kMinPace, factor, kMaxPace);
}

double RobotMotion::pace() const
{
    return m_pace;
}

void RobotMotion::advance()
{
    m_planTimeS += m_clock.restart() / 1000.0 * m_pace;
    const bool done = m_planTimeS >= m_plan.durationS();
    m_joints = m_plan.at(m_planTimeS);
    if (done) {
        m_timer.stop();
        m_plan = MotionPlan();
    }
    emit jointsChanged(m_joints);
    if (done)
        emit finished();
}

} // namespace sim
