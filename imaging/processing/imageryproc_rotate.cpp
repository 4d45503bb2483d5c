// Rotation by any angle: exact quarter and half turns, the nearest-pixel
// rotation for every pixel format, the bilinear and bicubic rotations of
// 3-byte and one-byte pictures, and the mirror.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_mask.h"
#include "imaging/io/imageryio_registry.h"
#include "imaging/processing/imageryproc.h"
#include "imaging/processing/imageryproc_internal.h"

namespace {

using iep::GetBit;
using iep::PutBit;

// Copies pixel sx of source row to pixel dx of dest row, bits or bytes.
void CopyPixel(const uint8_t* source, int64_t sx, uint8_t* dest, int64_t dx, int32_t bits) {
  if (bits == 1)
    PutBit(dest, dx, GetBit(source, sx));
  else
    std::memcpy(dest + dx * (bits / 8), source + sx * (bits / 8), static_cast<size_t>(bits / 8));
}

// The source's rows read in place, in any order: rows in memory stay where
// they are; rows in a temporary file are locked until the pass ends.
class TSourceRows {
public:
  explicit TSourceRows(TIEBitmap* source) : source_(*source), locked_(source->Location() == ieTempFile) {
    rows_.resize(static_cast<size_t>(source->GetHeight()));
    for (int32_t y = 0; y < source->GetHeight(); ++y)
      rows_[static_cast<size_t>(y)] = locked_ ? source->LockScanline(y) : source->GetScanline(y);
  }
  ~TSourceRows() {
    if (locked_)
      for (int32_t y = 0; y < static_cast<int32_t>(rows_.size()); ++y) source_.UnlockScanline(y);
  }
  TSourceRows(const TSourceRows&) = delete;
  TSourceRows& operator=(const TSourceRows&) = delete;
  const uint8_t* operator[](int64_t y) const { return rows_[static_cast<size_t>(y)]; }

private:
  TIEBitmap& source_;
  bool locked_;
  std::vector<const uint8_t*> rows_;
};

// Allocates dest for source's format (palette included) at width x height.
bool Prepare(TIEBitmap* source, TIEBitmap* dest, int32_t width, int32_t height) {
  if (!dest->Allocate(width, height, source->GetPixelFormat())) return false;
  if (source->GetPixelFormat() == ie8p) source->CopyPaletteTo(dest);
  return true;
}

// An exact turn by quarter turns (1 counter-clockwise, 2 half, 3 clockwise).
void Turn(TIEBitmap* source, TIEBitmap* dest, int32_t quarters) {
  const int32_t w = source->GetWidth(), h = source->GetHeight();
  const int32_t bits = source->GetBitCount();
  const bool sideways = quarters % 2 == 1;
  if (!Prepare(source, dest, sideways ? h : w, sideways ? w : h)) return;
  if (bits == 1) dest->Fill(0);
  const TSourceRows rows(source);
  for (int32_t dy = 0; dy < dest->GetHeight(); ++dy) {
    uint8_t* out = dest->GetScanline(dy);
    for (int32_t dx = 0; dx < dest->GetWidth(); ++dx) {
      int32_t sx, sy;
      if (quarters == 1) {  // counter-clockwise: dest (y, W - 1 - x) = source (x, y)
        sx = w - 1 - dy;
        sy = dx;
      } else if (quarters == 3) {  // clockwise: dest (H - 1 - y, x) = source (x, y)
        sx = dy;
        sy = h - 1 - dx;
      } else {
        sx = w - 1 - dx;
        sy = h - 1 - dy;
      }
      CopyPixel(rows[sy], sx, out, dx, bits);
    }
  }
}

}  // namespace

void IERotate90CW24(TIEBitmap* source, TIEBitmap* dest) { Turn(source, dest, 3); }
void IERotate90CCW24(TIEBitmap* source, TIEBitmap* dest) { Turn(source, dest, 1); }
void IERotate90CW8(TIEBitmap* source, TIEBitmap* dest) { Turn(source, dest, 3); }
void IERotate90CCW8(TIEBitmap* source, TIEBitmap* dest) { Turn(source, dest, 1); }

