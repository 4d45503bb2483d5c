// A form with one of each standard control. With a file name argument it
// writes a snapshot of the window to that PNG file once shown, and ends.
// With --trace it runs as usual and prints, one line each, where its parts
// are (relative to the form's top-left corner) and what the user did, for a
// script to drive it through a real desktop:
//   at <part> <left> <top> <right> <bottom>     help, combo, create
//   item-height <pixels>                        the combo list's rows
//   ready | command about | quality <text> | box-open <ok-x> <ok-y> | box-closed | resized <width> <height>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "platform/forms/comctrls.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/menus.h"

namespace {

bool tracing = false;

void Trace(const char* format, ...) {
  if (!tracing) return;
  va_list args;
  va_start(args, format);
  std::vprintf(format, args);
  va_end(args);
  std::printf("\n");
  std::fflush(stdout);
}

// A control's rectangle relative to its form's top-left corner.
void TraceAt(const char* part, TForm* form, const TControl* control, RECT r) {
  const POINT a = control->ClientToScreen(POINT{r.left, r.top});
  const POINT b = control->ClientToScreen(POINT{r.right, r.bottom});
  Trace("at %s %d %d %d %d", part, static_cast<int>(a.x - form->Left()), static_cast<int>(a.y - form->Top()),
        static_cast<int>(b.x - form->Left()), static_cast<int>(b.y - form->Top()));
}

class TDemoForm : public TForm {
public:
  explicit TDemoForm(TComponent* owner) : TForm(owner) {
    LoadComponents(*this, [this] { Build(); });
  }

private:
  template <class T>
  T* Make(TWinControl* parent, const char* name, int x, int y, int w, int h) {
    return PlaceControl<T>(this, parent, name, x, y, w, h);
  }

