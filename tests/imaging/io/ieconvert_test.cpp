// The conversion tool against ImageMagick's own decoding of the same files.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/imaging/io/io_test_support.h"

namespace {

const std::string kTool = std::string(VESK_BINARY_DIR) + "/tools/ieconvert/ieconvert";

std::string Folder() { return iotest::TempFolder(); }

// Runs a command; its exit status and the first line it wrote to stderr.
int RunCommand(const std::string& command, std::string* firstLine = nullptr) {
  const std::string errors = Folder() + "ieconvert.err";
  const int status = std::system((command + " 2>" + errors).c_str());
  if (firstLine) {
    const std::string text = iotest::ReadFile(errors);
    *firstLine = text.substr(0, text.find('\n'));
  }
  return status;
}

// The pixel bytes after the PAM header.
std::string PAMPixels(const std::string& fileName) {
  const std::string data = iotest::ReadFile(fileName);
  const size_t end = data.find("ENDHDR\n");
  return end == std::string::npos ? std::string() : data.substr(end + 7);
}

TEST(IEConvert, JPEGDecodesAsImageMagickDecodesIt) {
  const std::string jpeg = Folder() + "conv.jpg", ours = Folder() + "conv.pam", theirs = Folder() + "ref.pam";
  ASSERT_EQ(RunCommand("/usr/bin/convert -size 40x30 -depth 8 plasma:fractal -seed 3 -quality 85 " + jpeg), 0);
  ASSERT_EQ(RunCommand(kTool + " " + jpeg + " " + ours), 0);
  ASSERT_EQ(RunCommand("/usr/bin/convert " + jpeg + " -depth 8 -alpha on " + theirs), 0);
  const std::string a = PAMPixels(ours), b = PAMPixels(theirs);
  ASSERT_EQ(a.size(), 40u * 30u * 4u);
  ASSERT_EQ(a.size(), b.size());
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i)
    worst = std::max(worst, std::abs(static_cast<uint8_t>(a[i]) - static_cast<uint8_t>(b[i])));
  EXPECT_LE(worst, 1);
}

// How two PAM images' samples differ: the largest difference and the PSNR
// in dB (-1 and 0 when their sizes differ).
struct Difference {
  int worst = -1;
  double psnr = 0;
};
Difference Compare(const std::string& a, const std::string& b) {
  const std::string x = PAMPixels(a), y = PAMPixels(b);
  Difference d;
  if (x.empty() || x.size() != y.size()) return d;
  d.worst = 0;
  double squares = 0;
  for (size_t i = 0; i < x.size(); ++i) {
    const int e = std::abs(static_cast<uint8_t>(x[i]) - static_cast<uint8_t>(y[i]));
    d.worst = std::max(d.worst, e);
    squares += e * e;
  }
  d.psnr = squares == 0 ? 99 : 10 * std::log10(255.0 * 255.0 * static_cast<double>(x.size()) / squares);
  return d;
}

