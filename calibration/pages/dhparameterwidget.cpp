#include "dhparameterwidget.h"

#include "common/common.h"
#include "common/figuretext.h"
#include "iso/displayisowidget.h"
#include "pages/autoclosemessagebox.h"
#include "pages/buttonsizing.h"
#include "pages/cardframe.h"
#include "plugin/pageinstance.h"
#include "plugin/pluginlog.h"
#include "records/resultfacts.h"

#include "interface/interfacemanager.h"

#include <QDateTime>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QScrollArea>
#include <QSpacerItem>
#include <QStyleOption>
#include <QTimer>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kFirstJointRow = 2;
constexpr int kPlaceholderRows = 6;
constexpr int kColumns = 9;
constexpr int kResultColumn = 5;
constexpr int kBoxMs = 2000;
constexpr int kRebootTimeout = 4800;
const QString kHeaderStyle =
    QStringLiteral("QLabel { color: black; font-weight: bold; font-size: 11pt; }");
const QString kRed = QStringLiteral("color: red;");
const QString kSetZero = QStringLiteral("ethercat.set_precision_compensation_zero");

// The controller's answer to a write: a missing answer fails; an object speaks through
// "success" first, then a numeric "code", then a numeric "error" (the controller's refusal of
// a command it does not know, which must not pass for a write); any other answer that arrived
// counts as done.
bool judgeResponse(const QJsonValue &response)
{
    switch (response.type()) {
    case QJsonValue::Undefined:
    case QJsonValue::Null:
        return false;
    case QJsonValue::Bool:
        return response.toBool();
    case QJsonValue::Double:
        return response.toDouble() == 0.0;
    case QJsonValue::Object: {
        const QJsonObject object = response.toObject();
        const QJsonValue success = object.value(QStringLiteral("success"));
        if (success.isBool())
            return success.toBool();
        const QJsonValue code = object.value(QStringLiteral("code"));
        // Exactly zero: a code that is not a whole number or does not fit an int must not
        // round or wrap to success.
        if (code.isDouble())
            return code.toDouble() == 0.0;
        const QJsonValue error = object.value(QStringLiteral("error"));
        return !error.isDouble() || error.toDouble() == 0.0;
    }
    case QJsonValue::String:
    case QJsonValue::Array:
        return true;
    }
    return false;
}

QJsonArray toArray(const std::vector<double> &values)
{
    QJsonArray array;
    for (double value : values)
        array.append(value);
    return array;
}

QVector<double> toVector(const QJsonArray &array)
{
    QVector<double> values;
    values.reserve(array.size());
    for (const QJsonValue &value : array)
        values.append(value.toDouble());
    return values;
}

} // namespace

dhparameterWidget *dhparameterWidget::instance(QWidget *parent)
{
    static QPointer<dhparameterWidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new dhparameterWidget(p); });
}

dhparameterWidget::dhparameterWidget(QWidget *parent)
    : QWidget(parent)
{
    qRegisterMetaType<common::QualityGateResult>("common::QualityGateResult");
    setupUi();
    connect(confirmBtn, &QPushButton::clicked, this, &dhparameterWidget::confirmBtnClicked);
    connect(giveUpBtn, &QPushButton::clicked, this, &dhparameterWidget::giveupBtnClicked);
    applyButtonRule();
}

dhparameterWidget::~dhparameterWidget() = default;

