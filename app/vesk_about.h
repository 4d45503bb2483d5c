// The about box: the program's name, its licence note, where it comes from
// and the translators.
#pragma once

#include "platform/forms/forms.h"
#include "platform/forms/stdctrls.h"

class TAdvSmoothPanel;
class TAdvGlassButton;

// Where the program's pages are: the maker's site, its contact, the
// installer download and the version page.
inline constexpr char VeskWebSite[] = "https://vesk.tundrel.org/";
inline constexpr char VeskContact[] = "translate@tundrel.org";
inline constexpr char VeskDownloadPage[] = "https://vesk.tundrel.org/download/";
inline constexpr char VeskVersionPage[] = "https://vesk.tundrel.org/version.html";

class TForm6 : public TForm {
public:
  explicit TForm6(TComponent* owner);

  TAdvSmoothPanel* AdvSmoothPanel1 = nullptr;
  TLabel* LinkLabel = nullptr;
  TAdvGlassButton* AdvGlassButton1 = nullptr;

  void AdvGlassButton1Click(TObject* sender);
};

extern TForm6* Form6;
