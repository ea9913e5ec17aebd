#include "tests/support/locker.h"

#include <algorithm>

namespace {

Bytes XorHead(Bytes bytes, const Bytes& keystream, size_t head)
{
    head = std::min({head, bytes.size(), keystream.size()});
    for (size_t i = 0; i < head; ++i)
        bytes[i] ^= keystream[i];
    return bytes;
}

void Append32(Bytes* bytes, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8)
        bytes->push_back(uint8_t(value >> shift));
}

} // namespace

Bytes LockPlain(const Bytes& original, const Bytes& keystream)
{
    return XorHead(original, keystream, 4096);
}

Bytes Footer(uint32_t bodyLength, uint32_t head, const char magic[4])
{
    Bytes footer(magic, magic + 4);
    Append32(&footer, 0x5A5A5A5A);
    Append32(&footer, bodyLength);
    Append32(&footer, head);
    return footer;
}

Bytes LockWithTrailer(const Bytes& original, const Bytes& keystream, uint32_t head,
                      const Bytes& body)
{
    Bytes locked = XorHead(original, keystream, head);
    locked.insert(locked.end(), body.begin(), body.end());
    const Bytes footer = Footer(uint32_t(body.size()), head);
    locked.insert(locked.end(), footer.begin(), footer.end());
    return locked;
}

Bytes KeyFileFormA(const Bytes& keystream, uint32_t head, const Bytes& body)
{
    Bytes key(keystream.begin(), keystream.begin() + std::min<size_t>(head, keystream.size()));
    key.insert(key.end(), body.begin(), body.end());
    const Bytes footer = Footer(uint32_t(body.size()), head);
    key.insert(key.end(), footer.begin(), footer.end());
    Append32(&key, 0xA5A5A5A5);
    return key;
}

Bytes KeyFileFormB(const Bytes& keystream)
{
    return Bytes(keystream.begin(), keystream.begin() + 4096);
}

std::wstring WritePlainLocked(const std::wstring& folder, const std::wstring& name,
                              const Bytes& original, const Bytes& keystream, const wchar_t* suffix)
{
    const std::wstring path = folder + L"\\locked-" + name + L"." + suffix;
    WriteBytes(path, LockPlain(original, keystream));
    return path;
}
