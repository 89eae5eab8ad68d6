#pragma once

#include "sim/simconsole.h"

#include <QByteArray>
#include <QObject>
#ifdef Q_OS_WIN
#include <memory>
#else
#include <QSocketNotifier>
#endif

class Simulator;

// "--demo": the demo line's simulator takes the console commands of orbix-sim on
// standard input ("trip 1 31" trips the device at address 1 with fault 31), so that
// a demonstration can show a crash oscillogram. Answers go to standard output.
class DemoConsole : public QObject
{
    Q_OBJECT
public:
    explicit DemoConsole(Simulator &simulator, QObject *parent = nullptr);
    ~DemoConsole() override;

    // False for a terminal this process does not own: a background job reading it would
    // be stopped. On Windows: true for a console, a pipe or a file, false where the
    // program has no standard input (started from the desktop).
    static bool inputUsable();

private:
    void take(const QByteArray &bytes);

    SimConsole console;
#ifdef Q_OS_WIN
    // Windows cannot watch a console or a pipe from the event loop: a thread of its own
    // reads, and hands what it read over while this console lives.
    struct Inbox;
    static void readInput(std::shared_ptr<Inbox> inbox);
    std::shared_ptr<Inbox> inbox;
#else
    void onInput();
    QSocketNotifier notifier;
#endif
    QByteArray pending;
};
