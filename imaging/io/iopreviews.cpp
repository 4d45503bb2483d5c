// The parameters preview dialog: its form, pages, captions and working
// values; see iopreviews.h. The live editing and the result are in
// iopreviews_result.cpp.
#include "imaging/io/iopreviews.h"

#include <algorithm>
#include <cmath>

#include "imaging/core/davovevo.h"
#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez_palettedlg.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/view/imageryview.h"
#include "imaging/view/imageryview_select.h"
#include "platform/rtl/sysutils.h"

TIEPalettePicker IEPreviewsPalettePicker = IEPalettePickerOf<TImageryPaletteDialog>();

namespace {

// Catalogue keys of the dialog's texts.
enum : uint16_t {
  kMsgPreview = 0, kMsgOriginal = 1, kMsgResult = 2, kMsgOK = 3, kMsgCancel = 4, kMsgLockPreview = 5,
  kMsgCaption = 37, kMsgQuality = 38, kMsgDct = 39, kMsgSmoothing = 40, kMsgHuffman = 42, kMsgOriginalSize = 43,
  kMsgCompressedSize = 44, kMsgAdvanced = 45, kMsgProgressive = 46, kMsgCompression = 47, kMsgImageIndex = 48,
  kMsgPhotometric = 49, kMsgScanned = 50, kMsgName = 51, kMsgDescription = 52, kMsgPageName = 53,
  kMsgPageNumber = 54, kMsgOf = 55, kMsgHorzInch = 56, kMsgVertInch = 57, kMsgColors = 58, kMsgTransparent = 59,
  kMsgTranspColor = 60, kMsgInterlaced = 61, kMsgBackground = 62, kMsgHorz = 63, kMsgVert = 64, kMsgDelay = 65,
  kMsgFilter = 66, kMsgApply = 120, kMsgRate = 123
};

std::string Msg(uint16_t key) { return IEGetLanguageText(key); }
std::string Colon(uint16_t key) { return Msg(key) + ":"; }
std::string Spaced(uint16_t key) { return " " + Msg(key) + " "; }

// The value labels under "Original size:" and "Compressed size:" of each page.
struct SizeLabels {
  const char* page;
  const char* original;
  const char* compressed;
};
constexpr SizeLabels kSizeLabels[] = {
    {"TabSheetJPEG1", "Label4", "Label25"}, {"TabSheetJPEG2", "Label74", "Label76"},
    {"TabSheetJ20001", "Label68", "Label70"}, {"TabSheetTIFF1", "Label11", "Label18"},
    {"TabSheetTIFF2", "Label78", "Label80"}, {"TabSheetGIF1", "Label28", "Label30"},
    {"TabSheetGIF2", "Label84", "Label86"},  {"TabSheetBMP1", "Label40", "Label42"},
    {"TabSheetPCX1", "Label46", "Label48"},  {"TabSheetPNG1", "Label51", "Label53"},
    {"TabSheetTGA1", "Label59", "Label61"}};

// FILETYPE to its page bit.
uint16_t PageOfFileType(int32_t fileType) {
  switch (fileType) {
    case 1: return 8;
    case 2: return 16;
    case 3: return 4;
    case 4: return 64;
    case 5: return 32;
    case 8: return 128;
    case 11: return 256;
    case 13:
    case 14: return 512;
    default: return 0;
  }
}

int32_t ScaleToScreen(int32_t value) { return value * Screen->PixelsPerInch() / 96; }

bool HasLZW() { return IEGetGlobalSettings()->TIFFLZWEncoder != nullptr; }

TColor SwatchColour(const TRGB& rgb) {
  return static_cast<TColor>(rgb.r | uint32_t{rgb.g} << 8 | uint32_t{rgb.b} << 16);
}

}  // namespace

// ---- TIFF compression list ----------------------------------------------------------------

