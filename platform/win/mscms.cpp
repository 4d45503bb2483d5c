// The Windows colour system over Little CMS.
#include "platform/win/mscms.h"

#include <lcms2.h>

#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <cstring>
#include <strings.h>
#include <utility>
#include <vector>

#include "platform/win/kernel.h"

namespace {

// One Little CMS context for the colour system, whose error log stays quiet:
// damaged profiles are reported through the return values.
cmsContext Context() {
  static const cmsContext context = [] {
    cmsContext c = cmsCreateContext(nullptr, nullptr);
    cmsSetLogErrorHandlerTHR(c, [](cmsContext, cmsUInt32Number, const char*) {});
    return c;
  }();
  return context;
}

using SharedProfile = std::shared_ptr<void>;  // a cmsHPROFILE, closed with its last user

struct ProfileObject {
  SharedProfile profile;
};

struct TransformObject {
  std::vector<SharedProfile> profiles;
  std::vector<cmsUInt32Number> intents;
  cmsUInt32Number flags = 0;
  std::mutex lock;
  std::map<std::pair<int32_t, int32_t>, cmsHTRANSFORM> byTypes;  // built per pair of colour types
  ~TransformObject() {
    for (auto& entry : byTypes)
      if (entry.second) cmsDeleteTransform(entry.second);
  }
};

// Live handles, so that a stale or foreign handle is refused, not followed.
std::mutex handlesLock;
std::set<const void*> liveHandles;

template <class T>
HANDLE Publish(std::unique_ptr<T> object) {
  std::lock_guard guard(handlesLock);
  liveHandles.insert(object.get());
  return object.release();
}

template <class T>
T* Lookup(HANDLE handle) {
  std::lock_guard guard(handlesLock);
  if (!handle || !liveHandles.count(handle)) return nullptr;
  return static_cast<T*>(handle);
}

template <class T>
BOOL Retire(HANDLE handle) {
  {
    std::lock_guard guard(handlesLock);
    if (!handle || !liveHandles.erase(handle)) {
      SetLastError(ERROR_INVALID_HANDLE);
      return FALSE;
    }
  }
  delete static_cast<T*>(handle);
  return TRUE;
}

SharedProfile Share(cmsHPROFILE profile) {
  if (!profile) return nullptr;
  return SharedProfile(profile, [](void* p) { cmsCloseProfile(p); });
}

constexpr DWORD kHeaderSize = 128;

// A profile whose header declares more bytes than were given is truncated.
bool IsWhole(const uint8_t* bytes, DWORD size) {
  if (size < kHeaderSize) return false;
  const uint32_t declared = static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
                            static_cast<uint32_t>(bytes[2]) << 8 | bytes[3];
  return declared >= kHeaderSize && declared <= size;
}

SharedProfile OpenFromDescription(const PROFILE& description) {
  if (description.dwType != PROFILE_MEMBUFFER || !description.pProfileData) return nullptr;
  if (!IsWhole(static_cast<const uint8_t*>(description.pProfileData), description.cbDataSize)) return nullptr;
  return Share(cmsOpenProfileFromMemTHR(Context(), description.pProfileData, description.cbDataSize));
}

bool IsSystemSRGBName(const PROFILE& description) {
  if (description.dwType != PROFILE_FILENAME || !description.pProfileData) return false;
  const auto* name = static_cast<const char*>(description.pProfileData);
  std::string given(name, strnlen(name, description.cbDataSize));
  return strcasecmp(given.c_str(), kSystemSRGBProfileName) == 0;
}

// The Little CMS pixel format of an 8-byte colour record of the given type;
// 0 for a type without one.
cmsUInt32Number RecordFormat(int32_t type) {
  struct Entry {
    int32_t type;
    cmsUInt32Number space, channels;
  };
  static constexpr Entry kFormats[] = {
      {COLOR_GRAY, PT_GRAY, 1}, {COLOR_RGB, PT_RGB, 3},       {COLOR_XYZ, PT_XYZ, 3}, {COLOR_Yxy, PT_Yxy, 3},
      {COLOR_Lab, PT_Lab, 3},   {COLOR_3_CHANNEL, PT_ANY, 3}, {COLOR_CMYK, PT_CMYK, 4},
  };
  for (const auto& f : kFormats)
    if (f.type == type)
      return COLORSPACE_SH(f.space) | CHANNELS_SH(f.channels) | BYTES_SH(2) | EXTRA_SH(4 - f.channels);
  return 0;
}

cmsHTRANSFORM BuildTransform(const TransformObject& t, cmsUInt32Number inFormat, cmsUInt32Number outFormat) {
  std::vector<cmsHPROFILE> chain;
  for (const auto& p : t.profiles) chain.push_back(p.get());
  std::vector<cmsBool> bpc(chain.size(), FALSE);
  std::vector<cmsFloat64Number> adaptation(chain.size(), 1.0);
  auto intents = t.intents;
  return cmsCreateExtendedTransform(Context(), static_cast<cmsUInt32Number>(chain.size()), chain.data(), bpc.data(),
                                    intents.data(), adaptation.data(), nullptr, 0, inFormat, outFormat, t.flags);
}

cmsUInt32Number PrecisionFlags(DWORD flags) {
  switch (flags & 3) {
    case PROOF_MODE: return cmsFLAGS_LOWRESPRECALC;
    case BEST_MODE: return cmsFLAGS_NOOPTIMIZE;  // every pixel through the full pipeline: no grid error
    default: return 0;
  }
}

template <class F>
void* Export(F* function) {
  return reinterpret_cast<void*>(function);
}

}  // namespace

