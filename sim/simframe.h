#pragma once

#include "link/rtuframing.h"

#include <QByteArray>
#include <QVector>
#include <QtGlobal>

// A request frame as a slave reads it, and the reply frames it sends back.
class SimFrame
{
public:
    // Modbus application protocol: function codes served and exception codes sent.
    enum Function {
        ReadHolding = RtuFraming::kFunctionReadHolding,
        WriteSingle = RtuFraming::kFunctionWriteSingle,
        WriteMultiple = RtuFraming::kFunctionWriteMultiple
    };
    enum Exception { IllegalFunction = 1, IllegalDataAddress = 2, IllegalDataValue = 3, SlaveDeviceFailure = 4 };
    static constexpr quint8 kExceptionBit = RtuFraming::kExceptionBit;
    static constexpr int kMinFrame = 4;   // Modbus RTU: address, function, CRC
    static constexpr int kMaxFrame = 256; // Modbus RTU ADU limit
    static constexpr int kBroadcast = 0;  // Modbus RTU broadcast address: writes only, no reply

    // Fields of a frame of at least kMinFrame bytes whose CRC was already checked.
    static SimFrame parse(const QByteArray &frame);

    static QByteArray readReply(int address, const QVector<quint16> &values);
    static QByteArray echoReply(const QByteArray &request);
    static QByteArray writeMultipleReply(int address, int firstRegister, int count);
    static QByteArray exceptionReply(int address, int function, int code);

    int address = -1;
    int function = -1;
    int firstRegister = 0;   // numbered from 1 (wire address + 1)
    int count = 0;           // registers named by the request
    int byteCount = -1;      // function 16 only
    QVector<quint16> values; // functions 6 and 16
    bool wellFormed = false; // the length is what the function and its counts require
    QByteArray bytes;        // the frame as received

private:
    void parseRead();
    void parseWriteSingle();
    void parseWriteMultiple();
    quint16 word(int at) const;
};