void dhparameterWidget::setupUi()
{
    setObjectName(QStringLiteral("dhparameterWidget"));
    resize(242, 164);

    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setContentsMargins(12, 18, 12, 12);

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    calibResLabel = new QLabel(this);
    calibResLabel->setObjectName(QStringLiteral("calibResLabel"));
    // The card painter draws the caption.
    calibResLabel->hide();
    horizontalLayout->addWidget(calibResLabel);
    horizontalLayout->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout->addLayout(horizontalLayout);

    tableLayout = new QGridLayout();
    tableLayout->setObjectName(QStringLiteral("tableLayout"));
    addHeader(tr("Joint"), 0, 0);
    addHeader(tr("初始参数"), 0, 1, 4);
    addHeader(tr("优化后参数"), 0, kResultColumn, 4);
    const QStringList columns = {tr("Alpha(°)"), tr("a(mm)"), tr("d(mm)"), tr("Theta(°)")};
    for (int i = 0; i < columns.size(); ++i) {
        addHeader(columns.at(i), 1, 1 + i);
        addHeader(columns.at(i), 1, kResultColumn + i);
    }
    for (int r = kFirstJointRow; r < kFirstJointRow + kPlaceholderRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            QLabel *placeholder = addCell(QString(), r, c);
            placeholder->setEnabled(false);
            placeholder->setStyleSheet(QStringLiteral("border: none;"));
        }
    }
    for (int r = 0; r < kFirstJointRow + kPlaceholderRows; ++r)
        tableLayout->setRowStretch(r, 1);
    for (int c = 0; c < kColumns; ++c)
        tableLayout->setColumnStretch(c, 1);
    verticalLayout->addLayout(tableLayout);

    resultFormLayout = new QFormLayout();
    resultFormLayout->setObjectName(QStringLiteral("resultFormLayout"));
    resultFormLayout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
    resultFormLayout->setHorizontalSpacing(12);
    resultFormLayout->setVerticalSpacing(8);
    averagePosErrorLabel = new QLabel(this);
    averagePosErrorLabel->setObjectName(QStringLiteral("averagePosErrorLabel"));
    averagePosErrorLabel->setAlignment(Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);
    resultFormLayout->setWidget(0, QFormLayout::LabelRole, averagePosErrorLabel);
    averagePosErrorText = new QLineEdit(this);
    averagePosErrorText->setObjectName(QStringLiteral("averagePosErrorText"));
    averagePosErrorText->setReadOnly(true);
    averagePosErrorText->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    resultFormLayout->setWidget(0, QFormLayout::FieldRole, averagePosErrorText);
    averagePoseErrorLabel = new QLabel(this);
    averagePoseErrorLabel->setObjectName(QStringLiteral("averagePoseErrorLabel"));
    averagePoseErrorLabel->setAlignment(Qt::AlignRight | Qt::AlignTrailing | Qt::AlignVCenter);
    resultFormLayout->setWidget(1, QFormLayout::LabelRole, averagePoseErrorLabel);
    averagePoseErrorText = new QLineEdit(this);
    averagePoseErrorText->setObjectName(QStringLiteral("averagePoseErrorText"));
    averagePoseErrorText->setReadOnly(true);
    averagePoseErrorText->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    resultFormLayout->setWidget(1, QFormLayout::FieldRole, averagePoseErrorText);
    verticalLayout->addLayout(resultFormLayout);

    verticalLayout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));

    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    giveUpBtn = new QPushButton(this);
    giveUpBtn->setObjectName(QStringLiteral("giveUpBtn"));
    confirmBtn = new QPushButton(this);
    confirmBtn->setObjectName(QStringLiteral("confirmBtn"));
    for (QPushButton *button : {giveUpBtn, confirmBtn}) {
        applyActionButtonSizing(button);
        horizontalLayout_2->addWidget(button);
    }
    verticalLayout->addLayout(horizontalLayout_2);

    verticalLayout->setStretch(0, 1);
    verticalLayout->setStretch(1, 8);
    verticalLayout->setStretch(2, 1);
    verticalLayout->setStretch(3, 1);
    verticalLayout->setStretch(4, 1);

    retranslateUi();
}

void dhparameterWidget::retranslateUi()
{
    setWindowTitle(tr("Form"));
    calibResLabel->setText(tr("标定结果"));
    averagePosErrorLabel->setText(tr("验证平均位置误差(mm)："));
    averagePoseErrorLabel->setText(tr("验证最大位置误差(mm)："));
    giveUpBtn->setText(tr("放弃"));
    confirmBtn->setText(tr("应用"));
}

