// The parameters preview dialog's components and their places (pixels at
// 96 dpi); see iopreviews.h.
#include "imaging/io/iopreviews.h"

#include "imaging/view/imageryview.h"
#include "imaging/view/imageryview_select.h"

namespace {

TLabel* Lbl(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int32_t left, int32_t top,
            int32_t width = 120) {
  auto* label = PlaceControl<TLabel>(owner, parent, name, left, top, width, 13);
  label->SetAutoSize(false);
  label->SetCaption(caption);
  return label;
}

TComboBox* Combo(TComponent* owner, TWinControl* parent, const char* name, int32_t left, int32_t top, int32_t width,
                 std::initializer_list<const char*> items, TNotifyEvent onChange) {
  auto* combo = PlaceControl<TComboBox>(owner, parent, name, left, top, width, 21);
  combo->SetStyle(csDropDownList);
  for (const char* item : items) combo->Items()->Add(item);
  combo->OnChange = std::move(onChange);
  return combo;
}

TEdit* Edit(TComponent* owner, TWinControl* parent, const char* name, int32_t left, int32_t top, int32_t width,
            TNotifyEvent onChange) {
  auto* edit = PlaceControl<TEdit>(owner, parent, name, left, top, width, 21);
  edit->SetText("");
  edit->OnChange = std::move(onChange);
  return edit;
}

TCheckBox* Check(TComponent* owner, TWinControl* parent, const char* name, const char* caption, int32_t left,
                 int32_t top, int32_t width, TNotifyEvent onClick) {
  auto* check = PlaceControl<TCheckBox>(owner, parent, name, left, top, width, 17);
  check->SetCaption(caption);
  check->OnClick = std::move(onClick);
  return check;
}

TTrackBar* Track(TComponent* owner, TWinControl* parent, const char* name, int32_t left, int32_t top, int32_t width,
                 int32_t max, int32_t frequency, TNotifyEvent onChange) {
  auto* track = PlaceControl<TTrackBar>(owner, parent, name, left, top, width, 25);
  track->SetMax(max);
  track->SetFrequency(frequency);
  track->OnChange = std::move(onChange);
  return track;
}

TUpDown* Spin(TComponent* owner, TEdit* edit, const char* name, int32_t max) {
  auto* spin = new TUpDown(owner);
  spin->SetName(name);
  spin->SetParent(edit->Parent());
  spin->SetMax(max);
  spin->SetAssociate(edit);
  return spin;
}

TPanel* Swatch(TComponent* owner, TWinControl* parent, const char* name, int32_t left, int32_t top,
               TNotifyEvent onClick) {
  auto* panel = PlaceControl<TPanel>(owner, parent, name, left, top, 33, 21);
  panel->SetCaption("");
  panel->SetBevelOuter(bvLowered);
  panel->OnClick = std::move(onClick);
  return panel;
}

TTabSheet* Page(TComponent* owner, TPageControl* pages, const char* name, const char* caption) {
  auto* page = new TTabSheet(owner);
  page->SetName(name);
  page->SetPageControl(pages);
  page->SetCaption(caption);
  return page;
}

}  // namespace

void TfIOPreviews::AddSizeLabels(TTabSheet* page, const char* caption1, const char* value1, const char* caption2,
                                 const char* value2, int32_t left, int32_t top) {
  Lbl(this, page, caption1, "Original size:", left, top, 96);
  Lbl(this, page, value1, "---", left, top + 16, 96);
  Lbl(this, page, caption2, "Compressed size:", left + 100, top, 100);
  Lbl(this, page, value2, "---", left + 100, top + 16, 100);
}

