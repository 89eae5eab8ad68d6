#include "link/win32serialline.h"

#include "link/linklog.h"
#include "link/overlappedpair.h"
#include "link/serialdriverinfo.h"
#include "link/waittime.h"

#include <QRegularExpression>

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <windows.h>

namespace {

constexpr DWORD kBufferSize = 512;
constexpr DWORD kQueueSize = 4096;
constexpr DWORD kNoSuchDevice = 433; // ERROR_NO_SUCH_DEVICE, which MinGW's headers lack

} // namespace

// One read of a single byte is kept outstanding while the line waits: it completes
// when the first byte comes; the bytes queued behind it are taken at once (readQueued),
// and readSome hands out what the two brought.
struct Win32SerialLine::Io : OverlappedPair {
    bool reading = false;
    char buffer[kBufferSize];
    DWORD have = 0;  // bytes the last read brought
    DWORD taken = 0; // of those, handed out
};

Win32SerialLine::Win32SerialLine(const QByteArray &name)
    : Line(name)
    , io(std::make_unique<Io>())
{
}

Win32SerialLine::~Win32SerialLine()
{
    Win32SerialLine::close();
}

QString Win32SerialLine::devicePath(const QByteArray &name)
{
    const QString n = QString::fromLocal8Bit(name);
    static const QRegularExpression com(QStringLiteral("^COM[0-9]+$"), QRegularExpression::CaseInsensitiveOption);
    return com.match(n).hasMatch() ? QStringLiteral("\\\\.\\") + n : n;
}

int Win32SerialLine::errnoOf(unsigned long code, bool opening)
{
    switch (code) {
    case ERROR_SUCCESS: return 0;
    case ERROR_FILE_NOT_FOUND: case ERROR_PATH_NOT_FOUND: case ERROR_INVALID_NAME: case ERROR_BAD_PATHNAME:
        return ENOENT;
    case ERROR_SHARING_VIOLATION: return EBUSY;
    // Windows answers "access denied" to a second opener; during I/O it means the
    // device went away under the handle, as do these.
    case ERROR_ACCESS_DENIED: return opening ? EBUSY : ENODEV;
    case ERROR_BAD_COMMAND: case ERROR_DEVICE_REMOVED: case ERROR_OPERATION_ABORTED:
    case ERROR_DEVICE_NOT_CONNECTED: case kNoSuchDevice: case ERROR_BAD_UNIT: case ERROR_NOT_READY:
        return ENODEV;
    case ERROR_INVALID_FUNCTION: case ERROR_NOT_SUPPORTED: return opening ? ENOTTY : EINVAL;
    case ERROR_INVALID_PARAMETER: return EINVAL;
    case ERROR_INVALID_HANDLE: return EBADF;
    case ERROR_SEM_TIMEOUT: return ETIMEDOUT;
    case ERROR_BROKEN_PIPE: return EIO; // the far end of a virtual port closed (Wine: a pty)
    default: return EIO;
    }
}

quint32 Win32SerialLine::lineErrorsOf(unsigned long ce)
{
    quint32 out = 0;
    if (ce & CE_RXOVER) out |= LineErrors::RxOverflow;
    if (ce & CE_OVERRUN) out |= LineErrors::Overrun;
    if (ce & CE_RXPARITY) out |= LineErrors::ParityError;
    if (ce & CE_FRAME) out |= LineErrors::FramingError;
    if (ce & CE_BREAK) out |= LineErrors::Break;
    return out;
}

QString Win32SerialLine::systemErrorText(unsigned long code)
{
    wchar_t *text = nullptr;
    const DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<wchar_t *>(&text), 0, nullptr);
    const QString out = n ? QString::fromWCharArray(text, int(n)).trimmed() : QStringLiteral("error %1").arg(code);
    LocalFree(text);
    return out;
}

bool Win32SerialLine::failWin(unsigned long code)
{
    winError = code;
    return fail(errnoOf(code, !isOpen()));
}

bool Win32SerialLine::open()
{
    close();
    rs485Refused = false;
    winError = 0;
    baud = 19200;
    parity = Parity::Even;
    stopBits = 1;
    if (!io->ready())
        return fail(ENOMEM);
    if (options.rs485) {
        rs485Refused = true;
        return fail(EINVAL);
    }
    const std::wstring path = devicePath(name()).toStdWString();
    // No sharing: Windows itself keeps a second program out of the port.
    const HANDLE h = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return failWin(GetLastError());
    DCB probe {};
    probe.DCBlength = sizeof probe;
    if (!GetCommState(h, &probe)) { // a file or a device that is no serial port
        const DWORD code = GetLastError();
        CloseHandle(h);
        winError = code;
        return fail(ENOTTY);
    }
    opened(Handle(h));
    if (const DWORD code = setUp(h)) {
        close();
        return failWin(code);
    }
    if (!applyState()) {
        const int err = error;
        close();
        return fail(err);
    }
    // What arrived before we opened (another program's tail) is nobody's answer now,
    // and so are the errors it carried.
    PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR | PURGE_RXABORT | PURGE_TXABORT);
    DWORD errors = 0;
    ClearCommError(h, &errors, nullptr);
    pendingErrors = 0;
    return true;
}

