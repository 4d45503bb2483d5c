// The imaging component's factory and objects, and TStreamAdapter, as the
// library's reader, writer and scaler rely on them.
#include "platform/win/wincodec.h"

#include <gtest/gtest.h>

#include <vector>

#include "platform/rtl/streams.h"
#include "platform/win/streamadapter.h"

namespace {

class ImagingComponent : public ::testing::Test {
protected:
  void SetUp() override {
    CoInitialize();
    ASSERT_EQ(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                               reinterpret_cast<void**>(factory.GetAddressOf())),
              S_OK);
  }
  void TearDown() override {
    factory.Reset();
    CoUninitialize();
  }
  ComPtr<IWICImagingFactory> factory;
};

TEST_F(ImagingComponent, OnlyTheWmpContainerHasCodecs) {
  ComPtr<IWICBitmapEncoder> encoder;
  for (const GUID* container : {&GUID_ContainerFormatBmp, &GUID_ContainerFormatPng, &GUID_ContainerFormatJpeg,
                                &GUID_ContainerFormatTiff, &GUID_ContainerFormatGif})
    EXPECT_EQ(factory->CreateEncoder(*container, &GUID_VendorMicrosoft, encoder.GetAddressOf()),
              WINCODEC_ERR_COMPONENTNOTFOUND);
  EXPECT_EQ(factory->CreateEncoder(GUID_ContainerFormatWmp, nullptr, encoder.GetAddressOf()), S_OK);
  TMemoryStream bytes;
  bytes.WriteBuffer("BM some bitmap that is not HD Photo", 35);
  bytes.SetPosition(3);
  ComPtr<IWICBitmapDecoder> decoder;
  EXPECT_EQ(factory->CreateDecoderFromStream(TStreamAdapter::Make(&bytes).Get(), &CLSID_WICBmpDecoder,
                                             WICDecodeMetadataCacheOnLoad, decoder.GetAddressOf()),
            WINCODEC_ERR_COMPONENTNOTFOUND);
  EXPECT_EQ(bytes.Position(), 3);
  ComPtr<IWICPixelFormatInfo> info;
  ASSERT_EQ(factory->CreateComponentInfo(GUID_WICPixelFormat48bppRGB, info.GetAddressOf()), S_OK);
  UINT bits = 0, channels = 0;
  info->GetBitsPerPixel(&bits);
  info->GetChannelCount(&channels);
  EXPECT_EQ(bits, 48u);
  EXPECT_EQ(channels, 3u);
}

TEST_F(ImagingComponent, EncoderOptionsAndRowsAreChecked) {
  TMemoryStream out;
  ComPtr<IWICBitmapEncoder> encoder;
  ComPtr<IWICBitmapFrameEncode> frame;
  ComPtr<IPropertyBag2> bag;
  ASSERT_EQ(factory->CreateEncoder(GUID_ContainerFormatWmp, nullptr, encoder.GetAddressOf()), S_OK);
  ASSERT_EQ(encoder->Initialize(TStreamAdapter::Make(&out).Get(), WICBitmapEncoderNoCache), S_OK);
  ASSERT_EQ(encoder->CreateNewFrame(frame.GetAddressOf(), bag.GetAddressOf()), S_OK);
  EXPECT_EQ(encoder->CreateNewFrame(frame.GetAddressOf(), nullptr), WINCODEC_ERR_WRONGSTATE);
  ASSERT_EQ(encoder->CreateNewFrame(frame.GetAddressOf(), bag.GetAddressOf()), WINCODEC_ERR_WRONGSTATE);
  encoder.Reset();
  ASSERT_EQ(factory->CreateEncoder(GUID_ContainerFormatWmp, nullptr, encoder.GetAddressOf()), S_OK);
  encoder->Initialize(TStreamAdapter::Make(&out).Get(), WICBitmapEncoderNoCache);
  encoder->CreateNewFrame(frame.GetAddressOf(), bag.GetAddressOf());
  struct Case {
    const wchar_t* name;
    VARTYPE type;
    double value;
    HRESULT expected;
  };
  const Case cases[] = {{L"ImageQuality", VT_R4, 0.5, S_OK},         {L"ImageQuality", VT_R4, 1.5, WINCODEC_ERR_VALUEOUTOFRANGE},
                        {L"ImageQuality", VT_UI1, 1, E_INVALIDARG},  {L"Overlap", VT_UI1, 3, WINCODEC_ERR_VALUEOUTOFRANGE},
                        {L"Subsampling", VT_UI1, 1, S_OK},           {L"Quality", VT_UI1, 0, WINCODEC_ERR_VALUEOUTOFRANGE},
                        {L"CompressionQuality", VT_R4, 0.5, WINCODEC_ERR_PROPERTYNOTFOUND},
                        {L"TiffCompressionMethod", VT_UI1, 1, WINCODEC_ERR_PROPERTYNOTFOUND}};
  for (const Case& c : cases) {
    PROPBAG2 property;
    property.vt = c.type;
    property.pstrName = c.name;
    VARIANT value;
    value.vt = c.type;
    if (c.type == VT_R4) value.fltVal = static_cast<float>(c.value);
    if (c.type == VT_UI1) value.bVal = static_cast<uint8_t>(c.value);
    EXPECT_EQ(bag->Write(1, &property, &value), c.expected);
  }
  PROPBAG2 quality;
  quality.pstrName = L"ImageQuality";
  VARIANT read;
  ASSERT_EQ(bag->Read(1, &quality, nullptr, &read, nullptr), S_OK);
  EXPECT_FLOAT_EQ(read.fltVal, 0.5f);

  ASSERT_EQ(frame->Initialize(bag.Get()), S_OK);
  ASSERT_EQ(frame->SetSize(4, 2), S_OK);
  WICPixelFormatGUID format = GUID_WICPixelFormat8bppIndexed;
  ASSERT_EQ(frame->SetPixelFormat(&format), S_OK);
  EXPECT_EQ(format, GUID_WICPixelFormat24bppBGR);  // the nearest it writes
  std::vector<BYTE> rows(4 * 3 * 3, 0x80);
  EXPECT_EQ(frame->Commit(), WINCODEC_ERR_WRONGSTATE);
  EXPECT_EQ(frame->WritePixels(3, 12, 36, rows.data()), WINCODEC_ERR_CODECTOOMANYSCANLINES);
  EXPECT_EQ(frame->WritePixels(2, 12, 20, rows.data()), E_INVALIDARG);
  ASSERT_EQ(frame->WritePixels(2, 12, 24, rows.data()), S_OK);
  ASSERT_EQ(frame->Commit(), S_OK);
  EXPECT_EQ(encoder->Commit(), S_OK);
  EXPECT_GT(out.Size(), 8);
}

