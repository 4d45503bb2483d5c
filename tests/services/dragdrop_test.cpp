// The core of drag and drop: the map's ordering of pairings, data formats
// and their owners, reading through the most preferred format a data
// object delivers, probing media one at a time, and the drop effect rule.
#include "services/dragdrop.h"

#include <gtest/gtest.h>

#include "platform/win/user_clipboard.h"
#include "platform/win/user_windows.h"
#include "platform/win/winuser_consts.h"
#include "services/dragdropfile.h"
#include "services/dragdropformats.h"
#include "tests/services/dragdrop_doubles.h"

using namespace dragdrop_test;

namespace {

// Two made-up formats, one deriving from the other, and a data format that
// holds one value.
class TAlphaFormat : public TCustomStringClipboardFormat {
  DRAGDROP_CLASS(TAlphaFormat)
public:
  TAlphaFormat() { CreateFormat(TYMED_HGLOBAL | TYMED_ISTREAM); }
  CLIPFORMAT GetClipboardFormat() override { return static_cast<CLIPFORMAT>(RegisterClipboardFormat("Test Alpha")); }
};
class TBetaFormat : public TAlphaFormat {
  DRAGDROP_CLASS(TBetaFormat)
public:
  TBetaFormat() { CreateFormat(TYMED_HGLOBAL); }
  CLIPFORMAT GetClipboardFormat() override { return static_cast<CLIPFORMAT>(RegisterClipboardFormat("Test Beta")); }
};
class TValueDataFormat : public TCustomDataFormat {
  DRAGDROP_CLASS(TValueDataFormat)
public:
  explicit TValueDataFormat(TDragDropComponent* owner) : TCustomDataFormat(owner, StaticClass()) {}
  std::string Value;
  void Clear() override { Value.clear(); }
  bool HasData() override { return !Value.empty(); }
  bool Assign(TClipboardFormat* source) override {
    auto* text = dynamic_cast<TCustomStringClipboardFormat*>(source);
    if (!text) return false;
    Value = source->ClassName() + ":" + text->Data;
    return true;
  }
};
class TOtherDataFormat : public TValueDataFormat {
  DRAGDROP_CLASS(TOtherDataFormat)
};

DRAGDROP_CONCRETE_CLASS(TAlphaFormat, TCustomStringClipboardFormat)
DRAGDROP_CONCRETE_CLASS(TBetaFormat, TAlphaFormat)
DRAGDROP_ABSTRACT_CLASS(TValueDataFormat, TCustomDataFormat)
DRAGDROP_ABSTRACT_CLASS(TOtherDataFormat, TValueDataFormat)

std::vector<std::pair<std::string, int32_t>> Order(const TDataFormatMap& map) {
  std::vector<std::pair<std::string, int32_t>> run;
  for (const auto& e : map.Entries()) run.emplace_back(e.ClipboardFormatClass->Name, e.Priority);
  return run;
}

// Registers the test pairings in the process map for one test.
struct Pairings {
  Pairings() {
    RegisterDataConversion(TValueDataFormat::StaticClass(), TAlphaFormat::StaticClass(), 1);
    RegisterDataConversion(TValueDataFormat::StaticClass(), TBetaFormat::StaticClass(), 0);
  }
  ~Pairings() { UnregisterDataFormat(TValueDataFormat::StaticClass()); }
};

}  // namespace

