// The thumbnail view: the starter thread and the pool of loader threads that
// decode the pictures of visible entries, and the synchronous load.
//
// A loader's thread runs the decode and the completion, sets Finished as its
// last act on the loader and then wakes the starter; the starter (or the
// view, when it waits for every loader) joins the thread before the loader
// is freed, so no loader is freed while its thread still runs.
#include <algorithm>
#include <cstdlib>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/iemio.h"
#include "imaging/io/imageryio.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/view/iemview.h"
#include "platform/win/user_paint.h"

TIEMLoader::~TIEMLoader() {
  if (Thread.joinable()) Thread.join();
}

namespace {

// A name "file::n" names frame n of file; false for a plain name.
bool SplitFrameName(const std::string& name, std::string& file, int32_t& frame) {
  const size_t at = name.find("::");
  if (at == std::string::npos) return false;
  file = name.substr(0, at);
  frame = std::atoi(name.c_str() + at + 2);
  return true;
}

constexpr int32_t kGifFileType = 2;

bool LoadFailed(TImageryIO& io, TIEBitmap& bitmap) {
  return io.Aborting() || (bitmap.GetWidth() < 2 && bitmap.GetHeight() < 2);
}

}  // namespace

// ---- decoding ---------------------------------------------------------------------------------

void TImageryMView::PrepareLoadParams(TIOParamsVals& params) {
  const TIEMGridGeometry g = Geometry();
  PrepareParams(params, IEMZoomedSize(g.RawThumbWidth, g.Zoom), IEMCellHeight(g), storeType_);
}

void TImageryMView::PrepareParams(TIOParamsVals& params, int32_t boxWidth, int32_t boxHeight,
                                  TIEStoreType storeType) {
  if (storeType == ietNormal) {
    params.JPEG_SCALE = 1;
  } else {
    const int32_t factor = storeType == ietFastThumb ? 3 : 1;
    params.JPEG_SCALE = 0;
    params.JPEG_DCTMETHOD = 1;
    params.WIDTH = boxWidth * factor;
    params.HEIGHT = boxHeight * factor;
    const bool small = boxWidth <= 200 && boxHeight <= 200;
    params.SetJPEG_GetExifThumbnail(small);
    params.RAW_GETEXIFTHUMBNAIL = small;
    params.RAW_HALFSIZE = !(boxWidth > 1800 || boxHeight > 1400);
  }
  params.SetEnableAdjustOrientation(false);
}

// Decodes the file (or one frame of it) into the bitmap; true when it worked.
bool TImageryMView::DecodeFile(TImageryIO& io, const std::string& fileName, TIEBitmap& bitmap) {
  if (DecodeHook) DecodeHook(fileName);
  try {
    std::string file;
    int32_t frame = 0;
    if (SplitFrameName(fileName, file, frame)) {
      io.Params().SetImageIndex(frame);
      io.LoadFromFileAuto(file);
    } else {
      io.LoadFromFileAuto(fileName);
    }
  } catch (...) {
    io.SetAborting(true);
  }
  return !LoadFailed(io, bitmap);
}

// Stores a loaded picture (or its placeholder) in the entry: parameters,
// background, kind, image, original size and the EXIF date.
void TImageryMView::StoreLoaded(int32_t index, TIEBitmap* bitmap, int32_t sourceWidth, int32_t sourceHeight,
                                TIOParamsVals& params, TIEColor background, uint8_t kind, bool keepKind) {
  TIEMImageInfo* entry = Entry(index);
  if (!entry) return;
  if (mio_)
    if (TIOParamsVals* target = mio_->GetParams(index)) target->Assign(params);
  entry->Background = background;
  if (!keepKind && entry->Kind != iemkFolder) entry->Kind = kind;
  TIEVirtualImage* image = store_->AddBitmap(*bitmap);
  if (entry->Image) store_->Delete(entry->Image);
  if (entry->CacheImage) cache_->Delete(entry->CacheImage);
  entry->CacheImage = nullptr;
  entry->Image = image;
  if (image) {
    store_->SetOrigWidth(image, params.ORIGINALWIDTH > 0 ? params.ORIGINALWIDTH : sourceWidth);
    store_->SetOrigHeight(image, params.ORIGINALHEIGHT > 0 ? params.ORIGINALHEIGHT : sourceHeight);
  }
  const double exifDate = params.GetEXIF_DateTimeOriginalAsDateTime();
  if (exifDate > 0) SetImageCreateDate(index, exifDate);
}

