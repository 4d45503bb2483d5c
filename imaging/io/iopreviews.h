// The parameters preview dialog: before an image is saved, the user tunes
// the options of the target format on that format's page and compares the
// image ("Original") with the image as it will look once saved ("Result"),
// with the size of the encoded file. JPEG is encoded into memory and decoded
// again; the lossless formats are encoded into a stream that only counts
// bytes, and the result is a copy of the image with its colours reduced as
// the format will reduce them. The dialog edits one parameter set: OK and
// Apply write the active page's values into it, Cancel leaves it as the last
// Apply left it.
//
// Sections: palette choice | working values | the dialog (set-up | loading
// and showing values | result and editing, in iopreviews_result.cpp)
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "platform/forms/comctrls.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"

class TIEBitmap;
class TImageryView;
class TIOParamsVals;

// ---- palette choice ------------------------------------------------------------------

// Lets the user pick one of `count` palette entries: true with the chosen
// colour, false when cancelled. The cancel caption names the dialog's cancel
// button. The palette swatches of the preview dialog call it.
using TIEPalettePicker =
    std::function<bool(const TRGB* palette, int32_t count, const std::string& cancelCaption, TColor& color)>;
// The picker in use: the library's palette dialog unless replaced; unset, a
// palette swatch keeps its colour.
extern TIEPalettePicker IEPreviewsPalettePicker;

// A picker that runs a palette dialog class: Create(owner), its CancelButton,
// SetPalette(entries, count), Execute and SelectedColor.
template <class Dialog>
TIEPalettePicker IEPalettePickerOf() {
  return [](const TRGB* palette, int32_t count, const std::string& cancelCaption, TColor& color) {
    Dialog dialog(nullptr);
    dialog.CancelButton->SetCaption(cancelCaption);
    dialog.SetPalette(palette, count);
    if (!dialog.Execute()) return false;
    color = dialog.SelectedColor;
    return true;
  };
}

// ---- working values -------------------------------------------------------------------

// What the pages edit, one field per control (list items as their indexes
// unless said otherwise).
struct TIOPreviewsValues {
  // JPEG
  int32_t Quality = 80;
  uint8_t JpegColorSpace = 2, DctMethod = 0;
  bool OptimalHuffman = false, Progressive = false;
  int32_t Smooth = 0;
  // JPEG 2000
  double Rate = 0.07;
  uint8_t J2000ColorSpace = 1;
  // TIFF: the compression as a code, the photometric as its list item
  uint8_t TiffCompression = 0;
  int32_t ImageIndex = 0;
  uint8_t Photometric = 2;
  int32_t XPos = 0, YPos = 0;
  std::string DocumentName, Description, PageName;
  int32_t PageNumber = -1, PageCount = -1;
  int32_t BitsPerSample = 8, SamplesPerPixel = 3;
  TIETIFFLZWDecoder TIFFLZWDecoder = nullptr;
  TIETIFFLZWEncoder TIFFLZWEncoder = nullptr;
  // GIF
  int32_t GifImageIndex = 0, GifXPos = 0, GifYPos = 0, GifDelay = 0;
  bool GifTransparent = false, GifInterlaced = false;
  TRGB GifTranspColor, GifBackground;
  int32_t GifBits = 8;
  // BMP, PCX, PNG, TGA: colours as list items
  uint8_t BmpCompression = 0;
  int32_t BmpColors = 3;
  uint8_t PcxCompression = 1;
  int32_t PcxColors = 3;
  int32_t PngColors = 2;
  bool PngInterlaced = false;
  TRGB PngBackground;
  uint8_t PngFilter = 0;
  int32_t PngCompression = 5;
  int32_t TgaColors = 2;
  TRGB TgaBackground;
  bool TgaCompressed = true;
  std::string TgaImageName, TgaDescriptor;

  // The bits per sample and samples per pixel that the colours lists of the
  // BMP, PCX, PNG and TGA pages (FileType 5, 4, 8, 11) choose.
  struct TLayout {
    int32_t Bits, Samples;
  };
  TLayout ColoursLayout(int32_t fileType) const;
};

// The TIFF compression list's item of a compression code and back (the LZW
// item exists only when an LZW encoder is installed).
int32_t IETIFFCompressionToIndex(int32_t compression);
int32_t IEIndexToTIFFCompression(int32_t index);

