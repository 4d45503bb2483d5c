#include "ui/render/gdippicturecontainer.h"

#include "platform/forms/properties.h"
#include "platform/rtl/dynlib.h"
#include "platform/rtl/sysutils.h"

using AdvSmoothGDIP::TAdvGDIPPicture;

namespace GDIPPictureContainer {

const TClassInfo& TPictureItem::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TPictureItem>("TPictureItem", &TCollectionItem::StaticClassInfo(), &Publish<TPictureItem>);
  return info;
}

const TClassInfo& TPictureCollection::StaticClassInfo() {
  static const TClassInfo info =
      PublishClass<TPictureCollection>("TPictureCollection", &TCollection::StaticClassInfo());
  return info;
}

}  // namespace GDIPPictureContainer

const TClassInfo& TGDIPPictureContainer::StaticClassInfo() {
  static const TClassInfo info = PublishClass<TGDIPPictureContainer>(
      "TGDIPPictureContainer", &TComponent::StaticClassInfo(), [](TPublished<TGDIPPictureContainer>& p) {
        p.Object("Items", &TGDIPPictureContainer::Items)
            .String("Version", &TGDIPPictureContainer::Version, &TGDIPPictureContainer::SetVersion);
      });
  return info;
}

TGDIPPictureContainer::TGDIPPictureContainer(TComponent* owner)
    : TComponent(owner), items_(new GDIPPictureContainer::TPictureCollection(this)) {}
TGDIPPictureContainer::~TGDIPPictureContainer() { delete items_; }

std::string TGDIPPictureContainer::Version() const { return VersionString(GetVersionNumber()); }

TAdvGDIPPicture* TGDIPPictureContainer::FindPicture(const std::string& name) const {
  return items_->PictureByName(name);
}

std::string VersionString(uint32_t number) {
  return std::to_string(number >> 24) + "." + std::to_string((number >> 16) & 0xFF) + "." +
         std::to_string((number >> 8) & 0xFF) + "." + std::to_string(number & 0xFF);
}

bool IsVistaOrLater() {
  HMODULE kernel = LoadLibraryA("kernel32");
  if (!kernel) return false;
  bool found = GetProcAddress(kernel, "GetLocaleInfoEx") != nullptr;
  FreeLibrary(kernel);
  return found;
}