void IEReportProgressOnChange(int32_t percent, int32_t& state, const TIEProgressEvent& onProgress, TObject* sender) {
  if (percent == state) return;
  state = percent;
  if (onProgress) onProgress(sender, percent);
}

namespace {

// The quarter turns of a whole multiple of 90 degrees; -1 for other angles.
int32_t QuarterTurns(double angle) {
  if (angle != std::trunc(angle) || std::fmod(angle, 90) != 0) return -1;
  const int64_t degrees = static_cast<int64_t>(angle) % 360;
  return static_cast<int32_t>(((degrees + 360) % 360) / 90);
}

// The rotated geometry: destination size and the source position of
// destination pixel (i, j).
struct TRotation {
  double Cos, Sin, CxS, CyS, CxD, CyD;
  int32_t Width, Height;
  TRotation(double angle, int32_t w, int32_t h) {
    const double theta = angle * std::numbers::pi / 180;
    Cos = std::cos(theta);
    Sin = std::sin(theta);
    Width = static_cast<int32_t>(std::nearbyint(std::fabs(Cos) * w + std::fabs(Sin) * h));
    Height = static_cast<int32_t>(std::nearbyint(std::fabs(Sin) * w + std::fabs(Cos) * h));
    Width = std::max(Width, 1);
    Height = std::max(Height, 1);
    CxS = (w - 1) / 2.0;
    CyS = (h - 1) / 2.0;
    CxD = (Width - 1) / 2.0;
    CyD = (Height - 1) / 2.0;
  }
};

// Bilinear (truncated) or bicubic (rounded, clamped) sample of channel c of
// Channels-byte pixels; sample(x, y, c) reads with the caller's edge rule.
template <typename Sample>
uint8_t Interpolate(double sx, double sy, int32_t interpolation, int32_t c, const Sample& sample) {
  const double fx0 = std::floor(sx), fy0 = std::floor(sy);
  const int32_t x0 = static_cast<int32_t>(fx0), y0 = static_cast<int32_t>(fy0);
  const double fx = sx - fx0, fy = sy - fy0;
  if (interpolation == 2) {
    const double p00 = sample(x0, y0, c), p10 = sample(x0 + 1, y0, c);
    const double p01 = sample(x0, y0 + 1, c), p11 = sample(x0 + 1, y0 + 1, c);
    const double top = p00 + (p10 - p00) * fx, bottom = p01 + (p11 - p01) * fx;
    return static_cast<uint8_t>(std::clamp(std::trunc(top + (bottom - top) * fy), 0.0, 255.0));
  }
  const auto weights = [](double t, double* w) {
    w[0] = -t * (1 - t) * (1 - t);
    w[1] = 1 - 2 * t * t + t * t * t;
    w[2] = t + t * t - t * t * t;
    w[3] = -t * t * (1 - t);
  };
  double wx[4], wy[4];
  weights(fx, wx);
  weights(fy, wy);
  double sum = 0;
  for (int32_t r = 0; r < 4; ++r) {
    double row = 0;
    for (int32_t k = 0; k < 4; ++k) row += wx[k] * sample(x0 - 1 + k, y0 - 1 + r, c);
    sum += wy[r] * row;
  }
  return static_cast<uint8_t>(std::clamp(std::nearbyint(sum), 0.0, 255.0));
}

template <int32_t Channels>
void RotateInterpolated(TIEBitmap* source, TIEBitmap* dest, const uint8_t* background, double angle,
                        int32_t interpolation, bool repeatEdge, const TIEProgressEvent& onProgress, TObject* sender) {
  const int32_t w = source->GetWidth(), h = source->GetHeight();
  const TRotation rot(angle, w, h);
  if (!dest->Allocate(rot.Width, rot.Height, Channels == 3 ? ie24RGB : source->GetPixelFormat())) return;
  if (interpolation != 2 && interpolation != 3) return;
  const TSourceRows rows(source);
  const auto sample = [&](int32_t x, int32_t y, int32_t c) -> double {
    if (repeatEdge && x >= -1 && x <= w && y >= -1 && y <= h) {
      x = std::clamp(x, 0, w - 1);
      y = std::clamp(y, 0, h - 1);
    }
    if (x < 0 || x >= w || y < 0 || y >= h) return background[c];
    return rows[y][static_cast<size_t>(x) * Channels + c];
  };
  iep::TProgress progress(onProgress, sender, rot.Height);
  std::vector<double> colX(static_cast<size_t>(rot.Width)), colY(static_cast<size_t>(rot.Width));
  for (int32_t i = 0; i < rot.Width; ++i) {
    colX[i] = (i - rot.CxD) * rot.Cos + rot.CxS;
    colY[i] = (i - rot.CxD) * rot.Sin + rot.CyS;
  }
  std::vector<uint8_t> out(static_cast<size_t>(rot.Width) * Channels);
  for (int32_t j = 0; j < rot.Height; ++j) {
    const double rowX = -(j - rot.CyD) * rot.Sin, rowY = (j - rot.CyD) * rot.Cos;
    for (int32_t i = 0; i < rot.Width; ++i)
      for (int32_t c = 0; c < Channels; ++c)
        out[static_cast<size_t>(i) * Channels + c] = Interpolate(colX[i] + rowX, colY[i] + rowY, interpolation, c, sample);
    std::memcpy(dest->GetScanline(j), out.data(), out.size());
    progress.Report(j);
  }
}

}  // namespace

