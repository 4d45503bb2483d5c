#include "services/droptarget.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "platform/display/headless.h"
#include "platform/forms/clipbrd.h"
#include "platform/forms/extctrls.h"
#include "platform/forms/forms.h"
#include "platform/forms/properties.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/threads.h"
#include "platform/win/comimpl.h"
#include "platform/win/ole_dataobject.h"
#include "platform/win/user_scroll.h"
#include "platform/win/user_system.h"
#include "platform/win/winuser_consts.h"
#include "services/dragdropfile.h"
#include "tests/platform/win/forwarding_dataobject.h"

namespace {

// A form with two panels side by side, the first holding a small inner
// panel, and a file drop target owned by the form.
class DropTargetOnForm : public ::testing::Test {
protected:
  void SetUp() override {
    display::SetActiveBackend(display::CreateHeadlessBackend());
    OleInitialize(nullptr);
    form_ = new TForm(nullptr);
    form_->SetBounds(100, 100, 400, 300);
    left_ = Panel(form_, 10, 10, 150, 200);
    inner_ = Panel(left_, 20, 20, 50, 50);
    right_ = Panel(form_, 200, 10, 150, 200);
    form_->Show();
    Application->ProcessMessages();
    target_ = new TDropFileTarget(form_);
  }
  void TearDown() override {
    delete form_;
    Application->ProcessMessages();
    OleUninitialize();
  }
  TPanel* Panel(TWinControl* parent, int x, int y, int w, int h) {
    auto* panel = new TPanel(form_);
    panel->SetParent(parent);
    panel->SetBounds(x, y, w, h);
    return panel;
  }
  std::vector<TWinControl*> Registered() const {
    std::vector<TWinControl*> list;
    for (int i = 0; i < target_->Targets().Count(); ++i) list.push_back(target_->Targets().Items(i));
    return list;
  }
  // The registered control under a client point of the control.
  TWinControl* Under(TWinControl* control, POINT client) const {
    return target_->FindTarget(control->ClientToScreen(client));
  }

  TForm* form_ = nullptr;
  TPanel* left_ = nullptr;
  TPanel* inner_ = nullptr;
  TPanel* right_ = nullptr;
  TDropFileTarget* target_ = nullptr;
};

ComPtr<IDataObject> DroppedNames(const std::vector<std::string>& names) {
  const std::vector<uint8_t> block = WriteDropFiles(names, true);
  return CreateStoredDataObject({{CF_HDROP, std::string(block.begin(), block.end())}});
}

}  // namespace

TEST_F(DropTargetOnForm, SeveralControlsAndTheOneUnderAPoint) {
  target_->MultiTarget = true;
  target_->Register(right_);
  target_->Register(left_);
  target_->Register(inner_);  // inside left: stands right after it
  target_->Register(left_);   // already there: nothing changes
  EXPECT_EQ(Registered(), (std::vector<TWinControl*>{right_, left_, inner_}));

  struct Case {
    const char* where;
    TWinControl* control;
    POINT client;
    TWinControl* found;
  } cases[] = {
      {"inner panel", inner_, {5, 5}, inner_},
      {"left panel beside the inner one", left_, {120, 150}, left_},
      {"right panel", right_, {75, 100}, right_},
      {"form outside every panel", form_, {380, 250}, nullptr},
  };
  for (const Case& c : cases) EXPECT_EQ(Under(c.control, c.client), c.found) << c.where;

  target_->Unregister(inner_);
  EXPECT_EQ(Under(inner_, {5, 5}), left_) << "an unregistered child finds its registered parent";
  target_->Unregister(inner_);  // not listed: ignored
  target_->Unregister(nullptr);
  EXPECT_TRUE(Registered().empty());
  EXPECT_EQ(Under(right_, {75, 100}), nullptr);
}

TEST_F(DropTargetOnForm, WithoutMultiTargetARegistrationReplacesTheLast) {
  target_->Register(left_);
  target_->Register(right_);
  EXPECT_EQ(Registered(), (std::vector<TWinControl*>{right_}));

  target_->MultiTarget = true;
  target_->Register(left_);
  EXPECT_EQ(Registered(), (std::vector<TWinControl*>{right_, left_}));
  target_->SetTarget(inner_);  // replaces every registration
  EXPECT_EQ(Registered(), (std::vector<TWinControl*>{inner_}));
  EXPECT_EQ(target_->Target(), nullptr) << "outside a drag there is no current target";

  delete inner_;
  inner_ = nullptr;
  EXPECT_TRUE(Registered().empty()) << "a freed control is unregistered";
}

