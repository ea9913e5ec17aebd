// Resource ids, shared by felnox1decrypt.rc and the C++.
#pragma once

#include "../version.h"

#define IDD_MAIN      103
#define IDB_BANNER    130
#define IDB_BANNER_LARGE 132 // twice the size, for 192 DPI
#define IDI_APP       131
#define IDC_CONTINUE  1000
#define IDC_EXIT      1001
#define IDC_INTRO     1006
