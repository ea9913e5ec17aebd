#include "scan/entry.h"

bool SkipUnopened(const KeyState& key, uint64_t size, uint32_t attributes)
{
    const bool trailerLayout = key.reference.headLength != 0;
    return TooSmallToBeLocked(key, size) || (trailerLayout && (attributes & kAttributesOfRemoteData) != 0);
}
