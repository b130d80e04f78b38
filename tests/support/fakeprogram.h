#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

namespace support {

// Writes a small stand-in for an external program: a script with the run bit, under the name
// given (for instance "collectCalibPoses_v1.2.exe"). The steps run in the order they were added;
// a step that fails (a file that cannot be written) ends the program with a non-zero code.
//
//     const QString exe = FakeProgram(dir, "collectCalibPoses_v1.2.exe")
//                             .printLine("[PROGRESS] 1/5")
//                             .writeFile("optimized_dh.json", json)
//                             .exitCode(0)
//                             .write();
class FakeProgram
{
public:
    FakeProgram(const QString &dir, const QString &name);

    // One line on stdout or stderr, UTF-8, byte for byte; the newline is added.
    FakeProgram &printLine(const QString &line);
    FakeProgram &printLines(const QStringList &lines);
    FakeProgram &printErrorLine(const QString &line);
    // Pause before every printed line but the first.
    FakeProgram &lineDelay(int ms);
    FakeProgram &pause(int ms);
    // A relative path resolves against the program's working directory when it runs; missing
    // parent folders are made.
    FakeProgram &writeFile(const QString &path, const QByteArray &contents);
    // Before anything else, writes the command-line arguments to `path` (see readArguments).
    FakeProgram &recordArguments(const QString &path);
    // 0 to 255.
    FakeProgram &exitCode(int code);

    // Writes the program and returns its full path; empty on failure.
    QString write() const;
    // Where write() puts the program.
    QString filePath() const;

    // The arguments a program recorded with recordArguments().
    static QStringList readArguments(const QString &recordPath);

private:
    struct Step
    {
        enum Kind { Out, Err, File, Pause };
        Kind kind;
        QByteArray data;
        QString path;
        int ms = 0;
    };

    QString dataDir() const;
    QByteArray script(const QStringList &dataFiles) const;

    QString m_dir;
    QString m_name;
    QVector<Step> m_steps;
    QString m_argumentsFile;
    int m_lineDelay = 0;
    int m_exitCode = 0;
};

} // namespace support