// The chart photos go round TIFF, PNG and JPEG through the tool, each
// format saved as each other and as PAM; each file it writes passes its
// format's own checker and decodes, in the other tools, to the pixels it
// was made from (JPEG within its loss).
TEST(IEConvert, ChartPhotosGoRoundTIFFPNGAndJPEG) {
  const std::string charts = std::string(VESK_SOURCE_DIR) + "/tests/fixtures/charts/";
  const std::string f = Folder();
  for (const char* chart : {"colorchecker24-handheld.jpg", "colorchecker24-handheld-crop.tif"}) {
    SCOPED_TRACE(chart);
    const std::string source = charts + chart;
    ASSERT_EQ(RunCommand("/usr/bin/convert " + source + " -depth 8 -alpha on " + f + "src.pam"), 0);
    const struct {
      const char* from;
      const char* to;
      const char* check;  // the format's own checker, on the written file
      int bound;          // the largest difference against what the step started from; -1: lossy
    } kSteps[] = {
        {"src", "a.tif", "tiffinfo -D", 1},  // our JPEG decoding against ImageMagick's
        {"a.tif", "b.png", "pngcheck", 0},
        {"b.png", "c.jpg", "djpeg -outfile /dev/null", -1},
        {"c.jpg", "d.tif", "tiffinfo -D", 1},
        {"d.tif", "e.png", "pngcheck", 0},
        {"e.png", "f.tif", "tiffinfo -D", 0},
        {"f.tif", "g.jpg", "djpeg -outfile /dev/null", -1},
        {"g.jpg", "h.png", "pngcheck", 1},
        // and each as PAM
        {"h.png", "i.pam", "pamfile", 0},
        {"g.jpg", "j.pam", "pamfile", 1},
        {"f.tif", "k.pam", "pamfile", 0},
    };
    for (const auto& step : kSteps) {
      SCOPED_TRACE(std::string(step.from) + " to " + step.to);
      const std::string from = std::string(step.from) == "src" ? source : f + step.from, to = f + step.to;
      ASSERT_EQ(RunCommand(kTool + " " + from + " " + to), 0);
      std::string complaint;
      ASSERT_EQ(RunCommand(std::string(step.check) + " " + to + " >/dev/null", &complaint), 0);
      EXPECT_EQ(complaint, "");
      // ImageMagick reads what we wrote (TIFF through libtiff) ...
      ASSERT_EQ(RunCommand("/usr/bin/convert " + to + " -depth 8 -alpha on " + f + "theirs.pam"), 0);
      // ... as the pixels the step started from, as ImageMagick decodes them.
      const std::string start = std::string(step.from) == "src" ? f + "src.pam" : f + "start.pam";
      if (std::string(step.from) != "src") {
        ASSERT_EQ(RunCommand("/usr/bin/convert " + from + " -depth 8 -alpha on " + start), 0);
      }
      const Difference d = Compare(f + "theirs.pam", start);
      ASSERT_GE(d.worst, 0) << "the sizes differ";
      if (step.bound >= 0) {
        EXPECT_LE(d.worst, step.bound);
      } else {
        EXPECT_GE(d.psnr, 32.0);
      }
    }
  }
}

// A netpbm file (P5, P6 or P7) as red, green, blue and alpha samples;
// alpha is the largest value where the file has none.
struct Netpbm {
  int width = 0, height = 0, maxval = 0;
  std::vector<std::array<int, 4>> pixels;
};
Netpbm ReadNetpbm(const std::string& fileName) {
  const std::string data = iotest::ReadFile(fileName);
  Netpbm n;
  int depth = 0;
  size_t at = 0;
  auto token = [&] {
    while (at < data.size() && (std::isspace(static_cast<unsigned char>(data[at])) || data[at] == '#')) {
      if (data[at] == '#') at = data.find('\n', at);
      if (at == std::string::npos) at = data.size();
      else ++at;
    }
    const size_t start = at;
    while (at < data.size() && !std::isspace(static_cast<unsigned char>(data[at]))) ++at;
    return data.substr(start, at - start);
  };
  const std::string magic = token();
  if (magic == "P7") {
    for (std::string t = token(); t != "ENDHDR" && !t.empty(); t = token()) {
      if (t == "WIDTH") n.width = std::stoi(token());
      else if (t == "HEIGHT") n.height = std::stoi(token());
      else if (t == "DEPTH") depth = std::stoi(token());
      else if (t == "MAXVAL") n.maxval = std::stoi(token());
    }
  } else if (magic == "P5" || magic == "P6") {
    n.width = std::stoi(token()), n.height = std::stoi(token()), n.maxval = std::stoi(token());
    depth = magic == "P5" ? 1 : 3;
  }
  ++at;  // the one blank before the samples
  const int bytes = n.maxval > 255 ? 2 : 1;
  auto sample = [&](size_t index) {
    const size_t p = at + index * bytes;
    if (p + bytes > data.size()) return -1;
    return bytes == 2 ? static_cast<uint8_t>(data[p]) << 8 | static_cast<uint8_t>(data[p + 1])
                      : static_cast<int>(static_cast<uint8_t>(data[p]));
  };
  for (int i = 0; i < n.width * n.height; ++i) {
    const size_t s = static_cast<size_t>(i) * depth;
    const bool colour = depth >= 3, alpha = depth == 2 || depth == 4;
    const int r = sample(s), g = colour ? sample(s + 1) : r, b = colour ? sample(s + 2) : r;
    n.pixels.push_back({r, g, b, alpha ? sample(s + depth - 1) : n.maxval});
  }
  return n;
}

