#include "platform/forms/imglist.h"

#include <algorithm>

#include "platform/forms/properties.h"

const TClassInfo& TCustomImageList::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCustomImageList>(
      "TCustomImageList", &TComponent::StaticClassInfo(), [](TPublished<TCustomImageList>& p) {
        p.Integer("Width", &TCustomImageList::Width, &TCustomImageList::SetWidth)
            .Integer("Height", &TCustomImageList::Height, &TCustomImageList::SetHeight);
      });
  return info;
}

const TClassInfo& TImageList::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TImageList>("TImageList", &TCustomImageList::StaticClassInfo());
  return info;
}

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}
TCustomImageList::~TCustomImageList() {
  for (TChangeLink* link : links_) link->sender_ = nullptr;
}

TChangeLink::~TChangeLink() {
  if (sender_) sender_->UnRegisterChanges(this);
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
  if (!link || std::find(links_.begin(), links_.end(), link) != links_.end()) return;
  if (link->sender_) link->sender_->UnRegisterChanges(link);
  link->sender_ = this;
  links_.push_back(link);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
  std::erase(links_, link);
  if (link && link->sender_ == this) link->sender_ = nullptr;
}

void TCustomImageList::Change() {
  // A handler may unregister links: walk a copy.
  const std::vector<TChangeLink*> links = links_;
  for (TChangeLink* link : links)
    if (link->sender_ == this && link->OnChange) link->OnChange(this);
}

void TCustomImageList::SetWidth(int32_t width) {
  if (width == width_ || width < 1) return;
  width_ = width;
  Clear();
}

void TCustomImageList::SetHeight(int32_t height) {
  if (height == height_ || height < 1) return;
  height_ = height;
  Clear();
}

void TCustomImageList::Clear() {
  images_.clear();
  Change();
}

int32_t TCustomImageList::Add(TBitmap* image) {
  auto copy = std::make_unique<TBitmap>();
  copy->SetPixelFormat(pf32bit);
  copy->SetSize(width_, height_);
  if (image && !image->Empty()) {
    RECT all{0, 0, width_, height_};
    copy->Canvas()->CopyRect(all, image->Canvas(), all);
    copy->SetTransparent(image->Transparent());
  }
  images_.push_back(std::move(copy));
  Change();
  return Count() - 1;
}

void TCustomImageList::Draw(TCanvas* canvas, int32_t x, int32_t y, int32_t index) {
  if (index < 0 || index >= Count() || !canvas) return;
  canvas->Draw(x, y, images_[static_cast<size_t>(index)].get());
}

bool TCustomImageList::GetBitmap(int32_t index, TBitmap* out) const {
  if (index < 0 || index >= Count() || !out) return false;
  out->Assign(images_[static_cast<size_t>(index)].get());
  return true;
}
