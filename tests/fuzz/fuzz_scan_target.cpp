// Any command-line argument: the classification reads only up to the
// terminator, writes the drive letter only for a drive, does not change
// with trailing separators; the \\?\ form of a full path stays inside
// the buffer it is made in, is made once (made again it stays the same),
// and the form users read gives the full path back. The worked examples
// are in tests/scan/target_test.cpp.
#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <vector>

#include "scan/target.h"

namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool StartsWith(const std::vector<wchar_t>& text, const wchar_t* prefix)
{
    const size_t length = wcslen(prefix);
    return text.size() > length && wmemcmp(text.data(), prefix, length) == 0;
}

void CheckClassification(const std::vector<wchar_t>& path)
{
    const size_t length = path.size() - 1;
    const wchar_t kUnset = 0xFFFF;
    wchar_t letter = kUnset;
    const ScanTarget target = ClassifyScanPath(path.data(), &letter);

    size_t kept = length; // without the trailing separators
    while (kept > 0 && IsSeparator(path[kept - 1]))
        --kept;
    switch (target) {
    case ScanTarget::kNothing:
        if (kept != 0 || letter != kUnset)
            abort();
        break;
    case ScanTarget::kDrive:
        // X: or \\?\X: (any third character): the letter stands before the colon.
        if ((kept != 2 && kept != 6) || path[kept - 1] != L':' || letter != path[kept - 2])
            abort();
        break;
    case ScanTarget::kFolder:
        if (kept == 0 || letter != kUnset)
            abort();
        break;
    }

    // The same argument with one more separator of either kind.
    for (wchar_t separator : {L'\\', L'/'}) {
        std::vector<wchar_t> longer(path.begin(), path.end() - 1);
        longer.push_back(separator);
        longer.push_back(0);
        wchar_t again = kUnset;
        if (ClassifyScanPath(longer.data(), &again) != target || again != letter)
            abort();
    }
    IsExtendedPath(path.data());
}

// The full path lies kExtendedPathRoom characters into the buffer, as the
// folder scan leaves it. The result begins with \\?\, is terminated where
// its length says, is at most 6 characters longer (\\server -> \\?\UNC\server)
// and never shorter, and is its own extended form.
void CheckExtendedForm(const std::vector<wchar_t>& full)
{
    const size_t length = full.size() - 1;
    std::vector<wchar_t> buffer(kExtendedPathRoom);
    buffer.insert(buffer.end(), full.begin(), full.end());
    const size_t made = MakeExtendedPath(buffer.data(), length);
    if (made >= buffer.size() || made < length || made > length + 6 || buffer[made] != 0 ||
        wcslen(buffer.data()) != made || wmemcmp(buffer.data(), L"\\\\?\\", 4) != 0)
        abort();

    std::vector<wchar_t> again(kExtendedPathRoom);
    again.insert(again.end(), buffer.begin(), buffer.begin() + long(made) + 1);
    if (MakeExtendedPath(again.data(), made) != made || wmemcmp(again.data(), buffer.data(), made + 1) != 0)
        abort();

    // What the user reads of it: never longer, written inside a buffer of
    // the extended path's size, and for a drive path or a UNC path the very
    // path the extended form was made of.
    std::vector<wchar_t> shown(made + 1);
    const size_t shownLength = MakeUserPath(shown.data(), buffer.data());
    if (shownLength > made || shown[shownLength] != 0 || wcslen(shown.data()) != shownLength)
        abort();
    const bool drive = length >= 2 && full[1] == L':' &&
                       ((full[0] >= L'A' && full[0] <= L'Z') || (full[0] >= L'a' && full[0] <= L'z'));
    const bool server = length >= 2 && full[0] == L'\\' && full[1] == L'\\' &&
                        !(length >= 4 && (full[2] == L'?' || full[2] == L'.') && full[3] == L'\\');
    if ((drive || server) && (shownLength != length || wmemcmp(shown.data(), full.data(), length) != 0))
        abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size > 2 * 4096)
        return 0;
    // 16-bit characters, as Windows passes them; a zero ends the argument.
    std::vector<wchar_t> path;
    for (size_t i = 0; i + 1 < size; i += 2) {
        const wchar_t c = wchar_t(data[i] | data[i + 1] << 8);
        if (c == 0)
            break;
        path.push_back(c);
    }
    path.push_back(0);
    // Exact-size buffers, so that a read past the terminator is caught.
    path.shrink_to_fit();
    CheckClassification(path);
    CheckExtendedForm(path);
    // The volume root is a prefix of the path: it never reaches past it.
    const size_t length = path.size() - 1;
    if (VolumeRootLength(path.data(), length) > length)
        abort();
    return 0;
}