// ---- synchronous load ------------------------------------------------------------------------

bool TImageryMView::LoadImageNow(int32_t index) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  TIEMImageInfo* entry = Entry(index);
  if (!entry) return false;
  if (entry->ID >= 0 && OnImageIDRequestEx) {
    TIEBitmap* supplied = nullptr;
    OnImageIDRequestEx(this, index, entry->ID, supplied);
    if (supplied) StoreBitmap(index, supplied, false);
    return true;
  }
  if (entry->FileName.empty()) return true;
  TIEBitmap bitmap;
  bitmap.SetLocation(ieInMemory);
  syncIO_->SetAborting(false);
  syncIO_->SetAttachedIEBitmap(&bitmap);
  syncIO_->SetBackground(entry->Background);
  PrepareLoadParams(syncIO_->Params());
  if (mio_) syncIO_->AutoAdjustDPI = mio_->AutoAdjustDPI;
  const bool loaded = DecodeFile(*syncIO_, entry->FileName, bitmap);
  std::string file;
  int32_t frame = 0;
  if (loaded && SplitFrameName(entry->FileName, file, frame) && syncIO_->Params().FILETYPE == kGifFileType)
    entry->DelayTime = syncIO_->Params().GIF_DELAYTIME * 10.0;
  uint8_t kind = entry->Kind;
  if (!loaded) DoWrongImage(&bitmap, index, kind);
  std::unique_ptr<TIEBitmap> reduced;
  if (storeType_ == ietThumb) {
    const TIEMGridGeometry g = Geometry();
    reduced = IEMReducedForStore(bitmap, IEMZoomedSize(g.RawThumbWidth, g.Zoom), IEMCellHeight(g),
                                 (ThumbnailOptionsEx & ietxStretchSmallImages) != 0, true);
  }
  StoreLoaded(index, reduced ? reduced.get() : &bitmap, bitmap.GetWidth(), bitmap.GetHeight(), syncIO_->Params(),
              syncIO_->Background(), kind, loaded);
  syncIO_->SetAttachedIEBitmap(nullptr);
  return loaded;
}

// ---- the queue ---------------------------------------------------------------------------------

void TImageryMView::SignalStarter() {
  std::lock_guard<std::mutex> guard(wakeLock_);
  wakeSignalled_ = true;
  wake_.notify_one();
}

// Under the section: what the GUI thread shows, for the loader threads.
bool TImageryMView::VisibleForLoading(int32_t index) const {
  const TIEMImageInfo* e = Entry(index);
  if (!e) return false;
  const TIEMVisibleArea& a = visibleArea_;
  if (a.Single) return index == a.Frame;
  const int32_t x = e->X - a.ViewX, y = e->Y - a.ViewY;
  return x + a.CellWidth > 0 && y + a.CellHeight > 0 && x <= a.ClientWidth - 1 && y <= a.ClientHeight - 1;
}

void TImageryMView::NoteVisibleArea() {
  std::lock_guard<std::recursive_mutex> guard(section_);
  const TIEMGridGeometry g = Geometry();
  visibleArea_ = TIEMVisibleArea{viewX_,
                                 viewY_,
                                 ClientWidth(),
                                 ClientHeight(),
                                 IEMCellWidth(g),
                                 IEMCellHeight(g),
                                 displayMode_ == mdSingle,
                                 std::clamp(visibleFrame_, 0, std::max(GetImageCount() - 1, 0)),
                                 IEMZoomedSize(g.RawThumbWidth, g.Zoom),
                                 storeType_,
                                 (ThumbnailOptionsEx & ietxStretchSmallImages) != 0};
}

