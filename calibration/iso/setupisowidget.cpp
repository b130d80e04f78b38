#include "setupisowidget.h"

#include "common/atomicfile.h"
#include "common/common.h"
#include "defaultisoposes.h"
#include "displayisowidget.h"
#include "isoconfigfile.h"
#include "pages/buttonsizing.h"
#include "pages/cardframe.h"
#include "pages/elidedpathlabel.h"
#include "plugin/pageinstance.h"
#include "plugin/pluginlog.h"

#include <QCheckBox>
#include <QDebug>
#include <QDir>
#include <QDoubleValidator>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSpacerItem>
#include <QStyleOption>
#include <QVBoxLayout>

#include <cmath>
#include <exception>

namespace {

constexpr int kPoints = 5;
constexpr int kValues = 6;
constexpr int kMaxSampleTimes = 30;

// The file takes C-locale numbers; the fields accept and read exactly those, whatever the
// pendant's locale, and no group separators, which the reading would not take.
QLocale fileNumbers()
{
    QLocale locale = QLocale::c();
    locale.setNumberOptions(QLocale::OmitGroupSeparator | QLocale::RejectGroupSeparator);
    return locale;
}

// The request with the connected controller's address and robot in "robot_profile": the ISO
// collector moves the robot the request names, which after a calibration on another cell is
// another robot. The serial number stays the one the engineer gave.
QByteArray withConnectedRobot(const QByteArray &request)
{
    QJsonObject root = QJsonDocument::fromJson(request).object();
    QJsonObject profile = root.value(QStringLiteral("robot_profile")).toObject();
    profile.insert(QStringLiteral("ip"), common::robotIP);
    profile.insert(QStringLiteral("robot_name"), common::robotType);
    profile.insert(QStringLiteral("model_type"), common::modelType);
    root.insert(QStringLiteral("robot_profile"), profile);
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

QLabel *makePointCaption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    label->setStyleSheet(QStringLiteral("font-weight: bold;"));
    return label;
}

QLabel *makeDefaultValue(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    label->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    return label;
}

} // namespace

setupisowidget *setupisowidget::instance(QWidget *parent)
{
    static QPointer<setupisowidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new setupisowidget(p); });
}

setupisowidget::setupisowidget(QWidget *parent)
    : QWidget(parent)
{
    setupUi();

    auto *sampleValidator = new QIntValidator(0, kMaxSampleTimes, collectLineEdit);
    collectLineEdit->setValidator(sampleValidator);
    collectLineEdit->setText(QStringLiteral("30"));
    collectLineEdit->setStyleSheet(QStringLiteral("color: gray;"));
    common::isoSampleTimes = 30;
    common::reportSavePath = QStringLiteral("D:\\VeltraReport");
    pathLabel->setText(common::reportSavePath);
    pathLabel->setStyleSheet(QStringLiteral("color: gray;"));

    connect(saveBtn, &QPushButton::clicked, this, &setupisowidget::saveFivePoints);
    connect(clearCustomBtn, &QPushButton::clicked, this, &setupisowidget::resetAll);
    connect(selectPathBtn, &QPushButton::clicked, this, &setupisowidget::choosePath);
    connect(defaultCheckBox, &QCheckBox::clicked, this, &setupisowidget::onDefaultClicked);
    connect(customCheckBox, &QCheckBox::clicked, this, &setupisowidget::onCustomClicked);
    connect(customCheckBox, &QCheckBox::toggled, this, &setupisowidget::onCustomToggled);
    connect(collectLineEdit, &QLineEdit::textEdited, this, &setupisowidget::onSampleTimesEdited);
    connect(collectLineEdit, &QLineEdit::textChanged, this,
            &setupisowidget::onSampleTimesChanged);
    // The results card may not be placed yet; instance() makes it if need be.
    displayisowidget *display = displayisowidget::instance();
    connect(this, &setupisowidget::saveAll, display, &displayisowidget::startBtnEnable);
    connect(this, &setupisowidget::isChanged, display, &displayisowidget::btnsDisable);

    onCustomToggled(customCheckBox->isChecked());
}

setupisowidget::~setupisowidget() = default;

