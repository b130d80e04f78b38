#pragma once

#include <QJsonObject>
#include <QSet>
#include <QString>

namespace sim {

class SimulatedController;

// Keeps what a controller stores across a power cycle in a JSON file: the robot model, its DH
// parameters and zero offsets, the projects it holds with the start-up project and the PERS
// values, and the command-service values set on it (among them the teach points and program
// variables a pendant sent).
class ControllerStateFile
{
public:
    enum LoadResult { Loaded, Missing, Unusable };

    explicit ControllerStateFile(const QString &path);

    // Applies the file to a controller that is up. Missing: nothing changed. Unusable (not
    // readable, not a state, or of another robot model): nothing changed, and the file is moved
    // aside (`error` names where) so that it is never overwritten; when it cannot be moved the
    // state is not saved at all. `error` says what happened.
    LoadResult load(SimulatedController *controller, QString *error);
    // Writes the file when the controller's state differs from what was last written.
    bool saveIfChanged(SimulatedController *controller, QString *error);

private:
    QJsonObject snapshot(SimulatedController *controller);
    LoadResult setAside(const QString &why, QString *error);

    QString m_path;
    QSet<QString> m_keys;
    QJsonObject m_written;
    bool m_writable = true;
};

} // namespace sim
