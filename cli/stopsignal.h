#pragma once

#include <QObject>
#include <QTimer>

#include <functional>

// Turns SIGINT and SIGTERM (a Windows console's Ctrl+C and Ctrl+Break) into a call of
// onStop in the event loop, so that a command ends its worker cleanly (port closed,
// last lines printed).
class StopSignal : public QObject
{
    Q_OBJECT

public:
    explicit StopSignal(std::function<void()> onStop);
    ~StopSignal() override;

private:
    std::function<void()> stop;
    QTimer poll;
};
