// A panel look apart from any panel (TAdvPanelSettings), and the styler
// component that fills it from one of seventeen named colour styles and
// pushes it into every captioned panel of its form that names it.
#pragma once

#include <memory>
#include <string>

#include "ui/controls/advpanel.h"
#include "ui/controls/parentbackground.h"

class TAdvPanelSettings : public TPersistent {
  FORMS_CLASS(TAdvPanelSettings)

public:
  TAdvPanelSettings();
  // Copies every setting of other settings, with one change notification.
  void Assign(const TPersistent* source) override;
  void BeginUpdate() { ++updateCount_; }
  void EndUpdate();

  VESK_SETTING(bool, AnchorHint, anchorHint_, Changed)
  VESK_SETTING(bool, AutoHideChildren, autoHideChildren_, Changed)
  VESK_SETTING(TBevelCut, BevelInner, bevelInner_, Changed)
  VESK_SETTING(TBevelCut, BevelOuter, bevelOuter_, Changed)
  VESK_SETTING(int32_t, BevelWidth, bevelWidth_, Changed)
  VESK_SETTING(TColor, BorderColor, borderColor_, Changed)
  VESK_SETTING(bool, BorderShadow, borderShadow_, Changed)
  VESK_SETTING(TBorderStyle, BorderStyle, borderStyle_, Changed)
  VESK_SETTING(int32_t, BorderWidth, borderWidth_, Changed)
  VESK_SETTING(bool, CanMove, canMove_, Changed)
  VESK_SETTING(bool, CanSize, canSize_, Changed)
  VESK_SETTING(bool, Collaps, collaps_, Changed)
  VESK_SETTING(TColor, CollapsColor, collapsColor_, Changed)
  VESK_SETTING(int32_t, CollapsDelay, collapsDelay_, Changed)
  VESK_SETTING(int32_t, CollapsSteps, collapsSteps_, Changed)
  VESK_SETTING(TColor, ColorTo, colorTo_, Changed)
  VESK_SETTING(TColor, ColorMirror, colorMirror_, Changed)
  VESK_SETTING(TColor, ColorMirrorTo, colorMirrorTo_, Changed)
  VESK_SETTING(TCursor, Cursor, cursor_, Changed)
  VESK_SETTING(bool, Hover, hover_, Changed)
  VESK_SETTING(TColor, HoverColor, hoverColor_, Changed)
  VESK_SETTING(TColor, HoverFontColor, hoverFontColor_, Changed)
  VESK_SETTING(int32_t, Indent, indent_, Changed)
  VESK_SETTING(int32_t, TopIndent, topIndent_, Changed)
  VESK_SETTING(TColor, ShadowColor, shadowColor_, Changed)
  VESK_SETTING(int32_t, ShadowOffset, shadowOffset_, Changed)
  VESK_SETTING(bool, ShowHint, showHint_, Changed)
  VESK_SETTING(bool, ShowMoveCursor, showMoveCursor_, Changed)
  VESK_SETTING(const std::string&, Text, text_, Changed)
  VESK_SETTING(TTextVAlignment, TextVAlign, textVAlign_, Changed)
  VESK_SETTING(TColor, URLColor, urlColor_, Changed)
  // These change without notifying.
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  int32_t Height() const { return height_; }
  void SetHeight(int32_t h) { height_ = h; }
  int32_t Width() const { return width_; }
  void SetWidth(int32_t w) { width_ = w; }
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& h) { hint_ = h; }
  TPanelCaption* Caption() const { return caption_.get(); }
  TPanelStatusBar* StatusBar() const { return statusBar_.get(); }
  TFont* Font() const { return font_.get(); }

  TNotifyEvent OnChange;

private:
  void Changed() {
    if (updateCount_ == 0 && OnChange) OnChange(this);
  }
  int32_t updateCount_ = 0;
  bool anchorHint_ = false, autoHideChildren_ = true, borderShadow_ = false, canMove_ = false, canSize_ = false;
  bool collaps_ = false, hover_ = false, showHint_ = false, showMoveCursor_ = false;
  TBevelCut bevelInner_ = bvNone, bevelOuter_ = bvNone;
  int32_t bevelWidth_ = 1, borderWidth_ = 0, collapsDelay_ = 0, collapsSteps_ = 0, indent_ = 0, topIndent_ = 0;
  int32_t shadowOffset_ = 0, height_ = 120, width_ = 0;
  TColor borderColor_ = clBlack, collapsColor_ = clBtnFace, color_ = clBtnFace, colorTo_ = clNone;
  TColor colorMirror_ = clNone, colorMirrorTo_ = clNone, hoverColor_ = clNone, hoverFontColor_ = clNone;
  TColor shadowColor_ = clBlack, urlColor_ = clBlue;
  TBorderStyle borderStyle_ = bsSingle;
  TCursor cursor_ = crDefault;
  TTextVAlignment textVAlign_ = tvaTop;
  std::string text_, hint_;
  std::unique_ptr<TPanelCaption> caption_;
  std::unique_ptr<TPanelStatusBar> statusBar_;
  std::unique_ptr<TFont> font_;
};

enum TAdvPanelStyle {
  psXP, psFlat, psVarn, psClassic, psOffice2003Blue, psOffice2003Olive, psOffice2003Silver, psOffice2003Classic,
  psOffice2007Luna, psOffice2007Obsidian, psWhidbey, psWindowsXP, psCustom, psOffice2007Silver, psWindowsVista,
  psWindows7, psTerminal
};

class TAdvPanelStyler : public TComponent, public IStylePreset {
  FORMS_CLASS(TAdvPanelStyler)

public:
  explicit TAdvPanelStyler(TComponent* owner);
  ~TAdvPanelStyler() override;
  TAdvPanelSettings* Settings() const { return settings_.get(); }
  void SetSettings(TAdvPanelSettings* settings) { settings_->Assign(settings); }
  TAdvPanelStyle Style() const { return style_; }
  // Writes the style's values into the settings, which then reach the panels once.
  void SetStyle(TAdvPanelStyle style);
  bool AutoThemeAdapt() const { return autoThemeAdapt_; }
  void SetAutoThemeAdapt(bool v) { autoThemeAdapt_ = v; }
  const std::string& Comments() const { return comments_; }
  void SetComments(const std::string& c) { comments_ = c; }
  // From another styler: every setting, the comments and the style.
  void Assign(const TPersistent* source) override;
  void Loaded() override;
  void ApplyStylePreset(int32_t index) override;
  // Gives the settings to every panel of the owner whose Styler is this one.
  void ApplyToPanels();

private:
  std::unique_ptr<TAdvPanelSettings> settings_;
  TAdvPanelStyle style_ = psXP;
  bool autoThemeAdapt_ = false;
  std::string comments_;
};
