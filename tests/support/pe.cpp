#include "tests/support/pe.h"

#include <algorithm>
#include <cstring>

const IMAGE_NT_HEADERS64* PeFile::Headers() const
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes_.data());
    return reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes_.data() + dos->e_lfanew);
}

const IMAGE_DATA_DIRECTORY& PeFile::Directory(int index) const
{
    if (Is64())
        return Headers()->OptionalHeader.DataDirectory[index];
    return reinterpret_cast<const IMAGE_NT_HEADERS32*>(Headers())->OptionalHeader.DataDirectory[index];
}

size_t PeFile::Offset(DWORD rva) const
{
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(Headers());
    for (int i = 0; i < Headers()->FileHeader.NumberOfSections; ++i, ++section)
        if (rva >= section->VirtualAddress && rva < section->VirtualAddress + section->Misc.VirtualSize)
            return rva - section->VirtualAddress + section->PointerToRawData;
    return 0;
}

const IMAGE_IMPORT_DESCRIPTOR* PeFile::FirstImport() const
{
    const DWORD rva = Directory(IMAGE_DIRECTORY_ENTRY_IMPORT).VirtualAddress;
    return reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(bytes_.data() + Offset(rva));
}

std::string PeFile::DllName(const IMAGE_IMPORT_DESCRIPTOR& entry) const
{
    std::string name(reinterpret_cast<const char*>(bytes_.data() + Offset(entry.Name)));
    std::transform(name.begin(), name.end(), name.begin(), ::tolower);
    return name;
}

std::vector<std::string> PeFile::Imports() const
{
    std::vector<std::string> names;
    for (const IMAGE_IMPORT_DESCRIPTOR* entry = FirstImport(); entry->Name; ++entry)
        names.push_back(DllName(*entry));
    return names;
}

std::vector<std::string> PeFile::ImportedFunctions(const std::string& dll) const
{
    std::vector<std::string> functions;
    for (const IMAGE_IMPORT_DESCRIPTOR* entry = FirstImport(); entry->Name; ++entry) {
        if (DllName(*entry) != dll)
            continue;
        const DWORD table = entry->OriginalFirstThunk ? entry->OriginalFirstThunk : entry->FirstThunk;
        // Each entry is pointer-sized: 8 bytes in PE32+, 4 in PE32; the top
        // bit marks an import by ordinal.
        const size_t width = Is64() ? 8 : 4;
        for (size_t at = Offset(table);; at += width) {
            uint64_t entry = 0;
            memcpy(&entry, bytes_.data() + at, width);
            if (entry == 0)
                break;
            if (entry >> (width * 8 - 1))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(
                bytes_.data() + Offset(DWORD(entry)));
            functions.emplace_back(reinterpret_cast<const char*>(byName->Name));
        }
    }
    return functions;
}
