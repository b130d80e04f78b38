#include "setupwidget.h"

#include "common/common.h"
#include "iso/setupisowidget.h"
#include "pages/calibrequestfile.h"
#include "pages/cardframe.h"
#include "pages/dhparameterwidget.h"
#include "pages/passworddialog.h"
#include "pages/toggleswitch.h"
#include "plugin/pageinstance.h"
#include "plugin/pluginlog.h"

#include "interface/interfacemanager.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSpacerItem>
#include <QStyleOption>
#include <QVBoxLayout>

namespace {

constexpr int kFirstJointRow = 2;
constexpr int kPlaceholderRows = 6;
constexpr int kColumns = 6;
constexpr int kThetaColumn = 4;
constexpr int kButtonColumn = 5;
constexpr int kMaxCellHeight = 75;

// Column c (1-4) of the table is parameter c - 1.
const QStringList DHParamNames = {QStringLiteral("alpha"), QStringLiteral("a"),
                                  QStringLiteral("d"), QStringLiteral("theta")};

const QString kBoldStyle =
    QStringLiteral("QLabel { color: black; font-weight: bold; font-size: 11pt; }");
const QString kBoxStyle =
    QStringLiteral("QCheckBox::indicator {    width: 18px;    height: 18px;}");
const QString kRowButtonStyle =
    QStringLiteral("QPushButton {    border: none;    border-radius: 4px;    padding: 2px;    "
                   "max-width: 100px;    max-height: 30px;}");
const QString kInactiveModeStyle = QStringLiteral(
    "QPushButton:!checked {    background-color: #ffffff;    color: #666666;    border: 1px "
    "solid #cccccc;}QPushButton:!checked:hover {    background-color: #f0f0f0;}"
    "QPushButton:!checked:disabled {    background-color: #f5f5f5;    color: #bbbbbb;    "
    "border: 1px solid #e0e0e0;}");

QString valueText(double value)
{
    return QString::number(value, 'g', 6);
}

// The cell keeps its 40 to 100 pixels, but never less than the whole number needs: a cut
// value reads as another number.
void showValue(QLabel *label, const QString &text)
{
    label->setText(text);
    const int needed = label->sizeHint().width();
    label->setMinimumWidth(qMax(40, needed));
    label->setMaximumWidth(qMax(100, needed));
}

void setHeightRange(QWidget *widget, int minimum, int maximum)
{
    widget->setMinimumHeight(minimum);
    widget->setMaximumHeight(maximum);
}

} // namespace

setupWidget *setupWidget::instance(QWidget *parent)
{
    static QPointer<setupWidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new setupWidget(p); });
}