// PNG and TIFF files written by netpbm, libtiff and ImageMagick: the tool's
// PAM holds exactly the samples that netpbm's own decoders find, 16-bit
// samples included (16-bit grey PNG, 16-bit RGB TIFF; the PNG reader keeps
// 16-bit colour as 8-bit).
TEST(IEConvert, LosslessFilesDecodeAsTheOutsideDecodersDecodeThem) {
  const std::string f = Folder();
  ASSERT_EQ(RunCommand("/usr/bin/convert -seed 3 -size 40x30 plasma:fractal -depth 16 -write " + f +
                       "p16.ppm -depth 8 -write " + f + "p.ppm -write PNG32:" + f +
                       "rgba.png -colorspace gray -write " + f + "g.pgm -depth 16 " + f + "g16.pgm"),
            0);
  struct Case {
    const char* make;       // writes {out} from the sources
    const char* reference;  // netpbm's decoding of {out} to standard output
  };
  const Case cases[] = {
      {"pnmtopng {f}p.ppm > {out}", "pngtopam {out}"},
      {"pnmtopng {f}g.pgm > {out}", "pngtopam {out}"},
      {"pnmtopng {f}g16.pgm > {out}", "pngtopam {out}"},
      {"pnmtopng -interlace {f}p.ppm > {out}", "pngtopam {out}"},
      {"cp {f}rgba.png {out}", "pngtopam -alphapam {out}"},
      {"pnmtotiff -lzw {f}p.ppm > {out}", "tifftopnm -byrow {out}"},
      {"pnmtotiff -msb2lsb {f}g.pgm > {out}", "tifftopnm -byrow {out}"},
      {"pnmtotiff {f}p16.ppm > {out}", "tifftopnm -byrow {out}"},
      {"pnmtotiff {f}p.ppm > {f}t.tif && tiffcp -B -c zip {f}t.tif {out}", "tifftopnm -byrow {out}"},
      {"pnmtotiff {f}p.ppm > {f}t.tif && tiffcp -8 -c packbits {f}t.tif {out}", "tifftopnm -byrow {out}"},
  };
  int index = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.make);
    const std::string out = f + "lossless" + std::to_string(index++);
    auto expand = [&](std::string command) {
      for (size_t at; (at = command.find("{f}")) != std::string::npos;) command.replace(at, 3, f);
      for (size_t at; (at = command.find("{out}")) != std::string::npos;) command.replace(at, 5, out);
      return command;
    };
    ASSERT_EQ(RunCommand(expand(c.make)), 0);
    ASSERT_EQ(RunCommand(expand(c.reference) + " > " + f + "theirs.pnm"), 0);
    ASSERT_EQ(RunCommand(kTool + " " + out + " " + f + "ours.pam"), 0);
    const Netpbm ours = ReadNetpbm(f + "ours.pam"), theirs = ReadNetpbm(f + "theirs.pnm");
    ASSERT_EQ(ours.width, theirs.width);
    ASSERT_EQ(ours.height, theirs.height);
    ASSERT_EQ(ours.maxval, theirs.maxval);
    ASSERT_EQ(ours.pixels.size(), theirs.pixels.size());
    int differing = 0;
    for (size_t i = 0; i < ours.pixels.size(); ++i) differing += ours.pixels[i] != theirs.pixels[i];
    EXPECT_EQ(differing, 0);
  }
}

