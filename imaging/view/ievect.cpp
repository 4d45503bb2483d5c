// The object model of the vector view: the heap and its handles, the
// template, the bitmap pool, the property operations, the selection, the
// notifications and the registry of extension classes.
//
// Sections: records | extension registry | construction | handles | life
// cycle | bitmap pool | properties | selection | notifications | view overrides
#include "imaging/view/ievect.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <map>

#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/processing/imageryproc.h"
#include "platform/forms/properties.h"
#include "platform/win/user_clipboard.h"

// ---- records --------------------------------------------------------------------------------

TIEVObject::~TIEVObject() { FreeData(); }

void TIEVObject::FreeData() {
  if (UserDataLen > 0) std::free(UserData);
  UserData = nullptr;
  UserDataLen = 0;
  Text.reset();
  LogFont.reset();
  CurvePoints.clear();
  MemoCharFormats.clear();
  MemoFormats.clear();
  PolyPoints.clear();
  PolyViewPoints.clear();
  Name.reset();
  Extended.reset();
}

// ---- extension registry ------------------------------------------------------------------------

namespace {

std::map<std::string, TIEVExtendedFactory>* registry = nullptr;
uint32_t clipboardFormat = 0;

}  // namespace

void IEVectStartup() {
  if (!registry) registry = new std::map<std::string, TIEVExtendedFactory>;
  clipboardFormat = RegisterClipboardFormatA("IMAGERY VECT");
}

void IEVectShutdown() {
  delete registry;
  registry = nullptr;
}

uint32_t IEVectClipboardFormat() { return clipboardFormat; }

void IEVRegisterExtendedClass(const std::string& name, TIEVExtendedFactory factory) {
  if (!registry) IEVectStartup();
  (*registry)[name] = std::move(factory);
}

std::unique_ptr<TIEVExtendedObject> IEVCreateExtendedObject(const std::string& name) {
  if (!registry) return nullptr;
  const auto found = registry->find(name);
  return found == registry->end() ? nullptr : found->second();
}

// ---- construction -------------------------------------------------------------------------------

const TClassInfo& TImageryVect::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TImageryVect>("TImageryVect", &TImageryView::StaticClassInfo(), [](TPublished<TImageryVect>&) {});
  return info;
}

namespace {

// The template's default picture: a 64 x 64 hand-sized mark of our own.
std::unique_ptr<TIEBitmap> TemplatePicture() {
  auto bitmap = std::make_unique<TIEBitmap>(64, 64, ie24RGB);
  bitmap->Fill(0xFFFFFF);
  for (int32_t y = 16; y < 48; ++y)
    for (int32_t x = 20; x < 44; ++x) bitmap->SetPixel24(x, y, TRGB{0x40, 0x80, 0xC0});
  return bitmap;
}

}  // namespace

TImageryVect::TImageryVect(TComponent* owner) : TImageryView(owner) {
  if (IEVectClipboardFormat() == 0) IEVectStartup();
  ResetTemplate();
  template_.LogFont = std::make_unique<LOGFONTW>();
  SetObjFontName(IEV_TEMPLATE, u"Arial");
  template_.LogFont->lfHeight = -13;
  template_.LogFont->lfWeight = 400;
  template_.PenColor = 0;
  SetObjBitmap(IEV_TEMPLATE, TemplatePicture().get());
}

TImageryVect::~TImageryVect() = default;

