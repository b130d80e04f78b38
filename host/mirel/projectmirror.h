#pragma once

#include "mirel_global.h"

#include <QObject>

class QTimer;

namespace mirel {

class ControllerManager;

// Sends the current project's teach points and variables to a controller on another machine,
// when the link comes up and after every change, so that its moves and variable commands know
// them. A controller in the pendant's own process reads them from the data tree instead.
class MIREL_EXPORT ProjectMirror : public QObject
{
    Q_OBJECT

public:
    static const QString PointsKey;
    static const QString VariablesKey;

    explicit ProjectMirror(ControllerManager *controller, QObject *parent = nullptr);
    ~ProjectMirror() override;

    // Sends at once, when the link goes to a remote controller.
    void sendNow();

private:
    void follow(const QString &path);

    ControllerManager *m_controller;
    // Many changes in one turn of the event loop (a project opened) go as one message.
    QTimer *m_pending;
};

} // namespace mirel
