#pragma once

#include <QRectF>
#include <QVector3D>
#include <QVector>
#include <QWidget>

// The simulated arm as a 3-D stick figure: base, joint frames and the tool centre point, seen
// obliquely from the front, with the joint values and the TCP position beside it.
class RobotView : public QWidget
{
    Q_OBJECT

public:
    explicit RobotView(QWidget *parent = nullptr);
    ~RobotView() override;

    // `jointsDeg` one value per joint; `linksMm` the base, each joint frame, then the TCP.
    void setPose(const QVector<double> &jointsDeg, const QVector<QVector3D> &linksMm);
    QVector<double> joints() const;
    QVector<QVector3D> links() const;
    // A stale view shows the last pose known, greyed, while the controller is not reached.
    void setStale(bool stale);
    bool isStale() const;
    // How often the figure was painted: a view that follows a move repaints.
    int paintCount() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    static QPointF view(const QVector3D &pointMm);
    QPointF project(const QVector3D &pointMm, const QRectF &area) const;

    QVector<double> m_joints;
    QVector<QVector3D> m_links;
    int m_paintCount = 0;
    bool m_stale = false;
    QRectF m_seen; // in view mm: where the arm has been, with the floor around its base
};
