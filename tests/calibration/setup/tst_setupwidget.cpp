#include "common/common.h"
#include "interface/interfacemanager.h"
#include "iso/displayisowidget.h"
#include "iso/setupisowidget.h"
#include "pages/dhparameterwidget.h"
#include "pages/passworddialog.h"
#include "pages/setupwidget.h"

#include <calibration/veltratesthelpers.h>
#include <sim/controller/simulatedcontroller.h>
#include <support/filesizelimit.h>
#include <support/guitestmain.h>
#include <support/modaldialogwatcher.h>
#include <support/simhost.h>
#include <support/temporarycurrentdir.h>

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QGridLayout>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTimer>

#include <memory>

using support::DialogAnswer;
using support::DialogRecord;
using support::ModalDialogWatcher;
using veltratest::clickCheckBox;
using veltratest::pluginLogText;
using veltratest::readFile;
using veltratest::writeFile;

namespace {

const QString kGetDh = QStringLiteral("factory.get_DH_params_link");
const QString kLocked = QStringLiteral("🔒 解锁");
const QString kUnlocked = QStringLiteral("🔓 锁定");
const QString kAll = QStringLiteral("全选");
const QString kNone = QStringLiteral("全不选");
const QString kToAll = QStringLiteral("全参");
const QString kToMiddle = QStringLiteral("中轴");
const QStringList kFour = {"alpha", "a", "d", "theta"};
const QStringList kSixAxisDefault = {kAll, kNone, kNone, kNone, kNone, kAll};

QString figure(double value)
{
    return QString::number(value, 'g', 6);
}

QJsonObject dhReply(const QJsonValue &numbers)
{
    return {{"data", QJsonObject{{"DH_PARAMS_LINK", numbers}}}};
}

QJsonArray toArray(const QVector<double> &values)
{
    QJsonArray array;
    for (double v : values)
        array.append(v);
    return array;
}

// `groups` link groups of distinct numbers.
QVector<double> madeUpGroups(int groups)
{
    QVector<double> values;
    for (int i = 0; i < 4 * groups; ++i)
        values << 1.5 * i + 0.125;
    return values;
}

QJsonObject constraint(int joint, const QStringList &names)
{
    return {{"joint_index", joint}, {"locked_params", QJsonArray::fromStringList(names)}};
}

QStringList g_messages;

void keepMessage(QtMsgType, const QMessageLogContext &, const QString &text)
{
    g_messages.append(text);
}

} // namespace

class tst_setupWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void beforeTheFirstConnection();
    void robotModels_data();
    void robotModels();
    void fewerJointsThanBefore();
    void smallRobots();
    void repliesWithoutASet_data();
    void repliesWithoutASet();
    void moreThanTenAxes_data();
    void moreThanTenAxes();
    void connectionAnnouncedWhileReading();
    void rangeRoundTrip();
    void rowToggles();
    void lock();
    void modeSwitch();
    void runCardQueries();
    void resetAll();
    void requestFile_data();
    void requestFile();
    void rewriteReplacesTheFile();
    void failedWritesKeepTheEarlierFile();
    void cleanupTestCase();

private:
    QGridLayout *grid() const { return page->findChild<QGridLayout *>("tableLayout"); }
    QWidget *cell(int row, int column) const
    {
        QLayoutItem *item = grid()->itemAtPosition(row, column);
        return item ? item->widget() : nullptr;
    }
    QCheckBox *box(int row, int column) const
    {
        QWidget *w = cell(row, column);
        return w ? w->findChild<QCheckBox *>() : nullptr;
    }
    QString valueAt(int row, int column) const
    {
        QWidget *w = cell(row, column);
        QLabel *label = w ? w->findChild<QLabel *>() : nullptr;
        return label ? label->text() : QStringLiteral("<no value>");
    }
    QString caption(int row) const
    {
        auto *label = qobject_cast<QLabel *>(cell(row, 0));
        return label ? label->text() : QStringLiteral("<no caption>");
    }
    QPushButton *rowButton(int row) const { return qobject_cast<QPushButton *>(cell(row, 5)); }
    QPushButton *button(const char *name) const { return page->findChild<QPushButton *>(name); }
    QString rangeText() const { return button("rangeBtn")->text(); }
    QString lockText() const { return button("lockBtn")->text(); }
    QLineEdit *snEdit() const { return page->findChild<QLineEdit *>("snLineEdit"); }
    QString calibInfo() const { return common::workFolder + "/calibInfo.json"; }
    QJsonObject request() const { return QJsonDocument::fromJson(readFile(calibInfo())).object(); }

    // The boxes of the joint rows, "0001 1111 ..." (1 checked, 0 not, - no box).
    QString selection() const;
    QStringList rowTexts() const;
    // True when every box and row button of the joint rows is enabled (false: disabled).
    bool tableEnabledIs(bool enabled) const;
    void clickBox(int row, int column) { clickCheckBox(box(row, column)); }
    // Nothing below the two heading rows; a failure names the first item there.
    bool hasNoJointRow()
    {
        for (int i = 0; i < grid()->count(); ++i) {
            int r = 0, c = 0, rs = 0, cs = 0;
            grid()->getItemPosition(i, &r, &c, &rs, &cs);
            if (r >= 2) {
                qWarning("an item at row %d column %d", r, c);
                return false;
            }
        }
        return true;
    }
    void clickRow(int row) { QTest::mouseClick(rowButton(row), Qt::LeftButton); }
    // Brings the link up on `model`; `reply` replaces the controller's DH answer.
    bool connectRobot(const QString &model = "SR6-900", const QJsonValue &reply = QJsonValue());
    bool unlock();
    bool relock();
    // Presses the range button and answers the question; the record of the box shown.
    DialogRecord pressRange(const DialogAnswer &answer);
    void typeSerial(const QString &text);

    std::unique_ptr<support::TemporaryCurrentDir> m_dir;
    support::SimHost *m_host = nullptr;
    setupWidget *page = nullptr;
};

