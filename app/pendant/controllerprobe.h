#pragma once

#include <QJsonValue>
#include <QObject>
#include <QVector3D>
#include <QVector>

// The emulator's own view of the robot controller, through the host's controller link only:
// the demos and the robot view work the same on the embedded controller and on a separate
// one. It follows the robot's pose, which the controller publishes while the robot moves.
class ControllerProbe : public QObject
{
    Q_OBJECT

public:
    static const QString PoseKey;

    explicit ControllerProbe(QObject *parent = nullptr);
    ~ControllerProbe() override;

    bool isUp() const;
    // The joints (degrees) and, for drawing, the base, each joint frame and the flange (mm).
    QVector<double> joints() const;
    QVector<QVector3D> links() const;
    bool isMoving() const;
    int axisCount() const;
    QString robotName() const;
    // Controller reboots seen since the probe was made.
    int reboots() const;

    // Places the robot at once, as an operator jogs it; false when the controller refuses.
    bool setJoints(const QVector<double> &jointsDeg);
    // The answer, or null when none came within `timeoutMs`.
    QJsonValue command(const QString &name, const QJsonValue &payload = QJsonValue(),
                       int timeoutMs = 3000);

signals:
    void poseChanged(const QVector<double> &joints, const QVector<QVector3D> &links);

private:
    void watchPose();
    void takePose(const QJsonValue &pose);

    QVector<double> m_joints;
    QVector<QVector3D> m_links;
    bool m_moving = false;
    int m_reboots = 0;
};
