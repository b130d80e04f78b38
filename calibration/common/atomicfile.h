#pragma once

#include <QByteArray>
#include <QString>

// Replaces a file as a whole: the new content goes to a temporary file beside it, which is
// renamed over the old one only once it is complete. A failed write leaves the old file as it
// was and no temporary behind.
class AtomicFile
{
public:
    static bool replace(const QString &path, const QByteArray &content, QString *error);
};
