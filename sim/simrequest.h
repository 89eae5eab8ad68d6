#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <QtGlobal>

// One complete request frame as the simulator received it, and what became of it.
struct SimRequest
{
    qint64 timeMs = 0;      // host clock, milliseconds since 1970 UTC, when the frame was complete
    QByteArray frame;       // raw bytes, CRC included
    int address = -1;       // -1 when the frame is too short to tell
    int function = -1;
    int firstRegister = 0;  // numbered from 1; 0 when the function names none
    int count = 0;
    QVector<quint16> values; // written values (functions 6 and 16)
    bool answered = false;
    QString reason;         // why not answered, or the fault that spoiled the answer
    int exception = 0;      // exception code of the answer, 0 for a normal one
};
