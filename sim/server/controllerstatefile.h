#pragma once

#include <QJsonObject>
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
    // aside (`error` names where) so that it is never overwritten; when it cannot be moved no
    // change can be saved, and saveIfChanged() refuses every one. `error` says what happened.
    LoadResult load(SimulatedController *controller, QString *error);
    // Writes the file when the controller's state differs from what was last written. When it
    // cannot (the disk is full, the folder is not writable, or the file would pass the size
    // the next start reads), the last good file stays, the controller's state is put back to
    // what it holds, and the result is false with the reason in `error`.
    bool saveIfChanged(SimulatedController *controller, QString *error);
    // Saves after every change a client makes through the controller, before its answer,
    // which reports a failed save (SimulatedController::NotSaved). Reasons go to stderr.
    void keep(SimulatedController *controller);

    // The largest file a start reads; a change that would make it larger is refused.
    static constexpr qint64 MaxFileBytes = 64 * 1024 * 1024;

private:
    QJsonObject snapshot(const SimulatedController *controller) const;
    void apply(SimulatedController *controller, const QJsonObject &state);
    void restore(SimulatedController *controller);
    LoadResult setAside(const QString &why, QString *error);

    QString m_path;
    // What the file holds, or the state loaded when nothing was written yet.
    QJsonObject m_written;
    bool m_writable = true;
};

} // namespace sim
