#include "fakeprogram.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace support {

namespace {

const QString kDataFolder = QStringLiteral(".fakeprogram");

#ifndef Q_OS_WIN
QByteArray delaySeconds(int ms)
{
    return QByteArray::number(ms / 1000.0, 'f', 3);
}

// Inside single quotes the shell takes every byte literally, a quote excepted.
QByteArray shellQuote(const QByteArray &bytes)
{
    QByteArray quoted = bytes;
    quoted.replace('\'', QByteArrayLiteral("'\\''"));
    return '\'' + quoted + '\'';
}

QByteArray shellQuote(const QString &path)
{
    return shellQuote(QFile::encodeName(path));
}
#else
// Paths cannot hold double quotes on Windows; a batch file still expands percent signs.
QByteArray cmdQuote(const QString &path)
{
    QString native = QDir::toNativeSeparators(path);
    native.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return '"' + native.toUtf8() + '"';
}
#endif

} // namespace

FakeProgram::FakeProgram(const QString &dir, const QString &name)
    : m_dir(QFileInfo(dir).absoluteFilePath())
    , m_name(name)
{
}

FakeProgram &FakeProgram::printLine(const QString &line)
{
    m_steps.append(Step{Step::Out, line.toUtf8(), QString(), 0});
    return *this;
}

FakeProgram &FakeProgram::printLines(const QStringList &lines)
{
    for (const QString &line : lines)
        printLine(line);
    return *this;
}

FakeProgram &FakeProgram::printErrorLine(const QString &line)
{
    m_steps.append(Step{Step::Err, line.toUtf8(), QString(), 0});
    return *this;
}

FakeProgram &FakeProgram::lineDelay(int ms)
{
    m_lineDelay = qMax(0, ms);
    return *this;
}

FakeProgram &FakeProgram::pause(int ms)
{
    m_steps.append(Step{Step::Pause, QByteArray(), QString(), qMax(0, ms)});
    return *this;
}

FakeProgram &FakeProgram::writeFile(const QString &path, const QByteArray &contents)
{
    m_steps.append(Step{Step::File, contents, path, 0});
    return *this;
}

FakeProgram &FakeProgram::recordArguments(const QString &path)
{
    m_argumentsFile = path;
    return *this;
}

FakeProgram &FakeProgram::exitCode(int code)
{
    if (code < 0 || code > 255)
        qWarning("FakeProgram: exit code %d is out of 0..255", code);
    m_exitCode = code & 0xff;
    return *this;
}

QString FakeProgram::filePath() const
{
#ifdef Q_OS_WIN
    QString name = m_name;
    if (name.endsWith(QLatin1String(".exe"), Qt::CaseInsensitive))
        name.chop(4);
    return QDir(m_dir).filePath(name + QLatin1String(".cmd"));
#else
    return QDir(m_dir).filePath(m_name);
#endif
}

QString FakeProgram::dataDir() const
{
    return QDir(m_dir).filePath(kDataFolder + QLatin1Char('/') + m_name);
}

// File contents go to side files that the script copies, so that any bytes come out unchanged;
// the side files sit in a hidden folder, out of the way of code that lists the program's folder.
QString FakeProgram::write() const
{
    QDir data(dataDir());
    if (data.exists() && !data.removeRecursively()) {
        qWarning("FakeProgram: cannot clear %s", qPrintable(data.path()));
        return QString();
    }
    QStringList dataFiles;
    for (const Step &step : m_steps) {
        if (step.kind != Step::File)
            continue;
        if (!data.mkpath(QStringLiteral("."))) {
            qWarning("FakeProgram: cannot make %s", qPrintable(data.path()));
            return QString();
        }
        const QString dataFile = data.filePath(QString::number(dataFiles.size()));
        QFile file(dataFile);
        if (!file.open(QIODevice::WriteOnly) || file.write(step.data) != step.data.size()) {
            qWarning("FakeProgram: cannot write %s", qPrintable(dataFile));
            return QString();
        }
        dataFiles.append(dataFile);
    }

    const QString path = filePath();
    QFile file(path);
    const QByteArray text = script(dataFiles);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)
        || file.write(text) != text.size()) {
        qWarning("FakeProgram: cannot write %s", qPrintable(path));
        return QString();
    }
    file.close();
    const QFile::Permissions mode = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                    | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser
                                    | QFile::ReadGroup | QFile::ExeGroup | QFile::ReadOther
                                    | QFile::ExeOther;
    if (!file.setPermissions(mode)) {
        qWarning("FakeProgram: cannot make %s executable", qPrintable(path));
        return QString();
    }
    return path;
}

