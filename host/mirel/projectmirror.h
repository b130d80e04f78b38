#pragma once

#include "mirel_global.h"

#include <QJsonArray>
#include <QObject>

namespace mirel {

class ControllerManager;

// Sends the current project's teach points and variables to a controller on another machine:
// when the link comes up, and before every command that refers to them (moves, path checks,
// variable and PERS commands) when they changed since they were last sent. A controller in the
// pendant's own process reads them from the data tree instead.
class MIREL_EXPORT ProjectMirror : public QObject
{
    Q_OBJECT

public:
    static const QString PointsKey;
    static const QString VariablesKey;

    explicit ProjectMirror(ControllerManager *controller, QObject *parent = nullptr);
    ~ProjectMirror() override;

    // Whether a command reads the points or variables on the controller.
    static bool needsProject(const QString &command);

private:
    void sendChanged(bool always);

    ControllerManager *m_controller;
    bool m_sending = false;
    QJsonArray m_sentPoints;
    QJsonArray m_sentVariables;
};

} // namespace mirel
