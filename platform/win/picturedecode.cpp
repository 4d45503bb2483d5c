// Picture decoders: PNG (libpng's simplified reader), JPEG (libjpeg with a
// jumping error handler), BMP, GIF and icon/cursor files (our own,
// bounds-checked at every read).
#include "platform/win/picturedecode.h"

#include "platform/display/display.h"

#include <png.h>
// jpeglib.h needs size_t and FILE declared first.
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>

#include "platform/win/jpegglue.h"

#include <algorithm>
#include <csetjmp>
#include <cstdlib>
#include <cstring>

namespace {

// Run-length pictures that claim more pixels than this per byte of their
// data are damaged headers; small ones are always allowed.
constexpr int64_t kMaxPixelsPerRleByte = 1024, kRleSlackPixels = 65536;

bool SizeOk(int64_t w, int64_t h) {
  return w > 0 && h > 0 && w * h <= kMaxPicturePixels && w < (1 << 24) && h < (1 << 24);
}

bool Allocate(DecodedPicture& out, int w, int h, uint32_t fill = 0) {
  if (!SizeOk(w, h)) return false;
  try {
    out.pixels.assign(static_cast<size_t>(w) * static_cast<size_t>(h), fill);
  } catch (const std::bad_alloc&) {
    return false;
  }
  out.width = w;
  out.height = h;
  return true;
}

bool Fail(DecodedPicture& out) {
  out = DecodedPicture{};
  return false;
}

uint32_t Le16(const uint8_t* p) { return p[0] | (uint32_t{p[1]} << 8); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | (Le16(p + 2) << 16); }

// ---------------------------------------------------------------- PNG ---

// Every chunk's declared length fits in the data: libpng allocates what a
// chunk declares before it reads it, so a 44-byte file could cost 2 GiB.
bool PngChunksFit(const uint8_t* data, size_t size) {
  size_t at = 8;
  while (at + 8 <= size) {
    const size_t length = static_cast<size_t>(data[at]) << 24 | static_cast<size_t>(data[at + 1]) << 16 |
                          static_cast<size_t>(data[at + 2]) << 8 | data[at + 3];
    if (length > size - at - 8 || size - at - 8 - length < 4) return false;
    if (std::memcmp(data + at + 4, "IEND", 4) == 0) return true;
    at += 12 + length;
  }
  return at == size;
}

bool PngInto(const uint8_t* data, size_t size, DecodedPicture& out) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!PngChunksFit(data, size) || !png_image_begin_read_from_memory(&image, data, size)) return false;
  // A header claiming more than the data can hold belongs to a damaged
  // file, refused before allocating.
  if (!display::PngSizeFits(image.width, image.height, size)) {
    png_image_free(&image);
    return false;
  }
  out.indexed = image.format & PNG_FORMAT_FLAG_COLORMAP;
  out.hasAlpha = image.format & PNG_FORMAT_FLAG_ALPHA;
  out.bitsPerPixel = static_cast<int>(PNG_IMAGE_PIXEL_CHANNELS(image.format) * 8);
  image.format = PNG_FORMAT_BGRA;
  if (!Allocate(out, static_cast<int>(image.width), static_cast<int>(image.height))) {
    png_image_free(&image);
    return false;
  }
  if (!png_image_finish_read(&image, nullptr, out.pixels.data(), static_cast<png_int_32>(image.width * 4), nullptr)) {
    png_image_free(&image);
    return false;
  }
  return true;
}

// --------------------------------------------------------------- JPEG ---

// Makes room for `rows` rows of the picture, growing geometrically so that
// a file whose data ends early costs memory for the rows it really held.
bool GrowRows(DecodedPicture& out, size_t rows) {
  const size_t w = static_cast<size_t>(out.width), need = rows * w;
  try {
    if (need > out.pixels.capacity())
      out.pixels.reserve(std::min(static_cast<size_t>(out.height) * w, std::max(need, 2 * out.pixels.capacity())));
    out.pixels.resize(need);
  } catch (const std::bad_alloc&) {
    return false;
  }
  return true;
}

