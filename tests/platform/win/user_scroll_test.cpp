// Scroll bars: state and its limits, showing as the range needs, drawing,
// and the mouse driving WM_VSCROLL and WM_HSCROLL.
#include "tests/platform/win/user_test_support.h"

namespace {

using ScrollTest = UserTest;

uint32_t Pixel(COLORREF c) {
  return 0xFF000000u | (uint32_t{GetRValue(c)} << 16) | (uint32_t{GetGValue(c)} << 8) | GetBValue(c);
}

SCROLLINFO Info(UINT mask, int minPos, int maxPos, UINT page, int pos) {
  SCROLLINFO si;
  si.fMask = mask;
  si.nMin = minPos;
  si.nMax = maxPos;
  si.nPage = page;
  si.nPos = pos;
  return si;
}

TEST_F(ScrollTest, PageAndPositionStayWithinTheRange) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100});
  struct Case {
    SCROLLINFO in;
    UINT page;
    int pos;
  } cases[] = {
      {Info(SIF_ALL, 0, 99, 10, 50), 10, 50},
      {Info(SIF_ALL, 0, 99, 10, 95), 10, 90},     // the last page ends at the maximum
      {Info(SIF_ALL, 0, 99, 500, 5), 100, 0},     // a page larger than the range
      {Info(SIF_ALL, -50, 50, 0, -80), 0, -50},   // below the minimum
      {Info(SIF_ALL, 0, 65535, 100, 70000), 100, 65436},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SetScrollInfo(w, SB_VERT, &c.in, FALSE), c.pos);
    SCROLLINFO out = Info(SIF_ALL, 0, 0, 0, 0);
    ASSERT_TRUE(GetScrollInfo(w, SB_VERT, &out));
    EXPECT_EQ(out.nPage, c.page);
    EXPECT_EQ(out.nPos, c.pos);
    EXPECT_EQ(GetScrollPos(w, SB_VERT), c.pos);
  }
  EXPECT_EQ(SetScrollPos(w, SB_VERT, 10, FALSE), 65436) << "answers the old position";
  int lo = 0, hi = 0;
  ASSERT_TRUE(GetScrollRange(w, SB_VERT, &lo, &hi));
  EXPECT_EQ(hi, 65535);
  EXPECT_FALSE(SetScrollRange(w, SB_VERT, 5, 1, FALSE));
  EXPECT_EQ(SetScrollInfo(w, 7, &cases[0].in, FALSE), 0) << "no such bar";
}

TEST_F(ScrollTest, BarsComeAndGoAsTheRangeNeedsAndTakeClientSpace) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100});
  RECT client;
  SCROLLINFO needs = Info(SIF_RANGE | SIF_PAGE, 0, 999, 100, 0);
  SetScrollInfo(w, SB_VERT, &needs, TRUE);
  EXPECT_TRUE(GetWindowLong(w, GWL_STYLE) & WS_VSCROLL);
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 200 - GetSystemMetrics(SM_CXVSCROLL));
  EXPECT_EQ(Of(w, WM_SIZE).back().lParam, MAKELPARAM(static_cast<WORD>(client.right), 100));
  // A page that holds the whole range hides the bar, unless asked to disable it instead.
  SCROLLINFO fits = Info(SIF_RANGE | SIF_PAGE, 0, 99, 100, 0);
  SetScrollInfo(w, SB_VERT, &fits, TRUE);
  EXPECT_FALSE(GetWindowLong(w, GWL_STYLE) & WS_VSCROLL);
  GetClientRect(w, &client);
  EXPECT_EQ(client.right, 200);
  fits.fMask |= SIF_DISABLENOSCROLL;
  SetScrollInfo(w, SB_HORZ, &fits, TRUE);
  EXPECT_TRUE(GetWindowLong(w, GWL_STYLE) & WS_HSCROLL);
  GetClientRect(w, &client);
  EXPECT_EQ(client.bottom, 100 - GetSystemMetrics(SM_CYHSCROLL));
  EXPECT_TRUE(ShowScrollBar(w, SB_BOTH, FALSE));
  EXPECT_EQ(GetWindowLong(w, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), 0);
  EXPECT_TRUE(ShowScrollBar(w, SB_VERT, TRUE));
  EXPECT_TRUE(FlatSB_ShowScrollBar(w, SB_HORZ, TRUE));
  EXPECT_EQ(GetWindowLong(w, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), WS_HSCROLL | WS_VSCROLL);
  EXPECT_TRUE(EnableScrollBar(w, SB_BOTH, ESB_DISABLE_BOTH));
  EXPECT_FALSE(EnableScrollBar(w, SB_BOTH, ESB_DISABLE_BOTH)) << "nothing changed";
}

struct ScrollSetup {
  HWND window;
  RECT bar;  // the vertical bar on the screen
};