// ---- the dialog -----------------------------------------------------------------------

class TfIOPreviews : public TForm {
public:
  explicit TfIOPreviews(TComponent* owner);
  ~TfIOPreviews() override;

  // -- set-up by the caller, in this order
  bool DefaultLockPreview = false;
  // The parameters edited (not owned).
  TIOParamsVals* EditedParams = nullptr;
  // Reduced pages: fewer controls, a lower page control.
  void SetSimplified(bool flag);
  bool Simplified() const { return simplified_; }
  // 0 ordered dither, 1 threshold: how the result reduces to 1 bit.
  uint8_t BilevelMethod = 1;
  void LocalizeCaptions();
  // The requested pages (ppAll, ppAuto and the format bits); false when there
  // is nothing to show.
  bool SetPages(uint16_t pages);
  uint16_t Pages() const { return pages_; }
  // The smallest client size the dialog keeps.
  int32_t MinClientWidth() const { return minWidth_; }
  int32_t MinClientHeight() const { return minHeight_; }

  // -- values
  const TIOPreviewsValues& WorkingValues() const { return values_; }
  // Every working value from the edited parameters; the active page's
  // controls show theirs.
  void LoadWorkingValues();
  void ShowWorkingValues();
  // The active page's values go into the edited parameters, with their FILETYPE.
  void ApplyValues();

  // -- result (iopreviews_result.cpp)
  // The result view and the compressed size for the active page's settings.
  void ComputeResult();
  // While Lock preview is ticked, the result follows 750 ms after the last change.
  void SchedulePreview();
  // The image shown as the original: the dialog works on its own copy.
  TIEBitmap* SourceBitmap();

  // -- components
  TImage* Image1 = nullptr;
  TLabel *lblSource = nullptr, *lblPreview = nullptr;
  TImageryView *ienSource = nullptr, *ienPreview = nullptr;
  TProgressBar* pbrPreview = nullptr;
  TPageControl* PageControl1 = nullptr;
  TBitBtn *btnOK = nullptr, *btnCancel = nullptr, *btnPreview = nullptr, *btnApply = nullptr;
  TCheckBox* chkLockPreview = nullptr;
  TTimer* tmrApplyAct = nullptr;
  TTabSheet *TabSheetJPEG1 = nullptr, *TabSheetJPEG2 = nullptr, *TabSheetTIFF1 = nullptr, *TabSheetTIFF2 = nullptr,
            *TabSheetGIF1 = nullptr, *TabSheetGIF2 = nullptr, *TabSheetBMP1 = nullptr, *TabSheetPCX1 = nullptr,
            *TabSheetPNG1 = nullptr, *TabSheetTGA1 = nullptr, *TabSheetJ20001 = nullptr;
  // JPEG
  TEdit *Edit22 = nullptr, *Edit23 = nullptr, *Edit16 = nullptr;
  TTrackBar *TrackBar13 = nullptr, *TrackBar2 = nullptr;
  TComboBox *ComboBox13 = nullptr, *ComboBox1 = nullptr;
  TUpDown* UpDown11 = nullptr;
  TCheckBox *CheckBox2 = nullptr, *CheckBox3 = nullptr;
  TGroupBox* GroupBox5 = nullptr;
  // TIFF
  TComboBox *ComboBox2 = nullptr, *ComboBox3 = nullptr, *ComboBox4 = nullptr, *ComboBox16 = nullptr,
            *ComboBox17 = nullptr;
  TEdit *Edit1 = nullptr, *Edit2 = nullptr, *Edit3 = nullptr, *Edit4 = nullptr, *Edit5 = nullptr, *Edit6 = nullptr,
        *Edit7 = nullptr, *Edit8 = nullptr;
  TUpDown* UpDown1 = nullptr;
  TGroupBox* GroupBox1 = nullptr;
  // GIF
  TComboBox *ComboBox5 = nullptr, *ComboBox18 = nullptr;
  TEdit *Edit9 = nullptr, *Edit10 = nullptr, *Edit11 = nullptr, *Edit12 = nullptr;
  TUpDown* UpDown2 = nullptr;
  TCheckBox *CheckBox4 = nullptr, *CheckBox5 = nullptr;
  TPanel *Panel3 = nullptr, *Panel4 = nullptr;
  TGroupBox* GroupBox2 = nullptr;
  // BMP, PCX
  TComboBox *ComboBox6 = nullptr, *ComboBox7 = nullptr, *ComboBox8 = nullptr, *ComboBox9 = nullptr;
  // PNG
  TComboBox *ComboBox10 = nullptr, *ComboBox11 = nullptr, *ComboBox12 = nullptr;
  TCheckBox* CheckBox6 = nullptr;
  TPanel* Panel1 = nullptr;
  TGroupBox* GroupBox3 = nullptr;
  // TGA
  TComboBox* ComboBox14 = nullptr;
  TCheckBox* CheckBox1 = nullptr;
  TPanel* Panel5 = nullptr;
  TEdit *Edit13 = nullptr, *Edit14 = nullptr;
  // JPEG 2000
  TEdit* Edit15 = nullptr;
  TTrackBar* TrackBar1 = nullptr;
  TComboBox* ComboBox15 = nullptr;
  // The labels, by their names (captions from the message catalogue).
  TLabel* Label(const std::string& name) const;
  // The page's original-size and compressed-size value labels.
  TLabel* OriginalSizeLabel(TTabSheet* page) const;
  TLabel* CompressedSizeLabel(TTabSheet* page) const;

