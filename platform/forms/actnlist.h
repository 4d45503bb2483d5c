// Actions: components that carry a command (its caption, checked and
// enabled state, group, hint, visibility and what it executes) and links
// through which controls follow them. A control holds one link to one
// action; the action tells its links of every change before it stores it,
// so a link can still see whether its client followed the old value.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/classes.h"

class TControl;
class TBasicActionLink;

// An action: OnExecute runs when a linked control is used.
class TBasicAction : public TComponent {
  FORMS_CLASS(TBasicAction)

public:
  explicit TBasicAction(TComponent* owner);
  ~TBasicAction() override;
  // Runs OnExecute; false when there is none.
  virtual bool Execute();
  void RegisterChanges(TBasicActionLink* link);
  void UnRegisterChanges(TBasicActionLink* link);

  TNotifyEvent OnExecute;
  TNotifyEvent OnChange;

protected:
  void Change();
  const std::vector<TBasicActionLink*>& Links() const { return links_; }

private:
  std::vector<TBasicActionLink*> links_;
};

// An action with the look and state of the controls that follow it.
class TCustomAction : public TBasicAction {
  FORMS_CLASS(TCustomAction)

public:
  explicit TCustomAction(TComponent* owner);
  const std::string& Caption() const { return caption_; }
  void SetCaption(const std::string& v);
  bool Checked() const { return checked_; }
  void SetChecked(bool v);
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  int32_t GroupIndex() const { return groupIndex_; }
  void SetGroupIndex(int32_t v);
  const std::string& Hint() const { return hint_; }
  void SetHint(const std::string& v);
  bool Visible() const { return visible_; }
  void SetVisible(bool v);

private:
  std::string caption_, hint_;
  bool checked_ = false, enabled_ = true, visible_ = true;
  int32_t groupIndex_ = 0;
};

class TAction : public TCustomAction {
  FORMS_CLASS(TAction)

public:
  using TCustomAction::TCustomAction;
};

// The link of one client to one action.
class TBasicActionLink {
public:
  TBasicActionLink() = default;
  TBasicActionLink(const TBasicActionLink&) = delete;
  TBasicActionLink& operator=(const TBasicActionLink&) = delete;
  virtual ~TBasicActionLink();

  TBasicAction* Action() const { return action_; }
  void SetAction(TBasicAction* action);
  // Runs the action; false without one or without a handler.
  virtual bool Execute();

  // What the action tells of a change, before it stores the new value.
  virtual void SetCaption(const std::string&) {}
  virtual void SetChecked(bool) {}
  virtual void SetEnabled(bool) {}
  virtual void SetGroupIndex(int32_t) {}
  virtual void SetHint(const std::string&) {}
  virtual void SetVisible(bool) {}

protected:
  // The action as one with a look and state; null for a basic action.
  TCustomAction* CustomAction() const;

private:
  friend class TBasicAction;
  TBasicAction* action_ = nullptr;
};

// A control's link: the control follows the action's caption, enabled
// state, hint and visibility while it showed the action's old value.
class TControlActionLink : public TBasicActionLink {
public:
  explicit TControlActionLink(TControl* client) { AssignClient(client); }
  TControl* Client() const { return client_; }

  bool IsCaptionLinked() const;
  bool IsEnabledLinked() const;
  bool IsHintLinked() const;
  bool IsVisibleLinked() const;
  void SetCaption(const std::string& v) override;
  void SetEnabled(bool v) override;
  void SetHint(const std::string& v) override;
  void SetVisible(bool v) override;

protected:
  virtual void AssignClient(TControl* client) { client_ = client; }

private:
  TControl* client_ = nullptr;
};
