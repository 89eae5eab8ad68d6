#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

#include <functional>

// Answers the next modal dialog as a user would: once one is up, answer gets it
// (and must close it). Gives up after the deadline, so a dialog that never comes
// fails the test's own checks instead of leaving a timer running.
inline void answerNextModal(const std::function<void(QWidget *)> &answer, int deadlineMs = 10000)
{
    auto *timer = new QTimer;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(timer, &QTimer::timeout, [timer, clock, answer, deadlineMs] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal && clock.elapsed() <= deadlineMs)
            return;
        timer->stop();
        timer->deleteLater();
        if (modal)
            answer(modal);
    });
    timer->start(10);
}