void TImageryVect::ResetTemplate() {
  const TIEVObject defaults;
  TIEVObject& t = template_;
  t.X1 = defaults.X1, t.Y1 = defaults.Y1, t.X2 = defaults.X2, t.Y2 = defaults.Y2;
  t.BeginShape = defaults.BeginShape, t.EndShape = defaults.EndShape;
  t.ShapeWidth = defaults.ShapeWidth, t.ShapeHeight = defaults.ShapeHeight;
  t.LabelBrushColor = defaults.LabelBrushColor, t.LabelBrushStyle = defaults.LabelBrushStyle;
  t.LabelAtEnd = defaults.LabelAtEnd, t.LabelBorder = defaults.LabelBorder;
  t.PenColor = defaults.PenColor, t.PenStyle = defaults.PenStyle, t.PenWidth = defaults.PenWidth;
  t.BrushColor = defaults.BrushColor, t.BrushStyle = defaults.BrushStyle, t.BoxHighlight = defaults.BoxHighlight;
  t.ArcStart = defaults.ArcStart, t.ArcEnd = defaults.ArcEnd, t.BitmapBorder = defaults.BitmapBorder;
  t.FontQuality = defaults.FontQuality, t.TextAlign = defaults.TextAlign, t.TextAutoSize = defaults.TextAutoSize;
  t.MemoUniformFormat = defaults.MemoUniformFormat, t.CurveCharAngle = defaults.CurveCharAngle;
  t.TextFlipAlign = defaults.TextFlipAlign;
  t.MemoLineSpacing = defaults.MemoLineSpacing, t.MemoBorderColor = defaults.MemoBorderColor;
  t.MemoBorderStyle = defaults.MemoBorderStyle, t.MemoLineHeight = defaults.MemoLineHeight;
  t.MemoHasBitmap = defaults.MemoHasBitmap, t.MemoMargins = defaults.MemoMargins;
  t.MemoTextBrushStyle = defaults.MemoTextBrushStyle;
}

// ---- handles ------------------------------------------------------------------------------------

int32_t TImageryVect::ResolveHandle(int32_t handle) const {
  return handle == IEV_LAST_OBJECT ? HeapCount() - 1 : handle;
}

TIEVObject& TImageryVect::ObjectRecordOf(int32_t handle) {
  if (handle == IEV_TEMPLATE) return template_;
  const int32_t index = ResolveHandle(handle);
  if (index < 0 || index >= HeapCount()) throw EIEException("Invalid object index");
  return *heap_[static_cast<size_t>(index)];
}

int32_t TImageryVect::GetObjFromDrawOrder(int32_t index) const {
  return index >= 0 && index < ObjectsCount() ? drawOrder_[static_cast<size_t>(index)] : -1;
}

void TImageryVect::RepaintFor(int32_t handle) {
  if (handle == IEV_TEMPLATE) return;
  InvalidateBackBuffer();
  Update();
}

// ---- life cycle ---------------------------------------------------------------------------------

int32_t TImageryVect::AddNewObject(bool resetTemplate) {
  const int32_t handle = InsertObjectFromTemplate(template_);
  if (resetTemplate) ResetTemplate();
  RepaintFor(handle);
  return handle;
}

namespace {

bool KeepsCornerOrder(uint8_t kind) {
  return kind == ievkLine || kind == ievkRuler || kind == ievkPolyline || kind == ievkLineLabel;
}

bool UsesPool(const TIEVObject& r) { return r.Kind == ievkBitmap || (r.Kind == ievkMemo && r.MemoHasBitmap); }

bool BearsText(uint8_t kind) { return kind == ievkText || kind == ievkLineLabel || kind == ievkExtended; }

void CopyFont(const TIEVObject& source, TIEVObject& dest) {
  dest.LogFont = source.LogFont ? std::make_unique<LOGFONTW>(*source.LogFont) : nullptr;
}

}  // namespace

