// The standard formats: malformed blocks refused per format, size caps that
// do not trust a stream's own report, the round trip of every standard
// format through the clipboard, the rendering of values into media, and
// the feedback data format.
#include "services/dragdropformats.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "platform/win/user_clipboard.h"
#include "platform/win/winuser_consts.h"
#include "services/dragdropfile.h"
#include "services/dragdroppidl.h"
#include "tests/services/dragdrop_doubles.h"

using namespace dragdrop_test;

namespace {

bool Read(TCustomSimpleClipboardFormat& format, const std::string& block) {
  return format.ReadData(reinterpret_cast<const uint8_t*>(block.data()), block.size());
}

// A format's block as written into global memory.
std::string Written(TClipboardFormat& format) {
  STGMEDIUM medium;
  FORMATETC request = format.FormatEtc;
  request.tymed = TYMED_HGLOBAL;
  if (!format.SetDataToMedium(request, medium)) return "<refused>";
  std::string bytes;
  ReadMediumBytes(medium, bytes, 1 << 20);
  ReleaseStgMedium(&medium);
  return bytes;
}

}  // namespace

TEST(StandardFormats, MalformedBlocksAreRefused) {
  struct Case {
    const char* what;
    std::function<TCustomSimpleClipboardFormat*()> make;
    std::string block;
  };
  const auto ansi = [] { return new TFileGroupDescritorClipboardFormat; };
  const auto wide = [] { return new TFileGroupDescritorWClipboardFormat; };
  std::string unended = Record(u"", false);
  std::fill(unended.begin() + 72, unended.end(), 'a');
  std::string loneSurrogate = Record(u"a", true);
  loneSurrogate[73] = static_cast<char>(0xD8);
  const std::vector<uint8_t> cidaBytes = WriteIDListsToCIDA({PathToIDList("/home"), PathToIDList("/a.jpg")});
  const std::string cida(cidaBytes.begin(), cidaBytes.end());
  const std::vector<Case> cases = {
      {"32-bit value of 3 bytes", [] { return new TPreferredDropEffectClipboardFormat; }, "abc"},
      {"class id of 15 bytes", [] { return new TTargetCLSIDClipboardFormat; }, std::string(15, 'x')},
      {"class id of 17 bytes", [] { return new TTargetCLSIDClipboardFormat; }, std::string(17, 'x')},
      {"descriptor count only half there", ansi, U32(1).substr(0, 2)},
      {"descriptor count past the block", ansi, U32(3) + Record(u"a.jpg", false)},
      {"descriptor count over the cap", ansi, U32(kMaxDropNames + 1) + std::string(332 * 8, '\0')},
      {"descriptor name without its end", ansi, U32(1) + unended},
      {"wide descriptors of 2 in 1,780 bytes", wide, U32(2) + Record(u"a", true) + Record(u"b", true) +
                                                       std::string(1780 - 4 - 2 * 592, '\0')},
      {"wide descriptor with a lone surrogate", wide, U32(1) + loneSurrogate},
      {"ID list array with its count past the block", [] { return new TPIDLClipboardFormat; }, U32(1000) + U32(12)},
      {"ID list array offset into its header", [] { return new TPIDLClipboardFormat; },
       U32(1) + U32(4) + cida.substr(8)},
      {"ID list array cut short", [] { return new TPIDLClipboardFormat; }, cida.substr(0, cida.size() - 1)},
      {"file list of its header only", [] { return new TFileClipboardFormat; }, std::string(20, '\0')},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TCustomSimpleClipboardFormat> format(c.make());
    EXPECT_FALSE(Read(*format, c.block)) << c.what;
    if (!dynamic_cast<TCustomDWORDClipboardFormat*>(format.get())) {
      EXPECT_FALSE(format->HasData()) << c.what;
    }
  }
  TFileGroupDescritorClipboardFormat longer;
  EXPECT_TRUE(Read(longer, U32(2) + Record(u"a", false) + Record(u"b", false) + std::string(12, 'x')))
      << "2 records in 680 bytes: the tail is ignored";
  EXPECT_EQ(longer.FileName(1), "b");
}

