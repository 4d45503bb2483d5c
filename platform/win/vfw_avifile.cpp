// The AVI file functions over libavformat (packets and the index),
// libavcodec (compressed video) and libswscale (24-bit output). The stream
// headers come from the file's own header list, so that scale, rate and
// length read as stored.
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>

#include "platform/win/avlibs.h"
#include "platform/win/vfw_internal.h"

using vfw::TAVIStreamHeader;

namespace {

std::mutex initLock;
int initCount = 0;

bool Initialised() {
  std::lock_guard<std::mutex> guard(initLock);
  return initCount > 0;
}

// Frames larger than this many pixels per byte of the file cannot be held
// by the file, however well compressed.
constexpr int64_t kPixelsPerFileByte = 256;
constexpr int64_t kMinPixelLimit = 1 << 16;
constexpr int kMaxSide = 32768;

struct TFormatCloser {
  void operator()(AVFormatContext* context) const { avformat_close_input(&context); }
};
struct TCodecCloser {
  void operator()(AVCodecContext* context) const { avcodec_free_context(&context); }
};
struct TPacketCloser {
  void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct TFrameCloser {
  void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct TScalerCloser {
  void operator()(SwsContext* context) const { sws_freeContext(context); }
};

// libavformat with the AVI demultiplexer alone, no probing of other formats.
std::unique_ptr<AVFormatContext, TFormatCloser> OpenDemuxer(const std::string& fileName) {
  const AVInputFormat* avi = av_find_input_format("avi");
  if (!avi) return nullptr;
  AVDictionary* options = nullptr;
  av_dict_set(&options, "probesize", "65536", 0);
  av_dict_set(&options, "max_streams", "64", 0);
  AVFormatContext* context = nullptr;
  const int result = avformat_open_input(&context, fileName.c_str(), avi, &options);
  av_dict_free(&options);
  if (result < 0) return nullptr;
  return std::unique_ptr<AVFormatContext, TFormatCloser>(context);
}

int32_t RowBytes(int32_t width, int32_t bitCount) {
  return static_cast<int32_t>((static_cast<int64_t>(width) * bitCount + 31) / 32 * 4);
}

}  // namespace

class IAVIFile {
public:
  std::atomic<ULONG> refs{1};
  uint64_t fileSize = 0;
  std::vector<TAVIStreamHeader> headers;
  std::unique_ptr<AVFormatContext, TFormatCloser> demuxer;
};

class IAVIStream {
public:
  std::atomic<ULONG> refs{1};
  IAVIFile* file = nullptr;
  const TAVIStreamHeader* header = nullptr;
  int videoOrdinal = 0;  // among the file's video streams
};

class IGetFrame {
public:
  explicit IGetFrame(IAVIStream* stream) : stream_(stream) { stream->refs++; }
  ~IGetFrame() { AVIStreamRelease(stream_); }
  bool Open();
  const BITMAPINFOHEADER* Get(LONG pos);

private:
  bool OpenRaw(const BITMAPINFOHEADER& format);
  bool OpenDecoder();
  bool Seek(int64_t pos);
  bool Continues(int64_t pos) const;
  // Reads the next packet of the stream; false at the end or on an error.
  bool NextPacket();
  const BITMAPINFOHEADER* TakeRaw();
  const BITMAPINFOHEADER* TakeDecoded();
  const BITMAPINFOHEADER* FindRaw(int64_t pos);
  const BITMAPINFOHEADER* FindDecoded(int64_t pos);

