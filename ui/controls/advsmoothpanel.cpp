#include "ui/controls/advsmoothpanel.h"

#include <algorithm>
#include <cmath>

#include "platform/forms/properties.h"
#include "platform/win/winuser_consts.h"

using namespace AdvSmoothGDIP;

namespace {
int32_t Round(float v) { return static_cast<int32_t>(std::nearbyint(v)); }

const TEnumNames& LocationNames() {
  static const TEnumNames names = {"plTopLeft",      "plTopCenter",   "plTopRight",   "plCenterLeft",
                                   "plCenterCenter", "plCenterRight", "plBottomLeft", "plBottomCenter",
                                   "plBottomRight",  "plCustom"};
  return names;
}
}  // namespace

// ---- caption ----

const TClassInfo& TAdvSmoothPanelCaption::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAdvSmoothPanelCaption>(
      "TAdvSmoothPanelCaption", &TPersistent::StaticClassInfo(), [](TPublished<TAdvSmoothPanelCaption>& p) {
        using C = TAdvSmoothPanelCaption;
        const TIntegerIdents* colors = &ColorIdents();
        p.String("Text", &C::Text, &C::SetText)
            .Enumeration("Location", LocationNames(), &C::Location, &C::SetLocation)
            .Object("HTMLFont", &C::HTMLFont)
            .String("HTMLText", &C::HTMLText, &C::SetHTMLText)
            .Enumeration("HTMLLocation", LocationNames(), &C::HTMLLocation, &C::SetHTMLLocation)
            .Integer("HTMLLeft", &C::HTMLLeft, &C::SetHTMLLeft)
            .Integer("HTMLTop", &C::HTMLTop, &C::SetHTMLTop)
            .Integer("HTMLURLColor", &C::HTMLURLColor, &C::SetHTMLURLColor, colors)
            .Integer("HTMLShadowColor", &C::HTMLShadowColor, &C::SetHTMLShadowColor, colors)
            .Integer("HTMLShadowOffset", &C::HTMLShadowOffset, &C::SetHTMLShadowOffset)
            .Object("Font", &C::Font)
            .Integer("Left", &C::Left, &C::SetLeft)
            .Integer("Top", &C::Top, &C::SetTop)
            .Object("Picture", &C::Picture)
            .Integer("ColorStart", &C::ColorStart, &C::SetColorStart, colors)
            .Integer("ColorEnd", &C::ColorEnd, &C::SetColorEnd, colors)
            .Integer("OpacityStart", &C::OpacityStart, &C::SetOpacityStart)
            .Integer("OpacityEnd", &C::OpacityEnd, &C::SetOpacityEnd)
            .Integer("LineColor", &C::LineColor, &C::SetLineColor, colors)
            .Boolean("Line", &C::Line, &C::SetLine)
            .Integer("HatchStyle", &C::HatchStyle, &C::SetHatchStyle)
            .Enumeration("GradientType", AdvGradientTypeNames(), &C::GradientType, &C::SetGradientType)
            .Event("OnChange", &C::OnChange);
      });
  return info;
}

TAdvSmoothPanelCaption::TAdvSmoothPanelCaption(TAdvSmoothPanel* owner)
    : owner_(owner), font_(new TFont()), htmlFont_(new TFont()), picture_(new TAdvGDIPPicture()) {
  font_->SetName("Tahoma");
  font_->SetSize(12);
  htmlFont_->SetName("Tahoma");
  font_->OnChange = htmlFont_->OnChange = picture_->OnChange = [this](TObject*) { Changed(); };
}

TAdvSmoothPanelCaption::~TAdvSmoothPanelCaption() = default;

void TAdvSmoothPanelCaption::Changed() {
  if (owner_) owner_->CaptionChanged();
}

void TAdvSmoothPanelCaption::SetFont(TFont* font) {
  if (font != font_.get()) font_->Assign(font);
}
void TAdvSmoothPanelCaption::SetHTMLFont(TFont* font) {
  if (font != htmlFont_.get()) htmlFont_->Assign(font);
}
void TAdvSmoothPanelCaption::SetPicture(TAdvGDIPPicture* picture) {
  if (picture != picture_.get()) picture_->Assign(picture);
}

