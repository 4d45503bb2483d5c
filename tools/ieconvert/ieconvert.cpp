// ieconvert IN OUT: loads IN through the I/O component with content
// detection and saves OUT through the save dispatch by extension. An OUT
// ending in ".pam" is written here as a netpbm PAM (RGB_ALPHA, 8 bits, or 16
// when the image holds 16-bit samples), so that any decoded image can be
// compared with other decoders. A TIFF of several pages saved as PostScript
// or PDF gives one document with every page. Exit status 0 only when both
// steps succeeded; otherwise one line says why.
#include <cstdio>
#include <memory>
#include <string>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/core/ruduvazez_startup.h"
#include "imaging/io/imageryio.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/files.h"
#include "platform/rtl/streams.h"

namespace {

int Fail(const std::string& reason) {
  std::fprintf(stderr, "ieconvert: %s\n", reason.c_str());
  return 1;
}

std::string FormatName(int32_t id) {
  const TIEFileFormatInfo* entry = IEFindFormatById(id);
  return entry ? entry->DisplayName : "format " + std::to_string(id);
}

// The pixel as 16-bit red, green, blue, alpha.
void Pixel16(TIEBitmap& image, int32_t x, int32_t y, uint16_t out[4]) {
  if (image.GetPixelFormat() == ieRGB48) {
    const auto words = image.GetPixel48(x, y);
    out[0] = words[0], out[1] = words[1], out[2] = words[2];
  } else if (image.GetPixelFormat() == ie16Gray) {
    out[0] = out[1] = out[2] = image.GetPixel16(x, y);
  } else {
    TRGB rgb;
    image.GetPixelRGB(x, y, rgb);  // palettes, grey, bilevel, CMYK and Lab as RGB
    out[0] = rgb.r * 257, out[1] = rgb.g * 257, out[2] = rgb.b * 257;
  }
  out[3] = image.HasAlphaChannel() ? image.GetAlphaPixel(x, y) * 257 : 65535;
}

void WritePAM(TIEBitmap& image, const std::string& fileName) {
  const bool wide = image.GetPixelFormat() == ieRGB48 || image.GetPixelFormat() == ie16Gray;
  const int32_t width = image.GetWidth(), height = image.GetHeight();
  TFileStream out(fileName, fmCreate);
  const std::string header = "P7\nWIDTH " + std::to_string(width) + "\nHEIGHT " + std::to_string(height) +
                             "\nDEPTH 4\nMAXVAL " + (wide ? "65535" : "255") + "\nTUPLTYPE RGB_ALPHA\nENDHDR\n";
  out.WriteBuffer(header.data(), static_cast<int32_t>(header.size()));
  std::string row;
  for (int32_t y = 0; y < height; ++y) {
    row.clear();
    for (int32_t x = 0; x < width; ++x) {
      uint16_t p[4];
      Pixel16(image, x, y, p);
      for (uint16_t v : p) {
        if (wide) row += static_cast<char>(v >> 8);
        row += static_cast<char>(wide ? v & 0xFF : v >> 8);
      }
    }
    out.WriteBuffer(row.data(), static_cast<int32_t>(row.size()));
  }
}

constexpr int32_t kTIFF = 1, kPostScript = 17, kPDF = 18;

// Every page of the TIFF into one PostScript or PDF document.
int ConvertPages(TImageryIO& io, const std::string& in, int32_t pages, const std::string& out, int32_t outId) {
  const bool pdf = outId == kPDF;
  if (pdf)
    io.OpenPDFDocument(out);
  else
    io.OpenPSDocument(out);
  if (io.Aborting()) return Fail(out + ": the document could not be begun");
  for (int32_t page = 0; page < pages; ++page) {
    io.Params().SetImageIndex(page);
    if (!io.LoadFromFileFormat(in, kTIFF))
      return Fail(in + ": page " + std::to_string(page + 1) + " could not be read");
    if (pdf)
      io.AddPDFDocumentPage();
    else
      io.AddPSDocumentPage();
    if (io.Aborting()) return Fail(out + ": page " + std::to_string(page + 1) + " could not be written");
  }
  if (pdf)
    io.ClosePDFDocument();
  else
    io.ClosePSDocument();
  return 0;
}

int Convert(const std::string& in, const std::string& out) {
  std::unique_ptr<TImageryIO> io(new TImageryIO(nullptr));
  if (!FileExists(in)) return Fail(in + ": no such file");
  int32_t id = IEFindFileFormat(in, false);
  if (id == 0) {
    // Unrecognised content: say so, or name the format its extension claims.
    const TIEFileFormatInfo* entry = IEFindFormatByExtension(IELowerExtension(in));
    if (!entry) return Fail(in + ": not an image format this program recognises");
    id = entry->FileTypeId;
  }
  if (!IEFindCodec(id) || !IEFindCodec(id)->Read) return Fail(in + ": no codec can read " + FormatName(id) + " here");
  const int32_t outId = IEFileFormatFromExtension(IELowerExtension(out));
  if (id == kTIFF && (outId == kPostScript || outId == kPDF)) {
    const int32_t pages = IEGetFileImageCount(in);
    if (pages > 1) return ConvertPages(*io, in, pages, out, outId);
  }
  // A PAM shows the samples as the file holds them (16-bit ones stay 16-bit).
  const bool pam = IELowerExtension(out) == ".pam";
  io->SetNativePixelFormat(pam);
  if (!io->LoadFromFileFormat(in, id)) return Fail(in + ": the " + FormatName(id) + " data could not be read");
  if (pam) {
    WritePAM(*io->IEBitmap(), out);
    return 0;
  }
  io->SetAborting(false);
  io->SaveToFile(out);
  if (io->Aborting()) return Fail(out + ": no codec can write this file type");
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) return Fail("usage: ieconvert IN OUT");
  IELibraryInitialize();
  int status;
  try {
    status = Convert(argv[1], argv[2]);
  } catch (const Exception& e) {
    status = Fail(e.Message());
  } catch (const std::exception& e) {
    status = Fail(e.what());
  }
  IELibraryFinalize();
  return status;
}
