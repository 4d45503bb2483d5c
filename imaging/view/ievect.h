// The image view with a layer of drawn objects: lines, boxes, ellipses,
// arcs, bitmaps, texts, rulers, polylines, angles, memos and lines with
// labels, kept in a heap addressed by integer handles, made from a template
// record, drawn in the order of a drawing list, sharing a pool of bitmaps;
// and the "IEV" stream that stores them, alone or after the view's layers.
//
// Sections: records | extension classes | the view (object model in
// ievect.cpp, streams in ievect_stream.cpp, drawing in ievect_draw.cpp)
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/view/imageryview.h"
#include "platform/win/gdi.h"

// ---- records --------------------------------------------------------------------------------

enum TIEVKind : uint8_t {
  ievkNone, ievkLine, ievkBox, ievkEllipse, ievkArc, ievkBitmap, ievkText, ievkRuler, ievkPolyline, ievkAngle,
  ievkMemo, ievkLineLabel, ievkExtended
};

enum TIEVObjStyle : uint8_t { iosSelectable, iosMovable, iosSizable, iosVisible, iosHideGrips };
constexpr uint8_t IEVDefaultStyle = 15;  // selectable, movable, sizable, visible

enum TIEVLineEnd : uint8_t { ileNone, ileTriangleIn, ileTriangleOut };
enum TIEVLabelBorder : uint8_t { ilbNone, ilbRect, ilbRoundRect, ilbEllipse };

// Handles that name no heap record.
constexpr int32_t IEV_TEMPLATE = -1;
constexpr int32_t IEV_LAST_OBJECT = -2;
constexpr int32_t IEV_ALL_OBJECTS = -3;
constexpr int32_t IEV_SELECTED_OBJECTS = -9;

// Size of one character-format record of the memo editor, stored verbatim.
constexpr int32_t IEVMemoFormatSize = 280;
using TIEVMemoFormat = std::array<uint8_t, IEVMemoFormatSize>;

struct TIEVSoftShadow {
  bool Enabled = false;
  double Radius = 3.0;
  int32_t OffsetX = 0, OffsetY = 0;
  int32_t Intensity = 100;
  TRGB Color{0, 0, 0};
};

struct TIEVDoublePoint {
  double X = 0, Y = 0;
};

class TIEVExtendedObject;

// One drawn object. Owned data are value members; a record copies only
// through TImageryVect::InsertObjectFromTemplate.
struct TIEVObject {
  TIEVObject() = default;
  ~TIEVObject();
  TIEVObject(const TIEVObject&) = delete;
  TIEVObject& operator=(const TIEVObject&) = delete;

  int32_t X1 = 0, Y1 = 0, X2 = 63, Y2 = 63;
  uint8_t Kind = ievkNone;
  int32_t Transparency = 255;
  // With UserDataLen > 0 the record owns a malloc'ed block of that size.
  void* UserData = nullptr;
  int32_t UserDataLen = 0;
  bool KeepAspect = false;
  uint8_t BlendOperation = 0;
  int32_t LayerIndex = 0;
  uint8_t BeginShape = ileNone, EndShape = ileNone;
  int32_t ShapeWidth = 10, ShapeHeight = 20;
  int32_t LabelBrushColor = 0xFFFFFF;
  uint8_t LabelBrushStyle = bsSolid;
  uint8_t LabelAtEnd = 1;
  uint8_t LabelBorder = ilbRect;
  RECT LabelRect{};
  int32_t PenColor = 0xFFFFFF;
  uint8_t PenStyle = psSolid;
  int32_t PenWidth = 1;
  int32_t BrushColor = 0xFFFFFF;
  uint8_t BrushStyle = bsClear;
  bool BoxHighlight = false;
  double ArcStart = 0, ArcEnd = 6.283185307179586;
  int32_t BitmapIndex = -1;
  bool BitmapBorder = false;
  std::optional<std::u16string> Text;        // never holds a carriage return
  std::unique_ptr<LOGFONTW> LogFont;
  uint8_t FontQuality = 0;
  uint8_t TextAlign = 0;
  bool TextAutoSize = false;
  bool MemoUniformFormat = true;
  std::vector<TIEVDoublePoint> CurvePoints;  // fractions of the box; its size is the curve point count
  int32_t CurveCharAngle = -10;
  bool TextEditable = true;
  bool TextFlipAlign = false;
  std::vector<int32_t> MemoCharFormats;      // one per character of Text, or none
  std::vector<TIEVMemoFormat> MemoFormats;
  int32_t MemoLineSpacing = 0;
  int32_t MemoBorderColor = 0xFFFFFF;
  uint8_t MemoBorderStyle = psSolid;
  int32_t MemoLineHeight = 0;
  bool MemoHasBitmap = false;
  std::array<double, 4> MemoMargins{};
  uint8_t MemoTextBrushStyle = bsSolid;
  std::optional<std::string> Name;
  int32_t Tag = 0;
  uint8_t Style = IEVDefaultStyle;
  uint8_t RulerUnit = ieuPIXELS;
  uint8_t RulerType = 2;
  std::vector<POINT> PolyPoints;             // its size is the point count
  RECT PolyBounds{};
  bool PolyClosed = false;
  std::vector<POINT> PolyViewPoints;
  std::array<POINT, 3> AnglePoints{POINT{0, 0}, POINT{50, 0}, POINT{50, 50}};
  RECT DragStartRect{};
  RECT DrawnRect{};
  int32_t DrawnMargin = 0;
  TIEVSoftShadow SoftShadow;
  std::unique_ptr<TIEVExtendedObject> Extended;

