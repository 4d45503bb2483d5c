// The imaging component's HD Photo (WMP) decoder and encoder over the codec
// library (wmpglue.h), with the encoder's option bag.
#include <algorithm>
#include <cwchar>

#include "platform/win/wincodec_internal.h"

namespace wic {

namespace {

// ---- the codec's bytes over an IStream, from where the codec started ----------------------------

class StreamStore final : public wmp::ByteStore {
public:
  explicit StreamStore(IStream* stream) : stream_(stream) {
    uint64_t at = 0;
    stream_->Seek(0, STREAM_SEEK_CUR, &at);
    base_ = at;
  }
  bool Read(void* buffer, size_t count) override {
    auto* to = static_cast<uint8_t*>(buffer);
    while (count > 0) {
      ULONG got = 0;
      const ULONG chunk = static_cast<ULONG>(std::min<size_t>(count, 1u << 30));
      if (FAILED(stream_->Read(to, chunk, &got)) || got == 0) return false;
      to += got;
      count -= got;
    }
    return true;
  }
  bool Write(const void* buffer, size_t count) override {
    const auto* from = static_cast<const uint8_t*>(buffer);
    while (count > 0) {
      ULONG put = 0;
      const ULONG chunk = static_cast<ULONG>(std::min<size_t>(count, 1u << 30));
      if (FAILED(stream_->Write(from, chunk, &put)) || put == 0) return false;
      from += put;
      count -= put;
    }
    return true;
  }
  bool SetPosition(uint64_t position) override {
    return position <= INT64_MAX - base_ &&
           SUCCEEDED(stream_->Seek(static_cast<int64_t>(base_ + position), STREAM_SEEK_SET, nullptr));
  }
  uint64_t Position() override {
    uint64_t at = 0;
    stream_->Seek(0, STREAM_SEEK_CUR, &at);
    return at >= base_ ? at - base_ : 0;
  }
  uint64_t Size() override {
    STATSTG stat;
    if (FAILED(stream_->Stat(&stat, STATFLAG_NONAME))) return 0;
    return stat.cbSize >= base_ ? stat.cbSize - base_ : 0;
  }

private:
  ComPtr<IStream> stream_;
  uint64_t base_ = 0;
};

// A frame may decode to at most this many times its file's bytes (above a floor).
constexpr uint64_t kMaxExpansion = 4096, kExpansionFloor = uint64_t{256} << 20;

// ---- decoder -----------------------------------------------------------------------------------

class WmpDecoder final : public ComObject<IWICBitmapDecoder, IID_IWICBitmapDecoder> {
public:
  explicit WmpDecoder(IStream* stream) : store_(stream) {}
  bool Open() {
    codec_ = wmp::Decoder::Open(store_);
    return codec_ != nullptr;
  }
  HRESULT GetContainerFormat(GUID* format) override {
    if (!format) return E_INVALIDARG;
    *format = GUID_ContainerFormatWmp;
    return S_OK;
  }
  HRESULT GetFrameCount(UINT* count) override {
    if (!count) return E_INVALIDARG;
    *count = codec_->FrameCount();
    return S_OK;
  }
  HRESULT GetFrame(UINT index, IWICBitmapFrameDecode** frame) override;

