// The thumbnail view's snapshot: sizes, both stores with their pixels and
// every entry with its captions and, on request, its image parameters, in
// one stream that is read back without the files.
//
// A snapshot is read whole before it replaces anything, so a damaged one
// never leaves a half-built entry behind.
#include <algorithm>

#include "imaging/core/iezlib.h"
#include "imaging/core/ruduvazez.h"
#include "imaging/core/ruduvazez_containers.h"
#include "imaging/io/iemio.h"
#include "imaging/io/imageryio_params.h"
#include "imaging/view/iemview.h"
#include "platform/rtl/exceptions.h"
#include "platform/rtl/streams.h"

namespace {

const std::string kMagic = "MVIEWSNAPSHOT";

uint8_t ReadByte(TStream& stream) {
  uint8_t value = 0;
  stream.ReadBuffer(&value, 1);
  return value;
}

void WriteByte(TStream& stream, uint8_t value) { stream.WriteBuffer(&value, 1); }

double ReadDouble(TStream& stream) {
  double value = 0;
  stream.ReadBuffer(&value, 8);
  return value;
}

void WriteDouble(TStream& stream, double value) { stream.WriteBuffer(&value, 8); }

int64_t BytesLeft(TStream& stream) { return stream.Size() - stream.Position(); }

// A caption before version 8: a record of which only the text counts.
std::string ReadOldCaption(TStream& stream) {
  std::string text, skipped;
  ReadByte(stream);
  IELoadWideStringFromStream(stream, text);
  ReadByte(stream);
  IEReadInt32LE(stream);
  IEReadInt32LE(stream);
  IELoadAnsiStringFromStream(stream, skipped);
  for (int i = 0; i < 2; ++i) ReadByte(stream);
  IEReadInt32LE(stream);
  for (int i = 0; i < 3; ++i) ReadByte(stream);
  return text;
}

std::string ReadCaption(TStream& stream, uint8_t version) {
  if (version < 8) return ReadOldCaption(stream);
  std::string text;
  IELoadWideStringFromStream(stream, text);
  return text;
}

// The fewest bytes an entry record of the version takes.
int64_t MinEntrySize(uint8_t version, bool withCache) {
  int64_t size = 4 + (withCache ? 4 : 0) + 4 + 4 + 4 + (version <= 4 ? 4 : 8);
  if (version >= 6) size += 4;
  size += version >= 8 ? 3 * 4 : 3 * (1 + 4 + 1 + 4 + 4 + 4 + 2 + 4 + 3);
  if (version >= 7) size += 1;
  if (version >= 4) size += 1;
  return size;
}

void ReadEntry(TStream& stream, uint8_t version, bool withCache, TIEMSnapshotEntry& e) {
  e.Image = IEReadInt32LE(stream);
  e.CacheImage = withCache ? IEReadInt32LE(stream) : -1;
  e.Background = static_cast<TIEColor>(IEReadInt32LE(stream));
  if (version == 1)
    IELoadAnsiStringFromStream(stream, e.FileName);
  else
    IELoadWideStringFromStream(stream, e.FileName);
  e.ID = IEReadInt32LE(stream);
  e.DelayTime = version <= 4 ? IEReadInt32LE(stream) : ReadDouble(stream);
  if (version >= 6) e.Tag = IEReadInt32LE(stream);
  e.TopText = ReadCaption(stream, version);
  e.InfoText = ReadCaption(stream, version);
  e.BottomText = ReadCaption(stream, version);
  if (version >= 7) e.Checked = ReadByte(stream) != 0;
  if (version >= 4 && ReadByte(stream) != 0) {
    e.Params = std::make_unique<TIOParamsVals>(nullptr);
    e.Params->LoadFromStream(stream);
  }
}

bool ReadBody(TStream& stream, uint8_t version, TIEMSnapshot& s, bool useFiles) {
  s.ThumbWidth = IEReadInt32LE(stream);
  s.ThumbHeight = IEReadInt32LE(stream);
  if (version >= 3) {
    s.UpperGap = IEReadInt32LE(stream);
    s.BottomGap = IEReadInt32LE(stream);
  }
  if (version >= 7) {
    s.SideGap = IEReadInt32LE(stream);
    s.TextMargin = IEReadInt32LE(stream);
  }
  if (version >= 4) {
    const uint8_t type = ReadByte(stream);
    if (type > ietFastThumb) return false;
    s.StoreType = static_cast<TIEStoreType>(type);
  }
  s.Store = std::make_unique<TIEVirtualImageList>("ILIST", useFiles);
  s.Cache = std::make_unique<TIEVirtualImageList>("ICACHE", useFiles);
  if (!s.Store->LoadFromStream(stream)) return false;
  const bool withCache = ReadByte(stream) == 1;
  if (withCache && !s.Cache->LoadFromStream(stream)) return false;
  const int32_t count = IEReadInt32LE(stream);
  if (count < 0 || count > BytesLeft(stream) / MinEntrySize(version, withCache)) return false;
  s.Entries.resize(static_cast<size_t>(count));
  for (TIEMSnapshotEntry& e : s.Entries) {
    ReadEntry(stream, version, withCache, e);
    if (!withCache) e.CacheImage = -1;
  }
  return true;
}

}  // namespace

