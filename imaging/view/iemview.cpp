// The thumbnail view: entries, the two stores, per-entry values and locks.
#include "imaging/view/iemview.h"

#include <algorithm>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_detect.h"
#include "imaging/processing/imageryproc.h"
#include "platform/forms/properties.h"

const TClassInfo& TImageryMView::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TImageryMView>("TImageryMView", &TIEView::StaticClassInfo(), [](TPublished<TImageryMView>&) {});
  return info;
}

TImageryMView::TImageryMView(TComponent* owner) : TIEView(owner) {
  SetBounds(Left(), Top(), 180, 90);
  background_ = clIEBtnFace;
  RecreateStores();
  backBuffer_ = std::make_unique<TIEBitmap>();
  backBuffer_->SetLocation(ieTBitmap);
  backBuffer_->Allocate(10, 10, ie24RGB);
  topFont_ = std::make_unique<TFont>();
  bottomFont_ = std::make_unique<TFont>();
  infoFont_ = std::make_unique<TFont>();
  syncIO_ = std::make_unique<TImageryIO>(nullptr);
  starter_ = std::thread([this] { StarterExecute(); });
}

TImageryMView::~TImageryMView() {
  destroying_ = true;
  DeselectAll();
  AbortLoading();
  // Every loader thread has left the view before anything of it goes.
  WaitForLoaders();
  terminated_ = true;
  SignalStarter();
  starter_.join();
  std::lock_guard<std::recursive_mutex> guard(section_);
  for (size_t i = entries_.size(); i-- > 0;) DeleteStoreImages(entries_[i].get());
  entries_.clear();
  store_.reset();
  cache_.reset();
}

TIEMImageInfo* TImageryMView::Entry(int32_t index) const {
  if (index < 0 || index >= static_cast<int32_t>(entries_.size())) return nullptr;
  return entries_[index].get();
}

void TImageryMView::RecreateStores() {
  const bool design = ComponentState().Contains(csDesigning);
  store_ = std::make_unique<TIEVirtualImageList>("ILIST", !design);
  store_->SetMaxMapped(imageCacheSize_);
  cache_ = std::make_unique<TIEVirtualImageList>("ICACHE", !design);
}

// ---- entries ------------------------------------------------------------------------------

void TImageryMView::InsertImage(int32_t index) {
  auto entry = std::make_unique<TIEMImageInfo>();
  entry->Parent = this;
  entry->Background = background_;
  {
    std::lock_guard<std::recursive_mutex> guard(section_);
    index = std::clamp(index, 0, GetImageCount());
    entries_.insert(entries_.begin() + index, std::move(entry));
    // Queued and running loads above the new entry follow their entries.
    ShiftLoadIndexes(index, +1);
    if (selectedIndex_ >= index) ++selectedIndex_;
    if (lentIndex_ >= index) ++lentIndex_;
    for (int32_t& i : multiSelected_)
      if (i >= index) ++i;
  }
  if (OnCreateImage) OnCreateImage(this, index);
  lastChangeKind_ = 1;
  lastChangeIndex_ = index;
  NotifyBitmapChangeHandlers();
  RefreshView();
}

int32_t TImageryMView::AppendImage() {
  InsertImage(GetImageCount());
  return GetImageCount() - 1;
}

bool TImageryMView::DeleteImage(int32_t index, bool keepSelection) {
  if (!Entry(index)) return false;
  CancelImageLoad(index);
  const int32_t wasSelected = selectedIndex_;
  if (!keepSelection) DeselectAll();
  if (OnDestroyImage) OnDestroyImage(this, index);
  {
    std::lock_guard<std::recursive_mutex> guard(section_);
    if (index == lentIndex_) ForgetLentBitmap();
    DeleteStoreImages(entries_[index].get());
    entries_.erase(entries_.begin() + index);
    ShiftLoadIndexes(index + 1, -1);
    if (lentIndex_ > index) --lentIndex_;
    std::erase(multiSelected_, index);
    for (int32_t& i : multiSelected_)
      if (i > index) --i;
    if (keepSelection && selectedIndex_ >= index) selectedIndex_ = selectedIndex_ == index ? -1 : selectedIndex_ - 1;
  }
  if (!keepSelection && wasSelected >= 0) {
    int32_t next = wasSelected > index ? wasSelected - 1 : wasSelected;
    next = std::min(next, GetImageCount() - 1);
    if (next >= 0) SelectImage(next);
  }
  lastChangeKind_ = 2;
  lastChangeIndex_ = index;
  NotifyBitmapChangeHandlers();
  RefreshView();
  return true;
}

