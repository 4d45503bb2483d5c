#include "platform/win/ole.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "platform/rtl/encoding.h"
#include "platform/win/comimpl.h"
#include "platform/win/globalmem.h"
#include "platform/win/ole_dataobject.h"
#include "tests/platform/win/forwarding_dataobject.h"
#include "tests/platform/win/user_test_support.h"

namespace {

constexpr DWORD kLeft = MK_LBUTTON;
constexpr DWORD kControl = MK_CONTROL;
constexpr CLIPFORMAT kHDrop = CF_HDROP;

// The names of a CF_HDROP block, read as the layout says (UTF-16 names when
// fWide is set), converted to UTF-8.
std::vector<std::string> namesOfDropFiles(const std::string& block) {
  DROPFILES header;
  EXPECT_GE(block.size(), sizeof header);
  std::memcpy(&header, block.data(), sizeof header);
  EXPECT_EQ(header.pFiles, 20u);
  EXPECT_TRUE(header.fWide);
  std::vector<std::string> names;
  for (size_t i = header.pFiles; i + 1 < block.size();) {
    size_t end = i;
    while (end + 1 < block.size() && (block[end] || block[end + 1])) end += 2;
    if (end == i) break;  // the empty name closes the list
    names.push_back(Utf16LEToUtf8(reinterpret_cast<const uint8_t*>(block.data() + i), end - i));
    i = end + 2;
  }
  return names;
}

std::string getBytes(IDataObject* data, CLIPFORMAT format, DWORD tymed = TYMED_HGLOBAL) {
  FORMATETC f{format, nullptr, DVASPECT_CONTENT, -1, tymed};
  STGMEDIUM m;
  if (FAILED(data->GetData(&f, &m))) return "<none>";
  std::string bytes;
  EXPECT_TRUE(ReadMediumBytes(m, bytes, 1 << 20));
  ReleaseStgMedium(&m);
  return bytes;
}

// A drop target that records its calls and answers the effect `choose`
// gives for the key state (copy with Control, else move).
class RecordingTarget final : public ComObject<IDropTarget, IID_IDropTarget> {
public:
  explicit RecordingTarget(std::string name) : name_(std::move(name)) {}

  std::vector<std::string>* log = nullptr;
  ComPtr<IDataObject> dropped;
  bool refuse = false;

  HRESULT DragEnter(IDataObject*, DWORD keys, POINTL p, DWORD* effect) override {
    record("enter", keys, p);
    *effect = choose(keys, *effect);
    return S_OK;
  }
  HRESULT DragOver(DWORD keys, POINTL p, DWORD* effect) override {
    record("over", keys, p);
    *effect = choose(keys, *effect);
    return S_OK;
  }
  HRESULT DragLeave() override {
    log->push_back(name_ + " leave");
    return S_OK;
  }
  HRESULT Drop(IDataObject* data, DWORD keys, POINTL p, DWORD* effect) override {
    record("drop", keys, p);
    dropped = ComPtr<IDataObject>(data);
    *effect = choose(keys, *effect);
    return S_OK;
  }

private:
  DWORD choose(DWORD keys, DWORD allowed) const {
    if (refuse) return DROPEFFECT_NONE;
    DWORD wanted = (keys & kControl) ? DROPEFFECT_COPY : DROPEFFECT_MOVE;
    return allowed & wanted;
  }
  void record(const char* what, DWORD keys, POINTL p) {
    log->push_back(name_ + " " + what + " " + std::to_string(keys) + " " + std::to_string(p.x) + "," +
                   std::to_string(p.y));
  }
  std::string name_;
};

// Two top-level windows side by side: the first (with a child window) has
// target A, the second target B. OLE is initialised for the test.
struct DragDropTest : UserTest {
  std::vector<std::string> log;
  ComPtr<RecordingTarget> a = MakeComObject<RecordingTarget>("A");
  ComPtr<RecordingTarget> b = MakeComObject<RecordingTarget>("B");
  HWND first = nullptr, child = nullptr, second = nullptr;

