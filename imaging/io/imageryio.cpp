// The I/O component: attachment, events, workers, and the read and write
// sequences around a codec row.
#include "imaging/io/imageryio.h"

#include <cstring>

#include "imaging/codecs/pdffilt.h"
#include "imaging/codecs/psfilt.h"
#include "imaging/codecs/codecbytes.h"
#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/processing/imageryproc.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/graphics.h"
#include "platform/forms/properties.h"
#include "platform/win/user_messages.h"

// ---- workers ----------------------------------------------------------------------------

// Runs one operation of its component on its own thread. It joins the
// component's worker list before it runs and leaves it after; the component
// then joins and frees the finished thread.
class TIEIOThread : public TThread {
public:
  TIEIOThread(TImageryIO* owner, std::function<void()> call) : owner_(owner), call_(std::move(call)) {
    owner_->workerLock_.Enter();
    owner_->workers_.Add(this);
    owner_->workersGone_.ResetEvent();
    owner_->workerLock_.Leave();
  }

protected:
  void Execute() override {
    try {
      call_();
    } catch (...) {
      owner_->SetAborting(true);
    }
    call_ = nullptr;
    owner_->RemoveWorker(this);  // the owner may be freeing this thread from now on
  }

private:
  TImageryIO* owner_;
  std::function<void()> call_;
};

// ---- construction and attachment -----------------------------------------------------

TImageryIO::TOperation::TOperation(TImageryIO& io) : lock_(io.operationLock_, std::defer_lock) {
  // On the main thread the wait runs the calls that workers hand to it, so
  // a worker that waits for the main thread can finish and release the lock.
  if (!IsMainThread()) {
    lock_.lock();
    return;
  }
  while (!lock_.try_lock()) CheckSynchronize(10);
}

namespace {
const TEnumNames kPreviewsParamNames = {"ioppDefaultLockPreview", "ioppApplyButton"};
const TEnumNames kMeasureUnitNames = {"ieduInches", "ieduCm", "ieduSelectableDefInches", "ieduSelectableDefCm"};
}  // namespace

const TClassInfo& TImageryIO::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TImageryIO>("TImageryIO", &TComponent::StaticClassInfo(), [](TPublished<TImageryIO>& p) {
        using C = TImageryIO;
        p.Reference<TComponent>("AttachedImagery", [](const C& io) { return io.viewComponent_; },
                                [](C& io, TComponent* view) { io.SetAttachedImageryComponent(view); })
            .Integer("Background", &C::Background, &C::SetBackground)
            .Event("OnProgress", &C::OnProgress)
            .SetOf("PreviewsParams", kPreviewsParamNames, &C::GetPreviewsParams, &C::SetPreviewsParams)
            .Boolean("StreamHeaders", &C::StreamHeaders, [](C& io, bool v) { io.StreamHeaders = v; })
            .Object("PreviewFont", &C::PreviewFont)
            .Boolean("PreviewFontEnabled", [](const C& io) { return io.PreviewFontEnabled; },
                     &C::SetPreviewFontEnabled)
            .Reference<TImage>("AttachedTImage", &C::AttachedTImage, &C::SetAttachedTImage)
            .Event("OnIOPreview", &C::OnIOPreview)
            .Enumeration("DialogsMeasureUnit", kMeasureUnitNames, [](const C& io) { return io.DialogsMeasureUnit; },
                         [](C& io, TIEDialogsMeasureUnit v) { io.DialogsMeasureUnit = v; })
            .Boolean("AutoAdjustDPI", &C::AutoAdjustDPI, [](C& io, bool v) { io.AutoAdjustDPI = v; })
            .Boolean("FilteredAdjustDPI", &C::FilteredAdjustDPI, [](C& io, bool v) { io.FilteredAdjustDPI = v; })
            .Event("OnFinishWork", &C::OnFinishWork)
            .Event("OnAcquireBitmap", &C::OnAcquireBitmap)
            .Event("OnAcquireClose", &C::OnAcquireClose)
            .Boolean("SimplifiedParamsDialogs", [](const C& io) { return io.SimplifiedParamsDialogs; },
                     [](C& io, bool v) { io.SimplifiedParamsDialogs = v; })
            .Event("OnDoPreviews", &C::OnDoPreviews)
            .Boolean("NativePixelFormat", &C::NativePixelFormat, &C::SetNativePixelFormat)
            .String("ImageryVersion", [](const C&) { return C::ImageryVersion(); },
                    [](C&, const std::string&) {});
      });
  return info;
}

