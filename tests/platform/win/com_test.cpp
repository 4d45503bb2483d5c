#include "platform/win/com.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <thread>

#include "platform/win/comimpl.h"
#include "platform/win/globalmem.h"

namespace {

// {6F1C8A52-3B0D-4E7A-9C21-5D4E3F2A1B0C}
constexpr CLSID CLSID_Widget{0x6F1C8A52, 0x3B0D, 0x4E7A, {0x9C, 0x21, 0x5D, 0x4E, 0x3F, 0x2A, 0x1B, 0x0C}};
// {0A9B8C7D-6E5F-4A3B-8C2D-1E0F9A8B7C6D}
constexpr IID IID_IWidget{0x0A9B8C7D, 0x6E5F, 0x4A3B, {0x8C, 0x2D, 0x1E, 0x0F, 0x9A, 0x8B, 0x7C, 0x6D}};

class IWidget : public IUnknown {
public:
  virtual int Answer() = 0;
};

int liveWidgets = 0;

class Widget final : public ComObject<IWidget, IID_IWidget> {
public:
  Widget() { ++liveWidgets; }
  ~Widget() override { --liveWidgets; }
  int Answer() override { return 42; }
};

class WidgetFactory final : public ComObject<IClassFactory, IID_IClassFactory> {
public:
  HRESULT CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
    if (outer) return CLASS_E_NOAGGREGATION;
    ComPtr<Widget> w = MakeComObject<Widget>();
    return w->QueryInterface(riid, object);
  }
  HRESULT LockServer(BOOL) override { return S_OK; }
};

// COM initialised on this thread for the duration of a test.
struct ComScope {
  ComScope() { CoInitialize(); }
  ~ComScope() { CoUninitialize(); }
};

}  // namespace

TEST(Com, ReferenceCountsFollowAddRefReleaseAndComPtr) {
  auto* w = new Widget;
  EXPECT_EQ(liveWidgets, 1);
  EXPECT_EQ(w->AddRef(), 2u);
  {
    ComPtr<IWidget> held(w);  // third reference
    ComPtr<IWidget> copy = held;
    EXPECT_EQ(w->AddRef(), 5u);
    w->Release();
    IUnknown* unknown = nullptr;
    ASSERT_EQ(held->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
    unknown->Release();
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(held->QueryInterface(IID_IStream, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
  }
  EXPECT_EQ(w->Release(), 1u);
  EXPECT_EQ(liveWidgets, 1);
  EXPECT_EQ(w->Release(), 0u);
  EXPECT_EQ(liveWidgets, 0);
}

TEST(Com, InitialisationIsCountedPerThread) {
  EXPECT_FALSE(CoIsInitialized());
  EXPECT_EQ(CoInitialize(), S_OK);
  EXPECT_EQ(CoInitialize(), S_FALSE);
  EXPECT_EQ(OleInitialize(), S_OK);
  std::thread([] { EXPECT_FALSE(CoIsInitialized()); }).join();
  CoUninitialize();
  CoUninitialize();
  EXPECT_TRUE(CoIsInitialized());  // OLE still holds it
  EXPECT_TRUE(OleIsInitialized());
  OleUninitialize();
  EXPECT_FALSE(CoIsInitialized());
  CoUninitialize();  // one too many does no harm
  EXPECT_EQ(CoInitialize(), S_OK);
  CoUninitialize();
}

TEST(Com, CreateInstanceFindsOnlyRegisteredInProcessClasses) {
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget, &object), CO_E_NOTINITIALIZED);
  EXPECT_EQ(object, nullptr);

  ComScope com;
  EXPECT_EQ(CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget, &object), REGDB_E_CLASSNOTREG);

  ComPtr<WidgetFactory> factory = MakeComObject<WidgetFactory>();
  DWORD cookie = 0;
  ASSERT_EQ(CoRegisterClassObject(CLSID_Widget, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE, &cookie), S_OK);
  {
    ComPtr<IWidget> w;
    ASSERT_EQ(CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_INPROC_SERVER, IID_IWidget,
                               reinterpret_cast<void**>(w.GetAddressOf())),
              S_OK);
    EXPECT_EQ(w->Answer(), 42);
    EXPECT_EQ(liveWidgets, 1);
    EXPECT_EQ(CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_LOCAL_SERVER, IID_IWidget, &object), REGDB_E_CLASSNOTREG);
    EXPECT_EQ(CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_INPROC_SERVER, IID_IStream, &object), E_NOINTERFACE);
    EXPECT_EQ(liveWidgets, 1);  // the refused one was released
  }
  EXPECT_EQ(liveWidgets, 0);

  EXPECT_EQ(CoRevokeClassObject(cookie), S_OK);
  EXPECT_EQ(CoRevokeClassObject(cookie), CO_E_OBJNOTREG);
  EXPECT_EQ(CoCreateInstance(CLSID_Widget, nullptr, CLSCTX_ALL, IID_IWidget, &object), REGDB_E_CLASSNOTREG);
}

