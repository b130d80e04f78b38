#pragma once

#include "records/calibrationrecord.h"

#include <QObject>
#include <QString>
#include <QVector>

// The history file of applied calibrations: the last `kMaxRecords` records, oldest first, and
// the mean AP of the ISO reports made, so that a record can show the robot's accuracy before
// and after it. Every change replaces the file atomically; records beyond the cap move into a
// dated archive beside it first. A file that cannot be read is set aside, never overwritten.
class RecordHistory : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxRecords = 200;
    static const QString kFileName;

    enum class Problem {
        None,
        SetAside,  // the file was damaged; it was renamed and a new history begun
        Unusable,  // the file was damaged and could not be set aside: nothing is written
        WriteFailed // the last change is only in memory
    };

    explicit RecordHistory(QObject *parent = nullptr);

    // Reads the history file in `folder`; an empty folder keeps the history in memory only.
    void open(const QString &folder);
    QString filePath() const;

    const QVector<CalibrationRecord> &records() const;
    // Records not yet in the file; the next change tries again.
    int unsavedCount() const;
    Problem problem() const;
    QString problemDetail() const;

    // Adds the ISO figure known before the record and saves. False when it stays in memory.
    bool append(CalibrationRecord record);
    // A report of `serialNumber` made at `time`: the first one after a record becomes its
    // "after" figure.
    bool noteIsoReport(const QString &serialNumber, double meanAp, const QDateTime &time);

    // The archive the records beyond the cap go to on `date`.
    static QString archiveName(const QDate &date);

signals:
    void changed();

private:
    struct IsoReport
    {
        QDateTime time;
        QString serialNumber;
        double meanAp = 0;
    };

    bool load(QString *detail);
    bool save();
    bool archive(const QVector<CalibrationRecord> &records, QString *detail);
    QByteArray document(const QVector<CalibrationRecord> &records,
                        const QVector<IsoReport> &reports) const;
    void setProblem(Problem problem, const QString &detail);

    QString m_folder;
    QVector<CalibrationRecord> m_records;
    QVector<IsoReport> m_isoReports;
    int m_unsaved = 0;
    Problem m_problem = Problem::None;
    QString m_problemDetail;
};