void TImageryMView::DeleteAllImages() {
  DeselectAll();
  BeginPaintLock();
  for (int32_t i = GetImageCount() - 1; i >= 0; --i) DeleteImage(i, true);
  EndPaintLockNoRefresh();
  anchor_ = 0;
}

void TImageryMView::Clear() {
  DeselectAll();
  AbortLoading();
  // No loader thread may touch an entry or a store from here on.
  WaitForLoaders();
  DeleteAllImages();
  {
    std::lock_guard<std::recursive_mutex> guard(section_);
    RecreateStores();
  }
  viewX_ = viewY_ = 0;
  Update();
}

void TImageryMView::DeleteStoreImages(TIEMImageInfo* entry) {
  if (entry->Image) store_->Delete(entry->Image);
  if (entry->CacheImage) cache_->Delete(entry->CacheImage);
  entry->Image = nullptr;
  entry->CacheImage = nullptr;
}

void TImageryMView::DropCacheImages() {
  std::lock_guard<std::recursive_mutex> guard(section_);
  for (auto& entry : entries_) {
    if (entry->CacheImage) cache_->Delete(entry->CacheImage);
    entry->CacheImage = nullptr;
  }
}

bool TImageryMView::HasImage(int32_t index) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  TIEMImageInfo* entry = Entry(index);
  return entry && (entry->Image || entry->CacheImage);
}

bool TImageryMView::HasStoredImage(int32_t index) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  TIEMImageInfo* entry = Entry(index);
  return entry && entry->Image;
}

// ---- storing -----------------------------------------------------------------------------

std::unique_ptr<TIEBitmap> IEMReducedForStore(TIEBitmap& source, int32_t boxWidth, int32_t boxHeight, bool stretchSmall,
                                              bool anyFormatTo24) {
  const int32_t w = source.GetWidth(), h = source.GetHeight();
  if (!stretchSmall && w <= boxWidth && h <= boxHeight) return nullptr;
  int32_t tw = boxWidth, th = boxHeight;
  if (w > 0 && h > 0) {
    int32_t vw = 0, vh = 0;
    IEFitSizeWithCrop(w, h, boxWidth, boxHeight, vw, vh, 0, tw, th);
  }
  if (stretchSmall && tw == w && th == h) return nullptr;
  tw = std::max(tw, 1);
  th = std::max(th, 1);
  auto reduced = std::make_unique<TIEBitmap>();
  reduced->SetLocation(ieInMemory);
  if (source.HasAlphaChannel()) IEFillTransparentPixels(&source, TRGB{128, 128, 128});
  const TIEPixelFormat format = source.GetPixelFormat();
  if (format == ie1g) {
    reduced->Allocate(tw, th, ie24RGB);
    IEStretch1BitAveraged(&source, 0, 0, w - 1, h - 1, reduced.get());
  } else if (format == ie24RGB || anyFormatTo24) {
    TIEBitmap converted;
    TIEBitmap* from = &source;
    if (format != ie24RGB) {
      converted.SetLocation(ieInMemory);
      converted.Assign(&source);
      converted.SetPixelFormat(ie24RGB);
      from = &converted;
    }
    reduced->Allocate(tw, th, ie24RGB);
    IEResampleBitmap(from, reduced.get(), rfFastLinear, nullptr, nullptr);
  } else {
    reduced->Allocate(tw, th, format);
    IEStretchNearest(&source, reduced.get(), nullptr, nullptr);
  }
  if (source.HasAlphaChannel() && !reduced->HasAlphaChannel()) {
    TIEBitmap* alpha = reduced->GetAlphaChannel();
    IEResampleGray8(source.GetAlphaChannel(), alpha, rfFastLinear);
  }
  return reduced;
}


