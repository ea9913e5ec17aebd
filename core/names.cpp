#include "core/names.h"

#include <cstring>
#include <cwchar>

namespace {

const wchar_t kLockedPrefix[] = L"locked-";
const wchar_t kNumberedInfix[] = L".decrypted";
const wchar_t kTemporaryPrefix[] = L"~felnox1-";
const wchar_t kHexDigits[] = L"0123456789abcdef";
enum : size_t { kTemporaryPrefixLength = 9 };

enum : size_t {
    kCopyNumberDigits = 2,
    // MAX_PATH with "locked-" in front: an original's name this long or
    // longer gets no proposed locked name.
    kLongestProposedName = 260 + kLockedPrefixLength,
};

// Copies count characters to dst + at, if they fit below capacity.
bool Put(wchar_t* dst, size_t capacity, size_t* at, const wchar_t* src, size_t count)
{
    if (count > capacity || *at > capacity - count)
        return false;
    wmemcpy(dst + *at, src, count);
    *at += count;
    return true;
}

} // namespace

bool IsLockedName(const wchar_t* name, size_t length)
{
    return length > kLockedPrefixLength + kLockedSuffixLength &&
           wcsncmp(name, kLockedPrefix, kLockedPrefixLength) == 0 &&
           name[length - kLockedSuffixLength] == L'.';
}

size_t FormatOutputName(wchar_t* dst, size_t capacity, const wchar_t* name, size_t length,
                        unsigned attempt)
{
    if (attempt > kMaxCopyNumber)
        return 0;
    size_t at = 0;
    bool fits;
    if (attempt == 0) {
        fits = Put(dst, capacity, &at, name, length);
    } else {
        size_t dot = length;
        while (dot > 0 && name[dot - 1] != L'.')
            --dot;
        const size_t base = dot > 0 ? dot - 1 : length; // no dot: all of it is the base
        const wchar_t digits[kCopyNumberDigits] = {wchar_t(L'0' + attempt / 10),
                                                   wchar_t(L'0' + attempt % 10)};
        fits = Put(dst, capacity, &at, name, base) &&
               Put(dst, capacity, &at, kNumberedInfix, wcslen(kNumberedInfix)) &&
               Put(dst, capacity, &at, digits, kCopyNumberDigits) &&
               Put(dst, capacity, &at, name + base, length - base);
    }
    if (!fits || at == capacity)
        return 0;
    dst[at] = 0;
    return at;
}

size_t FormatTemporaryName(wchar_t* dst, size_t capacity, uint32_t number)
{
    if (capacity <= kTemporaryNameLength)
        return 0;
    wmemcpy(dst, kTemporaryPrefix, kTemporaryPrefixLength);
    for (size_t i = kTemporaryNameLength; i-- > kTemporaryPrefixLength; number >>= 4)
        dst[i] = kHexDigits[number & 0xF];
    dst[kTemporaryNameLength] = 0;
    return kTemporaryNameLength;
}

bool IsTemporaryName(const wchar_t* name, size_t length)
{
    if (length != kTemporaryNameLength || wcsncmp(name, kTemporaryPrefix, kTemporaryPrefixLength) != 0)
        return false;
    for (size_t i = kTemporaryPrefixLength; i < length; ++i)
        if (name[i] == 0 || wcschr(kHexDigits, name[i]) == nullptr)
            return false;
    return true;
}

size_t ProposeLockedPath(wchar_t* dst, size_t capacity, const wchar_t* original)
{
    const size_t length = wcslen(original);
    const wchar_t* slash = wcsrchr(original, L'\\');
    size_t at = 0;
    if (slash && wcslen(slash + 1) < kLongestProposedName) {
        const size_t folder = size_t(slash + 1 - original);
        if (Put(dst, capacity, &at, original, folder) &&
            Put(dst, capacity, &at, kLockedPrefix, kLockedPrefixLength) &&
            Put(dst, capacity, &at, slash + 1, length - folder) && at < capacity) {
            dst[at] = 0;
            return at;
        }
    }
    at = 0;
    if (!Put(dst, capacity, &at, original, length) || at == capacity)
        return 0;
    dst[at] = 0;
    return at;
}
