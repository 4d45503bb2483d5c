// The "IEV" vector stream and the layers-and-vectors stream. The stream
// travels inside other files, so its reader trusts nothing: every count and
// length is checked against the bytes that remain, the deflated object block
// is inflated with a bound before any record is read, records are gathered
// into a staging list as they arrive and the view takes them over only once
// the whole stream has been read.
//
// Sections: fields | pool | records (write) | records (read) | the view |
// layers and vectors | stream tests
#include <algorithm>
#include <cstddef>
#include <cmath>
#include <cstring>

#include "imaging/core/iezlib.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/io/imageryio.h"
#include "imaging/view/ievect.h"
#include "imaging/view/imageryview_layers.h"
#include "imaging/view/imageryview_streamio.h"
#include "platform/rtl/encoding.h"
#include "platform/rtl/exceptions.h"

struct TImageryVect::TStaged {
  double ScaleFactor = 1.0;
  std::vector<TIEVBitmap> Pool;
  std::vector<std::unique_ptr<TIEVObject>> Objects;
};

namespace {

[[noreturn]] void Damaged() { throw EReadError("Stream read error"); }

constexpr char kMagic[3] = {'I', 'E', 'V'};
// Groups nest no deeper than this.
constexpr int32_t kMaxGroupDepth = 16;
// No font draws a letter taller than this many pixels.
constexpr int32_t kMaxFontHeight = 32768;
constexpr int32_t kLogFontWSize = 92;
constexpr int32_t kLogFontASize = 60;
constexpr int32_t kPNG = 8, kBMP = 5;

bool AcceptedVersion(uint8_t version) { return version > '0' && version <= static_cast<uint8_t>(IEVectVersion); }

int64_t Remaining(TStream& stream) { return stream.Size() - stream.Position(); }

// A count of units of unitSize bytes that the stream must still hold.
int32_t ReadCount(TStream& stream, int64_t unitSize) {
  const int32_t count = IEReadLE<int32_t>(stream);
  if (count < 0 || count > Remaining(stream) / unitSize) Damaged();
  return count;
}

// ---- fields ------------------------------------------------------------------------------------

void WriteText(TStream& s, const std::u16string& text) {
  IEWriteLE<int32_t>(s, static_cast<int32_t>(text.size()));
  if (!text.empty()) s.WriteBuffer(text.data(), static_cast<int32_t>(text.size() * 2));
}

std::u16string Win1252Text(const std::string& bytes) {
  std::u16string text;
  text.reserve(bytes.size());
  for (char c : bytes) text.push_back(static_cast<char16_t>(Win1252ToUnicode(static_cast<uint8_t>(c))));
  return text;
}

std::string ReadBytes(TStream& s, int32_t count) {
  std::string bytes(static_cast<size_t>(count), '\0');
  if (count > 0) s.ReadBuffer(bytes.data(), count);
  return bytes;
}

std::u16string ReadText(TStream& s, bool wide) {
  if (!wide) return Win1252Text(ReadBytes(s, ReadCount(s, 1)));
  const int32_t count = ReadCount(s, 2);
  std::u16string text(static_cast<size_t>(count), u'\0');
  if (count > 0) s.ReadBuffer(text.data(), count * 2);
  return text;
}

void WriteFont(TStream& s, const LOGFONTW* font) {
  IEWriteLE<uint8_t>(s, font ? 1 : 0);
  if (font) s.WriteBuffer(font, kLogFontWSize);
}

void CheckFontHeight(int32_t height) {
  if (height < -kMaxFontHeight || height > kMaxFontHeight) Damaged();
}

// A face name that fills its 32 characters is cut at 31.
std::unique_ptr<LOGFONTW> ReadFont(TStream& s, bool wide) {
  if (IEReadLE<uint8_t>(s) != 1) return nullptr;
  auto font = std::make_unique<LOGFONTW>();
  if (wide) {
    static_assert(sizeof(LOGFONTW) == kLogFontWSize);
    s.ReadBuffer(font.get(), kLogFontWSize);
  } else {
    static_assert(sizeof(LOGFONTA) == kLogFontASize);
    LOGFONTA narrow;
    s.ReadBuffer(&narrow, kLogFontASize);
    std::memcpy(static_cast<void*>(font.get()), &narrow, offsetof(LOGFONTA, lfFaceName));
    for (int32_t i = 0; i < LF_FACESIZE; ++i)
      font->lfFaceName[i] = static_cast<char16_t>(Win1252ToUnicode(static_cast<uint8_t>(narrow.lfFaceName[i])));
  }
  font->lfFaceName[LF_FACESIZE - 1] = u'\0';
  CheckFontHeight(font->lfHeight);
  return font;
}

// ---- pool ----------------------------------------------------------------------------------------

// Where the PNG that starts at the position ends: after its IEND chunk.
int64_t PngEnd(TStream& s) {
  const int64_t start = s.Position();
  uint8_t signature[8];
  s.ReadBuffer(signature, 8);
  for (;;) {
    uint8_t head[8];
    s.ReadBuffer(head, 8);
    const uint32_t length = (uint32_t{head[0]} << 24) | (uint32_t{head[1]} << 16) | (uint32_t{head[2]} << 8) | head[3];
    if (length > 0x7FFFFFFF || int64_t{length} + 4 > Remaining(s)) Damaged();
    s.SetPosition(s.Position() + length + 4);
    if (std::memcmp(head + 4, "IEND", 4) == 0) break;
  }
  const int64_t end = s.Position();
  s.SetPosition(start);
  return end;
}

// Where the BMP file that starts at the position ends, by its header's size.
int64_t BmpEnd(TStream& s) {
  const int64_t start = s.Position();
  uint8_t head[6];
  s.ReadBuffer(head, 6);
  uint32_t size;
  std::memcpy(&size, head + 2, 4);
  if (size < 6 || size > Remaining(s) + 6) Damaged();
  s.SetPosition(start);
  return start + size;
}

// The image is decoded from its own bytes, so the stream is left right
// after it whatever the decoder reads ahead.
std::unique_ptr<TIEBitmap> ReadPoolImage(TStream& s, int32_t format) {
  const int64_t end = format == kPNG ? PngEnd(s) : BmpEnd(s);
  const std::string bytes = ReadBytes(s, static_cast<int32_t>(end - s.Position()));
  TIEMemStream image(bytes.data(), static_cast<int64_t>(bytes.size()));
  auto bitmap = std::make_unique<TIEBitmap>();
  IEReadLayerImage(image, *bitmap, format, false);
  if (bitmap->GetWidth() <= 0 || bitmap->GetHeight() <= 0) Damaged();
  return bitmap;
}

// The alpha block of the versions that stored it apart: its rows from the
// last to the first, deflated.
void ReadAlphaBlock(TStream& s, TIEBitmap& bitmap) {
  const int32_t size = ReadCount(s, 1);
  const std::string packed = ReadBytes(s, size);
  TIEBitmap& alpha = *bitmap.GetAlphaChannel();
  const int64_t rowLength = alpha.RowLength64();
  const int64_t expected = rowLength * alpha.GetHeight();
  std::vector<uint8_t> rows;
  try {
    rows = ZDecompressBuffer(packed.data(), packed.size(), 0, static_cast<size_t>(expected));
  } catch (const EZLibError&) {
    Damaged();
  }
  if (static_cast<int64_t>(rows.size()) < expected) Damaged();
  for (int32_t y = 0; y < alpha.GetHeight(); ++y)
    std::memcpy(alpha.GetScanline(alpha.GetHeight() - 1 - y), rows.data() + y * rowLength,
                static_cast<size_t>(rowLength));
}

// ---- records (write) -------------------------------------------------------------------------------

bool BearsText(uint8_t kind) { return kind == ievkText || kind == ievkLineLabel || kind == ievkExtended; }

void WriteRecord(TStream& s, const TIEVObject& o, int32_t handle) {
  IEWriteLE<int32_t>(s, handle);
  for (int32_t v : {o.X1, o.Y1, o.X2, o.Y2}) IEWriteLE<int32_t>(s, v);
  IEWriteLE<uint8_t>(s, o.Kind);
  IEWriteBool(s, o.KeepAspect);
  IEWriteLE<uint8_t>(s, o.BlendOperation);
  IEWriteLE<int32_t>(s, o.LayerIndex);
  const TIEVSoftShadow& shadow = o.SoftShadow;
  IEWriteBool(s, shadow.Enabled);
  IEWriteLE<double>(s, shadow.Radius);
  IEWriteLE<int32_t>(s, shadow.OffsetX);
  IEWriteLE<int32_t>(s, shadow.OffsetY);
  IEWriteLE<int32_t>(s, shadow.Intensity);
  for (uint8_t v : {shadow.Color.b, shadow.Color.g, shadow.Color.r}) IEWriteLE<uint8_t>(s, v);
  const std::string name = o.Name.value_or(std::string());
  IESaveAnsiStringToStream(s, name);
  IEWriteLE<int32_t>(s, o.Tag);
  IEWriteLE<int32_t>(s, o.PenColor);
  IEWriteLE<uint8_t>(s, o.PenStyle);
  IEWriteLE<int32_t>(s, o.PenWidth);
  IEWriteLE<int32_t>(s, o.BrushColor);
  IEWriteLE<uint8_t>(s, o.BrushStyle);
  IEWriteLE<uint8_t>(s, o.Style);
  IEWriteLE<int32_t>(s, o.Transparency);
  IEWriteBool(s, o.BoxHighlight);
  IEWriteLE<uint8_t>(s, o.FontQuality);
  const bool block = o.UserDataLen > 0 && o.UserData;
  IEWriteLE<int32_t>(s, block ? o.UserDataLen : 0);
  if (block) s.WriteBuffer(o.UserData, o.UserDataLen);
  // A group header of its own has no children; the count keeps the stream readable.
  if (o.Kind == ievkNone) {
    IEWriteLE<int32_t>(s, 0);
    return;
  }
  if (o.Kind == ievkLineLabel) {
    IEWriteLE<int32_t>(s, o.LabelBrushColor);
    IEWriteLE<uint8_t>(s, o.LabelBrushStyle);
    IEWriteLE<uint8_t>(s, o.LabelAtEnd);
    IEWriteLE<uint8_t>(s, o.LabelBorder);
  }
  if (o.Kind == ievkLine || o.Kind == ievkLineLabel) {
    IEWriteLE<uint8_t>(s, o.BeginShape);
    IEWriteLE<uint8_t>(s, o.EndShape);
    IEWriteLE<int32_t>(s, o.ShapeWidth);
    IEWriteLE<int32_t>(s, o.ShapeHeight);
  }
  if (o.Kind == ievkArc) {
    IEWriteLE<double>(s, o.ArcStart);
    IEWriteLE<double>(s, o.ArcEnd);
  }
  if (o.Kind == ievkBitmap) {
    IEWriteLE<int32_t>(s, o.BitmapIndex);
    IEWriteBool(s, o.BitmapBorder);
    WriteText(s, std::u16string());
  }
  if (BearsText(o.Kind)) {
    IEWriteLE<uint8_t>(s, o.TextAlign);
    IEWriteBool(s, o.TextAutoSize);
    WriteText(s, o.Text.value_or(std::u16string()));
    WriteFont(s, o.LogFont.get());
    IEWriteLE<int32_t>(s, static_cast<int32_t>(o.CurvePoints.size()));
    if (!o.CurvePoints.empty()) {
      for (const TIEVDoublePoint& p : o.CurvePoints) {
        IEWriteLE<double>(s, p.X);
        IEWriteLE<double>(s, p.Y);
      }
      IEWriteLE<int32_t>(s, o.CurveCharAngle);
    }
    IEWriteBool(s, o.TextFlipAlign);
  }
  if (o.Kind == ievkMemo) {
    const std::u16string text = o.Text.value_or(std::u16string());
    WriteText(s, text);
    WriteFont(s, o.LogFont.get());
    const bool formats = !o.MemoCharFormats.empty() && o.MemoCharFormats.size() == text.size();
    IEWriteBool(s, formats);
    if (formats)
      for (int32_t f : o.MemoCharFormats) IEWriteLE<int32_t>(s, f);
    IEWriteLE<int32_t>(s, static_cast<int32_t>(o.MemoFormats.size()));
    for (const TIEVMemoFormat& f : o.MemoFormats) s.WriteBuffer(f.data(), IEVMemoFormatSize);
    IEWriteBool(s, o.MemoUniformFormat);
    IEWriteBool(s, o.TextAutoSize);
    IEWriteLE<int32_t>(s, o.MemoLineSpacing);
    IEWriteLE<int32_t>(s, o.MemoBorderColor);
    IEWriteLE<uint8_t>(s, o.MemoBorderStyle);
    IEWriteLE<uint8_t>(s, o.TextAlign);
    IEWriteLE<int32_t>(s, o.MemoLineHeight);
    IEWriteBool(s, o.MemoHasBitmap);
    if (o.MemoHasBitmap) {
      IEWriteLE<int32_t>(s, o.BitmapIndex);
      IEWriteBool(s, o.BitmapBorder);
    }
    for (double m : o.MemoMargins) IEWriteLE<double>(s, m);
    IEWriteLE<uint8_t>(s, o.MemoTextBrushStyle);
  }
  IEWriteBool(s, o.TextEditable);
  if (o.Kind == ievkRuler) {
    IEWriteLE<uint8_t>(s, o.RulerUnit);
    IEWriteLE<uint8_t>(s, o.RulerType);
    WriteFont(s, o.LogFont.get());
  }
  if (o.Kind == ievkPolyline) {
    IEWriteLE<int32_t>(s, static_cast<int32_t>(o.PolyPoints.size()));
    for (const POINT& p : o.PolyPoints) {
      IEWriteLE<int32_t>(s, p.x);
      IEWriteLE<int32_t>(s, p.y);
    }
    for (int32_t v : {o.PolyBounds.left, o.PolyBounds.top, o.PolyBounds.right, o.PolyBounds.bottom})
      IEWriteLE<int32_t>(s, v);
    IEWriteBool(s, o.PolyClosed);
  }
  if (o.Kind == ievkAngle) {
    for (const POINT& p : o.AnglePoints) {
      IEWriteLE<int32_t>(s, p.x);
      IEWriteLE<int32_t>(s, p.y);
    }
    WriteFont(s, o.LogFont.get());
  }
  if (o.Kind == ievkExtended) {
    IEWriteBool(s, false);  // no extension class is registered in this program
  }
}

// ---- records (read) ---------------------------------------------------------------------------------

// What reading one stream needs besides the stream: its version, the size
// of its own pool and the template's font for the defaults of old versions.
struct TRecordReader {
  TStream& s;
  uint8_t version;
  int32_t poolSize;
  const LOGFONTW* templateFont;
  std::vector<std::unique_ptr<TIEVObject>>& objects;

