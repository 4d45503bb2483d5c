// The chooser of a generic reference file.
#pragma once

#include "platform/forms/forms.h"

class TForm8 : public TForm {
public:
  explicit TForm8(TComponent* owner);

private:
  // Puts the chooser's texts into the current language.
  void FormCreate(TObject* sender);
};

extern TForm8* Form8;