void IERotateNearestTo(TIEBitmap* source, TIEBitmap* dest, double background, double angle,
                       const TIEProgressEvent& onProgress, TObject* sender) {
  if (!source || !dest || source == dest || source->IsEmpty()) return;
  const int32_t quarters = QuarterTurns(angle);
  if (quarters == 0) {
    dest->Assign(source);
    return;
  }
  if (quarters > 0) {
    Turn(source, dest, quarters);
    return;
  }
  const int32_t w = source->GetWidth(), h = source->GetHeight(), bits = source->GetBitCount();
  const TRotation rot(angle, w, h);
  if (!Prepare(source, dest, rot.Width, rot.Height)) return;
  dest->Fill(bits == 1 ? 0 : background);
  const TSourceRows rows(source);
  std::vector<int64_t> colX(static_cast<size_t>(rot.Width)), colY(static_cast<size_t>(rot.Width));
  for (int32_t i = 0; i < rot.Width; ++i) {
    colX[i] = std::llround((i - rot.CxD) * rot.Cos + rot.CxS);
    colY[i] = std::llround((i - rot.CxD) * rot.Sin + rot.CyS);
  }
  iep::TProgress progress(onProgress, sender, rot.Height);
  for (int32_t j = 0; j < rot.Height; ++j) {
    const int64_t rowX = std::llround((j - rot.CyD) * rot.Sin), rowY = std::llround((j - rot.CyD) * rot.Cos);
    uint8_t* out = dest->GetScanline(j);
    for (int32_t i = 0; i < rot.Width; ++i) {
      const int64_t sx = colX[i] - rowX, sy = colY[i] + rowY;
      if (sx >= 0 && sx < w && sy >= 0 && sy < h) CopyPixel(rows[sy], sx, out, i, bits);
    }
    progress.Report(j);
  }
}

void IERotateNearest(TIEBitmap* bitmap, double background, TObject* sender, double angle,
                     const TIEProgressEvent& onProgress) {
  if (!bitmap || bitmap->IsEmpty()) return;
  TIEBitmap rotated;
  IERotateNearestTo(bitmap, &rotated, background, angle, onProgress, sender);
  if (!rotated.IsEmpty()) bitmap->AssignImage(&rotated);
}

void IERotateInterpolatedTo(TIEBitmap* source, TIEBitmap* dest, TColor background, double angle,
                            int32_t interpolation, const TIEProgressEvent& onProgress, TObject* sender) {
  if (!source || !dest || source == dest || source->IsEmpty() || source->GetPixelFormat() != ie24RGB) return;
  TRGB rgb;
  IEColorToRGB(background, rgb);
  const uint8_t channels[3] = {rgb.b, rgb.g, rgb.r};
  RotateInterpolated<3>(source, dest, channels, angle, interpolation, true, onProgress, sender);
}

