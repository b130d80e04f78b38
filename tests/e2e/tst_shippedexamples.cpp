// The example plug-ins as built, each run by the test kit's fixture as an author would run it:
// loaded by path into the host stand-in on the simulated controller, driven by object name.
#include <tessel/testing/pluginfixture.h>

#include <QDoubleSpinBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

#include <cmath>

namespace {

bool near(const QVector<double> &a, const QVector<double> &b, double tolerance)
{
    if (a.size() != b.size())
        return false;
    for (int i = 0; i < a.size(); ++i) {
        if (std::abs(a.at(i) - b.at(i)) > tolerance)
            return false;
    }
    return true;
}

} // namespace

class tst_ShippedExamples : public QObject
{
    Q_OBJECT

private slots:
    void teachRecordsAPointAndMovesBackToIt();
};

// The teach road: record where the robot stands, move it away, send it back by the point, and
// record again: both points hold the same flange position.
void tst_ShippedExamples::teachRecordsAPointAndMovesBackToIt()
{
    tessel::testing::PluginFixture fixture;
    fixture.setMotionPace(50);
    QVERIFY2(fixture.setUp(QStringLiteral(TESSEL_PLUGIN_PATH)), qPrintable(fixture.errorString()));
    QCOMPARE(fixture.pluginName(), QStringLiteral("Teach"));

    auto *name = fixture.findWidget<QLineEdit>(QStringLiteral("pointName"));
    auto *points = fixture.findWidget<QListWidget>(QStringLiteral("pointList"));
    auto *recordJoint = fixture.findWidget<QPushButton>(QStringLiteral("recordJointBtn"));
    auto *recordCart = fixture.findWidget<QPushButton>(QStringLiteral("recordCartBtn"));
    QVERIFY(name && points && recordJoint && recordCart);
    const auto shownPosition = [&fixture] {
        QVector<double> xyz;
        for (const char *axis : {"poseX", "poseY", "poseZ"})
            xyz.append(fixture.findWidget<QDoubleSpinBox>(QLatin1String(axis))->value());
        return xyz;
    };

    QVERIFY(fixture.setJoints({10, -20, 30, 0, 60, 15}));
    name->setText(QStringLiteral("P_home"));
    QTest::mouseClick(recordJoint, Qt::LeftButton);
    QCOMPARE(points->count(), 1);
    QCOMPARE(points->currentItem()->text(), QStringLiteral("P_home"));
    QVERIFY(fixture.commandsReceived().contains(QStringLiteral("rl_program.get_rob_pos")));
    const QVector<double> home = shownPosition();
    QVERIFY(!near(home, {0, 0, 0}, 1.0));

    const QVector<double> away{0, 0, 0, 0, 90, 0};
    QVERIFY(fixture.setJoints(away));
    fixture.findWidget<QSpinBox>(QStringLiteral("speed"))->setValue(2000);
    QTest::mouseClick(fixture.findWidget<QPushButton>(QStringLiteral("moveBtn")), Qt::LeftButton);
    QVERIFY(fixture.commandsReceived().contains(QStringLiteral("move.opr.enough")));
    QTRY_COMPARE_WITH_TIMEOUT(fixture.controllerValue(QStringLiteral("move.last_error_with_setting"))
                                  .toObject()
                                  .value(QStringLiteral("state"))
                                  .toString(),
                              QStringLiteral("done"), 5000);
    QVERIFY(!near(fixture.joints(), away, 1.0));

    name->setText(QStringLiteral("P_back"));
    QTest::mouseClick(recordCart, Qt::LeftButton);
    QCOMPARE(points->currentItem()->text(), QStringLiteral("P_back"));
    const QVector<double> back = shownPosition();
    QVERIFY2(near(back, home, 0.01),
             qPrintable(QStringLiteral("home %1 %2 %3, back %4 %5 %6")
                            .arg(home[0]).arg(home[1]).arg(home[2])
                            .arg(back[0]).arg(back[1]).arg(back[2])));
}

QTEST_MAIN(tst_ShippedExamples)
#include "tst_shippedexamples.moc"
