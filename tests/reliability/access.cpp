#include "tests/reliability/access.h"

#include <windows.h>

#include <aclapi.h>

#include <cstring>

#include "tests/support/files.h"
#include "tests/ui/driver.h"

namespace {

const DWORD kTakesEffectWithin = 10000; // ms

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

// Wine starts a Unix program through CreateProcessW, but the handle it gives
// back does not follow that program: the caller waits for the effect.
bool RunChmod(const std::wstring& folder, const char* mode)
{
    typedef char*(CDECL * ToUnix)(const wchar_t*);
    typedef wchar_t*(CDECL * ToDos)(const char*);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto toUnix = reinterpret_cast<ToUnix>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_unix_file_name")));
    const auto toDos = reinterpret_cast<ToDos>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "wine_get_dos_file_name")));
    if (!toUnix || !toDos)
        return false;
    char* unixPath = toUnix(folder.c_str());
    wchar_t* chmod = toDos("/bin/chmod");
    bool started = false;
    if (unixPath && chmod) {
        wchar_t unixWide[4096];
        MultiByteToWideChar(CP_UTF8, 0, unixPath, -1, unixWide, 4096);
        std::wstring mode16(mode, mode + strlen(mode));
        std::wstring commandLine = L"chmod " + mode16 + L" " + uidriver::QuoteArgument(unixWide);
        STARTUPINFOW startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        started = CreateProcessW(chmod, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                 nullptr, &startup, &process) != 0;
        if (started) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
        }
    }
    HeapFree(GetProcessHeap(), 0, unixPath);
    HeapFree(GetProcessHeap(), 0, chmod);
    return started;
}

} // namespace

bool SetFolderAccess(const std::wstring& folder, FolderAccess access)
{
    const char* modes[] = {"755", "555", "000"};
    const bool set = UnderWine() ? RunChmod(folder, modes[int(access)]) : SetDacl(folder, access);
    return set && uidriver::WaitUntil([&] { return Shows(folder, access); }, kTakesEffectWithin);
}