QString tst_setupWidget::selection() const
{
    QStringList rows;
    for (int r = 2; r <= 1 + common::axisNum; ++r) {
        QString row;
        for (int c = 1; c <= 4; ++c) {
            QCheckBox *b = box(r, c);
            row += !b ? '-' : b->isChecked() ? '1' : '0';
        }
        rows << row;
    }
    return rows.join(' ');
}

QStringList tst_setupWidget::rowTexts() const
{
    QStringList texts;
    for (int r = 2; r <= 1 + common::axisNum; ++r)
        texts << (rowButton(r) ? rowButton(r)->text() : QStringLiteral("<no button>"));
    return texts;
}

bool tst_setupWidget::tableEnabledIs(bool enabled) const
{
    for (int r = 2; r <= 1 + common::axisNum; ++r) {
        if (!rowButton(r) || rowButton(r)->isEnabled() != enabled)
            return false;
        for (int c = 1; c <= 4; ++c)
            if (!box(r, c) || box(r, c)->isEnabled() != enabled)
                return false;
    }
    return true;
}

bool tst_setupWidget::connectRobot(const QString &model, const QJsonValue &reply)
{
    m_host->controller()->resetScript();
    if (!reply.isNull())
        m_host->controller()->setAnswer(kGetDh, reply);
    QSignalSpy ready(page, &setupWidget::setupWidgetReady);
    if (!m_host->start(model))
        return false;
    return !ready.isEmpty() || ready.wait(3000);
}

bool tst_setupWidget::unlock()
{
    if (lockText() == kUnlocked)
        return true;
    ModalDialogWatcher watcher;
    watcher.setDefaultAnswer(DialogAnswer::reject());
    watcher.addAnswer(DialogAnswer::type("Sorvik"));
    QTest::mouseClick(button("lockBtn"), Qt::LeftButton);
    return watcher.count() == 1 && lockText() == kUnlocked;
}

bool tst_setupWidget::relock()
{
    if (lockText() == kUnlocked)
        QTest::mouseClick(button("lockBtn"), Qt::LeftButton);
    return lockText() == kLocked;
}

DialogRecord tst_setupWidget::pressRange(const DialogAnswer &answer)
{
    ModalDialogWatcher watcher;
    watcher.setDefaultAnswer(DialogAnswer::reject());
    watcher.addAnswer(answer);
    QTest::mouseClick(button("rangeBtn"), Qt::LeftButton);
    return watcher.count() == 1 ? watcher.last() : DialogRecord();
}

// Plain ASCII key by key; other text as an input method commits it, in one event.
void tst_setupWidget::typeSerial(const QString &text)
{
    snEdit()->clear();
    bool ascii = true;
    for (const QChar c : text)
        ascii = ascii && c.unicode() < 0x80;
    if (ascii)
        QTest::keyClicks(snEdit(), text);
    else
        QTest::sendKeyEvent(QTest::Click, snEdit(), Qt::Key_unknown, text, Qt::NoModifier);
}

void tst_setupWidget::initTestCase()
{
    m_dir.reset(new support::TemporaryCurrentDir);
    QVERIFY(m_dir->isValid());
    m_host = new support::SimHost(this);
    page = setupWidget::instance();
    page->resize(900, 600);
    page->show();
    QVERIFY(QTest::qWaitForWindowExposed(page));
}

void tst_setupWidget::init()
{
    common::workFolder = m_dir->filePath("work");
    QDir(common::workFolder).removeRecursively();
    snEdit()->clear();
}

