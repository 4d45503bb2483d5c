// CMYK and CIE L*a*b* conversion for the codecs, pixel access and
// processing: single colours and whole rows between the library's 24-bit
// blue-green-red pixels and CMYK (stored inverted, 255 = no ink), Lab, grey,
// 48-bit RGB and YCbCr. A colour-managed path runs through a built-in CMYK
// printer profile and the sRGB profile; the plain arithmetic path is used when
// colour management is off (the settings' CMYKThroughICC) or unavailable.
#pragma once

#include <cstdint>

#include "imaging/core/ruduvazez.h"

class TIEICC;
class TIOParamsVals;

// Row weights: one factor per pixel, 262144 (2^18) meaning 1.0.
constexpr int32_t IE_WEIGHT_ONE = 262144;

// Prepares the two profiles and their transforms once; false when the
// built-in CMYK profile or the colour system is missing (plain path then).
bool IEInitCMYKTransforms();
// Frees the two profiles (the I/O shut-down).
void IEFreeCMYKTransforms();

// A CMYK value (C bits 0-7, M 8-15, Y 16-23, K 24-31, inverted) as B, G, R.
void IECMYKToRGB(uint32_t cmyk, TRGB& rgb);
// count CMYK pixels through profile's CMYK -> sRGB transform into the B,G,R
// row; with weights each channel moves from the row's value toward the new
// one by its weight. False when the transform failed (the row is untouched).
bool IEConvertCMYKRowWithICC(const uint8_t* cmyk, uint8_t* bgr, int32_t count, TIEICC& profile,
                             const int32_t* weights);
// count CMYK pixels into the B,G,R row, blended with the weights when given.
void IECMYKRowToRGB(const uint8_t* cmyk, uint8_t* bgr, int32_t count, const int32_t* weights);
// A colour (red bits 16-23, green 8-15, blue 0-7) as an inverted CMYK value.
uint32_t IERGBToCMYK(uint32_t color);

// The settings' ColorConvertProc: count pixels of source (sourceLayout) into
// dest (destLayout); the layout codes are TIEICCLayout's. With params, an
// embedded input profile converts to the output profile when the settings'
// ApplyEmbeddedICC is set; otherwise the plain conversions. Combinations
// without a conversion leave dest untouched.
void IEConvertColorFormat(const void* source, int32_t sourceLayout, void* dest, TIOParamsVals* params,
                          int32_t count, int32_t destLayout);
