// The I/O component: every image of the library is read and written through
// a TImageryIO. It works on one TIEBitmap (its own, a caller's, or an
// attached view's), owns the parameter set of the last image, reports
// progress and completion, honours an abort flag that the codecs poll, and
// runs each operation on the calling thread or, for an attached view in
// AsyncMode, on a worker thread that posts its messages to the view's window.
//
// Sections: view link and messages | component (construction and attachment |
// events and state | dispatch | per-codec members | parameters only | pages)
// | unit routines
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "imaging/io/ieprintpreview.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_detect.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/forms/classes.h"
#include "platform/rtl/lists.h"
#include "platform/rtl/threads.h"
#include "platform/win/vfw.h"
#include "platform/win/wintypes.h"

// ---- view link and messages -------------------------------------------------------

// Posted by workers to the attached view's window: the image changed, the
// progress (percentage in wParam), the operation finished.
constexpr UINT IEM_UPDATE = 0x1F58;
constexpr UINT IEM_PROGRESS = 0x1F5B;
constexpr UINT IEM_FINISHWORK = 0x1F5C;

// What the component needs of an attached view; the viewers implement it.
class TIEIOViewLink {
public:
  virtual ~TIEIOViewLink() = default;
  virtual TIEBitmap* GetIEBitmap() = 0;
  // The view's window, made when it does not exist yet (called on the main
  // thread only); null when the view has no window.
  virtual HWND HandleNeeded() = 0;
  virtual bool HasParent() = 0;
  virtual void Update() = 0;
  virtual void ImageChange() = 0;
  virtual void SetDpi(int32_t dpiX, int32_t dpiY) = 0;
  virtual TIEColor Background() = 0;
  // Gives the view a background colour; a view that keeps its own (the
  // multi-image viewers) ignores it.
  virtual void SetBackground(TIEColor) {}
  // The view's resolution, copied into the parameters when its bitmap changes.
  virtual int32_t DpiX() { return 0; }
  virtual int32_t DpiY() { return 0; }
  // The framework bitmap of a view that keeps its image in one (then
  // GetIEBitmap is null).
  virtual TBitmap* GetTBitmap() { return nullptr; }
  // The view as a component (for free notification and by-name access).
  virtual TComponent* Component() { return nullptr; }
  // Tells the component when the view replaces its bitmap object (flag 0)
  // or is destroyed (flag 1); null when the view cannot tell.
  virtual void* RegisterChangeHandler(void (*)(void* io, int32_t flag), void*) { return nullptr; }
  virtual void UnregisterChangeHandler(void*) {}
};

// A component that can be attached to the I/O component as its view.
class TIEIOViewSource {
public:
  virtual ~TIEIOViewSource() = default;
  virtual TIEIOViewLink* IOViewLink() = 0;
};

class TIEIOThread;
class TFont;
class TBitmap;
class TMetafile;
class TImage;
struct TIEPSDocument;
struct TIEPDFDocument;
class TForm;

// ---- parameter previews ----------------------------------------------------------------

// The parameters preview dialog starts with Lock preview ticked; it shows its Apply button.
enum TIOPreviewsParam : uint8_t { ioppDefaultLockPreview, ioppApplyButton };
using TIOPreviewsParams = Set<TIOPreviewsParam>;
// Pages of the parameters preview dialog (bits of DoPreviews' set): all of
// them, the page of FILETYPE, and the formats' bits (ppJPEG ..).
constexpr uint16_t ppAll = 1, ppAuto = 2;
// Sender, Handled: a handler that sets Handled replaces the dialog.
using TIEDoPreviewsEvent = std::function<void(TObject* sender, bool& handled)>;
// Sender, the dialog about to be shown.
using TIEIOPreviewEvent = std::function<void(TObject* sender, TForm* previewForm)>;

// How the dialogs give sizes: inches or centimetres, fixed or selectable
// with that default.
enum TIEDialogsMeasureUnit : uint8_t { ieduInches, ieduCm, ieduSelectableDefInches, ieduSelectableDefCm };