void TfIOPreviews::BuildComponents() {
  SetName("fIOPreviews");
  SetCaption("Parameters Preview");
  SetBorderStyle(bsSizeable);
  SetBorderIcons({biSystemMenu});
  SetPosition(poScreenCenter);
  Font()->SetName("Tahoma");
  Font()->SetHeight(-11);
  SetClientWidth(540);
  SetClientHeight(433);
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnActivate = [this](TObject* s) { FormActivate(s); };
  OnResize = [this](TObject* s) { FormResize(s); };

  Image1 = PlaceControl<TImage>(this, this, "Image1", 0, 0, 540, 433);
  Image1->SetAlign(alClient);
  lblSource = Lbl(this, this, "lblSource", "Original:", 10, 7);
  lblPreview = Lbl(this, this, "lblPreview", "Result:", 227, 7);
  ienSource = PlaceControl<TImageryView>(this, this, "ienSource", 10, 23, 206, 140);
  ienPreview = PlaceControl<TImageryView>(this, this, "ienPreview", 227, 23, 206, 140);
  for (TImageryView* view : {ienSource, ienPreview}) {
    view->SetLegacyBitmap(true);
    view->EnableInteractionHints = true;
    view->SetOnProgress([this](TObject* s, int32_t percent) { ienSourceProgress(s, percent); });
  }
  ienSource->SetMouseInteract({miZoom, miScroll});
  ienSource->OnViewChange = [this](TObject* s, int32_t change) { ienSourceViewChange(s, change); };
  pbrPreview = PlaceControl<TProgressBar>(this, this, "pbrPreview", 10, 167, 423, 10);
  pbrPreview->SetVisible(false);
  PageControl1 = PlaceControl<TPageControl>(this, this, "PageControl1", 10, 180, 423, 217);
  PageControl1->OnChange = [this](TObject* s) { PageControl1Change(s); };
  PageControl1->OnChanging = [this](TObject* s, bool& allow) { PageControl1Changing(s, allow); };

  const auto button = [this](const char* name, const char* caption, int32_t top) {
    auto* b = PlaceControl<TBitBtn>(this, this, name, 442, top, 87, 25);
    b->SetCaption(caption);
    return b;
  };
  btnOK = button("btnOK", "OK", 23);
  btnOK->SetDefault(true);
  btnOK->SetModalResult(mrOk);
  btnOK->OnClick = [this](TObject* s) { btnOKClick(s); };
  btnCancel = button("btnCancel", "Cancel", 54);
  btnCancel->SetCancel(true);
  btnCancel->SetModalResult(mrCancel);
  btnPreview = button("btnPreview", "Preview", 108);
  btnPreview->OnClick = [this](TObject* s) { btnPreviewClick(s); };
  btnApply = button("btnApply", "Apply", 138);
  btnApply->OnClick = [this](TObject* s) { btnApplyClick(s); };
  chkLockPreview = Check(this, this, "chkLockPreview", "Lock preview", 10, 405, 251,
                         [this](TObject* s) { chkLockPreviewClick(s); });
  chkLockPreview->SetHint("Automatically updates your preview with the changes you have selected");
  tmrApplyAct = new TTimer(this);
  tmrApplyAct->SetName("tmrApplyAct");
  tmrApplyAct->SetEnabled(false);
  tmrApplyAct->SetInterval(750);
  tmrApplyAct->OnTimer = [this](TObject* s) { tmrApplyActTimer(s); };

  BuildJpegPages();
  BuildTiffPages();
  BuildGifPages();
  BuildOtherPages();
}

void TfIOPreviews::BuildJpegPages() {
  const TNotifyEvent jpeg = [this](TObject* s) { TrackBar13Change(s); };
  const TNotifyEvent quality = [this](TObject* s) { Edit22Change(s); };
  TabSheetJPEG1 = Page(this, PageControl1, "TabSheetJPEG1", "JPEG");
  Lbl(this, TabSheetJPEG1, "Label23", "Quality:", 8, 8);
  Edit22 = Edit(this, TabSheetJPEG1, "Edit22", 8, 24, 41, quality);
  TrackBar13 = Track(this, TabSheetJPEG1, "TrackBar13", 52, 22, 150, 100, 5, jpeg);
  Lbl(this, TabSheetJPEG1, "Label57", "Photometric:", 8, 52);
  ComboBox13 = Combo(this, TabSheetJPEG1, "ComboBox13", 8, 68, 120, {"RGB", "GrayScale", "YCbCr", "CMYK", "YCbCrK"},
                     jpeg);
  GroupBox5 = PlaceControl<TGroupBox>(this, TabSheetJPEG1, "GroupBox5", 212, 4, 200, 150);
  GroupBox5->SetCaption(" Advanced ");
  Lbl(this, GroupBox5, "Label26", "DCT method:", 8, 18);
  ComboBox1 = Combo(this, GroupBox5, "ComboBox1", 8, 34, 100, {"ISlow", "IFast", "Float"}, jpeg);
  Lbl(this, GroupBox5, "Label27", "Smoothing factor:", 8, 60);
  Edit23 = Edit(this, GroupBox5, "Edit23", 8, 76, 41, quality);
  UpDown11 = Spin(this, Edit23, "UpDown11", 100);
  CheckBox2 = Check(this, GroupBox5, "CheckBox2", "Optimal Huffman", 8, 104, 180, jpeg);
  CheckBox3 = Check(this, GroupBox5, "CheckBox3", "Progressive", 8, 124, 180, jpeg);
  AddSizeLabels(TabSheetJPEG1, "Label4Caption", "Label4", "Label25Caption", "Label25", 8, 140);

  TabSheetJPEG2 = Page(this, PageControl1, "TabSheetJPEG2", "JPEG");
  Lbl(this, TabSheetJPEG2, "Label72", "Quality:", 8, 8);
  Edit16 = Edit(this, TabSheetJPEG2, "Edit16", 8, 24, 41, [this](TObject* s) { Edit16Change(s); });
  TrackBar2 = Track(this, TabSheetJPEG2, "TrackBar2", 52, 22, 200, 100, 5, [this](TObject* s) { TrackBar2Change(s); });
  AddSizeLabels(TabSheetJPEG2, "Label74Caption", "Label74", "Label76Caption", "Label76", 8, 61);
}

