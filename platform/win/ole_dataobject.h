// A data object that holds its formats as bytes: what files dropped from the
// desktop and the clipboard hand to drop targets and paste code. It serves
// each format in global memory or as a stream and takes SetData (the
// feedback formats that drop targets write back).
#pragma once

#include <string>
#include <vector>

#include "platform/win/ole.h"

struct StoredFormat {
  CLIPFORMAT format;
  std::string bytes;
};

ComPtr<IDataObject> CreateStoredDataObject(std::vector<StoredFormat> formats);

// An enumerator over a fixed list of formats.
ComPtr<IEnumFORMATETC> CreateFormatEnumerator(std::vector<FORMATETC> formats);

// The bytes of a medium in global memory or a stream (at most `limit`
// bytes); false for other media or when the data is larger.
bool ReadMediumBytes(const STGMEDIUM& medium, std::string& bytes, size_t limit);