  bool From(char v) const { return version >= static_cast<uint8_t>(v); }
  bool Wide() const { return From('U'); }

  int32_t I32() { return IEReadLE<int32_t>(s); }
  uint8_t U8() { return IEReadLE<uint8_t>(s); }
  double F64() { return IEReadLE<double>(s); }

  std::unique_ptr<LOGFONTW> DefaultFont(int32_t height) const {
    auto font = templateFont ? std::make_unique<LOGFONTW>(*templateFont) : std::make_unique<LOGFONTW>();
    font->lfHeight = height;
    std::fill(std::begin(font->lfFaceName), std::end(font->lfFaceName), u'\0');
    std::copy_n(u"Arial", 5, font->lfFaceName);
    return font;
  }

  int32_t BitmapIndex() {
    const int32_t index = I32();
    if (index < -1 || index >= poolSize) Damaged();
    return index;
  }

  void Records(int32_t count, int32_t depth) {
    for (int32_t i = 0; i < count; ++i) Record(depth);
  }

  void Record(int32_t depth) {
    auto o = std::make_unique<TIEVObject>();
    if (From('<')) I32();
    o->X1 = I32(), o->Y1 = I32(), o->X2 = I32(), o->Y2 = I32();
    o->Kind = U8();
    if (From('M')) o->KeepAspect = U8() != 0;
    if (From('R')) o->BlendOperation = U8();
    if (From('S')) o->LayerIndex = I32();
    TIEVSoftShadow& shadow = o->SoftShadow;
    shadow.OffsetX = shadow.OffsetY = 2;
    if (From('=')) {
      shadow.Enabled = U8() != 0;
      shadow.Radius = F64();
      if (!std::isfinite(shadow.Radius)) Damaged();
      shadow.OffsetX = I32();
      shadow.OffsetY = I32();
    }
    if (From('O')) {
      shadow.Intensity = I32();
      shadow.Color.b = U8(), shadow.Color.g = U8(), shadow.Color.r = U8();
    }
    const std::string name = ReadBytes(s, ReadCount(s, 1));
    o->Name = Wide() ? name : Utf16ToUtf8(Win1252Text(name));
    o->Tag = I32();
    o->PenColor = I32();
    o->PenStyle = U8();
    o->PenWidth = I32();
    o->BrushColor = I32();
    o->BrushStyle = U8();
    o->Style = U8();
    if (From('=')) o->Transparency = I32();
    if (From('@')) o->BoxHighlight = U8() != 0;
    if (From('Q')) o->FontQuality = U8();
    if (From('I')) {
      const int32_t length = ReadCount(s, 1);
      if (length > 0) {
        const std::string data = ReadBytes(s, length);
        o->UserData = std::malloc(static_cast<size_t>(length));
        if (!o->UserData) Damaged();
        std::memcpy(o->UserData, data.data(), data.size());
        o->UserDataLen = length;
      }
    }
    if (o->Kind == ievkNone) {
      // A group header: its children take its place.
      if (depth >= kMaxGroupDepth) Damaged();
      Records(ReadCount(s, 1), depth + 1);
      return;
    }
    if (o->Kind == ievkLineLabel) {
      o->LabelBrushColor = I32();
      o->LabelBrushStyle = U8();
      o->LabelAtEnd = U8();
      o->LabelBorder = From('P') ? U8() : uint8_t{ilbNone};
    }
    if (o->Kind == ievkLine || o->Kind == ievkLineLabel) {
      o->BeginShape = U8();
      o->EndShape = U8();
      o->ShapeWidth = I32();
      o->ShapeHeight = I32();
    }
    if (o->Kind == ievkArc) {
      o->ArcStart = F64();
      o->ArcEnd = F64();
    }
    if (o->Kind == ievkBitmap) {
      o->BitmapIndex = BitmapIndex();
      if (From('B')) o->BitmapBorder = U8() != 0;
      if (From('F')) ReadText(s, Wide());
    }
    if (BearsText(o->Kind)) TextFields(*o);
    if (o->Kind == ievkMemo) MemoFields(*o);
    o->TextEditable = From('J') ? U8() != 0 : true;
    if (o->Kind == ievkRuler) {
      if (From('5')) o->RulerUnit = U8(), o->RulerType = U8();
      else o->RulerUnit = o->RulerType = 0;
      if (From('A')) o->LogFont = ReadFont(s, Wide());
      if (!o->LogFont) o->LogFont = DefaultFont(12);
    }
    if (o->Kind == ievkPolyline && From('8')) {
      const int32_t count = ReadCount(s, 8);
      for (int32_t i = 0; i < count; ++i) {
        const int32_t x = I32();
        o->PolyPoints.push_back(POINT{x, I32()});
      }
      o->PolyBounds.left = I32(), o->PolyBounds.top = I32();
      o->PolyBounds.right = I32(), o->PolyBounds.bottom = I32();
      if (From(';')) o->PolyClosed = U8() != 0;
    }
    if (o->Kind == ievkAngle) {
      if (From(':'))
        for (POINT& p : o->AnglePoints) p.x = I32(), p.y = I32();
      if (From('K')) o->LogFont = ReadFont(s, Wide());
      else o->LogFont = DefaultFont(10);
    }
    if (o->Kind == ievkExtended && From('N') && U8() != 0) {
      const std::string className = ReadBytes(s, ReadCount(s, 1));
      o->Extended = IEVCreateExtendedObject(className);
      // The data of a class this program does not know has no length to skip by.
      if (!o->Extended) Damaged();
      o->Extended->LoadFromStream(s);
    }
    objects.push_back(std::move(o));
  }

