// The thumbnail view: a scrollable grid of cells over a list of image
// entries whose pixels live in two temporary-file image stores, the main
// store ("ILIST", full images or reduced thumbnails) and the display cache
// ("ICACHE", each picture at the size it was drawn). Pictures of files are
// loaded on demand by a starter thread and a small pool of loader threads
// while the cells become visible.
//
// Units: iemview.cpp (entries, stores, per-entry values, locks) |
// iemview_scroll.cpp (layout, scroll bars, messages) | iemview_paint.cpp
// (cells, captions, placeholders) | iemview_loader.cpp (starter and loaders)
// | iemview_select.cpp (selection, mouse and keys)
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "imaging/core/ruduvazez_imagelist.h"
#include "imaging/io/iemio.h"
#include "imaging/view/iemview_layout.h"
#include "imaging/view/ieview.h"
#include "imaging/view/imageryview.h"

class TImageryIO;
class TImageryMView;

enum TIEStoreType : uint8_t { ietNormal, ietThumb, ietFastThumb };
enum TIEMStyle : uint8_t { iemsFlat, iemsACD, iemsFlatAndWide };
enum TIEMDisplayMode : uint8_t { mdGrid, mdSingle };
enum TIEMTextPos : uint8_t { iemtpTop, iemtpInfo, iemtpBottom };

// ThumbnailOptionsEx, a set of bits.
enum TIEMThumbnailOptionEx : uint32_t {
  ietxShowIconForUnknownFormat = 1u << 0,
  ietxShowIconWhileLoading = 1u << 1,
  ietxShowShadowForIcons = 1u << 2,
  ietxShowShadowForFolders = 1u << 3,
  ietxEnableInternalIcons = 1u << 4,
  ietxStretchSmallImages = 1u << 5,
  ietxCenterThumbnailColumn = 1u << 6,
};

// Kinds of entry.
enum : uint8_t { iemkImage = 0, iemkIcon = 1, iemkFolder = 2, iemkWrongImage = 3 };

// One entry of the view, in display order.
struct TIEMImageInfo {
  TImageryMView* Parent = nullptr;
  TIEVirtualImage* Image = nullptr;       // main store
  TIEVirtualImage* CacheImage = nullptr;  // display cache
  int32_t X = 0, Y = 0, Row = 0, Col = 0;
  TIEColor Background = 0;
  std::string FileName;  // "name::n" names frame n of a multi-page file
  int32_t ID = -1;
  double DelayTime = 0;
  std::string TopText, BottomText, InfoText;
  RECT ImageRect{};
  int32_t Tag = 0;
  uint8_t Kind = iemkImage;
  bool Checked = false;
  double CreateDate = 0, EditDate = 0;
  int64_t FileSize = 0;  // 0 not looked up, -1 not available
};

// One background load: a decoder, its bitmap and the thread it runs on.
// Tag is the entry's index while the load is wanted, -2 once aborted and
// -1 once its completion is done; the thread sets Finished as its last act.
struct TIEMLoader {
  std::unique_ptr<TImageryIO> IO;
  std::unique_ptr<TIEBitmap> Bitmap;
  std::atomic<int32_t> Tag{-1};
  std::atomic<bool> Finished{false};
  std::string FileName;
  std::thread Thread;
  ~TIEMLoader();
};

// The copy an image store keeps of a bitmap reduced into the box (fitted,
// aspect kept; small ones enlarged with stretchSmall), or null when the
// bitmap is to be stored as it is. anyFormatTo24 resamples every format as
// 24 bits, else formats other than 24 bits are stretched by nearest pixel.
std::unique_ptr<TIEBitmap> IEMReducedForStore(TIEBitmap& source, int32_t boxWidth, int32_t boxHeight,
                                              bool stretchSmall, bool anyFormatTo24);

// What the loader threads know of the view: the visible area and the box
// that loads are reduced into, copied under the view's section.
struct TIEMVisibleArea {
  int32_t ViewX = 0, ViewY = 0, ClientWidth = 0, ClientHeight = 0, CellWidth = 0, CellHeight = 0;
  bool Single = false;
  int32_t Frame = 0;
  int32_t BoxWidth = 0;
  TIEStoreType StoreType = ietNormal;
  bool StretchSmall = false;
};

