// The library's image file dialogs; see ieopensavedlg.h.
#include "imaging/io/ieopensavedlg.h"

#include <algorithm>
#include <cctype>

#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/iemio.h"
#include "imaging/io/imageryio.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/view/imageryview.h"
#include "platform/rtl/files.h"
#include "platform/rtl/sysutils.h"

namespace {

constexpr int32_t kJpegId = 3;
constexpr int32_t kAviId = 15;
constexpr int32_t kMpegId = 23;
constexpr int32_t kWmvId = 22;
constexpr uint16_t kMsgVideoForWindows = 125;
constexpr uint16_t kMsgAllGraphics = 131;
constexpr uint16_t kMsgAllFiles = 132;
constexpr uint16_t kMsgAdvanced = 45;
constexpr uint16_t kMsgPreview = 0;
// The preview panel's width by PreviewSize.
constexpr int kPreviewWidth = 200, kLargePreviewWidth = 300;

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Whether this build reads or writes the entry's format: a built-in entry
// only through a codec of the table that has the reader or writer.
bool CanRead(const TIEFileFormatInfo& info) {
  if (!info.ReadProc) return false;
  if (info.ReadProc != IEBuiltinReadMarker) return true;
  const TIECodecEntry* codec = IEFindCodec(info.FileTypeId);
  return codec && codec->Read;
}

bool CanWrite(const TIEFileFormatInfo& info) {
  if (!info.WriteProc) return false;
  if (info.WriteProc != IEBuiltinWriteMarker) return true;
  const TIECodecEntry* codec = IEFindCodec(info.FileTypeId);
  return codec && codec->Write;
}

// The entry's masks, "*.ext" joined with ";".
std::string EntryPattern(const TIEFileFormatInfo& info) {
  std::string pattern;
  for (int32_t i = 0; i < IEFileFormatExtensionCount(info.FileTypeId); ++i) {
    if (!pattern.empty()) pattern += ";";
    pattern += "*." + Lower(IEFileFormatExtension(info.FileTypeId, i));
  }
  return pattern;
}

// The filter's texts and patterns in turn.
std::vector<std::string> SplitFilter(const std::string& filter) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= filter.size()) {
    const size_t bar = filter.find('|', start);
    parts.push_back(filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return parts;
}

}  // namespace

// ---- filter ------------------------------------------------------------------------

std::string IEBuildFilter(bool saveDialog, TIEShowFormats showFormats, int32_t defaultType, bool multiImageOnly) {
  IEUpdateGIFAvailability();
  std::string list, all, chosen;
  if (showFormats != iesfVideosOnly) {
    for (int32_t i = 0; i < IEFileFormatCount(); ++i) {
      const TIEFileFormatInfo* info = IEFileFormatAt(i);
      if (!info || info->ExtensionList.empty()) continue;
      if (saveDialog ? !CanWrite(*info) || (multiImageOnly && !IEIsMultiImageFormat(info->FileTypeId)) : !CanRead(*info))
        continue;
      const std::string pattern = EntryPattern(*info);
      if (pattern.empty()) continue;
      all += pattern + ";";
      const std::string entry = info->DisplayName + " (" + pattern + ")|" + pattern;
      if (info->FileTypeId == kJpegId) list = "|" + entry + list;
      else list += "|" + entry;
      if (info->FileTypeId == defaultType) chosen = entry;
    }
  }
  if (showFormats != iesfImagesOnly) {
    const auto video = [&](int32_t id, const std::string& text, const std::string& pattern) {
      all += pattern + ";";
      const std::string entry = text + " (" + pattern + ")|" + pattern;
      list += "|" + entry;
      if (defaultType == id) chosen = entry;
    };
    video(kAviId, IEGetLanguageText(kMsgVideoForWindows), "*.avi");
    if (!saveDialog) {
      video(kMpegId, "MPEG", "*.mpeg;*.mpg");
      video(kWmvId, "Windows Media Video", "*.wmv");
    }
  }
  if (saveDialog) return !chosen.empty() ? chosen : list.empty() ? list : list.substr(1);
  const std::string graphics =
      showFormats == iesfAllOnly ? std::string() : IEGetLanguageText(kMsgAllGraphics) + "|" + IEStripTrailingSemicolon(all) + "|";
  const std::string allFiles = IEGetLanguageText(kMsgAllFiles) + " (*.*)|*.*";
  if (!chosen.empty()) return chosen + "|" + graphics + allFiles;
  return graphics + allFiles + list;
}