void TImageryMView::StoreBitmap(int32_t index, TIEBitmap* bitmap, bool fromLoader) {
  TIEMImageInfo* entry = Entry(index);
  if (!entry || !bitmap) return;
  std::unique_ptr<TIEBitmap> reduced;
  if (storeType_ == ietThumb) {
    const TIEMGridGeometry g = Geometry();
    reduced = IEMReducedForStore(*bitmap, IEMZoomedSize(g.RawThumbWidth, g.Zoom), IEMCellHeight(g),
                              (ThumbnailOptionsEx & ietxStretchSmallImages) != 0, fromLoader);
  }
  std::lock_guard<std::recursive_mutex> guard(section_);
  if (index == lentIndex_) ForgetLentBitmap();
  DeleteStoreImages(entry);
  entry->Image = store_->AddBitmap(reduced ? *reduced : *bitmap);
  if (entry->Image) {
    store_->SetOrigWidth(entry->Image, bitmap->GetWidth());
    store_->SetOrigHeight(entry->Image, bitmap->GetHeight());
  }
}

void TImageryMView::SetImage(int32_t index, TIEBitmap* bitmap) {
  if (!Entry(index) || !bitmap) return;
  StoreBitmap(index, bitmap, false);
  if (index == selectedIndex_) NotifyBitmapChangeHandlers();
  if (!destroying_) Invalidate();
}

// The selected entry's bitmap stays valid for whoever holds it until the
// selection changes, even when the entry's image is replaced or deleted:
// the view keeps its loan (the store keeps a lent bitmap alive until its
// last release) and gives it back with the selection.
void TImageryMView::ForgetLentBitmap() {
  if (lentBitmap_) retiredLent_.push_back(lentBitmap_);
  lentBitmap_ = nullptr;
  lentIndex_ = -1;
}

void TImageryMView::GiveBackLentBitmaps(bool saveChanges) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  if (lentBitmap_) store_->ReleaseBitmap(lentBitmap_, saveChanges);
  for (TIEBitmap* bitmap : retiredLent_) store_->ReleaseBitmap(bitmap, false);
  retiredLent_.clear();
  lentBitmap_ = nullptr;
  lentIndex_ = -1;
}

TIEBitmap* TImageryMView::GetBitmap(int32_t index) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  TIEMImageInfo* entry = Entry(index);
  if (!entry) return nullptr;
  if (!entry->Image) LoadImageNow(index);
  return entry->Image ? store_->GetBitmap(entry->Image) : nullptr;
}

void TImageryMView::ReleaseBitmap(int32_t index, bool saveChanges) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  TIEMImageInfo* entry = Entry(index);
  if (!entry || !entry->Image) return;
  store_->ReleaseImageBitmap(entry->Image, saveChanges);
  if (entry->CacheImage) cache_->Delete(entry->CacheImage);
  entry->CacheImage = nullptr;
}

TIEBitmap* TImageryMView::GetIEBitmap() {
  std::lock_guard<std::recursive_mutex> guard(section_);
  if (selectedIndex_ < 0) return nullptr;
  if (!lentBitmap_) {
    lentBitmap_ = GetBitmap(selectedIndex_);
    lentIndex_ = lentBitmap_ ? selectedIndex_ : -1;
  }
  return lentBitmap_;
}

TBitmap* TImageryMView::GetTBitmap() {
  TIEBitmap* bitmap = GetIEBitmap();
  return bitmap ? bitmap->GetTBitmap() : nullptr;
}

// ---- per-entry values ------------------------------------------------------------------------

std::string TImageryMView::ImageFileName(int32_t index) const {
  const TIEMImageInfo* e = Entry(index);
  return e ? e->FileName : std::string();
}

void TImageryMView::SetImageFileName(int32_t index, const std::string& name) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  if (TIEMImageInfo* e = Entry(index)) {
    e->FileName = name;
    e->ID = -1;
  }
}