TIOPreviewsValues::TLayout TIOPreviewsValues::ColoursLayout(int32_t fileType) const {
  // BMP: 2, 16, 256, 16M and 16M (32bit), stored as 16M; PCX has no last item.
  static constexpr TLayout kFour[] = {{1, 1}, {4, 1}, {8, 1}, {8, 3}, {8, 3}};
  // PNG and TGA: B/W, 256, 16M.
  static constexpr TLayout kThree[] = {{1, 1}, {8, 1}, {8, 3}};
  switch (fileType) {
    case 5: return kFour[std::clamp(BmpColors, 0, 4)];
    case 4: return kFour[std::clamp(PcxColors, 0, 3)];
    case 8: return kThree[std::clamp(PngColors, 0, 2)];
    default: return kThree[std::clamp(TgaColors, 0, 2)];
  }
}

int32_t IETIFFCompressionToIndex(int32_t compression) {
  if (compression >= 1 && compression <= 4) return compression;
  if (HasLZW()) {
    switch (compression) {
      case 5: return 5;
      case 7: return 6;
      case 8: return 7;
      case 9: return 8;
      default: return 0;
    }
  }
  switch (compression) {
    case 5:
    case 8: return 6;
    case 7: return 5;
    case 9: return 7;
    default: return 0;
  }
}

int32_t IEIndexToTIFFCompression(int32_t index) {
  if (index >= 1 && index <= 4) return index;
  static constexpr int32_t kWithLZW[] = {5, 7, 8, 9}, kWithout[] = {7, 8, 9};
  if (HasLZW()) return index >= 5 && index <= 8 ? kWithLZW[index - 5] : 0;
  return index >= 5 && index <= 7 ? kWithout[index - 5] : 0;
}

// ---- set-up ---------------------------------------------------------------------------

TfIOPreviews::TfIOPreviews(TComponent* owner) : TForm(owner) {
  LoadComponents(*this, [this] { BuildComponents(); });
}

TfIOPreviews::~TfIOPreviews() = default;

void TfIOPreviews::FormCreate(TObject*) {
  activated_ = false;
  BilevelMethod = 1;
  ienSource->GetIO()->SetPreviewFont(IEGetDefaultFont());
  ienPreview->GetIO()->SetPreviewFont(IEGetDefaultFont());
  cancelCaption_ = "&Cancel";
  for (TPanel* swatch : {Panel1, Panel3, Panel4, Panel5}) swatch->SetParentBackground(false);
  btnApply->SetEnabled(false);
  ienSource->SetZoomFilter(IEGetGlobalSettings()->PreviewZoomFilter);
  ienPreview->SetZoomFilter(IEGetGlobalSettings()->PreviewZoomFilter);
}

void TfIOPreviews::SetSimplified(bool flag) {
  simplified_ = flag;
  int32_t h = 420;
  if (flag) {
    PageControl1->SetHeight(ScaleToScreen(130));
    h = 339;
  }
  const auto* settings = IEGetGlobalSettings();
  minWidth_ = ScaleToScreen(540);
  minHeight_ = ScaleToScreen(h);
  SetClientWidth(std::max(settings->PreviewDialogWidth, minWidth_));
  SetClientHeight(std::max(settings->PreviewDialogHeight, minHeight_));
}

bool TfIOPreviews::SetPages(uint16_t pages) {
  pages_ = pages;
  if ((pages & ppAuto) && EditedParams) pages_ |= PageOfFileType(EditedParams->FILETYPE);
  return pages_ != ppAuto;
}

TLabel* TfIOPreviews::Label(const std::string& name) const { return dynamic_cast<TLabel*>(FindComponent(name)); }

TLabel* TfIOPreviews::OriginalSizeLabel(TTabSheet* page) const {
  for (const SizeLabels& s : kSizeLabels)
    if (page && page->Name() == s.page) return Label(s.original);
  return nullptr;
}

TLabel* TfIOPreviews::CompressedSizeLabel(TTabSheet* page) const {
  for (const SizeLabels& s : kSizeLabels)
    if (page && page->Name() == s.page) return Label(s.compressed);
  return nullptr;
}