TEST_F(DropTargetOnForm, DragsReachOnlyTheRegisteredControls) {
  target_->MultiTarget = true;
  target_->Register(left_);
  target_->Register(right_);
  std::vector<TWinControl*> entered;
  target_->OnEnter = [&](TObject*, TShiftState, POINTL, DWORD&) { entered.push_back(target_->Target()); };
  ComPtr<IDataObject> data = DroppedNames({"/photos/chart.tif"});
  for (TWinControl* control : {static_cast<TWinControl*>(right_), static_cast<TWinControl*>(inner_)}) {
    const POINT p = control->ClientToScreen(POINT{5, 5});
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(target_->DropTarget()->DragEnter(data.Get(), 0, POINTL{p.x, p.y}, &effect), S_OK);
    EXPECT_EQ(effect, DROPEFFECT_COPY);
    EXPECT_EQ(target_->DropTarget()->DragLeave(), S_OK);
    EXPECT_EQ(target_->Target(), nullptr);
  }
  EXPECT_EQ(entered, (std::vector<TWinControl*>{right_, left_}));
}

// A persistent object that hands out a data object, as a source component does.
class DataHolder final : public TInterfacedComponent {
public:
  explicit DataHolder(ComPtr<IDataObject> data) : TInterfacedComponent(nullptr), data_(std::move(data)) {}

protected:
  IUnknown* GetInterface(REFIID riid) override { return riid == IID_IDataObject ? data_.Get() : nullptr; }

private:
  ComPtr<IDataObject> data_;
};

TEST_F(DropTargetOnForm, AssignReadsADataObject) {
  DataHolder holder(DroppedNames({"/photos/a.tif", "/photos/b.tif"}));
  target_->Assign(&holder);
  ASSERT_EQ(target_->GetFiles()->Count(), 2);
  EXPECT_EQ(target_->GetFiles()->Strings(1), "/photos/b.tif");

  DataHolder nothing(CreateStoredDataObject({{CF_TEXT, std::string("no names")}}));
  EXPECT_THROW(target_->Assign(&nothing), EConvertError) << "a data object without names cannot be assigned";
  TComponent plain(nullptr);
  EXPECT_THROW(target_->Assign(&plain), EConvertError);
}

TEST_F(DropTargetOnForm, ADragRestingAtAnEdgeScrolls) {
  target_->SetTarget(left_);
  SCROLLINFO info;
  info.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
  info.nMax = 99;
  info.nPage = 20;
  const int margin = 2 * GetSystemMetrics(SM_CYHSCROLL);
  const RECT client = left_->ClientRect();
  struct Case {
    const char* where;
    int y;
    int position;
    bool flagged;  // DROPEFFECT_SCROLL in DragOver's effect
    TScrollDirections scroll;
  } cases[] = {
      {"top edge", 1, 40, true, {sdUp}},
      {"top edge, already at the top", 1, 0, true, {}},
      {"bottom edge", static_cast<int>(client.bottom) - 1, 40, true, {sdDown}},
      {"on the lower bound of the quiet band", static_cast<int>(client.bottom) - margin, 40, true, {sdDown}},
      {"bottom edge, already at the end", static_cast<int>(client.bottom) - 1, 80, true, {}},
      {"middle", static_cast<int>(client.bottom) / 2, 40, false, {}},
  };
  ComPtr<IDataObject> data = DroppedNames({"/photos/chart.tif"});
  for (const Case& c : cases) {
    info.nPos = c.position;
    SetScrollInfo(left_->Handle(), SB_VERT, &info, FALSE);
    std::vector<TScrollDirections> scrolled;
    target_->OnScroll = [&](TObject*, POINTL point, TScrollDirections& scroll, int&) {
      EXPECT_EQ(point.y, c.y) << c.where;
      scrolled.push_back(scroll);
      scroll = {};  // seen, no step taken
    };
    const POINT p = left_->ClientToScreen(POINT{60, c.y});
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(target_->DropTarget()->DragEnter(data.Get(), 0, POINTL{p.x, p.y}, &effect), S_OK) << c.where;
    effect = DROPEFFECT_COPY;
    ASSERT_EQ(target_->DropTarget()->DragOver(0, POINTL{p.x, p.y}, &effect), S_OK) << c.where;
    EXPECT_EQ((effect & DROPEFFECT_SCROLL) != 0, c.flagged) << c.where;
    EXPECT_EQ(effect & ~DROPEFFECT_SCROLL, DROPEFFECT_COPY) << c.where;
    target_->DoAutoScroll();
    const std::vector<TScrollDirections> expected =
        c.scroll.Empty() ? std::vector<TScrollDirections>{} : std::vector<TScrollDirections>{c.scroll};
    EXPECT_EQ(scrolled, expected) << c.where;
    target_->DropTarget()->DragLeave();
  }
}

