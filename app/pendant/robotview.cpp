#include "robotview.h"

#include <QPainter>
#include <QtMath>

#include <algorithm>

namespace {

// Seen from front left and a little above; the largest arm's reach fills the drawing area.
constexpr double kAzimuthDeg = 35.0;
constexpr double kElevationDeg = 20.0;
constexpr double kFloorMm = 300.0; // floor shown around the base
constexpr double kMarginPx = 10.0;
// Before the first pose: a robot of about a metre's reach.
const QRectF kStartRoom(-700.0, -300.0, 1400.0, 1400.0);

const QColor kBackground(0xf7, 0xf8, 0xfa);
const QColor kFloor(0xd5, 0xda, 0xe1);
const QColor kLink(0x2d, 0x5b, 0x8a);
const QColor kJoint(0xf2, 0x8c, 0x28);
const QColor kTcp(0xc0, 0x39, 0x2b);

} // namespace

RobotView::RobotView(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("robotView"));
    // Narrower than the side panel beside a pendant-sized page, so that it is never cut.
    setMinimumSize(200, 320);
}

RobotView::~RobotView() = default;

void RobotView::setPose(const QVector<double> &jointsDeg, const QVector<QVector3D> &linksMm)
{
    // Another robot (another number of links) starts a new room.
    if (linksMm.size() != m_links.size())
        m_seen = QRectF();
    m_joints = jointsDeg;
    m_links = linksMm;
    for (const QVector3D &link : linksMm) {
        const QPointF v = view(link);
        const QRectF point(v.x() - 1.0, v.y() - 1.0, 2.0, 2.0);
        m_seen = m_seen.isValid() ? m_seen.united(point) : point;
    }
    if (!linksMm.isEmpty()) {
        for (const QVector3D &corner :
             {QVector3D(-kFloorMm, -kFloorMm, 0), QVector3D(kFloorMm, -kFloorMm, 0),
              QVector3D(-kFloorMm, kFloorMm, 0), QVector3D(kFloorMm, kFloorMm, 0)}) {
            const QPointF v = view(corner);
            m_seen = m_seen.united(QRectF(v.x() - 1.0, v.y() - 1.0, 2.0, 2.0));
        }
    }
    update();
}

QVector<double> RobotView::joints() const
{
    return m_joints;
}

QVector<QVector3D> RobotView::links() const
{
    return m_links;
}

int RobotView::paintCount() const
{
    return m_paintCount;
}

QSize RobotView::sizeHint() const
{
    return QSize(320, 480);
}

// Orthographic: turn about the vertical axis, then tilt towards the viewer; z is up. In mm,
// x to the right and y upwards on the screen.
QPointF RobotView::view(const QVector3D &p)
{
    const double az = qDegreesToRadians(kAzimuthDeg);
    const double el = qDegreesToRadians(kElevationDeg);
    const double across = p.x() * qCos(az) - p.y() * qSin(az);
    const double depth = p.x() * qSin(az) + p.y() * qCos(az);
    const double up = p.z() * qCos(el) - depth * qSin(el);
    return QPointF(across, up);
}

QPointF RobotView::project(const QVector3D &p, const QRectF &area) const
{
    // The room the arm has used so far, with the floor around its base, fills the area: the
    // picture keeps its scale while the arm moves within it and zooms out when it reaches
    // further.
    const QRectF used = m_seen.isValid() ? m_seen : kStartRoom;
    const double scale = qMin((area.width() - 2 * kMarginPx) / used.width(),
                              (area.height() - 2 * kMarginPx) / used.height());
    const QPointF v = view(p);
    return QPointF(area.center().x() + (v.x() - used.center().x()) * scale,
                   area.center().y() - (v.y() - used.center().y()) * scale);
}

void RobotView::setStale(bool stale)
{
    if (m_stale == stale)
        return;
    m_stale = stale;
    update();
}

bool RobotView::isStale() const
{
    return m_stale;
}

void RobotView::paintEvent(QPaintEvent *)
{
    ++m_paintCount;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(rect(), kBackground);

    const int lineHeight = fontMetrics().height();
    const int textRows = m_joints.size() + 2;
    const QRectF figure(0, 0, width(), qMax(80, height() - textRows * lineHeight - 8));

    // Floor grid, 200 mm squares, under the base.
    painter.save();
    painter.setClipRect(figure);
    painter.setPen(QPen(kFloor, 1));
    for (int i = -4; i <= 4; ++i) {
        const double s = 200.0 * i;
        painter.drawLine(project(QVector3D(s, -800, 0), figure),
                         project(QVector3D(s, 800, 0), figure));
        painter.drawLine(project(QVector3D(-800, s, 0), figure),
                         project(QVector3D(800, s, 0), figure));
    }

    if (m_links.size() >= 2) {
        QVector<QPointF> points;
        for (const QVector3D &link : qAsConst(m_links))
            points.append(project(link, figure));
        painter.setPen(QPen(kLink, 7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        painter.drawPolyline(points.constData(), points.size());
        painter.setPen(QPen(Qt::black, 1));
        painter.setBrush(kJoint);
        for (int i = 0; i + 1 < points.size(); ++i)
            painter.drawEllipse(points.at(i), 5.5, 5.5);
        painter.setBrush(kTcp);
        painter.drawEllipse(points.constLast(), 6.5, 6.5);
    } else {
        painter.setPen(Qt::darkGray);
        painter.drawText(figure, Qt::AlignCenter, tr("No robot position yet"));
    }
    painter.restore();
    if (m_stale) {
        painter.fillRect(rect(), QColor(0xf7, 0xf8, 0xfa, 170));
        painter.setPen(kTcp);
        painter.drawText(figure.adjusted(8, 8, -8, -8), Qt::AlignTop | Qt::AlignHCenter | Qt::TextWordWrap,
                         tr("Controller not reached: last known position"));
    }

    painter.setPen(Qt::black);
    painter.setBrush(Qt::NoBrush);
    int y = int(figure.bottom()) + lineHeight;
    for (int i = 0; i < m_joints.size(); ++i, y += lineHeight)
        painter.drawText(8, y, tr("J%1  %2°").arg(i + 1).arg(m_joints.at(i), 8, 'f', 2));
    if (!m_links.isEmpty()) {
        const QVector3D tcp = m_links.constLast();
        const QString text = tr("TCP %1, %2, %3 mm")
                                 .arg(double(tcp.x()), 0, 'f', 1)
                                 .arg(double(tcp.y()), 0, 'f', 1)
                                 .arg(double(tcp.z()), 0, 'f', 1);
        // A narrow view keeps every digit: the line shrinks rather than being cut.
        const int room = width() - 16;
        const int wide = painter.fontMetrics().horizontalAdvance(text);
        if (wide > room && room > 0) {
            QFont font = painter.font();
            if (font.pointSizeF() > 0)
                font.setPointSizeF(font.pointSizeF() * room / wide);
            else
                font.setPixelSize(std::max(1, font.pixelSize() * room / wide));
            painter.setFont(font);
        }
        painter.drawText(8, y + lineHeight / 2, text);
    }
}
