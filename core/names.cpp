#include "core/names.h"

#include <cstring>
#include <cwchar>

namespace {

const wchar_t kLockedPrefix[] = L"locked-";
const wchar_t kNumberedInfix[] = L".decrypted";
const wchar_t kTemporaryPrefix[] = L"~felnox1-";
const wchar_t kHexDigits[] = L"0123456789abcdef";
enum : size_t {
    kTemporaryPrefixLength = 9,
    kProcessDigits = 8,
    kAttemptDigits = 2,
    kAttemptAt = kTemporaryPrefixLength + kProcessDigits + 1, // after the '-'
};

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

// Writes number's low 4 * count bits in count lowercase hex digits.
void PutHex(wchar_t* dst, size_t count, uint32_t number)
{
    for (size_t i = count; i-- > 0; number >>= 4)
        dst[i] = kHexDigits[number & 0xF];
}

bool AreHexDigits(const wchar_t* text, size_t count)
{
    for (size_t i = 0; i < count; ++i)
        if (text[i] == 0 || wcschr(kHexDigits, text[i]) == nullptr)
            return false;
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

size_t FormatTemporaryName(wchar_t* dst, size_t capacity, uint32_t process, uint32_t attempt)
{
    if (capacity <= kTemporaryNameLength || attempt >= kTemporaryNameAttempts)
        return 0;
    wmemcpy(dst, kTemporaryPrefix, kTemporaryPrefixLength);
    PutHex(dst + kTemporaryPrefixLength, kProcessDigits, process);
    dst[kAttemptAt - 1] = L'-';
    PutHex(dst + kAttemptAt, kAttemptDigits, attempt);
    dst[kTemporaryNameLength] = 0;
    return kTemporaryNameLength;
}

bool IsTemporaryName(const wchar_t* name, size_t length)
{
    if (length < kTemporaryPrefixLength || wcsncmp(name, kTemporaryPrefix, kTemporaryPrefixLength) != 0)
        return false;
    if (length == kOldTemporaryNameLength)
        return AreHexDigits(name + kTemporaryPrefixLength, length - kTemporaryPrefixLength);
    return length == kTemporaryNameLength && AreHexDigits(name + kTemporaryPrefixLength, kProcessDigits) &&
           name[kAttemptAt - 1] == L'-' && AreHexDigits(name + kAttemptAt, kAttemptDigits);
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
