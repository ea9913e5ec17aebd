// Any block of bytes: ParseTrailer stays inside the block and the record,
// and what it accepts is a trailer that fits both.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/trailer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 1 << 16)
        return 0;
    // An exact-size copy, so that a read past the end is caught.
    std::vector<uint8_t> block(data, data + size);
    TrailerInfo info;
    memset(&info, 0xAB, sizeof info);
    if (ParseTrailer(block.data(), uint32_t(size), &info) != RC_OK)
        return 0;
    if (info.totalLength != info.bodyLength + 16 || info.totalLength > size ||
        info.totalLength > kTrailerCapacity ||
        memcmp(info.bytes, block.data() + size - info.totalLength, info.totalLength) != 0)
        abort();
    return 0;
}
