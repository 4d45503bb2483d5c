#include "ui/render/encodedgraphic.h"

#include <cstring>

#include "platform/rtl/streams.h"
#include "platform/win/com.h"
#include "platform/win/globalmem.h"

void TEncodedGraphic::SaveToStream(TStream& stream) {
  if (!data_.empty()) stream.WriteBuffer(data_.data(), static_cast<int32_t>(data_.size()));
}

ComPtr<IStream> TEncodedGraphic::StreamOverCopy(const std::vector<uint8_t>& bytes) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
  if (!block) throw Exception("Could not allocate memory for image");
  if (void* p = GlobalLock(block)) {
    if (!bytes.empty()) std::memcpy(p, bytes.data(), bytes.size());
    GlobalUnlock(block);
  }
  ComPtr<IStream> stream;
  if (FAILED(CreateStreamOnHGlobal(block, TRUE, stream.GetAddressOf()))) {
    GlobalFree(block);
    throw Exception("Could not create image stream");
  }
  if (!stream) throw Exception("Empty image stream created");
  return stream;
}

void TEncodedGraphic::TakeStream(TStream& stream) {
  int64_t size = stream.Size();
  stream.SetPosition(0);
  std::vector<uint8_t> bytes(static_cast<size_t>(size > 0 ? size : 0));
  if (!bytes.empty()) stream.ReadBuffer(bytes.data(), static_cast<int32_t>(bytes.size()));
  data_ = std::move(bytes);
}

void TEncodedGraphic::TakeFile(const std::string& fileName) {
  TMemoryStream file;
  file.LoadFromFile(fileName);
  TakeStream(file);
}

void TEncodedGraphic::TakeGraphic(TGraphic& graphic) {
  TMemoryStream saved;
  graphic.SaveToStream(saved);
  TakeStream(saved);
}

bool TEncodedGraphic::TakeFrameworkGraphic(const TPersistent* source, bool icons) {
  TGraphic* graphic = nullptr;
  if (auto* picture = dynamic_cast<const TPicture*>(source)) graphic = picture->Graphic();
  else if (dynamic_cast<const TBitmap*>(source) || (icons && dynamic_cast<const TIcon*>(source)))
    graphic = const_cast<TGraphic*>(static_cast<const TGraphic*>(source));
  if (!graphic) return false;
  TakeGraphic(*graphic);
  empty_ = false;
  Changed();
  return true;
}

void TEncodedGraphic::DrawAsTransparentBitmap(TCanvas* canvas, int x, int y) const {
  TBitmap bitmap;
  TMemoryStream bytes;
  bytes.WriteBuffer(data_.data(), static_cast<int32_t>(data_.size()));
  bytes.SetPosition(0);
  bitmap.LoadFromStream(bytes);
  bitmap.SetTransparentMode(tmAuto);
  bitmap.SetTransparent(true);
  canvas->Draw(x, y, &bitmap);
}
