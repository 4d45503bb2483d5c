// The grid of the thumbnail view: cell size from the raw thumbnail size and
// the zoom, the information column, columns and rows, centring, the cell of
// every entry, the scroll extent and the entry at a point. Pure arithmetic
// over a description of the view, so that drawing, input and scrolling share
// one answer.
#pragma once

#include <cstdint>
#include <vector>

// What the layout needs to know of the view.
struct TIEMGridGeometry {
  int32_t ClientWidth = 0;
  int32_t ClientHeight = 0;
  int32_t RawThumbWidth = 100;
  int32_t RawThumbHeight = 100;
  double Zoom = 100;  // percent
  int32_t HorizBorder = 4;
  int32_t VertBorder = 4;
  int32_t Columns = 0;          // effective column setting: -1 fit the width, 0 one row, n columns
  bool FlatAndWide = false;     // cells carry an information column to the right
  bool CenterColumn = false;    // grid mode centring
  bool SingleMode = false;      // one entry shown at a time
  int32_t Count = 0;            // entries
};

// A cell's place: left and top in view coordinates, grid row and column.
struct TIEMCell {
  int32_t X = 0;
  int32_t Y = 0;
  int32_t Row = 0;
  int32_t Col = 0;
};

// The smallest zoom the view takes: a zoom of 0 or below would make every
// cell empty and every later zoom step a multiple of nothing.
constexpr double IEMMinZoom = 0.01;
double IEMClampZoom(double zoom);

// trunc(raw x zoom / 100).
int32_t IEMZoomedSize(int32_t raw, double zoom);
int32_t IEMInfoWidth(const TIEMGridGeometry& g);
int32_t IEMCellWidth(const TIEMGridGeometry& g);
int32_t IEMCellHeight(const TIEMGridGeometry& g);
// Distance from one cell to the next, at least 1.
int32_t IEMColumnPitch(const TIEMGridGeometry& g);
int32_t IEMRowPitch(const TIEMGridGeometry& g);
int32_t IEMColumnCount(const TIEMGridGeometry& g);
int32_t IEMRowCount(const TIEMGridGeometry& g);
int32_t IEMHorizCentring(const TIEMGridGeometry& g);
int32_t IEMVertCentring(const TIEMGridGeometry& g);

// Places Count cells; the extent covers the last cell and one border.
void IEMLayoutCells(const TIEMGridGeometry& g, std::vector<TIEMCell>& cells, int32_t& extentX, int32_t& extentY);

// The entry at (x, y) in view coordinates (scroll position added), -1 for
// none; past the last entry the last one when toLast is set. With exact the
// point must lie on the entry's cell. singleIndex answers in single mode.
int32_t IEMEntryAtPoint(const TIEMGridGeometry& g, const std::vector<TIEMCell>& cells, int32_t x, int32_t y,
                        bool exact, bool toLast, int32_t singleIndex);
