#include "runtesthelpers.h"

#include "common/common.h"
#include "interface/interfacemanager.h"
#include "pages/dhparameterwidget.h"

#include <sim/controller/simulatedcontroller.h>
#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>
#include <support/simhost.h>
#include <support/temporarycurrentdir.h>

#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include <memory>

using support::ModalDialogWatcher;

namespace {

const QString kSetAll = QStringLiteral("factory.set_DH_params_all");
const QString kSetLink = QStringLiteral("factory.set_DH_params_link");
const QString kSetZero = QStringLiteral("ethercat.set_precision_compensation_zero");
const QString kReboot = QStringLiteral("system.controller.reboot");
const QString kRed = QStringLiteral("color: red;");

// The joints of a controller set, every value moved by `step` times its position.
QVector<double> moved(const QVector<double> &controller, int axes, double step)
{
    QVector<double> values;
    for (int i = 0; i < 4 * axes; ++i)
        values << controller[i] + step * (i + 1);
    return values;
}

QVector<double> numbers(const QJsonValue &value)
{
    QVector<double> result;
    for (const QJsonValue &item : value.toArray())
        result << item.toDouble();
    return result;
}

// What apply must send: alpha, a, d of the new set and the controller's theta, and on a
// 7-axis robot the controller's extra link group.
QVector<double> expectedPayload(const QVector<double> &set, const QVector<double> &controller,
                                int axes)
{
    QVector<double> values;
    for (int j = 0; j < 4 * axes; ++j)
        values << (j % 4 == 3 ? controller[j] : set[j]);
    if (axes == 7)
        values << controller.mid(controller.size() - 4);
    return values;
}

} // namespace

class tst_dhparameterWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void construction();
    void table();
    void tableWithoutParameters();
    void buttonRule_data();
    void buttonRule();
    void applyNormal_data();
    void applyNormal();
    void applyProduction();
    void verdicts_data();
    void verdicts();
    void refusals_data();
    void refusals();
    void zeroWriteFailsThenApplyStartsAgain();
    void nothingInterruptsAWaitingWrite_data();
    void nothingInterruptsAWaitingWrite();
    void autoApply_data();
    void autoApply();
    void giveUp();
    void qualityMarks_data();
    void qualityMarks();

private:
    sim::SimulatedController *sim() const { return m_host->controller(); }
    QPushButton *button(const char *name) const { return page->findChild<QPushButton *>(name); }
    QLineEdit *field(const char *name) const { return page->findChild<QLineEdit *>(name); }
    QStringList callNames() const
    {
        QStringList names;
        for (const auto &call : sim()->calls())
            names << call.name;
        return names;
    }
    // A result ready for review on the controller's current robot.
    void prepareResult();
    bool waitForReboot(int before) const;

    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    support::SimHost *m_host = nullptr;
    dhparameterWidget *page = nullptr;
};

void tst_dhparameterWidget::initTestCase()
{
    m_dir.reset(new support::TemporaryCurrentDir);
    QVERIFY(m_dir->isValid());
    tessel::tesselInterface();
    m_host = new support::SimHost(this);
    sim()->setRebootDelay(50);
    QVERIFY(m_host->start("SR6-900"));
    page = dhparameterWidget::instance();
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
}

void tst_dhparameterWidget::init()
{
    QTRY_VERIFY(!runtest::autoCloseBox(page));
    QTRY_VERIFY(m_host->isConnected());
    sim()->resetScript();
    prepareResult();
    sim()->clearCalls();
}

void tst_dhparameterWidget::cleanup()
{
    common::calibMode = "normal";
}

void tst_dhparameterWidget::prepareResult()
{
    common::calibMode = "normal";
    common::axisNum = sim()->axisCount();
    common::originalDHParamsVec = sim()->dhParams();
    common::optimizedDHParamsVec = moved(common::originalDHParamsVec, common::axisNum, 0.001);
    common::zeroPointsVec.assign(size_t(common::axisNum), 0.0);
    for (size_t i = 0; i < common::zeroPointsVec.size(); ++i)
        common::zeroPointsVec[i] = 0.01 * double(i + 1);
    common::productDHParamsVec.clear();
    common::productZeroPointsVec.clear();
    page->onAutoApplyToggled(false);
    page->changeBtnsStatus(true);
    page->initTableWithData();
    page->writeDHResLabls(false);
    page->updateErrorLabels("0.1000", "0.2000");
}

