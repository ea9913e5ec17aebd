// Result codes of the recovery core and the scanner.
//
// Zero is success; a failure has the top bit set. Callers test with
// Failed() rather than for particular codes.
#pragma once

#include <cstdint>

typedef uint32_t Status;

enum : Status {
    RC_OK               = 0x00000000,
    RC_FAILED           = 0xC0000001, // not opened or read, cancelled, declined, no match
    RC_RETRY            = 0xC000022D, // ask the user again
    RC_BAD_TRAILER      = 0xC0190036, // no valid footer
    RC_TRAILER_TOO_LONG = 0x80000005, // trailer over 512 bytes, or head over 32768 bytes
    RC_NOT_LOCKED_NAME  = 0xC0000901, // plain layout: not named locked-NAME.xxxx
    RC_NOT_KEY_NAME     = 0xC00000D5, // not named felnox1.key
    RC_KEY_TOO_LONG     = 0xC0000023, // key file announces a head over 32768 bytes
    RC_PATH_TOO_LONG    = 0xC0000229, // directory path over 32768 characters
    RC_EMPTY_PATH       = 0xC0000257, // scan path empty or separators only
    RC_DRIVE_SKIPPED    = 0xC0000010, // drive not opened, or optical
};

inline bool Failed(Status status) { return (status & 0x80000000u) != 0; }
