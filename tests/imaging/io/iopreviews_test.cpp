// The parameters preview dialog and the I/O component's previews, driven
// headless: the pages shown for a format, editing the values, the encoded
// result, Apply/OK/Cancel, the caller's image left alone, and the save
// dialog's Advanced button.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "imaging/core/davovevo.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_palettedlg.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/ieopensavedlg.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/iopreviews.h"
#include "imaging/view/imageryview.h"
#include "platform/win/winuser_consts.h"
#include "tests/app/window_driving.h"
#include "tests/imaging/io/io_test_support.h"
#include "tests/platform/forms/forms_test_support.h"

namespace {

class Previews : public FormsTest {
protected:
  void SetUp() override {
    IELibraryInitialize();
    IEInitializeImageryIO();
    FormsTest::SetUp();
    savedWidth_ = IEGetGlobalSettings()->PreviewDialogWidth;
    savedHeight_ = IEGetGlobalSettings()->PreviewDialogHeight;
    // A colourful 96 x 64 picture: a hue ramp across, brightness down.
    io.IEBitmap()->Allocate(96, 64, ie24RGB);
    for (int32_t y = 0; y < 64; ++y)
      for (int32_t x = 0; x < 96; ++x)
        io.IEBitmap()->SetPixel24(x, y, TRGB{static_cast<uint8_t>(x * 2 + y), static_cast<uint8_t>(255 - y * 3),
                                             static_cast<uint8_t>(x * 255 / 95)});
    io.SimplifiedParamsDialogs = false;
  }
  void TearDown() override {
    IEPreviewsPalettePicker = savedPicker_;
    Screen->OnActiveFormChange = nullptr;
    FormsTest::TearDown();
    IEGetGlobalSettings()->PreviewDialogWidth = savedWidth_;
    IEGetGlobalSettings()->PreviewDialogHeight = savedHeight_;
    IEFinalizeImageryIO();
    IELibraryFinalize();
  }

  // Runs the steps inside the next preview dialog once it is active; the
  // steps end it (OK, Cancel or Close).
  void WhenShown(std::function<void(TfIOPreviews*)> steps) {
    WhenActive<TfIOPreviews>([this, steps](TfIOPreviews* dialog) {
      ++shown;
      steps(dialog);
    });
  }

  // The user's choice of a list item.
  static void Choose(TComboBox* list, int32_t item) {
    list->SetItemIndex(item);
    if (list->OnChange) list->OnChange(list);
  }

  // "1,390 bytes" as a number.
  static int64_t Bytes(const std::string& text) {
    int64_t n = 0;
    for (char c : text)
      if (c >= '0' && c <= '9') n = n * 10 + (c - '0');
    return n;
  }

  // The distinct colours of an image; grey is cleared by a coloured pixel.
  static std::set<uint32_t> Colours(TIEBitmap* image, bool& grey) {
    std::set<uint32_t> colours;
    for (int32_t y = 0; y < image->GetHeight(); ++y)
      for (int32_t x = 0; x < image->GetWidth(); ++x) {
        TRGB p;
        image->GetPixelRGB(x, y, p);
        colours.insert(p.r | p.g << 8 | p.b << 16);
        grey &= p.r == p.g && p.g == p.b;
      }
    return colours;
  }

  static std::set<std::string> VisibleTabs(TfIOPreviews* d) {
    std::set<std::string> names;
    for (int32_t i = 0; i < d->PageControl1->PageCount(); ++i)
      if (d->PageControl1->Pages(i)->TabVisible()) names.insert(d->PageControl1->Pages(i)->Name());
    return names;
  }

  TImageryIO io{nullptr};
  int shown = 0;
  int32_t savedWidth_ = 0, savedHeight_ = 0;
  TIEPalettePicker savedPicker_ = IEPreviewsPalettePicker;
};

}  // namespace

