// Painting: update rectangles, erase and paint messages, redraw control,
// children, and snapshots of what was painted.
#include <unistd.h>

#include <filesystem>
#include <thread>

#include "platform/win/gdi.h"
#include "tests/platform/win/user_test_support.h"

namespace {

using PaintTest = UserTest;

struct PaintRecorder {
  std::vector<std::pair<HWND, RECT>> paints;
  std::vector<BOOL> erased;  // fErase as BeginPaint left it
};

TEST_F(PaintTest, InvalidationsMergeIntoOnePaintOfTheirUnion) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100});
  Pump();
  ClearLog();
  PaintRecorder rec;
  handler = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m != WM_PAINT) return std::nullopt;
    PAINTSTRUCT ps;
    BeginPaint(h, &ps);
    rec.paints.emplace_back(h, ps.rcPaint);
    rec.erased.push_back(ps.fErase);
    EndPaint(h, &ps);
    return 0;
  };
  RECT a{10, 10, 20, 20}, b{50, 30, 60, 90}, outside{150, 50, 400, 400};
  InvalidateRect(w, &a, FALSE);
  InvalidateRect(w, &b, TRUE);
  InvalidateRect(w, &outside, FALSE);
  RECT update;
  EXPECT_TRUE(GetUpdateRect(w, &update, FALSE));
  EXPECT_EQ(update, (RECT{10, 10, 200, 100})) << "clipped to the client area";
  Pump();
  ASSERT_EQ(rec.paints.size(), 1u);
  EXPECT_EQ(rec.paints[0].second, (RECT{10, 10, 200, 100}));
  // BeginPaint sends WM_ERASEBKGND inside the handling of WM_PAINT.
  EXPECT_EQ(Sent(w, {WM_ERASEBKGND, WM_PAINT}), (std::vector<UINT>{WM_PAINT, WM_ERASEBKGND}));
  EXPECT_TRUE(rec.erased[0]) << "the default procedure erases nothing without a class brush";
  EXPECT_FALSE(GetUpdateRect(w, &update, FALSE));
  // Without an erase request there is no WM_ERASEBKGND.
  ClearLog();
  InvalidateRect(w, &a, FALSE);
  Pump();
  EXPECT_EQ(Sent(w, {WM_ERASEBKGND, WM_PAINT}), (std::vector<UINT>{WM_PAINT}));
}

TEST_F(PaintTest, ValidationUpdateAndRedrawControl) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 100, 100});
  Pump();
  ClearLog();
  InvalidateRect(w, nullptr, TRUE);
  ValidateRect(w, nullptr);
  Pump();
  EXPECT_TRUE(Sent(w, {WM_PAINT}).empty());
  // A validated band along a whole side shrinks the update rectangle.
  InvalidateRect(w, nullptr, FALSE);
  RECT top{0, 0, 100, 40};
  ValidateRect(w, &top);
  RECT update;
  GetUpdateRect(w, &update, FALSE);
  EXPECT_EQ(update, (RECT{0, 40, 100, 100}));
  // UpdateWindow paints at once, not through the queue, and shows it at once.
  auto presents = [&] {
    display::HeadlessWindowState state;
    display::HeadlessWindow(reinterpret_cast<display::WindowKey>(w), state);
    return state.presents;
  };
  int before = presents();
  EXPECT_TRUE(UpdateWindow(w));
  EXPECT_EQ(Sent(w, {WM_PAINT}).size(), 1u);
  EXPECT_EQ(presents(), before + 1);
  // With redraw off, invalidation is ignored until it is on again.
  SendMessage(w, WM_SETREDRAW, FALSE, 0);
  InvalidateRect(w, nullptr, TRUE);
  Pump();
  EXPECT_EQ(Sent(w, {WM_PAINT}).size(), 1u);
  SendMessage(w, WM_SETREDRAW, TRUE, 0);
  RedrawWindow(w, nullptr, nullptr, RDW_INVALIDATE | RDW_FRAME | RDW_ERASE | RDW_UPDATENOW);
  EXPECT_EQ(Sent(w, {WM_NCPAINT, WM_ERASEBKGND, WM_PAINT}),
            (std::vector<UINT>{WM_PAINT, WM_PAINT, WM_NCPAINT, WM_ERASEBKGND}));
  // Hidden windows are not painted; showing them repaints them whole.
  ShowWindow(w, SW_HIDE);
  ClearLog();
  InvalidateRect(w, nullptr, FALSE);
  Pump();
  EXPECT_TRUE(Sent(w, {WM_PAINT}).empty());
  ShowWindow(w, SW_SHOWNA);
  Pump();
  EXPECT_EQ(Sent(w, {WM_PAINT}).size(), 1u);
}

