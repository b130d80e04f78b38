#pragma once

#include <QString>
#include <QStringList>

// What the pendant emulator was asked to do.
struct PendantOptions
{
    QString home;
    QString pluginDir;
    QString robotModel;
    QString screenshot;
    QString demoDir;
    QString toolsDir; // stand-in external programs for the work folder; empty for none
    QString controllerAddress; // a separate controller "HOST:PORT"; empty for the embedded one
    int quitAfterMs = -1;
    int rebootDelayMs = 1500;
    double motionPace = 1.0; // how many times faster than real time the simulated robot moves
    bool ok = true;
    QString error;

    // Parses the arguments of QCoreApplication; `ok` false with `error` on a bad value.
    static PendantOptions fromArguments(const QStringList &arguments);
};