void tst_setupWidget::beforeTheFirstConnection()
{
    QVERIFY(grid()->rowCount() >= 8);
    for (int r = 2; r <= 7; ++r) {
        for (int c = 0; c <= 5; ++c) {
            auto *placeholder = qobject_cast<QLabel *>(cell(r, c));
            QVERIFY2(placeholder, qPrintable(QString("row %1 column %2").arg(r).arg(c)));
            QCOMPARE(placeholder->text(), QString());
            QVERIFY(!placeholder->isEnabled());
        }
    }
    QStringList headers;
    for (int c = 0; c <= 5; ++c)
        headers << qobject_cast<QLabel *>(cell(1, c))->text();
    QCOMPARE(headers, (QStringList{"", "α", "a", "d", "θ", "操作"}));
    QCOMPARE(qobject_cast<QLabel *>(cell(0, 0))->text(), QStringLiteral("优化参数选择"));
    QCOMPARE(rangeText(), kToMiddle);
    QCOMPARE(lockText(), kLocked);
    QVERIFY(button("normalBtn")->isChecked());
    QVERIFY(!button("productBtn")->isEnabled());
    QCOMPARE(common::calibMode, QStringLiteral("normal"));

    bool selected = false;
    page->isAllOptionsSelect(selected);
    QVERIFY(!selected);
    page->resetAll(); // nothing to reset yet; must not trip over the placeholders
    QVERIFY(qobject_cast<QLabel *>(cell(2, 1)));

    // Auto apply starts on, and the switch relays each change.
    auto *autoApply = page->findChild<QAbstractButton *>("autoApplySwitch");
    QVERIFY(autoApply->isChecked());
    QSignalSpy toggled(page, &setupWidget::autoApplyToggled);
    QTest::mouseClick(autoApply, Qt::LeftButton);
    QTest::mouseClick(autoApply, Qt::LeftButton);
    QCOMPARE(toggled.count(), 2);
    QCOMPARE(toggled.at(0).at(0).toBool(), false);
    QCOMPARE(toggled.at(1).at(0).toBool(), true);
}

void tst_setupWidget::robotModels_data()
{
    QTest::addColumn<QString>("model");
    QTest::addColumn<int>("axes");
    QTest::addColumn<int>("modelType");
    QTest::addColumn<QString>("pattern");
    QTest::newRow("six axes") << "SR6-900" << 6 << 1 << "0001 1111 1111 1111 1111 0001";
    QTest::newRow("seven axes") << "SR7-800" << 7 << 2 << "0001 1111 1111 1111 1111 1111 0001";
}

void tst_setupWidget::robotModels()
{
    QFETCH(QString, model);
    QFETCH(int, axes);
    QFETCH(int, modelType);
    QFETCH(QString, pattern);

    common::robotType.clear();
    typeSerial("SN-AT-CONNECT");
    QSignalSpy params(page, &setupWidget::dhParamsReady);
    QSignalSpy ready(page, &setupWidget::setupWidgetReady);
    QObject probe;
    bool builtBeforeParamsSignal = false;
    QString typeAtParamsSignal = "<no signal>";
    QString typeAtReadySignal = "<no signal>";
    connect(page, &setupWidget::dhParamsReady, &probe, [&] {
        if (params.count() == 1) { // the spy's slot ran first
            builtBeforeParamsSignal = box(1 + axes, 4) != nullptr;
            typeAtParamsSignal = common::robotType;
        }
    });
    connect(page, &setupWidget::setupWidgetReady, &probe, [&] {
        if (ready.count() == 1)
            typeAtReadySignal = common::robotType;
    });
    QVERIFY(connectRobot(model));

    const QVector<double> dh = m_host->controller()->dhParams();
    QCOMPARE(dh.size(), 4 * (axes + 1));
    QCOMPARE(common::originalDHParamsVec, dh);
    QCOMPARE(common::axisNum, axes);
    for (int j = 0; j < axes; ++j) {
        QCOMPARE(caption(2 + j), QString("J%1").arg(j + 1));
        for (int p = 0; p < 4; ++p)
            QCOMPARE(valueAt(2 + j, 1 + p), figure(dh[4 * j + p]));
    }
    QVERIFY(!cell(2 + axes, 0)); // the link group after the last joint is not a row
    QCOMPARE(selection(), pattern);
    QStringList texts;
    for (int j = 0; j < axes; ++j)
        texts << (j == 0 || j == axes - 1 ? kAll : kNone);
    QCOMPARE(rowTexts(), texts);
    QCOMPARE(rangeText(), kToAll);
    QVERIFY(tableEnabledIs(lockText() == kUnlocked));

    QCOMPARE(common::robotIP, QStringLiteral("127.0.0.1"));
    QCOMPARE(common::robotType, model);
    QCOMPARE(common::modelType, modelType);
    QCOMPARE(common::serialNumber, QStringLiteral("SN-AT-CONNECT"));
    QVERIFY(params.count() >= 1);
    QCOMPARE(ready.count(), params.count());
    QVERIFY(builtBeforeParamsSignal);
    QCOMPARE(typeAtParamsSignal, QString()); // identity is recorded after the table signal
    QCOMPARE(typeAtReadySignal, model);
}

