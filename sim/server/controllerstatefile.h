#pragma once

#include <QJsonObject>
#include <QSet>
#include <QString>

namespace sim {

class SimulatedController;

// Keeps what a controller stores across a power cycle in a JSON file: the robot model, its DH
// parameters and zero offsets, and the command-service values set on it.
class ControllerStateFile
{
public:
    explicit ControllerStateFile(const QString &path);

    // Applies the file to a controller that is up; false (and nothing changed) when the file
    // is missing, unreadable or for another robot model. `error` says which.
    bool load(SimulatedController *controller, QString *error);
    // Writes the file when the controller's state differs from what was last written.
    bool saveIfChanged(SimulatedController *controller, QString *error);

private:
    QJsonObject snapshot(SimulatedController *controller);

    QString m_path;
    QSet<QString> m_keys;
    QJsonObject m_written;
};

} // namespace sim
