#include "recordwidget.h"

#include "common/atomicfile.h"
#include "common/calibrationstate.h"
#include "common/figuretext.h"
#include "iso/displayisowidget.h"
#include "pages/autoclosemessagebox.h"
#include "pages/buttonsizing.h"
#include "pages/calibwidget.h"
#include "pages/dhparameterwidget.h"
#include "pages/fittedcolumns.h"
#include "plugin/pageinstance.h"
#include "plugin/pluginlog.h"
#include "records/recordcsv.h"
#include "records/recordhistory.h"
#include "records/recordlistmodel.h"

#include "interface/interfacemanager.h"
#include "ui/pluginui.h"

#include <QColor>
#include <QDir>
#include <QFileDialog>
#include <QFont>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>

namespace {

constexpr int kBoxMs = 2000;
const QColor kChanged(0xfe, 0xf3, 0xc7);
const QString kProblemStyle = QStringLiteral("QLabel { color: #b91c1c; }");

bool differs(const QVector<double> &before, const QVector<double> &after, int index)
{
    if (index >= before.size() || index >= after.size())
        return index < before.size() || index < after.size();
    const double b = before.at(index);
    const double a = after.at(index);
    if (std::isfinite(b) != std::isfinite(a))
        return true;
    return std::isfinite(b) && std::abs(a - b) > 1e-9;
}

} // namespace

recordWidget *recordWidget::instance(QWidget *parent)
{
    static QPointer<recordWidget> page;
    return pageInstance(page, parent, [](QWidget *p) { return new recordWidget(p); });
}

recordWidget::recordWidget(QWidget *parent)
    : QWidget(parent)
    , m_history(new RecordHistory(this))
    , m_model(new RecordListModel(m_history, this))
{
    setupUi();
    recordTable->setModel(m_model);
    new FittedColumns(recordTable);
    connect(recordTable->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &recordWidget::showRecord);
    connect(m_history, &RecordHistory::changed, this, [this] {
        if (recordTable->model()->rowCount() > 0 && !recordTable->currentIndex().isValid())
            recordTable->selectRow(0);
        showHistoryState();
        showRecord();
    });
    connect(restoreBtn, &QPushButton::clicked, this, &recordWidget::restoreSelected);
    connect(exportRecordBtn, &QPushButton::clicked, this, [this] { chooseFolderAndExport(false); });
    connect(exportAllBtn, &QPushButton::clicked, this, [this] { chooseFolderAndExport(true); });

    dhparameterWidget *result = dhparameterWidget::instance();
    connect(result, &dhparameterWidget::calibrationWritten, this, &recordWidget::appendRecord);
    connect(result, &dhparameterWidget::applyRunning, this, [this](bool running) {
        m_writing = running;
        updateButtons();
    });
    connect(displayisowidget::instance(), &displayisowidget::reportGenerated, this,
            &recordWidget::noteIsoReport);
    openHistory();
}

recordWidget::~recordWidget() = default;

void recordWidget::setupUi()
{
    setObjectName(QStringLiteral("recordWidget"));
    verticalLayout = new QVBoxLayout(this);
    verticalLayout->setObjectName(QStringLiteral("recordLayout"));
    verticalLayout->setContentsMargins(20, 12, 20, 12);
    verticalLayout->setSpacing(8);

    recordStatusLabel = new QLabel(this);
    recordStatusLabel->setObjectName(QStringLiteral("recordStatusLabel"));
    recordStatusLabel->setWordWrap(true);
    recordStatusLabel->setStyleSheet(kProblemStyle);
    recordStatusLabel->hide();
    verticalLayout->addWidget(recordStatusLabel);

    recordTable = new QTableView(this);
    recordTable->setObjectName(QStringLiteral("recordTable"));
    recordTable->setSelectionBehavior(QAbstractItemView::SelectRows);
    recordTable->setSelectionMode(QAbstractItemView::SingleSelection);
    recordTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordTable->verticalHeader()->hide();
    // A pendant's page never scrolls sideways: the columns share the width by what they hold
    // (FittedColumns, once the model is set).
    recordTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    verticalLayout->addWidget(recordTable, 1);

    recordSummaryLabel = new QLabel(this);
    recordSummaryLabel->setObjectName(QStringLiteral("recordSummaryLabel"));
    recordSummaryLabel->setWordWrap(true);
    verticalLayout->addWidget(recordSummaryLabel);

    recordDetailTable = new QTableWidget(0, 4, this);
    recordDetailTable->setObjectName(QStringLiteral("recordDetailTable"));
    recordDetailTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
    recordDetailTable->verticalHeader()->hide();
    recordDetailTable->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    verticalLayout->addWidget(recordDetailTable, 3);

    restoreReasonLabel = new QLabel(this);
    restoreReasonLabel->setObjectName(QStringLiteral("restoreReasonLabel"));
    restoreReasonLabel->setWordWrap(true);
    verticalLayout->addWidget(restoreReasonLabel);

    buttonLayout = new QHBoxLayout();
    buttonLayout->setObjectName(QStringLiteral("recordButtonLayout"));
    restoreBtn = new QPushButton(this);
    restoreBtn->setObjectName(QStringLiteral("restoreBtn"));
    exportRecordBtn = new QPushButton(this);
    exportRecordBtn->setObjectName(QStringLiteral("exportRecordBtn"));
    exportAllBtn = new QPushButton(this);
    exportAllBtn->setObjectName(QStringLiteral("exportAllBtn"));
    for (QPushButton *button : {restoreBtn, exportRecordBtn, exportAllBtn}) {
        applyActionButtonSizing(button);
        buttonLayout->addWidget(button);
    }
    verticalLayout->addLayout(buttonLayout);
    retranslateUi();
    updateButtons();
}