void TfIOPreviews::BuildTiffPages() {
  const TNotifyEvent tiff = [this](TObject* s) { ComboBox2Click(s); };
  TabSheetTIFF1 = Page(this, PageControl1, "TabSheetTIFF1", "TIFF");
  Lbl(this, TabSheetTIFF1, "Label5", "Compression:", 8, 8);
  ComboBox2 = Combo(this, TabSheetTIFF1, "ComboBox2", 8, 24, 110, {}, tiff);
  Lbl(this, TabSheetTIFF1, "Label6", "Image index:", 124, 8);
  Edit1 = Edit(this, TabSheetTIFF1, "Edit1", 124, 24, 41, tiff);
  UpDown1 = Spin(this, Edit1, "UpDown1", 1000);
  Lbl(this, TabSheetTIFF1, "Label7", "Photometric:", 8, 50);
  ComboBox3 = Combo(this, TabSheetTIFF1, "ComboBox3", 8, 66, 130,
                    {"WhiteIsZero/Gray", "BlackIsZero/Gray", "RGB", "RGBPalette", "TransPMask", "CMYK", "YCbCr",
                     "CIELab"},
                    tiff);
  Lbl(this, TabSheetTIFF1, "Label19", "Colors:", 144, 50, 60);
  ComboBox4 = Combo(this, TabSheetTIFF1, "ComboBox4", 144, 66, 60, {"B/W", "16", "256", "65,536", "16M"}, tiff);
  GroupBox1 = PlaceControl<TGroupBox>(this, TabSheetTIFF1, "GroupBox1", 212, 4, 200, 178);
  GroupBox1->SetCaption(" Scanned document info ");
  Lbl(this, GroupBox1, "Label12", "Name:", 8, 16, 80);
  Edit4 = Edit(this, GroupBox1, "Edit4", 90, 14, 100, tiff);
  Lbl(this, GroupBox1, "Label13", "Description:", 8, 40, 80);
  Edit5 = Edit(this, GroupBox1, "Edit5", 90, 38, 100, tiff);
  Lbl(this, GroupBox1, "Label14", "Page name:", 8, 64, 80);
  Edit6 = Edit(this, GroupBox1, "Edit6", 90, 62, 100, tiff);
  Lbl(this, GroupBox1, "Label15", "Page number:", 8, 88, 80);
  Edit7 = Edit(this, GroupBox1, "Edit7", 90, 86, 40, tiff);
  Lbl(this, GroupBox1, "Label16", "of", 134, 88, 14);
  Edit8 = Edit(this, GroupBox1, "Edit8", 150, 86, 40, tiff);
  Lbl(this, GroupBox1, "Label8", "Horz. Position (inch):", 8, 112, 120);
  Edit2 = Edit(this, GroupBox1, "Edit2", 130, 110, 60, tiff);
  Lbl(this, GroupBox1, "Label10", "Vert. Position (inch):", 8, 136, 120);
  Edit3 = Edit(this, GroupBox1, "Edit3", 130, 134, 60, tiff);
  AddSizeLabels(TabSheetTIFF1, "Label11Caption", "Label11", "Label18Caption", "Label18", 8, 140);

  TabSheetTIFF2 = Page(this, PageControl1, "TabSheetTIFF2", "TIFF");
  Lbl(this, TabSheetTIFF2, "Label81", "Compression:", 8, 8);
  ComboBox16 = Combo(this, TabSheetTIFF2, "ComboBox16", 8, 24, 110, {}, [this](TObject* s) { ComboBox16Change(s); });
  Lbl(this, TabSheetTIFF2, "Label82", "Colors:", 130, 8, 60);
  ComboBox17 = Combo(this, TabSheetTIFF2, "ComboBox17", 130, 24, 60, {"2", "16", "256", "16M"},
                     [this](TObject* s) { ComboBox16Change(s); });
  AddSizeLabels(TabSheetTIFF2, "Label78Caption", "Label78", "Label80Caption", "Label80", 8, 61);
}

