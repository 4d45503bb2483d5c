// Pictures for markup: THTMLPicture keeps a file's encoded bytes, decodes
// them through OLE picture loading and shows one chosen frame of an
// animated GIF; the picture cache keeps pictures loaded by address; the
// picture container keeps named pictures.
//
// Sections: GIF frames | THTMLPicture | cache | container
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/forms/classes.h"
#include "platform/win/olepicture.h"
#include "ui/render/encodedgraphic.h"
#include "ui/render/namedpictures.h"

// ---- GIF frames ----

// The block structure of a GIF file, walked with every length checked.
struct TGIFFrame {
  size_t start = 0;  // the frame's first block (its graphic control extension, else its descriptor)
  uint16_t left = 0, top = 0, width = 0, height = 0;
};
struct TGIFLayout {
  uint16_t screenWidth = 0, screenHeight = 0;
  std::vector<TGIFFrame> frames;  // in file order
};
// False when the data is no GIF file; frames lists every complete image.
bool WalkGIF(const uint8_t* data, size_t size, TGIFLayout& out);

// ---- THTMLPicture ----

class THTMLPicture : public TEncodedGraphic {
  FORMS_CLASS(THTMLPicture)

public:
  THTMLPicture() = default;
  int32_t Width() const override;
  int32_t Height() const override;
  void Draw(TCanvas* canvas, const RECT& rect) override;
  // Takes the stream, decodes (errors propagate) and fires OnChange.
  void LoadFromStream(TStream& stream) override;
  // As LoadFromStream from a file; any failure leaves the picture empty.
  void LoadFromFile(const std::string& fileName);
  // An RT_RCDATA resource of that name; nothing when there is none.
  void LoadFromNamedResource(HINSTANCE instance, const std::string& name);
  // "RES://name" and "FILE://path" load (a failure leaves the picture
  // empty); any other address is only remembered.
  void LoadFromAddress(const std::string& address);
  void ReadData(TStream* stream);
  void Assign(const TPersistent* source) override;
  std::unique_ptr<TGraphic> NewOfSameClass() const override { return std::make_unique<THTMLPicture>(); }

  // -1 for data that is no GIF file; else its frame count.
  int32_t CountFrames();
  bool HoldsGIF() const;
  int32_t Frame() const { return frame_; }
  // Selects a frame (1-based) and decodes it again.
  void SetFrame(int32_t frame);
  int32_t FullWidth() const { return animationWidth_ ? animationWidth_ : Width(); }
  int32_t FullHeight() const { return animationHeight_ ? animationHeight_ : Height(); }
  int32_t FrameXPos() const { return frameX_; }
  int32_t FrameYPos() const { return frameY_; }
  bool Stretch() const { return stretch_; }
  void SetStretch(bool stretch) { stretch_ = stretch; }
  bool Asynch() const { return asynch_; }
  void SetAsynch(bool asynch) { asynch_ = asynch; }
  const std::string& ID() const { return id_; }
  bool ThreadBusy() const { return threadBusy_; }
  bool HasPicture() const { return static_cast<bool>(picture_); }

  TNotifyEvent OnFrameChange;

private:
  void DecodePictureData();
  void Reset();

  ComPtr<IPicture> picture_;
  bool stretch_ = false, asynch_ = true, threadBusy_ = false;
  int32_t frameCount_ = -1;
  int32_t frame_ = 1;
  uint16_t frameX_ = 0, frameY_ = 0, frameWidth_ = 0, frameHeight_ = 0;
  uint16_t animationWidth_ = 0, animationHeight_ = 0;
  std::string downloadAddress_, id_;
};

// ---- cache ----

// Pictures loaded by address, owned by the control that renders.
class THTMLPictureCache {
public:
  THTMLPictureCache() = default;
  THTMLPictureCache(const THTMLPictureCache&) = delete;
  THTMLPictureCache& operator=(const THTMLPictureCache&) = delete;
  ~THTMLPictureCache() { FreeAll(); }
  THTMLPicture* NewPicture();
  // The first picture whose address equals `address` exactly; null when none.
  THTMLPicture* FindByURL(const std::string& address) const;
  THTMLPicture* GetItem(int32_t index) const { return items_.at(static_cast<size_t>(index)); }
  int32_t Count() const { return static_cast<int32_t>(items_.size()); }
  void FreeAll();

private:
  std::vector<THTMLPicture*> items_;
};

// ---- container ----

namespace PictureContainer {

class TPictureItem : public TNamedPictureItem<THTMLPicture> {
  FORMS_CLASS(TPictureItem)

public:
  using TNamedPictureItem::TNamedPictureItem;
};

class TPictureCollection : public TNamedPictureCollection<TPictureItem> {
  FORMS_CLASS(TPictureCollection)

public:
  using TNamedPictureCollection::TNamedPictureCollection;
};

}  // namespace PictureContainer

class TPictureContainer : public TComponent {
  FORMS_CLASS(TPictureContainer)

public:
  explicit TPictureContainer(TComponent* owner);
  ~TPictureContainer() override;
  PictureContainer::TPictureCollection* Items() const { return items_; }
  void SetItems(PictureContainer::TPictureCollection* items) { items_->Assign(items); }
  // The picture of the first item whose name equals `name` without case.
  virtual THTMLPicture* PictureByName(const std::string& name) const;
  std::string Version() const;
  void SetVersion(const std::string&) {}

private:
  PictureContainer::TPictureCollection* items_;
};
