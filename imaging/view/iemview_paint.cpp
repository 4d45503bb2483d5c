// The thumbnail view: the back buffer, the cells with their pictures,
// captions and frames, the caption macros and the placeholder pictures.
#include <algorithm>
#include <cmath>

#include "imaging/core/ruduvazez.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/view/iemview.h"
#include "platform/rtl/datetime.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/rtl/resources.h"
#include "platform/win/gdi.h"

namespace {

// Resource ids of the page pictures: a file we cannot show, a missing file.
constexpr int kDefaultIconResource = 1000;
constexpr int kMissingIconResource = 1001;
// Pictures further than this many entries from the visible ones lose their
// main-store copy when it can be loaded again.
constexpr int32_t kKeepRange = 15;
constexpr int32_t kPngFileType = 8;

TColor AsTColor(TIEColor color) { return static_cast<TColor>(color); }

void FillBox(TCanvas* canvas, TColor color, const RECT& r) {
  if (r.right <= r.left || r.bottom <= r.top) return;
  canvas->Brush()->SetStyle(bsSolid);
  canvas->Brush()->SetColor(color);
  canvas->FillRect(r);
}

// The place of a w x h picture centred in the area.
RECT CentredIn(const RECT& area, int32_t w, int32_t h) {
  const int32_t x = area.left + std::abs((area.right - area.left) - w) / 2;
  const int32_t y = area.top + std::abs((area.bottom - area.top) - h) / 2;
  return RECT{x, y, x + w, y + h};
}

// The last path delimiter of the platform and the drive separator.
size_t LastDelimiter(const std::string& path) { return path.find_last_of(std::string(1, PathDelim) + ":"); }

}  // namespace

// ---- painting ------------------------------------------------------------------------------------

void TImageryMView::Paint() {
  window_ = Handle();
  PaintToCanvas(Canvas());
}

void TImageryMView::PaintToCanvas(TCanvas* canvas) {
  if (paintLock_ > 0 || !HandleAllocated() || ClientWidth() <= 0 || ClientHeight() <= 0) return;
  if (backBuffer_->GetWidth() != ClientWidth() || backBuffer_->GetHeight() != ClientHeight())
    backBuffer_->Allocate(ClientWidth(), ClientHeight(), ie24RGB);
  if (updateLock_ == 0) DrawThumbnails(backBuffer_->GetTBitmap());
  BitBlt(canvas->Handle(), 0, 0, ClientWidth(), ClientHeight(), backBuffer_->GetTBitmapCanvas()->Handle(), 0, 0,
         SRCCOPY);
}

void TImageryMView::DrawThumbnails(TBitmap* bitmap) {
  NoteVisibleArea();
  TCanvas* canvas = bitmap->Canvas();
  FillBox(canvas, AsTColor(background_), RECT{0, 0, bitmap->Width(), bitmap->Height()});
  const int32_t count = GetImageCount();
  const bool single = displayMode_ == mdSingle;
  const int32_t n = single ? std::min(count, 1) : count;
  const int32_t start = single ? std::clamp(visibleFrame_, 0, std::max(count - 1, 0)) : 0;
  const bool wasAllDisplayed = allDisplayed_;
  allDisplayed_ = true;
  int32_t drawn = 0, first = -1, last = -1;
  for (int32_t j = 0; j < n; ++j) {
    const int32_t index = (start + j) % count;
    if (!IsImageVisible(index)) continue;
    if (first < 0) first = index;
    last = index;
    if (!HasImage(index)) {
      const bool background = index != selectedIndex_ && threadPoolSize_ > 0 && RequestImageLoad(index, drawn);
      if (!background && !LoadImageNow(index) && RemoveCorrupted) {
        DeleteImage(index, false);
        return DrawThumbnails(bitmap);
      }
      if (!HasImage(index)) allDisplayed_ = false;
    }
    ++drawn;
    DrawThumbnail(bitmap, index, IsSelected(index) && visibleSelection_ && !single);
  }
  DropFarImages(first, last);
  if (allDisplayed_ && !wasAllDisplayed && OnAllDisplayed) OnAllDisplayed(this);
}