  // The frame's description, or false when the codec cannot give its pixels.
  bool Select(UINT index, wmp::FrameInfo& info) {
    if (!codec_->SelectFrame(index)) return false;
    info = codec_->Info();
    return info.Width > 0 && info.Height > 0 && FindFormat(info.Format);
  }
  bool Decode(UINT index, uint8_t* pixels, size_t stride) {
    return codec_->SelectFrame(index) && codec_->DecodeAll(pixels, stride);
  }
  uint64_t FileBytes() { return store_.Size(); }

private:
  StreamStore store_;
  std::unique_ptr<wmp::Decoder> codec_;
};

class WmpFrame final : public ComputedSource<IWICBitmapFrameDecode, IID_IWICBitmapFrameDecode> {
public:
  WmpFrame(WmpDecoder* decoder, UINT index, const wmp::FrameInfo& info) : decoder_(decoder), index_(index) {
    Describe(static_cast<uint32_t>(info.Width), static_cast<uint32_t>(info.Height), FindFormat(info.Format),
             info.DpiX > 0 ? info.DpiX : 96, info.DpiY > 0 ? info.DpiY : 96);
  }
  HRESULT GetMetadataQueryReader(IWICMetadataQueryReader** reader) override {
    if (reader) *reader = nullptr;
    return WINCODEC_ERR_UNSUPPORTEDOPERATION;
  }
  HRESULT GetThumbnail(IWICBitmapSource** thumbnail) override {
    if (thumbnail) *thumbnail = nullptr;
    return WINCODEC_ERR_CODECNOTHUMBNAIL;
  }

protected:
  HRESULT Compute(std::vector<uint8_t>& pixels) override {
    const uint32_t stride = RowBytes(width_, format_->Bits);
    const uint64_t bytes = uint64_t{stride} * height_;
    if (bytes > std::max(kExpansionFloor, decoder_->FileBytes() * kMaxExpansion)) return E_OUTOFMEMORY;
    pixels.assign(static_cast<size_t>(bytes), 0);
    return decoder_->Decode(index_, pixels.data(), stride) ? S_OK : WINCODEC_ERR_BADIMAGE;
  }

private:
  ComPtr<WmpDecoder> decoder_;
  UINT index_;
};

HRESULT WmpDecoder::GetFrame(UINT index, IWICBitmapFrameDecode** frame) {
  if (!frame) return E_INVALIDARG;
  *frame = nullptr;
  if (index >= codec_->FrameCount()) return E_INVALIDARG;
  wmp::FrameInfo info;
  if (!Select(index, info)) return WINCODEC_ERR_BADIMAGE;
  *frame = MakeComObject<WmpFrame>(this, index, info).Detach();
  return S_OK;
}

// ---- the encoder's options -------------------------------------------------------------------

class OptionBag final : public ComObject<IPropertyBag2, IID_IPropertyBag2> {
public:
  HRESULT Read(ULONG count, PROPBAG2* properties, void*, VARIANT* values, HRESULT* errors) override {
    if (!properties || !values) return E_INVALIDARG;
    HRESULT result = S_OK;
    for (ULONG i = 0; i < count; ++i) {
      const Option* option = Find(properties[i].pstrName);
      const HRESULT hr = option ? S_OK : WINCODEC_ERR_PROPERTYNOTFOUND;
      if (option) values[i] = option->get(options_);
      if (errors) errors[i] = hr;
      if (FAILED(hr)) result = E_FAIL;
    }
    return result;
  }
  HRESULT Write(ULONG count, PROPBAG2* properties, VARIANT* values) override {
    if (!properties || !values) return E_INVALIDARG;
    for (ULONG i = 0; i < count; ++i) {
      const Option* option = Find(properties[i].pstrName);
      if (!option) return WINCODEC_ERR_PROPERTYNOTFOUND;
      if (values[i].vt != option->type) return E_INVALIDARG;
      if (!option->set(options_, values[i])) return WINCODEC_ERR_VALUEOUTOFRANGE;
    }
    return S_OK;
  }
  HRESULT CountProperties(ULONG* count) override {
    if (!count) return E_INVALIDARG;
    *count = static_cast<ULONG>(std::size(kOptions));
    return S_OK;
  }
  const wmp::EncodeOptions& Options() const { return options_; }

private:
  struct Option {
    const wchar_t* name;
    VARTYPE type;
    bool (*set)(wmp::EncodeOptions&, const VARIANT&);
    VARIANT (*get)(const wmp::EncodeOptions&);
  };
  static VARIANT Of(VARTYPE type, double number) {
    VARIANT v;
    v.vt = type;
    if (type == VT_R4) v.fltVal = static_cast<float>(number);
    if (type == VT_BOOL) v.boolVal = number != 0 ? VARIANT_TRUE : VARIANT_FALSE;
    if (type == VT_UI1) v.bVal = static_cast<uint8_t>(number);
    if (type == VT_UI2) v.uiVal = static_cast<uint16_t>(number);
    return v;
  }
  static const Option* Find(const wchar_t* name) {
    if (!name) return nullptr;
    for (const Option& option : kOptions)
      if (std::wcscmp(option.name, name) == 0) return &option;
    return nullptr;
  }
  using O = wmp::EncodeOptions;
  static constexpr Option kOptions[] = {
      {L"ImageQuality", VT_R4,
       [](O& o, const VARIANT& v) { return v.fltVal >= 0 && v.fltVal <= 1 && (o.ImageQuality = v.fltVal, true); },
       [](const O& o) { return Of(VT_R4, o.ImageQuality < 0 ? 0.9 : o.ImageQuality); }},
      {L"Lossless", VT_BOOL, [](O& o, const VARIANT& v) { return o.Lossless = v.boolVal != 0, true; },
       [](const O& o) { return Of(VT_BOOL, o.Lossless); }},
      {L"UseCodecOptions", VT_BOOL, [](O& o, const VARIANT& v) { return o.UseCodecOptions = v.boolVal != 0, true; },
       [](const O& o) { return Of(VT_BOOL, o.UseCodecOptions); }},
      {L"Quality", VT_UI1, [](O& o, const VARIANT& v) { return v.bVal >= 1 && (o.Quality = v.bVal, true); },
       [](const O& o) { return Of(VT_UI1, o.Quality); }},
      {L"Overlap", VT_UI1, [](O& o, const VARIANT& v) { return v.bVal <= 2 && (o.Overlap = v.bVal, true); },
       [](const O& o) { return Of(VT_UI1, o.Overlap); }},
      {L"Subsampling", VT_UI1, [](O& o, const VARIANT& v) { return v.bVal <= 3 && (o.Subsampling = v.bVal, true); },
       [](const O& o) { return Of(VT_UI1, o.Subsampling); }},
      {L"HorizontalTileSlices", VT_UI2,
       [](O& o, const VARIANT& v) { return v.uiVal < 4096 && (o.HorizontalTileSlices = v.uiVal, true); },
       [](const O& o) { return Of(VT_UI2, o.HorizontalTileSlices); }},
      {L"VerticalTileSlices", VT_UI2,
       [](O& o, const VARIANT& v) { return v.uiVal < 4096 && (o.VerticalTileSlices = v.uiVal, true); },
       [](const O& o) { return Of(VT_UI2, o.VerticalTileSlices); }},
      {L"FrequencyOrder", VT_BOOL, [](O& o, const VARIANT& v) { return o.FrequencyOrder = v.boolVal != 0, true; },
       [](const O& o) { return Of(VT_BOOL, o.FrequencyOrder); }},
  };
  wmp::EncodeOptions options_;
};

// ---- encoder -----------------------------------------------------------------------------------

class WmpFrameEncode final : public ComObject<IWICBitmapFrameEncode, IID_IWICBitmapFrameEncode> {
public:
  WmpFrameEncode(IStream* stream, ComPtr<OptionBag> bag) : stream_(stream), bag_(std::move(bag)) {}