int32_t IEFilterIndexOfExt(const std::string& filter, const std::string& ext, bool saveDialog) {
  // The entries whose pattern holds the mask "*" + ext; in an open dialog the
  // first of several is the all-graphics entry and the format's own follows.
  const std::string mask = "*" + Lower(ext);
  const std::vector<std::string> parts = SplitFilter(Lower(filter));
  std::vector<int32_t> matches;
  for (size_t i = 1; i < parts.size() && !ext.empty(); i += 2) {
    const std::string pattern = ";" + parts[i] + ";";
    if (pattern.find(";" + mask + ";") != std::string::npos) matches.push_back(static_cast<int32_t>(i / 2) + 1);
  }
  if (matches.empty()) return 1;
  return !saveDialog && matches.size() > 1 ? matches[1] : matches[0];
}

int32_t IEFilterIndexOfFileType(const std::string& filter, int32_t fileTypeId, bool saveDialog) {
  if (IEFileFormatExtensionCount(fileTypeId) == 0) return 0;
  return IEFilterIndexOfExt(filter, "." + IEFileFormatExtension(fileTypeId, 0), saveDialog);
}

std::string IEFilterPattern(const std::string& filter, int32_t index) {
  const std::vector<std::string> parts = SplitFilter(filter);
  const size_t at = static_cast<size_t>(std::max(index, 1) - 1) * 2 + 1;
  return at < parts.size() ? parts[at] : std::string();
}

std::string IEFilterPatternExt(const std::string& pattern) {
  const size_t dot = pattern.find('.');
  if (dot == std::string::npos) return "";
  const size_t semi = pattern.find(';', dot);
  return pattern.substr(dot, semi == std::string::npos ? std::string::npos : semi - dot);
}

std::string IENormalizeInitialDir(const std::string& dir) {
  if (dir.size() < 2 || (dir.back() != '/' && dir.back() != '\\') || dir[dir.size() - 2] == ':') return dir;
  return dir.substr(0, dir.size() - 1);
}

std::string IEStripTrailingSemicolon(const std::string& text) {
  return !text.empty() && text.back() == ';' ? text.substr(0, text.size() - 1) : text;
}

// ---- open dialog ---------------------------------------------------------------------

TOpenImageryDialog::TOpenImageryDialog(TComponent* owner) : TOpenDialog(owner) {
  SetFilter(IEBuildFilter(false, ShowFormats, -1, false));
  panel_ = new TPanel(this);
  panel_->SetName("PreviewPanel");
  panel_->SetBevelOuter(bvNone);
  panel_->SetCaption("");
  previewCheck_ = new TCheckBox(this);
  previewCheck_->SetName("PreviewCheck");
  previewCheck_->SetCaption("Preview");
  previewCheck_->SetChecked(true);
  previewCheck_->OnClick = [this](TObject*) {
    if (previewCheck_->Checked()) UpdatePreview(SelectedFile());
    else ClearPreview();
  };
  previewImage_ = new TImage(this);
  previewImage_->SetName("PreviewImage");
  previewImage_->SetCenter(true);
  infoLabel_ = new TLabel(this);
  infoLabel_->SetName("InfoLabel");
  infoLabel_->SetCaption("");
  infoLabel_->SetAutoSize(false);
}

TOpenImageryDialog::~TOpenImageryDialog() = default;

void TOpenImageryDialog::PrepareFilter() {
  if (AutoSetFilter) SetFilter(IEBuildFilter(IsSaveDialog(), ShowFormats, AutoSetFilterFileType, MultiImageOnly()));
  const std::string ext = ExtractFileExt(FileName());
  if (!ext.empty()) SetFilterIndex(IEFilterIndexOfExt(Filter(), ext, IsSaveDialog()));
  else if (FilterDefault != 0) SetFilterIndex(std::max(IEFilterIndexOfFileType(Filter(), FilterDefault, IsSaveDialog()), 1));
}

bool TOpenImageryDialog::Execute() {
  if (OnCreateCustomControls) OnCreateCustomControls(this);
  struct DestroyAfter {
    TOpenImageryDialog& dialog;
    ~DestroyAfter() {
      if (dialog.OnDestroyCustomControls) dialog.OnDestroyCustomControls(&dialog);
    }
  } destroyAfter{*this};
  previewCheck_->SetCaption(IEGetLanguageText(kMsgPreview));
  PrepareFilter();
  TOpenDialog::SetInitialDir(IENormalizeInitialDir(InitialDir()));
  previewFile_.clear();
  // Without a default extension of the caller's, the chosen type's stands
  // for the run.
  const std::string callersExt = DefaultExt();
  if (callersExt.empty()) SetDefaultExt(IEFilterPatternExt(IEFilterPattern(Filter(), FilterIndex())));
  struct RestoreExt {
    TOpenImageryDialog& dialog;
    std::string ext;
    ~RestoreExt() { dialog.SetDefaultExt(ext); }
  } restoreExt{*this, callersExt};
  return TOpenDialog::Execute();
}