// ---- component -----------------------------------------------------------------------

class TImageryIO : public TComponent {
  FORMS_CLASS(TImageryIO)

public:
  explicit TImageryIO(TComponent* owner);
  // A component without owner working on the caller's bitmap.
  static TImageryIO* CreateFromBitmap(TIEBitmap* bitmap);
  // Waits for every worker (running the main thread's queued calls
  // meanwhile, so a worker waiting for it finishes), then frees.
  ~TImageryIO() override;

  // -- attachment
  TIEBitmap* IEBitmap() const { return bitmap_; }
  // Works on the caller's bitmap, which stays the caller's.
  void SetIEBitmap(TIEBitmap* bitmap);
  void SetAttachedIEBitmap(TIEBitmap* bitmap);
  TIEIOViewLink* AttachedImagery() const { return view_; }
  // A view, or null for a fresh own bitmap. The component follows the
  // view's bitmap object (and its resolution) until either goes.
  void SetAttachedImagery(TIEIOViewLink* view);
  // The same by the view's component (a view source, or null).
  void SetAttachedImageryComponent(TComponent* view);
  bool OwnsBitmap() const { return ownsBitmap_; }
  // A framework image: reads and writes work on its picture's bitmap; null
  // empties the component's bitmap.
  TImage* AttachedTImage() const { return attachedTImage_; }
  void SetAttachedTImage(TImage* image);
  // The framework bitmap behind the image: the bitmap's own when it is
  // stored in one, else the attached image's or view's; null otherwise.
  virtual TBitmap* GetBitmap();
  // The attached view's bitmap object changed (flag 0) or the view is gone (1).
  void ViewBitmapChanged(int32_t flag);

  // -- events and state
  TIOParamsVals& Params() { return *params_; }
  std::function<void(TObject* sender, int32_t percent)> OnProgress;
  TNotifyEvent OnFinishWork;
  // An acquired image offered to the application before it replaces the image.
  std::function<void(TObject* sender, TIEBitmap* bitmap, int32_t dpiX, int32_t dpiY, bool& handled)> OnAcquireBitmap;
  TNotifyEvent OnAcquireClose;
  TIEDialogsMeasureUnit DialogsMeasureUnit = ieduInches;
  bool AsyncMode = false;
  bool StreamHeaders = false;
  bool AutoAdjustDPI = false;
  bool FilteredAdjustDPI = false;
  bool NativePixelFormat() const { return params_->ISNATIVEPIXELFORMAT; }
  void SetNativePixelFormat(bool value) { params_->ISNATIVEPIXELFORMAT = value; }
  // Always "6.0.0"; assigning it by name changes nothing.
  static std::string ImageryVersion() { return "6.0.0"; }
  // The attached view's background, else the component's own colour.
  TIEColor Background() const;
  // Without a view the component's own colour; with one, the view's only
  // when PassBackgroundToView is on (it is off unless the caller sets it).
  void SetBackground(TIEColor color);
  bool PassBackgroundToView = false;
  bool Aborting() const { return aborting_.load(); }
  void SetAborting(bool value) { aborting_.store(value); }
  // Waits until no worker runs; AbortFirst sets the abort flag first.
  void WaitForWorkers(bool abortFirst);
  // The calling thread is one of this component's workers.
  bool IsIOThread();

  virtual void DoProgress(TObject* sender, int32_t percent);
  virtual void DoFinishWork();
  virtual void SetViewDPI(int32_t dpiX, int32_t dpiY);
  // Makes the pixels square by stretching the shorter side (nearest pixel).
  void AdjustDPI();
  // The parameter set's resolution changed (its setters call this).
  void ParamsDpiChanged(bool horizontal, int32_t value);

