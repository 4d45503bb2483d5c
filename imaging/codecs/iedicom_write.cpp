// The DICOM writer: the parameters' tag store completed for the frames,
// the preamble, the meta group (always explicit VR little endian), the data
// set, the Pixel Data (native, RLE, JPEG or JPEG 2000, one item a frame when
// encapsulated) and the elements whose tags follow the Pixel Data.
//
// Sections: completing the tags | elements | frames | the three calls
#include <algorithm>
#include <cstring>

#include "imaging/codecs/codecbytes.h"
#include "imaging/codecs/iedicom.h"
#include "imaging/codecs/iepsd.h"
#include "imaging/codecs/jpegfilt.h"
#include "imaging/core/davovevo.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_bitmap.h"
#include "imaging/io/iej2000.h"
#include "imaging/io/imageryio_codecs.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/io/imageryio_registry.h"
#include "platform/rtl/sysutils.h"

using namespace codecbytes;

namespace {

enum class Coding { Native, RLE, Jpeg, Jpeg2000 };

constexpr const char* kExplicitLE = "1.2.840.10008.1.2.1";
constexpr const char* kBigEndian = "1.2.840.10008.1.2.2";
constexpr const char* kRLE = "1.2.840.10008.1.2.5";
constexpr const char* kJpeg = "1.2.840.10008.1.2.4.50";
constexpr const char* kJpeg2000 = "1.2.840.10008.1.2.4.91";

[[noreturn]] void Raise(const char* message) { throw EIEException(message); }
constexpr const char* kLayoutMessage = "DICOM saving: unsupported SamplesPerPixel and/or BitsPerSample";
constexpr const char* kFormatMessage = "DICOM saving: unsupported pixel format";

constexpr uint32_t Tag(uint16_t group, uint16_t element) { return uint32_t{group} << 16 | element; }
constexpr uint32_t kPixelData = Tag(0x7FE0, 0x0010);

}  // namespace

struct TIEDicomWriteContext {
  TStream* Target = nullptr;
  std::unique_ptr<TIEBufferedWriteStream> Out;
  TIEProgressRecord Progress;
  TIOParamsVals* Params = nullptr;
  int32_t FramesAnnounced = 0, FramesWritten = 0;
  Coding Kind = Coding::Native;
  bool LittleEndian = true;
  int32_t Width = 0, Height = 0, Samples = 1, Bits = 8;
  TIEPixelFormat Format = ie8g;
  int64_t OffsetTablePos = 0;   // the first offset-table entry
  int64_t FirstFragmentPos = 0; // just after the offset table
  std::vector<uint8_t> Trailer; // the elements after the Pixel Data
  // 1-bit frames run on across rows and frames: the byte being filled.
  uint8_t PendingBits = 0;
  int32_t PendingCount = 0;
  int64_t NativeBytes = 0;  // written of the Pixel Data so far
  int64_t NativeLength = 0;
};

void TIEDicomWriteContextDeleter::operator()(TIEDicomWriteContext* context) const { delete context; }

