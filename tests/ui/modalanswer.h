#pragma once

#include <QApplication>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
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

// Answers the next file dialog by typing the file's name, as a user would
// (selectFile() would first list the folder, in the background); any other
// dialog is closed.
inline void answerNextFileDialog(const QString &fileName)
{
    answerNextModal([fileName](QWidget *modal) {
        if (auto *dialog = qobject_cast<QFileDialog *>(modal)) {
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(fileName);
            static_cast<QDialog *>(dialog)->accept(); // the file dialog keeps its override protected
        } else {
            modal->close();
        }
    });
}