// The grid keeps the rows of a larger robot: the patterns must still end at the last joint.
void tst_setupWidget::fewerJointsThanBefore()
{
    QVERIFY(connectRobot("SR7-800"));
    pressRange(DialogAnswer::press("确认"));
    QCOMPARE(rangeText(), kToMiddle);
    QVERIFY(connectRobot("SR6-900"));
    QCOMPARE(rangeText(), kToAll);
    pressRange(DialogAnswer::press("确认"));
    QCOMPARE(selection(), QStringLiteral("1111 1111 1111 1111 1111 1111"));
    QCOMPARE(rangeText(), kToMiddle);
    pressRange(DialogAnswer::press("确认"));
    QCOMPARE(selection(), QStringLiteral("0001 1111 1111 1111 1111 0001"));
    QCOMPARE(rowTexts(), kSixAxisDefault);
    QCOMPARE(rangeText(), kToAll);
}

void tst_setupWidget::smallRobots()
{
    QVERIFY(connectRobot());
    const QVector<double> six = m_host->controller()->dhParams();
    pressRange(DialogAnswer::press("确认"));
    QCOMPARE(rangeText(), kToMiddle);

    // Five axes: the rows after the last joint stay empty and neither pattern holds.
    QVERIFY(connectRobot("SR6-900", dhReply(toArray(six.mid(0, 24)))));
    QCOMPARE(common::axisNum, 5);
    QCOMPARE(caption(6), QStringLiteral("J5"));
    QCOMPARE(valueAt(6, 3), figure(six[18]));
    QVERIFY(grid()->rowCount() >= 8);
    for (int c = 0; c <= 5; ++c)
        QVERIFY(!cell(7, c));
    QCOMPARE(selection(), QStringLiteral("0001 1111 1111 1111 0001"));
    QCOMPARE(rowTexts(), (QStringList{kAll, kNone, kNone, kNone, kAll}));
    QCOMPARE(rangeText(), kToMiddle);

    // Two axes: no middle axes, and the question says so.
    QVERIFY(connectRobot("SR6-900", dhReply(toArray(six.mid(0, 12)))));
    QCOMPARE(common::axisNum, 2);
    QCOMPARE(selection(), QStringLiteral("0001 0001"));
    QCOMPARE(rangeText(), kToMiddle);
    const DialogRecord asked = pressRange(DialogAnswer::press("取消"));
    QCOMPARE(asked.text, QStringLiteral("当前无中间轴，切换后所有参数将取消勾选"));
    QCOMPARE(selection(), QStringLiteral("0001 0001"));
}

void tst_setupWidget::repliesWithoutASet_data()
{
    QTest::addColumn<QJsonValue>("reply");
    QJsonArray withText = toArray(madeUpGroups(7));
    withText[5] = "50";
    QTest::newRow("no data") << QJsonValue(QJsonObject{{"code", 0}});
    QTest::newRow("no DH_PARAMS_LINK") << QJsonValue(QJsonObject{{"data", QJsonObject()}});
    QTest::newRow("not an array") << QJsonValue(dhReply("0 0 330 0"));
    QTest::newRow("text among the numbers") << QJsonValue(dhReply(withText));
    QTest::newRow("27 numbers") << QJsonValue(dhReply(toArray(madeUpGroups(7).mid(0, 27))));
    QTest::newRow("link down") << QJsonValue();
}

void tst_setupWidget::repliesWithoutASet()
{
    QFETCH(QJsonValue, reply);
    QVERIFY(connectRobot());
    QSignalSpy params(page, &setupWidget::dhParamsReady);
    QSignalSpy ready(page, &setupWidget::setupWidgetReady);
    if (reply.isNull()) {
        QVERIFY(m_host->stop());
        page->refreshDHTable();
    } else {
        QVERIFY(connectRobot("SR6-900", reply));
    }

    QCOMPARE(common::axisNum, -1);
    QVERIFY(common::originalDHParamsVec.isEmpty());
    QVERIFY(hasNoJointRow());
    QVERIFY(params.count() >= 1);
    QCOMPARE(ready.count(), params.count());
    QVERIFY(button("rangeBtn")->isEnabled());
    bool selected = false;
    page->isAllOptionsSelect(selected);
    QVERIFY(!selected);
    page->writeIntoJson();
    QCOMPARE(request()["algorithm_constraints"].toArray(), QJsonArray());
}

// The tables hold ten axes (the joint captions): a reply for more, many more too, is read as a
// reply without a set, and the log says why.
void tst_setupWidget::moreThanTenAxes_data()
{
    QTest::addColumn<int>("groups");
    QTest::newRow("ten axes") << 11;
    QTest::newRow("twelve axes") << 13;
    // Each reply is logged whole: a message full of numbers would roll the log over.
    QTest::newRow("thousands of axes") << 2500;
}

