// Virtual files: contents read item by item and named after their
// descriptors, contents supplied on demand, the descriptors' names as a
// string list, the writing of dropped contents into the drop folder without
// climbing out of it, and a drop of virtual files on the file drop target.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "services/dragdropfile.h"
#include "services/dragdropformats.h"
#include "tests/services/dragdrop_doubles.h"
#include "tests/services/test_folder.h"

using namespace dragdrop_test;

namespace {

CLIPFORMAT GroupW() { return TFileGroupDescritorWClipboardFormat().ClipboardFormat(); }

std::string StreamText(TMemoryStream* stream) {
  return std::string(static_cast<const char*>(stream->Memory()), static_cast<size_t>(stream->Size()));
}

TStreamList* Streams(std::initializer_list<std::pair<std::string, std::string>> items) {
  auto* list = new TStreamList;
  for (const auto& [name, text] : items) {
    auto* stream = new TMemoryStream;
    stream->WriteBuffer(text.data(), static_cast<int32_t>(text.size()));
    list->Add(stream, name);
  }
  return list;
}

}  // namespace

TEST(FileContents, ItemsAreReadInOrderNamedAfterTheirDescriptors) {
  ComPtr<ItemDataObject> data = MakeItems();
  data->items[GroupW()] = {Group({u"a.jpg", u"Bild €.tif", u"c.png"}, true)};
  data->items[FileContentsFormat()] = {"first", "second", "third"};
  TFileContentsStreamClipboardFormat contents;
  ASSERT_TRUE(contents.GetData(data.Get()));
  ASSERT_EQ(contents.Streams.Count(), 3);
  EXPECT_EQ(contents.Streams.Names(1), "Bild €.tif") << "wide names kept whole";
  EXPECT_EQ(StreamText(contents.Streams.Streams(2)), "third");

  // An item the object cannot deliver ends the reading; what came before stays.
  data->missing = {1};
  ASSERT_TRUE(contents.GetData(data.Get()));
  EXPECT_EQ(contents.Streams.Count(), 1);

  // Without descriptors one item is read, unnamed.
  ComPtr<ItemDataObject> bare = MakeItems();
  bare->items[FileContentsFormat()] = {"only"};
  ASSERT_TRUE(contents.GetData(bare.Get()));
  ASSERT_EQ(contents.Streams.Count(), 1);
  EXPECT_EQ(contents.Streams.Names(0), "");

  // Moving the streams into a data format empties the clipboard format and
  // tells the data format's listeners.
  TDataStreamDataFormat streams(nullptr);
  int changes = 0;
  streams.OnChanging = [&changes](TObject*) { ++changes; };
  ASSERT_TRUE(streams.GetData(bare.Get()));
  EXPECT_EQ(streams.Streams.Count(), 1);
  EXPECT_GT(changes, 0);
  ASSERT_TRUE(contents.GetData(bare.Get()));
  ASSERT_TRUE(contents.AssignTo(&streams));
  EXPECT_EQ(contents.Streams.Count(), 0);
  EXPECT_EQ(StreamText(streams.Streams.Streams(0)), "only");
}

TEST(FileContents, AllItemsTogetherStayUnderTheCap) {
  ComPtr<ItemDataObject> data = MakeItems();
  data->items[GroupW()] = {Group({u"a", u"b"}, true)};
  // Each item claims a small size; the second would pass the cap.
  data->items[FileContentsFormat()] = {"x", "y"};
  data->streamFor = [](const std::string& bytes) {
    return ComPtr<IStream>::Attach(new LyingStream(bytes == "y" ? std::string(100, 'y') : bytes, 1));
  };
  TFileContentsStreamClipboardFormat contents;
  contents.MaxBytes = 100;
  EXPECT_FALSE(contents.GetData(data.Get()));
  EXPECT_EQ(contents.Streams.Count(), 1) << "the item before the oversized one stays";
}

TEST(VirtualFiles, DescriptorsNamesAndContentsOnDemand) {
  TVirtualFileStreamDataFormat files(nullptr);
  ComPtr<ItemDataObject> data = MakeItems();
  data->items[TFileGroupDescritorClipboardFormat().ClipboardFormat()] = {Group({u"a.jpg", u"b.jpg"}, false)};
  data->items[FileContentsFormat()] = {"a"};
  ASSERT_TRUE(files.GetData(data.Get()));
  EXPECT_EQ(files.FileNames.Text(), "a.jpg\r\nb.jpg\r\n");
  EXPECT_TRUE(files.HasContents);

  files.Clear();
  files.FileNames.Add("c.jpg");
  EXPECT_FALSE(files.HasData()) << "no contents and nobody to supply them";
  int asked = -2;
  files.FileContentsClipboardFormat->OnGetStream = [&asked](TObject*, int32_t index, ComPtr<IStream>& stream) {
    asked = index;
    stream = StreamOf("contents");
  };
  EXPECT_TRUE(files.HasData());
  STGMEDIUM medium;
  FORMATETC request = files.FileContentsClipboardFormat->FormatEtc;
  ASSERT_TRUE(files.FileContentsClipboardFormat->SetDataToMedium(request, medium));
  EXPECT_EQ(asked, 0) << "item -1 is item 0";
  ReleaseStgMedium(&medium);

  // Names are appended only, cut to 259 characters; assigning replaces them.
  files.FileNames.Insert(0, "never.jpg");
  EXPECT_EQ(files.FileNames.Count(), 1);
  files.FileNames.Add(std::string(300, 'n'));
  EXPECT_EQ(files.FileNames.Strings(1).size(), 259u);
  TStringList two;
  two.Add("x");
  two.Add("y");
  for (int i = 0; i < 3; ++i) files.FileNames.Add("z");
  files.FileNames.Assign(two);
  EXPECT_EQ(files.FileNames.Count(), 2);
  EXPECT_EQ(files.FileDescriptors.Count(), 2);
  EXPECT_EQ(files.FileNames.Objects(1), nullptr);

  TFileGroupDescritorClipboardFormat group;
  ASSERT_TRUE(files.AssignTo(&group));
  EXPECT_EQ(group.Count(), 2u);
  EXPECT_EQ(group.FileName(1), "y");
}

