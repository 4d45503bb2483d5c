// ICC colour profiles: the profile bytes as found in an image file, the
// header fields and texts shown to the user, the profile opened in the
// colour system ("mscms.dll", bound by name) and one cached transform from
// this profile to another. All colour translation is the colour system's;
// without it profiles stay closed and transforms are never ready.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/rtl/object.h"
#include "platform/rtl/streams.h"
#include "platform/win/mscms.h"

class TIEBitmap;

// Pixel layouts of TransformPixels, for source and destination. Output is
// stored for iepBGR and iepCMYKInverted only.
enum TIEICCLayout : int32_t {
  iepRGB = 0,            // R, G, B bytes
  iepBGR = 1,            // B, G, R bytes
  iepCMYKInverted = 2,   // C, M, Y, K bytes, 255 = no ink
  iepCMYK = 3,           // C, M, Y, K bytes and two more (6-byte stride)
  iepLab = 4,            // L byte, a and b signed bytes
  iepGray = 5,           // one byte
  iepRGB48 = 6,          // R, G, B, 16 bits little-endian
  iepRGB48BigEndian = 7, // R, G, B, 16 bits big-endian
  iep3Channel = 8,       // three bytes (YCbCr)
};

class TIEICC : public TObject {
public:
  TIEICC();
  ~TIEICC() override;
  TIEICC(const TIEICC&) = delete;
  TIEICC& operator=(const TIEICC&) = delete;

  // Deletes the transform, closes the profile, frees the bytes and texts.
  void Clear();
  // Copies size bytes and opens them; a negative size or a null buffer leaves the profile empty.
  void LoadFromBuffer(const void* buffer, int32_t size);
  // whole: the rest of the stream; otherwise a 32-bit length and that many
  // bytes. A length beyond the stream's end loads nothing and leaves the
  // stream where the length ended.
  void LoadFromStream(TStream& stream, bool whole);
  // The bytes, preceded by their 32-bit length unless raw.
  void SaveToStream(TStream& stream, bool raw) const;
  void Assign(const TIEICC& source);
  // A profile is open in the colour system.
  bool IsValid() const { return profile_ != nullptr; }
  bool IsCompatibleLayout(int32_t layout) const;

  // A transform from this profile to destination for the two layouts; the
  // transform made last stays while the destination holds the same profile
  // and the layouts are the same.
  bool PrepareTransform(const TIEICC& destination, int32_t sourceLayout, int32_t destinationLayout);
  // Translates count pixels into iepBGR or iepCMYKInverted; false for any
  // other destination layout, when no transform could be made or the
  // colour system refused the pixels (the caller converts without profiles).
  bool TransformPixels(const TIEICC& destination, int32_t sourceLayout, int32_t count, void* destBuffer,
                       const void* sourceBuffer, int32_t destinationLayout);
  // Converts the bitmap to targetFormat (ie24RGB or ieCMYK) through a
  // transform to destination: 1 done, 0, with the bitmap unchanged, when
  // the source format has no layout, the target is another format or the
  // colour system fails.
  int32_t TransformBitmap(TIEBitmap& bitmap, int32_t targetFormat, const TIEICC& destination);
  bool IsTransformReady() const { return transform_ != nullptr; }
  void FreeTransform();

  // The system sRGB profile, opened by name: no bytes and no header.
  void LoadSRGBProfile();
  // The wide-gamut RGB display profile of 1998, built into the library.
  void LoadAdobeRGBProfile();

  const uint8_t* Raw() const { return data_.get(); }
  int32_t RawLength() const { return size_; }
  HPROFILE ProfileHandle() const { return profile_; }
  // Set when a transform made from this profile has been deleted.
  bool Used() const { return used_; }
  const std::string& Copyright() const { return rights_; }
  const std::string& Description() const { return description_; }
  const std::string& ColorSpace() const { return colorSpace_; }
  const std::string& ConnectionSpace() const { return connectionSpace_; }

private:
  void OpenBytes();
  void NewGeneration();
  void ParseHeader();
  void CloseProfile();

  std::unique_ptr<uint8_t[]> data_;
  int32_t size_ = 0;
  HPROFILE profile_ = nullptr;
  bool systemSRGB_ = false;  // opened by name, so copies open it the same way
  bool used_ = false;
  // Changes with every profile loaded, so that a cached transform knows the
  // destination it was made for.
  uint64_t generation_;
  uint64_t destinationGeneration_ = 0;
  int32_t sourceLayout_ = -1, destinationLayout_ = -1;
  HTRANSFORM transform_ = nullptr;
  std::string rights_, description_;
  std::string colorSpace_, connectionSpace_;
};

// Loads "mscms.dll" once and binds the functions the profiles use; true
// when the module is loaded. IEFreeColorSystem releases it at shut-down.
bool IELoadColorSystem();
void IEFreeColorSystem();