namespace {

// ---- completing the tags --------------------------------------------------------------------

Coding CodingOf(const std::string& syntax) {
  if (syntax == kRLE) return Coding::RLE;
  if (syntax == kJpeg) return Coding::Jpeg;
  if (syntax == kJpeg2000) return Coding::Jpeg2000;
  return Coding::Native;
}

std::string Trimmed(const TIEDicomTags& tags, uint16_t group, uint16_t element) {
  std::string text;
  tags.GetTagString(group, element, text);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

// The elements this writer sets or that describe the values of an image
// it does not write: the window, rescale, palette, pixel value ranges,
// the extended offset table and the other pixel data, group lengths
// outside the meta group, and item tags.
void RemoveStale(TIEDicomTags& tags) {
  static constexpr uint32_t kRemoved[] = {
      Tag(0x0028, 0x0106), Tag(0x0028, 0x0107), Tag(0x0028, 0x0108), Tag(0x0028, 0x0109), Tag(0x0028, 0x1050),
      Tag(0x0028, 0x1051), Tag(0x0028, 0x1052), Tag(0x0028, 0x1053), Tag(0x0028, 0x1101), Tag(0x0028, 0x1102),
      Tag(0x0028, 0x1103), Tag(0x0028, 0x1201), Tag(0x0028, 0x1202), Tag(0x0028, 0x1203), Tag(0x7FE0, 0x0001),
      Tag(0x7FE0, 0x0002), Tag(0x7FE0, 0x0008), Tag(0x7FE0, 0x0009), kPixelData,
      Tag(0xFFFE, 0xE000), Tag(0xFFFE, 0xE00D), Tag(0xFFFE, 0xE0DD)};
  for (uint32_t tag : kRemoved) tags.DeleteTag(static_cast<uint16_t>(tag >> 16), static_cast<uint16_t>(tag), true);
  for (int32_t i = tags.Count() - 1; i >= 0; --i) {
    const TIEDicomTag* tag = tags.GetTag(i);
    if (tag->Element == 0 && tag->Group != 2) tags.DeleteTagAt(i);
  }
}

void CompleteTags(TIEDicomWriteContext& c, TIOParamsVals& params) {
  TIEDicomTags& tags = params.DICOMTags;
  const int32_t spp = params.SAMPLESPERPIXEL, bits = params.BITSPERSAMPLE;
  std::string syntax = Trimmed(tags, 0x0002, 0x0010);
  if (syntax != kExplicitLE && syntax != kBigEndian && syntax != kRLE && syntax != kJpeg && syntax != kJpeg2000)
    syntax = kExplicitLE;
  c.Kind = CodingOf(syntax);
  c.LittleEndian = syntax != kBigEndian;
  const bool layout = (spp == 3 && bits == 8) || (spp == 1 && (bits == 1 || bits == 8 || bits == 16));
  // Layouts the codings take: RLE no 1-bit frames, JPEG 8-bit ones, JPEG 2000 no 1-bit frames.
  const bool coded = (c.Kind != Coding::RLE && c.Kind != Coding::Jpeg2000) || bits != 1;
  if (!layout || !coded || (c.Kind == Coding::Jpeg && bits != 8)) Raise(kLayoutMessage);
  // Values mapped for display by setting the display range cannot be saved; stretched or stored ones can.
  if (params.DICOMRangeMode == 1) Raise("DICOM_Range = iedrSetBlackWhite not supported for saving");
  if (params.WIDTH < 1 || params.HEIGHT < 1 || params.WIDTH > 65535 || params.HEIGHT > 65535 ||
      c.FramesAnnounced < 1)
    Raise(kFormatMessage);
  c.Width = params.WIDTH, c.Height = params.HEIGHT, c.Samples = spp, c.Bits = bits;
  c.Format = spp == 3 ? ie24RGB : bits == 1 ? ie1g : bits == 8 ? ie8g : ie16Gray;

  RemoveStale(tags);
  tags.SetTagNumeric(0x0002, 0x0000, 0);
  static constexpr uint8_t kVersion[2] = {0, 1};
  tags.SetTagByteString(0x0002, 0x0001, 2, kVersion);
  tags.SetTagString(0x0002, 0x0010, syntax);
  const bool lossy = c.Kind == Coding::Jpeg || (c.Kind == Coding::Jpeg2000 && params.DICOMJ2000Rate > 0 &&
                                                params.DICOMJ2000Rate < 1);
  tags.SetTagString(0x0028, 0x2110, lossy ? "01" : "00");
  tags.SetTagNumeric(0x0028, 0x0002, spp);
  std::string photometric = "MONOCHROME2";
  if (spp == 3) {
    photometric = "RGB";
    // JPEG colour frames are coded YCbCr 4:2:2; JPEG 2000 ones through its component transform.
    if (c.Kind == Coding::Jpeg) photometric = "YBR_FULL_422";
    if (c.Kind == Coding::Jpeg2000) photometric = lossy ? "YBR_ICT" : "YBR_RCT";
  }
  tags.SetTagString(0x0028, 0x0004, photometric);
  tags.SetTagNumeric(0x0028, 0x0100, bits);
  tags.SetTagNumeric(0x0028, 0x0101, bits);
  tags.SetTagNumeric(0x0028, 0x0102, bits - 1);
  tags.DeleteTag(0x0028, 0x0006, true);
  if (spp == 3) tags.SetTagNumeric(0x0028, 0x0006, c.Kind == Coding::RLE ? 1 : 0);
  tags.SetTagString(0x0028, 0x0008, IntToStr(c.FramesAnnounced));
  tags.SetTagNumeric(0x0028, 0x0011, c.Width);
  tags.SetTagNumeric(0x0028, 0x0010, c.Height);
  tags.SetTagNumeric(0x0028, 0x0103, 0);
  if (tags.IndexOf(0x0008, 0x0016) < 0) tags.SetTagString(0x0008, 0x0016, "1.2.840.10008.5.1.4.1.1.7");
}

// ---- elements ---------------------------------------------------------------------------------

struct ElementWriter {
  bool LittleEndian;
  bool SignedPixels;

  void Put16(std::vector<uint8_t>& out, uint32_t v, bool little) const {
    out.push_back(static_cast<uint8_t>(little ? v : v >> 8));
    out.push_back(static_cast<uint8_t>(little ? v >> 8 : v));
  }
  void Put32(std::vector<uint8_t>& out, uint32_t v, bool little) const {
    Put16(out, little ? v : v >> 16, little);
    Put16(out, little ? v >> 16 : v, little);
  }
  // VRs whose length takes 32 bits after two reserved bytes.
  static bool LongLength(uint8_t vr) {
    return vr == IE_DICOM_OB || vr == IE_DICOM_OW || vr == IE_DICOM_OF || vr == IE_DICOM_SQ || vr == IE_DICOM_UT ||
           vr == IE_DICOM_UN || vr == IE_DICOM_UR;
  }
  void Header(std::vector<uint8_t>& out, uint16_t group, uint16_t element, uint8_t vr, uint32_t length,
              bool little) const {
    Put16(out, group, little);
    Put16(out, element, little);
    std::string name;
    IEDicomVRToName(vr, name);
    out.insert(out.end(), name.begin(), name.end());
    if (LongLength(vr)) {
      Put16(out, 0, little);
      Put32(out, length, little);
    } else {
      Put16(out, length, little);
    }
  }
  // The VR written: US or SS for the dictionary's either-or, UN for none.
  uint8_t WrittenVR(uint8_t vr) const {
    if (vr == IE_DICOM_USSS) return SignedPixels ? uint8_t{IE_DICOM_SS} : uint8_t{IE_DICOM_US};
    return vr < IE_DICOM_USSS ? vr : uint8_t{IE_DICOM_UN};
  }
  static size_t NumberSize(uint8_t vr) {
    switch (vr) {
      case IE_DICOM_US: case IE_DICOM_SS: case IE_DICOM_OW: case IE_DICOM_AT: return 2;
      case IE_DICOM_UL: case IE_DICOM_SL: case IE_DICOM_FL: case IE_DICOM_OF: return 4;
      case IE_DICOM_FD: return 8;
      default: return 1;
    }
  }
  static bool Text(uint8_t vr) {
    return vr != IE_DICOM_UI && vr != IE_DICOM_OB && vr != IE_DICOM_OW && vr != IE_DICOM_OF && vr != IE_DICOM_UN &&
           NumberSize(vr) == 1;
  }

  void Element(std::vector<uint8_t>& out, const TIEDicomTag& tag) const {
    const bool little = LittleEndian || tag.Group == 2;
    uint8_t vr = WrittenVR(tag.VR);
    if (tag.Items) {
      std::vector<uint8_t> body;
      for (const auto& item : *tag.Items) {
        std::vector<uint8_t> content;
        Elements(content, *item, nullptr);
        Put16(body, 0xFFFE, little);
        Put16(body, 0xE000, little);
        Put32(body, static_cast<uint32_t>(content.size()), little);
        body.insert(body.end(), content.begin(), content.end());
      }
      Header(out, tag.Group, tag.Element, IE_DICOM_SQ, static_cast<uint32_t>(body.size()), little);
      out.insert(out.end(), body.begin(), body.end());
      return;
    }
    std::vector<uint8_t> value(tag.Value.begin(), tag.Value.begin() + static_cast<std::ptrdiff_t>(tag.ValueSize()));
    if (vr == IE_DICOM_SQ) value.clear();  // a sequence without items
    if (value.size() % 2) value.push_back(Text(vr) ? ' ' : 0);
    const size_t size = NumberSize(vr);
    if (!little && size > 1)
      for (size_t at = 0; at + size <= value.size(); at += size)
        std::reverse(value.begin() + static_cast<std::ptrdiff_t>(at), value.begin() + static_cast<std::ptrdiff_t>(at + size));
    // A value too long for a 16-bit length goes as OW (16-bit numbers) or UN.
    if (value.size() > 0xFFFE && !LongLength(vr)) vr = size == 2 ? IE_DICOM_OW : IE_DICOM_UN;
    Header(out, tag.Group, tag.Element, vr, static_cast<uint32_t>(value.size()), little);
    out.insert(out.end(), value.begin(), value.end());
  }

  // The elements of a store in key order; with after given, those whose
  // tag follows the Pixel Data go there.
  void Elements(std::vector<uint8_t>& out, const TIEDicomTags& tags, std::vector<uint8_t>* after) const {
    for (int32_t i = 0; i < tags.Count(); ++i) {
      const TIEDicomTag* tag = tags.GetTag(i);
      const bool later = after && Tag(tag->Group, tag->Element) > kPixelData;
      Element(later ? *after : out, *tag);
    }
  }
};

// ---- frames ------------------------------------------------------------------------------------

void Write(TIEDicomWriteContext& c, const void* data, size_t size) {
  if (size) c.Out->WriteBuffer(data, static_cast<int32_t>(size));
}

void WriteLE32At(TIEDicomWriteContext& c, int64_t position, uint32_t value) {
  const int64_t end = c.Out->Position();
  uint8_t b[4];
  PutLE32(b, value);
  c.Out->Seek(position, soBeginning);
  Write(c, b, 4);
  c.Out->Seek(end, soBeginning);
}

// 1-bit rows (most significant bit first) as the standard packs them: least
// significant bit first, running on across rows and frames.
void WriteBits(TIEDicomWriteContext& c, TIEBitmap& bitmap) {
  std::vector<uint8_t> packed;
  for (int32_t y = 0; y < c.Height; ++y) {
    const uint8_t* row = bitmap.GetScanline(y);
    for (int32_t x = 0; x < c.Width; ++x) {
      if ((row[x / 8] >> (7 - x % 8)) & 1) c.PendingBits |= static_cast<uint8_t>(1 << c.PendingCount);
      if (++c.PendingCount == 8) {
        packed.push_back(c.PendingBits);
        c.PendingBits = 0, c.PendingCount = 0;
      }
    }
  }
  Write(c, packed.data(), packed.size());
  c.NativeBytes += static_cast<int64_t>(packed.size());
}

// The samples of a row in file order: red, green, blue; words in the file's byte order.
void RowSamples(TIEDicomWriteContext& c, TIEBitmap& bitmap, int32_t y, std::vector<uint8_t>& out) {
  const uint8_t* row = bitmap.GetScanline(y);
  out.clear();
  switch (c.Format) {
    case ie24RGB:
      for (int32_t x = 0; x < c.Width; ++x) out.insert(out.end(), {row[x * 3 + 2], row[x * 3 + 1], row[x * 3]});
      break;
    case ie16Gray:
      for (int32_t x = 0; x < c.Width; ++x) {
        uint16_t v;
        std::memcpy(&v, row + x * 2, 2);
        out.push_back(static_cast<uint8_t>(c.LittleEndian ? v : v >> 8));
        out.push_back(static_cast<uint8_t>(c.LittleEndian ? v >> 8 : v));
      }
      break;
    default: out.assign(row, row + c.Width); break;
  }
}

void WriteNative(TIEDicomWriteContext& c, TIEBitmap& bitmap) {
  if (c.Format == ie1g) return WriteBits(c, bitmap);
  std::vector<uint8_t> row;
  for (int32_t y = 0; y < c.Height; ++y) {
    RowSamples(c, bitmap, y, row);
    Write(c, row.data(), row.size());
    c.NativeBytes += static_cast<int64_t>(row.size());
  }
}

// RLE: a segment per byte of a sample (high bytes first, planes of
// red, green, blue), every row coded on its own, each segment even.
void CodeRLE(TIEDicomWriteContext& c, TIEBitmap& bitmap, std::vector<uint8_t>& frame) {
  const int32_t segments = c.Format == ie24RGB ? 3 : c.Format == ie16Gray ? 2 : 1;
  frame.assign(64, 0);
  PutLE32(frame.data(), static_cast<uint32_t>(segments));
  std::vector<uint8_t> row, plane(static_cast<size_t>(c.Width));
  for (int32_t k = 0; k < segments; ++k) {
    PutLE32(frame.data() + 4 + k * 4, static_cast<uint32_t>(frame.size()));
    for (int32_t y = 0; y < c.Height; ++y) {
      const uint8_t* pixels = bitmap.GetScanline(y);
      for (int32_t x = 0; x < c.Width; ++x) {
        if (c.Format == ie24RGB)
          plane[x] = pixels[x * 3 + 2 - k];
        else if (c.Format == ie16Gray)
          plane[x] = pixels[x * 2 + 1 - k];
        else
          plane[x] = pixels[x];
      }
      IEPackBitsEncode(plane.data(), plane.size(), frame);
    }
    if (frame.size() % 2) frame.push_back(0);
  }
}

void CodeJpeg(TIEDicomWriteContext& c, TIEBitmap& bitmap, std::vector<uint8_t>& frame) {
  TMemoryStream stream;
  TIOParamsVals params(nullptr);
  params.JPEG_QUALITY = c.Params->DICOMJPEGQuality;
  if (c.Format == ie8g) {
    params.BITSPERSAMPLE = 8;
    params.SAMPLESPERPIXEL = 1;
    params.JPEG_COLORSPACE = 1;
  } else {
    params.JPEG_CROMASUBSAMPLING = 0;  // 4:2:2
  }
  IEWriteJPEGStream(stream, bitmap, params, c.Progress);
  frame.assign(static_cast<const uint8_t*>(stream.Memory()), static_cast<const uint8_t*>(stream.Memory()) + stream.Size());
}

void CodeJpeg2000(TIEDicomWriteContext& c, TIEBitmap& bitmap, std::vector<uint8_t>& frame) {
  TMemoryStream stream;
  TIOParamsVals params(nullptr);
  params.J2000_RATE = c.Params->DICOMJ2000Rate;
  if (c.Format != ie24RGB) {
    params.BITSPERSAMPLE = c.Format == ie8g ? 8 : 16;
    params.SAMPLESPERPIXEL = 1;
    params.J2000_COLORSPACE = 0;
  }
  IEWriteJpeg2000Stream(stream, bitmap, params, c.Progress, 1);
  frame.assign(static_cast<const uint8_t*>(stream.Memory()), static_cast<const uint8_t*>(stream.Memory()) + stream.Size());
}

void WriteEncapsulated(TIEDicomWriteContext& c, TIEBitmap& bitmap) {
  std::vector<uint8_t> frame;
  if (c.Kind == Coding::RLE) CodeRLE(c, bitmap, frame);
  if (c.Kind == Coding::Jpeg) CodeJpeg(c, bitmap, frame);
  if (c.Kind == Coding::Jpeg2000) CodeJpeg2000(c, bitmap, frame);
  if (frame.empty()) Raise(kFormatMessage);
  if (frame.size() % 2) frame.push_back(0);
  const int64_t item = c.Out->Position();
  WriteLE32At(c, c.OffsetTablePos + int64_t{c.FramesWritten} * 4, static_cast<uint32_t>(item - c.FirstFragmentPos));
  uint8_t head[8];
  PutLE16(head, 0xFFFE);
  PutLE16(head + 2, 0xE000);
  PutLE32(head + 4, static_cast<uint32_t>(frame.size()));
  Write(c, head, 8);
  Write(c, frame.data(), frame.size());
}

void WritePixelDataHeader(TIEDicomWriteContext& c) {
  const ElementWriter writer{c.LittleEndian, false};
  std::vector<uint8_t> head;
  if (c.Kind == Coding::Native) {
    const int64_t bits = int64_t{c.Width} * c.Height * c.Samples * c.Bits * c.FramesAnnounced;
    c.NativeLength = (bits + 7) / 8;
    const int64_t even = c.NativeLength + c.NativeLength % 2;
    if (even > 0xFFFFFFFE) Raise(kFormatMessage);
    writer.Header(head, 0x7FE0, 0x0010, c.Bits == 16 ? IE_DICOM_OW : IE_DICOM_OB, static_cast<uint32_t>(even),
                  c.LittleEndian);
    Write(c, head.data(), head.size());
    return;
  }
  writer.Header(head, 0x7FE0, 0x0010, IE_DICOM_OB, 0xFFFFFFFF, true);
  writer.Put16(head, 0xFFFE, true);
  writer.Put16(head, 0xE000, true);
  writer.Put32(head, static_cast<uint32_t>(c.FramesAnnounced) * 4, true);
  Write(c, head.data(), head.size());
  c.OffsetTablePos = c.Out->Position();
  const std::vector<uint8_t> zeros(static_cast<size_t>(c.FramesAnnounced) * 4, 0);
  Write(c, zeros.data(), zeros.size());
  c.FirstFragmentPos = c.Out->Position();
}

}  // namespace

// ---- the three calls ---------------------------------------------------------------------------

TIEDicomWriter IEBeginWriteDICOM(TStream& stream, TIOParamsVals& params, int32_t frameCount,
                                 TIEProgressRecord& progress) {
  TIEDicomWriter c(new TIEDicomWriteContext);
  c->Target = &stream;
  c->Progress = progress;
  c->Params = &params;
  c->FramesAnnounced = frameCount;
  CompleteTags(*c, params);
  const ElementWriter writer{c->LittleEndian, Trimmed(params.DICOMTags, 0x0028, 0x0103) == "1"};
  std::vector<uint8_t> meta, data;
  for (int32_t i = 0; i < params.DICOMTags.Count(); ++i) {
    const TIEDicomTag* tag = params.DICOMTags.GetTag(i);
    if (tag->Group != 2) continue;
    writer.Element(meta, *tag);
  }
  // (0002,0000) is the first meta element: its value counts the bytes after it.
  PutLE32(meta.data() + 8, static_cast<uint32_t>(meta.size() - 12));
  TIEDicomTags rest;
  rest.Assign(params.DICOMTags);
  rest.DeleteTag(0x0002, 0x0000, true);
  for (int32_t i = rest.Count() - 1; i >= 0; --i)
    if (rest.GetTag(i)->Group == 2) rest.DeleteTagAt(i);
  writer.Elements(data, rest, &c->Trailer);
  c->Out = std::make_unique<TIEBufferedWriteStream>(stream, 8192);
  const std::vector<uint8_t> preamble(128, 0);
  Write(*c, preamble.data(), preamble.size());
  Write(*c, "DICM", 4);
  Write(*c, meta.data(), meta.size());
  Write(*c, data.data(), data.size());
  return c;
}

void IEWriteDICOMFrame(TIEDicomWriteContext& c, TIEBitmap& bitmap) {
  if (c.FramesWritten >= c.FramesAnnounced) return;
  if (bitmap.GetPixelFormat() != c.Format || bitmap.GetWidth() != c.Width || bitmap.GetHeight() != c.Height)
    Raise("DICOM saving: the frame differs from the image described");
  if (c.FramesWritten == 0) WritePixelDataHeader(c);
  if (c.Kind == Coding::Native)
    WriteNative(c, bitmap);
  else
    WriteEncapsulated(c, bitmap);
  ++c.FramesWritten;
  c.Progress.Report(static_cast<int32_t>(int64_t{c.FramesWritten} * 100 / c.FramesAnnounced));
}

void IEEndWriteDICOM(TIEDicomWriter context) {
  if (!context) return;
  TIEDicomWriteContext& c = *context;
  if (c.FramesWritten < c.FramesAnnounced) {
    c.Out.reset();
    throw EIEException(Format("DICOM saving: %s of %s frames written",
                              {IntToStr(c.FramesWritten), IntToStr(c.FramesAnnounced)}));
  }
  if (c.Kind == Coding::Native) {
    if (c.PendingCount) Write(c, &c.PendingBits, 1), ++c.NativeBytes;
    if (c.NativeBytes % 2) Write(c, "", 1);
  } else {
    static constexpr uint8_t kDelimiter[8] = {0xFE, 0xFF, 0xDD, 0xE0, 0, 0, 0, 0};
    Write(c, kDelimiter, 8);
  }
  Write(c, c.Trailer.data(), c.Trailer.size());
  c.Out.reset();
}

void IEDicomCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress) {
  const TIEPixelFormat format = bitmap.GetPixelFormat();
  params.SAMPLESPERPIXEL = format == ie24RGB ? 3 : 1;
  params.BITSPERSAMPLE = format == ie1g ? 1 : format == ie16Gray ? 16 : 8;
  params.WIDTH = bitmap.GetWidth();
  params.HEIGHT = bitmap.GetHeight();
  TIEDicomWriter writer = IEBeginWriteDICOM(stream, params, 1, progress);
  IEWriteDICOMFrame(*writer, bitmap);
  IEEndWriteDICOM(std::move(writer));
}
