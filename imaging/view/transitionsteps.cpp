// The dispatcher of the step procedures and what the families share (see transitionsteps.h).
#include "imaging/view/transitionsteps.h"

#include <cctype>
#include <stdexcept>

#include "imaging/core/davovevo.h"
#include "imaging/view/transitionregions.h"
#include "platform/rtl/system.h"

void TIETransitionRunState::MakeRandomOrder(int32_t maxIndex) {
  if (maxIndex > 29) throw EIEException("Too large for random array");
  Randomize();
  Order.fill(-1);
  for (int32_t i = 0; i <= maxIndex; ++i) {
    int32_t r;
    do r = Random(maxIndex + 1);
    while (Order[static_cast<size_t>(r)] != -1);
    Order[static_cast<size_t>(r)] = i;
  }
}

int32_t TransitionStepPercent(int32_t step) { return static_cast<int32_t>(Round(step / 1024.0L * 100)); }

void PerformTransitionStep(TIETransitionType kind, TCanvas* canvas, TBitmap* oldBitmap, TBitmap* newBitmap,
                           const RECT& rect, int32_t step, TIETransitionRunState& state) {
  const TIETransitionFrame frame{canvas, oldBitmap, newBitmap, rect, TransitionStepPercent(step), step, &state};
  if (kind == iettNone || IETransitionDrawnByEngine(kind) || kind > iettPanZoom ||
      !(SlideWipeStretchStep(kind, frame) || StripRegionStep(kind, frame) || PolygonGridStep(kind, frame) ||
        ShapeWordCellStep(kind, frame) || RotateSweepStep(kind, frame)))
    throw EIEException("Unknown Transition!");
}

void CopyFrom(const TIETransitionFrame& frame, TBitmap* bitmap, int32_t dx, int32_t dy, int32_t x, int32_t y,
              int32_t w, int32_t h) {
  if (w <= 0 || h <= 0) return;
  BitBlt(frame.Canvas->Handle(), dx, dy, w, h, bitmap->Canvas()->Handle(), x, y, SRCCOPY);
}

void StretchFrom(const TIETransitionFrame& frame, TBitmap* bitmap, int32_t dx, int32_t dy, int32_t dw, int32_t dh,
                 int32_t x, int32_t y, int32_t w, int32_t h) {
  if (w <= 0 || h <= 0 || dw <= 0 || dh <= 0) return;
  StretchBlt(frame.Canvas->Handle(), dx, dy, dw, dh, bitmap->Canvas()->Handle(), x, y, w, h, SRCCOPY);
}

void CopyWhole(const TIETransitionFrame& frame, TBitmap* bitmap) {
  CopyFrom(frame, bitmap, 0, 0, 0, 0, frame.Rect.right - frame.Rect.left, frame.Rect.bottom - frame.Rect.top);
}

void Reveal(const TIETransitionFrame& frame, HRGN region) {
  if (!region) return;
  DrawBitmapThroughRegion(frame.Canvas, frame.Rect.right - frame.Rect.left, frame.Rect.bottom - frame.Rect.top,
                          region, frame.New);
  DeleteObject(region);
}

// ---- geometry written as in the kind tables -----------------------------------------------

TStepValues::TStepValues(const RECT& rect, int32_t percent) {
  const TTransitionProgress p = TransitionProgress(rect, percent);
  Set("W", p.W);
  Set("H", p.H);
  Set("X", p.X);
  Set("Y", p.Y);
  Set("cx", p.W / 2);
  Set("cy", p.H / 2);
  Set("Min", p.W < p.H ? p.W : p.H);
  Set("P", percent);
}

TStepValues::TStepValues(const TIETransitionFrame& frame) : TStepValues(frame.Rect, frame.Percent) {}

void TStepValues::Set(const char* name, int64_t value) {
  for (auto& [n, v] : values_)
    if (n == name) {
      v = value;
      return;
    }
  values_.emplace_back(name, value);
}

int64_t TStepValues::Get(std::string_view name) const {
  for (const auto& [n, v] : values_)
    if (n == name) return v;
  throw std::logic_error("no value named " + std::string(name));
}

namespace {

// A recursive-descent reader of the tables' expressions.
class ExpressionReader {
public:
  ExpressionReader(std::string_view text, const TStepValues& values) : text_(text), values_(values) {}

  std::vector<int32_t> List() {
    std::vector<int32_t> result;
    if (atEnd()) return result;
    for (;;) {
      result.push_back(static_cast<int32_t>(sum()));
      if (atEnd()) return result;
      expect(',');
    }
  }

private:
  bool atEnd() {
    skipSpaces();
    return pos_ >= text_.size();
  }
  void skipSpaces() {
    while (pos_ < text_.size() && text_[pos_] == ' ') ++pos_;
  }
  char peek() {
    skipSpaces();
    return pos_ < text_.size() ? text_[pos_] : '\0';
  }
  void expect(char c) {
    if (peek() != c) throw std::logic_error("bad expression: " + std::string(text_));
    ++pos_;
  }
  int64_t sum() {
    int64_t v = product();
    for (char c = peek(); c == '+' || c == '-'; c = peek()) {
      ++pos_;
      v = c == '+' ? v + product() : v - product();
    }
    return v;
  }
  int64_t product() {
    int64_t v = factor();
    for (char c = peek(); c == '*' || c == '/'; c = peek()) {
      ++pos_;
      const int64_t d = factor();
      v = c == '*' ? v * d : (d == 0 ? 0 : v / d);
    }
    return v;
  }
  int64_t factor() {
    const char c = peek();
    if (c == '-') {
      ++pos_;
      return -factor();
    }
    if (c >= '0' && c <= '9') {
      int64_t n = 0;
      while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') n = n * 10 + (text_[pos_++] - '0');
      // A number written before a name or a bracket multiplies it.
      const char next = pos_ < text_.size() ? text_[pos_] : '\0';
      if (std::isalpha(static_cast<unsigned char>(next)) || next == '(') return n * factor();
      return n;
    }
    if (c == '(') {
      ++pos_;
      const int64_t v = sum();
      expect(')');
      return v;
    }
    const size_t start = pos_;
    while (pos_ < text_.size() && std::isalnum(static_cast<unsigned char>(text_[pos_]))) ++pos_;
    const std::string_view name = text_.substr(start, pos_ - start);
    if (name.empty()) throw std::logic_error("bad expression: " + std::string(text_));
    if (peek() != '(') return values_.Get(name);
    ++pos_;
    const int64_t a = sum();
    int64_t v;
    if (name == "half") {
      v = a / 2;
    } else {
      expect(',');
      const int64_t b = sum();
      if (name == "min") v = a < b ? a : b;
      else if (name == "max") v = a > b ? a : b;
      else throw std::logic_error("no function named " + std::string(name));
    }
    expect(')');
    return v;
  }

  std::string_view text_;
  const TStepValues& values_;
  size_t pos_ = 0;
};

}  // namespace

std::vector<int32_t> TStepValues::List(std::string_view text) const { return ExpressionReader(text, *this).List(); }

int32_t TStepValues::operator()(std::string_view text) const {
  const std::vector<int32_t> list = List(text);
  if (list.size() != 1) throw std::logic_error("one value expected: " + std::string(text));
  return list[0];
}
