// The main window's form description: every component with its name, texts,
// settings, place, tab order and event bindings. The framework reads it when
// the window is created (LoadComponents), so the components carry csLoading
// until all of them exist, and the language controller then applies the
// language in force.
#include <initializer_list>

#include "app/loccontroller.h"
#include "app/vesk_form_parts.h"
#include "app/vesk_main.h"
#include "imaging/io/ieopensavedlg.h"
#include "imaging/view/imageryview.h"
#include "services/dragdropfile.h"
#include "ui/controls/advcombo.h"
#include "ui/controls/advglassbutton.h"
#include "ui/controls/advofficebuttons.h"
#include "ui/controls/advpanel.h"
#include "ui/controls/advsmoothpanel.h"
#include "ui/controls/advspin.h"
#include "ui/controls/dblucomb.h"

namespace {

// The Info button in the caption row of a group.
TAdvGlassButton* InfoButton(TForm1* form, TAdvSmoothPanel* group, const char* name) {
  return Button(form, group, name, "Info", group->Width() - 40, 2, 36, 18,
                [form](TObject* sender) { form->infoBtnClick(sender); });
}

TAdvSpinEdit* FloatSpin(TComponent* owner, TWinControl* parent, const char* name, int x, int y, int32_t precision,
                        double value, double step, double pageStep, double low, double high) {
  auto* s = PlaceControl<TAdvSpinEdit>(owner, parent, name, x, y, 72, 21);
  s->SetSpinType(sptFloat);
  s->SetPrecision(precision);
  s->SetIncrementFloat(step);
  s->SetIncrementFloatPage(pageStep);
  s->SetMinFloatValue(low);
  s->SetMaxFloatValue(high);
  s->SetFloatValue(value);
  s->SetEditAlign(eaCenter);
  return s;
}

TAdvComboBox* LabelledList(TComponent* owner, TWinControl* parent, const char* name, const char* label, int y,
                           std::initializer_list<const char*> items, int32_t selected) {
  auto* c = List(owner, parent, name, 8, y, parent->Width() - 16, items, selected);
  c->SetLabelPosition(lpTopLeft);
  c->SetLabelTransparent(true);  // over the group's gradient, as the other labels
  c->SetLabelCaption(label);
  return c;
}

TDBLUEdit* TextEdit(TComponent* owner, TWinControl* parent, const char* name, const char* text, int y) {
  auto* e = PlaceControl<TDBLUEdit>(owner, parent, name, 8, y, parent->Width() - 16, 21);
  e->SetOEMConvert(true);
  e->SetText(text);
  return e;
}

}  // namespace

void TForm1::BuildComponents() {
  SetName("Form1");
  SetCaption("VeSk v2.0.0.3 - Tundrel");
  SetBorderStyle(bsSingle);
  SetBorderIcons({biSystemMenu, biMinimize});
  SetClientWidth(727);
  SetClientHeight(414);
  Font()->SetName("MS Sans Serif");
  Font()->SetSize(8);
  SetKeyPreview(true);
  OnCreate = [this](TObject* s) { FormCreate(s); };
  OnActivate = [this](TObject* s) { FormActivate(s); };
  OnClose = [this](TObject* s, TCloseAction& a) { FormClose(s, a); };
  OnKeyDown = [this](TObject* s, WORD& k, TShiftState sh) { FormKeyDown(s, k, sh); };

  BuildTargetPanel();
  BuildProfilePanel();
  BuildButtonRow();

  SaveDialog1 = new TSaveDialog(this);
  SaveDialog1->SetName("SaveDialog1");
  SaveDialog1->SetDefaultExt("*.icm");
  SaveDialog1->SetFilter("ICC Profile File (*.icm)|*.icm");
  SaveDialog1->SetOptions({ofOverwritePrompt, ofHideReadOnly, ofEnableSizing});
  OpenDialog1 = new TOpenImageryDialog(this);
  OpenDialog1->SetName("OpenDialog1");
  OpenDialog1->SetTitle("Open Image");
  OpenDialog1->SetFilter("All Files (*.*)|*.*");
  OpenDialog1->SetOptions({ofHideReadOnly, ofPathMustExist, ofFileMustExist, ofEnableSizing});
  OpenDialog2 = new TOpenDialog(this);
  OpenDialog2->SetName("OpenDialog2");
  pumLanguages = new TPopupMenu(this);
  pumLanguages->SetName("pumLanguages");
  pumLanguages->SetAlignment(paCenter);
  loc_lang = new TlocController(this);
  loc_lang->SetName("loc_lang");
  loc_lang->SetDefaultLangCode("en");
  loc_lang->OnLanguageChanged = [this](TObject* s) { loc_langLanguageChanged(s); };
  DropFileTarget1 = new TDropFileTarget(this);
  DropFileTarget1->SetName("DropFileTarget1");
  DropFileTarget1->DragTypes = {dtCopy, dtMove, dtLink};
  DropFileTarget1->OptimizedMove = true;
  DropFileTarget1->WholeWindow = true;
  DropFileTarget1->OnDrop = [this](TObject* s, TShiftState sh, POINTL p, DWORD& e) { DropFileTarget1Drop(s, sh, p, e); };
  DropFileTarget1->SetTarget(Target_Panel);
}

