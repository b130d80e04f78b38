#pragma once

#include <Eigen/Core>

#include <QJsonArray>
#include <QJsonObject>
#include <QString>
#include <QVector>

namespace sim {

// One test pose of the ISO settings: its name ("P1" .. "P5"), the flange position (mm) and the
// Euler angles a, b, c (degrees) as the controller takes them.
struct IsoTestPose
{
    QString name;
    Eigen::Vector3d positionMm = Eigen::Vector3d::Zero();
    Eigen::Vector3d eulerDeg = Eigen::Vector3d::Zero();
};

// The calibration request "calibInfo.json" that the pendant leaves in the work folder: which
// controller and robot, the mode, the locked DH parameters and, once the ISO settings are
// saved, the ISO test's poses and cycles.
class CalibRequest
{
public:
    static QString fileName();

    // False, with the reason, when the file is missing or is no JSON object, or when
    // "algorithm_constraints", "compliance" or "payload_kg" has the wrong type.
    bool read(const QString &workFolder, QString *error);
    // The same for a request file anywhere.
    bool readFile(const QString &path, QString *error);
    // False, with the reason, when "iso_config" is missing or does not hold the five poses.
    bool readIsoConfig(QString *error);

    // "robot_profile"."ip": "HOST" or "HOST:PORT"; empty when the request names none.
    QString controllerAddress() const;
    QString serialNumber() const;
    QString robotName() const;
    bool productionMode() const;
    QJsonArray constraints() const;
    // Whether the joints' compliance is identified with the geometry ("compliance", false when
    // left out), under the gravity of the tool plate and "payload_kg" (0 when left out).
    bool compliance() const;
    double payloadKg() const;

    int isoCycles() const;
    QString isoSavePath() const;
    QVector<IsoTestPose> isoPoses() const;

private:
    QJsonObject m_root;
    QString m_address;
    QString m_serialNumber;
    QString m_robotName;
    bool m_production = false;
    bool m_compliance = false;
    double m_payloadKg = 0;
    int m_isoCycles = 0;
    QString m_isoSavePath;
    QVector<IsoTestPose> m_isoPoses;
};

} // namespace sim
