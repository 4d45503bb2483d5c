// GIF frames as an animation shows them: frame n is drawn over what frames
// 0 .. n-1 left, each frame's disposal deciding what the next one finds.
// The composite covers the frames clipped to the logical screen, never the
// whole declared screen ahead of the frames that fill it; frames placed far
// out on a huge screen cannot make it cost more than their pixels justify.
#include <algorithm>
#include <memory>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/processing/imageryproc.h"

namespace {

constexpr uint8_t kRestoreBackground = 2, kRestorePrevious = 3;
// Pixels any composite may take, and how many composite pixels each decoded
// frame pixel adds: room for frames that leave parts of the screen empty,
// never gigabytes for a few 1 x 1 frames far out on a 65535 x 65535 screen.
constexpr int64_t kFreeCompositePixels = int64_t{1} << 21, kCompositePixelsPerFramePixel = 16;

struct TFrameRect {
  int32_t x = 0, y = 0, width = 0, height = 0;
};

// The extent along one axis that a frame at offset with size needs: the
// frame itself, and as much of the screen as the frame reaches.
int32_t WindowExtent(int32_t screen, int32_t offset, int32_t size) {
  const int64_t reached = std::min<int64_t>(screen, int64_t{offset} + size);
  return static_cast<int32_t>(std::max<int64_t>(size, reached));
}

// Draws the ie24RGB frame at (x, y) into the composite through the frame's
// alpha, merging the alpha values by their maximum; parts outside are cut.
void DrawFrame(TIEBitmap& frame, TIEBitmap& composite, int32_t x, int32_t y) {
  const int32_t width = std::min(frame.GetWidth(), composite.GetWidth() - x);
  const int32_t height = std::min(frame.GetHeight(), composite.GetHeight() - y);
  if (width <= 0 || height <= 0) return;
  TIEBitmap* frameAlpha = frame.PeekAlphaChannel();
  TIEBitmap* compositeAlpha = composite.GetAlphaChannel();
  for (int32_t row = 0; row < height; ++row) {
    const uint8_t* source = frame.GetScanline(row);
    const uint8_t* sourceAlpha = frameAlpha ? frameAlpha->GetScanline(row) : nullptr;
    uint8_t* dest = composite.GetScanline(y + row) + int64_t{x} * 3;
    uint8_t* destAlpha = compositeAlpha->GetScanline(y + row) + x;
    for (int32_t col = 0; col < width; ++col) {
      const int32_t a = sourceAlpha ? sourceAlpha[col] : 255;
      for (int32_t c = 0; c < 3; ++c) {
        uint8_t& d = dest[col * 3 + c];
        d = static_cast<uint8_t>((source[col * 3 + c] * a + d * (255 - a)) / 255);
      }
      destAlpha[col] = static_cast<uint8_t>(std::max<int32_t>(destAlpha[col], a));
    }
  }
}

class TGIFComposer {
public:
  TGIFComposer(const TIECodecEntry& codec, TIECodecRead& read) : codec_(codec), read_(read), params_(read.Params) {}

