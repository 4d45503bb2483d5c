// The crop preview; see vesk_prev.h.
#include "app/vesk_prev.h"

#include <algorithm>
#include <filesystem>

#include "app/langconsts.h"
#include "app/loclangman.h"
#include "app/vesk_form_parts.h"
#include "app/vesk_main.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/ieopensavedlg.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/processing/imageryproc_component.h"
#include "imaging/view/histogrambox.h"
#include "imaging/view/imageryview.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/winuser_consts.h"
#include "ui/controls/advedit.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/advsmoothpanel.h"

TForm2* Form2 = nullptr;
POINT SelectionStart{}, SelectionEnd{};
std::string PreviewSavedName;

namespace {

constexpr WORD kEscape = 27;

// A box that shows a colour value: read only and out of the tab order, so
// the window does not open with a caret in it.
TAdvEdit* ValueEdit(TComponent* owner, TWinControl* parent, const char* name, int y) {
  auto* e = PlaceControl<TAdvEdit>(owner, parent, name, 70, y, 90, 21);
  e->SetReadOnly(true);
  e->SetTabStop(false);
  e->SetText("");
  return e;
}

std::string SizeText(int32_t width, int32_t height) {
  return IntToStr(width) + " x " + IntToStr(height) + " " + msgPixels;
}

}  // namespace

TForm2::TForm2(TComponent* owner) : TForm(owner) {
  LoadComponents(*this, [this] { BuildComponents(); });
}

void TForm2::BuildComponents() {
  SetName("Form2");
  SetCaption("VeSk Preview");
  SetBorderStyle(bsSizeable);
  SetBorderIcons({biSystemMenu, biMaximize});
  SetClientWidth(746);
  SetClientHeight(561);
  SetFormStyle(fsStayOnTop);
  SetKeyPreview(true);
  SetPosition(poMainFormCenter);
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnActivate = [this](TObject* s) { FormActivate(s); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
  OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { FormKeyDown(s, k, sh); };

  constexpr int kSide = 180;
  AdvSmoothPanel9 = Group(this, this, "AdvSmoothPanel9", "Histogram", 746 - kSide, 0, kSide, 561);
  AdvSmoothPanel9->SetAlign(alRight);
  hist1 = PlaceControl<THistogramBox>(this, AdvSmoothPanel9, "hist1", 8, 26, kSide - 16, 130);
  hist1->SetGrayColor(static_cast<TColor>(8487297));
  R_Label = Label(this, AdvSmoothPanel9, "R_Label", "Red", 8, 170, 60, 16);
  G_Label = Label(this, AdvSmoothPanel9, "G_Label", "Green", 8, 198, 60, 16);
  B_Label = Label(this, AdvSmoothPanel9, "B_Label", "Blue", 8, 226, 60, 16);
  R_edit = ValueEdit(this, AdvSmoothPanel9, "R_edit", 166);
  G_Edit = ValueEdit(this, AdvSmoothPanel9, "G_Edit", 194);
  B_Edit = ValueEdit(this, AdvSmoothPanel9, "B_Edit", 222);
  CropBtn = Button(this, AdvSmoothPanel9, "CropBtn", "C&rop", 8, 262, kSide - 16, 28,
                   [this](TObject* s) { CropBtnClick(s); });
  SaveBtn = Button(this, AdvSmoothPanel9, "SaveBtn", "&Save As", 8, 296, kSide - 16, 28,
                   [this](TObject* s) { SaveBtnClick(s); });
  AdvSmoothPanel1 = Group(this, AdvSmoothPanel9, "AdvSmoothPanel1", "", 4, 400, kSide - 8, 150);
  Label1 = Label(this, AdvSmoothPanel1, "Label1", "", 4, 20, kSide - 16, 32, taCenter, true);
  Label1->SetEllipsisPosition(epWordEllipsis);
  Label2 = Label(this, AdvSmoothPanel1, "Label2", "", 4, 56, kSide - 16, 32, taCenter, true);
  Label2->SetEllipsisPosition(epWordEllipsis);
  CancelBtn = Button(this, AdvSmoothPanel1, "CancelBtn", "&Close", 4, 110, kSide - 16, 28,
                     [this](TObject* s) { CancelBtnClick(s); });

  // The view fills the window left of the side panel, 12 pixels above its bottom.
  auto* margin = PlaceControl<TPanel>(this, this, "BottomMargin", 0, 561 - 12, 746 - kSide, 12);
  margin->SetAlign(alBottom);
  margin->SetBevelOuter(bvNone);
  margin->SetCaption("");
  margin->SetColor(clBlack);
  image1 = PlaceControl<TImageryView>(this, this, "image1", 0, 0, 746 - kSide, 561 - 12);
  image1->SetAlign(alClient);
  image1->SetBackground(clBlack);
  image1->SetLegacyBitmap(false);
  image1->SetAutoShrink(true);
  image1->OnMouseDown = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image1MouseDown(s, b, sh, x, y);
  };
  image1->OnMouseMove = [this](TObject* s, TShiftState sh, int x, int y) { image1MouseMove(s, sh, x, y); };
  image1->OnMouseUp = [this](TObject* s, TMouseButton b, TShiftState sh, int x, int y) {
    Image1MouseUp(s, b, sh, x, y);
  };
  image1->OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { FormKeyDown(s, k, sh); };

  ImageryProc1 = new TImageryProc(this);
  ImageryProc1->SetName("ImageryProc1");
  hist1->SetAttachedImageryProc(ImageryProc1);
  SaveIO = new TImageryIO(this);
  SaveIO->SetName("SaveIO");
  saveimg1 = new TSaveImageryDialog(this);
  saveimg1->SetName("saveimg1");
  saveimg1->FilterDefault = 1;
  saveimg1->SetOptions({ofOverwritePrompt, ofHideReadOnly, ofPathMustExist});
  saveimg1->AutoAdjustDPI = true;
  saveimg1->ShowFormats = iesfImagesOnly;
  saveimg1->ExOptions = {};
  saveimg1->SetAttachedImageryIO(SaveIO);
}

