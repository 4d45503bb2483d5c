// The about box: the program's name, its licence note and the translators.
#pragma once

#include "platform/forms/forms.h"

class TForm6 : public TForm {
public:
  explicit TForm6(TComponent* owner);
};

extern TForm6* Form6;