void JpegRow(const uint8_t* p, int comps, bool cmyk, uint32_t* dst, int w) {
  for (int x = 0; x < w; ++x, p += comps) {
    uint32_t r, g, b;
    if (cmyk) {  // Adobe files store CMYK inverted
      r = p[0] * p[3] / 255;
      g = p[1] * p[3] / 255;
      b = p[2] * p[3] / 255;
    } else {
      r = p[0];
      g = p[1];
      b = p[2];
    }
    dst[x] = 0xFF000000u | (r << 16) | (g << 8) | b;
  }
}

// Whether data of this size can hold a complete first scan of a file with
// several scans. libjpeg reads such a file whole into coefficients for every
// block of the picture before the first row, padding what the data lacks,
// so a few bytes that declare a huge picture would cost the time and memory
// of the whole. Each block's first scan codes at least one bit, so the
// smallest component's blocks bound what a file that holds its picture
// needs.
bool ScansCanCover(const jpeg_decompress_struct& cinfo, size_t size) {
  uint64_t fewest = UINT64_MAX;
  for (int c = 0; c < cinfo.num_components; ++c) {
    const jpeg_component_info& component = cinfo.comp_info[c];
    fewest = std::min(fewest, uint64_t{component.width_in_blocks} * component.height_in_blocks);
  }
  return uint64_t{size} * 8 >= fewest;
}