// The scalar fields come over by assignment; the owned data is copied here,
// kind by kind.
void TImageryVect::CopyRecordData(const TIEVObject& s, TIEVObject& d, int32_t handle) {
  d.X1 = s.X1, d.Y1 = s.Y1, d.X2 = s.X2, d.Y2 = s.Y2;
  d.Kind = s.Kind, d.Transparency = s.Transparency, d.KeepAspect = s.KeepAspect;
  d.BlendOperation = s.BlendOperation, d.LayerIndex = s.LayerIndex;
  d.BeginShape = s.BeginShape, d.EndShape = s.EndShape, d.ShapeWidth = s.ShapeWidth, d.ShapeHeight = s.ShapeHeight;
  d.LabelBrushColor = s.LabelBrushColor, d.LabelBrushStyle = s.LabelBrushStyle, d.LabelAtEnd = s.LabelAtEnd;
  d.LabelBorder = s.LabelBorder, d.LabelRect = s.LabelRect;
  d.PenColor = s.PenColor, d.PenStyle = s.PenStyle, d.PenWidth = s.PenWidth;
  d.BrushColor = s.BrushColor, d.BrushStyle = s.BrushStyle, d.BoxHighlight = s.BoxHighlight;
  d.ArcStart = s.ArcStart, d.ArcEnd = s.ArcEnd, d.BitmapBorder = s.BitmapBorder;
  d.FontQuality = s.FontQuality, d.TextAlign = s.TextAlign, d.TextAutoSize = s.TextAutoSize;
  d.MemoUniformFormat = s.MemoUniformFormat, d.CurveCharAngle = s.CurveCharAngle;
  d.TextEditable = s.TextEditable, d.TextFlipAlign = s.TextFlipAlign;
  d.MemoLineSpacing = s.MemoLineSpacing, d.MemoBorderColor = s.MemoBorderColor;
  d.MemoBorderStyle = s.MemoBorderStyle, d.MemoLineHeight = s.MemoLineHeight;
  d.MemoHasBitmap = s.MemoHasBitmap, d.MemoMargins = s.MemoMargins, d.MemoTextBrushStyle = s.MemoTextBrushStyle;
  d.Tag = s.Tag, d.Style = s.Style, d.RulerUnit = s.RulerUnit, d.RulerType = s.RulerType;
  d.PolyClosed = s.PolyClosed, d.DragStartRect = s.DragStartRect;
  d.SoftShadow = s.SoftShadow;
  // User data without a length is a plain value; a block is the source's.
  d.UserData = s.UserDataLen > 0 ? nullptr : s.UserData;
  d.Name = s.Name ? *s.Name : std::string();
  if (s.Kind == ievkExtended && s.Extended) {
    d.Extended = s.Extended->Clone();
    d.Extended->Owner = this;
    d.Extended->Record = &d;
    d.Extended->SetHandle(handle);
  }
  if (BearsText(s.Kind)) {
    d.Text = s.Text ? *s.Text : std::u16string();
    CopyFont(s, d);
    d.CurvePoints = s.CurvePoints;
  } else if (s.Kind == ievkMemo) {
    d.Text = s.Text;
    CopyFont(s, d);
    d.MemoCharFormats = s.MemoCharFormats;
    d.MemoFormats = s.MemoFormats;
  } else if (s.Kind == ievkRuler || s.Kind == ievkAngle) {
    CopyFont(s, d);
  }
  if (!KeepsCornerOrder(s.Kind)) {
    if (d.X1 > d.X2) std::swap(d.X1, d.X2);
    if (d.Y1 > d.Y2) std::swap(d.Y1, d.Y2);
  }
  if (s.Kind == ievkPolyline) {
    d.PolyPoints = s.PolyPoints;
    d.PolyBounds = s.PolyBounds;
  } else {
    d.AnglePoints = s.AnglePoints;
  }
}

int32_t TImageryVect::InsertObjectFromTemplate(const TIEVObject& source) {
  const auto handle = static_cast<int32_t>(heap_.size());
  heap_.push_back(std::make_unique<TIEVObject>());
  drawOrder_.push_back(handle);
  try {
    CopyRecordData(source, *heap_.back(), handle);
    if (UsesPool(source)) SetObjBitmapIndex(handle, source.BitmapIndex);
  } catch (...) {
    drawOrder_.pop_back();
    heap_.pop_back();
    throw;
  }
  return handle;
}

void TImageryVect::FreeObject(int32_t handle) {
  TIEVObject& record = ObjectRecordOf(handle);
  ReleaseBitmapEntry(record);
  record.FreeData();
}

