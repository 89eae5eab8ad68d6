#include "app/democonsole.h"

#include <cstdio>

#ifdef Q_OS_WIN
#include <QMetaObject>

#include <mutex>
#include <thread>

#include <windows.h>
#else
#include <cerrno>
#include <unistd.h>
#endif

namespace {
constexpr int kReadSize = 1024;
}

#ifdef Q_OS_WIN
struct DemoConsole::Inbox {
    std::mutex lock;
    DemoConsole *receiver = nullptr; // null once the console is gone
};

// Blocks in ReadFile until input comes or ends. Never joined: a read of a console
// cannot be ended from outside, and the process's end ends it.
void DemoConsole::readInput(std::shared_ptr<Inbox> inbox)
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    char buffer[kReadSize];
    DWORD n = 0;
    while (ReadFile(input, buffer, sizeof buffer, &n, nullptr) && n > 0) {
        const QByteArray bytes(buffer, int(n));
        const std::lock_guard<std::mutex> locked(inbox->lock);
        DemoConsole *receiver = inbox->receiver;
        if (!receiver)
            return;
        // Queued to the console's thread; dropped with the console if it goes first.
        QMetaObject::invokeMethod(receiver, [receiver, bytes] { receiver->take(bytes); }, Qt::QueuedConnection);
    }
}

DemoConsole::DemoConsole(Simulator &simulator, QObject *parent)
    : QObject(parent), console(simulator), inbox(std::make_shared<Inbox>())
{
    inbox->receiver = this;
    std::thread(readInput, inbox).detach();
}

DemoConsole::~DemoConsole()
{
    const std::lock_guard<std::mutex> locked(inbox->lock);
    inbox->receiver = nullptr;
}

bool DemoConsole::inputUsable()
{
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    if (input == nullptr || input == INVALID_HANDLE_VALUE)
        return false;
    const DWORD type = GetFileType(input);
    return type == FILE_TYPE_CHAR || type == FILE_TYPE_PIPE || type == FILE_TYPE_DISK;
}
#else
DemoConsole::DemoConsole(Simulator &simulator, QObject *parent)
    : QObject(parent), console(simulator), notifier(STDIN_FILENO, QSocketNotifier::Read)
{
    connect(&notifier, &QSocketNotifier::activated, this, &DemoConsole::onInput);
}

DemoConsole::~DemoConsole() = default;

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
    take(QByteArray(buffer, int(n)));
}
#endif

void DemoConsole::take(const QByteArray &bytes)
{
    pending.append(bytes);
    for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
        const QByteArray answer = console.execute(QString::fromLocal8Bit(pending.left(end))).toLocal8Bit();
        std::fwrite(answer.constData(), 1, size_t(answer.size()), stdout);
        std::fflush(stdout);
        pending.remove(0, end + 1);
    }
}