TEST(DataFormatMap, KeepsEachClassInOneRunByPriorityNewestFirst) {
  TDataFormatMap map;
  const TFormatClass& value = TValueDataFormat::StaticClass();
  const TFormatClass& other = TOtherDataFormat::StaticClass();
  map.Add(value, TAlphaFormat::StaticClass(), 2, {fsTarget}, {ddGet});
  map.Add(other, TAlphaFormat::StaticClass(), 5, {fsTarget}, {ddGet});
  map.Add(value, TBetaFormat::StaticClass(), 0, {fsTarget}, {ddGet});
  map.Add(value, TTextClipboardFormat::StaticClass(), 1, {fsTarget}, {ddGet});
  map.Add(value, TPreferredDropEffectClipboardFormat::StaticClass(), 0, {fsTarget}, {ddGet});
  using R = std::vector<std::pair<std::string, int32_t>>;
  EXPECT_EQ(Order(map), (R{{"TPreferredDropEffectClipboardFormat", 0}, {"TBetaFormat", 0},
                         {"TTextClipboardFormat", 1}, {"TAlphaFormat", 2}, {"TAlphaFormat", 5}}));

  // Registering a pairing again moves it, takes the new priority and adds
  // the scopes and directions.
  map.Add(value, TAlphaFormat::StaticClass(), 0, {fsSource}, {ddSet});
  EXPECT_STREQ(map.Entries()[0].ClipboardFormatClass->Name, "TAlphaFormat");
  EXPECT_EQ(map.Entries()[0].Scopes, (TFormatScopes{fsSource, fsTarget}));
  EXPECT_EQ(map.Entries()[0].Directions, (TDataDirections{ddGet, ddSet}));
  EXPECT_EQ(map.Entries().size(), 5u);

  // Removing a clipboard format class takes its descendants too; removing a
  // data format class takes its descendants' entries.
  map.DeleteByClipboardFormat(TAlphaFormat::StaticClass());
  EXPECT_EQ(Order(map), (R{{"TPreferredDropEffectClipboardFormat", 0}, {"TTextClipboardFormat", 1}}));
  map.Add(other, TAlphaFormat::StaticClass(), 0, {fsTarget}, {ddGet});
  map.DeleteByDataFormat(value);
  EXPECT_TRUE(map.Entries().empty());
}

TEST(DataFormats, OwnersAndTheMostPreferredDeliveredFormat) {
  Pairings pairings;
  {
    TValueDataFormat loose(nullptr);
    ASSERT_EQ(loose.CompatibleFormats.Count(), 2);
    EXPECT_EQ(loose.CompatibleFormats.Formats(0)->ClassName(), "TBetaFormat");
    EXPECT_EQ(loose.CompatibleFormats.Formats(0)->DataFormat, &loose);

    // Both formats offered: the preferred one feeds the value, the other is not asked.
    ComPtr<ItemDataObject> both = MakeItems();
    both->items[TAlphaFormat().ClipboardFormat()] = {"alpha"};
    both->items[TBetaFormat().ClipboardFormat()] = {"beta"};
    ASSERT_TRUE(loose.GetData(both.Get()));
    EXPECT_EQ(loose.Value, "TBetaFormat:beta");

    loose.Clear();
    ComPtr<ItemDataObject> none = MakeItems();
    none->items[CF_TEXT] = {"text"};
    EXPECT_FALSE(loose.GetData(none.Get()));
    EXPECT_FALSE(loose.HasData());
  }

  TDragDropComponent plain(nullptr);
  try {
    TValueDataFormat wrong(&plain);
    FAIL() << "a component that is no drop target cannot own data formats";
  } catch (const EDataFormatError& e) {
    EXPECT_EQ(e.Message(), "TDragDropComponent is not a valid owner for TValueDataFormat. Owner must be derived "
                           "from TCustomDropMultiSource or TCustomDropMultiTarget");
  }
  EXPECT_EQ(plain.DataFormats.Count(), 0);

  auto* target = new TDropFileTarget(nullptr);
  auto* owned = new TValueDataFormat(target);
  EXPECT_EQ(target->DataFormats.IndexOf(owned), 2) << "after the target's own file and name-map formats";
  delete target;  // frees the data format it owns (ASan reports a leak otherwise)
}

TEST(ClipboardFormats, ProbeMediaOneAtATimeAndAcceptOnlyMatchingRequests) {
  TAlphaFormat alpha;
  ComPtr<ItemDataObject> data = MakeItems();
  EXPECT_FALSE(alpha.HasValidFormats(data.Get()));
  EXPECT_EQ(data->queried, (std::vector<DWORD>{TYMED_HGLOBAL, TYMED_ISTREAM})) << "lowest medium first";
  data->queried.clear();
  data->items[alpha.ClipboardFormat()] = {"x"};
  EXPECT_TRUE(alpha.HasValidFormats(data.Get()));
  EXPECT_EQ(data->queried, std::vector<DWORD>{TYMED_HGLOBAL}) << "stops at the first medium served";

  FORMATETC request = alpha.FormatEtc;
  request.lindex = 7;
  EXPECT_TRUE(alpha.AcceptFormat(request)) << "the item index is not compared";
  request.dwAspect = DVASPECT_ICON;
  EXPECT_FALSE(alpha.AcceptFormat(request));
  request = alpha.FormatEtc;
  request.tymed = TYMED_FILE;
  EXPECT_FALSE(alpha.AcceptFormat(request));
  request = alpha.FormatEtc;
  request.ptd = reinterpret_cast<DVTARGETDEVICE*>(&request);
  EXPECT_FALSE(alpha.AcceptFormat(request));

  struct TNameless : TCustomStringClipboardFormat {
    void Touch() { CreateFormat(TYMED_HGLOBAL); }
  } nameless;
  EXPECT_THROW(nameless.Touch(), EDataFormatError) << "a format that names no id";
  EXPECT_THROW(alpha.SetClipboardFormatName("other"), EDataFormatError);
  EXPECT_EQ(alpha.GetClipboardFormatName(), "Test Alpha");
}

