#include "ui/render/advgdip.h"

#include "platform/forms/properties.h"
#include "platform/rtl/streams.h"

namespace AdvGDIP {

namespace {
struct SessionHolder {
  AdvSmoothGDIP::TGdiplusSession session;
  SessionHolder() { session.Start(); }
  ~SessionHolder() { session.Stop(); }
};
}  // namespace

AdvSmoothGDIP::TGdiplusSession& SecondarySession() {
  static SessionHolder holder;
  return holder.session;
}

namespace {
[[maybe_unused]] const bool kUnitStarted = (SecondarySession(), true);
}

const TClassInfo& TGDIPPicture::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TGDIPPicture>(
      "TGDIPPicture", &TGraphic::StaticClassInfo(),
      [](TPublished<TGDIPPicture>& p) { p.Event<TNotifyEvent>("OnClear", &TGDIPPicture::OnClear); });
  return info;
}

void TGDIPPicture::LoadFromStream(TStream& stream) {
  TakeStream(stream);
  empty_ = false;
  ReadImageSize();
  Changed();
}

void TGDIPPicture::ReadData(TStream* stream) {
  if (!stream) return;
  TakeStream(*stream);
  empty_ = false;
}

}  // namespace AdvGDIP