bool tst_dhparameterWidget::waitForReboot(int before) const
{
    return QTest::qWaitFor([this, before] { return sim()->rebootCount() == before + 1; }, 3000)
           && QTest::qWaitFor([this] { return m_host->isConnected(); }, 3000);
}

void tst_dhparameterWidget::construction()
{
    QCOMPARE(page->objectName(), QStringLiteral("dhparameterWidget"));
    QCOMPARE(page->windowTitle(), QStringLiteral("Form"));
    QVERIFY(!page->findChild<QLabel *>("calibResLabel")->isVisible());
    QCOMPARE(button("giveUpBtn")->text(), QStringLiteral("放弃"));
    QCOMPARE(button("confirmBtn")->text(), QStringLiteral("应用"));
    QCOMPARE(page->findChild<QLabel *>("averagePosErrorLabel")->text(),
             QStringLiteral("验证平均位置误差(mm)："));
    QCOMPARE(page->findChild<QLabel *>("averagePoseErrorLabel")->text(),
             QStringLiteral("验证最大位置误差(mm)："));
    QVERIFY(field("averagePosErrorText")->isReadOnly());
    QVERIFY(field("averagePoseErrorText")->isReadOnly());
    QCOMPARE(runtest::cellText(page, 0, 0), QStringLiteral("Joint"));
    QCOMPARE(runtest::cellText(page, 0, 1), QStringLiteral("初始参数"));
    QCOMPARE(runtest::cellText(page, 0, 5), QStringLiteral("优化后参数"));
    const QStringList columns = {"Alpha(°)", "a(mm)", "d(mm)", "Theta(°)"};
    for (int i = 0; i < 4; ++i) {
        QCOMPARE(runtest::cellText(page, 1, 1 + i), columns[i]);
        QCOMPARE(runtest::cellText(page, 1, 5 + i), columns[i]);
    }
    // The result columns keep their placeholders under the result labels.
    for (int r = 2; r <= 7; ++r) {
        for (int c = 5; c < 9; ++c) {
            const QList<QLabel *> labels = runtest::cellLabels(page, r, c);
            QCOMPARE(labels.size(), 2);
            QVERIFY(!labels.first()->isEnabled());
            QCOMPARE(labels.first()->styleSheet(), QStringLiteral("border: none;"));
        }
    }
}

void tst_dhparameterWidget::table()
{
    const QVector<double> &dh = common::originalDHParamsVec;
    for (int r = 0; r < 6; ++r) {
        QCOMPARE(runtest::cellText(page, r + 2, 0), QStringLiteral("J%1").arg(r + 1));
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(runtest::cellText(page, r + 2, 1 + i),
                     QString::number(dh[4 * r + i], 'f', 4));
            QCOMPARE(runtest::cellText(page, r + 2, 5 + i),
                     QString::number(common::optimizedDHParamsVec[4 * r + i], 'f', 4));
        }
    }
    // A value that rounds to zero has no sign: "-0.0000" reads as a change where there is none.
    common::optimizedDHParamsVec[3] = -0.00004;
    common::optimizedDHParamsVec[7] = -0.00006;
    page->writeDHResLabls(false);
    QCOMPARE(runtest::cellText(page, 2, 8), QStringLiteral("0.0000"));
    QCOMPARE(runtest::cellText(page, 3, 8), QStringLiteral("-0.0001"));

    // The controller's extra link group has no row.
    QCOMPARE(runtest::cellText(page, 8, 1), QStringLiteral("<no label>"));
    page->writeDHResLabls(true);
    QCOMPARE(runtest::cellText(page, 2, 5), QString());
    QCOMPARE(runtest::cellText(page, 7, 8), QString());
    QVERIFY(runtest::cellLabel(page, 7, 8)->isEnabled()); // a result cell, not a placeholder

    // A rebuild replaces every controller cell, theta included.
    page->initTableWithData();
    for (int c = 0; c <= 4; ++c)
        QCOMPARE(runtest::cellLabels(page, 3, c).size(), 1);

    // Beyond the ten captions and the controller's numbers the table still builds.
    common::axisNum = 12;
    page->initTableWithData();
    page->writeDHResLabls(false);
    QCOMPARE(runtest::cellText(page, 11, 0), QStringLiteral("J10"));
    QCOMPARE(runtest::cellText(page, 13, 0), QStringLiteral("J12"));
    QCOMPARE(runtest::cellText(page, 13, 1), QString());
    QCOMPARE(runtest::cellText(page, 13, 5), QString());
}

