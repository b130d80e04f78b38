#pragma once

#include <QString>
#include <QStringList>
#include <QVector>

// What a record keeps of the calibration result file besides the values it writes: the zero
// offsets the measuring program found in the controller before ("zero_points_before", NaN
// where it could not tell), the validation errors and the parameters it held.
struct ResultFacts
{
    QVector<double> zeroBefore;
    double avgError;
    double maxError;
    QStringList heldParameters;

    ResultFacts();
    // Whatever the file holds; a missing or unreadable file leaves every fact unknown.
    static ResultFacts read(const QString &path);
};
