// The choice of the interface language.
#pragma once

// True when the English name of the language of the user's default locale
// is exactly "Russian"; any other language, and any failure, means English.
bool IsRussianUi();