TEST_F(DropTargetOnForm, AControlWithoutScrollBarsNeverScrolls) {
  target_->SetTarget(right_);
  int scrolls = 0;
  target_->OnScroll = [&](TObject*, POINTL, TScrollDirections&, int&) { ++scrolls; };
  ComPtr<IDataObject> data = DroppedNames({"/photos/chart.tif"});
  const POINT p = right_->ClientToScreen(POINT{1, 1});
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(target_->DropTarget()->DragEnter(data.Get(), 0, POINTL{p.x, p.y}, &effect), S_OK);
  ASSERT_EQ(target_->DropTarget()->DragOver(0, POINTL{p.x, p.y}, &effect), S_OK);
  EXPECT_EQ(effect, DROPEFFECT_COPY);
  target_->DoAutoScroll();
  EXPECT_EQ(scrolls, 0);
  target_->DropTarget()->DragLeave();
}

namespace {

// Whether the window has a drop target, asked by trying to give it another.
bool TakesDrops(HWND window, IDropTarget* other) {
  const HRESULT hr = RegisterDragDrop(window, other);
  if (SUCCEEDED(hr)) RevokeDragDrop(window);
  return hr == DRAGDROP_E_ALREADYREGISTERED;
}

}  // namespace

TEST_F(DropTargetOnForm, TheRegistrationFollowsTheControlsWindow) {
  TDropFileTarget other(nullptr);
  struct Case {
    const char* how;
    bool autoRegister;
    bool afterRecreate;
  } cases[] = {{"through the hidden child window", true, true}, {"directly", false, false}};
  for (const Case& c : cases) {
    target_->AutoRegister = c.autoRegister;
    target_->Register(left_);
    EXPECT_TRUE(TakesDrops(left_->Handle(), other.DropTarget())) << c.how;
    left_->RecreateWnd();
    EXPECT_EQ(TakesDrops(left_->Handle(), other.DropTarget()), c.afterRecreate) << c.how << ", window made again";
    target_->Unregister(nullptr);
    EXPECT_FALSE(TakesDrops(left_->Handle(), other.DropTarget())) << c.how << ", unregistered";
    EXPECT_EQ(left_->ControlCount(), 1) << c.how << ": only the inner panel stays a child";
  }
}

