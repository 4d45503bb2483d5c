// The main window's ways in and out: the photo from the open dialog or
// dropped on the TARGET panel, the crop preview, the generic reference
// chooser, the help and documentation pages, the about box and the version
// check.
//
// Sections: photo | preview | reference | pages
#include <memory>

#include "app/langconsts.h"
#include "app/vesk_about.h"
#include "app/vesk_form_parts.h"
#include "app/vesk_main.h"
#include "app/vesk_prev.h"
#include "app/vesk_ref.h"
#include "imaging/io/ieopensavedlg.h"
#include "imaging/io/imageryio.h"
#include "imaging/view/imageryview.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"
#include "platform/win/process.h"
#include "platform/win/registry.h"
#include "services/dragdropfile.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advglassbutton.h"

namespace {

constexpr WORD kF1 = 112;

// The default value of the HTML pages' open command ("" when there is none).
std::string HtmlOpenCommand() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_CLASSES_ROOT, "\\htmlfile\\shell\\open\\command", 0, KEY_QUERY_VALUE, &key) != 0) return "";
  std::string command;
  DWORD size = 0, type = 0;
  if (RegQueryValueExA(key, "", nullptr, &type, nullptr, &size) == 0 && size > 0 && size < 65536) {
    command.resize(size);
    if (RegQueryValueExA(key, "", nullptr, &type, reinterpret_cast<BYTE*>(command.data()), &size) != 0) command.clear();
    command.resize(std::min<size_t>(size, command.size()));
    while (!command.empty() && command.back() == '\0') command.pop_back();
  }
  RegCloseKey(key);
  return command;
}

}  // namespace

// ---- photo ------------------------------------------------------------------------------

void TForm1::TargetBtnClick(TObject*) {
  OpenDialog1->PreviewCheck()->SetChecked(false);
  OpenDialog1->SetInitialDir(TargetFolder);
  OpenDialog1->SetFileName("");
  if (OpenDialog1->Execute()) {
    Screen->SetCursor(crHourGlass);
    prog1->SetPosition(0);
    prog1->SetVisible(true);
    TargetFolder = ExtractFilePath(OpenDialog1->FileName());
    TakePhoto(OpenDialog1->FileName());
    SetChoiceMark(TargetBtn, true);
  } else {
    BlankView();
    SetChoiceMark(TargetBtn, false);
  }
  Screen->SetCursor(crDefault);
  prog1->SetVisible(false);
}

// A photo that cannot be loaded leaves neither the old image under the new
// name nor a name without an image: the view is blank and no photo is named.
void TForm1::TakePhoto(const std::string& fileName) {
  if (OpenImg(fileName)) {
    ImageFileName = fileName;
    ImgLabel->SetCaption(ExtractFileName(fileName));
  } else {
    ImageFileName.clear();
    ImgLabel->SetCaption("*.*");
  }
}

bool TForm1::OpenImg(const std::string& fileName) {
  bool loaded = false;
  try {
    // By content first: a camera's DNG is a TIFF by its name.
    loaded = image1->GetIO()->LoadFromFileAuto(fileName) && !image1->GetIO()->Aborting();
  } catch (const std::exception&) {
    loaded = false;
  }
  if (loaded) return true;
  BlankView();
  Screen->SetCursor(crDefault);
  Application->MessageBox(msgOpenImageError.empty() ? std::string("Error opening the image.") : msgOpenImageError,
                          Application->Title(), MB_ICONINFORMATION);
  return false;
}

// A file dropped on the TARGET panel (or anywhere on the window where the
// desktop cannot tell the point) is taken as the photo; several files at
// once are refused.
void TForm1::DropFileTarget1Drop(TObject*, TShiftState, POINTL, DWORD& effect) {
  TStrings* files = DropFileTarget1->GetFiles();
  if (files->Count() != 1 || !FileExists(files->Strings(0))) {
    effect = DROPEFFECT_NONE;
    return;
  }
  TakePhoto(files->Strings(0));
  if (ImageFileName.empty()) effect = DROPEFFECT_NONE;
}

// ---- preview ------------------------------------------------------------------------------