// A controller read without parameters leaves the axis count at -1.
void tst_dhparameterWidget::tableWithoutParameters()
{
    common::axisNum = -1;
    common::originalDHParamsVec.clear();
    page->initTableWithData();
    page->writeDHResLabls(false);
    for (int c = 0; c <= 4; ++c)
        QVERIFY(runtest::cellLabels(page, 2, c).isEmpty());
    QCOMPARE(runtest::cellLabels(page, 2, 5).size(), 1); // only the placeholder is left
    QVERIFY(!runtest::cellLabel(page, 2, 5)->isEnabled());
}

void tst_dhparameterWidget::buttonRule_data()
{
    QTest::addColumn<bool>("pending");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<bool>("giveUp");
    QTest::addColumn<bool>("confirm");

    QTest::newRow("no result, manual") << false << false << false << false;
    QTest::newRow("no result, automatic") << false << true << false << false;
    QTest::newRow("pending, manual") << true << false << true << true;
    QTest::newRow("pending, automatic") << true << true << true << false;
}

void tst_dhparameterWidget::buttonRule()
{
    QFETCH(bool, pending);
    QFETCH(bool, automatic);
    QFETCH(bool, giveUp);
    QFETCH(bool, confirm);
    page->changeBtnsStatus(pending);
    page->onAutoApplyToggled(automatic);
    QCOMPARE(page->isAutoApplyEnabled(), automatic);
    QCOMPARE(button("giveUpBtn")->isEnabled(), giveUp);
    QCOMPARE(button("confirmBtn")->isEnabled(), confirm);
    // Switching takes effect at once.
    page->onAutoApplyToggled(!automatic);
    QCOMPARE(button("confirmBtn")->isEnabled(), pending && automatic);
    QCOMPARE(button("giveUpBtn")->isEnabled(), giveUp);
}

void tst_dhparameterWidget::applyNormal_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("count");

    QTest::newRow("6 axes") << "SR6-900" << "normal" << 24;
    QTest::newRow("7 axes") << "SR7-800" << "normal" << 32;
    QTest::newRow("Product in other letter case") << "SR6-900" << "Product" << 24;
}

void tst_dhparameterWidget::applyNormal()
{
    QFETCH(QString, model);
    QFETCH(QString, mode);
    QFETCH(int, count);
    if (sim()->model().name != model) {
        QVERIFY(m_host->start(model));
        prepareResult();
        sim()->clearCalls();
    }
    common::calibMode = mode;
    const QVector<double> controller = common::originalDHParamsVec;
    const QVector<double> optimized = common::optimizedDHParamsVec;
    const std::vector<double> zero = common::zeroPointsVec;
    QSignalSpy confirmed(page, &dhparameterWidget::confirmBtnSingals);
    const int reboots = sim()->rebootCount();

    ModalDialogWatcher watcher;
    QTest::mouseClick(button("confirmBtn"), Qt::LeftButton);
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(callNames(), (QStringList{kSetAll, kSetZero, kReboot}));
    const QVector<double> sent = numbers(sim()->callsOf(kSetAll).first().payload["DH_params_all"]);
    QCOMPARE(sent.size(), count);
    QCOMPARE(sent, expectedPayload(optimized, controller, common::axisNum));
    const QJsonObject zeroPayload = sim()->callsOf(kSetZero).first().payload.toObject();
    QCOMPARE(zeroPayload.keys(), QStringList{"joint_angle_A"});
    QCOMPARE(numbers(zeroPayload["joint_angle_A"]),
             QVector<double>(zero.cbegin(), zero.cend()));
    QCOMPARE(confirmed.count(), 1);
    QVERIFY(!button("confirmBtn")->isEnabled());
    QVERIFY(!button("giveUpBtn")->isEnabled());
    QVERIFY(common::optimizedDHParamsVec.isEmpty());
    QCOMPARE(common::zeroPointsVec, zero);
    QCOMPARE(runtest::cellText(page, 2, 5), QString());
    QCOMPARE(field("averagePosErrorText")->text(), QString());
    QVERIFY(waitForReboot(reboots));
    // The controller kept what it was sent.
    QCOMPARE(sim()->dhParams().mid(0, count), sent);
    QCOMPARE(sim()->zeroOffsets(), QVector<double>(zero.cbegin(), zero.cend()));
    if (model != "SR6-900")
        QVERIFY(m_host->start("SR6-900"));
}

