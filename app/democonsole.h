#pragma once

#include "sim/simconsole.h"

#include <QByteArray>
#include <QObject>
#include <QSocketNotifier>

class Simulator;

// "--demo": the demo line's simulator takes the console commands of orbix-sim on
// standard input ("trip 1 31" trips the device at address 1 with fault 31), so that
// a demonstration can show a crash oscillogram. Answers go to standard output.
class DemoConsole : public QObject
{
    Q_OBJECT
public:
    explicit DemoConsole(Simulator &simulator, QObject *parent = nullptr);

    // False for a terminal this process does not own: a background job reading it would be stopped.
    static bool inputUsable();

private slots:
    void onInput();

private:
    SimConsole console;
    QSocketNotifier notifier;
    QByteArray pending;
};