void TImageryMView::SetImageTopText(int32_t index, const std::string& text) {
  if (TIEMImageInfo* e = Entry(index)) e->TopText = text;
}
void TImageryMView::SetImageBottomText(int32_t index, const std::string& text) {
  if (TIEMImageInfo* e = Entry(index)) e->BottomText = text;
}
void TImageryMView::SetImageInfoText(int32_t index, const std::string& text) {
  if (TIEMImageInfo* e = Entry(index)) e->InfoText = text;
}
std::string TImageryMView::ImageTopText(int32_t index) const {
  const TIEMImageInfo* e = Entry(index);
  return e ? e->TopText : std::string();
}
std::string TImageryMView::ImageBottomText(int32_t index) const {
  const TIEMImageInfo* e = Entry(index);
  return e ? e->BottomText : std::string();
}
std::string TImageryMView::ImageInfoText(int32_t index) const {
  const TIEMImageInfo* e = Entry(index);
  return e ? e->InfoText : std::string();
}
void TImageryMView::SetImageID(int32_t index, int32_t id) {
  if (TIEMImageInfo* e = Entry(index)) e->ID = id;
}
int32_t TImageryMView::ImageID(int32_t index) const {
  const TIEMImageInfo* e = Entry(index);
  return e ? e->ID : -1;
}
void TImageryMView::SetImageDelayTime(int32_t index, double ms) {
  if (TIEMImageInfo* e = Entry(index)) e->DelayTime = ms;
}
double TImageryMView::ImageDelayTime(int32_t index) const {
  const TIEMImageInfo* e = Entry(index);
  return e ? e->DelayTime : 0;
}

int32_t TImageryMView::ImageOriginalWidth(int32_t index) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  const TIEMImageInfo* e = Entry(index);
  if (!e) return 0;
  if (e->Image) return store_->GetOrigWidth(e->Image);
  return e->CacheImage ? cache_->GetOrigWidth(e->CacheImage) : 0;
}

int32_t TImageryMView::ImageOriginalHeight(int32_t index) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  const TIEMImageInfo* e = Entry(index);
  if (!e) return 0;
  if (e->Image) return store_->GetOrigHeight(e->Image);
  return e->CacheImage ? cache_->GetOrigHeight(e->CacheImage) : 0;
}

void TImageryMView::SetImageOriginalWidth(int32_t index, int32_t value) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  if (TIEMImageInfo* e = Entry(index); e && e->Image) store_->SetOrigWidth(e->Image, value);
}

void TImageryMView::SetImageOriginalHeight(int32_t index, int32_t value) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  if (TIEMImageInfo* e = Entry(index); e && e->Image) store_->SetOrigHeight(e->Image, value);
}

int32_t TImageryMView::ImageBitCount(int32_t index) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  const TIEMImageInfo* e = Entry(index);
  if (!e) return 0;
  if (e->Image) return store_->GetImageBitCount(e->Image);
  return e->CacheImage ? cache_->GetImageBitCount(e->CacheImage) : 0;
}

int32_t TImageryMView::ImageWidth(int32_t index) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  const TIEMImageInfo* e = Entry(index);
  return e && e->Image ? store_->GetImageWidth(e->Image) : 0;
}

int32_t TImageryMView::ImageHeight(int32_t index) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  const TIEMImageInfo* e = Entry(index);
  return e && e->Image ? store_->GetImageHeight(e->Image) : 0;
}

int32_t TImageryMView::ImageX(int32_t index) const { return Entry(index) ? Entry(index)->X : 0; }
int32_t TImageryMView::ImageY(int32_t index) const { return Entry(index) ? Entry(index)->Y : 0; }
int32_t TImageryMView::ImageRow(int32_t index) const { return Entry(index) ? Entry(index)->Row : 0; }
int32_t TImageryMView::ImageCol(int32_t index) const { return Entry(index) ? Entry(index)->Col : 0; }
uint8_t TImageryMView::ImageKind(int32_t index) const { return Entry(index) ? Entry(index)->Kind : 0; }
void TImageryMView::SetImageKind(int32_t index, uint8_t kind) {
  if (TIEMImageInfo* e = Entry(index)) e->Kind = kind;
}
RECT TImageryMView::ImageRect(int32_t index) const { return Entry(index) ? Entry(index)->ImageRect : RECT{}; }

int32_t TImageryMView::ImageKindOf(int32_t index) const {
  const TIEMImageInfo* e = Entry(index);
  if (!e) return 0;
  if (e->Kind == iemkFolder) return 2;
  return IEIsKnownFileFormat(e->FileName, false) ? 0 : 1;
}