HPROFILE OpenColorProfileA(const PROFILE* profile, DWORD desiredAccess, DWORD, DWORD) {
  if (!profile || desiredAccess != PROFILE_READ) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  SharedProfile opened;
  if (IsSystemSRGBName(*profile)) {
    opened = Share(cmsCreate_sRGBProfileTHR(Context()));
  } else if (profile->dwType == PROFILE_FILENAME) {
    SetLastError(ERROR_FILE_NOT_FOUND);
    return nullptr;
  } else {
    opened = OpenFromDescription(*profile);
  }
  if (!opened) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_unique<ProfileObject>();
  object->profile = std::move(opened);
  return Publish(std::move(object));
}

BOOL CloseColorProfile(HPROFILE profile) { return Retire<ProfileObject>(profile); }

HTRANSFORM CreateMultiProfileTransform(HPROFILE* profiles, DWORD profileCount, DWORD* intents, DWORD intentCount,
                                       DWORD flags, DWORD) {
  if (!profiles || profileCount == 0 || profileCount > 255 || !intents ||
      (intentCount != 1 && intentCount != profileCount)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  auto object = std::make_unique<TransformObject>();
  for (DWORD i = 0; i < profileCount; ++i) {
    auto* p = Lookup<ProfileObject>(profiles[i]);
    if (!p) {
      SetLastError(ERROR_INVALID_HANDLE);
      return nullptr;
    }
    object->profiles.push_back(p->profile);
    object->intents.push_back(intents[intentCount == 1 ? 0 : i]);
  }
  object->flags = PrecisionFlags(flags);
  // Build one transform in the profiles' own colour spaces to learn whether
  // the chain holds together at all.
  const cmsUInt32Number probeIn = cmsFormatterForColorspaceOfProfile(object->profiles.front().get(), 2, FALSE);
  const cmsUInt32Number probeOut = cmsFormatterForColorspaceOfProfile(object->profiles.back().get(), 2, FALSE);
  cmsHTRANSFORM probe = BuildTransform(*object, probeIn, probeOut);
  if (!probe) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  cmsDeleteTransform(probe);
  return Publish(std::move(object));
}

BOOL DeleteColorTransform(HTRANSFORM transform) { return Retire<TransformObject>(transform); }

BOOL TranslateColors(HTRANSFORM transform, const COLOR* input, DWORD count, COLORTYPE inputType, COLOR* output,
                     COLORTYPE outputType) {
  auto* t = Lookup<TransformObject>(transform);
  if (!t) {
    SetLastError(ERROR_INVALID_HANDLE);
    return FALSE;
  }
  const cmsUInt32Number inFormat = RecordFormat(inputType), outFormat = RecordFormat(outputType);
  if (!inFormat || !outFormat || (count && (!input || !output))) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  std::lock_guard guard(t->lock);
  auto [slot, added] = t->byTypes.try_emplace({inputType, outputType}, nullptr);
  if (added) slot->second = BuildTransform(*t, inFormat, outFormat);
  if (!slot->second) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
  }
  if (count) cmsDoTransform(slot->second, input, output, count);
  return TRUE;
}

TLibraryExports MscmsExports() {
  return {{"OpenColorProfileA", Export(&OpenColorProfileA)},
          {"CloseColorProfile", Export(&CloseColorProfile)},
          {"CreateMultiProfileTransform", Export(&CreateMultiProfileTransform)},
          {"DeleteColorTransform", Export(&DeleteColorTransform)},
          {"TranslateColors", Export(&TranslateColors)}};
}
