#include "recordhistory.h"

#include "common/atomicfile.h"
#include "plugin/pluginlog.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

const QString RecordHistory::kFileName = QStringLiteral("calibration_history.json");

namespace {

constexpr int kFormat = 1;

} // namespace

RecordHistory::RecordHistory(QObject *parent)
    : QObject(parent)
{
}

void RecordHistory::open(const QString &folder)
{
    // What was kept in memory for want of a folder stays, and goes into the folder given now.
    QVector<CalibrationRecord> held;
    QVector<IsoReport> heldReports;
    int heldUnsaved = 0;
    if (m_folder.isEmpty()) {
        held = m_records;
        heldReports = m_isoReports;
        heldUnsaved = m_unsaved;
    }
    m_folder = folder;
    m_records.clear();
    m_isoReports.clear();
    m_unsaved = 0;
    m_problem = Problem::None;
    m_problemDetail.clear();
    QString detail;
    if (!m_folder.isEmpty() && !load(&detail)) {
        // Set aside rather than overwritten: the engineer or a repair may still get at it.
        const QString stamp =
            QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-hhmmss"));
        const QString aside = filePath() + QStringLiteral(".damaged-") + stamp;
        if (QFile::rename(filePath(), aside)) {
            setProblem(Problem::SetAside, detail + QStringLiteral("; kept as ") + aside);
            // Whatever could be read goes into the new file.
            if (!m_records.isEmpty() || !m_isoReports.isEmpty())
                save();
        } else {
            setProblem(Problem::Unusable, detail + QStringLiteral("; cannot be set aside"));
        }
    }
    if (!held.isEmpty() || !heldReports.isEmpty()) {
        m_records += held;
        m_isoReports += heldReports;
        m_unsaved += heldUnsaved;
        save();
    }
    emit changed();
}

QString RecordHistory::filePath() const
{
    return m_folder.isEmpty() ? QString() : QDir(m_folder).filePath(kFileName);
}

const QVector<CalibrationRecord> &RecordHistory::records() const
{
    return m_records;
}

int RecordHistory::unsavedCount() const
{
    return m_unsaved;
}

RecordHistory::Problem RecordHistory::problem() const
{
    return m_problem;
}

QString RecordHistory::problemDetail() const
{
    return m_problemDetail;
}

QString RecordHistory::archiveName(const QDate &date)
{
    return QStringLiteral("calibration_history_%1.json")
        .arg(date.toString(QStringLiteral("yyyyMMdd")));
}

void RecordHistory::setProblem(Problem problem, const QString &detail)
{
    m_problem = problem;
    m_problemDetail = detail;
    if (problem != Problem::None)
        pluginLog() << "[RECORD] " << detail;
}

// False only for a file that exists and is not a history; the readable part is kept then.
bool RecordHistory::load(QString *detail)
{
    QFile file(filePath());
    if (!file.exists())
        return true;
    if (!file.open(QIODevice::ReadOnly)) {
        // Unreadable is not damaged: nothing may be written over it either.
        setProblem(Problem::Unusable, filePath() + QStringLiteral(": ") + file.errorString());
        return true;
    }
    QJsonParseError parseError{};
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll(), &parseError);
    if (!doc.isObject()) {
        *detail = filePath() + QStringLiteral(": ")
                  + (parseError.error != QJsonParseError::NoError ? parseError.errorString()
                                                                 : QStringLiteral("not a history"));
        return false;
    }
    const QJsonObject root = doc.object();
    // A later plug-in's history may hold what this one would drop when it writes it again.
    if (root.value(QStringLiteral("format")).toInt(kFormat) > kFormat) {
        setProblem(Problem::Unusable,
                   filePath() + QStringLiteral(": written by a later version (format %1)")
                                    .arg(root.value(QStringLiteral("format")).toInt()));
        return true;
    }
    bool whole = root.value(QStringLiteral("records")).isArray();
    const QJsonArray records = root.value(QStringLiteral("records")).toArray();
    for (const QJsonValue &value : records) {
        CalibrationRecord record;
        QString error;
        if (value.isObject() && CalibrationRecord::fromJson(value.toObject(), &record, &error)) {
            m_records.append(record);
        } else {
            whole = false;
            *detail = filePath() + QStringLiteral(": ")
                      + (error.isEmpty() ? QStringLiteral("a record is not an object") : error);
        }
    }
    const QJsonArray reports = root.value(QStringLiteral("iso_reports")).toArray();
    for (const QJsonValue &value : reports) {
        const QJsonObject report = value.toObject();
        const QDateTime time = QDateTime::fromString(
            report.value(QStringLiteral("time")).toString(), Qt::ISODateWithMs);
        if (time.isValid() && report.value(QStringLiteral("mean_ap")).isDouble()) {
            m_isoReports.append({time, report.value(QStringLiteral("serial_number")).toString(),
                                 report.value(QStringLiteral("mean_ap")).toDouble()});
        }
    }
    if (!whole && detail->isEmpty())
        *detail = filePath() + QStringLiteral(": no record list");
    return whole;
}

