// The HD Photo codec library (jxrlib) behind the plain interface of wmpglue.h.
#include "platform/win/wmpglue.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>

#include "platform/rtl/ondemand.h"

// The codec's header defines min and max as macros: included after the
// standard headers, and the macros dropped at once.
#include <JXRGlue.h>

#undef min
#undef max

namespace wmp {

// The codec library is loaded when a program first reads or writes an HD
// Photo, so that programs that never do are spared mapping it.
TOnDemandLibraries& Libraries() {
  static TOnDemandLibraries libraries{VESK_JXR_SONAMES};
  return libraries;
}

#define PKImageDecode_Create_WMP VESK_ON_DEMAND(Libraries(), PKImageDecode_Create_WMP)
#define PKImageEncode_Create_WMP VESK_ON_DEMAND(Libraries(), PKImageEncode_Create_WMP)

namespace {

// The pixel formats by the names of the library's identifiers, found once it is loaded.
struct LayoutGuid {
  Layout layout;
  const char* guid;
  uint32_t bits;
};

const LayoutGuid kLayouts[] = {
    {Layout::BlackWhite, "GUID_PKPixelFormatBlackWhite", 1}, {Layout::Gray8, "GUID_PKPixelFormat8bppGray", 8},
    {Layout::Gray16, "GUID_PKPixelFormat16bppGray", 16},     {Layout::BGR24, "GUID_PKPixelFormat24bppBGR", 24},
    {Layout::RGB24, "GUID_PKPixelFormat24bppRGB", 24},       {Layout::BGR32, "GUID_PKPixelFormat32bppBGR", 32},
    {Layout::BGRA32, "GUID_PKPixelFormat32bppBGRA", 32},     {Layout::RGBA32, "GUID_PKPixelFormat32bppRGBA", 32},
    {Layout::RGB48, "GUID_PKPixelFormat48bppRGB", 48},       {Layout::RGBA64, "GUID_PKPixelFormat64bppRGBA", 64},
    {Layout::CMYK32, "GUID_PKPixelFormat32bppCMYK", 32},
};

const GUID& GuidOf(const LayoutGuid& entry) { return *static_cast<const GUID*>(Libraries().Symbol(entry.guid)); }

Layout LayoutOf(const GUID& guid) {
  for (const LayoutGuid& entry : kLayouts)
    if (IsEqualGUID(guid, GuidOf(entry))) return entry.layout;
  return Layout::Unknown;
}

const LayoutGuid* EntryOf(Layout layout) {
  for (const LayoutGuid& entry : kLayouts)
    if (entry.layout == layout) return &entry;
  return nullptr;
}

bool HasAlpha(Layout layout) { return layout == Layout::BGRA32 || layout == Layout::RGBA32 || layout == Layout::RGBA64; }

// ---- the codec's stream over a ByteStore --------------------------------------------------

// WMPStream is the first member, so the codec's pointer is also ours.
struct StoreStream {
  WMPStream stream;
  ByteStore* store;
};

ByteStore& StoreOf(WMPStream* me) { return *reinterpret_cast<StoreStream*>(me)->store; }

ERR StreamClose(WMPStream**) { return WMP_errSuccess; }
Bool StreamAtEnd(WMPStream* me) { return StoreOf(me).Position() >= StoreOf(me).Size(); }
ERR StreamRead(WMPStream* me, void* buffer, size_t count) {
  return StoreOf(me).Read(buffer, count) ? WMP_errSuccess : WMP_errFileIO;
}
ERR StreamWrite(WMPStream* me, const void* buffer, size_t count) {
  return StoreOf(me).Write(buffer, count) ? WMP_errSuccess : WMP_errFileIO;
}
ERR StreamSetPos(WMPStream* me, size_t position) {
  return StoreOf(me).SetPosition(position) ? WMP_errSuccess : WMP_errFileIO;
}
ERR StreamGetPos(WMPStream* me, size_t* position) {
  *position = static_cast<size_t>(StoreOf(me).Position());
  return WMP_errSuccess;
}

StoreStream MakeStream(ByteStore& store) {
  StoreStream s{};
  s.stream.Close = StreamClose;
  s.stream.EOS = StreamAtEnd;
  s.stream.Read = StreamRead;
  s.stream.Write = StreamWrite;
  s.stream.SetPos = StreamSetPos;
  s.stream.GetPos = StreamGetPos;
  s.store = &store;
  return s;
}

// ---- decoding ---------------------------------------------------------------------------

// The codec library does not survive every damaged file (it reads outside
// its tables on some bit streams). Each look at a file's content therefore
// runs in a child process that shares one block of memory with us: a crash
// there is a failed decode here. The child's output is silenced, as the
// library prints notes on tags it does not know.

// Runs work(block) in a child process over `bytes` of shared memory, which
// is then copied to `out`; true when the child finished with success.
template <class Work>
bool RunIsolated(size_t bytes, uint8_t* out, Work work) {
  void* block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
  if (block == MAP_FAILED) return false;
  const pid_t child = fork();
  if (child == 0) {
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) {
      dup2(quiet, 1);
      dup2(quiet, 2);
    }
    _exit(work(static_cast<uint8_t*>(block)) ? 0 : 1);
  }
  int status = 0;
  bool ok = false;
  if (child > 0) {
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  }
  if (ok) std::memcpy(out, block, bytes);
  munmap(block, bytes);
  return ok;
}

bool IsFailure(ERR err) { return err < 0; }

// The library's decoder over a store; only ever used inside a child process.
class LibraryDecoder {
public:
  explicit LibraryDecoder(ByteStore& store) : store_(store), stream_(MakeStream(store)) {}
  ~LibraryDecoder() {
    if (codec_) codec_->Release(&codec_);
  }
  LibraryDecoder(const LibraryDecoder&) = delete;
  LibraryDecoder& operator=(const LibraryDecoder&) = delete;