// A snapshot as read from its stream, before it replaces a view's content.
struct TIEMSnapshotEntry {
  int32_t Image = -1, CacheImage = -1;  // indexes into the stores
  TIEColor Background = 0;
  std::string FileName;
  int32_t ID = -1;
  double DelayTime = 0;
  int32_t Tag = 0;
  std::string TopText, InfoText, BottomText;
  bool Checked = false;
  std::unique_ptr<TIOParamsVals> Params;
};
struct TIEMSnapshot {
  int32_t ThumbWidth = 100, ThumbHeight = 100, UpperGap = 0, BottomGap = 0, SideGap = 0, TextMargin = 0;
  TIEStoreType StoreType = ietNormal;
  std::unique_ptr<TIEVirtualImageList> Store, Cache;
  std::vector<TIEMSnapshotEntry> Entries;
};
constexpr uint8_t IEMSnapshotVersion = 8;
// Reads a whole snapshot (versions 1 to 8, plain or compressed). False for
// anything that is not a sound snapshot; the stores keep their data in
// temporary files with useFiles, else in memory.
bool IEMReadSnapshot(TStream& stream, TIEMSnapshot& snapshot, bool useFiles);

class TImageryMView : public TIEView, public TIEMViewImages {
  FORMS_CLASS(TImageryMView)

public:
  explicit TImageryMView(TComponent* owner);
  ~TImageryMView() override;

  // ---- entries and images (iemview.cpp)
  void InsertImage(int32_t index);
  int32_t AppendImage();
  bool DeleteImage(int32_t index, bool keepSelection = false);
  void DeleteAllImages();
  void Clear();
  // Stores a copy (reduced with ietThumb); nothing for nil or a bad index.
  void SetImage(int32_t index, TIEBitmap* bitmap);
  // The image lent by the main store, loaded first when missing; give it
  // back with ReleaseBitmap.
  TIEBitmap* GetBitmap(int32_t index);
  void ReleaseBitmap(int32_t index, bool saveChanges);
  TBitmap* GetTBitmap() override;
  TIEBitmap* GetIEBitmap() override;
  TIEBitmap* GetAlphaChannel() override { return nullptr; }
  bool HasAlphaChannel() override { return false; }
  void RemoveAlphaChannel(bool) override {}
  int32_t GetImageCount() const { return static_cast<int32_t>(entries_.size()); }
  bool HasImage(int32_t index);  // a main-store or cache image
  bool HasStoredImage(int32_t index);  // a main-store image

  // ---- per-entry values
  std::string ImageFileName(int32_t index) const;
  void SetImageFileName(int32_t index, const std::string& name);
  void SetImageTopText(int32_t index, const std::string& text);
  void SetImageBottomText(int32_t index, const std::string& text);
  void SetImageInfoText(int32_t index, const std::string& text);
  std::string ImageTopText(int32_t index) const;
  std::string ImageBottomText(int32_t index) const;
  std::string ImageInfoText(int32_t index) const;
  void SetImageID(int32_t index, int32_t id);
  int32_t ImageID(int32_t index) const;
  void SetImageDelayTime(int32_t index, double ms);
  double ImageDelayTime(int32_t index) const;
  int32_t ImageOriginalWidth(int32_t index);
  int32_t ImageOriginalHeight(int32_t index);
  void SetImageOriginalWidth(int32_t index, int32_t value);
  void SetImageOriginalHeight(int32_t index, int32_t value);
  int32_t ImageBitCount(int32_t index);
  int32_t ImageWidth(int32_t index);   // of the stored picture, 0 without
  int32_t ImageHeight(int32_t index);
  int32_t ImageX(int32_t index) const;
  int32_t ImageY(int32_t index) const;
  int32_t ImageRow(int32_t index) const;
  int32_t ImageCol(int32_t index) const;
  int64_t ImageFileSize(int32_t index);
  double ImageCreateDate(int32_t index);
  double ImageEditDate(int32_t index);
  void SetImageCreateDate(int32_t index, double date);
  uint8_t ImageKind(int32_t index) const;  // the entry's Kind
  void SetImageKind(int32_t index, uint8_t kind);
  int32_t ImageKindOf(int32_t index) const;  // by the file name
  RECT ImageRect(int32_t index) const;

