#include <calibration/run/runtesthelpers.h>

#include "common/common.h"
#include "interface/interfacemanager.h"
#include "iso/displayisowidget.h"
#include "pages/dhparameterwidget.h"
#include "records/recordhistory.h"
#include "records/recordwidget.h"

#include <sim/controller/simulatedcontroller.h>
#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>
#include <support/simhost.h>
#include <support/temporarycurrentdir.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

using support::DialogAnswer;
using support::ModalDialogWatcher;

namespace {

const QString kSetAll = QStringLiteral("factory.set_DH_params_all");
const QString kSetZero = QStringLiteral("ethercat.set_precision_compensation_zero");

QJsonArray toJson(const QVector<double> &values)
{
    QJsonArray array;
    for (double v : values)
        array.append(std::isfinite(v) ? QJsonValue(v) : QJsonValue(QJsonValue::Null));
    return array;
}

} // namespace

class tst_recordWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void applyAppendsOneRecord_data();
    void applyAppendsOneRecord();
    void failureAfterDhWriteIsPartial();
    void failedDhWriteRecordsNothing();
    void restoreBringsControllerBack();
    void failedRestoreRecordsNothing();
    void notRestorable_data();
    void notRestorable();
    void restoreOfAnotherRobotIsRefused();
    void export_();
    void isoReportsGiveTheFigures();
    void unsavedRecordIsShown();

private:
    sim::SimulatedController *sim() const { return m_host->controller(); }
    QPushButton *button(QWidget *on, const char *name) const
    {
        return on->findChild<QPushButton *>(name);
    }
    // A result of the controller's robot waits for review; the result file says the zero
    // offsets the measuring program found.
    void prepareResult(double step);
    bool waitForReboot(int before);
    void applyManually();
    QString cellText(int column) const;

    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    support::SimHost *m_host = nullptr;
    recordWidget *page = nullptr;
    dhparameterWidget *result = nullptr;
    QString m_dataFolder;
    int m_folders = 0;
};

void tst_recordWidget::initTestCase()
{
    m_dir.reset(new support::TemporaryCurrentDir);
    QVERIFY(m_dir->isValid());
    tessel::tesselInterface();
    m_host = new support::SimHost(this);
    sim()->setRebootDelay(50);
    QVERIFY(m_host->start("SR6-900"));
    common::workFolder = QDir::currentPath() + "/work";
    QVERIFY(QDir().mkpath(common::workFolder));
    page = recordWidget::instance();
    result = dhparameterWidget::instance();
    page->resize(900, 700);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
}

void tst_recordWidget::init()
{
    QTRY_VERIFY(!runtest::autoCloseBox(result));
    QTRY_VERIFY(m_host->isConnected());
    sim()->resetScript();
    m_dataFolder = QDir::currentPath() + QStringLiteral("/data%1").arg(++m_folders);
    page->history()->open(m_dataFolder);
    prepareResult(0.001);
    sim()->clearCalls();
}

void tst_recordWidget::prepareResult(double step)
{
    common::calibMode = "normal";
    common::serialNumber = "SN-REC";
    common::robotType = tessel::tesselInterface().getRobotType();
    common::axisNum = sim()->axisCount();
    common::originalDHParamsVec = sim()->dhParams();
    common::optimizedDHParamsVec.clear();
    for (int i = 0; i < 4 * common::axisNum; ++i)
        common::optimizedDHParamsVec << common::originalDHParamsVec[i] + step * (i + 1);
    common::zeroPointsVec.clear();
    const QVector<double> now = sim()->zeroOffsets();
    for (int i = 0; i < common::axisNum; ++i)
        common::zeroPointsVec.push_back(now.value(i) + 10 * step * (i + 1));
    const QJsonObject file{{"status", 1},
                           {"zero_points_before", toJson(now)},
                           {"avg_valid_position_error", 0.05},
                           {"max_valid_position_error", 0.2},
                           {"held_parameters", QJsonArray{"link2.d"}}};
    QVERIFY(runtest::writeFile(common::workFolder + "/" + common::optimizedDHFileName,
                               QJsonDocument(file).toJson()));
    result->onAutoApplyToggled(false);
    result->changeBtnsStatus(true);
}