void tst_dhparameterWidget::applyProduction()
{
    common::calibMode = "product";
    common::productDHParamsVec = moved(common::originalDHParamsVec, 6, 0.002);
    common::productZeroPointsVec = {1, 2, 3, 4, 5, 6};
    const QVector<double> controller = common::originalDHParamsVec;
    const QVector<double> optimized = common::optimizedDHParamsVec;
    const QVector<double> product = common::productDHParamsVec;
    const int reboots = sim()->rebootCount();

    ModalDialogWatcher watcher;
    QTest::mouseClick(button("confirmBtn"), Qt::LeftButton);
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(callNames(), (QStringList{kSetLink, kSetZero, kReboot}));
    const QJsonValue dh = sim()->callsOf(kSetLink).first().payload;
    QCOMPARE(numbers(dh["DH_A"]), expectedPayload(optimized, controller, 6));
    QCOMPARE(numbers(dh["DH_L"]), expectedPayload(product, controller, 6));
    const QJsonValue zero = sim()->callsOf(kSetZero).first().payload;
    QCOMPARE(numbers(zero["joint_angle_A"]),
             (QVector<double>{0.01, 0.02, 0.03, 0.04, 0.05, 0.06}));
    QCOMPARE(numbers(zero["joint_angle_L"]), (QVector<double>{1, 2, 3, 4, 5, 6}));
    QVERIFY(common::optimizedDHParamsVec.isEmpty());
    QVERIFY(common::productDHParamsVec.isEmpty());
    QVERIFY(common::productZeroPointsVec.empty());
    QVERIFY(waitForReboot(reboots));
    QCOMPARE(sim()->productZeroOffsets(), (QVector<double>{1, 2, 3, 4, 5, 6}));
}

void tst_dhparameterWidget::verdicts_data()
{
    QTest::addColumn<QJsonValue>("answer");
    QTest::addColumn<bool>("ok");

    QTest::newRow("success false wins over code 0")
        << QJsonValue(QJsonObject{{"success", false}, {"code", 0}}) << false;
    QTest::newRow("code 3") << QJsonValue(QJsonObject{{"code", 3}}) << false;
    QTest::newRow("code 0") << QJsonValue(QJsonObject{{"code", 0}}) << true;
    // Codes that an int conversion would turn into 0.
    QTest::newRow("code beyond int") << QJsonValue(QJsonObject{{"code", 2147500037.0}}) << false;
    QTest::newRow("code 3e9") << QJsonValue(QJsonObject{{"code", 3e9}}) << false;
    QTest::newRow("code 0.5") << QJsonValue(QJsonObject{{"code", 0.5}}) << false;
    QTest::newRow("code as text") << QJsonValue(QJsonObject{{"code", "3"}}) << true;
    QTest::newRow("other members") << QJsonValue(QJsonObject{{"msg", "done"}}) << true;
    QTest::newRow("unknown command")
        << QJsonValue(QJsonObject{{"error", -1}, {"msg", "unknown command"}}) << false;
    QTest::newRow("error 0") << QJsonValue(QJsonObject{{"error", 0}}) << true;
    QTest::newRow("success true wins over an error")
        << QJsonValue(QJsonObject{{"success", true}, {"error", -1}}) << true;
    QTest::newRow("bare 0") << QJsonValue(0) << true;
    QTest::newRow("bare 1") << QJsonValue(1) << false;
    QTest::newRow("true") << QJsonValue(true) << true;
    QTest::newRow("false") << QJsonValue(false) << false;
    QTest::newRow("text") << QJsonValue("accepted") << true;
    QTest::newRow("list") << QJsonValue(QJsonArray{1}) << true;
    QTest::newRow("null") << QJsonValue(QJsonValue::Null) << false;
}