void TOpenImageryDialog::DoShow() {
  TOpenDialog::DoShow();
  TPanel* host = CustomPanel();
  TForm* form = DialogForm();
  if (!host || !form || !ShowsPreview()) return;
  // The preview lies right of the list: the window grows by its width.
  const int kWidth = PreviewSize == iespLarge ? kLargePreviewWidth : kPreviewWidth;
  form->SetClientWidth(form->ClientWidth() + kWidth + 8);
  host->SetBounds(form->ClientWidth() - kWidth - 8, host->Top(), kWidth, host->Height());
  if (auto* list = dynamic_cast<TControl*>(form->FindComponent("FileList")))
    list->SetWidth(host->Left() - 8 - list->Left());
  host->SetVisible(true);
  panel_->SetParent(host);
  panel_->SetAlign(alClient);
  previewCheck_->SetParent(panel_);
  previewCheck_->SetBounds(4, 0, kWidth - 8, 20);
  previewImage_->SetParent(panel_);
  previewImage_->SetBounds(4, 24, kWidth - 8, host->Height() - 48);
  infoLabel_->SetParent(panel_);
  infoLabel_->SetBounds(4, host->Height() - 20, kWidth - 8, 16);
  ClearPreview();
}

void TOpenImageryDialog::DoClose() {
  // The panel outlives the dialog's window.
  panel_->SetParent(nullptr);
  TOpenDialog::DoClose();
}

void TOpenImageryDialog::DoSelectionChange() {
  if (previewCheck_->Checked() && ShowsPreview()) UpdatePreview(SelectedFile());
  TOpenDialog::DoSelectionChange();
}

void TOpenImageryDialog::ClearPreview() {
  previewFile_.clear();
  previewImage_->Picture()->Assign(nullptr);
  infoLabel_->SetCaption("");
}

void TOpenImageryDialog::UpdatePreview(const std::string& fileName) {
  ClearPreview();
  if (fileName.empty() || !FileExists(fileName)) return;
  TImageryIO io(nullptr);
  TIEBitmap* bitmap = io.IEBitmap();
  try {
    // A handler of the caller's loads in the panel's place.
    if (OnPreviewFile)
      OnPreviewFile(this, &io, fileName, false);
    else if (!io.LoadFromFile(fileName, -1) || io.Aborting())
      return;
    if (bitmap->GetWidth() < 1 || bitmap->GetHeight() < 1) return;
  } catch (const std::exception&) {
    return;
  }
  // Shrunk to fit the picture's box, the proportions kept.
  const int32_t boxW = std::max(previewImage_->Width(), 1), boxH = std::max(previewImage_->Height(), 1);
  const int32_t w = bitmap->GetWidth(), h = bitmap->GetHeight();
  const double scale = std::min({1.0, static_cast<double>(boxW) / w, static_cast<double>(boxH) / h});
  const int32_t dw = std::max(1, static_cast<int32_t>(w * scale)), dh = std::max(1, static_cast<int32_t>(h * scale));
  TBitmap* picture = previewImage_->Picture()->Bitmap();
  picture->SetPixelFormat(pf24bit);
  picture->SetSize(dw, dh);
  bitmap->RenderToTBitmap(picture, 0, 0, dw, dh, 0, 0, w, h, false, 255, rfFastLinear, 0, 1.0);
  previewImage_->Invalidate();
  infoLabel_->SetCaption(IntToStr(w) + " x " + IntToStr(h) + " pixels");
  previewFile_ = fileName;
}

// ---- save dialog ---------------------------------------------------------------------

TSaveImageryDialog::TSaveImageryDialog(TComponent* owner) : TOpenImageryDialog(owner) {
  SetFilter(IEBuildFilter(true, ShowFormats, -1, false));
  checkTimer_ = new TTimer(this);
  checkTimer_->SetEnabled(false);
  checkTimer_->SetInterval(100);
  checkTimer_->OnTimer = [this](TObject*) { SyncFileType(); };
  advancedButton_ = new TButton(this);
  advancedButton_->SetName("AdvancedButton");
  advancedButton_->OnClick = [this](TObject*) { AdvancedButtonClick(); };
}

TSaveImageryDialog::~TSaveImageryDialog() = default;

void TSaveImageryDialog::SetAttachedImageryIO(TComponent* component) {
  if (!dynamic_cast<TImageryIO*>(component) && !dynamic_cast<TImageryView*>(component)) return;
  if (attached_) attached_->RemoveFreeNotification(this);
  attached_ = component;
  attached_->FreeNotification(this);
}

TImageryIO* TSaveImageryDialog::AttachedIO() const {
  if (auto* view = dynamic_cast<TImageryView*>(attached_)) return view->GetIO();
  return dynamic_cast<TImageryIO*>(attached_);
}

