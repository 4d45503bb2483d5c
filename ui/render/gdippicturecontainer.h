// A non-visual component holding named GDI+ pictures for the GDI+ markup
// renderer and the smooth panel; and the small Vista test of the panels.
#pragma once

#include <string>

#include "platform/forms/classes.h"
#include "ui/render/advsmoothgdip.h"
#include "ui/render/namedpictures.h"

namespace GDIPPictureContainer {

class TPictureItem : public TNamedPictureItem<AdvSmoothGDIP::TAdvGDIPPicture> {
  FORMS_CLASS(TPictureItem)

public:
  using TNamedPictureItem::TNamedPictureItem;
};

class TPictureCollection : public TNamedPictureCollection<TPictureItem> {
  FORMS_CLASS(TPictureCollection)

public:
  using TNamedPictureCollection::TNamedPictureCollection;
};

}  // namespace GDIPPictureContainer

class TGDIPPictureContainer : public TComponent {
  FORMS_CLASS(TGDIPPictureContainer)

public:
  explicit TGDIPPictureContainer(TComponent* owner);
  ~TGDIPPictureContainer() override;
  GDIPPictureContainer::TPictureCollection* Items() const { return items_; }
  void SetItems(GDIPPictureContainer::TPictureCollection* items) { items_->Assign(items); }
  // The picture of the first item whose name equals `name` without case; null when none.
  virtual AdvSmoothGDIP::TAdvGDIPPicture* FindPicture(const std::string& name) const;
  uint32_t GetVersionNumber() const { return 0x01000000; }
  std::string Version() const;
  void SetVersion(const std::string&) {}

private:
  GDIPPictureContainer::TPictureCollection* items_;
};

// The four bytes of a version number, most significant first, joined by ".".
std::string VersionString(uint32_t number);
// True when kernel32 exports GetLocaleInfoEx.
bool IsVistaOrLater();
