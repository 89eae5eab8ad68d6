#pragma once

#include "link/datapacket.h"

// The identification block: registers 1..4.
class SearchPacket : public DataPacket
{
public:
    SearchPacket();
    SearchPacket(const SearchPacket &other);
    SearchPacket *clone() const override;

    quint16 currentScale() const { return words[0]; }
    quint16 minRatedCounts() const { return words[1]; }
    quint16 maxRatedCounts() const { return words[2]; }
    quint16 modification() const { return words[3]; }

    quint16 words[4] = {0, 0, 0, 0};
};