setupWidget::setupWidget(QWidget *parent)
    : QWidget(parent)
{
    setupUi();
    verticalLayout->setContentsMargins(12, 18, 12, 12);
    horizontalLayout->setContentsMargins(0, 10, 0, 6);
    horizontalLayout->setSpacing(12);
    horizontalLayout->setAlignment(Qt::AlignVCenter);
    snRowLayout->setContentsMargins(0, 0, 0, 0);
    snRowLayout->setSpacing(8);
    setHeightRange(robotSettingLabel, labelHeight, kMaxCellHeight);
    label_2->setFixedHeight(labelHeight);
    snLineEdit->setFixedHeight(lineEditHeight);
    // The card painter draws the caption.
    robotSettingLabel->hide();
    line->hide();

    normalBtn = new QPushButton(tr("普通模式"), this);
    normalBtn->setObjectName(QStringLiteral("normalBtn"));
    productBtn = new QPushButton(tr("生产模式"), this);
    productBtn->setObjectName(QStringLiteral("productBtn"));
    modeGroup = new QButtonGroup(this);
    modeGroup->setObjectName(QStringLiteral("modeGroup"));
    modeGroup->setExclusive(true);
    for (QPushButton *button : {normalBtn, productBtn}) {
        button->setCheckable(true);
        button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
        button->setMinimumWidth(120);
        button->setMaximumWidth(136);
        button->setFixedHeight(36);
        button->setCursor(Qt::PointingHandCursor);
    }
    modeGroup->addButton(normalBtn, 0);
    modeGroup->addButton(productBtn, 1);
    normalBtn->setChecked(true);
    mode = QStringLiteral("normal");
    common::calibMode = mode;
    productBtn->setEnabled(false);
    updateModeStyles();
    connect(modeGroup, QOverload<QAbstractButton *>::of(&QButtonGroup::buttonClicked), this,
            &setupWidget::onModeButtonClicked);

    horizontalLayout->addWidget(normalBtn);
    horizontalLayout->addWidget(productBtn);
    horizontalLayout->addStretch();
    auto *autoApplyBox = new QWidget(this);
    autoApplyBox->setObjectName(QStringLiteral("autoApplyContainer"));
    auto *autoApplyLayout = new QHBoxLayout(autoApplyBox);
    autoApplyLayout->setObjectName(QStringLiteral("autoApplyLayout"));
    autoApplyLayout->setSpacing(8);
    autoApplyLayout->setContentsMargins(0, 0, 0, 0);
    autoApplySwitch = new ToggleSwitch(autoApplyBox);
    autoApplySwitch->setObjectName(QStringLiteral("autoApplySwitch"));
    autoApplySwitch->setChecked(true);
    autoApplyLabel = new QLabel(tr("自动应用"), autoApplyBox);
    autoApplyLabel->setObjectName(QStringLiteral("autoApplyLabel"));
    autoApplyLabel->setStyleSheet(QStringLiteral("QLabel { color: black; font-size: 11pt; }"));
    autoApplyLayout->addWidget(autoApplySwitch);
    autoApplyLayout->addWidget(autoApplyLabel);
    horizontalLayout->addWidget(autoApplyBox);
    // Checked before the relay exists: auto apply starts on without a signal saying so.
    connect(autoApplySwitch, &ToggleSwitch::toggled, this, &setupWidget::autoApplyToggled);

    buildTableHeader();
    addPlaceholderRows();
    for (int r = 0; r < kFirstJointRow; ++r) {
        tableLayout->setRowStretch(r, 1);
        tableLayout->setRowMinimumHeight(r, rowHeight);
    }
    for (int c = 0; c < kColumns; ++c)
        tableLayout->setColumnStretch(c, 1);
    updateLockBtnText();
    connect(lockBtn, &QPushButton::clicked, this, &setupWidget::onLockBtnClicked);
    connect(rangeBtn, &QPushButton::clicked, this, &setupWidget::onRangeBtnClicked);

    for (QLayout *layout : {static_cast<QLayout *>(verticalLayout),
                            static_cast<QLayout *>(horizontalLayout),
                            static_cast<QLayout *>(verticalLayout_2),
                            static_cast<QLayout *>(tableLayout)})
        layout->setSizeConstraint(QLayout::SetDefaultConstraint);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    connect(&tessel::tesselInterface(), &tessel::InterfaceManager::sigNetworkConnect, this,
            &setupWidget::refreshDHTable);
    // The two cards may not be placed yet; instance() makes them if need be.
    connect(this, &setupWidget::dhParamsReady, dhparameterWidget::instance(),
            &dhparameterWidget::initTableWithData);
    connect(this, &setupWidget::setupWidgetReady, setupisowidget::instance(),
            &setupisowidget::handleNetworkConnected);
}

setupWidget::~setupWidget() = default;