TEST(DropEffects, KeysPickTheEffectAmongTheAllowedOnes) {
  const TShiftState none, shift{ssShift}, ctrl{ssCtrl}, both{ssCtrl, ssShift};
  const DWORD all = DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK;
  struct Case {
    TShiftState keys;
    DWORD allowed;
    bool fallback;
    DWORD effect;
  };
  const Case cases[] = {
      {none, all, false, DROPEFFECT_MOVE},           {shift, all, false, DROPEFFECT_MOVE},
      {ctrl, all, false, DROPEFFECT_COPY},           {both, all, false, DROPEFFECT_LINK},
      {ctrl, DROPEFFECT_MOVE, false, DROPEFFECT_NONE}, {ctrl, DROPEFFECT_MOVE, true, DROPEFFECT_MOVE},
      {none, DROPEFFECT_COPY | DROPEFFECT_LINK, true, DROPEFFECT_COPY},
      {TShiftState{ssAlt}, all, false, DROPEFFECT_MOVE},
  };
  for (const Case& c : cases) EXPECT_EQ(DropEffectFromShiftState(c.keys, c.allowed, c.fallback), c.effect);
  EXPECT_EQ(DragTypesToDropEffect({dtCopy, dtLink}), DROPEFFECT_COPY | DROPEFFECT_LINK);
  EXPECT_EQ(KeysToShiftState(DWORD{0x04 | 0x08 | 0x01 | 0x40}), (TShiftState{ssShift, ssCtrl, ssLeft}));
}

TEST(DropEffects, ClientPointsRelativeToTheWindowFrame) {
  WNDCLASS wc{};
  wc.lpfnWndProc = DefWindowProc;
  wc.lpszClassName = "DragDropPlainWindow";
  RegisterClass(&wc);
  HWND bare = CreateWindowEx(0, "DragDropPlainWindow", "", WS_POPUP, 40, 50, 200, 100, nullptr, nullptr, nullptr,
                             nullptr);
  HWND framed = CreateWindowEx(0, "DragDropPlainWindow", "", WS_OVERLAPPEDWINDOW, 40, 50, 200, 100, nullptr,
                               nullptr, nullptr, nullptr);
  ASSERT_TRUE(bare && framed);
  const POINT plain = ClientToWindow(bare, POINT{5, 7});
  EXPECT_EQ(plain.x, 5);
  EXPECT_EQ(plain.y, 7);
  const POINT below = ClientToWindow(framed, POINT{5, 7});
  EXPECT_GT(below.y, 7 + 10) << "the caption lies above the client area";
  EXPECT_GT(below.x, 5);
  DestroyWindow(bare);
  DestroyWindow(framed);
}

// A component answers IUnknown for itself but leaves its life to its owner:
// references are counted by an owner that is an IUnknown, not at all without.
TEST(InterfacedComponent, ReferencesGoToTheOwner) {
  struct CountingOwner : TComponent, IUnknown {
    using TComponent::TComponent;
    ULONG count = 5;
    HRESULT QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    ULONG AddRef() override { return ++count; }
    ULONG Release() override { return --count; }
  };
  CountingOwner owner(nullptr);
  auto* owned = new TInterfacedComponent(&owner);
  TInterfacedComponent loose(nullptr);

  IUnknown* unknown = nullptr;
  ASSERT_EQ(owned->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(unknown, static_cast<IUnknown*>(owned));
  EXPECT_EQ(owner.count, 6u) << "the reference handed out is counted by the owner";
  EXPECT_EQ(unknown->Release(), 5u);
  EXPECT_EQ(owned->AddRef(), 6u);
  EXPECT_EQ(owned->Release(), 5u);

  EXPECT_EQ(loose.AddRef(), static_cast<ULONG>(-1));
  EXPECT_EQ(loose.Release(), static_cast<ULONG>(-1));
  void* other = &loose;
  EXPECT_EQ(loose.QueryInterface(IID_IDropTarget, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(loose.QueryInterface(IID_IUnknown, nullptr), E_POINTER);
}  // the owner frees `owned`