void tst_dhparameterWidget::verdicts()
{
    QFETCH(QJsonValue, answer);
    QFETCH(bool, ok);
    sim()->setAnswer(kSetAll, answer);
    QSignalSpy confirmed(page, &dhparameterWidget::confirmBtnSingals);
    const int reboots = sim()->rebootCount();

    ModalDialogWatcher watcher;
    QTest::mouseClick(button("confirmBtn"), Qt::LeftButton);
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(runtest::pluginLogText().contains(
                 QString("[APPLY][DH_WRITE] ") + (ok ? "SUCCESS" : "FAILED")),
             true);
    if (ok) {
        QCOMPARE(callNames(), (QStringList{kSetAll, kSetZero, kReboot}));
        QCOMPARE(confirmed.count(), 1);
        QVERIFY(waitForReboot(reboots));
        return;
    }
    QCOMPARE(callNames(), QStringList{kSetAll});
    QMessageBox *box = runtest::autoCloseBox(page);
    QVERIFY(box);
    QCOMPARE(box->windowTitle(), QStringLiteral("错误"));
    QCOMPARE(box->text(), QStringLiteral("写入控制器失败"));
    QCOMPARE(box->icon(), QMessageBox::Warning);
    QCOMPARE(confirmed.count(), 0);
    QVERIFY(button("confirmBtn")->isEnabled());
    QVERIFY(!common::optimizedDHParamsVec.isEmpty());
}

void tst_dhparameterWidget::refusals_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<int>("optimizedSize");
    QTest::addColumn<int>("productSize");
    QTest::addColumn<int>("productZeros");
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("zeros");
    QTest::addColumn<QString>("text");

    const QString none = "未找到标定结果";
    const QString product = "生产模式写入参数长度不匹配或零点为空";
    QTest::newRow("after a cancelled run") << "normal" << 0 << 0 << 0 << 6 << 6 << none;
    QTest::newRow("joint missing") << "normal" << 20 << 0 << 0 << 6 << 6 << none;
    QTest::newRow("joint count disagrees with the controller set")
        << "normal" << 24 << 0 << 0 << 7 << 6 << none;
    // Refused before the DH set goes in: else the controller keeps it with the old offsets.
    QTest::newRow("zero offsets short") << "normal" << 24 << 0 << 0 << 6 << 5 << none;
    QTest::newRow("no zero offsets") << "normal" << 24 << 0 << 0 << 6 << 0 << none;
    QTest::newRow("production without zero offsets") << "product" << 24 << 24 << 0 << 6 << 6
                                                     << product;
    QTest::newRow("production zero count differs")
        << "product" << 24 << 24 << 5 << 6 << 6 << product;
    QTest::newRow("production zero offsets short, both alike")
        << "product" << 24 << 24 << 5 << 6 << 5 << product;
    QTest::newRow("production set short") << "product" << 24 << 20 << 6 << 6 << 6 << product;
    QTest::newRow("production, optimised set short")
        << "product" << 20 << 24 << 6 << 6 << 6 << none;
}

void tst_dhparameterWidget::refusals()
{
    QFETCH(QString, mode);
    QFETCH(int, optimizedSize);
    QFETCH(int, productSize);
    QFETCH(int, productZeros);
    QFETCH(int, axes);
    QFETCH(int, zeros);
    QFETCH(QString, text);
    common::calibMode = mode;
    common::axisNum = axes;
    common::zeroPointsVec.resize(size_t(zeros), 0.01);
    common::optimizedDHParamsVec.resize(optimizedSize);
    common::productDHParamsVec = moved(common::originalDHParamsVec, 6, 0.002).mid(0, productSize);
    common::productZeroPointsVec.assign(size_t(productZeros), 1.0);
    QSignalSpy confirmed(page, &dhparameterWidget::confirmBtnSingals);

    ModalDialogWatcher watcher;
    QTest::mouseClick(button("confirmBtn"), Qt::LeftButton);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("错误"));
    QCOMPARE(watcher.last().text, text);
    QCOMPARE(watcher.last().icon, QMessageBox::Warning);
    QCOMPARE(sim()->calls().size(), 0);
    QCOMPARE(confirmed.count(), 0);
    QVERIFY(button("confirmBtn")->isEnabled());
}

