#include "cli/terminal.h"

#include <QTextStream>

#include <cstdio>
#include <cstdlib>

#ifdef Q_OS_WIN
#include <QTextCodec>

#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

namespace {

#ifdef Q_OS_WIN
// The console's input with echo off while it lives; input that is no console is left alone.
class QuietInput
{
public:
    QuietInput()
        : input(GetStdHandle(STD_INPUT_HANDLE))
    {
        console = input != nullptr && input != INVALID_HANDLE_VALUE && GetConsoleMode(input, &saved);
        if (console)
            SetConsoleMode(input, saved & ~DWORD(ENABLE_ECHO_INPUT));
    }
    ~QuietInput()
    {
        if (console)
            SetConsoleMode(input, saved);
    }
    bool onTerminal() const { return console; }

private:
    HANDLE input;
    DWORD saved = 0;
    bool console = false;
};
#else
class QuietInput
{
public:
    QuietInput()
    {
        terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
        if (terminal) {
            termios quiet = saved;
            quiet.c_lflag &= tcflag_t(~ECHO);
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        }
    }
    ~QuietInput()
    {
        if (terminal)
            tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    }
    bool onTerminal() const { return terminal; }

private:
    termios saved {};
    bool terminal = false;
};
#endif

} // namespace

#ifdef Q_OS_WIN
namespace {
UINT savedOutputPage = 0;
// The console is the user's, and outlives orbix: its programs after it get their page back.
void restoreOutputPage()
{
    SetConsoleOutputCP(savedOutputPage);
}
} // namespace
#endif

void Terminal::useUtf8()
{
#ifdef Q_OS_WIN
    savedOutputPage = GetConsoleOutputCP(); // 0 without a console
    if (savedOutputPage != 0 && savedOutputPage != CP_UTF8 && SetConsoleOutputCP(CP_UTF8))
        std::atexit(restoreOutputPage);
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
#endif
}

bool Terminal::isTerminal(Stream stream)
{
#ifdef Q_OS_WIN
    // GetConsoleMode answers for a console alone: the NUL device, a character device
    // too, is no terminal.
    DWORD mode = 0;
    return GetConsoleMode(GetStdHandle(stream == Stream::Input ? STD_INPUT_HANDLE : STD_ERROR_HANDLE), &mode) != 0;
#else
    return isatty(stream == Stream::Input ? STDIN_FILENO : STDERR_FILENO);
#endif
}

QString Terminal::readLineQuietly()
{
    QString line;
    bool terminal = false;
    {
        const QuietInput quiet;
        terminal = quiet.onTerminal();
        line = QTextStream(stdin).readLine();
    }
    if (terminal)
        std::fputs("\n", stderr); // the typed line's own was not shown
    return line;
}