  // -- dispatch (by extension, id and content)
  virtual bool LoadFromFile(const std::string& fileName, int32_t fileFormat = -1);
  bool LoadFromFileAnyFormat(const std::string& fileName) { return LoadFromFile(fileName, -9); }
  virtual bool LoadFromFileAuto(const std::string& fileName);
  virtual bool LoadFromFileFormat(const std::string& fileName, int32_t fileFormat);
  virtual bool LoadFromStream(TStream& stream);
  virtual bool LoadFromStreamFormat(TStream& stream, int32_t fileFormat);
  // Downloads an "http://", "https://" or "ftp://" URL into memory and reads
  // it by content. A failed download sets Aborting and finishes the work.
  virtual bool LoadFromURL(const std::string& url);
  // The proxy of URL loads ("host:port", empty for none) and its user and
  // password, which then replace those written in the URL.
  std::string ProxyAddress, ProxyUser, ProxyPassword;
  virtual void LoadFromBuffer(const void* buffer, int32_t bufferSize, int32_t fileFormat);
  virtual void SaveToFile(const std::string& fileName, int32_t fileFormat = -1);
  virtual void SaveToStream(TStream& stream, int32_t fileFormat);
  // The image encoded in fileFormat as text lines: kind 0 a Pascal byte
  // array, 1 C bytes, 2 Base64; kind 3 draws the image itself as ASCII art.
  virtual void SaveToFileAsText(const std::string& fileName, int32_t fileFormat, uint8_t textKind);
  virtual void SaveToStreamAsText(TStream& stream, int32_t fileFormat, uint8_t textKind);

  // -- per-codec members: the read and write sequences around a codec row.
  // Loads return the page count for the counting formats (TIFF, GIF) and 1
  // for the others, -1 when handed to a worker or aborted.
  int32_t LoadFromFileCodec(const TIECodecEntry& codec, const std::string& fileName);
  int32_t LoadFromStreamCodec(const TIECodecEntry& codec, TStream& stream);
  void SaveToFileCodec(const TIECodecEntry& codec, const std::string& fileName);
  void SaveToStreamCodec(const TIECodecEntry& codec, TStream& stream);