void tst_setupWidget::moreThanTenAxes()
{
    QFETCH(int, groups);
    const QVector<double> dh = madeUpGroups(groups);
    const int logStart = pluginLogText().size();
    QVERIFY(connectRobot("SR6-900", dhReply(toArray(dh))));
    if (groups - 1 <= common::jointNames.size()) {
        QCOMPARE(common::axisNum, groups - 1);
        QCOMPARE(caption(1 + common::axisNum), QStringLiteral("J10"));
        QCOMPARE(valueAt(1 + common::axisNum, 4), figure(dh[4 * (groups - 1) - 1]));
        return;
    }
    QCOMPARE(common::axisNum, -1);
    QVERIFY(common::originalDHParamsVec.isEmpty());
    QVERIFY(hasNoJointRow());
    QVERIFY(button("rangeBtn")->isEnabled());
    QVERIFY(pluginLogText().mid(logStart).contains(
        QStringLiteral("DH_PARAMS_LINK refused : %1 axes, more than 10").arg(groups - 1)));
}

// The controller read waits in an event loop, where the link may announce itself again.
void tst_setupWidget::connectionAnnouncedWhileReading()
{
    QVERIFY(connectRobot());
    QSignalSpy params(page, &setupWidget::dhParamsReady);
    QObject probe;
    bool announced = false;
    connect(m_host->controller(), &sim::SimulatedController::received, &probe,
            [&](const QString &name) {
                if (name != kGetDh || announced)
                    return;
                announced = true;
                emit tessel::tesselInterface().sigNetworkConnect();
            });
    page->refreshDHTable();
    QVERIFY(announced);
    QCOMPARE(params.count(), 2); // one read after the other
    int items = 0;
    for (int i = 0; i < grid()->count(); ++i) {
        int r = 0, c = 0, rs = 0, cs = 0;
        grid()->getItemPosition(i, &r, &c, &rs, &cs);
        items += r >= 2 ? 1 : 0;
    }
    QCOMPARE(items, 6 * 6);
    QCOMPARE(selection(), QStringLiteral("0001 1111 1111 1111 1111 0001"));
}

// The table is locked here: the range button works all the same.
void tst_setupWidget::rangeRoundTrip()
{
    QVERIFY(connectRobot());
    QVERIFY(relock());
    const DialogRecord asked = pressRange(DialogAnswer::press("确认"));
    QCOMPARE(asked.windowTitle, QStringLiteral("切换参数选择范围"));
    QCOMPARE(asked.text, QStringLiteral("确定要切换参数选择范围吗？"));
    QCOMPARE(asked.icon, QMessageBox::Question);
    QCOMPARE(asked.buttonTexts, (QStringList{"确认", "取消"}));
    QCOMPARE(selection(), QStringLiteral("1111 1111 1111 1111 1111 1111"));
    QCOMPARE(rowTexts(), (QStringList{kNone, kNone, kNone, kNone, kNone, kNone}));
    QCOMPARE(rangeText(), kToMiddle);
    QVERIFY(tableEnabledIs(false));

    pressRange(DialogAnswer::press("确认"));
    QCOMPARE(selection(), QStringLiteral("0001 1111 1111 1111 1111 0001"));
    QCOMPARE(rowTexts(), kSixAxisDefault);
    QCOMPARE(rangeText(), kToAll);

    // The default button and Escape both leave everything as it was.
    QCOMPARE(pressRange(DialogAnswer::byDefault()).pressedButton, QStringLiteral("取消"));
    QVERIFY(pressRange(DialogAnswer::reject()).answered);
    QCOMPARE(selection(), QStringLiteral("0001 1111 1111 1111 1111 0001"));
    QCOMPARE(rangeText(), kToAll);
}

void tst_setupWidget::rowToggles()
{
    QVERIFY(connectRobot());
    QVERIFY(unlock());

    clickRow(2);
    QCOMPARE(selection(), QStringLiteral("1111 1111 1111 1111 1111 0001"));
    QCOMPARE(rowButton(2)->text(), kNone);
    QCOMPARE(rangeText(), kToAll); // neither pattern: unchanged
    clickRow(7);
    QCOMPARE(rowButton(7)->text(), kNone);
    QCOMPARE(rangeText(), kToMiddle); // now every box is checked

    clickRow(4);
    QCOMPARE(selection(), QStringLiteral("1111 1111 0000 1111 1111 1111"));
    QCOMPARE(rowButton(4)->text(), kAll);
    QCOMPARE(rangeText(), kToMiddle); // J3 empty matches neither pattern

    clickRow(4);
    clickBox(4, 2);
    QCOMPARE(selection(), QStringLiteral("1111 1111 1011 1111 1111 1111"));
    clickRow(4); // one box unchecked: all four on
    QCOMPARE(selection(), QStringLiteral("1111 1111 1111 1111 1111 1111"));
    QCOMPARE(rowButton(4)->text(), kNone);
    clickRow(4); // all on: all four off
    QCOMPARE(selection(), QStringLiteral("1111 1111 0000 1111 1111 1111"));
    QCOMPARE(rowButton(4)->text(), kAll);
}

