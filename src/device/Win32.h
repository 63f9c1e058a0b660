#pragma once

// <windows.h> on Windows, without its min and max macros (they break
// std::min and std::max) and the parts of it the program never uses.
// Nothing elsewhere.
#ifdef _WIN32
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif
