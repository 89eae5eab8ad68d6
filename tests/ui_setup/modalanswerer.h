#pragma once

#include <QApplication>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the next modal window (a message box or a dialog run with exec()) as soon
// as it shows, so that a test can press a button that opens one. Gives up, doing
// nothing, when none has shown within the deadline.
class ModalAnswerer
{
public:
    using Action = std::function<void(QWidget *)>;

    explicit ModalAnswerer(Action act, int deadlineMs = 5000)
        : action(std::move(act)), triesLeft(deadlineMs / kPollMs)
    {
        QObject::connect(&timer, &QTimer::timeout, [this] { poll(); });
        timer.start(kPollMs);
    }

    // The window's object name, empty while none was answered.
    QString answered;

private:
    static constexpr int kPollMs = 10;

    void poll()
    {
        QWidget *w = QApplication::activeModalWidget();
        if (w) {
            answered = w->objectName();
            timer.stop();
            action(w);
        } else if (--triesLeft <= 0) {
            timer.stop();
        }
    }

    Action action;
    int triesLeft;
    QTimer timer;
};
