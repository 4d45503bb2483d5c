// Blocks that other programs hand over in a drop: well-formed ones give
// their names (wide names whole), malformed ones are refused whole; the drop
// target reads a data object's formats in order, and a drop whose handler
// fails is refused.
#include "services/dragdropfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/display/headless.h"
#include "platform/forms/stdctrls.h"
#include "platform/forms/forms.h"
#include "platform/rtl/exceptions.h"
#include "platform/win/comimpl.h"
#include "platform/win/ole_dataobject.h"
#include "platform/win/user_clipboard.h"
#include "platform/win/winuser_consts.h"

namespace {

std::vector<uint8_t> Bytes(const std::string& s) { return std::vector<uint8_t>(s.begin(), s.end()); }

std::vector<uint8_t> U32(uint32_t v) {
  return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
          static_cast<uint8_t>(v >> 24)};
}

std::vector<uint8_t> Join(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

// A drop-files header with the names at `offset`, wide or not.
std::vector<uint8_t> Header(uint32_t offset, bool wide) {
  return Join({U32(offset), U32(0), U32(0), U32(0), U32(wide ? 1 : 0)});
}

// A file descriptor record (592 bytes) with the UTF-16 name at 72.
std::vector<uint8_t> Descriptor(const std::u16string& name) {
  std::vector<uint8_t> record(592, 0);
  for (size_t i = 0; i < name.size() && i < 259; ++i) {
    record[72 + i * 2] = static_cast<uint8_t>(name[i]);
    record[72 + i * 2 + 1] = static_cast<uint8_t>(name[i] >> 8);
  }
  return record;
}

}  // namespace

TEST(DropBlocks, WellFormedBlocksGiveTheirNames) {
  std::vector<std::string> files;
  const std::vector<uint8_t> wide = WriteDropFiles({"/tmp/a.jpg", "/home/ü/Bild €.tif"}, true);
  ASSERT_TRUE(ReadFilesFromDropFiles(wide.data(), wide.size(), files));
  EXPECT_EQ(files, (std::vector<std::string>{"/tmp/a.jpg", "/home/ü/Bild €.tif"})) << "wide names kept whole";

  files.clear();
  const std::vector<uint8_t> narrow = WriteDropFiles({"/tmp/b.png"}, false);
  EXPECT_EQ(narrow.size(), 20u + 11u + 1u);
  ASSERT_TRUE(ReadFilesFromDropFiles(narrow.data(), narrow.size(), files));
  EXPECT_EQ(files, std::vector<std::string>{"/tmp/b.png"});

  std::string name;
  const std::vector<uint8_t> single = Join({Bytes("/tmp/c.tif"), {0}});
  EXPECT_TRUE(ReadSingleName(single.data(), single.size(), false, name));
  EXPECT_EQ(name, "/tmp/c.tif");

  std::vector<std::string> items;
  // Two items: the parent's empty list at 16, one item of 4 bytes at 18, closed.
  const std::vector<uint8_t> ids = Join({U32(1), U32(12), U32(14), {0, 0}, {4, 0, 7, 7, 0, 0}});
  EXPECT_TRUE(ReadIDListArray(ids.data(), ids.size(), items));
  EXPECT_EQ(items, std::vector<std::string>{""});

  std::vector<std::string> descriptors;
  const std::vector<uint8_t> described = Join({U32(2), Descriptor(u"chart.jpg"), Descriptor(u"sub\\more.tif")});
  ASSERT_TRUE(ReadFileDescriptors(described.data(), described.size(), descriptors));
  EXPECT_EQ(descriptors, (std::vector<std::string>{"chart.jpg", "sub/more.tif"}));
}