  // ---- change record, as the multi-image I/O reads it
  int32_t ImageCount() override { return GetImageCount(); }
  int32_t GetLastChangeKind() override { return lastChangeKind_; }
  int32_t GetLastChangeIndex() override { return lastChangeIndex_; }
  int32_t GetLastChangeTarget() override { return 0; }
  std::vector<int32_t> GetLastChangeIndexes() override { return {}; }
  void NotifyBitmapChangeHandlers() override;
  TImageryMIO* GetMIO();

  // ---- locks
  void BeginPaintLock() override;
  int32_t EndPaintLock() override;
  int32_t EndPaintLockNoRefresh() override;
  void BeginUpdateLock();
  int32_t EndUpdateLock();

  // ---- settings
  TIEStoreType StoreType() const { return storeType_; }
  void SetStoreType(TIEStoreType value);
  int32_t ImageCacheSize() const { return imageCacheSize_; }
  void SetImageCacheSize(int32_t value);
  TResampleFilter ThumbnailDisplayFilter = rfNone;
  uint32_t ThumbnailOptionsEx = ietxShowIconForUnknownFormat | ietxShowIconWhileLoading | ietxEnableInternalIcons |
                                ietxStretchSmallImages;
  void SetBackground(TIEColor color) override;
  void SetThumbnailsBackground(TColor color);
  void SetThumbnailsBackgroundSelected(TColor color);
  void SetSelectionColor(TColor color);
  void SetSelectionWidth(int32_t width);
  void SetVisibleSelection(bool value);
  void SetStyle(TIEMStyle value);
  TIEMStyle Style() const { return style_; }
  void SetGaps(int32_t upper, int32_t bottom, int32_t side, int32_t textMargin);
  int32_t ThreadPoolSize() const { return threadPoolSize_; }
  void SetThreadPoolSize(int32_t value) { threadPoolSize_ = std::max(0, value); }
  bool RemoveCorrupted = false;

  // ---- layout and scrolling (iemview_scroll.cpp)
  int32_t ThumbWidth() const;   // effective, zoom and information column included
  int32_t ThumbHeight() const;
  void SetThumbWidth(int32_t value);
  void SetThumbHeight(int32_t value);
  int32_t HorizBorder() const { return horizBorder_; }
  int32_t VertBorder() const { return vertBorder_; }
  void SetHorizBorder(int32_t value);
  void SetVertBorder(int32_t value);
  int32_t GridWidth() const { return gridWidth_; }
  void SetGridWidth(int32_t value);
  double Zoom() const { return zoom_; }
  void SetZoom(double value);
  TIEMDisplayMode DisplayMode() const { return displayMode_; }
  void SetDisplayMode(TIEMDisplayMode value);
  int32_t VisibleFrame() const { return visibleFrame_; }
  void SetVisibleFrame(int32_t index);
  TScrollStyle ScrollBars() const { return scrollBars_; }
  void SetScrollBars(TScrollStyle value);
  int32_t InfoWidth() const;
  int32_t ColumnCount() const;
  int32_t RowCount() const;
  int32_t ViewX() const { return viewX_; }
  int32_t ViewY() const { return viewY_; }
  int32_t ExtentX() const { return extentX_; }
  int32_t ExtentY() const { return extentY_; }
  void SetViewX(int32_t x);
  void SetViewY(int32_t y);
  void SetViewXY(int32_t x, int32_t y);
  void LayoutImages();
  void RefreshView(bool dropCaches = false, bool scrollToSelection = false);
  void Update() override;
  int32_t ImageAtPos(int32_t x, int32_t y, bool exact = true);  // client coordinates
  int32_t IsImageFullyVisible(int32_t index) const;  // 2 fully, 1 partly, 0 not
  bool IsImageVisible(int32_t index) const;
  void ScrollSelectedIntoView();
  void SetBounds(int32_t left, int32_t top, int32_t width, int32_t height) override;

  // ---- drawing (iemview_paint.cpp)
  void DrawThumbnails(TBitmap* bitmap);
  void PaintToCanvas(TCanvas* canvas);
  std::string ExpandCaptionMacro(const std::string& text, int32_t index);
  TIEBitmap* DefaultFileIcon();
  TIEBitmap* MissingFileIcon();
  // Draws the placeholder of a failed load into the bitmap; kind becomes
  // 1, or 3 when OnWrongImage drew it.
  virtual void DoWrongImage(TIEBitmap* bitmap, int32_t index, uint8_t& kind);
  TFont* TopTextFont() const { return topFont_.get(); }
  TFont* BottomTextFont() const { return bottomFont_.get(); }
  TFont* InfoTextFont() const { return infoFont_.get(); }