void TImageryVect::DeleteObjects(int32_t handle) {
  const auto deleteOne = [this](int32_t h) {
    h = ResolveHandle(h);
    ObjectRecordOf(h);  // raises for an invalid handle
    selection_.erase(std::remove(selection_.begin(), selection_.end(), h), selection_.end());
    FreeObject(h);
    drawOrder_.erase(std::remove(drawOrder_.begin(), drawOrder_.end(), h), drawOrder_.end());
    if (h == HeapCount() - 1) heap_.pop_back();
    DoVectorialChanged();
  };
  if (handle == IEV_SELECTED_OBJECTS) {
    while (!selection_.empty()) deleteOne(selection_.front());
  } else {
    deleteOne(handle);
  }
  RepaintFor(0);
}

void TImageryVect::RemoveAllObjects() {
  std::unique_ptr<TIEBitmap> templateBitmap;
  if (template_.BitmapIndex >= 0 && template_.BitmapIndex < static_cast<int32_t>(pool_.size()))
    templateBitmap = std::move(pool_[static_cast<size_t>(template_.BitmapIndex)].Bitmap);
  heap_.clear();
  drawOrder_.clear();
  selection_.clear();
  pool_.clear();
  template_.BitmapIndex = -1;
  if (templateBitmap) {
    pool_.push_back(TIEVBitmap{std::move(templateBitmap), 1});
    template_.BitmapIndex = 0;
  }
  DoVectorialChanged();
  RepaintFor(0);
}

RECT TImageryVect::GetObjectsExtent() {
  int64_t right = 0, bottom = 0;
  for (int32_t handle : drawOrder_) {
    const TIEVObject& o = *heap_[static_cast<size_t>(handle)];
    right = std::max({right, int64_t{o.X1} + 1, int64_t{o.X2} + 1});
    bottom = std::max({bottom, int64_t{o.Y1} + 1, int64_t{o.Y2} + 1});
  }
  const auto clamp = [](int64_t v) { return static_cast<int32_t>(std::min<int64_t>(v, INT32_MAX)); };
  return RECT{0, 0, clamp(right), clamp(bottom)};
}

// ---- bitmap pool --------------------------------------------------------------------------------

void TImageryVect::ReleaseBitmapEntry(TIEVObject& record) {
  const int32_t index = record.BitmapIndex;
  record.BitmapIndex = -1;
  if (index < 0 || index >= static_cast<int32_t>(pool_.size())) return;
  TIEVBitmap& entry = pool_[static_cast<size_t>(index)];
  if (--entry.UseCount <= 0) {
    entry.UseCount = 0;
    entry.Bitmap.reset();
  }
}

int32_t TImageryVect::AddPoolBitmap(std::unique_ptr<TIEBitmap> bitmap) {
  for (size_t i = 0; i < pool_.size(); ++i)
    if (!pool_[i].Bitmap) {
      pool_[i] = TIEVBitmap{std::move(bitmap), 1};
      return static_cast<int32_t>(i);
    }
  pool_.push_back(TIEVBitmap{std::move(bitmap), 1});
  return static_cast<int32_t>(pool_.size()) - 1;
}

void TImageryVect::SetObjBitmap(int32_t handle, TIEBitmap* bitmap) {
  TIEVObject& record = ObjectRecordOf(handle);
  ReleaseBitmapEntry(record);
  if (bitmap) {
    if (ShareBitmaps)
      for (auto i = static_cast<int32_t>(pool_.size()) - 1; i >= 0; --i) {
        TIEVBitmap& entry = pool_[static_cast<size_t>(i)];
        if (entry.Bitmap && IEBitmapsEqual(*entry.Bitmap, *bitmap)) {
          ++entry.UseCount;
          record.BitmapIndex = i;
          RepaintFor(handle);
          return;
        }
      }
    record.BitmapIndex = AddPoolBitmap(std::make_unique<TIEBitmap>(*bitmap));
  }
  RepaintFor(handle);
}