// A TIFF of one page and one of three pages (red, blue, and a black 1-bit
// page) saved as PostScript and PDF: qpdf finds the PDF sound, ps2pdf
// converts the PostScript without a word, pdfinfo counts the pages, and
// Ghostscript draws each page in its colour at the top left of A4.
TEST(IEConvert, TIFFPagesBecomeOneDocument) {
  const std::string f = Folder();
  ASSERT_EQ(RunCommand("/usr/bin/convert -size 60x40 xc:red " + f + "one.tif"), 0);
  ASSERT_EQ(RunCommand("/usr/bin/convert -size 60x40 xc:red xc:blue \\( xc:black -monochrome \\) " + f +
                       "three.tif"),
            0);
  const std::array<std::string, 3> kColours = {std::string("\xFF\x00\x00\xFF", 4), std::string("\x00\x00\xFF\xFF", 4),
                                               std::string("\x00\x00\x00\xFF", 4)};
  for (const char* source : {"one", "three"}) {
    const int pages = std::string(source) == "one" ? 1 : 3;
    for (const char* kind : {"ps", "pdf"}) {
      SCOPED_TRACE(std::string(source) + " as " + kind);
      const std::string out = f + source + "." + kind, pdf = f + source + "-" + kind + ".pdf";
      ASSERT_EQ(RunCommand(kTool + " " + f + source + ".tif " + out), 0);
      std::string complaint;
      if (std::string(kind) == "ps") {
        ASSERT_EQ(RunCommand("ps2pdf " + out + " " + pdf + " >/dev/null", &complaint), 0);
        EXPECT_EQ(complaint, "");
      } else {
        ASSERT_EQ(RunCommand("cp " + out + " " + pdf), 0);
      }
      ASSERT_EQ(RunCommand("qpdf --check " + pdf + " > " + f + "check.txt"), 0);
      EXPECT_EQ(iotest::ReadFile(f + "check.txt").find("WARNING"), std::string::npos);
      ASSERT_EQ(RunCommand("pdfinfo " + pdf + " | grep '^Pages:' > " + f + "pages.txt"), 0);
      EXPECT_EQ(iotest::ReadFile(f + "pages.txt"), "Pages:           " + std::to_string(pages) + "\n");
      ASSERT_EQ(RunCommand("rm -f " + f + "page-*; gs -q -dSAFER -dNOPAUSE -dBATCH -sDEVICE=png16m -r72 -g595x842 "
                           "-sOutputFile=" + f + "page-%d.png " + out),
                0);
      for (int p = 1; p <= pages; ++p) {
        const std::string png = f + "page-" + std::to_string(p) + ".png";
        ASSERT_EQ(RunCommand("/usr/bin/convert " + png + " -crop 1x1+5+5 -depth 8 rgba:" + png + ".rgba"), 0);
        EXPECT_EQ(iotest::ReadFile(png + ".rgba"), kColours[static_cast<size_t>(p - 1)]) << p;
        ASSERT_EQ(RunCommand("/usr/bin/convert " + png + " -crop 1x1+5+800 -depth 8 rgba:" + png + ".rgba"), 0);
        EXPECT_EQ(iotest::ReadFile(png + ".rgba"), "\xFF\xFF\xFF\xFF") << p << ": below the image";
      }
    }
  }
}

TEST(IEConvert, FailuresSayWhyInOneLine) {
  std::string line;
  EXPECT_NE(RunCommand(kTool + " " + Folder() + "missing.png " + Folder() + "x.pam", &line), 0);
  EXPECT_NE(line.find("no such file"), std::string::npos) << line;
  const std::string text = iotest::WriteTempFile("plain.txt", "not an image");
  EXPECT_NE(RunCommand(kTool + " " + text + " " + Folder() + "x.pam", &line), 0);
  EXPECT_NE(line.find("not an image format"), std::string::npos) << line;
  EXPECT_NE(RunCommand(kTool + " onlyone", &line), 0);
  EXPECT_NE(line.find("usage"), std::string::npos) << line;
}

// A conversion draws nothing, so the tool loads neither the drawing and text
// libraries nor the window-system ones beneath them: the loader's log of the
// libraries it maps, at start-up and later, names none of them.
TEST(IEConvert, LoadsNoDrawingLibraries) {
  const std::string jpeg = Folder() + "plain.jpg", log = Folder() + "loader.log";
  ASSERT_EQ(RunCommand("/usr/bin/convert -size 64x48 gradient:red-blue -quality 90 " + jpeg), 0);
  for (const char* out : {"plain.ppm", "plain.png", "plain.tif"}) {
    SCOPED_TRACE(out);
    ASSERT_EQ(std::system(("LD_DEBUG=files " + kTool + " " + jpeg + " " + Folder() + out + " 2>" + log).c_str()), 0);
    const std::string loaded = iotest::ReadFile(log);
    ASSERT_NE(loaded.find("libjpeg"), std::string::npos) << "the log lists the libraries mapped";
    for (const char* library : {"libcairo", "libpango", "libfontconfig", "libglib", "libX11", "libxcb", "SDL"})
      EXPECT_EQ(loaded.find(library), std::string::npos) << library;
  }
}

}  // namespace
