#include "imaging/codecs/lzwcompressor.h"

#include "platform/rtl/streams.h"

TIELZWCompressor::TIELZWCompressor(const TIELZWLayout& layout, int32_t codeSize, TStream& stream)
    : layout_(layout),
      stream_(&stream),
      initialWidth_(codeSize + 1),
      clearCode_(1 << codeSize),
      endCode_((1 << codeSize) + 1),
      width_(codeSize + 1),
      largestCode_((1 << (codeSize + 1)) - 1),
      nextFree_((1 << codeSize) + 2) {}

void TIELZWCompressor::ClearTable() {
  keys_.fill(-1);
  nextFree_ = clearCode_ + 2;
}

void TIELZWCompressor::Start() {
  ClearTable();
  width_ = initialWidth_;
  largestCode_ = (1 << width_) - 1;
  prefix_ = -1;
  Output(clearCode_);
}

void TIELZWCompressor::Put(uint8_t symbol) {
  if (prefix_ < 0) {
    prefix_ = symbol;
    return;
  }
  const int32_t key = (int32_t{symbol} << 12) + prefix_;
  int32_t slot = (int32_t{symbol} << kHashShift) ^ prefix_;
  if (keys_[slot] == key) {
    prefix_ = codes_[slot];
    return;
  }
  if (keys_[slot] >= 0) {
    const int32_t step = slot == 0 ? 1 : kHashSize - slot;
    do {
      slot -= step;
      if (slot < 0) slot += kHashSize;
      if (keys_[slot] == key) {
        prefix_ = codes_[slot];
        return;
      }
    } while (keys_[slot] > 0);
  }
  Output(prefix_);
  prefix_ = symbol;
  if (nextFree_ < layout_.CodeLimit) {
    codes_[slot] = static_cast<uint16_t>(nextFree_++);
    keys_[slot] = key;
  } else {
    ClearTable();
    clearPending_ = true;
    Output(clearCode_);
  }
}

void TIELZWCompressor::Finish() {
  if (prefix_ >= 0) Output(prefix_);
  prefix_ = -1;
  Output(endCode_);
}

void TIELZWCompressor::Output(int32_t code) {
  const auto value = static_cast<uint32_t>(code);
  if (layout_.MSBFirst) {
    accumulator_ |= value << (32 - bitCount_ - width_);
    for (bitCount_ += width_; bitCount_ >= 8; bitCount_ -= 8) {
      PutByte(static_cast<uint8_t>(accumulator_ >> 24));
      accumulator_ <<= 8;
    }
  } else {
    accumulator_ |= value << bitCount_;
    for (bitCount_ += width_; bitCount_ >= 8; bitCount_ -= 8) {
      PutByte(static_cast<uint8_t>(accumulator_));
      accumulator_ >>= 8;
    }
  }

  if (clearPending_) {
    width_ = initialWidth_;
    clearPending_ = false;
  } else if (width_ < 12 && (layout_.EarlyChange ? nextFree_ >= largestCode_ : nextFree_ > largestCode_)) {
    ++width_;
  }
  largestCode_ = width_ == 12 ? layout_.TopCode : (1 << width_) - 1;

  if (code == endCode_) {
    if (bitCount_ > 0) PutByte(static_cast<uint8_t>(layout_.MSBFirst ? accumulator_ >> 24 : accumulator_));
    accumulator_ = 0;
    bitCount_ = 0;
    FlushBlock();
  }
}

void TIELZWCompressor::PutByte(uint8_t value) {
  block_[1 + blockCount_++] = value;
  if (blockCount_ == kBlockSize) FlushBlock();
}

void TIELZWCompressor::FlushBlock() {
  if (blockCount_ == 0) return;
  const auto count = static_cast<int32_t>(blockCount_);
  blockCount_ = 0;
  if (layout_.SubBlocks) {
    block_[0] = static_cast<uint8_t>(count);
    stream_->WriteBuffer(block_.data(), count + 1);
  } else {
    stream_->WriteBuffer(block_.data() + 1, count);
  }
}