QLabel *dhparameterWidget::addHeader(const QString &text, int row, int column, int columnSpan)
{
    auto *header = new QLabel(text, this);
    header->setAlignment(Qt::AlignCenter);
    header->setStyleSheet(kHeaderStyle);
    tableLayout->addWidget(header, row, column, 1, columnSpan);
    return header;
}

QLabel *dhparameterWidget::addCell(const QString &text, int row, int column)
{
    auto *cell = new QLabel(text, this);
    cell->setAlignment(Qt::AlignCenter);
    cell->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    tableLayout->addWidget(cell, row, column);
    return cell;
}

void dhparameterWidget::paintEvent(QPaintEvent *event)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    drawCardFrame(this, painter, tr("标定结果"));
    QWidget::paintEvent(event);
}

bool dhparameterWidget::isAutoApplyEnabled() const
{
    return autoApplyEnabled;
}

void dhparameterWidget::applyButtonRule()
{
    giveUpBtn->setEnabled(hasPendingResult && !applying);
    confirmBtn->setEnabled(hasPendingResult && !autoApplyEnabled && !applying);
}

void dhparameterWidget::changeBtnsStatus(bool enable)
{
    hasPendingResult = enable;
    applyButtonRule();
    // A result waits for the operator's choice: on a small screen its buttons lie below the fold.
    if (enable)
        QTimer::singleShot(0, this, &dhparameterWidget::bringActionsIntoView);
}

// Every scrolled area the card lies in shows the two buttons, from its left edge.
void dhparameterWidget::bringActionsIntoView()
{
    for (QWidget *w = parentWidget(); w; w = w->parentWidget()) {
        auto *area = qobject_cast<QScrollArea *>(w);
        if (!area || !area->widget() || !area->widget()->isAncestorOf(this))
            continue;
        const QRect actions = QRect(giveUpBtn->mapTo(area->widget(), QPoint()), giveUpBtn->size())
                                  .united(QRect(confirmBtn->mapTo(area->widget(), QPoint()),
                                                confirmBtn->size()));
        area->ensureVisible(actions.center().x(), actions.center().y(), actions.width() / 2 + 8,
                            actions.height() / 2 + 8);
    }
}

void dhparameterWidget::onAutoApplyToggled(bool checked)
{
    pluginLog() << "autoApply toggled:" << checked;
    autoApplyEnabled = checked;
    applyButtonRule();
}

void dhparameterWidget::initTableWithData()
{
    for (int i = tableLayout->count() - 1; i >= 0; --i) {
        int row = 0;
        int column = 0;
        int rowSpan = 0;
        int columnSpan = 0;
        tableLayout->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        // Theta (column 4) too: left behind, old values would show under the new ones.
        if (row < kFirstJointRow || column >= kResultColumn)
            continue;
        QLayoutItem *item = tableLayout->takeAt(i);
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }
    const int axes = common::axisNum;
    for (int r = 0; r < axes; ++r) {
        // The controller's set may be short of a joint.
        addCell(common::jointName(r), r + kFirstJointRow, 0)->setStyleSheet(kHeaderStyle);
        for (int i = 0; i < 4; ++i) {
            const int index = 4 * r + i;
            const QString text = index < common::originalDHParamsVec.size()
                                     ? common::figureText(common::originalDHParamsVec.at(index))
                                     : QString();
            addCell(text, r + kFirstJointRow, 1 + i);
        }
    }
    for (int r = 0; r <= axes + 1; ++r)
        tableLayout->setRowStretch(r, 1);
    for (int c = 0; c < kColumns; ++c)
        tableLayout->setColumnStretch(c, 1);
}

