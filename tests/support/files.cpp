#include "tests/support/files.h"

#include <windows.h>

#include <algorithm>
#include <random>

#include <gtest/gtest.h>

std::wstring MakeScratchFolder(const wchar_t* tag)
{
    static unsigned serial = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(L"\\\\?\\") + temp + L"felnox-" + tag + L"-" +
                        std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++serial);
    RemoveTree(path);
    EXPECT_TRUE(CreateDirectoryW(path.c_str(), nullptr)) << Narrow(path);
    return path;
}

std::wstring Plain(const std::wstring& path)
{
    return path.compare(0, 4, L"\\\\?\\") == 0 ? path.substr(4) : path;
}

void RemoveTree(const std::wstring& path)
{
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..")
                continue;
            const std::wstring child = path + L"\\" + name;
            SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
            if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) &&
                !(entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))
                RemoveTree(child);
            else if (!DeleteFileW(child.c_str()))
                RemoveDirectoryW(child.c_str());
        } while (FindNextFileW(find, &entry));
        FindClose(find);
    }
    RemoveDirectoryW(path.c_str());
}

std::wstring MakeDeepFolder(const std::wstring& root, int levels, size_t length)
{
    std::wstring folder = root;
    for (int level = 0; level < levels; ++level) {
        folder += L"\\" + std::wstring(length, wchar_t(L'a' + level));
        EXPECT_TRUE(CreateDirectoryW(folder.c_str(), nullptr)) << Narrow(folder);
    }
    return folder;
}

Bytes ReadBytes(const std::wstring& path)
{
    Bytes bytes;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE |
                              FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot open " << Narrow(path);
        return bytes;
    }
    LARGE_INTEGER size;
    GetFileSizeEx(file, &size);
    bytes.resize(size_t(size.QuadPart));
    DWORD got = 0;
    if (!bytes.empty() && (!ReadFile(file, bytes.data(), DWORD(bytes.size()), &got, nullptr) ||
                           got != bytes.size()))
        ADD_FAILURE() << "cannot read " << Narrow(path);
    CloseHandle(file);
    return bytes;
}

void WriteBytes(const std::wstring& path, const Bytes& bytes)
{
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ADD_FAILURE() << "cannot create " << Narrow(path);
        return;
    }
    DWORD written = 0;
    if (!bytes.empty() && (!WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr) ||
                           written != bytes.size()))
        ADD_FAILURE() << "cannot write " << Narrow(path);
    CloseHandle(file);
}

bool Exists(const std::wstring& path)
{
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::wstring> ListFolder(const std::wstring& folder)
{
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW entry;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &entry);
    if (find == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::wstring name = entry.cFileName;
        if (name != L"." && name != L"..")
            names.push_back(name);
    } while (FindNextFileW(find, &entry));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

Bytes RandomBytes(size_t count, uint32_t seed)
{
    std::mt19937 random(seed);
    Bytes bytes(count);
    for (auto& byte : bytes)
        byte = uint8_t(random());
    return bytes;
}

std::string Narrow(const std::wstring& text)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), nullptr, 0,
                                         nullptr, nullptr);
    std::string narrow(size_t(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), int(text.size()), &narrow[0], size, nullptr,
                        nullptr);
    return narrow;
}