namespace {

// The source of a drag that may hand its data over asynchronously: CF_HDROP
// names, and the operation's calls as the target makes them.
class AsyncSource final : public ForwardingDataObject<IDataObject>, public IAsyncOperation {
public:
  AsyncSource(const std::vector<std::string>& names, BOOL async, HRESULT start)
      : ForwardingDataObject(DroppedNames(names)), async_(async), start_(start) {}
  HRESULT QueryInterface(REFIID riid, void** object) override {
    if (riid == IID_IAsyncOperation)
      *object = static_cast<IAsyncOperation*>(this);
    else if (riid == IID_IDataObject || riid == IID_IUnknown)
      *object = static_cast<IDataObject*>(this);
    else
      return *object = nullptr, E_NOINTERFACE;
    AddRef();
    return S_OK;
  }
  ULONG AddRef() override { return ++refs_; }
  ULONG Release() override {
    const ULONG left = --refs_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT SetAsyncMode(BOOL async) override { return async_ = async, S_OK; }
  HRESULT GetAsyncMode(BOOL* async) override { return *async = async_, S_OK; }
  HRESULT StartOperation(IBindCtx*) override {
    if (SUCCEEDED(start_)) started = true;
    return start_;
  }
  HRESULT InOperation(BOOL* in) override { return *in = started && !ended, S_OK; }
  HRESULT EndOperation(HRESULT result, IBindCtx*, DWORD effect) override {
    ended = true;
    endResult = result;
    endEffect = effect;
    return S_OK;
  }
  std::atomic<bool> started{false}, ended{false};
  std::atomic<HRESULT> endResult{S_OK};
  std::atomic<DWORD> endEffect{0};

private:
  ~AsyncSource() = default;
  BOOL async_;
  HRESULT start_;
  std::atomic<ULONG> refs_{1};
};

}  // namespace

// A source that allows it has its drop read and handled on a thread of the
// target's: OnDrop runs there between the start and end events on the GUI
// thread, a drag entering meanwhile is refused, and the source hears the
// outcome and the effect. Sources that do not allow it, or whose operation
// cannot start, and a target that does not take asynchronous drops, drop
// on the GUI thread as usual.
TEST_F(DropTargetOnForm, AnAsynchronousDropIsReadOnAThreadOfItsOwn) {
  struct Case {
    const char* source;
    bool allow;  // AllowAsyncTransfer
    BOOL async;  // the source's mode
    HRESULT start;  // what StartOperation answers
    bool threaded;
  } cases[] = {
      {"asynchronous", true, TRUE, S_OK, true},
      {"asynchronous, to a target that does not take it", false, TRUE, S_OK, false},
      {"synchronous", true, FALSE, S_OK, false},
      {"whose operation cannot start", true, TRUE, E_FAIL, false},
  };
  target_->SetTarget(right_);
  for (const Case& c : cases) {
    target_->AllowAsyncTransfer = c.allow;
    auto* source = new AsyncSource({"/photos/a.tif", "/photos/b.tif"}, c.async, c.start);
    const ComPtr<IDataObject> data = ComPtr<IDataObject>::Attach(source);
    std::vector<std::string> events;
    bool dropOnMain = false;
    int filesInDrop = 0;
    TEvent proceed;
    target_->OnStartAsyncTransfer = [&](TObject*) { events.push_back(IsMainThread() ? "start" : "start elsewhere"); };
    target_->OnEndAsyncTransfer = [&](TObject*) {
      events.push_back(IsMainThread() ? "end" : "end elsewhere");
      EXPECT_EQ(target_->GetFiles()->Count(), 0) << c.source << ": the data is gone before the end";
    };
    target_->OnDrop = [&](TObject*, TShiftState, POINTL, DWORD&) {
      dropOnMain = IsMainThread();
      filesInDrop = target_->GetFiles()->Count();
      if (!dropOnMain) proceed.WaitFor();
    };
    const POINT p = right_->ClientToScreen(POINT{5, 5});
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(target_->DropTarget()->DragEnter(data.Get(), 0, POINTL{p.x, p.y}, &effect), S_OK) << c.source;
    effect = DROPEFFECT_COPY;
    EXPECT_EQ(target_->DropTarget()->Drop(data.Get(), 0, POINTL{p.x, p.y}, &effect), S_OK) << c.source;
    EXPECT_EQ(effect, DROPEFFECT_COPY) << c.source;
    EXPECT_EQ(target_->Transferring(), c.threaded) << c.source;
    if (c.threaded) {
      // While the thread holds the drop, another drag is refused.
      ComPtr<IDataObject> second = DroppedNames({"/photos/c.tif"});
      DWORD again = DROPEFFECT_COPY;
      EXPECT_EQ(target_->DropTarget()->DragEnter(second.Get(), 0, POINTL{p.x, p.y}, &again), E_UNEXPECTED) << c.source;
      EXPECT_EQ(again, DROPEFFECT_NONE) << c.source;
      again = DROPEFFECT_COPY;
      EXPECT_NE(target_->DropTarget()->DragOver(0, POINTL{p.x, p.y}, &again), S_OK) << c.source;
      EXPECT_EQ(again, DROPEFFECT_NONE) << c.source;
      proceed.SetEvent();
      while (target_->Transferring()) CheckSynchronize(1000);
    }
    EXPECT_EQ(dropOnMain, !c.threaded) << c.source;
    EXPECT_EQ(filesInDrop, 2) << c.source;
    const std::vector<std::string> expected = c.threaded ? std::vector<std::string>{"start", "end"} : std::vector<std::string>{};
    EXPECT_EQ(events, expected) << c.source;
    EXPECT_EQ(source->ended.load(), c.threaded) << c.source;
    if (c.threaded) {
      EXPECT_EQ(source->endResult.load(), S_OK) << c.source;
      EXPECT_EQ(source->endEffect.load(), DROPEFFECT_COPY) << c.source;
    }
    EXPECT_EQ(target_->Target(), nullptr) << c.source;
    EXPECT_EQ(target_->GetFiles()->Count(), 0) << c.source << ": the drop's data is cleared after it";
  }
}

namespace {

// The drag-image helper as a test registers it: records its calls; its
// DragEnter fails when asked to.
class ImageHelper final : public ComObject<IDropTargetHelper, IID_IDropTargetHelper> {
public:
  ImageHelper(std::vector<std::string>& calls, bool failEnter) : calls_(calls), failEnter_(failEnter) {}
  HRESULT DragEnter(HWND target, IDataObject*, POINT*, DWORD) override {
    calls_.push_back(target ? "enter" : "enter without window");
    return failEnter_ ? E_FAIL : S_OK;
  }
  HRESULT DragLeave() override { return calls_.push_back("leave"), S_OK; }
  HRESULT DragOver(POINT*, DWORD) override { return calls_.push_back("over"), S_OK; }
  HRESULT Drop(IDataObject*, POINT*, DWORD) override { return calls_.push_back("drop"), S_OK; }
  HRESULT Show(BOOL show) override { return calls_.push_back(show ? "show" : "hide"), S_OK; }

private:
  std::vector<std::string>& calls_;
  bool failEnter_;
};

class ImageHelperFactory final : public ComObject<IClassFactory, IID_IClassFactory> {
public:
  ImageHelperFactory(std::vector<std::string>& calls, bool failEnter) : calls_(calls), failEnter_(failEnter) {}
  HRESULT CreateInstance(IUnknown*, REFIID riid, void** object) override {
    auto* helper = new ImageHelper(calls_, failEnter_);
    const HRESULT hr = helper->QueryInterface(riid, object);
    helper->Release();
    return hr;
  }
  HRESULT LockServer(BOOL) override { return S_OK; }

private:
  std::vector<std::string>& calls_;
  bool failEnter_;
};

}  // namespace

// The drag image follows the drag through the window layer's helper: it
// enters with the target's window, follows, hides and shows with ShowImage,
// and drops or leaves. A helper that cannot enter is dropped; with
// ShowImage off, or without a helper, none is asked.
TEST_F(DropTargetOnForm, TheDragImageFollowsTheDrag) {
  target_->SetTarget(right_);
  struct Case {
    const char* how;
    bool registered, failEnter, showImage, drop;
    std::vector<std::string> calls;
  } cases[] = {
      {"dropped", true, false, true, true, {"enter", "over", "hide", "show", "drop"}},
      {"left", true, false, true, false, {"enter", "over", "hide", "show", "leave"}},
      {"helper that cannot enter", true, true, true, true, {"enter"}},
      {"ShowImage off", true, false, false, true, {}},
      {"no helper on the system", false, false, true, true, {}},
  };
  ComPtr<IDataObject> data = DroppedNames({"/photos/chart.tif"});
  const POINT p = right_->ClientToScreen(POINT{5, 5});
  for (const Case& c : cases) {
    std::vector<std::string> calls;
    DWORD cookie = 0;
    auto factory = MakeComObject<ImageHelperFactory>(calls, c.failEnter);
    if (c.registered) {
      ASSERT_EQ(CoRegisterClassObject(CLSID_DragDropHelper, factory.Get(), CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                      &cookie),
                S_OK);
    }
    target_->SetShowImage(c.showImage);
    DWORD effect = DROPEFFECT_COPY;
    ASSERT_EQ(target_->DropTarget()->DragEnter(data.Get(), 0, POINTL{p.x, p.y}, &effect), S_OK) << c.how;
    ASSERT_EQ(target_->DropTarget()->DragOver(0, POINTL{p.x, p.y}, &effect), S_OK) << c.how;
    target_->SetShowImage(false);
    target_->SetShowImage(true);
    if (c.drop)
      EXPECT_EQ(target_->DropTarget()->Drop(data.Get(), 0, POINTL{p.x, p.y}, &effect), S_OK) << c.how;
    else
      EXPECT_EQ(target_->DropTarget()->DragLeave(), S_OK) << c.how;
    // The helper goes with the drag: nothing reaches it afterwards.
    target_->SetShowImage(false);
    EXPECT_EQ(calls, c.calls) << c.how;
    if (c.registered) CoRevokeClassObject(cookie);
  }
}

// Assigning the application's clipboard pastes what it holds, as a drop.
TEST_F(DropTargetOnForm, AssignFromTheClipboardPastes) {
  ASSERT_EQ(OleSetClipboard(DroppedNames({"/photos/a.tif"}).Get()), S_OK);
  DWORD dropped = 0xFF;
  target_->OnDrop = [&](TObject*, TShiftState, POINTL, DWORD& effect) {
    dropped = effect;
    EXPECT_EQ(target_->GetFiles()->Count(), 1);
  };
  target_->Assign(Clipboard());
  EXPECT_NE(dropped, 0xFFu) << "the paste is a drop";
  ASSERT_EQ(target_->GetFiles()->Count(), 1) << "a paste keeps its data until the next";
  EXPECT_EQ(target_->GetFiles()->Strings(0), "/photos/a.tif");
  OleSetClipboard(nullptr);
}

// A stored form sets the target by the names it writes: flags, drag types
// and the control it registers, found by its name.
TEST_F(DropTargetOnForm, AStoredFormSetsTheTargetByName) {
  right_->SetName("Right");
  SetPropText(*target_, "DragTypes", "[dtMove]");
  EXPECT_EQ(target_->DragTypes, TDragTypes{dtMove});
  const struct {
    const char* name;
    bool TCustomDropTarget::*field;
  } flags[] = {{"GetDataOnEnter", &TCustomDropTarget::GetDataOnEnter}, {"MultiTarget", &TCustomDropTarget::MultiTarget},
               {"AutoRegister", &TCustomDropTarget::AutoRegister}, {"AutoScroll", &TCustomDropTarget::AutoScroll},
               {"OptimizedMove", &TCustomDropTarget::OptimizedMove},
               {"AllowAsyncTransfer", &TCustomDropTarget::AllowAsyncTransfer}};
  for (const auto& f : flags) {
    for (bool value : {true, false}) {
      SetPropText(*target_, f.name, value ? "True" : "False");
      EXPECT_EQ((*target_).*f.field, value) << f.name;
    }
  }
  SetPropText(*target_, "ShowImage", "False");
  EXPECT_FALSE(target_->ShowImage());
  SetPropText(*target_, "Target", "Right", form_);
  EXPECT_EQ(Registered(), (std::vector<TWinControl*>{right_})) << "writing Target registers the control";
  EXPECT_THROW(SetPropText(*target_, "Target", "Nowhere", form_), Exception);
}

namespace {

// A file target whose reading fails as a source that went away does.
constexpr HRESULT kDisconnected = static_cast<HRESULT>(0x80010108u);
class DisconnectedTarget final : public TDropFileTarget {
public:
  using TDropFileTarget::TDropFileTarget;

protected:
  bool DoGetData() override { throw EOleSysError("the source went away", kDisconnected); }
};

}  // namespace

// A transfer thread whose reading fails tells the source why, with no effect.
TEST_F(DropTargetOnForm, AFailedTransferReachesTheSourceAsItsResult) {
  auto* target = new DisconnectedTarget(form_);
  target->AllowAsyncTransfer = true;
  target->SetTarget(left_);
  bool dropped = false, ended = false;
  target->OnDrop = [&](TObject*, TShiftState, POINTL, DWORD&) { dropped = true; };
  target->OnEndAsyncTransfer = [&](TObject*) { ended = true; };
  auto* source = new AsyncSource({"/photos/a.tif"}, TRUE, S_OK);
  const ComPtr<IDataObject> data = ComPtr<IDataObject>::Attach(source);
  const POINT p = left_->ClientToScreen(POINT{100, 150});
  DWORD effect = DROPEFFECT_COPY;
  ASSERT_EQ(target->DropTarget()->DragEnter(data.Get(), 0, POINTL{p.x, p.y}, &effect), S_OK);
  ASSERT_EQ(target->DropTarget()->Drop(data.Get(), 0, POINTL{p.x, p.y}, &effect), S_OK);
  while (target->Transferring()) CheckSynchronize(1000);
  EXPECT_TRUE(ended);
  EXPECT_FALSE(dropped);
  EXPECT_TRUE(source->ended.load());
  EXPECT_EQ(source->endResult.load(), kDisconnected);
  EXPECT_EQ(source->endEffect.load(), DROPEFFECT_NONE);
}