void TImageryIO::SetAttachedImageryComponent(TComponent* view) {
  auto* source = dynamic_cast<TIEIOViewSource*>(view);
  if (view && !source) ThrowPropertyClassError(view, "TImageryView");
  SetAttachedImagery(source ? source->IOViewLink() : nullptr);
}

TImageryIO::TImageryIO(TComponent* owner) : TComponent(owner) {
  bitmap_ = new TIEBitmap;
  ownsBitmap_ = true;
  params_ = std::make_unique<TIOParamsVals>(this);
  previewFont_ = std::make_unique<TFont>();
  printPreviewParams_ = std::make_unique<TIOPrintPreviewParams>();
}

TImageryIO* TImageryIO::CreateFromBitmap(TIEBitmap* bitmap) {
  auto* io = new TImageryIO(nullptr);
  io->SetAttachedIEBitmap(bitmap);
  return io;
}

TImageryIO::~TImageryIO() {
  WaitForWorkers(false);
  ReapWorkers();
  DetachView();
  if (attachedTImage_) attachedTImage_->RemoveFreeNotification(this);
  // A document that cannot be ended any more is dropped with its file.
  try {
    ClosePSDocument();
  } catch (...) {
  }
  try {
    ClosePDFDocument();
  } catch (...) {
  }
  CloseAVIFile();
  params_.reset();
  if (ownsBitmap_) delete bitmap_;
}

void TImageryIO::SetIEBitmap(TIEBitmap* bitmap) {
  attachedTBitmap_ = nullptr;
  if (ownsBitmap_) delete bitmap_;
  bitmap_ = bitmap;
  ownsBitmap_ = false;
}

void TImageryIO::SetAttachedIEBitmap(TIEBitmap* bitmap) {
  if (!bitmap && (view_ || attachedTImage_)) return;
  DetachView();
  SetIEBitmap(bitmap);
  if (bitmap) SetAttachedTImage(nullptr);
}

void TImageryIO::WrapTBitmap(TBitmap* tbitmap) {
  SetIEBitmap(new TIEBitmap);
  ownsBitmap_ = true;
  bitmap_->AttachTBitmap(tbitmap, false);
  attachedTBitmap_ = tbitmap;
}

namespace {
void ViewChanged(void* io, int32_t flag) { static_cast<TImageryIO*>(io)->ViewBitmapChanged(flag); }
}  // namespace

void TImageryIO::DetachView() {
  if (view_ && viewHandler_) view_->UnregisterChangeHandler(viewHandler_);
  if (viewComponent_) viewComponent_->RemoveFreeNotification(this);
  view_ = nullptr;
  viewComponent_ = nullptr;
  viewHandler_ = nullptr;
}

void TImageryIO::SetAttachedImagery(TIEIOViewLink* view) {
  TOperation operation(*this);
  if (view && view == view_) return TakeViewBitmap();
  DetachView();
  if (!view) {
    SetIEBitmap(new TIEBitmap);
    ownsBitmap_ = true;
    return;
  }
  // A framework image attached before lets go of its bitmap first.
  if (attachedTImage_) attachedTImage_->RemoveFreeNotification(this);
  attachedTImage_ = nullptr;
  view_ = view;
  TakeViewBitmap();
  viewComponent_ = view->Component();
  if (viewComponent_) viewComponent_->FreeNotification(this);
  viewHandler_ = view->RegisterChangeHandler(&ViewChanged, this);
}

void TImageryIO::ViewBitmapChanged(int32_t flag) {
  if (!view_) return;
  if (flag != 0) {
    // The view is going: it frees the handler itself, and its bitmap with it.
    if (viewComponent_) viewComponent_->RemoveFreeNotification(this);
    viewHandler_ = nullptr;
    viewComponent_ = nullptr;
    view_ = nullptr;
    SetIEBitmap(new TIEBitmap);
    ownsBitmap_ = true;
    return;
  }
  TakeViewBitmap();
  // The new bitmap's resolution is the view's (0 where the view has none).
  if (const int32_t dpiX = view_->DpiX(); dpiX > 0) params_->DPIX = dpiX;
  if (const int32_t dpiY = view_->DpiY(); dpiY > 0) params_->DPIY = dpiY;
}

void TImageryIO::TakeViewBitmap() {
  if (TIEBitmap* current = view_->GetIEBitmap())
    SetIEBitmap(current);
  else if (TBitmap* tbitmap = view_->GetTBitmap())
    WrapTBitmap(tbitmap);
}

