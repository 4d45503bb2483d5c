// Image lists: the change links through which controls learn of changes,
// and their lifetimes on either side.
#include <gtest/gtest.h>

#include <memory>

#include "platform/forms/imglist.h"

TEST(ImageListChanges, LinksHearEveryChangeUntilTheyLeave) {
  auto list = std::make_unique<TImageList>(nullptr);
  int heard = 0;
  TChangeLink link;
  link.OnChange = [&](TObject* sender) {
    EXPECT_EQ(sender, list.get());
    ++heard;
  };
  list->RegisterChanges(&link);
  list->RegisterChanges(&link);
  EXPECT_EQ(link.Sender(), list.get());
  TBitmap image;
  image.SetSize(16, 16);
  list->Add(&image);
  EXPECT_EQ(heard, 1) << "registered twice, told once";
  list->SetWidth(32);  // clears the list
  list->Clear();
  EXPECT_EQ(heard, 3);
  list->UnRegisterChanges(&link);
  list->Add(&image);
  EXPECT_EQ(heard, 3);
  EXPECT_EQ(link.Sender(), nullptr);

  // A link that goes first leaves the list; a list that goes first lets its links go.
  {
    TChangeLink brief;
    brief.OnChange = [&](TObject*) { ++heard; };
    list->RegisterChanges(&brief);
  }
  list->Add(&image);
  EXPECT_EQ(heard, 3);
  list->RegisterChanges(&link);
  list.reset();
  EXPECT_EQ(link.Sender(), nullptr);
}