void Win32SerialLine::closeHandle()
{
    const HANDLE h = HANDLE(fd);
    if (io->reading) { // the buffer and the OVERLAPPED must outlive the read
        CancelIoEx(h, &io->read);
        DWORD n = 0;
        GetOverlappedResult(h, &io->read, &n, TRUE);
        io->reading = false;
    }
    io->have = io->taken = 0;
    CloseHandle(h);
}

unsigned long Win32SerialLine::setUp(void *port)
{
    SetupComm(port, kQueueSize, kQueueSize);
    // No time-outs: a read waits for as many bytes as it asks. One byte is asked while
    // waiting, then exactly what is queued, so no read ever waits on a reply that has
    // ended. (Wine does not end a read at the first byte with the MAXDWORD time-outs.)
    COMMTIMEOUTS t {};
    return SetCommTimeouts(port, &t) ? 0 : GetLastError();
}

long Win32SerialLine::readQueued(void *port, void *overlapped, char *buffer, unsigned long capacity, quint32 &errors)
{
    DWORD flags = 0;
    COMSTAT status {};
    if (!ClearCommError(port, &flags, &status))
        return -1;
    errors |= lineErrorsOf(flags);
    const DWORD want = qMin<DWORD>(status.cbInQue, capacity);
    if (want == 0)
        return 0;
    auto *o = static_cast<OVERLAPPED *>(overlapped);
    ResetEvent(o->hEvent);
    DWORD n = 0;
    if (!ReadFile(port, buffer, want, &n, o) && (GetLastError() != ERROR_IO_PENDING || !GetOverlappedResult(port, o, &n, TRUE)))
        return -1; // the bytes are there: the wait above is short
    return long(n);
}

unsigned long Win32SerialLine::setState(void *port, quint32 baud, Parity parity, int stopBits)
{
    DCB dcb {};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(port, &dcb))
        return GetLastError();
    dcb.BaudRate = baud;
    dcb.ByteSize = 8;
    dcb.Parity = parity == Parity::Even ? EVENPARITY : parity == Parity::Odd ? ODDPARITY : NOPARITY;
    dcb.StopBits = stopBits == 2 ? TWOSTOPBITS : ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = parity != Parity::None;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fErrorChar = FALSE; // a bad byte stays as it came: ClearCommError tells of it
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE; // else every error stops all I/O until it is cleared
    if (SetCommState(port, &dcb))
        return 0;
    const DWORD code = GetLastError();
    // A pseudo-terminal behind Wine drops the parity flag and then refuses it; the rest
    // of the settings are in force, and a line that cannot do parity has no parity errors.
    DCB now {};
    now.DCBlength = sizeof now;
    if (code == ERROR_INVALID_PARAMETER && parity != Parity::None && GetCommState(port, &now)
        && now.BaudRate == dcb.BaudRate && now.StopBits == dcb.StopBits && now.Parity == NOPARITY) {
        qCDebug(lcLink) << "the port keeps its settings but not the parity (a virtual port?)";
        return 0;
    }
    return code;
}

bool Win32SerialLine::applyState()
{
    if (fd < 0)
        return fail(EBADF);
    const DWORD code = setState(HANDLE(fd), baud, parity, stopBits);
    return code == 0 || failWin(code);
}

bool Win32SerialLine::setSpeed(quint32 newBaud)
{
    baud = newBaud;
    return applyState();
}

bool Win32SerialLine::setFormat(Parity newParity, int newStopBits, bool keep)
{
    if (!keep) {
        parity = newParity;
        stopBits = newStopBits == 2 ? 2 : 1;
    }
    return applyState();
}

bool Win32SerialLine::raiseModemLines()
{
    if (fd < 0)
        return fail(EBADF);
    for (DWORD f : {DWORD(SETDTR), DWORD(SETRTS)}) {
        if (EscapeCommFunction(HANDLE(fd), f))
            continue;
        const DWORD code = GetLastError();
        if (errnoOf(code, false) == EINVAL)
            return true; // no modem control lines here (a virtual port)
        return failWin(code);
    }
    return true;
}

quint32 Win32SerialLine::takeLineErrors()
{
    DWORD errors = 0;
    if (fd >= 0 && ClearCommError(HANDLE(fd), &errors, nullptr))
        pendingErrors |= lineErrorsOf(errors);
    const quint32 e = pendingErrors;
    pendingErrors = 0;
    return e;
}

void Win32SerialLine::decode(const quint8 *raw, qint64 size)
{
    pending.append(reinterpret_cast<const char *>(raw), int(size));
}

// The byte that came, and those queued behind it.
bool Win32SerialLine::tookFirstByte()
{
    io->have = 1;
    io->taken = 0;
    const long more = readQueued(HANDLE(fd), &io->read, io->buffer + 1, kBufferSize - 1, pendingErrors);
    if (more < 0)
        return failWin(GetLastError());
    io->have += DWORD(more);
    return true;
}

