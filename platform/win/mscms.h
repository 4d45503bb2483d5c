// The Windows colour system over Little CMS: profiles opened from memory
// (or the system sRGB profile by its file name), transforms through a chain
// of profiles, and translation of 16-bit colour records.
//
// Handles are checked: a closed or foreign handle fails with
// ERROR_INVALID_HANDLE instead of being followed. Profiles open read-only.
// Callers reach these functions by name in "mscms.dll".
#pragma once

#include <cstdint>

#include "platform/rtl/dynlib.h"
#include "platform/win/wintypes.h"

using HPROFILE = HANDLE;
using HTRANSFORM = HANDLE;

constexpr DWORD PROFILE_FILENAME = 1;
constexpr DWORD PROFILE_MEMBUFFER = 2;
constexpr DWORD PROFILE_READ = 1;
constexpr DWORD PROFILE_READWRITE = 2;
constexpr DWORD OPEN_EXISTING_PROFILE = 3;  // the creation mode callers pass (OPEN_EXISTING)

// The name under which the system sRGB profile is opened.
inline constexpr const char* kSystemSRGBProfileName = "sRGB Color Space Profile.icm";

struct PROFILE {
  DWORD dwType = 0;              // PROFILE_FILENAME or PROFILE_MEMBUFFER
  void* pProfileData = nullptr;  // the file name (8-bit) or the profile bytes
  DWORD cbDataSize = 0;          // bytes at pProfileData
};

// Colour types of TranslateColors.
enum COLORTYPE : int32_t {
  COLOR_GRAY = 1,
  COLOR_RGB = 2,
  COLOR_XYZ = 3,
  COLOR_Yxy = 4,
  COLOR_Lab = 5,
  COLOR_3_CHANNEL = 6,
  COLOR_CMYK = 7,
};

// One colour record of 8 bytes: 16 bits per channel. Lab is encoded as
// L 0..65535 for 0..100 and a, b with 0x8080 for 0 and 257 steps per unit.
struct GRAYCOLOR { WORD gray; };
struct RGBCOLOR { WORD red, green, blue; };
struct CMYKCOLOR { WORD cyan, magenta, yellow, black; };
struct XYZCOLOR { WORD X, Y, Z; };
struct YxyCOLOR { WORD Y, x, y; };
struct LabCOLOR { WORD L, a, b; };
struct GENERIC3CHANNEL { WORD ch1, ch2, ch3; };
union COLOR {
  GRAYCOLOR gray;
  RGBCOLOR rgb;
  CMYKCOLOR cmyk;
  XYZCOLOR XYZ;
  YxyCOLOR Yxy;
  LabCOLOR Lab;
  GENERIC3CHANNEL gen3ch;
  WORD words[4];
};
static_assert(sizeof(COLOR) == 8);

// Rendering intents.
constexpr DWORD INTENT_PERCEPTUAL = 0;
constexpr DWORD INTENT_RELATIVE_COLORIMETRIC = 1;
constexpr DWORD INTENT_SATURATION = 2;
constexpr DWORD INTENT_ABSOLUTE_COLORIMETRIC = 3;

// Transform flags: the low two bits choose the precision (best mode
// translates every colour through the whole profile chain, the others
// through a precalculated grid); the others are accepted and change nothing
// here.
constexpr DWORD PROOF_MODE = 0x1;
constexpr DWORD NORMAL_MODE = 0x2;
constexpr DWORD BEST_MODE = 0x3;
constexpr DWORD USE_RELATIVE_COLORIMETRIC = 0x20000;

// A memory profile is copied; it may be freed after the call. A file-name
// profile is served only for the system sRGB name (ERROR_FILE_NOT_FOUND for
// any other). Damaged profiles, and those whose header declares more bytes
// than were given, give null with ERROR_INVALID_PARAMETER.
HPROFILE OpenColorProfileA(const PROFILE* profile, DWORD desiredAccess, DWORD shareMode, DWORD creationMode);
BOOL CloseColorProfile(HPROFILE profile);
// The profiles are translated in order: the first one's colours in, the
// last one's out. intents holds one intent for all profiles or one each.
// The profiles may be closed while the transform lives. Null when the
// chain cannot be built.
HTRANSFORM CreateMultiProfileTransform(HPROFILE* profiles, DWORD profileCount, DWORD* intents, DWORD intentCount,
                                       DWORD flags, DWORD preferredCMM);
BOOL DeleteColorTransform(HTRANSFORM transform);
// Translates count records; FALSE when the colour types do not fit the
// first and last profile of the transform.
BOOL TranslateColors(HTRANSFORM transform, const COLOR* input, DWORD count, COLORTYPE inputType, COLOR* output,
                     COLORTYPE outputType);

// The exports of "mscms.dll".
TLibraryExports MscmsExports();
