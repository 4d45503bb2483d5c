// UTF-8, UTF-16 and code-page conversions (see encoding.h).
#include "platform/rtl/encoding.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>

// ---------------------------------------------------------------------------
// Code points
// ---------------------------------------------------------------------------

namespace {

bool isContinuation(unsigned char b, unsigned char low = 0x80, unsigned char high = 0xBF) {
  return b >= low && b <= high;
}

}  // namespace

bool NextValidUtf8Char(const std::string& s, size_t& pos, char32_t& c) {
  const auto lead = static_cast<unsigned char>(s[pos]);
  if (lead < 0x80) {
    c = lead;
    ++pos;
    return true;
  }
  // Length and the allowed range of the second byte, which excludes overlong
  // forms, surrogates and values above U+10FFFF.
  size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;
  char32_t value = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    value = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    value = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    value = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  }
  size_t i = pos + 1;
  for (size_t k = 1; k < length; ++k, ++i) {
    const bool ok = i < s.size() && (k == 1 ? isContinuation(static_cast<unsigned char>(s[i]), low, high)
                                           : isContinuation(static_cast<unsigned char>(s[i])));
    if (!ok) {
      length = 0;
      break;
    }
    value = (value << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
  }
  pos = i;  // past the valid character, or past the longest invalid prefix
  c = length ? value : ReplacementChar;
  return length != 0;
}

char32_t NextUtf8Char(const std::string& s, size_t& pos) {
  char32_t c = 0;
  NextValidUtf8Char(s, pos, c);
  return c;
}

void AppendUtf8(std::string& out, char32_t c) {
  if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) c = ReplacementChar;
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// ---------------------------------------------------------------------------
// UTF-16
// ---------------------------------------------------------------------------

namespace {

// Calls Unit(i) for i = 0..count-1 to read UTF-16 code units.
template <typename UnitAt>
std::string utf16ToUtf8(size_t count, UnitAt unit) {
  std::string out;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < count) {
      const char32_t low = unit(i + 1);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        c = 0x10000 + ((c - 0xD800) << 10) + (low - 0xDC00);
        ++i;
      }
    }
    AppendUtf8(out, c);  // a lone surrogate becomes U+FFFD here
  }
  return out;
}

template <typename Emit>
void utf8ToUtf16(const std::string& s, Emit emit) {
  for (size_t pos = 0; pos < s.size();) {
    const char32_t c = NextUtf8Char(s, pos);
    if (c >= 0x10000) {
      emit(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
      emit(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
    } else {
      emit(static_cast<char16_t>(c));
    }
  }
}

}  // namespace

std::u16string Utf8ToUtf16(const std::string& s) {
  std::u16string out;
  out.reserve(s.size());
  utf8ToUtf16(s, [&](char16_t u) { out += u; });
  return out;
}

std::string Utf16ToUtf8(const std::u16string& s) {
  return utf16ToUtf8(s.size(), [&](size_t i) { return char32_t{s[i]}; });
}

std::vector<uint8_t> Utf8ToUtf16LE(const std::string& s) {
  std::vector<uint8_t> out;
  out.reserve(s.size() * 2);
  utf8ToUtf16(s, [&](char16_t u) {
    out.push_back(static_cast<uint8_t>(u & 0xFF));
    out.push_back(static_cast<uint8_t>(u >> 8));
  });
  return out;
}

std::string Utf16LEToUtf8(const uint8_t* data, size_t size) {
  std::string out = utf16ToUtf8(size / 2, [&](size_t i) {
    return static_cast<char32_t>(data[2 * i] | (data[2 * i + 1] << 8));
  });
  if (size % 2) AppendUtf8(out, ReplacementChar);
  return out;
}

std::string Utf16LEToUtf8(const std::vector<uint8_t>& bytes) {
  return Utf16LEToUtf8(bytes.data(), bytes.size());
}

// ---------------------------------------------------------------------------
// Windows-1252
// ---------------------------------------------------------------------------

namespace {

// Characters of bytes 0x80..0x9F; 0xA0..0xFF equal their Latin-1 values.
constexpr std::array<char16_t, 32> kWin1252High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  // 88
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,  // 98
};

}  // namespace

char32_t Win1252ToUnicode(uint8_t byte) {
  if (byte >= 0x80 && byte <= 0x9F) return kWin1252High[byte - 0x80];
  return byte;
}

int32_t UnicodeToWin1252(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<int32_t>(c);
  const auto it = std::find(kWin1252High.begin(), kWin1252High.end(), c);
  if (it == kWin1252High.end()) return -1;
  return 0x80 + static_cast<int32_t>(it - kWin1252High.begin());
}

std::string AnsiToUtf8(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char b : bytes) AppendUtf8(out, Win1252ToUnicode(static_cast<uint8_t>(b)));
  return out;
}