  void TextFields(TIEVObject& o) {
    o.TextAlign = From('4') ? U8() : 0;
    o.TextAutoSize = From('9') && U8() != 0;
    o.Text = ReadText(s, Wide());
    o.LogFont = ReadFont(s, Wide());
    const int32_t points = From('?') ? ReadCount(s, 16) : 0;
    for (int32_t i = 0; i < points; ++i) {
      const double x = F64(), y = F64();
      o.CurvePoints.push_back(TIEVDoublePoint{x, y});
    }
    o.CurveCharAngle = points >= 1 ? I32() : -10;
    if (From('T')) o.TextFlipAlign = U8() != 0;
  }

  void MemoFields(TIEVObject& o) {
    o.Text = ReadText(s, Wide());
    o.LogFont = ReadFont(s, Wide());
    const bool perCharacter = !From('C') || U8() != 0;
    std::vector<int32_t> charFormats;
    if (perCharacter) {
      const auto count = static_cast<int64_t>(o.Text->size());
      if (count > Remaining(s) / 4) Damaged();
      for (int64_t i = 0; i < count; ++i) charFormats.push_back(I32());
    }
    const int32_t formatCount = ReadCount(s, IEVMemoFormatSize);
    for (int32_t i = 0; i < formatCount; ++i) {
      TIEVMemoFormat format;
      s.ReadBuffer(format.data(), IEVMemoFormatSize);
      int32_t height;
      std::memcpy(&height, format.data() + 260, 4);
      CheckFontHeight(height);
      o.MemoFormats.push_back(format);
    }
    for (int32_t f : charFormats)
      if (f < 0 || f >= formatCount) Damaged();
    if (!o.Text->empty()) o.MemoCharFormats = std::move(charFormats);
    o.MemoUniformFormat = U8() != 0;
    o.TextAutoSize = U8() != 0;
    o.MemoLineSpacing = I32();
    o.MemoBorderColor = I32();
    o.MemoBorderStyle = U8();
    o.TextAlign = U8();
    o.MemoLineHeight = I32();
    if (From('I')) o.MemoHasBitmap = U8() != 0;
    if (o.MemoHasBitmap) {
      o.BitmapIndex = BitmapIndex();
      o.BitmapBorder = U8() != 0;
    }
    if (From('H'))
      for (double& m : o.MemoMargins) m = F64();
    o.MemoTextBrushStyle = From('L') ? U8() : 0;
  }
};

}  // namespace

