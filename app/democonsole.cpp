#include "app/democonsole.h"

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace {
constexpr int kReadSize = 1024;
}

DemoConsole::DemoConsole(Simulator &simulator, QObject *parent)
    : QObject(parent), console(simulator), notifier(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&notifier, &QSocketNotifier::activated, this, &DemoConsole::onInput);
}

bool DemoConsole::inputUsable()
{
    return !isatty(STDIN_FILENO) || tcgetpgrp(STDIN_FILENO) == getpgrp();
}

void DemoConsole::onInput()
{
    char buffer[kReadSize];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR)
        return;
    if (n <= 0) { // the end of input (none at all when started from a desktop)
        notifier.setEnabled(false);
        return;
    }
    pending.append(buffer, int(n));
    for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
        const QByteArray answer = console.execute(QString::fromLocal8Bit(pending.left(end))).toLocal8Bit();
        std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout);
        std::fflush(stdout);
        pending.remove(0, end + 1);
    }
}
