// Reading markup: references, tokens, tags, attributes, numbers, colours,
// and the plain text.
#include <cctype>
#include <cstring>

#include "platform/rtl/sysutils.h"
#include "ui/render/htmlengine_internal.h"

namespace Markup {

namespace {

// Replaces every occurrence of `from`, compared without case.
void ReplaceAllNoCase(std::string& s, const std::string& from, const std::string& to) {
  std::string upper = UpperCase(s);
  std::string wanted = UpperCase(from);
  std::string out;
  size_t pos = 0;
  for (size_t at = upper.find(wanted); at != std::string::npos; at = upper.find(wanted, pos)) {
    out.append(s, pos, at - pos);
    out += to;
    pos = at + from.size();
  }
  out.append(s, pos, std::string::npos);
  s = std::move(out);
}

void ReplaceAll(std::string& s, const std::string& from, const std::string& to) {
  std::string out;
  size_t pos = 0;
  for (size_t at = s.find(from); at != std::string::npos; at = s.find(from, pos)) {
    out.append(s, pos, at - pos);
    out += to;
    pos = at + from.size();
  }
  out.append(s, pos, std::string::npos);
  s = std::move(out);
}

bool StartsNoCase(const std::string& s, size_t at, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (s.size() - at < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::toupper(static_cast<unsigned char>(s[at + i])) != prefix[i]) return false;
  return true;
}

char UpperAt(const std::string& s, size_t at) {
  return at < s.size() ? static_cast<char>(std::toupper(static_cast<unsigned char>(s[at]))) : '\0';
}

// The kind of an opening tag; `name` starts after "<".
TagKind OpeningKind(const std::string& tag) {
  char c1 = UpperAt(tag, 1), c2 = UpperAt(tag, 2);
  switch (c1) {
    case 'A': return TagKind::Anchor;
    case 'B':
      if (c2 == '>') return TagKind::Bold;
      if (c2 == 'R') return TagKind::Break;
      if (c2 == 'L') return TagKind::Blink;
      if (c2 == 'O') return TagKind::Body;
      return TagKind::Unknown;
    case 'E': return TagKind::Error;
    case 'F': return TagKind::Font;
    case 'H':
      if (c2 == 'R') return TagKind::Rule;
      if (c2 == 'I') return TagKind::Highlight;
      return TagKind::Unknown;
    case 'I':
      if (c2 == '>') return TagKind::Italic;
      if (c2 == 'M') return TagKind::Image;
      if (c2 == 'N') return TagKind::Indent;
      return TagKind::Unknown;
    case 'L': return TagKind::ListItem;
    case 'O': return c2 == 'F' ? TagKind::Offset : TagKind::Unknown;
    case 'P': return TagKind::Para;
    case 'R': return TagKind::Rotate;
    case 'S':
      if (StartsNoCase(tag, 0, "<SUB>")) return TagKind::Sub;
      if (StartsNoCase(tag, 0, "<SUP>")) return TagKind::Sup;
      if (c2 == 'H') return TagKind::Shadow;
      if (c2 == '>') return TagKind::Strike;
      return TagKind::Unknown;
    case 'U': return c2 == '>' ? TagKind::Underline : TagKind::List;
    case 'Z': return TagKind::Hidden;
    default: return TagKind::Unknown;
  }
}

// The kind of a closing tag "</...>"; U tags are resolved by layout (lists).
TagKind ClosingKind(const std::string& tag) {
  char c1 = UpperAt(tag, 2), c2 = UpperAt(tag, 3);
  switch (c1) {
    case 'A': return TagKind::Anchor;
    case 'B': return c2 == '>' ? TagKind::Bold : TagKind::Blink;
    case 'E': return TagKind::Error;
    case 'F': return TagKind::Font;
    case 'H': return TagKind::Highlight;
    case 'I': return TagKind::Italic;
    case 'L': return TagKind::ListItem;
    case 'O': return TagKind::Offset;
    case 'P': return TagKind::Para;
    case 'R': return TagKind::Rotate;
    case 'S':
      if (c2 == 'U') return TagKind::Sub;
      if (c2 == 'H') return TagKind::Shadow;
      return TagKind::Strike;
    case 'U': return c2 == '>' ? TagKind::Underline : TagKind::List;
    case 'Z': return TagKind::Hidden;
    default: return TagKind::Unknown;
  }
}

}  // namespace

std::string Preprocess(const std::string& text, bool prefixProcessing) {
  std::string s = text;
  static const struct {
    const char* ref;
    const char* utf8;
  } kReferences[] = {{"&quot;", "\""},         {"&sect;", "\xC2\xA7"}, {"&permil;", "\xE2\x80\xB0"},
                     {"&reg;", "\xC2\xAE"},     {"&copy;", "\xC2\xA9"}, {"&para;", "\xC2\xB6"},
                     {"&trade;", "\xE2\x84\xA2"}, {"&euro;", "\xE2\x82\xAC"}};
  ReplaceAllNoCase(s, "&amp;", prefixProcessing ? "&&" : "&");
  for (const auto& r : kReferences) ReplaceAllNoCase(s, r.ref, r.utf8);
  size_t marker = s.find("<#");
  if (marker != std::string::npos) {
    s.erase(marker, 1);
    size_t close = s.find('>', marker);
    if (close != std::string::npos) s.erase(close, 1);
  }
  ReplaceAll(s, "\r", "<BR>");
  ReplaceAll(s, "\n", "");
  return s;
}

std::string ReplaceRunReferences(const std::string& run) {
  if (run.find('&') == std::string::npos) return run;
  std::string s = run;
  ReplaceAll(s, "&nbsp;", "\xC2\xA0");
  ReplaceAll(s, "&lt;", "<");
  ReplaceAll(s, "&gt;", ">");
  return s;
}

std::vector<Token> Tokenize(const std::string& text, bool wordWrap) {
  std::vector<Token> tokens;
  size_t pos = 0;
  while (pos < text.size()) {
    if (text[pos] == '<') {
      if (text.size() - pos <= 2) break;
      size_t close = text.find('>', pos);
      if (close == std::string::npos) break;
      Token t;
      t.isTag = true;
      t.text = text.substr(pos, close - pos + 1);
      t.upper = UpperCase(t.text);
      t.closing = t.text.size() > 1 && t.text[1] == '/';
      if (t.closing) t.kind = text.size() - pos >= 4 ? ClosingKind(t.text) : TagKind::Unknown;
      else t.kind = OpeningKind(t.text);
      tokens.push_back(std::move(t));
      pos = close + 1;
      continue;
    }
    size_t tag = text.find('<', pos);
    size_t end = tag == std::string::npos ? text.size() : tag;
    if (wordWrap) {
      size_t blank = text.find(' ', pos);
      if (blank != std::string::npos && blank < end) end = blank + 1;
    }
    Token t;
    t.text = text.substr(pos, end - pos);
    tokens.push_back(std::move(t));
    pos = end;
  }
  return tokens;
}

bool AttributeValue(const std::string& tag, const std::string& name, std::string& value) {
  size_t at = tag.find(name);
  if (at == std::string::npos) return false;
  value.clear();
  size_t open = tag.find('"', at + name.size());
  if (open == std::string::npos) return true;
  size_t close = tag.find('"', open + 1);
  if (close == std::string::npos) return true;
  value = tag.substr(open + 1, close - open - 1);
  return true;
}

std::string FirstQuoted(const std::string& tag) {
  size_t open = tag.find('"');
  if (open == std::string::npos) return {};
  size_t close = tag.find('"', open + 1);
  if (close == std::string::npos) return {};
  return tag.substr(open + 1, close - open - 1);
}

std::string LetterValue(const std::string& upperTag, char letter) {
  size_t at = upperTag.find(letter, 2);
  if (at == std::string::npos) return {};
  return FirstQuoted(upperTag.substr(at));
}

int32_t MarkupNumber(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  int base = 10;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  } else if (text.size() - i >= 2 && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  int64_t value = 0;
  size_t start = i;
  for (; i < text.size(); ++i) {
    int digit = std::isdigit(static_cast<unsigned char>(text[i])) ? text[i] - '0'
                : (base == 16 && std::isxdigit(static_cast<unsigned char>(text[i])))
                    ? std::toupper(static_cast<unsigned char>(text[i])) - 'A' + 10
                    : -1;
    if (digit < 0) break;
    value = value * base + digit;
    if (value > INT32_MAX) value = INT32_MAX;
  }
  // The sign counts only when nothing follows the digits.
  if (negative && i == text.size() && i > start) value = -value;
  return static_cast<int32_t>(value);
}

}  // namespace Markup