void TfIOPreviews::LocalizeCaptions() {
  SetCaption(Msg(kMsgCaption));
  lblSource->SetCaption(Colon(kMsgOriginal));
  lblPreview->SetCaption(Colon(kMsgResult));
  btnOK->SetCaption(Msg(kMsgOK));
  btnCancel->SetCaption(Msg(kMsgCancel));
  btnPreview->SetCaption(Msg(kMsgPreview));
  chkLockPreview->SetCaption(Msg(kMsgLockPreview));
  btnApply->SetCaption(Msg(kMsgApply));
  const auto labels = [this](std::initializer_list<const char*> names, const std::string& caption) {
    for (const char* name : names)
      if (TControl* control = dynamic_cast<TControl*>(FindComponent(name))) control->SetText(caption);
  };
  labels({"Label23", "Label72"}, Colon(kMsgQuality));
  labels({"Label26"}, Colon(kMsgDct));
  labels({"Label27"}, Colon(kMsgSmoothing));
  labels({"Label57", "Label71", "Label7"}, Colon(kMsgPhotometric));
  CheckBox2->SetCaption(Msg(kMsgHuffman));
  for (const SizeLabels& s : kSizeLabels) {
    if (TLabel* value = Label(s.original)) labels({(value->Name() + "Caption").c_str()}, Colon(kMsgOriginalSize));
    if (TLabel* value = Label(s.compressed)) labels({(value->Name() + "Caption").c_str()}, Colon(kMsgCompressedSize));
  }
  labels({"GroupBox5", "GroupBox2", "GroupBox3"}, Spaced(kMsgAdvanced));
  CheckBox3->SetCaption(Msg(kMsgProgressive));
  labels({"Label66"}, Colon(kMsgRate));
  labels({"Label5", "Label81", "Label37", "Label43", "Label56", "CheckBox1"}, Colon(kMsgCompression));
  labels({"Label6", "Label20"}, Colon(kMsgImageIndex));
  labels({"GroupBox1"}, Spaced(kMsgScanned));
  labels({"Label12", "Label64"}, Colon(kMsgName));
  labels({"Label13", "Label65"}, Colon(kMsgDescription));
  labels({"Label14"}, Colon(kMsgPageName));
  labels({"Label15"}, Colon(kMsgPageNumber));
  labels({"Label16"}, Msg(kMsgOf));
  labels({"Label8"}, Colon(kMsgHorzInch));
  labels({"Label10"}, Colon(kMsgVertInch));
  labels({"Label19", "Label82", "Label21", "Label87", "Label38", "Label44", "Label49", "Label62"}, Colon(kMsgColors));
  labels({"CheckBox4"}, Colon(kMsgTransparent));
  labels({"Label34"}, Colon(kMsgTranspColor));
  labels({"CheckBox5"}, Colon(kMsgInterlaced));
  labels({"CheckBox6"}, Msg(kMsgInterlaced));
  labels({"Label35", "Label54", "Label63"}, Colon(kMsgBackground));
  labels({"Label31"}, Colon(kMsgHorz));
  labels({"Label32"}, Colon(kMsgVert));
  labels({"Label33"}, Colon(kMsgDelay));
  labels({"Label55"}, Colon(kMsgFilter));
  cancelCaption_ = "&" + Msg(kMsgCancel);
}

// ---- activation -------------------------------------------------------------------------

