// Replaces a function that this program imports from a DLL, for the tests
// that stop the decryption at a chosen step: every call the program makes
// through its import table goes to the replacement from then on.
#pragma once

// Puts `replacement` in the import table slot of `function` (by name) of
// the running exe and returns what the slot held, or nullptr when the exe
// does not import it. Restoring is a second call with the returned value.
void* ReplaceImport(const char* function, void* replacement);
