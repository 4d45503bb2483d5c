// The grid of the thumbnail view.
#include "imaging/view/iemview_layout.h"

#include <algorithm>
#include <cmath>

double IEMClampZoom(double zoom) { return std::isfinite(zoom) ? std::max(zoom, IEMMinZoom) : 100.0; }

int32_t IEMZoomedSize(int32_t raw, double zoom) {
  const double size = std::trunc(raw * zoom / 100.0);
  return static_cast<int32_t>(std::clamp(size, 0.0, 1.0e9));
}

int32_t IEMInfoWidth(const TIEMGridGeometry& g) {
  if (!g.FlatAndWide) return 0;
  const int32_t picture = IEMZoomedSize(g.RawThumbWidth, g.Zoom);
  const int32_t rest = g.ClientWidth - (picture + 2 * g.HorizBorder);
  return g.Columns == 1 ? rest : std::min(rest, 3 * picture);
}

int32_t IEMCellWidth(const TIEMGridGeometry& g) { return IEMInfoWidth(g) + IEMZoomedSize(g.RawThumbWidth, g.Zoom); }
int32_t IEMCellHeight(const TIEMGridGeometry& g) { return IEMZoomedSize(g.RawThumbHeight, g.Zoom); }
int32_t IEMColumnPitch(const TIEMGridGeometry& g) { return std::max(1, IEMCellWidth(g) + g.HorizBorder); }
int32_t IEMRowPitch(const TIEMGridGeometry& g) { return std::max(1, IEMCellHeight(g) + g.VertBorder); }

int32_t IEMColumnCount(const TIEMGridGeometry& g) {
  if (g.Columns == 0) return g.Count;
  if (g.Columns > 0) return g.Columns;
  const int32_t fit = (g.ClientWidth - g.HorizBorder) / IEMColumnPitch(g);
  return g.Count > 0 ? std::max(fit, 1) : std::max(fit, 0);
}

int32_t IEMRowCount(const TIEMGridGeometry& g) {
  const int32_t columns = IEMColumnCount(g);
  if (g.Count == 0 || columns <= 0) return 0;
  return (g.Count + columns - 1) / columns;
}

int32_t IEMHorizCentring(const TIEMGridGeometry& g) {
  if (!g.CenterColumn || g.SingleMode || g.Columns == 0) return 0;
  if (g.Columns == 1) return (g.ClientWidth - IEMCellWidth(g)) / 2;
  return std::max(0, (g.ClientWidth - IEMColumnCount(g) * IEMColumnPitch(g)) / 2);
}

int32_t IEMVertCentring(const TIEMGridGeometry& g) {
  if (!g.CenterColumn || g.SingleMode || g.Columns != 0) return 0;
  return (g.ClientHeight - IEMCellHeight(g)) / 2;
}

void IEMLayoutCells(const TIEMGridGeometry& g, std::vector<TIEMCell>& cells, int32_t& extentX, int32_t& extentY) {
  const int32_t columns = IEMColumnCount(g);
  const int32_t left = std::max(IEMHorizCentring(g), g.HorizBorder);
  const int32_t top = std::max(IEMVertCentring(g), g.VertBorder);
  cells.assign(static_cast<size_t>(std::max(g.Count, 0)), TIEMCell{});
  extentX = extentY = 0;
  int32_t row = 0, col = 0;
  for (TIEMCell& cell : cells) {
    cell = TIEMCell{IEMColumnPitch(g) * col, row * IEMRowPitch(g), row, col};
    if (!g.SingleMode) {
      cell.X += left;
      cell.Y += top;
    }
    extentX = std::max(extentX, cell.X);
    extentY = std::max(extentY, cell.Y);
    if (g.SingleMode) continue;
    if (++col >= columns) {
      ++row;
      col = 0;
    }
  }
  extentX += IEMCellWidth(g) + g.HorizBorder;
  extentY += IEMCellHeight(g) + g.VertBorder;
}

int32_t IEMEntryAtPoint(const TIEMGridGeometry& g, const std::vector<TIEMCell>& cells, int32_t x, int32_t y,
                        bool exact, bool toLast, int32_t singleIndex) {
  if (g.SingleMode) return singleIndex;
  const int32_t columns = IEMColumnCount(g);
  if (columns <= 0 || cells.empty()) return -1;
  const int32_t col = std::min((x - IEMHorizCentring(g)) / IEMColumnPitch(g), columns - 1);
  const int32_t row = std::min((y - IEMVertCentring(g)) / IEMRowPitch(g), IEMRowCount(g) - 1);
  if (col < 0 || row < 0) return -1;
  int32_t index = (g.Columns != 0 ? row : 0) * columns + col;
  const int32_t count = static_cast<int32_t>(cells.size());
  if (index >= count) index = toLast ? count - 1 : -1;
  if (!exact || index < 0) return index;
  const TIEMCell& c = cells[static_cast<size_t>(index)];
  const bool inside = x >= c.X && x <= c.X + IEMCellWidth(g) - 1 && y >= c.Y && y <= c.Y + IEMCellHeight(g);
  return inside ? index : -1;
}
