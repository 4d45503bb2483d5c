// The layer file: whole stacks written and read back in every image format,
// old versions, embedding, and damaged files that must fail cleanly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "imaging/view/imageryview_streamio.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"
#include "tests/imaging/view/layer_test_support.h"

using namespace layertest;

namespace {

using TLayers = std::vector<std::unique_ptr<TIELayer>>;

// Background with an alpha-less pattern, a half-transparent layer with
// alpha at a negative position, and a small blended layer on top.
TLayers SampleStack() {
  TLayers layers;
  layers.push_back(PatternLayer(12, 9, 0, false));
  layers.push_back(PatternLayer(5, 4, 40, true));
  layers[1]->PosX = -3;
  layers[1]->PosY = 2;
  layers[1]->Opacity = 0.5;
  layers[1]->Alpha = 200;
  layers[1]->Name = "half";
  layers[1]->Width = 10;
  layers[1]->Height = 8;
  layers.push_back(PatternLayer(3, 6, 90, false));
  layers[2]->PosX = 7;
  layers[2]->PosY = 1;
  layers[2]->BlendOperator = 4;
  layers[2]->Visible = false;
  layers[2]->Selectable = false;
  layers[2]->EdgeSoftening = 2;
  layers[2]->ResampleFilter = rfBilinear;
  layers[2]->UseOwnFilter = true;
  layers[2]->Magnifier = TIEMagnifier{true, 4.0, 1, 0};
  return layers;
}

std::vector<TIELayer*> Pointers(const TLayers& layers) {
  std::vector<TIELayer*> list;
  for (const auto& l : layers) list.push_back(l.get());
  return list;
}

std::string Bytes(TMemoryStream& s) { return std::string(static_cast<const char*>(s.Memory()), s.Size()); }

class LayerFileTest : public LibraryTest {};

}  // namespace

TEST_F(LayerFileTest, StackRoundTripsInEveryImageFormat) {
  struct Case {
    int32_t format, storedFormat;
  };
  // TIFF (1) is written as PNG (8).
  for (const Case c : {Case{IELayersRawZip, IELayersRawZip}, Case{IELayersRaw, IELayersRaw}, Case{8, 8}, Case{1, 8}}) {
    SCOPED_TRACE(c.format);
    TLayers source = SampleStack();
    TMemoryStream s;
    IEWriteLE<int32_t>(s, 0x11223344);  // embedded after other data: positions are absolute
    IESaveLayerFile(s, Pointers(source), c.format);
    s.SetPosition(4);
    ASSERT_TRUE(IEIsLayersStream(s));
    EXPECT_EQ(s.Position(), 4);
    TIELayersHeader header;
    ASSERT_TRUE(IEReadLayersHeader(s, header));
    EXPECT_EQ(header.Version, 8);
    EXPECT_EQ(header.ImageFormat, c.storedFormat);
    EXPECT_EQ(header.LayerCount, 3);

    s.SetPosition(4);
    TLayers loaded;
    ASSERT_TRUE(IELoadLayerFile(s, loaded, nullptr));
    ASSERT_EQ(loaded.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
      SCOPED_TRACE(i);
      ExpectSameCopiedProperties(*source[i], *loaded[i]);
      ExpectSamePixels(*source[i]->Bitmap, *loaded[i]->Bitmap);
      EXPECT_EQ(loaded[i]->Owner, nullptr);
    }
  }
}

TEST_F(LayerFileTest, OneLayerFileIsHeaderRecordAndImage) {
  TLayers source;
  source.push_back(PatternLayer(4, 4, 1, false));
  source[0]->Name = "bg";
  TMemoryStream s;
  IESaveLayerFile(s, Pointers(source), IELayersRaw);
  // Header, then the record: 69 bytes with the 2 of the name, ending in the image offset.
  const int64_t recordEnd = 25 + 69 + 2;
  s.SetPosition(recordEnd - 8);
  EXPECT_EQ(IEReadLE<int64_t>(s), recordEnd);
  EXPECT_EQ(IEReadLE<int32_t>(s), source[0]->Bitmap->RawSize());
  EXPECT_EQ(s.Size(), recordEnd + 4 + source[0]->Bitmap->RawSize());
}

TEST_F(LayerFileTest, MaskLayerStoredAsPngComesBackGrey) {
  TLayers source;
  source.push_back(PatternLayer(6, 6, 3, false));
  source.push_back(std::make_unique<TIELayer>(nullptr, false, nullptr));
  source[1]->Bitmap->Allocate(6, 6, ie8g);
  for (int32_t y = 0; y < 6; ++y)
    for (int32_t x = 0; x < 6; ++x) source[1]->Bitmap->SetPixel8(x, y, static_cast<uint8_t>(x * 40 + y));
  source[1]->MaskOfPrevious = true;
  TMemoryStream s;
  IESaveLayerFile(s, Pointers(source), 8);
  s.SetPosition(0);
  TLayers loaded;
  ASSERT_TRUE(IELoadLayerFile(s, loaded, nullptr));
  ASSERT_EQ(loaded[1]->Bitmap->GetPixelFormat(), ie8g);
  EXPECT_EQ(loaded[1]->Bitmap->GetPixel8(5, 3), 203);
}

