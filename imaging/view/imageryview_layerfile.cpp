// The layer file: a header, one property record per layer with the absolute
// position of its image, then the images (raw blocks, through zlib or not,
// or files of an I/O format). Positions are absolute so that the file can
// be embedded after other data.
//
// Sections: header | property record | images | whole file
#include <cstring>
#include <memory>
#include <vector>

#include "imaging/core/iezlib.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_containers.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/view/imageryview.h"
#include "imaging/view/imageryview_layers.h"
#include "imaging/view/imageryview_streamio.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace {

[[noreturn]] void Damaged() { throw EReadError("Stream read error"); }

// The file types that are themselves layer files; an image block in one of
// them would read the file within itself.
bool IsLayersFormat(int32_t format) { return format == ioLYR || format == ioLYR + 1; }

// Fewest bytes a property record takes in any version.
constexpr int64_t kMinRecordSize = 43;

}  // namespace

// ---- header -----------------------------------------------------------------------------------

bool IEReadLayersHeader(TStream& stream, TIELayersHeader& header) {
  uint8_t bytes[IELayersHeaderSize];
  if (stream.Read(bytes, IELayersHeaderSize) != IELayersHeaderSize) return false;
  if (std::memcmp(bytes, IELayersMagic, IELayersMagicLen) != 0) return false;
  std::memcpy(&header.Version, bytes + 13, 4);
  std::memcpy(&header.ImageFormat, bytes + 17, 4);
  std::memcpy(&header.LayerCount, bytes + 21, 4);
  return true;
}

void IEWriteLayersHeader(TStream& stream, const TIELayersHeader& header) {
  stream.WriteBuffer(IELayersMagic, IELayersMagicLen);
  IEWriteLE<int32_t>(stream, header.Version);
  IEWriteLE<int32_t>(stream, header.ImageFormat);
  IEWriteLE<int32_t>(stream, header.LayerCount);
}

bool IEIsLayersStream(TStream& stream) {
  const int64_t position = stream.Position();
  TIELayersHeader header;
  const bool found = IEReadLayersHeader(stream, header) && header.Version > 0;
  stream.SetPosition(position);
  return found;
}

// ---- property record ----------------------------------------------------------------------------

void IEWriteLayerFileRecord(TStream& stream, const TIELayer& layer) {
  IEWriteBool(stream, layer.Visible);
  IEWriteBool(stream, layer.ShowBox);
  IEWriteLE<int32_t>(stream, layer.Alpha);
  IEWriteLE<double>(stream, layer.Opacity);
  IEWriteLE<int32_t>(stream, layer.PosX);
  IEWriteLE<int32_t>(stream, layer.PosY);
  IEWriteBool(stream, layer.ClipToBackground);
  IEWriteBool(stream, layer.Locked);
  IEWriteBool(stream, layer.Magnifier.Enabled);
  IEWriteLE<double>(stream, layer.Magnifier.Rate);
  IEWriteLE<uint8_t>(stream, layer.Magnifier.Shape);
  IEWriteLE<uint8_t>(stream, layer.Magnifier.Source);
  IEWriteLE<uint8_t>(stream, layer.BlendOperator);
  IEWriteLE<int32_t>(stream, layer.Width);
  IEWriteLE<int32_t>(stream, layer.Height);
  IEWriteLE<uint8_t>(stream, layer.ResampleFilter);
  IEWriteBool(stream, layer.UseOwnFilter);
  IESaveAnsiStringToStream(stream, layer.Name);
  const bool hasUserData = layer.UserData && layer.UserDataLen > 0;
  IEWriteLE<int32_t>(stream, hasUserData ? layer.UserDataLen : 0);
  if (hasUserData) stream.WriteBuffer(layer.UserData, layer.UserDataLen);
  IEWriteBool(stream, layer.MaskOfPrevious);
  IEWriteBool(stream, layer.Selectable);
  IEWriteBool(stream, layer.DimOutside);
  IEWriteLE<int32_t>(stream, layer.EdgeSoftening);
}