void TfIOPreviews::FormActivate(TObject*) {
  editing_ = true;
  // Activated again (after the palette or colour dialog): the values the
  // user changed stay as they are.
  if (activated_) return;
  if (!IEGetGlobalSettings()->DialogButtonGlyphs)
    for (TBitBtn* button : {btnOK, btnCancel, btnPreview, btnApply}) button->SetGlyph(nullptr);
  chkLockPreview->SetChecked(DefaultLockPreview);
  btnPreview->SetEnabled(!chkLockPreview->Checked());
  btnPreview->SetVisible(!chkLockPreview->Checked());

  PageControl1->SetVisible(false);
  for (int32_t i = 0; i < PageControl1->PageCount(); ++i) PageControl1->Pages(i)->SetTabVisible(false);
  const TIEFileFormatInfo* entry = EditedParams ? IEFindFormatById(EditedParams->FILETYPE) : nullptr;
  const std::pair<TTabSheet*, uint16_t> full[] = {{TabSheetJPEG1, ppJPEG}, {TabSheetTIFF1, ppTIFF},
                                                  {TabSheetGIF1, ppGIF},   {TabSheetBMP1, ppBMP},
                                                  {TabSheetPCX1, ppPCX},   {TabSheetPNG1, ppPNG},
                                                  {TabSheetTGA1, ppTGA},   {TabSheetJ20001, ppJ2000}};
  TTabSheet* active = nullptr;
  for (auto [page, bit] : full) {
    if (simplified_) {
      if (page == TabSheetJPEG1) page = TabSheetJPEG2;
      else if (page == TabSheetTIFF1) page = TabSheetTIFF2;
      else if (page == TabSheetGIF1) page = TabSheetGIF2;
    }
    const bool visible = (pages_ & ppAll) || (pages_ & bit);
    page->SetTabVisible(visible);
    if (visible && entry && (entry->PreviewPages & bit)) active = page;
  }
  if (active) PageControl1->SetActivePage(active);
  else if (TTabSheet* first = PageControl1->FindNextPage(nullptr, true, true)) PageControl1->SetActivePage(first);
  if (simplified_) TrimSimplifiedPages();
  FillTiffCompressionLists();
  const auto* settings = IEGetGlobalSettings();
  for (TImageryView* view : {ienSource, ienPreview}) {
    view->SetChessboardStyle(12, bsSolid);
    view->SetBackground(settings->DialogBackgroundColor);
    view->SetBackgroundStyle(settings->DialogBackgroundStyle);
  }
  PageControl1->SetVisible(true);
  LoadWorkingValues();
  ShowWorkingValues();
  ienSource->Fit();
  Application->ProcessMessages();
  PageControl1Change(PageControl1);
  activated_ = true;
  ComputeResult();
}

void TfIOPreviews::TrimSimplifiedPages() {
  const auto hide = [this](std::initializer_list<const char*> names) {
    for (const char* name : names)
      if (auto* control = dynamic_cast<TControl*>(FindComponent(name))) control->SetVisible(false);
  };
  const auto moveSizes = [this](TTabSheet* page) {
    TLabel* original = OriginalSizeLabel(page);
    TLabel* compressed = CompressedSizeLabel(page);
    Label(original->Name() + "Caption")->SetTop(61);
    Label(compressed->Name() + "Caption")->SetTop(61);
    original->SetTop(77);
    compressed->SetTop(77);
  };
  moveSizes(TabSheetBMP1);
  moveSizes(TabSheetPCX1);
  hide({"Label54", "Panel1", "GroupBox3"});
  moveSizes(TabSheetPNG1);
  hide({"Label63", "Panel5", "Label64", "Edit13", "Label65", "Edit14"});
  moveSizes(TabSheetTGA1);
  hide({"Label71", "ComboBox15"});
  moveSizes(TabSheetJ20001);
}

void TfIOPreviews::FillTiffCompressionLists() {
  for (TComboBox* list : {ComboBox2, ComboBox16}) {
    list->Items()->Clear();
    for (const char* item : {"Uncompressed", "CCITT1D", "G3Fax1D", "G3Fax2D", "G4Fax"}) list->Items()->Add(item);
    if (HasLZW()) list->Items()->Add("LZW");
    for (const char* item : {"JPEG", "Packbits", "ZIP"}) list->Items()->Add(item);
  }
}

// ---- working values ----------------------------------------------------------------------

