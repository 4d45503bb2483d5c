// The document layer of the PDF and PostScript writers on a 20-megapixel
// RGB photo, in alternating rounds (bench/rounds.h) against the bare
// encoder chain of the same image data on the same pixels. Both sides write
// a file of their own, removed before each run (untimed), and both write it
// through a 64 KB buffer, as the writers write their image data; the page's
// rows are taken the writers' way (TIEDocPageImage: red, green, blue).
//
//   PdfNone      bare: the rows written to the file as they are.
//                document: IEWritePDFStream, compression 0.
//   PdfLZW       bare: the rows through the parameters' TIFF LZW encoder as
//                one code stream.   document: compression 5.
//   PdfJPEG      bare: the JPEG writer's stream.   document: compression 4.
//   PsRunLength  bare: each row's red, green and blue bytes, each run-length
//                coded and then ASCII85 coded on its own (with its line
//                breaks and end marker).   document: IEWritePSStream,
//                compression 0.
//   PsJPEG       bare: the JPEG writer's stream into memory, then ASCII85
//                coded as a whole.   document: compression 3.
//
// "bare_mb" and "document_mb" are the sizes of the files written.
// "document_x" is the document's time / the bare chain's per round: at most
// 1.3 is the target (the layer adds at most 30%).
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
#include "imaging/codecs/docpage.h"
#include "imaging/codecs/jpegfilt.h"
#include "imaging/codecs/pdffilt.h"
#include "imaging/codecs/psfilt.h"
#include "imaging/codecs/tiflzw.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio_params.h"
#include "platform/rtl/streams.h"

namespace {

constexpr int kQuality = 80;
constexpr int32_t kBuffer = 65536;

std::string OutputFile(const char* side) {
  return IETempFolder() + "bench-docwriters-" + std::to_string(::getpid()) + "-" + side + ".out";
}

void MakeParams(TIOParamsVals& params, int compression) {
  params.JPEG_QUALITY = kQuality;
  params.PDF_COMPRESSION = static_cast<uint8_t>(compression);
  params.PS_COMPRESSION = static_cast<uint8_t>(compression);
}

// The photo as a document page, rows in red, green, blue order.
struct Page {
  Page() {
    MakeParams(params, 0);
    page.Prepare(Photo(), params, progress.record);
  }
  TIOParamsVals params{nullptr};
  Progress progress;
  TIEDocPageImage page;
};

using Bare = void (*)(Page&, TStream&);

void BareRows(Page& p, TStream& out) {
  std::vector<uint8_t> row(static_cast<size_t>(p.page.RowBytes()));
  for (int32_t y = 0; y < p.page.Height(); ++y) {
    p.page.Row(y, row.data());
    out.WriteBuffer(row.data(), p.page.RowBytes());
  }
}

void BareLZW(Page& p, TStream& out) {
  std::vector<uint8_t> row(static_cast<size_t>(p.page.RowBytes()));
  void* state = nullptr;
  for (int32_t y = 0; y < p.page.Height(); ++y) {
    p.page.Row(y, row.data());
    EncodeTIFFLZW(row.data(), p.page.RowBytes(), out, state);
  }
  EncodeTIFFLZW(nullptr, 0, out, state);
}

void BareJPEG(Page& p, TStream& out) {
  TIOParamsVals params(nullptr);
  MakeParams(params, 0);
  IEWriteJPEGStream(out, Photo(), params, p.progress.record);
}

// The bytes run-length coded, then ASCII85 coded, into the buffers.
void RunLengthASCII85(const uint8_t* data, int32_t count, std::vector<uint8_t>& coded, std::vector<char>& text,
                      TStream& out) {
  const int32_t length = IEEncodeRunLength(data, count, coded.data());
  const uint8_t* source = coded.data();
  char* end = text.data();
  int32_t groupChars = 0;
  IEEncodeASCII85(source, length, end, groupChars);
  out.WriteBuffer(text.data(), static_cast<int32_t>(end - text.data()));
}

void BareRunLengthASCII85(Page& p, TStream& out) {
  const auto width = static_cast<size_t>(p.page.Width());
  std::vector<uint8_t> row(3 * width), channel(width), coded(IERunLengthCapacity(width));
  std::vector<char> text(IEASCII85Capacity(coded.size()));
  for (int32_t y = 0; y < p.page.Height(); ++y) {
    p.page.Row(y, row.data());
    for (size_t c = 0; c < 3; ++c) {
      for (size_t x = 0; x < width; ++x) channel[x] = row[3 * x + c];
      RunLengthASCII85(channel.data(), static_cast<int32_t>(width), coded, text, out);
    }
  }
}

void BareJPEGASCII85(Page& p, TStream& out) {
  TMemoryStream jpeg;
  BareJPEG(p, jpeg);
  std::vector<char> text(IEASCII85Capacity(static_cast<size_t>(jpeg.Size())));
  const auto* source = static_cast<const uint8_t*>(jpeg.Memory());
  char* end = text.data();
  int32_t groupChars = 0;
  IEEncodeASCII85(source, static_cast<int32_t>(jpeg.Size()), end, groupChars);
  out.WriteBuffer(text.data(), static_cast<int32_t>(end - text.data()));
}

double FileMegabytes(const std::string& file) {
  TFileStream stream(file, fmOpenRead);
  return static_cast<double>(stream.Size()) / 1e6;
}

using Writer = void (*)(TStream&, TIEBitmap&, TIOParamsVals&, TIEProgressRecord&);

// The document writer against the bare chain, each into its own file.
void Document(benchmark::State& state, Writer writer, int compression, Bare bare) {
  Page page;
  const std::string bareFile = OutputFile("bare"), documentFile = OutputFile("document");
  bool failed = false;
  bench::Rounds(state,
                {{"bare",
                  [&] {
                    TFileStream file(bareFile, fmCreate);
                    TIEBufferedWriteStream out(file, kBuffer);
                    bare(page, out);
                  },
                  [&] { std::remove(bareFile.c_str()); }},
                 {"document",
                  [&] {
                    TFileStream file(documentFile, fmCreate);
                    TIOParamsVals params(nullptr);
                    MakeParams(params, compression);
                    Progress progress;
                    writer(file, Photo(), params, progress.record);
                    failed = failed || progress.aborting;
                  },
                  [&] { std::remove(documentFile.c_str()); }}},
                {.MinRounds = 7, .MinSeconds = 2.0});
  if (failed) state.SkipWithError("the document failed");
  state.counters["bare_mb"] = FileMegabytes(bareFile);
  state.counters["document_mb"] = FileMegabytes(documentFile);
  std::remove(bareFile.c_str());
  std::remove(documentFile.c_str());
}

void PdfNone(benchmark::State& state) { Document(state, IEWritePDFStream, 0, BareRows); }
void PdfLZW(benchmark::State& state) { Document(state, IEWritePDFStream, 5, BareLZW); }
void PdfJPEG(benchmark::State& state) { Document(state, IEWritePDFStream, 4, BareJPEG); }
void PsRunLength(benchmark::State& state) { Document(state, IEWritePSStream, 0, BareRunLengthASCII85); }
void PsJPEG(benchmark::State& state) { Document(state, IEWritePSStream, 3, BareJPEGASCII85); }

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
  const std::string file = OutputFile("three-pages");
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

BENCHMARK(PdfNone)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PdfLZW)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PdfJPEG)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PsRunLength)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PsJPEG)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(PdfThreePagePeak)->Unit(benchmark::kMillisecond)->Iterations(1);
