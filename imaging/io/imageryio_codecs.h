// The codec table: how the I/O component reaches each built-in format's
// reader, writer and content test. A codec plugs in by adding its row to
// IECodecTable (imageryio_codecs.cpp); the load and save dispatch, the
// parameters-only reads and content detection then find it by id.
#pragma once

#include <cstdint>
#include <memory>
#include <span>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_registry.h"

class TIEIOViewLink;

// What a reader gets and returns. The stream is a read-ahead view whose
// position 0 is where the image starts (offsets inside the file count from
// there); transparency goes into the bitmap's alpha channel. Bitmap is null for parameters-only reads of codecs that
// cannot take one.
struct TIECodecRead {
  TStream& Stream;
  TIEBitmap* Bitmap;
  TIOParamsVals& Params;
  TIEProgressRecord& Progress;
  bool ParamsOnly = false;
  int64_t Size = 0;                 // bytes of the image from the position (PCX needs it)
  int32_t PageCount = 0;            // pages or frames found, for the formats that count them
  // The attached view (or null), for the formats that load into it (layers
  // and vector objects); FromFile tells a file load from a stream load.
  TIEIOViewLink* View = nullptr;
  bool FromFile = false;
};

// How a save prepares the image: the writer takes any pixel format; or a
// copy is converted to ie24RGB unless the image is ie24RGB or ie1g; or a
// copy is converted to the nearest of ie1g, ie8g, ie16Gray and ie24RGB.
enum class TIESaveFormats : uint8_t { Any, RGB24OrBilevel, GreyOrRGB24 };

struct TIECodecEntry {
  int32_t FileTypeId;
  void (*Read)(TIECodecRead& read);  // null: this build cannot read the format
  void (*Write)(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
  // The content test: leaves the position where it was, never raises on
  // foreign data. Null: the format is not detected by content.
  bool (*IsFormat)(TStream& stream);
  TIESaveFormats SaveFormats = TIESaveFormats::RGB24OrBilevel;
  // After a read: the default resolution for DPI below 2, and SetViewDPI.
  bool DefaultDPI = true;
  bool SetViewDPI = true;
  // The number of images in the stream (pages, frames); null: one image.
  int32_t (*ImageCount)(TStream& stream) = nullptr;
  // The 12-byte stream header tag of the format ("TIFF", "PCX2", "JFIF"), or null.
  const char* HeaderTag = nullptr;
};

// The built-in codecs (content detection runs their tests in an order of its own).
std::span<const TIECodecEntry> IECodecTable();
// A table that replaces the built-in one (tests plug in a codec of their
// own); an empty span restores the built-in table.
void IESetCodecTable(std::span<const TIECodecEntry> table);
// The row of the id; null when this build has none.
const TIECodecEntry* IEFindCodec(int32_t fileTypeId);

// The layer and vector-object formats (imageryio_vector.cpp): 25 vector
// objects, 26 layers, 27 layers and vector objects. A load goes into the
// attached view when it is of the right class, else (file loads only) into
// a temporary view whose picture is copied into the bitmap.
void IEVectorCodecRead(TIECodecRead& read);
// Saves 26 and 27: the attached view's layers (and objects), else the bitmap
// as the only layer. False for other ids.
bool IEVectorCodecWrite(int32_t fileTypeId, TStream& stream, TIEBitmap& bitmap, TIEIOViewLink* view);

// Reads frame GIF_IMAGEINDEX of a GIF as an animation shows it: frames 0 to
// the index drawn in turn, each frame's disposal applied, into a composite
// that covers the frames clipped to the logical screen. A single-frame file
// is read as it is. The result keeps the pixel format of the frame read.
void IEComposeGIFFrames(const TIECodecEntry& codec, TIECodecRead& read);