TEST(DropBlocks, MalformedBlocksAreRefusedWhole) {
  struct Case {
    const char* what;
    std::vector<uint8_t> block;
    enum { DropFiles, Single, IDList, Descriptors } kind;
  };
  const std::vector<uint8_t> unterminated = Bytes("/tmp/x.jpg");
  const std::vector<Case> cases = {
      {"header only", Header(20, false), Case::DropFiles},
      {"short header", Bytes("abcdefgh"), Case::DropFiles},
      {"names inside the header", Join({Header(8, false), Bytes("/a"), {0, 0}}), Case::DropFiles},
      {"names past the end", Join({Header(4000, false), Bytes("/a"), {0, 0}}), Case::DropFiles},
      {"name without its NUL", Join({Header(20, false), unterminated}), Case::DropFiles},
      {"empty list", Join({Header(20, false), {0, 0}}), Case::DropFiles},
      {"wide name cut in the middle", Join({Header(20, true), {'/', 0, 'a'}}), Case::DropFiles},
      {"wide name with a lone surrogate", Join({Header(20, true), {'/', 0, 0x00, 0xD8, 'a', 0, 0, 0, 0, 0}}),
       Case::DropFiles},
      {"over-long name", Join({Header(20, false), std::vector<uint8_t>(kMaxDropNameLength + 2, 'a'), {0, 0}}),
       Case::DropFiles},
      {"single name without NUL", unterminated, Case::Single},
      {"empty single name", {0}, Case::Single},
      {"ID list count past the block", Join({U32(1000), U32(12)}), Case::IDList},
      {"ID list offset past the block", Join({U32(1), U32(12), U32(400), {0, 0}}), Case::IDList},
      {"ID item running off the block", Join({U32(1), U32(12), U32(14), {0, 0}, {40, 0, 1}}), Case::IDList},
      {"ID item of size 1", Join({U32(1), U32(12), U32(14), {0, 0}, {1, 0, 0, 0}}), Case::IDList},
      {"descriptor count past the block", Join({U32(3), Descriptor(u"a.jpg")}), Case::Descriptors},
      {"descriptor climbing out", Join({U32(1), Descriptor(u"..\\..\\.bashrc")}), Case::Descriptors},
      {"absolute descriptor", Join({U32(1), Descriptor(u"/etc/passwd")}), Case::Descriptors},
      {"drive-led descriptor", Join({U32(1), Descriptor(u"C:evil.jpg")}), Case::Descriptors},
      {"descriptor name without NUL", Join({U32(1), [] {
                                              std::vector<uint8_t> r = Descriptor(u"");
                                              std::fill(r.begin() + 72, r.end(), 'a');
                                              return r;
                                            }()}),
       Case::Descriptors},
  };
  for (const Case& c : cases) {
    std::vector<std::string> names{"kept"};
    std::string name = "kept";
    bool read = true;
    switch (c.kind) {
      case Case::DropFiles: read = ReadFilesFromDropFiles(c.block.data(), c.block.size(), names); break;
      case Case::Single: read = ReadSingleName(c.block.data(), c.block.size(), false, name); break;
      case Case::IDList: read = ReadIDListArray(c.block.data(), c.block.size(), names); break;
      case Case::Descriptors: read = ReadFileDescriptors(c.block.data(), c.block.size(), names); break;
    }
    EXPECT_FALSE(read) << c.what;
    EXPECT_EQ(names, std::vector<std::string>{"kept"}) << c.what << ": nothing taken from a refused block";
    EXPECT_EQ(name, "kept") << c.what;
  }
  std::vector<std::string> names;
  EXPECT_FALSE(ReadFilesFromDropFiles(nullptr, 100, names));
  std::vector<uint8_t> huge(kMaxDropBlockBytes + 1, 0);
  EXPECT_FALSE(ReadFilesFromZeroList(huge.data(), huge.size(), false, names)) << "over the cap";
}

TEST(DropBlocks, DescriptorNamesStayBelowTheDropFolder) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"a.jpg", "a.jpg"},     {"sub\\b.tif", "sub/b.tif"}, {"sub/c.png", "sub/c.png"}, {"..", ""},
      {"a/../../b", ""},      {"./a", ""},                 {"/abs", ""},               {"\\\\server\\x", ""},
      {"D:\\x.jpg", ""},      {"a//b", ""},                {"", ""},                   {"tab\tname", ""},
  };
  for (const auto& [name, safe] : cases) EXPECT_EQ(SafeDropName(name), safe) << name;
}

