// sRGB (D65 white) <-> CIE L*a*b*, computed in extended precision.
#include <algorithm>
#include <cmath>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/system.h"

namespace {

using real = long double;

real Linear(uint8_t channel) {
  real c = channel / 255.0L;
  return c <= 0.04045L ? c / 12.92L : std::pow((c + 0.055L) / 1.055L, 2.4L);
}

real LabF(real t) { return t > 0.008856L ? std::cbrt(t) : 7.787L * t + 16.0L / 116.0L; }

real LabInverse(real t) {
  real cube = t * t * t;
  return cube > 0.008856L ? cube : (t - 0.13793103448L) / 7.787L;
}

uint8_t Gamma(real v) {
  real c = v <= 0.0031308L ? 12.92L * v : 1.055L * std::pow(v, 1 / 2.4L) - 0.055L;
  return static_cast<uint8_t>(std::clamp<int64_t>(Round(c * 255), 0, 255));
}

}  // namespace

TCIELab IERGBToCIELab(TRGB rgb) {
  real r = Linear(rgb.r), g = Linear(rgb.g), b = Linear(rgb.b);
  real x = (0.412453L * r + 0.35758L * g + 0.180423L * b) / 0.95047L;
  real y = 0.212671L * r + 0.71516L * g + 0.072169L * b;
  real z = (0.019334L * r + 0.119193L * g + 0.950227L * b) / 1.088883L;
  real l = y > 0.008856L ? 116 * LabF(y) - 16 : 903.3L * y;
  TCIELab lab;
  lab.l = static_cast<uint8_t>(Trunc(l * 2.55L));
  lab.a = static_cast<int8_t>(Trunc(500 * (LabF(x) - LabF(y))));
  lab.b = static_cast<int8_t>(Trunc(200 * (LabF(y) - LabF(z))));
  return lab;
}

TRGB IECIELabToRGB(TCIELab lab) {
  real l = lab.l * 0.39215686275L;
  real fy = (l + 16) / 116, fx = fy + lab.a / 500.0L, fz = fy - lab.b / 200.0L;
  real x = LabInverse(fx) * 0.95047L, y = LabInverse(fy), z = LabInverse(fz) * 1.08883L;
  TRGB rgb;
  rgb.r = Gamma(3.2406L * x - 1.5372L * y - 0.4986L * z);
  rgb.g = Gamma(-0.9689L * x + 1.8758L * y + 0.0415L * z);
  rgb.b = Gamma(0.0557L * x - 0.204L * y + 1.057L * z);
  return rgb;
}
