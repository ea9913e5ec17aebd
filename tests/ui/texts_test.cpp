#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "ui/state.h"
#include "ui/texts.h"

namespace {

// The references are UTF-8 here and converted at run time, so a compiler
// that read the sources or wrote the wide strings in another charset shows.
std::wstring FromUtf8(const char* text)
{
    const int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, nullptr, 0);
    std::wstring wide(length > 0 ? length - 1 : 0, L'\0');
    MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text, -1, &wide[0], length);
    return wide;
}

// The one reference for every text: its wording where it is quoted (the
// introduction's own pieces are checked by their shape below), and the
// wsprintfW conversions it takes, which the code fills with one int (%d) or
// one string (%s), so a stray or lost conversion reads the wrong argument.
struct Expected {
    TextId id;
    const char* english;
    const char* russian;
    const char* conversions;
};

const Expected kExpected[] = {
    {TEXT_FINAL_COUNT, u8"Decrypted files total: %d.", u8"Количество расшифрованных файлов: %d.", "d"},
    {TEXT_KEY_BESIDE_PROGRAM, u8"Would you like to use file <%s> as a key?",
     u8"Использовать файл <%s> в качестве ключа?", "s"},
    {TEXT_FIRST_DIALOG_TITLE, u8"Please select original (non-encrypted) file",
     u8"Выберите оригинальный (не зашифрованный) файл", ""},
    {TEXT_PICKED_FILE_IS_KEY, u8"Would you like to use the selected file as the decryption key?",
     u8"Использовать выбранный файл в качестве ключа?", ""},
    {TEXT_CANNOT_OPEN, u8"Unable to open selected file.", u8"Невозможно открыть выбранный файл.", ""},
    {TEXT_ORIGINAL_BELOW_4096,
     u8"Selected file is too small. At least 4-16 KB of input data required.",
     u8"Выбран слишком маленький файл. Необходимо 4-16 КБ данных.", ""},
    {TEXT_SECOND_DIALOG_TITLE, u8"Please select encrypted file (locked-)",
     u8"Выберите соответствующий зашифрованный файл (locked-)", ""},
    {TEXT_PAIR_MISMATCH,
     u8"No match between files found. Second file should be like first, just encrypted.",
     u8"Найдено несоответствие между файлами. Второй файл должен быть получен шифрованием первого.", ""},
    {TEXT_ORIGINAL_BELOW_16896,
     u8"Selected file is too small. More than 16 KB of input data required.",
     u8"Выбран слишком маленький файл. Необходимо больше 16 КБ данных.", ""},
    {TEXT_SHORT_READ, u8"Unable to read selected files.", u8"Не удалось прочитать выбранные файлы.", ""},
    {TEXT_SAME_DATA,
     u8"Data is selected files appears to be the same. You have to select encrypted file and "
     u8"its original version.",
     u8"Данные в выбранных файлах совпадают. Необходимо выбрать зашифрованный файл и его оригинал.", ""},
    {TEXT_CONTINUE_BUTTON, u8"Continue", u8"Продолжить", ""},
    {TEXT_EXIT_BUTTON, u8"Exit", u8"Выход", ""},
    {TEXT_INTRO_FIRST_LINE, u8"Free utility to recover files crypted by Trojan.Felnox.1\r\n\r\n",
     u8"Бесплатная утилита для восстановления файлов после Trojan.Felnox.1\r\n\r\n", ""},
    {TEXT_DISCLAIMER, nullptr, nullptr, ""},
    {TEXT_CLOSING_LINES, nullptr, nullptr, ""},
};

// The letters of the text's % conversions, in order ("%%" is none).
std::string Conversions(const wchar_t* text)
{
    std::string letters;
    for (const wchar_t* at = text; (at = wcschr(at, L'%')) != nullptr; at += 2) {
        if (at[1] != L'%')
            letters += char(at[1]);
        if (at[1] == 0)
            break;
    }
    return letters;
}

class TextsTest : public ::testing::Test {
protected:
    void TearDown() override { g_russianUi = false; }
};

TEST_F(TextsTest, EveryTextPresentAsQuotedWithItsConversions)
{
    // The references themselves: this file was read as UTF-8.
    ASSERT_EQ(FromUtf8(u8"Выход"), std::wstring({0x412, 0x44B, 0x445, 0x43E, 0x434}));
    ASSERT_EQ(std::size(kExpected), size_t(TEXT_ID_COUNT)) << "one row per text";

    for (size_t i = 0; i < std::size(kExpected); ++i) {
        const Expected& text = kExpected[i];
        ASSERT_EQ(size_t(text.id), i) << "rows in the order of TextId";
        for (bool russian : {false, true}) {
            g_russianUi = russian;
            const wchar_t* shown = UiText(text.id);
            const char* language = russian ? "Russian" : "English";
            ASSERT_NE(shown, nullptr) << language << " text " << text.id;
            EXPECT_NE(shown[0], 0) << language << " text " << text.id << " is empty";
            EXPECT_EQ(Conversions(shown), text.conversions) << language << " text " << text.id;
            const char* quoted = russian ? text.russian : text.english;
            if (quoted) {
                EXPECT_EQ(shown, FromUtf8(quoted)) << language << " text " << text.id;
            }
        }
    }

    // Texts with a single form.
    EXPECT_STREQ(kMessageCaption, L"Felnox1decrypt");
    EXPECT_STREQ(kBannerLine, L"Trojan.Felnox.1 decryptor");
    g_russianUi = false;
    const std::wstring closing = UiText(TEXT_CLOSING_LINES);
    g_russianUi = true;
    EXPECT_EQ(UiText(TEXT_CLOSING_LINES), closing);
}

