// The crop preview; see vesk_prev.h.
#include "app/vesk_prev.h"

#include "app/loclangman.h"

TForm2* Form2 = nullptr;

TForm2::TForm2(TComponent* owner) : TForm(owner) {
  LoadComponents(*this, [this] {
    SetName("Form2");
    SetPosition(poMainFormCenter);
    OnCreate = [this](TObject* sender) { FormCreate(sender); };
  });
}

void TForm2::FormCreate(TObject*) {
  if (!LanguageManager || LanguageManager->LanguageCode().empty()) return;
  LanguageManager->TranslateComponent(*this);
  LanguageManager->Reload();
}
