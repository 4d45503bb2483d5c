// The fax codes of T.4 (Group 3, one- and two-dimensional) and T.6
// (Group 4) for bilevel rows, one row per call.
//
// Polarity differs between the two directions:
// - decoder output: bit 1 = white, bit 0 = black (pixel 0 in the most
//   significant bit of byte 0, as the image core's 1-bit rows);
// - encoder input: bit 0 = white, bit 1 = black.
// fillOrder 1: code bits are packed most significant bit first in each
// byte; 2: least significant bit first.
//
// Sections: start and stop | decoders | encoders
#pragma once

#include <cstdint>
#include <vector>

class TStream;

// ---- start and stop ---------------------------------------------------------------

// Builds the two decode trees (white and black codes); the library's
// start-up runs it. Decoding before it (or after IEFinalizeCCITT) reads
// every row as white.
void IEInitializeCCITT();
// Frees the decode trees; the library's shut-down runs it.
void IEFinalizeCCITT();

// ---- decoders ---------------------------------------------------------------------
// data is the whole compressed strip, length its size in bytes. None of them
// fails: unknown bits are skipped and running out of data ends the row.

// One Modified Huffman row from bit 0 of data; returns the bytes it took,
// rounded up to whole bytes (each row starts on a byte boundary).
int64_t IECCITTDecodeRowMH(uint8_t* row, const uint8_t* data, int64_t length, int32_t fillOrder, int32_t width);
// One row of 1-D codes from bitPos; returns the bit position after it.
int64_t IECCITTDecodeRow1D(uint8_t* row, const uint8_t* data, int64_t length, int32_t fillOrder, int64_t bitPos,
                           int32_t width);
// One row that may be 2-D coded against reference (ceil(width / 8) bytes,
// all 1 bits at the start of a strip); the row is copied into reference.
// eolScan: zero bits before an end-of-line code are fill (Group 3 2-D).
// Returns the bit position after the row.
int64_t IECCITTDecodeRow2D(uint8_t* row, const uint8_t* data, int64_t length, bool eolScan, int32_t fillOrder,
                           int64_t bitPos, uint8_t* reference, int32_t width);

// ---- encoders ----------------------------------------------------------------------
// Each writes whole bytes to the stream through IESafeStreamWrite (failed set
// on a short write) and carries the bits of an unfinished byte in the
// caller's pendingBits (0..7) and pendingByte, both 0 at the start of a
// strip. A call with no row (nullptr) finishes the strip. The reference row
// is the caller's, empty at the start of each strip; the encoder fills and
// clears it.

// One Modified Huffman row, padded to a whole byte.
void IECCITTEncodeRowMH(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& failed);
// The row's 1-D codes with no end-of-line code and no padding; the
// finishing call writes the pending bits padded with zeros.
void IECCITTEncodeRow1D(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& failed,
                        int32_t& pendingBits, uint8_t& pendingByte);
// Group 3 1-D as TIFF readers expect it: each row an end-of-line code and
// its 1-D codes; the finishing call pads to a byte.
void IECCITTEncodeRowG31D(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& failed,
                          int32_t& pendingBits, uint8_t& pendingByte);
// Group 3 with 2-D coding: the first row of a strip as end-of-line, 1 and
// 1-D codes, every later one as end-of-line, 0 and 2-D codes; the finishing
// call writes one end-of-line and pads to a byte.
void IECCITTEncodeRowG3(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& failed,
                        std::vector<uint8_t>& reference, int32_t& pendingBits, uint8_t& pendingByte);
// Group 4: 2-D codes against the row before (all white at the start); the
// finishing call writes the end-of-block (two end-of-line codes) and pads.
void IECCITTEncodeRowG4(const uint8_t* row, int32_t width, TStream& stream, int32_t fillOrder, bool& failed,
                        std::vector<uint8_t>& reference, int32_t& pendingBits, uint8_t& pendingByte);
