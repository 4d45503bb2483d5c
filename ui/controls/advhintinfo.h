// The office-hint record a button keeps, the banded gradient of hint
// windows, and the small window that shows a button's shortcut.
#pragma once

#include <memory>
#include <string>

#include "platform/forms/forms.h"
#include "platform/rtl/stringlist.h"
#include "ui/render/advgdip.h"

class TAdvHintInfo : public TPersistent {
  FORMS_CLASS(TAdvHintInfo)

public:
  TAdvHintInfo();
  ~TAdvHintInfo() override;
  // Copies another hint record; any other source is ignored.
  void Assign(const TPersistent* source) override;
  const std::string& Title() const { return title_; }
  void SetTitle(const std::string& t) { title_ = t; }
  TStrings* Notes() const { return notes_.get(); }
  void SetNotes(const TStrings* notes) { notes_->Assign(*notes); }
  AdvGDIP::TGDIPPicture* Picture() const { return picture_.get(); }
  void SetPicture(const AdvGDIP::TGDIPPicture* p) { picture_->Assign(p); }
  bool ShowHelp() const { return showHelp_; }
  void SetShowHelp(bool v) { showHelp_ = v; }
  const std::u16string& WideTitle() const { return wideTitle_; }
  void SetWideTitle(const std::u16string& t) { wideTitle_ = t; }
  const std::u16string& WideNotes() const { return wideNotes_; }
  void SetWideNotes(const std::u16string& n) { wideNotes_ = n; }

private:
  std::string title_;
  std::unique_ptr<TStringList> notes_;
  std::unique_ptr<AdvGDIP::TGDIPPicture> picture_;
  bool showHelp_ = false;
  std::u16string wideTitle_, wideNotes_;
};

// Fills `rect` with `steps` bands from one colour to the other (0 counts as 1).
void DrawHintGradient(TCanvas* canvas, TColor from, TColor to, int32_t steps, const RECT& rect, bool horizontal);

// The shortcut hint: a small borderless window with a gradient, centred
// text and a grey rounded frame.
class TShortCutHintWindow : public THintWindow {
  FORMS_CLASS(TShortCutHintWindow)

public:
  explicit TShortCutHintWindow(TComponent* owner);
  // The gradient's ends; the info colours unless set, so the text always
  // stands on the hint background.
  TColor Color() const { return color_; }
  void SetColor(TColor c) { color_ = c; }
  TColor ColorTo() const { return colorTo_; }
  void SetColorTo(TColor c) { colorTo_ = c; }
  void WndProc(TMessage& message) override;

protected:
  void CreateParams(TCreateParams& params) override;
  void Paint() override;
  void Resize() override;

private:
  TColor color_ = clInfoBk;
  TColor colorTo_ = clInfoBk;
};