  // The image must lie inside the file, and the alpha plane start there (the
  // library's own writer stores the file's end as the plane's byte count).
  bool Open() {
    if (IsFailure(PKImageDecode_Create_WMP(&codec_)) || !codec_ ||
        IsFailure(codec_->Initialize(codec_, &stream_.stream)))
      return false;
    const WmpDEMisc& misc = codec_->WMP.wmiDEMisc;
    const uint64_t size = store_.Size();
    if (uint64_t{misc.uImageOffset} + misc.uImageByteCount > size || misc.uAlphaOffset > size)
      return false;
    if (codec_->WMP.bHasAlpha) codec_->WMP.wmiSCP.uAlphaMode = 2;
    return true;
  }
  uint32_t FrameCount() {
    U32 count = 0;
    return IsFailure(codec_->GetFrameCount(codec_, &count)) ? 0 : count;
  }
  bool Select(uint32_t index) { return index < FrameCount() && !IsFailure(codec_->SelectFrame(codec_, index)); }
  FrameInfo Info() {
    FrameInfo info;
    I32 width = 0, height = 0;
    PKPixelFormatGUID format{};
    codec_->GetSize(codec_, &width, &height);
    codec_->GetResolution(codec_, &info.DpiX, &info.DpiY);
    codec_->GetPixelFormat(codec_, &format);
    info.Width = width;
    info.Height = height;
    info.Format = LayoutOf(format);
    return info;
  }
  bool Copy(uint8_t* pixels, size_t stride) {
    const FrameInfo info = Info();
    if (info.Width <= 0 || info.Height <= 0 || stride > UINT32_MAX) return false;
    PKRect rect{0, 0, info.Width, info.Height};
    return !IsFailure(codec_->Copy(codec_, &rect, pixels, static_cast<U32>(stride)));
  }

private:
  ByteStore& store_;
  StoreStream stream_;
  PKImageDecode* codec_ = nullptr;
};

// Bilevel pixels: 1 is white for the component, 0 for the library.
void InvertBits(uint8_t* bytes, size_t count) {
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(~bytes[i]);
}

// Zeroes the bits after the last pixel of each bilevel row.
void ClearPadding(uint8_t* pixels, size_t stride, int32_t width, int32_t height) {
  if (width % 8 == 0) return;
  const size_t last = static_cast<size_t>(width / 8);
  for (int32_t y = 0; y < height; ++y) pixels[stride * static_cast<size_t>(y) + last] &= static_cast<uint8_t>(0xFF << (8 - width % 8));
}

// Frames described beyond this count are not offered.
constexpr uint32_t kMaxFrames = 1024;

struct Probe {
  uint32_t count;
  FrameInfo frames[kMaxFrames];
};

class JxrDecoder final : public Decoder {
public:
  explicit JxrDecoder(ByteStore& store) : store_(store) {}

  bool Open() {
    auto probe = std::make_unique<Probe>();
    const bool ok = RunIsolated(sizeof(Probe), reinterpret_cast<uint8_t*>(probe.get()), [&](uint8_t* block) {
      LibraryDecoder codec(store_);
      if (!codec.Open()) return false;
      auto* out = reinterpret_cast<Probe*>(block);
      out->count = std::min(codec.FrameCount(), kMaxFrames);
      for (uint32_t i = 0; i < out->count; ++i) {
        if (!codec.Select(i)) return false;
        out->frames[i] = codec.Info();
      }
      return out->count > 0;
    });
    if (!ok) return false;
    frames_.assign(probe->frames, probe->frames + std::min(probe->count, kMaxFrames));
    return true;
  }

