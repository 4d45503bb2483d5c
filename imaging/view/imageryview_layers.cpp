// The layer object: creation, defaults, copies and swaps, and its record in
// streams (used by the processing component's undo and by the readers that
// build layered images).
//
// Sections: creation | properties | copies | record
#include "imaging/view/imageryview_layers.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_containers.h"
#include "imaging/view/imageryview_streamio.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "platform/win/com.h"

// ---- creation --------------------------------------------------------------------------------

GUID IENewLayerGuid() {
  GUID guid;
  CoCreateGuid(&guid);
  return guid;
}

TIELayer::TIELayer(TImageryView* owner, bool adopt, TIEBitmap* bitmap) : Owner(owner), Guid(IENewLayerGuid()) {
  if (adopt) {
    Bitmap = bitmap;
  } else if (!bitmap) {
    Bitmap = new TIEBitmap();
  } else {
    // Patterned on the given bitmap: same storage, size and format; the
    // framework bitmap of a framework-held pattern belongs to the new bitmap.
    Bitmap = new TIEBitmap();
    Bitmap->SetLocation(bitmap->Location());
    Bitmap->Allocate(bitmap->GetWidth(), bitmap->GetHeight(), bitmap->GetPixelFormat());
  }
  OwnsBitmap = true;
  Reset();
}

TIELayer::~TIELayer() {
  FreeBitmap();
  FreeUserData();
  FreeMaskedAlphaCache();
}

void TIELayer::FreeBitmap() {
  if (OwnsBitmap) delete Bitmap;
  Bitmap = nullptr;
}

void TIELayer::FreeUserData() {
  if (UserDataLen > 0) std::free(UserData);
  UserData = nullptr;
  UserDataLen = 0;
}

void TIELayer::FreeMaskedAlphaCache() {
  delete MaskedAlphaCache;
  MaskedAlphaCache = nullptr;
}

// ---- properties --------------------------------------------------------------------------------

void TIELayer::Reset() {
  Width = 0;
  Height = 0;
  SetAngle(0);
  Visible = true;
  ShowBox = true;
  Alpha = 255;
  Opacity = 1.0;
  PosX = 0;
  PosY = 0;
  ScreenBox = RECT{};
  ClipToBackground = false;
  Locked = false;
  Selectable = true;
  Magnifier = TIEMagnifier{};
  BlendOperator = 0;
  FreeUserData();
  MaskOfPrevious = false;
  DrawnRects.fill(0);
  Corners.fill(POINT{});
  DimOutside = false;
  RotateCenterX = 0.5;
  RotateCenterY = 0.5;
}

void TIELayer::SetAngle(double angle) {
  const bool whole = std::trunc(angle) == angle;
  angle_ = whole && std::fmod(angle, 360.0) == 0 ? 0 : angle;
}

POINT IERotateLayerCorners(const TIELayer& layer, int32_t w, int32_t h, std::array<POINT, 4>& corners) {
  corners = {POINT{0, 0}, POINT{w, 0}, POINT{w, h}, POINT{0, h}};
  IERotatePoints(corners.data(), 3, static_cast<int32_t>(std::trunc(w * layer.RotateCenterX)),
                 static_cast<int32_t>(std::trunc(h * layer.RotateCenterY)), layer.Angle());
  POINT least = corners[0];
  for (const POINT& p : corners) {
    least.x = std::min(least.x, p.x);
    least.y = std::min(least.y, p.y);
  }
  return least;
}

int32_t TIELayer::GetWidth() { return Width != 0 ? Width : Bitmap->GetWidth(); }

int32_t TIELayer::GetHeight() { return Height != 0 ? Height : Bitmap->GetHeight(); }

bool TIELayer::ExtentSound() const {
  const auto within = [](int32_t value, int32_t low) { return value >= low && value <= IELayerExtentLimit; };
  return within(PosX, -IELayerExtentLimit) && within(PosY, -IELayerExtentLimit) && within(Width, 0) &&
         within(Height, 0);
}

// ---- copies --------------------------------------------------------------------------------------

namespace {

// A duplicate of a block of user data (std::malloc), or nil.
void* DuplicateUserData(const void* data, int32_t length) {
  if (!data || length <= 0) return nullptr;
  void* copy = std::malloc(static_cast<size_t>(length));
  if (!copy) throw EOutOfMemory("Out of memory");
  std::memcpy(copy, data, static_cast<size_t>(length));
  return copy;
}

}  // namespace

