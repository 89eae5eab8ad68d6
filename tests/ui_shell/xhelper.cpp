// What xdotool cannot do for the window tests on a virtual display:
//   orbix-xhelper shot FILE [WID] - saves the screen, or one window, as PNG
//   orbix-xhelper close WID   - asks a window to close as its close button would
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>

#include <X11/Xlib.h>

#include <cstdio>
#include <cstring>

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

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "close") == 0)
        return closeWindow(std::strtoul(argv[2], nullptr, 0));
    if ((argc == 3 || argc == 4) && std::strcmp(argv[1], "shot") == 0)
        return screenshot(argc, argv, argv[2], argc == 4 ? std::strtoul(argv[3], nullptr, 0) : 0);
    std::fprintf(stderr, "usage: orbix-xhelper shot FILE [WINDOW] | close WINDOW\n");
    return 2;
}
