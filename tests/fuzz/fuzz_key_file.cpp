// Any key file contents: a key is taken only when it fits the file, the
// keystream never overruns, a refused file leaves the key alone, and the
// keystream taken XORs byte for byte.
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/key.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > kKeyFileMaxSize + 16)
        return 0;
    std::vector<uint8_t> file(data, data + size);
    static KeyState key;
    static KeyState before;
    memset(&key, 0x5C, sizeof key);
    memcpy(&before, &key, sizeof key);
    const Status status = ParseKeyFile(file.data(), uint32_t(size), &key);
    if (status != RC_OK) {
        if (memcmp(&key, &before, sizeof key) != 0)
            abort();
        return 0;
    }
    if (key.keystreamLength == 0 || key.keystreamLength > kKeystreamCapacity ||
        memcmp(key.keystream, file.data(), key.keystreamLength) != 0)
        abort();
    if (key.reference.headLength != 0 &&
        uint64_t(key.keystreamLength) + key.reference.totalLength + 4 > size)
        abort();
    if (key.reference.headLength == 0 && (size != kPlainHeadLength || key.reference.totalLength != 0))
        abort();
    // XORed over bytes of all ones, the keystream gives its own complement.
    std::vector<uint8_t> ones(key.keystreamLength, 0xFF);
    XorBytes(ones.data(), key.keystream, key.keystreamLength);
    for (uint32_t i = 0; i < key.keystreamLength; ++i)
        if (ones[i] != uint8_t(~file[i]))
            abort();
    return 0;
}
