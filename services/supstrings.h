// Text routines of the support units: trailing delimiters, tokens, searches
// without regard to case, the character tables and the wildcard matcher
// behind the file masks.
//
// The character tables read every byte value as a Windows-1252 character,
// classed and cased by the rules of the user's locale. Texts are UTF-8: the
// case routines map each character that Windows-1252 holds through the
// tables and keep every other character and every invalid byte as it is.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "services/supbase.h"

RTL_DECLARE_EXCEPTION(ESupStringError, ESupError);

// The path with one delimiter at its end; "" becomes the delimiter alone.
std::string WithTrailingBackslash(const std::string& path);
// The path without its last character when that is the delimiter (one only).
std::string WithoutTrailingBackslash(const std::string& path);

// Returns the text before the first separator and removes it and the
// separator from text; without a separator returns all and empties text.
std::string TakeToken(std::string& text, char separator);
// Replaces items by the tokens of text: "" gives no items, ";a" gives "" and
// "a", a trailing separator adds no empty item.
void SplitToStrings(std::string text, char separator, std::vector<std::string>& items);

// Searches without regard to case (both texts through UpperCaseCopy). The
// result is a byte index into text; npos when absent or when either text is
// empty.
size_t FindNoCase(const std::string& substring, const std::string& text);
// As FindNoCase from index start on; the result indexes the whole text.
size_t FindNoCaseFrom(const std::string& substring, const std::string& text, size_t start);
// The text after the first occurrence of substring; "" when there is none.
std::string TextAfter(const std::string& substring, const std::string& text);
// The text from index on; "" when index lies beyond it.
std::string TextFrom(const std::string& text, size_t index);

// Character-class bits of CharClassTable.
constexpr uint16_t C1_UPPER = 0x0001;
constexpr uint16_t C1_LOWER = 0x0002;
constexpr uint16_t C1_DIGIT = 0x0004;
constexpr uint16_t C1_SPACE = 0x0008;
constexpr uint16_t C1_PUNCT = 0x0010;
constexpr uint16_t C1_CNTRL = 0x0020;
constexpr uint16_t C1_BLANK = 0x0040;
constexpr uint16_t C1_XDIGIT = 0x0080;
constexpr uint16_t C1_ALPHA = 0x0100;

// Offsets of the three maps in CaseMapping.
constexpr size_t CaseMapLower = 0;
constexpr size_t CaseMapUpper = 256;
constexpr size_t CaseMapSwap = 512;

using TCharClassTable = std::array<uint16_t, 256>;
using TCaseMapping = std::array<uint8_t, 768>;

// The class word of every byte value; built on first use, then read-only.
const TCharClassTable& CharClassTable();
// The lower-case, upper-case and case-swap maps of every byte value: a byte
// goes to its case form when Windows-1252 has it, else stays. The swap map
// lowers the upper-case class, raises the lower-case class, keeps the rest.
const TCaseMapping& CaseMapping();
bool IsUpperClass(uint8_t byte);
bool IsLowerClass(uint8_t byte);

// The text through the upper-case map.
std::string UpperCaseCopy(const std::string& text);
void UpperCaseInPlace(std::string& text);
// The text through the map at mapOffset (CaseMapLower, CaseMapUpper or
// CaseMapSwap); any other offset raises ESupStringError "Argument out of range".
void MapCaseInPlace(std::string& text, size_t mapOffset);

// Matches text from index start on against pattern: "*" any run (also
// none), "?" exactly one byte, every other byte itself. Raises
// ESupStringError for an empty pattern ("Search string cannot be blank") and
// for a start outside a non-empty text ("Argument out of range"). The
// pattern "*" matches any text; any other pattern fails on an empty text.
bool MatchesWildcard(const std::string& pattern, const std::string& text, size_t start = 0);
