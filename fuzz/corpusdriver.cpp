// Runs the fuzz entry point over every file of a folder, so the corpus is checked in any build.
#include <QDir>
#include <QFile>
#include <QTextStream>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

int main(int argc, char *argv[])
{
    QTextStream out(stdout);
    if (argc != 2) {
        out << "usage: corpusdriver <folder>\n";
        return 2;
    }
    const QFileInfoList files = QDir(QString::fromLocal8Bit(argv[1])).entryInfoList(QDir::Files);
    int run = 0;
    for (const QFileInfo &info : files) {
        QFile file(info.absoluteFilePath());
        if (!file.open(QIODevice::ReadOnly))
            return 1;
        const QByteArray bytes = file.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                               static_cast<size_t>(bytes.size()));
        ++run;
    }
    out << run << " passed, 0 failed\n";
    return run > 0 ? 0 : 1;
}