TEST_F(PaintTest, ParentRepaintsReachTheChildrenBelow) {
  HWND top = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 200});
  HWND left = Make(WS_VISIBLE, RECT{0, 0, 100, 100}, top);
  HWND right = Make(WS_VISIBLE, RECT{100, 0, 200, 100}, top);
  Pump();
  ClearLog();
  RECT r{90, 10, 95, 20};
  InvalidateRect(top, &r, FALSE);
  Pump();
  EXPECT_EQ(Sent(top, {WM_PAINT}).size(), 1u);
  EXPECT_EQ(Sent(left, {WM_PAINT}).size(), 1u);
  EXPECT_TRUE(Sent(right, {WM_PAINT}).empty());
  // RDW_ALLCHILDREN with RDW_UPDATENOW paints the whole tree at once.
  ClearLog();
  RedrawWindow(top, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  EXPECT_EQ(Sent(top, {WM_PAINT}).size(), 1u);
  EXPECT_EQ(Sent(left, {WM_PAINT}).size(), 1u);
  EXPECT_EQ(Sent(right, {WM_PAINT}).size(), 1u);
  // Moving a child repaints where it was and where it is.
  Pump();
  ClearLog();
  MoveWindow(right, 120, 120, 50, 50, TRUE);
  Pump();
  EXPECT_EQ(Sent(top, {WM_PAINT}).size(), 1u);
  EXPECT_EQ(Sent(right, {WM_PAINT}).size(), 1u);
}

TEST_F(PaintTest, SnapshotHoldsThePaintedPixels) {
  HWND top = Make(WS_POPUP | WS_BORDER | WS_VISIBLE, RECT{30, 40, 94, 88});
  HWND child = Make(WS_VISIBLE, RECT{8, 8, 24, 24}, top, 0, kLoggedDbl);
  HBRUSH navy = CreateSolidBrush(RGB(0x20, 0x40, 0x80));
  HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
  handler = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m != WM_PAINT) return std::nullopt;
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(h, &ps);
    RECT all{0, 0, 62, 46}, square{4, 4, 12, 12};
    if (h == top) FillRect(dc, &all, navy);
    if (h == child) FillRect(dc, &square, red);
    EndPaint(h, &ps);
    return 0;
  };
  Pump();
  DeleteObject(navy);
  DeleteObject(red);
  // The child's class brush (COLOR_WINDOW) erased its background first.
  EXPECT_EQ(ClientPixel(child, POINT{0, 0}), 0xFFFFFFFFu);
  EXPECT_EQ(ClientPixel(child, POINT{5, 5}), 0xFFFF0000u);

  auto dir = std::filesystem::temp_directory_path() / ("user_snapshot_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  std::string path = (dir / "window.png").string();
  ASSERT_TRUE(SaveWindowSnapshot(top, path));
  std::vector<uint32_t> pixels;
  int32_t width = 0, height = 0;
  ASSERT_TRUE(display::ReadPng(path, pixels, width, height));
  ASSERT_EQ(width, 64);
  ASSERT_EQ(height, 48);
  const Surface& s = *GetWindowSurface(top);
  EXPECT_EQ(pixels, s.pixels) << "a snapshot of the top-level window is its whole surface";
  uint32_t frame = 0xFF000000u | (GetRValue(GetSysColor(COLOR_WINDOWFRAME)) << 16) |
                   (GetGValue(GetSysColor(COLOR_WINDOWFRAME)) << 8) | GetBValue(GetSysColor(COLOR_WINDOWFRAME));
  EXPECT_EQ(pixels[0], frame) << "the plain border";
  EXPECT_EQ(pixels[static_cast<size_t>(1 * width + 1)], 0xFF204080u);
  // The child's snapshot is its part of the surface.
  ASSERT_TRUE(SaveWindowSnapshot(child, path));
  ASSERT_TRUE(display::ReadPng(path, pixels, width, height));
  ASSERT_EQ(width, 16);
  EXPECT_EQ(pixels[0], 0xFFFFFFFFu);
  EXPECT_EQ(pixels[static_cast<size_t>(4 * width + 4)], 0xFFFF0000u);
  std::filesystem::remove_all(dir);
  // Painting was presented to the display.
  display::HeadlessWindowState state;
  ASSERT_TRUE(display::HeadlessWindow(reinterpret_cast<display::WindowKey>(top), state));
  EXPECT_GE(state.presents, 1);
}

}  // namespace

namespace {

// Loader threads ask for repaints while the GUI thread paints: their calls
// reach the window through the GUI thread, and each ends in a paint there.
TEST_F(PaintTest, OtherThreadsInvalidateThroughTheGuiThread) {
  HWND w = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100});
  Pump();
  std::vector<RECT> painted;
  handler = [&](HWND h, UINT m, WPARAM, LPARAM) -> std::optional<LRESULT> {
    if (m != WM_PAINT) return std::nullopt;
    PAINTSTRUCT ps;
    BeginPaint(h, &ps);
    painted.push_back(ps.rcPaint);
    EndPaint(h, &ps);
    return 0;
  };
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([w, t] {
      for (int i = 0; i < 200; ++i) {
        RECT r{t * 10, i % 50, t * 10 + 5, i % 50 + 5};
        if (i % 2) InvalidateRect(w, &r, FALSE);
        else RedrawWindow(w, &r, nullptr, RDW_INVALIDATE);
      }
    });
  // The GUI thread keeps painting meanwhile.
  for (int i = 0; i < 50; ++i) Pump();
  for (auto& t : threads) t.join();
  RECT update;
  Pump();
  EXPECT_FALSE(GetUpdateRect(w, &update, FALSE));
  ASSERT_FALSE(painted.empty());
  // A call from another thread paints exactly its rectangle.
  painted.clear();
  std::thread([w] {
    RECT r{1, 2, 3, 4};
    EXPECT_TRUE(InvalidateRect(w, &r, FALSE));
  }).join();
  Pump();
  ASSERT_EQ(painted.size(), 1u);
  EXPECT_EQ(painted[0], (RECT{1, 2, 3, 4}));
}

}  // namespace