void setupisowidget::setupUi()
{
    setObjectName(QStringLiteral("setupisowidget"));
    resize(400, 150);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setContentsMargins(12, 18, 12, 12);

    horizontalLayoutISO = new QHBoxLayout();
    horizontalLayoutISO->setObjectName(QStringLiteral("horizontalLayoutISO"));
    titleLabel = new QLabel(this);
    titleLabel->setObjectName(QStringLiteral("titleLabel"));
    QFont titleFont;
    titleFont.setPointSize(10);
    titleFont.setBold(true);
    titleLabel->setFont(titleFont);
    // The card painter draws the caption.
    titleLabel->hide();
    horizontalLayoutISO->addWidget(titleLabel);
    horizontalLayoutISO->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout->addLayout(horizontalLayoutISO);

    verticalLayoutTable = new QVBoxLayout();
    verticalLayoutTable->setObjectName(QStringLiteral("verticalLayoutTable"));
    defaultLayout = new QGridLayout();
    defaultLayout->setObjectName(QStringLiteral("defaultLayout"));
    customizeLayout = new QGridLayout();
    customizeLayout->setObjectName(QStringLiteral("customizeLayout"));
    verticalLayoutTable->addLayout(defaultLayout);
    verticalLayoutTable->addLayout(customizeLayout);
    verticalLayout->addLayout(verticalLayoutTable);

    defaultLabel = new QLabel(this);
    defaultLabel->setObjectName(QStringLiteral("defaultLabel"));
    defaultLabel->setAlignment(Qt::AlignCenter);
    defaultLabel->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; }"));
    defaultLayout->addWidget(defaultLabel, 0, 0);
    defaultCheckBox = new QCheckBox(this);
    defaultCheckBox->setObjectName(QStringLiteral("defaultCheckBox"));
    defaultCheckBox->setChecked(true);
    defaultLayout->addWidget(defaultCheckBox, 0, 1);
    for (int k = 1; k <= kPoints; ++k) {
        defaultLayout->addWidget(makePointCaption(common::isoPointCaption(k - 1), this), k, 0);
        for (int j = 1; j <= kValues; ++j) {
            QLabel *value = makeDefaultValue(QString(), this);
            value->setEnabled(false);
            value->setStyleSheet(QStringLiteral("border: none;"));
            defaultLayout->addWidget(value, k, j);
        }
    }

    customLabel = new QLabel(this);
    customLabel->setObjectName(QStringLiteral("customLabel"));
    customLabel->setAlignment(Qt::AlignCenter);
    customLabel->setStyleSheet(QStringLiteral("QLabel { font-weight: bold; }"));
    customizeLayout->addWidget(customLabel, 0, 0);
    customCheckBox = new QCheckBox(this);
    customCheckBox->setObjectName(QStringLiteral("customCheckBox"));
    customCheckBox->setChecked(false);
    customizeLayout->addWidget(customCheckBox, 0, 1);
    clearCustomBtn = new QPushButton(this);
    clearCustomBtn->setObjectName(QStringLiteral("clearCustomBtn"));
    customizeLayout->addWidget(clearCustomBtn, 0, 5, 1, 2, Qt::AlignRight);
    for (int k = 1; k <= kPoints; ++k)
        customizeLayout->addWidget(makePointCaption(common::isoPointCaption(k - 1), this), k, 0);
    makeCustomEdits();
    for (QGridLayout *grid : {defaultLayout, customizeLayout}) {
        for (int r = 0; r <= kPoints; ++r)
            grid->setRowStretch(r, 1);
        for (int c = 0; c <= kValues; ++c)
            grid->setColumnStretch(c, 1);
    }

    verticalLayout1 = new QVBoxLayout();
    verticalLayout1->setObjectName(QStringLiteral("verticalLayout1"));
    verticalLayout1->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    horizontalLayoutSave = new QHBoxLayout();
    horizontalLayoutSave->setObjectName(QStringLiteral("horizontalLayoutSave"));
    collectLabel = new QLabel(this);
    collectLabel->setObjectName(QStringLiteral("collectLabel"));
    horizontalLayoutSave->addWidget(collectLabel, 1);
    collectLineEdit = new QLineEdit(this);
    collectLineEdit->setObjectName(QStringLiteral("collectLineEdit"));
    horizontalLayoutSave->addWidget(collectLineEdit, 1);
    savePathLabel = new QLabel(this);
    savePathLabel->setObjectName(QStringLiteral("savePathLabel"));
    horizontalLayoutSave->addWidget(savePathLabel, 1);
    // A chosen folder may be long: drawn elided, it never widens the card.
    pathLabel = new ElidedPathLabel(this);
    pathLabel->setObjectName(QStringLiteral("pathLabel"));
    horizontalLayoutSave->addWidget(pathLabel, 2);
    selectPathBtn = new QPushButton(this);
    selectPathBtn->setObjectName(QStringLiteral("selectPathBtn"));
    horizontalLayoutSave->addWidget(selectPathBtn, 1);
    verticalLayout1->addLayout(horizontalLayoutSave);
    horizontalLayoutCollect = new QHBoxLayout();
    horizontalLayoutCollect->setObjectName(QStringLiteral("horizontalLayoutCollect"));
    saveBtn = new QPushButton(this);
    saveBtn->setObjectName(QStringLiteral("saveBtn"));
    horizontalLayoutCollect->addWidget(saveBtn);
    verticalLayout1->addLayout(horizontalLayoutCollect);
    verticalLayout->addLayout(verticalLayout1);

    verticalLayout->setStretch(0, 1);
    verticalLayout->setStretch(1, 7);
    verticalLayout->setStretch(2, 1);

    for (QPushButton *button : {clearCustomBtn, selectPathBtn, saveBtn})
        applyActionButtonSizing(button);

    retranslateUi();
}

