// The page image, its rows and the CCITT coding shared by the document writers.
#include "imaging/codecs/docpage.h"

#include <algorithm>
#include <cstring>

#include "imaging/codecs/jpegfilt.h"
#include "imaging/codecs/tifccitt.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"

bool TIEDocPageImage::Prepare(TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  if (bitmap.IsEmpty() || bitmap.GetWidth() <= 0 || bitmap.GetHeight() <= 0) {
    progress.Abort();
    return false;
  }
  image_ = &bitmap;
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  if (format != ie1g && format != ie24RGB) {
    copy_ = std::make_unique<TIEBitmap>();
    copy_->Assign(&bitmap);
    copy_->ConvertToPixelFormat(ie24RGB);
    image_ = copy_.get();
  }
  bilevel_ = image_->GetPixelFormat() == ie1g;
  width_ = image_->GetWidth();
  height_ = image_->GetHeight();
  params.BITSPERSAMPLE = bilevel_ ? 1 : 8;
  params.SAMPLESPERPIXEL = bilevel_ ? 1 : 3;
  return true;
}

int32_t TIEDocPageImage::RowBytes() const { return bilevel_ ? (width_ + 7) / 8 : 3 * width_; }

void TIEDocPageImage::Row(int32_t y, uint8_t* out) {
  const uint8_t* row = image_->GetScanline(y);
  if (bilevel_) {
    std::memcpy(out, row, static_cast<size_t>(RowBytes()));
    return;
  }
  for (int32_t x = 0; x < width_; ++x, row += 3, out += 3) {  // blue, green, red in memory
    out[0] = row[2];
    out[1] = row[1];
    out[2] = row[0];
  }
}

void TIEDocPageImage::Channel(int32_t y, int32_t colour, uint8_t* out) {
  const uint8_t* sample = image_->GetScanline(y) + (2 - colour);  // blue, green, red in memory
  for (int32_t x = 0; x < width_; ++x, sample += 3) out[x] = *sample;
}

std::vector<uint8_t> TIEDocPageImage::AllRows() {
  const auto rowBytes = static_cast<size_t>(RowBytes());
  std::vector<uint8_t> rows(rowBytes * static_cast<size_t>(height_));
  for (int32_t y = 0; y < height_; ++y) Row(y, rows.data() + rowBytes * static_cast<size_t>(y));
  return rows;
}

bool IEEncodeCCITTPage(TIEDocPageImage& page, TStream& stream, bool group4) {
  bool failed = false;
  std::vector<uint8_t> reference, row(static_cast<size_t>(page.RowBytes()));
  int32_t pendingBits = 0;
  uint8_t pendingByte = 0;
  const auto encode = group4 ? IECCITTEncodeRowG4 : IECCITTEncodeRowG3;
  for (int32_t y = 0; y < page.Height() && !failed; ++y) {
    page.Row(y, row.data());
    encode(row.data(), page.Width(), stream, 1, failed, reference, pendingBits, pendingByte);
  }
  encode(nullptr, page.Width(), stream, 1, failed, reference, pendingBits, pendingByte);
  return !failed;
}

bool IEEncodeDocumentJPEG(TIEDocPageImage& page, TStream& stream, TIOParamsVals& params, TIEProgressRecord& progress) {
  struct Restore {
    TIOParamsVals& params;
    const uint8_t space;
    ~Restore() { params.JPEG_COLORSPACE = space; }
  } restore{params, params.JPEG_COLORSPACE};
  if (params.JPEG_COLORSPACE == 3 || params.JPEG_COLORSPACE == 4) params.JPEG_COLORSPACE = 2;
  IEWriteJPEGStream(stream, page.Image(), params, progress);
  return !progress.Aborted();
}

std::tm IEDocumentClock() {
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  return local;
}