void recordWidget::retranslateUi()
{
    recordDetailTable->setHorizontalHeaderLabels(
        {tr("参数"), tr("应用前"), tr("应用后"), tr("变化")});
    restoreBtn->setText(tr("恢复"));
    exportRecordBtn->setText(tr("导出记录"));
    exportAllBtn->setText(tr("导出全部"));
}

RecordHistory *recordWidget::history() const
{
    return m_history;
}

// The host names the plug-in's data folder only once the plug-in's module exists; without it
// the records stay in memory and the page says so.
void recordWidget::openHistory()
{
    QString folder;
    if (tessel::GetPluginDataPath(folder, QStringLiteral("Veltra")) != 0) {
        pluginLog() << "[RECORD] no data folder from the host";
        folder.clear();
    }
    m_history->open(folder);
}

void recordWidget::showHistoryState()
{
    QString text;
    switch (m_history->problem()) {
    case RecordHistory::Problem::None:
        break;
    case RecordHistory::Problem::SetAside:
        text = tr("记录文件已损坏，已另存并新建：%1").arg(m_history->problemDetail());
        break;
    case RecordHistory::Problem::Unusable:
        text = tr("记录文件无法使用，新记录不会写入：%1").arg(m_history->problemDetail());
        break;
    case RecordHistory::Problem::WriteFailed:
        text = tr("%1条记录未能保存，已写入日志：%2")
                   .arg(m_history->unsavedCount())
                   .arg(m_history->problemDetail());
        break;
    }
    if (text.isEmpty() && m_history->filePath().isEmpty())
        text = tr("没有记录文件夹，记录只保存在内存中");
    recordStatusLabel->setText(text);
    recordStatusLabel->setVisible(!text.isEmpty());
}

const CalibrationRecord *recordWidget::selectedRecord() const
{
    const QModelIndex current = recordTable->currentIndex();
    return current.isValid() ? m_model->recordAt(current.row()) : nullptr;
}

QString recordWidget::restoreBlockText(const CalibrationRecord &record) const
{
    switch (record.restoreBlock()) {
    case CalibrationRecord::RestoreBlock::None:
        return QString();
    case CalibrationRecord::RestoreBlock::ProductionMode:
        return tr("生产模式的记录只供查看：它写入了两套参数，不能恢复");
    case CalibrationRecord::RestoreBlock::ZeroUnknown:
        return tr("应用前的零点未全部测出：只写回DH参数会使机器人既不是应用前也不是应用后的状态，不能恢复");
    case CalibrationRecord::RestoreBlock::NoBeforeValues:
        return tr("记录中没有应用前的数值，不能恢复");
    }
    return QString();
}