TEST(PrintPreviewParams, StartWithTheirDefaults) {
  TImageryIO io(nullptr);
  const TIOPrintPreviewParams& p = io.PrintPreviewParams();
  EXPECT_EQ(p.MarginTop, 1.0);
  EXPECT_EQ(p.MarginLeft, 1.0);
  EXPECT_EQ(p.MarginRight, 1.0);
  EXPECT_EQ(p.MarginBottom, 1.0);
  EXPECT_EQ(p.Position, 4);
  EXPECT_EQ(p.Size, 1);
  EXPECT_EQ(p.Width, -1.0);
  EXPECT_EQ(p.Height, -1.0);
  EXPECT_EQ(p.Gamma, 1.0);
  EXPECT_FALSE(p.PrintThumbnails);
  EXPECT_EQ(p.ThumbnailColumns, 4);
  EXPECT_EQ(p.ThumbnailRows, 5);
  EXPECT_EQ(p.ThumbnailSpacing, 0.1);
  EXPECT_EQ(p.ThumbnailStyle, 1);
  EXPECT_TRUE(p.ThumbnailShowText);
  EXPECT_EQ(p.DlgWidth, 0);
  EXPECT_EQ(p.DlgHeight, 0);
}

TEST_F(Previews, AHandlerOrAFormatWithoutPagesShowsNoDialog) {
  io.IEBitmap()->ConvertToPixelFormat(ie8p);
  WhenShown([](TfIOPreviews* d) { d->Close(); });
  io.OnDoPreviews = [](TObject*, bool& handled) { handled = true; };
  EXPECT_TRUE(io.DoPreviews(ppAuto));
  io.OnDoPreviews = nullptr;
  io.Params().FILETYPE = 6;  // icons have no page
  EXPECT_FALSE(io.DoPreviews(ppAuto));
  EXPECT_EQ(shown, 0);
  EXPECT_EQ(io.IEBitmap()->GetPixelFormat(), ie8p);
}

TEST_F(Previews, TheCallersImageIsNeverConvertedEvenOnCancel) {
  io.IEBitmap()->ConvertToPixelFormat(ie8p);
  TIEBitmap before;
  before.Assign(io.IEBitmap());
  io.Params().FILETYPE = 3;
  io.Params().JPEG_QUALITY = 80;
  for (const TModalResult answer : {mrCancel, mrOk}) {
    WhenShown([answer](TfIOPreviews* d) {
      EXPECT_EQ(d->SourceBitmap()->GetPixelFormat(), ie24RGB) << "the dialog works on a 24-bit copy";
      d->Edit22->SetText("33");
      (answer == mrOk ? d->btnOK : d->btnCancel)->Click();
    });
    EXPECT_EQ(io.DoPreviews(ppAuto), answer == mrOk);
    EXPECT_EQ(io.IEBitmap()->GetPixelFormat(), ie8p);
    EXPECT_EQ(io.IEBitmap()->GetPaletteLength(), before.GetPaletteLength());
    for (int32_t y = 0; y < 64; y += 7)
      ASSERT_EQ(io.IEBitmap()->GetPixel8(y, y / 2), before.GetPixel8(y, y / 2));
  }
  EXPECT_EQ(shown, 2);
  EXPECT_EQ(io.Params().JPEG_QUALITY, 33) << "OK writes the value; Cancel before it wrote nothing";
}

