#include "displayisowidget.h"

#include "common/common.h"
#include "pages/buttonsizing.h"
#include "pages/calibwidget.h"
#include "pages/cardframe.h"
#include "pages/dhparameterwidget.h"
#include "plugin/findprogram.h"
#include "plugin/pageinstance.h"
#include "plugin/pluginlog.h"

#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QStyleOption>
#include <QVBoxLayout>

#include <vector>

namespace {

constexpr int kPoints = 5;
constexpr int kFigures = 4;
const QString kHeaderStyle =
    QStringLiteral("QLabel { color: black; font-weight: bold; font-size: 11pt; }");

} // namespace

displayisowidget *displayisowidget::instance(QWidget *parent)
{
    static QPointer<displayisowidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new displayisowidget(p); });
}

bool displayisowidget::isRunning() const
{
    return process && process->state() != QProcess::NotRunning;
}

displayisowidget::displayisowidget(QWidget *parent)
    : QWidget(parent)
{
    setupUi();
    connect(startISO, &QPushButton::clicked, this, &displayisowidget::startIso);
    connect(saveReportBtn, &QPushButton::clicked, this, &displayisowidget::saveReport);
    connect(giveupBtn, &QPushButton::clicked, this, &displayisowidget::resetAll);
    btnsDisable();
}

// A process still running when the host goes away is not left behind.
displayisowidget::~displayisowidget()
{
    if (process) {
        disconnect(process, nullptr, this, nullptr);
        if (process->state() != QProcess::NotRunning) {
            process->kill();
            process->waitForFinished(1000);
        }
    }
}

