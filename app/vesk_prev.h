// The crop preview: the photo enlarged with its histogram and the colour
// values under the mouse, where the user drags a rectangle round the chart,
// crops the photo to it and saves the crop as the new photo.
#pragma once

#include <cstdint>
#include <string>

#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"

class TImageryView;
class TImageryProc;
class TImageryIO;
class THistogramBox;
class TAdvSmoothPanel;
class TAdvGlassButton;
class TAdvEdit;
class TSaveImageryDialog;

class TForm2 : public TForm {
public:
  explicit TForm2(TComponent* owner);

  TImageryView* image1 = nullptr;
  TAdvSmoothPanel *AdvSmoothPanel9 = nullptr, *AdvSmoothPanel1 = nullptr;
  THistogramBox* hist1 = nullptr;
  TLabel *R_Label = nullptr, *G_Label = nullptr, *B_Label = nullptr, *Label1 = nullptr, *Label2 = nullptr;
  TAdvEdit *R_edit = nullptr, *G_Edit = nullptr, *B_Edit = nullptr;
  TAdvGlassButton *CropBtn = nullptr, *SaveBtn = nullptr, *CancelBtn = nullptr;
  TImageryProc* ImageryProc1 = nullptr;
  TImageryIO* SaveIO = nullptr;
  TSaveImageryDialog* saveimg1 = nullptr;

  // Translates the window; a failure is shown as a warning.
  void TranslateForm();

  void FormCreate(TObject* sender);
  void FormActivate(TObject* sender);
  void FormClose(TObject* sender, TCloseAction& action);
  void FormKeyDown(TObject* sender, WORD& key, TShiftState shift);
  void Image1MouseDown(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void image1MouseMove(TObject* sender, TShiftState shift, int x, int y);
  void Image1MouseUp(TObject* sender, TMouseButton button, TShiftState shift, int x, int y);
  void CropBtnClick(TObject* sender);
  void SaveBtnClick(TObject* sender);
  void CancelBtnClick(TObject* sender);

private:
  void BuildComponents();
  void ShowSizeOf(const std::string& fileName);
  void UpdateHistogram();
  bool WriteVerified(const std::string& fileName);
  bool selecting_ = false;
};

extern TForm2* Form2;

// What the preview leaves for the main window: the name of the crop saved
// last ("" when none was saved since the window opened), and the dragged
// rectangle's client corners.
extern POINT SelectionStart, SelectionEnd;
extern std::string PreviewSavedName;