  void SetUp() override {
    UserTest::SetUp();
    OleInitialize();
    a->log = b->log = &log;
    first = Make(WS_POPUP | WS_VISIBLE, RECT{0, 0, 200, 100});
    child = Make(WS_VISIBLE, RECT{10, 10, 90, 90}, first);
    second = Make(WS_POPUP | WS_VISIBLE, RECT{200, 0, 400, 100});
    ASSERT_EQ(RegisterDragDrop(first, a.Get()), S_OK);
    ASSERT_EQ(RegisterDragDrop(second, b.Get()), S_OK);
  }
  void TearDown() override {
    RevokeDragDrop(first);
    RevokeDragDrop(second);
    OleUninitialize();
    UserTest::TearDown();
  }
};

class ScriptedSource final : public ComObject<IDropSource, IID_IDropSource> {
public:
  std::vector<DWORD> feedback;
  HRESULT QueryContinueDrag(BOOL escape, DWORD keys) override {
    if (escape) return DRAGDROP_S_CANCEL;
    return (keys & kLeft) ? S_OK : DRAGDROP_S_DROP;
  }
  HRESULT GiveFeedback(DWORD effect) override {
    feedback.push_back(effect);
    return DRAGDROP_S_USEDEFAULTCURSORS;
  }
};

}  // namespace

