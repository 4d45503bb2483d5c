// A framework graphic that keeps a picture file's bytes exactly as loaded
// and shows them through the OLE picture loader; the captioned panel's
// background picture.
#pragma once

#include "platform/win/olepicture.h"
#include "ui/render/encodedgraphic.h"

class TAdvImage : public TEncodedGraphic {
  FORMS_CLASS(TAdvImage)

public:
  TAdvImage() = default;
  int32_t Width() const override;
  int32_t Height() const override;
  // Stretched upright into the rectangle; nothing without a picture.
  void Draw(TCanvas* canvas, const RECT& rect) override;
  // Takes the stream, builds the picture (failures propagate) and fires OnChange.
  void LoadFromStream(TStream& stream) override;
  // As LoadFromStream from a file; a failure leaves the graphic empty.
  void LoadFromFile(const std::string& fileName);
  // The form reader: as LoadFromStream without OnChange.
  void ReadData(TStream* stream);
  void Assign(const TPersistent* source) override;
  std::unique_ptr<TGraphic> NewOfSameClass() const override { return std::make_unique<TAdvImage>(); }
  bool HasPicture() const { return static_cast<bool>(picture_); }

private:
  void BuildPicture();
  ComPtr<IPicture> picture_;
};