void TImageryVect::SetObjBitmapIndex(int32_t handle, int32_t index) {
  TIEVObject& record = ObjectRecordOf(handle);
  if (index >= static_cast<int32_t>(pool_.size())) throw EIEException("Invalid bitmap index");
  // Take the new use first: the old entry may be the same one.
  if (index >= 0 && ShareBitmaps) ++pool_[static_cast<size_t>(index)].UseCount;
  std::unique_ptr<TIEBitmap> copy;
  if (index >= 0 && !ShareBitmaps && pool_[static_cast<size_t>(index)].Bitmap)
    copy = std::make_unique<TIEBitmap>(*pool_[static_cast<size_t>(index)].Bitmap);
  ReleaseBitmapEntry(record);
  if (index < 0 || ShareBitmaps)
    record.BitmapIndex = index;
  else
    record.BitmapIndex = copy ? AddPoolBitmap(std::move(copy)) : -1;
  RepaintFor(handle);
}

void TImageryVect::CompactBitmapPool() {
  std::vector<int32_t> newIndex(pool_.size(), -1);
  std::vector<TIEVBitmap> kept;
  for (size_t i = 0; i < pool_.size(); ++i)
    if (pool_[i].Bitmap) {
      newIndex[i] = static_cast<int32_t>(kept.size());
      kept.push_back(std::move(pool_[i]));
    }
  const auto renumber = [&](TIEVObject& record) {
    if (record.BitmapIndex >= 0 && record.BitmapIndex < static_cast<int32_t>(newIndex.size()))
      record.BitmapIndex = newIndex[static_cast<size_t>(record.BitmapIndex)];
  };
  renumber(template_);
  for (auto& record : heap_) renumber(*record);
  pool_ = std::move(kept);
}

// ---- properties ---------------------------------------------------------------------------------

void TImageryVect::SetObjKind(int32_t handle, uint8_t kind) {
  TIEVObject& record = ObjectRecordOf(handle);
  record.Kind = kind;
  const bool text = BearsText(kind);
  if ((text || kind == ievkRuler || kind == ievkAngle || kind == ievkMemo) && !record.LogFont && template_.LogFont)
    record.LogFont = std::make_unique<LOGFONTW>(*template_.LogFont);
  if (text && !record.Text) record.Text = std::u16string();
  RepaintFor(handle);
}

void TImageryVect::SetObjRect(int32_t handle, const RECT& rect, bool keepAspect) {
  TIEVObject& record = ObjectRecordOf(handle);
  RECT r = rect;
  if (keepAspect && record.Kind == ievkBitmap && record.BitmapIndex >= 0 &&
      record.BitmapIndex < static_cast<int32_t>(pool_.size()) && pool_[static_cast<size_t>(record.BitmapIndex)].Bitmap) {
    TIEBitmap& b = *pool_[static_cast<size_t>(record.BitmapIndex)].Bitmap;
    r = IEGetFitRect(b.GetWidth(), b.GetHeight(), rect, false, true, true, true, true);
  }
  record.X1 = r.left, record.Y1 = r.top, record.X2 = r.right, record.Y2 = r.bottom;
  RepaintFor(handle);
}

void TImageryVect::SetObjUserData(int32_t handle, void* data) {
  TIEVObject& record = ObjectRecordOf(handle);
  if (record.UserDataLen > 0) std::free(record.UserData);
  record.UserData = data;
}

void TImageryVect::SetObjUserDataLength(int32_t handle, int32_t length) {
  ObjectRecordOf(handle).UserDataLen = std::max(length, 0);
}

void TImageryVect::SetObjText(int32_t handle, const std::u16string& text) {
  TIEVObject& record = ObjectRecordOf(handle);
  std::u16string stored;
  stored.reserve(text.size());
  for (char16_t c : text)
    if (c != 13) stored.push_back(c);
  record.Text = std::move(stored);
  record.MemoCharFormats.clear();
  record.MemoFormats.clear();
  RepaintFor(handle);
}

void TImageryVect::SetObjFont(int32_t handle, TFont* font) {
  TIEVObject& record = ObjectRecordOf(handle);
  if (!record.LogFont) record.LogFont = std::make_unique<LOGFONTW>();
  GetObjectW(font->Handle(), sizeof(LOGFONTW), record.LogFont.get());
  record.PenColor = static_cast<int32_t>(font->Color());
  RepaintFor(handle);
}

