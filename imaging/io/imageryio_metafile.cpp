// Metafile import: the framework's metafile object loads the file and draws
// it into a 24-bit DIB of the chosen size; the untouched area can become
// transparent through a second drawing over a key colour.
#include <algorithm>
#include <cstdint>

#include "imaging/core/iesettings.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_dibbitmap.h"
#include "imaging/io/imageryio.h"
#include "platform/forms/graphics.h"
#include "platform/win/gdi.h"

namespace {

// The key colour's bytes: blue 1, green 2, red 3.
constexpr COLORREF kKey = 0x010203;

void FillDib(TIEDibbitmap& dib, COLORREF color) {
  HBRUSH brush = CreateSolidBrush(color);
  const RECT all{0, 0, dib.GetWidth(), dib.GetHeight()};
  FillRect(dib.DC(), &all, brush);
  DeleteObject(brush);
}

void DrawInto(TIEDibbitmap& dib, TMetafile& metafile) {
  TCanvas canvas;
  canvas.SetHandle(dib.DC());
  metafile.Draw(&canvas, RECT{0, 0, dib.GetWidth(), dib.GetHeight()});
  canvas.SetHandle(nullptr);
}

}  // namespace

bool IEMetafileRenderSize(int64_t metaWidth, int64_t metaHeight, int32_t width, int32_t height, int32_t maxSize,
                          int32_t& outWidth, int32_t& outHeight) {
  if (metaWidth <= 0 || metaHeight <= 0 || width == 0 || height == 0) return false;
  int64_t w = metaWidth, h = metaHeight;
  if (width > 0 && height > 0) {
    w = width;
    h = height;
  } else if (width < 0 && height > 0) {
    h = height;
    w = int64_t{height} * metaWidth / metaHeight;
  } else if (height < 0 && width > 0) {
    w = width;
    h = metaHeight * width / metaWidth;
  }
  w = std::max<int64_t>(w, 1);
  h = std::max<int64_t>(h, 1);
  if (maxSize > 0 && (w > maxSize || h > maxSize)) {
    if (w < h) {
      w = w * maxSize / h;
      h = maxSize;
    } else {
      h = h * maxSize / w;
      w = maxSize;
    }
  }
  if (w > INT32_MAX || h > INT32_MAX) return false;
  outWidth = static_cast<int32_t>(std::max<int64_t>(w, 1));
  outHeight = static_cast<int32_t>(std::max<int64_t>(h, 1));
  return true;
}

void TImageryIO::FillMetafileParams(const TMetafile& metafile, int32_t width, int32_t height) {
  TIOParamsVals& p = *params_;
  const TIEImageryGlobalSettings* settings = IEGetGlobalSettings();
  p.FILENAME.clear();
  p.FILETYPE = metafile.Enhanced() ? 10 : 9;
  p.BITSPERSAMPLE = 8;
  p.SAMPLESPERPIXEL = 3;
  p.WIDTH = p.ORIGINALWIDTH = width;
  p.HEIGHT = p.ORIGINALHEIGHT = height;
  p.DPIX = settings->DefaultDPIX;
  p.DPIY = settings->DefaultDPIY;
  p.FreeColorMap();
}

bool TImageryIO::RenderMetafile(TMetafile& metafile, int32_t width, int32_t height, bool withAlpha) {
  SetAborting(false);
  if (metafile.Width() == 0 || metafile.Height() == 0) {
    SetAborting(true);
    return false;
  }
  if (width == 0 || height == 0 || !BitmapCheck()) return false;
  params_->ResetForLoad();
  int32_t w = 0, h = 0;
  if (!IEMetafileRenderSize(metafile.Width(), metafile.Height(), width, height,
                            IEGetGlobalSettings()->MetafileMaxSize, w, h)) {
    SetAborting(true);
    return false;
  }
  metafile.SetWidth(w);
  metafile.SetHeight(h);

  TIEDibbitmap picture;
  if (!picture.AllocateBits(w, h, 24)) {
    SetAborting(true);
    return false;
  }
  FillMetafileParams(metafile, w, h);
  SetViewDPI(params_->DPIX, params_->DPIY);
  FillDib(picture, Background() & 0xFFFFFF);
  DrawInto(picture, metafile);
  bitmap_->CopyFromDibBitmap(&picture);
  picture.FreeBits();
  bitmap_->RemoveAlphaChannel();

  if (withAlpha) {
    TIEDibbitmap keyed;
    if (!keyed.AllocateBits(w, h, 24)) {
      SetAborting(true);
      return false;
    }
    FillDib(keyed, kKey);
    DrawInto(keyed, metafile);
    TIEBitmap* alpha = bitmap_->GetAlphaChannel();
    for (int32_t y = 0; y < h; ++y) {
      const uint8_t* src = keyed.GetScanline(y);
      uint8_t* dst = alpha->GetScanline(y);
      for (int32_t x = 0; x < w; ++x, src += 3) dst[x] = src[0] == 1 && src[1] == 2 && src[2] == 3 ? 0 : 255;
    }
    alpha->UpdateAllFull();
  }
  ViewUpdate();
  return !Aborting();
}

bool TImageryIO::ImportMetafile(const std::string& fileName, int32_t width, int32_t height, bool withAlpha) {
  if (!RunsInline()) {
    StartWorker([this, fileName, width, height, withAlpha] { ImportMetafile(fileName, width, height, withAlpha); });
    return true;
  }
  TOperation operation(*this);
  bool result = false;
  try {
    TMetafile metafile;
    metafile.LoadFromFile(fileName);
    result = RenderMetafile(metafile, width, height, withAlpha);
    params_->FILENAME = fileName;
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
  return result;
}

bool TImageryIO::ImportMetafileStream(TStream& stream, int32_t width, int32_t height, bool withAlpha) {
  TOperation operation(*this);
  bool result = false;
  try {
    TMetafile metafile;
    metafile.LoadFromStream(stream);
    result = RenderMetafile(metafile, width, height, withAlpha);
    params_->FILENAME.clear();
  } catch (...) {
    DoFinishWork();
    throw;
  }
  DoFinishWork();
  return result;
}

void TImageryIO::ReadMetafileParams(TStream& stream) {
  TMetafile metafile;
  metafile.LoadFromStream(stream);
  FillMetafileParams(metafile, metafile.Width(), metafile.Height());
}