std::string Utf8ToAnsi(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    const int32_t b = UnicodeToWin1252(NextUtf8Char(text, pos));
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

// ---------------------------------------------------------------------------
// Other code pages, through iconv
// ---------------------------------------------------------------------------

namespace {

constexpr std::array<uint32_t, 14> kIconvCodePages = {874,  932,  936,  949,  950,  1250, 1251,
                                                      1253, 1254, 1255, 1256, 1257, 1258, 1252};

std::string iconvName(uint32_t codePage) { return "CP" + std::to_string(codePage); }

// One iconv conversion descriptor, closed when it goes out of scope.
class IconvHandle {
public:
  IconvHandle(const std::string& to, const std::string& from)
      : cd_(iconv_open(to.c_str(), from.c_str())) {}
  ~IconvHandle() {
    if (valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

private:
  iconv_t cd_;
};

// Runs the conversion over all of Input. OnInvalid(pos) is called where the
// input cannot be converted (an invalid or unmappable sequence, or a
// truncated one at the end); it appends its replacement to Out and returns
// how many input bytes to skip (at least 1).
template <typename OnInvalid>
std::string convert(IconvHandle& cd, const std::string& input, OnInvalid onInvalid) {
  std::string out;
  out.reserve(input.size() + input.size() / 2);
  std::array<char, 4096> chunk{};
  size_t pos = 0;
  bool flushed = false;
  while (!flushed) {
    char* dst = chunk.data();
    size_t dstLeft = chunk.size();
    if (pos < input.size()) {
      char* in = const_cast<char*>(input.data()) + pos;
      size_t inLeft = input.size() - pos;
      const size_t r = iconv(cd.get(), &in, &inLeft, &dst, &dstLeft);
      const int err = errno;
      out.append(chunk.data(), dst);
      pos = input.size() - inLeft;
      if (r == static_cast<size_t>(-1) && err != E2BIG) {
        iconv(cd.get(), nullptr, nullptr, nullptr, nullptr);  // back to the initial state
        pos = std::min(input.size(), pos + std::max<size_t>(1, onInvalid(out, pos)));
      }
    } else {
      // Flush what stateful encodings (the combining marks of 1258) hold back.
      const size_t r = iconv(cd.get(), nullptr, nullptr, &dst, &dstLeft);
      const int err = errno;
      out.append(chunk.data(), dst);
      flushed = !(r == static_cast<size_t>(-1) && err == E2BIG);
    }
  }
  return out;
}

std::string asciiOnly(const std::string& bytes, bool fromUtf8) {
  std::string out;
  for (size_t pos = 0; pos < bytes.size();) {
    const auto b = static_cast<unsigned char>(bytes[pos]);
    if (b < 0x80) {
      out += static_cast<char>(b);
      ++pos;
    } else if (fromUtf8) {
      NextUtf8Char(bytes, pos);
      out += '?';
    } else {
      AppendUtf8(out, ReplacementChar);
      ++pos;
    }
  }
  return out;
}

std::string decodeWith(const std::string& bytes, const std::string& charset) {
  IconvHandle cd("UTF-8", charset);
  if (!cd.valid()) return asciiOnly(bytes, false);
  return convert(cd, bytes, [](std::string& out, size_t) {
    AppendUtf8(out, ReplacementChar);
    return size_t{1};
  });
}

}  // namespace

bool IsSupportedCodePage(uint32_t codePage) {
  return codePage == CP_UTF8 ||
         std::find(kIconvCodePages.begin(), kIconvCodePages.end(), codePage) != kIconvCodePages.end();
}

std::string CharsetToUtf8(const std::string& bytes, const std::string& charset) {
  return decodeWith(bytes, charset);
}

std::string CodePageToUtf8(const std::string& bytes, uint32_t codePage) {
  if (codePage == 1252) return AnsiToUtf8(bytes);
  if (codePage == CP_UTF8) {
    std::string out;
    out.reserve(bytes.size());
    for (size_t pos = 0; pos < bytes.size();) AppendUtf8(out, NextUtf8Char(bytes, pos));
    return out;
  }
  if (!IsSupportedCodePage(codePage)) return asciiOnly(bytes, false);
  return decodeWith(bytes, iconvName(codePage));
}

std::string Utf8ToCodePage(const std::string& text, uint32_t codePage) {
  if (codePage == 1252) return Utf8ToAnsi(text);
  if (codePage == CP_UTF8) return CodePageToUtf8(text, CP_UTF8);
  if (!IsSupportedCodePage(codePage)) return asciiOnly(text, true);
  IconvHandle cd(iconvName(codePage), "UTF-8");
  if (!cd.valid()) return asciiOnly(text, true);
  return convert(cd, text, [&text](std::string& out, size_t pos) {
    size_t next = pos;
    NextUtf8Char(text, next);
    out += '?';
    return next - pos;
  });
}

// ---------------------------------------------------------------------------
// Percent encoding
// ---------------------------------------------------------------------------

std::string PercentEncode(const std::string& text, bool (*keep)(unsigned char c)) {
  static constexpr char hex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (unsigned char c : text) {
    if (keep(c)) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 15];
    }
  }
  return out;
}
