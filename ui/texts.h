// Every text the user sees, in English and in Russian.
#pragma once

#include "ui/version.h"

enum TextId {
    TEXT_FINAL_COUNT,          // information box at the end of a scan; takes %d
    TEXT_KEY_BESIDE_PROGRAM,   // question box; takes %s, the key file's path
    TEXT_FIRST_DIALOG_TITLE,
    TEXT_PICKED_FILE_IS_KEY,   // question box
    TEXT_CANNOT_OPEN,          // warning, for either file of a pair
    TEXT_ORIGINAL_BELOW_4096,  // warning
    TEXT_SECOND_DIALOG_TITLE,
    TEXT_PAIR_MISMATCH,        // warning
    TEXT_ORIGINAL_BELOW_16896, // warning
    TEXT_SHORT_READ,           // warning
    TEXT_SAME_DATA,            // warning
    TEXT_CONTINUE_BUTTON,
    TEXT_EXIT_BUTTON,
    TEXT_INTRO_FIRST_LINE,     // the introduction: first line, disclaimer, closing lines
    TEXT_DISCLAIMER,
    TEXT_CLOSING_LINES,        // the same in both languages
    TEXT_ID_COUNT
};

// The text in the language that g_russianUi chooses.
const wchar_t* UiText(TextId id);

// The introduction in the chosen language: first line, disclaimer and
// closing lines in one allocated buffer, which the caller releases with
// free(). Null when the buffer cannot be had.
wchar_t* BuildDisclaimerText();

// Texts with a single form, whatever the language.
inline constexpr wchar_t kMessageCaption[] = L"Felnox1decrypt";
inline constexpr wchar_t kWindowTitle[] = L"Felnox1 Decryptor " FELNOX_VERSION_TEXT;
inline constexpr wchar_t kBannerLine[] = L"Trojan.Felnox.1 decryptor";