TEST_F(Previews, ThePagesFollowTheRequestAndTheFormat) {
  struct Case {
    bool simplified;
    uint16_t pages;
    int32_t fileType;
    std::set<std::string> tabs;
    std::string active;
  };
  const Case cases[] = {
      {false, ppAuto, 8, {"TabSheetPNG1"}, "TabSheetPNG1"},
      {false, ppAll, 3,
       {"TabSheetJPEG1", "TabSheetTIFF1", "TabSheetGIF1", "TabSheetBMP1", "TabSheetPCX1", "TabSheetPNG1", "TabSheetTGA1",
        "TabSheetJ20001"},
       "TabSheetJPEG1"},
      {true, ppAuto, 1, {"TabSheetTIFF2"}, "TabSheetTIFF2"},
      {true, ppAuto, 11, {"TabSheetTGA1"}, "TabSheetTGA1"},
      {false, ppGIF | ppBMP, 2, {"TabSheetGIF1", "TabSheetBMP1"}, "TabSheetGIF1"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.active);
    io.SimplifiedParamsDialogs = c.simplified;
    io.Params().FILETYPE = c.fileType;
    WhenShown([&c](TfIOPreviews* d) {
      EXPECT_EQ(VisibleTabs(d), c.tabs);
      EXPECT_EQ(d->PageControl1->ActivePage()->Name(), c.active);
      EXPECT_EQ(d->Caption(), "Parameters Preview");
      EXPECT_EQ(d->lblSource->Caption(), "Original:");
      EXPECT_NE(d->OriginalSizeLabel(d->PageControl1->ActivePage())->Caption(), "---");
      if (c.fileType == 11 && c.simplified) {
        EXPECT_FALSE(d->Panel5->Visible());
        EXPECT_FALSE(d->Edit13->Visible());
        EXPECT_TRUE(d->ComboBox14->Visible());
        EXPECT_TRUE(d->CheckBox1->Visible());
        EXPECT_EQ(d->OriginalSizeLabel(d->TabSheetTGA1)->Top(), 77);
        EXPECT_EQ(d->Label("Label59Caption")->Top(), 61);
      }
      EXPECT_EQ(d->ClientWidth(), std::max(d->MinClientWidth(), 540));
      for (TControl* c : std::initializer_list<TControl*>{d->btnOK, d->btnCancel, d->btnPreview, d->btnApply, d->ienPreview})
        EXPECT_LE(c->Left() + c->Width(), d->ClientWidth()) << c->Name() << " lies inside the window, left " << c->Left();
      d->Close();
    });
    EXPECT_FALSE(io.DoPreviews(c.pages));
  }
  EXPECT_EQ(shown, 5);
}

TEST_F(Previews, JpegQualityEditsTheResultAndTheAppliedValuesStay) {
  io.Params().FILETYPE = 3;
  io.Params().JPEG_QUALITY = 80;
  io.PreviewsParams = {ioppApplyButton};
  WhenShown([this](TfIOPreviews* d) {
    EXPECT_FALSE(d->chkLockPreview->Checked());
    EXPECT_TRUE(d->btnPreview->Visible());
    EXPECT_EQ(d->Edit22->Text(), "80");
    const auto sizeAt = [d](const char* quality) {
      d->Edit22->SetText(quality);
      d->btnPreview->Click();
      return d->CompressedSizeLabel(d->TabSheetJPEG1)->Caption();
    };
    const std::string small = sizeAt("10"), large = sizeAt("90");
    EXPECT_EQ(d->TrackBar13->Position(), 90);
    EXPECT_LT(Bytes(small), Bytes(large)) << small << " / " << large;
    EXPECT_EQ(d->ienPreview->GetIEBitmap()->GetWidth(), 96) << "the result is the decoded JPEG";
    EXPECT_EQ(d->ienPreview->Zoom(), d->ienSource->Zoom());

    d->Edit22->SetText("not a number");
    EXPECT_EQ(d->WorkingValues().Quality, 50);
    d->Edit22->SetText("75");
    EXPECT_EQ(d->TrackBar13->Position(), 75);
    EXPECT_TRUE(d->btnApply->Enabled());
    EXPECT_FALSE(d->tmrApplyAct->Enabled()) << "unlocked: the result waits for Preview";
    d->btnApply->Click();
    EXPECT_FALSE(d->btnApply->Enabled());
    EXPECT_EQ(io.Params().JPEG_QUALITY, 75);

    d->chkLockPreview->SetChecked(true);
    EXPECT_FALSE(d->btnPreview->Visible());
    d->Edit22->SetText("20");
    EXPECT_TRUE(d->tmrApplyAct->Enabled()) << "locked: the result follows the change";
    d->tmrApplyAct->OnTimer(d->tmrApplyAct);
    EXPECT_FALSE(d->tmrApplyAct->Enabled());
    d->btnCancel->Click();
  });
  EXPECT_FALSE(io.DoPreviews(ppAuto));
  EXPECT_EQ(io.Params().JPEG_QUALITY, 75) << "Cancel keeps what Apply wrote";
  EXPECT_EQ(shown, 1);
}