void tst_setupWidget::lock()
{
    QVERIFY(connectRobot());
    QVERIFY(relock());
    QVERIFY(tableEnabledIs(false));
    QVERIFY(button("rangeBtn")->isEnabled());
    clickBox(3, 1);
    clickRow(3);
    QCOMPARE(selection(), QStringLiteral("0001 1111 1111 1111 1111 0001"));

    {
        ModalDialogWatcher watcher;
        watcher.addAnswer(DialogAnswer::press("取消"));
        QTest::mouseClick(button("lockBtn"), Qt::LeftButton);
        QCOMPARE(watcher.count(), 1);
        QCOMPARE(watcher.last().windowTitle, QStringLiteral("输入解锁密码"));
        QCOMPARE(lockText(), kLocked);
        QVERIFY(tableEnabledIs(false));
    }

    // A wrong word is cleared and the dialog waits for the next; the word in capitals opens.
    bool openAfterWrong = false;
    QString leftAfterWrong = "<not seen>";
    bool focusedAfterWrong = false;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, this, [&] {
        auto *dialog = qobject_cast<PasswordDialog *>(QApplication::activeModalWidget());
        if (!dialog || !dialog->isVisible())
            return;
        poll.stop();
        auto *edit = dialog->findChild<QLineEdit *>("passwordLineEdit");
        auto *ok = dialog->findChild<QPushButton *>("okBtn");
        QTest::keyClicks(edit, "sorvik!");
        QTest::mouseClick(ok, Qt::LeftButton);
        openAfterWrong = dialog->isVisible();
        leftAfterWrong = edit->text();
        focusedAfterWrong = dialog->focusWidget() == edit;
        QTest::keyClicks(edit, "SORVIK");
        QTest::mouseClick(ok, Qt::LeftButton);
        if (dialog->isVisible())
            dialog->reject();
    });
    poll.start();
    QTest::mouseClick(button("lockBtn"), Qt::LeftButton);
    QVERIFY(openAfterWrong);
    QCOMPARE(leftAfterWrong, QString());
    QVERIFY(focusedAfterWrong);
    QCOMPARE(lockText(), kUnlocked);
    QVERIFY(tableEnabledIs(true));

    // A reconnection keeps the lock state; the new boxes follow it.
    QVERIFY(connectRobot());
    QCOMPARE(lockText(), kUnlocked);
    QVERIFY(tableEnabledIs(true));

    // Locking needs no word.
    ModalDialogWatcher watcher;
    QTest::mouseClick(button("lockBtn"), Qt::LeftButton);
    QCOMPARE(watcher.count(), 0);
    QCOMPARE(lockText(), kLocked);
    QVERIFY(tableEnabledIs(false));
    QVERIFY(button("rangeBtn")->isEnabled());
    QVERIFY(connectRobot());
    QVERIFY(tableEnabledIs(false));
}

// The production button is disabled on this page; the test enables it to reach the switch.
void tst_setupWidget::modeSwitch()
{
    QVERIFY(connectRobot());
    QPushButton *normal = button("normalBtn");
    QPushButton *product = button("productBtn");
    QVERIFY(!product->isEnabled());
    product->setEnabled(true);
    const QString normalStyle = normal->styleSheet();
    const QString productStyle = product->styleSheet();
    QCOMPARE(normalStyle, QString());
    QVERIFY(!productStyle.isEmpty());

    ModalDialogWatcher watcher;
    watcher.setDefaultAnswer(DialogAnswer::reject());
    watcher.addAnswer(DialogAnswer::byDefault());
    QTest::mouseClick(product, Qt::LeftButton);
    QCOMPARE(watcher.count(), 1);
    QCOMPARE(watcher.last().windowTitle, QStringLiteral("确认切换模式"));
    QCOMPARE(watcher.last().text, QStringLiteral("确定要切换模式吗？"));
    QCOMPARE(watcher.last().pressedButton, QStringLiteral("取消"));
    QVERIFY(normal->isChecked());
    QVERIFY(!product->isChecked());
    QCOMPARE(common::calibMode, QStringLiteral("normal"));

    watcher.addAnswer(DialogAnswer::press("确认"));
    QTest::mouseClick(product, Qt::LeftButton);
    QCOMPARE(watcher.count(), 2);
    QVERIFY(product->isChecked());
    QCOMPARE(common::calibMode, QStringLiteral("product"));
    QCOMPARE(product->styleSheet(), QString());
    QCOMPARE(normal->styleSheet(), productStyle);
    page->writeIntoJson();
    QCOMPARE(request()["mode"].toString(), QStringLiteral("product"));

    QTest::mouseClick(product, Qt::LeftButton); // the mode it is in: nothing to ask
    QCOMPARE(watcher.count(), 2);
    watcher.addAnswer(DialogAnswer::press("确认"));
    QTest::mouseClick(normal, Qt::LeftButton);
    QCOMPARE(common::calibMode, QStringLiteral("normal"));
    product->setEnabled(false);
}

