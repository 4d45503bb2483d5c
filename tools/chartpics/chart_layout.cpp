#include "tools/chartpics/chart_layout.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstddef>

namespace chartpics {

namespace {

// Bounds no chart comes near: the largest the toolkit ships has 639 boxes.
constexpr size_t kMaxLabelsPerAxis = 1000;
constexpr size_t kMaxBoxes = 20000;
constexpr size_t kMaxRows = 20000;

using Tokens = std::vector<std::string>;

// One line's words; a double-quoted word may hold blanks and loses its quotes.
Tokens Words(const std::string& line) {
  Tokens words;
  size_t i = 0;
  while (i < line.size()) {
    const unsigned char c = static_cast<unsigned char>(line[i]);
    if (std::isspace(c)) {
      ++i;
    } else if (c == '"') {
      const size_t close = line.find('"', i + 1);
      const size_t end = close == std::string::npos ? line.size() : close;
      words.push_back(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      size_t end = i;
      while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end]))) ++end;
      words.push_back(line.substr(i, end - i));
      i = end;
    }
  }
  return words;
}

std::vector<Tokens> Lines(const std::string& text) {
  std::vector<Tokens> lines;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    lines.push_back(Words(text.substr(start, end - start)));
    start = end + 1;
  }
  return lines;
}

std::optional<double> Number(const std::string& word) {
  double value = 0;
  const char* first = word.data();
  const char* last = first + word.size();
  if (first != last && *first == '+') ++first;
  const auto [end, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || end != last || !std::isfinite(value)) return std::nullopt;
  return value;
}

bool Fail(std::string* error, const std::string& reason) {
  if (error) *error = reason;
  return false;
}

// The labels from first to last inclusive; "_" is the one empty label.
bool LabelRange(const std::string& first, const std::string& last, Tokens& labels, std::string* error) {
  labels.clear();
  if (first == "_" || last == "_") {
    labels.push_back("");
    return true;
  }
  std::string label = first;
  labels.push_back(label);
  while (label != last) {
    const std::optional<std::string> next = NextLabel(label);
    if (!next || labels.size() >= kMaxLabelsPerAxis || next->size() > last.size())
      return Fail(error, "labels " + first + " .. " + last + " do not count up to their end");
    label = *next;
    labels.push_back(label);
  }
  return true;
}

// kl lxs lxe lys lye w h xo yo xi yi: a grid of boxes, x fastest.
bool AddBoxes(const Tokens& t, ChartLayout& layout, std::string* error) {
  double n[6];
  for (int i = 0; i < 6; ++i) {
    const std::optional<double> v = Number(t[5 + i]);
    if (!v) return Fail(error, "box line " + t[0] + " " + t[1] + ": '" + t[5 + i] + "' is not a number");
    n[i] = *v;
  }
  if (n[0] < 0 || n[1] < 0) return Fail(error, "box line " + t[0] + " " + t[1] + ": negative size");
  Tokens xs, ys;
  if (!LabelRange(t[1], t[2], xs, error) || !LabelRange(t[3], t[4], ys, error)) return false;
  if (layout.boxes.size() + xs.size() * ys.size() > kMaxBoxes) return Fail(error, "too many boxes");
  const char kind = t[0][0];
  for (size_t j = 0; j < ys.size(); ++j)
    for (size_t i = 0; i < xs.size(); ++i) {
      ChartBox box;
      box.kind = kind;
      box.label = kind == 'Y' ? ys[j] + xs[i] : xs[i] + ys[j];
      box.w = n[0], box.h = n[1];
      box.x = n[2] + static_cast<double>(i) * n[4];
      box.y = n[3] + static_cast<double>(j) * n[5];
      layout.boxes.push_back(std::move(box));
    }
  return true;
}

bool AddBoxLine(const Tokens& t, ChartLayout& layout, std::string* error) {
  if (t.size() != 11) return Fail(error, "box line " + t[0] + " has " + std::to_string(t.size()) + " words, not 11");
  if (t[0] != "F") return AddBoxes(t, layout, error);
  layout.fiducials.clear();
  for (size_t i = 3; i < t.size(); ++i) {
    const std::optional<double> v = Number(t[i]);
    if (!v) return Fail(error, "fiducial '" + t[i] + "' is not a number");
    layout.fiducials.push_back(*v);
  }
  return true;
}

bool AddColour(const Tokens& t, ChartColour::Space space, std::map<std::string, ChartColour>& colours,
               std::string* error) {
  ChartColour colour;
  colour.space = space;
  for (int i = 0; i < 3; ++i) {
    const std::optional<double> v = Number(t[1 + i]);
    if (!v) return Fail(error, "colour of " + t[0] + ": '" + t[1 + i] + "' is not a number");
    colour.v[i] = *v;
  }
  colours[NormalisedLabel(t[0])] = colour;
  return true;
}

bool IsBoxKind(const std::string& word) { return word == "F" || word == "D" || word == "X" || word == "Y"; }

bool IsKeyword(const std::string& word) {
  return word == "BOXES" || word == "BOX_SHRINK" || word == "REF_ROTATION" || word == "XLIST" ||
         word == "YLIST" || word == "EXPECTED";
}

int FieldIndex(const Tokens& fields, const char* name) {
  for (size_t i = 0; i < fields.size(); ++i)
    if (fields[i] == name) return static_cast<int>(i);
  return -1;
}

