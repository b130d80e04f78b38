#include "atomicfile.h"

#include <QSaveFile>

bool AtomicFile::replace(const QString &path, const QByteArray &content, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    // Checked here rather than left to commit(): a short write while the buffer is flushed (a
    // full disk, a size limit) must not put the truncated text in place.
    if (file.write(content) != content.size() || !file.flush()) {
        *error = path + QStringLiteral(": ") + file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = path + QStringLiteral(": ") + file.errorString();
        return false;
    }
    return true;
}