int64_t IEReadLayerFileRecord(TStream& stream, TIELayer& layer, int32_t version) {
  // Fields are gathered first and stored only once the whole record has been read.
  TIELayer in(nullptr, false, nullptr);
  in.AssignProperties(layer);  // the fields an old version lacks keep their values
  in.Visible = IEReadBool(stream);
  in.ShowBox = IEReadBool(stream);
  in.Alpha = IEReadLE<int32_t>(stream);
  if (version >= 7) in.Opacity = IEReadLE<double>(stream);
  in.PosX = IEReadLE<int32_t>(stream);
  in.PosY = IEReadLE<int32_t>(stream);
  in.ClipToBackground = IEReadBool(stream);
  in.Locked = IEReadBool(stream);
  in.Magnifier.Enabled = IEReadBool(stream);
  in.Magnifier.Rate = IEReadLE<double>(stream);
  in.Magnifier.Shape = IEReadLE<uint8_t>(stream);
  if (version >= 3) in.Magnifier.Source = IEReadLE<uint8_t>(stream);
  in.BlendOperator = IEReadLE<uint8_t>(stream);
  in.Width = IEReadLE<int32_t>(stream);
  in.Height = IEReadLE<int32_t>(stream);
  if (!in.ExtentSound()) Damaged();
  if (version >= 3) {
    in.ResampleFilter = IEReadFilter(stream);
    in.UseOwnFilter = IEReadBool(stream);
    IELoadAnsiStringFromStream(stream, in.Name);
    in.FreeUserData();
    const int32_t length = IEReadStreamLength(stream, 1);
    if (length > 0) {
      in.UserData = std::malloc(static_cast<size_t>(length));
      if (!in.UserData) Damaged();
      in.UserDataLen = length;
      stream.ReadBuffer(in.UserData, length);
    }
    in.MaskOfPrevious = IEReadBool(stream);
  }
  if (version >= 4) in.Selectable = IEReadBool(stream);
  if (version >= 6) in.DimOutside = IEReadBool(stream);
  if (version >= 8) in.EdgeSoftening = IEReadLE<int32_t>(stream);
  const int64_t offset = IEReadLE<int64_t>(stream);
  if (offset < 0 || offset >= stream.Size()) Damaged();
  layer.AssignProperties(in);
  layer.ScreenBox = RECT{};
  return offset;
}

// ---- images -------------------------------------------------------------------------------------

namespace {

// The I/O parameters that make a writer keep the pixel format's depth.
void SetWriteParams(TIOParamsVals& params, TIEPixelFormat format) {
  switch (format) {
    case ie1g:
      params.BITSPERSAMPLE = 1;
      params.SAMPLESPERPIXEL = 1;
      break;
    case ie8g:
      params.BITSPERSAMPLE = 8;
      params.SAMPLESPERPIXEL = 1;
      params.JPEG_COLORSPACE = 1;
      break;
    default:
      params.BITSPERSAMPLE = 8;
      params.SAMPLESPERPIXEL = 3;
      params.JPEG_COLORSPACE = 2;
      break;
  }
}

// Reserves a raw block's memory at once: half the pixels' size plus the alpha
// channel, when the machine has that much available; a failure only costs
// the reservation.
void PresizeRawBlock(TMemoryStream& block, TIEBitmap& bitmap) {
  int64_t estimate = int64_t{bitmap.GetHeight()} * bitmap.RowLength64() / 2;
  if (TIEBitmap* alpha = bitmap.PeekAlphaChannel()) estimate += int64_t{alpha->GetHeight()} * alpha->RowLength64();
  if (estimate <= 0 || static_cast<uint64_t>(estimate) >= IEGetPhysicalMemory(true)) return;
  try {
    block.SetSize(estimate);
  } catch (const Exception&) {
  }
}

}  // namespace

void IEWriteLayerImage(TStream& stream, TIEBitmap& bitmap, int32_t imageFormat) {
  if (imageFormat == IELayersRawZip || imageFormat == IELayersRaw) {
    TMemoryStream block;
    PresizeRawBlock(block, bitmap);
    if (imageFormat == IELayersRawZip) {
      TZCompressionStream zip(block, zcDefault);
      bitmap.SaveRaw(nullptr, &zip, false);
      zip.Finish();
    } else {
      bitmap.SaveRaw(nullptr, &block, true);
    }
    block.SetSize(block.Position());  // what was written, not the reservation
    if (block.Size() > INT32_MAX) throw EWriteError("Stream write error");
    IEWriteLE<int32_t>(stream, static_cast<int32_t>(block.Size()));
    block.SetPosition(0);
    IECopyStream(stream, block, block.Size());
  } else {
    if (IsLayersFormat(imageFormat)) throw EWriteError("Stream write error");
    std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
    SetWriteParams(io->Params(), bitmap.GetPixelFormat());
    io->SaveToStream(stream, imageFormat);
    if (io->Aborting()) throw EWriteError("Stream write error");
  }
  stream.Seek(0, soEnd);
}

void IEReadLayerImage(TStream& stream, TIEBitmap& bitmap, int32_t imageFormat, bool nativePixelFormat) {
  if (imageFormat == IELayersRawZip || imageFormat == IELayersRaw) {
    const int32_t length = IEReadStreamLength(stream, 1);
    std::vector<uint8_t> block(static_cast<size_t>(length));
    stream.ReadBuffer(block.data(), length);
    if (imageFormat == IELayersRawZip) {
      try {
        block = ZDecompressBuffer(block.data(), block.size());
      } catch (const EZLibError&) {
        Damaged();
      }
    }
    if (!bitmap.LoadRaw(block.data(), static_cast<int64_t>(block.size()), nullptr)) Damaged();
    return;
  }
  if (IsLayersFormat(imageFormat) || !IEFindFormatById(imageFormat)) Damaged();
  TIEBitmap scratch;
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&scratch));
  io->SetNativePixelFormat(nativePixelFormat);
  if (!io->LoadFromStreamFormat(stream, imageFormat) || io->Aborting()) Damaged();
  scratch.TransferTo(bitmap);
}