bool IEMReadSnapshot(TStream& stream, TIEMSnapshot& snapshot, bool useFiles) {
  try {
    std::string magic;
    IELoadAnsiStringFromStream(stream, magic);
    if (magic != kMagic) return false;
    const uint8_t version = ReadByte(stream);
    if (version < 1 || version > IEMSnapshotVersion) return false;
    const uint8_t compressed = ReadByte(stream);
    if (compressed > 1) return false;
    if (compressed == 0) return ReadBody(stream, version, snapshot, useFiles);
    // The body is read from memory, so that every length is checked against
    // what the data really holds; the copy grows only with real data.
    TMemoryStream body;
    {
      TZDecompressionStream inflater(stream);
      std::vector<uint8_t> chunk(IE_ZBUFFER_SIZE);
      for (int32_t got; (got = inflater.Read(chunk.data(), static_cast<int32_t>(chunk.size()))) > 0;)
        body.WriteBuffer(chunk.data(), got);
    }
    body.SetPosition(0);
    return ReadBody(body, version, snapshot, useFiles);
  } catch (const Exception&) {
    return false;
  }
}

// ---- the view's side ---------------------------------------------------------------------------

void TImageryMView::WriteSnapshotBody(TStream& stream, bool saveCache, bool saveParams) {
  IEWriteInt32LE(stream, thumbWidth_);
  IEWriteInt32LE(stream, thumbHeight_);
  IEWriteInt32LE(stream, upperGap_);
  IEWriteInt32LE(stream, bottomGap_);
  IEWriteInt32LE(stream, sideGap_);
  IEWriteInt32LE(stream, textMargin_);
  WriteByte(stream, storeType_);
  store_->SaveToStream(stream);
  WriteByte(stream, saveCache ? 1 : 0);
  if (saveCache) cache_->SaveToStream(stream);
  IEWriteInt32LE(stream, GetImageCount());
  TImageryMIO* mio = saveParams ? GetMIO() : nullptr;
  for (int32_t i = 0; i < GetImageCount(); ++i) {
    const TIEMImageInfo& e = *entries_[i];
    IEWriteInt32LE(stream, e.Image ? store_->IndexOf(e.Image) : -1);
    if (saveCache) IEWriteInt32LE(stream, e.CacheImage ? cache_->IndexOf(e.CacheImage) : -1);
    IEWriteInt32LE(stream, static_cast<int32_t>(e.Background));
    IESaveWideStringToStream(stream, e.FileName);
    IEWriteInt32LE(stream, e.ID);
    WriteDouble(stream, e.DelayTime);
    IEWriteInt32LE(stream, e.Tag);
    IESaveWideStringToStream(stream, e.TopText);
    IESaveWideStringToStream(stream, e.InfoText);
    IESaveWideStringToStream(stream, e.BottomText);
    WriteByte(stream, e.Checked ? 1 : 0);
    TIOParamsVals* params = mio ? mio->GetParams(i) : nullptr;
    WriteByte(stream, params ? 1 : 0);
    if (params) params->SaveToStream(stream);
  }
}

