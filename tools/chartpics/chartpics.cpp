// chartpics OUT.jpg LAYOUT.cht [REFERENCE.cie] [LONGEST_SIDE]: draws the
// picture of a colour chart that the main window shows for the chosen chart
// type, from the colour toolkit's layout of the chart and, where there is
// one, its reference colours, and writes it as a JPEG through the I/O
// component. The same files give the same picture. Exit status 0 only when
// the picture was written; otherwise one line says why.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "platform/rtl/exceptions.h"
#include "tools/chartpics/chart_picture.h"

namespace {

constexpr int32_t kLongestSide = 320;

int Fail(const std::string& reason) {
  std::fprintf(stderr, "chartpics: %s\n", reason.c_str());
  return 1;
}

bool ReadFile(const std::string& name, std::string& text) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  text = out.str();
  return static_cast<bool>(in) || !text.empty();
}

bool WriteJpeg(const chartpics::ChartPicture& picture, const std::string& fileName) {
  TIEBitmap bitmap(picture.width, picture.height, ie24RGB);
  for (int32_t y = 0; y < picture.height; ++y)
    for (int32_t x = 0; x < picture.width; ++x) {
      const uint8_t* p = &picture.rgb[(static_cast<size_t>(y) * picture.width + x) * 3];
      TRGB rgb;
      rgb.r = p[0], rgb.g = p[1], rgb.b = p[2];
      bitmap.SetPixel24(x, y, rgb);
    }
  std::unique_ptr<TImageryIO> io(TImageryIO::CreateFromBitmap(&bitmap));
  io->Params().JPEG_QUALITY = 92;
  io->Params().JPEG_CROMASUBSAMPLING = 2;  // full colour resolution: the patches' edges stay clean
  io->Params().JPEG_OPTIMALHUFFMAN = true;
  io->SetAborting(false);
  io->SaveToFileJPEG(fileName);
  return !io->Aborting();
}

int Run(int argc, char** argv) {
  if (argc < 3 || argc > 5) return Fail("usage: chartpics OUT.jpg LAYOUT.cht [REFERENCE.cie] [LONGEST_SIDE]");
  const std::string out = argv[1], layoutFile = argv[2];
  const std::string referenceFile = argc > 3 ? argv[3] : "";
  const int32_t side = argc > 4 ? std::atoi(argv[4]) : kLongestSide;
  if (side < 16 || side > 4096) return Fail("the longest side must be 16 to 4096 pixels");

  std::string text, error;
  if (!ReadFile(layoutFile, text)) return Fail(layoutFile + ": cannot be read");
  const auto layout = chartpics::ReadChartLayout(text, &error);
  if (!layout) return Fail(layoutFile + ": " + error);
  chartpics::ChartColours reference;
  if (!referenceFile.empty()) {
    if (!ReadFile(referenceFile, text)) return Fail(referenceFile + ": cannot be read");
    const auto colours = chartpics::ReadChartColours(text, &error);
    if (!colours) return Fail(referenceFile + ": " + error);
    reference = *colours;
  }
  const chartpics::ChartPicture picture = chartpics::DrawChart(*layout, reference, side);
  if (picture.width == 0) return Fail(layoutFile + ": no sample boxes to draw");
  if (picture.uncoloured > 0)
    std::fprintf(stderr, "chartpics: %s: %d of %d patches have no colour and are drawn grey\n", layoutFile.c_str(),
                 picture.uncoloured, picture.patches);
  if (!WriteJpeg(picture, out)) return Fail(out + ": cannot be written");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  IELibraryInitialize();
  int status;
  try {
    status = Run(argc, argv);
  } catch (const Exception& e) {
    status = Fail(e.Message());
  } catch (const std::exception& e) {
    status = Fail(e.what());
  }
  IELibraryFinalize();
  return status;
}