// ---- the view ------------------------------------------------------------------------------------------

void TImageryVect::WriteVectorStream(TStream& stream, int32_t handle) {
  CompactBitmapPool();
  const int64_t start = stream.Position();
  stream.WriteBuffer(kMagic, 3);
  IEWriteLE<uint8_t>(stream, static_cast<uint8_t>(IEVectVersion));
  IEWriteLE<int32_t>(stream, 0);
  IEWriteLE<double>(stream, ScaleFactor);
  IEWriteLE<int32_t>(stream, static_cast<int32_t>(pool_.size()));
  for (size_t i = 0; i < pool_.size(); ++i) {
    const TIEVBitmap& entry = pool_[i];
    const int32_t uses = entry.UseCount - (static_cast<int32_t>(i) == template_.BitmapIndex ? 1 : 0);
    const bool image = uses > 0 && entry.Bitmap;
    IEWriteLE<int32_t>(stream, image ? uses : 0);
    if (image) IEWriteLayerImage(stream, *entry.Bitmap, kPNG);
  }
  {
    TZCompressionStream block(stream, zcDefault);
    if (handle == IEV_ALL_OBJECTS) {
      IEWriteLE<int32_t>(block, ObjectsCount());
      for (int32_t h : drawOrder_) WriteRecord(block, *heap_[static_cast<size_t>(h)], h);
    } else {
      const int32_t h = ResolveHandle(handle);
      const TIEVObject& record = ObjectRecordOf(h);
      IEWriteLE<int32_t>(block, 1);
      WriteRecord(block, record, h);
    }
    block.Finish();
  }
  const int64_t end = stream.Position();
  if (end - start > INT32_MAX) throw EWriteError("Stream write error");
  stream.SetPosition(start + 4);
  IEWriteLE<int32_t>(stream, static_cast<int32_t>(end - start));
  stream.SetPosition(end);
}