void TForm1::BuildTargetPanel() {
  Target_Panel = Group(this, this, "Target_Panel", " TARGET", 4, 4, 466, 368, true);

  Panel_1 = Group(this, Target_Panel, "Panel_1", " 1. Target Image", 4, 26, 258, 68);
  TargetBtn = Button(this, Panel_1, "TargetBtn", "&Select", 74, 22, 110, 24, [this](TObject* s) { TargetBtnClick(s); });
  ImgLabel = Label(this, Panel_1, "ImgLabel", "*.*", 8, 50, 242, 14, taCenter);
  ImgLabel->SetEllipsisPosition(epEndEllipsis);
  infoBtn_1 = InfoButton(this, Panel_1, "infoBtn_1");

  Panel_3 = Group(this, Target_Panel, "Panel_3", " 3. Reference File", 4, 98, 258, 68);
  genBtn = Button(this, Panel_3, "genBtn", "Gene&ric", 8, 22, 102, 24, [this](TObject* s) { genBtnClick(s); });
  Label3 = Label(this, Panel_3, "Label3", "OR", 112, 27, 34, 14, taCenter);
  refBtn = Button(this, Panel_3, "refBtn", "Custo&m", 148, 22, 102, 24, [this](TObject* s) { RefBtnClick(s); });
  RefLabel = Label(this, Panel_3, "RefLabel", "*.*", 8, 50, 242, 14, taCenter);
  RefLabel->SetEllipsisPosition(epEndEllipsis);
  infoBtn_2 = InfoButton(this, Panel_3, "infoBtn_2");

  Panel_4 = Group(this, Target_Panel, "Panel_4", " 4. Corrections", 4, 170, 258, 70);
  perspectiveBox = PlaceControl<TAdvOfficeCheckBox>(this, Panel_4, "perspectiveBox", 6, 22, 248, 20);
  perspectiveBox->SetCaption("Adjust &For Perspective Distortion");
  perspectiveBox->SetChecked(false);
  Label8 = Label(this, Panel_4, "Label8", "Gamma (norm=2.2)", 8, 48, 150, 14);
  GammaSpin = FloatSpin(this, Panel_4, "GammaSpin", 178, 44, 1, 2.2, 0.1, 1.0, 0.1, 4.0);
  infoBtn_4 = InfoButton(this, Panel_4, "infoBtn_4");

  Panel_5 = Group(this, Target_Panel, "Panel_5", " 5. Tweaks", 4, 244, 258, 116);
  Label5 = Label(this, Panel_5, "Label5", "White Point Adjustment (norm=1)", 8, 22, 166, 42, taLeftJustify, true);
  WP_spin = FloatSpin(this, Panel_5, "WP_spin", 178, 30, 2, 1.0, 0.01, 0.01, 0.5, 1.5);
  Label2 = Label(this, Panel_5, "Label2", "Dark Areas Emphasis Adjustment (norm=1)", 8, 68, 166, 42, taLeftJustify,
                 true);
  dark_spin = FloatSpin(this, Panel_5, "dark_spin", 178, 76, 2, 1.0, 0.01, 0.01, 1.0, 3.0);
  WP_spin->OnExit = [this](TObject* s) { WP_spinExit(s); };
  WP_spin->OnKeyUp = [this](TObject* s, WORD& k, TShiftState sh) { WP_spinKeyUp(s, k, sh); };
  dark_spin->OnExit = [this](TObject* s) { dark_spinExit(s); };
  dark_spin->OnKeyUp = [this](TObject* s, WORD& k, TShiftState sh) { dark_spinKeyUp(s, k, sh); };
  infoBtn_5 = InfoButton(this, Panel_5, "infoBtn_5");

  Panel_2 = Group(this, Target_Panel, "Panel_2", " 2. Visual Check", 266, 26, 196, 190);
  AdvPanel1 = PlaceControl<TAdvPanel>(this, Panel_2, "AdvPanel1", 6, 24, 184, 140);
  AdvPanel1->SetCaption("");
  image1 = PlaceControl<TImageryView>(this, AdvPanel1, "image1", 0, 0, AdvPanel1->ClientWidth(), AdvPanel1->ClientHeight());
  image1->SetAlign(alClient);
  image1->SetHint("Click to Enlarge");
  image1->SetShowHint(true);
  image1->SetBackground(clBlack);
  image1->SetAutoFit(true);
  image1->SetAutoShrink(true);
  image1->SetLegacyBitmap(true);
  image1->SetOnProgress([this](TObject* s, int32_t per) { image1Progress(s, per); });
  image1->OnClick = [this](TObject* s) { image1Click(s); };
  image1->OnKeyPress = [this](TObject* s, char32_t& k) { image1KeyPress(s, k); };
  prog1 = PlaceControl<TProgressBar>(this, Panel_2, "prog1", 6, 170, 184, 12);
  prog1->SetMin(0);
  prog1->SetMax(100);
  prog1->SetVisible(false);
  infoBtn_3 = InfoButton(this, Panel_2, "infoBtn_3");

  Panel_6 = Group(this, Target_Panel, "Panel_6", " 6. Target Type", 266, 220, 196, 140);
  typeList = List(this, Panel_6, "typeList", 6, 24, 184,
                  {"Xrite ColorChecker 24 patch", "Xrite ColorCheckerSG", "Xrite ColorChecker Passport",
                   "CMP Checker 24 patch", "CMP Digital TargeT 003", "CMP Digital Target-4", "CMP Digital Target-7",
                   "HutchColor HCT", "LaserSoft DCPro", "QPcard 201", "QPcard 202", "IT8.7",
                   "LaserSoft Advanced 864 patch", "SpyderChecker", "SpyderCheckr24"},
                  0);
  typeList->SetDropDownCount(11);
  typeList->OnDropUp = [this](TObject* s) { typeListDropUp(s); };
  // Keys on the closed list choose a chart too, with no list to close.
  typeList->OnChange = [this](TObject* s) { typeListDropUp(s); };
  Image2 = PlaceControl<TImage>(this, Panel_6, "Image2", 6, 52, 184, 82);
  Image2->SetCenter(true);
  Image2->SetProportional(true);
  Image2->SetStretch(true);
  infoBtn_6 = InfoButton(this, Panel_6, "infoBtn_6");
}

