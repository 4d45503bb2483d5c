// The colour dialog: a grid of colours and three boxes for red, green and blue.
#include <algorithm>

#include "platform/forms/comctrls.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/rtl/sysutils.h"

namespace {

// The basic colours, row by row ($00BBGGRR).
const TColor kBasicColors[] = {
    0x8080FF, 0x80FFFF, 0x80FF80, 0x80FF00, 0xFFFF80, 0xFF8000, 0xC080FF, 0xFF80FF, 0x0000FF, 0x00FFFF,
    0x00FF80, 0x40FF00, 0xFFFF00, 0xC08000, 0xC08080, 0xFF00FF, 0x404080, 0x4080FF, 0x00FF00, 0x808000,
    0x804000, 0xFF8080, 0x400080, 0x8000FF, 0x000080, 0x0080FF, 0x008000, 0x408000, 0xFF0000, 0xA00000,
    0x800080, 0xFF0080, 0x000040, 0x004080, 0x004000, 0x404000, 0x800000, 0x400000, 0x400040, 0x800040,
    0x000000, 0x008080, 0x408080, 0x808080, 0x808040, 0xC0C0C0, 0x400040, 0xFFFFFF};
constexpr int kColumns = 8, kCell = 22;

class TColorForm : public TForm {
public:
  TColorForm(TColorDialog* dialog) : TForm(nullptr), dialog_(dialog), color_(dialog->Color()) {
    SetSystemDialog(true);
    SetBorderStyle(bsDialog);
    SetPosition(poScreenCenter);
    SetCaption(StdText(TStdText::ColorTitle));
    SetClientSize(kColumns * kCell + 190, 6 * kCell + 60);
    grid_ = new TPaintBox(this);
    grid_->SetName("ColorGrid");
    grid_->SetParent(this);
    grid_->SetBounds(8, 8, kColumns * kCell, 6 * kCell);
    grid_->OnPaint = [this](TObject*) { PaintGrid(); };
    grid_->OnMouseDown = [this](TObject*, TMouseButton, TShiftState, int x, int y) {
      const int index = (y / kCell) * kColumns + x / kCell;
      if (x >= 0 && y >= 0 && index >= 0 && index < static_cast<int>(std::size(kBasicColors))) Pick(kBasicColors[index]);
    };
    preview_ = new TPanel(this);
    preview_->SetName("Preview");
    preview_->SetParent(this);
    preview_->SetBounds(kColumns * kCell + 20, 8, 160, 40);
    preview_->SetBevelOuter(bvLowered);
    preview_->SetCaption("");
    const char* names[] = {"Red", "Green", "Blue"};
    const TStdText labels[] = {TStdText::Red, TStdText::Green, TStdText::Blue};
    for (int i = 0; i < 3; ++i) {
      auto* label = new TLabel(this);
      label->SetParent(this);
      label->SetCaption(StdText(labels[i]));
      label->SetBounds(kColumns * kCell + 20, 62 + i * 28, 50, 16);
      boxes_[i] = new TEdit(this);
      boxes_[i]->SetName(std::string(names[i]) + "Edit");
      boxes_[i]->SetParent(this);
      boxes_[i]->SetBounds(kColumns * kCell + 80, 58 + i * 28, 60, 21);
      boxes_[i]->SetMaxLength(3);
      boxes_[i]->OnChange = [this](TObject*) { FromBoxes(); };
      label->SetFocusControl(boxes_[i]);
    }
    auto* ok = new TButton(this);
    ok->SetName("OKButton");
    ok->SetParent(this);
    ok->SetCaption(StdText(TStdText::OK));
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    ok->SetBounds(ClientWidth() - 170, ClientHeight() - 33, 75, 25);
    auto* cancel = new TButton(this);
    cancel->SetName("CancelButton");
    cancel->SetParent(this);
    cancel->SetCaption(StdText(TStdText::Cancel));
    cancel->SetCancel(true);
    cancel->SetModalResult(mrCancel);
    cancel->SetBounds(ClientWidth() - 85, ClientHeight() - 33, 75, 25);
    Pick(color_);
    SetActiveControl(ok);
  }

  TColor Chosen() const { return color_; }

private:
  void PaintGrid() {
    TCanvas* c = grid_->Canvas();
    for (size_t i = 0; i < std::size(kBasicColors); ++i) {
      RECT r{static_cast<int>(i % kColumns) * kCell, static_cast<int>(i / kColumns) * kCell, 0, 0};
      r.right = r.left + kCell;
      r.bottom = r.top + kCell;
      InflateRect(&r, -2, -2);
      c->Brush()->SetColor(kBasicColors[i]);
      c->FillRect(r);
      DrawEdge(c->Handle(), &r, BDR_SUNKENOUTER, BF_RECT);
      if (kBasicColors[i] == color_) {
        InflateRect(&r, 1, 1);
        c->Brush()->SetColor(clBlack);
        c->FrameRect(r);
      }
    }
  }

  void Pick(TColor color) {
    color_ = color & 0xFFFFFF;
    updating_ = true;
    const COLORREF rgb = ColorToRGB(color_);
    boxes_[0]->SetText(IntToStr(GetRValue(rgb)));
    boxes_[1]->SetText(IntToStr(GetGValue(rgb)));
    boxes_[2]->SetText(IntToStr(GetBValue(rgb)));
    updating_ = false;
    preview_->SetColor(color_);
    grid_->Invalidate();
  }

  void FromBoxes() {
    if (updating_) return;
    int v[3];
    for (int i = 0; i < 3; ++i) v[i] = std::clamp(StrToIntDef(boxes_[i]->Text(), 0), 0, 255);
    color_ = static_cast<TColor>(RGB(static_cast<uint8_t>(v[0]), static_cast<uint8_t>(v[1]), static_cast<uint8_t>(v[2])));
    preview_->SetColor(color_);
    grid_->Invalidate();
  }

  TColorDialog* dialog_;
  TColor color_;
  TPaintBox* grid_ = nullptr;
  TPanel* preview_ = nullptr;
  TEdit* boxes_[3] = {};
  bool updating_ = false;
};

}  // namespace

const TClassInfo& TColorDialog::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TColorDialog>("TColorDialog", &TCommonDialog::StaticClassInfo(), [](TPublished<TColorDialog>& p) {
        p.Integer("Color", &TColorDialog::Color, &TColorDialog::SetColor, &ColorIdents())
            .Object("CustomColors", &TColorDialog::CustomColors);
      });
  return info;
}

TColorDialog::TColorDialog(TComponent* owner) : TCommonDialog(owner), customColors_(std::make_unique<TStringList>()) {}
TColorDialog::~TColorDialog() = default;

bool TColorDialog::Execute() {
  std::unique_ptr<TColorForm> form(new TColorForm(this));
  form_ = form.get();
  DoShow();
  const bool ok = form->ShowModal() == mrOk;
  form_ = nullptr;
  DoClose();
  if (ok) color_ = form->Chosen();
  return ok;
}