void TAdvSmoothPanelCaption::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TAdvSmoothPanelCaption*>(source);
  if (!s) return;
  TAdvSmoothPanel* owner = std::exchange(owner_, nullptr);  // one repaint at the end
  text_ = s->text_;
  location_ = s->location_;
  left_ = s->left_;
  top_ = s->top_;
  colorStart_ = s->colorStart_;
  colorEnd_ = s->colorEnd_;
  gradientType_ = s->gradientType_;
  hatchStyle_ = s->hatchStyle_;
  opacityStart_ = s->opacityStart_;
  opacityEnd_ = s->opacityEnd_;
  picture_->Assign(s->picture_.get());
  htmlText_ = s->htmlText_;
  htmlLocation_ = s->htmlLocation_;
  htmlLeft_ = s->htmlLeft_;
  htmlTop_ = s->htmlTop_;
  htmlURLColor_ = s->htmlURLColor_;
  htmlShadowColor_ = s->htmlShadowColor_;
  htmlShadowOffset_ = s->htmlShadowOffset_;
  htmlFont_->Assign(s->htmlFont_.get());
  font_->Assign(s->font_.get());
  line_ = s->line_;
  lineColor_ = s->lineColor_;
  owner_ = owner;
  Changed();
}

// ---- panel ----

const TClassInfo& TAdvSmoothPanel::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAdvSmoothPanel>(
      "TAdvSmoothPanel", &TCustomControl::StaticClassInfo(), [](TPublished<TAdvSmoothPanel>& p) {
        using P = TAdvSmoothPanel;
        p.Object("Caption", &P::Caption)
            .Object("Fill", &P::Fill)
            .Reference<TCustomImageList>("Images", &P::Images, &P::SetImages)
            .Reference<TGDIPPictureContainer>("PictureContainer", &P::PictureContainer, &P::SetPictureContainer)
            .String("Version", &P::Version, &P::SetVersion)
            .Event("OnAnchorClick", &P::OnAnchorClick)
            .Event("OnDraw", &P::OnDraw)
            .Integer("Cursor", &P::Cursor, &P::SetPanelCursor, &CursorIdents())  // remembered for anchors
            .Event<TContextPopupEvent>("OnContextPopup", &P::OnContextPopup)
            .Object("Padding", &P::Padding)
            .Event<TMouseActivateEvent>("OnMouseActivate", &P::OnMouseActivate);
      });
  return info;
}

TAdvSmoothPanel::TAdvSmoothPanel(TComponent* owner)
    : TCustomControl(owner), caption_(new TAdvSmoothPanelCaption(this)), fill_(new TGDIPFill()) {
  TControlStyle style = ControlStyle();
  style.Include(csAcceptsControls);
  style.Exclude(csOpaque);
  SetControlStyle(style);
  fill_->OnChange = [this](TObject*) { Invalidate(); };
  SetDoubleBuffered(true);
  SetPanelCursor(crDefault);
  SetBounds(Left(), Top(), 256, 128);
  placedInDesigner_ = ComponentState().Contains(csDesigning) && owner &&
                     !owner->ComponentState().Contains(csLoading) && !owner->ComponentState().Contains(csReading);
  if (placedInDesigner_) ApplyStylePreset(4);
}

TAdvSmoothPanel::~TAdvSmoothPanel() = default;

void TAdvSmoothPanel::CreateParams(TCreateParams& params) {
  TCustomControl::CreateParams(params);
  params.Style &= ~WS_BORDER;
}

void TAdvSmoothPanel::CreateWnd() {
  TCustomControl::CreateWnd();
  if (windowMade_) return;
  windowMade_ = true;
  if (!placedInDesigner_) return;
  fill_->SetShadowOffset(10);
  fill_->SetRounding(10);
  caption_->SetText(Name());
}

void TAdvSmoothPanel::SetCaption(TAdvSmoothPanelCaption* caption) {
  if (caption != caption_.get()) caption_->Assign(caption);
  Invalidate();
}

void TAdvSmoothPanel::SetFill(TGDIPFill* fill) {
  if (fill != fill_.get()) fill_->Assign(fill);
  Invalidate();
}

void TAdvSmoothPanel::SetPictureContainer(TGDIPPictureContainer* container) {
  pictureContainer_ = container;
  if (container) container->FreeNotification(this);
}

void TAdvSmoothPanel::SetPanelCursor(TCursor cursor) {
  SetCursor(cursor);
  savedCursor_ = cursor;
}

