#include <windows.h>

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "tests/support/files.h"
#include "ui/language.h"
#include "ui/state.h"
#include "ui/texts.h"

namespace {

// CTest runs this under several user locales and names the language of each
// in FELNOX_EXPECTED_LANGUAGE, as the locale gives it in English.
TEST(IsRussianUi, FollowsTheLanguageOfTheUserLocale)
{
    const char* expected = getenv("FELNOX_EXPECTED_LANGUAGE");
    if (!expected)
        GTEST_SKIP() << "FELNOX_EXPECTED_LANGUAGE is not set";

    wchar_t language[80] = L"";
    GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SENGLANGUAGE, language, 80);
    ASSERT_EQ(Narrow(language), expected) << "this run has another user locale than intended";

    const bool russian = strcmp(expected, "Russian") == 0;
    EXPECT_EQ(IsRussianUi(), russian);

    g_russianUi = IsRussianUi();
    EXPECT_EQ(UiText(TEXT_EXIT_BUTTON)[0], russian ? wchar_t(0x412) : L'E'); // "Выход" or "Exit"
    g_russianUi = false;
}

} // namespace