void displayisowidget::setupUi()
{
    setObjectName(QStringLiteral("displayisowidget"));
    resize(400, 150);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);

    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));
    verticalLayout->setContentsMargins(12, 18, 12, 12);

    horizontalLayoutDisplay = new QHBoxLayout();
    horizontalLayoutDisplay->setObjectName(QStringLiteral("horizontalLayoutDisplay"));
    displayLabel = new QLabel(this);
    displayLabel->setObjectName(QStringLiteral("displayLabel"));
    // The card painter draws the caption.
    displayLabel->hide();
    horizontalLayoutDisplay->addWidget(displayLabel);
    horizontalLayoutDisplay->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout->addLayout(horizontalLayoutDisplay);

    verticalLayoutTable = new QVBoxLayout();
    verticalLayoutTable->setObjectName(QStringLiteral("verticalLayoutTable"));
    gridLayout = new QGridLayout();
    gridLayout->setObjectName(QStringLiteral("gridLayout"));
    gridLayout->setHorizontalSpacing(10);
    gridLayout->setVerticalSpacing(5);
    const QStringList headers = {tr("Point"), tr("Accuracy"), tr("Repeatabillity"), tr("RMS"),
                                 tr("StdDev")};
    for (int c = 0; c < headers.size(); ++c) {
        auto *header = new QLabel(headers.at(c), this);
        header->setAlignment(Qt::AlignCenter);
        header->setStyleSheet(kHeaderStyle);
        gridLayout->addWidget(header, 0, c);
    }
    for (int k = 1; k <= kPoints; ++k) {
        auto *caption = new QLabel(common::isoPointCaption(k - 1), this);
        caption->setAlignment(Qt::AlignCenter);
        caption->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        caption->setStyleSheet(kHeaderStyle);
        gridLayout->addWidget(caption, k, 0);
        for (int c = 1; c <= kFigures; ++c)
            makeValueCell(QString(), k, c);
    }
    for (int r = 0; r <= kPoints; ++r)
        gridLayout->setRowStretch(r, 1);
    for (int c = 0; c <= kFigures; ++c)
        gridLayout->setColumnStretch(c, 1);
    verticalLayoutTable->addLayout(gridLayout);
    verticalLayoutTable->addItem(
        new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    verticalLayout->addLayout(verticalLayoutTable);

    horizontalLayoutProgress = new QHBoxLayout();
    horizontalLayoutProgress->setObjectName(QStringLiteral("horizontalLayoutProgress"));
    horizontalLayoutProgress->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    label = new QLabel(this);
    label->setObjectName(QStringLiteral("label"));
    label->setLayoutDirection(Qt::RightToLeft);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    horizontalLayoutProgress->addWidget(label);
    label_2 = new QLabel(this);
    label_2->setObjectName(QStringLiteral("label_2"));
    label_2->setLayoutDirection(Qt::RightToLeft);
    label_2->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    horizontalLayoutProgress->addWidget(label_2);
    horizontalLayoutProgress->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    verticalLayout->addLayout(horizontalLayoutProgress);

    verticalLayoutBtn = new QVBoxLayout();
    verticalLayoutBtn->setObjectName(QStringLiteral("verticalLayoutBtn"));
    verticalLayoutBtn->addItem(
        new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    horizontalLayoutBtn = new QHBoxLayout();
    horizontalLayoutBtn->setObjectName(QStringLiteral("horizontalLayoutBtn"));
    startISO = new QPushButton(this);
    startISO->setObjectName(QStringLiteral("startISO"));
    saveReportBtn = new QPushButton(this);
    saveReportBtn->setObjectName(QStringLiteral("saveReport"));
    giveupBtn = new QPushButton(this);
    giveupBtn->setObjectName(QStringLiteral("giveupBtn"));
    for (QPushButton *button : {startISO, saveReportBtn, giveupBtn}) {
        applyActionButtonSizing(button);
        horizontalLayoutBtn->addWidget(button);
    }
    verticalLayoutBtn->addLayout(horizontalLayoutBtn);
    verticalLayout->addLayout(verticalLayoutBtn);

    verticalLayout->setStretch(0, 1);
    verticalLayout->setStretch(1, 7);
    verticalLayout->setStretch(2, 1);
    verticalLayout->setStretch(3, 1);

    retranslateUi();
}

void displayisowidget::retranslateUi()
{
    setWindowTitle(tr("Form"));
    displayLabel->setText(tr("结果展示"));
    startISO->setText(tr("启动ISO"));
    saveReportBtn->setText(tr("保存报告"));
    giveupBtn->setText(tr("放弃"));
}

QLabel *displayisowidget::makeValueCell(const QString &text, int row, int column)
{
    auto *cell = new QLabel(text, this);
    cell->setAlignment(Qt::AlignCenter);
    cell->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    cell->setEnabled(false);
    cell->setStyleSheet(QStringLiteral("border: none;"));
    gridLayout->addWidget(cell, row, column);
    return cell;
}

// Rows without a result stay empty.
void displayisowidget::fillValueCells(const QVector<QVector<QString>> &texts)
{
    for (int k = 1; k <= kPoints; ++k) {
        for (int c = 1; c <= kFigures; ++c) {
            if (QLayoutItem *item = gridLayout->itemAtPosition(k, c)) {
                if (QWidget *widget = item->widget()) {
                    gridLayout->removeWidget(widget);
                    widget->hide();
                    widget->deleteLater();
                }
            }
            const QString text = k - 1 < texts.size() ? texts.at(k - 1).value(c - 1) : QString();
            makeValueCell(text, k, c);
        }
    }
}

void displayisowidget::emptyValueCells()
{
    fillValueCells({});
}

QString displayisowidget::scriptPath(const QString &name) const
{
    return common::workFolder + QStringLiteral("/iso/scripts/") + name;
}

bool displayisowidget::runIsoProcess(const QString &program, const FinishHandler &onFinished)
{
    if (!QFileInfo::exists(program)) {
        QMessageBox::warning(this, tr("错误"), tr("ISO检测程序不存在"), QMessageBox::Ok);
        return false;
    }
    if (process && process->state() != QProcess::NotRunning) {
        QMessageBox::information(this, tr("提示"), tr("任务已在运行"), QMessageBox::Ok);
        return false;
    }
    discardProcess();
    process = new QProcess(this);
    QProcess *started = process;
    connect(started, &QProcess::readyReadStandardOutput, this,
            &displayisowidget::onReadyReadStandardOutput);
    connect(started, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            [onFinished](int exitCode, QProcess::ExitStatus status) {
                onFinished(exitCode, status);
            });
    connect(started, &QProcess::errorOccurred, this, [this](QProcess::ProcessError) {
        QMessageBox::warning(this, tr("错误"), tr("ISO检测程序启动失败"), QMessageBox::Ok);
    });
    started->start(program, {QStringLiteral("--path"), common::workFolder},
                   QIODevice::ReadWrite);
    if (!started->waitForStarted(3000)) {
        QMessageBox::warning(this, tr("错误"), tr("ISO检测程序启动超时"), QMessageBox::Ok);
        if (process == started)
            discardProcess();
        return false;
    }
    return true;
}

// Deleted through the event loop: the process may be inside one of its own signals.
void displayisowidget::discardProcess()
{
    if (!process)
        return;
    QProcess *old = process;
    process = nullptr;
    disconnect(old, nullptr, this, nullptr);
    old->deleteLater();
}

void displayisowidget::startBtnEnable()
{
    pluginLog() << "startBtnEnable" << "[in]";
    startISO->setEnabled(true);
    pluginLog() << "startBtnEnable" << "[out]";
}

void displayisowidget::btnsDisable()
{
    pluginLog() << "btnsDisable" << "[in]";
    startISO->setEnabled(false);
    saveReportBtn->setEnabled(false);
    giveupBtn->setEnabled(false);
    pluginLog() << "btnsDisable" << "[out]";
}

void displayisowidget::startIso()
{
    pluginLog() << "startIso" << "[in]";
    const QString text = startISO->text();
    // Two programs must not drive the robot, nor write the result file, at once.
    if ((text == tr("生成报告") || text == tr("启动ISO"))
        && (calibWidget::instance()->isRunning() || dhparameterWidget::instance()->isApplying())) {
        QMessageBox::warning(this, tr("错误"), tr("标定或写入控制器进行中，不能启动ISO"), QMessageBox::Ok);
        return;
    }
    if (text == tr("生成报告")) {
        startISO->setEnabled(false);
        reportStartedAt = QDateTime::currentDateTimeUtc();
        const bool ran = runIsoProcess(scriptPath(QStringLiteral("isoReportGener.exe")),
                                       [this](int exitCode, QProcess::ExitStatus) {
                                           onReportFinished(exitCode);
                                       });
        if (!ran) {
            startISO->setEnabled(true);
            startISO->setText(tr("启动ISO"));
        }
    } else if (text == tr("启动ISO")) {
        const ProgramMatch match =
            findProgram(common::workFolder + QStringLiteral("/iso/collectisoposes"),
                        QStringLiteral("collectIsoPoses"));
        if (match.count != 1) {
            if (match.count == 0)
                QMessageBox::warning(this, tr("错误"), tr("未匹配到ISO程序"), QMessageBox::Ok);
            else
                QMessageBox::warning(this, tr("错误"), tr("匹配到多个ISO程序"), QMessageBox::Ok);
            startISO->setText(tr("启动ISO"));
            return;
        }
        const bool ran = runIsoProcess(match.path, [this](int exitCode, QProcess::ExitStatus) {
            onCollectorFinished(exitCode);
        });
        if (ran) {
            startISO->setText(tr("中止运行ISO"));
            label->clear();
            label_2->clear();
        } else {
            startISO->setText(tr("启动ISO"));
        }
    } else if (process && process->state() != QProcess::NotRunning) {
        // The handlers stay connected: the end of the stopped process reaches them as any end.
        QPointer<QProcess> running = process;
        running->terminate();
        if (!running->waitForFinished(1000) && running) {
            running->kill();
            if (running)
                running->waitForFinished(1000);
        }
        if (process == running)
            discardProcess();
        startISO->setText(tr("启动ISO"));
    }
    pluginLog() << "startIso" << "[out]";
}

void displayisowidget::onCollectorFinished(int exitCode)
{
    if (exitCode != 0) {
        QMessageBox::warning(this, tr("错误"), tr("ISO校准失败"), QMessageBox::Ok);
        startISO->setText(tr("启动ISO"));
    } else {
        QMessageBox::information(this, tr("完成"), tr("ISO校准完成"), QMessageBox::Ok);
        startISO->setText(tr("生成报告"));
    }
}

void displayisowidget::onReportFinished(int exitCode)
{
    startISO->setText(tr("启动ISO"));
    std::vector<common::IsoResult> results;
    const QString path = common::workFolder + QLatin1Char('/') + common::optimizedDHFileName;
    // A generator that ended well yet wrote no results (none, or only an earlier run's, which
    // the calibration record would then keep as this test's) has failed. The slack covers
    // file systems that keep times to two seconds.
    const QFileInfo file(path);
    const bool fresh =
        file.exists() && file.lastModified().toUTC() >= reportStartedAt.addSecs(-2);
    if (!fresh || !common::readIsoResults(results, path.toUtf8().toStdString()))
        results.clear();
    if (exitCode != 0 || results.empty()) {
        if (exitCode == 0)
            pluginLog() << "the report generator left no results of this run in " << path;
        // Nothing an earlier run showed may pass for this one's.
        emptyValueCells();
        QMessageBox::warning(this, tr("错误"), tr("报告生成失败"), QMessageBox::Ok);
        startISO->setEnabled(true);
        return;
    }
    QMessageBox::information(this, tr("完成"), tr("报告已生成"), QMessageBox::Ok);
    QVector<QVector<QString>> texts;
    for (const common::IsoResult &result : results) {
        texts.append({QString::asprintf("%f", result.accuracy),
                      QString::asprintf("%f", result.repeatability),
                      QString::asprintf("%f", result.rms), QString::asprintf("%f", result.stdDev)});
    }
    fillValueCells(texts);
    saveReportBtn->setEnabled(true);
    giveupBtn->setEnabled(true);
    constexpr size_t kPoses = 5;
    if (results.size() >= kPoses) {
        double sum = 0;
        for (size_t i = 0; i < kPoses; ++i)
            sum += results[i].accuracy;
        emit reportGenerated(sum / double(kPoses));
    }
}

void displayisowidget::saveReport()
{
    pluginLog() << "saveReport" << "[in]";
    saveReportBtn->setEnabled(false);
    giveupBtn->setEnabled(false);
    emptyValueCells();
    runIsoProcess(scriptPath(QStringLiteral("copyResults.exe")),
                  [this](int exitCode, QProcess::ExitStatus) { onCopyFinished(exitCode); });
    pluginLog() << "saveReport" << "[out]";
}

void displayisowidget::onCopyFinished(int exitCode)
{
    if (exitCode != 0) {
        QMessageBox::warning(this, tr("错误"), tr("报告保存失败"), QMessageBox::Ok);
        giveupBtn->setEnabled(true);
        saveReportBtn->setEnabled(true);
    } else {
        QMessageBox::information(this, tr("完成"), tr("报告已保存"), QMessageBox::Ok);
    }
}

void displayisowidget::resetAll()
{
    pluginLog() << "resetAll" << "[in]";
    QMessageBox box(QMessageBox::Question, tr("提示"), tr("是否放弃iso结果？"),
                    QMessageBox::Discard | QMessageBox::Cancel, this);
    box.button(QMessageBox::Discard)->setText(tr("放弃"));
    box.button(QMessageBox::Cancel)->setText(tr("取消"));
    box.setDefaultButton(QMessageBox::Cancel);
    box.setEscapeButton(QMessageBox::Cancel);
    box.exec();
    if (box.clickedButton() != box.button(QMessageBox::Discard))
        return;
    giveupBtn->setEnabled(false);
    saveReportBtn->setEnabled(false);
    emptyValueCells();
    runIsoProcess(scriptPath(QStringLiteral("delResults.exe")),
                  [this](int exitCode, QProcess::ExitStatus) { onDeleteFinished(exitCode); });
    pluginLog() << "resetAll" << "[out]";
}

void displayisowidget::onDeleteFinished(int exitCode)
{
    if (exitCode != 0) {
        QMessageBox::warning(this, tr("错误"), tr("结果删除失败"), QMessageBox::Ok);
        giveupBtn->setEnabled(true);
        saveReportBtn->setEnabled(true);
    } else {
        QMessageBox::information(this, tr("完成"), tr("结果已删除"), QMessageBox::Ok);
        giveupBtn->setEnabled(true);
    }
}

void displayisowidget::onReadyReadStandardOutput()
{
    if (!process)
        return;
    static const QRegularExpression round(QStringLiteral("\\[ROUND\\]\\s*(\\d+)\\s*/\\s*(\\d+)"));
    const QString output = QString::fromUtf8(process->readAllStandardOutput());
    const QStringList pieces = output.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    for (const QString &piece : pieces) {
        const QRegularExpressionMatch match = round.match(piece.trimmed());
        if (!match.hasMatch())
            continue;
        label->setText(tr("采集进度："));
        label_2->setText(QStringLiteral("%1 / %2").arg(match.captured(1), match.captured(2)));
        pluginLog() << "ISO Round: " << match.captured(1) + QLatin1Char('/') + match.captured(2);
    }
}

void displayisowidget::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    drawCardFrame(this, painter, tr("结果展示"));
    QWidget::paintEvent(event);
}
