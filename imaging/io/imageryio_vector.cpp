// The layer and vector-object formats through the I/O component: loads into
// the attached view, or through a temporary view whose picture becomes the
// image; saves of the layers (and objects); the content tests.
#include <algorithm>
#include <memory>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/view/ievect.h"
#include "imaging/view/imageryview_layers.h"
#include "platform/rtl/exceptions.h"

namespace {

constexpr int32_t kVectors = 25, kLayers = 26, kLayersAndVectors = 27;

// The largest picture a vector file makes: 8192 x 8192 pixels.
constexpr int64_t kMaxPixels = int64_t{1} << 26;

bool ExtentFits(int32_t width, int32_t height) {
  const int64_t pixels = int64_t{width} * height;
  if (pixels > kMaxPixels) return false;
  const uint64_t available = IEGetPhysicalMemory(true);
  return available == 0 || static_cast<uint64_t>(pixels) * 4 <= available / 2;
}

TComponent* ViewComponent(TIEIOViewLink* view) { return view ? view->Component() : nullptr; }

// The objects' picture: white, transparent where no object is. False when
// an image of the objects' extent is more than a drawing needs or than the
// machine can hold (the extent comes from the file).
bool SizeToObjects(TImageryVect& view) {
  const RECT extent = view.GetObjectsExtent();
  const int32_t width = std::max<int32_t>(extent.right, 1), height = std::max<int32_t>(extent.bottom, 1);
  if (!ExtentFits(width, height)) return false;
  TIEBitmap& bitmap = *view.GetIEBitmap();
  if (!bitmap.Allocate(width, height, ie24RGB)) return false;
  bitmap.Fill(0xFFFFFF);
  bitmap.GetAlphaChannel()->Fill(0);
  return true;
}

// Loads into a view of the right class; false when the data is not of the format.
bool LoadInto(TImageryView& view, int32_t id, TStream& stream) {
  if (id == kLayers) return view.LoadLayersFromStream(stream);
  auto& vect = dynamic_cast<TImageryVect&>(view);
  const bool loaded = id == kVectors ? vect.ReadVectorStream(stream, false) : vect.ReadLayersAndVectors(stream);
  return loaded && (id != kVectors || SizeToObjects(vect));
}

// A view made for the load: the picture it shows is copied into the bitmap.
bool LoadThroughTemporaryView(TIECodecRead& read, int32_t id) {
  std::unique_ptr<TImageryView> view(id == kLayers ? new TImageryView(nullptr) : new TImageryVect(nullptr));
  view->SetLegacyBitmap(false);
  if (!LoadInto(*view, id, read.Stream)) return false;
  if (auto* vect = dynamic_cast<TImageryVect*>(view.get())) vect->MergeObjectsToImage(true, true);
  // A vector file's single layer keeps its transparency; layer files are flattened.
  if (id != kVectors) view->FlattenLayers();
  read.Bitmap->Assign(view->GetIEBitmap());
  return true;
}

int32_t FormatOf(TStream& stream) {
  if (IEIsVectorStream(stream)) return kVectors;
  if (IEIsLayersAndVectorsStream(stream)) return kLayersAndVectors;
  return IEIsLayersStream(stream) ? kLayers : 0;
}

}  // namespace

void IEVectorCodecRead(TIECodecRead& read) {
  if (read.ParamsOnly) return;
  const int32_t id = FormatOf(read.Stream);
  if (id == 0) {
    read.Progress.Abort();
    return;
  }
  read.Params.FILETYPE = id;
  try {
    auto* attached = dynamic_cast<TImageryView*>(ViewComponent(read.View));
    const bool fits = attached && (id == kLayers || dynamic_cast<TImageryVect*>(attached));
    bool loaded = false;
    if (fits)
      loaded = LoadInto(*attached, id, read.Stream);
    else if (read.FromFile)
      loaded = LoadThroughTemporaryView(read, id);
    if (!loaded) read.Progress.Abort();
  } catch (const Exception&) {
    read.Progress.Abort();
  }
}

bool IEVectorCodecWrite(int32_t fileTypeId, TStream& stream, TIEBitmap& bitmap, TIEIOViewLink* view) {
  if (fileTypeId != kLayers && fileTypeId != kLayersAndVectors) return false;
  auto* attached = dynamic_cast<TImageryView*>(ViewComponent(view));
  if (attached) {
    if (fileTypeId == kLayers)
      attached->SaveLayersToStream(stream, -1);
    else
      dynamic_cast<TImageryVect&>(*attached).WriteLayersAndVectors(stream, -1);
    return true;
  }
  // Without a view the image is the only layer.
  std::unique_ptr<TImageryVect> temporary(new TImageryVect(nullptr));
  temporary->SetLegacyBitmap(false);
  temporary->GetIEBitmap()->Assign(&bitmap);
  if (fileTypeId == kLayers)
    temporary->SaveLayersToStream(stream, -1);
  else
    temporary->WriteLayersAndVectors(stream, -1);
  return true;
}