void TImageryMView::SaveSnapshotToStream(TStream& stream, bool saveCache, bool compressed, bool saveParams) {
  std::lock_guard<std::recursive_mutex> guard(section_);
  IESaveAnsiStringToStream(stream, kMagic);
  WriteByte(stream, IEMSnapshotVersion);
  WriteByte(stream, compressed ? 1 : 0);
  if (!compressed) return WriteSnapshotBody(stream, saveCache, saveParams);
  TZCompressionStream deflater(stream, zcDefault);
  WriteSnapshotBody(deflater, saveCache, saveParams);
}

void TImageryMView::SaveSnapshotToFile(const std::string& fileName, bool saveCache, bool compressed,
                                       bool saveParams) {
  TFileStream file(fileName, fmCreate);
  SaveSnapshotToStream(file, saveCache, compressed, saveParams);
}

bool TImageryMView::LoadSnapshotFromStream(TStream& stream) {
  const int64_t start = stream.Position();
  std::string magic;
  try {
    IELoadAnsiStringFromStream(stream, magic);
  } catch (const Exception&) {
  }
  if (magic != kMagic) return false;
  stream.SetPosition(start);
  TIEMSnapshot snapshot;
  const bool sound = IEMReadSnapshot(stream, snapshot, !ComponentState().Contains(csDesigning));
  Clear();
  if (!sound) return false;
  {
    std::lock_guard<std::recursive_mutex> guard(section_);
    thumbWidth_ = std::max(0, snapshot.ThumbWidth);
    thumbHeight_ = std::max(0, snapshot.ThumbHeight);
    upperGap_ = snapshot.UpperGap;
    bottomGap_ = snapshot.BottomGap;
    sideGap_ = snapshot.SideGap;
    textMargin_ = snapshot.TextMargin;
    storeType_ = snapshot.StoreType;
    store_ = std::move(snapshot.Store);
    store_->SetMaxMapped(imageCacheSize_);
    cache_ = std::move(snapshot.Cache);
  }
  BeginPaintLock();
  for (size_t i = 0; i < snapshot.Entries.size(); ++i) {
    TIEMSnapshotEntry& s = snapshot.Entries[i];
    auto entry = std::make_unique<TIEMImageInfo>();
    entry->Parent = this;
    {
      std::lock_guard<std::recursive_mutex> guard(section_);
      entry->Image = store_->GetImage(s.Image);
      entry->CacheImage = cache_->GetImage(s.CacheImage);
    }
    entry->Background = s.Background;
    entry->FileName = s.FileName;
    entry->ID = s.ID;
    entry->DelayTime = s.DelayTime;
    entry->Tag = s.Tag;
    entry->TopText = s.TopText;
    entry->InfoText = s.InfoText;
    entry->BottomText = s.BottomText;
    entry->Checked = s.Checked;
    {
      std::lock_guard<std::recursive_mutex> guard(section_);
      entries_.push_back(std::move(entry));
    }
    lastChangeKind_ = 1;
    lastChangeIndex_ = static_cast<int32_t>(i);
    NotifyBitmapChangeHandlers();
    if (s.Params)
      if (TIOParamsVals* params = GetMIO()->GetParams(static_cast<int32_t>(i))) params->Assign(*s.Params);
  }
  EndPaintLockNoRefresh();
  RefreshView(false, false);
  return true;
}

bool TImageryMView::LoadSnapshotFromFile(const std::string& fileName) {
  TFileStream file(fileName, fmOpenRead | fmShareDenyWrite);
  return LoadSnapshotFromStream(file);
}
