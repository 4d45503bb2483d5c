// What the crop preview shows, headless: no caret in its colour value boxes
// while the mouse runs over the photo, and the size of the crop once Crop
// was pressed.
#include <gtest/gtest.h>

#include <string>

#include "app/vesk_main.h"
#include "app/vesk_prev.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/view/imageryview.h"
#include "tests/app/program_fixture.h"
#include "tests/app/window_driving.h"
#include "ui/controls/advedit.h"
#include "ui/controls/advglassbutton.h"

TEST(CropPreview, ShowsNoCaretInItsValueBoxesAndTheSizeOfTheCrop) {
  Program program("en_US.UTF-8");
  program.Start();
  Form1->Show();
  Settle();
  const std::string photo = VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld.jpg";
  Form1->ImageFileName = photo;
  Form1->OpenImg(photo);

  // Shown as the main window shows it, once activated and waiting for the user.
  auto* preview = new TForm2(nullptr);
  preview->Show();
  Settle();
  EXPECT_EQ(preview->Label2->Caption(), "1024 x 768 pixels");
  TImageryView* view = preview->image1;
  const POINT from = view->ClientToScreen(POINT{view->Width() / 4, view->Height() / 4});
  const POINT to = view->ClientToScreen(POINT{view->Width() / 2, view->Height() / 2});
  // The mouse runs over the photo: its values show, the keyboard stays off them.
  display::InjectMouseMove(from);
  Settle();
  EXPECT_NE(preview->R_edit->Text(), "") << "the value under the mouse is shown";
  POINT caret;
  EXPECT_FALSE(GetCaretPos(&caret)) << "a caret stands in the window at " << caret.x << "," << caret.y;
  for (TAdvEdit* box : {preview->R_edit, preview->G_Edit, preview->B_Edit})
    EXPECT_NE(GetFocus(), box->Handle()) << box->Name() << " holds the keyboard";

  display::InjectMouseDown(from);
  display::InjectMouseMove(to);
  display::InjectMouseUp(to);
  Settle();
  Click(preview->CropBtn);
  const int32_t width = view->GetIEBitmap()->GetWidth(), height = view->GetIEBitmap()->GetHeight();
  ASSERT_LT(width, 1024);
  EXPECT_EQ(preview->Label2->Caption(), std::to_string(width) + " x " + std::to_string(height) + " pixels");
  delete preview;
}