  // -- handlers (iopreviews_result.cpp)
  void FormCreate(TObject* sender);
  void FormActivate(TObject* sender);
  void FormResize(TObject* sender);
  void btnOKClick(TObject* sender);
  void btnApplyClick(TObject* sender);
  void TrackBar13Change(TObject* sender);
  void Edit22Change(TObject* sender);
  void Edit16Change(TObject* sender);
  void TrackBar2Change(TObject* sender);
  void Edit15Change(TObject* sender);
  void TrackBar1Change(TObject* sender);
  void ComboBox2Click(TObject* sender);
  void ComboBox16Change(TObject* sender);
  void ComboBox5Click(TObject* sender);
  void ComboBox18Change(TObject* sender);
  void ComboBox6Change(TObject* sender);
  void ComboBox8Change(TObject* sender);
  void ComboBox10Change(TObject* sender);
  void ComboBox14Click(TObject* sender);
  void Panel1Click(TObject* sender);
  void Panel3Click(TObject* sender);
  void Panel4Click(TObject* sender);
  void Panel5Click(TObject* sender);
  void chkLockPreviewClick(TObject* sender);
  void btnPreviewClick(TObject* sender);
  void tmrApplyActTimer(TObject* sender);
  void PageControl1Change(TObject* sender);
  void PageControl1Changing(TObject* sender, bool& allowChange);
  void ienSourceViewChange(TObject* sender, int32_t change);
  void ienSourceProgress(TObject* sender, int32_t percent);

  // The caption that the palette dialog's cancel button takes.
  const std::string& CancelCaption() const { return cancelCaption_; }

private:
  void BuildComponents();
  void BuildJpegPages();
  void BuildTiffPages();
  void BuildGifPages();
  void BuildOtherPages();
  void AddSizeLabels(TTabSheet* page, const char* caption1, const char* value1, const char* caption2,
                     const char* value2, int32_t left, int32_t top);
  void TrimSimplifiedPages();
  void FillTiffCompressionLists();
  void ShowTiffColours();
  void ShowTiff2Colours();
  void ReadTiffEdits();
  // A working value changed: Apply becomes possible and the result follows.
  void ValueChanged();
  // Reduces the result's colours as the format will; with a palette the
  // result keeps the colour map.
  void ReduceResultColours(bool withPalette);
  void TakeResultImage();
  void FollowSourceView();
  // A palette swatch: the result's colour map (made first when asked and
  // missing) offered in the palette dialog; without one, the colour dialog.
  void PickSwatchColour(TPanel* swatch, TRGB& colour, int32_t entries, bool makeMap, bool colourDialogOtherwise);
  void SetSizeLabels(TTabSheet* page, int64_t size);

  uint16_t pages_ = 0;
  std::string cancelCaption_ = "&Cancel";
  bool simplified_ = false;
  TIOPreviewsValues values_;
  int32_t progressOffset_ = 0, progressDivisor_ = 1;
  bool activated_ = false, editing_ = false;
  int32_t minWidth_ = 0, minHeight_ = 0;
};