void TAdvSmoothPanel::Notification(TComponent* component, TOperation operation) {
  if (operation == opRemove && !ComponentState().Contains(csDestroying)) {
    if (component == pictureContainer_) pictureContainer_ = nullptr;
    if (component == images_) images_ = nullptr;
  }
  TCustomControl::Notification(component, operation);
}

void TAdvSmoothPanel::Assign(const TPersistent* source) {
  auto* s = dynamic_cast<const TAdvSmoothPanel*>(source);
  if (!s) return;
  caption_->Assign(s->caption_.get());
  fill_->Assign(s->fill_.get());
  Invalidate();
}

int32_t TAdvSmoothPanel::ShadowOffset() const {
  return fill_->ShadowColor() != clNone ? fill_->ShadowOffset() : 0;
}

void TAdvSmoothPanel::GetPosition(const GpRectF& a, int32_t w, int32_t h, TAdvSmoothPanelLocation location, int32_t& x,
                                  int32_t& y) {
  int64_t ax = Round(a.X), ay = Round(a.Y), aw = Round(a.Width), ah = Round(a.Height);
  int64_t right = std::max<int64_t>(ax, aw - w);
  int64_t middleY = (ah - h) / 2, bottom = ah - h;
  switch (location) {
    case plTopLeft: x = static_cast<int32_t>(ax), y = static_cast<int32_t>(ay); break;
    case plTopCenter: x = static_cast<int32_t>(right / 2), y = static_cast<int32_t>(ay); break;
    case plTopRight: x = static_cast<int32_t>(right), y = static_cast<int32_t>(ay); break;
    case plCenterLeft: x = static_cast<int32_t>(ax), y = static_cast<int32_t>(middleY); break;
    case plCenterCenter: x = static_cast<int32_t>(right / 2), y = static_cast<int32_t>(middleY); break;
    case plCenterRight: x = static_cast<int32_t>(right), y = static_cast<int32_t>(middleY); break;
    case plBottomLeft: x = static_cast<int32_t>(ax), y = static_cast<int32_t>(bottom); break;
    case plBottomCenter: x = static_cast<int32_t>(right / 2), y = static_cast<int32_t>(bottom); break;
    case plBottomRight: x = static_cast<int32_t>(right), y = static_cast<int32_t>(bottom); break;
    case plCustom: break;
  }
}

void TAdvSmoothPanel::Paint() {
  PaintParentBackground(this, Canvas()->Handle());
  if (Width() > 1 && Height() > 1) {
    std::unique_ptr<TGPGraphics> g(new TGPGraphics(Canvas()->Handle()));
    g->SetSmoothingMode(SmoothingModeAntiAlias);
    DrawPanel(g.get());
  }
  if (OnDraw) OnDraw(this, Canvas(), ClientRect());
}

