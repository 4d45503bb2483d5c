// The formats that hold several images in one file; apart from the
// component so that the file dialogs can ask without the viewer.
#include "imaging/io/iemio.h"

bool IEIsMultiImageFormat(int32_t fileType) {
  for (int32_t multi : {1, 2, 6, 15, 17, 18, 19, 28})
    if (fileType == multi) return true;
  return false;
}