  void Build() {
    SetName("DemoForm");
    SetCaption("Forms demo");
    SetBorderStyle(bsSizeable);
    SetPosition(poScreenCenter);
    SetBounds(0, 0, 640, 490);
    Font()->SetName("MS Sans Serif");
    Font()->SetSize(8);

    auto* mainMenu = new TMainMenu(this);
    auto* fileMenu = AddItem(mainMenu->Items(), "&File", "");
    AddItem(fileMenu, "&Open...", "Ctrl+O");
    AddItem(fileMenu, "&Save", "Ctrl+S");
    AddItem(fileMenu, "-", "");
    AddItem(fileMenu, "E&xit", "")->OnClick = [this](TObject*) { Close(); };
    auto* helpMenu = AddItem(mainMenu->Items(), "&Help", "");
    AddItem(helpMenu, "&About", "F1")->OnClick = [](TObject*) {
      Trace("command about");
      ShowMessage("Forms demo");
      Trace("box-closed");
    };
    SetMenu(mainMenu);

    auto* top = Make<TPanel>(this, "TopPanel", 0, 0, 100, 34);
    top->SetAlign(alTop);
    top->SetCaption("");
    auto* open = Make<TSpeedButton>(top, "OpenButton", 6, 5, 70, 24);
    open->SetCaption("Open");
    open->SetFlat(true);
    auto* save = Make<TSpeedButton>(top, "SaveButton", 78, 5, 70, 24);
    save->SetCaption("Save");
    save->SetFlat(true);
    auto* status = Make<TPanel>(this, "StatusPanel", 0, 0, 100, 22);
    status->SetAlign(alBottom);
    status->SetBevelOuter(bvLowered);
    status->SetAlignment(taLeftJustify);
    status->SetCaption("Ready");

    // The body below the menu bar and the tool bar holds the rest.
    auto* body = Make<TPanel>(this, "BodyPanel", 0, 0, 100, 100);
    body->SetAlign(alClient);
    body->SetBevelOuter(bvNone);
    body->SetCaption("");
    auto* group = Make<TGroupBox>(body, "ProfileGroup", 10, 10, 300, 200);
    group->SetCaption("Profile information");
    auto* l1 = Make<TLabel>(group, "DeviceLabel", 12, 26, 80, 13);
    l1->SetCaption("&Device");
    auto* e1 = Make<TEdit>(group, "DeviceEdit", 100, 22, 185, 21);
    e1->SetText("Camera");
    l1->SetFocusControl(e1);
    auto* l2 = Make<TLabel>(group, "QualityLabel", 12, 56, 80, 13);
    l2->SetCaption("&Quality");
    auto* combo = Make<TComboBox>(group, "QualityList", 100, 52, 185, 21);
    combo->SetStyle(csDropDownList);
    for (const char* s : {"Low", "Medium", "High", "Ultra High"}) combo->Items()->Add(s);
    combo->SetItemIndex(1);
    combo->OnChange = [combo](TObject*) { Trace("quality %s", combo->Text().c_str()); };
    combo_ = combo;
    l2->SetFocusControl(combo);
    auto* l3 = Make<TLabel>(group, "GammaLabel", 12, 86, 80, 13);
    l3->SetCaption("&Gamma");
    auto* gamma = Make<TEdit>(group, "GammaEdit", 100, 82, 60, 21);
    auto* updown = Make<TUpDown>(group, "GammaUpDown", 0, 0, 17, 21);
    updown->SetPosition(22);
    updown->SetAssociate(gamma);
    auto* check = Make<TCheckBox>(group, "PerspectiveBox", 12, 114, 270, 17);
    check->SetCaption("Adjust &for perspective distortion");
    check->SetChecked(true);
    auto* r1 = Make<TRadioButton>(group, "MatrixRadio", 12, 138, 130, 17);
    r1->SetCaption("&Matrix");
    r1->SetChecked(true);
    auto* r2 = Make<TRadioButton>(group, "LutRadio", 150, 138, 130, 17);
    r2->SetCaption("&Look-up table");
    auto* track = Make<TTrackBar>(group, "WhiteTrack", 8, 158, 280, 36);
    track->SetMax(20);
    track->SetPosition(10);

    auto* pages = Make<TPageControl>(body, "Pages", 320, 10, 310, 200);
    const char* captions[] = {"&Chart", "&Targets", "&Notes"};
    TTabSheet* sheets[3];
    for (int i = 0; i < 3; ++i) {
      sheets[i] = new TTabSheet(this);
      sheets[i]->SetName(std::string("Sheet") + std::to_string(i + 1));
      sheets[i]->SetCaption(captions[i]);
      sheets[i]->SetPageControl(pages);
    }
    auto* image = Make<TImage>(sheets[0], "ChartImage", 10, 10, 140, 120);
    TBitmap* bmp = image->Picture()->Bitmap();
    bmp->SetSize(60, 40);
    for (int i = 0; i < 24; ++i) {
      static const TColor kPatches[] = {0x445F73, 0x8296C2, 0x9D7A62, 0x426C57, 0xB18085, 0xAABD67,
                                         0x2C7ED6, 0xA85B50, 0x6355C1, 0x6A3C5E, 0x3CBC9D, 0x2EA2E0};
      bmp->Canvas()->Brush()->SetColor(kPatches[i % 12]);
      bmp->Canvas()->FillRect(RECT{(i % 6) * 10, (i / 6) * 10, (i % 6) * 10 + 10, (i / 6) * 10 + 10});
    }
    image->SetCenter(true);
    image->SetProportional(true);
    image->SetStretch(true);
    auto* list = Make<TListBox>(sheets[0], "TypeList", 160, 10, 135, 120);
    for (const char* s : {"ColorChecker 24", "ColorChecker SG", "IT8.7", "HCT", "QPcard 201", "QPcard 202",
                          "SpyderCheckr 24", "Digital Target"})
      list->Items()->Add(s);
    list->SetItemIndex(2);
    auto* progress = Make<TProgressBar>(sheets[0], "Progress", 10, 140, 285, 16);
    progress->SetPosition(65);
    auto* scroll = Make<TScrollBar>(sheets[1], "Scroll", 10, 10, 280, 17);
    scroll->SetPageSize(20);
    auto* notes = Make<TEdit>(sheets[2], "NotesEdit", 10, 10, 280, 21);
    notes->SetText("Shoot the chart in even light");

    auto* ok = Make<TButton>(body, "CreateButton", 384, 340, 115, 25);
    ok->SetCaption("Create &Profile");
    ok->SetDefault(true);
    ok->OnClick = [](TObject*) {
      ShowMessage("The profile was written.");
      Trace("box-closed");
    };
    create_ = ok;
    OnResize = [this](TObject*) { Trace("resized %d %d", Width(), Height()); };
    auto* close = Make<TBitBtn>(body, "CloseButton", 510, 340, 115, 25);
    close->SetKind(bkClose);
    close->OnClick = [this](TObject*) { Close(); };
    auto* lang = Make<TButton>(body, "LanguageButton", 10, 340, 100, 25);
    lang->SetCaption("&Language");
    menu_ = new TPopupMenu(this);
    for (const char* name : {"English", "Deutsch", "Fran\xC3\xA7" "ais"}) {
      auto* item = new TMenuItem(this);
      item->SetCaption(name);
      item->SetRadioItem(true);
      menu_->Items()->Add(item);
    }
    menu_->Items()->Items(0)->SetChecked(true);
    lang->OnClick = [this, lang](TObject*) {
      const POINT p = lang->ClientToScreen(POINT{0, lang->Height()});
      menu_->Popup(p.x, p.y);
    };
    auto* hint = Make<TLabel>(body, "HintLabel", 10, 222, 610, 100);
    hint->SetAutoSize(false);
    hint->SetWordWrap(true);
    hint->SetCaption(
        "Photograph the chart, choose the picture and its type, check the corrections and create the profile. "
        "Every control on this form can be reached with Tab and used from the keyboard.");
  }