// The JPEG 2000 page codes the image into memory and shows it decoded,
// with the coded size: a rate low enough to bind (the smooth picture codes
// in a few hundred bytes), a smaller file.
TEST_F(Previews, Jpeg2000ShowsTheCodedSizeAndResult) {
  io.Params().FILETYPE = 13;
  WhenShown([](TfIOPreviews* d) {
    EXPECT_EQ(d->PageControl1->ActivePage(), d->TabSheetJ20001);
    const auto sizeAt = [d](const char* thousandths) {
      d->Edit15->SetText(thousandths);
      d->btnPreview->Click();
      return Bytes(d->CompressedSizeLabel(d->TabSheetJ20001)->Caption());
    };
    const int64_t small = sizeAt("5"), large = sizeAt("500");
    EXPECT_GT(small, 0);
    EXPECT_LT(small, large);
    EXPECT_EQ(d->ienPreview->GetIEBitmap()->GetWidth(), 96) << "the result is the decoded code stream";
    EXPECT_EQ(d->Caption(), "Parameters Preview");
    d->btnCancel->Click();
  });
  EXPECT_FALSE(io.DoPreviews(ppAuto));
  EXPECT_EQ(shown, 1);
}

TEST_F(Previews, TheResultReducesColoursAsTheFormatWill) {
  struct Case {
    int32_t fileType;
    std::function<void(TfIOPreviews*)> choose;
    int32_t mapEntries;  // of the result's colour map
    int32_t mostColours;  // distinct colours of the result
    bool grey;
  };
  const Case cases[] = {
      {2, [](TfIOPreviews* d) { Choose(d->ComboBox5, 3); }, 16, 16, false},  // GIF 16 colours
      {8, [](TfIOPreviews* d) { Choose(d->ComboBox10, 2); }, 0, 96 * 64, false},  // PNG 16M: no reduction
      {5, [](TfIOPreviews* d) { Choose(d->ComboBox7, 1); }, 0, 16, false},  // BMP 16: reduced, no map kept
      {1, [](TfIOPreviews* d) {  // TIFF BlackIsZero/Gray with 256 colours: grey
         Choose(d->ComboBox3, 1);
         Choose(d->ComboBox4, 2);
       },
       0, 256, true},
      {1, [](TfIOPreviews* d) { Choose(d->ComboBox4, 0); }, 2, 2, true},  // TIFF B/W
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileType);
    io.Params().FILETYPE = c.fileType;
    io.Params().BITSPERSAMPLE = 8;
    io.Params().SAMPLESPERPIXEL = 3;
    io.Params().TIFF_PHOTOMETINTEPRET = 2;
    WhenShown([&c](TfIOPreviews* d) {
      c.choose(d);
      d->btnPreview->Click();
      EXPECT_EQ(d->ienPreview->GetIO()->Params().COLORMAPCOUNT(), c.mapEntries);
      bool grey = true;
      const std::set<uint32_t> colours = Colours(d->ienPreview->GetIEBitmap(), grey);
      EXPECT_LE(static_cast<int32_t>(colours.size()), c.mostColours);
      bool sourceGrey = true;
      EXPECT_GT(Colours(d->SourceBitmap(), sourceGrey).size(), 1000u) << "the original keeps its colours";
      EXPECT_GT(colours.size(), 1u);
      EXPECT_EQ(grey, c.grey);
      EXPECT_NE(d->CompressedSizeLabel(d->PageControl1->ActivePage())->Caption(), "---");
      d->Close();
    });
    EXPECT_FALSE(io.DoPreviews(ppAuto));
  }
  EXPECT_EQ(shown, 5);
}

