#include "platform/forms/actnlist.h"

#include <algorithm>

#include "platform/forms/controls.h"
#include "platform/forms/properties.h"

// ---- TBasicAction ----

const TClassInfo& TBasicAction::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TBasicAction>(
      "TBasicAction", &TComponent::StaticClassInfo(),
      [](TPublished<TBasicAction>& p) { p.Event("OnExecute", &TBasicAction::OnExecute); });
  return info;
}

TBasicAction::TBasicAction(TComponent* owner) : TComponent(owner) {}

TBasicAction::~TBasicAction() {
  for (TBasicActionLink* link : links_) link->action_ = nullptr;
}

bool TBasicAction::Execute() {
  if (!OnExecute) return false;
  OnExecute(this);
  return true;
}

void TBasicAction::RegisterChanges(TBasicActionLink* link) {
  if (std::find(links_.begin(), links_.end(), link) == links_.end()) links_.push_back(link);
}

void TBasicAction::UnRegisterChanges(TBasicActionLink* link) { std::erase(links_, link); }

void TBasicAction::Change() {
  if (OnChange) OnChange(this);
}

// ---- TCustomAction ----

const TClassInfo& TCustomAction::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCustomAction>(
      "TCustomAction", &TBasicAction::StaticClassInfo(), [](TPublished<TCustomAction>& p) {
        using A = TCustomAction;
        p.String("Caption", &A::Caption, &A::SetCaption)
            .Boolean("Checked", &A::Checked, &A::SetChecked)
            .Boolean("Enabled", &A::Enabled, &A::SetEnabled)
            .Integer("GroupIndex", &A::GroupIndex, &A::SetGroupIndex)
            .String("Hint", &A::Hint, &A::SetHint)
            .Boolean("Visible", &A::Visible, &A::SetVisible);
      });
  return info;
}

const TClassInfo& TAction::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TAction>("TAction", &TCustomAction::StaticClassInfo());
  return info;
}

TCustomAction::TCustomAction(TComponent* owner) : TBasicAction(owner) {}

namespace {
// Tells every link of the new value, then stores it and reports the change.
template <class T, class Tell>
void ChangeAll(const std::vector<TBasicActionLink*>& links, T& field, const T& value, Tell tell) {
  if (field == value) return;
  const std::vector<TBasicActionLink*> copy = links;  // a client may let go of its link
  for (TBasicActionLink* link : copy) tell(link);
  field = value;
}
}  // namespace

void TCustomAction::SetCaption(const std::string& v) {
  ChangeAll(Links(), caption_, v, [&](TBasicActionLink* l) { l->SetCaption(v); });
  Change();
}
void TCustomAction::SetChecked(bool v) {
  ChangeAll(Links(), checked_, v, [&](TBasicActionLink* l) { l->SetChecked(v); });
  Change();
}
void TCustomAction::SetEnabled(bool v) {
  ChangeAll(Links(), enabled_, v, [&](TBasicActionLink* l) { l->SetEnabled(v); });
  Change();
}
void TCustomAction::SetGroupIndex(int32_t v) {
  ChangeAll(Links(), groupIndex_, v, [&](TBasicActionLink* l) { l->SetGroupIndex(v); });
  Change();
}
void TCustomAction::SetHint(const std::string& v) {
  ChangeAll(Links(), hint_, v, [&](TBasicActionLink* l) { l->SetHint(v); });
  Change();
}
void TCustomAction::SetVisible(bool v) {
  ChangeAll(Links(), visible_, v, [&](TBasicActionLink* l) { l->SetVisible(v); });
  Change();
}

// ---- links ----

TBasicActionLink::~TBasicActionLink() {
  if (action_) action_->UnRegisterChanges(this);
}

void TBasicActionLink::SetAction(TBasicAction* action) {
  if (action == action_) return;
  if (action_) action_->UnRegisterChanges(this);
  action_ = action;
  if (action_) action_->RegisterChanges(this);
}

bool TBasicActionLink::Execute() { return action_ && action_->Execute(); }

TCustomAction* TBasicActionLink::CustomAction() const { return dynamic_cast<TCustomAction*>(action_); }

bool TControlActionLink::IsCaptionLinked() const {
  return client_ && CustomAction() && client_->Caption() == CustomAction()->Caption();
}
bool TControlActionLink::IsEnabledLinked() const {
  return client_ && CustomAction() && client_->Enabled() == CustomAction()->Enabled();
}
bool TControlActionLink::IsHintLinked() const {
  return client_ && CustomAction() && client_->Hint() == CustomAction()->Hint();
}
bool TControlActionLink::IsVisibleLinked() const {
  return client_ && CustomAction() && client_->Visible() == CustomAction()->Visible();
}

void TControlActionLink::SetCaption(const std::string& v) {
  if (IsCaptionLinked()) client_->SetCaption(v);
}
void TControlActionLink::SetEnabled(bool v) {
  if (IsEnabledLinked()) client_->SetEnabled(v);
}
void TControlActionLink::SetHint(const std::string& v) {
  if (IsHintLinked()) client_->SetHint(v);
}
void TControlActionLink::SetVisible(bool v) {
  if (IsVisibleLinked()) client_->SetVisible(v);
}