  // -- the formats' own members, by name: the per-codec members on the row
  // of the format (EIEException when this build has no codec for it).
  // Loads return true unless aborted; TIFF and GIF return the page count.
  int32_t LoadFromFileTIFF(const std::string& f) { return LoadFromFileCodec(CodecOf(1), f); }
  int32_t LoadFromStreamTIFF(TStream& s) { return LoadFromStreamCodec(CodecOf(1), s); }
  void SaveToFileTIFF(const std::string& f) { SaveToFileCodec(CodecOf(1), f); }
  void SaveToStreamTIFF(TStream& s) { SaveToStreamCodec(CodecOf(1), s); }
  int32_t LoadFromFileGIF(const std::string& f) { return LoadFromFileCodec(CodecOf(2), f); }
  int32_t LoadFromStreamGIF(TStream& s) { return LoadFromStreamCodec(CodecOf(2), s); }
  void SaveToFileGIF(const std::string& f) { SaveToFileCodec(CodecOf(2), f); }
  void SaveToStreamGIF(TStream& s) { SaveToStreamCodec(CodecOf(2), s); }
  bool LoadFromFileJPEG(const std::string& f) { return LoadFromFileCodec(CodecOf(3), f) > 0; }
  bool LoadFromStreamJPEG(TStream& s) { return LoadFromStreamCodec(CodecOf(3), s) > 0; }
  void SaveToFileJPEG(const std::string& f) { SaveToFileCodec(CodecOf(3), f); }
  void SaveToStreamJPEG(TStream& s) { SaveToStreamCodec(CodecOf(3), s); }
  bool LoadFromFilePCX(const std::string& f) { return LoadFromFileCodec(CodecOf(4), f) > 0; }
  bool LoadFromStreamPCX(TStream& s) { return LoadFromStreamCodec(CodecOf(4), s) > 0; }
  void SaveToFilePCX(const std::string& f) { SaveToFileCodec(CodecOf(4), f); }
  void SaveToStreamPCX(TStream& s) { SaveToStreamCodec(CodecOf(4), s); }
  bool LoadFromFileBMP(const std::string& f) { return LoadFromFileCodec(CodecOf(5), f) > 0; }
  bool LoadFromStreamBMP(TStream& s) { return LoadFromStreamCodec(CodecOf(5), s) > 0; }
  void SaveToFileBMP(const std::string& f) { SaveToFileCodec(CodecOf(5), f); }
  void SaveToStreamBMP(TStream& s) { SaveToStreamCodec(CodecOf(5), s); }
  bool LoadFromFileICO(const std::string& f) { return LoadFromFileCodec(CodecOf(6), f) > 0; }
  bool LoadFromStreamICO(TStream& s) { return LoadFromStreamCodec(CodecOf(6), s) > 0; }
  void SaveToFileICO(const std::string& f) { SaveToFileCodec(CodecOf(6), f); }
  void SaveToStreamICO(TStream& s) { SaveToStreamCodec(CodecOf(6), s); }
  bool LoadFromFileCUR(const std::string& f) { return LoadFromFileCodec(CodecOf(7), f) > 0; }
  bool LoadFromStreamCUR(TStream& s) { return LoadFromStreamCodec(CodecOf(7), s) > 0; }
  bool LoadFromFilePNG(const std::string& f) { return LoadFromFileCodec(CodecOf(8), f) > 0; }
  bool LoadFromStreamPNG(TStream& s) { return LoadFromStreamCodec(CodecOf(8), s) > 0; }
  void SaveToFilePNG(const std::string& f) { SaveToFileCodec(CodecOf(8), f); }
  void SaveToStreamPNG(TStream& s) { SaveToStreamCodec(CodecOf(8), s); }
  bool LoadFromFileTGA(const std::string& f) { return LoadFromFileCodec(CodecOf(11), f) > 0; }
  bool LoadFromStreamTGA(TStream& s) { return LoadFromStreamCodec(CodecOf(11), s) > 0; }
  void SaveToFileTGA(const std::string& f) { SaveToFileCodec(CodecOf(11), f); }
  void SaveToStreamTGA(TStream& s) { SaveToStreamCodec(CodecOf(11), s); }
  bool LoadFromFilePXM(const std::string& f) { return LoadFromFileCodec(CodecOf(12), f) > 0; }
  bool LoadFromStreamPXM(TStream& s) { return LoadFromStreamCodec(CodecOf(12), s) > 0; }
  void SaveToFilePXM(const std::string& f) { SaveToFileCodec(CodecOf(12), f); }
  void SaveToStreamPXM(TStream& s) { SaveToStreamCodec(CodecOf(12), s); }
  bool LoadFromFileJP2(const std::string& f) { return LoadFromFileCodec(CodecOf(13), f) > 0; }
  bool LoadFromStreamJP2(TStream& s) { return LoadFromStreamCodec(CodecOf(13), s) > 0; }
  void SaveToFileJP2(const std::string& f) { SaveToFileCodec(CodecOf(13), f); }
  void SaveToStreamJP2(TStream& s) { SaveToStreamCodec(CodecOf(13), s); }
  // Metafiles (WMF, EMF) drawn into a 24-bit image: Width and Height of
  // -1 keep the picture's size or proportions, 0 fails; WithAlpha makes
  // the picture's untouched area transparent. A file or stream that is no
  // metafile raises the framework's exception (after the finishing work).
  bool ImportMetafile(const std::string& fileName, int32_t width, int32_t height, bool withAlpha);
  bool ImportMetafileStream(TStream& stream, int32_t width, int32_t height, bool withAlpha);
  bool RenderMetafile(TMetafile& metafile, int32_t width, int32_t height, bool withAlpha);
  // Only the parameters of a metafile: its size, type and default resolution.
  void ReadMetafileParams(TStream& stream);
  // One reader takes JP2 files and code streams; FILETYPE is the member's.
  bool LoadFromFileJ2K(const std::string& f) { return LoadFromFileCodec(CodecOf(14), f) > 0; }
  bool LoadFromStreamJ2K(TStream& s) { return LoadFromStreamCodec(CodecOf(14), s) > 0; }
  void SaveToFileJ2K(const std::string& f) { SaveToFileCodec(CodecOf(14), f); }
  void SaveToStreamJ2K(TStream& s) { SaveToStreamCodec(CodecOf(14), s); }
  bool LoadFromFileWBMP(const std::string& f) { return LoadFromFileCodec(CodecOf(16), f) > 0; }
  bool LoadFromStreamWBMP(TStream& s) { return LoadFromStreamCodec(CodecOf(16), s) > 0; }
  void SaveToFileWBMP(const std::string& f) { SaveToFileCodec(CodecOf(16), f); }
  void SaveToStreamWBMP(TStream& s) { SaveToStreamCodec(CodecOf(16), s); }
  bool LoadFromFileDCX(const std::string& f) { return LoadFromFileCodec(CodecOf(19), f) > 0; }
  bool LoadFromStreamDCX(TStream& s) { return LoadFromStreamCodec(CodecOf(19), s) > 0; }
  void SaveToFileDCX(const std::string& f) { SaveToFileCodec(CodecOf(19), f); }
  void SaveToStreamDCX(TStream& s) { SaveToStreamCodec(CodecOf(19), s); }
  void SaveToFilePS(const std::string& f) { SaveToFileCodec(CodecOf(17), f); }
  void SaveToStreamPS(TStream& s) { SaveToStreamCodec(CodecOf(17), s); }
  void SaveToFilePDF(const std::string& f) { SaveToFileCodec(CodecOf(18), f); }
  void SaveToStreamPDF(TStream& s) { SaveToStreamCodec(CodecOf(18), s); }
  bool LoadFromFileRAW(const std::string& f) { return LoadFromFileCodec(CodecOf(20), f) > 0; }
  // Through the format that reads "RAW" files: a plug-in that replaced the
  // built-in reader takes the stream.
  bool LoadFromStreamRAW(TStream& s);
  bool LoadFromFileRawBitmap(const std::string& f) { return LoadFromFileCodec(CodecOf(21), f) > 0; }
  bool LoadFromStreamRawBitmap(TStream& s) { return LoadFromStreamCodec(CodecOf(21), s) > 0; }
  bool LoadFromFilePSD(const std::string& f) { return LoadFromFileCodec(CodecOf(24), f) > 0; }
  bool LoadFromStreamPSD(TStream& s) { return LoadFromStreamCodec(CodecOf(24), s) > 0; }
  void SaveToFilePSD(const std::string& f) { SaveToFileCodec(CodecOf(24), f); }
  void SaveToStreamPSD(TStream& s) { SaveToStreamCodec(CodecOf(24), s); }