void TImageryIO::SetAttachedTImage(TImage* image) {
  if (image == attachedTImage_) return;
  if (attachedTImage_) attachedTImage_->RemoveFreeNotification(this);
  attachedTImage_ = image;
  if (!image) {
    bitmap_->FreeImage(true);
    attachedTBitmap_ = nullptr;
    return;
  }
  DetachView();
  WrapTBitmap(image->Picture()->Bitmap());
  image->FreeNotification(this);
}

void TImageryIO::Notification(TComponent* component, ::TOperation operation) {
  TComponent::Notification(component, operation);
  if (operation != opRemove) return;
  if (component && component == viewComponent_) {
    viewComponent_ = nullptr;  // it is telling us while it goes
    viewHandler_ = nullptr;    // and frees its handlers itself
    ViewBitmapChanged(1);
  }
  if (component && component == attachedTImage_) {
    // Its picture is gone with it: the component keeps an empty bitmap of its own.
    attachedTImage_ = nullptr;
    SetIEBitmap(new TIEBitmap);
    ownsBitmap_ = true;
  }
}

TBitmap* TImageryIO::GetBitmap() {
  if (bitmap_ && bitmap_->Location() == ieTBitmap) return bitmap_->GetTBitmap();
  return attachedTBitmap_;
}

TIEColor TImageryIO::Background() const { return view_ ? view_->Background() : background_; }

void TImageryIO::SetBackground(TIEColor color) {
  if (!view_)
    background_ = color;
  else if (PassBackgroundToView)
    view_->SetBackground(color);
}

// ---- workers and the inline rule ------------------------------------------------------

bool TImageryIO::RunsInline() { return ownsBitmap_ || !AsyncMode || IsIOThread(); }

void TImageryIO::StartWorker(std::function<void()> call) {
  ReapWorkers();
  (new TIEIOThread(this, std::move(call)))->Start();
}

void TImageryIO::RemoveWorker(TIEIOThread* worker) {
  workerLock_.Enter();
  workers_.Remove(worker);
  finishedWorkers_.push_back(worker);
  if (workers_.Count() == 0) workersGone_.SetEvent();
  workerLock_.Leave();
}

void TImageryIO::ReapWorkers() {
  std::vector<TIEIOThread*> done;
  workerLock_.Enter();
  // A worker never joins itself: it stays for a later reaping.
  const uint32_t self = CurrentThreadID();
  std::erase_if(finishedWorkers_, [&](TIEIOThread* worker) {
    if (worker->ThreadID() == self) return false;
    done.push_back(worker);
    return true;
  });
  workerLock_.Leave();
  for (TIEIOThread* worker : done) delete worker;  // joins the ended thread
}

bool TImageryIO::IsIOThread() {
  const uint32_t self = CurrentThreadID();
  workerLock_.Enter();
  bool found = false;
  for (int32_t i = 0; i < workers_.Count() && !found; ++i)
    found = static_cast<TIEIOThread*>(workers_.Items(i))->ThreadID() == self;
  workerLock_.Leave();
  return found;
}

void TImageryIO::WaitForWorkers(bool abortFirst) {
  for (;;) {
    workerLock_.Enter();
    if (abortFirst) SetAborting(true);
    const int32_t count = workers_.Count();
    workerLock_.Leave();
    if (count == 0) return ReapWorkers();
    // The main thread keeps serving the workers' calls while it waits.
    if (IsMainThread())
      CheckSynchronize(10);
    else
      workersGone_.WaitFor(10);
  }
}

// ---- events --------------------------------------------------------------------------------

void TImageryIO::PostToView(UINT message, WPARAM wParam) {
  HWND window = nullptr;
  TThread::Synchronize(nullptr, [&] { window = view_->HandleNeeded(); });
  if (window) PostMessage(window, message, wParam, 0);
}

void TImageryIO::DoProgress(TObject* sender, int32_t percent) {
  if (!OnProgress) return;
  if (view_ && view_->HasParent() && IsIOThread())
    PostToView(IEM_PROGRESS, static_cast<WPARAM>(percent));
  else
    OnProgress(sender, percent);
}

void TImageryIO::DoFinishWork() {
  DoProgress(this, 100);
  if (!OnFinishWork) return;
  if (view_ && view_->HasParent() && IsIOThread())
    PostToView(IEM_FINISHWORK, 0);
  else
    OnFinishWork(this);
}

