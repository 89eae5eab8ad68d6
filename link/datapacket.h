#pragma once

#include "link/registerrequest.h"

#include <vector>

// A block of register values together with the ordered requests that fill it
// from the device or send it there. Every entry points into this same object,
// so a copy must rebuild its entries: copying is done by clone(), never by the
// copy constructor.
class DataPacket
{
public:
    virtual ~DataPacket();
    virtual DataPacket *clone() const = 0;

    const std::vector<RegisterRequest> &requests() const { return list; }

    DataPacket(const DataPacket &) = delete;
    DataPacket &operator=(const DataPacket &) = delete;

protected:
    DataPacket() = default;
    // Constructors append their entries in execution order, base entries first.
    void addRequest(void *buffer, quint32 byteCount, quint32 firstRegister);

private:
    std::vector<RegisterRequest> list;
};
