// Rectangle and point routines of the window layer. Rectangles exclude
// their right and bottom edges; an empty rectangle has no area.
#pragma once

#include "platform/win/wintypes.h"

BOOL SetRect(RECT* rect, int left, int top, int right, int bottom);
BOOL SetRectEmpty(RECT* rect);
BOOL IsRectEmpty(const RECT* rect);
BOOL EqualRect(const RECT* a, const RECT* b);
BOOL PtInRect(const RECT* rect, POINT point);
BOOL OffsetRect(RECT* rect, int dx, int dy);
BOOL InflateRect(RECT* rect, int dx, int dy);
// The overlap; FALSE (and an empty `out`) when there is none.
BOOL IntersectRect(RECT* out, const RECT* a, const RECT* b);
// The smallest rectangle holding both; empty inputs are ignored.
BOOL UnionRect(RECT* out, const RECT* a, const RECT* b);