TEST(DropTargetFormats, TheFileListWinsThenTheSingleNamesInOrder) {
  const auto format = [](const char* name) { return static_cast<CLIPFORMAT>(RegisterClipboardFormat(name)); };
  const auto text = [](const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); };
  const std::vector<uint8_t> wideName = {'/', 0, 'w', 0, 0, 0};
  std::vector<std::string> files;
  ComPtr<IDataObject> both = CreateStoredDataObject(
      {{format("FileName"), "/n\0"}, {CF_HDROP, text(WriteDropFiles({"/x", "/y"}, true))},
       {format("FileNameW"), text(wideName)}});
  ASSERT_TRUE(TDropFileTarget::ReadFiles(both.Get(), files));
  EXPECT_EQ(files, (std::vector<std::string>{"/x", "/y"}));

  files.clear();
  ComPtr<IDataObject> names = CreateStoredDataObject({{format("FileName"), std::string("/n\0", 3)},
                                                      {format("FileNameW"), text(wideName)}});
  ASSERT_TRUE(TDropFileTarget::ReadFiles(names.Get(), files));
  EXPECT_EQ(files, std::vector<std::string>{"/w"}) << "the wide name before the 8-bit one";

  files.clear();
  ComPtr<IDataObject> broken = CreateStoredDataObject({{CF_HDROP, text(Header(20, false))}});
  EXPECT_FALSE(TDropFileTarget::ReadFiles(broken.Get(), files));
  EXPECT_TRUE(files.empty());
}

