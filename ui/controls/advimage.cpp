#include "ui/controls/advimage.h"

#include "platform/forms/properties.h"
#include "platform/rtl/streams.h"

const TClassInfo& TAdvImage::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAdvImage>("TAdvImage", &TGraphic::StaticClassInfo());
  return info;
}

int32_t TAdvImage::Width() const {
  OLE_XSIZE_HIMETRIC w = 0;
  if (picture_) picture_->get_Width(&w);
  return MulDiv(w, 96, 2540);
}

int32_t TAdvImage::Height() const {
  OLE_YSIZE_HIMETRIC h = 0;
  if (picture_) picture_->get_Height(&h);
  return MulDiv(h, 96, 2540);
}

void TAdvImage::BuildPicture() {
  ComPtr<IStream> stream = StreamOverCopy(data_);
  picture_.Reset();
  IPicture* loaded = nullptr;
  HRESULT hr = OleLoadPicture(stream.Get(), static_cast<LONG>(data_.size()), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&loaded));
  if (FAILED(hr)) throw Exception("Could not load image. Invalid format");
  if (!loaded) throw Exception("Could not load image");
  picture_ = ComPtr<IPicture>::Attach(loaded);
}

void TAdvImage::LoadFromStream(TStream& stream) {
  TakeStream(stream);
  empty_ = false;
  BuildPicture();
  Changed();
}

void TAdvImage::LoadFromFile(const std::string& fileName) {
  try {
    TakeFile(fileName);
    empty_ = false;
    BuildPicture();
    Changed();
  } catch (const std::exception&) {
    empty_ = true;
    picture_.Reset();
  }
}

void TAdvImage::ReadData(TStream* stream) {
  if (!stream) return;
  TakeStream(*stream);
  empty_ = false;
  BuildPicture();
}

void TAdvImage::Assign(const TPersistent* source) {
  empty_ = true;
  picture_.Reset();
  if (!source) {
    data_.clear();
    Changed();
    return;
  }
  if (auto* other = dynamic_cast<const TAdvImage*>(source)) {
    if (other->Empty()) return;
    data_ = other->data_;
    empty_ = false;
    BuildPicture();
    Changed();
    return;
  }
  if (TakeFrameworkGraphic(source, false)) BuildPicture();
}

void TAdvImage::Draw(TCanvas* canvas, const RECT& r) {
  if (empty_ || !picture_) return;
  OLE_XSIZE_HIMETRIC w = 0;
  OLE_YSIZE_HIMETRIC h = 0;
  picture_->get_Width(&w);
  picture_->get_Height(&h);
  picture_->Render(canvas->Handle(), r.left, r.bottom, r.right - r.left, r.top - r.bottom, 0, 0, w, h, &r);
}
