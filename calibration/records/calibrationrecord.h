#pragma once

#include <QDateTime>
#include <QJsonObject>
#include <QMetaType>
#include <QString>
#include <QStringList>
#include <QVector>

// One write of a DH set and zero offsets to the controller whose DH write succeeded: what the
// controller held before and after, and what the calibration behind it showed. Unknown numbers
// are NaN (null in the file).
struct CalibrationRecord
{
    enum class Method { Manual, Automatic, Restore };
    // Why a record cannot be written back.
    enum class RestoreBlock { None, ProductionMode, ZeroUnknown, NoBeforeValues };

    QDateTime time;
    QString serialNumber;
    QString robotModel;
    QString robotId;
    QString mode; // "normal" or "product", as the calibration ran
    Method method = Method::Manual;
    QString failedStep; // empty when the whole sequence went through
    QVector<double> dhBefore; // the controller's whole set, extra link group included
    QVector<double> dhAfter;
    QVector<double> zeroBefore;
    QVector<double> zeroAfter;
    double avgError; // validation errors of the calibration (mm)
    double maxError;
    QStringList heldParameters;
    double isoApBefore; // mean AP of the ISO reports for the serial number (mm)
    double isoApAfter;
    QDateTime restoredFrom; // the record a restore wrote back

    CalibrationRecord();

    bool isComplete() const { return failedStep.isEmpty(); }
    RestoreBlock restoreBlock() const;

    QJsonObject toJson() const;
    // False, with the reason, for an object that is not a record.
    static bool fromJson(const QJsonObject &object, CalibrationRecord *record, QString *error);

    static QString methodKey(Method method);
};

Q_DECLARE_METATYPE(CalibrationRecord)