void TImageryVect::SetObjFontHeight(int32_t handle, int32_t height) {
  TIEVObject& record = ObjectRecordOf(handle);
  if (record.LogFont) record.LogFont->lfHeight = height;
  RepaintFor(handle);
}

void TImageryVect::SetObjFontName(int32_t handle, const std::u16string& name) {
  TIEVObject& record = ObjectRecordOf(handle);
  if (!record.LogFont) return;
  std::fill(std::begin(record.LogFont->lfFaceName), std::end(record.LogFont->lfFaceName), u'\0');
  const size_t length = std::min<size_t>(name.size(), LF_FACESIZE - 1);
  std::copy_n(name.begin(), length, record.LogFont->lfFaceName);
  RepaintFor(handle);
}

void TImageryVect::SetObjFontStyles(int32_t handle, uint8_t styles) {
  TIEVObject& record = ObjectRecordOf(handle);
  if (!record.LogFont) return;
  record.LogFont->lfWeight = (styles & 1) ? 700 : 400;
  record.LogFont->lfItalic = (styles >> 1) & 1;
  record.LogFont->lfUnderline = (styles >> 2) & 1;
  record.LogFont->lfStrikeOut = (styles >> 3) & 1;
  RepaintFor(handle);
}

uint8_t TImageryVect::GetObjFontStyles(int32_t handle) {
  const TIEVObject& record = ObjectRecordOf(handle);
  if (!record.LogFont) return 0;
  const LOGFONTW& f = *record.LogFont;
  return static_cast<uint8_t>((f.lfWeight >= 700 ? 1 : 0) | (f.lfItalic ? 2 : 0) | (f.lfUnderline ? 4 : 0) |
                              (f.lfStrikeOut ? 8 : 0));
}

void TImageryVect::SetObjName(int32_t handle, const std::string& name) {
  ObjectRecordOf(handle).Name = name;
}

void TImageryVect::AddPolylinePoint(int32_t handle, int32_t x, int32_t y) {
  TIEVObject& r = ObjectRecordOf(handle);
  if (!r.PolyPoints.empty() && r.PolyPoints.back().x == x && r.PolyPoints.back().y == y) return;
  r.PolyPoints.push_back(POINT{x, y});
  r.X1 = std::min(r.X1, x), r.Y1 = std::min(r.Y1, y);
  r.X2 = std::max(r.X2, x), r.Y2 = std::max(r.Y2, y);
  r.PolyBounds = RECT{r.X1, r.Y1, r.X2, r.Y2};
}

void TImageryVect::SetObjPolylinePoints(int32_t handle, const std::vector<POINT>& points) {
  TIEVObject& r = ObjectRecordOf(handle);
  r.PolyPoints.clear();
  r.X1 = r.Y1 = 1000000;
  r.X2 = r.Y2 = -1000000;
  for (const POINT& p : points) AddPolylinePoint(handle, p.x, p.y);
  RepaintFor(handle);
}

POINT IEVPolylinePointToBitmap(const TIEVObject& r, const POINT& p) {
  const RECT& b = r.PolyBounds;
  const double bw = static_cast<double>(b.right) - b.left, bh = static_cast<double>(b.bottom) - b.top;
  const double sx = bw == 0 ? 1 : (static_cast<double>(r.X2) - r.X1) / bw;
  const double sy = bh == 0 ? 1 : (static_cast<double>(r.Y2) - r.Y1) / bh;
  const auto map = [](double offset, double scale, int32_t origin) {
    const double v = std::round(offset * scale) + origin;
    return static_cast<int32_t>(std::clamp(v, static_cast<double>(INT32_MIN), static_cast<double>(INT32_MAX)));
  };
  return POINT{map(static_cast<double>(p.x) - b.left, sx, r.X1), map(static_cast<double>(p.y) - b.top, sy, r.Y1)};
}

POINT TImageryVect::GetObjPolylinePoint(int32_t handle, int32_t index) {
  const TIEVObject& r = ObjectRecordOf(handle);
  if (index < 0 || index >= static_cast<int32_t>(r.PolyPoints.size())) return POINT{-1, -1};
  return IEVPolylinePointToBitmap(r, r.PolyPoints[static_cast<size_t>(index)]);
}