void TForm1::image1Click(TObject*) {
  TIEBitmap* bitmap = image1->GetIEBitmap();
  if (!bitmap || bitmap->GetWidth() <= 1) {
    Application->MessageBox(msgNoImage.empty() ? std::string("No image to view") : msgNoImage, Application->Title(),
                            MB_ICONINFORMATION);
    return;
  }
  {
    std::unique_ptr<TForm2> preview(new TForm2(nullptr));
    if (!msgPreviewCaption.empty()) preview->SetCaption(msgPreviewCaption);
    preview->ShowModal();
  }
  if (!PreviewSavedName.empty()) ImageFileName = PreviewSavedName;
  if (ImageFileName.empty()) return;
  image1->GetIO()->LoadFromFile(ImageFileName, -1);
  ImgLabel->SetCaption(ExtractFileName(ImageFileName));
}

void TForm1::image1KeyPress(TObject* sender, char32_t&) { image1Click(sender); }

// ---- reference ------------------------------------------------------------------------------

void TForm1::genBtnClick(TObject*) {
  int32_t row = -1;
  {
    std::unique_ptr<TForm8> chooser(new TForm8(nullptr));
    if (chooser->ShowModal() == mrOk) row = chooser->ChosenRow();
  }
  if (row < 0) {
    SetChoiceMark(genBtn, false);
    SetChoiceMark(refBtn, false);
    return;
  }
  const TGenericReference& reference = GenericReference(row);
  typeList->SetItemIndex(reference.ChartType);
  ReferenceFileName = ProgramFolder + "argyll" + PathDelim + "ref" + PathDelim + reference.FileName;
  RefLabel->SetCaption(reference.FileName);
  SetChoiceMark(genBtn, true);
  SetChoiceMark(refBtn, false);
  typeListDropUp(this);
}

// ---- pages ------------------------------------------------------------------------------------


std::function<bool(const std::string&, const std::string&)> BrowseOpener = [](const std::string& program,
                                                                             const std::string& target) {
  return SpawnDetached({program.empty() ? std::string(DesktopOpener) : program, target});
};

namespace {
// Says that nothing could open the target, in the user's language.
bool ReportNoOpener(const std::string& target) {
  const std::string text = msgNoOpener.empty() ? std::string(NoOpenerText) : msgNoOpener;
  Application->MessageBox(text + "\r\r" + target, Application->Title(), MB_ICONWARNING);
  return false;
}
}  // namespace

bool BrowseURL(const std::string& target) {
  const std::string command = HtmlOpenCommand();
  if (command.empty()) return ReportNoOpener(target);
  // The program is the command's first quoted part; a placeholder there
  // (the desktop's own `xdg-open "%1"`) leaves the page to the desktop's opener.
  std::string program;
  const size_t open = command.find('"');
  const size_t close = open == std::string::npos ? open : command.find('"', open + 1);
  if (close != std::string::npos) program = command.substr(open + 1, close - open - 1);
  if (program.find("%1") != std::string::npos) program.clear();
  if (program.empty() && close == std::string::npos) return true;  // nothing useful to start
  return BrowseOpener(program, target) || ReportNoOpener(target);
}

std::string GetVersionText() { return "2.0.0.3"; }

void TForm1::HelpBtnClick(TObject*) { BrowseURL(HelpFileName); }

void TForm1::FormKeyDown(TObject*, WORD& key, TShiftState) {
  if (key == kF1) BrowseURL(ProgramFolder + "help" + PathDelim + "vesk.html");
}

void TForm1::ArgyllBtnClick(TObject*) {
  BrowseURL(ProgramFolder + "argyll" + PathDelim + "doc" + PathDelim + "ArgyllDoc.html");
}

void TForm1::AboutBtnClick(TObject*) {
  if (Form6) Form6->ShowModal();
}

void TForm1::UpgBtnClick(TObject*) {
  ShowMessage(msgVersionIs + " " + GetVersionText() + "\r\n\n" + msgVersionCheck + "\r\n\n" + VeskDownloadPage);
  BrowseURL(VeskVersionPage);
}
