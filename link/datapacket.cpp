#include "link/datapacket.h"

DataPacket::~DataPacket() = default;

void DataPacket::addRequest(void *buffer, quint32 byteCount, quint32 firstRegister)
{
    list.push_back(RegisterRequest {buffer, byteCount, firstRegister});
}
