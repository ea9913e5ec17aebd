// The trailer that the trailer layout appends to a locked file:
//
//   body (L bytes) | "FUCK" | 4 bytes not interpreted | L (u32 LE) | N (u32 LE)
//
// The last 16 bytes, from the magic on, are the footer. N is the length of
// the enciphered head at the start of the file.
#pragma once

#include <cstdint>

#include "core/status.h"

enum : uint32_t {
    kFooterLength = 16,
    kMagicLength = 4, // "FUCK", the footer's first bytes
    kTrailerCapacity = 512,
};

struct TrailerInfo {
    uint32_t totalLength; // L + 16; 0 stands for the plain layout
    uint32_t bodyLength;  // L
    uint32_t headLength;  // N; 0 stands for the plain layout
    uint8_t bytes[kTrailerCapacity]; // body and footer in the first L + 16 bytes
};

// Parses the footer in the last 16 bytes of data[0, size). On success the
// record is filled; on failure it is left untouched.
Status ParseTrailer(const uint8_t* data, uint32_t size, TrailerInfo* info);

uint32_t ReadLittleEndian32(const uint8_t* p);
