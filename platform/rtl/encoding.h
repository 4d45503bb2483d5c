// Conversions between UTF-8 (the text held in memory) and the encodings that
// files and protocols fix: UTF-16LE and the Windows 8-bit and double-byte
// code pages.
//
// Sections:
//   1. Code points: reading and writing UTF-8 one character at a time
//   2. UTF-16
//   3. Code pages (874, 932, 936, 949, 950, 1250..1258; 65001 is UTF-8)
//   4. Percent encoding
//
// No conversion fails: input that is not valid in its encoding is replaced
// (U+FFFD when decoding, "?" when a character has no byte in a code page),
// and the output grows at most in proportion to the input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// 1. Code points
// ---------------------------------------------------------------------------

constexpr char32_t ReplacementChar = 0xFFFD;

// Decodes the character at Pos and moves Pos past it. A byte that does not
// start a valid sequence (overlong, surrogate, above U+10FFFF, truncated)
// gives ReplacementChar and Pos moves past the longest invalid prefix.
char32_t NextUtf8Char(const std::string& s, size_t& pos);
// Decodes the character at Pos as NextUtf8Char does; false when the bytes
// there are not valid UTF-8 (Pos still moves past them).
bool NextValidUtf8Char(const std::string& s, size_t& pos, char32_t& c);
// Appends C in UTF-8; a surrogate or a value above U+10FFFF appends U+FFFD.
void AppendUtf8(std::string& out, char32_t c);

// ---------------------------------------------------------------------------
// 2. UTF-16
// ---------------------------------------------------------------------------

std::u16string Utf8ToUtf16(const std::string& s);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const std::u16string& s);
// UTF-16LE bytes, without a byte-order mark or terminator.
std::vector<uint8_t> Utf8ToUtf16LE(const std::string& s);
// Reads Size bytes of UTF-16LE; an odd last byte becomes U+FFFD.
std::string Utf16LEToUtf8(const uint8_t* data, size_t size);
std::string Utf16LEToUtf8(const std::vector<uint8_t>& bytes);

// ---------------------------------------------------------------------------
// 3. Code pages
// ---------------------------------------------------------------------------

constexpr uint32_t CP_UTF8 = 65001;

// True for the code pages below that the system reads and writes.
bool IsSupportedCodePage(uint32_t codePage);
// Bytes in CodePage to UTF-8. An unsupported code page keeps ASCII and turns
// every other byte into U+FFFD.
std::string CodePageToUtf8(const std::string& bytes, uint32_t codePage);
// UTF-8 to bytes in CodePage; characters the code page lacks become "?". An
// unsupported code page keeps ASCII and writes "?" for the rest.
std::string Utf8ToCodePage(const std::string& text, uint32_t codePage);
// Text in the encoding the C library calls Charset ("ISO-8859-1") to UTF-8.
std::string CharsetToUtf8(const std::string& bytes, const std::string& charset);

// Windows-1252, the code page by which 8-bit text is classified: every byte
// maps to a character (the five bytes the code page leaves unassigned, 0x81,
// 0x8D, 0x8F, 0x90 and 0x9D, to the control characters of the same value).
char32_t Win1252ToUnicode(uint8_t byte);
// The byte of C in Windows-1252; -1 when it has none.
int32_t UnicodeToWin1252(char32_t c);
std::string AnsiToUtf8(const std::string& bytes);
std::string Utf8ToAnsi(const std::string& text);

// ---------------------------------------------------------------------------
// 4. Percent encoding
// ---------------------------------------------------------------------------

// Every byte for which keep answers false written as "%XX" (upper-case hex).
std::string PercentEncode(const std::string& text, bool (*keep)(unsigned char c));
