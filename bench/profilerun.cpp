// The Create Profile request on a 5-megapixel chart photo against the colour
// toolkit's own time: scanin and colprof run directly, one after the other,
// with the arguments the request gives them. "request_x" is the request's
// time / the toolkit's (1.05 = 5 % of the request's own), in wall time and
// in the CPU time of the processes. The photo is
// the chart fixture enlarged eight times, written as an uncompressed TIFF
// before the timing; both sides work in folders of their own under a
// temporary folder, and the toolkit's console output is dropped.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <tiffio.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/vesk_main.h"
#include "platform/win/process.h"
#include "rounds.h"
#include "tests/services/test_folder.h"

namespace fs = std::filesystem;

namespace {

constexpr uint32_t kScale = 8;  // 340 x 240 -> 2720 x 1920, 5.2 megapixels

// The fixture enlarged kScale times, as an uncompressed
// 8-bit RGB TIFF.
void WriteChartPhoto(const std::string& fileName) {
  const std::string source = VESK_SOURCE_DIR "/tests/fixtures/charts/colorchecker24-handheld-crop.tif";
  std::unique_ptr<TIFF, void (*)(TIFF*)> in(TIFFOpen(source.c_str(), "r"), TIFFClose);
  if (!in) throw std::runtime_error("cannot read " + source);
  uint32_t w = 0, h = 0;
  TIFFGetField(in.get(), TIFFTAG_IMAGEWIDTH, &w);
  TIFFGetField(in.get(), TIFFTAG_IMAGELENGTH, &h);
  std::vector<uint32_t> rgba(size_t{w} * h);
  if (!TIFFReadRGBAImageOriented(in.get(), w, h, rgba.data(), ORIENTATION_TOPLEFT, 0))
    throw std::runtime_error("cannot decode " + source);
  std::unique_ptr<TIFF, void (*)(TIFF*)> out(TIFFOpen(fileName.c_str(), "w"), TIFFClose);
  const uint32_t ow = w * kScale, oh = h * kScale;
  TIFFSetField(out.get(), TIFFTAG_IMAGEWIDTH, ow);
  TIFFSetField(out.get(), TIFFTAG_IMAGELENGTH, oh);
  TIFFSetField(out.get(), TIFFTAG_SAMPLESPERPIXEL, 3);
  TIFFSetField(out.get(), TIFFTAG_BITSPERSAMPLE, 8);
  TIFFSetField(out.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_RGB);
  TIFFSetField(out.get(), TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
  TIFFSetField(out.get(), TIFFTAG_COMPRESSION, COMPRESSION_NONE);
  TIFFSetField(out.get(), TIFFTAG_ROWSPERSTRIP, 8);
  // Bilinear, so that the chart's edges stay as smooth as in a photo.
  auto channel = [&](uint32_t x, uint32_t y, int c) {
    const uint32_t p = rgba[size_t{std::min(y, h - 1)} * w + std::min(x, w - 1)];
    return static_cast<double>(c == 0 ? TIFFGetR(p) : c == 1 ? TIFFGetG(p) : TIFFGetB(p));
  };
  std::vector<uint8_t> row(size_t{ow} * 3);
  for (uint32_t y = 0; y < oh; ++y) {
    const double sy = std::max(0.0, (y + 0.5) / kScale - 0.5);
    const uint32_t y0 = static_cast<uint32_t>(sy);
    const double fy = sy - y0;
    for (uint32_t x = 0; x < ow; ++x) {
      const double sx = std::max(0.0, (x + 0.5) / kScale - 0.5);
      const uint32_t x0 = static_cast<uint32_t>(sx);
      const double fx = sx - x0;
      for (int c = 0; c < 3; ++c) {
        const double top = channel(x0, y0, c) * (1 - fx) + channel(x0 + 1, y0, c) * fx;
        const double bottom = channel(x0, y0 + 1, c) * (1 - fx) + channel(x0 + 1, y0 + 1, c) * fx;
        row[3 * x + c] = static_cast<uint8_t>(top * (1 - fy) + bottom * fy + 0.5);
      }
    }
    TIFFWriteScanline(out.get(), row.data(), y, 0);
  }
}

class SilentDialogs : public IProfileDialogs {
public:
  explicit SilentDialogs(std::string answer) : answer_(std::move(answer)) {}
  int32_t ShowProfileMessage(const std::string& text, const std::string&, TProfileMessageKind) override {
    last = text;
    return 1;
  }
  bool ExecuteSaveDialog(const TProfileSaveDialog&, std::string& fileName) override {
    fileName = answer_;
    return true;
  }
  std::string last;

private:
  std::string answer_;
};

// Runs a program with its output dropped and waits for it.
void RunQuietly(const std::vector<std::string>& argv, int nullFd) {
  const pid_t pid = SpawnProgram(argv, {true, nullFd, ""});
  if (pid < 0 || WaitForChild(pid) != 0) throw std::runtime_error("cannot run " + argv[0]);
}

void ProfileRun(benchmark::State& state, bench::RoundsOptions options) {
  const fs::path root = fs::temp_directory_path() / ("vesk-bench-profile-" + std::to_string(getpid()));
  fs::create_directories(root / "photo");
  fs::create_directories(root / "direct");
  fs::create_directories(root / "color");
  fs::create_directories(root / "tmp");
  const std::string photo = (root / "photo/chart.tif").string();
  WriteChartPhoto(photo);
  fs::copy_file(photo, root / "direct/chart.tif");
  // The work folder and the trash its old contents go to, inside root.
  ScopedEnv tmp("TMPDIR", (root / "tmp").string()), data("XDG_DATA_HOME", (root / "data").string());

  TProfileFolders folders{VESK_PROGRAM_FOLDER, ProfileWorkFolder(), (root / "color").string()};
  TProfileChoices choices;
  choices.ImageFileName = photo;
  choices.ReferenceFileName = folders.ProgramFolder + "argyll/ref/ColorChecker.cie";
  choices.PhotoHeight = 1920;

  // The toolkit's own run: the request's arguments, the request's output.
  const std::string bin = folders.ProgramFolder + "argyll/bin/";
  const std::string base = (root / "direct/chart").string();
  const std::vector<std::string> scanin{bin + "scanin", "-v", base + ".tif",
                                        folders.ProgramFolder + "argyll/ref/ColorChecker.cht",
                                        choices.ReferenceFileName};
  const std::vector<std::string> colprof{bin + "colprof", "-v", "-ACamera", "-MModel", "-DVeSk", "-CCopyright_free",
                                         "-qh", "-ag", "-Z", "p", base};
  const int nullFd = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  const int savedOut = ::dup(STDOUT_FILENO);
  SilentDialogs dialogs((root / "color/chart.icm").string());
  TProfileCreator creator(dialogs, folders);
  {
    // The request's batch file prints to our output: drop it for the rounds.
    ::dup2(nullFd, STDOUT_FILENO);
    bench::Rounds(state,
                  {{"toolkit",
                    [&] {
                      RunQuietly(scanin, nullFd);
                      RunQuietly(colprof, nullFd);
                    }},
                   {"request",
                    [&] {
                      TProfileChoices c = choices;
                      creator.CreateBtnClick(c);
                    }}},
                  options);
    std::fflush(stdout);
    ::dup2(savedOut, STDOUT_FILENO);
  }
  ::close(savedOut);
  ::close(nullFd);
  if (dialogs.last.rfind("ICC Profile saved to:", 0) != 0) state.SkipWithError(("request: " + dialogs.last).c_str());
  fs::remove_all(root);
}

}  // namespace

// Wall time, waits included; and the CPU time of our process and the
// toolkit's, which a loaded machine does not stretch.
void BM_ProfileRunWall(benchmark::State& state) { ProfileRun(state, {9, 5.0, true}); }
void BM_ProfileRunCpu(benchmark::State& state) { ProfileRun(state, {9, 5.0, false, true}); }

BENCHMARK(BM_ProfileRunWall)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_ProfileRunCpu)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();