void TImageryMView::LookUpFileInfo(TIEMImageInfo* entry) {
  if (entry->FileSize != 0 || entry->CreateDate != 0 || entry->EditDate != 0) return;
  int64_t size = 0;
  TDateTime created = 0, written = 0;
  if (!entry->FileName.empty() && IEGetFileInfo(entry->FileName, size, created, written)) {
    entry->FileSize = size;
    entry->CreateDate = created;
    entry->EditDate = written;
  } else {
    entry->FileSize = -1;
  }
}

int64_t TImageryMView::ImageFileSize(int32_t index) {
  TIEMImageInfo* e = Entry(index);
  if (!e) return -1;
  LookUpFileInfo(e);
  return e->FileSize;
}

double TImageryMView::ImageCreateDate(int32_t index) {
  TIEMImageInfo* e = Entry(index);
  if (!e) return 0;
  LookUpFileInfo(e);
  return e->CreateDate;
}

double TImageryMView::ImageEditDate(int32_t index) {
  TIEMImageInfo* e = Entry(index);
  if (!e) return 0;
  LookUpFileInfo(e);
  return e->EditDate;
}

void TImageryMView::SetImageCreateDate(int32_t index, double date) {
  if (TIEMImageInfo* e = Entry(index)) {
    LookUpFileInfo(e);
    e->CreateDate = date;
  }
}

// ---- components and change record --------------------------------------------------------

void TImageryMView::NotifyBitmapChangeHandlers() {
  TIEView::NotifyBitmapChangeHandlers();
  lastChangeKind_ = 0;
}

TImageryMIO* TImageryMView::GetMIO() {
  if (!mio_) {
    mio_ = new TImageryMIO(this);
    mio_->SetAttachedMView(this);
  }
  return mio_;
}

// ---- locks ----------------------------------------------------------------------------------

void TImageryMView::BeginPaintLock() { ++paintLock_; }

int32_t TImageryMView::EndPaintLock() {
  if (paintLock_ > 0 && --paintLock_ == 0) RefreshView(true, true);
  return paintLock_;
}

int32_t TImageryMView::EndPaintLockNoRefresh() {
  if (paintLock_ > 0) --paintLock_;
  return paintLock_;
}

void TImageryMView::BeginUpdateLock() { ++updateLock_; }

int32_t TImageryMView::EndUpdateLock() {
  if (updateLock_ > 0 && --updateLock_ == 0) RefreshView(true, true);
  return updateLock_;
}

// ---- settings --------------------------------------------------------------------------------

void TImageryMView::SetStoreType(TIEStoreType value) {
  storeType_ = value;
  if (value == ietFastThumb && ThumbnailDisplayFilter == rfNone) ThumbnailDisplayFilter = rfFastLinear;
}

void TImageryMView::SetImageCacheSize(int32_t value) {
  imageCacheSize_ = value;
  std::lock_guard<std::recursive_mutex> guard(section_);
  store_->SetMaxMapped(value);
}

void TImageryMView::SetBackground(TIEColor color) {
  TIEView::SetBackground(color);
  Update();
}

void TImageryMView::SetThumbnailsBackground(TColor color) {
  thumbsBackground_ = color;
  Update();
}

void TImageryMView::SetThumbnailsBackgroundSelected(TColor color) {
  thumbsBackgroundSelected_ = color;
  Update();
}

void TImageryMView::SetSelectionColor(TColor color) {
  selectionColor_ = color;
  Update();
}

void TImageryMView::SetSelectionWidth(int32_t width) {
  selectionWidth_ = width;
  Update();
}

void TImageryMView::SetVisibleSelection(bool value) {
  visibleSelection_ = value;
  Update();
}

void TImageryMView::SetStyle(TIEMStyle value) {
  if (value == style_) return;
  style_ = value;
  Update();
}

void TImageryMView::SetGaps(int32_t upper, int32_t bottom, int32_t side, int32_t textMargin) {
  upperGap_ = upper;
  bottomGap_ = bottom;
  sideGap_ = side;
  textMargin_ = textMargin;
  Update();
}