void dhparameterWidget::writeDHResLabls(bool isReset)
{
    for (const std::vector<QLabel *> &row : resultLabels) {
        for (QLabel *label : row) {
            if (tableLayout->indexOf(label) >= 0)
                tableLayout->removeWidget(label);
            label->hide();
            label->deleteLater();
        }
    }
    resultLabels.clear();
    pluginLog() << "common::optimizedDHParamsVec : " << common::optimizedDHParamsVec;
    pluginLog() << "common::axisNum : " << common::axisNum;

    // A controller read without parameters leaves the count at -1: no rows then.
    const int axes = qMax(0, common::axisNum);
    resultLabels.reserve(static_cast<size_t>(axes));
    for (int r = 0; r < axes; ++r) {
        std::vector<QLabel *> row;
        row.reserve(4);
        for (int i = 0; i < 4; ++i)
            row.push_back(addCell(QString(), r + kFirstJointRow, kResultColumn + i));
        resultLabels.push_back(row);
    }
    for (int r = 0; r < axes; ++r) {
        for (int i = 0; i < 4; ++i) {
            const int index = 4 * r + i;
            if (index >= common::optimizedDHParamsVec.size())
                continue;
            QLabel *label = static_cast<size_t>(r) < resultLabels.size()
                                ? resultLabels[static_cast<size_t>(r)][static_cast<size_t>(i)]
                                : nullptr;
            if (!label) {
                pluginLog() << "trans qlable error!!!";
                continue;
            }
            label->setText(isReset ? QString()
                                   : common::figureText(common::optimizedDHParamsVec.at(index)));
        }
    }
}

// NOLINTNEXTLINE(performance-unnecessary-value-param): the slot's signature is fixed
void dhparameterWidget::updateErrorLabels(QString validAvgPosError, QString validMaxPosError)
{
    averagePosErrorText->setText(validAvgPosError);
    averagePoseErrorText->setText(validMaxPosError);
    averagePosErrorText->setStyleSheet(QString());
    averagePoseErrorText->setStyleSheet(QString());
}

void dhparameterWidget::clearErrorFields()
{
    updateErrorLabels(QString(), QString());
}

void dhparameterWidget::markQualityGateFailures(common::QualityGateResult result)
{
    if (result.avgError > result.avgErrorLimit)
        averagePosErrorText->setStyleSheet(kRed);
    if (result.maxError > result.maxErrorLimit)
        averagePoseErrorText->setStyleSheet(kRed);
    const QVector<double> &optimized = common::optimizedDHParamsVec;
    const QVector<double> &original = common::originalDHParamsVec;
    for (int r = 0; r < common::axisNum && static_cast<size_t>(r) < resultLabels.size(); ++r) {
        for (int i = 0; i < 4; ++i) {
            const int index = 4 * r + i;
            if (index >= optimized.size() || index >= original.size())
                return;
            const bool length = i == 1 || i == 2;
            const double limit = length ? result.lengthDeltaLimit : result.angleDeltaLimit;
            if (std::abs(optimized.at(index) - original.at(index)) > limit)
                resultLabels[static_cast<size_t>(r)][static_cast<size_t>(i)]->setStyleSheet(kRed);
        }
    }
}

// Alpha, a and d of the new set with the controller's own theta: the optimised theta offset
// reaches the controller through the zero offsets. A 7-axis controller also takes its extra
// link group back unchanged.
QJsonArray dhparameterWidget::buildDHPayload(const QVector<double> &parameters, int axisNum) const
{
    const QVector<double> &original = common::originalDHParamsVec;
    QJsonArray payload;
    for (int j = 0; j < 4 * axisNum; ++j)
        payload.append(j % 4 == 3 ? original.value(j) : parameters.value(j));
    if (axisNum == 7) {
        for (int j = original.size() - 4; j < original.size(); ++j)
            payload.append(original.value(j));
    }
    return payload;
}