TEST_F(Previews, PaletteSwatchesOfferTheResultsMapAndReactivationKeepsTheUsersValues) {
  io.Params().FILETYPE = 2;
  io.Params().BITSPERSAMPLE = 8;
  std::vector<TRGB> offered;
  // The palette dialog: a modal window of its own, then the third entry chosen.
  IEPreviewsPalettePicker = [&](const TRGB* palette, int32_t count, const std::string& cancel, TColor& colour) {
    offered.assign(palette, palette + count);
    EXPECT_EQ(cancel, "&Cancel");
    TForm window(nullptr);
    window.OnActivate = [&window](TObject*) { window.SetModalResult(mrOk); };
    window.ShowModal();
    colour = static_cast<TColor>(palette[2].r | palette[2].g << 8 | palette[2].b << 16);
    return true;
  };
  WhenShown([&](TfIOPreviews* d) {
    Choose(d->ComboBox5, 3);  // 16 colours
    d->Edit10->SetText("7");  // an X position typed
    d->Panel4->OnClick(d->Panel4);
    EXPECT_EQ(offered.size(), 16u) << "the 16 colours of the result";
    EXPECT_EQ(d->ComboBox5->ItemIndex(), 3) << "activated again, the dialog keeps the user's choice";
    EXPECT_EQ(d->Edit10->Text(), "7");
    EXPECT_EQ(d->WorkingValues().GifBits, 4);
    ASSERT_GE(offered.size(), 3u);
    EXPECT_EQ(d->WorkingValues().GifBackground, offered[2]);
    d->btnOK->Click();
  });
  EXPECT_TRUE(io.DoPreviews(ppAuto));
  EXPECT_EQ(io.Params().BITSPERSAMPLE, 4);
  EXPECT_EQ(io.Params().GIF_XPOS, 7);
  EXPECT_EQ(io.Params().GIF_BACKGROUND, offered[2]);
}

// Without a replacement, a swatch opens the library's palette dialog with the
// result's colour map; the entry clicked there becomes the colour.
TEST_F(Previews, APaletteSwatchOpensThePaletteDialog) {
  io.Params().FILETYPE = 2;
  io.Params().BITSPERSAMPLE = 8;
  int32_t offered = 0;
  TColor clicked = -1, third = -1;
  WhenShown([&](TfIOPreviews* d) {
    Choose(d->ComboBox5, 3);  // 16 colours
    WhenActive<TImageryPaletteDialog>([&](TImageryPaletteDialog* palette) {
      offered = palette->PaletteCount;
      const TRGB c = palette->Palette[2];
      third = static_cast<TColor>(c.r | c.g << 8 | c.b << 16);
      const RECT cell = palette->CellRect(2);
      const POINT at = palette->ClientToScreen(POINT{(cell.left + cell.right) / 2, (cell.top + cell.bottom) / 2});
      display::InjectMouseMove(at);
      Settle();
      display::InjectClick(at);
    });
    d->Panel4->OnClick(d->Panel4);
    clicked = d->Panel4->Color();
    d->btnOK->Click();
  });
  EXPECT_TRUE(io.DoPreviews(ppAuto));
  EXPECT_EQ(offered, 16) << "the 16 colours of the result";
  ASSERT_NE(third, -1);
  EXPECT_EQ(clicked, third) << "the swatch takes the entry clicked";
  const TRGB background = io.Params().GIF_BACKGROUND;
  EXPECT_EQ(clicked, static_cast<TColor>(background.r | background.g << 8 | background.b << 16));
}