ScrollSetup VerticalBar(HWND w) {
  SCROLLINFO si = Info(SIF_ALL, 0, 99, 25, 0);
  SetScrollInfo(w, SB_VERT, &si, TRUE);
  RECT client;
  GetClientRect(w, &client);
  POINT o{client.right, 0};
  ClientToScreen(w, &o);
  return ScrollSetup{w, RECT{o.x, o.y, o.x + GetSystemMetrics(SM_CXVSCROLL), o.y + client.bottom}};
}

std::vector<std::pair<WORD, WORD>> Scrolls(const std::vector<Logged>& log, HWND w) {
  std::vector<std::pair<WORD, WORD>> out;
  for (const Logged& l : log)
    if (l.window == w && l.message == WM_VSCROLL) out.emplace_back(LOWORD(l.wParam), HIWORD(l.wParam));
  return out;
}

TEST_F(ScrollTest, MousePressesScrollByLinePageAndThumb) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{100, 100, 300, 300});
  ScrollSetup s = VerticalBar(w);
  int x = (s.bar.left + s.bar.right) / 2;
  EXPECT_EQ(WindowFromPoint(POINT{x, s.bar.top + 2}), w);
  EXPECT_EQ(SendMessage(w, WM_NCHITTEST, 0, MAKELPARAM(static_cast<WORD>(x), static_cast<WORD>(s.bar.top + 2))), HTVSCROLL);
  struct Case {
    int y;
    WORD code;
  } cases[] = {
      {s.bar.top + 3, SB_LINEUP},
      {s.bar.bottom - 3, SB_LINEDOWN},
      {s.bar.bottom - 40, SB_PAGEDOWN},
  };
  for (const Case& c : cases) {
    ClearLog();
    display::InjectClick(POINT{x, c.y});
    Pump();
    EXPECT_EQ(Scrolls(log, w), (std::vector<std::pair<WORD, WORD>>{{c.code, 0}, {SB_ENDSCROLL, 0}})) << c.y;
  }
  // Dragging the thumb (at the top while the position is 0) to the far end.
  ClearLog();
  int arrow = GetSystemMetrics(SM_CXVSCROLL);
  POINT thumb{x, s.bar.top + arrow + 3};
  display::InjectMouseDown(thumb);
  display::InjectMouseMove(POINT{x, thumb.y + 10});
  display::InjectMouseMove(POINT{x, s.bar.bottom + 50});
  display::InjectMouseUp(POINT{x, s.bar.bottom + 50});
  Pump();
  auto got = Scrolls(log, w);
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0].first, SB_THUMBTRACK);
  EXPECT_GT(got[0].second, 0);
  EXPECT_LT(got[0].second, 75);
  EXPECT_EQ(got[1], (std::pair<WORD, WORD>{SB_THUMBTRACK, 75})) << "the largest position: 99 - 25 + 1";
  EXPECT_EQ(got[2], (std::pair<WORD, WORD>{SB_THUMBPOSITION, 75}));
  EXPECT_EQ(got[3].first, SB_ENDSCROLL);
  SCROLLINFO track = Info(SIF_TRACKPOS | SIF_POS, 0, 0, 0, 0);
  GetScrollInfo(w, SB_VERT, &track);
  EXPECT_EQ(track.nTrackPos, 75);
  EXPECT_EQ(track.nPos, 0) << "the window sets the position itself";
  // Disabled arrows send nothing.
  EnableScrollBar(w, SB_VERT, ESB_DISABLE_UP);
  ClearLog();
  display::InjectClick(POINT{x, s.bar.top + 3});
  Pump();
  EXPECT_EQ(Scrolls(log, w), (std::vector<std::pair<WORD, WORD>>{{SB_ENDSCROLL, 0}}));
}

TEST_F(ScrollTest, TheBarIsDrawnInTheFrame) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
  SCROLLINFO si = Info(SIF_ALL, 0, 99, 50, 0);
  SetScrollInfo(w, SB_VERT, &si, TRUE);
  Pump();
  const Surface& s = *GetWindowSurface(w);
  int cx = GetSystemMetrics(SM_CXVSCROLL);
  int x = 200 - cx / 2;
  auto at = [&](int y) { return s.pixels[static_cast<size_t>(y * s.width + x - 3)]; };
  // The thumb is the darker handle on a lighter track, between face-coloured arrow boxes.
  auto brightness = [](uint32_t p) { return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF); };
  const uint32_t face = Pixel(GetSysColor(COLOR_BTNFACE));
  // Thumb: half the track, at its start; then the empty track; the arrow boxes at both ends.
  int trackLength = 200 - 2 * cx;
  const uint32_t thumb = at(cx + 5), track = at(cx + trackLength / 2 + 10);
  EXPECT_LT(brightness(thumb), brightness(face));
  EXPECT_GT(brightness(track), brightness(face));
  EXPECT_EQ(at(3), face);
  EXPECT_EQ(at(200 - cx + 3), face);
  SetScrollPos(w, SB_VERT, 50, TRUE);
  Pump();
  EXPECT_EQ(at(cx + 5), track);
  EXPECT_EQ(at(cx + trackLength / 2 + 10), thumb);
}

}  // namespace