bool dhparameterWidget::applyCommand(const QString &tag, const QString &key,
                                     const QJsonObject &payload)
{
    const QString prefix = QStringLiteral("[APPLY][") + tag + QStringLiteral("] ");
    pluginLog() << prefix + QStringLiteral("start, key = ") + key;
    pluginLog() << prefix + QStringLiteral("payload = ") << payload;
    const QJsonValue response =
        tessel::tesselInterface().execCommandVantorData(key, QVariant(payload));
    const bool ok = judgeResponse(response);
    pluginLog() << prefix + (ok ? QStringLiteral("SUCCESS") : QStringLiteral("FAILED"))
                       + QStringLiteral(", response = ")
                << response;
    return ok;
}

void dhparameterWidget::refuse(const QString &text)
{
    QMessageBox::warning(this, tr("错误"), text, QMessageBox::Ok);
}

void dhparameterWidget::reportWriteFailure()
{
    showAutoCloseMessageBox(this, QMessageBox::Warning, tr("错误"), tr("写入控制器失败"), kBoxMs);
}

bool dhparameterWidget::isApplying() const
{
    return applying;
}

// The ISO collector moves the robot through the controller a write reboots.
bool dhparameterWidget::refusedForIso()
{
    if (!displayisowidget::instance()->isRunning())
        return false;
    refuse(tr("ISO测试运行中，不能写入控制器"));
    return true;
}

bool dhparameterWidget::applyResult(CalibrationRecord::Method method)
{
    // The controller commands wait in a nested event loop, where a second press, the automatic
    // apply or a give-up would run into the sequence under way.
    if (applying) {
        pluginLog() << "skip apply: a write to the controller is in progress";
        return false;
    }
    if (refusedForIso())
        return false;
    setApplying(true);
    const bool ok = writeToController(method);
    setApplying(false);
    return ok;
}

bool dhparameterWidget::restore(const CalibrationRecord &record)
{
    pluginLog() << "enter restore";
    if (applying) {
        pluginLog() << "skip restore: a write to the controller is in progress";
        return false;
    }
    if (refusedForIso())
        return false;
    setApplying(true);
    const bool ok = writeBack(record);
    setApplying(false);
    pluginLog() << (ok ? "leave restore" : "leave restore with failure");
    return ok;
}

void dhparameterWidget::setApplying(bool running)
{
    applying = running;
    applyButtonRule();
    emit applyRunning(running);
}

bool dhparameterWidget::writeToController(CalibrationRecord::Method method)
{
    const int axes = common::axisNum;
    const int complete = common::originalDHParamsVec.size() - 4;
    // A set of other length than the joints would send numbers that were never read.
    const auto isComplete = [complete, axes](const QVector<double> &set) {
        return set.size() == complete && set.size() == 4 * axes;
    };
    // Zero offsets of another count than the joints would be refused only after the DH set
    // went in, leaving the controller with the new set and the old offsets.
    const bool zerosFit = int(common::zeroPointsVec.size()) == axes;
    const bool production = common::calibMode == QLatin1String("product");
    if (production) {
        if (!isComplete(common::productDHParamsVec) || common::productZeroPointsVec.empty()
            || common::productZeroPointsVec.size() != common::zeroPointsVec.size() || !zerosFit) {
            refuse(tr("生产模式写入参数长度不匹配或零点为空"));
            return false;
        }
        if (!isComplete(common::optimizedDHParamsVec)) {
            refuse(tr("未找到标定结果"));
            return false;
        }
        const QJsonArray payload = buildDHPayload(common::optimizedDHParamsVec, axes);
        const QJsonObject dh{
            {QStringLiteral("DH_A"), payload},
            {QStringLiteral("DH_L"), buildDHPayload(common::productDHParamsVec, axes)}};
        const QJsonObject zero{{QStringLiteral("joint_angle_A"), toArray(common::zeroPointsVec)},
                               {QStringLiteral("joint_angle_L"),
                                toArray(common::productZeroPointsVec)}};
        return runWriteSequence(QStringLiteral("factory.set_DH_params_link"), dh, zero, true,
                                draftRecord(method, payload));
    }

    if (!isComplete(common::optimizedDHParamsVec) || !zerosFit) {
        if (!zerosFit)
            pluginLog() << QStringLiteral("apply refused: %1 zero offsets for %2 joints")
                               .arg(common::zeroPointsVec.size())
                               .arg(axes);
        refuse(tr("未找到标定结果"));
        return false;
    }
    const QJsonArray payload = buildDHPayload(common::optimizedDHParamsVec, axes);
    const QJsonObject dh{{QStringLiteral("DH_params_all"), payload}};
    const QJsonObject zero{{QStringLiteral("joint_angle_A"), toArray(common::zeroPointsVec)}};
    return runWriteSequence(QStringLiteral("factory.set_DH_params_all"), dh, zero, false,
                            draftRecord(method, payload));
}

