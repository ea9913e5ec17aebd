// The directory walk, without recursion.
//
// Each directory being walked is one level of a fixed stack: its open
// enumeration and the position in the path buffer where its entries' names
// go. The stack holds as many levels as the 32768-character path limit
// allows (every level adds a name and a separator, two characters at
// least), so no tree can exhaust the thread's stack; the walk's own frame
// stays the same size at every depth.
//
// Links (directory entries with FILE_ATTRIBUTE_REPARSE_POINT: symbolic
// links, junctions, mount points; under Wine, Unix symbolic links) are
// followed, except into one of the link's own ancestors: a directory on the
// walk's current path (the root of the walk included) or above the root on
// its volume. Entering one would walk the same files again and again until
// the path limit, each time writing another numbered copy of every locked
// file. A directory is known by its volume serial number and file index,
// read only when a link is met (the walk's levels keep theirs once read), so
// a tree without links costs no more than its enumerations.
//
// The display keeps the pace of the eye, not of the entries: an update that
// comes within an interval of the last one shown is held back (see
// DisplayDue) and replaced by the next. The one held when the walk ends or
// stops is shown then, so the window is left exactly as updating it at
// every entry would have left it. A file whose copy may take long is
// named on the status line before its copy begins, whatever the pace: the
// update held back then would be older than the file in hand, and stay on
// screen for as long as the copy takes.
//
// Files are skipped unopened when their entry tells they cannot be locked
// (see scan/entry.h): too short for the key's trailer, or, in the trailer
// layout, with their data in remote storage (a cloud folder's online-only
// files), which reading would download.
//
// In a 32-bit process on 64-bit Windows, each call that opens a file or
// folder by a path that the system redirects (System32 and a few others)
// runs with the redirection off, and nothing else does (see
// scan/redirection_win.h).
#include <windows.h>

#include <cwchar>

#include "core/decrypt.h"
#include "core/state.h"
#include "scan/entry.h"
#include "scan/progress.h"
#include "scan/redirection_win.h"
#include "scan/state.h"
#include "scan/target.h"
#include "scan/walk.h"

