#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QVector>

// The calibration request "calibInfo.json": the robot, the mode, and the DH parameters the
// optimiser must leave as they are.
class CalibRequestFile
{
public:
    struct RobotProfile
    {
        QString ip;
        QString serialNumber;
        QString robotName;
        int modelType = 0;
    };

    CalibRequestFile(const RobotProfile &profile, const QString &calibMode);

    // Joints are listed in the order in which they first lock a parameter.
    void addLockedParam(int jointIndex, const QString &name);
    QJsonObject toJson() const;

    static QString filePath(const QString &folder);
    // Makes the folder if need be and replaces the file as a whole; on failure the earlier file
    // stays as it was and `error` says why.
    bool write(const QString &folder, QString *error) const;

private:
    RobotProfile robot;
    QString mode;
    QMap<int, QJsonArray> lockedParams;
    QVector<int> jointOrder;
};
