// The chart picture tool's readers of the colour toolkit's files: the chart
// layout (.cht) and the reference colours (.cie), then the drawing of what
// they accepted. The first byte picks the reader, the rest is its input; a
// layout is drawn with the colours of its own text read as a table.
#include <cstddef>
#include <cstdint>
#include <string>

#include "tools/chartpics/chart_layout.h"
#include "tools/chartpics/chart_picture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string error;
  const auto colours = chartpics::ReadChartColours(text, &error);
  if (data[0] & 1) return 0;
  const auto layout = chartpics::ReadChartLayout(text, &error);
  if (layout) chartpics::DrawChart(*layout, colours.value_or(chartpics::ChartColours{}), 64);
  return 0;
}
