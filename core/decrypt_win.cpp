#include "core/decrypt.h"

#include <cstring>
#include <cwchar>

#include "core/file_win.h"
#include "core/names.h"
#include "core/path.h"
#include "core/state.h"

namespace {

enum : uint32_t {
    kNumberedSuffixLength = 12,            // ".decrypted" and two digits
    kMinTrailerLength = kFooterLength + 4, // a body of 4 bytes at least
    kOutputPathCapacity = kPathCapacity + kNumberedSuffixLength,
};

enum : DWORD {
    // How long a refusal for sharing is tried again, per step of a file, and
    // the pause between two tries.
    kSharingWait = 2000,
    kSharingPause = 10,
    // The copy's own steps: its head, its end, its attributes, its name, and
    // its removal should a step fail.
    kCopyAccess = GENERIC_WRITE | DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES,
    // Others may read the copy being built, or delete it, but not write it.
    kCopySharing = FILE_SHARE_READ | FILE_SHARE_DELETE,
};

// The request that gives the finished copy its name through its handle,
// with room for the longest output path after its header.
union RenameRequest {
    FILE_RENAME_INFO info;
    uint8_t bytes[sizeof(FILE_RENAME_INFO) + sizeof(wchar_t) * kOutputPathCapacity];
};

// The head of the file in hand, and its paths: the scan thread's alone.
// A copy is built under a temporary path beside the locked file and takes
// its final name only when it is complete, so that whatever stops the
// program (a kill, a logoff, a failure) never leaves a partial copy under a
// name a user would trust.
uint8_t g_headBuffer[kMaxHeadLength];
wchar_t g_temporaryPath[kPathCapacity];
RenameRequest g_rename;

// The folder whose volume was last asked for its type, terminated, and
// whether its copies are flushed: the walk hands over a folder's files one
// after the other, so the volume is looked up once a folder.
wchar_t g_typedFolder[kPathCapacity];
wchar_t g_volumeRoot[kPathCapacity];
wchar_t g_volumeUserRoot[kPathCapacity];
uint32_t g_typedFolderLength = UINT32_MAX; // none yet
bool g_typedFolderFlushes;

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

// A sync client, a backup agent or an antivirus may open a new file the
// moment it appears and deny others access while it reads it. After such a
// refusal: true, after a pause, while the file's time to wait lasts.
bool MayTryAgain(ULONGLONG since)
{
    const DWORD error = GetLastError();
    if ((error != ERROR_SHARING_VIOLATION && error != ERROR_LOCK_VIOLATION) ||
        GetTickCount64() - since >= kSharingWait)
        return false;
    Sleep(kSharingPause);
    return true;
}

// Removes a copy of this call's by name, when it cannot be through its handle.
void RemoveCopy(const wchar_t* path)
{
    const ULONGLONG since = GetTickCount64();
    do {
        // The copy may have taken the locked file's read-only attribute.
        SetFileAttributesW(path, FILE_ATTRIBUTE_NORMAL);
        if (DeleteFileW(path))
            return;
    } while (MayTryAgain(since));
}

bool NameIsTaken(DWORD error) { return error == ERROR_FILE_EXISTS || error == ERROR_ALREADY_EXISTS; }

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

// The file's attributes; 0 (never a file's, which has NORMAL at least) when
// they cannot be read.
DWORD AttributesOf(HANDLE file)
{
    FILE_BASIC_INFO basic;
    return GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof basic) ? basic.FileAttributes : 0;
}

// CopyFileExW's progress routine. Its first call, as the first stream
// begins (CALLBACK_STREAM_SWITCH), gives the new file's handle: the copy is
// hidden from its first byte, so that a kill during the copy, its longest
// step, leaves no visible file. Then it is called at every chunk: Exit, a
// logoff or a shutdown stops a copy of many gigabytes at once rather than
// after its end. The system removes the copy it cancels.
DWORD CALLBACK HideAndStopWhenAsked(LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER, LARGE_INTEGER,
                                    DWORD streamNumber, DWORD reason, HANDLE, HANDLE destination, void*)
{
    // Its other attributes are kept: unknown, they are left alone.
    if (reason == CALLBACK_STREAM_SWITCH && streamNumber == 1) {
        const DWORD attributes = AttributesOf(destination);
        if (attributes != 0)
            SetAttributes(destination, attributes | FILE_ATTRIBUTE_HIDDEN);
    }
    return g_stopRequested.load(std::memory_order_relaxed) ? PROGRESS_CANCEL : PROGRESS_CONTINUE;
}

