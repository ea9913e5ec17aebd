// The headers and the import table of a PE file, read from its bytes as it
// lies on disk (not as loaded).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/files.h"

class PeFile {
public:
    explicit PeFile(const Bytes& bytes) : bytes_(bytes) {}

    // The headers as PE32+. A PE32 file (32-bit) has the same fields up to
    // DllCharacteristics; its data directories lie elsewhere: use Directory().
    const IMAGE_NT_HEADERS64* Headers() const;
    bool Is64() const { return Headers()->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC; }
    const IMAGE_DATA_DIRECTORY& Directory(int index) const;
    // The names of the imported DLLs, in lower case.
    std::vector<std::string> Imports() const;
    // The functions imported by name from one DLL (its name in lower case).
    std::vector<std::string> ImportedFunctions(const std::string& dll) const;

private:
    size_t Offset(DWORD rva) const;
    const IMAGE_IMPORT_DESCRIPTOR* FirstImport() const;
    std::string DllName(const IMAGE_IMPORT_DESCRIPTOR& entry) const;

    const Bytes& bytes_;
};