TEST_F(LayerFileTest, OldVersionKeepsTheFieldsItLacks) {
  // A version 2 file with one layer: no opacity, magnifier source, name,
  // user data, filters, mask, selectable, dimming or softening.
  auto image = PatternLayer(3, 2, 5, false);
  TMemoryStream s;
  IEWriteLayersHeader(s, TIELayersHeader{2, IELayersRaw, 1});
  for (uint8_t b : {1, 1}) IEWriteLE<uint8_t>(s, b);  // visible, box
  IEWriteLE<int32_t>(s, 128);                        // alpha
  IEWriteLE<int32_t>(s, 5);                          // position
  IEWriteLE<int32_t>(s, 6);
  for (uint8_t b : {0, 0, 1}) IEWriteLE<uint8_t>(s, b);  // clip, locked, magnifier
  IEWriteLE<double>(s, 3.0);
  IEWriteLE<uint8_t>(s, 1);  // shape
  IEWriteLE<uint8_t>(s, 2);  // operator
  IEWriteLE<int32_t>(s, 0);
  IEWriteLE<int32_t>(s, 0);
  IEWriteLE<int64_t>(s, s.Position() + 8);
  IEWriteLayerImage(s, *image->Bitmap, IELayersRaw);

  TIELayer first(nullptr, false, nullptr);
  first.Name = "old name";
  first.Opacity = 0.75;
  first.Magnifier.Source = 0;
  first.Selectable = false;
  first.EdgeSoftening = 3;
  s.SetPosition(0);
  TLayers loaded;
  ASSERT_TRUE(IELoadLayerFile(s, loaded, &first));
  const TIELayer& l = *loaded[0];
  EXPECT_EQ(l.Alpha, 128);
  EXPECT_EQ(l.PosX, 5);
  EXPECT_EQ(l.Magnifier, (TIEMagnifier{true, 3.0, 1, 0}));
  EXPECT_EQ(l.BlendOperator, 2);
  EXPECT_EQ(l.Name, "old name");
  EXPECT_EQ(l.Opacity, 0.75);
  EXPECT_FALSE(l.Selectable);
  EXPECT_EQ(l.EdgeSoftening, 3);
  ExpectSamePixels(*l.Bitmap, *image->Bitmap);
}

TEST_F(LayerFileTest, ForeignOrVersionlessStreamsAreNotLayerFiles) {
  struct Case {
    std::string bytes;
    bool layers;
  };
  std::string v0(25, '\0'), v1(25, '\0');
  std::memcpy(v0.data(), "IMAGERYLAYERS", 13);
  std::memcpy(v1.data(), "IMAGERYLAYERS", 13);
  v1[13] = 1;
  for (const Case& c : {Case{v0, false}, Case{v1, true}, Case{"IMAGERYLAYERS", false},
                        Case{"IMAGERYLAYERZ" + std::string(12, '\1'), false}, Case{"", false}}) {
    auto s = StreamOf(c.bytes);
    EXPECT_EQ(IEIsLayersStream(*s), c.layers) << c.bytes.size();
    EXPECT_EQ(s->Position(), 0);
    TLayers loaded;
    loaded.push_back(PatternLayer(2, 2, 0, false));
    if (!c.layers) {
      EXPECT_FALSE(IELoadLayerFile(*s, loaded, nullptr));
      EXPECT_EQ(loaded.size(), 1u);
    }
  }
}

TEST_F(LayerFileTest, TruncatedOrDamagedFilesFailCleanly) {
  for (int32_t format : {IELayersRawZip, IELayersRaw, 8}) {
    SCOPED_TRACE(format);
    TLayers source = SampleStack();
    TMemoryStream s;
    IESaveLayerFile(s, Pointers(source), format);
    const std::string file = Bytes(s);
    // Every cut in the header and records, then a stride through the images.
    for (size_t cut = 0; cut < file.size(); cut += cut < 300 ? 1 : 7) {
      auto in = StreamOf(file.substr(0, cut));
      TLayers loaded;
      loaded.push_back(PatternLayer(2, 2, 0, false));
      try {
        EXPECT_FALSE(IELoadLayerFile(*in, loaded, nullptr)) << cut;
      } catch (const EStreamError&) {
      }
      ASSERT_EQ(loaded.size(), 1u) << cut;
      EXPECT_EQ(loaded[0]->Bitmap->GetWidth(), 2);
    }
  }
}

TEST_F(LayerFileTest, ImpossibleCountsOffsetsAndFormatsAreRefused) {
  TLayers source = SampleStack();
  TMemoryStream s;
  IESaveLayerFile(s, Pointers(source), IELayersRaw);
  const std::string file = Bytes(s);
  const size_t firstOffset = 25 + 61 + source[0]->Name.size();
  struct Case {
    const char* what;
    size_t offset;
    int64_t value;
    int32_t size;
  };
  const Case cases[] = {
      {"no layers", 21, 0, 4},
      {"negative layer count", 21, -1, 4},
      {"more layers than bytes", 21, 0x7FFFFFFF, 4},
      {"image format of a layer file", 17, ioLYR, 4},
      {"unknown image format", 17, 4242, 4},
      {"image offset beyond the end", firstOffset, int64_t{1} << 40, 8},
      {"negative image offset", firstOffset, -25, 8},
      {"image offset inside the header", firstOffset, 3, 8},
      {"position at the 32-bit limit", 25 + 14, 0x7FFFFFFF, 4},
      {"position below the layer limit", 25 + 18, -IELayerExtentLimit - 1, 4},
      {"display width beyond the layer limit", 25 + 36, IELayerExtentLimit + 1, 4},
      {"image length beyond the end", file.size() - static_cast<size_t>(source[2]->Bitmap->RawSize()) - 4,
       0x7FFFFFF0, 4},
  };
  for (const Case& c : cases) {
    std::string bad = file;
    std::memcpy(bad.data() + c.offset, &c.value, static_cast<size_t>(c.size));
    auto in = StreamOf(bad);
    TLayers loaded;
    EXPECT_THROW(IELoadLayerFile(*in, loaded, nullptr), Exception) << c.what;
    EXPECT_TRUE(loaded.empty()) << c.what;
  }
}
