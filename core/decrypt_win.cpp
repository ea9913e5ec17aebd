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
    kTemporaryNameAttempts = 16,
};

// The head of the file in hand, and its output path: the scan thread's alone.
// A copy is built under a temporary path beside the locked file and takes
// its final name only when it is complete, so that whatever stops the
// program (a kill, a logoff, a failure) never leaves a partial copy under a
// name a user would trust.
uint8_t g_headBuffer[kMaxHeadLength];
wchar_t g_temporaryPath[kPathCapacity];
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

void RemoveTemporaryCopy()
{
    // The copy may have taken the locked file's read-only attribute.
    SetFileAttributesW(g_temporaryPath, FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(g_temporaryPath);
}

bool NameIsTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

// Copies the locked file to a free temporary name beside it. On failure
// nothing of the attempt is left.
Status CopyToTemporaryName(const wchar_t* lockedPath, uint32_t folderLength)
{
    const uint32_t capacity = kPathCapacity - folderLength;
    // Another run beside this one, or a temporary copy a killed run left,
    // may hold a name: each process starts at its own.
    const uint32_t first = GetCurrentProcessId();
    for (uint32_t attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        if (FormatTemporaryName(g_temporaryPath + folderLength, capacity, first + attempt) == 0)
            return RC_FAILED;
        // CopyFileW keeps what a byte copy would lose: server-side copies on
        // network shares, alternate streams, attributes.
        if (CopyFileW(lockedPath, g_temporaryPath, TRUE))
            return RC_OK;
        if (!NameIsTaken(GetLastError())) {
            RemoveTemporaryCopy(); // a copy that failed half-way
            return RC_FAILED;
        }
    }
    return RC_FAILED;
}

bool WriteDecryptedHead(HANDLE out, DWORD headRead, uint32_t trailerLength)
{
    XorBytes(g_headBuffer, g_key.keystream, headRead);
    DWORD written = 0;
    return WriteFile(out, g_headBuffer, headRead, &written, nullptr) && written == headRead &&
           (trailerLength == 0 || (SeekTo(out, -int64_t(trailerLength), FILE_END) && SetEndOfFile(out)));
}

// Opens the temporary copy to write its head. A read-only locked file gives
// a read-only copy, which must first be made writable: then *cleared holds
// the read-only attribute, for the finished copy to take back.
HANDLE OpenTemporaryCopy(DWORD* cleared)
{
    const DWORD access = GENERIC_WRITE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES;
    *cleared = 0;
    HANDLE out = CreateFileW(g_temporaryPath, access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (out != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED)
        return out;
    const DWORD attributes = GetFileAttributesW(g_temporaryPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
        !SetFileAttributesW(g_temporaryPath, attributes & ~FILE_ATTRIBUTE_READONLY))
        return INVALID_HANDLE_VALUE;
    *cleared = FILE_ATTRIBUTE_READONLY;
    return CreateFileW(g_temporaryPath, access, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

// Through the open handle: under Wine every call by path opens the file
// once more, which costs as much as writing its head. Only the attributes
// a program may set are passed on; compression, encryption and the like
// belong to the file system.
bool SetAttributes(HANDLE file, DWORD attributes)
{
    const DWORD settable = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM |
                           FILE_ATTRIBUTE_ARCHIVE | FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_OFFLINE |
                           FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;
    attributes &= settable;
    FILE_BASIC_INFO basic = {}; // times of zero are left as they are
    basic.FileAttributes = attributes != 0 ? attributes : FILE_ATTRIBUTE_NORMAL;
    return SetFileInformationByHandle(file, FileBasicInfo, &basic, sizeof basic) != 0;
}

// Turns the temporary copy into the decrypted file: the head XORed with the
// keystream, the trailer cut off. Hidden while it is built; then it takes
// the locked file's attributes, all but hidden.
Status DecryptTemporaryCopy(DWORD headRead, uint32_t trailerLength)
{
    DWORD cleared = 0;
    HANDLE out = OpenTemporaryCopy(&cleared);
    if (out == INVALID_HANDLE_VALUE)
        return RC_FAILED;
    Status status = RC_FAILED;
    FILE_BASIC_INFO copy;
    if (GetFileInformationByHandleEx(out, FileBasicInfo, &copy, sizeof copy) &&
        SetAttributes(out, copy.FileAttributes | FILE_ATTRIBUTE_HIDDEN) &&
        WriteDecryptedHead(out, headRead, trailerLength) &&
        SetAttributes(out, (copy.FileAttributes | cleared) & ~FILE_ATTRIBUTE_HIDDEN))
        status = RC_OK;
    // A write the system delayed (on a network share) can fail at the close.
    if (!CloseHandle(out))
        status = RC_FAILED;
    return status;
}

// Moves the finished copy to the first free output name: the name itself,
// then the numbered copies .decrypted01 to .decrypted98. An existing file is
// never replaced; a name taken meanwhile passes on to the next. In the
// trailer layout the name itself is the locked file's, which is there: the
// numbered names come first, sparing a move bound to be refused.
Status MoveToFreeName(uint32_t folderLength, const wchar_t* name, size_t length, unsigned first)
{
    const size_t capacity = sizeof g_outputPath / sizeof g_outputPath[0];
    for (unsigned attempt = first; attempt <= kMaxCopyNumber; ++attempt) {
        if (FormatOutputName(g_outputPath + folderLength, capacity - folderLength, name, length,
                             attempt) == 0)
            break;
        if (MoveFileExW(g_temporaryPath, g_outputPath, 0))
            return RC_OK;
        if (!NameIsTaken(GetLastError()))
            break;
    }
    return RC_FAILED;
}

} // namespace

Status DecryptLockedFile(const wchar_t* path, uint32_t nameOffset)
{
    const TrailerInfo& reference = g_key.reference;
    const bool trailerLayout = reference.headLength != 0;
    // The name must lie inside the path before it is measured.
    if (nameOffset >= wcsnlen(path, kPathCapacity))
        return RC_FAILED;
    const wchar_t* name = path + nameOffset;
    size_t nameLength = wcslen(name);
    // A copy a stopped run left half-built holds a locked file's bytes, in
    // the trailer layout with its trailer.
    if (IsTemporaryName(name, nameLength))
        return RC_NOT_LOCKED_NAME;
    if (!trailerLayout) {
        if (!IsLockedName(name, nameLength))
            return RC_NOT_LOCKED_NAME;
        name += kLockedPrefixLength;
        nameLength -= kLockedPrefixLength + kLockedSuffixLength;
    }

    Status status = RC_FAILED;
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

    wmemcpy(g_temporaryPath, path, nameOffset);
    if (Failed(CopyToTemporaryName(path, nameOffset)))
        goto out;
    status = DecryptTemporaryCopy(headRead, reference.totalLength);
    if (!Failed(status)) {
        wmemcpy(g_outputPath, path, nameOffset);
        status = MoveToFreeName(nameOffset, name, nameLength, trailerLayout ? 1 : 0);
    }
    if (Failed(status))
        RemoveTemporaryCopy();

out:
    CloseHandle(locked);
    return status;
}
