// The program's version, defined once for the window title and the version
// resource (which includes this file too, so it holds only macros).
#pragma once

#define FELNOX_VERSION_MAJOR 1
#define FELNOX_VERSION_MINOR 0
#define FELNOX_VERSION_PATCH 2
#define FELNOX_VERSION_BUILD 4
#define FELNOX_VERSION_TEXT "1.0.2.4"