  HRESULT Initialize(IPropertyBag2* options) override {
    if (initialized_) return WINCODEC_ERR_WRONGSTATE;
    if (options && options != bag_.Get()) return E_INVALIDARG;
    initialized_ = true;
    return S_OK;
  }
  HRESULT SetSize(UINT width, UINT height) override {
    if (!initialized_ || written_ > 0) return WINCODEC_ERR_WRONGSTATE;
    if (width == 0 || height == 0 || width > INT32_MAX || height > INT32_MAX) return E_INVALIDARG;
    width_ = width;
    height_ = height;
    return S_OK;
  }
  HRESULT SetResolution(double dpiX, double dpiY) override {
    if (!initialized_) return WINCODEC_ERR_WRONGSTATE;
    if (!(dpiX > 0) || !(dpiY > 0)) return E_INVALIDARG;
    dpiX_ = dpiX;
    dpiY_ = dpiY;
    return S_OK;
  }
  HRESULT SetPixelFormat(WICPixelFormatGUID* format) override {
    if (!format) return E_INVALIDARG;
    if (!initialized_ || written_ > 0) return WINCODEC_ERR_WRONGSTATE;
    format_ = FindFormat(*format);
    if (!format_ || format_->Layout == wmp::Layout::Unknown) format_ = FindFormat(wmp::Layout::BGR24);
    *format = *format_->Guid;
    return S_OK;
  }
  HRESULT WritePixels(UINT lineCount, UINT stride, UINT bufferSize, BYTE* pixels) override {
    if (!initialized_ || !format_ || width_ == 0 || committed_) return WINCODEC_ERR_WRONGSTATE;
    const uint32_t rowBytes = RowBytes(width_, format_->Bits);
    if (!pixels || lineCount == 0 || rowBytes == 0 || stride < rowBytes ||
        uint64_t{stride} * (lineCount - 1) + rowBytes > bufferSize)
      return E_INVALIDARG;
    if (lineCount > height_ - written_) return WINCODEC_ERR_CODECTOOMANYSCANLINES;
    if (rows_.empty()) {
      const uint64_t bytes = uint64_t{rowBytes} * height_;
      if (bytes > kMaxPixelBytes) return E_OUTOFMEMORY;
      rows_.resize(static_cast<size_t>(bytes));
    }
    for (UINT i = 0; i < lineCount; ++i)
      std::memcpy(rows_.data() + size_t{rowBytes} * (written_ + i), pixels + size_t{stride} * i, rowBytes);
    written_ += lineCount;
    return S_OK;
  }
  HRESULT Commit() override {
    if (committed_ || !format_ || written_ != height_ || height_ == 0) return WINCODEC_ERR_WRONGSTATE;
    StreamStore store(stream_.Get());
    if (!wmp::Encode(store, bag_->Options(), format_->Layout, static_cast<int32_t>(width_),
                     static_cast<int32_t>(height_), static_cast<float>(dpiX_), static_cast<float>(dpiY_), rows_.data(),
                     RowBytes(width_, format_->Bits)))
      return E_FAIL;
    committed_ = true;
    rows_.clear();
    return S_OK;
  }
  bool Committed() const { return committed_; }

private:
  ComPtr<IStream> stream_;
  ComPtr<OptionBag> bag_;
  bool initialized_ = false, committed_ = false;
  UINT width_ = 0, height_ = 0, written_ = 0;
  double dpiX_ = 96, dpiY_ = 96;
  const PixelFormat* format_ = nullptr;
  std::vector<uint8_t> rows_;
};

class WmpEncoder final : public ComObject<IWICBitmapEncoder, IID_IWICBitmapEncoder> {
public:
  HRESULT Initialize(IStream* stream, WICBitmapEncoderCacheOption) override {
    if (!stream) return E_INVALIDARG;
    if (stream_) return WINCODEC_ERR_WRONGSTATE;
    stream_ = ComPtr<IStream>(stream);
    return S_OK;
  }
  HRESULT GetContainerFormat(GUID* format) override {
    if (!format) return E_INVALIDARG;
    *format = GUID_ContainerFormatWmp;
    return S_OK;
  }
  // HD Photo holds one frame.
  HRESULT CreateNewFrame(IWICBitmapFrameEncode** frame, IPropertyBag2** options) override {
    if (!frame) return E_INVALIDARG;
    *frame = nullptr;
    if (options) *options = nullptr;
    if (!stream_ || frame_) return WINCODEC_ERR_WRONGSTATE;
    auto bag = MakeComObject<OptionBag>();
    frame_ = MakeComObject<WmpFrameEncode>(stream_.Get(), bag);
    *frame = ComPtr<IWICBitmapFrameEncode>(frame_).Detach();
    if (options) *options = bag.Detach();
    return S_OK;
  }
  HRESULT Commit() override { return frame_ && frame_->Committed() ? S_OK : WINCODEC_ERR_WRONGSTATE; }

private:
  ComPtr<IStream> stream_;
  ComPtr<WmpFrameEncode> frame_;
};

}  // namespace

HRESULT CreateWmpDecoder(IStream* stream, IWICBitmapDecoder** decoder) {
  uint64_t start = 0;
  stream->Seek(0, STREAM_SEEK_CUR, &start);
  auto object = MakeComObject<WmpDecoder>(stream);
  if (!object->Open()) {
    stream->Seek(static_cast<int64_t>(start), STREAM_SEEK_SET, nullptr);
    return WINCODEC_ERR_COMPONENTNOTFOUND;
  }
  *decoder = object.Detach();
  return S_OK;
}

HRESULT CreateWmpEncoder(IWICBitmapEncoder** encoder) {
  *encoder = MakeComObject<WmpEncoder>().Detach();
  return S_OK;
}

}  // namespace wic
