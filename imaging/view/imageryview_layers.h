// Layers of the image view: the layer object (an image with a position over
// the background image, a display size, a rotation, opacity, blend operator
// and interaction flags), its record in streams (undo steps), the grips of
// its frame, and the layer file that stores a whole stack.
//
// Sections: enumerations | layer | layer file
#pragma once

#include <algorithm>

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/view/imageryview_select.h"
#include "platform/rtl/object.h"
#include "platform/win/unknwn.h"
#include "platform/win/wintypes.h"

class TImageryView;
// How the compositor maps background pixels and places a layer (imageryview_compose.cpp).
struct TIELayerMapping;
struct TIELayerPlacement;
class TStream;

// ---- enumerations ---------------------------------------------------------------------

// What happened to a layer (raised by the mouse code, reported by OnLayerNotify).
enum TIELayerEvent : uint8_t {
  ielSelected, ielMoved, ielResized, ielMoving, ielResizing, ielRotating, ielRotated, ielBeginResizing,
  ielBeginMoving
};

// TIEGrip (the grips of a layer's frame as of a selection) is the selections' enumeration.
constexpr int32_t IELayerGripCount = 9;

// ---- layer ------------------------------------------------------------------------------

// The layer as a magnifying lens.
struct TIEMagnifier {
  bool Enabled = false;
  double Rate = 2.0;
  uint8_t Shape = 0;   // 0 rectangle, 1 ellipse
  uint8_t Source = 1;  // 0 the background layer's image, 1 what is already drawn
  bool operator==(const TIEMagnifier&) const = default;
};

// Layer positions and display sizes that records and files may give lie
// within -IELayerExtentLimit .. IELayerExtentLimit (sizes 0 .. the limit): a
// position plus a size stays far inside 32 bits, and a file of a few bytes
// cannot describe a layer of trillions of pixels.
constexpr int32_t IELayerExtentLimit = 1 << 22;

// Client coordinates of layers are held within +-IEClientCoordinateLimit:
// far beyond any window, and sums of two of them (midpoints, grips, frames)
// stay inside 32 bits.
constexpr int64_t IEClientCoordinateLimit = int64_t{1} << 28;
inline int32_t IEClientCoordinate(int64_t value) {
  return static_cast<int32_t>(std::clamp(value, -IEClientCoordinateLimit, IEClientCoordinateLimit));
}
inline int32_t IEClientCoordinate(double value) {
  if (!(value > double(-IEClientCoordinateLimit))) return static_cast<int32_t>(-IEClientCoordinateLimit);  // NaN too
  return IEClientCoordinate(static_cast<int64_t>(std::min(value, double(IEClientCoordinateLimit))));
}

// One layer of an image view. Layer 0 of a view is the background image;
// free-standing layers (Owner nil) are made by readers before they join a view.
class TIELayer : public TObject {
public:
  // adopt: bitmap becomes the layer's own; else a new bitmap, empty (bitmap
  // nil) or patterned on bitmap (size, pixel format, storage; pixels not copied).
  TIELayer(TImageryView* owner, bool adopt, TIEBitmap* bitmap);
  ~TIELayer() override;
  TIELayer(const TIELayer&) = delete;
  TIELayer& operator=(const TIELayer&) = delete;

  // Display size in background-image pixels; 0 = the bitmap's.
  int32_t Width = 0, Height = 0;
  // Alpha channel combined with a mask layer, kept between paints; owned.
  TIEBitmap* MaskedAlphaCache = nullptr;
  TImageryView* Owner = nullptr;
  TIEBitmap* Bitmap = nullptr;
  bool Visible = true;
  bool ShowBox = true;
  int32_t Alpha = 255;     // overall opacity as a byte value
  double Opacity = 1.0;    // multiplied with Alpha
  int32_t EdgeSoftening = 0;
  int32_t PosX = 0, PosY = 0;
  RECT ScreenBox{};        // where it was last drawn, client coordinates
  bool ClipToBackground = false;
  bool Locked = false;
  bool Selectable = true;
  TIEMagnifier Magnifier;
  uint8_t BlendOperator = 0;
  // Caller's bytes; a block with UserDataLen > 0 belongs to the layer
  // (allocated with std::malloc) and is freed with it.
  void* UserData = nullptr;
  int32_t UserDataLen = 0;
  bool OwnsBitmap = true;
  TResampleFilter ResampleFilter = rfNone;
  bool UseOwnFilter = false;
  std::string Name;
  bool MaskOfPrevious = false;
  // Destination x, y, width, height and source x, y, width, height of the last draw.
  std::array<int32_t, 8> DrawnRects{};
  // Corners of a rotated layer in client coordinates, from the last draw.
  std::array<POINT, 4> Corners{};
  bool DimOutside = false;
  GUID Guid{};
  double RotateCenterX = 0.5, RotateCenterY = 0.5;

