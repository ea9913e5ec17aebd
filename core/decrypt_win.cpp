#include "core/decrypt.h"

#include <cstring>
#include <cwchar>

#include "core/file_win.h"
#include "core/names.h"
#include "core/state.h"

namespace {

enum : uint32_t {
    kNumberedSuffixLength = 12,            // ".decrypted" and two digits
    kMinTrailerLength = kFooterLength + 4, // a body of 4 bytes at least
};

// The head of the file in hand, and its output path: the scan thread's alone.
uint8_t g_headBuffer[kMaxHeadLength];
wchar_t g_outputPath[kPathCapacity + kNumberedSuffixLength];

// Checks that the locked file ends in the key's reference trailer (same body)
// and learns this file's head length from its footer.
Status ReadHeadLengthFromTrailer(HANDLE locked, const TrailerInfo& reference, uint32_t* head)
{
    uint8_t scratch[kTrailerCapacity];
    const uint32_t total = reference.totalLength;
    DWORD got = 0;
    if (!SeekTo(locked, -int64_t(total), FILE_END) ||
        !ReadUntilFullOrEnd(locked, scratch, total, &got) || got < total)
        return RC_FAILED;
    if (memcmp(scratch, reference.bytes, reference.bodyLength + kMagicLength) != 0 ||
        total < kMinTrailerLength)
        return RC_FAILED;
    TrailerInfo trailer;
    if (Failed(ParseTrailer(scratch, total, &trailer)) || trailer.headLength > kMaxHeadLength)
        return RC_FAILED;
    *head = trailer.headLength;
    return SeekTo(locked, 0, FILE_BEGIN) ? RC_OK : RC_FAILED;
}

// Creates the first free output name: the name itself, then the numbered
// copies .decrypted01 to .decrypted98.
HANDLE CreateOutputFile(uint32_t folderLength, const wchar_t* name, size_t length)
{
    const size_t capacity = sizeof g_outputPath / sizeof g_outputPath[0];
    for (unsigned attempt = 0; attempt <= kMaxCopyNumber; ++attempt) {
        if (FormatOutputName(g_outputPath + folderLength, capacity - folderLength, name, length,
                             attempt) == 0)
            break;
        HANDLE out = CreateFileW(g_outputPath, GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                 CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (out != INVALID_HANDLE_VALUE)
            return out;
        const DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS)
            break;
    }
    return INVALID_HANDLE_VALUE;
}

// Turns the new file into the decrypted copy: the locked file's contents,
// the head XORed with the keystream, the trailer cut off.
Status FillOutputFile(const wchar_t* lockedPath, HANDLE out, DWORD headRead, uint32_t trailerLength)
{
    if (!CopyFileW(lockedPath, g_outputPath, FALSE))
        return RC_FAILED;
    XorBytes(g_headBuffer, g_key.keystream, headRead);
    DWORD written = 0;
    if (!SeekTo(out, 0, FILE_BEGIN) || !WriteFile(out, g_headBuffer, headRead, &written, nullptr) ||
        written != headRead)
        return RC_FAILED;
    if (trailerLength != 0 && (!SeekTo(out, -int64_t(trailerLength), FILE_END) || !SetEndOfFile(out)))
        return RC_FAILED;
    return RC_OK;
}

} // namespace

Status DecryptLockedFile(const wchar_t* path, uint32_t nameOffset)
{
    const TrailerInfo& reference = g_key.reference;
    const bool trailerLayout = reference.headLength != 0;
    const wchar_t* name = path + nameOffset;
    size_t nameLength = wcslen(name);
    if (nameOffset >= kPathCapacity)
        return RC_FAILED;
    if (!trailerLayout) {
        if (!IsLockedName(name, nameLength))
            return RC_NOT_LOCKED_NAME;
        name += kLockedPrefixLength;
        nameLength -= kLockedPrefixLength + kLockedSuffixLength;
    }

    Status status = RC_FAILED;
    HANDLE output = INVALID_HANDLE_VALUE;
    uint32_t head = kPlainHeadLength;
    DWORD headRead = 0;
    HANDLE locked = OpenForReading(path);
    if (locked == INVALID_HANDLE_VALUE)
        return RC_FAILED;

    if (trailerLayout && Failed(ReadHeadLengthFromTrailer(locked, reference, &head)))
        goto out;
    // A copy decrypted only in part would pass for a recovered file.
    if (head > g_key.keystreamLength)
        goto out;
    // A head cut short by a failed read would be decrypted only in part.
    if (!ReadUntilFullOrEnd(locked, g_headBuffer, head, &headRead) || headRead == 0)
        goto out;

    wmemcpy(g_outputPath, path, nameOffset);
    output = CreateOutputFile(nameOffset, name, nameLength);
    if (output == INVALID_HANDLE_VALUE)
        goto out;
    status = FillOutputFile(path, output, headRead, reference.totalLength);
    CloseHandle(output);
    // Never leave a half-decrypted file under a name the user would trust.
    // The copy may have taken the locked file's read-only attribute.
    if (Failed(status)) {
        SetFileAttributesW(g_outputPath, FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(g_outputPath);
    }

out:
    CloseHandle(locked);
    return status;
}