float TAdvSmoothPanel::DrawCaptionText(TGPGraphics* g, const GpRectF& b) {
  const TAdvSmoothPanelCaption& c = *caption_;
  std::unique_ptr<TGPFont> font(CreateGPFont(g, c.Font()));
  g->SetTextRenderingHint(TextRenderingHintClearTypeGridFit);
  std::unique_ptr<TGPStringFormat> format(new TGPStringFormat(0, 0));
  GpRectF a = b;
  float o = 0;
  if (!fill_->Picture()->Empty()) {
    fill_->Picture()->ReadImageSize();
    float pw = static_cast<float>(fill_->PictureSize() == psOriginal ? fill_->Picture()->Width() : fill_->PictureWidth());
    bool top = c.Location() == plTopLeft || c.Location() == plTopRight;
    bool bottom = c.Location() == plBottomLeft || c.Location() == plBottomRight;
    TFillPicturePosition pp = fill_->PicturePosition();
    if ((pp == ppTopLeft && top) || (pp == ppBottomLeft && bottom)) {
      a.X += pw;
      o = pw;
    } else if ((pp == ppTopRight && top) || (pp == ppBottomRight && bottom)) {
      a.Width -= pw;
    }
  }
  std::wstring wide = WideText(c.Text());
  GpRectF bounds;
  g->MeasureString(wide, static_cast<int>(wide.size()), font.get(), GpRectF{a.X, a.Y, a.Width - o, a.Height},
                   format.get(), bounds);
  int32_t x = c.Left(), y = c.Top();
  if (c.Location() != plCustom) GetPosition(a, Round(bounds.Width), Round(bounds.Height), c.Location(), x, y);
  ARGB c1 = GDIPMakeColor(c.OpacityStart(), c.ColorStart());
  ARGB c2 = c.ColorEnd() == clNone ? c1 : GDIPMakeColor(c.OpacityEnd(), c.ColorEnd());
  float fx = static_cast<float>(x), fy = static_cast<float>(y), bw = bounds.Width, bh = bounds.Height;
  std::unique_ptr<TGPBrush> brush;
  std::unique_ptr<TGPImage> image;
  switch (c.GradientType()) {
    case gtSolid: brush.reset(new TGPSolidBrush(c1)); break;
    case gtVertical: brush.reset(new TGPLinearGradientBrush({fx, fy}, {fx, fy + bh}, c1, c2)); break;
    case gtHorizontal: brush.reset(new TGPLinearGradientBrush({fx, fy}, {fx + bw, fy}, c1, c2)); break;
    case gtForwardDiagonal: brush.reset(new TGPLinearGradientBrush({fx, fy}, {fx + bw, fy + bh}, c1, c2)); break;
    case gtBackwardDiagonal: brush.reset(new TGPLinearGradientBrush({fx, fy + bh}, {fx + bw, fy}, c2, c1)); break;
    case gtHatch: brush.reset(new TGPHatchBrush(c.HatchStyle(), c1, c2)); break;
    case gtTexture:
      if (c.Picture()->HasData()) {
        image = DecodeGPImage(c.Picture()->Data());
        brush.reset(new TGPTextureBrush(image.get(), WrapModeTile));
      }
      break;
    default: break;
  }
  if (brush)
    g->DrawAnsiString(c.Text(), -1, font.get(),
                      GpRectF{fx, fy, std::nearbyint(a.Width - 2 - o), static_cast<float>(Height() - 1 - ShadowOffset())},
                      format.get(), brush.get());
  if (c.LineColor() != clNone && c.Line()) {
    std::unique_ptr<TGPPen> pen(new TGPPen(GDIPMakeColor(255, c.LineColor()), 1));
    bool bottom = c.Location() == plBottomLeft || c.Location() == plBottomCenter || c.Location() == plBottomRight;
    float ly = bottom ? fy - 2 : fy + bh;
    g->DrawLine(pen.get(), static_cast<float>(Round(a.X + 2)), ly, static_cast<float>(Round(a.Width - 2)), ly);
  }
  return bh;
}

TMarkupArgs TAdvSmoothPanel::HTMLArgs() const {
  TMarkupArgs args;
  args.Images = images_;
  args.X = args.Y = 0;
  args.ShadowOffset = caption_->HTMLShadowOffset();
  args.URLColor = caption_->HTMLURLColor();
  args.ShadowColor = caption_->HTMLShadowColor();
  args.GDIPPictureContainer = pictureContainer_;
  args.LineSpacing = 2;
  return args;
}

void TAdvSmoothPanel::DrawPanel(TGPGraphics* g) {
  const int32_t w = Width(), h = Height();
  bool border = fill_->BorderColor() != clNone && fill_->BorderWidth() != 0;
  GpRectF body{0, 0, static_cast<float>(border ? w - 1 : w), static_cast<float>(border ? h - 1 : h)};
  GpRectF b = fill_->Fill(g, body);
  float ch = caption_->Text().empty() ? 0 : DrawCaptionText(g, b);
  if (caption_->HTMLText().empty()) return;
  const int32_t avail = w - ShadowOffset() - 2 * fill_->BorderWidth();
  const int32_t top = Round(ch);
  bool custom = caption_->HTMLLocation() == plCustom;
  RECT m = custom ? RECT{0, top, avail - caption_->HTMLLeft(), 10000} : RECT{caption_->HTMLLeft(), top, avail, 10000};
  TMarkupArgs args = HTMLArgs();
  args.MeasureOnly = true;
  TMarkupResult measured = RenderMarkupGDIP(g, caption_->HTMLFont(), caption_->HTMLText(), m, args);
  int32_t hw = measured.MeasuredWidth, hh = measured.MeasuredHeight;
  b.Height -= static_cast<float>(top);
  int32_t x = caption_->HTMLLeft(), y = caption_->HTMLTop();
  RECT r;
  if (custom) {
    if (avail < x + hw) hw = avail - x;
    r = RECT{x, y, x + avail - caption_->HTMLLeft(), y + hh};
  } else {
    GetPosition(b, hw, hh, caption_->HTMLLocation(), x, y);
    r = RECT{x, y + top, x + hw, y + top + hh};
  }
  if (hh < h) {
    args.MeasureOnly = false;
    RenderMarkupGDIP(g, caption_->HTMLFont(), caption_->HTMLText(), r, args);
  }
  htmlRect_ = r;
}

