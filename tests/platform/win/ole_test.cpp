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

namespace {

constexpr DWORD kLeft = 0x0001;     // MK_LBUTTON
constexpr DWORD kControl = 0x0008;  // MK_CONTROL
constexpr CLIPFORMAT kHDrop = 15;   // CF_HDROP

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

// Stand-in windows: a parent 1 holding child 2 on x < 100, window 3 on x >= 100.
HWND win(intptr_t id) { return reinterpret_cast<HWND>(id); }

struct FakeWindowing {
  std::deque<DragInput> inputs;
  DragInput now;
  DragDropWindowing previous;

  FakeWindowing() {
    DragDropWindowing w;
    w.isWindow = [](HWND h) { return h == win(1) || h == win(2) || h == win(3); };
    w.windowFromPoint = [](POINT p) { return p.x < 100 ? win(2) : win(3); };
    w.parentOf = [](HWND h) { return h == win(2) ? win(1) : nullptr; };
    w.currentInput = [this] { return now; };
    w.nextInput = [this](DragInput& in) {
      if (inputs.empty()) return false;
      in = now = inputs.front();
      inputs.pop_front();
      return true;
    };
    previous = SetDragDropWindowing(w);
  }
  ~FakeWindowing() { SetDragDropWindowing(previous); }
};

// OLE initialised on this thread and two recording targets: A on window 1
// (so also under its child 2), B on window 3.
struct DragDropFixture : ::testing::Test {
  FakeWindowing windows;
  std::vector<std::string> log;
  ComPtr<RecordingTarget> a = MakeComObject<RecordingTarget>("A");
  ComPtr<RecordingTarget> b = MakeComObject<RecordingTarget>("B");

  void SetUp() override {
    OleInitialize();
    a->log = b->log = &log;
    ASSERT_EQ(RegisterDragDrop(win(1), a.Get()), S_OK);
    ASSERT_EQ(RegisterDragDrop(win(3), b.Get()), S_OK);
  }
  void TearDown() override {
    RevokeDragDrop(win(1));
    RevokeDragDrop(win(3));
    OleUninitialize();
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

TEST_F(DragDropFixture, RegistrationRules) {
  EXPECT_EQ(RegisterDragDrop(win(1), b.Get()), DRAGDROP_E_ALREADYREGISTERED);
  EXPECT_EQ(RegisterDragDrop(win(99), b.Get()), DRAGDROP_E_INVALIDHWND);
  EXPECT_EQ(RegisterDragDrop(win(2), nullptr), E_INVALIDARG);
  EXPECT_EQ(RevokeDragDrop(win(2)), DRAGDROP_E_NOTREGISTERED);
  OleUninitialize();
  EXPECT_EQ(RegisterDragDrop(win(2), b.Get()), E_OUTOFMEMORY);  // OLE not initialised
  OleInitialize();
}

TEST_F(DragDropFixture, DesktopFilesReachTheTargetAsNamesAndTheEffectComesBack) {
  const std::vector<std::string> files = {"/home/anna/Bilder/Farbkarte ü.tif", "/tmp/日本語/チャート.jpg",
                                          "/tmp/emoji 😀.png", "/tmp/plain"};
  windows.now.keyState = kControl;  // Control held: the target copies
  EXPECT_EQ(DropFilesOnWindow(win(2), {40, 50}, files), DROPEFFECT_COPY);
  EXPECT_EQ(log, (std::vector<std::string>{"A enter 9 40,50", "A over 9 40,50", "A drop 8 40,50"}));
  ASSERT_TRUE(a->dropped);
  EXPECT_EQ(namesOfDropFiles(getBytes(a->dropped.Get(), kHDrop)), files);
  EXPECT_EQ(namesOfDropFiles(getBytes(a->dropped.Get(), kHDrop, TYMED_ISTREAM)), files);

  // A target that refuses is left; a window without a target takes nothing.
  log.clear();
  b->refuse = true;
  EXPECT_EQ(DropFilesOnWindow(win(3), {140, 50}, files), DROPEFFECT_NONE);
  EXPECT_EQ(log, (std::vector<std::string>{"B enter 9 140,50", "B over 9 140,50", "B leave"}));
  RevokeDragDrop(win(1));
  EXPECT_EQ(DropFilesOnWindow(win(2), {40, 50}, files), DROPEFFECT_NONE);
}

TEST_F(DragDropFixture, DragLoopFollowsThePointerAndKeysToTheDrop) {
  ComPtr<IDataObject> data = CreateStoredDataObject({{1, "text"}});
  ComPtr<ScriptedSource> source = MakeComObject<ScriptedSource>();
  windows.now = {{10, 10}, kLeft, false};
  windows.inputs = {
      {{50, 10}, kLeft, false},             // still over A
      {{150, 10}, kLeft, false},            // into B
      {{150, 10}, kLeft | kControl, false}, // Control pressed
      {{150, 10}, kControl, false},         // released: drop
  };
  DWORD effect = 77;
  EXPECT_EQ(DoDragDrop(data.Get(), source.Get(), DROPEFFECT_COPY | DROPEFFECT_MOVE, &effect), DRAGDROP_S_DROP);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  EXPECT_EQ(log, (std::vector<std::string>{"A enter 1 10,10", "A over 1 50,10", "A leave", "B enter 1 150,10",
                                           "B over 9 150,10", "B drop 8 150,10"}));
  EXPECT_EQ(source->feedback, (std::vector<DWORD>{DROPEFFECT_MOVE, DROPEFFECT_MOVE, DROPEFFECT_MOVE, DROPEFFECT_COPY}));
  EXPECT_EQ(b->dropped.Get(), data.Get());
}

TEST_F(DragDropFixture, DragLoopCancels) {
  ComPtr<IDataObject> data = CreateStoredDataObject({{1, "text"}});
  ComPtr<ScriptedSource> source = MakeComObject<ScriptedSource>();
  struct Case {
    const char* name;
    bool bRefuses;
    std::deque<DragInput> inputs;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"escape", false, {{{150, 10}, kLeft, false}, {{150, 10}, kLeft, true}},
       {"A enter 1 10,10", "A leave", "B enter 1 150,10", "B leave"}},
      {"released where nobody accepts", true, {{{150, 10}, kLeft, false}, {{150, 10}, 0, false}},
       {"A enter 1 10,10", "A leave", "B enter 1 150,10", "B leave"}},
      {"input ends", false, {{{50, 10}, kLeft, false}}, {"A enter 1 10,10", "A over 1 50,10", "A leave"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    log.clear();
    b->refuse = c.bRefuses;
    windows.now = {{10, 10}, kLeft, false};
    windows.inputs = c.inputs;
    DWORD effect = 77;
    EXPECT_EQ(DoDragDrop(data.Get(), source.Get(), DROPEFFECT_MOVE, &effect), DRAGDROP_S_CANCEL);
    EXPECT_EQ(effect, DROPEFFECT_NONE);
    EXPECT_EQ(log, c.log);
  }
  EXPECT_EQ(DoDragDrop(nullptr, source.Get(), DROPEFFECT_MOVE, nullptr), E_INVALIDARG);
}
