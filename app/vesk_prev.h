// The crop preview: the photo enlarged, where the chart is cut out.
#pragma once

#include "platform/forms/forms.h"

class TForm2 : public TForm {
public:
  explicit TForm2(TComponent* owner);

private:
  // Puts the preview's texts into the current language and reloads the
  // language, so that the main window follows it too.
  void FormCreate(TObject* sender);
};

extern TForm2* Form2;
