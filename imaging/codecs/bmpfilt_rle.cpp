// Bitmap run-length coding: the RLE8 and RLE4 decoders over the whole
// compressed data and the one-row encoders.
//
// Sections: decoding | encoding
#include <algorithm>
#include <cstdlib>

#include "imaging/codecs/bmpfilt.h"
#include "imaging/codecs/bmpfilt_support.h"

namespace {

// ---- decoding -----------------------------------------------------------------------

// Where the decoded pixels go: one index per pixel into an ie8p bitmap, or
// the palette's colour into an ie24RGB one. Columns are bounded by the row.
class TRleTarget {
public:
  TRleTarget(TIEBitmap& bitmap, int32_t rowBase, const TRGB* palette, int32_t paletteCount)
      : bitmap_(bitmap),
        width_(bitmap.GetWidth()),
        rowBase_(rowBase),
        palette_(palette),
        paletteCount_(palette ? paletteCount : 0),
        indexed_(bitmap.GetPixelFormat() == ie8p) {}

  void SetRow(int32_t rowCounter) { row_ = bitmap_.GetScanline(std::abs(rowBase_ - rowCounter)); }
  // Writes the pixel at column; pixels past the row's end (the padding that
  // some writers encode) are dropped.
  void Put(int64_t column, uint8_t index) {
    if (column >= width_) return;
    if (indexed_) {
      row_[column] = index;
      return;
    }
    const TRGB colour = index < paletteCount_ ? palette_[index] : TRGB{};
    std::memcpy(row_ + column * 3, &colour, 3);
  }

private:
  TIEBitmap& bitmap_;
  int32_t width_;
  int32_t rowBase_;
  const TRGB* palette_;
  int32_t paletteCount_;
  bool indexed_;
  uint8_t* row_ = nullptr;
};

// The pixel at position i of a run or absolute piece: RLE8 takes bytes,
// RLE4 alternates high and low nibbles.
template <bool Four>
uint8_t PieceIndex(const uint8_t* bytes, int32_t i) {
  if constexpr (Four)
    return (i & 1) ? (bytes[i / 2] & 0x0F) : (bytes[i / 2] >> 4);
  else
    return bytes[i];
}

template <bool Four>
bool DecodeRLE(TIEBitmap& bitmap, const uint8_t* data, int64_t dataSize, int32_t rowBase, TIEProgressRecord& progress,
               const TRGB* palette, int32_t paletteCount) {
  const int32_t height = bitmap.GetHeight();
  if (height < 1 || bitmap.GetWidth() < 1 || !data) return false;
  TRleTarget target(bitmap, rowBase, palette, paletteCount);
  int32_t row = height - 1;
  int64_t column = 0;
  int64_t at = 0;
  target.SetRow(row);
  while (at + 2 <= dataSize) {
    const uint8_t count = data[at], value = data[at + 1];
    at += 2;
    if (count > 0) {
      const uint8_t pair[2] = {value, value};
      for (int32_t i = 0; i < count; ++i) target.Put(column + i, PieceIndex<Four>(pair, i & 1));
      column += count;
      continue;
    }
    if (value == 0) {  // end of line
      if (--row < 0) return true;
      column = 0;
      target.SetRow(row);
      if (progress.fOnProgress) progress.Report(static_cast<int32_t>((height - row) * progress.per1));
      if (progress.Aborted()) return true;
    } else if (value == 1) {
      return true;
    } else if (value == 2) {
      if (at + 2 > dataSize) return false;
      column += data[at];
      row -= data[at + 1];
      at += 2;
      if (row < 0) return true;
      target.SetRow(row);
    } else {
      const int64_t bytes = Four ? (value + 1) / 2 : value;
      if (at + bytes > dataSize) return false;
      for (int32_t i = 0; i < value; ++i) target.Put(column + i, PieceIndex<Four>(data + at, i));
      column += value;
      at += bytes + (bytes & 1);
    }
  }
  // Data that ends on the last row lacks only its end markers.
  return row == 0;
}

// ---- encoding -----------------------------------------------------------------------

template <bool Four>
class TRleRowEncoder {
public:
  TRleRowEncoder(const uint8_t* indexes, uint8_t* output) : in_(indexes), out_(output) {}

  void Run(int32_t length, uint8_t index) {
    Put(static_cast<uint8_t>(length));
    Put(Four ? static_cast<uint8_t>((index << 4) | (index & 0x0F)) : index);
  }
  // Pixels first..first+count-1 (count at most 255) as literals.
  void Literals(int32_t first, int32_t count) {
    const uint8_t* p = in_ + first;
    if (count == 1) {
      Put(1);
      Put(Four ? static_cast<uint8_t>(p[0] << 4) : p[0]);
    } else if (count == 2 && Four) {
      Put(2);
      Put(static_cast<uint8_t>((p[0] << 4) | (p[1] & 0x0F)));
    } else if (count == 2) {
      Put(1), Put(p[0]), Put(1), Put(p[1]);
    } else if (count >= 3) {
      Put(0);
      Put(static_cast<uint8_t>(count));
      int32_t bytes = 0;
      if constexpr (Four) {
        for (int32_t i = 0; i < count; i += 2, ++bytes)
          Put(static_cast<uint8_t>((p[i] << 4) | (i + 1 < count ? (p[i + 1] & 0x0F) : 0)));
      } else {
        for (int32_t i = 0; i < count; ++i, ++bytes) Put(p[i]);
      }
      if (bytes & 1) Put(0);
    }
  }
  int32_t Encode(int32_t count) {
    int32_t pending = 0, at = 0;
    while (at < count) {
      if (at - pending >= 255) {
        Literals(pending, at - pending);
        pending = at;
      }
      if (at + 1 < count && in_[at] == in_[at + 1]) {
        Literals(pending, at - pending);
        int32_t end = at + 1;
        while (end < count && in_[end] == in_[at] && end - at < 255) ++end;
        Run(end - at, in_[at]);
        at = pending = end;
      } else {
        ++at;
      }
    }
    Literals(pending, at - pending);
    Put(0), Put(0);
    return written_;
  }

private:
  void Put(uint8_t byte) { out_[written_++] = byte; }

  const uint8_t* in_;
  uint8_t* out_;
  int32_t written_ = 0;
};

}  // namespace

bool IEDecodeBMPRLE8(TIEBitmap& bitmap, const uint8_t* data, int64_t dataSize, int32_t rowBase,
                     TIEProgressRecord& progress, const TRGB* palette, int32_t paletteCount) {
  return DecodeRLE<false>(bitmap, data, dataSize, rowBase, progress, palette, paletteCount);
}

bool IEDecodeBMPRLE4(TIEBitmap& bitmap, const uint8_t* data, int64_t dataSize, int32_t rowBase,
                     TIEProgressRecord& progress, const TRGB* palette, int32_t paletteCount) {
  return DecodeRLE<true>(bitmap, data, dataSize, rowBase, progress, palette, paletteCount);
}

int32_t IEEncodeBMPRLE8Row(const uint8_t* indexes, int32_t count, uint8_t* output) {
  return TRleRowEncoder<false>(indexes, output).Encode(count);
}

int32_t IEEncodeBMPRLE4Row(const uint8_t* indexes, int32_t count, uint8_t* output) {
  return TRleRowEncoder<true>(indexes, output).Encode(count);
}
