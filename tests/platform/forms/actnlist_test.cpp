// Actions and the links controls follow them through: a control takes the
// action's changes while it still shows the action's old value, and either
// side may go first.
#include <gtest/gtest.h>

#include <memory>

#include "platform/forms/actnlist.h"
#include "platform/forms/stdctrls.h"

TEST(Actions, ControlsFollowWhileTheyAgree) {
  TLabel label(nullptr);
  auto action = std::make_unique<TAction>(nullptr);
  auto link = std::make_unique<TControlActionLink>(&label);
  link->SetAction(action.get());
  EXPECT_TRUE(link->IsCaptionLinked()) << "both empty";
  action->SetCaption("Open");
  action->SetHint("Opens a photo");
  action->SetEnabled(false);
  EXPECT_EQ(label.Caption(), "Open");
  EXPECT_EQ(label.Hint(), "Opens a photo");
  EXPECT_FALSE(label.Enabled());
  label.SetCaption("Mine");
  action->SetCaption("Open again");
  EXPECT_EQ(label.Caption(), "Mine") << "a caption of its own is kept";

  int executed = 0;
  EXPECT_FALSE(link->Execute()) << "no handler";
  action->OnExecute = [&](TObject* sender) {
    EXPECT_EQ(sender, action.get());
    ++executed;
  };
  EXPECT_TRUE(link->Execute());
  EXPECT_EQ(executed, 1);

  // The action goes first: the link lets go; a link that goes first leaves the action.
  action.reset();
  EXPECT_EQ(link->Action(), nullptr);
  EXPECT_FALSE(link->Execute());
  action = std::make_unique<TAction>(nullptr);
  link->SetAction(action.get());
  link.reset();
  action->SetCaption("after the link");
  EXPECT_EQ(label.Caption(), "Mine");
}
