// The palette dialog driven headless: the pointer over a cell highlights
// its entry, a click answers its colour, Escape and Cancel answer nothing,
// and the grid is painted with the hover and chosen frames.
#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez_palettedlg.h"
#include "tests/platform/forms/forms_test_support.h"

namespace {

// Entry i: red i, green 255 - i, blue i / 2.
std::vector<TRGB> Ramp(int32_t count) {
  std::vector<TRGB> palette(count);
  for (int32_t i = 0; i < count; ++i)
    palette[i] = TRGB{static_cast<uint8_t>(i / 2), static_cast<uint8_t>(255 - i), static_cast<uint8_t>(i)};
  return palette;
}

TColor ColorOf(TRGB c) { return c.r | (c.g << 8) | (c.b << 16); }

class PaletteDialogTest : public FormsTest {
protected:
  void SetUp() override {
    FormsTest::SetUp();
    dialog = new TImageryPaletteDialog(nullptr);
    forms_.push_back(dialog);
  }
  // Runs the dialog; script acts once it is active, on its client coordinates.
  bool Run(const std::function<void()>& script) {
    bool acted = false;
    dialog->OnActivate = [&](TObject*) {
      if (acted) return;
      acted = true;
      script();
    };
    return dialog->Execute();
  }
  POINT Client(int x, int y) const { return dialog->ClientToScreen(POINT{x, y}); }
  // The colour painted at a client point.
  COLORREF Probe(int x, int y) {
    dialog->Repaint();
    HDC dc = GetDC(dialog->Handle());
    const COLORREF c = GetPixel(dc, x, y);
    ReleaseDC(dialog->Handle(), dc);
    return c;
  }

  TImageryPaletteDialog* dialog = nullptr;
};

TEST_F(PaletteDialogTest, BuiltAsASmallFixedDialog) {
  EXPECT_EQ(dialog->Caption(), "Palette");
  EXPECT_EQ(dialog->Width(), 520);
  EXPECT_EQ(dialog->Height(), 199);
  EXPECT_EQ(dialog->BorderStyle(), bsDialog);
  EXPECT_EQ(dialog->BorderIcons(), TBorderIcons{biSystemMenu});
  EXPECT_EQ(dialog->HoverIndex, -1);
  EXPECT_EQ(dialog->SelectedColor, -1);
  EXPECT_EQ(dialog->CancelButton->Caption(), "Cancel");
  EXPECT_EQ(dialog->CancelButton->Top(), 136);
  EXPECT_EQ(dialog->CancelButton->Left() + dialog->CancelButton->Width() + 8, dialog->ClientWidth());
  EXPECT_EQ(dialog->CellRect(33).left, 17);
  EXPECT_EQ(dialog->CellRect(33).top, 17);
  EXPECT_EQ(dialog->CellRect(33).right, 32);
}

TEST_F(PaletteDialogTest, ExecuteWithoutAPaletteIsRefused) {
  try {
    dialog->Execute();
    FAIL() << "no exception";
  } catch (const EIEException& e) {
    EXPECT_EQ(e.Message(), "Invalid Palette!");
  }
  EXPECT_FALSE(dialog->Visible());
}

TEST_F(PaletteDialogTest, ThePointerHighlightsAndAClickChooses) {
  const std::vector<TRGB> palette = Ramp(256);
  dialog->SetPalette(palette.data(), 256);
  int32_t hoverAfterMove = -2, hoverOutside = -2;
  const bool chosen = Run([&] {
    display::InjectMouseMove(Client(17, 17));
    Pump();
    hoverAfterMove = dialog->HoverIndex;
    // Below the last of the 8 rows there is no entry: the hover stays.
    display::InjectMouseMove(Client(100, 8 * 16 + 5));
    Pump();
    hoverOutside = dialog->HoverIndex;
    display::InjectClick(Client(100, 8 * 16 + 5));
  });
  EXPECT_EQ(hoverAfterMove, 33) << "(17, 17) is row 1, column 1";
  EXPECT_EQ(hoverOutside, 33);
  EXPECT_TRUE(chosen) << "a click takes the entry last under the pointer";
  EXPECT_EQ(dialog->SelectedColor, ColorOf(palette[33]));
}

// A click below the grid, where no entry is, then Escape.
void ClickOutsideThenEscape(TImageryPaletteDialog* d) {
  const POINT p = d->ClientToScreen(POINT{300, 150});
  display::InjectMouseMove(p);
  display::InjectClick(p);
  Application->ProcessMessages();
  EXPECT_TRUE(d->Visible()) << "the click alone does not close";
  display::InjectKey(VK_ESCAPE);
}

TEST_F(PaletteDialogTest, EscapeCancelAndAnEarlyClickChooseNothing) {
  const std::vector<TRGB> palette = Ramp(64);
  struct Case {
    const char* what;
    int32_t hover;  // the entry under the pointer when the dialog opens
    std::function<void(TImageryPaletteDialog*)> act;
  };
  const Case cases[] = {
      {"Escape", -1, [](TImageryPaletteDialog*) { display::InjectKey(VK_ESCAPE); }},
      {"the Cancel button", 3, [](TImageryPaletteDialog* d) { display::InjectClick(At(d->CancelButton)); }},
      {"a click before any hover, then Escape", -1, ClickOutsideThenEscape},
      // A dialog shown before with 256 entries, the pointer left on entry 200.
      {"a click with the hover of a larger palette, then Escape", 200, ClickOutsideThenEscape},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    dialog->SetPalette(palette.data(), 64);
    dialog->SelectedColor = 0x123456;
    dialog->HoverIndex = c.hover;
    EXPECT_FALSE(Run([&] { c.act(dialog); }));
    EXPECT_EQ(dialog->SelectedColor, 0x123456) << "the earlier choice is kept";
  }
}

TEST_F(PaletteDialogTest, CellsAreFramedByHoverAndChoice) {
  const std::vector<TRGB> palette = Ramp(40);
  dialog->SetPalette(palette.data(), 40);
  dialog->SelectedColor = ColorOf(palette[5]);
  dialog->Show();
  Pump();
  dialog->MouseMovePalette(dialog, {}, 2 * 16 + 8, 8);  // entry 2
  Pump();
  ASSERT_EQ(dialog->HoverIndex, 2);
  const auto ref = [&](int32_t i) { return RGB(palette[i].r, palette[i].g, palette[i].b); };
  struct Cell {
    int32_t index;
    COLORREF border;
  };
  const Cell cells[] = {{2, RGB(0, 0, 0)}, {5, RGB(0x55, 0x55, 0x55)}, {0, RGB(255, 255, 255)},
                          {39, RGB(255, 255, 255)}};
  for (const Cell& p : cells) {
    SCOPED_TRACE(p.index);
    const RECT r = TImageryPaletteDialog::CellRect(p.index);
    EXPECT_EQ(Probe(r.left, r.top), p.border);
    EXPECT_EQ(Probe(r.right - 1, r.bottom - 1), p.border);
    EXPECT_EQ(Probe(r.left + 7, r.top + 7), ref(p.index)) << "filled with the entry";
  }
  const RECT beyond = TImageryPaletteDialog::CellRect(40);
  EXPECT_NE(Probe(beyond.left + 7, beyond.top + 7), ref(39)) << "no cell past the count";
}

}  // namespace
