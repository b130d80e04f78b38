#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#ifndef PENDANT_EXECUTABLE
#error "PENDANT_EXECUTABLE names the emulator to run"
#endif

struct PendantRun
{
    int exitCode = -1; // -1 when it did not end by itself
    QString out;
    QString err;
};

// The emulator as a process of its own, offscreen. Sanitizer builds scale the wait by
// TESSEL_TIME_SCALE: the whole program runs several times slower there.
inline PendantRun runPendant(const QStringList &arguments, int timeoutMs = 30000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(PENDANT_EXECUTABLE), arguments);
    PendantRun run;
    const int scale = qMax(1, qEnvironmentVariableIntValue("TESSEL_TIME_SCALE"));
    if (!process.waitForFinished(timeoutMs * scale)) {
        process.kill();
        process.waitForFinished(3000);
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}
