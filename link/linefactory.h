#pragma once

#include <QByteArray>

#include <memory>

class Line;

// Makes the line a port name stands for: a Modbus TCP gateway, a raw TCP stream to a
// serial device server, the same with COM-port control, or a local serial port.
class LineFactory
{
public:
    // By the name's scheme (Line::kTcpScheme and its neighbours); any other name is
    // a serial device path (a COM port name on Windows).
    static std::unique_ptr<Line> create(const QByteArray &name);
};