void tst_setupWidget::runCardQueries()
{
    QVERIFY(connectRobot());
    const QStringList serials = {"", "SN-0042", "  sn 7 ", "序列号/01", QString(300, 'x')};
    for (const QString &typed : serials) {
        typeSerial(typed);
        page->isSNEmpty();
        QCOMPARE(common::serialNumber, typed);
    }

    QVERIFY(unlock());
    for (int r : {2, 2, 3, 4, 5, 6, 7, 7})
        clickRow(r);
    QCOMPARE(selection(), QStringLiteral("0000 0000 0000 0000 0000 0000"));
    bool selected = false;
    page->isAllOptionsSelect(selected);
    QVERIFY(!selected);
    clickBox(5, 3);
    page->isAllOptionsSelect(selected);
    QVERIFY(selected);
}

void tst_setupWidget::resetAll()
{
    QVERIFY(connectRobot());
    QVERIFY(unlock());
    const QVector<double> dh = common::originalDHParamsVec;
    clickRow(2);
    clickRow(5);
    clickBox(7, 4);
    typeSerial("SN-9");
    common::originalDHParamsVec[0] = 12.5;

    page->resetAll();
    QCOMPARE(selection(), QStringLiteral("0001 1111 1111 1111 1111 0001"));
    QCOMPARE(rowTexts(), kSixAxisDefault);
    QCOMPARE(rangeText(), kToAll);
    QCOMPARE(valueAt(2, 1), QStringLiteral("12.5"));
    QCOMPARE(snEdit()->text(), QString());
    QCOMPARE(lockText(), kUnlocked);
    QVERIFY(tableEnabledIs(true));

    // Cells beyond a shortened vector are logged and left as they are.
    const int logStart = pluginLogText().size();
    common::originalDHParamsVec.resize(10);
    common::originalDHParamsVec[9] = 7.25;
    clickRow(4);
    page->resetAll();
    QCOMPARE(valueAt(4, 2), QStringLiteral("7.25"));
    QCOMPARE(valueAt(4, 3), figure(dh[10]));
    QCOMPARE(selection(), QStringLiteral("0001 1111 1100 1111 1111 0001"));
    const QString log = pluginLogText().mid(logStart);
    QVERIFY(log.contains("Invalid parameter index : 10 for joint : 2 column : 3"));
    QVERIFY(log.contains("Invalid parameter index : 23 for joint : 5 column : 4"));
    QVERIFY(relock());
}

void tst_setupWidget::requestFile_data()
{
    QTest::addColumn<bool>("fromAll");
    QTest::addColumn<QStringList>("clicks"); // "J3": its row button; "J3.a": one box
    QTest::addColumn<QJsonArray>("constraints");
    const QStringList three = {"alpha", "a", "d"};
    QTest::newRow("default") << false << QStringList()
                             << QJsonArray{constraint(0, three), constraint(-1, three)};
    QTest::newRow("all checked") << true << QStringList() << QJsonArray();
    QTest::newRow("a of J3") << true << QStringList{"J3.a"} << QJsonArray{constraint(2, {"a"})};
    QTest::newRow("all of J6") << true << QStringList{"J6"} << QJsonArray{constraint(-1, kFour)};
    QTest::newRow("all of J1") << true << QStringList{"J1"} << QJsonArray{constraint(0, kFour)};
    QTest::newRow("rows J4 and J2") << true << QStringList{"J4", "J2"}
                                    << QJsonArray{constraint(1, kFour), constraint(3, kFour)};
}

void tst_setupWidget::requestFile()
{
    QFETCH(bool, fromAll);
    QFETCH(QStringList, clicks);
    QFETCH(QJsonArray, constraints);
    QVERIFY(connectRobot());
    QVERIFY(unlock());
    if (fromAll)
        pressRange(DialogAnswer::press("确认"));
    for (const QString &click : clicks) {
        const int row = 1 + click.mid(1, 1).toInt();
        if (click.contains('.'))
            clickBox(row, 1 + kFour.indexOf(click.section('.', 1)));
        else
            clickRow(row);
    }
    typeSerial("SN-REQ-1");
    page->isSNEmpty();
    const int logStart = pluginLogText().size();
    page->writeIntoJson();

    const QByteArray text = readFile(calibInfo());
    const QJsonObject file = QJsonDocument::fromJson(text).object();
    QCOMPARE(file.keys(),
             (QStringList{"algorithm_constraints", "file_type", "mode", "robot_profile"}));
    QCOMPARE(file["file_type"].toString(), QStringLiteral("calib_info"));
    QCOMPARE(file["mode"].toString(), QStringLiteral("normal"));
    const QJsonObject profile{{"ip", "127.0.0.1"},
                              {"serial_number", "SN-REQ-1"},
                              {"robot_name", "SR6-900"},
                              {"model_type", 1}};
    QCOMPARE(file["robot_profile"].toObject(), profile);
    QCOMPARE(file["algorithm_constraints"].toArray(), constraints);
    QVERIFY(text.contains("\n    \"mode\": \"normal\",\n"));
    QVERIFY(text.contains("\"model_type\": 1,\n"));
    const QString log = pluginLogText().mid(logStart);
    QVERIFY(log.contains("common::modelType : 1"));
    QVERIFY(log.contains(QRegularExpression("Leave writeIntoJson={37}(?!=)")));
    QVERIFY(relock());
}