void setupisowidget::retranslateUi()
{
    setWindowTitle(tr("Form"));
    titleLabel->setText(tr("设置"));
    defaultLabel->setText(tr("默认点位"));
    customLabel->setText(tr("自定义点位"));
    clearCustomBtn->setText(tr("清除自定义点位"));
    collectLabel->setText(tr("点位采集次数"));
    savePathLabel->setText(tr("报告保存路径"));
    selectPathBtn->setText(tr("选择路径"));
    saveBtn->setText(tr("保存"));
}

void setupisowidget::makeCustomEdits()
{
    for (int k = 1; k <= kPoints; ++k) {
        for (int j = 1; j <= kValues; ++j) {
            auto *edit = new QLineEdit(this);
            edit->setAlignment(Qt::AlignCenter);
            edit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
            edit->setPlaceholderText(tr("输入值%1").arg(j));
            edit->setEnabled(false);
            auto *validator = new QDoubleValidator(edit);
            validator->setDecimals(6);
            validator->setNotation(QDoubleValidator::StandardNotation);
            validator->setLocale(fileNumbers());
            edit->setValidator(validator);
            customizeLayout->addWidget(edit, k, j);
            customEdits[k - 1][j - 1] = edit;
        }
    }
}

// Rows 1-5, columns 1..lastColumn; the widgets go through the event loop, as a slot of theirs
// may be running.
void setupisowidget::clearGridCells(QGridLayout *grid, int lastColumn)
{
    for (int k = 1; k <= kPoints; ++k) {
        for (int j = 1; j <= lastColumn; ++j) {
            QLayoutItem *item = grid->itemAtPosition(k, j);
            if (!item || !item->widget())
                continue;
            QWidget *widget = item->widget();
            grid->removeWidget(widget);
            widget->hide();
            widget->deleteLater();
        }
    }
}

void setupisowidget::handleNetworkConnected()
{
    pluginLog() << "handleNetworkConnected" << "[in]";
    connected = true;
    pluginLog() << "handleNetworkConnected" << "[out]";
}

void setupisowidget::loadDefaultIsoPoses()
{
    pluginLog() << "loadDefaultIsoPoses" << "[in]";
    if (!connected) {
        pluginLog() << "loadDefaultIsoPoses skipped, connected : " << connected;
        return;
    }

    const QString path =
        common::workFolder + QStringLiteral("/iso/") + common::defaultIsoPosesFileName;
    std::map<std::string, std::vector<double>> poses;
    try {
        poses = getDefaultIsoPoses(path.toUtf8().toStdString(),
                                   common::robotType.toUtf8().toStdString());
    } catch (const std::exception &e) {
        pluginLog() << "Runtime error: " << QString::fromUtf8(e.what());
        pluginLog() << "getDefaultIsoPoses path : " << path;
        pluginLog() << "getDefaultIsoPoses robotname : " << common::robotType;
        QMessageBox::warning(this, tr("Warning"), tr("读取默认ISO参数异常"), QMessageBox::Ok);
        return;
    }

    clearGridCells(defaultLayout, kValues);
    common::defaultIsoPoses.clear();
    for (int k = 1; k <= kPoints; ++k) {
        const auto found = poses.find("point" + std::to_string(k));
        const std::vector<double> pose =
            found != poses.end() ? found->second : std::vector<double>(kValues, 0.0);
        QVector<double> row;
        for (int j = 1; j <= kValues; ++j) {
            const double value = pose.at(j - 1);
            defaultLayout->addWidget(makeDefaultValue(QString::number(value, 'g', 6), this), k, j);
            row.append(value);
        }
        common::defaultIsoPoses.append(row);
    }
    if (defaultCheckBox->isChecked())
        common::isoPoses = common::defaultIsoPoses;
    pluginLog() << "loadDefaultIsoPoses" << "[out]";
}