  bool HasStyle(TIEVObjStyle style) const { return (Style >> style) & 1; }
  // Frees the owned data: text, font, memo data, curve, points, user data,
  // name and extension object.
  void FreeData();
};

// A polyline point mapped from the points' own space onto the object's box.
POINT IEVPolylinePointToBitmap(const TIEVObject& record, const POINT& point);

// A pool entry: a shared bitmap and the number of objects using it; an
// entry without a bitmap is free.
struct TIEVBitmap {
  std::unique_ptr<TIEBitmap> Bitmap;
  int32_t UseCount = 0;
};

// ---- extension classes ----------------------------------------------------------------------

class TImageryVect;

// The object of a kind-12 record. No class is registered in this program;
// the registry exists so that a stream naming a class can be judged.
class TIEVExtendedObject {
public:
  virtual ~TIEVExtendedObject() = default;
  TImageryVect* Owner = nullptr;
  TIEVObject* Record = nullptr;
  int32_t Handle = -1;
  virtual void Initialize() {}
  // The name the class is registered by.
  virtual std::string ClassName() const = 0;
  virtual void SetHandle(int32_t handle) { Handle = handle; }
  virtual void SaveToStream(TStream& stream) = 0;
  virtual void LoadFromStream(TStream& stream) = 0;
  virtual std::unique_ptr<TIEVExtendedObject> Clone() = 0;
  virtual void Draw(TIEBitmap& target, const RECT& viewRect, double zoomX, double zoomY, bool drawingAlpha) = 0;
};

using TIEVExtendedFactory = std::function<std::unique_ptr<TIEVExtendedObject>()>;
// Registers a class by name (exact, case-sensitive).
void IEVRegisterExtendedClass(const std::string& name, TIEVExtendedFactory factory);
// A new object of the named class; null when the name is not registered.
std::unique_ptr<TIEVExtendedObject> IEVCreateExtendedObject(const std::string& name);
// The registry's start-up (also registers the clipboard format) and shut-down.
void IEVectStartup();
void IEVectShutdown();
// The id of the "IMAGERY VECT" clipboard format (0 before start-up).
uint32_t IEVectClipboardFormat();

// ---- stream tests -------------------------------------------------------------------------------

// "IEV" and an accepted version character at the position; the position is
// kept; never raises.
bool IEIsVectorStream(TStream& stream);
// An int32 position within the stream, a layer file after it and a vector
// stream at that position; the position is kept; never raises.
bool IEIsLayersAndVectorsStream(TStream& stream);

// The version character this program writes, and the oldest it reads.
constexpr char IEVectVersion = 'U';

// ---- the view -----------------------------------------------------------------------------------

using TIEVObjectEvent = std::function<void(TObject* sender, int32_t hobj)>;

class TImageryVect : public TImageryView {
  FORMS_CLASS(TImageryVect)

public:
  explicit TImageryVect(TComponent* owner);
  ~TImageryVect() override;

