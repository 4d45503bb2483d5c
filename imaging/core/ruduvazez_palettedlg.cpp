// The palette dialog: a grid of palette cells, the one under the mouse
// framed in black, the chosen colour's cells in dark grey.
#include "imaging/core/ruduvazez_palettedlg.h"

#include "imaging/core/davovevo.h"

namespace {

constexpr int32_t kPitch = 16, kColumns = 32;
constexpr TColor kSelectedFrame = 0x00555555;

TColor EntryColor(TRGB c) { return static_cast<TColor>(c.r | (c.g << 8) | (c.b << 16)); }

}  // namespace

TImageryPaletteDialog::TImageryPaletteDialog(TComponent* owner) : TForm(owner) {
  OnPaint = [this](TObject* sender) { PaintPalette(sender); };
  OnMouseMove = [this](TObject* sender, TShiftState shift, int x, int y) { MouseMovePalette(sender, shift, x, y); };
  OnClick = [this](TObject* sender) { ClickPalette(sender); };
  SetBorderIcons({biSystemMenu});
  SetBorderStyle(bsDialog);
  SetCaption("Palette");
  SetHeight(199);
  SetWidth(520);
  SetPosition(poScreenCenter);
  CancelButton = new TButton(this);
  CancelButton->SetParent(this);
  CancelButton->SetCaption("Cancel");
  CancelButton->SetModalResult(mrCancel);
  CancelButton->SetCancel(true);
  CancelButton->SetTop(136);
  CancelButton->SetLeft(ClientWidth() - CancelButton->Width() - 8);
}

void TImageryPaletteDialog::SetPalette(const TRGB* palette, int32_t count) {
  Palette = palette;
  PaletteCount = count;
}

bool TImageryPaletteDialog::Execute() {
  if (!Palette) throw EIEException("Invalid Palette!");
  return ShowModal() == mrOk;
}

RECT TImageryPaletteDialog::CellRect(int32_t index) {
  const int32_t left = kPitch * (index % kColumns) + 1, top = kPitch * (index / kColumns) + 1;
  return RECT{left, top, left + kPitch - 1, top + kPitch - 1};
}

void TImageryPaletteDialog::PaintPalette(TObject*) {
  TCanvas* canvas = Canvas();
  for (int32_t i = 0; i < PaletteCount; ++i) {
    const TColor color = EntryColor(Palette[i]);
    canvas->Brush()->SetColor(color);
    canvas->Pen()->SetColor(i == HoverIndex ? clBlack : color == SelectedColor ? kSelectedFrame : clWhite);
    canvas->Rectangle(CellRect(i));
  }
}

void TImageryPaletteDialog::MouseMovePalette(TObject*, TShiftState, int x, int y) {
  const int32_t index = ((y - 1) / kPitch) * kColumns + (x - 1) / kPitch;
  if (index < 0 || index >= PaletteCount || index == HoverIndex) return;
  HoverIndex = index;
  Repaint();
}

void TImageryPaletteDialog::ClickPalette(TObject*) {
  // The hover may be left from a larger palette shown before.
  if (HoverIndex < 0 || HoverIndex >= PaletteCount || !Palette) return;
  SelectedColor = EntryColor(Palette[HoverIndex]);
  SetModalResult(mrOk);
}
