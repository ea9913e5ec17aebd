#include "core/names.h"

#include <cstring>
#include <cwchar>

namespace {

const wchar_t kLockedPrefix[] = L"locked-";
const wchar_t kNumberedInfix[] = L".decrypted";

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