bool EndsLinesWithCrLfOnly(std::wstring text)
{
    for (size_t at; (at = text.find(L"\r\n")) != std::wstring::npos;)
        text.erase(at, 2);
    return text.find_first_of(L"\r\n") == std::wstring::npos;
}

std::vector<std::wstring> SplitLines(const std::wstring& text)
{
    std::vector<std::wstring> lines;
    size_t start = 0;
    for (size_t end; (end = text.find(L"\r\n", start)) != std::wstring::npos; start = end + 2)
        lines.push_back(text.substr(start, end - start));
    EXPECT_EQ(start, text.size()) << "text after the last line end";
    return lines;
}

struct Introduction {
    bool russian;
    size_t disclaimerLines;
    const char* button;
    const char* asIs;
};

const Introduction kIntroductions[] = {
    {false, 9, u8"<Continue>", u8"<AS IS>"},
    {true, 12, u8"<Продолжить>", u8"<как есть>"},
};

TEST_F(TextsTest, IntroductionIsFirstLineDisclaimerAndClosingLines)
{
    for (const Introduction& intro : kIntroductions) {
        g_russianUi = intro.russian;
        const std::wstring first = UiText(TEXT_INTRO_FIRST_LINE);
        const std::wstring disclaimer = UiText(TEXT_DISCLAIMER);
        const std::wstring closing = UiText(TEXT_CLOSING_LINES);

        wchar_t* built = BuildDisclaimerText();
        ASSERT_NE(built, nullptr);
        EXPECT_EQ(built, first + disclaimer + closing);
        free(built);

        for (const std::wstring& text : {first, disclaimer, closing})
            EXPECT_TRUE(EndsLinesWithCrLfOnly(text)) << Narrow(text);

        // The paragraph: lines, then an empty line.
        std::vector<std::wstring> lines = SplitLines(disclaimer);
        ASSERT_EQ(lines.size(), intro.disclaimerLines + 1) << intro.russian;
        EXPECT_EQ(lines.back(), L"");
        lines.pop_back();
        EXPECT_EQ(lines.front().compare(0, 4, L"    "), 0) << "the first thought is indented";
        for (const std::wstring& line : lines) {
            ASSERT_FALSE(line.empty());
            const size_t indent = line.find_first_not_of(L' ');
            EXPECT_TRUE(indent == 0 || indent == 4) << Narrow(line);
            EXPECT_NE(line.back(), L' ') << Narrow(line);
        }
        EXPECT_NE(disclaimer.find(FromUtf8(intro.button)), std::wstring::npos);
        EXPECT_NE(disclaimer.find(FromUtf8(intro.asIs)), std::wstring::npos);

        EXPECT_EQ(SplitLines(first).size(), 2u);
        EXPECT_EQ(SplitLines(closing).size(), 2u);
    }
}

// The main window as users get it: dialog 103 of the built program, which
// the tests find in the build folder they run from.
struct BuiltDialog {
    HMODULE program = LoadLibraryExW(L"ui\\felnox1decrypt.exe", nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ~BuiltDialog() { FreeLibrary(program); }
    const DLGTEMPLATE* Template() const
    {
        HRSRC found = program ? FindResourceW(program, MAKEINTRESOURCEW(103), RT_DIALOG) : nullptr;
        return found ? static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(program, found)))
                     : nullptr;
    }
};

INT_PTR CALLBACK QuietDialogProc(HWND, UINT, WPARAM, LPARAM)
{
    return FALSE;
}

TEST_F(TextsTest, IntroductionFitsTheBoxWithoutWrapping)
{
    // Windows draws MS Shell Dlg with Tahoma; Wine has it, but may not load
    // it: the test prefix gives its path (tools/wine-env.sh).
    wchar_t tahoma[MAX_PATH] = L"";
    GetEnvironmentVariableW(L"FELNOX_TAHOMA", tahoma, MAX_PATH);
    const bool addedTahoma = tahoma[0] && AddFontResourceExW(tahoma, FR_PRIVATE, nullptr) > 0;

    const BuiltDialog built;
    ASSERT_NE(built.Template(), nullptr) << "no dialog 103 in ui\\felnox1decrypt.exe";
    HWND dialog = CreateDialogIndirectParamW(GetModuleHandleW(nullptr), built.Template(), nullptr,
                                             QuietDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    for (bool russian : {false, true}) {
        g_russianUi = russian;
        wchar_t* text = BuildDisclaimerText();
        ASSERT_NE(text, nullptr);
        SetDlgItemTextW(dialog, 1006, text);
        // Every line one box line, and the empty line after the last line end.
        EXPECT_EQ(size_t(SendDlgItemMessageW(dialog, 1006, EM_GETLINECOUNT, 0, 0)),
                  SplitLines(text).size() + 1)
            << (russian ? "Russian" : "English");
        free(text);
    }
    DestroyWindow(dialog);
    if (addedTahoma)
        RemoveFontResourceExW(tahoma, FR_PRIVATE, nullptr);
}

} // namespace