void TfIOPreviews::LoadWorkingValues() {
  if (!EditedParams) return;
  const TIOParamsVals& p = *EditedParams;
  TIOPreviewsValues& v = values_;
  v.Quality = p.JPEG_QUALITY;
  v.JpegColorSpace = p.JPEG_COLORSPACE;
  if (p.JPEG_DCTMETHOD <= 2) v.DctMethod = p.JPEG_DCTMETHOD;
  v.OptimalHuffman = p.JPEG_OPTIMALHUFFMAN;
  v.Smooth = p.JPEG_SMOOTH;
  v.Progressive = p.JPEG_PROGRESSIVE;
  v.Rate = p.J2000_RATE;
  v.J2000ColorSpace = p.J2000_COLORSPACE;
  v.TiffCompression = p.TIFF_COMPRESSION;
  v.ImageIndex = p.TIFF_IMAGEINDEX;
  v.Photometric = p.TIFF_PHOTOMETINTEPRET;
  v.XPos = p.TIFF_XPOS;
  v.YPos = p.TIFF_YPOS;
  v.DocumentName = p.TIFF_DOCUMENTNAME;
  v.Description = p.TIFF_IMAGEDESCRIPTION;
  v.PageName = p.TIFF_PAGENAME;
  v.PageNumber = p.TIFF_PAGENUMBER;
  v.PageCount = p.TIFF_PAGECOUNT;
  v.BitsPerSample = p.BITSPERSAMPLE;
  v.SamplesPerPixel = p.SAMPLESPERPIXEL;
  v.TIFFLZWDecoder = p.TIFFLZWDecoder;
  v.TIFFLZWEncoder = p.TIFFLZWEncoder;
  v.GifImageIndex = p.GIF_IMAGEINDEX;
  v.GifXPos = p.GIF_XPOS;
  v.GifYPos = p.GIF_YPOS;
  v.GifDelay = p.GIF_DELAYTIME;
  v.GifTransparent = p.GIF_TRANSPARENT;
  v.GifTranspColor = p.GIF_TRANSPCOLOR;
  v.GifInterlaced = p.GIF_INTERLACED;
  v.GifBackground = p.GIF_BACKGROUND;
  v.GifBits = p.BITSPERSAMPLE;
  v.BmpCompression = p.BMP_COMPRESSION;
  v.PcxCompression = p.PCX_COMPRESSION;
  const int32_t s = p.SAMPLESPERPIXEL, b = p.BITSPERSAMPLE;
  if (s == 1 && b == 1) v.BmpColors = v.PcxColors = 0;
  else if (s == 1 && b == 4) v.BmpColors = v.PcxColors = 1;
  else if (s == 1 && b == 8) v.BmpColors = v.PcxColors = 2;
  if (s == 3 && (b == 5 || b == 8)) v.BmpColors = 3;
  if (s == 3) v.PcxColors = 3;
  v.PngColors = v.TgaColors = s == 1 ? (b == 1 ? 0 : 1) : 2;
  v.PngInterlaced = p.PNG_INTERLACED;
  v.PngBackground = p.PNG_BACKGROUND;
  v.PngFilter = p.PNG_FILTER;
  v.PngCompression = p.PNG_COMPRESSION;
  v.TgaBackground = p.TGA_BACKGROUND;
  v.TgaCompressed = p.TGA_COMPRESSED;
  v.TgaImageName = p.TGA_IMAGENAME;
  v.TgaDescriptor = p.TGA_DESCRIPTOR;
}

// TIFF1's colours item from (samples, bits) and the photometric item.
void TfIOPreviews::ShowTiffColours() {
  const TIOPreviewsValues& v = values_;
  int32_t item = -1;
  if (v.SamplesPerPixel == 1) {
    if (v.BitsPerSample == 1) item = 0;
    else if (v.BitsPerSample >= 2 && v.BitsPerSample <= 4) item = 1;
    else if (v.BitsPerSample >= 5 && v.BitsPerSample <= 8) item = 2;
    else if (v.BitsPerSample == 16) item = 3;
  } else if (v.SamplesPerPixel == 3 && v.BitsPerSample == 8) {
    item = 4;
  }
  if (v.Photometric >= 5 && v.Photometric <= 7) item = 4;
  else if (v.Photometric > 1 && item == 0) item = 4;
  else if (v.Photometric <= 1) item = v.BitsPerSample == 1 ? 0 : 2;
  ComboBox4->SetItemIndex(item);
}