  // -- multi-page documents: one PostScript and one PDF document can stay
  // open, each writing its own file. Each Add appends the current image as
  // a page (with the parameters of the format); Close, or the destructor,
  // ends the document. Failures set Aborting; an Add without an open
  // document fails.
  void OpenPSDocument(const std::string& fileName);
  void AddPSDocumentPage();
  void ClosePSDocument();
  void OpenPDFDocument(const std::string& fileName);
  void AddPDFDocumentPage();
  void ClosePDFDocument();

  // -- parameter previews
  // Lets the user tune the save options of the current format (or of the
  // pages' formats) in the parameters preview dialog, on a 24-bit (or 1-bit)
  // copy of the image: the component's bitmap is never converted. True when
  // the user confirmed (the parameters then hold the choice) or a handler of
  // OnDoPreviews took over; false without an image, without a page to show
  // and on Cancel.
  virtual bool DoPreviews(uint16_t pages = ppAuto);
  TIOPreviewsParams PreviewsParams;
  void SetPreviewsParams(TIOPreviewsParams value) { PreviewsParams = value; }
  TIOPreviewsParams GetPreviewsParams() const { return PreviewsParams; }
  bool SimplifiedParamsDialogs = true;
  TFont* PreviewFont() const { return previewFont_.get(); }
  void SetPreviewFont(const TFont* font);
  bool PreviewFontEnabled = false;
  void SetPreviewFontEnabled(bool value) { PreviewFontEnabled = value; }
  TIEDoPreviewsEvent OnDoPreviews;
  TIEIOPreviewEvent OnIOPreview;
  // 0 ordered dither, 1 threshold: how colour reductions to 1 bit work; the
  // bitmap takes it too.
  uint8_t BilevelMethod() const { return bilevelMethod_; }
  void SetBilevelMethod(uint8_t value);
  TIOPrintPreviewParams& PrintPreviewParams() { return *printPreviewParams_; }

