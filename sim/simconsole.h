#pragma once

#include "sim/simfault.h"
#include "sim/simrequest.h"

#include <QString>
#include <QStringList>

class Simulator;

// The operator's line commands to a running simulator (orbix-sim reads them from
// standard input): faults, register peeks and pokes, the motor, the request record.
class SimConsole
{
public:
    struct FaultOrder {
        SimFault fault;
        int count = -1;  // requests; -1 until cleared
        int address = 0; // 0: every device
    };

    explicit SimConsole(Simulator &simulator);

    // Runs one command; returns the text to show (ends with a newline unless empty).
    QString execute(const QString &line);

    // KIND [ARG] [N] [ADDR], KIND one of no-reply, bad-crc, wrong-address,
    // exception CODE, split MS, or silent SECONDS [ADDR].
    static bool parseFault(const QStringList &words, FaultOrder &order, QString &error);
    static QString describe(const SimRequest &request);
    static QString help();

private:
    QString fault(const QStringList &words);
    QString silent(const QStringList &words);
    QString clear(const QStringList &words);
    QString get(const QStringList &words);
    QString set(const QStringList &words);
    QString log(const QStringList &words);
    QString trip(const QStringList &words);
    QString load(const QStringList &words);
    QString release(const QStringList &words);
    QString helpText(const QStringList &words);
    static bool takeAddressAndNumber(const QStringList &words, int low, int high, int &address, int &n);
    static bool parseValue(const QString &text, quint16 &out);
    static bool parseSilent(const QStringList &words, FaultOrder &order);
    static bool takeCountAndAddress(const QStringList &words, int from, FaultOrder &order);

    Simulator &sim;
};
