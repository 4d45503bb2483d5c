// The settings of a print preview that an I/O component carries: page
// margins, the image's position and size on the page, gamma, the thumbnail
// sheet layout and the dialog's last size (the library's keys MARGINTOP ..
// DLGHEIGHT, in this order). No print dialog exists yet, so the object only
// holds its defaults and the values other code gives it.
#pragma once

#include <cstdint>

class TIOPrintPreviewParams {
public:
  double MarginTop = 1.0;
  double MarginLeft = 1.0;
  double MarginRight = 1.0;
  double MarginBottom = 1.0;
  uint8_t Position = 4;  // position code, defined with the print-preview dialog
  uint8_t Size = 1;      // size mode code, likewise
  double Width = -1.0;
  double Height = -1.0;
  double Gamma = 1.0;
  bool PrintThumbnails = false;
  int32_t ThumbnailColumns = 4;
  int32_t ThumbnailRows = 5;
  double ThumbnailSpacing = 0.1;
  uint8_t ThumbnailStyle = 1;  // style code, likewise
  bool ThumbnailShowText = true;
  int32_t DlgWidth = 0;
  int32_t DlgHeight = 0;
};
