#include "exchange/devicesession.h"

#include "device/deviceidentity.h"
#include "device/registermap.h"
#include "device/searchpacket.h"
#include "link/datapacket.h"

DeviceSession::DeviceSession(const QString &devicePath, const std::atomic<bool> *flag)
    : line(devicePath.toLocal8Bit())
    , exec(line, flag)
    , running(flag)
{
    line.setRunningFlag(flag);
    line.setMaskedRegister(RegisterMap::AccessCode); // a direct write of the code is traced masked too
}

void DeviceSession::setDevice(int slaveAddress, qint32 speed, int format)
{
    address = slaveAddress;
    baud = speed;
    frameFormat = format;
}

void DeviceSession::setAddress(int slaveAddress)
{
    address = slaveAddress;
    line.setSlaveAddress(quint8(address));
}

void DeviceSession::setFrameFormat(int format)
{
    frameFormat = format;
    if (line.isOpen())
        line.setFrameFormat(format);
}

bool DeviceSession::open()
{
    openError.clear();
    line.setLineOptions(lineOptions);
    timing.applyTo(line); // the network allowance counts for the connection already
    if (!line.open())
        return false;
    line.setSlaveAddress(quint8(address));
    line.setFrameFormat(frameFormat);
    if (!line.setSpeed(quint32(baud))) {
        openError = QStringLiteral("speed %1 bit/s is not supported by this port").arg(baud);
        line.close();
        return false;
    }
    line.setReadTimeout(timing.readTimeout(baud));
    return true;
}

bool DeviceSession::readIdentification(SearchPacket &id)
{
    return readBlock(id, 1); // as the exchange reads it: once
}

DeviceSession::Identity DeviceSession::identify(const DeviceInfo &expected)
{
    SearchPacket id;
    if (!readIdentification(id))
        return Identity::Unreadable;
    return DeviceIdentity::sameDevice(id, expected) ? Identity::Matches : Identity::Mismatch;
}

DeviceSession::Identity DeviceSession::identifyAny(DeviceInfo &found, int timeoutMs)
{
    SearchPacket id;
    if (timeoutMs > 0)
        line.setReadTimeout(timeoutMs);
    const bool read = readIdentification(id);
    line.setReadTimeout(timing.readTimeout(baud));
    if (!read)
        return Identity::Unreadable;
    found = DeviceIdentity::recognise(id);
    if (found.kind != DeviceInfo::Recognised)
        return Identity::NotRecognised;
    found.address = address;
    found.baudRate = baud;
    found.frameFormat = frameFormat;
    return Identity::Matches;
}

bool DeviceSession::readBlock(DataPacket &packet, int attempts)
{
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (exec.readPacket(packet))
            return !running || running->load(); // a stop cuts a read short: it read nothing sure
        const ModbusPort::Failure f = line.failure();
        if (f == ModbusPort::Failure::Exception || f == ModbusPort::Failure::Cancelled
            || f == ModbusPort::Failure::BadRequest || (running && !running->load()))
            return false;
        if (!line.isOpen() && !open()) // a line that went away is opened again once
            return false;
    }
    return false;
}

bool DeviceSession::writeBlock(const DataPacket &packet, std::optional<quint16> accessCode)
{
    if (!accessCode)
        return exec.writePacket(packet);
    return exec.writePacket(packet, PacketExecutor::Guard {RegisterMap::AccessCode, *accessCode});
}

QString DeviceSession::errorString() const
{
    return openError.isEmpty() ? line.errorString() : openError;
}

QString DeviceSession::identityText(Identity identity) const
{
    switch (identity) {
    case Identity::Matches:
        return QString();
    case Identity::Unreadable:
        return QStringLiteral("identification registers could not be read: ") + errorString();
    case Identity::Mismatch:
        return QStringLiteral("the device does not match its identification (modification or rated range differ)");
    case Identity::NotRecognised:
        return QStringLiteral("address %1 answered, but not as an ОРБИКС-11").arg(address);
    }
    return QString();
}