void setupWidget::setupUi()
{
    setObjectName(QStringLiteral("setupWidget"));
    resize(128, 130);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    robotSettingLabel = new QLabel(this);
    robotSettingLabel->setObjectName(QStringLiteral("robotSettingLabel"));
    robotSettingLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    robotSettingLabel->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
    horizontalLayout->addWidget(robotSettingLabel);
    horizontalLayout->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout->addLayout(horizontalLayout);

    line = new QFrame(this);
    line->setObjectName(QStringLiteral("line"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    verticalLayout->addWidget(line);

    verticalLayout_2 = new QVBoxLayout();
    verticalLayout_2->setObjectName(QStringLiteral("verticalLayout_2"));
    snRowLayout = new QHBoxLayout();
    snRowLayout->setObjectName(QStringLiteral("snRowLayout"));
    label_2 = new QLabel(this);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    label_2->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
    snRowLayout->addWidget(label_2);
    snLineEdit = new QLineEdit(this);
    snLineEdit->setObjectName(QStringLiteral("snLineEdit"));
    snLineEdit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    snRowLayout->addWidget(snLineEdit);
    verticalLayout_2->addLayout(snRowLayout);
    tableLayout = new QGridLayout();
    tableLayout->setObjectName(QStringLiteral("tableLayout"));
    verticalLayout_2->addLayout(tableLayout);
    verticalLayout_2->setStretch(0, 0);
    verticalLayout_2->setStretch(1, 1);
    verticalLayout->addLayout(verticalLayout_2);

    verticalLayout->setStretch(0, 0);
    verticalLayout->setStretch(1, 0);
    verticalLayout->setStretch(2, 1);

    retranslateUi();
}

void setupWidget::retranslateUi()
{
    setWindowTitle(tr("Form"));
    robotSettingLabel->setText(tr("标定配置"));
    label_2->setText(tr("SN"));
}

void setupWidget::buildTableHeader()
{
    paramTitleLabel = new QLabel(tr("优化参数选择"), this);
    paramTitleLabel->setObjectName(QStringLiteral("paramTitleLabel"));
    paramTitleLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    setHeightRange(paramTitleLabel, rowHeight, kMaxCellHeight);
    paramTitleLabel->setAlignment(Qt::AlignLeading | Qt::AlignLeft | Qt::AlignVCenter);
    paramTitleLabel->setStyleSheet(kBoldStyle);
    tableLayout->addWidget(paramTitleLabel, 0, 0, 1, kColumns - 1);

    auto *buttons = new QWidget(this);
    buttons->setObjectName(QStringLiteral("rangeLockContainer"));
    auto *buttonsLayout = new QHBoxLayout(buttons);
    buttonsLayout->setObjectName(QStringLiteral("rangeLockLayout"));
    buttonsLayout->setContentsMargins(0, 0, 0, 0);
    buttonsLayout->setSpacing(6);
    rangeBtn = new QPushButton(tr("中轴"), buttons);
    rangeBtn->setObjectName(QStringLiteral("rangeBtn"));
    lockBtn = new QPushButton(buttons);
    lockBtn->setObjectName(QStringLiteral("lockBtn"));
    for (QPushButton *button : {rangeBtn, lockBtn}) {
        button->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
        setHeightRange(button, rowHeight, kMaxCellHeight);
        button->setCursor(Qt::PointingHandCursor);
        buttonsLayout->addWidget(button);
    }
    tableLayout->addWidget(buttons, 0, kButtonColumn, Qt::AlignCenter);

    const QStringList headers = {QString(), tr("α"), tr("a"), tr("d"), tr("θ"), tr("操作")};
    for (int c = 0; c < headers.size(); ++c) {
        auto *header = new QLabel(headers.at(c), this);
        header->setObjectName(QStringLiteral("headerLabel_%1").arg(c));
        header->setAlignment(Qt::AlignCenter);
        header->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        setHeightRange(header, rowHeight, kMaxCellHeight);
        header->setStyleSheet(kBoldStyle);
        tableLayout->addWidget(header, 1, c);
    }
}

// Rows 2-7 hold empty cells until the controller's set arrives; the grid keeps those rows.
void setupWidget::addPlaceholderRows()
{
    for (int r = kFirstJointRow; r < kFirstJointRow + kPlaceholderRows; ++r) {
        for (int c = 0; c < kColumns; ++c) {
            auto *placeholder = new QLabel(this);
            placeholder->setAlignment(Qt::AlignCenter);
            placeholder->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            setHeightRange(placeholder, rowHeight, kMaxCellHeight);
            placeholder->setEnabled(false);
            tableLayout->addWidget(placeholder, r, c);
        }
    }
}

void setupWidget::paintEvent(QPaintEvent *event)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    drawCardFrame(this, painter, tr("标定配置"));
    QWidget::paintEvent(event);
}

// The controller read waits in a nested event loop, where the link may announce itself again:
// such a call is run after the current one instead of building a second table over it.
void setupWidget::refreshDHTable()
{
    if (refreshing) {
        refreshAgain = true;
        return;
    }
    const QScopedValueRollback<bool> busy(refreshing, true);
    do {
        refreshAgain = false;
        rebuildTable();
    } while (refreshAgain);
}

void setupWidget::rebuildTable()
{
    for (int i = tableLayout->count() - 1; i >= 0; --i) {
        int row = 0;
        int column = 0;
        int rowSpan = 0;
        int columnSpan = 0;
        tableLayout->getItemPosition(i, &row, &column, &rowSpan, &columnSpan);
        if (row < kFirstJointRow)
            continue;
        QLayoutItem *item = tableLayout->takeAt(i);
        if (QWidget *widget = item->widget()) {
            widget->hide();
            widget->deleteLater();
        }
        delete item;
    }

    loadDHParamsFromController();
    for (int i = 0; i < common::axisNum; ++i)
        addJointRow(i);
    updateRangeBtnText();
    rangeBtn->setEnabled(true);
    updateLockBtnText();
    for (int r = 0; r <= lastJointRow(); ++r) {
        tableLayout->setRowStretch(r, 0);
        tableLayout->setRowMinimumHeight(r, rowHeight);
    }
    for (int c = 0; c < kColumns; ++c) {
        tableLayout->setColumnStretch(c, 1);
        tableLayout->setColumnMinimumWidth(c, 60);
    }
    emit dhParamsReady();

    tessel::InterfaceManager &controller = tessel::tesselInterface();
    common::robotIP = controller.getRobotIP();
    common::robotType = controller.getRobotType();
    common::modelType = controller.getRobotModelType();
    common::serialNumber = snLineEdit->text();
    emit setupWidgetReady();
}

void setupWidget::addJointRow(int joint)
{
    const int row = joint + kFirstJointRow;
    // The fixed captions end at J10; the controller decides how many joints there are.
    auto *caption = new QLabel(common::jointName(joint), this);
    caption->setObjectName(QStringLiteral("jointLabel_%1").arg(row));
    caption->setAlignment(Qt::AlignCenter);
    caption->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    caption->setMinimumHeight(lineEditHeight);
    caption->setStyleSheet(kBoldStyle);
    tableLayout->addWidget(caption, row, 0);

    const bool edge = joint == 0 || joint == common::axisNum - 1;
    for (int j = 0; j < 4; ++j) {
        const int index = 4 * joint + j;
        const bool hasValue = index < common::originalDHParamsVec.size();
        const double value = hasValue ? common::originalDHParamsVec.at(index) : 0.0;
        const bool checked = j == 3 || !edge;
        tableLayout->addWidget(makeParamCell(row, j + 1, value, hasValue, checked), row, j + 1);
    }

    auto *button = new QPushButton(edge ? tr("全选") : tr("全不选"), this);
    button->setObjectName(QStringLiteral("rowBtn_%1").arg(row));
    button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    setHeightRange(button, lineEditHeight, 45);
    button->setStyleSheet(kRowButtonStyle);
    button->setEnabled(!locked);
    connect(button, &QPushButton::clicked, this, [this, row, button] { toggleRow(row, button); });
    tableLayout->addWidget(button, row, kButtonColumn, Qt::AlignCenter);
}

QWidget *setupWidget::makeParamCell(int row, int column, double value, bool hasValue,
                                    bool checked)
{
    const QString place = QStringLiteral("%1_%2").arg(row).arg(column);
    auto *cell = new QWidget(this);
    cell->setObjectName(QStringLiteral("paramCell_") + place);
    cell->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    cell->setMinimumHeight(lineEditHeight);
    auto *layout = new QHBoxLayout(cell);
    layout->setContentsMargins(2, 0, 2, 0);
    layout->setSpacing(5);
    layout->setAlignment(Qt::AlignCenter);

    auto *box = new QCheckBox(cell);
    box->setObjectName(QStringLiteral("paramCheckBox_") + place);
    box->setFixedSize(18, 18);
    box->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    box->setStyleSheet(kBoxStyle);
    box->setChecked(checked);
    box->setEnabled(!locked);
    layout->addWidget(box, 0, Qt::AlignCenter);

    auto *label = new QLabel(cell);
    label->setObjectName(QStringLiteral("paramValueLabel_") + place);
    label->setAlignment(Qt::AlignCenter);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    showValue(label, hasValue ? valueText(value) : QString());
    layout->addWidget(label, 0, Qt::AlignCenter);
    return cell;
}

void setupWidget::loadDHParamsFromController()
{
    const QJsonValue reply = tessel::tesselInterface().execCommandVantorData(
        QStringLiteral("factory.get_DH_params_link"), QVariant(QStringLiteral("")));
    pluginLog() << "get_DH_params_link : " << reply;
    const QJsonArray link = reply.toObject()
                                .value(QStringLiteral("data"))
                                .toObject()
                                .value(QStringLiteral("DH_PARAMS_LINK"))
                                .toArray();
    pluginLog() << "DH_PARAMS_LINK : " << link;

    // Read back and written to the controller with the result, so a set that is not whole
    // groups of four numbers counts as no set rather than as zeros or shifted links.
    QVector<double> values;
    values.reserve(link.size());
    bool usable = link.size() % 4 == 0;
    for (const QJsonValue &value : link) {
        if (!value.isDouble()) {
            usable = false;
            break;
        }
        values.append(value.toDouble());
    }
    if (!usable) {
        pluginLog() << "DH_PARAMS_LINK refused : not groups of four numbers";
        values.clear();
    } else if (values.size() / 4 - 1 > common::jointNames.size()) {
        // The tables hold as many axes as there are joint captions; a reply for more is no
        // robot's, and building rows for it would not end.
        pluginLog() << "DH_PARAMS_LINK refused : " << values.size() / 4 - 1
                    << " axes, more than " << common::jointNames.size();
        values.clear();
    }
    common::originalDHParamsVec = values;
    common::axisNum = common::originalDHParamsVec.size() / 4 - 1;
    pluginLog() << "common::originalDHParamsVec : " << common::originalDHParamsVec;
    pluginLog() << "common::axisNum : " << common::axisNum;
}

// The last row the patterns look at. The grid never loses a row, so a robot with fewer joints
// than the one before must not be judged against the old robot's empty rows.
int setupWidget::lastGridRow() const
{
    return qMax(kFirstJointRow + kPlaceholderRows - 1, lastJointRow());
}

int setupWidget::lastJointRow() const
{
    return 1 + common::axisNum;
}

QCheckBox *setupWidget::paramBox(int row, int column) const
{
    QLayoutItem *item = tableLayout->itemAtPosition(row, column);
    if (!item || !item->widget())
        return nullptr;
    return item->widget()->findChild<QCheckBox *>();
}

QLabel *setupWidget::valueLabel(int row, int column) const
{
    QLayoutItem *item = tableLayout->itemAtPosition(row, column);
    if (!item || !item->widget())
        return nullptr;
    return item->widget()->findChild<QLabel *>();
}

QPushButton *setupWidget::rowButton(int row) const
{
    QLayoutItem *item = tableLayout->itemAtPosition(row, kButtonColumn);
    return item ? qobject_cast<QPushButton *>(item->widget()) : nullptr;
}

void setupWidget::forEachParamBox(const std::function<void(int row, int column)> &function,
                                  bool wanted) const
{
    for (int r = kFirstJointRow; r <= lastJointRow(); ++r) {
        for (int c = 1; c <= kThetaColumn; ++c) {
            const QCheckBox *box = paramBox(r, c);
            if (box && box->isChecked() == wanted)
                function(r, c);
        }
    }
}

void setupWidget::toggleRow(int row, QPushButton *button)
{
    bool anyUnchecked = false;
    for (int c = 1; c <= kThetaColumn; ++c) {
        const QCheckBox *box = paramBox(row, c);
        if (box && !box->isChecked())
            anyUnchecked = true;
    }
    for (int c = 1; c <= kThetaColumn; ++c) {
        if (QCheckBox *box = paramBox(row, c))
            box->setChecked(anyUnchecked);
    }
    button->setText(anyUnchecked ? tr("全不选") : tr("全选"));
    updateRangeBtnText();
}

// The button names the pattern a press produces; a selection that is neither leaves it be.
void setupWidget::updateRangeBtnText()
{
    if (allParamsChecked())
        rangeBtn->setText(tr("中轴"));
    else if (middleAxisPattern())
        rangeBtn->setText(tr("全参"));
}

bool setupWidget::allParamsChecked() const
{
    for (int r = kFirstJointRow; r <= lastGridRow(); ++r) {
        for (int c = 1; c <= kThetaColumn; ++c) {
            const QCheckBox *box = paramBox(r, c);
            if (!box || !box->isChecked())
                return false;
        }
    }
    return true;
}

bool setupWidget::middleAxisPattern() const
{
    const int last = lastGridRow();
    for (int r = kFirstJointRow; r <= last; ++r) {
        const bool edge = r == kFirstJointRow || r == last;
        for (int c = 1; c <= kThetaColumn; ++c) {
            const QCheckBox *box = paramBox(r, c);
            if (!box || box->isChecked() != (!edge || c == kThetaColumn))
                return false;
        }
    }
    return true;
}

bool setupWidget::rowAllChecked(int row) const
{
    for (int c = 1; c <= kThetaColumn; ++c) {
        const QCheckBox *box = paramBox(row, c);
        if (!box || !box->isChecked())
            return false;
    }
    return true;
}

void setupWidget::updateRowButtons()
{
    for (int r = kFirstJointRow; r <= lastGridRow(); ++r) {
        if (QPushButton *button = rowButton(r))
            button->setText(rowAllChecked(r) ? tr("全不选") : tr("全选"));
    }
}

void setupWidget::checkAllParams()
{
    for (int r = kFirstJointRow; r <= lastGridRow(); ++r) {
        for (int c = 1; c <= kThetaColumn; ++c) {
            if (QCheckBox *box = paramBox(r, c))
                box->setChecked(true);
        }
    }
    updateRowButtons();
}

void setupWidget::applyMiddleAxisSelection()
{
    const int last = lastGridRow();
    for (int r = kFirstJointRow; r <= last; ++r) {
        const bool edge = r == kFirstJointRow || r == last;
        for (int c = 1; c <= kThetaColumn; ++c) {
            if (QCheckBox *box = paramBox(r, c))
                box->setChecked(!edge || c == kThetaColumn);
        }
    }
    updateRowButtons();
}

// The lock stops clicks on the table only; the range button changes the boxes all the same.
void setupWidget::onRangeBtnClicked()
{
    const bool toAll = rangeBtn->text() == tr("全参");
    const QString text = !toAll && common::axisNum < 3
                             ? tr("当前无中间轴，切换后所有参数将取消勾选")
                             : tr("确定要切换参数选择范围吗？");
    if (askToConfirm(tr("切换参数选择范围"), text) != Answer::Confirmed)
        return;
    if (toAll)
        checkAllParams();
    else
        applyMiddleAxisSelection();
    rangeBtn->setText(toAll ? tr("中轴") : tr("全参"));
}

void setupWidget::onModeButtonClicked(QAbstractButton *button)
{
    if (modeRevertGuard)
        return;
    const QString wanted = button == normalBtn ? QStringLiteral("normal")
                                               : QStringLiteral("product");
    if (wanted == mode)
        return;
    const Answer answer = askToConfirm(tr("确认切换模式"), tr("确定要切换模式吗？"));
    if (answer == Answer::PageGone)
        return;
    if (answer == Answer::Confirmed) {
        mode = wanted;
        common::calibMode = mode;
        updateModeStyles();
        return;
    }
    // The group has checked the clicked button already; put the old one back.
    const QScopedValueRollback<bool> guard(modeRevertGuard, true);
    (mode == QLatin1String("normal") ? normalBtn : productBtn)->setChecked(true);
}

void setupWidget::updateModeStyles()
{
    const bool product = mode == QLatin1String("product");
    QPushButton *current = product ? productBtn : normalBtn;
    QPushButton *other = product ? normalBtn : productBtn;
    current->setStyleSheet(QString());
    other->setStyleSheet(kInactiveModeStyle);
}

void setupWidget::onLockBtnClicked()
{
    if (locked) {
        showUnlockDialog();
        return;
    }
    locked = true;
    lockBtn->setText(tr("🔒 解锁"));
    setTableEnabled(false);
}

// The text names what a press does.
void setupWidget::updateLockBtnText()
{
    lockBtn->setText(locked ? tr("🔒 解锁") : tr("🔓 锁定"));
}

void setupWidget::setTableEnabled(bool enabled)
{
    for (int r = kFirstJointRow; r <= lastGridRow(); ++r) {
        for (int c = 1; c <= kThetaColumn; ++c) {
            if (QCheckBox *box = paramBox(r, c))
                box->setEnabled(enabled);
        }
        if (QPushButton *button = rowButton(r))
            button->setEnabled(enabled);
    }
    rangeBtn->setEnabled(true);
}

// Modal dialogs live on the heap: if the page is torn down while one waits, Qt deletes the
// dialog with it, and nothing here touches either afterwards.
void setupWidget::showUnlockDialog()
{
    const QPointer<setupWidget> self(this);
    const QPointer<PasswordDialog> dialog = new PasswordDialog(this);
    const int result = dialog->exec();
    if (!self)
        return;
    delete dialog.data();
    if (result != QDialog::Accepted)
        return;
    locked = false;
    updateLockBtnText();
    setTableEnabled(true);
}

setupWidget::Answer setupWidget::askToConfirm(const QString &title, const QString &text)
{
    const QPointer<setupWidget> self(this);
    const QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Question, title, text, QMessageBox::NoButton, this);
    QPushButton *yes = box->addButton(tr("确认"), QMessageBox::YesRole);
    QPushButton *no = box->addButton(tr("取消"), QMessageBox::NoRole);
    box->setDefaultButton(no);
    box->setEscapeButton(no);
    box->exec();
    if (!self)
        return Answer::PageGone;
    if (!box)
        return Answer::Refused;
    const bool confirmed = box->clickedButton() == yes;
    delete box.data();
    return confirmed ? Answer::Confirmed : Answer::Refused;
}