void TForm2::TranslateForm() {
  if (!LanguageManager || LanguageManager->LanguageCode().empty()) return;
  if (!LanguageManager->TranslateComponent(*this))
    MessageDlg(LanguageManager->LanguageName() + " (" + LanguageManager->LanguageCode() + "): [" + Name() + " (" +
                   ClassName() + ")] " + LanguageManager->LastError(),
               mtWarning, {mbOK}, 0);
}

void TForm2::FormCreate(TObject*) {
  TranslateForm();
  SetLeft(10);
  SetTop(60);
  if (LanguageManager && !LanguageManager->LanguageCode().empty()) LanguageManager->Reload();
}

void TForm2::UpdateHistogram() {
  ImageryProc1->SetAttachedBitmap(image1->GetIEBitmap());
  hist1->Update();
}

void TForm2::ShowSizeOf(const std::string& fileName) {
  if (!FileExists(fileName)) return;
  TImageryIO* io = image1->GetIO();
  io->ParamsFromFile(fileName);
  Label2->SetCaption(SizeText(io->Params().WIDTH, io->Params().HEIGHT));
}

void TForm2::FormActivate(TObject*) {
  if (!msgPreviewCaption.empty()) SetCaption(msgPreviewCaption);
  Screen->SetCursor(crHourGlass);
  if (Form1) {
    image1->AssignImage(Form1->image1);
    Label1->SetCaption(Form1->ImgLabel->Caption());
  }
  UpdateHistogram();
  if (Form1) ShowSizeOf(Form1->ImageFileName);
  Screen->SetCursor(crDefault);
  SelectionStart = SelectionEnd = POINT{0, 0};
  PreviewSavedName.clear();
}

void TForm2::FormClose(TObject*, TCloseAction& action) { action = caFree; }

void TForm2::FormKeyDown(TObject*, WORD& key, TShiftState) {
  if (key == kEscape) Close();
}

void TForm2::Image1MouseDown(TObject*, TMouseButton button, TShiftState, int x, int y) {
  if (button != mbLeft) return;
  image1->SetMouseInteract(TIEMouseInteract{miSelect});
  SelectionStart = POINT{x, y};
  selecting_ = true;
  image1->SetCursor(crCross);
}

void TForm2::Image1MouseUp(TObject*, TMouseButton button, TShiftState, int x, int y) {
  if (button == mbLeft && selecting_) {
    SelectionEnd = POINT{x, y};
    image1->Select(SelectionStart.x, SelectionStart.y, SelectionEnd.x, SelectionEnd.y, 0);
  }
  selecting_ = false;
  image1->SetCursor(crDefault);
}

void TForm2::image1MouseMove(TObject*, TShiftState, int x, int y) {
  TIEBitmap* bitmap = image1->GetIEBitmap();
  if (!bitmap || bitmap->GetWidth() < 1 || bitmap->GetHeight() < 1) return;
  const int32_t column = std::clamp(image1->ClientToBitmapX(x), 0, bitmap->GetWidth() - 1);
  const int32_t row = std::clamp(image1->ClientToBitmapY(y), 0, bitmap->GetHeight() - 1);
  TRGB rgb;
  bitmap->GetPixelRGB(column, row, rgb);
  R_edit->SetText(IntToStr(rgb.r));
  G_Edit->SetText(IntToStr(rgb.g));
  B_Edit->SetText(IntToStr(rgb.b));
}

// Any selection is cropped to, also one whose drag ended on the view's left
// or top edge. The size shown is then the crop's.
void TForm2::CropBtnClick(TObject*) {
  if (!image1->Selected()) return;
  image1->GetProc()->CropSel(false);
  image1->Update();
  image1->Deselect();
  UpdateHistogram();
  Label2->SetCaption(SizeText(image1->GetIEBitmap()->GetWidth(), image1->GetIEBitmap()->GetHeight()));
}

// The crop is written beside the chosen name and takes its place only when
// it reads back as an image of its size, so a failed save neither records
// the name nor spoils a file that was there; a failure is reported.
bool TForm2::WriteVerified(const std::string& fileName) {
  const std::string partial = ExtractFilePath(fileName) + ".~" + ExtractFileName(fileName);
  TImageryIO* io = image1->GetIO();
  TIEBitmap* bitmap = image1->GetIEBitmap();
  bool written = false;
  try {
    io->SaveToFile(partial, -1);
    if (!io->Aborting() && FileExists(partial)) {
      io->ParamsFromFile(partial);
      written = !io->Aborting() && io->Params().WIDTH == bitmap->GetWidth() && io->Params().HEIGHT == bitmap->GetHeight();
    }
  } catch (const std::exception&) {
    written = false;
  }
  std::error_code error;
  if (written) std::filesystem::rename(partial, fileName, error);
  if (!written || error) std::filesystem::remove(partial, error);
  return written && FileExists(fileName) && !FileExists(partial);
}

void TForm2::SaveBtnClick(TObject*) {
  if (!saveimg1->Execute()) return;
  const std::string fileName = saveimg1->FileName();
  if (!WriteVerified(fileName)) {
    Application->MessageBox(msgImageNotSaved + "\r\r" + fileName, Application->Title(),
                            MB_ICONWARNING);
    return;
  }
  PreviewSavedName = fileName;
  Label1->SetCaption(ExtractFileName(fileName));
  ShowSizeOf(fileName);
  UpdateHistogram();
}

void TForm2::CancelBtnClick(TObject*) { Close(); }
