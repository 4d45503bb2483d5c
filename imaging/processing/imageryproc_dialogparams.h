// The last values of the pages of the image-processing dialog, so that the
// dialog opens with them. The processing component keeps one.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "imaging/core/ruduvazez.h"
#include "platform/rtl/streams.h"

// The key names of the settings, in the order of the record.
extern const std::array<const char*, 59> IPDialogParamsKeys;
// The two direction texts of the flip page.
extern const char* const IPDialogFlipTexts[2];

class TIPDialogParams {
public:
  TIPDialogParams();
  // Every setting to its default; the FFT rectangle through its setters.
  void Reset();

  int32_t CONTRAST_CONTRAST, CONTRAST_BRIGHTNESS;
  int32_t HSV_H, HSV_S, HSV_V;
  int32_t HSL_H, HSL_S, HSL_L;
  int32_t RGB_R, RGB_G, RGB_B;
  std::array<std::array<int32_t, 3>, 3> USERFILTER_VALUES;  // row, then column
  int32_t USERFILTER_DIVISOR;
  TRGB EQUALIZATION_THRESHOLDDOWN, EQUALIZATION_THRESHOLDUP;
  TRGB EQUALIZATION_EQDOWN, EQUALIZATION_EQUP;
  int32_t EQUALIZATION_EQUALIZEBUTTON;
  int32_t BUMPMAP_LEFT, BUMPMAP_TOP, BUMPMAP_WIDTH, BUMPMAP_HEIGHT;
  TRGB BUMPMAP_COL;
  int32_t BUMPMAP_SRC, BUMPMAP_AUTO;
  int32_t LENS_LEFT, LENS_TOP, LENS_WIDTH, LENS_HEIGHT;
  double LENS_REF;
  int32_t LENS_AUTO;
  int32_t WAVE_AMPLITUDE, WAVE_WAVELENGTH, WAVE_PHASE, WAVE_REFLECT;
  int32_t MORPH_FILTER, MORPH_WINSIZE;
  long double ROTATE_ANGLE;
  double GAMMACORRECTION_VALUE;
  int32_t SHARPEN_SHARPEN, SHARPEN_SIZE;
  int32_t FFT_GRAYSCALE;
  int32_t RESIZE_PERCENT;
  int32_t SHADOW_RADIUS, SHADOW_OFFSET;
  int32_t FLIP_HORZ, FLIP_VERT;

  // The FFT rectangle: setting any side drops the FFT data.
  int32_t FFT_LEFT() const { return fftLeft_; }
  int32_t FFT_TOP() const { return fftTop_; }
  int32_t FFT_RIGHT() const { return fftRight_; }
  int32_t FFT_BOTTOM() const { return fftBottom_; }
  void SetFFT_LEFT(int32_t value) { SetFFTSide(fftLeft_, value); }
  void SetFFT_TOP(int32_t value) { SetFFTSide(fftTop_, value); }
  void SetFFT_RIGHT(int32_t value) { SetFFTSide(fftRight_, value); }
  void SetFFT_BOTTOM(int32_t value) { SetFFTSide(fftBottom_, value); }
  TMemoryStream& FFTData() { return *fftData_; }

  // What the dialog keeps besides its keyed settings: -1, -1, 20, 25, 0, 0
  // after a reset.
  std::array<int32_t, 6> Extra{};

private:
  void SetFFTSide(int32_t& side, int32_t value);

  int32_t fftLeft_ = -1, fftTop_ = -1, fftRight_ = -1, fftBottom_ = -1;
  std::unique_ptr<TMemoryStream> fftData_;
};
