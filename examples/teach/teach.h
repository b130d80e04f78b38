#pragma once

#include <tessel/plugin/pluginbase.h>

#include <QVector>

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QSpinBox;

namespace tessel {

// Teach points on the robot: list them, record the current position as a joint or Cartesian
// point, edit a Cartesian point, check a move between two points, move to a point and stop.
class Teach : public PluginBase
{
    Q_OBJECT

public:
    explicit Teach(QObject *parent);
    ~Teach() override;

    void init() override;

private:
    QWidget *buildPage();
    void refreshPoints(const QString &select = QString());
    void showPoint(const QString &name);
    void record(bool joint);
    void applyPose();
    void checkMove();
    void moveToPoint();
    void stop();
    void showMoveReport(const QVariant &report);
    QString selectedPoint() const;
    void say(const QString &text);

    QListWidget *m_points = nullptr;
    QLineEdit *m_name = nullptr;
    QVector<QDoubleSpinBox *> m_pose;
    QComboBox *m_from = nullptr;
    QSpinBox *m_speed = nullptr;
    QCheckBox *m_jointMove = nullptr;
    QLabel *m_status = nullptr;
};

} // namespace tessel
