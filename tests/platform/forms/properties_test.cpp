// Published properties: every kind set and read as text by path, and the
// errors a caller shows for unknown names and bad values.
#include "platform/forms/properties.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/rtl/stringlist.h"

namespace {

enum TSide { sdLeft, sdTop, sdRight, sdBottom };
const TEnumNames sideNames{"sdLeft", "sdTop", "sdRight", "sdBottom"};

const TIntegerIdents colorIdents{
    [](int64_t v, std::string& text) {
      if (v != 0xFF) return false;
      text = "clRed";
      return true;
    },
    [](const std::string& text, int64_t& v) {
      if (text != "clRed") return false;
      v = 0xFF;
      return true;
    }};

// A sub-object with properties of its own, like a font or a caption.
class TCaptionText : public TPersistent {
  FORMS_CLASS(TCaptionText)

public:
  std::string text;
  int16_t size = 8;
};

const TClassInfo& TCaptionText::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TCaptionText>(
      "TCaptionText", &TPersistent::StaticClassInfo(), [](TPublished<TCaptionText>& p) {
        p.String("Text", [](const TCaptionText& c) { return c.text; },
                 [](TCaptionText& c, const std::string& v) { c.text = v; });
        p.Integer("Size", [](const TCaptionText& c) { return c.size; }, [](TCaptionText& c, int16_t v) { c.size = v; });
      });
  return info;
}

class TCell : public TCollectionItem {
  FORMS_CLASS(TCell)

public:
  using TCollectionItem::TCollectionItem;
  std::string value;
};

const TClassInfo& TCell::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TCell>("TCell", &TCollectionItem::StaticClassInfo(), [](TPublished<TCell>& p) {
        p.String("Value", [](const TCell& c) { return c.value; }, [](TCell& c, const std::string& v) { c.value = v; });
      });
  return info;
}

// One property of every kind.
class TGadget : public TComponent {
  FORMS_CLASS(TGadget)

public:
  using TComponent::TComponent;
  int32_t Width() const { return width_; }
  void SetWidth(int32_t v) { width_ = v; }
  int32_t Color() const { return color_; }
  void SetColor(int32_t v) { color_ = v; }
  double Ratio() const { return ratio_; }
  void SetRatio(double v) { ratio_ = v; }
  std::string Caption() const { return caption_; }
  void SetCaption(const std::string& v) { caption_ = v; }
  bool Checked() const { return checked_; }
  void SetChecked(bool v) { checked_ = v; }
  TSide Side() const { return side_; }
  void SetSide(TSide v) { side_ = v; }
  Set<TSide> Sides() const { return sides_; }
  void SetSides(Set<TSide> v) { sides_ = v; }
  TGadget* Buddy() const { return buddy_; }
  void SetBuddy(TGadget* v) { buddy_ = v; }
  int32_t Count() const { return 3; }
  TCaptionText* Title() const { return title_.get(); }
  TStringList* Items() const { return items_.get(); }
  TCollection* Cells() const { return cells_.get(); }
  TCaptionText* Missing() const { return nullptr; }
  TNotifyEvent OnClick;

private:
  int32_t width_ = 0, color_ = 0;
  double ratio_ = 0;
  std::string caption_;
  bool checked_ = false;
  TSide side_ = sdLeft;
  Set<TSide> sides_;
  TGadget* buddy_ = nullptr;
  std::unique_ptr<TCaptionText> title_ = std::make_unique<TCaptionText>();
  std::unique_ptr<TStringList> items_ = std::make_unique<TStringList>();
  std::unique_ptr<TCollection> cells_ =
      std::make_unique<TCollection>([](TCollection* c) { return new TCell(c); });
};

const TClassInfo& TGadget::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TGadget>("TGadget", &TComponent::StaticClassInfo(), [](TPublished<TGadget>& p) {
        p.Integer("Width", &TGadget::Width, &TGadget::SetWidth)
            .Integer("Color", &TGadget::Color, &TGadget::SetColor, &colorIdents)
            .Float("Ratio", &TGadget::Ratio, &TGadget::SetRatio)
            .String("Caption", &TGadget::Caption, &TGadget::SetCaption)
            .Boolean("Checked", &TGadget::Checked, &TGadget::SetChecked)
            .Enumeration("Side", sideNames, &TGadget::Side, &TGadget::SetSide)
            .SetOf("Sides", sideNames, &TGadget::Sides, &TGadget::SetSides)
            .Reference<TGadget>("Buddy", &TGadget::Buddy, &TGadget::SetBuddy)
            .Integer("Count", &TGadget::Count)
            .Object("Title", &TGadget::Title)
            .Object("Items", &TGadget::Items)
            .Object("Cells", &TGadget::Cells)
            .Object("Missing", &TGadget::Missing)
            .Event("OnClick", &TGadget::OnClick);
      });
  return info;
}