void TImageryIO::ViewUpdate() {
  // A framework bitmap holds no alpha channel.
  if (attachedTBitmap_) bitmap_->RemoveAlphaChannel();
  if (!view_) {
    if (!attachedTImage_) return;
    if (TGraphic* graphic = attachedTImage_->Picture()->Graphic()) graphic->SetModified(true);
    attachedTImage_->Invalidate();
    return;
  }
  if (!IsIOThread()) {
    view_->Update();
    view_->ImageChange();
  } else if (view_->HasParent()) {
    PostToView(IEM_UPDATE, 0);
  }
}

void TImageryIO::SetViewDPI(int32_t, int32_t) {
  if (view_) view_->SetDpi(params_->DPIX, params_->DPIY);
}

void TImageryIO::ParamsDpiChanged(bool, int32_t) {
  // The parameter set is being made: nothing to hand over yet.
  if (!params_ || !view_ || IsIOThread()) return;
  view_->SetDpi(params_->DPIX, params_->DPIY);
}

bool TImageryIO::BitmapCheck() {
  if (!bitmap_) return false;
  if (attachedTBitmap_) bitmap_->AttachTBitmap(attachedTBitmap_, false);
  return true;
}

TIEProgressRecord TImageryIO::MakeProgress(bool withCallback) {
  TIEProgressRecord progress;
  if (withCallback) progress.fOnProgress = [this](TObject* sender, int32_t percent) { DoProgress(sender, percent); };
  progress.Sender = this;
  progress.Aborting = &aborting_;
  return progress;
}

void TImageryIO::ApplyDefaultDPI() {
  const auto* settings = IEGetGlobalSettings();
  if (params_->DPIX < 2) params_->SetDpiX(settings->DefaultDPIX);
  if (params_->DPIY < 2) params_->SetDpiY(settings->DefaultDPIY);
}

std::unique_ptr<TIEBitmap> IEAdjustDPIBitmap(TIEBitmap& bitmap, TIOParamsVals& p, bool filtered) {
  if (p.DPIX == p.DPIY || p.DPIX <= 0 || p.DPIY <= 0 || bitmap.IsEmpty() || p.WIDTH <= 0 || p.HEIGHT <= 0)
    return nullptr;
  int32_t width = p.WIDTH, height = p.HEIGHT;
  if (p.HEIGHT < p.WIDTH) {
    height = static_cast<int32_t>(static_cast<long double>(p.HEIGHT) / p.DPIY * p.DPIX);
    p.SetDpiY(p.DPIX);
    p.HEIGHT = height;
  } else {
    width = static_cast<int32_t>(static_cast<long double>(p.WIDTH) / p.DPIX * p.DPIY);
    p.SetDpiX(p.DPIY);
    p.WIDTH = width;
  }
  if (width <= 0 || height <= 0) return nullptr;
  std::unique_ptr<TIEBitmap> result;
  if (filtered) {
    // Resampled in 24-bit colour with the library's fallback filter.
    TIEBitmap colour;
    colour.Assign(&bitmap);
    if (colour.GetPixelFormat() != ie24RGB) colour.ConvertToPixelFormat(ie24RGB);
    result = std::make_unique<TIEBitmap>(width, height, ie24RGB);
    IEResampleBitmap(&colour, result.get(), IEGetGlobalSettings()->DefaultResampleFilter, nullptr, nullptr);
  } else {
    // Every format, bilevel fax pages included, by the nearest pixel.
    result = std::make_unique<TIEBitmap>(width, height, bitmap.GetPixelFormat());
    IEStretchNearest(&bitmap, result.get(), nullptr, nullptr);
  }
  if (bitmap.HasAlphaChannel()) {
    TIEBitmap* alpha = result->GetAlphaChannel();
    IEStretchNearest(bitmap.GetAlphaChannel(), alpha, nullptr, nullptr);
    alpha->SetFullFlag(bitmap.GetAlphaChannel()->FullFlag());
  } else {
    result->RemoveAlphaChannel();
  }
  return result;
}

void TImageryIO::AdjustDPI() {
  if (!BitmapCheck()) return;
  std::unique_ptr<TIEBitmap> adjusted = IEAdjustDPIBitmap(*bitmap_, *params_, FilteredAdjustDPI);
  if (adjusted) bitmap_->Assign(adjusted.get());
}

// ---- read and write sequences -----------------------------------------------------------

