#include <sim/controller/robotiobook.h>
#include <sim/controller/simulatedcontroller.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QSignalSpy>
#include <QtTest>

using sim::RobotIoBook;
using sim::SimulatedController;

namespace {

QJsonValue signalValue(const QJsonValue &list, const QString &name)
{
    const QJsonArray items = list.toArray();
    for (const QJsonValue item : items) {
        if (item[QStringLiteral("name")].toString() == name)
            return item[QStringLiteral("value")];
    }
    return QJsonValue(QJsonValue::Undefined);
}

} // namespace

class tst_RobotIoBook : public QObject
{
    Q_OBJECT

private slots:
    void everySignalKindIsThere();
    void onlyInputsTakeNumbers_data();
    void onlyInputsTakeNumbers();
    void aChangedInputReachesWatchers();
};

void tst_RobotIoBook::everySignalKindIsThere()
{
    QSet<int> kinds;
    for (const RobotIoBook::Signal &signal : RobotIoBook().signalList())
        kinds.insert(signal.kind);
    QCOMPARE(kinds, (QSet<int>{1, 2, 3, 4, 5, 6}));
}

void tst_RobotIoBook::onlyInputsTakeNumbers_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QJsonValue>("value");
    QTest::addColumn<bool>("taken");
    QTest::newRow("DI") << "di_start" << QJsonValue(1) << true;
    QTest::newRow("GI") << "gi_part_code" << QJsonValue(12) << true;
    QTest::newRow("AI") << "ai_pressure" << QJsonValue(4.25) << true;
    QTest::newRow("DO") << "do_lamp" << QJsonValue(1) << false;
    QTest::newRow("AO") << "ao_feed_speed" << QJsonValue(1.5) << false;
    QTest::newRow("unknown") << "di_nothing" << QJsonValue(1) << false;
    QTest::newRow("text") << "di_start" << QJsonValue(QStringLiteral("1")) << false;
}

void tst_RobotIoBook::onlyInputsTakeNumbers()
{
    QFETCH(QString, name);
    QFETCH(QJsonValue, value);
    QFETCH(bool, taken);
    RobotIoBook book;
    const QJsonValue before = signalValue(book.value(RobotIoBook::SignalsKey), name);
    QCOMPARE(book.setInput(name, value), taken);
    QCOMPARE(signalValue(book.value(RobotIoBook::SignalsKey), name), taken ? value : before);
}

void tst_RobotIoBook::aChangedInputReachesWatchers()
{
    SimulatedController controller;
    controller.bringUp();
    QSignalSpy updates(&controller, &SimulatedController::valueChanged);
    QVERIFY(controller.setInput(QStringLiteral("di_start"), 1));
    QCoreApplication::processEvents();
    QCOMPARE(updates.count(), 0); // nobody watches yet

    mirel::ControllerMessage watch;
    watch.id = 1;
    watch.kind = mirel::ControllerMessage::Watch;
    watch.name = RobotIoBook::SignalsKey;
    watch.payload = true;
    controller.send(watch);
    QTRY_COMPARE(updates.count(), 1);
    QVERIFY(controller.setInput(QStringLiteral("di_start"), 0));
    QTRY_COMPARE(updates.count(), 2);
    QCOMPARE(updates.last().at(0).toString(), RobotIoBook::SignalsKey);
    QCOMPARE(signalValue(updates.last().at(1).value<QJsonValue>(), QStringLiteral("di_start")),
             QJsonValue(0));
    QVERIFY(!controller.setInput(QStringLiteral("do_lamp"), 1));
    QCoreApplication::processEvents();
    QCOMPARE(updates.count(), 2);
}

QTEST_MAIN(tst_RobotIoBook)
#include "tst_robotiobook.moc"