  // Rotation in degrees about the rotation centre.
  double Angle() const { return angle_; }
  // Whole multiples of 360 give 0; other angles are kept as they are.
  void SetAngle(double angle);
  // The defaults of every property except Name, the filter fields,
  // EdgeSoftening, Guid, ownership, the cache, the bitmap and the owner.
  void Reset();
  // The display size, or the bitmap's where it is 0.
  int32_t GetWidth();
  int32_t GetHeight();
  // PosX, PosY, Width and Height lie within IELayerExtentLimit.
  bool ExtentSound() const;
  // The right and bottom edges (position plus display size), in 64 bits.
  int64_t Right() { return int64_t{PosX} + GetWidth(); }
  int64_t Bottom() { return int64_t{PosY} + GetHeight(); }
  // Pixels and properties of source, not its rotation, identity or cache;
  // its user data is duplicated.
  void CopyFrom(TIELayer& source);
  // CopyFrom without the pixels.
  void AssignProperties(const TIELayer& source);
  // Takes other's pixel storage (other's bitmap is left empty) and exchanges
  // every property, identity and bitmap ownership with it.
  void SwapWith(TIELayer& other);

  // The layer record: properties, then the pixels when withBitmap. The
  // stream is left at the end of the record.
  void SaveToStream(TStream& stream, bool withBitmap);
  // Reads a record of SaveToStream. False, with this layer left as it was,
  // for a record that is short, inconsistent or not sound.
  bool LoadFromStream(TStream& stream);

  // Client coordinates to layer pixels and back, through the owner's zoom.
  int32_t ClientToLayerX(int32_t x);
  int32_t ClientToLayerY(int32_t y);
  int32_t LayerToClientX(int32_t x);
  int32_t LayerToClientY(int32_t y);

  // Frees the owned user data and clears it.
  void FreeUserData();
  // Frees MaskedAlphaCache.
  void FreeMaskedAlphaCache();

private:
  double angle_ = 0;
  void FreeBitmap();
  // After a swap: the owner's current bitmap follows the pixels to this layer.
  void FollowSwappedBitmap(TIELayer& other);
};

// The corners (0,0), (w,0), (w,h), (0,h) turned by the layer's angle about
// its rotation centre (fractions of w and h, truncated); returns the
// smallest x and y of the four.
POINT IERotateLayerCorners(const TIELayer& layer, int32_t w, int32_t h, std::array<POINT, 4>& corners);

// A new process-unique identity for a layer.
GUID IENewLayerGuid();

// ---- layer file ---------------------------------------------------------------------------

// The stack file: "IMAGERYLAYERS", version, image format, layer count, one
// property record per layer with the absolute stream position of its image,
// then the images.
constexpr char IELayersMagic[] = "IMAGERYLAYERS";
constexpr int32_t IELayersMagicLen = 13;
constexpr int32_t IELayersHeaderSize = 25;
constexpr int32_t IELayersVersion = 8;
// Image formats of the file besides the I/O component's file types.
constexpr int32_t IELayersRawZip = -1;
constexpr int32_t IELayersRaw = -2;
// File type of layer files in the I/O component.
constexpr int32_t ioLYR = 26;

struct TIELayersHeader {
  int32_t Version = IELayersVersion;
  int32_t ImageFormat = IELayersRawZip;
  int32_t LayerCount = 0;
};

// True when the stream holds the magic and a version above 0; the position is restored.
bool IEIsLayersStream(TStream& stream);
// Reads the 25 header bytes; false (position after what was read) when the magic differs or the stream is short.
bool IEReadLayersHeader(TStream& stream, TIELayersHeader& header);
void IEWriteLayersHeader(TStream& stream, const TIELayersHeader& header);
// The property record of one layer without its image offset.
void IEWriteLayerFileRecord(TStream& stream, const TIELayer& layer);
// Reads a property record of the given file version into layer (fields the
// version lacks keep their values) and returns the image offset. Raises
// EReadError for a short or unsound record, leaving layer as it was.
int64_t IEReadLayerFileRecord(TStream& stream, TIELayer& layer, int32_t version);
// One image block in the file's image format: raw (through zlib or not), or
// a file of that I/O file type.
void IEWriteLayerImage(TStream& stream, TIEBitmap& bitmap, int32_t imageFormat);
// Reads one image block into bitmap; raises EReadError for damaged data,
// leaving bitmap as it was.
void IEReadLayerImage(TStream& stream, TIEBitmap& bitmap, int32_t imageFormat, bool nativePixelFormat);
// Reads a whole layer file into free-standing layers. Layer 0 of the result
// starts as a copy of firstLayer's properties when given (so fields an old
// version lacks keep them), later ones with the defaults. False with layers
// untouched when the magic differs or the version is 0 or less; damaged
// content raises, again with layers untouched.
bool IELoadLayerFile(TStream& stream, std::vector<std::unique_ptr<TIELayer>>& layers, TIELayer* firstLayer);
// Writes layers (all of one owner or free-standing) as a layer file; image
// format 1 is written as 8.
void IESaveLayerFile(TStream& stream, const std::vector<TIELayer*>& layers, int32_t imageFormat);
