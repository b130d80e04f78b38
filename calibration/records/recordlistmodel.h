#pragma once

#include <QAbstractTableModel>
#include <QPointer>

class RecordHistory;
struct CalibrationRecord;

// The history as a table, newest record first.
class RecordListModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { Time, Serial, Method, Outcome, MeanError, MaxError, ApBefore, ApAfter, Columns };

    explicit RecordListModel(RecordHistory *history, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    // The record shown in `row`, or null.
    const CalibrationRecord *recordAt(int row) const;
    QString methodText(const CalibrationRecord &record) const;
    QString outcomeText(const CalibrationRecord &record) const;

private:
    // A column's heading, unit included; the tool tip shows it on one line.
    QString headerText(int section) const;

    QPointer<RecordHistory> m_history;
};
