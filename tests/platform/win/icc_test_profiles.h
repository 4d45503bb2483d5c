// Profiles for the colour tests, written with Little CMS: the sRGB profile
// with version 2 texts, a Lab profile, and a small press-like CMYK profile
// whose tables are sampled from fixed formulas (so its answers can be
// checked against the command-line calculator of Little CMS).
#pragma once

#include <lcms2.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace icc_test {

inline std::vector<uint8_t> Save(cmsHPROFILE profile) {
  cmsUInt32Number size = 0;
  cmsSaveProfileToMem(profile, nullptr, &size);
  std::vector<uint8_t> bytes(size);
  cmsSaveProfileToMem(profile, bytes.data(), &size);
  cmsCloseProfile(profile);
  return bytes;
}

inline void SetText(cmsHPROFILE profile, cmsTagSignature tag, const char* text) {
  cmsMLU* mlu = cmsMLUalloc(nullptr, 1);
  cmsMLUsetASCII(mlu, "en", "US", text);
  cmsWriteTag(profile, tag, mlu);
  cmsMLUfree(mlu);
}

// sRGB as a version 2.1 profile with the given description and copyright.
inline std::vector<uint8_t> SRGBProfile(const char* description = "Test sRGB", const char* copyright = "No rights") {
  cmsHPROFILE p = cmsCreate_sRGBProfile();
  cmsSetProfileVersion(p, 2.1);
  SetText(p, cmsSigProfileDescriptionTag, description);
  SetText(p, cmsSigCopyrightTag, copyright);
  return Save(p);
}

inline std::vector<uint8_t> LabProfile() { return Save(cmsCreateLab4Profile(nullptr)); }

// CMYK <-> Lab through sRGB with naive ink formulas: k = 1 - max(r, g, b),
// c = (1 - r - k) / (1 - k) and so on.
struct CMYKSampler {
  cmsHTRANSFORM toLab, toRGB;
  static int ToLab(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    const double c = in[0] / 65535.0, m = in[1] / 65535.0, y = in[2] / 65535.0, k = in[3] / 65535.0;
    const double rgb[3] = {(1 - c) * (1 - k), (1 - m) * (1 - k), (1 - y) * (1 - k)};
    cmsDoTransform(static_cast<CMYKSampler*>(cargo)->toLab, rgb, out, 1);
    return TRUE;
  }
  static int FromLab(const cmsUInt16Number in[], cmsUInt16Number out[], void* cargo) {
    double rgb[3];
    cmsDoTransform(static_cast<CMYKSampler*>(cargo)->toRGB, in, rgb, 1);
    for (double& v : rgb) v = std::clamp(v, 0.0, 1.0);
    const double k = 1 - std::max({rgb[0], rgb[1], rgb[2]});
    for (int i = 0; i < 3; ++i) out[i] = static_cast<cmsUInt16Number>(k >= 1 ? 0 : (1 - rgb[i] - k) / (1 - k) * 65535 + 0.5);
    out[3] = static_cast<cmsUInt16Number>(k * 65535 + 0.5);
    return TRUE;
  }
};

inline void AddTable(cmsHPROFILE profile, cmsTagSignature tag, int grid, int in, int out, cmsSAMPLER16 sampler,
                     void* cargo) {
  cmsPipeline* pipeline = cmsPipelineAlloc(nullptr, in, out);
  cmsStage* clut = cmsStageAllocCLut16bit(nullptr, grid, in, out, nullptr);
  cmsStageSampleCLut16bit(clut, sampler, cargo, 0);
  // Identity curves around the table make the form that version 4 tables take.
  cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, in, nullptr));
  cmsPipelineInsertStage(pipeline, cmsAT_END, clut);
  cmsPipelineInsertStage(pipeline, cmsAT_END, cmsStageAllocToneCurves(nullptr, out, nullptr));
  cmsWriteTag(profile, tag, pipeline);
  cmsPipelineFree(pipeline);
}

inline std::vector<uint8_t> CMYKProfile() {
  cmsHPROFILE srgb = cmsCreate_sRGBProfile();
  cmsHPROFILE lab = cmsCreateLab4Profile(nullptr);
  CMYKSampler cargo{cmsCreateTransform(srgb, TYPE_RGB_DBL, lab, TYPE_Lab_16, INTENT_RELATIVE_COLORIMETRIC, 0),
                    cmsCreateTransform(lab, TYPE_Lab_16, srgb, TYPE_RGB_DBL, INTENT_RELATIVE_COLORIMETRIC, 0)};
  cmsHPROFILE p = cmsCreateProfilePlaceholder(nullptr);
  cmsSetProfileVersion(p, 4.3);
  cmsSetDeviceClass(p, cmsSigOutputClass);
  cmsSetColorSpace(p, cmsSigCmykData);
  cmsSetPCS(p, cmsSigLabData);
  SetText(p, cmsSigProfileDescriptionTag, "Test CMYK");
  cmsWriteTag(p, cmsSigMediaWhitePointTag, cmsD50_XYZ());
  for (auto tag : {cmsSigAToB0Tag, cmsSigAToB1Tag}) AddTable(p, tag, 9, 4, 3, &CMYKSampler::ToLab, &cargo);
  for (auto tag : {cmsSigBToA0Tag, cmsSigBToA1Tag}) AddTable(p, tag, 17, 3, 4, &CMYKSampler::FromLab, &cargo);
  cmsDeleteTransform(cargo.toLab);
  cmsDeleteTransform(cargo.toRGB);
  cmsCloseProfile(srgb);
  cmsCloseProfile(lab);
  return Save(p);
}

}  // namespace icc_test
