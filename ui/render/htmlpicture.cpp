#include "ui/render/htmlpicture.h"

#include <cstring>

#include "platform/forms/properties.h"
#include "platform/rtl/resources.h"
#include "platform/rtl/streams.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/gdi.h"
#include "ui/render/gdippicturecontainer.h"

// ---- GIF frames ----

namespace {

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

// Skips a chain of data sub-blocks from pos; false when it runs past the end.
bool SkipSubBlocks(const uint8_t* d, size_t size, size_t& pos) {
  while (pos < size) {
    uint8_t length = d[pos++];
    if (length == 0) return true;
    if (size - pos < length) return false;
    pos += length;
  }
  return false;
}

size_t ColorTableSize(uint8_t packed) { return (packed & 0x80) ? 3u * (1u << ((packed & 7) + 1)) : 0; }

}  // namespace

bool WalkGIF(const uint8_t* d, size_t size, TGIFLayout& out) {
  out = {};
  if (size < 13 || std::memcmp(d, "GIF8", 4) != 0) return false;
  out.screenWidth = Le16(d + 6);
  out.screenHeight = Le16(d + 8);
  size_t pos = 13;
  if (size - pos < ColorTableSize(d[10])) return true;
  pos += ColorTableSize(d[10]);
  size_t controlAt = SIZE_MAX;  // a graphic control extension waiting for its image
  while (pos < size) {
    uint8_t block = d[pos];
    if (block == 0x3B) break;
    if (block == 0x21) {
      if (size - pos < 2) break;
      if (d[pos + 1] == 0xF9) controlAt = pos;
      size_t next = pos + 2;
      if (!SkipSubBlocks(d, size, next)) break;
      pos = next;
      continue;
    }
    if (block != 0x2C || size - pos < 10) break;
    TGIFFrame frame;
    frame.start = controlAt != SIZE_MAX ? controlAt : pos;
    frame.left = Le16(d + pos + 1);
    frame.top = Le16(d + pos + 3);
    frame.width = Le16(d + pos + 5);
    frame.height = Le16(d + pos + 7);
    size_t next = pos + 10;
    size_t table = ColorTableSize(d[pos + 9]);
    if (size - next < table + 1) break;
    next += table + 1;  // the local colour table and the LZW code size
    if (!SkipSubBlocks(d, size, next)) break;
    out.frames.push_back(frame);
    controlAt = SIZE_MAX;
    pos = next;
  }
  return true;
}

// ---- THTMLPicture ----

const TClassInfo& THTMLPicture::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<THTMLPicture>("THTMLPicture", &TGraphic::StaticClassInfo(), [](TPublished<THTMLPicture>& p) {
        p.Integer("Frame", &THTMLPicture::Frame, &THTMLPicture::SetFrame)
            .Boolean("Stretch", &THTMLPicture::Stretch, &THTMLPicture::SetStretch)
            .Event("OnFrameChange", &THTMLPicture::OnFrameChange);
      });
  return info;
}

int32_t THTMLPicture::Width() const {
  if (!picture_) return 0;
  OLE_XSIZE_HIMETRIC w = 0;
  picture_->get_Width(&w);
  return MulDiv(w, 96, 2540);
}

int32_t THTMLPicture::Height() const {
  if (!picture_) return 0;
  OLE_YSIZE_HIMETRIC h = 0;
  picture_->get_Height(&h);
  return MulDiv(h, 96, 2540);
}

bool THTMLPicture::HoldsGIF() const { return data_.size() >= 5 && std::memcmp(data_.data(), "GIF8", 4) == 0; }

int32_t THTMLPicture::CountFrames() {
  if (frameCount_ != -1) return frameCount_;
  TGIFLayout layout;
  if (!HoldsGIF() || !WalkGIF(data_.data(), data_.size(), layout)) return -1;
  frameCount_ = static_cast<int32_t>(layout.frames.size());
  return frameCount_;
}

void THTMLPicture::DecodePictureData() {
  frameX_ = frameY_ = 0;
  animationWidth_ = animationHeight_ = 0;
  std::vector<uint8_t> bytes;
  TGIFLayout layout;
  if (HoldsGIF() && CountFrames() > 0 && WalkGIF(data_.data(), data_.size(), layout)) {
    animationWidth_ = layout.screenWidth;
    animationHeight_ = layout.screenHeight;
    // The header and tables, then the selected frame and all that follow.
    size_t head = layout.frames.front().start;
    bytes.assign(data_.begin(), data_.begin() + static_cast<ptrdiff_t>(head));
    if (frame_ >= 1 && static_cast<size_t>(frame_) <= layout.frames.size()) {
      const TGIFFrame& f = layout.frames[static_cast<size_t>(frame_ - 1)];
      frameX_ = f.left;
      frameY_ = f.top;
      frameWidth_ = f.width;
      frameHeight_ = f.height;
      bytes.insert(bytes.end(), data_.begin() + static_cast<ptrdiff_t>(f.start), data_.end());
    }
  } else {
    bytes = data_;
  }
  ComPtr<IStream> stream = StreamOverCopy(bytes);
  picture_.Reset();
  IPicture* loaded = nullptr;
  HRESULT hr = OleLoadPicture(stream.Get(), static_cast<LONG>(bytes.size()), FALSE, IID_IPicture,
                              reinterpret_cast<void**>(&loaded));
  if (FAILED(hr)) throw Exception("Could not load image. Invalid format");
  if (!loaded) throw Exception("Could not load image");
  picture_ = ComPtr<IPicture>::Attach(loaded);
}

