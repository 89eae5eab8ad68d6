#pragma once

#include <QProcess>
#include <QString>

// What a program run by a test did: its exit code and both outputs.
struct ProgramRun {
    bool finished = false; // within the time given; killed otherwise
    bool crashed = false;
    int code = -1; // -1 when it crashed or did not finish
    QString out;
    QString err;
};

// Waits up to timeoutMs for the started process p to end (killing it if it does not)
// and collects what it did.
inline ProgramRun waitForProgram(QProcess &p, int timeoutMs)
{
    ProgramRun r;
    r.finished = p.waitForFinished(timeoutMs);
    if (!r.finished) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.code = r.crashed ? -1 : p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}