  // -- records and handles
  // The record of a handle (-1 the template, -2 the last heap record);
  // EIEException "Invalid Object Heap" or "Invalid object index".
  TIEVObject& ObjectRecordOf(int32_t handle);
  int32_t ObjectsCount() const { return static_cast<int32_t>(drawOrder_.size()); }
  int32_t HeapCount() const { return static_cast<int32_t>(heap_.size()); }
  int32_t GetObjFromDrawOrder(int32_t index) const;
  const std::vector<TIEVBitmap>& BitmapPool() const { return pool_; }

  // -- life cycle
  int32_t AddNewObject(bool resetTemplate = false);
  int32_t InsertObjectFromTemplate(const TIEVObject& source);
  void DeleteObjects(int32_t handle);
  void RemoveAllObjects();
  void ResetTemplate();
  void CompactBitmapPool();
  // (0, 0) to one past the largest corner of all objects.
  RECT GetObjectsExtent();

  // -- property operations (repaint unless the handle is the template)
  void SetObjKind(int32_t handle, uint8_t kind);
  void SetObjRect(int32_t handle, const RECT& rect, bool keepAspect = false);
  void SetObjPenColor(int32_t h, int32_t v) { SetField(h, &TIEVObject::PenColor, v); }
  void SetObjPenStyle(int32_t h, uint8_t v) { SetField(h, &TIEVObject::PenStyle, v); }
  void SetObjPenWidth(int32_t h, int32_t v) { SetField(h, &TIEVObject::PenWidth, v); }
  void SetObjBrushColor(int32_t h, int32_t v) { SetField(h, &TIEVObject::BrushColor, v); }
  void SetObjBrushStyle(int32_t h, uint8_t v) { SetField(h, &TIEVObject::BrushStyle, v); }
  void SetObjBoxHighlight(int32_t h, bool v) { SetField(h, &TIEVObject::BoxHighlight, v); }
  void SetObjBeginShape(int32_t h, uint8_t v) { SetField(h, &TIEVObject::BeginShape, v); }
  void SetObjEndShape(int32_t h, uint8_t v) { SetField(h, &TIEVObject::EndShape, v); }
  void SetObjTransparency(int32_t h, int32_t v) { SetField(h, &TIEVObject::Transparency, v); }
  void SetObjTextAlign(int32_t h, uint8_t v) { SetField(h, &TIEVObject::TextAlign, v); }
  void SetObjMemoUniformFormat(int32_t h, bool v) { SetField(h, &TIEVObject::MemoUniformFormat, v); }
  void SetObjMemoBorderStyle(int32_t h, uint8_t v) { SetField(h, &TIEVObject::MemoBorderStyle, v); }
  void SetObjMemoTextBrushStyle(int32_t h, uint8_t v) { SetField(h, &TIEVObject::MemoTextBrushStyle, v); }
  void SetObjPolylineClosed(int32_t h, bool v) { SetField(h, &TIEVObject::PolyClosed, v); }
  void SetObjLayer(int32_t h, int32_t v) { SetField(h, &TIEVObject::LayerIndex, v); }
  int32_t GetObjLayer(int32_t h) { return ObjectRecordOf(h).LayerIndex; }
  void SetObjUserData(int32_t handle, void* data);
  void SetObjUserDataLength(int32_t handle, int32_t length);
  void SetObjBitmap(int32_t handle, TIEBitmap* bitmap);
  // EIEException for an index past the pool; a negative one is stored as is.
  void SetObjBitmapIndex(int32_t handle, int32_t index);
  void SetObjText(int32_t handle, const std::u16string& text);
  void SetObjFont(int32_t handle, TFont* font);
  void SetObjFontHeight(int32_t handle, int32_t height);
  void SetObjFontName(int32_t handle, const std::u16string& name);
  void SetObjFontStyles(int32_t handle, uint8_t styles);
  uint8_t GetObjFontStyles(int32_t handle);
  void SetObjName(int32_t handle, const std::string& name);
  void AddPolylinePoint(int32_t handle, int32_t x, int32_t y);
  void SetObjPolylinePoints(int32_t handle, const std::vector<POINT>& points);
  POINT GetObjPolylinePoint(int32_t handle, int32_t index);
  int32_t GetObjPolylinePointCount(int32_t handle) { return static_cast<int32_t>(ObjectRecordOf(handle).PolyPoints.size()); }