TEST(Com, GuidsAreFreshVersion4Values) {
  GUID a, b;
  ASSERT_EQ(CoCreateGuid(&a), S_OK);
  ASSERT_EQ(CoCreateGuid(&b), S_OK);
  EXPECT_FALSE(IsEqualGUID(a, b));
  EXPECT_FALSE(IsEqualGUID(a, GUID_NULL));
  EXPECT_EQ(a.Data3 >> 12, 4);
  EXPECT_EQ(a.Data4[0] & 0xC0, 0x80);
}

TEST(Com, TaskMemoryRoundTrip) {
  auto* p = static_cast<char*>(CoTaskMemAlloc(4));
  ASSERT_NE(p, nullptr);
  std::memcpy(p, "abc", 4);
  p = static_cast<char*>(CoTaskMemRealloc(p, 4096));
  ASSERT_NE(p, nullptr);
  EXPECT_STREQ(p, "abc");
  CoTaskMemFree(p);
  CoTaskMemFree(nullptr);
}

TEST(Com, InterfaceCrossesThreadsThroughAStream) {
  ComPtr<IWidget> w = MakeComObject<Widget>();
  IStream* packed = nullptr;
  ASSERT_EQ(CoMarshalInterThreadInterfaceInStream(IID_IWidget, w.Get(), &packed), S_OK);
  w.Reset();
  EXPECT_EQ(liveWidgets, 1);  // the stream holds it
  int answer = 0;
  std::thread([&] {
    ComPtr<IWidget> got;
    ASSERT_EQ(CoGetInterfaceAndReleaseStream(packed, IID_IWidget, reinterpret_cast<void**>(got.GetAddressOf())), S_OK);
    answer = got->Answer();
  }).join();
  EXPECT_EQ(answer, 42);
  EXPECT_EQ(liveWidgets, 0);
}

// --- Streams on HGLOBAL ---

namespace {

std::string readAll(IStream* s) {
  std::string out(64, '\0');
  ULONG n = 0;
  EXPECT_EQ(s->Read(out.data(), static_cast<ULONG>(out.size()), &n), S_OK);
  out.resize(n);
  return out;
}

uint64_t seek(IStream* s, int64_t move, DWORD origin) {
  uint64_t pos = ~uint64_t{0};
  EXPECT_EQ(s->Seek(move, origin, &pos), S_OK);
  return pos;
}

}  // namespace