void TfIOPreviews::ShowTiff2Colours() {
  TIOPreviewsValues& v = values_;
  if (v.TiffCompression >= 1 && v.TiffCompression <= 4) v.BitsPerSample = v.SamplesPerPixel = 1;
  else if (v.TiffCompression == 7) {
    v.BitsPerSample = 8;
    v.SamplesPerPixel = 3;
  }
  int32_t item = -1;
  if (v.SamplesPerPixel == 1) {
    if (v.BitsPerSample == 1) item = 0;
    else if (v.BitsPerSample >= 2 && v.BitsPerSample <= 4) item = 1;
    else if (v.BitsPerSample >= 5 && v.BitsPerSample <= 8) item = 2;
  } else if (v.SamplesPerPixel == 3 && v.BitsPerSample == 8) {
    item = 3;
  }
  ComboBox17->SetItemIndex(item);
}

void TfIOPreviews::ShowWorkingValues() {
  editing_ = false;
  const TIOPreviewsValues& v = values_;
  TTabSheet* page = PageControl1->ActivePage();
  if (page == TabSheetJPEG1) {
    Edit22->SetText(IntToStr(v.Quality));
    TrackBar13->SetPosition(v.Quality);
    ComboBox13->SetItemIndex(v.JpegColorSpace);
    ComboBox1->SetItemIndex(v.DctMethod);
    Edit23->SetText(IntToStr(v.Smooth));
    UpDown11->SetPosition(v.Smooth);
    CheckBox2->SetChecked(v.OptimalHuffman);
    CheckBox3->SetChecked(v.Progressive);
  } else if (page == TabSheetJPEG2) {
    Edit16->SetText(IntToStr(v.Quality));
    TrackBar2->SetPosition(v.Quality);
  } else if (page == TabSheetTIFF1) {
    ComboBox2->SetItemIndex(IETIFFCompressionToIndex(v.TiffCompression));
    Edit1->SetText(IntToStr(v.ImageIndex));
    ComboBox3->SetItemIndex(v.Photometric);
    ShowTiffColours();
    Edit4->SetText(v.DocumentName);
    Edit5->SetText(v.Description);
    Edit6->SetText(v.PageName);
    Edit7->SetText(IntToStr(v.PageNumber));
    Edit8->SetText(IntToStr(v.PageCount));
    Edit2->SetText(IntToStr(v.XPos));
    Edit3->SetText(IntToStr(v.YPos));
  } else if (page == TabSheetTIFF2) {
    ComboBox16->SetItemIndex(IETIFFCompressionToIndex(v.TiffCompression));
    ShowTiff2Colours();
  } else if (page == TabSheetGIF1) {
    ComboBox5->SetItemIndex(v.GifBits - 1);
    Edit9->SetText(IntToStr(v.GifImageIndex));
    CheckBox4->SetChecked(v.GifTransparent);
    Label("Label34")->SetEnabled(v.GifTransparent);
    Panel3->SetEnabled(v.GifTransparent);
    Panel3->SetColor(SwatchColour(v.GifTranspColor));
    CheckBox5->SetChecked(v.GifInterlaced);
    Panel4->SetColor(SwatchColour(v.GifBackground));
    Edit10->SetText(IntToStr(v.GifXPos));
    Edit11->SetText(IntToStr(v.GifYPos));
    Edit12->SetText(IntToStr(v.GifDelay));
  } else if (page == TabSheetGIF2) {
    ComboBox18->SetItemIndex(v.GifBits - 1);
  } else if (page == TabSheetBMP1) {
    ComboBox6->SetItemIndex(v.BmpCompression);
    ComboBox7->SetItemIndex(v.BmpColors);
  } else if (page == TabSheetPCX1) {
    ComboBox8->SetItemIndex(v.PcxCompression);
    ComboBox9->SetItemIndex(v.PcxColors);
  } else if (page == TabSheetPNG1) {
    ComboBox10->SetItemIndex(v.PngColors);
    Panel1->SetColor(SwatchColour(v.PngBackground));
    ComboBox11->SetItemIndex(v.PngFilter);
    ComboBox12->SetItemIndex(v.PngCompression);
    CheckBox6->SetChecked(v.PngInterlaced);
  } else if (page == TabSheetTGA1) {
    ComboBox14->SetItemIndex(v.TgaColors);
    Panel5->SetColor(SwatchColour(v.TgaBackground));
    CheckBox1->SetChecked(v.TgaCompressed);
    Edit13->SetText(v.TgaImageName);
    Edit14->SetText(v.TgaDescriptor);
  } else if (page == TabSheetJ20001) {
    Edit15->SetText(IntToStr(static_cast<int32_t>(std::lround(v.Rate * 1000))));
    TrackBar1->SetPosition(static_cast<int32_t>(std::lround(v.Rate * 1000)));
    ComboBox15->SetItemIndex(v.J2000ColorSpace);
  }
  if (TLabel* original = OriginalSizeLabel(page)) {
    TIEBitmap* bitmap = ienSource->GetIEBitmap();
    original->SetCaption(IEBytesToStr(int64_t{bitmap->GetRowLength()} * bitmap->GetHeight(), 102400));
  }
  editing_ = true;
}

