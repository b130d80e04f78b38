#include "common/calibrationstate.h"

#include <QtTest>

#include <type_traits>
#include <vector>

// The pages rely on these types: the zero offsets go to the controller as std::vector.
static_assert(std::is_same_v<decltype(common::zeroPointsVec), std::vector<double>>);
static_assert(std::is_same_v<decltype(common::productZeroPointsVec), std::vector<double>>);
static_assert(std::is_same_v<decltype(common::originalDHParamsVec), QVector<double>>);
static_assert(std::is_same_v<decltype(common::isoPoses), QVector<QVector<double>>>);
static_assert(std::is_same_v<decltype(common::modelType), int>);
static_assert(std::is_same_v<decltype(common::isoSampleTimes), int>);

// Nothing here writes a variable: these are the values every start of the host begins with.
class tst_CalibrationState : public QObject
{
    Q_OBJECT

private slots:
    void defaults();
    void names();
};

void tst_CalibrationState::defaults()
{
    QVERIFY(common::workFolder.isEmpty());
    QVERIFY(common::robotIP.isEmpty());
    QVERIFY(common::robotType.isEmpty());
    QCOMPARE(common::modelType, 0);
    QVERIFY(common::serialNumber.isEmpty());
    QCOMPARE(common::calibMode, QStringLiteral("normal"));
    QCOMPARE(common::axisNum, 0);
    QVERIFY(common::originalDHParamsVec.isEmpty());
    QVERIFY(common::optimizedDHParamsVec.isEmpty());
    QVERIFY(common::productDHParamsVec.isEmpty());
    QVERIFY(common::zeroPointsVec.empty());
    QVERIFY(common::productZeroPointsVec.empty());
    QVERIFY(common::reportSavePath.isEmpty());
    QCOMPARE(common::isoSampleTimes, 0);
    QVERIFY(common::defaultIsoPoses.isEmpty());
    QVERIFY(common::isoPoses.isEmpty());
}

void tst_CalibrationState::names()
{
    QCOMPARE(common::jointNames,
             QStringList({"J1", "J2", "J3", "J4", "J5", "J6", "J7", "J8", "J9", "J10"}));
    QCOMPARE(common::isoPointNames,
             QStringList({"P1", "P2", "P3", "P4", QString::fromUtf8("P5(中心点)")}));
    QCOMPARE(common::calibInfoFileName, QStringLiteral("calibInfo.json"));
    QCOMPARE(common::optimizedDHFileName, QStringLiteral("optimized_dh.json"));
    QCOMPARE(common::defaultIsoPosesFileName, QStringLiteral("default_iso_poses.json"));

    // Past the ten fixed names the captions go on counting; nothing reads past the list.
    QCOMPARE(common::jointName(0), QStringLiteral("J1"));
    QCOMPARE(common::jointName(9), QStringLiteral("J10"));
    QCOMPARE(common::jointName(10), QStringLiteral("J11"));
    QCOMPARE(common::jointName(11), QStringLiteral("J12"));
}

QTEST_GUILESS_MAIN(tst_CalibrationState)
#include "tst_calibrationstate.moc"
