// The program's version, defined once for the window title and the version resource.
#pragma once

#define FELNOX_VERSION_TEXT L"1.0.2.4"
