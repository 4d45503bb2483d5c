// Format: the framework's "%" specifiers over a list of TVarRec arguments.
#include <algorithm>
#include <cctype>
#include <optional>

#include "platform/rtl/sysutils.h"

namespace {

// Width and precision above this are taken for a malformed specifier rather
// than as a request for a huge padding.
constexpr int32_t kMaxFieldSize = 1000000;

// Reads one specifier after the other, taking arguments as they are used.
class Formatter {
public:
  Formatter(const std::string& fmt, const TVarRec* args, size_t count, const TFormatSettings& fs)
      : fmt_(fmt), args_(args), count_(count), fs_(fs) {}

  std::string Run() {
    while (pos_ < fmt_.size()) {
      const char c = fmt_[pos_++];
      if (c != '%') {
        out_ += c;
        continue;
      }
      if (pos_ < fmt_.size() && fmt_[pos_] == '%') {
        out_ += '%';
        ++pos_;
        continue;
      }
      Specifier();
    }
    return out_;
  }

private:
  [[noreturn]] void invalid() const {
    throw EConvertError("Format '" + fmt_ + "' invalid or incompatible with argument");
  }

  const TVarRec& nextArg() {
    if (next_ >= count_) throw EConvertError("No argument for format '" + fmt_ + "'");
    return args_[next_++];
  }

  bool atDigit() const { return pos_ < fmt_.size() && fmt_[pos_] >= '0' && fmt_[pos_] <= '9'; }

  // A number of digits or "*" (the next argument, an integer); nothing
  // when neither is there.
  std::optional<int64_t> number() {
    if (pos_ < fmt_.size() && fmt_[pos_] == '*') {
      ++pos_;
      const TVarRec& arg = nextArg();
      if (arg.VType() != TVarRec::Kind::Integer) invalid();
      return arg.Int();
    }
    if (!atDigit()) return std::nullopt;
    int64_t value = 0;
    while (atDigit()) {
      value = value * 10 + (fmt_[pos_++] - '0');
      if (value > kMaxFieldSize) invalid();
    }
    return value;
  }

  bool take(char c) {
    if (pos_ >= fmt_.size() || fmt_[pos_] != c) return false;
    ++pos_;
    return true;
  }

  // "%" [index ":"] ["-"] [width] ["." precision] type
  void Specifier() {
    std::optional<int64_t> width = number();
    if (width && take(':')) {
      if (*width < 0 || static_cast<uint64_t>(*width) > count_) invalid();
      next_ = static_cast<size_t>(*width);
      width.reset();
    }
    bool left = false;
    if (!width) {
      left = take('-');
      width = number();
    }
    if (width && *width < 0) {  // a negative width from "*" justifies left
      left = true;
      width = -*width;
    }
    int64_t precision = -1;
    if (take('.')) precision = std::max<int64_t>(0, number().value_or(0));
    if (pos_ >= fmt_.size() || width.value_or(0) > kMaxFieldSize || precision > kMaxFieldSize) invalid();
    const char type = static_cast<char>(std::tolower(static_cast<unsigned char>(fmt_[pos_++])));
    pad(Convert(type, nextArg(), static_cast<int32_t>(precision)), width.value_or(0), left);
  }

  std::string Convert(char type, const TVarRec& arg, int32_t precision) {
    using Kind = TVarRec::Kind;
    const bool isInt = arg.VType() == Kind::Integer;
    switch (type) {
      case 'd':
        if (!isInt) invalid();
        return zeroPad(arg.IsUnsigned() ? UIntToStr(static_cast<uint64_t>(arg.Int()))
                                        : IntToStr(arg.Int()),
                       precision);
      case 'u':
        if (!isInt) invalid();
        return zeroPad(UIntToStr(arg.IsWide() ? static_cast<uint64_t>(arg.Int())
                                              : static_cast<uint32_t>(arg.Int())),
                       precision);
      case 'x':
        if (!isInt) invalid();
        return arg.IsWide() ? IntToHex(arg.Int(), precision)
                            : IntToHex(static_cast<int32_t>(arg.Int()), precision);
      case 'e':
      case 'f':
      case 'g':
      case 'n':
        if (!isInt && arg.VType() != Kind::Float) invalid();
        return floatText(type, isInt ? static_cast<long double>(arg.Int()) : arg.Float(), precision);
      case 's':
        if (arg.VType() != Kind::String) invalid();
        return precision >= 0 ? truncateChars(arg.Str(), static_cast<size_t>(precision)) : arg.Str();
      case 'p':
        if (arg.VType() != Kind::Pointer) invalid();
        return IntToHex(reinterpret_cast<uintptr_t>(arg.Ptr()), 2 * static_cast<int32_t>(sizeof(void*)));
      default:
        invalid();
    }
  }

  std::string floatText(char type, long double value, int32_t precision) const {
    switch (type) {
      case 'e':
        return FloatToStrF(value, ffExponent, precision < 0 ? 15 : precision, 3, fs_);
      case 'g':
        return FloatToStrF(value, ffGeneral, precision < 0 ? 15 : precision, 3, fs_);
      case 'n':
        return FloatToStrF(value, ffNumber, MaxFloatPrecision, precision < 0 ? 2 : precision, fs_);
      default:
        return FloatToStrF(value, ffFixed, MaxFloatPrecision, precision < 0 ? 2 : precision, fs_);
    }
  }

  // At least Digits digits after any sign.
  static std::string zeroPad(std::string text, int32_t digits) {
    const size_t start = !text.empty() && text[0] == '-' ? 1 : 0;
    const size_t have = text.size() - start;
    if (digits > 0 && static_cast<size_t>(digits) > have) text.insert(start, static_cast<size_t>(digits) - have, '0');
    return text;
  }

  static bool isContinuationByte(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

  static size_t charCount(const std::string& s) {
    size_t n = 0;
    for (const char c : s) n += isContinuationByte(c) ? 0 : 1;
    return n;
  }

  // The first Count characters (UTF-8 sequences kept whole).
  static std::string truncateChars(const std::string& s, size_t count) {
    size_t chars = 0, i = 0;
    for (; i < s.size(); ++i) {
      if (!isContinuationByte(s[i]) && chars++ == count) break;
    }
    return s.substr(0, i);
  }

  void pad(const std::string& text, int64_t width, bool left) {
    const size_t chars = charCount(text);
    const size_t fill = width > 0 && static_cast<size_t>(width) > chars ? static_cast<size_t>(width) - chars : 0;
    if (!left) out_.append(fill, ' ');
    out_ += text;
    if (left) out_.append(fill, ' ');
  }

  const std::string& fmt_;
  const TVarRec* args_;
  size_t count_;
  const TFormatSettings& fs_;
  size_t pos_ = 0;
  size_t next_ = 0;
  std::string out_;
};

}  // namespace

std::string Format(const std::string& fmt, std::initializer_list<TVarRec> args,
                   const TFormatSettings& settings) {
  return Formatter(fmt, args.begin(), args.size(), settings).Run();
}

std::string Format(const std::string& fmt, std::initializer_list<TVarRec> args) {
  return Format(fmt, args, FormatSettings);
}

std::string Format(const std::string& fmt, const std::vector<TVarRec>& args,
                   const TFormatSettings& settings) {
  return Formatter(fmt, args.data(), args.size(), settings).Run();
}

std::string Format(const std::string& fmt, const std::vector<TVarRec>& args) {
  return Format(fmt, args, FormatSettings);
}
