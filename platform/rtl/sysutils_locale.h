// Private to the sysutils units: the C library's locale objects for the
// user's locale, opened once.
#pragma once

#include <locale.h>

// The user's locale for one category (LC_CTYPE_MASK, LC_COLLATE_MASK), from
// LC_ALL, else the category's variable, else LANG; the C library's UTF-8
// locale when none is set or the named one is missing, so that letters beyond
// ASCII still have cases.
locale_t UserLocale(int categoryMask);