// No object with a destructor lives in this function: longjmp may leave it.
bool JpegInto(const uint8_t* data, size_t size, DecodedPicture& out, uint8_t* volatile* rowOut) {
  jpeg_decompress_struct cinfo;
  JpegErrorJump err;
  cinfo.err = JpegInitErrors(err);
  if (setjmp(err.jump)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_create_decompress(&cinfo);
  jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
  if (jpeg_read_header(&cinfo, TRUE) != JPEG_HEADER_OK) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  bool cmyk = cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK;
  cinfo.out_color_space = cmyk ? JCS_CMYK : JCS_RGB;
  out.bitsPerPixel = cinfo.num_components * 8;
  if (!SizeOk(cinfo.image_width, cinfo.image_height) ||
      (jpeg_has_multiple_scans(&cinfo) && !ScansCanCover(cinfo, size))) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  jpeg_start_decompress(&cinfo);
  // Multi-scan files are read whole by now; what they lack is theirs to pad.
  err.dataEnded = false;
  int w = static_cast<int>(cinfo.output_width), h = static_cast<int>(cinfo.output_height);
  int comps = cinfo.output_components;
  if (!SizeOk(w, h) || (comps != 3 && comps != 4)) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  out.width = w;
  out.height = h;
  *rowOut = static_cast<uint8_t*>(std::malloc(static_cast<size_t>(w) * comps));
  if (!*rowOut) {
    jpeg_destroy_decompress(&cinfo);
    return false;
  }
  // The last band of rows may read a little past the data (a missing end
  // marker); data ending before it leaves the rest of the picture unknown.
  const int lastBand = h - cinfo.max_v_samp_factor * DCTSIZE;
  while (cinfo.output_scanline < cinfo.output_height) {
    JSAMPROW row = *rowOut;
    int y = static_cast<int>(cinfo.output_scanline);
    if (jpeg_read_scanlines(&cinfo, &row, 1) != 1 || (err.dataEnded && y < lastBand) ||
        !GrowRows(out, static_cast<size_t>(y) + 1)) {
      jpeg_destroy_decompress(&cinfo);
      return false;
    }
    JpegRow(*rowOut, comps, cmyk, out.pixels.data() + static_cast<size_t>(y) * w, w);
  }
  jpeg_finish_decompress(&cinfo);
  jpeg_destroy_decompress(&cinfo);
  return true;
}

// ---------------------------------------------------------------- BMP ---

int Shift(uint32_t m) {
  int s = 0;
  while (m && !(m & 1)) {
    m >>= 1;
    ++s;
  }
  return s;
}

// A masked channel widened to 8 bits by repeating its bits (31 -> 255, 4 -> 33).
uint32_t Channel(uint32_t v, uint32_t mask) {
  if (!mask) return 0;
  int s = Shift(mask);
  uint32_t c = (v & mask) >> s;
  int bits = 0;
  for (uint32_t m = mask >> s; m & 1; m >>= 1) ++bits;
  if (bits >= 8) return c >> (bits - 8);
  uint32_t out = 0;
  for (int shift = 8 - bits; shift > -bits; shift -= bits) out |= shift >= 0 ? c << shift : c >> -shift;
  return out & 0xFF;
}

// Run-length coded 8-bit (RLE8) and 4-bit (RLE4) pixels, rows from the
// bottom. Pixels the codes skip stay black; a code that runs past the data
// or the picture ends decoding.
void BmpRle(const uint8_t* d, size_t size, size_t pos, bool four, const std::vector<uint32_t>& palette,
            DecodedPicture& out) {
  const int w = out.width, h = out.height;
  int x = 0, row = 0;
  // x stops at the row's end, however many pixels and moves the codes add.
  auto put = [&](unsigned index) {
    if (x >= w) return;
    out.pixels[static_cast<size_t>(h - 1 - row) * w + x] = palette[std::min<size_t>(index, palette.size() - 1)];
    ++x;
  };
  auto nibble = [](uint8_t b, int i) { return static_cast<unsigned>((i & 1) ? b & 15 : b >> 4); };
  while (pos + 1 < size && row < h) {
    uint8_t count = d[pos], value = d[pos + 1];
    pos += 2;
    if (count > 0) {
      for (int i = 0; i < count && x < w; ++i) put(four ? nibble(value, i) : value);
      continue;
    }
    if (value == 0) {  // end of line
      x = 0;
      ++row;
    } else if (value == 1) {  // end of bitmap
      return;
    } else if (value == 2) {  // move right and up
      if (pos + 1 >= size) return;
      x = std::min(x + d[pos], w);
      row += d[pos + 1];
      pos += 2;
    } else {  // `value` literal pixels, padded to a word
      size_t bytes = four ? (value + 1u) / 2 : value;
      if (pos + bytes > size) return;
      for (int i = 0; i < value; ++i) {
        auto at = static_cast<size_t>(i);
        put(four ? nibble(d[pos + at / 2], i) : d[pos + at]);
      }
      pos += bytes + (bytes & 1);
    }
  }
}

bool BmpInto(const uint8_t* d, size_t size, DecodedPicture& out) {
  if (size < 26 || d[0] != 'B' || d[1] != 'M') return false;
  uint32_t offset = Le32(d + 10), hsize = Le32(d + 14);
  if (hsize < 12 || hsize > size - 14) return false;
  const uint8_t* h = d + 14;
  int64_t w, hgt;
  int bpp;
  uint32_t compression = 0, used = 0;
  int entry = 4;
  if (hsize == 12) {
    w = Le16(h + 4);
    hgt = static_cast<int16_t>(Le16(h + 6));
    bpp = static_cast<int>(Le16(h + 10));
    entry = 3;
  } else {
    if (hsize < 40) return false;
    w = static_cast<int32_t>(Le32(h + 4));
    hgt = static_cast<int32_t>(Le32(h + 8));
    bpp = static_cast<int>(Le16(h + 14));
    compression = Le32(h + 16);
    used = Le32(h + 32);
  }
  bool topDown = hgt < 0;
  if (topDown) hgt = -hgt;
  if (!SizeOk(w, hgt)) return false;
  uint32_t masks[4] = {0x00FF0000, 0x0000FF00, 0x000000FF, 0};
  if (bpp == 16) {
    masks[0] = 0x7C00;
    masks[1] = 0x03E0;
    masks[2] = 0x001F;
  }
  if (compression == 3) {  // BI_BITFIELDS: masks in the header or after it
    if (bpp != 16 && bpp != 32) return false;
    size_t at = hsize >= 52 ? 14 + 40 : 14 + hsize;
    if (at + 12 > size) return false;
    for (int i = 0; i < 3; ++i) masks[i] = Le32(d + at + 4 * i);
    if (hsize >= 56) masks[3] = Le32(d + 14 + 52);
  } else if (compression == 1 || compression == 2) {
    if (bpp != (compression == 1 ? 8 : 4) || topDown) return false;
  } else if (compression != 0) {
    return false;
  }
  if (bpp != 1 && bpp != 4 && bpp != 8 && bpp != 16 && bpp != 24 && bpp != 32) return false;
  std::vector<uint32_t> palette;
  if (bpp <= 8) {
    uint32_t n = used && used <= (1u << bpp) ? used : (1u << bpp);
    size_t at = 14 + hsize;
    for (uint32_t i = 0; i < n && at + entry <= size && at + entry <= offset; ++i, at += static_cast<size_t>(entry))
      palette.push_back(0xFF000000u | (uint32_t{d[at + 2]} << 16) | (uint32_t{d[at + 1]} << 8) | d[at]);
    if (palette.empty()) return false;
  }
  size_t stride = ((static_cast<size_t>(w) * bpp + 31) / 32) * 4;
  if (offset > size) return false;
  // Uncompressed rows must all be there (the last one may lack its padding):
  // a header alone never costs the memory of the picture it claims.
  if (compression != 1 && compression != 2 &&
      offset + stride * static_cast<size_t>(hgt - 1) + (static_cast<size_t>(w) * bpp + 7) / 8 > size)
    return false;
  // Run-length data covers at most so many pixels per byte: a few codes
  // never stand for a canvas of hundreds of megabytes.
  if ((compression == 1 || compression == 2) &&
      w * hgt > std::max<int64_t>(static_cast<int64_t>(size - offset) * kMaxPixelsPerRleByte, kRleSlackPixels))
    return false;
  out.bitsPerPixel = bpp;
  out.indexed = bpp <= 8;
  if (!Allocate(out, static_cast<int>(w), static_cast<int>(hgt), 0xFF000000u)) return false;
  if (compression == 1 || compression == 2) {
    BmpRle(d, size, offset, compression == 2, palette, out);
    return true;
  }
  bool anyAlpha = false;
  // Rows missing at the end of a truncated file stay black.
  for (int64_t row = 0; row < hgt; ++row) {
    size_t at = offset + static_cast<size_t>(row) * stride;
    if (at + stride > size) break;
    const uint8_t* p = d + at;
    int64_t y = topDown ? row : hgt - 1 - row;
    uint32_t* dst = out.pixels.data() + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int64_t x = 0; x < w; ++x) {
      uint32_t v;
      switch (bpp) {
        case 1: v = palette[std::min<size_t>((p[x >> 3] >> (7 - (x & 7))) & 1, palette.size() - 1)]; break;
        case 4: v = palette[std::min<size_t>((p[x >> 1] >> ((x & 1) ? 0 : 4)) & 15, palette.size() - 1)]; break;
        case 8: v = palette[std::min<size_t>(p[x], palette.size() - 1)]; break;
        case 16: {
          uint32_t raw = Le16(p + 2 * x);
          v = 0xFF000000u | (Channel(raw, masks[0]) << 16) | (Channel(raw, masks[1]) << 8) | Channel(raw, masks[2]);
          break;
        }
        case 24: v = 0xFF000000u | (uint32_t{p[3 * x + 2]} << 16) | (uint32_t{p[3 * x + 1]} << 8) | p[3 * x]; break;
        default: {
          uint32_t raw = Le32(p + 4 * x);
          uint32_t a = compression == 3 ? (masks[3] ? Channel(raw, masks[3]) : 255) : (raw >> 24);
          anyAlpha |= a != 0;
          v = (a << 24) | (Channel(raw, masks[0]) << 16) | (Channel(raw, masks[1]) << 8) | Channel(raw, masks[2]);
        }
      }
      dst[x] = v;
    }
  }
  if (bpp == 32) {
    // 32-bit files whose alpha bytes are all zero mean opaque.
    if (!anyAlpha || (compression == 3 && !masks[3]))
      for (uint32_t& px : out.pixels) px |= 0xFF000000u;
    else
      out.hasAlpha = true;
  }
  return true;
}