TEST_F(Previews, OkWritesTheActivePagesValues) {
  struct Case {
    int32_t fileType;
    std::function<void(TfIOPreviews*)> edit;
    std::function<void(const TIOParamsVals&)> check;
  };
  const Case cases[] = {
      {5, [](TfIOPreviews* d) { Choose(d->ComboBox7, 4); },  // "16M (32bit)" is stored as "16M"
       [](const TIOParamsVals& p) {
         EXPECT_EQ(p.BITSPERSAMPLE, 8);
         EXPECT_EQ(p.SAMPLESPERPIXEL, 3);
         EXPECT_EQ(p.FILETYPE, 5);
       }},
      {8,
       [](TfIOPreviews* d) {
         Choose(d->ComboBox10, 1);
         Choose(d->ComboBox12, 9);
         d->CheckBox6->SetChecked(true);
       },
       [](const TIOParamsVals& p) {
         EXPECT_EQ(p.BITSPERSAMPLE, 8);
         EXPECT_EQ(p.SAMPLESPERPIXEL, 1);
         EXPECT_EQ(p.PNG_COMPRESSION, 9);
         EXPECT_TRUE(p.PNG_INTERLACED);
       }},
      {1,
       [](TfIOPreviews* d) {
         Choose(d->ComboBox2, 7);  // "Packbits" without an LZW encoder
         d->Edit4->SetText("chart");
       },
       [](const TIOParamsVals& p) {
         EXPECT_EQ(p.TIFF_COMPRESSION, 8);
         EXPECT_EQ(p.TIFF_DOCUMENTNAME, "chart");
         EXPECT_EQ(p.FILETYPE, 1);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fileType);
    io.Params().FILETYPE = c.fileType;
    WhenShown([&c](TfIOPreviews* d) {
      c.edit(d);
      d->btnOK->Click();
    });
    EXPECT_TRUE(io.DoPreviews(ppAuto));
    c.check(io.Params());
  }
}

TEST_F(Previews, TiffCompressionListWithAndWithoutLzw) {
  auto* settings = IEGetGlobalSettings();
  const TIETIFFLZWEncoder encoder = settings->TIFFLZWEncoder;
  struct Case {
    bool lzw;
    int32_t items;
    std::vector<std::pair<int32_t, int32_t>> codeToItem;
  };
  const Case cases[] = {
      {false, 8, {{0, 0}, {1, 1}, {4, 4}, {5, 6}, {7, 5}, {8, 6}, {9, 7}, {10, 0}}},
      {true, 9, {{0, 0}, {3, 3}, {5, 5}, {7, 6}, {8, 7}, {9, 8}, {6, 0}}},
  };
  for (const Case& c : cases) {
    settings->TIFFLZWEncoder = c.lzw ? encoder ? encoder : [](const uint8_t*, int32_t, TStream&, void*&) {} : nullptr;
    for (auto [code, item] : c.codeToItem) {
      EXPECT_EQ(IETIFFCompressionToIndex(code), item) << code << (c.lzw ? " with LZW" : "");
      if (item != 0 && !(code == 5 && !c.lzw)) {
        EXPECT_EQ(IEIndexToTIFFCompression(item), code);
      }
    }
    io.Params().FILETYPE = 1;
    io.Params().TIFF_COMPRESSION = 5;
    WhenShown([&c](TfIOPreviews* d) {
      EXPECT_EQ(d->ComboBox2->Items()->Count(), c.items);
      EXPECT_EQ(d->ComboBox2->Text(), c.lzw ? "LZW" : "Packbits");
      d->Close();
    });
    io.DoPreviews(ppAuto);
  }
  settings->TIFFLZWEncoder = encoder;
  EXPECT_EQ(shown, 2);
}

// The save dialog's Advanced button opens the dialog for the typed name's
// format; cancelling the save dialog puts back what it changed.
TEST_F(Previews, TheSaveDialogsAdvancedButtonTunesTheChosenFormat) {
  TSaveImageryDialog dialog(nullptr);
  dialog.ShowFormats = iesfImagesOnly;
  dialog.SetAttachedImageryIO(&io);
  dialog.SetInitialDir(iotest::TempFolder());
  io.Params().JPEG_QUALITY = 42;
  for (const bool confirm : {false, true}) {
    bool enabledForPng = false, enabledForIco = true;
    const std::function<void(TForm*)> steps = [&](TForm* form) {
        auto* name = static_cast<TEdit*>(form->FindComponent("FileNameEdit"));
        EXPECT_TRUE(dialog.AdvancedButton()->Visible());
        EXPECT_EQ(dialog.AdvancedButton()->Caption(), "Advanced...");
        name->SetText("photo.ico");
        dialog.SyncFileType();
        enabledForIco = dialog.AdvancedButton()->Enabled();
        name->SetText("photo.png");
        dialog.SyncFileType();
        enabledForPng = dialog.AdvancedButton()->Enabled();
        EXPECT_EQ(io.Params().FILETYPE, 8);
        name->SetText("photo.jpg");
        WhenShown([](TfIOPreviews* d) {
          EXPECT_EQ(d->PageControl1->ActivePage()->Name(), "TabSheetJPEG1");
          d->Edit22->SetText("91");
          d->btnOK->Click();
        });
        Click(dialog.AdvancedButton());
        EXPECT_EQ(io.Params().JPEG_QUALITY, 91);
        // The focus stays on Advanced..., so Save is clicked; Escape cancels.
        if (confirm) display::InjectClick(At(static_cast<TControl*>(form->FindComponent("OKButton"))));
        else display::InjectKey(VK_ESCAPE);
    };
    dialog.OnShow = [&](TObject*) {
      TForm* form = dialog.DialogForm();
      form->OnActivate = [form, &steps](TObject*) {
        TForm* const f = form;
        f->OnActivate = nullptr;  // ends this handler's captures
        steps(f);
      };
    };
    EXPECT_EQ(dialog.Execute(), confirm);
    EXPECT_TRUE(enabledForPng);
    EXPECT_FALSE(enabledForIco);
    EXPECT_FALSE(dialog.CheckTimerEnabled());
    EXPECT_EQ(io.Params().JPEG_QUALITY, confirm ? 91 : 42) << (confirm ? "kept" : "put back");
  }
  EXPECT_EQ(shown, 2);
}

// The image dialogs are the framework's open and save dialogs: the save
// dialog's window says so, and it asks before it replaces a file.
TEST_F(Previews, TheImageDialogsAreTheFrameworksOpenAndSaveDialogs) {
  TOpenImageryDialog open(nullptr);
  TSaveImageryDialog save(nullptr);
  save.ExOptions = {};
  save.SetOptions({ofOverwritePrompt, ofHideReadOnly, ofPathMustExist});
  const struct Case {
    TOpenImageryDialog* dialog;
    std::vector<std::string> texts;  // title, folder label, type label, OK button
  } cases[] = {{&open, {"Open", "Look &in:", "Files of &type:", "&Open"}},
               {&save, {"Save As", "Save &in:", "Save as &type:", "&Save"}}};
  for (const Case& c : cases) {
    std::vector<std::string> shown;
    c.dialog->OnShow = [&shown, dialog = c.dialog](TObject*) {
      TForm* form = dialog->DialogForm();
      shown.push_back(form->Caption());
      for (const char* name : {"LookInLabel", "FileTypeLabel", "OKButton"})
        shown.push_back(static_cast<TControl*>(form->FindComponent(name))->Caption());
      form->OnActivate = [form](TObject*) {
        form->OnActivate = nullptr;  // ends this handler's captures
        display::InjectKey(VK_ESCAPE);
      };
    };
    EXPECT_FALSE(c.dialog->Execute());
    c.dialog->OnShow = nullptr;
    EXPECT_EQ(shown, c.texts);
  }

  const std::string existing = iotest::WriteTempFile("existing.png", "kept");
  ScriptFileDialogAnswer(existing);
  ScriptMessageBoxAnswer(mrNo);
  EXPECT_FALSE(save.Execute()) << "No keeps the file";
  ASSERT_EQ(MessageBoxLog().size(), 1u);
  EXPECT_EQ(MessageBoxLog()[0].Text, "existing.png already exists.\nDo you want to replace it?");
  ScriptFileDialogAnswer(existing);
  ScriptMessageBoxAnswer(mrYes);
  EXPECT_TRUE(save.Execute());
  EXPECT_EQ(save.FileName(), existing);
}

// Around every run of the open dialog: the custom-controls events before
// it is built and after it is gone, the folder without its trailing
// delimiter (roots kept), the caller's default extension kept (an empty one
// stands for the chosen type only during the run) and the preview box's
// caption from the catalogue.
TEST_F(Previews, TheOpenDialogsRunKeepsTheCallersSettings) {
  const struct Case {
    std::string folder, stored;
    std::string defaultExt;
  } cases[] = {{"/photos/shoot/", "/photos/shoot", ""}, {"/", "/", ".png"}, {"C:\\", "C:\\", ""},
               {"C:\\Photos\\", "C:\\Photos", ".tif"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.folder);
    TOpenImageryDialog dialog(nullptr);
    std::vector<std::string> log;
    dialog.SetInitialDir(c.folder);
    EXPECT_EQ(dialog.InitialDir(), c.stored);
    dialog.TOpenDialog::SetInitialDir(c.folder);  // past the normalising setter
    dialog.SetDefaultExt(c.defaultExt);
    dialog.OnCreateCustomControls = [&](TObject*) { log.push_back("create"); };
    dialog.OnDestroyCustomControls = [&](TObject*) { log.push_back("destroy"); };
    dialog.OnShow = [&](TObject*) {
      log.push_back("show " + dialog.InitialDir() + " " + dialog.PreviewCheck()->Caption());
      if (c.defaultExt.empty()) {
        EXPECT_FALSE(dialog.DefaultExt().empty());
      }
      TForm* form = dialog.DialogForm();
      form->OnActivate = [form](TObject*) {
        form->OnActivate = nullptr;
        display::InjectKey(VK_ESCAPE);
      };
    };
    EXPECT_FALSE(dialog.Execute());
    dialog.OnShow = nullptr;
    EXPECT_EQ(log, (std::vector<std::string>{"create", "show " + c.stored + " " + IEGetLanguageText(0), "destroy"}));
    EXPECT_EQ(dialog.DefaultExt(), c.defaultExt);
  }
}

// A handler of the caller's loads the preview in the dialog's place.
TEST_F(Previews, APreviewHandlerReplacesTheDialogsOwnLoad) {
  struct Dialog : TOpenImageryDialog {
    using TOpenImageryDialog::TOpenImageryDialog;
    using TOpenImageryDialog::UpdatePreview;
  } dialog(nullptr);
  const std::string file = iotest::WriteTempFile("handled.tif", "not an image of the test format");
  std::vector<std::string> asked;
  dialog.OnPreviewFile = [&](TObject* sender, TObject* viewer, const std::string& name, bool paramsOnly) {
    EXPECT_EQ(sender, &dialog);
    asked.push_back(name + (paramsOnly ? " params" : ""));
    auto* io = dynamic_cast<TImageryIO*>(viewer);
    ASSERT_NE(io, nullptr);
    io->IEBitmap()->Allocate(6, 4, ie24RGB);
    io->IEBitmap()->Fill(0);
  };
  dialog.UpdatePreview(file);
  EXPECT_EQ(asked, std::vector<std::string>{file});
  EXPECT_EQ(dialog.PreviewFile(), file);
  EXPECT_EQ(dialog.InfoLabel()->Caption(), "6 x 4 pixels");
}

TEST_F(Previews, TheSaveDialogTakesAnIOComponentOrAViewAndForgetsAFreedOne) {
  TSaveImageryDialog dialog(nullptr);
  TForm* form = MakeForm();
  auto* view = Add<TImageryView>(form, "View", {0, 0, 100, 100});
  auto* button = Add<TButton>(form, "Button", {0, 100, 80, 24});
  dialog.SetAttachedImageryIO(view);
  EXPECT_EQ(dialog.AttachedIO(), view->GetIO()) << "a view saves through its I/O component";
  dialog.SetAttachedImageryIO(button);
  EXPECT_EQ(dialog.AttachedImageryIO(), view) << "a button is ignored";
  auto* other = new TImageryIO(nullptr);
  dialog.SetAttachedImageryIO(other);
  EXPECT_EQ(dialog.AttachedIO(), other);
  delete other;
  EXPECT_EQ(dialog.AttachedImageryIO(), nullptr);
  EXPECT_EQ(dialog.AttachedIO(), nullptr);
}