std::string TAdvSmoothPanel::AnchorAt(int32_t x, int32_t y) {
  if (!(x >= htmlRect_.left && x < htmlRect_.right && y >= htmlRect_.top && y < htmlRect_.bottom)) return {};
  std::unique_ptr<TGPGraphics> g(new TGPGraphics(Canvas()->Handle()));
  TMarkupArgs args = HTMLArgs();
  args.X = x;
  args.Y = y;
  args.CheckHotSpot = true;
  TMarkupResult r = RenderMarkupGDIP(g.get(), caption_->HTMLFont(), caption_->HTMLText(), htmlRect_, args);
  return r.Hit ? r.AnchorTarget : std::string();
}

void TAdvSmoothPanel::MouseMove(TShiftState shift, int x, int y) {
  TCustomControl::MouseMove(shift, x, y);
  std::string anchor = AnchorAt(x, y);
  overAnchor_ = !anchor.empty();
  SetCursor(overAnchor_ ? crHandPoint : savedCursor_);
}

void TAdvSmoothPanel::MouseDown(TMouseButton button, TShiftState shift, int x, int y) {
  TCustomControl::MouseDown(button, shift, x, y);
  if (!overAnchor_) return;
  std::string anchor = AnchorAt(x, y);
  if (!anchor.empty() && OnAnchorClick) OnAnchorClick(this, anchor);
}

void TAdvSmoothPanel::ApplyStylePreset(int32_t style) {
  fill_->SetGradientType(gtVertical);
  struct Preset {
    TColor start, end, line, color, colorTo, mirror, mirrorTo, border;
  };
  static const Preset kPresets[] = {
      {0, 0, 0, 0xFDEADA, 0xE4AE88, clNone, clNone, 0xDFD2C5},
      {0, 0, 0, 0xF7F3F3, 0xE6D8D8, clNone, clNone, 0x927476},
      {0, 0, 0, 0xCFF0EA, 0x8CC0B1, clNone, clNone, 0x6B7760},
      {0, 0, 0, 0xFFFFFF, 0xC9D1D5, clNone, clNone, 0x808080},
      {0xB0721C, 0x9F661A, 0xB0721C, 0xFAF1E9, 0xEDD8C7, 0xEDD8C7, 0xFFF2E7, 0xE3B28D},
      {0xFFFFFF, 0xFFFFFF, 0xFFFFFF, 0xCFC6C1, 0xC5BBB4, 0xC5BBB4, 0xECECE5, 0},
      {0, 0, 0, clBtnFace, clBtnFace, clNone, clNone, 0},
      {0, 0, 0, 0xFFFFFF, 0xD9E9EC, clNone, clNone, 0x828F92},
      {},
      {0xB0721C, 0x9F661A, 0xB0721C, 0xF6F1EE, 0xE7DCD5, 0xE7DCD5, 0xF4F4EE, 0x74706F},
      {0, 0, 0xFDDE99, 0xFDF8F1, 0xFCEFD5, clNone, clNone, 0xFDDE99},
      {0, 0, 0xCEA27D, 0xFCEBDC, 0xFCDBC1, clNone, clNone, 0xCEA27D},
      {0, 0, 0, clBtnFace, clBtnFace, clNone, clNone, 0},
  };
  if (style < 0 || style > 12 || style == 8) return;
  const Preset& p = kPresets[style];
  caption_->SetColorStart(p.start);
  caption_->SetColorEnd(p.end);
  caption_->SetLineColor(p.line);
  fill_->SetColor(p.color);
  fill_->SetColorTo(p.colorTo);
  fill_->SetColorMirror(p.mirror);
  fill_->SetColorMirrorTo(p.mirrorTo);
  fill_->SetBorderColor(p.border);
  if (style == 4) fill_->SetGradientType(gtVertical);
  if (style == 4 || style == 5 || style == 9) fill_->SetGradientMirrorType(gtVertical);
}
