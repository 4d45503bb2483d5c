// The library's image file dialogs: the open dialog with a preview of the
// selected file beside the list (its PreviewCheck turns the preview on and
// off) and the save dialog that offers only writable formats, keeps the
// extension of the name in step with the chosen type and tells an attached
// I/O component which format the name stands for. Both build their
// file-type filter from the format registry before every run.
//
// Sections: filter | open dialog | save dialog
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "platform/forms/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/stdctrls.h"
#include "platform/rtl/set.h"

class TImageryIO;
class TIOParamsVals;

// ---- filter ------------------------------------------------------------------------

enum TIEShowFormats : uint8_t { iesfAll, iesfImagesOnly, iesfVideosOnly, iesfAllOnly };

// The filter string ("text|pattern|...") of the formats the registry can
// read (open) or write (save): see the dialogs' Execute.
std::string IEBuildFilter(bool saveDialog, TIEShowFormats showFormats, int32_t defaultType, bool multiImageOnly);
// The 1-based entry of the filter whose pattern lists the extension (with
// its dot); 1 when none does.
int32_t IEFilterIndexOfExt(const std::string& filter, const std::string& ext, bool saveDialog);
// The entry of the file type's first extension; 0 for a type without one.
int32_t IEFilterIndexOfFileType(const std::string& filter, int32_t fileTypeId, bool saveDialog);
// The pattern of the 1-based entry (the first for index 1 or less; "" past the end).
std::string IEFilterPattern(const std::string& filter, int32_t index);
// The extension a pattern stands for: ".jpg" for "*.jpg;*.jpeg".
std::string IEFilterPatternExt(const std::string& pattern);
std::string IEStripTrailingSemicolon(const std::string& text);

// ---- open dialog ---------------------------------------------------------------------

// How the file list shows its items (the framework's list has one view:
// kept for the caller, no effect).
enum TIECommonDialogView : uint8_t {
  iedvDefault, iedvSmallIcons, iedvMediumIcons, iedvLargeIcons, iedvExtraLargeIcons, iedvTiles, iedvList, iedvDetails
};
// The preview's room: the default, tall, or large (a wider panel).
enum TIEPreviewSize : uint8_t { iespDefault, iespTall, iespLarge };
// Sender, the object to fill (the I/O component the preview loads through),
// the file, and whether only its parameters are wanted.
using TIEFileDlgPreviewEvent =
    std::function<void(TObject* sender, TObject* viewer, const std::string& fileName, bool paramsOnly)>;

// A folder without its trailing delimiter, except the root ("/", "C:\").
std::string IENormalizeInitialDir(const std::string& dir);

class TOpenImageryDialog : public TOpenDialog {
public:
  explicit TOpenImageryDialog(TComponent* owner);
  ~TOpenImageryDialog() override;
  bool Execute() override;

  // Rebuild Filter from the registry at every run.
  bool AutoSetFilter = true;
  // A file type id: its entry alone (with the all-files entries); -1 for all.
  int32_t AutoSetFilterFileType = -1;
  TIEShowFormats ShowFormats = iesfAll;
  // The file type preselected while FileName is empty (0: the first entry).
  int32_t FilterDefault = 0;
  bool AutoAdjustDPI = false;
  // Stored for the caller: the framework's dialog has no places bar, one
  // list view and its information line inside the preview panel.
  bool ShowPlacesBar = true;
  TIECommonDialogView FileView = iedvDefault;
  bool ExtendedDialog = true;
  TIEPreviewSize PreviewSize = iespDefault;
  // Fired before the dialog is built and after it is gone, every run (also
  // when the run raised).
  TNotifyEvent OnCreateCustomControls, OnDestroyCustomControls;
  // When set it replaces the preview's own load: it fills the I/O component
  // it is handed as the load would.
  TIEFileDlgPreviewEvent OnPreviewFile;
  // Stored normalised (see IENormalizeInitialDir); Execute normalises a
  // folder given through the framework dialog's setter too.
  void SetInitialDir(const std::string& dir) { TOpenDialog::SetInitialDir(IENormalizeInitialDir(dir)); }

  // The preview panel: the box that turns the preview on, the picture and the
  // line with the selected file's size and format. They exist with the
  // dialog and show beside the list while it runs.
  TCheckBox* PreviewCheck() const { return previewCheck_; }
  TImage* PreviewImage() const { return previewImage_; }
  TLabel* InfoLabel() const { return infoLabel_; }
  // The file shown in the preview ("" when none).
  const std::string& PreviewFile() const { return previewFile_; }

protected:
  void DoShow() override;
  void DoClose() override;
  void DoSelectionChange() override;
  virtual bool ShowsPreview() const { return true; }
  virtual bool MultiImageOnly() const { return false; }
  void PrepareFilter();
  void UpdatePreview(const std::string& fileName);
  void ClearPreview();

private:
  TPanel* panel_ = nullptr;
  TCheckBox* previewCheck_ = nullptr;
  TImage* previewImage_ = nullptr;
  TLabel* infoLabel_ = nullptr;
  std::string previewFile_;
};

// ---- save dialog ---------------------------------------------------------------------

enum TIESaveDlgOptItem : uint8_t { sdShowPreview, sdShowAdvanced };
using TIESaveDlgOpt = Set<TIESaveDlgOptItem>;

class TSaveImageryDialog : public TOpenImageryDialog {
public:
  explicit TSaveImageryDialog(TComponent* owner);
  ~TSaveImageryDialog() override;
  bool Execute() override;

  TIESaveDlgOpt ExOptions{sdShowPreview, sdShowAdvanced};
  // The component whose image is saved, an I/O component or an image view
  // (through its I/O component): told the chosen format, its parameters tuned
  // by the Advanced button and put back when the dialog is cancelled. Other
  // values are ignored; a freed component is forgotten.
  TComponent* AttachedImageryIO() const { return attached_; }
  void SetAttachedImageryIO(TComponent* component);
  // The I/O component of the attachment; null without one.
  TImageryIO* AttachedIO() const;

  // "Advanced...": the parameters preview dialog for the chosen format. Shown
  // with sdShowAdvanced and an attachment; enabled while the name stands for
  // a format with preview pages.
  TButton* AdvancedButton() const { return advancedButton_; }
  void AdvancedButtonClick();
  void Notification(TComponent* component, TOperation operation) override;

  // The registry's (preview pages, file type) of the name's extension, else
  // of the default extension, else of the chosen type's pattern.
  void GetCurrentFormat(int32_t& pages, int32_t& fileTypeId) const;
  // The attached component's FILETYPE follows the current format.
  void SyncFileType();
  // The name's extension becomes the chosen type's (only the last extension
  // is replaced: "my.photo.jpg" becomes "my.photo.tif").
  static std::string ReplaceExtension(const std::string& name, const std::string& ext);
  // Whether the name check timer runs (only while the dialog shows).
  bool CheckTimerEnabled() const { return checkTimer_->Enabled(); }

protected:
  // The framework's save dialog: "Save As", "Save in", "&Save", the
  // overwrite question; the filter lists writable formats.
  bool IsSaveDialog() const override { return true; }
  bool ShowsPreview() const override { return ExOptions.Contains(sdShowPreview); }
  void DoShow() override;
  void DoClose() override;
  void DoTypeChange() override;

private:
  std::string CurrentPattern() const;
  // The dialog's name box while it shows.
  TCustomEdit* NameBox() const;
  TComponent* attached_ = nullptr;
  TButton* advancedButton_ = nullptr;
  TTimer* checkTimer_ = nullptr;
};
