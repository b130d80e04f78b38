#include "calibwidget.h"

#include "common/common.h"
#include "iso/displayisowidget.h"
#include "pages/autoclosemessagebox.h"
#include "pages/buttonsizing.h"
#include "pages/dhparameterwidget.h"
#include "pages/setupwidget.h"
#include "plugin/findprogram.h"
#include "plugin/pageinstance.h"
#include "plugin/pluginlog.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpacerItem>
#include <QStyleOption>
#include <QTimer>
#include <QVBoxLayout>

#include <string>

namespace {

// A collector flooding its standard error must not exhaust the pendant's memory.
constexpr int kStderrLimit = 1024 * 1024;
constexpr int kShownOutput = 1000;
constexpr int kBoxMs = 2000;
constexpr int kAutoApplyDelayMs = 2000;
constexpr int kCancelWaitMs = 30000;
// Only a window closing under a running collector gets here; the host is shutting down.
constexpr int kDestroyWaitMs = 1000;

// The serial number names the report and its copy, so it must stay one plain file name on
// every system: no separators, no "." or "..", nothing Windows refuses in a name.
bool isSafeFileStem(const QString &name)
{
    if (name == QLatin1String(".") || name == QLatin1String(".."))
        return false;
    const QString forbidden = QStringLiteral("/\\:*?\"<>|");
    for (const QChar c : name) {
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || forbidden.contains(c))
            return false;
    }
    static const QRegularExpression device(
        QStringLiteral("^(CON|PRN|AUX|NUL|COM[1-9]|LPT[1-9])$"),
        QRegularExpression::CaseInsensitiveOption);
    return !device.match(name.section(QLatin1Char('.'), 0, 0).trimmed()).hasMatch();
}

std::string resultPath()
{
    return (common::workFolder + QLatin1Char('/') + common::optimizedDHFileName)
        .toUtf8()
        .toStdString();
}

// Joints 1 ... axisNum of a map, in order; a joint the map lacks is left out.
QVector<double> jointsOf(const common::DHMap &map)
{
    QVector<double> values;
    for (int n = 1; n <= common::axisNum; ++n) {
        const auto it = map.find("joint_" + std::to_string(n));
        if (it == map.end())
            continue;
        values << it->second.alpha << it->second.a << it->second.d << it->second.theta;
    }
    return values;
}

void emptyResultSets()
{
    common::optimizedDHParamsVec.clear();
    common::productDHParamsVec.clear();
    common::productZeroPointsVec.clear();
}

// Stops a collector for good: its end no longer reaches the card.
void stopProcess(QProcess *process, QObject *receiver, int waitMs)
{
    QObject::disconnect(process, nullptr, receiver, nullptr);
    if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished(waitMs);
    }
    process->deleteLater();
}

} // namespace

calibWidget *calibWidget::instance(QWidget *parent)
{
    static QPointer<calibWidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new calibWidget(p); });
}

calibWidget::calibWidget(QWidget *parent)
    : QWidget(parent)
{
    setupUi();
    verticalLayout->setContentsMargins(15, 15, 15, 15);
    verticalLayout->setSpacing(0);
    applyActionButtonSizing(runCalibrationBtn);
    setAttribute(Qt::WA_StyledBackground, true);

    setupWidget *setup = setupWidget::instance();
    connect(this, &calibWidget::isAllOptionsSelect, setup, &setupWidget::isAllOptionsSelect);
    connect(this, &calibWidget::isSNEmpty, setup, &setupWidget::isSNEmpty);
    connect(this, &calibWidget::writeIntoJson, setup, &setupWidget::writeIntoJson);
    connect(this, &calibWidget::isRequestFileWritten, setup, &setupWidget::isRequestFileWritten);
    dhparameterWidget *result = dhparameterWidget::instance();
    connect(this, &calibWidget::changeBtnsStatus, result, &dhparameterWidget::changeBtnsStatus);
    connect(this, &calibWidget::calibrationDoneVec, result, &dhparameterWidget::writeDHResLabls);
    connect(this, &calibWidget::calibrationDoneStr, result,
            &dhparameterWidget::updateErrorLabels);
    connect(this, &calibWidget::qualityGateFailed, result,
            &dhparameterWidget::markQualityGateFailures);
    connect(result, &dhparameterWidget::applyRunning, this, &calibWidget::onApplyRunning);
    connect(runCalibrationBtn, &QPushButton::clicked, this,
            &calibWidget::onRunCalibrationBtnClicked);
}