// Pictures far from the visible ones give their main-store copy back when
// their file can load them again.
void TImageryMView::DropFarImages(int32_t first, int32_t last) {
  if (first < 0) return;
  std::lock_guard<std::recursive_mutex> guard(section_);
  for (int32_t i = 0; i < GetImageCount(); ++i) {
    TIEMImageInfo* e = entries_[i].get();
    if (i >= first - kKeepRange && i <= last + kKeepRange) continue;
    if (!e->Image || e->FileName.empty() || e->ID >= 0 || i == lentIndex_) continue;
    store_->Delete(e->Image);
    e->Image = nullptr;
  }
}

// ---- one cell -------------------------------------------------------------------------------------

void TImageryMView::PictureArea(int32_t index, int32_t& aw, int32_t& ah, int32_t& topGap, int32_t& bottomGap,
                                int32_t& ih) {
  const TIEMGridGeometry g = Geometry();
  const int32_t info = IEMInfoWidth(g);
  topGap = upperGap_;
  bottomGap = bottomGap_;
  if (info > 0) topGap = bottomGap = (upperGap_ + bottomGap_) / 2;
  ih = 0;
  const TIEMImageInfo* e = Entry(index);
  if (info == 0 && e && !e->InfoText.empty()) {
    infoFont_->SetColor(clBlack);
    TCanvas* canvas = backBuffer_->GetTBitmapCanvas();
    canvas->Font()->Assign(infoFont_.get());
    ih = canvas->TextHeight(ExpandCaptionMacro(e->InfoText, index));
  }
  aw = IEMCellWidth(g) - 2 * sideGap_ - info;
  ah = IEMCellHeight(g) - bottomGap - topGap - ih;
}

void TImageryMView::DrawThumbnail(TBitmap* bitmap, int32_t index, bool highlighted) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  TIEMImageInfo* entry = Entry(index);
  if (!entry) return;
  TCanvas* canvas = bitmap->Canvas();
  const TIEMGridGeometry g = Geometry();
  const int32_t cw = IEMCellWidth(g), ch = IEMCellHeight(g);
  const int32_t cx = single() ? 0 : entry->X - viewX_, cy = single() ? 0 : entry->Y - viewY_;
  const RECT cell{cx, cy, cx + cw, cy + ch};
  int32_t aw = 0, ah = 0, topGap = 0, bottomGap = 0, ih = 0;
  PictureArea(index, aw, ah, topGap, bottomGap, ih);
  TColor cellColor = highlighted ? (Enabled() ? thumbsBackgroundSelected_ : cl3DLight) : thumbsBackground_;
  FillBox(canvas, cellColor, cell);
  const RECT area{cx + sideGap_, cy + topGap, cx + sideGap_ + std::max(aw, 0), cy + topGap + std::max(ah, 0)};
  RECT picture{};
  DrawCellPicture(bitmap, entry, area, picture);
  DrawCaption(canvas, entry->TopText, topFont_.get(), iemtpTop, index, cell);
  DrawCaption(canvas, entry->InfoText, infoFont_.get(), iemtpInfo, index, cell);
  DrawCaption(canvas, entry->BottomText, bottomFont_.get(), iemtpBottom, index, cell);
  if (style_ == iemsACD && picture.right > picture.left)
    IEDraw3DFrame(canvas, picture.left, picture.top, picture.right - 1, picture.bottom - 1, clGray, clWhite);
  if (highlighted) DrawSelectionFrame(canvas, cell);
}

bool TImageryMView::single() const { return displayMode_ == mdSingle; }