TEST(OleDataObject, ServesItsFormatsInGlobalMemoryAndStreams) {
  ComPtr<IDataObject> data = CreateStoredDataObject({{1, std::string("text\0", 5)}, {kHDrop, "drop"}});
  EXPECT_EQ(getBytes(data.Get(), 1), std::string("text\0", 5));
  EXPECT_EQ(getBytes(data.Get(), kHDrop, TYMED_ISTREAM), "drop");

  struct Case {
    FORMATETC format;
    HRESULT expected;
  };
  const Case cases[] = {
      {{1, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL | TYMED_ISTREAM}, S_OK},
      {{1, nullptr, DVASPECT_ICON, -1, TYMED_HGLOBAL}, DV_E_DVASPECT},
      {{1, nullptr, DVASPECT_CONTENT, 0, TYMED_HGLOBAL}, DV_E_LINDEX},
      {{1, nullptr, DVASPECT_CONTENT, -1, TYMED_ISTORAGE}, DV_E_TYMED},
      {{7, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL}, DV_E_FORMATETC},
  };
  for (const Case& c : cases) {
    FORMATETC f = c.format;
    EXPECT_EQ(data->QueryGetData(&f), c.expected) << f.cfFormat << " " << f.tymed;
    STGMEDIUM m;
    EXPECT_EQ(data->GetData(&f, &m), c.expected);
    if (SUCCEEDED(c.expected)) {
      EXPECT_EQ(m.tymed, TYMED_HGLOBAL);  // preferred when both are asked
    }
    ReleaseStgMedium(&m);
  }

  // Drop targets write feedback formats back.
  FORMATETC f{0xC001, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM m;
  m.tymed = TYMED_HGLOBAL;
  m.hGlobal = GlobalAlloc(GMEM_MOVEABLE, 4);
  *static_cast<DWORD*>(GlobalLock(m.hGlobal)) = DROPEFFECT_COPY;
  GlobalUnlock(m.hGlobal);
  ASSERT_EQ(data->SetData(&f, &m, TRUE), S_OK);
  EXPECT_EQ(m.hGlobal, nullptr);  // taken over and freed
  EXPECT_EQ(getBytes(data.Get(), 0xC001), std::string("\1\0\0\0", 4));

  DWORD connection = 0;
  EXPECT_EQ(data->DAdvise(&f, 0, nullptr, &connection), OLE_E_ADVISENOTSUPPORTED);
}

TEST(OleDataObject, EnumeratorWalksTheFormats) {
  ComPtr<IDataObject> data = CreateStoredDataObject({{1, "a"}, {13, "b"}, {kHDrop, "c"}});
  ComPtr<IEnumFORMATETC> e;
  IEnumFORMATETC* none = reinterpret_cast<IEnumFORMATETC*>(1);
  EXPECT_EQ(data->EnumFormatEtc(DATADIR_SET, &none), E_NOTIMPL);
  EXPECT_EQ(none, nullptr);
  ASSERT_EQ(data->EnumFormatEtc(DATADIR_GET, e.GetAddressOf()), S_OK);

  FORMATETC f[3];
  ULONG fetched = 0;
  std::vector<CLIPFORMAT> seen;
  while (e->Next(1, f, &fetched) == S_OK) {
    EXPECT_EQ(f[0].tymed, TYMED_HGLOBAL | TYMED_ISTREAM);
    seen.push_back(f[0].cfFormat);
  }
  EXPECT_EQ(fetched, 0u);
  EXPECT_EQ(seen, (std::vector<CLIPFORMAT>{1, 13, kHDrop}));

  ASSERT_EQ(e->Reset(), S_OK);
  EXPECT_EQ(e->Next(3, f, &fetched), S_OK);
  EXPECT_EQ(fetched, 3u);
  e->Reset();
  EXPECT_EQ(e->Skip(2), S_OK);
  ComPtr<IEnumFORMATETC> clone;
  ASSERT_EQ(e->Clone(clone.GetAddressOf()), S_OK);
  EXPECT_EQ(clone->Next(3, f, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u);
  EXPECT_EQ(f[0].cfFormat, kHDrop);
  EXPECT_EQ(e->Skip(5), S_FALSE);
}

TEST(OleMedium, ReleaseFreesWhatTheMediumOwns) {
  STGMEDIUM m;
  m.tymed = TYMED_HGLOBAL;
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 8);
  m.hGlobal = block;
  ReleaseStgMedium(&m);
  EXPECT_EQ(GlobalSize(block), 0u);  // freed
  EXPECT_EQ(m.tymed, TYMED_NULL);

  // With an owner, the owner is released and the block left to it.
  ComPtr<IStream> owner;
  CreateStreamOnHGlobal(nullptr, TRUE, owner.GetAddressOf());
  block = GlobalAlloc(GMEM_MOVEABLE, 8);
  m.tymed = TYMED_HGLOBAL;
  m.hGlobal = block;
  m.pUnkForRelease = owner.Get();
  owner->AddRef();
  ReleaseStgMedium(&m);
  EXPECT_EQ(GlobalSize(block), 8u);
  EXPECT_EQ(owner->AddRef(), 2u);  // back to our one reference, plus this one
  owner->Release();
  GlobalFree(block);

  m.tymed = TYMED_ISTREAM;
  CreateStreamOnHGlobal(nullptr, TRUE, &m.pstm);
  ReleaseStgMedium(&m);  // leak-checked
  ReleaseStgMedium(nullptr);

  // Compound files are not available: callers take their other media.
  ILockBytes* bytes = reinterpret_cast<ILockBytes*>(1);
  EXPECT_EQ(CreateILockBytesOnHGlobal(nullptr, FALSE, &bytes), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(bytes, nullptr);
  IStorage* storage = reinterpret_cast<IStorage*>(1);
  EXPECT_EQ(StgCreateDocfileOnILockBytes(nullptr, STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &storage),
            STG_E_INVALIDFUNCTION);
  EXPECT_EQ(storage, nullptr);
}

TEST_F(DragDropTest, RegistrationRules) {
  EXPECT_EQ(RegisterDragDrop(first, b.Get()), DRAGDROP_E_ALREADYREGISTERED);
  EXPECT_EQ(RegisterDragDrop(child, nullptr), E_INVALIDARG);
  EXPECT_EQ(RevokeDragDrop(child), DRAGDROP_E_NOTREGISTERED);
  HWND gone = Make(WS_POPUP, RECT{0, 0, 10, 10});
  DestroyWindow(gone);
  EXPECT_EQ(RegisterDragDrop(gone, b.Get()), DRAGDROP_E_INVALIDHWND);
  OleUninitialize();
  EXPECT_EQ(RegisterDragDrop(child, b.Get()), E_OUTOFMEMORY);  // OLE not initialised
  OleInitialize();
}

// No drag-image helper is registered: targets go without the image.
TEST_F(DragDropTest, TheDragImageHelperIsNotRegistered) {
  void* helper = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_DragDropHelper, nullptr, CLSCTX_INPROC_SERVER, IID_IDropTargetHelper, &helper),
            REGDB_E_CLASSNOTREG);
  EXPECT_EQ(helper, nullptr);
}