bool tst_recordWidget::waitForReboot(int before)
{
    const bool back =
        QTest::qWaitFor([this, before] { return sim()->rebootCount() == before + 1; }, 3000)
        && QTest::qWaitFor([this] { return m_host->isConnected(); }, 3000);
    // What the setup page reads at every link-up.
    common::originalDHParamsVec = sim()->dhParams();
    return back;
}

void tst_recordWidget::applyManually()
{
    const int reboots = sim()->rebootCount();
    QTest::mouseClick(button(result, "confirmBtn"), Qt::LeftButton);
    QVERIFY(waitForReboot(reboots));
}

QString tst_recordWidget::cellText(int column) const
{
    auto *table = page->findChild<QTableView *>("recordTable");
    return table->model()->index(0, column).data().toString();
}

void tst_recordWidget::applyAppendsOneRecord_data()
{
    QTest::addColumn<bool>("automatic");
    QTest::newRow("manual") << false;
    QTest::newRow("automatic") << true;
}

void tst_recordWidget::applyAppendsOneRecord()
{
    QFETCH(bool, automatic);
    const QVector<double> dhBefore = sim()->dhParams();
    const QVector<double> zeroBefore = sim()->zeroOffsets();
    const int reboots = sim()->rebootCount();
    if (automatic) {
        result->onAutoApplyToggled(true);
        result->autoApply();
    } else {
        QTest::mouseClick(button(result, "confirmBtn"), Qt::LeftButton);
    }
    QVERIFY(waitForReboot(reboots));
    QVERIFY(sim()->dhParams() != dhBefore);

    const QVector<CalibrationRecord> &records = page->history()->records();
    QCOMPARE(records.size(), 1);
    const CalibrationRecord &r = records.first();
    QCOMPARE(r.method, automatic ? CalibrationRecord::Method::Automatic
                                 : CalibrationRecord::Method::Manual);
    QVERIFY(r.isComplete());
    QCOMPARE(r.dhBefore, dhBefore);
    QCOMPARE(r.dhAfter, sim()->dhParams());
    QCOMPARE(r.zeroBefore, zeroBefore);
    QCOMPARE(r.zeroAfter, sim()->zeroOffsets());
    QCOMPARE(r.serialNumber, QStringLiteral("SN-REC"));
    QCOMPARE(r.robotId, sim()->robotId());
    QCOMPARE(r.mode, QStringLiteral("normal"));
    QCOMPARE(r.avgError, 0.05);
    QCOMPARE(r.maxError, 0.2);
    QCOMPARE(r.heldParameters, QStringList{"link2.d"});
    QCOMPARE(r.restoreBlock(), CalibrationRecord::RestoreBlock::None);

    RecordHistory file;
    file.open(m_dataFolder);
    QCOMPARE(file.records().size(), 1);
    QCOMPARE(file.records().first().dhAfter, sim()->dhParams());

    QCOMPARE(cellText(1), QStringLiteral("SN-REC"));
    QCOMPARE(cellText(2), automatic ? QStringLiteral("自动应用") : QStringLiteral("手动应用"));
    QCOMPARE(cellText(3), QStringLiteral("完整"));
    QCOMPARE(cellText(4), QStringLiteral("0.0500"));
    // The detail shows every value; those the apply changed stand out.
    auto *detail = page->findChild<QTableWidget *>("recordDetailTable");
    QCOMPARE(detail->rowCount(), 28 + 6);
    QCOMPARE(detail->item(0, 0)->text(), QStringLiteral("J1 Alpha(°)"));
    QVERIFY(detail->item(0, 0)->font().bold()); // alpha of J1 moved
    QVERIFY(!detail->item(3, 0)->font().bold()); // theta stays the controller's
    QVERIFY(!detail->item(24, 0)->font().bold()); // the end link is not written
    QVERIFY(page->findChild<QPushButton *>("restoreBtn")->isEnabled());
}

void tst_recordWidget::failureAfterDhWriteIsPartial()
{
    const QVector<double> zeroBefore = sim()->zeroOffsets();
    sim()->setAnswer(kSetZero, QJsonObject{{"success", false}});
    QTest::mouseClick(button(result, "confirmBtn"), Qt::LeftButton);
    QTRY_VERIFY(runtest::autoCloseBox(result));
    QCOMPARE(page->history()->records().size(), 1);
    const CalibrationRecord &r = page->history()->records().first();
    QVERIFY(!r.isComplete());
    QCOMPARE(r.failedStep, QStringLiteral("ZERO_WRITE"));
    // No rollback: the new DH set is in the controller, and the record says so.
    QCOMPARE(r.dhAfter, sim()->dhParams());
    QCOMPARE(sim()->zeroOffsets(), zeroBefore);
    QVERIFY(cellText(3).contains("ZERO_WRITE"));
    QVERIFY(page->findChild<QLabel *>("recordSummaryLabel")->text().contains("ZERO_WRITE"));
}

