#include "device/searchpacket.h"

#include "device/registermap.h"

#include <algorithm>

SearchPacket::SearchPacket()
{
    addRequest(words, sizeof words, RegisterMap::Identification);
}

SearchPacket::SearchPacket(const SearchPacket &other)
    : SearchPacket()
{
    std::copy(std::begin(other.words), std::end(other.words), words);
}

SearchPacket *SearchPacket::clone() const
{
    return new SearchPacket(*this);
}