TEST_F(DragDropTest, DesktopFilesReachTheTargetAsNamesAndTheEffectComesBack) {
  const std::vector<std::string> files = {"/home/anna/Bilder/Farbkarte ü.tif", "/tmp/日本語/チャート.jpg",
                                          "/tmp/emoji 😀.png", "/tmp/plain"};
  display::InjectKeyDown(VK_CONTROL);  // Control held: the target copies
  Pump();
  POINT p = ScreenPoint(child, 30, 40);
  const std::string at = std::to_string(p.x) + "," + std::to_string(p.y);
  display::InjectFileDrop(p, files);
  EXPECT_EQ(log, (std::vector<std::string>{"A enter 9 " + at, "A over 9 " + at, "A drop 8 " + at}));
  ASSERT_TRUE(a->dropped);
  EXPECT_EQ(namesOfDropFiles(getBytes(a->dropped.Get(), kHDrop)), files);
  EXPECT_EQ(namesOfDropFiles(getBytes(a->dropped.Get(), kHDrop, TYMED_ISTREAM)), files);
  std::string single = getBytes(a->dropped.Get(), static_cast<CLIPFORMAT>(RegisterClipboardFormat("FileNameW")));
  EXPECT_EQ(Utf16LEToUtf8(reinterpret_cast<const uint8_t*>(single.data()), single.size()),
            files[0] + std::string(1, '\0'));
  display::InjectKeyUp(VK_CONTROL);
  Pump();

  // Without Control the target moves; the effect comes back to the caller.
  log.clear();
  EXPECT_EQ(DropFilesOnWindow(second, {250, 50}, files), DROPEFFECT_MOVE);
  EXPECT_EQ(log, (std::vector<std::string>{"B enter 1 250,50", "B over 1 250,50", "B drop 0 250,50"}));

  // A target that refuses is left; a window without a target takes nothing.
  log.clear();
  b->refuse = true;
  EXPECT_EQ(DropFilesOnWindow(second, {250, 50}, files), DROPEFFECT_NONE);
  EXPECT_EQ(log, (std::vector<std::string>{"B enter 1 250,50", "B over 1 250,50", "B leave"}));
  RevokeDragDrop(first);
  log.clear();
  display::InjectFileDrop(ScreenPoint(child, 5, 5), files);
  EXPECT_TRUE(log.empty());
}

TEST_F(DragDropTest, DragLoopFollowsThePointerAndKeysToTheDrop) {
  ComPtr<IDataObject> data = CreateStoredDataObject({{CF_TEXT, "text"}});
  ComPtr<ScriptedSource> source = MakeComObject<ScriptedSource>();
  display::InjectMouseDown({20, 20});  // the press that starts the drag, seen by the source window
  Pump();
  ClearLog();
  display::InjectMouseMove({50, 20});   // still over A (through the child)
  display::InjectMouseMove({250, 20});  // into B
  display::InjectKeyDown(VK_CONTROL);
  display::InjectMouseUp({250, 20});
  DWORD effect = 77;
  EXPECT_EQ(DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect), DRAGDROP_S_DROP);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_EQ(log, (std::vector<std::string>{"A enter 1 20,20", "A over 1 50,20", "A leave", "B enter 1 250,20",
                                           "B over 9 250,20", "B drop 8 250,20"}));
  EXPECT_EQ(source->feedback, (std::vector<DWORD>{DROPEFFECT_MOVE, DROPEFFECT_MOVE, DROPEFFECT_MOVE, DROPEFFECT_COPY}));
  EXPECT_EQ(b->dropped.Get(), data.Get());
  EXPECT_EQ(display::HeadlessCursorShape(), 32512);  // the arrow while a target accepts
  // The drag took the mouse input: the windows under it saw none of it.
  EXPECT_TRUE(Sent(child, {WM_MOUSEMOVE, WM_LBUTTONUP}).empty());
  EXPECT_TRUE(Sent(second, {WM_MOUSEMOVE, WM_LBUTTONUP}).empty());
}

