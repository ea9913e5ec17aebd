#include "tests/reliability/access.h"

#include <windows.h>

#include <aclapi.h>

#include "tests/support/files.h"
#include "tests/support/driver.h"

namespace {

const DWORD kChmodWithin = 20000; // ms

bool UnderWine()
{
    return GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

bool CanList(const std::wstring& folder)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return false;
    FindClose(find);
    return true;
}

bool CanAddFile(const std::wstring& folder)
{
    const std::wstring probe = folder + L"\\access-probe";
    HANDLE file = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool Shows(const std::wstring& folder, FolderAccess access)
{
    switch (access) {
    case FolderAccess::kFull:
        return CanList(folder) && CanAddFile(folder);
    case FolderAccess::kListOnly:
        return CanList(folder) && !CanAddFile(folder);
    case FolderAccess::kNothing:
        return !CanList(folder);
    }
    return false;
}

// A protected DACL for Everyone: full control, list and read only, or no entry at all.
bool SetDacl(const std::wstring& folder, FolderAccess access)
{
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    if (!AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone))
        return false;
    alignas(DWORD) BYTE buffer[256];
    ACL* acl = reinterpret_cast<ACL*>(buffer);
    bool ok = InitializeAcl(acl, sizeof buffer, ACL_REVISION) != 0;
    const DWORD inherit = CONTAINER_INHERIT_ACE | OBJECT_INHERIT_ACE;
    if (ok && access == FolderAccess::kFull)
        ok = AddAccessAllowedAceEx(acl, ACL_REVISION, inherit, GENERIC_ALL, everyone) != 0;
    if (ok && access == FolderAccess::kListOnly)
        ok = AddAccessAllowedAceEx(acl, ACL_REVISION, inherit,
                                   FILE_GENERIC_READ | FILE_GENERIC_EXECUTE, everyone) != 0;
    std::wstring path = folder;
    if (ok)
        ok = SetNamedSecurityInfoW(&path[0], SE_FILE_OBJECT,
                                   DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                   nullptr, nullptr, acl, nullptr) == ERROR_SUCCESS;
    FreeSid(everyone);
    return ok;
}

// The Unix path of a Windows path, under Wine.
std::wstring UnixPath(const std::wstring& path)
{
    typedef char*(CDECL * ToUnix)(const wchar_t*);
    const auto toUnix = reinterpret_cast<ToUnix>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    char* unixPath = toUnix ? toUnix(path.c_str()) : nullptr;
    if (!unixPath)
        return L"";
    wchar_t wide[4096];
    MultiByteToWideChar(CP_UTF8, 0, unixPath, -1, wide, 4096);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return wide;
}

// Runs chmod under Wine, which starts a Unix program through CreateProcessW
// but gives back a handle that does not follow it: the shell that runs
// chmod then writes a marker file, and its appearance says chmod is done.
bool Chmod(const std::wstring& folder, const wchar_t* mode)
{
    static int serial = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring marker = std::wstring(temp) + L"felnox-chmod-" +
                                std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
    typedef wchar_t*(CDECL * ToDos)(const char*);
    const auto toDos = reinterpret_cast<ToDos>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_dos_file_name")));
    wchar_t* shell = toDos ? toDos("/bin/sh") : nullptr;
    const std::wstring unixFolder = UnixPath(folder), unixMarker = UnixPath(marker);
    if (!shell || unixFolder.empty() || unixMarker.empty()) {
        HeapFree(GetProcessHeap(), 0, shell);
        return false;
    }
    std::wstring commandLine = L"sh -c " + uidriver::QuoteArgument(L"chmod " + std::wstring(mode) +
                                                                   L" '" + unixFolder + L"'; : > '" +
                                                                   unixMarker + L"'");
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    const bool started = CreateProcessW(shell, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                        nullptr, &startup, &process) != 0;
    HeapFree(GetProcessHeap(), 0, shell);
    if (!started)
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    const bool done = uidriver::WaitUntil(
        [&] { return GetFileAttributesW(marker.c_str()) != INVALID_FILE_ATTRIBUTES; }, kChmodWithin);
    DeleteFileW(marker.c_str());
    return done;
}

} // namespace

bool SetFolderAccess(const std::wstring& folder, FolderAccess access)
{
    const wchar_t* modes[] = {L"755", L"555", L"000"};
    const bool set = UnderWine() ? Chmod(folder, modes[int(access)]) : SetDacl(folder, access);
    return set && Shows(folder, access);
}
