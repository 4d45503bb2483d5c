// The root of the framework's class tree and its plain notification event.
//
// Lists that own their items (TObjectList) and string lists that carry an
// object per item hold TObject pointers; deleting through the root frees the
// whole object.
#pragma once

#include <functional>

class TObject {
public:
  TObject() = default;
  TObject(const TObject&) = default;
  TObject& operator=(const TObject&) = default;
  virtual ~TObject() = default;
};

// An event that only tells who sent it; empty = not assigned.
using TNotifyEvent = std::function<void(TObject* sender)>;
