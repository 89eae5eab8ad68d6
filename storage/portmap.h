#pragma once

#include "link/lineoptions.h"

#include <QList>
#include <QMap>
#include <QString>

// Maps the port number n of "COMn" to a device path, the same way every time:
//  1. bindings in $ORBIX_PORTS ("COM5=/dev/pts/3;COM6=/tmp/line"),
//  2. bindings in the file ports.conf of the data directory ("COM7=/dev/...", one per line),
//  3. COM1..COM32 are /dev/ttyS0..ttyS31, COM33..COM40 are /dev/ttyAMA0..ttyAMA7,
//  4. every other port (USB and ACM adapters, ...) gets the lowest free number from
//     COM41 on, bound to its stable name under /dev/serial/by-id (or by-path) and
//     remembered in ports.conf, so that it keeps its number across re-plugging.
// A binding may name options after its path: "COM3=/dev/ttyS2 rs485" (the kernel's
// RS-485 mode) or "rs485=BEFORE/AFTER" with the RTS delays in milliseconds. A binding
// may also name a network line: "COM50=modbus-tcp://10.0.0.5", "tcp://HOST:PORT",
// "rfc2217://HOST:PORT".
// On Windows the system numbers its ports itself: rules 3 and 4 become "COMn is the
// port \\.\COMn" (the name the serial line opens, good above COM9 too), and the ports
// present are the system's COM ports. The bindings work as on Linux.
class PortMap
{
public:
    // Whose rules 3 and 4 apply: system() takes this system's; the constructor takes
    // either, so that both are tested on any system.
    enum class Naming { Linux, Windows };
#ifdef Q_OS_WIN
    static constexpr Naming kSystemNaming = Naming::Windows;
#else
    static constexpr Naming kSystemNaming = Naming::Linux;
#endif

    // How a port got its number, for the texts that describe it.
    enum class Binding { System, Environment, File, Session };

    struct Port {
        int number = 0;
        QString path;        // what is opened: the binding's target or the stable link
        QString systemName;  // e.g. ttyUSB0
        QString description; // adapter's description and maker; empty for a bound path
        Binding binding = Binding::System;
        LineOptions options;
    };

    // A serial device present on the system, as enumerated.
    struct Candidate {
        QString systemName;  // ttyUSB0; COM3 on Windows
        QString path;        // /dev/ttyUSB0; \\.\COM3
        QString description;
    };

    static constexpr const char *kEnvironmentVariable = "ORBIX_PORTS";
    static constexpr const char *kBindingFile = "ports.conf"; // in the data directory
    static constexpr int kFirstSerial = 1, kSerialCount = 32;
    static constexpr int kFirstAma = 33, kAmaCount = 8;
    static constexpr int kFirstAssigned = 41;
    static constexpr const char *kWindowsDevicePrefix = "\\\\.\\"; // \\.\ before COMn
    // A list of every COM number with a long by-id path is some 25 kB; a larger file is
    // no list of ours and would cost every start its reading.
    static constexpr qint64 kMaxBindingFileBytes = 1024 * 1024;

    // The map of this system: the session's bindings, $ORBIX_PORTS, <data>/ports.conf,
    // /dev and its serial ports. Lists ports and may write ports.conf (when a new
    // adapter gets its number): call it from the interface thread, not from a worker.
    static PortMap system();
    // Binds COMn to a path for the rest of this process, above every other rule
    // (the demo line's pseudo-terminal).
    static void bindForSession(int number, const QString &path);

    PortMap(const QString &bindingFile, const QString &environmentBindings, const QString &devRoot,
            const QList<Candidate> &present, const QMap<int, QString> &sessionBindings = {},
            const QString &bindingSaveFile = QString(), // empty: bindingFile
            Naming naming = Naming::Linux);             // Windows: devRoot is not used

    // The path to open for COMn; empty when nothing is known of that number.
    QString devicePath(int number) const;
    // The options its binding names (none for a port that is not bound).
    LineOptions lineOptions(int number) const;
    // The ports to offer, ascending by number: those present plus bound targets that exist.
    QList<Port> ports() const;
    // Accepts "COM3", "com3", "3" or a path (with a '/', or on Windows a '\\'); returns
    // the path to open (empty if unknown).
    QString resolve(const QString &name) const;

    // Parses "COMn=path" items separated by sep; malformed items are skipped, and a '#'
    // that begins a word starts a comment to the end of the item.
    static QMap<int, QString> parseBindings(const QString &text, QChar sep);
    // Binds COMn to a target in ports.conf (the file's other lines kept); false with
    // nothing changed when the file cannot be written, or is too large to be read.
    static bool saveBinding(int number, const QString &target);
    static int parseComName(const QString &name); // 0 when not COMn
    // A binding's value: the path, then options; false for an option it does not know.
    static bool parseTarget(const QString &value, QString &path, LineOptions &options);

private:
    QString fixedPath(int number) const;
    QString binding(int number) const; // the raw value of the rule that wins, empty if none
    int fixedNumber(const QString &systemName) const;
    QString stableName(const QString &path) const;
    void assignNumbers();
    void saveBindings() const;
    bool isBoundAbove(int number) const; // by the session or the environment
    bool boundTargetPresent(const QString &path) const;
    QString boundSystemName(const QString &path) const;

    QString saveFile;
    QString devRoot;
    Naming naming;
    QMap<int, QString> sessionBindings;
    QMap<int, QString> envBindings;
    QMap<int, QString> fileBindings;
    bool fileReadable = true; // false: too large, never written over
    QList<Candidate> present;
    QMap<QString, int> assigned; // systemName -> number, for ports of rule 4
};