  // ---- snapshots (iemview_snapshot.cpp)
  void SaveSnapshotToStream(TStream& stream, bool saveCache, bool compressed, bool saveParams);
  void SaveSnapshotToFile(const std::string& fileName, bool saveCache, bool compressed, bool saveParams);
  // False, with the view unchanged, for a stream that is no snapshot; false
  // with the view cleared for a damaged one.
  bool LoadSnapshotFromStream(TStream& stream);
  bool LoadSnapshotFromFile(const std::string& fileName);

  // ---- background loading (iemview_loader.cpp)
  bool RequestImageLoad(int32_t index, int32_t position);
  bool LoadImageNow(int32_t index);
  void CancelImageLoad(int32_t index);
  // Empties the queue and aborts every running load; waits up to about a
  // second for them to end.
  virtual void AbortLoading();
  void PrepareLoadParams(TIOParamsVals& params);
  int32_t RunningLoaders();
  int32_t QueuedLoads();
  // The indexes the running loaders work for (-2 for aborted ones).
  std::vector<int32_t> RunningTags();
  // Called on a loader's thread before it decodes (tests slow decoding with it).
  std::function<void(const std::string& fileName)> DecodeHook;

  // ---- selection, mouse and keys (iemview_select.cpp)
  int32_t SelectedImage() const { return selectedIndex_; }
  void SetSelectedImage(int32_t index);
  void Deselect();
  void DeselectAll();
  bool IsSelected(int32_t index) const;
  int32_t SelectedCount() const;
  bool EnableMultiSelect = false;
  void MoveSelection(int32_t direction);
  void SelectAt(int32_t x, int32_t y, TShiftState shift);

  // ---- events
  std::function<void(TObject*, int32_t)> OnCreateImage;
  std::function<void(TObject*, int32_t)> OnDestroyImage;
  TNotifyEvent OnAllDisplayed;
  std::function<void(TObject*, TIEBitmap*, int32_t, bool&)> OnWrongImage;
  std::function<void(TObject*, int32_t, int32_t, TIEBitmap*&)> OnImageIDRequestEx;
  std::function<void(TObject*, int32_t)> OnImageSelect;
  std::function<void(TObject*, int32_t)> OnImageDeselect;
  std::function<void(TObject*, bool&)> OnSelectionChanging;
  std::function<void(TObject*, int32_t)> OnViewChange;
  std::function<void(TObject*, int32_t, TIEMTextPos, std::string&)> OnGetText;

  // The view's section: the loaders store under it and every cell is drawn under it.
  std::recursive_mutex& Section() { return section_; }

protected:
  void WndProc(TMessage& message) override;
  void Paint() override;
  void MouseDown(TMouseButton button, TShiftState shift, int x, int y) override;
  void KeyDown(WORD& key, TShiftState shift) override;

private:
  friend struct TIEMLoaderRun;
  TIEMImageInfo* Entry(int32_t index) const;
  TIEMGridGeometry Geometry() const;
  bool single() const;
  bool Locked() const { return paintLock_ > 0 || updateLock_ > 0; }
  void DropCacheImages();
  void DeleteStoreImages(TIEMImageInfo* entry);
  void RecreateStores();
  void ForgetLentBitmap();
  void GiveBackLentBitmaps(bool saveChanges);
  void StoreBitmap(int32_t index, TIEBitmap* bitmap, bool fromLoader);
  void StoreLoaded(int32_t index, TIEBitmap* bitmap, int32_t sourceWidth, int32_t sourceHeight,
                   TIOParamsVals& params, TIEColor background, uint8_t kind, bool keepKind);
  void LookUpFileInfo(TIEMImageInfo* entry);
  void ClampView();
  void UpdateScrollBars();
  void WMScroll(TMessage& message, bool horizontal);
  void WMMouseWheel(TMessage& message);
  void DoViewChange();
  void SetViewAxes(int32_t x, int32_t y, bool setX, bool setY);
  int32_t MaxViewX() const;
  int32_t MaxViewY() const;
  void WindowInvalidate();
  // drawing
  void DrawThumbnail(TBitmap* bitmap, int32_t index, bool highlighted);
  void DrawCellPicture(TBitmap* bitmap, TIEMImageInfo* entry, const RECT& area, RECT& drawn);
  void DrawLoadingIcon(TBitmap* bitmap, const RECT& area, RECT& drawn);
  void DrawCaption(TCanvas* canvas, const std::string& text, TFont* font, TIEMTextPos pos, int32_t index,
                   const RECT& cell);
  void DrawSelectionFrame(TCanvas* canvas, const RECT& cell);
  TIEBitmap* LoadPagePicture(std::unique_ptr<TIEBitmap>& picture, int resourceId);
  void PictureArea(int32_t index, int32_t& aw, int32_t& ah, int32_t& topGap, int32_t& bottomGap, int32_t& ih);
  void DropFarImages(int32_t first, int32_t last);
  // loading
  bool VisibleForLoading(int32_t index) const;
  void NoteVisibleArea();
  static void PrepareParams(TIOParamsVals& params, int32_t boxWidth, int32_t boxHeight, TIEStoreType storeType);
  void StarterExecute();
  void StartLoader(int32_t index);
  void RunLoader(TIEMLoader* loader);
  void LoaderFinished(TIEMLoader* loader);
  void ReapLoaders();
  void PruneQueue();
  void WaitForLoaders();
  void SignalStarter();
  void ShiftLoadIndexes(int32_t from, int32_t delta);
  bool DecodeFile(TImageryIO& io, const std::string& fileName, TIEBitmap& bitmap);
  void WriteSnapshotBody(TStream& stream, bool saveCache, bool saveParams);
  // selection
  void SelectImage(int32_t index);
  bool DoSelectionChanging();

