#include "wholefile.h"

#include <QSaveFile>

namespace sim {

bool WholeFile::replace(const QString &path, const QByteArray &content, QString *error)
{
    QSaveFile file(path);
    // A full disk may fail only the flush of the buffer, which commit() does not always
    // notice: it would put the truncated text in place of the last good file.
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size()
        || !file.flush() || file.error() != QFileDevice::NoError || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, file.errorString());
        file.cancelWriting();
        return false;
    }
    return true;
}

} // namespace sim