bool TImageryVect::ParseVectorStream(TStream& stream, TStaged& staged) {
  const int64_t start = stream.Position();
  uint8_t head[4];
  if (stream.Read(head, 4) != 4 || std::memcmp(head, kMagic, 3) != 0 || !AcceptedVersion(head[3])) {
    stream.SetPosition(start);
    return false;
  }
  const uint8_t version = head[3];
  const int32_t length = IEReadLE<int32_t>(stream);
  if (version == '1') {
    staged.ScaleFactor = IEReadLE<int32_t>(stream);
  } else {
    staged.ScaleFactor = IEReadLE<double>(stream);
  }
  if (!std::isfinite(staged.ScaleFactor)) Damaged();
  const int32_t poolSize = ReadCount(stream, 4);
  const int32_t imageFormat = version <= '2' ? kBMP : kPNG;
  for (int32_t i = 0; i < poolSize; ++i) {
    TIEVBitmap entry;
    if (IEReadLE<int32_t>(stream) > 0) {
      entry.Bitmap = ReadPoolImage(stream, imageFormat);
      if (version >= '7' && version <= '<') ReadAlphaBlock(stream, *entry.Bitmap);
    }
    staged.Pool.push_back(std::move(entry));
  }
  // The block ends where the length field says when that is within the
  // stream, else at the stream's end.
  const int64_t fieldEnd = start + int64_t{length};
  const int64_t blockEnd = length > 0 && fieldEnd >= stream.Position() && fieldEnd <= stream.Size() ? fieldEnd
                                                                                                       : stream.Size();
  const std::string packed = ReadBytes(stream, static_cast<int32_t>(std::min<int64_t>(blockEnd - stream.Position(), INT32_MAX)));
  std::vector<uint8_t> records;
  try {
    records = ZDecompressBuffer(packed.data(), packed.size());
  } catch (const EZLibError&) {
    Damaged();
  }
  TIEMemStream block(records.data(), static_cast<int64_t>(records.size()));
  TRecordReader reader{block, version, poolSize, template_.LogFont.get(), staged.Objects};
  reader.Records(ReadCount(block, 1), 0);
  stream.SetPosition(blockEnd);
  return true;
}

