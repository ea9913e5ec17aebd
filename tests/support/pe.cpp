#include "tests/support/pe.h"

#include <algorithm>

const IMAGE_NT_HEADERS64* PeFile::Headers() const
{
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(bytes_.data());
    return reinterpret_cast<const IMAGE_NT_HEADERS64*>(bytes_.data() + dos->e_lfanew);
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
    const DWORD rva = Headers()->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT].VirtualAddress;
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
        for (auto* thunk = reinterpret_cast<const IMAGE_THUNK_DATA64*>(bytes_.data() + Offset(table));
             thunk->u1.AddressOfData; ++thunk) {
            if (IMAGE_SNAP_BY_ORDINAL64(thunk->u1.Ordinal))
                continue;
            const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(
                bytes_.data() + Offset(DWORD(thunk->u1.AddressOfData)));
            functions.emplace_back(reinterpret_cast<const char*>(byName->Name));
        }
    }
    return functions;
}