// QWidget deletes its children before QObject drops the connections, so a collector still
// running would otherwise report its end to a card that is half gone, and outlive the host.
calibWidget::~calibWidget()
{
    if (process)
        stopProcess(process, this, kDestroyWaitMs);
}

void calibWidget::setupUi()
{
    setObjectName(QStringLiteral("calibWidget"));
    resize(132, 96);

    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("verticalLayout"));

    horizontalLayout = new QHBoxLayout();
    horizontalLayout->setObjectName(QStringLiteral("horizontalLayout"));
    horizontalLayout->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    calibrationLabel = new QLabel(this);
    calibrationLabel->setObjectName(QStringLiteral("calibrationLabel"));
    calibrationLabel->setAlignment(Qt::AlignCenter);
    horizontalLayout->addWidget(calibrationLabel);
    horizontalLayout->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    horizontalLayout->setStretch(0, 1);
    horizontalLayout->setStretch(1, 0);
    horizontalLayout->setStretch(2, 1);
    verticalLayout->addLayout(horizontalLayout);

    horizontalLayout_2 = new QHBoxLayout();
    horizontalLayout_2->setObjectName(QStringLiteral("horizontalLayout_2"));
    horizontalLayout_2->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    runCalibrationBtn = new QPushButton(this);
    runCalibrationBtn->setObjectName(QStringLiteral("runCalibrationBtn"));
    horizontalLayout_2->addWidget(runCalibrationBtn);
    horizontalLayout_2->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    horizontalLayout_2->setStretch(0, 1);
    horizontalLayout_2->setStretch(1, 1);
    horizontalLayout_2->setStretch(2, 1);
    verticalLayout->addLayout(horizontalLayout_2);

    horizontalLayout_3 = new QHBoxLayout();
    horizontalLayout_3->setObjectName(QStringLiteral("horizontalLayout_3"));
    horizontalLayout_3->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    connectionLabel = new QLabel(this);
    connectionLabel->setObjectName(QStringLiteral("connectionLabel"));
    connectionLabel->setAlignment(Qt::AlignCenter);
    horizontalLayout_3->addWidget(connectionLabel);
    horizontalLayout_3->addItem(
        new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    horizontalLayout_3->setStretch(0, 1);
    horizontalLayout_3->setStretch(1, 0);
    horizontalLayout_3->setStretch(2, 1);
    verticalLayout->addLayout(horizontalLayout_3);

    verticalLayout->addItem(new QSpacerItem(20, 40, QSizePolicy::Minimum, QSizePolicy::Expanding));
    verticalLayout->setStretch(0, 1);
    verticalLayout->setStretch(1, 1);
    verticalLayout->setStretch(2, 1);

    retranslateUi();
}

void calibWidget::retranslateUi()
{
    setWindowTitle(tr("Form"));
    calibrationLabel->setText(QString());
    runCalibrationBtn->setText(tr("启动标定"));
    connectionLabel->setText(QString());
}

void calibWidget::paintEvent(QPaintEvent *event)
{
    QStyleOption option;
    option.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::white);
    painter.drawRoundedRect(rect().adjusted(1, 1, -1, -1), 10, 10);
    QWidget::paintEvent(event);
}