QByteArray RecordHistory::document(const QVector<CalibrationRecord> &records,
                                   const QVector<IsoReport> &reports) const
{
    QJsonArray recordArray;
    for (const CalibrationRecord &record : records)
        recordArray.append(record.toJson());
    QJsonArray reportArray;
    for (const IsoReport &report : reports) {
        reportArray.append(QJsonObject{
            {QStringLiteral("time"), report.time.toString(Qt::ISODateWithMs)},
            {QStringLiteral("serial_number"), report.serialNumber},
            {QStringLiteral("mean_ap"), report.meanAp}});
    }
    const QJsonObject root{{QStringLiteral("format"), kFormat},
                           {QStringLiteral("records"), recordArray},
                           {QStringLiteral("iso_reports"), reportArray}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}

// Records beyond the cap go to today's archive before the history lets go of them, so a
// failure in between leaves a record twice, never nowhere.
bool RecordHistory::archive(const QVector<CalibrationRecord> &records, QString *detail)
{
    const QString path = QDir(m_folder).filePath(archiveName(QDate::currentDate()));
    QVector<CalibrationRecord> archived;
    QFile existing(path);
    if (existing.exists()) {
        if (!existing.open(QIODevice::ReadOnly)) {
            *detail = path + QStringLiteral(": ") + existing.errorString();
            return false;
        }
        const QJsonDocument doc = QJsonDocument::fromJson(existing.readAll());
        const QJsonValue list = doc.object().value(QStringLiteral("records"));
        if (!list.isArray()) {
            *detail = path + QStringLiteral(": not an archive, left alone");
            return false;
        }
        const QJsonArray listed = list.toArray();
        for (const QJsonValue &value : listed) {
            CalibrationRecord record;
            QString error;
            if (!CalibrationRecord::fromJson(value.toObject(), &record, &error)) {
                *detail = path + QStringLiteral(": ") + error + QStringLiteral(", left alone");
                return false;
            }
            archived.append(record);
        }
    }
    archived += records;
    return AtomicFile::replace(path, document(archived, {}), detail);
}

bool RecordHistory::save()
{
    if (m_folder.isEmpty() || m_problem == Problem::Unusable)
        return false;
    QString detail;
    if (!QDir().mkpath(m_folder)) {
        setProblem(Problem::WriteFailed, m_folder + QStringLiteral(": cannot make the folder"));
        return false;
    }
    const int overflow = m_records.size() - kMaxRecords;
    if (overflow > 0) {
        // Once in the archive they are safe, whether or not the history can be written now:
        // kept here, every later save would archive them again.
        if (archive(m_records.mid(0, overflow), &detail))
            m_records.remove(0, overflow);
        else
            pluginLog() << "[RECORD] archive failed, the history keeps all records: " << detail;
    }
    const QVector<CalibrationRecord> kept = m_records;
    QVector<IsoReport> reports = m_isoReports;
    if (reports.size() > kMaxRecords)
        reports.remove(0, reports.size() - kMaxRecords);
    if (!AtomicFile::replace(filePath(), document(kept, reports), &detail)) {
        setProblem(Problem::WriteFailed, detail);
        return false;
    }
    m_records = kept;
    m_isoReports = reports;
    m_unsaved = 0;
    if (m_problem == Problem::WriteFailed)
        setProblem(Problem::None, QString());
    return true;
}

bool RecordHistory::append(CalibrationRecord record)
{
    // A restore knows only what it writes; what the controller held is what the last write to
    // the same robot left there.
    if (record.zeroBefore.isEmpty()) {
        for (int i = m_records.size() - 1; i >= 0; --i) {
            const CalibrationRecord &last = m_records.at(i);
            if (last.robotId == record.robotId && last.robotModel == record.robotModel) {
                record.zeroBefore = last.zeroAfter;
                break;
            }
        }
    }
    for (int i = m_isoReports.size() - 1; i >= 0; --i) {
        const IsoReport &report = m_isoReports.at(i);
        if (report.serialNumber == record.serialNumber && report.time <= record.time) {
            record.isoApBefore = report.meanAp;
            break;
        }
    }
    m_records.append(record);
    ++m_unsaved;
    const bool saved = save();
    if (!saved) {
        // The controller has changed already: the log keeps what the file could not.
        const QByteArray json = QJsonDocument(record.toJson()).toJson(QJsonDocument::Compact);
        pluginLog() << "[RECORD] not saved: " << QString::fromUtf8(json);
    }
    emit changed();
    return saved;
}

bool RecordHistory::noteIsoReport(const QString &serialNumber, double meanAp,
                                  const QDateTime &time)
{
    m_isoReports.append({time, serialNumber, meanAp});
    // The figure is of the robot as its latest write left it: an earlier record's result was
    // replaced by that write.
    for (int i = m_records.size() - 1; i >= 0; --i) {
        CalibrationRecord &record = m_records[i];
        if (record.serialNumber != serialNumber || record.time > time)
            continue;
        if (!std::isfinite(record.isoApAfter))
            record.isoApAfter = meanAp;
        break;
    }
    const bool saved = save();
    emit changed();
    return saved;
}