  // -- parameters only (FILETYPE 0 when reading failed)
  virtual void ParamsFromFile(const std::string& fileName);
  virtual void ParamsFromFileFormat(const std::string& fileName, int32_t fileFormat);
  virtual void ParamsFromStream(TStream& stream);
  virtual void ParamsFromStreamFormat(TStream& stream, int32_t fileFormat);
  virtual void ParamsFromBuffer(const void* buffer, int32_t bufferSize, int32_t fileFormat);

  // -- pages: kind 0 first, 1 prior, 2 next, 3 last; returns the new index.
  int32_t SeekImage(uint8_t kind, const std::string& fileName);

  // -- AVI frames: the file stays open from OpenAVIFile to CloseAVIFile.
  // The frame count; 0 when the file cannot be opened (Aborting set).
  int32_t OpenAVIFile(const std::string& fileName);
  // Reads the frame into the bitmap. False when a worker takes the read, and
  // when the frame cannot be had (Aborting set, the bitmap untouched).
  bool LoadFromAVI(int32_t frameIndex);
  void CloseAVIFile();

protected:
  void Notification(TComponent* component, ::TOperation operation) override;

private:
  friend class TIEIOThread;
  // Holds the component's operation lock for one whole operation.
  class TOperation {
  public:
    explicit TOperation(TImageryIO& io);

  private:
    std::unique_lock<std::recursive_mutex> lock_;
  };

  // The codec row of the id; EIEException when this build has none.
  static const TIECodecEntry& CodecOf(int32_t fileTypeId);
  bool RunsInline();
  // The parameters of a metafile drawn at width x height.
  void FillMetafileParams(const TMetafile& metafile, int32_t width, int32_t height);
  void StartWorker(std::function<void()> call);
  void RemoveWorker(TIEIOThread* worker);
  // Joins and frees the workers that have finished.
  void ReapWorkers();
  // False without a bitmap; re-wraps an attached framework bitmap, whose
  // size others may have changed. (Writers that take only some formats
  // convert a copy: the caller's image is never converted.)
  bool BitmapCheck();
  // Forgets the attached view (its change handler too).
  void DetachView();
  // The attached view's current bitmap object, or its framework bitmap wrapped.
  void TakeViewBitmap();
  // A fresh own bitmap wrapping the framework bitmap.
  void WrapTBitmap(TBitmap* bitmap);
  TIEProgressRecord MakeProgress(bool withCallback);
  void ViewUpdate();
  void PostToView(UINT message, WPARAM wParam);
  void ApplyDefaultDPI();
  // The background colour a GIF or PNG read brings.
  void TakeBackground(int32_t fileTypeId);
  int32_t ReadCodec(const TIECodecEntry& codec, TStream& stream, bool headers, int32_t bufferSize);
  int32_t readPages_ = 0;  // what the last ReadCodec's reader counted, aborted or not
  void WriteCodec(const TIECodecEntry& codec, TStream& stream, bool headers);
  bool ReadRegistryFile(const TIEFileFormatInfo& entry, const std::string& fileName, bool catchReader);
  bool ReadRegistryStream(const TIEFileFormatInfo& entry, TStream& stream);
  void WriteRegistry(const TIEFileFormatInfo& entry, TStream* stream, const std::string& fileName);
  bool LoadInternalFile(int32_t id, const std::string& fileName);
  void ReadParams(TStream& stream, int32_t fileFormat);
  void WriteASCIIArt(TStream& stream);