  TMenuItem* AddItem(TMenuItem* parent, const char* caption, const char* shortCut) {
    auto* item = new TMenuItem(this);
    item->SetCaption(caption);
    item->SetShortCut(TextToShortCut(shortCut));
    parent->Add(item);
    return item;
  }

  TPopupMenu* menu_ = nullptr;

public:
  // Where the script finds the parts it uses.
  void TraceLayout() {
    TraceAt("help", this, MenuBar(), MenuBar()->ItemRect(1));
    TraceAt("combo", this, combo_, combo_->ClientRect());
    TraceAt("create", this, create_, create_->ClientRect());
    Trace("item-height %d", static_cast<int>(combo_->ItemHeight()));
  }

private:
  TComboBox* combo_ = nullptr;
  TButton* create_ = nullptr;
};

// A message box that becomes active tells where its OK button is.
void TraceMessageBoxes() {
  Screen->OnActiveFormChange = [](TObject*) {
    TCustomForm* form = Screen->ActiveForm();
    if (!form || !dynamic_cast<TMessageForm*>(form)) return;
    if (auto* ok = dynamic_cast<TControl*>(form->FindComponent("OK"))) {
      const POINT c = ok->ClientToScreen(POINT{ok->Width() / 2, ok->Height() / 2});
      Trace("box-open %d %d", static_cast<int>(c.x - form->Left()), static_cast<int>(c.y - form->Top()));
    }
  };
}

}  // namespace

int main(int argc, char** argv) {
  Application->Initialize();
  Application->SetTitle("Forms demo");
  TDemoForm* form = nullptr;
  Application->CreateForm(form);
  if (argc > 1 && std::strcmp(argv[1], "--trace") == 0) {
    tracing = true;
    TraceMessageBoxes();
    form->Show();
    Application->ProcessMessages();
    form->TraceLayout();
    Trace("ready");
    Application->Run();
    Screen->OnActiveFormChange = nullptr;
    delete form;
    return 0;
  }
  if (argc > 1) {
    form->Show();
    // Let the first paint happen, then snapshot the whole window.
    for (int i = 0; i < 20; ++i) Application->ProcessMessages();
    form->Update();
    const bool ok = SaveWindowSnapshot(form->Handle(), argv[1]);
    std::printf("%s %s\n", ok ? "wrote" : "could not write", argv[1]);
    delete form;
    return ok ? 0 : 1;
  }
  Application->Run();
  delete form;
  return 0;
}