void TImageryVect::TakeOver(TStaged& staged, bool append) {
  if (!append) {
    const bool autoUndo = ObjAutoUndo;
    ObjAutoUndo = false;
    RemoveAllObjects();
    ObjAutoUndo = autoUndo;
  }
  const auto base = static_cast<int32_t>(pool_.size());
  for (TIEVBitmap& entry : staged.Pool) pool_.push_back(TIEVBitmap{std::move(entry.Bitmap), 0});
  const bool share = ShareBitmaps;
  ShareBitmaps = true;
  for (auto& record : staged.Objects) {
    if (record->BitmapIndex >= 0) record->BitmapIndex += base;
    const int32_t handle = InsertObjectFromTemplate(*record);
    TIEVObject& mine = *heap_[static_cast<size_t>(handle)];
    std::swap(mine.UserData, record->UserData);
    std::swap(mine.UserDataLen, record->UserDataLen);
  }
  ShareBitmaps = share;
  ScaleFactor = staged.ScaleFactor;
  DoVectorialChanged();
  RepaintFor(0);
}

bool TImageryVect::ReadVectorStream(TStream& stream, bool append) {
  TStaged staged;
  if (!ParseVectorStream(stream, staged)) return false;
  TakeOver(staged, append);
  return true;
}

void TImageryVect::SaveVectorFile(const std::string& fileName) {
  if (fileName.empty()) return;
  TIEWideFileStream file(fileName, IE_FILE_CREATE);
  WriteVectorStream(file);
}

