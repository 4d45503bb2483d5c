// CMYK and Lab conversion: the managed path through the built-in CMYK
// profile and the plain formulas of the image core.
#include "imaging/io/imageryio_cmyk.h"

#include <cstring>
#include <memory>

#include "imaging/codecs/codecbytes.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_icc.h"
#include "imaging/io/imageryio_params.h"

namespace {

// Made on first use (the first conversion should happen on one thread).
std::unique_ptr<TIEICC> cmykProfile;
std::unique_ptr<TIEICC> srgbProfile;
bool transformsTried = false;
bool transformsReady = false;

bool Managed() { return IEGetGlobalSettings()->CMYKThroughICC && IEInitCMYKTransforms(); }

uint8_t Blend(uint8_t dest, uint8_t value, int32_t weight) {
  return static_cast<uint8_t>(dest + ((int64_t{value} - dest) * weight >> 18));
}

void StoreBlended(uint8_t* bgr, TRGB rgb, const int32_t* weights, int32_t i) {
  if (!weights) {
    bgr[0] = rgb.b, bgr[1] = rgb.g, bgr[2] = rgb.r;
    return;
  }
  bgr[0] = Blend(bgr[0], rgb.b, weights[i]);
  bgr[1] = Blend(bgr[1], rgb.g, weights[i]);
  bgr[2] = Blend(bgr[2], rgb.r, weights[i]);
}

uint32_t LoadCMYK(const uint8_t* p) { return codecbytes::LE32(p); }

// Step 2 of IEConvertColorFormat: the embedded profile to the output profile.
bool ConvertWithProfiles(const void* source, int32_t sourceLayout, void* dest, TIOParamsVals* params, int32_t count,
                         int32_t destLayout) {
  if (!params || !IEGetGlobalSettings()->ApplyEmbeddedICC) return false;
  TIEICC* input = params->InputICCProfileOrNull();
  TIEICC* fallback = params->DefaultICCProfileOrNull();
  if (fallback && (!input || !input->IsValid())) input = fallback;
  if (!input || !input->IsValid() || input->Used()) return false;
  TIEICC& output = params->GetOutputICCProfile();
  if (!output.IsValid() || !input->IsCompatibleLayout(sourceLayout)) return false;
  return input->TransformPixels(output, sourceLayout, count, dest, source, destLayout);
}

// The plain conversions into B,G,R (destination layout 1).
void ToBGR(const uint8_t* src, int32_t sourceLayout, uint8_t* dst, int32_t count) {
  switch (sourceLayout) {
    case iepRGB:
      for (int32_t i = 0; i < count; ++i, src += 3, dst += 3) dst[0] = src[2], dst[1] = src[1], dst[2] = src[0];
      break;
    case iepBGR: std::memmove(dst, src, static_cast<size_t>(count) * 3); break;
    case iepCMYKInverted: IECMYKRowToRGB(src, dst, count, nullptr); break;
    case iepCMYK:
      // The channel bytes are inverted in place in the caller's row, as the
      // codecs that pass this layout expect.
      for (int32_t i = 0; i < count; ++i, src += 6, dst += 3) {
        auto* p = const_cast<uint8_t*>(src);
        for (int c = 0; c < 4; ++c) p[c] = static_cast<uint8_t>(255 - p[c]);
        TRGB rgb;
        IECMYKToRGB(LoadCMYK(p), rgb);
        dst[0] = rgb.b, dst[1] = rgb.g, dst[2] = rgb.r;
      }
      break;
    case iepLab:
      for (int32_t i = 0; i < count; ++i, src += 3, dst += 3) {
        const TRGB rgb = IECIELabToRGB(TCIELab{src[0], static_cast<int8_t>(src[1]), static_cast<int8_t>(src[2])});
        dst[0] = rgb.b, dst[1] = rgb.g, dst[2] = rgb.r;
      }
      break;
    case iepGray:
      // One bit per pixel, eight pixels per source byte, black and white.
      for (int32_t i = 0; i < count; ++i, dst += 3)
        dst[0] = dst[1] = dst[2] = (src[i >> 3] & (0x80 >> (i & 7))) ? 255 : 0;
      break;
    case iepRGB48:
      for (int32_t i = 0; i < count; ++i, src += 6, dst += 3) dst[0] = src[5], dst[1] = src[3], dst[2] = src[1];
      break;
    case iepRGB48BigEndian:
      for (int32_t i = 0; i < count; ++i, src += 6, dst += 3) dst[2] = src[0], dst[1] = src[2], dst[0] = src[4];
      break;
    case iep3Channel:
      for (int32_t i = 0; i < count; ++i, src += 3, dst += 3) {
        const double y = src[0], cb = src[1] - 128.0, cr = src[2] - 128.0;
        auto clamp = [](double v) { return static_cast<uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v + 0.5); };
        dst[2] = clamp(y + 1.402 * cr);
        dst[1] = clamp(y - 0.344136 * cb - 0.714136 * cr);
        dst[0] = clamp(y + 1.772 * cb);
      }
      break;
    default: break;
  }
}