TEST(StandardFormats, BlocksAreCappedWhateverTheStreamReports) {
  // A stream that claims a terabyte but holds 4 bytes is read as 4 bytes.
  ComPtr<ItemDataObject> liar = MakeItems();
  TPreferredDropEffectClipboardFormat effect;
  liar->items[effect.ClipboardFormat()] = {U32(DROPEFFECT_LINK)};
  liar->streamFor = [](const std::string& bytes) {
    return ComPtr<IStream>::Attach(new LyingStream(bytes, uint64_t{1} << 40));
  };
  FORMATETC asStream = effect.FormatEtc;
  asStream.tymed = TYMED_ISTREAM;
  effect.FormatEtc = asStream;
  ASSERT_TRUE(effect.GetData(liar.Get()));
  EXPECT_EQ(effect.Value, DROPEFFECT_LINK);

  // A stream holding more than the cap is refused, also when it claims less.
  TTextClipboardFormat text;
  text.FormatEtc.tymed = TYMED_ISTREAM;
  liar->items[CF_TEXT] = {std::string(kMaxDropBlockBytes + 1, 'a')};
  liar->streamFor = [](const std::string& bytes) { return ComPtr<IStream>::Attach(new LyingStream(bytes, 10)); };
  EXPECT_FALSE(text.GetData(liar.Get()));
  EXPECT_FALSE(text.HasData());

  // Global memory over the cap is refused before it is read.
  TTextClipboardFormat big;
  liar->items[CF_TEXT] = {std::string(kMaxDropBlockBytes + 1, 'a')};
  EXPECT_FALSE(big.GetData(liar.Get()));
}

TEST(StandardFormats, RoundTripThroughTheClipboard) {
  struct Case {
    const char* what;
    std::function<TClipboardFormat*()> make;
    std::function<void(TClipboardFormat&)> set;
    std::function<std::string(TClipboardFormat&)> get;
  };
  const GUID clsid{0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}};
  const std::vector<Case> cases = {
      {"text", [] { return new TTextClipboardFormat; },
       [](TClipboardFormat& f) { static_cast<TTextClipboardFormat&>(f).Data = "Chart ü"; },
       [](TClipboardFormat& f) { return static_cast<TTextClipboardFormat&>(f).Data; }},
      {"performed effect", [] { return new TPerformedDropEffectClipboardFormat; },
       [](TClipboardFormat& f) { static_cast<TCustomDWORDClipboardFormat&>(f).Value = DROPEFFECT_MOVE; },
       [](TClipboardFormat& f) { return std::to_string(static_cast<TCustomDWORDClipboardFormat&>(f).Value); }},
      {"class id", [] { return new TTargetCLSIDClipboardFormat; },
       [clsid](TClipboardFormat& f) { static_cast<TTargetCLSIDClipboardFormat&>(f).ClassID = clsid; },
       [clsid](TClipboardFormat& f) {
         return std::string(IsEqualGUID(static_cast<TTargetCLSIDClipboardFormat&>(f).ClassID, clsid) ? "same" : "other");
       }},
      {"wide descriptors", [] { return new TFileGroupDescritorWClipboardFormat; },
       [](TClipboardFormat& f) {
         const std::string block = Group({u"Bild €.jpg", u"b.tif"}, true);
         static_cast<TFileGroupDescritorWClipboardFormat&>(f).CopyDescriptor(
             reinterpret_cast<const uint8_t*>(block.data()), block.size());
       },
       [](TClipboardFormat& f) {
         auto& d = static_cast<TFileGroupDescritorWClipboardFormat&>(f);
         return d.FileName(0) + "|" + d.FileName(1);
       }},
      {"8-bit descriptors", [] { return new TFileGroupDescritorClipboardFormat; },
       [](TClipboardFormat& f) {
         const std::string block = Group({u"a.jpg"}, false);
         static_cast<TFileGroupDescritorClipboardFormat&>(f).CopyDescriptor(
             reinterpret_cast<const uint8_t*>(block.data()), block.size());
       },
       [](TClipboardFormat& f) { return static_cast<TFileGroupDescritorClipboardFormat&>(f).FileName(0); }},
      {"ID list array", [] { return new TPIDLClipboardFormat; },
       [](TClipboardFormat& f) {
         TStringList names;
         names.Add("/home/u/a.jpg");
         names.Add("/home/u/sub/b.tif");
         static_cast<TPIDLClipboardFormat&>(f).IDListFileNames.Assign(names);
       },
       [](TClipboardFormat& f) {
         auto& p = static_cast<TPIDLClipboardFormat&>(f);
         return p.IDListFileNames.Text();
       }},
      {"file list", [] { return new TFileClipboardFormat; },
       [](TClipboardFormat& f) { static_cast<TFileClipboardFormat&>(f).FileNames.Add("/tmp/Ä.jpg"); },
       [](TClipboardFormat& f) { return static_cast<TFileClipboardFormat&>(f).FileNames.Text(); }},
  };
  for (const Case& c : cases) {
    std::unique_ptr<TClipboardFormat> out(c.make()), in(c.make());
    c.set(*out);
    const std::string expected = c.get(*out);
    ComPtr<IDataObject> source = CreateStoredDataObject({});
    STGMEDIUM medium;
    ASSERT_TRUE(out->SetData(source.Get(), out->FormatEtc, medium)) << c.what;
    ASSERT_EQ(OleSetClipboard(source.Get()), S_OK);
    ComPtr<IDataObject> pasted;
    ASSERT_EQ(OleGetClipboard(pasted.GetAddressOf()), S_OK);
    ASSERT_TRUE(in->GetData(pasted.Get())) << c.what;
    EXPECT_EQ(c.get(*in), expected) << c.what;
    EXPECT_NE(expected, "") << c.what;
  }
  OleSetClipboard(nullptr);
}