TColor MarkupHexToColor(const std::string& value) {
  // Two characters per channel: below "A" a digit, else a letter with "A" = 10.
  auto hexByte = [&](size_t at) {
    int v = 0;
    for (size_t i = at; i < at + 2; ++i) {
      if (i >= value.size()) return 0;
      char c = value[i];
      v = v * 16 + (c < 'A' ? c - '0' : c - 'A' + 10);
    }
    return v & 0xFF;
  };
  size_t start = (!value.empty() && value[0] == '#') ? 1 : 0;
  return static_cast<TColor>(hexByte(start) | (hexByte(start + 2) << 8) | (hexByte(start + 4) << 16));
}

TColor MarkupColorByName(const std::string& name) {
  static const struct {
    const char* name;
    TColor color;
  } kNames[] = {{"CLRED", clRed}, {"CLBLACK", clBlack}, {"CLBLUE", clBlue}, {"CLGREEN", clGreen},
                {"CLAQUA", clAqua}, {"CLYELLOW", clYellow}, {"CLFUCHSIA", clFuchsia}, {"CLWHITE", clWhite},
                {"CLLIME", clLime}, {"CLSILVER", clSilver}, {"CLGRAY", clGray}, {"CLOLIVE", clOlive},
                {"CLNAVY", clNavy}, {"CLPURPLE", clPurple}, {"CLTEAL", clTeal}, {"CLMAROON", clMaroon},
                {"CLBACKGROUND", clBackground}, {"CLACTIVECAPTION", clActiveCaption},
                {"CLINACTIVECAPTION", clInactiveCaption}, {"CLMENU", clMenu}, {"CLWINDOW", clWindow},
                {"CLWINDOWFRAME", clWindowFrame}, {"CLMENUTEXT", clMenuText}, {"CLWINDOWTEXT", clWindowText},
                {"CLCAPTIONTEXT", clCaptionText}, {"CLACTIVEBORDER", clActiveBorder},
                {"CLINACTIVEBORDER", clInactiveBorder}, {"CLAPPWORKSPACE", clAppWorkSpace},
                {"CLHIGHLIGHT", clHighlight}, {"CLHIGHLIGHTTEXT", clHighlightText}, {"CLBTNFACE", clBtnFace},
                {"CLBTNSHADOW", clBtnShadow}, {"CLGRAYTEXT", clGrayText}, {"CLBTNTEXT", clBtnText},
                {"CLINACTIVECAPTIONTEXT", clInactiveCaptionText}, {"CLBTNHIGHLIGHT", clBtnHighlight},
                {"CL3DDKSHADOW", cl3DDkShadow}, {"CL3DLIGHT", cl3DLight}, {"CLINFOTEXT", clInfoText},
                {"CLINFOBK", clInfoBk}};
  std::string upper = UpperCase(name);
  for (const auto& n : kNames)
    if (upper == n.name) return n.color;
  return clBlack;
}