namespace {

constexpr int32_t kReadAhead = 8192, kJPEGFileReadAhead = 65536;
constexpr int32_t kGIF = 2, kJPEG = 3, kPCX = 4, kPNG = 8, kPSD = 24;

// A copy of the image in ie24RGB, its alpha channel kept.
std::unique_ptr<TIEBitmap> CopyAsRGB24(TIEBitmap& image) {
  auto copy = std::make_unique<TIEBitmap>();
  copy->Assign(&image);
  copy->ConvertToPixelFormat(ie24RGB);
  return copy;
}

}  // namespace

int32_t TImageryIO::ReadCodec(const TIECodecEntry& codec, TStream& stream, bool headers, int32_t bufferSize) {
  SetAborting(false);
  readPages_ = 0;
  if (!BitmapCheck()) {
    DoFinishWork();
    return -1;
  }
  params_->ResetForLoad();
  TIEProgressRecord progress = MakeProgress(true);
  bitmap_->RemoveAlphaChannel();
  int64_t end = -1;
  int64_t size = stream.Size() - stream.Position();
  if (headers) {
    uint8_t header[12];
    const int64_t start = stream.Position() + 12;
    int64_t length = stream.Read(header, 12) == 12 ? int64_t{codecbytes::LE32(header + 8)} : -1;
    // The older PCX header: its image 4 bytes after the tag, up to the end.
    if (length >= 0 && codec.FileTypeId == kPCX && std::memcmp(header, "PCX", 3) == 0 &&
        std::memcmp(header, codec.HeaderTag, 4) != 0) {
      stream.SetPosition(start - 8);
      std::memcpy(header, codec.HeaderTag, 4);
      length = stream.Size() - stream.Position();
    }
    if (length < 0 || std::memcmp(header, codec.HeaderTag, 4) != 0 || length > stream.Size() - stream.Position()) {
      SetAborting(true);
      DoFinishWork();
      return -1;
    }
    size = length;
    end = stream.Position() + length;
  }
  int32_t pageCount = 0;
  try {
    // The codec counts its offsets from where the image starts.
    TIEBufferedReadStream image(stream, bufferSize, true);
    TIECodecRead read{image, bitmap_, *params_, progress};
    read.Size = size;
    read.View = view_;
    read.FromFile = readingFile_;
    if (!codec.Read)
      SetAborting(true);
    else if (codec.FileTypeId == kGIF && params_->GIFSpareByte == 0)
      IEComposeGIFFrames(codec, read);
    else
      codec.Read(read);
    pageCount = read.PageCount;
    readPages_ = pageCount;
  } catch (...) {
    DoFinishWork();
    throw;
  }
  if (end >= 0) stream.SetPosition(end);
  TakeBackground(codec.FileTypeId);
  if (codec.DefaultDPI) ApplyDefaultDPI();
  if (AutoAdjustDPI && !Aborting()) AdjustDPI();
  params_->FILENAME.clear();
  params_->FILETYPE = codec.FileTypeId;
  if (codec.SetViewDPI) SetViewDPI(params_->DPIX, params_->DPIY);
  ViewUpdate();
  DoFinishWork();
  return Aborting() ? -1 : std::max(pageCount, 1);
}

void TImageryIO::TakeBackground(int32_t fileTypeId) {
  const TIOParamsVals& p = *params_;
  if (fileTypeId == kGIF) SetBackground(IERGBToColor(p.GIF_TRANSPARENT ? p.GIF_TRANSPCOLOR : p.GIF_BACKGROUND));
  if (fileTypeId == kPNG) SetBackground(IERGBToColor(p.PNG_BACKGROUND));
}

