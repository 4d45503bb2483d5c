// The generic-reference chooser; see vesk_ref.h.
#include "app/vesk_ref.h"

#include "app/loclangman.h"
#include "app/vesk_form_parts.h"
#include "platform/forms/dialogs.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/advsmoothpanel.h"

TForm8* Form8 = nullptr;

const TGenericReference& GenericReference(int32_t row) {
  static const TGenericReference kRows[GenericReferenceCount] = {
      {0, "ColorChecker.cie"}, {2, "ColorCheckerPassport.cie"}, {9, "QPcard_201.cie"},
      {10, "QPcard_202.cie"},  {13, "SpyderChecker.cie"},       {14, "SpyderChecker24.cie"}};
  return kRows[row >= 0 && row < GenericReferenceCount ? row : 0];
}

TForm8::TForm8(TComponent* owner) : TForm(owner) {
  LoadComponents(*this, [this] {
    SetName("Form8");
    SetCaption("VeSk");
    SetBorderStyle(bsDialog);
    SetBorderIcons({biSystemMenu});
    SetPosition(poMainFormCenter);
    SetClientWidth(367);
    SetClientHeight(135);
    OnCreate = [this](TObject* sender) { FormCreate(sender); };
    AdvSmoothPanel7 = Group(this, this, "AdvSmoothPanel7", "", 0, 0, 367, 135);
    AdvSmoothPanel7->SetAlign(alClient);
    Label1 = Label(this, AdvSmoothPanel7, "Label1", "Select Generic Reference Type", 16, 14, 335, 16, taCenter);
    Ref_List = List(this, AdvSmoothPanel7, "Ref_List", 40, 40, 287,
                    {"Xrite ColorChecker (24 patches)", "Xrite ColorChecker Passport", "QPcard 201", "QPcard 202",
                     "SpyderChecker", "SpyderChecker 24"},
                    0);
    AdvGlassButton2 = Button(this, AdvSmoothPanel7, "AdvGlassButton2", "&OK", 64, 88, 110, 28,
                             [this](TObject* s) { AdvGlassButton2Click(s); });
    CancelBtn = Button(this, AdvSmoothPanel7, "CancelBtn", "&Cancel", 194, 88, 110, 28,
                       [this](TObject* s) { CancelBtnClick(s); });
  });
}

void TForm8::TranslateForm() {
  if (!LanguageManager || LanguageManager->LanguageCode().empty()) return;
  if (!LanguageManager->TranslateComponent(*this))
    MessageDlg(LanguageManager->LanguageName() + " (" + LanguageManager->LanguageCode() + "): [" + Name() + " (" +
                   ClassName() + ")] " + LanguageManager->LastError(),
               mtWarning, {mbOK}, 0);
}

void TForm8::FormCreate(TObject*) { TranslateForm(); }

void TForm8::AdvGlassButton2Click(TObject*) {
  chosenRow_ = Ref_List->ItemIndex();
  SetModalResult(chosenRow_ >= 0 ? mrOk : mrCancel);
}

void TForm8::CancelBtnClick(TObject*) {
  chosenRow_ = -1;
  SetModalResult(mrCancel);
}