void IERotateInterpolated(TIEBitmap* bitmap, TColor background, int32_t interpolation, double angle,
                          const TIEProgressEvent& onProgress, TObject* sender) {
  if (!bitmap || bitmap->IsEmpty() || bitmap->GetPixelFormat() != ie24RGB) return;
  TIEBitmap rotated;
  IERotateInterpolatedTo(bitmap, &rotated, background, angle, interpolation, onProgress, sender);
  if (!rotated.IsEmpty()) bitmap->AssignImage(&rotated);
}

void IERotateInterpolated8To(TIEBitmap* source, TIEBitmap* dest, uint8_t background, double angle,
                             int32_t interpolation) {
  if (!source || !dest || source == dest || source->IsEmpty() || source->GetBitCount() != 8) return;
  RotateInterpolated<1>(source, dest, &background, angle, interpolation, false, {}, nullptr);
}

void IERotateInterpolated8(TIEBitmap* bitmap, uint8_t background, int32_t interpolation, double angle) {
  if (!bitmap || bitmap->IsEmpty() || bitmap->GetBitCount() != 8) return;
  TIEBitmap rotated;
  IERotateInterpolated8To(bitmap, &rotated, background, angle, interpolation);
  if (!rotated.IsEmpty()) bitmap->Assign(&rotated);
}

void IEFlipBitmap(TIEBitmap* bitmap, int32_t direction) {
  if (!bitmap || bitmap->IsEmpty()) return;
  const int32_t w = bitmap->GetWidth(), h = bitmap->GetHeight(), bits = bitmap->GetBitCount();
  if (bits % 8 != 0 && bits != 1) return;
  // In place, one row at a time through a spare row.
  const size_t length = static_cast<size_t>(bitmap->RowLength64());
  std::vector<uint8_t> spare(length);
  if (direction == 1) {
    for (int32_t y = 0; y < h / 2; ++y) {
      uint8_t* top = bitmap->LockScanline(y);
      uint8_t* bottom = bitmap->LockScanline(h - 1 - y);
      std::memcpy(spare.data(), top, length);
      std::memcpy(top, bottom, length);
      std::memcpy(bottom, spare.data(), length);
      bitmap->UnlockScanline(h - 1 - y);
      bitmap->UnlockScanline(y);
    }
  } else {
    for (int32_t y = 0; y < h; ++y) {
      uint8_t* row = bitmap->GetScanline(y);
      std::memcpy(spare.data(), row, length);
      for (int32_t x = 0; x < w; ++x) CopyPixel(spare.data(), w - 1 - x, row, x, bits);
    }
  }
  if (TIEBitmap* alpha = bitmap->PeekAlphaChannel()) IEFlipBitmap(alpha, direction);
}

// ---- three-shear rotation ----------------------------------------------------------------------

