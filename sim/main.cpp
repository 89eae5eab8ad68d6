// orbix-sim: simulated devices on a pseudo-terminal (or a real serial port: on Windows
// a COM port) for tests, benchmarks and demonstrations without hardware.
#include "sim/simconsole.h"
#include "sim/simoptions.h"
#include "sim/simtcpserver.h"
#include "sim/simulator.h"
#include "version/buildversion.h"

#include <QString>
#include <QStringList>

#include <cerrno>
#include <csignal>
#include <cstdio>
#ifdef Q_OS_WIN
#include "sim/simwake.h"

#include <io.h>
#include <thread>
#include <windows.h>
#else
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>
#endif

namespace {

constexpr int kUsageError = 2;
constexpr int kStartError = 1;

void print(FILE *to, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    fwrite(bytes.constData(), 1, size_t(bytes.size()), to);
    fflush(to);
}

#ifndef Q_OS_WIN
// SIGINT and SIGTERM arrive on a descriptor; blocked before any thread exists, so no
// thread is ever interrupted by them.
int signalDescriptor()
{
    sigset_t mask;
    sigemptyset(&mask);
    sigaddset(&mask, SIGINT);
    sigaddset(&mask, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &mask, nullptr);
    signal(SIGPIPE, SIG_IGN); // a closed stdout must not end the simulator
    return signalfd(-1, &mask, SFD_CLOEXEC);
}
#endif

bool startSimulator(Simulator &sim, const SimOptions &options)
{
    sim.setSeed(options.seed);
    for (const SimDeviceConfig &d : options.effectiveDevices())
        sim.addDevice(d);
    sim.setAccessCode(options.accessCode);
    sim.setTurnaroundMs(options.turnaroundMs);
#ifdef Q_OS_WIN
    // Windows has no pseudo-terminal: without a COM port the devices are served on the
    // network only.
    if (options.ttyPath.isEmpty() && (options.tcpPort >= 0 || options.modbusTcpPort >= 0))
        return true;
#endif
    const bool ok = options.ttyPath.isEmpty() ? sim.start(options.linkPath) : sim.startOnTty(options.ttyPath);
    if (!ok)
        print(stderr, QStringLiteral("orbix-sim: %1\n").arg(sim.errorString()));
    return ok;
}

// Runs the complete lines in pending; false once standard input has ended.
bool readCommands(SimConsole &console, QByteArray &pending)
{
    char buffer[1024];
#ifdef Q_OS_WIN
    const int n = ::_read(0, buffer, sizeof buffer);
#else
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
#endif
    if (n < 0 && errno == EINTR)
        return true;
    if (n <= 0)
        return false; // end of input (or none at all, as in CI): keep serving
    pending.append(buffer, int(n));
    for (int end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
        print(stdout, console.execute(QString::fromLocal8Bit(pending.left(end))));
        pending.remove(0, end + 1);
    }
    return true;
}

#ifdef Q_OS_WIN
SimWake *interruptWake = nullptr;

// Ctrl+C, Ctrl+Break, the console closing: main stops the simulator.
BOOL WINAPI onConsoleEvent(DWORD)
{
    interruptWake->notify();
    return TRUE;
}

bool interruptReady(SimWake &interrupt)
{
    interruptWake = &interrupt;
    return interrupt.create() && SetConsoleCtrlHandler(onConsoleEvent, TRUE);
}

// Windows cannot wait for the console and an event at once: commands are read on a
// thread of their own, left blocked in its read when the simulator ends.
void serve(Simulator &sim, const SimWake &interrupt)
{
    std::thread([&sim] {
        SimConsole console(sim);
        QByteArray pending;
        while (readCommands(console, pending)) {
        }
    }).detach();
    interrupt.wait();
}
#else
void serve(Simulator &sim, int signalFd)
{
    SimConsole console(sim);
    QByteArray pending;
    bool input = true;
    for (;;) {
        pollfd p[2] = {{signalFd, POLLIN, 0}, {input ? STDIN_FILENO : -1, POLLIN, 0}};
        if (::poll(p, 2, -1) < 0 && errno != EINTR)
            return;
        if (p[0].revents != 0)
            return;
        if (p[1].revents & (POLLIN | POLLHUP))
            input = readCommands(console, pending);
        else if (p[1].revents != 0)
            input = false;
    }
}
#endif

} // namespace

int main(int argc, char *argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    SimOptions options;
    if (!options.parse(arguments)) {
        print(stderr, QStringLiteral("orbix-sim: %1\nTry orbix-sim --help.\n").arg(options.errorString()));
        return kUsageError;
    }
    if (options.version) {
        print(stdout, BuildVersion::line(QStringLiteral("orbix-sim")) + QLatin1Char('\n'));
        return 0;
    }
    if (options.help) {
        // The console's commands indented under a heading, as the options are, so that
        // the manual page made from this text lists them one by one.
        QString commands = SimConsole::help();
        commands.replace(QLatin1Char('\n'), QStringLiteral("\n  "));
        print(stdout, SimOptions::usage() + QStringLiteral("\nCommands on standard input:\n  ") + commands.trimmed()
                          + QLatin1Char('\n'));
        return 0;
    }
#ifdef Q_OS_WIN
    SimWake interrupt;
    const bool interruptible = interruptReady(interrupt);
#else
    const int signalFd = signalDescriptor();
    const bool interruptible = signalFd >= 0;
#endif
    Simulator sim;
    if (!interruptible || !startSimulator(sim, options))
        return kStartError;
    if (!sim.linkPath().isEmpty())
        print(stdout, sim.linkPath() + QLatin1Char('\n'));
    SimTcpServer rtuServer(sim, SimTcpServer::Framing::Rtu);
    SimTcpServer mbapServer(sim, SimTcpServer::Framing::ModbusTcp);
    const struct { SimTcpServer &server; int port; const char *scheme; } servers[] = {
        {rtuServer, options.tcpPort, "tcp"}, {mbapServer, options.modbusTcpPort, "modbus-tcp"}};
    for (const auto &s : servers) {
        if (s.port < 0)
            continue;
        if (!s.server.listen(options.listenAddress, quint16(s.port))) {
            print(stderr, QStringLiteral("orbix-sim: %1\n").arg(s.server.errorString()));
            return kStartError;
        }
        print(stdout, QStringLiteral("%1://%2:%3\n").arg(QLatin1String(s.scheme), options.listenAddress).arg(s.server.port()));
    }
    for (const QString &f : options.faults)
        print(stdout, SimConsole(sim).execute(QStringLiteral("fault ") + f));
#ifdef Q_OS_WIN
    serve(sim, interrupt);
#else
    serve(sim, signalFd);
#endif
    sim.stop(); // removes the link too
    return 0;
}