void calibWidget::onRunCalibrationBtnClicked()
{
    // A run started or cancelled while the controller is written to would work on a result
    // that is going away; the button is disabled then, but a queued click may still arrive.
    if (applyRunning) {
        pluginLog() << "skip run button: a write to the controller is in progress";
        return;
    }
    if (running) {
        cancelCalibration();
        return;
    }
    pluginLog() << "enter onRunCalibrationBtnClicked";
    // Two programs must not drive the robot, nor write the result file, at once.
    if (displayisowidget::instance()->isRunning()) {
        QMessageBox::warning(this, tr("错误"), tr("ISO测试运行中，不能启动标定"), QMessageBox::Ok);
        return;
    }

    bool isSelected = false;
    emit isAllOptionsSelect(isSelected);
    if (!isSelected) {
        QMessageBox::warning(nullptr, tr("Warning"), tr("请选择标定参数"), QMessageBox::Ok);
        return;
    }
    emit isSNEmpty();
    if (common::serialNumber == QLatin1String("")) {
        QMessageBox::warning(nullptr, tr("Warning"), tr("请输入SN号"), QMessageBox::Ok);
        return;
    }
    if (!isSafeFileStem(common::serialNumber)) {
        // Not logged as typed: it may hold line breaks.
        pluginLog() << "refused serial number";
        QMessageBox::warning(nullptr, tr("Warning"), tr("SN号包含非法字符"), QMessageBox::Ok);
        return;
    }

    emptyResultSets();
    emit calibrationDoneVec(true);
    emit calibrationDoneStr(QString(), QString());
    calibrationLabel->setText(tr("标定运行中"));
    connectionLabel->setText(tr("初始化中..."));
    runCalibrationBtn->setText(tr("取消标定"));
    running = true;
    emit changeBtnsStatus(false);
    emit writeIntoJson();
    // A collector started on an older request would calibrate what the operator did not choose.
    bool written = false;
    emit isRequestFileWritten(written);

    const QString folder = common::workFolder + QStringLiteral("/calib/collectcalibposes");
    const ProgramMatch match = findProgram(folder, QStringLiteral("collectCalibPoses"));
    if (!written || match.count != 1) {
        const QString text = !written            ? tr("写入标定请求文件失败")
                             : match.count == 0 ? tr("未匹配到采点程序")
                                                : tr("匹配到多个采点程序");
        QMessageBox::critical(nullptr, tr("ERROR"), text, QMessageBox::Ok);
        runCalibrationBtn->setText(tr("启动标定"));
        setRunButtonEnabled(true);
        calibrationLabel->setText(tr("启动失败"));
        running = false;
        return;
    }

    // A run that resetAll() left behind must not report into this one.
    if (process)
        stopProcess(process, this, kCancelWaitMs);
    process = new QProcess(this);
    process->setWorkingDirectory(folder);
    stderrText.clear();
    stderrBytes = 0;
    connect(process, QOverload<int, QProcess::ExitStatus>::of(&QProcess::finished), this,
            &calibWidget::onCalibrationFinished);
    connect(process, &QProcess::readyReadStandardOutput, this,
            &calibWidget::onReadyReadStandardOutput);
    connect(process, &QProcess::readyReadStandardError, this,
            &calibWidget::onReadyReadStandardError);
    // A program that never starts sends no finished(): the run would wait for ever.
    connect(process, &QProcess::errorOccurred, this,
            [this, started = process](QProcess::ProcessError error) {
                if (error != QProcess::FailedToStart || process != started)
                    return;
                process = nullptr;
                running = false;
                started->deleteLater();
                QMessageBox::critical(nullptr, tr("ERROR"),
                                      tr("采点程序执行失败") + QLatin1Char('\n')
                                          + started->errorString(),
                                      QMessageBox::Ok);
                clearPanel();
                calibrationLabel->setText(tr("启动失败"));
                emit calibrationDoneStr(QString(), QString());
            });
    qDebug().noquote() << QStringLiteral("启动优化工具:") << match.path;
    runStartedAt = QDateTime::currentDateTimeUtc();
    process->start(match.path, {QStringLiteral("--path"), common::workFolder},
                   QIODevice::ReadWrite);
    pluginLog() << "leave onRunCalibrationBtnClicked";
}

// Whole lines only: a line cut between two reads waits in the process's buffer for its end, so
// that its halves are not taken for two lines. Of the progress lines of one read, only the last
// reaches the label and the log: a collector that reports faster than the panel paints would
// otherwise hold the GUI for a log statement per line and fill the log folder.
void calibWidget::onReadyReadStandardOutput()
{
    if (!process)
        return;
    static const QRegularExpression progress(
        QStringLiteral("\\[PROGRESS\\]\\s*(\\d+)\\s*/\\s*(\\d+)"));
    bool pending = false;
    int n = 0;
    int m = 0;
    const auto showProgress = [&] {
        if (!pending)
            return;
        connectionLabel->setText(tr("采集进度：%1 / %2").arg(n).arg(m));
        pluginLog() << "Progress: " << n << "/" << m;
        pending = false;
    };
    while (process && process->canReadLine()) {
        const QString line = QString::fromUtf8(process->readLine()).trimmed();
        if (line == QLatin1String("[PHASE] OPTIMIZATION")) {
            showProgress();
            connectionLabel->setText(tr("优化中..."));
            pluginLog() << "Enter optimization phase";
            continue;
        }
        const QRegularExpressionMatch found = progress.match(line);
        if (!found.hasMatch())
            continue;
        n = found.captured(1).toInt();
        m = found.captured(2).toInt();
        pending = true;
    }
    showProgress();
}