void tst_dhparameterWidget::zeroWriteFailsThenApplyStartsAgain()
{
    sim()->setAnswer(kSetZero, QJsonObject{{"success", false}, {"code", -2}});
    QSignalSpy confirmed(page, &dhparameterWidget::confirmBtnSingals);
    QTest::mouseClick(button("confirmBtn"), Qt::LeftButton);
    QCOMPARE(callNames(), (QStringList{kSetAll, kSetZero}));
    QVERIFY(runtest::autoCloseBox(page));
    QCOMPARE(runtest::autoCloseBox(page)->text(), QStringLiteral("写入控制器失败"));
    QVERIFY(button("confirmBtn")->isEnabled());
    QVERIFY(button("giveUpBtn")->isEnabled());
    QCOMPARE(runtest::cellText(page, 2, 5),
             QString::number(common::optimizedDHParamsVec[0], 'f', 4));

    sim()->resetScript();
    const int reboots = sim()->rebootCount();
    QTest::mouseClick(button("confirmBtn"), Qt::LeftButton);
    QCOMPARE(callNames(), (QStringList{kSetAll, kSetZero, kSetAll, kSetZero, kReboot}));
    QCOMPARE(sim()->callsOf(kSetAll).at(1).payload, sim()->callsOf(kSetAll).at(0).payload);
    QCOMPARE(confirmed.count(), 1);
    QVERIFY(waitForReboot(reboots));
}

void tst_dhparameterWidget::nothingInterruptsAWaitingWrite_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::newRow("manual") << false;
    QTest::newRow("automatic") << true;
}

// The controller commands wait in a nested event loop; whatever arrives there (a click, a
// queued signal, the automatic timer) must neither give the result up nor start another write.
void tst_dhparameterWidget::nothingInterruptsAWaitingWrite()
{
    QFETCH(bool, automatic);
    sim()->setLatency(100);
    QSignalSpy gaveUp(page, &dhparameterWidget::giveupBtnSignals);
    QSignalSpy confirmed(page, &dhparameterWidget::confirmBtnSingals);
    const int reboots = sim()->rebootCount();
    QStringList enabledWhileWaiting;
    QObject probe;
    connect(sim(), &sim::SimulatedController::received, &probe, [&](const QString &name) {
        if (name != kSetAll && name != kSetZero)
            return;
        QTimer::singleShot(0, &probe, [&] {
            for (const char *name : {"giveUpBtn", "confirmBtn"})
                if (button(name)->isEnabled())
                    enabledWhileWaiting << name;
            QMetaObject::invokeMethod(page, "giveupBtnClicked");
            QMetaObject::invokeMethod(page, "confirmBtnClicked");
            page->autoApply();
        });
    });

    page->onAutoApplyToggled(automatic);
    if (automatic)
        page->autoApply();
    else
        QTest::mouseClick(button("confirmBtn"), Qt::LeftButton);
    sim()->setLatency(0);
    QCOMPARE(enabledWhileWaiting, QStringList());
    QCOMPARE(gaveUp.count(), 0);
    QCOMPARE(callNames(), (QStringList{kSetAll, kSetZero, kReboot}));
    QCOMPARE(confirmed.count(), 1);
    QVERIFY(!button("giveUpBtn")->isEnabled());
    QVERIFY(!button("confirmBtn")->isEnabled());
    QVERIFY(waitForReboot(reboots));

    // A failed write gives the card back with the result still pending.
    prepareResult();
    page->onAutoApplyToggled(automatic);
    sim()->clearCalls();
    sim()->setAnswer(kSetAll, QJsonObject{{"success", false}});
    if (automatic)
        page->autoApply();
    else
        QTest::mouseClick(button("confirmBtn"), Qt::LeftButton);
    QCOMPARE(callNames(), QStringList{kSetAll});
    QCOMPARE(enabledWhileWaiting, QStringList());
    QCOMPARE(gaveUp.count(), 0);
    QVERIFY(button("giveUpBtn")->isEnabled());
    QCOMPARE(button("confirmBtn")->isEnabled(), !automatic);
}

void tst_dhparameterWidget::autoApply_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<bool>("pending");
    QTest::addColumn<QString>("logged");

    QTest::newRow("switch off") << false << true << "skip autoApply: switch is disabled";
    QTest::newRow("nothing pending") << true << false
                                     << "skip autoApply: no pending calibration result";
    QTest::newRow("on and pending") << true << true << "leave autoApply";
}

