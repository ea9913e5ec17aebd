#include "core/key.h"

#include <cstring>
#include <cwchar>

namespace {

wchar_t AsciiLower(wchar_t c)
{
    return c >= L'A' && c <= L'Z' ? wchar_t(c - L'A' + L'a') : c;
}

} // namespace

void XorBytes(uint8_t* dst, const uint8_t* src, uint32_t count)
{
    for (uint32_t i = 0; i < count; ++i)
        dst[i] ^= src[i];
}

bool TooSmallToBeLocked(const KeyState& key, uint64_t size)
{
    return key.reference.headLength != 0 && size < key.reference.totalLength;
}

Status CheckKeyFileName(const wchar_t* path)
{
    const wchar_t* name = wcsrchr(path, L'\\');
    if (!name)
        return RC_FAILED;
    ++name;
    for (size_t i = 0;; ++i) {
        if (AsciiLower(name[i]) != kKeyFileName[i])
            return RC_NOT_KEY_NAME;
        if (name[i] == 0)
            return RC_OK;
    }
}

Status ParseKeyFile(const uint8_t* data, uint32_t size, KeyState* key)
{
    if (size < kKeyFileMinSize || size > kKeyFileMaxSize)
        return RC_FAILED;

    TrailerInfo trailer;
    if (!Failed(ParseTrailer(data, size - 4, &trailer))) {
        const uint32_t head = trailer.headLength;
        if (head > kKeystreamCapacity)
            return RC_KEY_TOO_LONG;
        // A key that holds no keystream, or announces more than the file has
        // before its trailer, would decrypt nothing right.
        if (head == 0 || head > size - 4 - trailer.totalLength)
            return RC_FAILED;
        memcpy(key->keystream, data, head);
        key->keystreamLength = head;
        key->reference = trailer;
        return RC_OK;
    }
    if (size == kPlainHeadLength) {
        memcpy(key->keystream, data, kPlainHeadLength);
        key->keystreamLength = kPlainHeadLength;
        memset(&key->reference, 0, sizeof key->reference);
        return RC_OK;
    }
    return RC_FAILED;
}