class PropertyTest : public ::testing::Test {
protected:
  PropertyTest() {
    form.SetName("Form1");
    gadget->SetName("Gadget1");
    other->SetName("Other");
    for (int i = 0; i < 3; ++i) gadget->Cells()->Add();
    gadget->Cells()->Delete(0);  // IDs 1 and 2 remain, at indexes 0 and 1
  }
  TGadget form{nullptr};
  TGadget* gadget = new TGadget(&form);
  TGadget* other = new TGadget(&form);
};

TEST_F(PropertyTest, EveryKindIsSetAndReadAsText) {
  struct Case {
    const char* path;
    const char* value;
    const char* readBack;
  } cases[] = {
      {"Gadget1.Width", "42", "42"},
      {"gadget1.WIDTH", " $1F ", "31"},
      {"Gadget1.Width", "-2147483648", "-2147483648"},
      {"Gadget1.Color", "clRed", "clRed"},
      {"Gadget1.Color", "255", "clRed"},
      {"Gadget1.Color", "254", "254"},
      {"Gadget1.Ratio", "2.5", "2.5"},
      {"Gadget1.Caption", "Hello, world", "Hello, world"},
      {"Gadget1.Caption", "", ""},
      {"Gadget1.Checked", "true", "True"},
      {"Gadget1.Checked", "FALSE", "False"},
      {"Gadget1.Side", "sdright", "sdRight"},
      {"Gadget1.Side", "3", "sdBottom"},
      {"Gadget1.Sides", "[sdLeft, sdBottom]", "[sdLeft,sdBottom]"},
      {"Gadget1.Sides", "[]", "[]"},
      {"Gadget1.Sides", "sdTop", "[sdTop]"},
      {"Gadget1.Buddy", "Other", "Other"},
      {"Gadget1.Buddy", "Form1", "Form1"},
      {"Gadget1.Buddy", "", ""},
      {"Gadget1.Title.Text", "Panel", "Panel"},
      {"Gadget1.Title.Size", "12", "12"},
      {"Gadget1.Items", "a\r\nb", "a\r\nb\r\n"},
      {"Gadget1.Items.Text", "x\r\ny\r\nz", "x\r\ny\r\nz\r\n"},
      {"Gadget1.Items.CommaText", "one,\"two three\"", "one,\"two three\""},
      {"Gadget1.Items.DelimitedText", "p,q", "p,q"},
      {"Gadget1.Cells[2].Value", "by id", "by id"},
      {"Gadget1.Cells[0].Value", "by index", "by index"},
      {"self.Caption", "Main", "Main"},
      {"Caption", "Main2", "Main2"},
      {"Title.Text", "of the root", "of the root"},
      {"Gadget1.OnClick", "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.path) + " = " + c.value);
    SetPropertyByPath(form, c.path, c.value);
    EXPECT_EQ(GetPropertyByPath(form, c.path), c.readBack);
  }
  EXPECT_EQ(static_cast<TCell*>(gadget->Cells()->Items(1))->value, "by id");
  EXPECT_EQ(static_cast<TCell*>(gadget->Cells()->Items(0))->value, "by index");
  EXPECT_EQ(gadget->Items()->Count(), 2);
  EXPECT_EQ(GetPropertyByPath(form, "Gadget1.Items.Count"), "2");
  EXPECT_EQ(GetPropertyByPath(form, "Gadget1.Title"), "TCaptionText");
}

TEST_F(PropertyTest, EventsReadAsAssignedAndAreClearedByEmptyText) {
  gadget->OnClick = [](TObject*) {};
  EXPECT_EQ(GetPropText(*gadget, "OnClick"), "(assigned)");
  SetPropText(*gadget, "OnClick", "");
  EXPECT_FALSE(gadget->OnClick);
}

TEST_F(PropertyTest, ErrorsNameWhatWentWrong) {
  struct Case {
    const char* path;
    const char* value;
    const char* message;
  } cases[] = {
      {"Gadget1.Height", "1", "Property Height does not exist in TGadget"},
      {"Nobody.Caption", "x", "Component Nobody does not exist in TGadget"},
      {"Gadget1.Width", "12px", "Invalid value \"12px\" for property Width (an integer expected)"},
      {"Gadget1.Width", "2147483648", "Value 2147483648 for property Width out of range (-2147483648 to 2147483647)"},
      {"Gadget1.Title.Size", "40000", "Value 40000 for property Size out of range (-32768 to 32767)"},
      {"Gadget1.Ratio", "two", "Invalid value \"two\" for property Ratio (a number expected)"},
      {"Gadget1.Checked", "yes", "Invalid value \"yes\" for property Checked (True or False expected)"},
      {"Gadget1.Side", "sdMiddle",
       "Invalid value \"sdMiddle\" for property Side (one of sdLeft, sdTop, sdRight, sdBottom expected)"},
      {"Gadget1.Side", "4",
       "Invalid value \"4\" for property Side (one of sdLeft, sdTop, sdRight, sdBottom expected)"},
      {"Gadget1.Sides", "[sdLeft,,sdTop]",
       "Invalid value \"[sdLeft,,sdTop]\" for property Sides (a set of sdLeft, sdTop, sdRight, sdBottom expected)"},
      {"Gadget1.Sides", "[sdLeft", "Invalid value \"[sdLeft\" for property Sides (a set of sdLeft, sdTop, sdRight, sdBottom expected)"},
      {"Gadget1.Buddy", "Nobody", "Invalid value \"Nobody\" for property Buddy (the name of a component expected)"},
      {"Gadget1.Count", "4", "Property Count is read-only"},
      {"Gadget1.OnClick", "Button1Click", "Event OnClick cannot be set from text"},
      {"Gadget1.Title", "x", "Property Title is an object and cannot be set from text"},
      {"Gadget1.Width.Text", "x", "Property Width of TGadget is not an object"},
      {"Gadget1.Missing.Text", "x", "Property Missing of TGadget is not set"},
      {"Gadget1.Title[0].Text", "x", "Property Title of TGadget is not a collection"},
      {"Gadget1.Cells[7].Value", "x", "Item 7 does not exist in Cells"},
      {"Gadget1.Cells[x].Value", "x", "Invalid item index in \"Cells[x]\""},
      {"Gadget1.Items.Sorted", "x", "Property Sorted does not exist in TStringList"},
      {"Gadget1..Caption", "x", "Invalid property path \"Gadget1..Caption\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path);
    try {
      SetPropertyByPath(form, c.path, c.value);
      ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
      EXPECT_EQ(e.Message(), c.message);
    }
  }
  EXPECT_EQ(gadget->Width(), 0) << "a refused value leaves the property alone";
  EXPECT_TRUE(gadget->Sides().Empty());
}

TEST_F(PropertyTest, ReferencesCheckTheClassOfTheObject) {
  const TPropInfo* buddy = FindPropInfo(*gadget, "buddy");
  ASSERT_NE(buddy, nullptr);
  TComponent plain(nullptr);
  try {
    buddy->SetObj(*gadget, &plain);
    FAIL();
  } catch (const EPropertyError& e) {
    EXPECT_EQ(e.Message(), "A TComponent cannot be used where a TGadget is expected");
  }
  // Without a root, names are looked up among the owner's components.
  SetPropText(*gadget, "Buddy", "Other");
  EXPECT_EQ(gadget->Buddy(), other);
}

TEST_F(PropertyTest, PropertyListPutsAncestorsFirst) {
  const std::vector<const TPropInfo*> list = GetPropList(*gadget);
  ASSERT_GE(list.size(), 3u);
  EXPECT_EQ(list[0]->Name, "Name");
  EXPECT_EQ(list[1]->Name, "Tag");
  EXPECT_EQ(list[2]->Name, "Width");
  EXPECT_TRUE(FindPropInfo(*gadget, "count")->ReadOnly());
  EXPECT_FALSE(FindPropInfo(*gadget, "Title")->ReadOnly()) << "owned objects take their sub-properties";
  SetPropertyByPath(form, "Gadget1.Name", "Renamed");
  EXPECT_EQ(form.FindComponent("renamed"), gadget);
}

}  // namespace