void TIELayer::AssignProperties(const TIELayer& source) {
  if (&source == this) return;
  // Both layers free a positive-length block: each gets its own.
  void* userData = source.UserDataLen > 0 ? DuplicateUserData(source.UserData, source.UserDataLen) : source.UserData;
  FreeUserData();
  UserData = userData;
  UserDataLen = source.UserDataLen;
  Width = source.Width;
  Height = source.Height;
  Visible = source.Visible;
  ShowBox = source.ShowBox;
  Selectable = source.Selectable;
  Alpha = source.Alpha;
  Opacity = source.Opacity;
  PosX = source.PosX;
  PosY = source.PosY;
  ScreenBox = source.ScreenBox;
  ClipToBackground = source.ClipToBackground;
  Locked = source.Locked;
  Magnifier = source.Magnifier;
  BlendOperator = source.BlendOperator;
  ResampleFilter = source.ResampleFilter;
  UseOwnFilter = source.UseOwnFilter;
  Name = source.Name;
  MaskOfPrevious = source.MaskOfPrevious;
  DimOutside = source.DimOutside;
  EdgeSoftening = source.EdgeSoftening;
}

void TIELayer::CopyFrom(TIELayer& source) {
  if (&source == this) return;
  Bitmap->Assign(source.Bitmap);
  AssignProperties(source);
}

void TIELayer::SwapWith(TIELayer& other) {
  if (&other == this) return;
  other.Bitmap->TransferTo(*Bitmap);
  std::swap(Width, other.Width);
  std::swap(Height, other.Height);
  std::swap(Visible, other.Visible);
  std::swap(ShowBox, other.ShowBox);
  std::swap(Selectable, other.Selectable);
  std::swap(Alpha, other.Alpha);
  std::swap(Opacity, other.Opacity);
  std::swap(PosX, other.PosX);
  std::swap(PosY, other.PosY);
  std::swap(ClipToBackground, other.ClipToBackground);
  std::swap(Locked, other.Locked);
  std::swap(Magnifier, other.Magnifier);
  std::swap(BlendOperator, other.BlendOperator);
  std::swap(UserData, other.UserData);
  std::swap(UserDataLen, other.UserDataLen);
  std::swap(ResampleFilter, other.ResampleFilter);
  std::swap(UseOwnFilter, other.UseOwnFilter);
  std::swap(Name, other.Name);
  std::swap(MaskOfPrevious, other.MaskOfPrevious);
  std::swap(DimOutside, other.DimOutside);
  std::swap(OwnsBitmap, other.OwnsBitmap);
  std::swap(Guid, other.Guid);
  std::swap(EdgeSoftening, other.EdgeSoftening);
  FollowSwappedBitmap(other);
}

// ---- record --------------------------------------------------------------------------------------

namespace {

// Bytes of a record without user data, name characters and pixels.
constexpr int64_t kRecordFixedSize = 4 + 16 + 4 + 4 + 1 + 1 + 1 + 4 + 8 + 4 + 4 + 16 + 1 + 1 + 24 + 1 + 4 + 1 + 1 +
                                     4 + 1 + 1 + 8 + 8 + 8 + 4 + 1;

void WriteGuid(TStream& stream, const GUID& guid) {
  IEWriteLE<uint32_t>(stream, guid.Data1);
  IEWriteLE<uint16_t>(stream, guid.Data2);
  IEWriteLE<uint16_t>(stream, guid.Data3);
  stream.WriteBuffer(guid.Data4, 8);
}

GUID ReadGuid(TStream& stream) {
  GUID guid;
  guid.Data1 = IEReadLE<uint32_t>(stream);
  guid.Data2 = IEReadLE<uint16_t>(stream);
  guid.Data3 = IEReadLE<uint16_t>(stream);
  stream.ReadBuffer(guid.Data4, 8);
  return guid;
}

void WriteRect(TStream& stream, const RECT& rect) {
  for (LONG v : {rect.left, rect.top, rect.right, rect.bottom}) IEWriteLE<int32_t>(stream, v);
}

RECT ReadRect(TStream& stream) {
  RECT rect;
  rect.left = IEReadLE<int32_t>(stream);
  rect.top = IEReadLE<int32_t>(stream);
  rect.right = IEReadLE<int32_t>(stream);
  rect.bottom = IEReadLE<int32_t>(stream);
  return rect;
}

// The magnifier as stored: Enabled, padding to 8, Rate, Shape, Source, padding to 24.
void WriteMagnifier(TStream& stream, const TIEMagnifier& m) {
  uint8_t block[24] = {};
  block[0] = m.Enabled ? 1 : 0;
  std::memcpy(block + 8, &m.Rate, 8);
  block[16] = m.Shape;
  block[17] = m.Source;
  stream.WriteBuffer(block, sizeof block);
}

TIEMagnifier ReadMagnifier(TStream& stream) {
  uint8_t block[24];
  stream.ReadBuffer(block, sizeof block);
  TIEMagnifier m;
  m.Enabled = block[0] != 0;
  std::memcpy(&m.Rate, block + 8, 8);
  m.Shape = block[16];
  m.Source = block[17];
  return m;
}

// A block of user data of the stored length (std::malloc), checked against what remains.
struct TUserDataBlock {
  void* Data = nullptr;
  int32_t Length = 0;
  ~TUserDataBlock() { std::free(Data); }
};

void ReadUserData(TStream& stream, TUserDataBlock& block) {
  block.Length = IEReadStreamLength(stream, 1);
  if (block.Length <= 0) return;
  block.Data = std::malloc(static_cast<size_t>(block.Length));
  if (!block.Data) throw EReadError("Stream read error");
  stream.ReadBuffer(block.Data, block.Length);
}

}  // namespace

