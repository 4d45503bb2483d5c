// Shell ID lists: paths turned into lists and back, the common parent of
// several names, the array block written and read, items without a
// file-system path giving empty names, and the data format fed by ID lists
// or by the desktop's file list.
#include "services/dragdroppidl.h"

#include <gtest/gtest.h>

#include "services/dragdropfile.h"
#include "tests/services/dragdrop_doubles.h"

using namespace dragdrop_test;

namespace {

std::unique_ptr<TStringList> Names(std::initializer_list<const char*> names) {
  auto list = std::make_unique<TStringList>();
  for (const char* n : names) list->Add(n);
  return list;
}

std::string Item(uint8_t kind, const std::string& name) {
  const size_t cb = name.size() + 3;
  return std::string{static_cast<char>(cb), static_cast<char>(cb >> 8), static_cast<char>(kind)} + name;
}

}  // namespace

TEST(IDLists, PathsBecomeListsAndBack) {
  EXPECT_EQ(PathToIDList("/"), std::string(2, '\0'));
  EXPECT_EQ(GetIDListSize(reinterpret_cast<const uint8_t*>("\0\0"), 2), 2u);
  const std::string list = PathToIDList("/home/ü/Bild.jpg");
  EXPECT_EQ(list, Item(kFileSystemItem, "home") + Item(kFileSystemItem, "ü") + Item(kFileSystemItem, "Bild.jpg") +
                      std::string(2, '\0'));
  std::string path;
  ASSERT_TRUE(GetPathFromIDList(list, path));
  EXPECT_EQ(path, "/home/ü/Bild.jpg");
  for (const char* bad : {"relative/a", "", "/a/../b", "/a/./b", "/a//b"}) EXPECT_EQ(PathToIDList(bad), "") << bad;

  // Items of another kind, or names that are no plain component, have no path here.
  for (const std::string& other : {Item(0x1F, "{control panel}"), Item(kFileSystemItem, ".."),
                                   Item(kFileSystemItem, "a/b"), Item(kFileSystemItem, "")})
    EXPECT_FALSE(GetPathFromIDList(Item(kFileSystemItem, "home") + other + std::string(2, '\0'), path));
  EXPECT_EQ(JoinIDLists(PathToIDList("/home"), PathToIDList("/a").substr(0)), PathToIDList("/home/a"));
}

TEST(IDLists, CommonParentAndRelativeChildren) {
  std::string parent;
  GetCommonParentIDList(*Names({"/home/u/photos/a.jpg", "/home/u/charts/b.tif", "/home/u/photos/c.png"}), parent);
  EXPECT_EQ(parent, PathToIDList("/home/u"));
  EXPECT_THROW(GetCommonParentIDList(*Names({"/a/b.jpg", "relative.jpg"}), parent), EDataFormatError);
  try {
    GetCommonParentIDList(*Names({"relative.jpg"}), parent);
  } catch (const EDataFormatError& e) {
    EXPECT_EQ(e.Message(), "Invalid filename: relative.jpg");
  }

  std::vector<std::string> lists;
  ASSERT_TRUE(FileNamesToIDLists(*Names({"/p/a.jpg", "/p/b.jpg", "/p/c.jpg"}), lists));
  ASSERT_EQ(lists.size(), 4u);
  EXPECT_EQ(lists[2], PathToIDList("/b.jpg"));
  EXPECT_FALSE(FileNamesToIDLists(*Names({}), lists));
  EXPECT_FALSE(FileNamesToIDLists(*Names({"/p/a.jpg", "nowhere"}), lists));
  EXPECT_TRUE(lists.empty());
}

TEST(IDLists, ArrayBlockRoundTripAndItemsWithoutPath) {
  const std::vector<std::string> lists = {PathToIDList("/home/u"), PathToIDList("/a.jpg"),
                                          Item(0x1F, "{printer}") + std::string(2, '\0'), PathToIDList("/s/b.tif")};
  const std::vector<uint8_t> block = WriteIDListsToCIDA(lists);
  TPIDLClipboardFormat format;
  ASSERT_TRUE(format.ReadData(block.data(), block.size()));
  EXPECT_EQ(format.IDLists, lists);
  EXPECT_EQ(format.GetSize(), static_cast<int32_t>(block.size()));
  ASSERT_EQ(format.IDListFileNames.Count(), 3);
  EXPECT_EQ(format.IDListFileNames.Strings(0), "/home/u/a.jpg");
  EXPECT_EQ(format.IDListFileNames.Strings(1), "") << "an item outside the file system keeps its place";
  EXPECT_EQ(format.IDListFileNames.Strings(2), "/home/u/s/b.tif");
  EXPECT_THROW(format.IDListFileNames.Strings(3), EDataFormatError);
  format.IDListFileNames.Delete(0);
  EXPECT_EQ(format.IDListFileNames.Count(), 3) << "the view is read only";

  const std::vector<uint8_t> parentOnly = WriteIDListsToCIDA({PathToIDList("/home")});
  EXPECT_FALSE(format.ReadData(parentOnly.data(), parentOnly.size())) << "no child";
  format.Clear();
  EXPECT_THROW(format.WriteData(nullptr, 0), EDataFormatError) << "no parent to count from";

  // A list whose item runs past the block, or of size 1, is refused.
  for (const std::string& item : {std::string{40, 0, 1}, std::string{1, 0, 0, 0}}) {
    const std::vector<uint8_t> broken = WriteIDListsToCIDA({PathToIDList("/h"), item});
    EXPECT_FALSE(format.ReadData(broken.data(), broken.size()));
  }
}

TEST(PIDLDataFormat, FedByIDListsFirstThenTheFileList) {
  TPIDLDataFormat data(nullptr);
  ASSERT_EQ(data.CompatibleFormats.Count(), 2);
  EXPECT_EQ(data.CompatibleFormats.Formats(0)->ClassName(), "TPIDLClipboardFormat");

  ComPtr<ItemDataObject> files = MakeItems();
  const std::vector<uint8_t> hdrop = WriteDropFiles({"/x/1.jpg", "/x/2.jpg"}, true);
  files->items[CF_HDROP] = {std::string(hdrop.begin(), hdrop.end())};
  ASSERT_TRUE(data.GetData(files.Get()));
  EXPECT_EQ(data.IDListFileNames.Text(), "/x/1.jpg\r\n/x/2.jpg\r\n");

  TFileClipboardFormat back;
  ASSERT_TRUE(data.AssignTo(&back));
  EXPECT_EQ(back.FileNames.Text(), "/x/1.jpg\r\n/x/2.jpg\r\n");

  data.Clear();
  const std::vector<uint8_t> cida = WriteIDListsToCIDA({PathToIDList("/y"), PathToIDList("/3.jpg")});
  files->items[static_cast<CLIPFORMAT>(PIDLFormat())] = {std::string(cida.begin(), cida.end())};
  ASSERT_TRUE(data.GetData(files.Get()));
  EXPECT_EQ(data.IDListFileNames.Text(), "/y/3.jpg\r\n") << "the ID lists are preferred";

  // The file drop target takes the paths of dropped ID lists as names.
  std::vector<std::string> names;
  ComPtr<IDataObject> only = CreateStoredDataObject({{PIDLFormat(), std::string(cida.begin(), cida.end())}});
  ASSERT_TRUE(TDropFileTarget::ReadFiles(only.Get(), names));
  EXPECT_EQ(names, std::vector<std::string>{"/y/3.jpg"});
}