// ---------------------------------------------------------------- GIF ---

class GifReader {
public:
  GifReader(const uint8_t* d, size_t n) : d_(d), n_(n) {}
  bool Need(size_t k) const { return k <= n_ - pos_; }
  uint8_t Byte() { return Need(1) ? d_[pos_++] : 0; }
  uint32_t Word() {
    uint32_t lo = Byte();
    return lo | (uint32_t{Byte()} << 8);
  }
  bool Skip(size_t k) {
    if (!Need(k)) return false;
    pos_ += k;
    return true;
  }
  const uint8_t* Here() const { return d_ + pos_; }
  bool AtEnd() const { return pos_ >= n_; }
  // Concatenates data sub-blocks until the terminator.
  bool SubBlocks(std::vector<uint8_t>* into) {
    while (true) {
      if (!Need(1)) return false;
      uint8_t len = Byte();
      if (len == 0) return true;
      if (!Need(len)) {
        if (into) into->insert(into->end(), Here(), d_ + n_);  // truncated: keep what is there
        pos_ = n_;
        return false;
      }
      if (into) into->insert(into->end(), Here(), Here() + len);
      pos_ += len;
    }
  }

private:
  const uint8_t* d_;
  size_t n_;
  size_t pos_ = 0;
};

// LZW-decodes up to `count` indices; answers how many it produced.
size_t Lzw(const std::vector<uint8_t>& in, int minSize, std::vector<uint8_t>& out, size_t count) {
  if (minSize < 2 || minSize > 11) return 0;
  const int clear = 1 << minSize, stop = clear + 1;
  std::vector<uint16_t> prefix(4096);
  std::vector<uint8_t> suffix(4096), stack(4097);
  for (int i = 0; i < clear; ++i) suffix[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
  int size = minSize + 1, next = clear + 2, prev = -1;
  uint8_t first = 0;
  uint32_t bits = 0;
  int nbits = 0;
  size_t at = 0;
  out.clear();  // grows with what the codes really give, not with `count`
  while (out.size() < count) {
    while (nbits < size) {
      if (at >= in.size()) return out.size();
      bits |= uint32_t{in[at++]} << nbits;
      nbits += 8;
    }
    int code = static_cast<int>(bits & ((1u << size) - 1));
    bits >>= size;
    nbits -= size;
    if (code == clear) {
      size = minSize + 1;
      next = clear + 2;
      prev = -1;
      continue;
    }
    if (code == stop) break;
    if (prev < 0) {
      if (code >= clear) return out.size();  // corrupt: first code must be a literal
      out.push_back(static_cast<uint8_t>(code));
      first = static_cast<uint8_t>(code);
      prev = code;
      continue;
    }
    int cur = code;
    size_t sp = 0;
    if (code >= next) {
      if (code > next) return out.size();  // corrupt
      stack[sp++] = first;
      cur = prev;
    }
    while (cur >= clear) {
      if (sp >= 4096) return out.size();
      stack[sp++] = suffix[static_cast<size_t>(cur)];
      cur = prefix[static_cast<size_t>(cur)];
    }
    first = static_cast<uint8_t>(cur);
    stack[sp++] = first;
    while (sp > 0 && out.size() < count) out.push_back(stack[--sp]);
    if (next < 4096) {
      prefix[static_cast<size_t>(next)] = static_cast<uint16_t>(prev);
      suffix[static_cast<size_t>(next)] = first;
      ++next;
      if (next == (1 << size) && size < 12) ++size;
    }
    prev = code;
  }
  return out.size();
}

std::vector<uint32_t> ReadPalette(GifReader& r, int entries) {
  std::vector<uint32_t> p;
  if (!r.Need(static_cast<size_t>(entries) * 3)) return p;
  for (int i = 0; i < entries; ++i) {
    uint32_t red = r.Byte(), g = r.Byte(), b = r.Byte();
    p.push_back(0xFF000000u | (red << 16) | (g << 8) | b);
  }
  return p;
}

bool GifInto(const uint8_t* d, size_t size, DecodedPicture& out) {
  GifReader r(d, size);
  if (!r.Need(13) || std::memcmp(d, "GIF8", 4) != 0 || (d[4] != '7' && d[4] != '9') || d[5] != 'a') return false;
  r.Skip(6);
  int sw = static_cast<int>(r.Word()), sh = static_cast<int>(r.Word());
  uint8_t flags = r.Byte();
  r.Byte();  // background index
  r.Byte();  // aspect
  std::vector<uint32_t> global;
  if (flags & 0x80) {
    global = ReadPalette(r, 2 << (flags & 7));
    if (global.empty()) return false;
  }
  int transparent = -1;
  while (!r.AtEnd()) {
    uint8_t block = r.Byte();
    if (block == 0x3B) return false;  // trailer before any image
    if (block == 0x21) {
      uint8_t label = r.Byte();
      if (label == 0xF9 && r.Need(6) && r.Here()[0] == 4) {
        const uint8_t* g = r.Here();
        if (g[1] & 1) transparent = g[4];
        r.Skip(5);
      }
      r.SubBlocks(nullptr);
      continue;
    }
    if (block != 0x2C || !r.Need(9)) return false;
    int ix = static_cast<int>(r.Word()), iy = static_cast<int>(r.Word());
    int iw = static_cast<int>(r.Word()), ih = static_cast<int>(r.Word());
    uint8_t iflags = r.Byte();
    std::vector<uint32_t> palette = global;
    if (iflags & 0x80) palette = ReadPalette(r, 2 << (iflags & 7));
    if (palette.empty()) return false;
    if (iw == 0 || ih == 0) return false;
    if (sw == 0 || sh == 0) {
      sw = ix + iw;
      sh = iy + ih;
    }
    // The picture is the screen as far as the image reaches into it: what
    // lies beyond would only be background, and a tiny image on a huge
    // screen must not cost the screen's memory.
    sw = std::min(sw, ix + iw);
    sh = std::min(sh, iy + ih);
    if (!SizeOk(sw, sh) || !SizeOk(std::max(iw, 1), std::max(ih, 1))) return false;
    int minSize = r.Byte();
    std::vector<uint8_t> coded, indices;
    r.SubBlocks(&coded);
    size_t count = static_cast<size_t>(iw) * static_cast<size_t>(ih);
    // Image data ending before its last pixel leaves the picture unknown:
    // refused before the canvas is taken.
    if (Lzw(coded, minSize, indices, count) < count) return false;
    out.indexed = true;
    out.bitsPerPixel = 8;
    out.hasAlpha = transparent >= 0;
    if (!Allocate(out, sw, sh, out.hasAlpha ? 0u : palette[0])) return false;
    // Interlaced images store rows in four passes.
    std::vector<int> rows;
    if (iflags & 0x40) {
      for (auto [start, step] : {std::pair{0, 8}, {4, 8}, {2, 4}, {1, 2}})
        for (int y = start; y < ih; y += step) rows.push_back(y);
    } else {
      for (int y = 0; y < ih; ++y) rows.push_back(y);
    }
    size_t at = 0;
    for (int y : rows) {
      for (int x = 0; x < iw; ++x, ++at) {
        int px = ix + x, py = iy + y;
        uint8_t idx = indices[at];
        if (px >= sw || py >= sh || idx == transparent) continue;
        out.pixels[static_cast<size_t>(py) * sw + px] = idx < palette.size() ? palette[idx] : 0xFF000000u;
      }
    }
    return true;
  }
  return false;
}

// ------------------------------------------------------- icons and cursors ---

// An icon or cursor image stored as a DIB: its header gives twice the height
// (colour rows, then the 1-bit transparency mask). The colour rows decode as
// a BMP file whose header gives the picture's own height.
bool IconDibInto(const uint8_t* data, size_t size, DecodedPicture& out) {
  constexpr size_t kHeaderBytes = 40;
  if (size < kHeaderBytes) return false;
  const uint32_t headerSize = Le32(data), bitCount = Le16(data + 14), colorsUsed = Le32(data + 32);
  const auto width = static_cast<int32_t>(Le32(data + 4)), doubleHeight = static_cast<int32_t>(Le32(data + 8));
  if (headerSize < kHeaderBytes || doubleHeight <= 0 || width <= 0 || bitCount == 0) return false;
  const int32_t height = doubleHeight / 2;
  // The colour rows must lie inside the image's data: a header claiming
  // more pixels than the data holds is damaged, not a picture to allocate.
  const uint64_t colorEntries = bitCount <= 8 ? (colorsUsed ? colorsUsed : 1u << bitCount) : 0;
  const uint64_t pixelsAt = uint64_t{headerSize} + colorEntries * 4;
  const uint64_t rowBytes = ((uint64_t(width) * bitCount + 31) / 32) * 4;
  if (pixelsAt > size || uint64_t(height) > (size - pixelsAt) / rowBytes) return false;
  std::vector<uint8_t> file(14 + size);
  file[0] = 'B';
  file[1] = 'M';
  const auto total = static_cast<uint32_t>(file.size());
  std::memcpy(&file[2], &total, 4);
  const auto offset = static_cast<uint32_t>(14 + pixelsAt);
  std::memcpy(&file[10], &offset, 4);
  std::memcpy(&file[14], data, size);
  std::memcpy(&file[14 + 8], &height, 4);  // the height of the colour part only
  if (!BmpInto(file.data(), file.size(), out)) return false;
  if (bitCount == 32 && out.hasAlpha) return true;
  // The mask's rows run bottom-up after the colour rows.
  const size_t maskStride = ((size_t(width) + 31) / 32) * 4;
  const size_t maskStart = pixelsAt + rowBytes * size_t(height);
  if (maskStart + maskStride * size_t(height) > size) return true;  // no mask: opaque
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* row = data + maskStart + maskStride * size_t(height - 1 - y);
    for (int32_t x = 0; x < out.width; ++x)
      if (row[x / 8] & (0x80 >> (x % 8))) out.pixels[size_t(y) * out.width + x] &= 0x00FFFFFFu;
  }
  out.hasAlpha = true;
  return true;
}