void recordWidget::showRecord()
{
    const CalibrationRecord *record = selectedRecord();
    recordDetailTable->setRowCount(0);
    if (!record) {
        recordSummaryLabel->clear();
        restoreReasonLabel->clear();
        updateButtons();
        return;
    }
    QStringList summary;
    summary << tr("机器人：%1  ID：%2  模式：%3")
                   .arg(record->robotModel, record->robotId,
                        record->mode == QLatin1String("product") ? tr("生产模式")
                                                                 : tr("普通模式"));
    if (!record->isComplete())
        summary << tr("%1失败：新的DH参数已留在控制器中").arg(record->failedStep);
    if (record->restoredFrom.isValid())
        summary << tr("恢复自 %1 的记录")
                       .arg(record->restoredFrom.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")));
    if (!record->heldParameters.isEmpty())
        summary << tr("保持的参数：%1")
                       .arg(record->heldParameters.join(QStringLiteral(", ")));
    recordSummaryLabel->setText(summary.join(QLatin1Char('\n')));

    const auto addRows = [this](const QVector<double> &before, const QVector<double> &after,
                                int count, bool zero) {
        const int axes = qMax(0, qMax(before.size(), after.size()) / 4 - 1);
        for (int i = 0; i < count; ++i) {
            QString caption;
            if (zero) {
                caption = tr("%1 零点").arg(common::jointName(i));
            } else {
                const QStringList names{QStringLiteral("Alpha(°)"), QStringLiteral("a(mm)"),
                                        QStringLiteral("d(mm)"), QStringLiteral("Theta(°)")};
                const int link = i / 4;
                const QString owner = link < axes ? common::jointName(link) : tr("末端连杆");
                caption = owner + QLatin1Char(' ') + names.at(i % 4);
            }
            const int row = recordDetailTable->rowCount();
            recordDetailTable->insertRow(row);
            const double b = before.value(i, std::nan(""));
            const double a = after.value(i, std::nan(""));
            const QStringList texts{caption, common::figureText(b), common::figureText(a),
                                    common::figureText(a - b)};
            const bool changed = differs(before, after, i);
            for (int c = 0; c < texts.size(); ++c) {
                auto *item = new QTableWidgetItem(texts.at(c));
                item->setTextAlignment(Qt::AlignCenter);
                if (changed) {
                    item->setBackground(kChanged);
                    QFont font = item->font();
                    font.setBold(true);
                    item->setFont(font);
                }
                recordDetailTable->setItem(row, c, item);
            }
        }
    };
    addRows(record->dhBefore, record->dhAfter,
            qMax(record->dhBefore.size(), record->dhAfter.size()), false);
    addRows(record->zeroBefore, record->zeroAfter,
            qMax(record->zeroBefore.size(), record->zeroAfter.size()), true);
    restoreReasonLabel->setText(restoreBlockText(*record));
    updateButtons();
}

void recordWidget::updateButtons()
{
    const CalibrationRecord *record = selectedRecord();
    restoreBtn->setEnabled(record && !m_writing
                           && record->restoreBlock() == CalibrationRecord::RestoreBlock::None);
    exportRecordBtn->setEnabled(record != nullptr);
    exportAllBtn->setEnabled(!m_history->records().isEmpty());
}

void recordWidget::appendRecord(const CalibrationRecord &record)
{
    // The host may give the data folder later than at start; the records held meanwhile go
    // into it.
    QString folder;
    if (m_history->filePath().isEmpty()
        && tessel::GetPluginDataPath(folder, QStringLiteral("Veltra")) == 0)
        m_history->open(folder);
    if (!m_history->append(record)) {
        showAutoCloseMessageBox(dhparameterWidget::instance(), QMessageBox::Warning, tr("错误"),
                                tr("标定记录保存失败"), kBoxMs);
    }
}

// The setup page empties the serial number when a result is applied and reads the empty field
// again at the next link-up, so a report made after the reboot belongs to the robot's latest
// record.
void recordWidget::noteIsoReport(double meanAp)
{
    QString serial = common::serialNumber;
    const QString robotId = tessel::tesselInterface().getRobotID();
    const QVector<CalibrationRecord> &records = m_history->records();
    for (int i = records.size() - 1; i >= 0 && serial.isEmpty(); --i) {
        if (records.at(i).robotId == robotId && records.at(i).robotModel == common::robotType)
            serial = records.at(i).serialNumber;
    }
    m_history->noteIsoReport(serial, meanAp, QDateTime::currentDateTime());
}

void recordWidget::restoreSelected()
{
    const CalibrationRecord *selected = selectedRecord();
    if (!selected || m_writing)
        return;
    // A copy: the history grows while the controller is written.
    const CalibrationRecord record = *selected;
    const QString why = restoreBlockText(record);
    if (!why.isEmpty()) {
        QMessageBox::warning(this, tr("错误"), why, QMessageBox::Ok);
        return;
    }
    if (calibWidget::instance()->isRunning()) {
        QMessageBox::warning(this, tr("错误"), tr("标定运行中，不能恢复"), QMessageBox::Ok);
        return;
    }
    const QMessageBox::StandardButton answer = QMessageBox::question(
        this, tr("恢复"),
        tr("将 %1 的记录（SN：%2）中应用前的DH参数和零点写回控制器，控制器随后重启。是否继续？")
            .arg(record.time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")), record.serialNumber),
        QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    pluginLog() << "[RECORD] restore " << record.time.toString(Qt::ISODateWithMs);
    dhparameterWidget::instance()->restore(record);
}

QString recordWidget::exportSelected(const QString &folder, QString *error)
{
    const CalibrationRecord *record = selectedRecord();
    if (!record) {
        *error = QStringLiteral("no record chosen");
        return QString();
    }
    const QString path = QDir(folder).filePath(RecordCsv::recordFileName(*record));
    return AtomicFile::replace(path, RecordCsv::record(*record), error) ? path : QString();
}

QString recordWidget::exportAll(const QString &folder, QString *error)
{
    const QString path =
        QDir(folder).filePath(RecordCsv::historyFileName(QDateTime::currentDateTime()));
    return AtomicFile::replace(path, RecordCsv::history(m_history->records()), error) ? path
                                                                                      : QString();
}

void recordWidget::chooseFolderAndExport(bool all)
{
    const QString folder =
        QFileDialog::getExistingDirectory(this, tr("选择导出文件夹"), m_exportFolder);
    if (folder.isEmpty())
        return;
    m_exportFolder = folder;
    QString error;
    const QString path = all ? exportAll(folder, &error) : exportSelected(folder, &error);
    if (path.isEmpty()) {
        pluginLog() << "[RECORD] export failed: " << error;
        QMessageBox::warning(this, tr("错误"), tr("导出失败：%1").arg(error), QMessageBox::Ok);
        return;
    }
    pluginLog() << "[RECORD] exported " << path;
    QMessageBox::information(this, tr("完成"), tr("已导出：%1").arg(path), QMessageBox::Ok);
}