void setupWidget::isAllOptionsSelect(bool &isSelected)
{
    pluginLog() << "isAllOptionsSelect" << "[in]";
    forEachParamBox([&isSelected](int, int) { isSelected = true; }, true);
    pluginLog() << "isAllOptionsSelect" << "[out]";
}

void setupWidget::isSNEmpty()
{
    pluginLog() << "isSNEmpty" << "[in]";
    common::serialNumber = snLineEdit->text();
    pluginLog() << "isSNEmpty" << "[out]";
}

void setupWidget::resetAll()
{
    pluginLog() << "resetAll" << "[in]";
    const int lastJoint = lastJointRow();
    for (int r = kFirstJointRow; r <= lastGridRow(); ++r) {
        const bool edge = r == kFirstJointRow || r == lastJoint;
        if (QPushButton *button = rowButton(r))
            button->setText(edge ? tr("全选") : tr("全不选"));
        for (int c = 1; c <= kThetaColumn; ++c) {
            QCheckBox *box = paramBox(r, c);
            QLabel *label = valueLabel(r, c);
            if (!box || !label)
                continue;
            const int k = 4 * (r - kFirstJointRow) + (c - 1);
            if (k >= common::originalDHParamsVec.size()) {
                pluginLog() << "Invalid parameter index : " << k
                            << " for joint : " << r - kFirstJointRow << " column : " << c;
                continue;
            }
            showValue(label, valueText(common::originalDHParamsVec.at(k)));
            box->setChecked(c == kThetaColumn || !edge);
        }
    }
    updateRangeBtnText();
    rangeBtn->setEnabled(true);
    updateLockBtnText();
    setTableEnabled(!locked);
    snLineEdit->clear();
    pluginLog() << "resetAll" << "[out]";
}

void setupWidget::writeIntoJson()
{
    pluginLog() << "writeIntoJson" << "[in]";
    requestWritten = false;
    CalibRequestFile::RobotProfile profile;
    profile.ip = common::robotIP;
    profile.serialNumber = common::serialNumber;
    profile.robotName = common::robotType;
    profile.modelType = common::modelType;
    pluginLog() << "common::modelType : " << common::modelType;
    pluginLog() << QString(47, QLatin1Char('='));

    CalibRequestFile request(profile, mode);
    const int lastJoint = lastJointRow();
    forEachParamBox(
        [&request, lastJoint](int row, int column) {
            const int joint = row == lastJoint ? -1 : row - kFirstJointRow;
            request.addLockedParam(joint, DHParamNames.at(column - 1));
        },
        false);

    QString error;
    if (!request.write(common::workFolder, &error)) {
        pluginLog() << "writeIntoJson failed : " << error;
        return;
    }
    requestWritten = true;
    pluginLog() << "Leave writeIntoJson" << QString(37, QLatin1Char('='));
}

void setupWidget::isRequestFileWritten(bool &written)
{
    written = requestWritten;
}
