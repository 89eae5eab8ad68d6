// What xdotool cannot do for the window tests on a virtual display:
//   orbix-xhelper shot FILE [WID]        - saves the screen, or one window, as PNG
//   orbix-xhelper close WID              - asks a window to close as its close button would
//   orbix-xhelper ask SOCKET REQUEST...  - asks the program started with --probe-socket
//                                          SOCKET; prints the answer without its "OK",
//                                          exit status 0 for OK, 1 otherwise
#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocalSocket>
#include <QHostAddress>
#include <QTcpSocket>
#include <QPixmap>
#include <QScreen>
#include <QStringList>

#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

namespace {
constexpr int kAnswerTimeoutMs = 5000;
}

static int closeWindow(unsigned long window)
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    XEvent event;
    std::memset(&event, 0, sizeof event);
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(display, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(display, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const Status sent = XSendEvent(display, window, False, NoEventMask, &event);
    XCloseDisplay(display);
    return sent ? 0 : 1;
}

static int screenshot(int argc, char **argv, const char *file, unsigned long window)
{
    QGuiApplication app(argc, argv);
    const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(WId(window));
    return screen.save(QString::fromLocal8Bit(file), "PNG") ? 0 : 1;
}

static int ask(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList words;
    for (int i = 3; i < argc; ++i)
        words << QString::fromLocal8Bit(argv[i]);
    // "tcp:PORT": a program under Wine, whose local sockets are Windows pipes.
    const QString where = QString::fromLocal8Bit(argv[2]);
    QLocalSocket local;
    QTcpSocket tcp;
    QIODevice &socket = where.startsWith(QLatin1String("tcp:")) ? static_cast<QIODevice &>(tcp) : local;
    if (&socket == &tcp)
        tcp.connectToHost(QHostAddress::LocalHost, quint16(where.mid(4).toUInt()));
    else
        local.connectToServer(where);
    if (!(&socket == &tcp ? tcp.waitForConnected(kAnswerTimeoutMs) : local.waitForConnected(kAnswerTimeoutMs)))
        return 1; // not listening (yet): the caller polls
    socket.write(words.join(QLatin1Char(' ')).toUtf8() + '\n');
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(kAnswerTimeoutMs))
            return 1;
    const QByteArray answer = socket.readLine().trimmed();
    if (!answer.startsWith("OK")) {
        std::fprintf(stderr, "%s\n", answer.constData());
        return 1;
    }
    std::printf("%s\n", answer.mid(3).constData());
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "close") == 0)
        return closeWindow(std::strtoul(argv[2], nullptr, 0));
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "shot") == 0)
        return screenshot(argc, argv, argv[2], argc == 4 ? std::strtoul(argv[3], nullptr, 0) : 0);
    if (argc >= 4 && std::strcmp(argv[1], "ask") == 0)
        return ask(argc, argv);
    std::fprintf(stderr, "usage: orbix-xhelper shot FILE [WINDOW] | close WINDOW | ask SOCKET REQUEST...\n");
    return 2;
}
