#pragma once

// What every fuzz target needs: a promise check that libFuzzer and the corpus driver both see
// as a crash when it breaks, and the input as a real file, since the readers take file names.
#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace fuzz {

inline void expect(bool condition, const char *promise)
{
    if (!condition) {
        std::fprintf(stderr, "broken: %s\n", promise);
        std::abort();
    }
}

// Writes the input into `fileName` in one temporary folder for the whole run and returns its
// path. Rewritten per input: cheap, and the reader gets a real file as on the pendant.
inline std::string writeInput(const char *fileName, const uint8_t *data, size_t size)
{
    static QTemporaryDir dir;
    std::string path =
        QDir(dir.path()).filePath(QString::fromUtf8(fileName)).toUtf8().toStdString();
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char *>(data), static_cast<std::streamsize>(size));
    expect(file.good(), "the input is written");
    return path;
}

} // namespace fuzz
