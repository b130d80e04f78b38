#include "recordcsv.h"

#include <QRegularExpression>
#include <QStringList>

#include <cmath>

namespace {

const char kBom[] = "\xEF\xBB\xBF";

QString field(const QString &text)
{
    // Quoted where a spreadsheet would split or misread it; a leading sign or equals sign is
    // quoted and prefixed too, so that a serial number never runs as a formula: only a plain
    // number keeps its sign bare ("-2+3" is a sum to a spreadsheet).
    QString value = text;
    if (!value.isEmpty() && QStringLiteral("=+-@").contains(value.at(0))
        && !QRegularExpression(QStringLiteral("^[-+]?([0-9]+[.]?[0-9]*|[.][0-9]+)([eE][-+]?[0-9]+)?$"))
                .match(value)
                .hasMatch())
        value.prepend(QLatin1Char('\''));
    if (value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"'))
        || value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r'))
        || value != text) {
        value.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        return QLatin1Char('"') + value + QLatin1Char('"');
    }
    return value;
}

QString number(double value)
{
    return std::isfinite(value) ? QString::number(value, 'g', 12) : QString();
}

QString at(const QVector<double> &values, int index)
{
    return index < values.size() ? number(values.at(index)) : QString();
}

QString change(const QVector<double> &before, const QVector<double> &after, int index)
{
    if (index >= before.size() || index >= after.size())
        return QString();
    return number(after.at(index) - before.at(index));
}

QByteArray lines(const QVector<QStringList> &rows)
{
    QByteArray out(kBom);
    for (const QStringList &row : rows) {
        QStringList fields;
        for (const QString &text : row)
            fields.append(field(text));
        out += fields.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return out;
}

QStringList summaryHeader()
{
    return {QStringLiteral("time"),
            QStringLiteral("serial_number"),
            QStringLiteral("robot_model"),
            QStringLiteral("robot_id"),
            QStringLiteral("mode"),
            QStringLiteral("applied_by"),
            QStringLiteral("outcome"),
            QStringLiteral("failed_step"),
            QStringLiteral("avg_valid_position_error_mm"),
            QStringLiteral("max_valid_position_error_mm"),
            QStringLiteral("iso_ap_before_mm"),
            QStringLiteral("iso_ap_after_mm"),
            QStringLiteral("held_parameters")};
}

QStringList summary(const CalibrationRecord &r)
{
    return {r.time.toString(Qt::ISODateWithMs),
            r.serialNumber,
            r.robotModel,
            r.robotId,
            r.mode,
            CalibrationRecord::methodKey(r.method),
            r.isComplete() ? QStringLiteral("complete") : QStringLiteral("partial"),
            r.failedStep,
            number(r.avgError),
            number(r.maxError),
            number(r.isoApBefore),
            number(r.isoApAfter),
            r.heldParameters.join(QLatin1Char(' '))};
}

} // namespace

QString RecordCsv::dhLabel(int index)
{
    static const char *const names[] = {"alpha", "a", "d", "theta"};
    return QStringLiteral("link%1.%2").arg(index / 4 + 1).arg(QLatin1String(names[index % 4]));
}

QString RecordCsv::zeroLabel(int index)
{
    return QStringLiteral("joint%1.zero").arg(index + 1);
}

QByteArray RecordCsv::record(const CalibrationRecord &record)
{
    QVector<QStringList> rows;
    const QStringList header = summaryHeader();
    const QStringList values = summary(record);
    for (int i = 0; i < header.size(); ++i)
        rows.append({header.at(i), values.at(i)});
    rows.append(QStringList());
    rows.append({QStringLiteral("parameter"), QStringLiteral("before"), QStringLiteral("after"),
                 QStringLiteral("change")});
    const int dh = qMax(record.dhBefore.size(), record.dhAfter.size());
    for (int i = 0; i < dh; ++i) {
        rows.append({dhLabel(i), at(record.dhBefore, i), at(record.dhAfter, i),
                     change(record.dhBefore, record.dhAfter, i)});
    }
    const int zeros = qMax(record.zeroBefore.size(), record.zeroAfter.size());
    for (int i = 0; i < zeros; ++i) {
        rows.append({zeroLabel(i), at(record.zeroBefore, i), at(record.zeroAfter, i),
                     change(record.zeroBefore, record.zeroAfter, i)});
    }
    return lines(rows);
}

QByteArray RecordCsv::history(const QVector<CalibrationRecord> &records)
{
    int dh = 0;
    int zeros = 0;
    for (const CalibrationRecord &r : records) {
        dh = qMax(dh, qMax(r.dhBefore.size(), r.dhAfter.size()));
        zeros = qMax(zeros, qMax(r.zeroBefore.size(), r.zeroAfter.size()));
    }
    QStringList header = summaryHeader();
    for (const char *when : {"before", "after"}) {
        for (int i = 0; i < dh; ++i)
            header.append(dhLabel(i) + QLatin1Char('.') + QLatin1String(when));
        for (int i = 0; i < zeros; ++i)
            header.append(zeroLabel(i) + QLatin1Char('.') + QLatin1String(when));
    }
    QVector<QStringList> rows{header};
    for (const CalibrationRecord &r : records) {
        QStringList row = summary(r);
        for (const auto &set : {std::make_pair(&r.dhBefore, &r.zeroBefore),
                                std::make_pair(&r.dhAfter, &r.zeroAfter)}) {
            for (int i = 0; i < dh; ++i)
                row.append(at(*set.first, i));
            for (int i = 0; i < zeros; ++i)
                row.append(at(*set.second, i));
        }
        rows.append(row);
    }
    return lines(rows);
}

QString RecordCsv::recordFileName(const CalibrationRecord &record)
{
    QString serial = record.serialNumber;
    serial.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9_-]")), QStringLiteral("_"));
    return QStringLiteral("calibration_record_%1_%2.csv")
        .arg(serial, record.time.toString(QStringLiteral("yyyyMMdd-hhmmss")));
}

QString RecordCsv::historyFileName(const QDateTime &time)
{
    return QStringLiteral("calibration_history_%1.csv")
        .arg(time.toString(QStringLiteral("yyyyMMdd-hhmmss")));
}
