#pragma once

#include <QString>

// The folder the emulator runs in: relative paths of plug-ins (logs, work folder) resolve here.
class PendantHome
{
public:
    // Creates the folder and its fixed layout and makes it the current directory.
    static bool prepare(const QString &home, QString *error);
};
