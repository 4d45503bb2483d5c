// The document layer of the PDF and PostScript writers on a 20-megapixel
// RGB photo: each document write against the bare encoder of its image
// data on the same pixels in the same run (bench/photo_pairs.h), so that
// "speed_vs_bare" is the encoder's share of the document's time (1 / 1.3
// or more: the layer adds at most 30%). The bare encoders: for PDF none the
// rows copied in red, green, blue order; LZW the parameters' TIFF encoder
// over those rows; JPEG the JPEG writer; for PostScript run-length each
// row's three channels through the run-length encoder. All write to memory.
//
// PdfThreePagePeak writes a three-page PDF of the photo (uncompressed, to a
// file) and reports "peak_vs_page": the growth of the process's peak
// resident memory over the write divided by one page's image data.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bench/photo_pairs.h"
#include "imaging/codecs/jpegfilt.h"
#include "imaging/codecs/pdffilt.h"
#include "imaging/codecs/psfilt.h"
#include "imaging/codecs/tiflzw.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"

namespace {

constexpr int kQuality = 80;

// Row y of the photo in red, green, blue order.
void RGBRow(TIEBitmap& image, int32_t y, std::vector<uint8_t>& row) {
  const uint8_t* bgr = image.GetScanline(y);
  for (size_t x = 0; x < row.size(); x += 3) {
    row[x] = bgr[x + 2];
    row[x + 1] = bgr[x + 1];
    row[x + 2] = bgr[x];
  }
}

void BareRows(TIEBitmap& image, TStream& out) {
  std::vector<uint8_t> row(static_cast<size_t>(3 * image.GetWidth()));
  for (int32_t y = 0; y < image.GetHeight(); ++y) {
    RGBRow(image, y, row);
    out.WriteBuffer(row.data(), static_cast<int32_t>(row.size()));
  }
}

void BareLZW(TIEBitmap& image, TStream& out) {
  std::vector<uint8_t> row(static_cast<size_t>(3 * image.GetWidth()));
  void* state = nullptr;
  for (int32_t y = 0; y < image.GetHeight(); ++y) {
    RGBRow(image, y, row);
    EncodeTIFFLZW(row.data(), static_cast<int32_t>(row.size()), out, state);
  }
  EncodeTIFFLZW(nullptr, 0, out, state);
}

void BareRunLength(TIEBitmap& image, TStream& out) {
  const auto width = static_cast<size_t>(image.GetWidth());
  std::vector<uint8_t> channel(width), encoded(IERunLengthCapacity(width));
  for (int32_t y = 0; y < image.GetHeight(); ++y) {
    const uint8_t* bgr = image.GetScanline(y);
    for (int c = 2; c >= 0; --c) {
      for (size_t x = 0; x < width; ++x) channel[x] = bgr[3 * x + static_cast<size_t>(c)];
      const int32_t n = IEEncodeRunLength(channel.data(), static_cast<int32_t>(width), encoded.data());
      out.WriteBuffer(encoded.data(), n);
    }
  }
}

void BareJPEG(TIEBitmap& image, TStream& out) {
  TIOParamsVals params(nullptr);
  params.JPEG_QUALITY = kQuality;
  Progress progress;
  IEWriteJPEGStream(out, image, params, progress.record);
}

using Writer = void (*)(TStream&, TIEBitmap&, TIOParamsVals&, TIEProgressRecord&);

// The document writer against the bare encoder.
void Document(benchmark::State& state, Writer writer, int compression, void (*bare)(TIEBitmap&, TStream&)) {
  TIEBitmap& image = Photo();
  Pair(
      state,
      [&] {
        TMemoryStream out;
        bare(image, out);
        benchmark::DoNotOptimize(out.Size());
      },
      [&] {
        TMemoryStream out;
        TIOParamsVals params(nullptr);
        params.JPEG_QUALITY = kQuality;
        params.PDF_COMPRESSION = static_cast<uint8_t>(compression);
        params.PS_COMPRESSION = static_cast<uint8_t>(compression);
        Progress progress;
        writer(out, image, params, progress.record);
        if (progress.aborting) state.SkipWithError("the document failed");
        benchmark::DoNotOptimize(out.Size());
      });
}

void PdfNone(benchmark::State& state) { Document(state, IEWritePDFStream, 0, BareRows); }
void PdfLZW(benchmark::State& state) { Document(state, IEWritePDFStream, 5, BareLZW); }
void PdfJPEG(benchmark::State& state) { Document(state, IEWritePDFStream, 4, BareJPEG); }
void PsRunLength(benchmark::State& state) { Document(state, IEWritePSStream, 0, BareRunLength); }
void PsJPEG(benchmark::State& state) { Document(state, IEWritePSStream, 3, BareJPEG); }

// The process's peak resident memory in bytes (VmHWM).
int64_t PeakResident() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmHWM:", 0) == 0) return std::stoll(line.substr(6)) * 1024;
  return 0;
}

// Starts a new peak at the present resident size.
void ResetPeak() { std::ofstream("/proc/self/clear_refs") << "5"; }

void PdfThreePagePeak(benchmark::State& state) {
  TIEBitmap& image = Photo();
  const std::string file = IETempFolder() + "bench-three-pages.pdf";
  const double pageData = 3.0 * image.GetWidth() * image.GetHeight();
  double growth = 0;
  for (auto _ : state) {
    ResetPeak();
    const int64_t before = PeakResident();
    {
      TIOParamsVals params(nullptr);
      params.PDF_COMPRESSION = 0;
      Progress progress;
      std::unique_ptr<TIEPDFDocument> document = IEBeginPDFDocument();
      for (int page = 0; page < 3; ++page) IEAddPDFPage(*document, image, params, progress.record);
      TFileStream out(file, fmCreate);
      IEEndPDFDocument(document, out, params);
    }
    growth = static_cast<double>(PeakResident() - before);
  }
  std::remove(file.c_str());
  state.counters["peak_vs_page"] = growth / pageData;
  state.counters["peak_growth_mb"] = growth / 1e6;
}

}  // namespace

BENCHMARK(PdfNone)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(PdfLZW)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(PdfJPEG)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(PsRunLength)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(PsJPEG)->Unit(benchmark::kMillisecond)->Iterations(4);
BENCHMARK(PdfThreePagePeak)->Unit(benchmark::kMillisecond)->Iterations(1);
