// Selections of the image view: the records and settings that the view keeps
// for its selection, the polygon of bitmap points that holds a selection as
// outlines, and the routines on polygons that need no view.
//
// Sections: enumerations | selection polygon | view selection state |
// mouse interaction | cursors
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "imaging/core/ruduvazez_mask.h"
#include "platform/forms/controls.h"
#include "platform/rtl/set.h"
#include "platform/win/wintypes.h"

class TBitmap;
class TCanvas;
class TTimer;

// ---- enumerations ---------------------------------------------------------------------

// The grips of a rectangular selection (and of layers).
enum TIEGrip : uint8_t {
  ieNone, ieTopLeft, ieTopRight, ieBottomRight, ieBottomLeft, ieLeftSide, ieRightSide, ieTopSide, ieBottomSide,
  ieRotationCenter
};

enum TIESelectionOption : uint8_t {
  iesoAnimated, iesoSizeable, iesoMoveable, iesoFilled, iesoCutBorders, iesoMarkOuter, iesoCanScroll,
  iesoSelectTranspLayers, iesoRightButtonSelectLayers, iesoRightButtonTerminatePolySelect,
  iesoDisableOneClickDeselect, iesoDisableNewSelection, iesoShowCenter
};
using TIESelectionOptions = Set<TIESelectionOption>;
// 71: animated, sizeable, movable, can scroll.
constexpr TIESelectionOptions IEDefaultSelectionOptions{iesoAnimated, iesoSizeable, iesoMoveable, iesoCanScroll};

// Whether coordinates given to the selection operations are client or bitmap coordinates.
enum TIESelectionBase : uint8_t { iesbClientArea, iesbBitmap };

// Magic-wand methods.
enum TIEMagicWandMode : uint8_t { iewmOutline, iewmRegion, iewmGlobal };

using TIEMouseInResizingGripEvent = std::function<void(TObject* sender, TIEGrip grip)>;
// Fired after each drawn edge with the client position of its end point.
using TIEDrawPolygonEvent =
    std::function<void(TObject* sender, int32_t polygon, int32_t point, TCanvas* canvas, int32_t x, int32_t y)>;

// ---- selection polygon ----------------------------------------------------------------

// One outline of the view's selection: points in bitmap coordinates, a point
// whose x is IEPolygonSeparator starting a new sub-polygon, with the bounding
// box of all other points and how the outline is drawn.
struct TIESelectionPolygon {
  std::vector<POINT> Points;
  TColor Color1 = clBlack;  // dash colours
  TColor Color2 = clWhite;
  bool Animated = true;
  int32_t Phase = 0;        // 0..9, advanced by the outline timer
  int32_t DashCounter = 0;  // position in the dash pattern while a line is drawn
  TCanvas* Canvas = nullptr;
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;  // bounding box; right and bottom exclusive by use
  bool Visible = true;
  bool Sizeable = true;
  bool ShowCenter = false;
  TBitmap* DotBitmap = nullptr;  // 1 x 1 shared by the view, not owned

  int32_t Count() const { return static_cast<int32_t>(Points.size()); }
  bool Empty() const { return Points.empty(); }
  // Appends a point. The box is set from the first two real points (ordered)
  // and widened by every later one; separators do not count.
  void AddPoint(int32_t x, int32_t y);
  // Appends a separator when there are points (the next point starts a new sub-polygon).
  void Break();
  void Clear();
  // Drops the last point (and a separator left at the end).
  void DropLast();
  // Removes the last sub-polygon and the separator before it.
  void RemoveLastSubPolygon();
  // Recomputes the box from the points.
  void RecalcBox();
};

// Exactly four points forming an axis-parallel rectangle.
bool IEIsRectPolygon(const POINT* points, int32_t count);
inline bool IEIsRectPolygon(const TIESelectionPolygon& polygon) {
  return IEIsRectPolygon(polygon.Points.data(), polygon.Count());
}

// Moves the polygon by (dx, dy) within a bitmap of width x height. With cut
// the move is limited (so that the box stays within 0..width, 0..height) only
// when the moved box would lie entirely outside; without cut it is always
// limited and nothing moves while the box would still lie outside. The box
// and every real point are moved and clamped to 0..width, 0..height.
void IEMoveSelectionPolygon(TIESelectionPolygon& polygon, int32_t dx, int32_t dy, bool cut, int32_t width,
                            int32_t height);