  void Run() {
    const int64_t start = read_.Stream.Position();
    const int32_t target = params_.GIF_IMAGEINDEX;
    // Beyond the first frame the loop reports progress itself.
    TIEProgressRecord quiet = read_.Progress;
    quiet.fOnProgress = nullptr;
    TIEProgressRecord& frameProgress = target <= 0 ? read_.Progress : quiet;
    std::unique_ptr<TIEBitmap> result;
    bool composed = false;
    TIEPixelFormat resultFormat = ie24RGB;
    for (int32_t i = 0;; ++i) {
      read_.Stream.SetPosition(start);
      params_.SetImageIndex(i);
      auto frame = std::make_unique<TIEBitmap>();
      TIECodecRead one{read_.Stream, frame.get(), params_, frameProgress};
      one.Size = read_.Size;
      codec_.Read(one);
      read_.PageCount = std::max(read_.PageCount, one.PageCount);  // an aborted read counts nothing
      if (read_.Progress.Aborted()) break;
      resultFormat = frame->GetPixelFormat();
      if (one.PageCount >= 2) {
        if (!Compose(*frame)) {
          read_.Progress.Abort();
          break;
        }
        composed = true;
      } else {
        result = std::move(frame);
      }
      read_.Progress.Report(static_cast<int32_t>(int64_t{i} * 100 / std::max(one.PageCount, 1)));
      if (i + 1 >= one.PageCount || i >= target) break;
    }
    params_.SetImageIndex(target);
    if (read_.Progress.Aborted()) return;
    if (composed) {
      Trim();
      result = std::make_unique<TIEBitmap>();
      composite_.TransferTo(*result);
    }
    if (!result) return;
    if (result->GetPixelFormat() != resultFormat) result->ConvertToPixelFormat(resultFormat);
    read_.Bitmap->Assign(result.get());
  }

private:
  // Draws the frame over the composite; false when the composite would grow
  // beyond what the frames decoded so far justify.
  bool Compose(TIEBitmap& frame) {
    const double background = IERGBToColor(params_.GIF_BACKGROUND);
    const TFrameRect rect{params_.GIF_XPOS, params_.GIF_YPOS, frame.GetWidth(), frame.GetHeight()};
    const int32_t windowWidth = WindowExtent(params_.GIF_WINWIDTH, rect.x, rect.width);
    const int32_t windowHeight = WindowExtent(params_.GIF_WINHEIGHT, rect.y, rect.height);
    framePixels_ += int64_t{rect.width} * rect.height;
    reachWidth_ = std::max(reachWidth_, windowWidth);
    reachHeight_ = std::max(reachHeight_, windowHeight);
    const int64_t budget = kFreeCompositePixels + framePixels_ * kCompositePixelsPerFramePixel;
    if (int64_t{reachWidth_} * reachHeight_ > budget) return false;
    if (params_.GIFDisposalMethod == kRestorePrevious) saved_ = std::make_unique<TIEBitmap>(composite_);
    if (previousDisposal_ == kRestorePrevious && saved_) composite_.Assign(saved_.get());
    if (previousDisposal_ == kRestoreBackground && !composite_.IsEmpty()) {
      const int32_t x2 = previous_.x + previous_.width - 1, y2 = previous_.y + previous_.height - 1;
      composite_.FillRect(previous_.x, previous_.y, x2, y2, background);
      composite_.GetAlphaChannel()->FillRect(previous_.x, previous_.y, x2, y2, 0);
    }
    if (composite_.GetWidth() == 0) {
      composite_.Allocate(windowWidth, windowHeight, ie24RGB);
      composite_.Fill(background);
      composite_.GetAlphaChannel()->Fill(0);
    }
    if (composite_.GetPixelFormat() != ie24RGB) composite_.ConvertToPixelFormat(ie24RGB);
    if (composite_.GetWidth() < reachWidth_ || composite_.GetHeight() < reachHeight_) Grow(background, budget);
    if (frame.GetPixelFormat() != ie24RGB) frame.ConvertToPixelFormat(ie24RGB);
    DrawFrame(frame, composite_, rect.x, rect.y);
    composite_.GetAlphaChannel()->SetFullFlag(false);
    previous_ = rect;
    previousDisposal_ = params_.GIFDisposalMethod;
    params_.GIFDisposalMethod = kRestoreBackground;
    params_.GIF_XPOS = params_.GIF_YPOS = 0;
    return true;
  }

  // Enlarges the composite to what the frames reach, doubling a side that
  // grows (within the screen and the budget) so that frames walking out a
  // little at a time do not reallocate it each time; the new area is
  // opaque background.
  void Grow(double background, int64_t budget) {
    auto side = [](int32_t now, int32_t reach, int32_t screen) {
      return now >= reach ? now : std::max(reach, std::min<int32_t>(now * 2, screen));
    };
    int32_t width = side(composite_.GetWidth(), reachWidth_, params_.GIF_WINWIDTH);
    int32_t height = side(composite_.GetHeight(), reachHeight_, params_.GIF_WINHEIGHT);
    if (int64_t{width} * height > budget) {
      width = std::max(composite_.GetWidth(), reachWidth_);
      height = std::max(composite_.GetHeight(), reachHeight_);
    }
    composite_.ResizeKeepingContent(width, height, background, 255, 0, 0);
  }

  // The composite cut to what the frames reached.
  void Trim() {
    if (composite_.GetWidth() > reachWidth_ || composite_.GetHeight() > reachHeight_)
      composite_.ResizeKeepingContent(reachWidth_, reachHeight_, IERGBToColor(params_.GIF_BACKGROUND), 255, 0, 0);
  }

  const TIECodecEntry& codec_;
  TIECodecRead& read_;
  TIOParamsVals& params_;
  TIEBitmap composite_;
  std::unique_ptr<TIEBitmap> saved_;
  TFrameRect previous_;
  uint8_t previousDisposal_ = 0;
  int64_t framePixels_ = 0;
  int32_t reachWidth_ = 0, reachHeight_ = 0;
};

}  // namespace

void IEComposeGIFFrames(const TIECodecEntry& codec, TIECodecRead& read) { TGIFComposer(codec, read).Run(); }
