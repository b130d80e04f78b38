#pragma once

#include "motionplan.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

namespace sim {

// The robot's joints and the move they are on, run in time on the event loop: the joints follow
// the plan at the pace set (1 is real time), updated every tick, never blocking.
class RobotMotion : public QObject
{
    Q_OBJECT

public:
    static constexpr int kTickMs = 20;

    explicit RobotMotion(QObject *parent = nullptr);

    QVector<double> joints() const;
    // Places the robot at once, ending any move without reporting it finished.
    void setJoints(const QVector<double> &jointsDeg);

    void start(const MotionPlan &plan);
    // Halts where the robot is now; true when a move was running.
    bool stop();
    bool isMoving() const;
    QVector<double> target() const;

    // How many times faster than real time the robot moves, bounded to these.
    static constexpr double kMinPace = 1e-3;
    static constexpr double kMaxPace = 1e4;
    void setPace(double factor);
    double pace() const;

signals:
    void jointsChanged(const QVector<double> &jointsDeg);
    void finished();

private:
    void advance();

    QVector<double> m_joints;
    MotionPlan m_plan;
    QTimer m_timer;
    QElapsedTimer m_clock;
    double m_planTimeS = 0; // how far along the plan the robot is
    double m_pace = 1.0;
};

} // namespace sim