// The grip of a rectangle polygon at a client point: corners within gripSize
// of the corner points (top-left, top-right, bottom-right, bottom-left, edges
// included), then sides less than 3 pixels away (left, right, top, bottom).
// toClient maps a bitmap point to the client area.
TIEGrip IERectPolygonGripAt(const TIESelectionPolygon& polygon, int32_t x, int32_t y, int32_t gripSize,
                            bool sideGrips, const std::function<POINT(POINT)>& toClient);

// The points of an ellipse of radii rx, ry (bitmap pixels) around (cx, cy):
// max(truncate(min(rx, ry) x 2 pi), 50) points, each clamped to 0..width, 0..height.
std::vector<POINT> IEEllipsePolygon(int32_t cx, int32_t cy, int32_t rx, int32_t ry, int32_t width, int32_t height);

// The dash colour for a dash counter: 0..3 colour 1, 4..7 colour 2; the counter
// advances and starts again at 0 after 7.
TColor IEOutlineDashColor(TIESelectionPolygon& polygon);

// The outline timer interval after a drawing that took elapsedMs: max(210, elapsed x 100 / divisor).
int32_t IETunedOutlineInterval(int64_t elapsedMs, int32_t divisor);

// ---- view selection state -------------------------------------------------------------

// Everything the image view keeps about its selection besides the polygons and the mask.
struct TIEViewSelectionState {
  bool Exists = false;  // a selection exists
  bool PolygonInProgress = false;
  bool Lasso = false;
  bool RectInProgress = false;
  bool EllipseInProgress = false;
  TIEGrip DraggedGrip = ieNone;
  int32_t MoveState = -1;  // -1 none, 0 moving the selection
  bool RectMove = false;   // the selection being moved is a plain rectangle
  RECT BoxAtMouseDown{};
  int32_t CountAtMouseDown = 0;

  TIESelectionOptions Options = IEDefaultSelectionOptions;
  TIESelectionBase Base = iesbClientArea;
  double AspectRatio = -1;  // -1 free, 0 fixed size, above 0 height/width
  int32_t FixedWidth = 100, FixedHeight = 100;
  bool Constrain = false;     // as if Alt were held
  bool AddWithShift = true;   // Shift adds a region
  TIEMagicWandMode MagicWandMode = iewmOutline;
  int32_t MagicWandTolerance = 15;
  bool MagicWandGrow = false;
  int32_t MaskValue = 1;
  int32_t MaskBitsPerPixel = 1;
  TColor OutlineColor1 = clBlack, OutlineColor2 = clWhite;
  // The unselected area marked with iesoMarkOuter: blended with the colour by
  // the alpha (0..255), or a grey chequer for alpha -1.
  TColor MarkOuterColor = clBlack;
  int32_t MarkOuterAlpha = -1;

  TColor GripPenColor = clBlack;
  TColor GripBrushColor = 0xBAFFFF;  // light yellow: red 255, green 255, blue 186
  TBrushStyle GripBrushStyle = bsSolid;
  int32_t GripSize = 5;  // half width
  int32_t GripShape = 1;  // 0 square, 1 circular
  bool SideGrips = true;

  int32_t TuningDivisor = -20;  // negative: tune the interval with divisor 20
  int32_t AnimationCounter = 0;
  bool DrawingSuppressed = false;  // set while the view scrolls itself during a drag
  bool OutlineDrawing = true;
  RECT LastDrawnRect{};
};

// ---- mouse interaction ----------------------------------------------------------------

enum TIEMouseInteractItems : uint8_t {
  miZoom, miScroll, miSelect, miSelectPolygon, miSelectCircle, miSelectZoom, miSelectMagicWand, miSelectLasso,
  miMoveLayers, miResizeLayers, miRotateLayers, miMovingScroll
};
using TIEMouseInteract = Set<TIEMouseInteractItems>;

// ---- cursors --------------------------------------------------------------------------

// The view's cursors in the screen cursor table.
constexpr TCursor crIEZoomOut = 1778, crIEZoomIn = 1779, crIECross = 1780, crIEEraser = 1781, crIEHand = 1782,
                  crIEPen = 1783, crIECrossHair1 = 1784, crIECrossHair = 1785, crIESizeNWSE = 1786,
                  crIESizeNS = 1787, crIESizeNESW = 1788, crIESizeWE = 1789, crIEMove = 1790,
                  crIECrossHairPlus = 1791, crIECrossHairMinus = 1792, crIECrossHair2 = 1793,
                  crIECrossHair2Plus = 1794, crIECrossHair2Minus = 1795, crIERotateBottomLeft = 1811,
                  crIERotateTopRight = 1812, crIERotateBottomRight = 1813, crIERotateTopLeft = 1814;
