// Case mapping of 8-bit text in place, by the Windows-1252 code page (the
// code page by which the system classifies bytes 128-255).
#pragma once

#include "platform/win/wintypes.h"

// Answer the number of bytes processed.
DWORD CharUpperBuffA(char* text, DWORD length);
DWORD CharLowerBuffA(char* text, DWORD length);