  IAVIStream* stream_;
  AVFormatContext* demuxer_ = nullptr;
  AVStream* video_ = nullptr;
  std::unique_ptr<AVCodecContext, TCodecCloser> decoder_;
  std::unique_ptr<AVPacket, TPacketCloser> packet_{av_packet_alloc()};
  std::unique_ptr<AVFrame, TFrameCloser> frame_{av_frame_alloc()};
  std::unique_ptr<SwsContext, TScalerCloser> scaler_;
  // Uncompressed streams: the frame's header and colour table as stored.
  std::vector<uint8_t> rawHead_;
  int32_t rawBytes_ = 0;
  std::vector<uint8_t> dib_;
  // The frame the demultiplexer delivers next, when it reads on from a
  // decoded position; -1 after a failure.
  int64_t next_ = -1;
  int64_t pixelLimit_ = 0;
};

void AVIFileInit() {
  std::lock_guard<std::mutex> guard(initLock);
  // Damaged files are answered by results; libav's own reports stay quiet.
  if (initCount++ == 0 && VideoLibraries().Available()) av_log_set_level(AV_LOG_QUIET);
}

void AVIFileExit() {
  std::lock_guard<std::mutex> guard(initLock);
  if (initCount > 0) --initCount;
}

HRESULT AVIFileOpenW(PAVIFILE* file, const std::string& fileName, UINT mode, const CLSID* handler) {
  if (!file) return AVIERR_BADPARAM;
  *file = nullptr;
  if (!Initialised()) return AVIERR_NOTINITIALIZED;
  if (mode != OF_READ || handler) return AVIERR_UNSUPPORTED;
  if (!VideoLibraries().Available()) return AVIERR_UNSUPPORTED;  // no video libraries on this machine
  std::FILE* raw = std::fopen(fileName.c_str(), "rb");
  if (!raw) return AVIERR_FILEOPEN;
  struct stat info {};
  auto result = std::make_unique<IAVIFile>();
  const bool isFile = fstat(fileno(raw), &info) == 0 && S_ISREG(info.st_mode);
  result->fileSize = isFile ? static_cast<uint64_t>(info.st_size) : 0;
  const bool headers = isFile && vfw::ReadAVIStreamHeaders(raw, result->fileSize, result->headers);
  std::fclose(raw);
  if (!headers) return AVIERR_BADFORMAT;
  result->demuxer = OpenDemuxer(fileName);
  if (!result->demuxer) return AVIERR_BADFORMAT;
  *file = result.release();
  return AVIERR_OK;
}

HRESULT AVIFileGetStream(PAVIFILE file, PAVISTREAM* stream, DWORD type, LONG index) {
  if (!stream) return AVIERR_BADPARAM;
  *stream = nullptr;
  if (!file) return AVIERR_BADHANDLE;
  int ordinal = 0, videoOrdinal = 0;
  for (const TAVIStreamHeader& header : file->headers) {
    const bool video = header.info.fccType == streamtypeVIDEO;
    if (header.info.fccType == type && ordinal++ == index) {
      auto* result = new IAVIStream;
      result->file = file;
      result->header = &header;
      result->videoOrdinal = videoOrdinal;
      file->refs++;
      *stream = result;
      return AVIERR_OK;
    }
    if (video) ++videoOrdinal;
  }
  return AVIERR_NODATA;
}

HRESULT AVIStreamInfoW(PAVISTREAM stream, AVISTREAMINFOW* info, LONG size) {
  if (!stream) return AVIERR_BADHANDLE;
  if (!info || size < 0) return AVIERR_BADPARAM;
  std::memcpy(info, &stream->header->info, std::min<size_t>(static_cast<size_t>(size), sizeof *info));
  return AVIERR_OK;
}

ULONG AVIStreamRelease(PAVISTREAM stream) {
  if (!stream) return 0;
  const ULONG left = --stream->refs;
  if (left == 0) {
    AVIFileRelease(stream->file);
    delete stream;
  }
  return left;
}

ULONG AVIFileRelease(PAVIFILE file) {
  if (!file) return 0;
  const ULONG left = --file->refs;
  if (left == 0) delete file;
  return left;
}

PGETFRAME AVIStreamGetFrameOpen(PAVISTREAM stream, const BITMAPINFOHEADER* wanted) {
  if (!stream || wanted || stream->header->info.fccType != streamtypeVIDEO) return nullptr;
  auto result = std::make_unique<IGetFrame>(stream);
  return result->Open() ? result.release() : nullptr;
}

const BITMAPINFOHEADER* AVIStreamGetFrame(PGETFRAME getFrame, LONG pos) {
  return getFrame ? getFrame->Get(pos) : nullptr;
}

HRESULT AVIStreamGetFrameClose(PGETFRAME getFrame) {
  if (!getFrame) return AVIERR_BADHANDLE;
  delete getFrame;
  return AVIERR_OK;
}

// ---- the frame decompressor --------------------------------------------------------

bool IGetFrame::Open() {
  IAVIFile& file = *stream_->file;
  demuxer_ = file.demuxer.get();
  int ordinal = 0;
  for (unsigned i = 0; i < demuxer_->nb_streams; ++i) {
    AVStream* candidate = demuxer_->streams[i];
    const bool video = candidate->codecpar->codec_type == AVMEDIA_TYPE_VIDEO;
    if (video && ordinal++ == stream_->videoOrdinal && !video_) video_ = candidate;
    else candidate->discard = AVDISCARD_ALL;
  }
  const std::vector<uint8_t>& format = stream_->header->format;
  if (!video_ || format.size() < sizeof(BITMAPINFOHEADER) || !packet_ || !frame_) return false;
  BITMAPINFOHEADER header;
  std::memcpy(&header, format.data(), sizeof header);
  const int64_t height = std::abs(static_cast<int64_t>(header.biHeight));
  if (header.biWidth <= 0 || height == 0 || header.biWidth > kMaxSide || height > kMaxSide) return false;
  pixelLimit_ = std::max<int64_t>(kMinPixelLimit, static_cast<int64_t>(file.fileSize) * kPixelsPerFileByte);
  if (static_cast<int64_t>(header.biWidth) * height > pixelLimit_) return false;
  const bool uncompressed = header.biCompression == BI_RGB || header.biCompression == BI_BITFIELDS;
  return uncompressed ? OpenRaw(header) : OpenDecoder();
}

bool IGetFrame::OpenRaw(const BITMAPINFOHEADER& format) {
  const int bits = format.biBitCount;
  const bool fields = format.biCompression == BI_BITFIELDS;
  if (fields ? bits != 16 && bits != 32 : bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
    return false;
  const int64_t height = std::abs(static_cast<int64_t>(format.biHeight));
  const int64_t bytes = static_cast<int64_t>(RowBytes(format.biWidth, bits)) * height;
  if (bytes > static_cast<int64_t>(stream_->file->fileSize)) return false;
  rawBytes_ = static_cast<int32_t>(bytes);
  uint32_t entries = fields ? 3 : 0;
  if (bits <= 8) entries = format.biClrUsed && format.biClrUsed < (1u << bits) ? format.biClrUsed : 1u << bits;
  // The colour table as stored, missing entries black.
  const std::vector<uint8_t>& stored = stream_->header->format;
  const size_t tableAt = std::clamp<size_t>(format.biSize, sizeof format, stored.size());
  rawHead_.assign(sizeof format + entries * 4, 0);
  std::copy_n(stored.begin() + static_cast<ptrdiff_t>(tableAt), std::min<size_t>(stored.size() - tableAt, entries * 4u),
              rawHead_.begin() + sizeof format);
  BITMAPINFOHEADER header = format;
  header.biSize = sizeof header;
  header.biSizeImage = static_cast<DWORD>(rawBytes_);
  header.biClrUsed = bits <= 8 ? entries : 0;
  header.biClrImportant = 0;
  std::memcpy(rawHead_.data(), &header, sizeof header);
  return true;
}

bool IGetFrame::OpenDecoder() {
  const AVCodec* codec = avcodec_find_decoder(video_->codecpar->codec_id);
  if (!codec) return false;
  decoder_.reset(avcodec_alloc_context3(codec));
  if (!decoder_ || avcodec_parameters_to_context(decoder_.get(), video_->codecpar) < 0) return false;
  decoder_->thread_count = 1;
  decoder_->max_pixels = pixelLimit_;
  decoder_->pkt_timebase = video_->time_base;
  return avcodec_open2(decoder_.get(), codec, nullptr) >= 0;
}

const BITMAPINFOHEADER* IGetFrame::Get(LONG pos) {
  const AVISTREAMINFOW& info = stream_->header->info;
  if (pos < 0 || static_cast<DWORD>(pos) >= info.dwLength) return nullptr;
  if (!Continues(pos) && !Seek(pos)) return nullptr;
  const BITMAPINFOHEADER* result = decoder_ ? FindDecoded(pos) : FindRaw(pos);
  if (!result) next_ = -1;
  return result;
}

bool IGetFrame::Continues(int64_t pos) const {
  if (next_ < 0 || pos < next_) return false;
  if (!decoder_) return pos == next_;
  // Reading on beats seeking unless a key frame lies between.
  const int key = av_index_search_timestamp(video_, pos, AVSEEK_FLAG_BACKWARD);
  const AVIndexEntry* entry = key >= 0 ? avformat_index_get_entry(video_, key) : nullptr;
  return !entry || entry->timestamp <= next_;
}

bool IGetFrame::Seek(int64_t pos) {
  next_ = -1;
  if (decoder_) avcodec_flush_buffers(decoder_.get());
  if (av_seek_frame(demuxer_, video_->index, pos, AVSEEK_FLAG_BACKWARD) >= 0) return true;
  return av_seek_frame(demuxer_, video_->index, 0, AVSEEK_FLAG_BACKWARD | AVSEEK_FLAG_ANY) >= 0;
}

bool IGetFrame::NextPacket() {
  for (;;) {
    av_packet_unref(packet_.get());
    if (av_read_frame(demuxer_, packet_.get()) < 0) return false;
    if (packet_->stream_index == video_->index) return true;
  }
}

const BITMAPINFOHEADER* IGetFrame::FindRaw(int64_t pos) {
  while (NextPacket()) {
    const int64_t frame = packet_->dts;
    if (frame == AV_NOPTS_VALUE) return nullptr;
    next_ = frame + 1;
    if (frame == pos) return TakeRaw();
    if (frame > pos) return nullptr;
  }
  return nullptr;
}

const BITMAPINFOHEADER* IGetFrame::TakeRaw() {
  if (packet_->size < rawBytes_) return nullptr;
  dib_.assign(rawHead_.begin(), rawHead_.end());
  dib_.insert(dib_.end(), packet_->data, packet_->data + rawBytes_);
  return reinterpret_cast<const BITMAPINFOHEADER*>(dib_.data());
}

const BITMAPINFOHEADER* IGetFrame::FindDecoded(int64_t pos) {
  bool draining = false;
  for (;;) {
    const int received = avcodec_receive_frame(decoder_.get(), frame_.get());
    if (received >= 0) {
      const int64_t frame = frame_->best_effort_timestamp;
      if (frame == pos) return TakeDecoded();
      if (frame > pos) return nullptr;
      continue;
    }
    if (received != AVERROR(EAGAIN) || draining) return nullptr;
    if (NextPacket()) {
      next_ = packet_->dts == AV_NOPTS_VALUE ? -1 : packet_->dts + 1;
      // A damaged packet costs its own frame only.
      avcodec_send_packet(decoder_.get(), packet_.get());
    } else {
      draining = true;
      avcodec_send_packet(decoder_.get(), nullptr);
    }
  }
}

const BITMAPINFOHEADER* IGetFrame::TakeDecoded() {
  const int width = frame_->width, height = frame_->height;
  if (width <= 0 || height <= 0 || static_cast<int64_t>(width) * height > pixelLimit_) return nullptr;
  scaler_.reset(sws_getCachedContext(scaler_.release(), width, height, static_cast<AVPixelFormat>(frame_->format),
                                     width, height, AV_PIX_FMT_BGR24, SWS_BICUBIC, nullptr, nullptr, nullptr));
  if (!scaler_) return nullptr;
  const int32_t stride = RowBytes(width, 24);
  BITMAPINFOHEADER header;
  header.biWidth = width;
  header.biHeight = height;
  header.biBitCount = 24;
  header.biCompression = BI_RGB;
  header.biSizeImage = static_cast<DWORD>(stride) * static_cast<DWORD>(height);
  dib_.assign(sizeof header + header.biSizeImage, 0);
  std::memcpy(dib_.data(), &header, sizeof header);
  // Bottom-up rows: the picture's top row goes last.
  uint8_t* target[4] = {dib_.data() + sizeof header + static_cast<size_t>(stride) * (height - 1)};
  const int targetStride[4] = {-stride};
  if (sws_scale(scaler_.get(), frame_->data, frame_->linesize, 0, height, target, targetStride) != height)
    return nullptr;
  return reinterpret_cast<const BITMAPINFOHEADER*>(dib_.data());
}