TEST_F(DragDropTest, DragLoopCancels) {
  ComPtr<IDataObject> data = CreateStoredDataObject({{CF_TEXT, "text"}});
  ComPtr<ScriptedSource> source = MakeComObject<ScriptedSource>();
  struct Case {
    const char* name;
    bool bRefuses;
    std::function<void()> input;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"escape", false, [] { display::InjectMouseMove({250, 20}); display::InjectKey(VK_ESCAPE); },
       {"A enter 1 20,20", "A leave", "B enter 1 250,20", "B leave"}},
      {"released where nobody accepts", true,
       [] { display::InjectMouseMove({250, 20}); display::InjectMouseUp({250, 20}); },
       {"A enter 1 20,20", "A leave", "B enter 1 250,20", "B leave"}},
      {"program quits", false, [] { display::InjectMouseMove({50, 20}); PostQuitMessage(3); },
       {"A enter 1 20,20", "A over 1 50,20", "A leave"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    display::InjectMouseDown({20, 20});
    Pump();
    log.clear();
    b->refuse = c.bRefuses;
    c.input();
    DWORD effect = 77;
    EXPECT_EQ(DoDragDrop(data.Get(), source.Get(), DROPEFFECT_MOVE, &effect), DRAGDROP_S_CANCEL);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(log, c.log);
    if (c.bRefuses) {
      EXPECT_EQ(display::HeadlessCursorShape(), 32648);  // the "no" cursor over a refusing target
    }
    display::InjectMouseUp({20, 20});
    MSG m;
    bool quit = false;
    while (PeekMessage(&m, nullptr, 0, 0, PM_REMOVE)) quit = quit || m.message == WM_QUIT;
    EXPECT_EQ(quit, std::string(c.name) == "program quits");  // posted again for the outer loop
  }
  EXPECT_EQ(DoDragDrop(nullptr, source.Get(), DROPEFFECT_MOVE, nullptr), E_INVALIDARG);
}

// --- Clipboard ---

namespace {

std::string clipboardBytes(UINT format) {
  if (!OpenClipboard(nullptr)) return "<closed>";
  HANDLE h = GetClipboardData(format);
  std::string bytes = h ? std::string(static_cast<const char*>(GlobalLock(h)), GlobalSize(h)) : "<none>";
  if (h) GlobalUnlock(h);
  CloseClipboard();
  return bytes;
}

int liveObjects = 0;
// A data object that counts its instances.
class CountedDataObject final : public ForwardingDataObject<ComObject<IDataObject, IID_IDataObject>> {
public:
  explicit CountedDataObject(std::vector<StoredFormat> formats)
      : ForwardingDataObject(CreateStoredDataObject(std::move(formats))) {
    ++liveObjects;
  }
  ~CountedDataObject() override { --liveObjects; }
};

}  // namespace

TEST_F(UserTest, OleClipboardTakesAndGivesDataObjects) {
  const UINT effectFormat = RegisterClipboardFormat("Preferred DropEffect");
  {
    ComPtr<CountedDataObject> data = MakeComObject<CountedDataObject>(std::vector<StoredFormat>{
        {CF_TEXT, std::string("copied\0", 7)}, {static_cast<CLIPFORMAT>(effectFormat), std::string("\1\0\0\0", 4)}});
    ASSERT_EQ(OleSetClipboard(data.Get()), S_OK);
  }
  EXPECT_EQ(liveObjects, 1);  // held by the clipboard
  EXPECT_EQ(clipboardBytes(CF_TEXT), std::string("copied\0", 7));
  EXPECT_EQ(clipboardBytes(effectFormat), std::string("\1\0\0\0", 4));

  ComPtr<IDataObject> pasted;
  ASSERT_EQ(OleGetClipboard(pasted.GetAddressOf()), S_OK);
  EXPECT_EQ(getBytes(pasted.Get(), CF_TEXT), std::string("copied\0", 7));
  EXPECT_EQ(getBytes(pasted.Get(), static_cast<CLIPFORMAT>(effectFormat), TYMED_ISTREAM), std::string("\1\0\0\0", 4));
  std::string wide = getBytes(pasted.Get(), CF_UNICODETEXT);  // made from the text
  EXPECT_EQ(Utf16LEToUtf8(reinterpret_cast<const uint8_t*>(wide.data()), wide.size()), std::string("copied\0", 7));

  ASSERT_EQ(OleFlushClipboard(), S_OK);
  EXPECT_EQ(liveObjects, 0);
  EXPECT_EQ(clipboardBytes(CF_TEXT), std::string("copied\0", 7));  // the data stays

  ASSERT_EQ(OleSetClipboard(nullptr), S_OK);
  EXPECT_EQ(clipboardBytes(CF_TEXT), "<none>");

  // Another window holding the clipboard open keeps OLE out.
  HWND other = Make(WS_POPUP, RECT{0, 0, 10, 10});
  ASSERT_TRUE(OpenClipboard(other));
  IDataObject* none = reinterpret_cast<IDataObject*>(1);
  EXPECT_EQ(OleGetClipboard(&none), CLIPBRD_E_CANT_OPEN);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(OleSetClipboard(nullptr), CLIPBRD_E_CANT_OPEN);
  CloseClipboard();
}