  // -- selection
  void AddSelObject(int32_t handle);
  bool IsSelObject(int32_t handle) const;
  void UnSelObject(int32_t handle);
  void UnSelAllObjects();
  int32_t SelObjectsCount() const { return static_cast<int32_t>(selection_.size()); }
  int32_t GetSelObject(int32_t index) const;

  // -- properties
  bool ShareBitmaps = true;
  bool ZoomObjectsWidth = true;
  TResampleFilter BitmapResampleFilter = rfNone;
  bool ObjAntialias = true;
  bool SelectOnMouseDown = true;
  bool ObjAutoUndo = false;
  bool ObjectsFollowLayers = true;
  bool ObjectDrawingSuspended = false;
  double ScaleFactor = 1.0;
  TIEUnits MUnit = ieuPIXELS;
  int32_t ObjUndoLimit() const { return objUndoLimit_; }
  // A negative limit is refused (EIEException).
  void SetObjUndoLimit(int32_t limit);
  bool ObjectsModified() const { return modified_; }

  // -- events
  TNotifyEvent OnSelectObject;
  TNotifyEvent OnVectorialChanged;
  TIEVObjectEvent OnNewObject;
  TIEVObjectEvent OnUserSelectObject;
  TIEVObjectEvent OnUserDeselectObject;
  virtual void DoVectorialChanged();
  virtual void DoVectorialChangedOnce();
  virtual void DoNewObject(int32_t hobj);

  // -- streams (ievect_stream.cpp)
  void WriteVectorStream(TStream& stream, int32_t handle = IEV_ALL_OBJECTS);
  // False for a foreign magic or version, nothing changed; stream errors
  // raise (EReadError) and leave the objects as they were.
  bool ReadVectorStream(TStream& stream, bool append = false);
  void SaveVectorFile(const std::string& fileName);
  bool LoadVectorFile(const std::string& fileName, bool append = false);
  void WriteLayersAndVectors(TStream& stream, int32_t layerImageFormat);
  bool ReadLayersAndVectors(TStream& stream);
  void SaveLayersAndVectorsToFile(const std::string& fileName, int32_t layerImageFormat);
  bool LoadLayersAndVectorsFromFile(const std::string& fileName);

  // -- drawing (ievect_draw.cpp)
  // All objects (or one handle, or -9 the selected ones) drawn onto bitmap
  // in bitmap coordinates; an empty bitmap is first sized to the extent.
  void DrawObjectsToBitmap(TIEBitmap& bitmap, bool antialias, bool convert, int32_t handle = IEV_ALL_OBJECTS);
  void MergeObjectsToImage(bool antialias, bool convert, int32_t handle = IEV_ALL_OBJECTS);

  // -- overrides of the view
  void RemoveLayer(int32_t index) override;
  void AssignImage(TObject* source) override;
  void DrawLayers(TIEBitmap& dest, std::vector<uint8_t*>* rowCache, bool drawBackground, bool drawOverlays,
                  const RECT* updateRect) override;
  void DrawLayerOverlay(int32_t index, TIEBitmap& dest, const RECT* updateRect) override;

private:
  template <typename T, typename V>
  void SetField(int32_t handle, T TIEVObject::*field, V value) {
    ObjectRecordOf(handle).*field = static_cast<T>(value);
    RepaintFor(handle);
  }
  void RepaintFor(int32_t handle);
  int32_t ResolveHandle(int32_t handle) const;
  void ReleaseBitmapEntry(TIEVObject& record);
  int32_t AddPoolBitmap(std::unique_ptr<TIEBitmap> bitmap);
  void FreeObject(int32_t handle);
  void CopyRecordData(const TIEVObject& source, TIEVObject& dest, int32_t handle);
  // The objects of a stream, already read, taken over (ievect_stream.cpp).
  struct TStaged;
  void TakeOver(TStaged& staged, bool append);
  bool ParseVectorStream(TStream& stream, TStaged& staged);
  void RenderObjects(TIEBitmap& target, bool toView, int32_t layerFilter, int32_t handle, bool antialias);
  void DrawObject(TIEBitmap& target, TIEVObject& o, bool alphaPass, bool antialias);

  std::vector<std::unique_ptr<TIEVObject>> heap_;
  std::vector<int32_t> drawOrder_;
  std::vector<int32_t> selection_;
  TIEVObject template_;
  std::vector<TIEVBitmap> pool_;
  int32_t objUndoLimit_ = 1;
  bool modified_ = false;
  bool changedFired_ = false;
};
