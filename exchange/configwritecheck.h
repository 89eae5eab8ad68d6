#pragma once

#include <QStringList>

#include <memory>

class ConfigPacket;

// What a connection keeps about configuration writes: the block last read from the
// device (the one a backup before a write saves), and the block just written,
// compared with what the device holds when it is read back.
class ConfigWriteCheck
{
public:
    // What a configuration event means for the write last started.
    enum class Outcome {
        Read,              // an ordinary read
        Written,           // written: a read-back is due
        NotWritten,        // refused part-way: the thread reads the device again
        RereadAfterFailure,// that read: the device's values after the failed write
        Confirmed,         // the read-back holds what was written
        Differs            // the read-back holds other values: differences() names them
    };

    ConfigWriteCheck();
    ~ConfigWriteCheck();

    // A new connection: nothing read, nothing written.
    void reset();
    Outcome onConfiguration(const ConfigPacket &block, int result);
    // The connection's newest block, whatever the event that brought it; null before one.
    const ConfigPacket *lastBlock() const { return lastRead.get(); }
    // "Label (name): записано W, на устройстве H" for each field of the last Differs.
    const QStringList &differences() const { return found; }

private:
    std::unique_ptr<ConfigPacket> lastRead;
    std::unique_ptr<ConfigPacket> written;
    bool afterFailure = false;
    QStringList found;
};
