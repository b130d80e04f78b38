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
    void armFillsTheViewAndGreysWhenStale();
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

// The rows of a picture that hold link pixels: the arm's height on screen.
static QPair<int, int> linkRows(const QImage &image)
{
    const QRgb link = qRgb(0x2d, 0x5b, 0x8a);
    int top = image.height();
    int bottom = -1;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) == link) {
                top = qMin(top, y);
                bottom = qMax(bottom, y);
            }
        }
    }
    return qMakePair(top, bottom);
}

void tst_RobotView::armFillsTheViewAndGreysWhenStale()
{
    // A side panel's shape: narrow and tall.
    RobotView view;
    view.resize(240, 640);
    view.show();
    view.setPose({0, 0, 0, 0, 0, 0}, arm(470));
    const QImage fresh = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QPair<int, int> rows = linkRows(fresh);
    // Not a small figure at the bottom with the room above it empty.
    QVERIFY2(rows.first < view.height() / 3, qPrintable(QString::number(rows.first)));
    QVERIFY2(rows.second - rows.first > view.height() / 4,
             qPrintable(QStringLiteral("%1..%2").arg(rows.first).arg(rows.second)));

    QVERIFY(!view.isStale());
    view.setStale(true);
    QVERIFY(view.isStale());
    const QImage stale = view.grab().toImage().convertToFormat(QImage::Format_RGB32);
    // The last pose stays, greyed: no pixel keeps the link's own colour.
    QCOMPARE(linkPixels(stale), 0);
    QCOMPARE(view.links(), arm(470));
    view.setStale(false);
    QCOMPARE(view.grab().toImage().convertToFormat(QImage::Format_RGB32), fresh);
}

QTEST_MAIN(tst_RobotView)
#include "tst_robotview.moc"