void TfIOPreviews::BuildGifPages() {
  const TNotifyEvent gif = [this](TObject* s) { ComboBox5Click(s); };
  TabSheetGIF1 = Page(this, PageControl1, "TabSheetGIF1", "GIF");
  Lbl(this, TabSheetGIF1, "Label21", "Colors:", 8, 8, 60);
  ComboBox5 = Combo(this, TabSheetGIF1, "ComboBox5", 8, 24, 60, {"B/W", "4", "8", "16", "32", "64", "128", "256"}, gif);
  Lbl(this, TabSheetGIF1, "Label20", "Image index:", 80, 8);
  Edit9 = Edit(this, TabSheetGIF1, "Edit9", 80, 24, 41, gif);
  UpDown2 = Spin(this, Edit9, "UpDown2", 1000);
  CheckBox4 = Check(this, TabSheetGIF1, "CheckBox4", "Transparent:", 8, 54, 100, gif);
  Lbl(this, TabSheetGIF1, "Label34", "Transparent color:", 8, 76, 100);
  Panel3 = Swatch(this, TabSheetGIF1, "Panel3", 110, 72, [this](TObject* s) { Panel3Click(s); });
  CheckBox5 = Check(this, TabSheetGIF1, "CheckBox5", "Interlaced:", 8, 100, 100, gif);
  Lbl(this, TabSheetGIF1, "Label35", "Background:", 8, 124, 100);
  Panel4 = Swatch(this, TabSheetGIF1, "Panel4", 110, 120, [this](TObject* s) { Panel4Click(s); });
  GroupBox2 = PlaceControl<TGroupBox>(this, TabSheetGIF1, "GroupBox2", 212, 4, 200, 100);
  GroupBox2->SetCaption(" Advanced ");
  Lbl(this, GroupBox2, "Label31", "Horz. Position:", 8, 18, 90);
  Edit10 = Edit(this, GroupBox2, "Edit10", 100, 16, 50, gif);
  Lbl(this, GroupBox2, "Label32", "Vert. Position:", 8, 44, 90);
  Edit11 = Edit(this, GroupBox2, "Edit11", 100, 42, 50, gif);
  Lbl(this, GroupBox2, "Label33", "Delay time:", 8, 70, 90);
  Edit12 = Edit(this, GroupBox2, "Edit12", 100, 68, 50, gif);
  Lbl(this, GroupBox2, "Label36", "1/100 s", 154, 70, 40);
  AddSizeLabels(TabSheetGIF1, "Label28Caption", "Label28", "Label30Caption", "Label30", 212, 140);

  TabSheetGIF2 = Page(this, PageControl1, "TabSheetGIF2", "GIF");
  Lbl(this, TabSheetGIF2, "Label87", "Colors:", 8, 8, 60);
  ComboBox18 = Combo(this, TabSheetGIF2, "ComboBox18", 8, 24, 60, {"B/W", "4", "8", "16", "32", "64", "128", "256"},
                     [this](TObject* s) { ComboBox18Change(s); });
  AddSizeLabels(TabSheetGIF2, "Label84Caption", "Label84", "Label86Caption", "Label86", 8, 61);
}

