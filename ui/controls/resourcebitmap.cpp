#include "ui/controls/resourcebitmap.h"

#include "platform/rtl/exceptions.h"
#include "platform/rtl/resources.h"
#include "platform/rtl/streams.h"

bool LoadResourceBitmap(TBitmap* bitmap, const std::string& name) {
  const TResourceEntry* entry = FindResourceEntry(HInstance, TResourceName(name), TResourceName(RT_BITMAP));
  if (!entry) return false;
  try {
    TResourceStream stream(HInstance, TResourceName(name), TResourceName(RT_BITMAP));
    TBitmap loaded;
    loaded.LoadFromStream(stream);
    bitmap->Assign(&loaded);
    return true;
  } catch (const Exception&) {
    return false;
  }
}
