#include "robotview.h"

#include <QImage>
#include <QtTest>

namespace {

// Pixels of the arm's link colour in a picture of the view.
int linkPixels(const QImage &image)
{
    const QRgb link = qRgb(0x2d, 0x5b, 0x8a);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            count += image.pixel(x, y) == link ? 1 : 0;
    }
    return count;
}

QVector<QVector3D> arm(double reachX)
{
    return {QVector3D(0, 0, 0),
            QVector3D(0, 0, 330),
            QVector3D(50, 0, 330),
            QVector3D(50, 0, 770),
            QVector3D(float(reachX), 0, 805),
            QVector3D(float(reachX + 80), 0, 805)};
}

} // namespace

class tst_RobotView : public QObject
{
    Q_OBJECT

private slots:
    void drawsTheArmWhereItIs();
};

void tst_RobotView::drawsTheArmWhereItIs()
{
    RobotView view;
    view.resize(300, 480);
    view.show();
    const QImage empty = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QCOMPARE(linkPixels(empty), 0);

    view.setPose({0, 0, 0, 0, 0, 0}, arm(470));
    const int painted = view.paintCount();
    const QImage stretched = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(view.paintCount() > painted);
    QVERIFY(linkPixels(stretched) > 500);

    // Another pose is another picture: the view follows the robot.
    view.setPose({30, 0, 0, 0, 0, 0}, arm(150));
    const QImage folded = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    QVERIFY(linkPixels(folded) > 300);
    QVERIFY(folded != stretched);
    QCOMPARE(view.links().constLast(), QVector3D(230, 0, 805));
}

QTEST_MAIN(tst_RobotView)
#include "tst_robotview.moc"
