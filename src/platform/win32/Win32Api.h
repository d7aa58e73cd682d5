// windows.h for the files of the Windows layer. Include it after every
// header of the program's own: windows.h defines macros such as
// GetPrivateProfileString, FindFirstFile or DM_BITSPERPEL that would rename
// or clash with the program's own names. The generic names that the
// platform interfaces use as member names are undefined again here; the
// layer calls the 8-bit functions by their "A" names.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef FindFirstFile
#undef GetPrivateProfileString
#undef GetProfileString
#undef WritePrivateProfileString