void setupisowidget::saveFivePoints()
{
    pluginLog() << "saveFivePoints" << "[in]";
    if (common::reportSavePath.isEmpty()) {
        QMessageBox::warning(this, tr("Warning"), tr("未设置保存路径"), QMessageBox::Ok);
        return;
    }
    // The validator lets a number above the range stand while it is being typed.
    if (common::isoSampleTimes < 0 || common::isoSampleTimes > kMaxSampleTimes) {
        QMessageBox::warning(this, tr("Warning"), tr("点位采集次数需在 0 到 30 之间"),
                             QMessageBox::Ok);
        return;
    }

    if (customCheckBox->isChecked()) {
        common::isoPoses.clear();
        for (int k = 0; k < kPoints; ++k) {
            QVector<double> row;
            for (int j = 0; j < kValues; ++j) {
                const auto refuse = [&](const QString &why) {
                    QMessageBox::warning(
                        this, tr("Warning"),
                        why.arg(common::isoPointCaption(k)).arg(j + 1), QMessageBox::Ok);
                };
                const QString text = customEdits[k][j]->text();
                if (text.isEmpty()) {
                    refuse(tr("%1 的第 %2 个值为空，请输入自定义点位"));
                    return;
                }
                const double value = fileNumbers().toDouble(text); // 0 for "-" or "."
                // The validator lets hundreds of digits stand while they are typed; beyond a
                // double they read as infinite and would be saved as null.
                if (!std::isfinite(value)) {
                    refuse(tr("%1 的第 %2 个值超出范围，请输入自定义点位"));
                    return;
                }
                row.append(value);
            }
            common::isoPoses.append(row);
        }
    }

    const QString path = common::workFolder + QLatin1Char('/') + common::calibInfoFileName;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QMessageBox::warning(this, tr("提示"), tr("打开文件失败"), QMessageBox::Ok);
        return;
    }
    const QByteArray content = in.readAll();
    in.close();

    QByteArray merged;
    const QJsonObject isoConfig = IsoConfigFile::build(common::isoSampleTimes,
                                                       common::reportSavePath, common::isoPoses);
    if (!IsoConfigFile::merge(content, isoConfig, &merged)) {
        QMessageBox::warning(this, tr("提示"), tr("文件解析失败"), QMessageBox::Ok);
        return;
    }

    if (connected && !common::robotIP.isEmpty())
        merged = withConnectedRobot(merged);

    // Replaced as a whole: a failed write keeps the members the calibration wrote.
    QString error;
    if (!AtomicFile::replace(path, merged, &error)) {
        qWarning().noquote() << "Cannot open file for writing:" << path;
        pluginLog() << "saveFivePoints failed :" << error;
        // Otherwise the start button stays disabled with no reason given.
        QMessageBox::warning(this, tr("提示"), tr("保存失败：%1").arg(error), QMessageBox::Ok);
        return;
    }
    emit saveAll();
    pluginLog() << "saveFivePoints" << "[out]";
}

void setupisowidget::resetAll()
{
    pluginLog() << "resetAll" << "[in]";
    defaultCheckBox->setChecked(true);
    customCheckBox->setChecked(false);
    clearGridCells(customizeLayout, kValues);
    makeCustomEdits();
    onCustomToggled(customCheckBox->isChecked());
    common::isoPoses.clear();
    pluginLog() << "resetAll" << "[out]";
}

void setupisowidget::onDefaultClicked(bool checked)
{
    customCheckBox->setChecked(!checked);
    common::isoPoses = common::defaultIsoPoses;
    emit isChanged();
}

void setupisowidget::onCustomClicked(bool checked)
{
    defaultCheckBox->setChecked(!checked);
    emit isChanged();
}

void setupisowidget::onCustomToggled(bool checked)
{
    for (auto &row : customEdits) {
        for (QLineEdit *edit : row)
            edit->setEnabled(checked);
    }
}

void setupisowidget::onSampleTimesEdited()
{
    sampleTimesUntouched = false;
    onSampleTimesChanged(collectLineEdit->text());
}

void setupisowidget::onSampleTimesChanged(const QString &text)
{
    if (collectLineEdit->hasAcceptableInput()) {
        collectLineEdit->setToolTip(QString());
        if (!sampleTimesUntouched)
            collectLineEdit->setStyleSheet(QString());
    } else {
        collectLineEdit->setStyleSheet(QStringLiteral("QLineEdit { border: 2px solid red; }"));
        collectLineEdit->setToolTip(tr("请输入 0 到 30 之间的整数"));
    }
    common::isoSampleTimes = text.toInt();
}

void setupisowidget::choosePath()
{
    const QString folder = QFileDialog::getExistingDirectory(
        this, tr("选择报告保存目录"), QDir::homePath(),
        QFileDialog::ShowDirsOnly | QFileDialog::DontResolveSymlinks);
    if (!folder.isEmpty()) {
        common::reportSavePath = folder;
        pathLabel->setText(folder);
        pathLabel->setStyleSheet(QString());
    }
    emit isChanged();
}

void setupisowidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    drawCardFrame(this, painter, tr("设置"));
    QWidget::paintEvent(event);
}