  uint32_t FrameCount() override { return static_cast<uint32_t>(frames_.size()); }
  bool SelectFrame(uint32_t index) override {
    if (index >= frames_.size()) return false;
    current_ = index;
    return true;
  }
  FrameInfo Info() override { return frames_.empty() ? FrameInfo{} : frames_[current_]; }
  bool DecodeAll(uint8_t* pixels, size_t stride) override {
    const FrameInfo info = Info();
    if (info.Width <= 0 || info.Height <= 0) return false;
    const uint32_t index = current_;
    const size_t bytes = stride * static_cast<size_t>(info.Height);
    if (!RunIsolated(bytes, pixels, [&](uint8_t* block) {
          LibraryDecoder codec(store_);
          return codec.Open() && codec.Select(index) && codec.Copy(block, stride);
        }))
      return false;
    if (info.Format == Layout::BlackWhite) {
      InvertBits(pixels, bytes);
      ClearPadding(pixels, stride, info.Width, info.Height);
    }
    return true;
  }

private:
  ByteStore& store_;
  std::vector<FrameInfo> frames_;
  uint32_t current_ = 0;
};

// ---- encoding ---------------------------------------------------------------------------

// The quantisation index: 1 is lossless; a quality below 1 grows it.
U8 QuantisationOf(const EncodeOptions& options) {
  if (options.Lossless) return 1;
  if (options.UseCodecOptions) return std::max<U8>(options.Quality, 1);
  if (options.ImageQuality < 0 || options.ImageQuality >= 1) return 1;
  const double q = std::clamp<double>(options.ImageQuality, 0.0, 1.0);
  return static_cast<U8>(std::clamp<long>(std::lround(2 + (1 - q) * 100), 2, 255));
}

COLORFORMAT InternalColourOf(Layout format, const EncodeOptions& options) {
  switch (format) {
    case Layout::BlackWhite:
    case Layout::Gray8:
    case Layout::Gray16:
      return Y_ONLY;
    case Layout::CMYK32:
      return CMYK;
    default:
      if (options.UseCodecOptions && options.Subsampling < 3 && QuantisationOf(options) > 1)
        return static_cast<COLORFORMAT>(options.Subsampling);
      return YUV_444;
  }
}

// Equal slices of macroblocks across one side.
void FillSlices(U32 count, int32_t pixels, U32* sizes, U32& countMinus1) {
  const U32 blocks = static_cast<U32>((pixels + 15) / 16);
  const U32 slices = std::clamp<U32>(count, 1, std::min<U32>(blocks, MAX_TILES));
  countMinus1 = slices - 1;
  for (U32 i = 0; i < slices; ++i) sizes[i] = blocks / slices + (i < blocks % slices ? 1 : 0);
}

void SetCodecParameters(CWMIStrCodecParam& p, const EncodeOptions& options, Layout format, int32_t width,
                        int32_t height) {
  p.bVerbose = FALSE;
  p.uiDefaultQPIndex = QuantisationOf(options);
  p.cfColorFormat = InternalColourOf(format, options);
  p.bdBitDepth = BD_LONG;
  p.olOverlap = static_cast<OVERLAP>(std::min<uint8_t>(options.Overlap, 2));
  p.bfBitstreamFormat = options.FrequencyOrder ? FREQUENCY : SPATIAL;
  p.bProgressiveMode = TRUE;
  p.sbSubband = SB_ALL;
  p.uAlphaMode = HasAlpha(format) ? 2 : 0;
  p.bBlackWhite = format == Layout::BlackWhite;
  FillSlices(options.VerticalTileSlices + 1u, width, p.uiTileX, p.cNumOfSliceMinus1V);
  FillSlices(options.HorizontalTileSlices + 1u, height, p.uiTileY, p.cNumOfSliceMinus1H);
}

}  // namespace

uint32_t BitsPerPixel(Layout layout) {
  const LayoutGuid* entry = EntryOf(layout);
  return entry ? entry->bits : 0;
}

std::unique_ptr<Decoder> Decoder::Open(ByteStore& store) {
  if (!Libraries().Available()) return nullptr;
  auto decoder = std::make_unique<JxrDecoder>(store);
  if (!decoder->Open()) return nullptr;
  return decoder;
}

bool Encode(ByteStore& store, const EncodeOptions& options, Layout format, int32_t width, int32_t height, float dpiX,
            float dpiY, const uint8_t* pixels, size_t stride) {
  const LayoutGuid* entry = EntryOf(format);
  if (!entry || width <= 0 || height <= 0 || stride > UINT32_MAX || !Libraries().Available()) return false;
  StoreStream stream = MakeStream(store);
  PKImageEncode* codec = nullptr;
  if (PKImageEncode_Create_WMP(&codec) < 0 || !codec) return false;
  CWMIStrCodecParam parameters{};
  SetCodecParameters(parameters, options, format, width, height);
  std::vector<uint8_t> inverted;
  if (format == Layout::BlackWhite) {
    inverted.assign(pixels, pixels + stride * static_cast<size_t>(height));
    InvertBits(inverted.data(), inverted.size());
    pixels = inverted.data();
  }
  bool ok = codec->Initialize(codec, &stream.stream, &parameters, sizeof parameters) >= 0;
  if (ok && parameters.uAlphaMode) codec->WMP.wmiSCP_Alpha.uiDefaultQPIndex = parameters.uiDefaultQPIndex;
  ok = ok && codec->SetPixelFormat(codec, GuidOf(*entry)) >= 0 && codec->SetSize(codec, width, height) >= 0 &&
       codec->SetResolution(codec, dpiX, dpiY) >= 0 &&
       codec->WritePixels(codec, static_cast<U32>(height), const_cast<U8*>(pixels), static_cast<U32>(stride)) >= 0;
  codec->Release(&codec);
  return ok;
}

}  // namespace wmp