namespace {

constexpr int32_t kShearOne = 4096;

int32_t RoundEven(double v) { return static_cast<int32_t>(std::nearbyint(v)); }

// Pixels of Channels bytes in a plain buffer of width x height.
template <int32_t Channels>
struct TPlane {
  int32_t Width = 0, Height = 0;
  std::vector<uint8_t> Pixels;
  TPlane(int32_t width, int32_t height, const uint8_t* background) : Width(width), Height(height) {
    Pixels.resize(static_cast<size_t>(width) * height * Channels);
    for (size_t i = 0; i < Pixels.size(); i += Channels) std::memcpy(&Pixels[i], background, Channels);
  }
  uint8_t* At(int32_t x, int32_t y) { return &Pixels[(static_cast<size_t>(y) * Width + x) * Channels]; }
};

// Writes count pixels read by source(k) along a line, the first at place
// offset (places outside 0 .. limit - 1 are skipped), each blended with the
// one before by the fraction (out of 4096; the offset rounds down, so it is
// never negative), and the pixel after the last with the background.
template <int32_t Channels, typename Source, typename Target>
void ShearLine(int32_t offset, int32_t fraction, int32_t count, int32_t limit, bool antialias,
               const uint8_t* background, Source source, Target target) {
  uint8_t prev[Channels];
  std::memcpy(prev, background, Channels);
  const int32_t keep = kShearOne - fraction;
  for (int32_t k = 0; k < count; ++k) {
    const int32_t place = offset + k;
    if (place < 0 || place >= limit) continue;
    const uint8_t* cur = source(k);
    uint8_t* out = target(place);
    for (int32_t c = 0; c < Channels; ++c)
      out[c] = antialias ? IEClampByte((prev[c] * fraction + cur[c] * keep + kShearOne / 2) / kShearOne) : cur[c];
    std::memcpy(prev, cur, Channels);
  }
  const int32_t trailing = offset + count;
  if (antialias && fraction > 0 && trailing >= 0 && trailing < limit) {
    uint8_t* out = target(trailing);
    for (int32_t c = 0; c < Channels; ++c)
      out[c] = IEClampByte((prev[c] * fraction + background[c] * keep + kShearOne / 2) / kShearOne);
  }
}

// The whole offset and the fraction of a shear position.
void Split(double position, int32_t& whole, int32_t& fraction) {
  const double down = std::floor(position);
  whole = static_cast<int32_t>(down);
  fraction = static_cast<int32_t>(std::trunc((position - down) * kShearOne));
}

// The pixel that ShearLine writes at one place of a line whose places start
// at 0 and run past every written one, into out: source(k) blended with
// source(k - 1) (the background before the first), the background after the
// last pixel, the background where nothing lands.
template <int32_t Channels, typename Source>
void ShearPixel(int32_t place, int32_t offset, int32_t fraction, int32_t count, bool antialias,
                const uint8_t* background, Source source, uint8_t* out) {
  const int64_t k = int64_t{place} - offset;
  const int32_t keep = kShearOne - fraction;
  const uint8_t* prev = k >= 1 && place >= 1 ? source(static_cast<int32_t>(k - 1)) : background;
  if (k >= 0 && k < count) {
    uint8_t cur[Channels];
    std::memcpy(cur, source(static_cast<int32_t>(k)), Channels);
    for (int32_t c = 0; c < Channels; ++c)
      out[c] = antialias ? IEClampByte((prev[c] * fraction + cur[c] * keep + kShearOne / 2) / kShearOne) : cur[c];
  } else if (k == count && antialias && fraction > 0) {
    for (int32_t c = 0; c < Channels; ++c)
      out[c] = IEClampByte((prev[c] * fraction + background[c] * keep + kShearOne / 2) / kShearOne);
  } else {
    std::memcpy(out, background, Channels);
  }
}

template <int32_t Channels>
void ShearRotate(TIEBitmap* bitmap, bool antialias, double angle, const uint8_t* background,
                 const TIEProgressEvent& onProgress, TObject* sender) {
  if (angle == 0) return;
  angle = static_cast<double>(static_cast<int64_t>(std::trunc(angle * 1000)) % 360000) / 1000;
  // Quarter turns first; within 45 degrees the bitmap's own rows are the source.
  TIEBitmap turned;
  TIEBitmap* source = bitmap;
  while (angle > 45 || angle < -45) {
    TIEBitmap next;
    Turn(source, &next, angle > 45 ? 1 : 3);
    angle += angle > 45 ? -90 : 90;
    turned.AssignImage(&next);
    source = &turned;
  }
  if (angle == 0) {
    if (source != bitmap) bitmap->AssignImage(&turned);
    return;
  }
  const double th = angle * std::numbers::pi / 180, t = std::fabs(std::tan(th / 2)), s = std::fabs(std::sin(th));
  const int32_t W = source->GetWidth(), H = source->GetHeight();
  const int32_t W1 = RoundEven(H * t + W + 1), m = RoundEven((W1 - W) * s), H2 = RoundEven(s * W1 + H + 1);
  const int32_t H2p = RoundEven(H2 - 2.0 * m), w = RoundEven(t * (H2 - H - m)), W3 = RoundEven(t * H2p + W1 + 1 - 2.0 * w);
  if (W1 < 1 || H2p < 1 || W3 < 1) return;
  iep::TProgress progress(onProgress, sender, int64_t{H} + W1 + H2p);
  const bool positive = th > 0;
  int32_t whole, fraction;

  // The first shear (rows moved sideways) is read where the second needs it:
  // the pixel at column c of sheared row r, without a plane of its own.
  const TSourceRows rows(source);
  std::vector<int32_t> rowWhole(static_cast<size_t>(H)), rowFraction(static_cast<size_t>(H));
  for (int32_t i = 0; i < H; ++i) {
    Split(positive ? i * t : (H - i) * t, rowWhole[i], rowFraction[i]);
    progress.Report(i);
  }
  uint8_t firstShear[Channels];
  const auto sheared = [&](int32_t c, int32_t r) -> const uint8_t* {
    ShearPixel<Channels>(c, rowWhole[r], rowFraction[r], W, antialias, background,
                         [&](int32_t k) { return rows[r] + static_cast<ptrdiff_t>(k) * Channels; }, firstShear);
    return firstShear;
  };
  TPlane<Channels> b(W1, H2p, background);
  for (int32_t c = 0; c < W1; ++c) {
    Split(positive ? (W1 - c) * s : c * s, whole, fraction);
    ShearLine<Channels>(whole - m, fraction, H, H2p, antialias, background, [&](int32_t r) { return sheared(c, r); },
                        [&](int32_t place) { return b.At(c, place); });
    progress.Report(int64_t{H} + c);
  }
  TIEBitmap result(W3, H2p, bitmap->GetPixelFormat());
  if (bitmap->GetPixelFormat() == ie8p) bitmap->CopyPaletteTo(&result);
  std::vector<uint8_t> out(static_cast<size_t>(W3) * Channels);
  for (int32_t r = 0; r < H2p; ++r) {
    for (size_t i = 0; i < out.size(); i += Channels) std::memcpy(&out[i], background, Channels);
    Split(positive ? r * t : (H2p - r) * t, whole, fraction);
    ShearLine<Channels>(whole - w, fraction, W1, W3, antialias, background, [&](int32_t c) { return b.At(c, r); },
                        [&](int32_t place) { return &out[static_cast<size_t>(place) * Channels]; });
    std::memcpy(result.GetScanline(r), out.data(), out.size());
    progress.Report(int64_t{H} + W1 + r);
  }
  bitmap->AssignImage(&result);
}

// The exact turns of the one-bit and one-byte nearest rotations: the angle
// as given, so 450 or -270 take the general path. 0 for any other angle.
int32_t ExactQuarterTurns(double angle) {
  if (angle == 90) return 1;
  if (angle == -90 || angle == 270) return 3;
  if (angle == 180 || angle == -180) return 2;
  return 0;
}

// Nearest-pixel rotation of 1-bit or one-byte pixels into a new bitmap of
// the source's format, sizes and source positions in ten-thousandths of the
// sine and cosine; outside(out, j) writes what lies outside the source.
template <typename Outside>
void RotateBitsOrBytes(TIEBitmap* bitmap, double angle, TIEBitmap& result, const Outside& outside,
                       const TIEProgressEvent& onProgress, TObject* sender) {
  const int32_t w = bitmap->GetWidth(), h = bitmap->GetHeight(), bits = bitmap->GetBitCount();
  if (const int32_t quarters = ExactQuarterTurns(angle)) {
    Turn(bitmap, &result, quarters);
    return;
  }
  const double r = -angle * std::numbers::pi / 180;
  const double c = std::trunc(std::cos(r) * 10000) / 10000, s = std::trunc(std::sin(r) * 10000) / 10000;
  // At least one pixel: a tiny image at a tiny angle must not vanish.
  const int32_t width = std::max(1, static_cast<int32_t>(std::fabs(w * c) + std::fabs(h * s)));
  const int32_t height = std::max(1, static_cast<int32_t>(std::fabs(w * s) + std::fabs(c * h)));
  if (!Prepare(bitmap, &result, width, height)) return;
  const TSourceRows rows(bitmap);
  std::vector<int64_t> dx(static_cast<size_t>(width)), dy(static_cast<size_t>(width));
  for (int32_t j = 0; j < width; ++j) {
    const double o = j - (width / 2.0 - 0.5);
    dx[j] = static_cast<int64_t>(c * o);
    dy[j] = static_cast<int64_t>(-s * o);
  }
  int32_t last = -1;
  for (int32_t y = 0; y < height; ++y) {
    const double v = y - (height / 2.0 - 0.5);
    const auto x0 = static_cast<int64_t>(s * v + (w / 2.0 - 0.5)), y0 = static_cast<int64_t>(c * v + (h / 2.0 - 0.5));
    uint8_t* out = result.GetScanline(y);
    for (int32_t j = 0; j < width; ++j) {
      const int64_t sx = x0 + dx[j], sy = y0 + dy[j];
      if (sx >= 0 && sx < w && sy >= 0 && sy < h)
        CopyPixel(rows[sy], sx, out, j, bits);
      else
        outside(out, j);
    }
    const auto per = static_cast<int32_t>(int64_t{y} * 100 / height);
    if (onProgress && per != last) onProgress(sender, last = per);
  }
}

}  // namespace