void TfIOPreviews::BuildOtherPages() {
  TabSheetBMP1 = Page(this, PageControl1, "TabSheetBMP1", "BMP");
  const TNotifyEvent bmp = [this](TObject* s) { ComboBox6Change(s); };
  Lbl(this, TabSheetBMP1, "Label37", "Compression:", 8, 8);
  ComboBox6 = Combo(this, TabSheetBMP1, "ComboBox6", 8, 24, 110, {"Uncompressed", "RLE"}, bmp);
  Lbl(this, TabSheetBMP1, "Label38", "Colors:", 130, 8, 80);
  ComboBox7 = Combo(this, TabSheetBMP1, "ComboBox7", 130, 24, 90, {"B/W", "16", "256", "16M", "16M (32bit)"}, bmp);
  AddSizeLabels(TabSheetBMP1, "Label40Caption", "Label40", "Label42Caption", "Label42", 8, 140);

  TabSheetPCX1 = Page(this, PageControl1, "TabSheetPCX1", "PCX");
  const TNotifyEvent pcx = [this](TObject* s) { ComboBox8Change(s); };
  Lbl(this, TabSheetPCX1, "Label43", "Compression:", 8, 8);
  ComboBox8 = Combo(this, TabSheetPCX1, "ComboBox8", 8, 24, 110, {"Uncompressed", "RLE"}, pcx);
  Lbl(this, TabSheetPCX1, "Label44", "Colors:", 130, 8, 80);
  ComboBox9 = Combo(this, TabSheetPCX1, "ComboBox9", 130, 24, 90, {"B/W", "16", "256", "16M"}, pcx);
  AddSizeLabels(TabSheetPCX1, "Label46Caption", "Label46", "Label48Caption", "Label48", 8, 140);

  TabSheetPNG1 = Page(this, PageControl1, "TabSheetPNG1", "PNG");
  const TNotifyEvent png = [this](TObject* s) { ComboBox10Change(s); };
  Lbl(this, TabSheetPNG1, "Label49", "Colors:", 8, 8, 80);
  ComboBox10 = Combo(this, TabSheetPNG1, "ComboBox10", 8, 24, 90, {"B/W", "256", "16M"}, png);
  Lbl(this, TabSheetPNG1, "Label54", "Background:", 8, 54, 80);
  Panel1 = Swatch(this, TabSheetPNG1, "Panel1", 90, 50, [this](TObject* s) { Panel1Click(s); });
  GroupBox3 = PlaceControl<TGroupBox>(this, TabSheetPNG1, "GroupBox3", 212, 4, 200, 120);
  GroupBox3->SetCaption(" Advanced ");
  Lbl(this, GroupBox3, "Label55", "Filter:", 8, 18, 90);
  ComboBox11 = Combo(this, GroupBox3, "ComboBox11", 100, 16, 90, {"None", "Sub", "Paeth"}, png);
  Lbl(this, GroupBox3, "Label56", "Compression:", 8, 46, 90);
  ComboBox12 = Combo(this, GroupBox3, "ComboBox12", 100, 44, 90,
                     {"None", "1", "2", "3", "4", "5", "6", "7", "8", "Max"}, png);
  CheckBox6 = Check(this, GroupBox3, "CheckBox6", "Interlaced", 8, 76, 180, png);
  AddSizeLabels(TabSheetPNG1, "Label51Caption", "Label51", "Label53Caption", "Label53", 8, 140);

  TabSheetTGA1 = Page(this, PageControl1, "TabSheetTGA1", "TGA");
  const TNotifyEvent tga = [this](TObject* s) { ComboBox14Click(s); };
  Lbl(this, TabSheetTGA1, "Label62", "Colors:", 8, 8, 80);
  ComboBox14 = Combo(this, TabSheetTGA1, "ComboBox14", 8, 24, 90, {"B/W", "256", "16M"}, tga);
  CheckBox1 = Check(this, TabSheetTGA1, "CheckBox1", "Compression:", 110, 26, 100, tga);
  Lbl(this, TabSheetTGA1, "Label63", "Background:", 8, 58, 80);
  Panel5 = Swatch(this, TabSheetTGA1, "Panel5", 90, 54, [this](TObject* s) { Panel5Click(s); });
  Lbl(this, TabSheetTGA1, "Label64", "Name:", 212, 8, 90);
  Edit13 = Edit(this, TabSheetTGA1, "Edit13", 212, 24, 190, tga);
  Lbl(this, TabSheetTGA1, "Label65", "Description:", 212, 52, 90);
  Edit14 = Edit(this, TabSheetTGA1, "Edit14", 212, 68, 190, tga);
  AddSizeLabels(TabSheetTGA1, "Label59Caption", "Label59", "Label61Caption", "Label61", 8, 140);

  TabSheetJ20001 = Page(this, PageControl1, "TabSheetJ20001", "JPEG2000");
  const TNotifyEvent rate = [this](TObject* s) { TrackBar1Change(s); };
  Lbl(this, TabSheetJ20001, "Label66", "Rate:", 8, 8);
  Edit15 = Edit(this, TabSheetJ20001, "Edit15", 8, 24, 41, [this](TObject* s) { Edit15Change(s); });
  TrackBar1 = Track(this, TabSheetJ20001, "TrackBar1", 52, 22, 200, 1000, 20, rate);
  Lbl(this, TabSheetJ20001, "Label67", "/1000", 256, 26, 40);
  Lbl(this, TabSheetJ20001, "Label71", "Photometric:", 8, 54);
  ComboBox15 = Combo(this, TabSheetJ20001, "ComboBox15", 8, 70, 120, {"GrayScale", "RGB", "YCbCr"}, rate);
  AddSizeLabels(TabSheetJ20001, "Label68Caption", "Label68", "Label70Caption", "Label70", 8, 140);
}
