// The language controller; see loccontroller.h.
#include "app/loccontroller.h"

#include "app/loclangman.h"
#include "platform/forms/dialogs.h"
#include "platform/forms/forms.h"
#include "platform/rtl/sysutils.h"

const TClassInfo& TlocController::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TlocController>("TlocController", &TComponent::StaticClassInfo(), [](auto& p) {
        p.Boolean("AutoInitLanguage", &TlocController::AutoInitLanguage, &TlocController::SetAutoInitLanguage)
            .Boolean("DefaultErrorMessage", &TlocController::DefaultErrorMessage,
                     &TlocController::SetDefaultErrorMessage)
            .String("DefaultLangCode", &TlocController::DefaultLangCode, &TlocController::SetDefaultLangCode)
            .Event("OnBeforeLangChange", &TlocController::OnBeforeLangChange)
            .Event("OnError", &TlocController::OnError)
            .Event("OnGetCustomLangManager", &TlocController::OnGetCustomLangManager)
            .Event("OnInitLangManager", &TlocController::OnInitLangManager)
            .Event("OnLanguageChanged", &TlocController::OnLanguageChanged);
      });
  return info;
}

TlocController::TlocController(TComponent* owner) : TComponent(owner) {
  if (TLanguageManager* manager = GetLanguageManager(); manager && !manager->OnLanguageChanged) Hook(*manager);
}

TlocController::~TlocController() {
  if (TLanguageManager* manager = GetLanguageManager(); hooked_ && manager) manager->OnLanguageChanged = nullptr;
}

void TlocController::Hook(TLanguageManager& manager) {
  manager.OnLanguageChanged = [this](TObject* sender) { LanguageChanged(sender); };
  hooked_ = true;
}

TLanguageManager* TlocController::GetLanguageManager() {
  if (OnGetCustomLangManager) {
    TLanguageManager* manager = nullptr;
    OnGetCustomLangManager(this, manager);
    return manager;
  }
  return LanguageManager;
}

std::string TlocController::GetLanguageCode() {
  TLanguageManager* manager = GetLanguageManager();
  return manager ? manager->LanguageCode() : std::string();
}

void TlocController::ReportError(TLanguageManager& manager) {
  if (manager.LastError().empty() || errorShown_) return;
  if (OnError)
    OnError(this);
  else
    ShowError();
}

void TlocController::Loaded() {
  TComponent::Loaded();
  if (ComponentState().Contains(csDesigning)) return;
  TLanguageManager* manager = GetLanguageManager();
  if (!manager) return;
  if (!hooked_ || !manager->LanguageCode().empty()) {
    if (!manager->LanguageCode().empty()) LanguageChanged(manager);
    return;
  }
  std::string code;
  if (OnInitLangManager) {
    const std::string remembered = defaultLangCode_;
    defaultLangCode_.clear();
    OnInitLangManager(this);
    code = defaultLangCode_;
    defaultLangCode_ = remembered;
  }
  errorShown_ = false;
  if (!code.empty()) manager->SetLanguageCode(code);
  if (manager->LanguageCode().empty()) {
    if (autoInitLanguage_) {
      manager->SetLanguageCode(GetUserLanguageCode());
      if (manager->LanguageCode().empty())
        manager->SetLanguageCode(defaultLangCode_.empty() ? std::string("en") : defaultLangCode_);
    } else if (!defaultLangCode_.empty()) {
      manager->SetLanguageCode(defaultLangCode_);
    }
  }
  if (!code.empty()) defaultLangCode_ = code;
  ReportError(*manager);
}

void TlocController::LanguageChanged(TObject* sender) {
  TLanguageManager* manager = GetLanguageManager();
  if (!sender || sender != manager) return;
  if (OnBeforeLangChange) OnBeforeLangChange(this);
  if (Owner() && !manager->TranslateComponent(*Owner())) {
    if (OnError)
      OnError(this);
    else
      ShowError();
    errorShown_ = true;
  }
  if (OnLanguageChanged) OnLanguageChanged(this);
  if (hooked_) {
    PassOn(*manager);
    errorShown_ = true;
  }
}

namespace {

// The first controller among the components of a module or form.
TlocController* FindController(TComponent& container, bool fromLast) {
  const int32_t count = container.ComponentCount();
  for (int32_t i = 0; i < count; ++i) {
    TComponent* c = container.Components(fromLast ? count - 1 - i : i);
    if (auto* controller = dynamic_cast<TlocController*>(c)) return controller;
  }
  return nullptr;
}

}  // namespace

void TlocController::PassOn(TLanguageManager& manager) {
  const bool fromLast = Owner() && Owner()->ComponentCount() / 2 < ComponentIndex() + 1;
  std::vector<TComponent*> containers;
  for (int32_t i = 0; i < Screen->DataModuleCount(); ++i) containers.push_back(Screen->DataModules(i));
  for (int32_t i = 0; i < Screen->FormCount(); ++i) containers.push_back(Screen->Forms(i));
  for (TComponent* container : containers) {
    if (container == Owner()) continue;
    if (TlocController* other = FindController(*container, fromLast)) other->LanguageChanged(&manager);
  }
}

void TlocController::ChangeLanguage(const std::string& code) {
  TLanguageManager* manager = GetLanguageManager();
  if (!manager || SameText(code, manager->LanguageCode())) return;
  if (!manager->OnLanguageChanged) Hook(*manager);
  if (hooked_ && OnInitLangManager && manager->LanguageCode().empty()) OnInitLangManager(this);
  errorShown_ = false;
  manager->SetLanguageCode(code);
  ReportError(*manager);
}

void TlocController::Retranslate() {
  TLanguageManager* manager = GetLanguageManager();
  if (manager && !manager->LanguageCode().empty()) LanguageChanged(manager);
}

bool TlocController::GetLanguages(TStrings& list) {
  TLanguageManager* manager = GetLanguageManager();
  if (!manager) return false;
  const bool ok = manager->GetLanguages(list);
  if (!ok && !manager->LastError().empty()) {
    if (OnError)
      OnError(this);
    else
      ShowError();
  }
  return ok;
}

void TlocController::ShowError() {
  TLanguageManager* manager = GetLanguageManager();
  if (!defaultErrorMessage_ || !manager) return;
  std::string text;
  if (!manager->LanguageCode().empty())
    text += manager->LanguageName() + " (" + manager->LanguageCode() + "): ";
  if (Owner()) text += "[" + Owner()->Name() + " (" + Owner()->ClassName() + ")] ";
  text += manager->LastError();
  MessageDlg(text, mtWarning, {mbOK}, 0);
}
