#pragma once

#include <QObject>
#include <QString>

namespace mirel {
class ControllerManager;
}

namespace sim {
class SimulatedController;
}

namespace support {

// Runs the host on a simulated controller of its own: plugs it into the host's controller
// manager when made, and unplugs it when destroyed.
class SimHost : public QObject
{
    Q_OBJECT

public:
    static constexpr int DefaultTimeoutMs = 5000;

    explicit SimHost(QObject *parent = nullptr);
    ~SimHost() override;

    sim::SimulatedController *controller() const;
    mirel::ControllerManager *manager() const;

    // Selects `model` unless it is empty, brings the link up and waits until the host has read
    // the controller's parameters and the command service reports "connected". A link that is
    // up already is brought down first, so that the host reads the new model.
    bool start(const QString &model = QString(), int timeoutMs = DefaultTimeoutMs);
    // Drops the link and waits until the host has noticed.
    bool stop(int timeoutMs = DefaultTimeoutMs);
    bool isConnected() const;

private:
    sim::SimulatedController *m_controller;
};

} // namespace support
