#pragma once

#include "records/calibrationrecord.h"

#include <QByteArray>
#include <QString>
#include <QVector>

// Records as comma-separated text (RFC 4180, UTF-8 with a byte order mark, so that a
// spreadsheet shows non-ASCII serial numbers as written).
class RecordCsv
{
public:
    // Every DH value and zero offset of one record, before and after.
    static QByteArray record(const CalibrationRecord &record);
    // One row per record, oldest first, the values in columns.
    static QByteArray history(const QVector<CalibrationRecord> &records);

    static QString recordFileName(const CalibrationRecord &record);
    static QString historyFileName(const QDateTime &time);
    // The parameter a position of a DH set or zero list stands for: "link2.d", "joint3.zero".
    static QString dhLabel(int index);
    static QString zeroLabel(int index);
};
