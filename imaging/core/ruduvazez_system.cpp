// Fonts and the clipboard.
#include <algorithm>
#include <cstring>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/threads.h"
#include "platform/win/user_clipboard.h"

namespace {

template <class LogFont>
uint8_t StylesOf(const LogFont* font) {
  if (font == nullptr) return 0;
  uint8_t styles = 0;
  if (font->lfWeight >= 700) styles |= IE_FONT_BOLD;
  if (font->lfItalic) styles |= IE_FONT_ITALIC;
  if (font->lfUnderline) styles |= IE_FONT_UNDERLINE;
  if (font->lfStrikeOut) styles |= IE_FONT_STRIKEOUT;
  return styles;
}

}  // namespace

uint8_t IELogFontAToFontStyles(const LOGFONTA* font) { return StylesOf(font); }

uint8_t IELogFontWToFontStyles(const LOGFONTW* font) { return StylesOf(font); }

void IELogFontAToW(const LOGFONTA& source, LOGFONTW& dest) {
  dest.lfHeight = source.lfHeight;
  dest.lfWidth = source.lfWidth;
  dest.lfEscapement = source.lfEscapement;
  dest.lfOrientation = source.lfOrientation;
  dest.lfWeight = source.lfWeight;
  dest.lfItalic = source.lfItalic;
  dest.lfUnderline = source.lfUnderline;
  dest.lfStrikeOut = source.lfStrikeOut;
  dest.lfCharSet = source.lfCharSet;
  dest.lfOutPrecision = source.lfOutPrecision;
  dest.lfClipPrecision = source.lfClipPrecision;
  dest.lfQuality = source.lfQuality;
  dest.lfPitchAndFamily = source.lfPitchAndFamily;
  const size_t length = strnlen(source.lfFaceName, LF_FACESIZE);
  std::u16string face = Utf8ToUtf16(std::string(source.lfFaceName, length));
  face.resize(std::min<size_t>(face.size(), LF_FACESIZE - 1));
  IEWideStrPCopy(dest.lfFaceName, face);
}

bool IEOpenClipboard() {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (attempt > 0) Sleep(20);
    if (OpenClipboard(nullptr)) return true;
  }
  return false;
}