void TIELayer::SaveToStream(TStream& stream, bool withBitmap) {
  const int64_t start = stream.Position();
  IEWriteLE<int32_t>(stream, static_cast<int32_t>(start));
  WriteGuid(stream, Guid);
  IEWriteLE<int32_t>(stream, Width);
  IEWriteLE<int32_t>(stream, Height);
  IEWriteBool(stream, Visible);
  IEWriteBool(stream, ShowBox);
  IEWriteBool(stream, Selectable);
  IEWriteLE<int32_t>(stream, Alpha);
  IEWriteLE<double>(stream, Opacity);
  IEWriteLE<int32_t>(stream, PosX);
  IEWriteLE<int32_t>(stream, PosY);
  WriteRect(stream, ScreenBox);
  IEWriteBool(stream, ClipToBackground);
  IEWriteBool(stream, Locked);
  WriteMagnifier(stream, Magnifier);
  IEWriteLE<uint8_t>(stream, BlendOperator);
  const bool hasUserData = UserData && UserDataLen > 0;
  IEWriteLE<int32_t>(stream, hasUserData ? UserDataLen : 0);
  if (hasUserData) stream.WriteBuffer(UserData, UserDataLen);
  IEWriteLE<uint8_t>(stream, ResampleFilter);
  IEWriteBool(stream, UseOwnFilter);
  IESaveAnsiStringToStream(stream, Name);
  IEWriteBool(stream, MaskOfPrevious);
  IEWriteBool(stream, DimOutside);
  IEWriteLE<double>(stream, angle_);
  IEWriteLE<double>(stream, RotateCenterX);
  IEWriteLE<double>(stream, RotateCenterY);
  IEWriteLE<int32_t>(stream, EdgeSoftening);
  IEWriteBool(stream, withBitmap);
  if (withBitmap) Bitmap->SaveRaw(nullptr, &stream, true);
  const int64_t end = stream.Position();
  stream.SetPosition(start);
  IEWriteLE<int32_t>(stream, static_cast<int32_t>(end - start));
  stream.SetPosition(end);
}

bool TIELayer::LoadFromStream(TStream& stream) {
  // Everything is read into a scratch layer first, so that a damaged record
  // changes nothing here.
  TIELayer scratch(nullptr, false, nullptr);
  TUserDataBlock userData;
  bool withBitmap = false;
  try {
    const int64_t start = stream.Position();
    const int64_t length = IEReadLE<int32_t>(stream);
    const int64_t available = stream.Size() - start;
    if (length < kRecordFixedSize || length > available) return false;
    scratch.Guid = ReadGuid(stream);
    scratch.Width = IEReadLE<int32_t>(stream);
    scratch.Height = IEReadLE<int32_t>(stream);
    scratch.Visible = IEReadBool(stream);
    scratch.ShowBox = IEReadBool(stream);
    scratch.Selectable = IEReadBool(stream);
    scratch.Alpha = IEReadLE<int32_t>(stream);
    scratch.Opacity = IEReadLE<double>(stream);
    scratch.PosX = IEReadLE<int32_t>(stream);
    scratch.PosY = IEReadLE<int32_t>(stream);
    if (!scratch.ExtentSound()) return false;
    scratch.ScreenBox = ReadRect(stream);
    scratch.ClipToBackground = IEReadBool(stream);
    scratch.Locked = IEReadBool(stream);
    scratch.Magnifier = ReadMagnifier(stream);
    scratch.BlendOperator = IEReadLE<uint8_t>(stream);
    ReadUserData(stream, userData);
    scratch.ResampleFilter = IEReadFilter(stream);
    scratch.UseOwnFilter = IEReadBool(stream);
    IELoadAnsiStringFromStream(stream, scratch.Name);
    scratch.MaskOfPrevious = IEReadBool(stream);
    scratch.DimOutside = IEReadBool(stream);
    scratch.SetAngle(IEReadLE<double>(stream));
    scratch.RotateCenterX = IEReadLE<double>(stream);
    scratch.RotateCenterY = IEReadLE<double>(stream);
    scratch.EdgeSoftening = IEReadLE<int32_t>(stream);
    withBitmap = IEReadBool(stream);
    if (withBitmap && !scratch.Bitmap->LoadRaw(nullptr, 0, &stream)) return false;
    if (stream.Position() - start != length) return false;
  } catch (const EStreamError&) {
    return false;
  }
  // Sound: take it all over.
  AssignProperties(scratch);
  FreeUserData();
  UserData = std::exchange(userData.Data, nullptr);
  UserDataLen = userData.Length;
  Guid = scratch.Guid;
  angle_ = scratch.angle_;
  RotateCenterX = scratch.RotateCenterX;
  RotateCenterY = scratch.RotateCenterY;
  if (withBitmap) scratch.Bitmap->TransferTo(*Bitmap);
  return true;
}
