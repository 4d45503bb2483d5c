// The language controller: a component on a window that ties the window to
// the language manager. It may choose the start-up language, translates its
// window when the language changes and passes the change on to the
// controllers of the other windows.
#pragma once

#include <functional>
#include <string>

#include "platform/forms/classes.h"
#include "platform/rtl/stringlist.h"

class TLanguageManager;

using TlocCtrlGetCustomLangManEvent = std::function<void(TObject* sender, TLanguageManager*& langManager)>;

class TlocController : public TComponent {
  FORMS_CLASS(TlocController)

public:
  explicit TlocController(TComponent* owner);
  ~TlocController() override;

  bool AutoInitLanguage() const { return autoInitLanguage_; }
  void SetAutoInitLanguage(bool v) { autoInitLanguage_ = v; }
  bool DefaultErrorMessage() const { return defaultErrorMessage_; }
  void SetDefaultErrorMessage(bool v) { defaultErrorMessage_ = v; }
  const std::string& DefaultLangCode() const { return defaultLangCode_; }
  void SetDefaultLangCode(const std::string& v) { defaultLangCode_ = v; }

  TNotifyEvent OnBeforeLangChange;
  TNotifyEvent OnError;  // replaces the built-in error dialog
  TlocCtrlGetCustomLangManEvent OnGetCustomLangManager;
  TNotifyEvent OnInitLangManager;  // may set DefaultLangCode to choose the first language
  TNotifyEvent OnLanguageChanged;  // after the owner was translated

  // The manager from OnGetCustomLangManager, else the program's.
  TLanguageManager* GetLanguageManager();
  virtual std::string GetLanguageCode();
  virtual void ChangeLanguage(const std::string& code);
  virtual void ShowError();
  // The manager's change: translate the owner, tell it, and pass it on.
  virtual void LanguageChanged(TObject* sender);
  virtual bool GetLanguages(TStrings& list);
  virtual void Retranslate();

  bool Hooked() const { return hooked_; }
  // After the owner's components were read: applies the language in force,
  // or chooses the first one (OnInitLangManager, the user's language,
  // DefaultLangCode, "en").
  void Loaded() override;

private:
  void Hook(TLanguageManager& manager);
  void ReportError(TLanguageManager& manager);
  void PassOn(TLanguageManager& manager);

  bool autoInitLanguage_ = true;
  bool defaultErrorMessage_ = true;
  std::string defaultLangCode_;
  bool hooked_ = false;
  bool errorShown_ = false;
};