// The plain conversions out of B,G,R (source layout 1).
void FromBGR(const uint8_t* src, uint8_t* dst, int32_t count, int32_t destLayout) {
  const auto* settings = IEGetGlobalSettings();
  for (int32_t i = 0; i < count; ++i, src += 3) {
    const uint32_t color = uint32_t{src[2]} << 16 | uint32_t{src[1]} << 8 | src[0];
    switch (destLayout) {
      case iepCMYKInverted: {
        const uint32_t cmyk = IERGBToCMYK(color);
        std::memcpy(dst + int64_t{i} * 4, &cmyk, 4);
        break;
      }
      case iepLab: {
        const TCIELab lab = IERGBToCIELab(TRGB{src[0], src[1], src[2]});
        uint8_t* p = dst + int64_t{i} * 3;
        p[0] = lab.l, p[1] = static_cast<uint8_t>(lab.a), p[2] = static_cast<uint8_t>(lab.b);
        break;
      }
      case iepGray:
        dst[i] = static_cast<uint8_t>((src[2] * settings->GrayWeightRed + src[1] * settings->GrayWeightGreen +
                                       src[0] * settings->GrayWeightBlue) / 100);
        break;
      default: return;
    }
  }
}

}  // namespace

bool IEInitCMYKTransforms() {
  if (transformsTried) return transformsReady;
  transformsTried = true;
  // The built-in CMYK printer profile comes with the ICC profile holder;
  // until one is loaded the profile stays invalid and the plain formulas serve.
  cmykProfile = std::make_unique<TIEICC>();
  if (!cmykProfile->IsValid()) return false;
  srgbProfile = std::make_unique<TIEICC>();
  srgbProfile->LoadSRGBProfile();
  transformsReady = cmykProfile->PrepareTransform(*srgbProfile, iepCMYKInverted, iepBGR) &&
                    srgbProfile->PrepareTransform(*cmykProfile, iepBGR, iepCMYKInverted);
  return transformsReady;
}

void IEFreeCMYKTransforms() {
  cmykProfile.reset();
  srgbProfile.reset();
  transformsTried = transformsReady = false;
}

void IECMYKToRGB(uint32_t cmyk, TRGB& rgb) {
  if (Managed()) {
    uint8_t bgr[3];
    if (cmykProfile->TransformPixels(*srgbProfile, iepCMYKInverted, 1, bgr, &cmyk, iepBGR)) {
      rgb = TRGB{bgr[0], bgr[1], bgr[2]};
      return;
    }
  }
  rgb = IECMYKToRGB(cmyk);
}

bool IEConvertCMYKRowWithICC(const uint8_t* cmyk, uint8_t* bgr, int32_t count, TIEICC& profile,
                             const int32_t* weights) {
  if (count <= 0) return true;
  if (!weights) return profile.TransformPixels(*srgbProfile, iepCMYKInverted, count, bgr, cmyk, iepBGR);
  std::unique_ptr<uint8_t[]> converted(new uint8_t[static_cast<size_t>(count) * 3]);
  if (!profile.TransformPixels(*srgbProfile, iepCMYKInverted, count, converted.get(), cmyk, iepBGR)) return false;
  for (int32_t i = 0; i < count; ++i) {
    const uint8_t* p = converted.get() + int64_t{i} * 3;
    StoreBlended(bgr + int64_t{i} * 3, TRGB{p[0], p[1], p[2]}, weights, i);
  }
  return true;
}

void IECMYKRowToRGB(const uint8_t* cmyk, uint8_t* bgr, int32_t count, const int32_t* weights) {
  if (Managed() && IEConvertCMYKRowWithICC(cmyk, bgr, count, *cmykProfile, weights)) return;
  for (int32_t i = 0; i < count; ++i)
    StoreBlended(bgr + int64_t{i} * 3, IECMYKToRGB(LoadCMYK(cmyk + int64_t{i} * 4)), weights, i);
}

uint32_t IERGBToCMYK(uint32_t color) {
  const TRGB rgb{static_cast<uint8_t>(color), static_cast<uint8_t>(color >> 8), static_cast<uint8_t>(color >> 16)};
  if (Managed()) {
    uint8_t cmyk[4];
    const uint8_t bgr[3] = {rgb.b, rgb.g, rgb.r};
    if (srgbProfile->TransformPixels(*cmykProfile, iepBGR, 1, cmyk, bgr, iepCMYKInverted)) return LoadCMYK(cmyk);
  }
  return IERGBToCMYK(rgb);
}

void IEConvertColorFormat(const void* source, int32_t sourceLayout, void* dest, TIOParamsVals* params,
                          int32_t count, int32_t destLayout) {
  if (count <= 0) return;
  if (ConvertWithProfiles(source, sourceLayout, dest, params, count, destLayout)) return;
  const auto* src = static_cast<const uint8_t*>(source);
  auto* dst = static_cast<uint8_t*>(dest);
  if (destLayout == iepBGR)
    ToBGR(src, sourceLayout, dst, count);
  else if (sourceLayout == iepBGR)
    FromBGR(src, dst, count, destLayout);
}
