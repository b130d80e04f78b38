#include "calibrequestfile.h"

#include "common/atomicfile.h"
#include "common/calibrationstate.h"

#include <QDir>
#include <QJsonDocument>

CalibRequestFile::CalibRequestFile(const RobotProfile &profile, const QString &calibMode)
    : robot(profile)
    , mode(calibMode)
{
}

void CalibRequestFile::addLockedParam(int jointIndex, const QString &name)
{
    auto it = lockedParams.find(jointIndex);
    if (it == lockedParams.end()) {
        jointOrder.append(jointIndex);
        it = lockedParams.insert(jointIndex, QJsonArray());
    }
    it->append(name);
}

QJsonObject CalibRequestFile::toJson() const
{
    QJsonObject profile;
    profile.insert(QStringLiteral("ip"), robot.ip);
    profile.insert(QStringLiteral("serial_number"), robot.serialNumber);
    profile.insert(QStringLiteral("robot_name"), robot.robotName);
    profile.insert(QStringLiteral("model_type"), robot.modelType);

    QJsonArray constraints;
    for (int joint : jointOrder) {
        QJsonObject constraint;
        constraint.insert(QStringLiteral("joint_index"), joint);
        constraint.insert(QStringLiteral("locked_params"), lockedParams.value(joint));
        constraints.append(constraint);
    }

    QJsonObject root;
    root.insert(QStringLiteral("file_type"), QStringLiteral("calib_info"));
    root.insert(QStringLiteral("robot_profile"), profile);
    root.insert(QStringLiteral("mode"), mode);
    root.insert(QStringLiteral("algorithm_constraints"), constraints);
    return root;
}

QString CalibRequestFile::filePath(const QString &folder)
{
    return folder + QLatin1Char('/') + common::calibInfoFileName;
}

// The collector may read the file at any time after a start, so it is never seen half written.
bool CalibRequestFile::write(const QString &folder, QString *error) const
{
    // An empty folder would put the file at the root of the drive.
    if (folder.isEmpty()) {
        *error = QStringLiteral("no work folder");
        return false;
    }
    if (!QDir(folder).exists() && !QDir().mkpath(folder)) {
        *error = QStringLiteral("cannot create the folder ") + folder;
        return false;
    }
    const QString path = filePath(folder);
    const QByteArray text = QJsonDocument(toJson()).toJson(QJsonDocument::Indented);
    return AtomicFile::replace(path, text, error);
}
