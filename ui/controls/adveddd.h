// Text drag and drop of the enhanced edit over the OLE drag loop: a drop
// target that reads text and file lists from dropped data, a drop source, a
// data object offering one text, and its format enumerator.
#pragma once

#include <string>
#include <vector>

#include "platform/win/comimpl.h"
#include "platform/win/ole.h"

class TAdvEdit;

// The rich-text format id (registered as "Rich Text Format"; only listed).
CLIPFORMAT RichTextFormat();

// The names of a CF_HDROP block (a DROPFILES header, then names ended by
// NUL and the list by an empty name), read within the block's size.
bool ParseDropFiles(const uint8_t* data, size_t size, std::vector<std::string>& files);

// Walks a data object's formats and reads their global memory.
class TEnumFormats {
public:
  explicit TEnumFormats(IDataObject* data);
  bool HasFormat(CLIPFORMAT format);
  // The zero-terminated 8-bit text of a format, read within its block.
  std::string GetText(CLIPFORMAT format);
  // The names of a CF_HDROP block, read within its block.
  bool GetFiles(std::vector<std::string>& files);

private:
  // The bytes of the current format's global memory block.
  bool GetBlock(std::vector<uint8_t>& bytes);
  ComPtr<IDataObject> data_;
  FORMATETC current_{};
  bool valid_ = false;
};

class TAEDropTarget : public ComObject<IDropTarget, IID_IDropTarget> {
public:
  HRESULT DragEnter(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT DragOver(DWORD keyState, POINTL point, DWORD* effect) override;
  HRESULT DragLeave() override { return S_OK; }
  HRESULT Drop(IDataObject* data, DWORD keyState, POINTL point, DWORD* effect) override;

protected:
  virtual void DropText(POINT, const std::string&) {}
  virtual void DropFiles(POINT, const std::vector<std::string>&) {}
  virtual void DragMouseMove(POINT, bool& allow) { allow = true; }

private:
  bool accept_ = false;
};

// Inserts dropped text into an edit at the mouse and draws the drop caret.
class TEditDropTarget : public TAEDropTarget {
public:
  explicit TEditDropTarget(TAdvEdit* edit) : edit_(edit) {}

protected:
  void DropText(POINT point, const std::string& text) override;
  void DragMouseMove(POINT point, bool& allow) override;

private:
  TAdvEdit* edit_;
};

class TAEDropSource : public ComObject<IDropSource, IID_IDropSource> {
public:
  HRESULT QueryContinueDrag(BOOL escapePressed, DWORD keyState) override;
  HRESULT GiveFeedback(DWORD effect) override;
  bool LastFeedbackWasNone() const { return lastNone_; }

private:
  bool lastNone_ = false;
};

class TSourceDataObject : public ComObject<IDataObject, IID_IDataObject> {
public:
  explicit TSourceDataObject(std::string text) : text_(std::move(text)) {}
  HRESULT GetData(FORMATETC* format, STGMEDIUM* medium) override;
  HRESULT GetDataHere(FORMATETC*, STGMEDIUM*) override { return DV_E_FORMATETC; }
  HRESULT QueryGetData(FORMATETC* format) override;
  HRESULT GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override;
  HRESULT SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return DV_E_FORMATETC; }
  HRESULT EnumFormatEtc(DWORD direction, IEnumFORMATETC** formats) override;
  HRESULT DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT EnumDAdvise(IEnumSTATDATA** advises) override;

private:
  std::string text_;
};

class TSourceEnumFormatEtc : public ComObject<IEnumFORMATETC, IID_IEnumFORMATETC> {
public:
  explicit TSourceEnumFormatEtc(int32_t position = 0) : position_(position) {}
  HRESULT Next(ULONG count, FORMATETC* formats, ULONG* fetched) override;
  HRESULT Skip(ULONG count) override;
  HRESULT Reset() override {
    position_ = 0;
    return S_OK;
  }
  HRESULT Clone(IEnumFORMATETC** clone) override;

private:
  int32_t position_;
};

// Runs a drag of `text`; DRAGDROP_S_CANCEL when the last feedback showed no effect.
HRESULT StartTextDrag(const std::string& text, DWORD allowed, DWORD& effect);