// Copies the locked file to a free temporary name beside it. On failure
// nothing of the attempt is left.
Status CopyToTemporaryName(const wchar_t* lockedPath, uint32_t folderLength)
{
    const uint32_t capacity = kPathCapacity - folderLength;
    const DWORD process = GetCurrentProcessId();
    for (uint32_t attempt = 0; attempt < kTemporaryNameAttempts; ++attempt) {
        if (FormatTemporaryName(g_temporaryPath + folderLength, capacity, process, attempt) == 0)
            return RC_FAILED;
        // CopyFileExW keeps what a byte copy would lose: server-side copies
        // on network shares, alternate streams, encrypted and sparse files,
        // attributes.
        if (CopyFileExW(lockedPath, g_temporaryPath, HideAndStopWhenAsked, nullptr, nullptr,
                        COPY_FILE_FAIL_IF_EXISTS))
            return RC_OK;
        // A name taken (a copy a killed run left) was not touched: the next
        // is tried. Any other failure may come before or after the copy was
        // created: whatever lies under the name now is this call's, since
        // the name existed not before and no other process makes this
        // process's names.
        if (!NameIsTaken(GetLastError())) {
            RemoveCopy(g_temporaryPath);
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

// Waits out a neighbour's hold on the new copy, but not past a stop: Exit
// and a logoff are answered at once, and the copy is then removed.
HANDLE OpenCopyWhenFree()
{
    const ULONGLONG since = GetTickCount64();
    HANDLE out;
    while ((out = CreateFileW(g_temporaryPath, kCopyAccess, kCopySharing, nullptr, OPEN_EXISTING, 0,
                              nullptr)) == INVALID_HANDLE_VALUE &&
           !g_stopRequested.load(std::memory_order_relaxed) && MayTryAgain(since)) {
    }
    return out;
}

// Opens the temporary copy, once for all its steps. A read-only locked file
// gives a read-only copy, which must first be made writable: then *cleared
// holds the read-only attribute, for the finished copy to take back.
HANDLE OpenTemporaryCopy(DWORD* cleared)
{
    *cleared = 0;
    HANDLE out = OpenCopyWhenFree();
    if (out != INVALID_HANDLE_VALUE || GetLastError() != ERROR_ACCESS_DENIED)
        return out;
    const DWORD attributes = GetFileAttributesW(g_temporaryPath);
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_READONLY) ||
        !SetFileAttributesW(g_temporaryPath, attributes & ~FILE_ATTRIBUTE_READONLY))
        return INVALID_HANDLE_VALUE;
    *cleared = FILE_ATTRIBUTE_READONLY;
    return OpenCopyWhenFree();
}

// The finished copy takes the locked file's attributes but HIDDEN and SYSTEM:
// it is what the user came for and must be seen. SYSTEM goes with HIDDEN
// rather than stay alone: Explorer hides a file that has both even when
// hidden files are shown, and a recovered desktop.ini left SYSTEM alone
// would pass for a file of Windows. Nor OFFLINE or TEMPORARY: a copy that
// is all there is neither lies in remote storage nor is it to be dropped.
DWORD FinishedAttributes(DWORD attributes)
{
    const DWORD dropped =
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_OFFLINE | FILE_ATTRIBUTE_TEMPORARY;
    return attributes & ~dropped;
}

// Whether copies in the locked file's folder are flushed before they take
// their final names: on a removable volume (a USB stick with write caching)
// or a remote one (a network share) the data may still fail to reach the
// medium after the rename, when the stick is pulled or the connection
// drops, and the system tells the user, not the program. On a fixed disk a
// finished copy in the system's cache survives a kill or an Exit, and a
// flush per copy would cost more than the copy. path's first folderLength
// characters are its folder, with its final '\'.
bool CopiesAreFlushed(const wchar_t* path, uint32_t folderLength)
{
    if (folderLength == g_typedFolderLength && wmemcmp(path, g_typedFolder, folderLength) == 0)
        return g_typedFolderFlushes;
    wmemcpy(g_typedFolder, path, folderLength);
    g_typedFolder[folderLength] = 0;
    g_typedFolderLength = folderLength;
    // The volume's root, also for a folder under a mount point, in the
    // \\?\ form and on a \\server\share. It is asked for its type in the
    // form users write (X:\, \\server\share\), which Windows takes alike
    // and Wine needs: it calls any \\?\X:\ a fixed disk.
    UINT type = DRIVE_UNKNOWN;
    if (GetVolumePathNameW(g_typedFolder, g_volumeRoot, kPathCapacity)) {
        MakeUserPath(g_volumeUserRoot, g_volumeRoot);
        type = GetDriveTypeW(g_volumeUserRoot);
    }
    g_typedFolderFlushes = type == DRIVE_REMOVABLE || type == DRIVE_REMOTE;
    return g_typedFolderFlushes;
}

// Gives the finished copy the first free output name, through its handle:
// the name itself, then the numbered copies .decrypted01 to .decrypted98.
// An existing file is never replaced; a name taken meanwhile passes on to
// the next. In the trailer layout the name itself is the locked file's,
// which is there: the numbered names come first, sparing a move bound to
// be refused. The full path is given: a bare name would be taken against
// the current folder by Wine.
Status MoveToFreeName(HANDLE copy, const wchar_t* path, uint32_t folderLength, const wchar_t* name,
                      size_t length, unsigned first)
{
    wchar_t* const output = g_rename.info.FileName;
    const size_t capacity = kOutputPathCapacity - folderLength;
    g_rename.info.ReplaceIfExists = FALSE;
    g_rename.info.RootDirectory = nullptr;
    wmemcpy(output, path, folderLength);
    for (unsigned attempt = first; attempt <= kMaxCopyNumber; ++attempt) {
        const size_t nameLength = FormatOutputName(output + folderLength, capacity, name, length, attempt);
        if (nameLength == 0)
            break;
        g_rename.info.FileNameLength = DWORD(sizeof(wchar_t) * (folderLength + nameLength));
        if (SetFileInformationByHandle(copy, FileRenameInfo, &g_rename, sizeof g_rename))
            return RC_OK;
        if (!NameIsTaken(GetLastError()))
            break;
    }
    return RC_FAILED;
}

// Removes the copy through its handle, read-only or not; false when the
// file system refuses.
bool DiscardCopy(HANDLE copy)
{
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return SetAttributes(copy, FILE_ATTRIBUTE_NORMAL) &&
           SetFileInformationByHandle(copy, FileDispositionInfo, &disposition, sizeof disposition);
}

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b)
{
    return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
           a.nFileIndexLow == b.nFileIndexLow;
}

