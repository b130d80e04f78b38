#include "recordlistmodel.h"

#include "common/figuretext.h"
#include "records/recordhistory.h"

#include <QBrush>
#include <QColor>

RecordListModel::RecordListModel(RecordHistory *history, QObject *parent)
    : QAbstractTableModel(parent)
    , m_history(history)
{
    connect(history, &RecordHistory::changed, this, [this] {
        beginResetModel();
        endResetModel();
    });
}

int RecordListModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() || !m_history ? 0 : m_history->records().size();
}

int RecordListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : Columns;
}

const CalibrationRecord *RecordListModel::recordAt(int row) const
{
    if (!m_history || row < 0 || row >= m_history->records().size())
        return nullptr;
    const QVector<CalibrationRecord> &records = m_history->records();
    return &records.at(records.size() - 1 - row);
}

QString RecordListModel::methodText(const CalibrationRecord &record) const
{
    switch (record.method) {
    case CalibrationRecord::Method::Manual:
        return tr("手动应用");
    case CalibrationRecord::Method::Automatic:
        return tr("自动应用");
    case CalibrationRecord::Method::Restore:
        return tr("恢复");
    }
    return QString();
}

QString RecordListModel::outcomeText(const CalibrationRecord &record) const
{
    return record.isComplete() ? tr("完整") : tr("部分（%1失败）").arg(record.failedStep);
}

QVariant RecordListModel::data(const QModelIndex &index, int role) const
{
    const CalibrationRecord *record = recordAt(index.row());
    if (!record)
        return QVariant();
    if (role == Qt::ForegroundRole && index.column() == Outcome && !record->isComplete())
        return QBrush(QColor(0xb9, 0x1c, 0x1c));
    if (role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    // The columns share the page's width: a cell too narrow for its text shows it whole here.
    if (role == Qt::ToolTipRole)
        return data(index, Qt::DisplayRole);
    if (role != Qt::DisplayRole)
        return QVariant();
    switch (index.column()) {
    case Time:
        return record->time.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    case Serial:
        return record->serialNumber;
    case Method:
        return methodText(*record);
    case Outcome:
        return outcomeText(*record);
    case MeanError:
        return common::figureText(record->avgError);
    case MaxError:
        return common::figureText(record->maxError);
    case ApBefore:
        return common::figureText(record->isoApBefore);
    case ApAfter:
        return common::figureText(record->isoApAfter);
    default:
        return QVariant();
    }
}

QVariant RecordListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::ToolTipRole))
        return QAbstractTableModel::headerData(section, orientation, role);
    const QString text = headerText(section);
    // Eight columns share a pendant's width: the unit goes on a line of its own.
    const int unit = text.lastIndexOf(QLatin1Char('('));
    if (role == Qt::DisplayRole && unit > 0)
        return QString(text).insert(unit, QLatin1Char('\n'));
    return text;
}

QString RecordListModel::headerText(int section) const
{
    switch (section) {
    case Time:
        return tr("时间");
    case Serial:
        return tr("SN号");
    case Method:
        return tr("方式");
    case Outcome:
        return tr("结果");
    case MeanError:
        return tr("平均误差(mm)");
    case MaxError:
        return tr("最大误差(mm)");
    case ApBefore:
        return tr("ISO AP前(mm)");
    case ApAfter:
        return tr("ISO AP后(mm)");
    default:
        return QString();
    }
}
