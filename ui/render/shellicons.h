// The desktop's icons for files and folders, as the markup shows them for
// "SSYS:" and "LSYS:" images: a small (16 x 16) and a large (32 x 32) image
// list of the same icons, and the icon index of a number or a path.
#pragma once

#include <string>

#include "platform/forms/imglist.h"

// The icons in ShellImageList, by index.
enum TShellIcon { siDocument, siFolder, siPicture, siShellIconCount };

// The shared list of small or large icons (made on first use, GUI thread).
TCustomImageList* ShellImageList(bool large);

// A text that reads as a number is that index (an empty text is 0); any
// other text is a path: a folder (an existing one, or one written with a
// trailing "/") gives siFolder, a picture file's extension siPicture, any
// other file siDocument. The path need not exist.
int32_t ShellIconIndex(const std::string& text);