void TfIOPreviews::ApplyValues() {
  if (!EditedParams) return;
  TIOParamsVals& p = *EditedParams;
  const TIOPreviewsValues& v = values_;
  TTabSheet* page = PageControl1->ActivePage();
  const auto colours = [&p](int32_t bits, int32_t samples) {
    p.BITSPERSAMPLE = bits;
    p.SAMPLESPERPIXEL = samples;
  };
  const auto listedColours = [&](int32_t fileType) {
    const TIOPreviewsValues::TLayout layout = v.ColoursLayout(fileType);
    colours(layout.Bits, layout.Samples);
  };
  if (page == TabSheetJPEG1 || page == TabSheetJPEG2) {
    p.JPEG_QUALITY = v.Quality;
    p.JPEG_COLORSPACE = v.JpegColorSpace;
    p.JPEG_DCTMETHOD = std::min<uint8_t>(v.DctMethod, 2);
    p.JPEG_OPTIMALHUFFMAN = v.OptimalHuffman;
    p.JPEG_SMOOTH = v.Smooth;
    p.JPEG_PROGRESSIVE = v.Progressive;
    p.FILETYPE = 3;
  } else if (page == TabSheetTIFF1 || page == TabSheetTIFF2) {
    p.TIFF_COMPRESSION = v.TiffCompression;
    p.SetImageIndex(v.ImageIndex);
    p.TIFF_PHOTOMETINTEPRET = v.Photometric;
    p.TIFF_XPOS = v.XPos;
    p.TIFF_YPOS = v.YPos;
    p.TIFF_DOCUMENTNAME = v.DocumentName;
    p.TIFF_IMAGEDESCRIPTION = v.Description;
    p.TIFF_PAGENAME = v.PageName;
    p.TIFF_PAGENUMBER = v.PageNumber;
    p.TIFF_PAGECOUNT = v.PageCount;
    colours(v.BitsPerSample, v.SamplesPerPixel);
    p.FILETYPE = 1;
  } else if (page == TabSheetGIF1 || page == TabSheetGIF2) {
    p.SetImageIndex(v.GifImageIndex);
    p.GIF_XPOS = v.GifXPos;
    p.GIF_YPOS = v.GifYPos;
    p.GIF_DELAYTIME = v.GifDelay;
    p.GIF_TRANSPARENT = v.GifTransparent;
    p.GIF_TRANSPCOLOR = v.GifTranspColor;
    p.GIF_INTERLACED = v.GifInterlaced;
    p.GIF_BACKGROUND = v.GifBackground;
    p.BITSPERSAMPLE = v.GifBits;
    p.FILETYPE = 2;
  } else if (page == TabSheetBMP1) {
    p.BMP_COMPRESSION = v.BmpCompression;
    listedColours(5);
    p.FILETYPE = 5;
  } else if (page == TabSheetPCX1) {
    p.PCX_COMPRESSION = v.PcxCompression;
    listedColours(4);
    p.FILETYPE = 4;
  } else if (page == TabSheetPNG1) {
    listedColours(8);
    p.PNG_BACKGROUND = v.PngBackground;
    p.PNG_INTERLACED = v.PngInterlaced;
    p.PNG_FILTER = v.PngFilter;
    p.PNG_COMPRESSION = v.PngCompression;
    p.FILETYPE = 8;
  } else if (page == TabSheetTGA1) {
    listedColours(11);
    p.TGA_BACKGROUND = v.TgaBackground;
    p.TGA_COMPRESSED = v.TgaCompressed;
    p.TGA_IMAGENAME = v.TgaImageName;
    p.TGA_DESCRIPTOR = v.TgaDescriptor;
    p.FILETYPE = 11;
  } else if (page == TabSheetJ20001) {
    static constexpr int32_t kSpaces[][2] = {{1, 0}, {3, 1}, {3, 2}};
    const auto& c = kSpaces[std::clamp<int32_t>(v.J2000ColorSpace, 0, 2)];
    colours(8, c[0]);
    p.J2000_COLORSPACE = static_cast<uint8_t>(c[1]);
    p.J2000_RATE = v.Rate;
    p.FILETYPE = 14;
  }
}

