#pragma once

#include "pendantpaths.h"

#include <QSize>
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
    QSize windowSize{1280, 800}; // a pendant's screen; the window keeps it
    QString language; // "en" or "zh"; empty to follow the system's locale
    int quitAfterMs = -1;
    // Load every library, make every module, show each page once, then quit; non-zero on any
    // library that does not load or adds no plug-in, and on a folder without plug-ins.
    bool check = false;
    int rebootDelayMs = 1500;
    double motionPace = 1.0; // how many times faster than real time the simulated robot moves
    bool ok = true;
    QString error;
    // Help or version text: print it and exit successfully without running.
    QString printOnly;

    // Parses the command line; `ok` false with `error` on a bad value. Folders not given come
    // from `paths`; relative files and folders given are made absolute against the current
    // folder, which the session later leaves for the home. Needs no display, only a QCoreApplication for the help text.
    static PendantOptions fromArguments(const QStringList &arguments,
                                        const PendantPaths &paths = PendantPaths::ofApplication());
    // "1280x800"; an invalid size when the text is not one.
    static QSize parseSize(const QString &text);
};
