// What the picture graphics that keep a file's encoded bytes share: the
// bytes exactly as loaded, the empty flag, saving the bytes unchanged, and
// a COM stream over a copy of them in global memory for the decoders.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/forms/graphics.h"
#include "platform/win/unknwn.h"

class TEncodedGraphic : public TGraphic {
public:
  const std::vector<uint8_t>& Data() const { return data_; }
  bool Empty() const override { return empty_; }
  void SetWidth(int32_t) override {}
  void SetHeight(int32_t) override {}
  // Writes the bytes unchanged.
  void SaveToStream(TStream& stream) override;
  void WriteData(TStream* stream) {
    if (stream) SaveToStream(*stream);
  }
  // True when bytes are held (not empty and not of size 0).
  bool HasData() const { return !empty_ && !data_.empty(); }

  // A stream over a global-memory copy of `bytes` (freed with the stream);
  // raises "Could not allocate memory for image" when memory is short.
  static ComPtr<IStream> StreamOverCopy(const std::vector<uint8_t>& bytes);

protected:
  // The whole stream from its start into the bytes.
  void TakeStream(TStream& stream);
  // The whole file into the bytes (an exception on failure).
  void TakeFile(const std::string& fileName);
  // The rest of a bitmap, picture or icon saved into the bytes.
  void TakeGraphic(TGraphic& graphic);
  // Takes the bytes of a framework picture holder's graphic, a bitmap or
  // (with icons) an icon: true when the source was one of them.
  bool TakeFrameworkGraphic(const TPersistent* source, bool icons);
  // The bytes as a framework bitmap, drawn transparently at its own size.
  void DrawAsTransparentBitmap(TCanvas* canvas, int x, int y) const;

  std::vector<uint8_t> data_;
  bool empty_ = true;
};
