#include "benchlines.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <vector>

namespace benchlines {

bool verify(const QString &folder, int prefix, int threads, long long perThread,
            const QString &skipFile, qint64 skip)
{
    std::vector<std::vector<bool>> seen(size_t(threads), std::vector<bool>(size_t(perThread), false));
    long long count = 0;
    QDirIterator it(folder, {QStringLiteral("*.log")}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (!file.open(QIODevice::ReadOnly))
            return false;
        const bool skipped = !skipFile.isEmpty()
                             && QFileInfo(file).canonicalFilePath()
                                    == QFileInfo(skipFile).canonicalFilePath();
        if (skipped && !file.seek(skip))
            return false;
        const QByteArray all = file.readAll();
        int start = 0;
        while (start < all.size()) {
            int end = all.indexOf('\n', start);
            if (end < 0) {
                std::fprintf(stderr, "%s: last line unended\n", qPrintable(file.fileName()));
                return false;
            }
            const QByteArray line = all.mid(start + prefix, end - start - prefix);
            start = end + 1;
            int thread = -1;
            long long index = -1;
            int used = 0;
            const bool parsed = line.size() == kLineBytes - 1 - prefix
                                && std::sscanf(line.constData(), "%d-%lld-%n", &thread, &index,
                                               &used) == 2
                                && line.indexOf(QByteArray(line.size() - used, 'x')) == used;
            if (!parsed || thread < 0 || thread >= threads || index < 0 || index >= perThread
                || seen[size_t(thread)][size_t(index)]) {
                std::fprintf(stderr, "%s: torn, foreign or doubled line: %s\n",
                             qPrintable(file.fileName()), line.left(120).constData());
                return false;
            }
            seen[size_t(thread)][size_t(index)] = true;
            ++count;
        }
    }
    if (count != threads * perThread) {
        std::fprintf(stderr, "%s: %lld lines of %lld\n", qPrintable(folder), count,
                     threads * perThread);
        return false;
    }
    return true;
}

QString runBase(const char *name)
{
    static QTemporaryDir root(QDir::tempPath() + QStringLiteral("/tessel-bench-XXXXXX"));
    static int run = 0;
    ++run;
    const QString folder = root.path() + QStringLiteral("/%1-%2").arg(QLatin1String(name)).arg(run);
    QDir().mkpath(folder);
    return folder + QStringLiteral("/run%1").arg(run);
}

} // namespace benchlines