// The picture of the entry: the display-cache copy 1:1, else the main-store
// image scaled into the area (and kept in the display cache), else the page
// picture while the file loads.
void TImageryMView::DrawCellPicture(TBitmap* bitmap, TIEMImageInfo* entry, const RECT& area, RECT& drawn) {
  const int32_t aw = area.right - area.left, ah = area.bottom - area.top;
  if (aw <= 0 || ah <= 0) return;
  if (entry->CacheImage) {
    if (TIEBitmap* cached = cache_->GetBitmap(entry->CacheImage)) {
      drawn = CentredIn(area, cached->GetWidth(), cached->GetHeight());
      cached->RenderToTBitmap(bitmap, drawn.left, drawn.top, cached->GetWidth(), cached->GetHeight(), 0, 0,
                              cached->GetWidth(), cached->GetHeight(), true, 255, rfNone, 0, 1.0);
      cache_->ReleaseBitmap(cached, false);
    }
    return;
  }
  if (!entry->Image) return DrawLoadingIcon(bitmap, area, drawn);
  TIEBitmap* stored = store_->GetBitmap(entry->Image);
  if (!stored) return;
  const int32_t iw = stored->GetWidth(), ih = stored->GetHeight();
  int32_t pw = iw, ph = ih;
  const bool image = entry->Kind == iemkImage || entry->Kind == iemkWrongImage;
  const bool enlarge = image ? (ThumbnailOptionsEx & ietxStretchSmallImages) != 0 : (iw > 32 && ih > 32);
  if (enlarge || iw > aw || ih > ah) IEFitSize(iw, ih, aw, ah, pw, ph);
  TIEBitmap scaled;
  scaled.SetLocation(ieInMemory);
  const bool oneBit = stored->GetPixelFormat() == ie1g && (pw < iw || ph < ih);
  TIEBitmap converted;
  TIEBitmap* source = stored;
  // Pictures are scaled as 24 bits (the display copy is drawn 1:1 later).
  if (stored->GetPixelFormat() != ie24RGB) {
    converted.SetLocation(ieInMemory);
    converted.Assign(stored);
    converted.SetPixelFormat(ie24RGB);
    source = &converted;
  }
  scaled.Allocate(pw, ph, source->GetPixelFormat());
  IEResampleBitmap(source, &scaled, oneBit ? rfFastLinear : ThumbnailDisplayFilter, nullptr, nullptr);
  entry->ImageRect = RECT{0, 0, pw, ph};
  drawn = CentredIn(area, pw, ph);
  scaled.RenderToTBitmap(bitmap, drawn.left, drawn.top, pw, ph, 0, 0, pw, ph, true, 255, rfNone, 0, 1.0);
  entry->CacheImage = cache_->AddBitmap(scaled);
  if (entry->CacheImage) {
    cache_->SetOrigWidth(entry->CacheImage, store_->GetOrigWidth(entry->Image));
    cache_->SetOrigHeight(entry->CacheImage, store_->GetOrigHeight(entry->Image));
  }
  store_->ReleaseBitmap(stored, false);
  const int32_t index = static_cast<int32_t>(
      std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e.get() == entry; }) -
      entries_.begin());
  if (storeType_ == ietFastThumb && entry->CacheImage && index != lentIndex_) {
    store_->Delete(entry->Image);
    entry->Image = nullptr;
  }
}

// While a file loads its cell shows the page picture fitted in the area.
void TImageryMView::DrawLoadingIcon(TBitmap* bitmap, const RECT& area, RECT& drawn) {
  if (!(ThumbnailOptionsEx & ietxEnableInternalIcons)) return;
  TIEBitmap* page = DefaultFileIcon();
  if (!page || page->GetWidth() < 1) return;
  int32_t pw = 0, ph = 0;
  IEFitSize(page->GetWidth(), page->GetHeight(), area.right - area.left, area.bottom - area.top, pw, ph);
  drawn = CentredIn(area, pw, ph);
  page->RenderToTBitmap(bitmap, drawn.left, drawn.top, pw, ph, 0, 0, page->GetWidth(), page->GetHeight(), true, 255,
                        rfFastLinear, 0, 1.0);
}