bool IconFileInto(const uint8_t* d, size_t size, uint16_t type, DecodedIcon& out) {
  if (size < 6 || Le16(d) != 0 || Le16(d + 2) != type) return false;
  const size_t count = Le16(d + 4);
  if (count == 0 || 6 + count * 16 > size) return false;
  // The largest image whose data lies inside the file.
  const uint8_t* best = nullptr;
  size_t bestSize = 0;
  int bestArea = -1;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = d + 6 + i * 16;
    const int w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
    const uint32_t bytes = Le32(e + 8), offset = Le32(e + 12);
    if (offset > size || bytes > size - offset || w * h <= bestArea) continue;
    bestArea = w * h;
    best = d + offset;
    bestSize = bytes;
    if (type == kCursorFileType) {
      out.hotSpotX = static_cast<int>(Le16(e + 4));
      out.hotSpotY = static_cast<int>(Le16(e + 6));
    }
  }
  if (!best) return false;
  const bool png = SniffPicture(best, bestSize) == PictureFormat::Png;
  if (!(png ? PngInto(best, bestSize, out.picture) : IconDibInto(best, bestSize, out.picture))) return false;
  // A hot spot off the picture is taken at its nearest pixel.
  out.hotSpotX = std::min(out.hotSpotX, out.picture.width - 1);
  out.hotSpotY = std::min(out.hotSpotY, out.picture.height - 1);
  return true;
}

}  // namespace

