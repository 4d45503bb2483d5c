// The palette dialog: a small modal window that shows the entries of a
// colour palette as a grid of 15 x 15 cells at a 16-pixel pitch, 32 to a
// row, and answers the colour the user clicks.
#pragma once

#include <cstdint>

#include "imaging/core/ruduvazez.h"
#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"

class TImageryPaletteDialog : public TForm {
public:
  // Built in code: caption "Palette", 520 x 199, a Cancel button.
  explicit TImageryPaletteDialog(TComponent* owner);

  // Shows the first count entries of palette, which the caller keeps alive
  // while the dialog runs.
  void SetPalette(const TRGB* palette, int32_t count);
  // Raises EIEException "Invalid Palette!" when no palette was set; shows
  // the dialog modally and answers true when a colour was clicked (read
  // it from SelectedColor).
  bool Execute();

  // The cell of a palette index, in client coordinates.
  static RECT CellRect(int32_t index);

  void PaintPalette(TObject* sender);
  void MouseMovePalette(TObject* sender, TShiftState shift, int x, int y);
  void ClickPalette(TObject* sender);

  int32_t HoverIndex = -1;           // the index under the mouse, -1 before any
  const TRGB* Palette = nullptr;     // the caller's entries, not owned
  int32_t PaletteCount = 0;
  TButton* CancelButton = nullptr;
  TColor SelectedColor = -1;         // the chosen colour, -1 until one is chosen
};
