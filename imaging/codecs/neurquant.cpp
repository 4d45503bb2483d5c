// The quantizer: exact colour lists, the NeuQuant network and the choice
// among the ways of making a palette.
#include "imaging/codecs/neurquant.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imaging/processing/imageryproc.h"

namespace {

uint32_t PackColor(TRGB c) { return (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; }

int32_t ColorDistance(TRGB a, TRGB b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

// ---- NeuQuant constants ----------------------------------------------------------------

constexpr int32_t kNetBiasShift = 4;   // colour precision of the network
constexpr int32_t kCycles = 100;       // learning steps
constexpr int32_t kIntBiasShift = 16;  // frequency and bias precision
constexpr int32_t kIntBias = 1 << kIntBiasShift;
constexpr int32_t kGammaShift = 10;
constexpr int32_t kBetaShift = 10;
constexpr int32_t kBeta = kIntBias >> kBetaShift;                       // 64
constexpr int32_t kBetaGamma = kIntBias << (kGammaShift - kBetaShift);  // 65536
constexpr int32_t kRadiusBiasShift = 6;
constexpr int32_t kRadiusBias = 1 << kRadiusBiasShift;
constexpr int32_t kRadiusDec = 30;
constexpr int32_t kInitAlpha = 1 << 10;
constexpr int32_t kRadBias = 1 << 8;
constexpr int32_t kAlphaRadBias = 1 << 18;
constexpr int32_t kPrimes[4] = {499, 491, 487, 503};

void ComputeRadPower(TIENeuQuant& q, int32_t rad, int32_t alpha) {
  for (int32_t j = 0; j < rad; ++j) q.RadPower[j] = alpha * (((rad * rad - j * j) * kRadBias) / (rad * rad));
}

int32_t Contest(TIENeuQuant& q, int32_t b, int32_t g, int32_t r) {
  int32_t bestd = INT32_MAX, bestbiasd = INT32_MAX, bestpos = 0, bestbiaspos = 0;
  for (int32_t i = 0; i < q.NetSize; ++i) {
    const auto& n = q.Network[i];
    const int32_t dist = std::abs(n[0] - b) + std::abs(n[1] - g) + std::abs(n[2] - r);
    if (dist < bestd) {
      bestd = dist;
      bestpos = i;
    }
    const int32_t biasdist = dist - (q.Bias[i] >> (kIntBiasShift - kNetBiasShift));
    if (biasdist < bestbiasd) {
      bestbiasd = biasdist;
      bestbiaspos = i;
    }
    const int32_t betafreq = q.Freq[i] >> kBetaShift;
    q.Freq[i] -= betafreq;
    q.Bias[i] += betafreq << kGammaShift;
  }
  q.Freq[bestpos] += kBeta;
  q.Bias[bestpos] -= kBetaGamma;
  return bestbiaspos;
}

// Moves a neuron toward the sample by factor / divisor (truncating toward zero).
void MoveNeuron(std::array<int32_t, 4>& n, int64_t factor, int64_t divisor, int32_t b, int32_t g, int32_t r) {
  n[0] -= static_cast<int32_t>(factor * (n[0] - b) / divisor);
  n[1] -= static_cast<int32_t>(factor * (n[1] - g) / divisor);
  n[2] -= static_cast<int32_t>(factor * (n[2] - r) / divisor);
}

void AlterNeighbours(TIENeuQuant& q, int32_t rad, int32_t i, int32_t b, int32_t g, int32_t r) {
  const int32_t lo = std::max(i - rad, -1), hi = std::min(i + rad, q.NetSize);
  int32_t j = i + 1, k = i - 1, d = 0;
  while (j < hi || k > lo) {
    const int32_t a = q.RadPower[++d];
    if (j < hi) MoveNeuron(q.Network[j++], a, kAlphaRadBias, b, g, r);
    if (k > lo) MoveNeuron(q.Network[k--], a, kAlphaRadBias, b, g, r);
  }
}

void Learn(TIENeuQuant& q) {
  const int64_t pixels = q.LengthCount / 3;
  q.AlphaDec = 30 + (q.SampleFac - 1) / 3;
  const int64_t samples = pixels / q.SampleFac;
  const int64_t delta = std::max<int64_t>(samples / kCycles, 1);
  int32_t alpha = kInitAlpha;
  int32_t radius = q.InitRadius;
  int32_t rad = radius >> kRadiusBiasShift;
  if (rad <= 1) rad = 0;
  ComputeRadPower(q, rad, alpha);
  int64_t step = kPrimes[3];
  for (int p = 0; p < 3; ++p)
    if (q.LengthCount % kPrimes[p] != 0) {
      step = kPrimes[p];
      break;
    }
  int64_t position = 0;
  for (int64_t i = 1; i <= samples; ++i) {
    const auto* row = reinterpret_cast<const TRGB*>(q.Bitmap->GetScanline(static_cast<int32_t>(position / q.Width)));
    const TRGB c = row[position % q.Width];
    const int32_t b = c.b << kNetBiasShift, g = c.g << kNetBiasShift, r = c.r << kNetBiasShift;
    const int32_t j = Contest(q, b, g, r);
    MoveNeuron(q.Network[j], alpha, kInitAlpha, b, g, r);
    if (rad) AlterNeighbours(q, rad, j, b, g, r);
    // Images smaller than the step wrap more than once.
    position = (position + step) % pixels;
    if (i % delta == 0) {
      alpha -= alpha / q.AlphaDec;
      radius -= radius / kRadiusDec;
      rad = radius >> kRadiusBiasShift;
      if (rad <= 1) rad = 0;
      ComputeRadPower(q, rad, alpha);
    }
  }
}

void Unbias(TIENeuQuant& q) {
  for (int32_t i = 0; i < q.NetSize; ++i) {
    auto& n = q.Network[i];
    for (int c = 0; c < 3; ++c) n[c] = std::min((n[c] + 8) >> kNetBiasShift, 255);
    n[3] = i;
  }
}

// Sorts the network by green and indexes each green value into it.
void BuildGreenIndex(TIENeuQuant& q) {
  int32_t previous = 0, start = 0;
  for (int32_t i = 0; i < q.NetSize; ++i) {
    int32_t smallPos = i, smallVal = q.Network[i][1];
    for (int32_t j = i + 1; j < q.NetSize; ++j)
      if (q.Network[j][1] < smallVal) {
        smallPos = j;
        smallVal = q.Network[j][1];
      }
    if (i != smallPos) std::swap(q.Network[i], q.Network[smallPos]);
    if (smallVal != previous) {
      q.NetIndex[previous] = (start + i) >> 1;
      for (int32_t j = previous + 1; j < smallVal; ++j) q.NetIndex[j] = i;
      previous = smallVal;
      start = i;
    }
  }
  q.NetIndex[previous] = (start + q.MaxNetPos) >> 1;
  for (int32_t j = previous + 1; j < 256; ++j) q.NetIndex[j] = q.MaxNetPos;
}

// Another format's pixels as an ie24RGB copy.
std::unique_ptr<TIEBitmap> ConvertedCopy(TIEBitmap& bitmap) {
  auto copy = std::make_unique<TIEBitmap>(bitmap.GetWidth(), bitmap.GetHeight(), ie24RGB);
  copy->ConvertFrom(bitmap);
  return copy;
}

}  // namespace

// ---- exact colours ------------------------------------------------------------------

std::vector<TRGB> CollectExactColors(TIEBitmap& bitmap, int32_t colorCount, TRGB* palette) {
  std::vector<TRGB> list;
  if (bitmap.GetPixelFormat() != ie24RGB) return list;
  std::unordered_map<uint32_t, int32_t> seen;
  const int32_t width = bitmap.GetWidth(), height = bitmap.GetHeight();
  for (int32_t y = 0; y < height; ++y) {
    const auto* row = reinterpret_cast<const TRGB*>(bitmap.GetScanline(y));
    for (int32_t x = 0; x < width; ++x) {
      if (seen.contains(PackColor(row[x]))) continue;
      if (static_cast<int32_t>(list.size()) >= colorCount) return {};
      seen.emplace(PackColor(row[x]), static_cast<int32_t>(list.size()));
      list.push_back(row[x]);
    }
  }
  std::copy(list.begin(), list.end(), palette);
  return list;
}

int32_t FindExactColor(const std::vector<TRGB>& list, TRGB color) {
  const auto it = std::find(list.begin(), list.end(), color);
  return it == list.end() ? -1 : static_cast<int32_t>(it - list.begin());
}

// ---- NeuQuant -----------------------------------------------------------------------

int32_t IENeuQuantSampleFactor(int32_t quality, int64_t pixels) {
  if (quality < 0) {
    if (pixels < 2000) return 1;
    const double f = std::nearbyint(static_cast<double>(pixels - 2000) * 13.0 / 148000.0 + 2.0);
    return IEClamp(static_cast<int32_t>(std::min(f, 30.0)), 1, 30);
  }
  quality = std::min(quality, 100);
  return static_cast<int32_t>((100 - quality) / 100.0 * 29.0) + 1;
}

std::unique_ptr<TIENeuQuant> CreateNeuQuant(TIEBitmap& bitmap, TRGB* palette, int32_t quality, int32_t colorCount) {
  auto q = std::make_unique<TIENeuQuant>();
  const int32_t n = std::clamp(colorCount, 1, 256);
  q->NetSize = n;
  q->MaxNetPos = n - 1;
  q->InitRad = static_cast<int32_t>(static_cast<uint32_t>(n) / 8);
  q->InitRadius = q->InitRad * kRadiusBias;
  q->Bitmap = &bitmap;
  q->Width = bitmap.GetWidth();
  q->Height = bitmap.GetHeight();
  q->LengthCount = 3 * int64_t{q->Width} * q->Height;
  q->SampleFac = IENeuQuantSampleFactor(quality, int64_t{q->Width} * q->Height);
  q->Network.assign(n, {});
  q->Bias.assign(n, 0);
  q->Freq.assign(n, 0);
  q->RadPower.assign(std::max(q->InitRad, 1), 0);
  for (int32_t i = 0; i < n; ++i) {
    const int32_t v = (i << (kNetBiasShift + 8)) / n;
    q->Network[i] = {v, v, v, 0};
    q->Freq[i] = kIntBias / n;
  }
  if (q->LengthCount > 0) Learn(*q);
  Unbias(*q);
  for (int32_t i = 0; i < n; ++i) {
    const auto& c = q->Network[i];
    palette[i] = TRGB{static_cast<uint8_t>(c[0]), static_cast<uint8_t>(c[1]), static_cast<uint8_t>(c[2])};
  }
  BuildGreenIndex(*q);
  return q;
}

int32_t NeuQuantIndexOf(const TIENeuQuant& q, TRGB color) {
  const int32_t b = color.b, g = color.g, r = color.r;
  int32_t bestd = 1000, best = -1;
  int32_t i = q.NetIndex[g], j = i - 1;
  // One side's candidate: its green distance ends the walk once it reaches the best.
  auto consider = [&](const std::array<int32_t, 4>& p, int32_t greenDist) {
    int32_t dist = std::abs(greenDist) + std::abs(p[0] - b);
    if (dist >= bestd) return;
    dist += std::abs(p[2] - r);
    if (dist < bestd) {
      bestd = dist;
      best = p[3];
    }
  };
  while (i < q.NetSize || j >= 0) {
    if (i < q.NetSize) {
      const auto& p = q.Network[i];
      const int32_t dist = p[1] - g;
      if (dist >= bestd) {
        i = q.NetSize;
      } else {
        ++i;
        consider(p, dist);
      }
    }
    if (j >= 0) {
      const auto& p = q.Network[j];
      const int32_t dist = g - p[1];
      if (dist >= bestd) {
        j = -1;
      } else {
        --j;
        consider(p, dist);
      }
    }
  }
  return best;
}

// ---- quantizer ------------------------------------------------------------------------

TIEQuantizer::TIEQuantizer(TIEBitmap& bitmap, TRGB* palette, int32_t colorCount)
    : colorCount_(std::clamp(colorCount, 1, 256)), bitmap_(&bitmap) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  if (format != ie24RGB && format != ie8p && format != ie1g && format != ie8g && format != ie16Gray &&
      format != ieNoFormat) {
    // CMYK, Lab, 48-bit, float and RGBA are quantized from their colours.
    converted_ = ConvertedCopy(bitmap);
    bitmap_ = converted_.get();
  }
  grey_ = bitmap_->IsGrayscale();
  const int32_t n = colorCount_;
  palette_.assign(palette, palette + n);
  if (grey_ || bitmap_->GetPixelFormat() != ie24RGB) {
    if (bitmap_->GetPixelFormat() == ie8p) {
      // A palette image keeps its own palette, grey or not: its indexes stay valid.
      for (int32_t q = 0; q < n; ++q) bitmap_->GetPaletteColor(q, palette_[q]);
    } else if (grey_) {
      // Any other grey image gets the ramp its grey levels stand for.
      for (int32_t q = 0; q < n; ++q) {
        const auto v = static_cast<uint8_t>(256.0 / n * q);
        palette_[q] = TRGB{v, v, v};
      }
    }
  } else {
    exactColors_ = CollectExactColors(*bitmap_, n, palette_.data());
    if (!exactColors_.empty()) {
      for (size_t i = 0; i < exactColors_.size(); ++i)
        exactIndex_.emplace(PackColor(exactColors_[i]), static_cast<int32_t>(i));
    } else {
      const auto* settings = IEGetGlobalSettings();
      const int32_t method = settings->QuantizerMethod;
      if (method == 1 || (method == -1 && n < 128))
        boxQuantizer_ = CreateBoxQuantizer(*bitmap_, palette_.data(), n);
      else
        neuQuant_ = CreateNeuQuant(*bitmap_, palette_.data(), settings->QuantizerQuality, n);
    }
  }
  std::copy(palette_.begin(), palette_.end(), palette);
}

TIEQuantizer::~TIEQuantizer() = default;

int32_t TIEQuantizer::NearestIndex(const TRGB* colors, int32_t count, TRGB color) const {
  int32_t best = 0, bestDist = INT32_MAX;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t d = ColorDistance(colors[i], color);
    if (d < bestDist) {
      bestDist = d;
      best = i;
    }
  }
  return best;
}

int32_t TIEQuantizer::GetRGBIndex(TRGB color) const {
  if (!exactColors_.empty()) {
    const auto it = exactIndex_.find(PackColor(color));
    if (it != exactIndex_.end()) return it->second;
    // A colour the image does not hold gets the nearest one it does.
    return NearestIndex(exactColors_.data(), static_cast<int32_t>(exactColors_.size()), color);
  }
  if (bitmap_->GetPixelFormat() == ie8p) {
    // Only the entries written to the caller's palette are answered.
    const int32_t count = std::min(colorCount_, bitmap_->GetPaletteLength());
    for (int32_t i = 0; i < count; ++i)
      if (palette_[i] == color) return i;
    return count > 0 ? NearestIndex(palette_.data(), count, color) : 0;
  }
  if (grey_) return color.r * colorCount_ / 256;
  if (neuQuant_) {
    const int32_t index = NeuQuantIndexOf(*neuQuant_, color);
    return index >= 0 ? index : NearestIndex(palette_.data(), colorCount_, color);
  }
  if (boxQuantizer_) return BoxQuantizerIndexOf(*boxQuantizer_, color);
  return 0;
}