void THTMLPicture::LoadFromStream(TStream& stream) {
  TakeStream(stream);
  empty_ = false;
  DecodePictureData();
  Changed();
}

void THTMLPicture::LoadFromFile(const std::string& fileName) {
  try {
    TakeFile(fileName);
    empty_ = false;
    DecodePictureData();
    Changed();
  } catch (const std::exception&) {
    Reset();
  }
}

void THTMLPicture::LoadFromNamedResource(HINSTANCE instance, const std::string& name) {
  const TResourceEntry* entry = FindResourceEntry(instance, TResourceName(name), TResourceName(RT_RCDATA));
  if (!entry) return;
  TResourceData bytes = ResourceBytes(entry);
  TMemoryStream stream;
  if (bytes.size) stream.WriteBuffer(bytes.data, static_cast<int32_t>(bytes.size));
  LoadFromStream(stream);
}

void THTMLPicture::LoadFromAddress(const std::string& address) {
  std::string upper = UpperCase(address);
  if (upper.rfind("RES://", 0) == 0 || upper.rfind("FILE://", 0) == 0) {
    id_ = address;
    bool resource = upper[0] == 'R';
    std::string rest = address.substr(resource ? 6 : 7);
    // A picture that cannot be decoded stays empty: it is drawn while painting.
    try {
      if (resource) LoadFromNamedResource(HInstance, rest);
      else LoadFromFile(rest);
    } catch (const std::exception&) {
      Reset();
    }
    return;
  }
  if (!asynch_) {
    downloadAddress_ = address;
    id_ = address;
  } else if (!threadBusy_) {
    // A download would start here; it fetches nothing, and later
    // addresses are ignored while it counts as busy.
    downloadAddress_ = address;
    threadBusy_ = true;
  }
}

void THTMLPicture::ReadData(TStream* stream) {
  if (!stream) return;
  TakeStream(*stream);
  empty_ = false;
  DecodePictureData();
}

void THTMLPicture::Reset() {
  empty_ = true;
  picture_.Reset();
  frameCount_ = -1;
}

void THTMLPicture::Assign(const TPersistent* source) {
  Reset();
  frame_ = 1;
  if (!source) {
    data_.clear();
    return;
  }
  if (auto* other = dynamic_cast<const THTMLPicture*>(source)) {
    stretch_ = other->stretch_;
    frame_ = other->frame_;
    id_ = other->id_;
    data_ = other->data_;
    empty_ = false;
    DecodePictureData();
    Changed();
  }
}

void THTMLPicture::SetFrame(int32_t frame) {
  frame_ = frame;
  if (data_.empty()) return;
  DecodePictureData();
  if (OnFrameChange) OnFrameChange(this);
}

void THTMLPicture::Draw(TCanvas* canvas, const RECT& r) {
  if (empty_ || !picture_) return;
  OLE_XSIZE_HIMETRIC hmWidth = 0;
  OLE_YSIZE_HIMETRIC hmHeight = 0;
  picture_->get_Width(&hmWidth);
  picture_->get_Height(&hmHeight);
  HDC dc = canvas->Handle();
  int32_t w = r.right - r.left, h = r.bottom - r.top;
  if (!stretch_) {
    w = MulDiv(hmWidth, GetDeviceCaps(dc, LOGPIXELSX), 2540);
    h = MulDiv(hmHeight, GetDeviceCaps(dc, LOGPIXELSY), 2540);
  }
  picture_->Render(dc, r.left, r.top, w, h, 0, hmHeight, hmWidth, -hmHeight, &r);
}

// ---- cache ----

THTMLPicture* THTMLPictureCache::NewPicture() {
  items_.push_back(new THTMLPicture());
  return items_.back();
}

THTMLPicture* THTMLPictureCache::FindByURL(const std::string& address) const {
  for (THTMLPicture* p : items_)
    if (p->ID() == address) return p;
  return nullptr;
}

void THTMLPictureCache::FreeAll() {
  for (THTMLPicture* p : items_) delete p;
  items_.clear();
}

// ---- container ----

namespace PictureContainer {

const TClassInfo& TPictureItem::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TPictureItem>("TPictureItem", &TCollectionItem::StaticClassInfo(), &Publish<TPictureItem>);
  return info;
}

const TClassInfo& TPictureCollection::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TPictureCollection>("TPictureCollection", &TCollection::StaticClassInfo());
  return info;
}

}  // namespace PictureContainer

const TClassInfo& TPictureContainer::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TPictureContainer>(
      "TPictureContainer", &TComponent::StaticClassInfo(), [](TPublished<TPictureContainer>& p) {
        p.Object("Items", &TPictureContainer::Items)
            .String("Version", &TPictureContainer::Version, &TPictureContainer::SetVersion);
      });
  return info;
}

TPictureContainer::TPictureContainer(TComponent* owner)
    : TComponent(owner), items_(new PictureContainer::TPictureCollection(this)) {}
TPictureContainer::~TPictureContainer() { delete items_; }

THTMLPicture* TPictureContainer::PictureByName(const std::string& name) const { return items_->PictureByName(name); }

std::string TPictureContainer::Version() const { return VersionString(0x01000000); }
