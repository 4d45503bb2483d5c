// The chooser of a generic reference file: one of the toolkit's reference
// files of the common charts, picked from a list.
#pragma once

#include <cstdint>

#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"

class TAdvSmoothPanel;
class TAdvComboBox;
class TAdvGlassButton;

// A chooser row: the chart type it selects in the main window's list and
// its reference file in the toolkit's reference folder.
struct TGenericReference {
  int32_t ChartType;
  const char* FileName;
};
constexpr int32_t GenericReferenceCount = 6;
const TGenericReference& GenericReference(int32_t row);

class TForm8 : public TForm {
public:
  explicit TForm8(TComponent* owner);

  TAdvSmoothPanel* AdvSmoothPanel7 = nullptr;
  TLabel* Label1 = nullptr;
  TAdvComboBox* Ref_List = nullptr;
  TAdvGlassButton *CancelBtn = nullptr, *AdvGlassButton2 = nullptr;

  // Translates the window; a failure is shown as a warning.
  void TranslateForm();
  // The row chosen with OK (-1 when the chooser was cancelled or closed).
  int32_t ChosenRow() const { return chosenRow_; }

private:
  void FormCreate(TObject* sender);
  void AdvGlassButton2Click(TObject* sender);
  void CancelBtnClick(TObject* sender);
  int32_t chosenRow_ = -1;
};

extern TForm8* Form8;
