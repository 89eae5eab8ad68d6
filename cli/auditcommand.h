#pragma once

#include <QStringList>

// `orbix audit`: a service visit's line at once. Scans the line as `orbix scan` does,
// then writes for every ОРБИКС-11 found its report, its settings file and its
// oscillogram when it holds one, and an index of them all (audit.csv). A device that
// fails is noted in the index and the audit goes on.
class AuditCommand
{
public:
    static int run(const QStringList &arguments);
};