// The data's colour columns: L*a*b* if all three are there, else XYZ.
bool ColourColumns(const Tokens& fields, int columns[3], ChartColour::Space& space) {
  static const char* const kLab[3] = {"LAB_L", "LAB_A", "LAB_B"};
  static const char* const kXyz[3] = {"XYZ_X", "XYZ_Y", "XYZ_Z"};
  for (const auto& [names, s] : {std::pair{kLab, ChartColour::Lab}, std::pair{kXyz, ChartColour::XYZ}}) {
    bool all = true;
    for (int i = 0; i < 3; ++i) all = (columns[i] = FieldIndex(fields, names[i])) >= 0 && all;
    if (all) {
      space = s;
      return true;
    }
  }
  return false;
}

// The words between two keywords of a CGATS file, over any number of lines.
bool Between(const std::vector<Tokens>& lines, const char* open, const char* close, Tokens& words) {
  bool inside = false;
  for (const Tokens& line : lines)
    for (const std::string& w : line) {
      if (!inside) {
        inside = w == open;
      } else if (w == close) {
        return true;
      } else {
        if (words.size() >= kMaxRows * 16) return false;
        words.push_back(w);
      }
    }
  return false;
}

}  // namespace

std::string NormalisedLabel(const std::string& label) {
  const auto isDigit = [&](size_t i) { return i < label.size() && std::isdigit(static_cast<unsigned char>(label[i])); };
  std::string out;
  size_t i = 0;
  while (i < label.size()) {
    if (!isDigit(i)) {
      out += label[i++];
      continue;
    }
    size_t end = i;
    while (isDigit(end)) ++end;
    while (i + 1 < end && label[i] == '0') ++i;  // keeps one digit of "00"
    out.append(label, i, end - i);
    i = end;
  }
  return out;
}

std::optional<std::string> NextLabel(const std::string& label) {
  if (label.empty()) return std::nullopt;
  std::string next = label;
  const auto isDigit = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; };
  const auto isAlpha = [](char c) { return std::isalpha(static_cast<unsigned char>(c)) != 0; };
  const bool digits = isDigit(next.back());
  if (!digits && !isAlpha(next.back())) return std::nullopt;
  size_t i = next.size();
  while (i > 0 && (digits ? isDigit(next[i - 1]) : isAlpha(next[i - 1]))) {
    char& c = next[i - 1];
    if (c == '9' || c == 'z' || c == 'Z') {
      c = c == '9' ? '0' : static_cast<char>(c - 25);
      --i;
      continue;
    }
    ++c;
    return next;
  }
  // Every place wrapped: the run grows by one ("99" -> "100", "Z" -> "AA").
  next.insert(next.begin() + static_cast<std::ptrdiff_t>(i), digits ? '1' : next[i]);
  return next;
}

std::optional<ChartLayout> ReadChartLayout(const std::string& text, std::string* error) {
  ChartLayout layout;
  enum { None, Boxes, Expected, Other } section = None;
  ChartColour::Space expectedSpace = ChartColour::XYZ;
  bool sawBoxes = false;
  for (const Tokens& t : Lines(text)) {
    if (t.empty()) continue;
    if (IsKeyword(t[0])) {
      section = t[0] == "BOXES" ? Boxes : t[0] == "EXPECTED" ? Expected : Other;
      sawBoxes = sawBoxes || section == Boxes;
      if (section == Expected) {
        if (t.size() < 2 || (t[1] != "XYZ" && t[1] != "LAB")) {
          Fail(error, "EXPECTED names neither XYZ nor LAB");
          return std::nullopt;
        }
        expectedSpace = t[1] == "XYZ" ? ChartColour::XYZ : ChartColour::Lab;
      }
      continue;
    }
    const bool ok = section == Boxes      ? !IsBoxKind(t[0]) ? Fail(error, "unknown box kind '" + t[0] + "'")
                                                             : AddBoxLine(t, layout, error)
                    : section == Expected ? t.size() == 4 ? AddColour(t, expectedSpace, layout.expected, error)
                                                          : Fail(error, "expected colour line of " +
                                                                            std::to_string(t.size()) + " words")
                                          : true;
    if (!ok) return std::nullopt;
  }
  if (!sawBoxes) {
    Fail(error, "no BOXES");
    return std::nullopt;
  }
  return layout;
}

std::optional<ChartColours> ReadChartColours(const std::string& text, std::string* error) {
  const std::vector<Tokens> lines = Lines(text);
  Tokens fields, data;
  if (!Between(lines, "BEGIN_DATA_FORMAT", "END_DATA_FORMAT", fields) || fields.empty()) {
    Fail(error, "no data format");
    return std::nullopt;
  }
  if (!Between(lines, "BEGIN_DATA", "END_DATA", data)) {
    Fail(error, "no complete data table");
    return std::nullopt;
  }
  int id = FieldIndex(fields, "SAMPLE_LOC");
  if (id < 0) id = FieldIndex(fields, "SAMPLE_ID");
  int columns[3];
  ChartColour::Space space = ChartColour::XYZ;
  if (id < 0 || !ColourColumns(fields, columns, space)) {
    Fail(error, "the table has no patch names or no XYZ or LAB columns");
    return std::nullopt;
  }
  if (data.size() % fields.size() != 0) {
    Fail(error, "the data table ends within a row");
    return std::nullopt;
  }
  ChartColours colours;
  for (size_t row = 0; row < data.size(); row += fields.size()) {
    const Tokens t = {data[row + id], data[row + columns[0]], data[row + columns[1]], data[row + columns[2]]};
    if (!AddColour(t, space, colours, error)) return std::nullopt;
  }
  return colours;
}

}  // namespace chartpics
