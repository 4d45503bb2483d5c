// The DICOM tag store's record reader on arbitrary bytes. What loads is
// shown as text, copied, saved and loaded again to the same record.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_dicomtags.h"
#include "platform/rtl/exceptions.h"

namespace {

void ShowAll(TIEDicomTags& tags) {
  for (int32_t i = 0; i < tags.Count(); ++i) {
    std::string text;
    tags.GetTagStringByIndex(i, text);
    if (const TIEDicomTag* tag = tags.GetTag(i); tag && tag->Items)
      for (auto& item : *tag->Items) ShowAll(*item);
  }
}

std::string Save(const TIEDicomTags& tags) {
  TMemoryStream stream;
  tags.SaveToStream(stream);
  return std::string(static_cast<const char*>(stream.Memory()), static_cast<size_t>(stream.Size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > (1 << 20)) return 0;
  TIEMemStream stream(data, static_cast<int64_t>(size));
  TIEDicomTags tags;
  try {
    tags.LoadFromStream(stream);
  } catch (const Exception&) {
    if (tags.Count() != 0) std::abort();  // a failed load adds nothing
    return 0;
  }
  ShowAll(tags);
  int32_t index = 0;
  tags.FindTag(0x0028, 0x0010, nullptr, index);
  TIEDicomTags copy;
  copy.Assign(tags);
  const std::string saved = Save(copy);
  TIEMemStream again(saved.data(), static_cast<int64_t>(saved.size()));
  TIEDicomTags reloaded;
  reloaded.LoadFromStream(again);
  if (Save(reloaded) != saved) std::abort();
  return 0;
}
