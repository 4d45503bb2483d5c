// The about box; see vesk_about.h.
#include "app/vesk_about.h"

TForm6* Form6 = nullptr;

TForm6::TForm6(TComponent* owner) : TForm(owner) {
  LoadComponents(*this, [this] {
    SetName("Form6");
    SetBorderStyle(bsNone);
    SetPosition(poMainFormCenter);
    SetClientWidth(434);
    SetClientHeight(359);
  });
}