// ---- whole file ---------------------------------------------------------------------------------

void IESaveLayerFile(TStream& stream, const std::vector<TIELayer*>& layers, int32_t imageFormat) {
  if (imageFormat == 1) imageFormat = 8;  // TIFF images are stored as PNG
  IEWriteLayersHeader(stream, TIELayersHeader{IELayersVersion, imageFormat, static_cast<int32_t>(layers.size())});
  std::vector<int64_t> offsetFields;
  for (TIELayer* layer : layers) {
    IEWriteLayerFileRecord(stream, *layer);
    offsetFields.push_back(stream.Position());
    IEWriteLE<int64_t>(stream, 0);
  }
  for (size_t i = 0; i < layers.size(); ++i) {
    const int64_t position = stream.Position();
    stream.SetPosition(offsetFields[i]);
    IEWriteLE<int64_t>(stream, position);
    stream.SetPosition(position);
    IEWriteLayerImage(stream, *layers[i]->Bitmap, imageFormat);
  }
}

bool IELoadLayerFile(TStream& stream, std::vector<std::unique_ptr<TIELayer>>& layers, TIELayer* firstLayer) {
  TIELayersHeader header;
  if (!IEReadLayersHeader(stream, header) || header.Version <= 0) return false;
  const int64_t left = stream.Size() - stream.Position();
  if (header.LayerCount < 1 || header.LayerCount > left / kMinRecordSize) Damaged();
  if (IsLayersFormat(header.ImageFormat)) Damaged();
  std::vector<std::unique_ptr<TIELayer>> loaded;
  for (int32_t i = 0; i < header.LayerCount; ++i) {
    auto layer = std::make_unique<TIELayer>(nullptr, false, nullptr);
    if (i == 0 && firstLayer) {
      layer->AssignProperties(*firstLayer);  // the pixels come from the file
    }
    const int64_t offset = IEReadLayerFileRecord(stream, *layer, header.Version);
    const int64_t next = stream.Position();
    stream.SetPosition(offset);
    IEReadLayerImage(stream, *layer->Bitmap, header.ImageFormat, layer->MaskOfPrevious);
    stream.SetPosition(next);
    loaded.push_back(std::move(layer));
  }
  layers = std::move(loaded);
  return true;
}

// ---- the view's layers ----------------------------------------------------------------------------

void TImageryView::SaveLayersToStream(TStream& stream, int32_t imageFormat) {
  SyncLayers();
  IESaveLayerFile(stream, layers_, imageFormat);
}

void TImageryView::LayerFileSizeToIO() {
  if (!HasIO()) return;
  TIOParamsVals& params = GetIO()->Params();
  TIEBitmap& background = *layers_.front()->Bitmap;
  params.WIDTH = params.ORIGINALWIDTH = background.GetWidth();
  params.HEIGHT = params.ORIGINALHEIGHT = background.GetHeight();
}

bool TImageryView::LoadLayersFromStream(TStream& stream) {
  SyncLayers();
  // A layer file without a version holds nothing to read: the view only
  // reports its own size to the I/O parameters.
  const int64_t start = stream.Position();
  TIELayersHeader header;
  const bool versionless = IEReadLayersHeader(stream, header) && header.Version <= 0;
  stream.SetPosition(start);
  if (versionless) {
    LayerFileSizeToIO();
    Update();
    return false;
  }
  // Read whole first: a damaged file leaves the layers as they were.
  std::vector<std::unique_ptr<TIELayer>> loaded;
  if (!IELoadLayerFile(stream, loaded, layers_.front())) return false;
  while (GetLayerCount() > 1) {
    delete layers_.back();
    layers_.pop_back();
  }
  // Layer 0 keeps its bitmap object (others may hold it) and takes the pixels.
  TIELayer& background = *layers_.front();
  background.AssignProperties(*loaded.front());
  background.ScreenBox = RECT{};
  loaded.front()->Bitmap->TransferTo(*background.Bitmap);
  background.FreeMaskedAlphaCache();
  for (size_t i = 1; i < loaded.size(); ++i) {
    loaded[i]->Owner = this;
    layers_.push_back(loaded[i].release());
  }
  currentLayerIndex_ = -1;
  ieBitmap_ = background.Bitmap;
  SetCurrentLayer(GetLayerCount() - 1);
  LayerFileSizeToIO();
  Update();
  return true;
}

void TImageryView::SaveLayersToFile(const std::string& fileName, int32_t imageFormat) {
  TFileStream file(fileName, fmCreate);
  SaveLayersToStream(file, imageFormat);
}

bool TImageryView::LoadLayersFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  return LoadLayersFromStream(file);
}