void TImageryIO::WriteCodec(const TIECodecEntry& codec, TStream& stream, bool headers) {
  if (!BitmapCheck()) {
    DoFinishWork();
    return;
  }
  // The caller's image is never changed: a format the writer does not take
  // is converted in a copy.
  TIEBitmap* image = bitmap_;
  std::unique_ptr<TIEBitmap> converted;
  const TIEPixelFormat format = bitmap_->GetPixelFormat();
  if (codec.SaveFormats == TIESaveFormats::RGB24OrBilevel && format != ie24RGB && format != ie1g) {
    converted = CopyAsRGB24(*bitmap_);
    image = converted.get();
  }
  const Set<TIEPixelFormat> greyOrRGB24{ie1g, ie8g, ie16Gray, ie24RGB};
  if (codec.SaveFormats == TIESaveFormats::GreyOrRGB24 && !greyOrRGB24.Contains(format)) {
    converted = std::make_unique<TIEBitmap>(*bitmap_);
    converted->EnsureAllowedPixelFormat(greyOrRGB24, true);
    image = converted.get();
  }
  TIEProgressRecord progress = MakeProgress(true);
  const int64_t headerPosition = stream.Position();
  uint8_t header[12] = {};
  if (headers) stream.WriteBuffer(header, 12);
  try {
    if (IEVectorCodecWrite(codec.FileTypeId, stream, *image, view_)) {
      // the layer formats save the attached view
    } else if (codec.Write)
      codec.Write(stream, *image, *params_, progress);
    else
      SetAborting(true);
  } catch (...) {
    DoFinishWork();
    throw;
  }
  // An aborted PCX save leaves its header unwritten.
  if (headers && !(codec.FileTypeId == kPCX && Aborting())) {
    const int64_t end = stream.Position();
    const auto length = static_cast<uint32_t>(end - headerPosition - 12);
    std::memcpy(header, codec.HeaderTag, 4);
    codecbytes::PutLE32(header + 8, length);
    stream.SetPosition(headerPosition);
    stream.WriteBuffer(header, 12);
    stream.SetPosition(end);
  }
  params_->FILETYPE = codec.FileTypeId;
  DoFinishWork();
}

const TIECodecEntry& TImageryIO::CodecOf(int32_t fileTypeId) {
  const TIECodecEntry* codec = IEFindCodec(fileTypeId);
  if (!codec) throw EIEException("No codec for file format " + std::to_string(fileTypeId));
  return *codec;
}

int32_t TImageryIO::LoadFromStreamCodec(const TIECodecEntry& codec, TStream& stream) {
  if (!RunsInline()) {
    StartWorker([this, &codec, &stream] { LoadFromStreamCodec(codec, stream); });
    return -1;
  }
  TOperation operation(*this);
  bool headers = StreamHeaders && codec.HeaderTag && codec.FileTypeId != kJPEG;
  if (codec.FileTypeId == kJPEG && codec.HeaderTag) {
    // A JPEG stream header is recognised whether or not headers are on.
    uint8_t tag[4] = {};
    const int64_t position = stream.Position();
    headers = stream.Read(tag, 4) == 4 && std::memcmp(tag, codec.HeaderTag, 4) == 0;
    stream.SetPosition(position);
  }
  return ReadCodec(codec, stream, headers, kReadAhead);
}

int32_t TImageryIO::LoadFromFileCodec(const TIECodecEntry& codec, const std::string& fileName) {
  if (!RunsInline()) {
    StartWorker([this, &codec, fileName] { LoadFromFileCodec(codec, fileName); });
    return -1;
  }
  TOperation operation(*this);
  SetAborting(true);
  int32_t result;
  {
    TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
    // A PNG without a background chunk keeps the component's background.
    if (codec.FileTypeId == kPNG) IEColorToRGB(Background(), params_->PNG_BACKGROUND);
    readingFile_ = true;
    try {
      result = ReadCodec(codec, file, false, codec.FileTypeId == kJPEG ? kJPEGFileReadAhead : kReadAhead);
    } catch (...) {
      readingFile_ = false;
      throw;
    }
    readingFile_ = false;
  }
  // A GIF file load tells the frames it found even when it was aborted.
  if (codec.FileTypeId == kGIF && result < 0) result = readPages_;
  params_->FILENAME = fileName;
  return result;
}

void TImageryIO::SaveToStreamCodec(const TIECodecEntry& codec, TStream& stream) {
  if (!RunsInline()) {
    StartWorker([this, &codec, &stream] { SaveToStreamCodec(codec, stream); });
    return;
  }
  TOperation operation(*this);
  SetAborting(false);
  WriteCodec(codec, stream, StreamHeaders && codec.HeaderTag);
}

void TImageryIO::SaveToFileCodec(const TIECodecEntry& codec, const std::string& fileName) {
  if (!RunsInline()) {
    StartWorker([this, &codec, fileName] { SaveToFileCodec(codec, fileName); });
    return;
  }
  TOperation operation(*this);
  // A large document is written for the ".psb" name alone.
  if (codec.FileTypeId == kPSD) params_->PSDLargeDocument = IEFileExtInList(fileName, "*.psb;");
  SetAborting(true);
  {
    TIEWideFileStream file(fileName, IE_FILE_CREATE);
    SetAborting(false);
    WriteCodec(codec, file, false);
  }
  params_->FILENAME = fileName;
  params_->FILETYPE = codec.FileTypeId;
}
