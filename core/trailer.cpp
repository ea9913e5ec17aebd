#include "core/trailer.h"

#include <cstring>

namespace {
const uint8_t kMagic[kMagicLength] = {'F', 'U', 'C', 'K'};
}

uint32_t ReadLittleEndian32(const uint8_t* p)
{
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

Status ParseTrailer(const uint8_t* data, uint32_t size, TrailerInfo* info)
{
    if (size < kFooterLength)
        return RC_BAD_TRAILER;
    const uint8_t* footer = data + size - kFooterLength;
    if (memcmp(footer, kMagic, sizeof kMagic) != 0)
        return RC_BAD_TRAILER;

    // L comes from the file and may be any 32-bit value: widen before adding.
    const uint64_t bodyLength = ReadLittleEndian32(footer + 8);
    const uint64_t totalLength = bodyLength + kFooterLength;
    if (totalLength > size)
        return RC_BAD_TRAILER;
    if (totalLength > kTrailerCapacity)
        return RC_TRAILER_TOO_LONG;

    info->totalLength = uint32_t(totalLength);
    info->bodyLength = uint32_t(bodyLength);
    info->headLength = ReadLittleEndian32(footer + 12);
    memcpy(info->bytes, data + size - totalLength, size_t(totalLength));
    return RC_OK;
}
