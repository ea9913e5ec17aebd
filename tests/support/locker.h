// Makes locked files and key files exactly as Trojan.Felnox.1 leaves them,
// so that every decryption test is a round trip from a known original.
#pragma once

#include <string>

#include "tests/support/files.h"

// Plain layout: the first 4096 bytes (or all, if fewer) XORed.
Bytes LockPlain(const Bytes& original, const Bytes& keystream);

// Trailer layout: the first `head` bytes (or all, if fewer) XORed, then the
// body and the footer appended.
Bytes LockWithTrailer(const Bytes& original, const Bytes& keystream, uint32_t head,
                      const Bytes& body);

// The 16-byte footer: magic, 4 spare bytes, L, N.
Bytes Footer(uint32_t bodyLength, uint32_t head, const char magic[4] = "FUCK");

// Key file, form A: keystream[0, head), the body, the footer, 4 spare bytes.
Bytes KeyFileFormA(const Bytes& keystream, uint32_t head, const Bytes& body);
// Key file, form B: the 4096 bytes of a plain-layout keystream.
Bytes KeyFileFormB(const Bytes& keystream);

// Writes the plain-layout locked copy of `original` into folder as
// locked-NAME.suffix and returns its path.
std::wstring WritePlainLocked(const std::wstring& folder, const std::wstring& name,
                              const Bytes& original, const Bytes& keystream,
                              const wchar_t* suffix = L"abcd");
