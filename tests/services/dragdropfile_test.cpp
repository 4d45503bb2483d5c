// Blocks that other programs hand over in a drop: well-formed ones give
// their names (wide names whole), malformed ones are refused whole; the drop
// target reads a data object's formats in order, and a drop whose handler
// fails is refused.
#include "services/dragdropfile.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rtl/exceptions.h"
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
