#pragma once

#include <QByteArray>
#include <QString>

namespace sim {

// Puts a file in place whole or not at all: a reader sees the old file or the new one, and a
// write that fails (a full disk) leaves the old one and says so.
class WholeFile
{
public:
    static bool replace(const QString &path, const QByteArray &content, QString *error);
};

} // namespace sim
