// GIF files: reading one frame (by index) with its transparency into a
// bitmap, writing a bitmap as a one-frame GIF, and copying a GIF without one
// of its frames (which also counts the frames). The LZW data goes through
// the parameters' GIFLZWDecoder and GIFLZWEncoder (the global ones when the
// parameters have none); palettes come from TIEQuantizer.
#pragma once

#include <cstdint>
#include <string>

class TStream;
class TIEBitmap;
class TIOParamsVals;
struct TIEProgressRecord;
struct TIECodecRead;

// Reads frame GIF_IMAGEINDEX (0-based) and counts every frame into
// frameCount and GIF_IMAGECOUNT. Never raises for bad content: foreign,
// damaged or truncated data, and a frame index past the last frame, set
// the abort flag. Transparency goes into the bitmap's alpha channel unless
// noMask; an alpha channel that stays opaque is removed. Progress: 0, 30,
// 70, 100.
void IEReadGIFStream(TStream& stream, TIEBitmap* bitmap, int32_t& frameCount, TIOParamsVals& params,
                     TIEProgressRecord& progress, bool paramsOnly, bool noMask);

// Writes the bitmap as one frame of BITSPERSAMPLE (1..8) bits per pixel; the
// bitmap's alpha channel makes the last palette entry transparent. The
// parameters are not changed. A frame larger than 65535 pixels either way,
// a missing encoder or a short write set the abort flag.
void IEWriteGIFStream(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);

// Copies the GIF in the stream (from its position) without frame
// frameIndex into out (may be null) and returns the number of frames
// copied; -1 drops none. 0 for data that is not a GIF.
int32_t IECopyGIFWithoutFrame(TStream& stream, TStream* out, int32_t frameIndex);
// The same over a file; with save the copy replaces the file. Raises the
// file's errors.
int32_t IEDeleteGIFFrame(const std::string& fileName, int32_t frameIndex, bool save);

// The I/O component's entry points; the frame count leaves the position where it was.
void IEGifCodecRead(TIECodecRead& read);
void IEGifCodecWrite(TStream& stream, TIEBitmap& bitmap, TIOParamsVals& params, TIEProgressRecord& progress);
int32_t IEGetGIFImageCount(TStream& stream);