void TImageryVect::SetObjUndoLimit(int32_t limit) {
  if (limit < 0) throw EIEException("Invalid undo limit");
  objUndoLimit_ = limit;
}

// ---- selection ----------------------------------------------------------------------------------

void TImageryVect::AddSelObject(int32_t handle) {
  handle = ResolveHandle(handle);
  if (ObjectRecordOf(handle).HasStyle(iosSelectable) && !IsSelObject(handle)) selection_.push_back(handle);
  if (OnSelectObject) OnSelectObject(this);
  RepaintFor(handle);
}

bool TImageryVect::IsSelObject(int32_t handle) const {
  return std::find(selection_.begin(), selection_.end(), ResolveHandle(handle)) != selection_.end();
}

void TImageryVect::UnSelObject(int32_t handle) {
  const auto found = std::find(selection_.begin(), selection_.end(), ResolveHandle(handle));
  if (found == selection_.end()) return;
  selection_.erase(found);
  if (OnSelectObject) OnSelectObject(this);
  RepaintFor(0);
}

void TImageryVect::UnSelAllObjects() {
  selection_.clear();
  if (OnSelectObject) OnSelectObject(this);
  RepaintFor(0);
}

int32_t TImageryVect::GetSelObject(int32_t index) const {
  return index >= 0 && index < SelObjectsCount() ? selection_[static_cast<size_t>(index)] : -1;
}

// ---- notifications ------------------------------------------------------------------------------

void TImageryVect::DoVectorialChanged() {
  modified_ = true;
  changedFired_ = true;
  if (OnVectorialChanged) OnVectorialChanged(this);
}

void TImageryVect::DoVectorialChangedOnce() {
  if (changedFired_) return;
  DoVectorialChanged();
}

void TImageryVect::DoNewObject(int32_t hobj) {
  ImageChange();
  if (OnNewObject) OnNewObject(this, hobj);
}

// ---- view overrides -----------------------------------------------------------------------------

void TImageryVect::RemoveLayer(int32_t index) {
  const int32_t count = GetLayerCount();
  if (count < 2 || index < 0 || index >= count) return;
  for (auto i = static_cast<int32_t>(drawOrder_.size()) - 1; i >= 0; --i) {
    const int32_t handle = drawOrder_[static_cast<size_t>(i)];
    if (heap_[static_cast<size_t>(handle)]->LayerIndex == index) DeleteObjects(handle);
  }
  TImageryView::RemoveLayer(index);
  // Objects above the removed layer follow their layer down.
  const int32_t removed = count - GetLayerCount();
  for (int32_t handle : drawOrder_) {
    TIEVObject& record = *heap_[static_cast<size_t>(handle)];
    if (record.LayerIndex > index) record.LayerIndex -= removed;
  }
  RepaintFor(0);
}

void TImageryVect::AssignImage(TObject* source) {
  TImageryView::AssignImage(source);
  if (!source) {
    RemoveAllObjects();
    return;
  }
  if (auto* other = dynamic_cast<TImageryVect*>(source)) {
    for (int32_t handle : other->drawOrder_) {
      const TIEVObject& record = *other->heap_[static_cast<size_t>(handle)];
      const int32_t index = record.BitmapIndex;
      TIEBitmap* bitmap = index >= 0 && index < static_cast<int32_t>(other->pool_.size())
                              ? other->pool_[static_cast<size_t>(index)].Bitmap.get()
                              : nullptr;
      // The copy takes no use of the other view's pool: its bitmap goes into this one.
      TIEVObject stripped;
      CopyRecordData(record, stripped, IEV_TEMPLATE);
      const int32_t mine = InsertObjectFromTemplate(stripped);
      if (UsesPool(record) && bitmap) heap_[static_cast<size_t>(mine)]->BitmapIndex = AddPoolBitmap(std::make_unique<TIEBitmap>(*bitmap));
    }
    ScaleFactor = other->ScaleFactor;
  }
  DoVectorialChanged();
  RepaintFor(0);
}
