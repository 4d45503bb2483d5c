// What the main window shows, headless: the picture of the chart type chosen
// in the list with the mouse or the keys, and its option lists and their
// labels painted whole over the group's gradient, also once the crop preview
// was opened and closed.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/vesk_main.h"
#include "app/vesk_prev.h"
#include "imaging/view/imageryview.h"
#include "platform/forms/extctrls.h"
#include "platform/rtl/files.h"
#include "platform/win/surface.h"
#include "platform/win/user_paint.h"
#include "platform/win/winuser_consts.h"
#include "tests/app/program_fixture.h"
#include "tests/app/window_driving.h"
#include "ui/controls/advcombo.h"

namespace {

const std::string kPhoto = VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif";

// The pixels of a picture drawn at its own size.
std::vector<uint32_t> PixelsOf(TPicture& picture) {
  TBitmap bitmap;
  bitmap.SetPixelFormat(pf32bit);
  bitmap.SetSize(picture.Width(), picture.Height());
  bitmap.Canvas()->Draw(0, 0, picture.Graphic());
  std::vector<uint32_t> pixels;
  for (int32_t y = 0; y < bitmap.Height(); ++y) {
    const auto* row = static_cast<const uint32_t*>(bitmap.ScanLine(y));
    pixels.insert(pixels.end(), row, row + bitmap.Width());
  }
  return pixels;
}

// The picture of a chart file in the program's help folder.
std::vector<uint32_t> ChartPicture(const std::string& name) {
  TPicture picture;
  picture.LoadFromFile(Form1->ProgramFolder + "help" + PathDelim + name);
  return PixelsOf(picture);
}

std::vector<uint32_t> Shown() { return PixelsOf(*Form1->Image2->Picture()); }

// The main window's pixel at a client point of one of its controls.
uint32_t Probe(TControl* control, int x, int y) {
  const POINT p = control->ClientToScreen(POINT{x, y});
  RECT window;
  GetWindowRect(Form1->Handle(), &window);
  const Surface* s = GetWindowSurface(Form1->Handle());
  return s->Row(p.y - window.top)[p.x - window.left];
}

void StartWithPhoto(Program& program) {
  program.Start();
  Form1->Show();
  Settle();
  Form1->ImageFileName = kPhoto;
  Form1->OpenImg(kPhoto);
  Settle();
}

}  // namespace

// The list closes on a choice and the picture follows the chosen type, not
// the one chosen before; so does a choice with the keys on the closed list.
TEST(ChartPicture, FollowsAChoiceByMouseAndByReturn) {
  Program program("en_US.UTF-8");
  StartWithPhoto(program);
  TAdvComboBox* list = Form1->typeList;
  ASSERT_EQ(list->ItemIndex(), 0);
  ASSERT_TRUE(Shown() == ChartPicture("colorchecker.jpg"));
  ASSERT_FALSE(ChartPicture("CMP-003.jpg") == ChartPicture("colorchecker.jpg"));
  ASSERT_FALSE(ChartPicture("HCT.jpg") == ChartPicture("CMP-003.jpg"));

  Click(list);
  ASSERT_TRUE(list->DroppedDown());
  const RECT row = list->DropDownList()->ItemRect(4);
  display::InjectClick(list->DropDownList()->ClientToScreen(POINT{20, (row.top + row.bottom) / 2}));
  Settle();
  EXPECT_FALSE(list->DroppedDown());
  EXPECT_EQ(list->ItemIndex(), 4);
  EXPECT_TRUE(Shown() == ChartPicture("CMP-003.jpg")) << "a mouse choice shows its chart";

  Click(list);
  ASSERT_TRUE(list->DroppedDown());
  for (int i = 0; i < 3; ++i) display::InjectKey(VK_DOWN);
  display::InjectKey(VK_RETURN);
  Settle();
  EXPECT_FALSE(list->DroppedDown());
  EXPECT_EQ(list->ItemIndex(), 7);
  EXPECT_TRUE(Shown() == ChartPicture("HCT.jpg")) << "a choice by Return shows its chart";

  // The arrow keys on the closed list choose without opening it.
  for (int i = 0; i < 3; ++i) display::InjectKey(VK_UP);
  Settle();
  EXPECT_FALSE(list->DroppedDown());
  EXPECT_EQ(list->ItemIndex(), 4);
  EXPECT_TRUE(Shown() == ChartPicture("CMP-003.jpg")) << "a choice by the keys on the closed list shows its chart";
}

// The option lists are painted whole, their labels leave the gradient under
// their text, as the other labels of the window do; also once the preview,
// which reloads the language, was opened and closed.
TEST(MainWindowPainting, OptionListsAndLabelsStayWholeAfterThePreview) {
  Program program("en_US.UTF-8");
  StartWithPhoto(program);
  auto check = [](const char* when) {
    Form1->Update();
    for (TAdvComboBox* list : {Form1->algList, Form1->intent_list, Form1->qualList}) {
      SCOPED_TRACE(std::string(when) + " " + list->Name());
      // Beside the button, and just inside the frame on the left, the same ground.
      const int right = list->ClientWidth() - list->ButtonWidth() - 4;
      EXPECT_EQ(Probe(list, 4, 4), Probe(list, right, 4)) << "the list is painted to its left edge";
      // Over a gradient that runs from top to bottom, a see-through label's
      // ground is what stands right of it on the same line.
      TLabel* label = list->EditLabel().Label();
      ASSERT_NE(label, nullptr);
      EXPECT_EQ(Probe(label, label->Width() - 1, 0), Probe(label, label->Width() + 3, 0)) << label->Caption();
    }
  };
  check("at start");
  WhenActive<TForm2>([](TForm2* preview) { preview->Close(); });
  Click(Form1->image1);
  check("after the preview");
}