// Removes the copy from its final name after its close failed, if the file
// there is still the one this call made: a final name is the user's, and
// another program may have put a file of its own there meanwhile.
void RemoveFinishedCopy(const wchar_t* path, const BY_HANDLE_FILE_INFORMATION& made)
{
    const ULONGLONG since = GetTickCount64();
    HANDLE copy;
    while ((copy = CreateFileW(path, DELETE | FILE_READ_ATTRIBUTES | FILE_WRITE_ATTRIBUTES, kCopySharing,
                               nullptr, OPEN_EXISTING, 0, nullptr)) == INVALID_HANDLE_VALUE &&
           MayTryAgain(since)) {
    }
    if (copy == INVALID_HANDLE_VALUE)
        return;
    BY_HANDLE_FILE_INFORMATION found;
    if (GetFileInformationByHandle(copy, &found) && SameFile(found, made))
        DiscardCopy(copy);
    CloseHandle(copy);
}

// Turns the temporary copy into the decrypted file, under its final name:
// the head XORed with the keystream, the trailer cut off, on a removable or
// remote volume the flush, then the move. The copy is hidden while it is
// built. Only the head, the cut, the flush, the move and the close decide:
// a share that refuses attributes still gets its file. On failure the copy
// is removed.
Status FinishCopy(const wchar_t* path, uint32_t nameOffset, const wchar_t* name, size_t nameLength,
                  unsigned firstAttempt, DWORD headRead)
{
    DWORD cleared = 0;
    HANDLE out = OpenTemporaryCopy(&cleared);
    if (out == INVALID_HANDLE_VALUE) {
        RemoveCopy(g_temporaryPath);
        return RC_FAILED;
    }
    const DWORD attributes = AttributesOf(out);
    SetAttributes(out, attributes | FILE_ATTRIBUTE_HIDDEN);
    Status status = RC_FAILED;
    if (WriteDecryptedHead(out, headRead, g_key.reference.totalLength)) {
        SetAttributes(out, FinishedAttributes(attributes | cleared));
        if (!CopiesAreFlushed(path, nameOffset) || FlushFileBuffers(out))
            status = MoveToFreeName(out, path, nameOffset, name, nameLength, firstAttempt);
    }
    const bool discarded = Failed(status) && DiscardCopy(out);
    BY_HANDLE_FILE_INFORMATION made;
    const bool known = !Failed(status) && GetFileInformationByHandle(out, &made);
    if (!CloseHandle(out) && !Failed(status)) {
        // A write the system delayed (on a network share) can fail at the
        // close: the copy, under its final name by then, may be incomplete.
        if (known)
            RemoveFinishedCopy(g_rename.info.FileName, made);
        status = RC_FAILED;
    } else if (Failed(status) && !discarded) {
        RemoveCopy(g_temporaryPath);
    }
    return status;
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
    // Held, so that the file copied by name is the file whose head was read.
    HANDLE locked = OpenAndHold(path);
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
    status = CopyToTemporaryName(path, nameOffset);
    if (!Failed(status))
        status = FinishCopy(path, nameOffset, name, nameLength, trailerLayout ? 1 : 0, headRead);

out:
    CloseHandle(locked);
    return status;
}