TEST(StandardFormats, ValuesRenderAsTheirBlocks) {
  TTextClipboardFormat text;
  text.Data = "abc";
  EXPECT_EQ(Written(text), std::string("abc\0", 4));
  ASSERT_TRUE(Read(text, std::string("ab\0cd", 5)));
  EXPECT_EQ(text.Data, "ab") << "text stops at its zero";
  TCustomStringClipboardFormat plain;
  ASSERT_TRUE(Read(plain, std::string("ab\0cd", 5)));
  EXPECT_EQ(plain.Data.size(), 5u) << "a plain string keeps every byte";

  TCustomWideTextClipboardFormat wide;
  wide.SetTextUtf8("abc");
  EXPECT_EQ(wide.GetSize(), 8);
  TPreferredDropEffectClipboardFormat effect;
  effect.Value = 5;
  EXPECT_EQ(Written(effect), U32(5));
  EXPECT_FALSE(effect.WriteData(nullptr, 3)) << "only into exactly 4 bytes";

  // A request for every medium gets global memory; one naming the stream a
  // stream, which reads from its start although it is handed out at its end.
  STGMEDIUM medium;
  FORMATETC request = text.FormatEtc;
  text.Data = "xyz";
  request.tymed = static_cast<DWORD>(-1);
  ASSERT_TRUE(text.SetDataToMedium(request, medium));
  EXPECT_EQ(medium.tymed, TYMED_HGLOBAL);
  ReleaseStgMedium(&medium);
  request.tymed = TYMED_ISTREAM | TYMED_HGLOBAL;
  ASSERT_TRUE(text.SetDataToMedium(request, medium));
  ASSERT_EQ(medium.tymed, TYMED_ISTREAM);
  char got[8] = {};
  ULONG read = 0;
  ASSERT_EQ(medium.pstm->Read(got, sizeof got, &read), S_OK);
  EXPECT_EQ(std::string(got, read), std::string("xyz\0", 4));
  ComPtr<IStream> copy = StreamOf("");
  uint64_t copied = 0;
  medium.pstm->Seek(0, STREAM_SEEK_END, nullptr);
  EXPECT_EQ(medium.pstm->CopyTo(copy.Get(), static_cast<uint64_t>(-1), &copied, nullptr), S_OK);
  EXPECT_EQ(copied, 4u) << "copying all from the end copies the whole stream";
  ReleaseStgMedium(&medium);
  EXPECT_FALSE(StorageToStream(nullptr)) << "no compound files here";
}

TEST(FeedbackDataFormat, GathersTheEffectsAndKeepsWhatClearLeaves) {
  ComPtr<ItemDataObject> data = MakeItems();
  data->items[TPreferredDropEffectClipboardFormat().ClipboardFormat()] = {U32(DROPEFFECT_COPY)};
  data->items[TInShellDragLoopClipboardFormat().ClipboardFormat()] = {U32(5)};
  data->items[TPasteSucceededClipboardFormat().ClipboardFormat()] = {U32(DROPEFFECT_MOVE)};
  TFeedbackDataFormat feedback(nullptr);
  EXPECT_EQ(feedback.CompatibleFormats.Count(), 6);
  ASSERT_TRUE(feedback.GetData(data.Get()));
  EXPECT_EQ(feedback.PreferredDropEffect, DROPEFFECT_COPY);
  EXPECT_TRUE(feedback.InShellDragLoop) << "any value but 0";
  EXPECT_EQ(feedback.PasteSucceeded, DROPEFFECT_MOVE);

  TInShellDragLoopClipboardFormat loop;
  ASSERT_TRUE(feedback.AssignTo(&loop));
  EXPECT_EQ(loop.Value, 1u) << "written back as 1";

  int changes = 0;
  feedback.OnChanging = [&changes](TObject*) { ++changes; };
  feedback.Clear();
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(feedback.PreferredDropEffect, 0u);
  EXPECT_EQ(feedback.PasteSucceeded, DROPEFFECT_MOVE);
  EXPECT_TRUE(feedback.HasData()) << "Paste Succeeded survives Clear";
}
