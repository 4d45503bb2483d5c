// Text routines of the support units: trailing delimiters, tokens and the
// wildcard matcher behind the file masks.
#pragma once

#include <cstddef>
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

// Matches text from index start on against pattern: "*" any run (also
// none), "?" exactly one byte, every other byte itself. Raises
// ESupStringError for an empty pattern ("Search string cannot be blank") and
// for a start outside a non-empty text ("Argument out of range"). The
// pattern "*" matches any text; any other pattern fails on an empty text.
bool MatchesWildcard(const std::string& pattern, const std::string& text, size_t start = 0);