TEST(DropFolder, ContentsAreWrittenBelowItAndNeverReplaceAFile) {
  TempFolder folder;
  const std::string root = folder.Path();
  std::ofstream(root + "/a.jpg") << "older";
  std::unique_ptr<TStreamList> streams(Streams({{"a.jpg", "new"}, {"sub\\b.tif", "bee"}, {"c", "see"}}));
  std::vector<std::string> paths;
  ASSERT_TRUE(SaveStreamsToFolder(*streams, root, paths));
  ASSERT_EQ(paths.size(), 3u);
  EXPECT_EQ(paths[0], root + "/a (2).jpg");
  EXPECT_EQ(ReadAll(root + "/a.jpg"), "older");
  EXPECT_EQ(ReadAll(paths[0]), "new");
  EXPECT_EQ(paths[1], root + "/sub/b.tif");
  EXPECT_EQ(ReadAll(paths[1]), "bee");

  // Any name that could leave the folder refuses the whole drop before a byte is written.
  for (const char* bad : {"../up.jpg", "/etc/x", "C:evil.jpg", "sub/../../x", "", "a\nb"}) {
    std::unique_ptr<TStreamList> hostile(Streams({{"fine.jpg", "1"}, {bad, "2"}}));
    paths.clear();
    EXPECT_FALSE(SaveStreamsToFolder(*hostile, root, paths)) << bad;
    EXPECT_TRUE(paths.empty());
    EXPECT_FALSE(std::filesystem::exists(root + "/fine.jpg")) << bad;
  }

  // A link inside the folder is not followed; what was written is removed.
  TempFolder outside;
  ASSERT_EQ(symlink(outside.Path().c_str(), (root + "/link").c_str()), 0);
  std::unique_ptr<TStreamList> through(Streams({{"d.jpg", "d"}, {"link/e.jpg", "e"}}));
  paths.clear();
  EXPECT_FALSE(SaveStreamsToFolder(*through, root, paths));
  EXPECT_FALSE(std::filesystem::exists(outside.Path() + "/e.jpg"));
  EXPECT_FALSE(std::filesystem::exists(root + "/d.jpg"));
}

TEST(DropFileTarget, VirtualFilesDroppedLandInTheDropFolder) {
  TempFolder folder;
  TDropFileTarget target(nullptr);
  target.VirtualFileFolder = folder.Path();
  auto* streams = new TDataStreamDataFormat(&target);
  std::vector<std::string> seen;
  int streamsSeen = -1;
  target.OnDrop = [&](TObject*, TShiftState, POINTL, DWORD&) {
    for (int i = 0; i < target.GetFiles()->Count(); ++i) seen.push_back(target.GetFiles()->Strings(i));
    streamsSeen = streams->Streams.Count();
  };
  ComPtr<ItemDataObject> data = MakeItems();
  data->items[GroupW()] = {Group({u"chart.jpg"}, true)};
  data->items[FileContentsFormat()] = {"jpeg bytes"};
  DWORD effect = DROPEFFECT_COPY | DROPEFFECT_MOVE;
  ASSERT_EQ(target.DropTarget()->DragEnter(data.Get(), 0, {}, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_COPY) << "the target's drag types allow copy and link";
  effect = DROPEFFECT_COPY;
  ASSERT_EQ(target.DropTarget()->Drop(data.Get(), 0, {}, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  ASSERT_EQ(seen, std::vector<std::string>{folder.Path() + "/chart.jpg"});
  EXPECT_EQ(ReadAll(seen[0]), "jpeg bytes");
  EXPECT_EQ(streamsSeen, 1) << "the target's own data formats read the drop too";
  EXPECT_EQ(streams->Streams.Count(), 0) << "and are cleared after OnDrop";
  EXPECT_EQ(data->written[TPerformedDropEffectClipboardFormat().ClipboardFormat()], U32(DROPEFFECT_COPY));

  // A descriptor that climbs out is refused: nothing written, OnDrop not run.
  seen.clear();
  data->items[GroupW()] = {Group({u"..\\..\\chart.jpg"}, true)};
  target.VirtualFileFolder = folder.Path() + "/sub";
  std::filesystem::create_directory(target.VirtualFileFolder);
  delete streams;  // leaves the target's list
  effect = DROPEFFECT_COPY;
  target.DropTarget()->DragEnter(data.Get(), 0, {}, &effect);
  target.DropTarget()->Drop(data.Get(), 0, {}, &effect);
  EXPECT_EQ(effect, DROPEFFECT_NONE);
  EXPECT_TRUE(seen.empty());
}
