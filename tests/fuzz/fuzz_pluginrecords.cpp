// What a plug-in hands back after a read, taken from arbitrary bytes: width,
// height, format code, encoded size, full size and the pixel buffer, through
// the host's whole read path (a plug-in provided as a built-in library).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/io/imageryio_plugins.h"
#include "platform/rtl/dynlib.h"
#include "tests/fuzz/fuzz_imaging.h"

namespace {

struct TRecords {
  int32_t width = 0, height = 0, format = 0, encodedSize = 0, fullWidth = 0, fullHeight = 0, metadata = 0;
  bool pixels = false, full = false;
  std::vector<uint8_t> buffer;
};
TRecords records;
int32_t one = 1, flags = IEX_CAN_READ | IEX_CAN_WRITE;

void* Initialize(int32_t) { return &records; }
int32_t Finalize(void*) { return 0; }
void* GetInfo(void*, int32_t code) {
  switch (code) {
    case IEX_INFO_WIDTH: return &records.width;
    case IEX_INFO_HEIGHT: return &records.height;
    case IEX_INFO_FORMAT: return &records.format;
    case IEX_INFO_PIXELS: return records.pixels ? records.buffer.data() : nullptr;
    case IEX_INFO_ENCODED_SIZE: return &records.encodedSize;
    case IEX_INFO_FULL_WIDTH: return records.full ? &records.fullWidth : nullptr;
    case IEX_INFO_FULL_HEIGHT: return &records.fullHeight;
    case IEX_INFO_CAPABILITIES: return &flags;
    case IEX_INFO_DISPLAY_NAME: return const_cast<char*>("Fuzz");
    case IEX_INFO_EXTENSIONS: return const_cast<char*>("FZ");
    case IEX_INFO_HAS_TIFF_METADATA: return &records.metadata;
    case IEX_INFO_FORMAT_COUNT: return &one;
    default: return nullptr;
  }
}
int32_t SetInfo(void*, int32_t, void*) { return 0; }
int32_t SetCallBacks(void*, IEXProgressCallback, IEXReadCallback, IEXWriteCallback, IEXSeekCallback,
                     IEXTellCallback, IEXSizeCallback, IEXGetParameterCallback, IEXSetParameterCallback, void*) {
  return 0;
}
int32_t ExecuteRead(void*, int32_t) { return 0; }
int32_t ExecuteWrite(void*) { return 0; }
int32_t ExecuteTry(void*) { return 1; }
int32_t AddParameter(void*, const char*) { return 0; }

int32_t pluginId = 0;

int32_t Take32(const uint8_t*& data, size_t& size) {
  int32_t v = 0;
  if (size >= 4) {
    std::memcpy(&v, data, 4);
    data += 4, size -= 4;
  }
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  StartImagingLibrary();
  RegisterBuiltinLibrary("fuzzplugin.dll", {{"IEX_Initialize", reinterpret_cast<void*>(Initialize)},
                                            {"IEX_Finalize", reinterpret_cast<void*>(Finalize)},
                                            {"IEX_GetInfo", reinterpret_cast<void*>(GetInfo)},
                                            {"IEX_SetInfo", reinterpret_cast<void*>(SetInfo)},
                                            {"IEX_SetCallBacks", reinterpret_cast<void*>(SetCallBacks)},
                                            {"IEX_ExecuteRead", reinterpret_cast<void*>(ExecuteRead)},
                                            {"IEX_ExecuteWrite", reinterpret_cast<void*>(ExecuteWrite)},
                                            {"IEX_ExecuteTry", reinterpret_cast<void*>(ExecuteTry)},
                                            {"IEX_AddParameter", reinterpret_cast<void*>(AddParameter)}});
  pluginId = IERegisterIOPlugin("fuzzplugin.dll");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 16)) return 0;
  // The records, each clamped so that the pixel buffer (the rest of the
  // input) is what a plug-in would have made for them: the host must check
  // them against nothing but their own consistency, so sizes stay small.
  const int32_t selector = Take32(data, size);
  records.width = Take32(data, size) % 64;
  records.height = Take32(data, size) % 64;
  records.format = Take32(data, size) % 10;
  records.encodedSize = Take32(data, size);
  records.fullWidth = Take32(data, size);
  records.fullHeight = Take32(data, size);
  records.pixels = selector & 1;
  records.full = selector & 2;
  records.metadata = selector & 4;
  records.buffer.assign(data, data + size);
  const int64_t needed = int64_t{records.width < 0 ? 0 : records.width} * 8 *
                         (records.height < 0 ? 0 : records.height);
  if (records.format != 0 && static_cast<int64_t>(records.buffer.size()) < needed)
    records.buffer.resize(static_cast<size_t>(needed));
  if (records.format == 0 && records.encodedSize > static_cast<int32_t>(records.buffer.size()))
    records.encodedSize = static_cast<int32_t>(records.buffer.size());
  TMemoryStream stream;
  if (size > 0) stream.WriteBuffer(data, static_cast<int32_t>(size));
  stream.SetPosition(0);
  TIEBitmap bitmap;
  TIOParamsVals params(nullptr);
  params.FILETYPE = pluginId;
  params.ISNATIVEPIXELFORMAT = selector & 8;
  FuzzProgress progress;
  IEPluginReadStream(stream, &bitmap, params, selector & 16, progress.record);
  return 0;
}
