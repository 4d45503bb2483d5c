// LZW of TIFF compression 5: codes of 9 to 12 bits packed most significant
// bit first, the width growing one code early, clear code 256, end code 257.
// Both routines work a strip at a time through a state handle that the
// caller keeps (nil before the first call) and that the routines make and
// free. They fit the settings' TIFFLZWDecoder and TIFFLZWEncoder slots.
#pragma once

#include <cstddef>
#include <cstdint>

class TStream;

// Decodes the next row of rowBytes bytes of a strip and returns it (inside
// the state, valid until the next call), or nil when the data is corrupt.
// - with no state: makes one over data[0 .. dataSize) and decodes the first
//   row; the data must stay in place until the state is freed; the state
//   holds the output since the last clear code (nil when that cannot be
//   had);
// - with a state and data: decodes the following row (data and dataSize
//   are not looked at again; rowBytes must be the first call's);
// - with a state and nil data: frees the state and returns nil.
// Codes are never read beyond dataSize bytes. A row the codes cannot fill
// (an end code or the end of the data before its last byte), a code that
// no string has yet, or more strings than 12-bit codes can name fail the
// strip: this and every later call return nil. fillOrder 2: the bits of
// each byte are stored in reverse order.
uint8_t* DecodeTIFFLZW(const uint8_t* data, size_t dataSize, int32_t rowBytes, void*& state, int32_t fillOrder);

// Decodes a whole strip straight into out[0 .. outSize), with the checks and
// results of the row decoder: true when the codes fill it, false (out then
// partly written, never past outSize) where a row would have failed.
bool DecodeTIFFLZWStrip(const uint8_t* data, size_t dataSize, uint8_t* out, size_t outSize, int32_t fillOrder);

// Compresses count bytes as the next piece of a strip into stream.
// - with no state: makes one, writes the clear code and compresses data;
// - with a state and data: continues the same code stream;
// - with nil data: writes the pending code and the end code, flushes the
//   last byte and frees the state (also when the stream raises).
// Short writes raise the stream's EWriteError.
void EncodeTIFFLZW(const uint8_t* data, int32_t count, TStream& stream, void*& state);
