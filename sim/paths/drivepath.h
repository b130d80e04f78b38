#pragma once

#include <QString>

namespace sim {

// The plug-in names fixed folders on drive D: ("D:/VeltraPemba", "D:\VeltraReport"). On Windows
// they are real. Elsewhere a drive path is the folder of the same name below a root (the
// emulator's home): the drive letter with its colon becomes the first folder and either
// separator, '/' or '\', separates folders, so both spellings name the same folder:
//     "D:\VeltraReport", "D:/VeltraReport"  ->  "<root>/D:/VeltraReport"
// ".." stops at the top of the drive, as it does on Windows. Any other path is left as it is.
class DrivePath
{
public:
    // "X:" alone or followed by a separator, X a letter.
    static bool isDrivePath(const QString &path);
    // The folder `path` names on this machine; relative results stay relative when `root` is
    // empty.
    static QString toLocal(const QString &path, const QString &root = QString());
    // The mapping as done where drives do not exist; toLocal() uses it off Windows.
    static QString mapBelow(const QString &path, const QString &root);
};

} // namespace sim