// What the record of a write keeps before the first command goes out: the controller's set as
// read at link-up, what the payload puts in its place, and what the result file tells.
CalibrationRecord dhparameterWidget::draftRecord(CalibrationRecord::Method method,
                                                 const QJsonArray &payload) const
{
    CalibrationRecord record;
    record.time = QDateTime::currentDateTime();
    record.serialNumber = common::serialNumber;
    record.robotModel = common::robotType;
    record.robotId = tessel::tesselInterface().getRobotID();
    record.mode = common::calibMode == QLatin1String("product") ? QStringLiteral("product")
                                                                : QStringLiteral("normal");
    record.method = method;
    record.dhBefore = common::originalDHParamsVec;
    // A payload shorter than the set leaves the controller's remaining groups as they were.
    record.dhAfter = common::originalDHParamsVec;
    const QVector<double> written = toVector(payload);
    for (int i = 0; i < written.size() && i < record.dhAfter.size(); ++i)
        record.dhAfter[i] = written.at(i);
    if (method != CalibrationRecord::Method::Restore) {
        const ResultFacts facts = ResultFacts::read(common::workFolder + QLatin1Char('/')
                                                    + common::optimizedDHFileName);
        record.zeroBefore = facts.zeroBefore;
        record.avgError = facts.avgError;
        record.maxError = facts.maxError;
        record.heldParameters = facts.heldParameters;
        record.zeroAfter = QVector<double>(common::zeroPointsVec.begin(),
                                           common::zeroPointsVec.end());
    }
    return record;
}

// The values come from a record of this robot: its whole set as it was, theta included, and
// on a 7-axis controller its extra link group, as the apply sends it.
bool dhparameterWidget::writeBack(const CalibrationRecord &record)
{
    if (record.restoreBlock() != CalibrationRecord::RestoreBlock::None) {
        refuse(tr("该记录不能恢复"));
        return false;
    }
    const int axes = record.dhBefore.size() / 4 - 1;
    const bool sameRobot = record.dhBefore.size() == common::originalDHParamsVec.size()
                           && axes == common::axisNum && record.zeroBefore.size() == axes
                           && record.robotModel == common::robotType
                           && record.robotId == tessel::tesselInterface().getRobotID();
    if (!sameRobot) {
        refuse(tr("该记录不属于当前连接的机器人"));
        return false;
    }
    QJsonArray payload;
    for (int j = 0; j < 4 * axes; ++j)
        payload.append(record.dhBefore.at(j));
    if (axes == 7) {
        for (int j = record.dhBefore.size() - 4; j < record.dhBefore.size(); ++j)
            payload.append(record.dhBefore.at(j));
    }
    QJsonArray zeros;
    for (double zero : record.zeroBefore)
        zeros.append(zero);
    CalibrationRecord restored = draftRecord(CalibrationRecord::Method::Restore, payload);
    restored.serialNumber = record.serialNumber;
    restored.mode = QStringLiteral("normal");
    restored.zeroAfter = record.zeroBefore;
    restored.restoredFrom = record.time;
    const QJsonObject dh{{QStringLiteral("DH_params_all"), payload}};
    const QJsonObject zero{{QStringLiteral("joint_angle_A"), zeros}};
    return runWriteSequence(QStringLiteral("factory.set_DH_params_all"), dh, zero, false,
                            restored);
}

