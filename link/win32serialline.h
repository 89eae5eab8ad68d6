#pragma once

#include "link/line.h"
#include "link/lineerrors.h"
#include "link/lineoptions.h"

#include <QCoreApplication>

#include <memory>

// A local serial port through the Win32 API ("COM12" or "\\.\COM12"), the Windows
// counterpart of SerialLine: exclusive use, overlapped I/O, raw 8 data bits with parity
// and stop bits per frame format, no flow control, DTR and RTS raised. A read returns
// as soon as bytes have come, so that Line's framing ends a complete reply at once;
// the errors the driver saw (parity, framing, overrun) come from ClearCommError as
// LineErrors. A pulled adapter fails its I/O with ENODEV: the line is gone.
class Win32SerialLine : public Line
{
    Q_DECLARE_TR_FUNCTIONS(Win32SerialLine)

public:
    explicit Win32SerialLine(const QByteArray &name);
    ~Win32SerialLine() override;

    // Windows' serial drivers have no RS-485 mode: an RS-485 option fails the open.
    void setOptions(const LineOptions &o) override { options = o; }
    // Opens the port, drops what it held, then 19200 bit/s 8E1.
    bool open() override;
    bool setSpeed(quint32 baud) override;
    bool setFormat(Parity parity, int stopBits, bool keep = false) override;
    bool raiseModemLines() override;
    quint32 takeLineErrors() override;
    QString openErrorText() const override;

    // The path CreateFileW takes: "\\.\COMn" for "COMn" (COM10 and above need it).
    static QString devicePath(const QByteArray &name);
    // The errno a Win32 error stands for; opening tells the errors of CreateFileW
    // (access denied: another program holds the port) from those of I/O (the adapter
    // is gone).
    static int errnoOf(unsigned long winError, bool opening);
    // LineErrors of ClearCommError's CE_ flags.
    static quint32 lineErrorsOf(unsigned long commErrors);
    // On an open port (a HANDLE): the queues and read time-outs open() sets, and then
    // the speed and format. 0, or GetLastError's code of the call that failed.
    static unsigned long setUp(void *port);
    // The system's text of a GetLastError code.
    static QString systemErrorText(unsigned long winError);
    // Once a read of one byte (overlapped, into buffer[-1]) has completed: the bytes
    // queued behind it, read at once into buffer, at most capacity; the line errors
    // ClearCommError reports are added to errors. The count, or -1 (GetLastError tells).
    static long readQueued(void *port, void *overlapped, char *buffer, unsigned long capacity, quint32 &errors);
    static unsigned long setState(void *port, quint32 baud, Parity parity, int stopBits);


protected:
    void decode(const quint8 *raw, qint64 size) override;
    int waitReadable(qint64 timeoutNs) override;
    void waitWritable(int) override {}
    ssize_t readSome(char *data, size_t size) override;
    ssize_t writeSome(const char *data, size_t size) override;
    void closeHandle() override;

private:
    struct Io; // the overlapped reads and writes: Windows types stay out of this header

    bool applyState();
    bool failWin(unsigned long winError);
    bool tookFirstByte();
    int startRead();
    int finishRead(unsigned long waitMs);

    LineOptions options;
    quint32 baud = 19200;
    Parity parity = Parity::Even;
    int stopBits = 1;
    bool rs485Refused = false;
    unsigned long winError = 0; // GetLastError of the last failure, for the text
    quint32 pendingErrors = 0;
    std::unique_ptr<Io> io;
};