void TfIOPreviews::btnOKClick(TObject*) { ApplyValues(); }

void TfIOPreviews::btnApplyClick(TObject*) {
  ApplyValues();
  btnApply->SetEnabled(false);
}

// ---- layout --------------------------------------------------------------------------------

void TfIOPreviews::FormResize(TObject*) {
  if (!PageControl1 || !btnOK) return;
  // The buttons keep their column at the right edge.
  for (TBitBtn* button : {btnOK, btnCancel, btnPreview, btnApply}) button->SetLeft(ClientWidth() - 98);
  const int32_t g = lblSource->Top();
  const int32_t width = btnOK->Left() - 2 * PageControl1->Left();
  PageControl1->SetWidth(width);
  pbrPreview->SetWidth(width);
  const int32_t viewWidth = (width - PageControl1->Left()) / 2;
  ienSource->SetWidth(viewWidth);
  ienPreview->SetWidth(viewWidth);
  ienPreview->SetLeft(PageControl1->Left() + width - viewWidth);
  lblPreview->SetLeft(ienPreview->Left());
  chkLockPreview->SetTop(ClientHeight() - g - chkLockPreview->Height());
  PageControl1->SetTop(chkLockPreview->Top() - g - PageControl1->Height());
  pbrPreview->SetTop(PageControl1->Top() - g / 2 - pbrPreview->Height());
  const int32_t viewHeight = std::max(pbrPreview->Top() - g / 2 - ienSource->Top(), 1);
  ienSource->SetHeight(viewHeight);
  ienPreview->SetHeight(viewHeight);
  ienSource->Fit();
  ienPreview->SetZoom(ienSource->Zoom());
  if (IEPreviewBackgroundKind == 1 || IEPreviewBackgroundKind == 2) {
    TBitmap* picture = Image1->Picture()->Bitmap();
    if (IEPreviewBackgroundKind == 1) IEPaintStripedBackground(picture, Image1->Width(), Image1->Height());
    else IEPaintNoiseBackground(picture, Image1->Width(), Image1->Height());
  }
  IEGetGlobalSettings()->PreviewDialogWidth = ClientWidth();
  IEGetGlobalSettings()->PreviewDialogHeight = ClientHeight();
}