// There is no rollback: once the DH write went through, a later failure leaves the new set in
// the controller, and the record says which step failed.
bool dhparameterWidget::runWriteSequence(const QString &dhKey, const QJsonObject &dh,
                                         const QJsonObject &zero, bool production,
                                         CalibrationRecord record)
{
    if (!applyCommand(QStringLiteral("DH_WRITE"), dhKey, dh)) {
        reportWriteFailure();
        return false;
    }
    if (production) {
        pluginLog() << "zeroArrayA:" << zero.value(QStringLiteral("joint_angle_A")).toArray();
        pluginLog() << "zeroArrayL:" << zero.value(QStringLiteral("joint_angle_L")).toArray();
    } else {
        pluginLog() << "dataArray:" << zero.value(QStringLiteral("joint_angle_A")).toArray();
        pluginLog() << "jsonObject : " << zero;
    }
    const bool zeroWritten = applyCommand(QStringLiteral("ZERO_WRITE"), kSetZero, zero);
    const bool ok = zeroWritten && requestReboot();
    if (!zeroWritten) {
        record.failedStep = QStringLiteral("ZERO_WRITE");
    } else if (!ok) {
        record.failedStep = QStringLiteral("REBOOT");
    }
    emit calibrationWritten(record);
    if (!ok) {
        reportWriteFailure();
        return false;
    }
    finishWrite(production);
    return true;
}

bool dhparameterWidget::requestReboot()
{
    pluginLog() << "[APPLY][REBOOT] start";
    const bool ok = tessel::tesselInterface().rcRequestFullCommand(
        QStringLiteral("system.controller.reboot"), QJsonValue(QJsonValue::Null), kRebootTimeout);
    pluginLog() << QStringLiteral("[APPLY][REBOOT] ")
                       + (ok ? QStringLiteral("SUCCESS") : QStringLiteral("FAILED"))
                       + QStringLiteral(", response = ")
                << ok;
    return ok;
}

void dhparameterWidget::finishWrite(bool production)
{
    hasPendingResult = false;
    applyButtonRule();
    emit confirmBtnSingals();
    common::optimizedDHParamsVec.clear();
    if (production) {
        common::productDHParamsVec.clear();
        common::productZeroPointsVec.clear();
    }
}

void dhparameterWidget::confirmBtnClicked()
{
    pluginLog() << "enter confirmBtnClicked";
    if (!applyResult(CalibrationRecord::Method::Manual)) {
        pluginLog() << "leave confirmBtnClicked with failure";
        return;
    }
    writeDHResLabls(true);
    clearErrorFields();
    pluginLog() << "leave confirmBtnClicked";
}

void dhparameterWidget::autoApply()
{
    pluginLog() << "enter autoApply";
    if (!autoApplyEnabled) {
        pluginLog() << "skip autoApply: switch is disabled";
        return;
    }
    if (!hasPendingResult) {
        pluginLog() << "skip autoApply: no pending calibration result";
        return;
    }
    if (applyResult(CalibrationRecord::Method::Automatic))
        pluginLog() << "leave autoApply";
    else
        pluginLog() << "leave autoApply with failure";
}

void dhparameterWidget::giveupBtnClicked()
{
    pluginLog() << "enter giveupBtnClicked";
    // The button is disabled meanwhile, but a queued click may still arrive.
    if (applying) {
        pluginLog() << "skip giveUp: a write to the controller is in progress";
        return;
    }
    hasPendingResult = false;
    applyButtonRule();
    emit giveupBtnSignals();
    writeDHResLabls(true);
    clearErrorFields();
    common::optimizedDHParamsVec.clear();
    common::productDHParamsVec.clear();
    common::productZeroPointsVec.clear();
    pluginLog() << "leave giveupBtnClicked";
}