void TForm1::BuildProfilePanel() {
  Profile_Panel = Group(this, this, "Profile_Panel", " PROFILE", 474, 4, 249, 368, true);

  Panel_7 = Group(this, Profile_Panel, "Panel_7", " 7. Profile Information", 6, 26, 237, 182);
  Label1 = Label(this, Panel_7, "Label1", "Device", 8, 22, 221, 14);
  scanner_edit = TextEdit(this, Panel_7, "scanner_edit", "Camera", 36);
  Label4 = Label(this, Panel_7, "Label4", "Model", 8, 61, 221, 14);
  model_edit = TextEdit(this, Panel_7, "model_edit", "Model", 75);
  Label6 = Label(this, Panel_7, "Label6", "Profile Description", 8, 100, 221, 14);
  descr_edit = TextEdit(this, Panel_7, "descr_edit", "VeSk", 114);
  Label7 = Label(this, Panel_7, "Label7", "Copyright", 8, 139, 221, 14);
  copy_edit = TextEdit(this, Panel_7, "copy_edit", "Copyright_free", 153);
  infoBtn_7 = InfoButton(this, Panel_7, "infoBtn_7");

  Panel_8 = Group(this, Profile_Panel, "Panel_8", " 8. Options", 6, 212, 237, 148);
  algList = LabelledList(this, Panel_8, "algList", "Algorithm:", 38,
                         {"Lab cLUT", "XYZ cLUT", "Gamma + matrix", "Shaper + matrix", "Display XYZ cLUT + matrix",
                          "Matrix only", "Single gamma + matrix", "Single shaper + matrix"},
                         2);
  intent_list = LabelledList(this, Panel_8, "intent_list", "Default Intent:", 78,
                             {"Perceptual", "Relative Colorimetric", "Saturation", "Absolute Colorimetric"}, 0);
  qualList = LabelledList(this, Panel_8, "qualList", "Quality:", 118, {"Low", "Medium", "High", "Ultra High"}, 1);
  infoBtn_8 = InfoButton(this, Panel_8, "infoBtn_8");
}

void TForm1::BuildButtonRow() {
  Panel_Bottom = PlaceControl<TAdvPanel>(this, this, "Panel_Bottom", 0, 376, 727, 38);
  Panel_Bottom->SetAlign(alBottom);
  Panel_Bottom->SetCaption("");
  struct Entry {
    TAdvGlassButton** field;
    const char* name;
    const char* caption;
    TNotifyEvent onClick;
  };
  const Entry entries[] = {
      {&CreateBtn, "CreateBtn", "Create &Profile", [this](TObject* s) { CreateBtnClick(s); }},
      {&LangBtn, "LangBtn", "&Language", [this](TObject* s) { LangBtnClick(s); }},
      {&HelpBtn, "HelpBtn", "&Help", [this](TObject* s) { HelpBtnClick(s); }},
      {&AboutBtn, "AboutBtn", "&About", [this](TObject* s) { AboutBtnClick(s); }},
      {&ArgyllBtn, "ArgyllBtn", "Arg&yll", [this](TObject* s) { ArgyllBtnClick(s); }},
      {&UpgBtn, "UpgBtn", "&Upgrade", [this](TObject* s) { UpgBtnClick(s); }},
      {&ExitBtn, "ExitBtn", "E&xit", [this](TObject* s) { ExitBtnClick(s); }},
  };
  int x = 6;
  for (const Entry& e : entries) {
    *e.field = Button(this, Panel_Bottom, e.name, e.caption, x, 5, 97, 28, e.onClick);
    x += 103;
  }
  int32_t order = 0;
  for (TAdvGlassButton* b : {CreateBtn, ExitBtn, UpgBtn, ArgyllBtn, AboutBtn, HelpBtn, LangBtn}) b->SetTabOrder(order++);
}