bool TImageryVect::LoadVectorFile(const std::string& fileName, bool append) {
  if (fileName.empty()) return false;
  TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  const bool result = ReadVectorStream(file, append);
  if (HasIO()) {
    GetIO()->Params().FILENAME = fileName;
    GetIO()->Params().FILETYPE = 25;
  }
  return result;
}

// ---- layers and vectors ------------------------------------------------------------------------------

void TImageryVect::WriteLayersAndVectors(TStream& stream, int32_t layerImageFormat) {
  const int64_t field = stream.Position();
  IEWriteLE<int32_t>(stream, 0);
  SaveLayersToStream(stream, layerImageFormat);
  const int64_t position = stream.Position();
  if (position > INT32_MAX) throw EWriteError("Stream write error");
  stream.SetPosition(field);
  IEWriteLE<int32_t>(stream, static_cast<int32_t>(position));
  stream.SetPosition(position);
  WriteVectorStream(stream);
}

bool TImageryVect::ReadLayersAndVectors(TStream& stream) {
  const int32_t position = IEReadLE<int32_t>(stream);
  if (position < 0 || position > stream.Size()) Damaged();
  const int64_t layers = stream.Position();
  // The objects are read first, so that damaged ones leave the layers alone too.
  stream.SetPosition(position);
  TStaged staged;
  if (!ParseVectorStream(stream, staged)) return false;
  const int64_t end = stream.Position();
  stream.SetPosition(layers);
  if (!LoadLayersFromStream(stream)) return false;
  stream.SetPosition(end);
  TakeOver(staged, false);
  return true;
}

