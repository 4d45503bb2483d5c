// Image lists: a row of equally sized images, each drawn by its index with
// its alpha channel (or a transparent colour). The markup renderer's "IDX:"
// images and the panels' status bar images come from one.
#pragma once

#include <memory>
#include <vector>

#include "platform/forms/classes.h"
#include "platform/forms/graphics.h"

class TCustomImageList;

// A link through which a control learns that an image list changed (images
// added or cleared, size changed). The list drops its links when it goes;
// a link unregisters itself when it goes first.
class TChangeLink {
public:
  TChangeLink() = default;
  TChangeLink(const TChangeLink&) = delete;
  TChangeLink& operator=(const TChangeLink&) = delete;
  ~TChangeLink();
  TCustomImageList* Sender() const { return sender_; }
  TNotifyEvent OnChange;

private:
  friend class TCustomImageList;
  TCustomImageList* sender_ = nullptr;
};

class TCustomImageList : public TComponent {
  FORMS_CLASS(TCustomImageList)

public:
  explicit TCustomImageList(TComponent* owner);
  ~TCustomImageList() override;

  int32_t Width() const { return width_; }
  int32_t Height() const { return height_; }
  // Changing the size clears the list.
  void SetWidth(int32_t width);
  void SetHeight(int32_t height);
  int32_t Count() const { return static_cast<int32_t>(images_.size()); }
  // Appends the bitmap's pixels, cut or padded to the list's size; answers the index.
  int32_t Add(TBitmap* image);
  void Clear();
  // Draws image `index` at (x, y); nothing for an index outside the list.
  void Draw(TCanvas* canvas, int32_t x, int32_t y, int32_t index);
  // Image `index` as a bitmap of the list's size; false outside the list.
  bool GetBitmap(int32_t index, TBitmap* out) const;
  // Links told of every change from now on (registering twice counts once).
  void RegisterChanges(TChangeLink* link);
  void UnRegisterChanges(TChangeLink* link);

private:
  void Change();
  std::vector<TChangeLink*> links_;
  int32_t width_ = 16, height_ = 16;
  std::vector<std::unique_ptr<TBitmap>> images_;
};

class TImageList : public TCustomImageList {
  FORMS_CLASS(TImageList)

public:
  using TCustomImageList::TCustomImageList;
};