// 1 when a byte came, 0 when the read is outstanding, -1 failed.
int Win32SerialLine::startRead()
{
    ResetEvent(io->read.hEvent);
    io->have = io->taken = 0;
    DWORD n = 0;
    if (ReadFile(HANDLE(fd), io->buffer, 1, &n, &io->read))
        return n == 1 ? (tookFirstByte() ? 1 : -1) : 0;
    const DWORD code = GetLastError();
    if (code == ERROR_IO_PENDING) {
        io->reading = true;
        return 0;
    }
    failWin(code);
    return -1;
}

// 1 when the outstanding read brought its byte, 0 when it is still on its way after
// waitMs, -1 failed.
int Win32SerialLine::finishRead(unsigned long waitMs)
{
    if (WaitForSingleObject(io->read.hEvent, waitMs) == WAIT_TIMEOUT)
        return 0;
    DWORD n = 0;
    const bool ok = GetOverlappedResult(HANDLE(fd), &io->read, &n, FALSE);
    if (!ok && GetLastError() == ERROR_IO_INCOMPLETE)
        return 0;
    io->reading = false;
    if (!ok) {
        failWin(GetLastError()); // a pulled adapter, a closed far end
        return -1;
    }
    return n == 1 ? (tookFirstByte() ? 1 : -1) : 0;
}

int Win32SerialLine::waitReadable(qint64 timeoutNs)
{
    const qint64 end = nowNs() + qMax<qint64>(timeoutNs, 0);
    for (;;) {
        if (io->taken < io->have)
            return 1;
        const int r = io->reading ? finishRead(DWORD(WaitTime::roundUpMs(end - nowNs()))) : startRead();
        if (r < 0) {
            errno = error;
            return -1;
        }
        if (r > 0)
            return 1;
        if (nowNs() >= end)
            return 0;
        if (!io->reading)
            Sleep(1); // a read that ended empty: no driver should, but never spin on one
    }
}

ssize_t Win32SerialLine::readSome(char *data, size_t size)
{
    if (io->taken >= io->have) {
        const int ready = waitReadable(0);
        if (ready <= 0) {
            if (ready == 0)
                errno = EAGAIN;
            return -1;
        }
    }
    const DWORD n = DWORD(qMin<size_t>(size, io->have - io->taken));
    memcpy(data, io->buffer + io->taken, n);
    io->taken += n;
    return ssize_t(n);
}

// Returns once the driver has taken all of it, within the write time-out.
ssize_t Win32SerialLine::writeSome(const char *data, size_t size)
{
    const HANDLE h = HANDLE(fd);
    ResetEvent(io->write.hEvent);
    DWORD n = 0;
    if (!WriteFile(h, data, DWORD(size), &n, &io->write)) {
        const DWORD code = GetLastError();
        if (code != ERROR_IO_PENDING) {
            failWin(code);
            errno = error;
            return -1;
        }
        const qint64 end = nowNs() + qint64(timeouts.writeMs) * kNsPerMs;
        while (WaitForSingleObject(io->write.hEvent, kStopCheckMs) == WAIT_TIMEOUT) {
            if (nowNs() >= end || stopRequested()) {
                CancelIoEx(h, &io->write);
                GetOverlappedResult(h, &io->write, &n, TRUE);
                errno = ETIMEDOUT;
                return n > 0 ? ssize_t(n) : -1;
            }
        }
        if (!GetOverlappedResult(h, &io->write, &n, FALSE)) {
            failWin(GetLastError());
            errno = error;
            return -1;
        }
    }
    if (n == 0) { // the driver took nothing: it stopped sending
        errno = ETIMEDOUT;
        return -1;
    }
    return ssize_t(n);
}

QString Win32SerialLine::openErrorText() const
{
    const QString p = QString::fromLocal8Bit(name());
    if (p.isEmpty())
        return tr("Ни один последовательный порт не имеет такого номера COM (см.: orbix ports)");
    if (rs485Refused)
        return tr("У драйверов портов Windows нет режима RS-485, а для %1 он задан: уберите слово rs485 из "
                  "его привязки в ports.conf (преобразователи USB переключают линию сами)")
            .arg(p);
    switch (lastError()) {
    case ENOENT:
        return tr("Порт %1 не найден (адаптер отключён или номер порта неверен?)").arg(p);
    case EBUSY:
        return tr("Порт %1 занят другой программой").arg(p);
    case ENOTTY:
        return tr("%1 — не последовательный порт").arg(p);
    case EINVAL:
        return tr("Драйвер порта %1 не принимает его настройки (скорость или формат кадра)").arg(p);
    default:
        return tr("Порт %1: %2").arg(p, winError ? systemErrorText(winError) : QString::fromLocal8Bit(strerror(lastError())));
    }
}

// Windows tells no latency timer (an FTDI adapter's is set in its driver's properties)
// and its serial drivers have no RS-485 mode.
SerialDriverInfo SerialDriverInfo::of(const QString &)
{
    SerialDriverInfo info;
    info.rs485 = 0;
    return info;
}
