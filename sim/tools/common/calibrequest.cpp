#include "calibrequest.h"

#include "jsonfile.h"

#include <cmath>

namespace sim {

namespace {

constexpr int kIsoPoses = 5;

bool readPose(const QJsonValue &value, IsoTestPose *pose)
{
    const QJsonArray numbers = value.toArray();
    if (numbers.size() != 6)
        return false;
    for (int i = 0; i < 6; ++i) {
        if (!numbers.at(i).isDouble() || !std::isfinite(numbers.at(i).toDouble()))
            return false;
    }
    pose->positionMm = {numbers.at(0).toDouble(), numbers.at(1).toDouble(),
                        numbers.at(2).toDouble()};
    pose->eulerDeg = {numbers.at(3).toDouble(), numbers.at(4).toDouble(),
                      numbers.at(5).toDouble()};
    return true;
}

} // namespace

QString CalibRequest::fileName()
{
    return QStringLiteral("calibInfo.json");
}

bool CalibRequest::read(const QString &workFolder, QString *error)
{
    return readFile(workFolder + QLatin1Char('/') + fileName(), error);
}

bool CalibRequest::readFile(const QString &path, QString *error)
{
    if (!JsonFile::read(path, &m_root, error))
        return false;
    const QJsonObject profile = m_root.value(QStringLiteral("robot_profile")).toObject();
    m_address = profile.value(QStringLiteral("ip")).toString().trimmed();
    m_serialNumber = profile.value(QStringLiteral("serial_number")).toString();
    m_robotName = profile.value(QStringLiteral("robot_name")).toString();
    m_production = m_root.value(QStringLiteral("mode")).toString() == QLatin1String("product");
    const QJsonValue constraints = m_root.value(QStringLiteral("algorithm_constraints"));
    if (!constraints.isUndefined() && !constraints.isArray()) {
        *error = QStringLiteral("%1: \"algorithm_constraints\" is no array").arg(path);
        return false;
    }
    const QJsonValue compliance = m_root.value(QStringLiteral("compliance"));
    if (!compliance.isUndefined() && !compliance.isBool()) {
        *error = QStringLiteral("%1: \"compliance\" is not true or false").arg(path);
        return false;
    }
    m_compliance = compliance.toBool(false);
    const QJsonValue payload = m_root.value(QStringLiteral("payload_kg"));
    m_payloadKg = payload.toDouble(0.0);
    if (!payload.isUndefined()
        && (!payload.isDouble() || !std::isfinite(m_payloadKg) || m_payloadKg < 0.0)) {
        *error = QStringLiteral("%1: \"payload_kg\" is not a number of at least 0").arg(path);
        return false;
    }
    return true;
}

bool CalibRequest::readIsoConfig(QString *error)
{
    const QJsonObject config = m_root.value(QStringLiteral("iso_config")).toObject();
    if (config.isEmpty()) {
        *error = QStringLiteral("the request holds no ISO settings (\"iso_config\")");
        return false;
    }
    m_isoCycles = config.value(QStringLiteral("sample_times")).toInt(-1);
    m_isoSavePath = config.value(QStringLiteral("save_path")).toString();
    const QJsonObject poses = config.value(QStringLiteral("iso_poses")).toObject();
    m_isoPoses.clear();
    for (int k = 1; k <= kIsoPoses; ++k) {
        IsoTestPose pose;
        pose.name = QStringLiteral("P%1").arg(k);
        if (!readPose(poses.value(QStringLiteral("point%1").arg(k)), &pose)) {
            *error = QStringLiteral("ISO pose \"point%1\" is not six numbers").arg(k);
            return false;
        }
        m_isoPoses.append(pose);
    }
    return true;
}

QString CalibRequest::controllerAddress() const
{
    return m_address;
}

QString CalibRequest::serialNumber() const
{
    return m_serialNumber;
}

QString CalibRequest::robotName() const
{
    return m_robotName;
}

bool CalibRequest::productionMode() const
{
    return m_production;
}

bool CalibRequest::compliance() const
{
    return m_compliance;
}

double CalibRequest::payloadKg() const
{
    return m_payloadKg;
}

QJsonArray CalibRequest::constraints() const
{
    return m_root.value(QStringLiteral("algorithm_constraints")).toArray();
}

int CalibRequest::isoCycles() const
{
    return m_isoCycles;
}

QString CalibRequest::isoSavePath() const
{
    return m_isoSavePath;
}

QVector<IsoTestPose> CalibRequest::isoPoses() const
{
    return m_isoPoses;
}

} // namespace sim