namespace {

enum : uint32_t {
    kMaxWalkDepth = kMaxDirectoryPath / 2 + 1, // levels 0 to 16384
    kDisplayEvery = 64,                        // entries between updates in a drive scan
};

enum IdentityState : uint32_t { kIdentityUnknown, kIdentityKnown, kIdentityUnreadable };

struct DirectoryIdentity {
    uint32_t volume;
    uint32_t indexHigh;
    uint32_t indexLow;
};

struct WalkLevel {
    HANDLE find;
    uint32_t nameStart; // where the names of this directory's entries are written
    uint32_t pathEnd;   // the length of this directory's own path
    IdentityState identityState;
    DirectoryIdentity identity;
};

// The walk runs on the scan thread only, one at a time.
WalkLevel g_levels[kMaxWalkDepth];
WIN32_FIND_DATAW g_entry;

// The latest display update: the status line's text, copied from the path
// buffer (which changes at the next entry) in the form users write, and the
// bar's position; whether it is held back, and when the last update was
// shown. Kept from one walk to the next, as one scan's drives follow each
// other.
wchar_t g_statusText[kPathCapacity];
uint32_t g_statusPosition;
bool g_held;
DisplayPace g_pace;

bool ReadIdentity(const wchar_t* path, DirectoryIdentity* identity)
{
    HANDLE directory = WithoutRedirection(path, [path] {
        return CreateFileW(path, FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    });
    if (directory == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info;
    const bool ok = GetFileInformationByHandle(directory, &info) != 0;
    CloseHandle(directory);
    if (ok)
        *identity = {info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
    return ok;
}

bool SameIdentity(const DirectoryIdentity& a, const DirectoryIdentity& b)
{
    return a.volume == b.volume && a.indexHigh == b.indexHigh && a.indexLow == b.indexLow;
}

// The identity of an open level's directory, read on first use: its path is
// the buffer's first pathEnd characters, cut there for the moment.
const DirectoryIdentity* LevelIdentity(wchar_t* buffer, WalkLevel* level)
{
    if (level->identityState == kIdentityUnknown) {
        const wchar_t saved = buffer[level->pathEnd];
        buffer[level->pathEnd] = L'\0';
        level->identityState =
            ReadIdentity(buffer, &level->identity) ? kIdentityKnown : kIdentityUnreadable;
        buffer[level->pathEnd] = saved;
    }
    return level->identityState == kIdentityKnown ? &level->identity : nullptr;
}

// Is the directory whose path is the buffer's first `end` characters the
// target? The buffer is cut there for the moment.
bool PrefixIs(wchar_t* buffer, size_t end, const DirectoryIdentity& target)
{
    const wchar_t saved = buffer[end];
    buffer[end] = L'\0';
    DirectoryIdentity identity;
    const bool same = ReadIdentity(buffer, &identity) && SameIdentity(identity, target);
    buffer[end] = saved;
    return same;
}

// Is the target one of the directories above the walk's root on its
// volume? They are the root path's own prefixes, read afresh each time
// (links are few, and these ancestors are few).
bool IsAboveRoot(wchar_t* buffer, const DirectoryIdentity& target)
{
    size_t end = g_levels[0].pathEnd;
    const size_t volume = VolumeRootLength(buffer, end);
    while (end > volume && buffer[end - 1] == L'\\')
        --end;
    if (volume == 0 || end <= volume)
        return false; // no volume root to go up to, or the root is one
    for (size_t i = end - 1; i >= volume; --i)
        if (buffer[i] == L'\\' && PrefixIs(buffer, i, target))
            return true;
    return PrefixIs(buffer, volume, target);
}

// A link to a directory, whose path the buffer holds: may the walk enter it?
// Not when it leads to one of its own ancestors, nor when where it leads
// cannot be told.
bool MayFollowLink(wchar_t* buffer, uint32_t depth)
{
    DirectoryIdentity target;
    if (!ReadIdentity(buffer, &target))
        return false;
    for (uint32_t i = depth; i-- > 0;) {
        const DirectoryIdentity* ancestor = LevelIdentity(buffer, &g_levels[i]);
        if (ancestor != nullptr && SameIdentity(*ancestor, target))
            return false;
    }
    return !IsAboveRoot(buffer, target);
}

// Steps 1 and 2 for the directory whose path (length characters) the buffer
// holds: appends '\' unless it ends in one, writes "*.*" and opens the
// enumeration, whose first entry lands in g_entry. On success the level is
// filled; the buffer ends in the search pattern either way.
bool OpenLevel(wchar_t* buffer, uint32_t length, WalkLevel* level)
{
    uint32_t nameStart = length;
    if (length == 0 || buffer[length - 1] != L'\\')
        buffer[nameStart++] = L'\\';
    wmemcpy(buffer + nameStart, L"*.*", 4);
    HANDLE find = WithoutRedirection(buffer, [buffer] { return FindFirstFileW(buffer, &g_entry); });
    if (find == INVALID_HANDLE_VALUE)
        return false;
    *level = {find, nameStart, length, kIdentityUnknown, {}};
    return true;
}

// The bar first. The bar repaints before its message returns, the status
// line after: sent last, the status line's repaint overlaps the walk
// instead of holding up the bar's message (under Wine that wait was a third
// of an update's cost).
void ShowLatestUpdate()
{
    g_progress.setBarPosition(g_statusPosition);
    g_progress.setStatusText(g_statusText);
}

// A display update: the status line is to show the buffer's text, the bar
// the counters; now, or when the pace allows, or when the walk returns.
void UpdateDisplay(const wchar_t* buffer)
{
    MakeUserPath(g_statusText, buffer);
    g_statusPosition = BarPosition(g_counters);
    g_held = !DisplayDue(&g_pace, g_displayClock());
    if (!g_held)
        ShowLatestUpdate();
}

void ShowHeldUpdate()
{
    if (!g_held)
        return;
    g_held = false;
    g_pace = {g_displayClock(), true};
    ShowLatestUpdate();
}

// Shows the buffer's text (the file about to be copied) now, whatever the pace.
void ShowUpdateNow(const wchar_t* buffer)
{
    MakeUserPath(g_statusText, buffer);
    g_statusPosition = BarPosition(g_counters);
    g_held = true;
    ShowHeldUpdate();
}

uint64_t TickCountMs()
{
    return GetTickCount64();
}

bool IsDotEntry(const wchar_t* name)
{
    return name[0] == L'.' && (name[1] == L'\0' || (name[1] == L'.' && name[2] == L'\0'));
}

} // namespace

uint64_t (*g_displayClock)() = TickCountMs;

Status WalkDirectory(wchar_t* buffer)
{
    const size_t rootLength = wcslen(buffer);
    if (rootLength > kMaxDirectoryPath)
        return RC_PATH_TOO_LONG;
    if (rootLength == 0)
        return RC_EMPTY_PATH; // "\*.*" would be the root of the current drive
    uint32_t depth = 0;
    if (!OpenLevel(buffer, uint32_t(rootLength), &g_levels[0]))
        return RC_OK;
    depth = 1;

    // g_entry holds the next entry of the deepest open level.
    for (;;) {
        WalkLevel& level = g_levels[depth - 1];
        const wchar_t* name = g_entry.cFileName;
        if (!IsDotEntry(name)) {
            if (g_stopRequested.load(std::memory_order_relaxed))
                break;
            ++g_counters.entriesVisited;
            if (g_counters.folderMode || g_counters.entriesVisited % kDisplayEvery == 0)
                UpdateDisplay(buffer);
            const size_t nameLength = wcslen(name);
            wmemcpy(buffer + level.nameStart, name, nameLength + 1);
            const uint32_t pathLength = level.nameStart + uint32_t(nameLength);

            if (g_entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                // The subdirectory's own walk: refused above the path limit
                // (RC_PATH_TOO_LONG, ignored), nothing when it cannot be
                // enumerated, else a new level whose first entry is in g_entry.
                const bool enter =
                    pathLength <= kMaxDirectoryPath && depth < kMaxWalkDepth &&
                    (!(g_entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
                     MayFollowLink(buffer, depth));
                if (enter && OpenLevel(buffer, pathLength, &g_levels[depth])) {
                    ++depth;
                    continue;
                }
            } else {
                const uint64_t size = (uint64_t(g_entry.nFileSizeHigh) << 32) | g_entry.nFileSizeLow;
                const bool open = !SkipUnopened(g_key, size, g_entry.dwFileAttributes);
                if (open && size >= kLongCopyBytes)
                    ShowUpdateNow(buffer);
                g_counters.processedBytes += size;
                if (open && WithoutRedirection(buffer, [&] {
                        return DecryptLockedFile(buffer, level.nameStart);
                    }) == RC_OK)
                    ++g_counters.filesDecrypted;
                ++g_counters.filesSeen;
                if (g_counters.folderMode)
                    g_counters.totalBytes += size;
            }
        }
        // The next entry: of this level, or of the nearest level above that
        // has one, closing each level that has run out.
        while (!FindNextFileW(g_levels[depth - 1].find, &g_entry)) {
            FindClose(g_levels[depth - 1].find);
            if (--depth == 0) {
                ShowHeldUpdate();
                return RC_OK;
            }
        }
    }

    // Stop requested: close every open enumeration and return at once.
    while (depth > 0)
        FindClose(g_levels[--depth].find);
    ShowHeldUpdate();
    return RC_OK;
}
