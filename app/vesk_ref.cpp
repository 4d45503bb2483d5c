// The generic-reference chooser; see vesk_ref.h.
#include "app/vesk_ref.h"

#include "app/loclangman.h"

TForm8* Form8 = nullptr;

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
  });
}

void TForm8::FormCreate(TObject*) {
  if (LanguageManager && !LanguageManager->LanguageCode().empty()) LanguageManager->TranslateComponent(*this);
}
