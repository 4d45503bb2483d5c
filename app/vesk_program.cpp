// The program's life; see vesk_program.h.
#include "app/vesk_program.h"

#include "app/langconsts.h"
#include "app/loclangman.h"
#include "app/vesk_about.h"
#include "app/vesk_main.h"
#include "app/vesk_prev.h"
#include "app/vesk_ref.h"
#include "imaging/core/ruduvazez_startup.h"
#include "platform/forms/forms.h"
#include "platform/win/com.h"

void VeskUnitsInitialize() {
  RuduvazezUnitInitialize();
  OleInitialize();
  CreateLanguageManager();
}

void VeskUnitsFinalize() {
  FreeLanguageManager();
  ClearMessageConstants();
  OleUninitialize();
  RuduvazezUnitFinalize();
}

void VeskCreateWindows() {
  Application->Initialize();
  LanguageManager->SetLanguageCode(GetUserLanguageCode());
  if (LanguageManager->LanguageCode().empty()) LanguageManager->SetLanguageCode("en");
  Application->SetTitle(ApplicationTitleText);
  Application->CreateForm(Form1);
  Application->CreateForm(Form6);
  Application->CreateForm(Form8);
  Application->CreateForm(Form2);
}

namespace {

template <class T>
void FreeWindow(T*& form) {
  delete form;
  form = nullptr;
}

}  // namespace

void VeskFreeWindows() {
  FreeWindow(Form2);
  FreeWindow(Form8);
  FreeWindow(Form6);
  if (Application->MainForm() == Form1) Application->SetMainForm(nullptr);
  FreeWindow(Form1);
}

int VeskMain() {
  VeskUnitsInitialize();
  VeskCreateWindows();
  Application->Run();
  VeskFreeWindows();
  VeskUnitsFinalize();
  return 0;
}