void tst_recordWidget::failedDhWriteRecordsNothing()
{
    sim()->setAnswer(kSetAll, QJsonObject{{"success", false}});
    QTest::mouseClick(button(result, "confirmBtn"), Qt::LeftButton);
    QTRY_VERIFY(runtest::autoCloseBox(result));
    QCOMPARE(page->history()->records().size(), 0);
    QVERIFY(!QFile::exists(page->history()->filePath()));
}

void tst_recordWidget::restoreBringsControllerBack()
{
    const QVector<double> dh0 = sim()->dhParams();
    const QVector<double> zero0 = sim()->zeroOffsets();
    applyManually();
    const QVector<double> dh1 = sim()->dhParams();
    const QVector<double> zero1 = sim()->zeroOffsets();
    QVERIFY(dh1 != dh0);
    QVERIFY(zero1 != zero0);
    const QDateTime applied = page->history()->records().first().time;

    ModalDialogWatcher watcher;
    watcher.addAnswer(DialogAnswer::press(QMessageBox::Yes));
    const int reboots = sim()->rebootCount();
    QTest::mouseClick(page->findChild<QPushButton *>("restoreBtn"), Qt::LeftButton);
    QVERIFY(waitForReboot(reboots));
    QCOMPARE(watcher.count(), 1);
    QVERIFY(watcher.last().text.contains(applied.toString("yyyy-MM-dd hh:mm:ss")));
    QVERIFY(watcher.last().text.contains("SN-REC"));

    QCOMPARE(sim()->dhParams(), dh0);
    QCOMPARE(sim()->zeroOffsets(), zero0);
    QCOMPARE(page->history()->records().size(), 2);
    const CalibrationRecord &r = page->history()->records().last();
    QCOMPARE(r.method, CalibrationRecord::Method::Restore);
    QVERIFY(r.isComplete());
    QCOMPARE(r.dhBefore, dh1);
    QCOMPARE(r.dhAfter, dh0);
    QCOMPARE(r.zeroBefore, zero1);
    QCOMPARE(r.zeroAfter, zero0);
    QCOMPARE(r.restoredFrom, applied);
    QCOMPARE(cellText(2), QStringLiteral("恢复"));
}

void tst_recordWidget::failedRestoreRecordsNothing()
{
    applyManually();
    const QVector<double> dh1 = sim()->dhParams();
    const QByteArray file = runtest::readFile(page->history()->filePath());
    sim()->setAnswer(kSetAll, QJsonObject{{"success", false}});
    sim()->clearCalls();

    ModalDialogWatcher watcher;
    watcher.addAnswer(DialogAnswer::press(QMessageBox::Yes));
    QTest::mouseClick(page->findChild<QPushButton *>("restoreBtn"), Qt::LeftButton);
    QTRY_VERIFY(runtest::autoCloseBox(result));
    QCOMPARE(sim()->callsOf(kSetAll).size(), 1);
    QCOMPARE(sim()->callsOf(kSetZero).size(), 0);
    QCOMPARE(page->history()->records().size(), 1);
    QCOMPARE(runtest::readFile(page->history()->filePath()), file);
    QCOMPARE(sim()->dhParams(), dh1);

    // Saying no writes nothing at all.
    sim()->resetScript();
    sim()->clearCalls();
    watcher.addAnswer(DialogAnswer::press(QMessageBox::No));
    QTRY_VERIFY(!runtest::autoCloseBox(result));
    QTest::mouseClick(page->findChild<QPushButton *>("restoreBtn"), Qt::LeftButton);
    QCOMPARE(watcher.count(), 2);
    QCOMPARE(sim()->calls().size(), 0);
}

void tst_recordWidget::notRestorable_data()
{
    QTest::addColumn<bool>("production");
    QTest::addColumn<QString>("reason");
    QTest::newRow("production") << true << "生产模式的记录只供查看：它写入了两套参数，不能恢复";
    QTest::newRow("zero unknown")
        << false
        << "应用前的零点未全部测出：只写回DH参数会使机器人既不是应用前也不是应用后的状态，不能恢复";
}