TEST_F(ImagingComponent, ConverterAndScalerServeRectangles) {
  // A 3 x 2 bilevel source seen through the converter as BGR, then scaled.
  class OnePixel : public ComObject<IWICBitmapSource, IID_IWICBitmapSource> {
  public:
    HRESULT GetSize(UINT* w, UINT* h) override { return *w = 3, *h = 2, S_OK; }
    HRESULT GetPixelFormat(WICPixelFormatGUID* f) override { return *f = GUID_WICPixelFormatBlackWhite, S_OK; }
    HRESULT GetResolution(double* x, double* y) override { return *x = *y = 96, S_OK; }
    HRESULT CopyPalette(IWICPalette*) override { return WINCODEC_ERR_PALETTEUNAVAILABLE; }
    HRESULT CopyPixels(const WICRect*, UINT stride, UINT, BYTE* buffer) override {
      buffer[0] = 0xA0;  // white, black, white
      buffer[stride] = 0x40;  // black, white, black
      return S_OK;
    }
  };
  auto bits = MakeComObject<OnePixel>();
  ComPtr<IWICFormatConverter> converter;
  ASSERT_EQ(factory->CreateFormatConverter(converter.GetAddressOf()), S_OK);
  ASSERT_EQ(converter->Initialize(bits.Get(), GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0,
                                  WICBitmapPaletteTypeCustom),
            S_OK);
  BYTE row[9] = {};
  const WICRect second{0, 1, 3, 1}, outside{1, 1, 3, 1};
  ASSERT_EQ(converter->CopyPixels(&second, 9, 9, row), S_OK);
  EXPECT_EQ(std::vector<BYTE>(row, row + 9), (std::vector<BYTE>{0, 0, 0, 255, 255, 255, 0, 0, 0}));
  EXPECT_EQ(converter->CopyPixels(&outside, 9, 9, row), E_INVALIDARG);
  EXPECT_EQ(converter->CopyPixels(&second, 8, 8, row), E_INVALIDARG);
  ComPtr<IWICFormatConverter> refused;
  factory->CreateFormatConverter(refused.GetAddressOf());
  EXPECT_EQ(refused->Initialize(bits.Get(), GUID_WICPixelFormat16bppGray, WICBitmapDitherTypeNone, nullptr, 0,
                                WICBitmapPaletteTypeCustom),
            WINCODEC_ERR_UNSUPPORTEDOPERATION);

  ComPtr<IWICBitmapScaler> scaler;
  ASSERT_EQ(factory->CreateBitmapScaler(scaler.GetAddressOf()), S_OK);
  EXPECT_EQ(scaler->CopyPixels(nullptr, 3, 3, row), WINCODEC_ERR_NOTINITIALIZED);
  ASSERT_EQ(scaler->Initialize(bits.Get(), 1, 1, WICBitmapInterpolationModeFant), S_OK);
  WICPixelFormatGUID format{};
  scaler->GetPixelFormat(&format);
  EXPECT_EQ(format, GUID_WICPixelFormat24bppBGR);
  ASSERT_EQ(scaler->CopyPixels(nullptr, 3, 3, row), S_OK);
  EXPECT_EQ(row[0], 128);  // three white pixels of six
}

TEST(StreamAdapterTest, ReadsWritesAndSeeksTheLibraryStream) {
  TMemoryStream memory;
  ComPtr<IStream> stream = TStreamAdapter::Make(&memory);
  ULONG moved = 0;
  ASSERT_EQ(stream->Write("abcdef", 6, &moved), S_OK);
  EXPECT_EQ(moved, 6u);
  uint64_t at = 0;
  EXPECT_EQ(stream->Seek(-2, STREAM_SEEK_END, &at), S_OK);
  EXPECT_EQ(at, 4u);
  char two[4] = {};
  ASSERT_EQ(stream->Read(two, 4, &moved), S_OK);
  EXPECT_EQ(moved, 2u);
  EXPECT_EQ(std::string(two, 2), "ef");
  EXPECT_EQ(stream->Seek(-7, STREAM_SEEK_CUR, &at), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(memory.Position(), 6);
  STATSTG stat;
  ASSERT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize, 6u);
  ASSERT_EQ(stream->SetSize(3), S_OK);
  EXPECT_EQ(memory.Size(), 3);
}

}  // namespace
