#pragma once

#include <QLocalServer>
#include <QTcpServer>
#include <QObject>
#include <QString>

class QTabBar;
class QWidget;

// What the window tests on a display ask the running program (hidden option
// "--probe-socket PATH", or "--probe-socket tcp:PORT" on the loopback address, which a
// test outside Wine reaches too): where a widget named so is on the screen and what it
// shows. One request line, one answer line, "OK ..." or "ERR reason":
//   widget NAME          -> OK WINDOW X Y W H SHOWN ENABLED  (the part on screen)
//   text NAME            -> OK TEXT  (line breaks as \n; a plot: its curves' titles;
//                           a spin box: its text with the unit; a status bar: its message)
//   cell NAME ROW COLUMN -> OK X Y W H FITS TEXT  (FITS: the text is shown whole;
//                           a tab bar's tabs are the columns of row 0)
//   screen NAME          -> OK X Y W H  (the available area of the widget's screen)
//   settle               -> OK  once input sent before is handled and painted
// Only reads: nothing a request does changes the program's state.
class WidgetProbe : public QObject
{
    Q_OBJECT
public:
    explicit WidgetProbe(QObject *parent = nullptr);

    // Replaces a stale socket file; false + errorString() on failure.
    bool listen(const QString &path);
    QString errorString() const { return error; }
    QString answer(const QString &request);

private:
    void serve(QIODevice *socket);

private:
    static QWidget *find(const QString &name);
    static QString describe(QWidget *widget);
    static QString textOf(QWidget *widget);
    static QString cell(QWidget *widget, int row, int column);
    static QString tabCell(QTabBar *bar, int index);
    static QString screenOf(QWidget *widget);
    static void settle();

    QLocalServer server;
    QTcpServer tcp;
    QString error;
};
