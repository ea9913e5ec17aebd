// Replaces a function that this program imports from a DLL, for the tests
// that put a step of their own between the program's calls (a park, a swap,
// a failure, a count) or show it what Wine cannot (cloud attributes): every
// call made through the exe's import table, the test's own too, goes to the
// replacement from then on.
#pragma once

// Puts `replacement` in the import table slot of `function` (by name) of
// the running exe and returns what the slot held, or nullptr when the exe
// does not import it. Restoring is a second call with the returned value.
void* ReplaceImport(const char* function, void* replacement);