void tst_recordWidget::notRestorable()
{
    QFETCH(bool, production);
    QFETCH(QString, reason);
    CalibrationRecord r;
    r.time = QDateTime::currentDateTime();
    r.serialNumber = "SN-REC";
    r.robotModel = common::robotType;
    r.robotId = sim()->robotId();
    r.mode = production ? "product" : "normal";
    r.dhBefore = sim()->dhParams();
    r.dhAfter = sim()->dhParams();
    r.zeroBefore = QVector<double>(6, 0.0);
    if (!production)
        r.zeroBefore[5] = std::nan("");
    page->appendRecord(r);
    QCOMPARE(page->findChild<QLabel *>("restoreReasonLabel")->text(), reason);
    QVERIFY(!page->findChild<QPushButton *>("restoreBtn")->isEnabled());

    ModalDialogWatcher watcher;
    page->restoreSelected();
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().text, reason);
    QCOMPARE(sim()->calls().size(), 0);
}

void tst_recordWidget::restoreOfAnotherRobotIsRefused()
{
    applyManually();
    // The same history, another robot on the link.
    CalibrationRecord r = page->history()->records().first();
    r.robotId = "another";
    r.time = r.time.addSecs(1);
    page->appendRecord(r);
    sim()->clearCalls();
    ModalDialogWatcher watcher;
    watcher.addAnswer(DialogAnswer::press(QMessageBox::Yes));
    page->restoreSelected();
    QCOMPARE(watcher.count(), 2);
    QCOMPARE(watcher.last().text, QStringLiteral("该记录不属于当前连接的机器人"));
    QCOMPARE(sim()->calls().size(), 0);
}

void tst_recordWidget::export_()
{
    applyManually();
    QTemporaryDir out;
    QString error;
    const QString one = page->exportSelected(out.path(), &error);
    QVERIFY2(!one.isEmpty(), qPrintable(error));
    const QString text = QString::fromUtf8(runtest::readFile(one));
    QVERIFY(text.contains("serial_number,SN-REC\r\n"));
    QVERIFY(text.contains("link1.alpha,"));
    const QString all = page->exportAll(out.path(), &error);
    QVERIFY2(!all.isEmpty(), qPrintable(error));
    QCOMPARE(QString::fromUtf8(runtest::readFile(all)).count("\r\n"), 2);
    // A folder that cannot exist: the reason comes back, nothing is written.
    QVERIFY(runtest::writeFile(out.filePath("plain"), "x"));
    QVERIFY(page->exportAll(out.filePath("plain"), &error).isEmpty());
    QVERIFY(!error.isEmpty());
}

void tst_recordWidget::isoReportsGiveTheFigures()
{
    emit displayisowidget::instance()->reportGenerated(0.7);
    applyManually();
    QCOMPARE(page->history()->records().first().isoApBefore, 0.7);
    QCOMPARE(cellText(6), QStringLiteral("0.7000"));
    QCOMPARE(cellText(7), QStringLiteral("-"));
    emit displayisowidget::instance()->reportGenerated(0.02);
    QCOMPARE(cellText(7), QStringLiteral("0.0200"));
    // Reports of another serial number count for its own records only.
    common::serialNumber = "SN-OTHER";
    emit displayisowidget::instance()->reportGenerated(5.0);
    QCOMPARE(page->history()->records().first().isoApAfter, 0.02);
}

void tst_recordWidget::unsavedRecordIsShown()
{
    QVERIFY(runtest::writeFile(QDir::currentPath() + "/plainfile", "x"));
    page->history()->open(QDir::currentPath() + "/plainfile/data");
    applyManually();
    QVERIFY(runtest::autoCloseBox(result));
    QCOMPARE(runtest::autoCloseBox(result)->text(), QStringLiteral("标定记录保存失败"));
    QCOMPARE(page->history()->records().size(), 1);
    auto *status = page->findChild<QLabel *>("recordStatusLabel");
    QVERIFY(!status->isHidden());
    QVERIFY(status->text().startsWith(QStringLiteral("1条记录未能保存")));
    QVERIFY(runtest::pluginLogText().contains("[RECORD] not saved: "));
}

SUPPORT_GUI_TEST_MAIN(tst_recordWidget)
#include "tst_recordwidget.moc"