void TImageryMView::PruneQueue() {
  std::erase_if(queue_, [&](int32_t index) { return !VisibleForLoading(index); });
}

bool TImageryMView::RequestImageLoad(int32_t index, int32_t position) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  TIEMImageInfo* entry = Entry(index);
  if (!entry || entry->FileName.find("::") != std::string::npos || entry->Kind == iemkFolder) return false;
  struct Wake {
    TImageryMView* view;
    ~Wake() { view->SignalStarter(); }
  } wake{this};
  if (entry->Image) return true;
  PruneQueue();
  if (position >= 0) position = std::clamp(position, 0, std::max(static_cast<int32_t>(queue_.size()) - 1, 0));
  if (auto it = std::find(queue_.begin(), queue_.end(), index); it != queue_.end()) {
    if (position >= 0) {
      queue_.erase(it);
      queue_.insert(queue_.begin() + std::min<size_t>(position, queue_.size()), index);
    }
    return true;
  }
  for (auto& loader : running_)
    if (loader->Tag == index) return true;
  ReapLoaders();
  if (entry->ID >= 0 && OnImageIDRequestEx) return false;
  if (entry->FileName.empty()) return false;
  if (position < 0)
    queue_.push_back(index);
  else
    queue_.insert(queue_.begin() + std::min<size_t>(position, queue_.size()), index);
  return true;
}

void TImageryMView::CancelImageLoad(int32_t index) {
  {
    std::lock_guard<std::recursive_mutex> guard(section_);
    std::erase(queue_, index);
    for (auto& loader : running_)
      if (loader->Tag == index) {
        loader->Tag = -2;
        loader->IO->SetAborting(true);
      }
  }
  SignalStarter();
}

// Loads follow their entries when an entry is inserted or deleted: queued
// indexes and running loaders' tags at or above from move by delta.
void TImageryMView::ShiftLoadIndexes(int32_t from, int32_t delta) {
  for (int32_t& index : queue_)
    if (index >= from) index += delta;
  for (auto& loader : running_) {
    const int32_t tag = loader->Tag;
    if (tag >= from) loader->Tag = tag + delta;
  }
}

void TImageryMView::AbortLoading() {
  {
    std::lock_guard<std::recursive_mutex> guard(section_);
    queue_.clear();
    for (auto& loader : running_)
      if (loader->Tag >= 0) {
        loader->Tag = -2;
        loader->IO->SetAborting(true);
      }
  }
  SignalStarter();
  for (int round = 0; round < 10 && RunningLoaders() > 0; ++round) Sleep(100);
}

// Waits, outside the section, until every loader thread has ended, then
// frees the loaders.
void TImageryMView::WaitForLoaders() {
  std::vector<std::unique_ptr<TIEMLoader>> loaders;
  {
    std::lock_guard<std::recursive_mutex> guard(section_);
    queue_.clear();
    for (auto& loader : running_) {
      if (loader->Tag >= 0) loader->Tag = -2;
      loader->IO->SetAborting(true);
    }
    loaders.swap(running_);
  }
  for (auto& loader : loaders)
    if (loader->Thread.joinable()) loader->Thread.join();
}

int32_t TImageryMView::RunningLoaders() {
  std::lock_guard<std::recursive_mutex> guard(section_);
  ReapLoaders();
  return static_cast<int32_t>(running_.size());
}

int32_t TImageryMView::QueuedLoads() {
  std::lock_guard<std::recursive_mutex> guard(section_);
  return static_cast<int32_t>(queue_.size());
}

std::vector<int32_t> TImageryMView::RunningTags() {
  std::lock_guard<std::recursive_mutex> guard(section_);
  std::vector<int32_t> tags;
  for (auto& loader : running_)
    if (!loader->Finished) tags.push_back(loader->Tag);
  return tags;
}