void tst_dhparameterWidget::autoApply()
{
    QFETCH(bool, automatic);
    QFETCH(bool, pending);
    QFETCH(QString, logged);
    page->onAutoApplyToggled(automatic);
    page->changeBtnsStatus(pending);
    const int logStart = runtest::pluginLogText().size();
    const int reboots = sim()->rebootCount();

    page->autoApply();
    const QString log = runtest::pluginLogText().mid(logStart);
    QVERIFY(log.contains("enter autoApply"));
    QVERIFY(log.contains(logged));
    const bool writes = automatic && pending;
    QCOMPARE(callNames(), writes ? (QStringList{kSetAll, kSetZero, kReboot}) : QStringList());
    if (!writes)
        return;
    QVERIFY(!log.contains("with failure"));
    // The automatic path leaves the table and the error fields as they were.
    QVERIFY(!runtest::cellText(page, 2, 5).isEmpty());
    QCOMPARE(field("averagePosErrorText")->text(), QStringLiteral("0.1000"));
    QVERIFY(!button("giveUpBtn")->isEnabled());
    QVERIFY(waitForReboot(reboots));
}

void tst_dhparameterWidget::giveUp()
{
    common::productDHParamsVec = {1, 2, 3, 4};
    common::productZeroPointsVec = {1};
    const std::vector<double> zero = common::zeroPointsVec;
    field("averagePosErrorText")->setStyleSheet(kRed);
    QSignalSpy gaveUp(page, &dhparameterWidget::giveupBtnSignals);
    QTest::mouseClick(button("giveUpBtn"), Qt::LeftButton);
    QCOMPARE(gaveUp.count(), 1);
    QVERIFY(!button("giveUpBtn")->isEnabled());
    QVERIFY(!button("confirmBtn")->isEnabled());
    QCOMPARE(runtest::cellText(page, 2, 5), QString());
    QCOMPARE(field("averagePosErrorText")->text(), QString());
    QCOMPARE(field("averagePosErrorText")->styleSheet(), QString());
    QVERIFY(common::optimizedDHParamsVec.isEmpty());
    QVERIFY(common::productDHParamsVec.isEmpty());
    QVERIFY(common::productZeroPointsVec.empty());
    QCOMPARE(common::zeroPointsVec, zero);
    QCOMPARE(sim()->calls().size(), 0);

    // Nothing is left to apply afterwards.
    page->changeBtnsStatus(true);
    ModalDialogWatcher watcher;
    QTest::mouseClick(button("confirmBtn"), Qt::LeftButton);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().text, QStringLiteral("未找到标定结果"));
}

void tst_dhparameterWidget::qualityMarks_data()
{
    QTest::addColumn<int>("column"); // 0 alpha, 1 a, 2 d, 3 theta of J2
    QTest::addColumn<double>("change");
    QTest::addColumn<bool>("red");

    QTest::newRow("theta at its limit") << 3 << 0.5 << false;
    QTest::newRow("theta above its limit") << 3 << 0.5000001 << true;
    QTest::newRow("alpha above the angle limit") << 0 << -0.75 << true;
    QTest::newRow("a at the length limit") << 1 << 0.25 << false;
    QTest::newRow("d above the length limit") << 2 << -0.3 << true;
    QTest::newRow("a below the angle limit, above the length limit") << 1 << 0.4 << true;
}

void tst_dhparameterWidget::qualityMarks()
{
    QFETCH(int, column);
    QFETCH(double, change);
    QFETCH(bool, red);
    common::optimizedDHParamsVec = common::originalDHParamsVec.mid(0, 24);
    common::optimizedDHParamsVec[4 + column] += change;
    page->writeDHResLabls(false);
    page->updateErrorLabels("0.3000", "0.9000");
    common::QualityGateResult gate;
    gate.status = 1;
    gate.avgError = 0.3;
    gate.avgErrorLimit = 0.3; // equal: not marked
    gate.maxError = 0.9;
    gate.maxErrorLimit = 0.8;
    gate.lengthDeltaLimit = 0.25;
    gate.angleDeltaLimit = 0.5;
    page->markQualityGateFailures(gate);
    QCOMPARE(field("averagePosErrorText")->styleSheet(), QString());
    QCOMPARE(field("averagePoseErrorText")->styleSheet(), kRed);
    for (int r = 0; r < 6; ++r) {
        for (int i = 0; i < 4; ++i) {
            const bool marked = runtest::cellLabel(page, r + 2, 5 + i)->styleSheet() == kRed;
            QCOMPARE(marked, red && r == 1 && i == column);
        }
    }
    // New labels carry no marks.
    page->writeDHResLabls(false);
    QCOMPARE(runtest::cellLabel(page, 3, 5 + column)->styleSheet(), QString());
}

SUPPORT_GUI_TEST_MAIN(tst_dhparameterWidget)
#include "tst_dhparameterwidget.moc"