void calibWidget::onReadyReadStandardError()
{
    if (!process)
        return;
    const QByteArray bytes = process->readAllStandardError();
    appendStderr(bytes);
    const QString chunk = QString::fromUtf8(bytes).trimmed();
    if (!chunk.isEmpty())
        pluginLog() << "[COLLECTOR_STDERR] " << chunk;
}

// Keeps the first kStderrLimit bytes of the run; the rest is read and dropped.
void calibWidget::appendStderr(const QByteArray &bytes)
{
    const int room = kStderrLimit - stderrBytes;
    if (room <= 0 || bytes.isEmpty())
        return;
    const QByteArray kept = bytes.left(room);
    stderrText += QString::fromUtf8(kept);
    stderrBytes += kept.size();
}

void calibWidget::onCalibrationFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    QProcess *finished = process;
    process = nullptr;
    running = false;
    if (!finished)
        return;
    finished->deleteLater();

    if (exitCode != 0 || exitStatus == QProcess::CrashExit) {
        appendStderr(finished->readAllStandardError());
        QString text = stderrText;
        if (text.trimmed().isEmpty())
            text = QString::fromUtf8(finished->readAllStandardOutput().left(kStderrLimit));
        QString message = tr("采点程序执行失败");
        const QString shown = text.trimmed();
        if (!shown.isEmpty())
            message += QLatin1Char('\n') + shown.left(kShownOutput);
        QMessageBox::critical(nullptr, tr("ERROR"), message, QMessageBox::Ok);
        clearPanel();
        calibrationLabel->setText(tr("优化失败"));
        emit calibrationDoneStr(QString(), QString());
        return;
    }
    handleResult();
}

void calibWidget::handleResult()
{
    const std::string path = resultPath();
    // A result file older than the run is an earlier run's: a collector that ended without
    // writing one must not have that result applied as its own. The slack covers file systems
    // that keep times to two seconds.
    const QFileInfo file(QString::fromStdString(path));
    if (file.exists() && file.lastModified().toUTC() < runStartedAt.addSecs(-2)) {
        pluginLog() << "the result file is older than the run: " << file.filePath();
        endWithReadFailure();
        return;
    }
    if (!common::readCalibStatus(path)) {
        endWithReadFailure();
        return;
    }
    common::DHMap dhMap;
    if (!common::readDHParams(dhMap, path)) {
        QMessageBox::critical(nullptr, tr("ERROR"), tr("读取结果失败"), QMessageBox::Ok);
        endWithReadFailure();
        return;
    }
    double errors[2] = {0.0, 0.0};
    if (!common::readValidErrors(errors, path)) {
        QMessageBox::critical(nullptr, tr("Error"), tr("读取误差数据失败"), QMessageBox::Ok);
        endWithReadFailure();
        return;
    }
    if (!common::readZeroPoints(common::zeroPointsVec, path)) {
        QMessageBox::critical(nullptr, tr("Error"), tr("读取零点数据失败"), QMessageBox::Ok);
        endWithReadFailure();
        return;
    }

    common::productDHParamsVec.clear();
    common::productZeroPointsVec.clear();
    common::DHMap productMap;
    std::vector<double> productZero;
    if (common::readProductDHParams(productMap, path)
        && common::readProductZeroPoints(productZero, path)) {
        common::productDHParamsVec = jointsOf(productMap);
        common::productZeroPointsVec = productZero;
    }
    common::optimizedDHParamsVec = jointsOf(dhMap);

    const QString avg = QString::number(errors[0], 'f', 4);
    const QString max = QString::number(errors[1], 'f', 4);
    dhparameterWidget *result = dhparameterWidget::instance();
    const bool automatic = result->isAutoApplyEnabled();
    if (automatic) {
        const common::QualityGateResult gate = common::evaluateQualityGate(
            path,
            std::vector<double>(common::originalDHParamsVec.cbegin(),
                                common::originalDHParamsVec.cend()),
            std::vector<double>(common::optimizedDHParamsVec.cbegin(),
                                common::optimizedDHParamsVec.cend()),
            common::axisNum);
        if (gate.status == 2) {
            emptyResultSets();
            emit calibrationDoneVec(true);
            emit calibrationDoneStr(QString(), QString());
            emit changeBtnsStatus(false);
            QMessageBox::critical(nullptr, tr("Error"), tr("读取质量门禁数据失败"),
                                  QMessageBox::Ok);
            clearPanel();
            calibrationLabel->setText(tr("读取结果失败"));
            connectionLabel->setText(tr("优化完成"));
            return;
        }
        if (gate.status == 1) {
            archiveFailedReport();
            emit calibrationDoneVec(false);
            emit calibrationDoneStr(avg, max);
            emit qualityGateFailed(gate);
            emit changeBtnsStatus(false);
            emptyResultSets();
            clearPanel();
            calibrationLabel->setText(tr("优化结果不达标"));
            connectionLabel->setText(tr("优化完成"));
            showAutoCloseMessageBox(this, QMessageBox::Warning, tr("提示"), tr("优化结果不达标"),
                                    kBoxMs);
            return;
        }
    }

    emit calibrationDoneVec(false);
    emit calibrationDoneStr(avg, max);
    runCalibrationBtn->setText(tr("标定完成"));
    setRunButtonEnabled(false);
    // One text in Chinese; the English says where the result card is and who applies it.
    calibrationLabel->setText(automatic ? tr("请检查右侧数据并应用参数", "automatic apply")
                                        : tr("请检查右侧数据并应用参数"));
    connectionLabel->setText(tr("优化完成"));
    emit changeBtnsStatus(true);
    if (!automatic)
        return;
    showAutoCloseMessageBox(this, QMessageBox::Information, tr("提示"),
                            tr("结果合规，即将写入控制器"), kBoxMs);
    pluginLog() << "[AUTO_APPLY] schedule after result display";
    // Bound to the result card: it is dropped with the card.
    QTimer::singleShot(kAutoApplyDelayMs, result, [result] {
        pluginLog() << "[AUTO_APPLY] start";
        result->autoApply();
        pluginLog() << "[AUTO_APPLY] end";
    });
}