void TImageryVect::SaveLayersAndVectorsToFile(const std::string& fileName, int32_t layerImageFormat) {
  if (fileName.empty()) return;
  TIEWideFileStream file(fileName, IE_FILE_CREATE);
  WriteLayersAndVectors(file, layerImageFormat);
}

bool TImageryVect::LoadLayersAndVectorsFromFile(const std::string& fileName) {
  if (fileName.empty()) return false;
  TIEWideFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  const bool result = ReadLayersAndVectors(file);
  if (HasIO()) {
    GetIO()->Params().FILENAME = fileName;
    GetIO()->Params().FILETYPE = 27;
  }
  return result;
}

// ---- stream tests --------------------------------------------------------------------------------------

bool IEIsVectorStream(TStream& stream) {
  try {
    const int64_t position = stream.Position();
    uint8_t head[4];
    const bool found = stream.Read(head, 4) == 4 && std::memcmp(head, kMagic, 3) == 0 && AcceptedVersion(head[3]);
    stream.SetPosition(position);
    return found;
  } catch (const Exception&) {
    return false;
  }
}

bool IEIsLayersAndVectorsStream(TStream& stream) {
  try {
    const int64_t position = stream.Position();
    int32_t vectors = -1;
    bool found = stream.Read(&vectors, 4) == 4 && vectors >= 0 && vectors <= stream.Size() - 4 &&
                 IEIsLayersStream(stream);
    if (found) {
      stream.SetPosition(vectors);
      found = IEIsVectorStream(stream);
    }
    stream.SetPosition(position);
    return found;
  } catch (const Exception&) {
    return false;
  }
}
