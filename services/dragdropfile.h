// Files dropped on a control: the drop target that takes file names from
// other programs (the desktop's file list, the single-name formats, shell ID
// lists, file descriptors and text) and hands them to its OnDrop handler.
// Every block that arrives from another program is bounds-checked and
// size-capped before it is read; a malformed block is refused whole.
//
// Sections: block readers | drop target
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/controls.h"
#include "platform/rtl/set.h"
#include "platform/rtl/stringlist.h"
#include "platform/win/ole.h"

// ---- block readers --------------------------------------------------------------------

// The largest block read from another program, and the most names taken from one.
constexpr size_t kMaxDropBlockBytes = size_t{4} << 20;
constexpr size_t kMaxDropNames = 4096;
// The longest name, in bytes (8-bit) or UTF-16 units (wide).
constexpr size_t kMaxDropNameLength = 32767;

// Names one after the other, each ended by NUL (a 16-bit zero when wide),
// the list by an empty name. A name that runs to the end of the block
// without its NUL, one longer than the cap, too many names, or a wide name
// with an unpaired surrogate refuse the block (false, list unchanged).
// Wide names are kept whole in UTF-8. True when at least one name was read.
bool ReadFilesFromZeroList(const uint8_t* data, size_t size, bool wide, std::vector<std::string>& list);
// The names as a zero list (8-bit or UTF-16), closed by the empty name.
std::vector<uint8_t> WriteFilesToZeroList(const std::vector<std::string>& names, bool wide);

// The desktop's file list: a 20-byte header (offset of the names, drop
// point, non-client flag, wide flag) and a zero list. An offset inside the
// header or past the block refuses it.
bool ReadFilesFromDropFiles(const uint8_t* block, size_t size, std::vector<std::string>& files);
std::vector<uint8_t> WriteDropFiles(const std::vector<std::string>& files, bool wide);

// One NUL-ended name ("FileName", "FileNameW"); false when the NUL is missing
// or the name is empty.
bool ReadSingleName(const uint8_t* data, size_t size, bool wide, std::string& name);

// A shell ID list array: a count, count + 1 offsets (the parent folder's
// list first) and the ID lists, each a chain of items (16-bit size, then
// data) closed by a zero size. Every offset and item must lie in the block.
// Items carry no file-system path here: one empty name per item.
bool ReadIDListArray(const uint8_t* data, size_t size, std::vector<std::string>& names);

// The file descriptors of virtual files: a 32-bit count, then 592-byte
// records whose last 520 bytes are the UTF-16 name (NUL-ended). Names are
// made safe for the drop folder (SafeDropName); one that cannot be refuses
// the block.
bool ReadFileDescriptors(const uint8_t* data, size_t size, std::vector<std::string>& names);
// A descriptor's name as a path below the drop folder: separators of either
// kind split it, empty, "." and ".." parts and absolute or drive-led names
// are refused ("" answered).
std::string SafeDropName(const std::string& name);

// Dropped text (8-bit or UTF-16), up to its first NUL or the block's end.
bool ReadDroppedText(const uint8_t* data, size_t size, bool wide, std::string& text);

// ---- drop target ------------------------------------------------------------------------

enum TDragType { dtCopy, dtMove, dtLink };
using TDragTypes = Set<TDragType>;
using TDropEvent = std::function<void(TObject* sender, TShiftState shift, POINTL point, DWORD& effect)>;

class TDropTargetSink;

// Accepts files dropped on its Target (and, with WholeWindow, anywhere on
// the target's window). OnDrop runs on the GUI thread while the names are
// in GetFiles; afterwards the list is empty again. A drop whose names cannot
// be read is refused (no effect) and OnDrop does not run.
class TDropFileTarget : public TComponent {
public:
  explicit TDropFileTarget(TComponent* owner);
  ~TDropFileTarget() override;

  TWinControl* Target() const { return target_; }
  void SetTarget(TWinControl* target);
  // Drops anywhere on the target's window count as drops on the target.
  bool WholeWindow = false;
  TDragTypes DragTypes{dtCopy, dtLink};
  bool OptimizedMove = true;
  TDropEvent OnDrop;

  // The names of the drop in progress (valid while OnDrop runs).
  TStrings* GetFiles() const { return files_.get(); }
  // The names of a data object in the order of the formats: the file list,
  // the shell ID lists, "FileNameW", "FileName"; false when none delivers a
  // well-formed block with a name.
  static bool ReadFiles(IDataObject* data, std::vector<std::string>& files);
  // The effect for the keys held and the effects the source allows.
  DWORD DropEffect(DWORD keys, DWORD allowed) const;

  void Notification(TComponent* component, TOperation operation) override;

private:
  friend class TDropTargetSink;
  DWORD Dropped(IDataObject* data, DWORD keys, POINTL point, DWORD allowed);
  void Register();
  void Revoke();

  TWinControl* target_ = nullptr;
  std::vector<HWND> registered_;
  std::unique_ptr<TStringList> files_;
  ComPtr<TDropTargetSink> sink_;
};