  // Opens the AVI file, reads the frame IMAGEINDEX and closes the file again.
  bool LoadAVIFrame(const std::string& fileName);
  // Frame count and delay of the open AVI stream into the parameters.
  void SetAVITiming();
  bool TakeAVIFrame(const BITMAPINFOHEADER& frame);

  TIEBitmap* bitmap_ = nullptr;
  bool ownsBitmap_ = false;
  // The open AVI file: file, video stream, frame decompressor, stream information.
  PAVIFILE aviFile_ = nullptr;
  PAVISTREAM aviStream_ = nullptr;
  PGETFRAME aviFrames_ = nullptr;
  AVISTREAMINFOW aviInfo_{};
  // The open multi-page documents and their files.
  std::unique_ptr<TStream> psFile_, pdfFile_;
  std::unique_ptr<TIEPSDocument> psDocument_;
  std::unique_ptr<TIEPDFDocument> pdfDocument_;
  TIEIOViewLink* view_ = nullptr;
  bool readingFile_ = false;  // a file load is reading (the layer formats load a file through a temporary view)
  TComponent* viewComponent_ = nullptr;  // the view as a component, when it is one
  void* viewHandler_ = nullptr;          // the change handler registered with the view
  TImage* attachedTImage_ = nullptr;
  TBitmap* attachedTBitmap_ = nullptr;  // behind the attached image or view; not owned
  TIEColor background_ = 0;
  std::unique_ptr<TIOParamsVals> params_;
  std::unique_ptr<TFont> previewFont_;
  std::unique_ptr<TIOPrintPreviewParams> printPreviewParams_;
  uint8_t bilevelMethod_ = 1;
  std::atomic<bool> aborting_{false};
  // Whole operations run one after the other.
  std::recursive_mutex operationLock_;
  TCriticalSection workerLock_;
  TList workers_;
  std::vector<TIEIOThread*> finishedWorkers_;
  TEvent workersGone_{false, false};
};

// ---- unit routines ------------------------------------------------------------------

// The I/O start-up: fills the settings' LZW slots and ColorConvertProc,
// builds the format registry. The shut-down frees the registry and the
// CMYK profiles and closes the log.
void IEInitializeImageryIO();
void IEFinalizeImageryIO();
// Ends the Video for Windows file library when an AVI file was opened since
// the start-up (the shut-down calls it).
void IEEndAVIFileLibrary();

// Makes the pixels square by stretching the shorter side to the finer of the
// two resolutions (nearest pixel, or the fallback filter in 24-bit colour
// when filtered), the alpha channel with it; the parameters' sizes and
// resolutions follow. Null when nothing is to be done.
std::unique_ptr<TIEBitmap> IEAdjustDPIBitmap(TIEBitmap& bitmap, TIOParamsVals& params, bool filtered);
// The number of images (pages, frames) in a file; 1 for single-image
// formats, 0 for files nothing can count.
int32_t IEGetFileImageCount(const std::string& fileName);
// The registry's id for an extension; 23 and 22 for the MPEG and WMV video
// extensions without an entry, else 0.
int32_t IEFileFormatFromExtension(const std::string& extension);
// Brings the parameters' marker list up to date before a JPEG save: the
// resolution resource of the first APP13 marker (left alone when it does not
// fit the marker), the IPTC records (when changed, or when there are no
// markers), the EXIF block (when EXIF_HASEXIF is set), the XMP packet and
// the annotation block.
void IEPrepareJPEGMarkers(TIOParamsVals& params);
// The log: an existing file that IEWriteLog appends dated lines to; an
// empty name (the default) writes nothing.
void IESetLogFileName(const std::string& fileName);
void IEWriteLog(const std::string& message);

// The size a metafile of metaWidth x metaHeight is drawn at for a requested
// width and height (-1: from the picture, keeping its proportions), limited
// to maxSize on the longer side; a side never falls below 1. False for an
// empty picture or a requested side of 0.
bool IEMetafileRenderSize(int64_t metaWidth, int64_t metaHeight, int32_t width, int32_t height, int32_t maxSize,
                          int32_t& outWidth, int32_t& outHeight);
