#include "platform/win/mscms.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

#include "platform/rtl/dynlib.h"
#include "platform/win/kernel.h"
#include "tests/platform/win/icc_test_profiles.h"

namespace {

HPROFILE OpenBytes(std::vector<uint8_t>& bytes) {
  PROFILE description{PROFILE_MEMBUFFER, bytes.data(), static_cast<DWORD>(bytes.size())};
  return OpenColorProfileA(&description, PROFILE_READ, 1, OPEN_EXISTING_PROFILE);
}

HPROFILE OpenByName(const std::string& name, DWORD access = PROFILE_READ) {
  PROFILE description{PROFILE_FILENAME, const_cast<char*>(name.c_str()), static_cast<DWORD>(name.size())};
  return OpenColorProfileA(&description, access, 1, OPEN_EXISTING_PROFILE);
}

HTRANSFORM Chain(HPROFILE from, HPROFILE to) {
  HPROFILE profiles[2] = {from, to};
  DWORD intents[2] = {INTENT_PERCEPTUAL, INTENT_PERCEPTUAL};
  return CreateMultiProfileTransform(profiles, 2, intents, 2, BEST_MODE | USE_RELATIVE_COLORIMETRIC, 0);
}

COLOR Rgb8(int r, int g, int b) {
  COLOR c{};
  c.rgb = {static_cast<WORD>(r * 257), static_cast<WORD>(g * 257), static_cast<WORD>(b * 257)};
  return c;
}

void PutBE32(std::vector<uint8_t>& bytes, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}

TEST(Mscms, CallersFindTheFunctionsByNameInMscmsDll) {
  HMODULE module = LoadLibrary("MSCMS.DLL");
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(GetProcAddress(module, "OpenColorProfileA"), reinterpret_cast<void*>(&OpenColorProfileA));
  for (const char* name : {"CloseColorProfile", "CreateMultiProfileTransform", "DeleteColorTransform", "TranslateColors"})
    EXPECT_NE(GetProcAddress(module, name), nullptr) << name;
  EXPECT_TRUE(FreeLibrary(module));
}

TEST(Mscms, TheSystemSRGBProfileOpensByItsFileNameOnly) {
  HPROFILE srgb = OpenByName("srgb color space profile.icm");  // names compare without case
  ASSERT_NE(srgb, nullptr);
  EXPECT_TRUE(CloseColorProfile(srgb));
  EXPECT_FALSE(CloseColorProfile(srgb));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

  EXPECT_EQ(OpenByName("/tmp/other.icm"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(OpenByName(kSystemSRGBProfileName, PROFILE_READWRITE), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(Mscms, SRGBToSRGBLeavesColoursUnchanged) {
  auto bytes = icc_test::SRGBProfile();
  HPROFILE fromBytes = OpenBytes(bytes);
  HPROFILE system = OpenByName(kSystemSRGBProfileName);
  ASSERT_TRUE(fromBytes && system);
  HTRANSFORM t = Chain(fromBytes, system);
  ASSERT_NE(t, nullptr);
  // The transform outlives the profiles it was made from.
  CloseColorProfile(fromBytes);
  CloseColorProfile(system);
  std::vector<COLOR> in = {Rgb8(0, 0, 0), Rgb8(255, 255, 255), Rgb8(255, 0, 0), Rgb8(12, 128, 240), Rgb8(77, 3, 199)};
  std::vector<COLOR> out(in.size());
  ASSERT_TRUE(TranslateColors(t, in.data(), static_cast<DWORD>(in.size()), COLOR_RGB, out.data(), COLOR_RGB));
  for (size_t i = 0; i < in.size(); ++i)
    for (int ch = 0; ch < 3; ++ch) EXPECT_NEAR(out[i].words[ch] >> 8, in[i].words[ch] >> 8, 1) << i << "/" << ch;
  EXPECT_TRUE(DeleteColorTransform(t));
  EXPECT_FALSE(TranslateColors(t, in.data(), 1, COLOR_RGB, out.data(), COLOR_RGB));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

// Little CMS's calculator, sRGB to its D50 Lab, perceptual.
TEST(Mscms, SRGBToLabMatchesTheReferenceCalculator) {
  struct Case {
    int r, g, b;
    double L, a, bb;
  };
  const Case cases[] = {{255, 0, 0, 54.2896, 80.8144, 69.8897},
                        {0, 128, 255, 53.5314, 8.6596, -72.5598},
                        {255, 255, 255, 100.0, 0.0, 0.0}};
  auto lab = icc_test::LabProfile();
  HPROFILE labProfile = OpenBytes(lab);
  HPROFILE srgb = OpenByName(kSystemSRGBProfileName);
  HTRANSFORM t = Chain(srgb, labProfile);
  ASSERT_NE(t, nullptr);
  for (const Case& c : cases) {
    COLOR in = Rgb8(c.r, c.g, c.b), out{};
    ASSERT_TRUE(TranslateColors(t, &in, 1, COLOR_RGB, &out, COLOR_Lab));
    EXPECT_NEAR(out.Lab.L * 100.0 / 65535, c.L, 0.1) << c.r << "," << c.g << "," << c.b;
    EXPECT_NEAR(out.Lab.a / 257.0 - 128, c.a, 0.1);
    EXPECT_NEAR(out.Lab.b / 257.0 - 128, c.bb, 0.1);
  }
  // Colour types that do not fit the profiles are refused.
  COLOR in{}, out{};
  EXPECT_FALSE(TranslateColors(t, &in, 1, COLOR_CMYK, &out, COLOR_Lab));
  EXPECT_FALSE(TranslateColors(t, &in, 1, static_cast<COLORTYPE>(99), &out, COLOR_Lab));
  DeleteColorTransform(t);
  CloseColorProfile(srgb);
  CloseColorProfile(labProfile);
}

TEST(Mscms, TransformsNeedLiveProfilesThatFitTogether) {
  HPROFILE srgb = OpenByName(kSystemSRGBProfileName);
  HPROFILE closed = OpenByName(kSystemSRGBProfileName);
  CloseColorProfile(closed);
  EXPECT_EQ(Chain(srgb, closed), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
  HPROFILE profiles[1] = {srgb};
  DWORD intents[3] = {};
  EXPECT_EQ(CreateMultiProfileTransform(profiles, 1, intents, 3, BEST_MODE, 0), nullptr);
  EXPECT_EQ(CreateMultiProfileTransform(profiles, 0, intents, 1, BEST_MODE, 0), nullptr);
  CloseColorProfile(srgb);
}

// Damaged profiles: open refused, or, when the damage lies in a tag that is
// read only later, no transform can be made from them.
TEST(Mscms, DamagedProfilesFailCleanly) {
  const auto good = icc_test::SRGBProfile();
  const uint32_t tags = 128 + 4;
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  };
  std::vector<Case> cases;
  auto mutated = [&](const char* what, auto change) {
    auto b = good;
    change(b);
    cases.push_back({what, b});
  };
  mutated("empty", [](auto& b) { b.clear(); });
  mutated("half a header", [](auto& b) { b.resize(64); });
  mutated("header only", [](auto& b) { b.resize(128); });
  mutated("cut in the tag table", [](auto& b) { b.resize(tags + 20); });
  mutated("cut in half", [](auto& b) { b.resize(b.size() / 2); });
  mutated("declared size beyond the bytes", [](auto& b) { PutBE32(b, 0, 0x7FFFFFF0); });
  mutated("huge tag count", [](auto& b) { PutBE32(b, 128, 0x7FFFFFFF); });
  mutated("tags point past the end", [](auto& b) {
    for (uint32_t at = tags; at + 12 <= b.size() && at < tags + 12 * 9; at += 12) PutBE32(b, at + 4, 0xFFFFFF00);
  });
  mutated("tags of huge size", [](auto& b) {
    for (uint32_t at = tags; at + 12 <= b.size() && at < tags + 12 * 9; at += 12) PutBE32(b, at + 8, 0x7FFFFFFF);
  });
  mutated("no signature", [](auto& b) { std::memset(b.data() + 36, 0, 4); });
  cases.push_back({"noise", std::vector<uint8_t>(600, 0xA5)});

  HPROFILE srgb = OpenByName(kSystemSRGBProfileName);
  for (auto& c : cases) {
    HPROFILE p = OpenBytes(c.bytes);
    if (!p) continue;
    HTRANSFORM t = Chain(p, srgb);
    EXPECT_EQ(t, nullptr) << c.what;
    if (t) DeleteColorTransform(t);
    CloseColorProfile(p);
  }
  CloseColorProfile(srgb);
}

uint32_t GetBE32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t{b[at]} << 24 | uint32_t{b[at + 1]} << 16 | uint32_t{b[at + 2]} << 8 | b[at + 3];
}

// Profiles cut short whose header states the cut size: a transform is made
// only while every colorant and curve tag lies inside the bytes.
TEST(Mscms, ProfilesCutShortGiveTransformsOnlyWithAllTheirTags) {
  const auto good = icc_test::SRGBProfile();
  size_t needed = 0;
  for (uint32_t i = 0, n = GetBE32(good, 128); i < n; ++i) {
    const std::string signature(reinterpret_cast<const char*>(&good[132 + 12 * i]), 4);
    if (std::string("rXYZ gXYZ bXYZ rTRC gTRC bTRC").find(signature) != std::string::npos)
      needed = std::max<size_t>(needed, GetBE32(good, 136 + 12 * i) + GetBE32(good, 140 + 12 * i));
  }
  ASSERT_GT(needed, 200u);
  HPROFILE srgb = OpenByName(kSystemSRGBProfileName);
  for (size_t length = 128; length < good.size(); length += 37) {
    std::vector<uint8_t> cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(length));
    PutBE32(cut, 0, static_cast<uint32_t>(length));
    HPROFILE p = OpenBytes(cut);
    HTRANSFORM t = p ? Chain(p, srgb) : nullptr;
    if (length < needed) {
      EXPECT_EQ(t, nullptr) << length;
    }
    if (t) {
      COLOR white = Rgb8(255, 255, 255), out{};
      EXPECT_TRUE(TranslateColors(t, &white, 1, COLOR_RGB, &out, COLOR_RGB));
      EXPECT_GE(out.rgb.green, 0xFD00) << length;
      DeleteColorTransform(t);
    }
    if (p) CloseColorProfile(p);
  }
  CloseColorProfile(srgb);
}

}  // namespace