#ifndef Q_OS_WIN

QByteArray FakeProgram::script(const QStringList &dataFiles) const
{
    QByteArray s = "#!/bin/sh\n"
                   "# A stand-in for an external program, written by support::FakeProgram.\n"
                   "set -e\n";
    if (!m_argumentsFile.isEmpty()) {
        const QByteArray target = shellQuote(m_argumentsFile);
        s += "mkdir -p -- \"$(dirname -- " + target + ")\"\n";
        // NUL ends each argument: an argument may hold newlines but never a NUL.
        s += "{ for a; do printf '%s\\000' \"$a\"; done; } > " + target + '\n';
    }
    int fileIndex = 0;
    bool printed = false;
    for (const Step &step : m_steps) {
        switch (step.kind) {
        case Step::Out:
        case Step::Err:
            if (printed && m_lineDelay > 0)
                s += "sleep " + delaySeconds(m_lineDelay) + '\n';
            printed = true;
            s += "printf '%s\\n' " + shellQuote(step.data);
            s += step.kind == Step::Err ? " >&2\n" : "\n";
            break;
        case Step::Pause:
            s += "sleep " + delaySeconds(step.ms) + '\n';
            break;
        case Step::File: {
            const QByteArray target = shellQuote(step.path);
            s += "mkdir -p -- \"$(dirname -- " + target + ")\"\n";
            s += "cat -- " + shellQuote(dataFiles.at(fileIndex++)) + " > " + target + '\n';
            break;
        }
        }
    }
    s += "exit " + QByteArray::number(m_exitCode) + '\n';
    return s;
}

#else

// The Windows counterpart: a batch file. Printed lines go through side files as well, because
// echo cannot print every text unchanged.
QByteArray FakeProgram::script(const QStringList &dataFiles) const
{
    QByteArray s = "@echo off\r\n"
                   "rem A stand-in for an external program, written by support::FakeProgram.\r\n"
                   "chcp 65001 >nul\r\n";
    if (!m_argumentsFile.isEmpty()) {
        const QByteArray target = cmdQuote(m_argumentsFile);
        s += "type nul > " + target + "\r\n";
        s += ":next_argument\r\n"
             "if \"%~1\"==\"\" goto arguments_done\r\n"
             "echo(%~1>> " + target + "\r\n"
             "shift\r\n"
             "goto next_argument\r\n"
             ":arguments_done\r\n";
    }
    QDir data(dataDir());
    data.mkpath(QStringLiteral("."));
    int fileIndex = 0;
    int lineIndex = 0;
    bool printed = false;
    const auto sleepFor = [](int ms) {
        return "powershell -NoProfile -Command \"Start-Sleep -Milliseconds "
               + QByteArray::number(ms) + "\"\r\n";
    };
    for (const Step &step : m_steps) {
        switch (step.kind) {
        case Step::Out:
        case Step::Err: {
            if (printed && m_lineDelay > 0)
                s += sleepFor(m_lineDelay);
            printed = true;
            const QString lineFile = data.filePath(QStringLiteral("line%1").arg(lineIndex++));
            QFile file(lineFile);
            if (file.open(QIODevice::WriteOnly))
                file.write(step.data + "\r\n");
            s += "type " + cmdQuote(lineFile) + (step.kind == Step::Err ? " 1>&2\r\n" : "\r\n");
            break;
        }
        case Step::Pause:
            s += sleepFor(step.ms);
            break;
        case Step::File: {
            const QString target = step.path;
            const QString parent = QFileInfo(target).path();
            s += "if not exist " + cmdQuote(parent) + " mkdir " + cmdQuote(parent) + "\r\n";
            s += "copy /b /y " + cmdQuote(dataFiles.at(fileIndex++)) + ' ' + cmdQuote(target)
                 + " >nul\r\n";
            break;
        }
        }
    }
    s += "exit /b " + QByteArray::number(m_exitCode) + "\r\n";
    return s;
}

#endif

QStringList FakeProgram::readArguments(const QString &recordPath)
{
    QFile file(recordPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QByteArray bytes = file.readAll();
    // The batch file writes one argument per line.
    const char separator = bytes.contains('\0') || bytes.isEmpty() ? '\0' : '\n';
    QList<QByteArray> parts = bytes.split(separator);
    if (!parts.isEmpty() && parts.last().isEmpty())
        parts.removeLast();
    QStringList arguments;
    for (const QByteArray &part : qAsConst(parts))
        arguments.append(QString::fromUtf8(separator == '\n' ? part.trimmed() : part));
    return arguments;
}

} // namespace support
