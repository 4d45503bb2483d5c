#include "bench/peers/jxrloop.h"

#include <JXRGlue.h>

#include <cstring>

namespace jxrloop {

namespace {

// The library's memory stream, with the file's end kept: the encoder moves
// back to fill in its header, so the last position is not the size.
struct Output {
  WMPStream stream;  // first, so that the library's pointer is also ours
  uint8_t* bytes;
  size_t capacity, at, end;
};

Output& Of(WMPStream* me) { return *reinterpret_cast<Output*>(me); }

ERR Close(WMPStream**) { return WMP_errSuccess; }
Bool AtEnd(WMPStream* me) { return Of(me).at >= Of(me).end; }
ERR Read(WMPStream* me, void* buffer, size_t count) {
  Output& o = Of(me);
  if (o.at + count > o.end) return WMP_errFileIO;
  std::memcpy(buffer, o.bytes + o.at, count);
  o.at += count;
  return WMP_errSuccess;
}
ERR Write(WMPStream* me, const void* buffer, size_t count) {
  Output& o = Of(me);
  if (o.at + count > o.capacity) return WMP_errFileIO;
  std::memcpy(o.bytes + o.at, buffer, count);
  o.at += count;
  if (o.at > o.end) o.end = o.at;
  return WMP_errSuccess;
}
ERR SetPos(WMPStream* me, size_t position) {
  if (position > Of(me).capacity) return WMP_errFileIO;
  Of(me).at = position;
  return WMP_errSuccess;
}
ERR GetPos(WMPStream* me, size_t* position) {
  *position = Of(me).at;
  return WMP_errSuccess;
}

}  // namespace

Encoded Encode(const uint8_t* pixels, size_t stride, int32_t width, int32_t height, uint8_t qp) {
  Encoded out;
  const size_t capacity = stride * static_cast<size_t>(height) + 65536;
  out.bytes.reset(new uint8_t[capacity]);
  Output target{};
  target.stream.Close = Close;
  target.stream.EOS = AtEnd;
  target.stream.Read = Read;
  target.stream.Write = Write;
  target.stream.SetPos = SetPos;
  target.stream.GetPos = GetPos;
  target.bytes = out.bytes.get();
  target.capacity = capacity;
  PKImageEncode* codec = nullptr;
  if (PKImageEncode_Create_WMP(&codec) < 0) return out;
  CWMIStrCodecParam p{};
  p.uiDefaultQPIndex = qp;
  p.cfColorFormat = YUV_444;
  p.bdBitDepth = BD_LONG;
  p.olOverlap = OL_ONE;
  p.bfBitstreamFormat = FREQUENCY;
  p.bProgressiveMode = TRUE;
  p.sbSubband = SB_ALL;
  p.uiTileX[0] = static_cast<U32>((width + 15) / 16);
  p.uiTileY[0] = static_cast<U32>((height + 15) / 16);
  const bool ok = codec->Initialize(codec, &target.stream, &p, sizeof p) >= 0 &&
                  codec->SetPixelFormat(codec, GUID_PKPixelFormat24bppBGR) >= 0 &&
                  codec->SetSize(codec, width, height) >= 0 && codec->SetResolution(codec, 96, 96) >= 0 &&
                  codec->WritePixels(codec, static_cast<U32>(height), const_cast<U8*>(pixels),
                                     static_cast<U32>(stride)) >= 0;
  codec->Release(&codec);
  if (ok) out.size = target.end;
  return out;
}

bool Decode(const uint8_t* file, size_t size, std::unique_ptr<uint8_t[]>& pixels) {
  WMPStream* stream = nullptr;
  PKImageDecode* codec = nullptr;
  if (CreateWS_Memory(&stream, const_cast<uint8_t*>(file), size) < 0) return false;
  bool ok = PKImageDecode_Create_WMP(&codec) >= 0 && codec->Initialize(codec, stream) >= 0;
  I32 width = 0, height = 0;
  ok = ok && codec->GetSize(codec, &width, &height) >= 0 && width > 0 && height > 0;
  if (ok) {
    const size_t stride = static_cast<size_t>(width) * 3;
    pixels.reset(new uint8_t[stride * static_cast<size_t>(height)]);
    PKRect rect{0, 0, width, height};
    ok = codec->Copy(codec, &rect, pixels.get(), static_cast<U32>(stride)) >= 0;
  }
  if (codec) codec->Release(&codec);
  stream->Close(&stream);
  return ok;
}

}  // namespace jxrloop