TEST(HGlobalStream, ReadsWritesSeeksAndReportsItsSize) {
  ComPtr<IStream> s;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, s.GetAddressOf()), S_OK);
  ULONG written = 0;
  ASSERT_EQ(s->Write("hello world", 11, &written), S_OK);
  EXPECT_EQ(written, 11u);

  EXPECT_EQ(seek(s.Get(), 0, STREAM_SEEK_SET), 0u);
  EXPECT_EQ(readAll(s.Get()), "hello world");
  EXPECT_EQ(seek(s.Get(), -5, STREAM_SEEK_END), 6u);
  EXPECT_EQ(readAll(s.Get()), "world");
  EXPECT_EQ(seek(s.Get(), -11, STREAM_SEEK_CUR), 0u);
  uint64_t pos = 99;
  EXPECT_EQ(s->Seek(-1, STREAM_SEEK_SET, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(pos, 99u);  // unchanged on failure
  EXPECT_EQ(s->Seek(0, 7, nullptr), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(s->Seek(INT64_MAX, STREAM_SEEK_END, &pos), STG_E_INVALIDFUNCTION);  // no sum overflows
  EXPECT_EQ(s->Seek(INT64_MIN, STREAM_SEEK_END, &pos), STG_E_INVALIDFUNCTION);
  EXPECT_EQ(pos, 99u);

  // Writing past the end leaves a zero-filled gap.
  EXPECT_EQ(seek(s.Get(), 14, STREAM_SEEK_SET), 14u);
  ASSERT_EQ(s->Write("!", 1, nullptr), S_OK);
  STATSTG stat;
  ASSERT_EQ(s->Stat(&stat, STATFLAG_NONAME), S_OK);
  EXPECT_EQ(stat.cbSize, 15u);
  EXPECT_EQ(stat.type, STGTY_STREAM);
  EXPECT_EQ(stat.pwcsName, nullptr);
  seek(s.Get(), 0, STREAM_SEEK_SET);
  EXPECT_EQ(readAll(s.Get()), std::string("hello world\0\0\0!", 15));

  // Reading at the end gives nothing; SetSize cuts.
  ULONG n = 7;
  char c;
  EXPECT_EQ(s->Read(&c, 1, &n), S_OK);
  EXPECT_EQ(n, 0u);
  ASSERT_EQ(s->SetSize(5), S_OK);
  seek(s.Get(), 0, STREAM_SEEK_SET);
  EXPECT_EQ(readAll(s.Get()), "hello");

  // The block under it holds exactly the stream's bytes.
  HGLOBAL block = nullptr;
  ASSERT_EQ(GetHGlobalFromStream(s.Get(), &block), S_OK);
  EXPECT_EQ(GlobalSize(block), 5u);
  EXPECT_EQ(std::memcmp(GlobalLock(block), "hello", 5), 0);
  GlobalUnlock(block);
}

TEST(HGlobalStream, WrapsAnExistingBlockAndKeepsItWhenAsked) {
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, 4);
  std::memcpy(GlobalLock(block), "data", 4);
  GlobalUnlock(block);
  {
    ComPtr<IStream> s;
    ASSERT_EQ(CreateStreamOnHGlobal(block, FALSE, s.GetAddressOf()), S_OK);
    EXPECT_EQ(readAll(s.Get()), "data");
    ComPtr<IStream> clone;
    ASSERT_EQ(s->Clone(clone.GetAddressOf()), S_OK);  // shares the bytes, own position
    seek(s.Get(), 0, STREAM_SEEK_SET);
    ASSERT_EQ(s->Write("DA", 2, nullptr), S_OK);
    seek(clone.Get(), 0, STREAM_SEEK_SET);
    EXPECT_EQ(readAll(clone.Get()), "DAta");
  }
  // Not deleted on release: the block is still ours.
  EXPECT_EQ(std::memcmp(GlobalLock(block), "DAta", 4), 0);
  GlobalUnlock(block);
  EXPECT_EQ(GlobalFree(block), nullptr);

  int notABlock = 0;
  IStream* s = nullptr;
  EXPECT_EQ(CreateStreamOnHGlobal(&notABlock, FALSE, &s), E_INVALIDARG);
  EXPECT_EQ(s, nullptr);
}

TEST(HGlobalStream, CopyToMovesTheRestOfTheStream) {
  ComPtr<IStream> from, to;
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, from.GetAddressOf()), S_OK);
  ASSERT_EQ(CreateStreamOnHGlobal(nullptr, TRUE, to.GetAddressOf()), S_OK);
  std::string big(50000, 'x');
  big[49999] = 'y';
  from->Write(big.data(), static_cast<ULONG>(big.size()), nullptr);
  seek(from.Get(), 10, STREAM_SEEK_SET);
  uint64_t read = 0, written = 0;
  ASSERT_EQ(from->CopyTo(to.Get(), ~uint64_t{0}, &read, &written), S_OK);
  EXPECT_EQ(read, 49990u);
  EXPECT_EQ(written, 49990u);
  STATSTG stat;
  to->Stat(&stat, STATFLAG_NONAME);
  EXPECT_EQ(stat.cbSize, 49990u);
  seek(to.Get(), -1, STREAM_SEEK_END);
  EXPECT_EQ(readAll(to.Get()), "y");
}
