// Any file name: the name rules never write past the buffer they are given,
// a name they produce is terminated and as long as they say, and only
// felnox1.key (in any ASCII case) is taken for a key file's name.
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <vector>

#include "core/key.h"
#include "core/names.h"

namespace {

// The name read as a path: a key file when its last component is
// felnox1.key in any case of the letters A to Z, and only then.
void CheckKeyName(const std::vector<wchar_t>& path)
{
    const wchar_t kKeyName[] = L"felnox1.key";
    const Status status = CheckKeyFileName(path.data());
    const wchar_t* slash = wcsrchr(path.data(), L'\\');
    if (slash == nullptr) {
        if (status != RC_FAILED)
            abort();
        return;
    }
    bool same = wcslen(slash + 1) == wcslen(kKeyName);
    for (size_t i = 0; same && kKeyName[i] != 0; ++i) {
        const wchar_t c = slash[1 + i];
        same = c == kKeyName[i] || (c >= L'A' && c <= L'Z' && c - L'A' + L'a' == kKeyName[i]);
    }
    if (status != (same ? RC_OK : RC_NOT_KEY_NAME))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2 || size > 1200)
        return 0;
    // First byte: the capacity of the output; the rest: 16-bit characters.
    const size_t capacity = data[0];
    std::vector<wchar_t> name;
    for (size_t i = 1; i + 1 < size; i += 2) {
        const wchar_t c = wchar_t(data[i] | data[i + 1] << 8);
        if (c != 0)
            name.push_back(c);
    }
    const size_t length = name.size();
    name.push_back(0);

    IsLockedName(name.data(), length);
    std::vector<wchar_t> out(capacity + 1);
    for (unsigned attempt : {0u, 1u, 42u, 98u, 99u}) {
        const size_t written = FormatOutputName(out.data(), capacity,
                                                name.data(), length, attempt);
        if (written != 0 && (written >= capacity || out[written] != 0 || wcslen(out.data()) != written))
            abort();
        if (attempt > kMaxCopyNumber && written != 0)
            abort();
    }
    const size_t proposed = ProposeLockedPath(out.data(), capacity, name.data());
    if (proposed != 0 && (proposed >= capacity || out[proposed] != 0))
        abort();
    CheckKeyName(name);

    // A temporary name is made only where it fits, and is known again; a
    // name taken for one begins like one.
    const uint32_t process = uint32_t(length) * 0x9E3779B9u ^ name[0];
    const uint32_t attempt = name[0] % (kTemporaryNameAttempts + 2);
    const size_t temporary = FormatTemporaryName(out.data(), capacity, process, attempt);
    if (temporary != 0 && (temporary >= capacity || !IsTemporaryName(out.data(), temporary)))
        abort();
    if ((temporary == 0) != (capacity <= kTemporaryNameLength || attempt >= kTemporaryNameAttempts))
        abort();
    // Two processes never make one name.
    std::vector<wchar_t> other(kTemporaryNameLength + 1);
    if (temporary != 0 &&
        (FormatTemporaryName(other.data(), other.size(), process + 1 + name[0] % 1000u, attempt) == 0 ||
         wcscmp(other.data(), out.data()) == 0))
        abort();
    if (IsTemporaryName(name.data(), length) && (IsLockedName(name.data(), length) || name[0] != L'~'))
        abort();
    return 0;
}