namespace Markup {

TColor MarkupColor(const std::string& value) {
  if (value.empty()) return clNone;
  if (value[0] == '#') return MarkupHexToColor(UpperCase(value));
  return MarkupColorByName(value);
}

}  // namespace Markup

std::string StripMarkup(const std::string& text) {
  std::string s = text;
  Markup::ReplaceAllNoCase(s, "<BR>", "\r\n");
  Markup::ReplaceAllNoCase(s, "<HR>", "\r\n");
  for (const char* open : {"<z>", "<Z>"}) {
    std::string close = open[1] == 'z' ? "</z>" : "</Z>";
    for (size_t at = s.find(open); at != std::string::npos; at = s.find(open, at)) {
      size_t end = s.find(close, at);
      if (end == std::string::npos) {
        s.erase(at);  // an unclosed hidden part hides the rest
        break;
      }
      s.erase(at, end + close.size() - at);
    }
  }
  std::string out;
  size_t pos = 0;
  while (pos < s.size()) {
    size_t tag = s.find('<', pos);
    if (tag == std::string::npos) {
      out.append(s, pos, std::string::npos);
      break;
    }
    out.append(s, pos, tag - pos);
    size_t close = s.find('>', tag);
    if (close == std::string::npos) break;  // an unclosed tag drops the rest
    pos = close + 1;
  }
  return out;
}