PictureFormat SniffPicture(const uint8_t* data, size_t size) {
  if (!data) return PictureFormat::Unknown;
  if (size >= 8 && std::memcmp(data, "\x89PNG\r\n\x1a\n", 8) == 0) return PictureFormat::Png;
  if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) return PictureFormat::Jpeg;
  if (size >= 2 && data[0] == 'B' && data[1] == 'M') return PictureFormat::Bmp;
  if (size >= 6 && std::memcmp(data, "GIF8", 4) == 0) return PictureFormat::Gif;
  return PictureFormat::Unknown;
}

bool DecodePng(const uint8_t* data, size_t size, DecodedPicture& out) {
  return (data && PngInto(data, size, out)) || Fail(out);
}

bool DecodeJpeg(const uint8_t* data, size_t size, DecodedPicture& out) {
  if (!data || size == 0) return Fail(out);
  uint8_t* volatile row = nullptr;
  bool ok = JpegInto(data, size, out, &row);
  std::free(row);
  return ok || Fail(out);
}

bool DecodeBmp(const uint8_t* data, size_t size, DecodedPicture& out) {
  return (data && BmpInto(data, size, out)) || Fail(out);
}

bool DecodeGif(const uint8_t* data, size_t size, DecodedPicture& out) {
  return (data && GifInto(data, size, out)) || Fail(out);
}

bool DecodePicture(const uint8_t* data, size_t size, DecodedPicture& out) {
  switch (SniffPicture(data, size)) {
    case PictureFormat::Png: return DecodePng(data, size, out);
    case PictureFormat::Jpeg: return DecodeJpeg(data, size, out);
    case PictureFormat::Bmp: return DecodeBmp(data, size, out);
    case PictureFormat::Gif: return DecodeGif(data, size, out);
    default: return Fail(out);
  }
}

bool DecodeIconFile(const uint8_t* data, size_t size, uint16_t type, DecodedIcon& out) {
  out = DecodedIcon{};
  if (data && IconFileInto(data, size, type, out)) return true;
  out = DecodedIcon{};
  return false;
}
