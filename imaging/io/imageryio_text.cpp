// The text exports: the encoded image as a Pascal byte array, C bytes or
// Base64 lines, or the image itself as ASCII art.
#include <cstdio>

#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"

namespace {

std::string Hex(const char* prefix, uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "%s%02X", prefix, byte);
  return text;
}

// Each byte but the last as prefix + hex + ",", the lines cut when longer
// than 70 characters; returns the unwritten rest.
std::string WriteByteLines(TStream& stream, const uint8_t* bytes, int64_t count, const char* prefix,
                           const std::string& indent) {
  std::string line;
  for (int64_t i = 0; i + 1 < count; ++i) {
    line += Hex(prefix, bytes[i]) + ",";
    if (line.size() > 70) {
      IEWriteLineCRLF(stream, indent + line);
      line.clear();
    }
  }
  return line;
}

void WriteBase64(TStream& stream, const uint8_t* bytes, int64_t count) {
  static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string line;
  for (int64_t i = 0; i < count; i += 3) {
    const int64_t left = count - i;
    const uint32_t group = uint32_t{bytes[i]} << 16 | (left > 1 ? uint32_t{bytes[i + 1]} << 8 : 0) |
                           (left > 2 ? bytes[i + 2] : 0);
    for (int j = 0; j < 4; ++j) line += j <= left ? kDigits[(group >> (18 - 6 * j)) & 63] : '=';
    if (line.size() >= 76) {
      IEWriteLineCRLF(stream, line.substr(0, 76));
      line.erase(0, 76);
    }
  }
  if (!line.empty()) IEWriteLineCRLF(stream, line);
}

}  // namespace

void TImageryIO::SaveToFileAsText(const std::string& fileName, int32_t fileFormat, uint8_t textKind) {
  TIEWideFileStream file(fileName, IE_FILE_CREATE);
  params_->FILENAME = fileName;
  SaveToStreamAsText(file, fileFormat, textKind);
}

void TImageryIO::SaveToStreamAsText(TStream& stream, int32_t fileFormat, uint8_t textKind) {
  if (textKind == 3) return WriteASCIIArt(stream);
  TMemoryStream encoded;
  SaveToStream(encoded, fileFormat);
  const auto* bytes = static_cast<const uint8_t*>(encoded.Memory());
  const int64_t n = encoded.Size();
  std::string identifier = params_->FILENAME;
  if (const size_t dot = identifier.find('.'); dot != std::string::npos) identifier[dot] = '_';
  const std::string sizeIdentifier = identifier + "_Size";
  switch (textKind) {
    case 0: {
      IEWriteLineCRLF(stream, "const");
      IEWriteLineCRLF(stream, "  " + sizeIdentifier + " = " + std::to_string(n) + ";");
      IEWriteLineCRLF(stream, "  " + identifier + " : array [0.." + sizeIdentifier + " - 1] of byte = (");
      const std::string rest = WriteByteLines(stream, bytes, n, "$", "    ");
      IEWriteLineCRLF(stream, "    " + rest + (n > 0 ? Hex("$", bytes[n - 1]) : "") + ");");
      break;
    }
    case 1: {
      IEWriteLineCRLF(stream, "\\\\ Size=" + std::to_string(n));
      const std::string rest = WriteByteLines(stream, bytes, n, "0x", "");
      IEWriteLineCRLF(stream, rest + (n > 0 ? Hex("0x", bytes[n - 1]) : ""));
      break;
    }
    case 2: WriteBase64(stream, bytes, n); break;
    default: break;
  }
}

void TImageryIO::WriteASCIIArt(TStream& stream) {
  static constexpr char kShades[] = "W@#*+:.,  ";
  if (!BitmapCheck()) return;
  const auto* settings = IEGetGlobalSettings();
  TIEBitmap& image = *bitmap_;
  for (int32_t y = 0; y < image.GetHeight(); ++y) {
    std::string line;
    for (int32_t x = 0; x < image.GetWidth(); ++x) {
      TRGB rgb;
      image.GetPixelRGB(x, y, rgb);
      const int32_t luminance = (rgb.r * settings->GrayWeightRed + rgb.g * settings->GrayWeightGreen +
                                 rgb.b * settings->GrayWeightBlue) / 100;
      line += kShades[static_cast<int32_t>(luminance / 255.0 * 9)];
    }
    IEWriteLineCRLF(stream, line);
  }
}