void TImageryMView::DrawSelectionFrame(TCanvas* canvas, const RECT& cell) {
  const int32_t w = Focused() ? selectionWidth_ : 1;
  if (w <= 0) return;
  canvas->Brush()->SetStyle(bsClear);
  canvas->Pen()->SetStyle(psSolid);
  canvas->Pen()->SetWidth(w);
  canvas->Pen()->SetColor(Enabled() ? selectionColor_ : clBtnShadow);
  canvas->RoundRect(cell.left - w / 2, cell.top - w / 2, cell.right + w / 2, cell.bottom + w / 2, 4, 4);
  canvas->Pen()->SetWidth(1);
}

// ---- captions ------------------------------------------------------------------------------------

void TImageryMView::DrawCaption(TCanvas* canvas, const std::string& text, TFont* font, TIEMTextPos pos,
                                int32_t index, const RECT& cell) {
  std::string shown = ExpandCaptionMacro(text, index);
  if (OnGetText) OnGetText(this, index, pos, shown);
  if (shown.empty()) return;
  canvas->Font()->Assign(font);
  if (!Enabled()) canvas->Font()->SetColor(clGrayText);
  canvas->Brush()->SetStyle(bsClear);
  const int32_t info = InfoWidth();
  const int32_t cw = cell.right - cell.left, ch = cell.bottom - cell.top;
  const int32_t maxWidth = info > 0 ? info - 2 * textMargin_ : cw - 2 * textMargin_ - 2;
  shown = IETruncateText(shown, 0, canvas, maxWidth);
  const int32_t tw = canvas->TextWidth(shown), th = canvas->TextHeight(shown);
  int32_t x = 0, y = 0;
  if (info > 0) {
    x = cell.left + cw + textMargin_ - info;
    const int32_t third = (ch - 2 * textMargin_) / 3;
    y = cell.top + textMargin_ + std::max(0, (third - th) / 3) + third * static_cast<int32_t>(pos);
  } else {
    int32_t aw = 0, ah = 0, topGap = 0, bottomGap = 0, ih = 0;
    PictureArea(index, aw, ah, topGap, bottomGap, ih);
    x = cell.left + (cw - tw - 2) / 2 + 1;
    if (pos == iemtpTop)
      y = cell.top + textMargin_;
    else if (pos == iemtpInfo)
      y = cell.bottom - bottomGap - ih;
    else
      y = cell.bottom - th - textMargin_ - 1;
  }
  canvas->TextOut(x, y, shown);
  if (style_ == iemsACD) IEDraw3DFrame(canvas, x - 2, y, x + tw + 1, y + th, clGray, clWhite);
}

std::string TImageryMView::ExpandCaptionMacro(const std::string& text, int32_t index) {
  if (text.empty() || text[0] != '$') return text;
  const std::string macro = UpperCase(text);
  TIEMImageInfo* e = Entry(index);
  if (!e) return text;
  auto displayName = [&] {
    const size_t at = LastDelimiter(e->FileName);
    std::string name = at == std::string::npos ? e->FileName : e->FileName.substr(at + 1);
    if (name.size() > 4 && UpperCase(name.substr(name.size() - 4)) == ".LNK") name.resize(name.size() - 4);
    return name.empty() ? e->FileName : name;
  };
  auto sizeText = [&] {
    const int64_t size = ImageFileSize(index);
    return size > 0 ? IEFileSizeToStr(size) : std::string();
  };
  auto join = [](const std::string& a, const std::string& b) {
    return a.empty() ? b : (b.empty() ? a : a + ", " + b);
  };
  auto dateText = [](double date, bool withTime) {
    if (date < 1) return std::string();
    return withTime ? DateTimeToStr(date) : DateToStr(date);
  };
  if (macro == "$IEM_FILENAME$") return displayName();
  if (macro == "$IEM_FILENAMENOEXT$") {
    const std::string name = displayName();
    const std::string ext = ExtractFileExt(name);
    return name.substr(0, name.size() - ext.size());
  }
  if (macro == "$IEM_FILEPATH$") {
    const size_t at = LastDelimiter(e->FileName);
    return at == std::string::npos ? std::string() : e->FileName.substr(0, at + 1);
  }
  const int32_t ow = ImageOriginalWidth(index), oh = ImageOriginalHeight(index);
  const std::string dims = ow > 0 ? std::to_string(ow) + " x " + std::to_string(oh) : std::string();
  if (macro == "$IEM_IMAGE_DIMENSIONS$")
    return ow < 1 ? std::string() : dims + " x " + std::to_string(ImageBitCount(index)) + "bit";
  if (macro == "$IEM_IMAGE_DIM_AND_SIZE$") return join(dims, sizeText());
  if (macro == "$IEM_FILESIZE$") return sizeText();
  if (macro == "$IEM_FILECREATEDATE$") return dateText(ImageCreateDate(index), false);
  if (macro == "$IEM_FILECREATEDATETIME$") return dateText(ImageCreateDate(index), true);
  if (macro == "$IEM_FILECREATEDATE_AND_SIZE$") return join(dateText(ImageCreateDate(index), false), sizeText());
  if (macro == "$IEM_FILEEDITDATE$") return dateText(ImageEditDate(index), false);
  if (macro == "$IEM_FILEEDITDATETIME$") return dateText(ImageEditDate(index), true);
  if (macro == "$IEM_FILEEDITDATE_AND_SIZE$") return join(dateText(ImageEditDate(index), false), sizeText());
  if (macro == "$IEM_FILETYPE$") return std::string();  // the desktop gives no type names yet
  return text;
}