void tst_setupWidget::rewriteReplacesTheFile()
{
    common::workFolder = m_dir->filePath("not/made/yet");
    QVERIFY(!QFileInfo::exists(m_dir->filePath("not")));
    QVERIFY(connectRobot());
    typeSerial("SN-FIRST");
    page->isSNEmpty();
    page->writeIntoJson();
    QCOMPARE(request()["robot_profile"].toObject()["serial_number"].toString(),
             QStringLiteral("SN-FIRST"));

    // The ISO card puts its member into the same file.
    ModalDialogWatcher watcher;
    setupisowidget::instance()->saveFivePoints();
    QCOMPARE(watcher.count(), 0);
    QVERIFY(request().contains("iso_config"));

    typeSerial("SN-SECOND");
    page->isSNEmpty();
    QVERIFY(unlock());
    clickRow(4);
    page->writeIntoJson();
    const QJsonObject second = request();
    QCOMPARE(second.keys(),
             (QStringList{"algorithm_constraints", "file_type", "mode", "robot_profile"}));
    QCOMPARE(second["robot_profile"].toObject()["serial_number"].toString(),
             QStringLiteral("SN-SECOND"));
    QCOMPARE(second["algorithm_constraints"].toArray().size(), 3);
    QCOMPARE(QDir(common::workFolder).entryList(QDir::Files | QDir::Hidden),
             QStringList{"calibInfo.json"});
    QVERIFY(relock());
}

void tst_setupWidget::failedWritesKeepTheEarlierFile()
{
    QVERIFY(connectRobot());

    // A work folder that cannot be made: no file, and the log says why.
    const QString folder = common::workFolder;
    QVERIFY(writeFile(m_dir->filePath("plainfile"), "x"));
    common::workFolder = m_dir->filePath("plainfile/work");
    const int logStart = pluginLogText().size();
    page->writeIntoJson();
    QVERIFY(!QFileInfo::exists(calibInfo()));
    const QString log = pluginLogText().mid(logStart);
    QVERIFY(log.contains("writeIntoJson failed : cannot create the folder"));
    QVERIFY(!log.contains("Leave writeIntoJson"));
    bool written = true;
    page->isRequestFileWritten(written);
    QVERIFY(!written);
    common::workFolder.clear(); // would be the root of the drive
    page->writeIntoJson();
    QVERIFY(pluginLogText().mid(logStart).contains("writeIntoJson failed : no work folder"));
    common::workFolder = folder;

#ifdef Q_OS_WIN
    QSKIP("no file size limit to make a write fail on this system");
#else
    typeSerial("SN-KEPT");
    page->isSNEmpty();
    page->writeIntoJson();
    const QByteArray before = readFile(calibInfo());
    QVERIFY(before.size() > 64);
    page->isRequestFileWritten(written);
    QVERIFY(written);

    // As root no folder is read-only; a file size limit makes the write itself fail.
    typeSerial("SN-LOST");
    page->isSNEmpty();
    pressRange(DialogAnswer::press("确认"));
    g_messages.clear();
    const QtMessageHandler oldMessages = qInstallMessageHandler(keepMessage);
    bool limitSet = false;
    {
        support::FileSizeLimit limit(64);
        limitSet = limit.isActive();
        page->writeIntoJson();
    }
    qInstallMessageHandler(oldMessages);
    QVERIFY(limitSet);

    QCOMPARE(readFile(calibInfo()), before);
    QCOMPARE(QDir(common::workFolder).entryList(QDir::Files | QDir::Hidden),
             QStringList{"calibInfo.json"});
    const QString said = g_messages.join('\n');
    QVERIFY2(said.contains("writeIntoJson failed : "), qPrintable(said));
    QVERIFY(!said.contains("Leave writeIntoJson"));
    page->isRequestFileWritten(written);
    QVERIFY(!written);
#endif
}

void tst_setupWidget::cleanupTestCase()
{
    delete page;
    delete dhparameterWidget::instance();
    delete setupisowidget::instance();
    delete displayisowidget::instance();
    m_dir.reset();
}

SUPPORT_GUI_TEST_MAIN(tst_setupWidget)
#include "tst_setupwidget.moc"