TEST(DropFileTarget, AHandlerThatFailsRefusesTheDrop) {
  TDropFileTarget target(nullptr);
  int32_t namesSeen = 0;
  target.OnDrop = [&](TObject*, TShiftState, POINTL, DWORD&) {
    namesSeen = target.GetFiles()->Count();
    throw EFOpenError("Cannot open file \"/photos/chart.tif\".");
  };
  const std::vector<uint8_t> names = WriteDropFiles({"/photos/chart.tif"}, true);
  ComPtr<IDataObject> data = CreateStoredDataObject({{CF_HDROP, std::string(names.begin(), names.end())}});
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(target.DropTarget()->DragEnter(data.Get(), 0, {}, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  effect = DROPEFFECT_COPY;
  EXPECT_EQ(target.DropTarget()->Drop(data.Get(), 0, {}, &effect), S_OK);
  EXPECT_EQ(namesSeen, 1);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  EXPECT_EQ(target.GetFiles()->Count(), 0) << "the names are cleared after a failed drop too";
}

// ---- the file and name-map formats -------------------------------------------------------------

namespace {

std::vector<std::string> Names(const TStrings& list) {
  std::vector<std::string> names;
  for (int32_t i = 0; i < list.Count(); ++i) names.push_back(list.Strings(i));
  return names;
}

std::vector<std::string> FormatNames(const TClipboardFormats& formats) {
  std::vector<std::string> names;
  for (int i = 0; i < formats.Count(); ++i) {
    const CLIPFORMAT id = formats.Formats(i)->ClipboardFormat();
    names.push_back(id == CF_HDROP ? "CF_HDROP" : formats.Formats(i)->GetClipboardFormatName());
  }
  return names;
}

CLIPFORMAT Registered(const char* name) { return static_cast<CLIPFORMAT>(RegisterClipboardFormat(name)); }

std::string Text(const std::vector<uint8_t>& bytes) { return std::string(bytes.begin(), bytes.end()); }

std::string Wide(const std::u16string& s) {
  std::string out;
  for (char16_t c : s) out += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  return out;
}

}  // namespace

TEST(FileFormats, DataFormatsTryTheirClipboardFormatsInOrder) {
  TFileDataFormat files(nullptr);
  EXPECT_EQ(FormatNames(files.CompatibleFormats),
            (std::vector<std::string>{"CF_HDROP", "Shell IDList Array", "FileNameW", "FileName"}));
  TFileMapDataFormat maps(nullptr);
  EXPECT_EQ(FormatNames(maps.CompatibleFormats), (std::vector<std::string>{"FileNameMapW", "FileNameMap"}));
}

// What a data format writes through each of its clipboard formats reads
// back the same; the single-name formats carry the first name only.
TEST(FileFormats, EveryFormatWritesWhatItReads) {
  const std::vector<std::string> names = {"/photos/Farbkarte ü.tif", "/tmp/€ chart.jpg"};
  struct Case {
    TClipboardFormat* format;
    std::vector<std::string> expected;
    size_t size;  // of the block written
  };
  TFileClipboardFormat hdrop;
  TFileClipboardFormat narrow;
  narrow.Unicode = false;
  TFilenameClipboardFormat single;
  TFilenameWClipboardFormat singleW;
  TFilenameMapClipboardFormat map;
  TFilenameMapWClipboardFormat mapW;
  const size_t utf8 = names[0].size() + names[1].size();  // 8-bit bytes of both names
  const size_t units = 23 + 16;                             // UTF-16 units of both names
  const std::vector<Case> cases = {
      {&hdrop, names, 20 + 2 * (units + 3)},          {&narrow, names, 20 + utf8 + 3},
      {&single, {names[0]}, names[0].size() + 1},     {&singleW, {names[0]}, 2 * (23 + 1)},
      {&map, names, utf8 + 3},                        {&mapW, names, 2 * (units + 3)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.format->ClassName());
    auto* simple = dynamic_cast<TCustomSimpleClipboardFormat*>(c.format);
    const bool isMap = dynamic_cast<TCustomFilenameMapClipboardFormat*>(c.format) != nullptr;
    TFileDataFormat files(nullptr);
    TFileMapDataFormat maps(nullptr);
    TCustomDataFormat* source = isMap ? static_cast<TCustomDataFormat*>(&maps) : &files;
    for (const std::string& n : names) (isMap ? maps.MappedNames : files.FileNames).Add(n);
    ASSERT_TRUE(source->AssignTo(c.format));
    std::vector<uint8_t> block(static_cast<size_t>(simple->GetSize()), 0xEE);
    EXPECT_EQ(block.size(), c.size);
    ASSERT_TRUE(simple->WriteData(block.data(), block.size()));

    ComPtr<IDataObject> data = CreateStoredDataObject({{c.format->ClipboardFormat(), Text(block)}});
    TFileDataFormat readFiles(nullptr);
    TFileMapDataFormat readMaps(nullptr);
    TCustomDataFormat* reader = isMap ? static_cast<TCustomDataFormat*>(&readMaps) : &readFiles;
    ASSERT_TRUE(reader->GetData(data.Get()));
    EXPECT_EQ(Names(isMap ? readMaps.MappedNames : readFiles.FileNames), c.expected);
  }

  TFileDataFormat empty(nullptr);
  EXPECT_FALSE(empty.AssignTo(&single)) << "no first name to give";
  EXPECT_FALSE(empty.AssignTo(&singleW));
  TFileClipboardFormat none;
  EXPECT_EQ(none.GetSize(), 22) << "the header and the closing empty name";
}

// Drags that a second window starts over a registered panel, one per
// combination of formats: what OnDrop sees, and what the source is told.
class DropFromWindow : public ::testing::Test {
protected:
  void SetUp() override {
    display::SetActiveBackend(display::CreateHeadlessBackend());
    OleInitialize(nullptr);
    source_ = new TForm(nullptr);
    source_->SetBounds(0, 0, 100, 100);
    source_->Show();
    form_ = new TForm(nullptr);
    form_->SetBounds(200, 0, 200, 200);
    panel_ = new TPanel(form_);
    panel_->SetParent(form_);
    panel_->SetBounds(10, 10, 100, 100);
    form_->Show();
    Application->ProcessMessages();
    target_ = new TDropFileTarget(form_);
    target_->DragTypes = {dtCopy, dtMove, dtLink};
    target_->SetTarget(panel_);
  }
  void TearDown() override {
    delete form_;
    delete source_;
    for (uint8_t vk : {VK_CONTROL, VK_SHIFT})
      if (GetAsyncKeyState(vk) < 0) display::InjectKeyUp(vk);
    Application->ProcessMessages();
    OleUninitialize();
  }

  // Drags the data from the source window onto the panel's centre with the
  // keys held, entering at 45,45; the effect the drag ended with.
  DWORD Drag(IDataObject* data, DWORD allowed, const std::vector<uint8_t>& keys = {}) {
    const POINT from = source_->ClientToScreen(POINT{50, 50});
    const POINT to = panel_->ClientToScreen(POINT{50, 50});
    display::InjectMouseDown(from);
    Application->ProcessMessages();
    for (uint8_t k : keys) display::InjectKeyDown(k);
    display::InjectMouseMove(POINT{to.x - 5, to.y - 5});  // enters the panel
    display::InjectMouseMove(to);                         // moves over it
    display::InjectMouseUp(to);
    DWORD effect = 77;
    DoDragDrop(data, source.Get(), allowed, &effect);
    for (uint8_t k : keys) display::InjectKeyUp(k);
    Application->ProcessMessages();
    return effect;
  }

  class Source final : public ComObject<IDropSource, IID_IDropSource> {
  public:
    HRESULT QueryContinueDrag(BOOL escape, DWORD keys) override {
      if (escape) return DRAGDROP_S_CANCEL;
      return (keys & MK_LBUTTON) ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
  };
  ComPtr<Source> source = MakeComObject<Source>();
  TForm* source_ = nullptr;
  TForm* form_ = nullptr;
  TPanel* panel_ = nullptr;
  TDropFileTarget* target_ = nullptr;
};

TEST_F(DropFromWindow, EveryFormatReachesOnDrop) {
  const std::vector<std::string> two = {"/photos/Bild ü.tif", "/photos/€.jpg"};
  const std::string idArray = Text(Join({U32(1), U32(12), U32(14), {0, 0}, {4, 0, 7, 7, 0, 0}}));
  struct Case {
    const char* what;
    std::vector<StoredFormat> formats;
    std::vector<std::string> files, mapped;
  };
  const std::vector<Case> cases = {
      {"wide file list", {{CF_HDROP, Text(WriteDropFiles(two, true))}}, two, {}},
      {"8-bit file list", {{CF_HDROP, Text(WriteDropFiles({"/a.tif", "/b c.jpg"}, false))}}, {"/a.tif", "/b c.jpg"}, {}},
      {"wide name", {{Registered("FileNameW"), Wide(u"/photos/Ω.tif") + std::string(2, '\0')}}, {"/photos/Ω.tif"}, {}},
      {"8-bit name", {{Registered("FileName"), std::string("/x.tif\0", 7)}}, {"/x.tif"}, {}},
      {"both names: the wide one",
       {{Registered("FileName"), std::string("/n.tif\0", 7)},
        {Registered("FileNameW"), Wide(u"/w.tif") + std::string(2, '\0')}},
       {"/w.tif"},
       {}},
      {"list before a name",
       {{Registered("FileNameW"), Wide(u"/w.tif") + std::string(2, '\0')}, {CF_HDROP, Text(WriteDropFiles(two, true))}},
       two,
       {}},
      {"shell items without a path", {{Registered("Shell IDList Array"), idArray}}, {""}, {}},
      {"wide name map alone", {{Registered("FileNameMapW"), Wide(u"Kopie ü.tif") + std::string(4, '\0')}}, {},
       {"Kopie ü.tif"}},
      {"8-bit name map alone", {{Registered("FileNameMap"), std::string("a.tif\0b.tif\0\0", 13)}}, {},
       {"a.tif", "b.tif"}},
      {"files and their map",
       {{CF_HDROP, Text(WriteDropFiles(two, true))},
        {Registered("FileNameMap"), std::string("1.tif\0" "2.jpg\0\0", 13)}},
       two,
       {"1.tif", "2.jpg"}},
  };
  TFileMapDataFormat* maps = dynamic_cast<TFileMapDataFormat*>(target_->DataFormats.Formats(1));
  ASSERT_NE(maps, nullptr);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    int drops = 0;
    std::vector<std::string> files, mapped;
    target_->OnAcceptFormat = nullptr;
    target_->OnDrop = [&](TObject*, TShiftState, POINTL, DWORD& effect) {
      ++drops;
      files = Names(*target_->GetFiles());
      mapped = Names(maps->MappedNames);
      EXPECT_EQ(effect, DROPEFFECT_COPY);
    };
    ComPtr<IDataObject> data = CreateStoredDataObject(c.formats);
    EXPECT_EQ(Drag(data.Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE, {VK_CONTROL}), DROPEFFECT_COPY);
    EXPECT_EQ(drops, 1);
    EXPECT_EQ(files, c.files);
    EXPECT_EQ(mapped, c.mapped);
    EXPECT_EQ(target_->GetFiles()->Count(), 0) << "emptied after OnDrop";
    EXPECT_EQ(maps->MappedNames.Count(), 0);

    // With the name map left out, a drag of a map alone is refused and a
    // drag with files brings the files only.
    target_->OnAcceptFormat = [maps](TObject*, TCustomDataFormat* format, bool& accept) { accept = format != maps; };
    drops = 0;
    mapped = {"unread"};
    const bool mapOnly = c.files.empty();
    EXPECT_EQ(Drag(data.Get(), DROPEFFECT_COPY, {VK_CONTROL}), mapOnly ? DROPEFFECT_NONE : DROPEFFECT_COPY);
    EXPECT_EQ(drops, mapOnly ? 0 : 1);
    if (!mapOnly) {
      EXPECT_EQ(mapped, std::vector<std::string>{});
    }
  }
}

TEST_F(DropFromWindow, RefusedDragsAndTheEffectTold) {
  const std::string list = Text(WriteDropFiles({"/a.tif"}, true));
  int drops = 0;
  DWORD seen = 0;
  bool fail = false;
  target_->OnDrop = [&](TObject*, TShiftState, POINTL, DWORD& effect) {
    ++drops;
    seen = effect;
    if (fail) throw EFOpenError("Cannot open file \"/a.tif\".");
  };
  struct Case {
    const char* what;
    std::vector<StoredFormat> formats;
    DWORD allowed;
    std::vector<uint8_t> keys;
    bool throws;
    DWORD inOnDrop, told;  // 0 in OnDrop: OnDrop does not run
  };
  const std::vector<Case> cases = {
      {"nothing readable", {{CF_TEXT, std::string("/a.tif\0", 7)}}, DROPEFFECT_COPY, {}, false, 0, 0},
      {"a malformed list only", {{CF_HDROP, Text(Header(20, false))}}, DROPEFFECT_COPY, {}, false, 0, 0},
      {"no effect in common", {{CF_HDROP, list}}, DROPEFFECT_NONE, {}, false, 0, 0},
      {"a move is told as a copy", {{CF_HDROP, list}}, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK, {}, false,
       DROPEFFECT_MOVE, DROPEFFECT_COPY},
      {"Ctrl and Shift link", {{CF_HDROP, list}}, DROPEFFECT_COPY | DROPEFFECT_MOVE | DROPEFFECT_LINK,
       {VK_CONTROL, VK_SHIFT}, false, DROPEFFECT_LINK, DROPEFFECT_LINK},
      {"a handler that fails", {{CF_HDROP, list}}, DROPEFFECT_COPY, {}, true, DROPEFFECT_COPY, DROPEFFECT_NONE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    drops = 0;
    seen = 0;
    fail = c.throws;
    ComPtr<IDataObject> data = CreateStoredDataObject(c.formats);
    EXPECT_EQ(Drag(data.Get(), c.allowed, c.keys), c.told);
    EXPECT_EQ(drops, c.inOnDrop ? 1 : 0);
    EXPECT_EQ(seen, c.inOnDrop);
    TPerformedDropEffectClipboardFormat performed;
    EXPECT_EQ(performed.GetData(data.Get()) ? performed.Value : 0u, c.told) << "Performed DropEffect";
  }
}

// The clipboard's contents as a drop: every format reads as it does in a
// drag; the effect is the source's preferred one, copy when it names none.
TEST_F(DropFromWindow, PastingTheClipboard) {
  std::vector<std::string> files;
  DWORD seen = 99;
  int drops = 0;
  target_->OnDrop = [&](TObject*, TShiftState, POINTL, DWORD& effect) {
    ++drops;
    seen = effect;
    files = Names(*target_->GetFiles());
  };
  TPreferredDropEffectClipboardFormat preferred;
  const std::string move = Text(U32(DROPEFFECT_MOVE));
  struct Case {
    const char* what;
    std::vector<StoredFormat> formats;
    bool readable;
    DWORD effect;
    std::vector<std::string> files;
  };
  const std::vector<Case> cases = {
      {"file list, no preference", {{CF_HDROP, Text(WriteDropFiles({"/c/ü.tif"}, true))}}, true, DROPEFFECT_COPY,
       {"/c/ü.tif"}},
      {"cut files",
       {{CF_HDROP, Text(WriteDropFiles({"/c/a.tif"}, false))}, {preferred.ClipboardFormat(), move}},
       true,
       DROPEFFECT_MOVE,
       {"/c/a.tif"}},
      {"a wide name", {{Registered("FileNameW"), Wide(u"/c/Ж.tif") + std::string(2, '\0')}}, true, DROPEFFECT_COPY,
       {"/c/Ж.tif"}},
      {"an 8-bit name", {{Registered("FileName"), std::string("/c/n.tif\0", 9)}}, true, DROPEFFECT_COPY, {"/c/n.tif"}},
      {"a name map only", {{Registered("FileNameMapW"), Wide(u"m.tif") + std::string(4, '\0')}}, true,
       DROPEFFECT_COPY, {}},
      {"text only", {{CF_TEXT, std::string("/c/a.tif\0", 9)}}, false, DROPEFFECT_NONE, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ComPtr<IDataObject> data = CreateStoredDataObject(c.formats);
    ASSERT_EQ(OleSetClipboard(data.Get()), S_OK);
    EXPECT_EQ(target_->CanPasteFromClipboard(), c.readable);
    drops = 0;
    seen = 99;
    target_->PasteFromClipboard();
    EXPECT_EQ(drops, 1) << "OnDrop runs even when nothing could be read";
    EXPECT_EQ(seen, c.effect);
    EXPECT_EQ(files, c.files);
    EXPECT_EQ(Names(*target_->GetFiles()), c.files) << "the names stay after a paste";
  }
  OleSetClipboard(nullptr);
}

TEST_F(DropFromWindow, EventsComeInOrder) {
  std::vector<std::string> log;
  const auto logged = [&log](const char* name) {
    return [&log, name](TObject*, TShiftState, POINTL p, DWORD& effect) {
      log.push_back(std::string(name) + " " + std::to_string(effect) + " " + std::to_string(p.x) + "," +
                    std::to_string(p.y));
    };
  };
  target_->OnEnter = logged("enter");
  target_->OnDragOver = logged("over");
  target_->OnDrop = logged("drop");
  target_->OnLeave = [&log](TObject*) { log.push_back("leave"); };
  ComPtr<IDataObject> data = CreateStoredDataObject({{CF_HDROP, Text(WriteDropFiles({"/a.tif"}, true))}});
  EXPECT_EQ(Drag(data.Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE, {VK_CONTROL}), DROPEFFECT_COPY);
  EXPECT_EQ(log, (std::vector<std::string>{"enter 1 45,45", "over 1 50,50", "drop 1 50,50"}))
      << "client points of the panel";

  // An effect of none from OnEnter refuses the whole drag, whatever follows.
  log.clear();
  target_->OnEnter = [&log](TObject*, TShiftState, POINTL, DWORD& effect) {
    log.push_back("enter");
    effect = DROPEFFECT_NONE;
  };
  EXPECT_EQ(Drag(data.Get(), DROPEFFECT_COPY, {VK_CONTROL}), DROPEFFECT_NONE);
  EXPECT_EQ(log, (std::vector<std::string>{"enter", "leave"}));

  // OnGetDropEffect chooses instead of the keys, within what is offered.
  log.clear();
  target_->OnEnter = nullptr;
  target_->OnGetDropEffect = [](TObject*, TShiftState, POINTL, DWORD& effect) { effect &= DROPEFFECT_LINK; };
  EXPECT_EQ(Drag(data.Get(), DROPEFFECT_COPY | DROPEFFECT_LINK, {VK_CONTROL}), DROPEFFECT_LINK);
  EXPECT_EQ(log, (std::vector<std::string>{"over 4 50,50", "drop 4 50,50"}));
}

// The answers to the window layer, and an exception in each handler kept
// inside the target.
TEST_F(DropFromWindow, ResultCodesAndFailingHandlers) {
  IDropTarget* sink = target_->DropTarget();
  const POINT at = panel_->ClientToScreen(POINT{5, 5});
  const POINTL p{at.x, at.y};
  const std::string list = Text(WriteDropFiles({"/a.tif"}, true));
  struct Case {
    const char* what;
    std::string formats;  // "list", "text" or "bad map"
    std::function<void()> arm;
    HRESULT enter, over, end;  // end: Drop, or DragLeave when `leave`
    bool leave;
    DWORD effect;  // after the last call
  };
  const auto fail = [](TObject*, TShiftState, POINTL, DWORD&) { throw EConvertError("handler failed"); };
  const std::vector<Case> cases = {
      {"readable", "list", [] {}, S_OK, S_OK, S_OK, false, DROPEFFECT_COPY},
      {"nothing readable", "text", [] {}, S_OK, DV_E_CLIPFORMAT, E_UNEXPECTED, false, DROPEFFECT_NONE},
      {"OnEnter fails", "list", [&] { target_->OnEnter = fail; }, E_UNEXPECTED, DV_E_CLIPFORMAT, E_UNEXPECTED, false,
       DROPEFFECT_NONE},
      {"OnGetDropEffect fails", "list", [&] { target_->OnGetDropEffect = fail; }, E_UNEXPECTED, E_UNEXPECTED,
       E_UNEXPECTED, false, DROPEFFECT_NONE},
      {"OnDragOver fails", "list", [&] { target_->OnDragOver = fail; }, S_OK, E_UNEXPECTED, E_UNEXPECTED, false,
       DROPEFFECT_NONE},
      {"OnDrop fails: the drop is refused", "list", [&] { target_->OnDrop = fail; }, S_OK, S_OK, S_OK, false,
       DROPEFFECT_NONE},
      {"OnLeave fails", "list", [&] { target_->OnLeave = [](TObject*) { throw EConvertError("handler failed"); }; },
       S_OK, S_OK, E_UNEXPECTED, true, DROPEFFECT_COPY},
      {"data read on entering", "bad map", [&] { target_->GetDataOnEnter = true; }, DV_E_CLIPFORMAT, DV_E_CLIPFORMAT,
       E_UNEXPECTED, false, DROPEFFECT_NONE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    target_->OnEnter = target_->OnDragOver = target_->OnDrop = target_->OnGetDropEffect = nullptr;
    target_->OnLeave = nullptr;
    target_->GetDataOnEnter = false;
    c.arm();
    ComPtr<IDataObject> data = CreateStoredDataObject(
        c.formats == "list"   ? std::vector<StoredFormat>{{CF_HDROP, list}}
        : c.formats == "text" ? std::vector<StoredFormat>{{CF_TEXT, "a"}}
                              : std::vector<StoredFormat>{{Registered("FileNameMap"), std::string(1, '\0')}});
    DWORD effect = DROPEFFECT_COPY;
    EXPECT_EQ(sink->DragEnter(data.Get(), MK_LBUTTON, p, &effect), c.enter);
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(sink->DragOver(MK_LBUTTON, p, &effect), c.over);
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(c.leave ? sink->DragLeave() : sink->Drop(data.Get(), 0, p, &effect), c.end);
    EXPECT_EQ(effect, c.effect);
    EXPECT_EQ(target_->GetFiles()->Count(), 0);
  }
  DWORD effect = DROPEFFECT_COPY;
  ComPtr<IDataObject> data = CreateStoredDataObject({{CF_HDROP, list}});
  EXPECT_EQ(sink->Drop(data.Get(), 0, p, &effect), E_UNEXPECTED) << "a drop without a drag entering";
  EXPECT_EQ(effect, DROPEFFECT_NONE);
}