void calibWidget::endWithReadFailure()
{
    clearPanel();
    calibrationLabel->setText(tr("读取结果失败"));
    emit calibrationDoneStr(QString(), QString());
}

void calibWidget::clearPanel()
{
    runCalibrationBtn->setText(tr("启动标定"));
    setRunButtonEnabled(true);
}

// The rejected report is kept under failed/, replacing an older copy of the same robot.
void calibWidget::archiveFailedReport() const
{
    if (!isSafeFileStem(common::serialNumber))
        return;
    const QString results = common::workFolder + QStringLiteral("/results/calib_results/");
    const QString name = common::serialNumber + QStringLiteral(".xlsx");
    const QString folder = results + QStringLiteral("failed/");
    // Without a new report the older copy is the only one left: keep it.
    if (!QFile::exists(results + name))
        return;
    QDir().mkpath(folder);
    QFile::remove(folder + name);
    QFile::copy(results + name, folder + name);
}

void calibWidget::cancelCalibration()
{
    pluginLog() << "User manually canceled calibration";
    if (process) {
        QProcess *stopped = process;
        process = nullptr;
        stopProcess(stopped, this, kCancelWaitMs);
    }
    runCalibrationBtn->setText(tr("启动标定"));
    setRunButtonEnabled(true);
    calibrationLabel->setText(tr("标定已取消"));
    connectionLabel->setText(QString());
    running = false;
    emit changeBtnsStatus(true);
    QMessageBox::information(nullptr, tr("Notice"), tr("已取消"), QMessageBox::Ok);
}

void calibWidget::setRunButtonEnabled(bool enabled)
{
    runButtonEnabled = enabled;
    runCalibrationBtn->setEnabled(enabled && !applyRunning);
}

bool calibWidget::isRunning() const
{
    return running;
}

void calibWidget::onApplyRunning(bool running)
{
    applyRunning = running;
    setRunButtonEnabled(runButtonEnabled);
}

void calibWidget::resetAll()
{
    pluginLog() << "resetAll" << "[in]";
    runCalibrationBtn->setText(tr("启动标定"));
    setRunButtonEnabled(true);
    calibrationLabel->setText(QString());
    connectionLabel->setText(QString());
    running = false;
    pluginLog() << "resetAll" << "[out]";
}
