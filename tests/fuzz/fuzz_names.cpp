// Any file name: the name rules never write past the buffer they are given,
// and a name they produce is terminated and as long as they say.
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <vector>

#include "core/names.h"

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
    return 0;
}