void IERotate24Bit(TIEBitmap* bitmap, bool antialias, TObject* sender, double angle, TRGB background,
                   const TIEProgressEvent& onProgress) {
  if (!bitmap || bitmap->IsEmpty() || angle == 0) return;
  if (bitmap->GetPixelFormat() == ie1g) {
    TIEProgressRecord progress;
    progress.fOnProgress = onProgress;
    progress.Sender = sender;
    IERotate1Bit(bitmap, background.r != 0 && background.g != 0 && background.b != 0, progress, angle);
    return;
  }
  if (bitmap->GetPixelFormat() != ie24RGB) {
    // Other formats keep their format: nearest pixel, the background as a colour.
    IERotateNearest(bitmap, (uint32_t{background.b} << 16) | (uint32_t{background.g} << 8) | background.r, sender,
                    angle, onProgress);
    return;
  }
  const uint8_t bytes[3] = {background.b, background.g, background.r};
  ShearRotate<3>(bitmap, antialias, angle, bytes, onProgress, sender);
}

void IERotate8Bit(TIEBitmap* bitmap, bool antialias, uint8_t background, double angle,
                  const TIEProgressEvent& onProgress, TObject* sender) {
  if (!bitmap || bitmap->IsEmpty() || angle == 0) return;
  if (bitmap->GetPixelFormat() != ie8g && bitmap->GetPixelFormat() != ie8p) return;
  ShearRotate<1>(bitmap, antialias, angle, &background, onProgress, sender);
}

void IERotate1Bit(TIEBitmap* bitmap, bool whiteBackground, TIEProgressRecord& progress, double angle) {
  if (!bitmap || bitmap->IsEmpty() || bitmap->GetPixelFormat() != ie1g) return;
  TIEBitmap result;
  result.SetLocation(ieInMemory);
  RotateBitsOrBytes(
      bitmap, angle, result, [&](uint8_t* out, int32_t j) { PutBit(out, j, whiteBackground); }, progress.fOnProgress,
      progress.Sender);
  if (!result.IsEmpty()) bitmap->Assign(&result);
}

void IERotate8BitNearest(TIEBitmap* bitmap, uint8_t background, double angle) {
  if (!bitmap || bitmap->IsEmpty()) return;
  if (bitmap->GetPixelFormat() != ie8g && bitmap->GetPixelFormat() != ie8p) return;
  TIEBitmap result;
  RotateBitsOrBytes(
      bitmap, angle, result, [&](uint8_t* out, int32_t j) { out[j] = background; }, TIEProgressEvent{}, nullptr);
  if (!result.IsEmpty()) bitmap->AssignImage(&result);
}