// ---- placeholders --------------------------------------------------------------------------------

TIEBitmap* TImageryMView::LoadPagePicture(std::unique_ptr<TIEBitmap>& picture, int resourceId) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  if (!picture) {
    picture = std::make_unique<TIEBitmap>();
    picture->SetLocation(ieInMemory);
  }
  if (picture->GetWidth() < 1) picture->LoadFromResource(HInstance, resourceId, RT_RCDATA, kPngFileType);
  return picture.get();
}

TIEBitmap* TImageryMView::DefaultFileIcon() { return LoadPagePicture(defaultIcon_, kDefaultIconResource); }
TIEBitmap* TImageryMView::MissingFileIcon() { return LoadPagePicture(missingIcon_, kMissingIconResource); }

void TImageryMView::DoWrongImage(TIEBitmap* bitmap, int32_t index, uint8_t& kind) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  TIEMImageInfo* e = Entry(index);
  if (!e) return;
  const int32_t w = std::max(ThumbWidth() - 2 * sideGap_ - InfoWidth(), 1);
  const int32_t h = std::max(ThumbHeight() - upperGap_ - bottomGap_, 1);
  if (kind != iemkFolder && OnWrongImage) {
    bitmap->Allocate(w, h, ie24RGB);
    bool handled = false;
    OnWrongImage(this, bitmap, index, handled);
    if (handled) {
      kind = iemkWrongImage;
      return;
    }
  }
  if (kind != iemkFolder) kind = iemkIcon;
  const bool exists = !e->FileName.empty() && (IEFileExists(e->FileName) || DirectoryExists(e->FileName));
  if (ThumbnailOptionsEx & ietxEnableInternalIcons) {
    // The desktop offers no file-type icons here: an existing file shows the
    // page picture, a missing one the page of a missing file.
    bitmap->Assign(exists ? DefaultFileIcon() : MissingFileIcon());
    return;
  }
  bitmap->SetLocation(ieTBitmap);
  bitmap->Allocate(w, h, ie24RGB);
  TCanvas* canvas = bitmap->GetTBitmapCanvas();
  FillBox(canvas, clWhite, RECT{0, 0, w, h});
  canvas->Font()->SetName("Arial");
  canvas->Font()->SetSize(ThumbHeight());
  canvas->Font()->SetStyle(TFontStyles{fsBold});
  canvas->Brush()->SetStyle(bsClear);
  const int32_t tw = canvas->TextWidth("?"), th = canvas->TextHeight("?");
  canvas->Font()->SetColor(clGray);
  canvas->TextOut((w - tw) / 2 + 3, (h - th) / 2 + 3, "?");
  canvas->Font()->SetColor(clBlue);
  canvas->TextOut((w - tw) / 2, (h - th) / 2, "?");
}
