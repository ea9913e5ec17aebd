// Tells whether two files are one file before and after locking, and learns
// the layout of the locking from them.
#pragma once

#include <windows.h>

// a and b are open, readable files, in either order: in the trailer layout
// the longer one is taken as the locked copy. Equal sizes are the plain
// layout, where everything from offset 4096 on must agree; sizes that differ
// by less than 1024 are the trailer layout, where the longer file's trailer
// gives the head length N and everything from N to the end of the shorter
// file must agree. A read that fails never vouches for a match.
//
// On a trailer-layout match the key's reference trailer becomes the locked
// file's trailer; in every other outcome the key is not touched. Both file
// positions are moved.
bool FilesMatch(HANDLE a, HANDLE b);
