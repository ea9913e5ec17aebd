// Pictures of the window for README.md: before and after a scan, and the box
// with the final count. Runs only when FELNOX_SCREENSHOTS names a folder
// (tools/screenshots.sh, which also compares them with those in docs/).
#include <gtest/gtest.h>

#include "tests/support/locker.h"
#include "tests/ui/program.h"
#include "tests/ui/samples.h"

using namespace uidriver;

namespace {

// A folder a user would recognise. It lies in the throw-away prefix of the
// run, whose drive C: is its own.
const wchar_t kUserFolder[] = L"C:\\Users\\Anna";
const wchar_t kDocuments[] = L"C:\\Users\\Anna\\Documents";

// Anna's documents, locked as the Trojan leaves them.
std::vector<Sample> LockDocuments(const Bytes& keystream)
{
    const wchar_t* subfolders[] = {L"", L"\\Letters", L"\\Letters\\2026", L"\\Photos"};
    const wchar_t* names[] = {L"report.doc", L"budget.xls", L"notes.txt", L"holiday.jpg"};
    std::vector<Sample> samples;
    uint32_t seed = 0;
    for (const wchar_t* sub : subfolders) {
        const std::wstring where = kDocuments + std::wstring(sub);
        CreateDirectoryW(where.c_str(), nullptr);
        for (const wchar_t* name : names) {
            const Bytes original = RandomBytes(6000 + 1000 * size_t(seed), seed);
            WritePlainLocked(where, name, original, keystream);
            samples.push_back({where + L"\\" + name, original});
            ++seed;
        }
    }
    return samples;
}

class Screenshots : public ProgramTest {
protected:
    void SetUp() override
    {
        ProgramTest::SetUp();
        RemoveTree(kUserFolder);
        CreateDirectoryW(L"C:\\Users", nullptr);
        ASSERT_TRUE(CreateDirectoryW(kUserFolder, nullptr));
        ASSERT_TRUE(CreateDirectoryW(kDocuments, nullptr));
    }
    void TearDown() override
    {
        ProgramTest::TearDown();
        RemoveTree(kUserFolder);
    }
};

TEST_F(Screenshots, BeforeAndAfterAScan)
{
    wchar_t folder[MAX_PATH];
    if (!GetEnvironmentVariableW(L"FELNOX_SCREENSHOTS", folder, MAX_PATH))
        GTEST_SKIP() << "FELNOX_SCREENSHOTS names no folder";
    const std::wstring language = PRIMARYLANGID(GetUserDefaultLangID()) == LANG_RUSSIAN ? L"ru" : L"en";
    const std::wstring picture = std::wstring(folder) + L"\\window-" + language;

    const Bytes keystream = RandomBytes(4096, 30);
    const auto samples = LockDocuments(keystream);
    PutKeyBesideProgram(KeyFileFormB(keystream));
    Start(kDocuments);
    ASSERT_TRUE(SaveWindowScreenshot(window_, picture + L"-before.bmp"));

    PressContinue();
    std::wstring text;
    HWND box = WaitForBox(&text);
    ASSERT_TRUE(box);
    ASSERT_TRUE(ClickButton(box, IDYES));
    ASSERT_TRUE(WaitForWindowClosed(box, kWait));
    box = WaitForBox(&text);
    ASSERT_TRUE(box);
    ASSERT_TRUE(SaveWindowScreenshot(box, picture + L"-count.bmp"));
    ASSERT_TRUE(ClickButton(box, IDOK));
    ASSERT_TRUE(WaitForWindowClosed(box, kWait));
    ASSERT_TRUE(SaveWindowScreenshot(window_, picture + L"-after.bmp"));
    ExpectRecovered(samples);
    ExpectEndsAfterExit();
}

} // namespace