void TSaveImageryDialog::Notification(TComponent* component, TOperation operation) {
  TOpenImageryDialog::Notification(component, operation);
  if (operation == opRemove && component == attached_) attached_ = nullptr;
}

std::string TSaveImageryDialog::CurrentPattern() const { return IEFilterPattern(Filter(), FilterIndex()); }

TCustomEdit* TSaveImageryDialog::NameBox() const {
  TForm* form = DialogForm();
  return form ? dynamic_cast<TCustomEdit*>(form->FindComponent("FileNameEdit")) : nullptr;
}

void TSaveImageryDialog::GetCurrentFormat(int32_t& pages, int32_t& fileTypeId) const {
  const auto of = [&](const std::string& ext) {
    const TIEFileFormatInfo* info = ext.empty() ? nullptr : IEFindFormatByExtension(Lower(ext));
    pages = info ? info->PreviewPages : 0;
    fileTypeId = info ? info->FileTypeId : 0;
  };
  // While the dialog shows, the name typed in its box.
  const TCustomEdit* box = NameBox();
  const std::string name = box ? box->Text() : FileName();
  const std::string ext = ExtractFileExt(name);
  of(!ext.empty() ? ext : DefaultExt());
  if (pages == 0 && fileTypeId == 0 && !CurrentPattern().empty()) {
    const std::string pattern = CurrentPattern();
    const size_t dot = pattern.rfind('.');
    of(dot == std::string::npos ? std::string() : pattern.substr(dot));
  }
}

void TSaveImageryDialog::SyncFileType() {
  int32_t pages = 0, id = 0;
  GetCurrentFormat(pages, id);
  if (auto* io = dynamic_cast<TImageryIO*>(attached_)) io->Params().FILETYPE = id;
  advancedButton_->SetEnabled(pages != 0);
}

void TSaveImageryDialog::AdvancedButtonClick() {
  TImageryIO* io = AttachedIO();
  int32_t pages = 0, id = 0;
  GetCurrentFormat(pages, id);
  if (!io || pages == 0) return;
  io->Params().FILETYPE = id;
  io->DoPreviews(static_cast<uint16_t>(pages));
}

std::string TSaveImageryDialog::ReplaceExtension(const std::string& name, const std::string& ext) {
  const std::string base = ExtractFileName(name);
  const size_t dot = base.rfind('.');
  return (dot == std::string::npos || dot == 0 ? base : base.substr(0, dot)) + ext;
}

// The check timer runs from the dialog's start to its close. The Advanced
// button takes a row of its own under the file type.
void TSaveImageryDialog::DoShow() {
  checkTimer_->SetEnabled(true);
  TOpenImageryDialog::DoShow();
  PreviewCheck()->SetVisible(ExOptions.Contains(sdShowPreview));
  TForm* form = DialogForm();
  if (!form || !attached_ || !ExOptions.Contains(sdShowAdvanced)) return;
  const int32_t top = form->ClientHeight();
  form->SetClientHeight(top + 31);
  advancedButton_->SetCaption(IEGetLanguageText(kMsgAdvanced) + "...");  // in the current language
  advancedButton_->SetParent(form);
  advancedButton_->SetBounds(104, top, 75, 23);
  advancedButton_->SetAnchors(TAnchors{akLeft, akBottom});
  advancedButton_->SetVisible(true);
  SyncFileType();
}

void TSaveImageryDialog::DoClose() {
  checkTimer_->SetEnabled(false);
  advancedButton_->SetParent(nullptr);
  TOpenImageryDialog::DoClose();
}

void TSaveImageryDialog::DoTypeChange() {
  if (TCustomEdit* edit = NameBox(); edit && !edit->Text().empty())
    edit->SetText(ReplaceExtension(edit->Text(), IEFilterPatternExt(CurrentPattern())));
  SyncFileType();
  TOpenImageryDialog::DoTypeChange();
}

bool TSaveImageryDialog::Execute() {
  TIOParamsVals backup(nullptr);
  if (TImageryIO* io = AttachedIO()) backup.Assign(io->Params());
  SyncFileType();
  bool ok = false;
  try {
    ok = TOpenImageryDialog::Execute();
  } catch (...) {
    checkTimer_->SetEnabled(false);
    throw;
  }
  checkTimer_->SetEnabled(false);
  // Whatever the Advanced button changed goes back (the attachment may have gone meanwhile).
  if (TImageryIO* io = AttachedIO(); !ok && io) io->Params().Assign(backup);
  if (!FileName().empty() && ExtractFileExt(FileName()).empty())
    SetFileName(FileName() + IEFilterPatternExt(CurrentPattern()));
  if (ok) SyncFileType();
  return ok;
}