  std::vector<std::unique_ptr<TIEMImageInfo>> entries_;
  std::unique_ptr<TIEVirtualImageList> store_, cache_;
  TIEStoreType storeType_ = ietNormal;
  int32_t imageCacheSize_ = 10;
  int32_t lastChangeKind_ = 0, lastChangeIndex_ = 0;
  int32_t paintLock_ = 0, updateLock_ = 0;
  std::atomic<bool> destroying_{false};
  std::recursive_mutex section_;
  TImageryMIO* mio_ = nullptr;
  TIEBitmap* lentBitmap_ = nullptr;  // of the selected entry
  int32_t lentIndex_ = -1;
  std::vector<TIEBitmap*> retiredLent_;  // lent bitmaps of replaced images

  // layout
  int32_t thumbWidth_ = 100, thumbHeight_ = 100, horizBorder_ = 4, vertBorder_ = 4;
  int32_t gridWidth_ = 0, effectiveGrid_ = 0;
  double zoom_ = 100;
  TIEMStyle style_ = iemsACD;
  TIEMDisplayMode displayMode_ = mdGrid;
  int32_t visibleFrame_ = 0;
  TScrollStyle scrollBars_ = ssBoth;
  int32_t viewX_ = 0, viewY_ = 0, extentX_ = 0, extentY_ = 0;
  double hRatio_ = 1, vRatio_ = 1;
  bool layoutRunning_ = false, userAction_ = false;

  // drawing
  TColor thumbsBackground_ = clBtnFace, thumbsBackgroundSelected_ = clBtnFace;
  TColor selectionColor_ = static_cast<TColor>(0xFFA0A0);
  int32_t selectionWidth_ = 2;
  bool visibleSelection_ = true;
  int32_t upperGap_ = 0, bottomGap_ = 0, sideGap_ = 0, textMargin_ = 0;
  std::unique_ptr<TIEBitmap> backBuffer_;
  std::unique_ptr<TIEBitmap> defaultIcon_, missingIcon_;
  std::unique_ptr<TFont> topFont_, bottomFont_, infoFont_;
  bool allDisplayed_ = false;

  // loading
  std::atomic<int32_t> threadPoolSize_{5};
  std::deque<int32_t> queue_;
  std::vector<std::unique_ptr<TIEMLoader>> running_;
  std::thread starter_;
  std::mutex wakeLock_;
  std::condition_variable wake_;
  bool wakeSignalled_ = false;
  std::atomic<bool> terminated_{false};
  std::unique_ptr<TImageryIO> syncIO_;
  TIEMVisibleArea visibleArea_;
  std::atomic<HWND> window_{nullptr};  // for invalidation from other threads

  // selection
  int32_t selectedIndex_ = -1;
  std::vector<int32_t> multiSelected_;
  int32_t anchor_ = 0;
};