// Under the section: frees the loaders whose thread has ended and aborts
// those whose entry went out of sight.
void TImageryMView::ReapLoaders() {
  std::erase_if(running_, [](const std::unique_ptr<TIEMLoader>& loader) { return loader->Finished.load(); });
  for (auto& loader : running_) {
    const int32_t tag = loader->Tag;
    if (tag >= 0 && !VisibleForLoading(tag)) {
      loader->Tag = -2;
      loader->IO->SetAborting(true);
    }
  }
}

// ---- the starter and the loaders ---------------------------------------------------------------

void TImageryMView::StarterExecute() {
  for (;;) {
    {
      std::unique_lock<std::mutex> lock(wakeLock_);
      wake_.wait(lock, [this] { return wakeSignalled_ || terminated_; });
      wakeSignalled_ = false;
    }
    if (terminated_) return;
    std::lock_guard<std::recursive_mutex> guard(section_);
    ReapLoaders();
    PruneQueue();
    while (!terminated_ && !queue_.empty() && static_cast<int32_t>(running_.size()) < threadPoolSize_) {
      const int32_t index = queue_.front();
      queue_.pop_front();
      StartLoader(index);
    }
  }
}

// Under the section, on the starter thread.
void TImageryMView::StartLoader(int32_t index) {
  TIEMImageInfo* entry = Entry(index);
  if (!entry) return;
  auto loader = std::make_unique<TIEMLoader>();
  loader->Bitmap = std::make_unique<TIEBitmap>();
  loader->Bitmap->SetLocation(ieInMemory);
  loader->IO = std::make_unique<TImageryIO>(nullptr);
  loader->Tag = index;
  loader->FileName = entry->FileName;
  loader->IO->SetAttachedIEBitmap(loader->Bitmap.get());
  loader->IO->SetBackground(entry->Background);
  PrepareParams(loader->IO->Params(), visibleArea_.BoxWidth, visibleArea_.CellHeight, visibleArea_.StoreType);
  TIEMLoader* raw = loader.get();
  running_.push_back(std::move(loader));
  raw->Thread = std::thread([this, raw] { RunLoader(raw); });
}

void TImageryMView::RunLoader(TIEMLoader* loader) {
  if (!loader->IO->Aborting()) DecodeFile(*loader->IO, loader->FileName, *loader->Bitmap);
  LoaderFinished(loader);
  loader->Finished = true;
  SignalStarter();
}

void TImageryMView::LoaderFinished(TIEMLoader* loader) {
  TImageryIO& io = *loader->IO;
  TIEBitmap& bitmap = *loader->Bitmap;
  const bool failed = LoadFailed(io, bitmap);
  uint8_t kind = iemkImage;
  TIEMVisibleArea area;
  {
    std::lock_guard<std::recursive_mutex> guard(section_);
    if (destroying_ || loader->Tag < 0) {
      loader->Tag = -1;
      return;
    }
    if (failed) DoWrongImage(&bitmap, loader->Tag, kind);
    area = visibleArea_;
  }
  std::unique_ptr<TIEBitmap> reduced;
  if (area.StoreType == ietThumb)
    reduced = IEMReducedForStore(bitmap, area.BoxWidth, area.CellHeight, area.StretchSmall, true);
  {
    std::lock_guard<std::recursive_mutex> guard(section_);
    const int32_t index = loader->Tag;
    // A load for an entry that got its image meanwhile is dropped.
    if (index >= 0 && Entry(index) && !Entry(index)->Image)
      StoreLoaded(index, reduced ? reduced.get() : &bitmap, bitmap.GetWidth(), bitmap.GetHeight(), io.Params(),
                  io.Background(), failed ? kind : 0, false);
    loader->Tag = -1;
  }
  if (HWND window = window_.load()) InvalidateRect(window, nullptr, FALSE);
}
