// What the camera-raw readers over LibRaw share: a LibRaw data stream over
// any random-access source read through a 64 KB window, and LibRaw with red
// and blue multiplied into the white balance. Header-only, so that the
// camera-raw plug-in (a shared object of its own) uses it too.
#pragma once

#include <libraw/libraw.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

// A source gives its size and reads bytes at a position (answering how many).
class TIERawSourceStream : public LibRaw_abstract_datastream {
public:
  int valid() override { return 1; }
  int read(void* buffer, size_t itemSize, size_t count) override {
    if (itemSize == 0) return 0;
    const int64_t wanted = static_cast<int64_t>(std::min<size_t>(itemSize * count, 0x7FFFFFFF));
    int64_t done = 0;
    auto* out = static_cast<uint8_t*>(buffer);
    while (done < wanted && position_ < Size()) {
      if (!InWindow(position_) && !Fill(position_)) break;
      const int64_t offset = position_ - windowStart_;
      const int64_t take = std::min(wanted - done, windowLength_ - offset);
      std::memcpy(out + done, window_.data() + offset, static_cast<size_t>(take));
      done += take;
      position_ += take;
    }
    return static_cast<int>(done / static_cast<int64_t>(itemSize));
  }
  int seek(INT64 offset, int whence) override {
    const int64_t base = whence == SEEK_CUR ? position_ : whence == SEEK_END ? Size() : 0;
    position_ = std::clamp<int64_t>(base + offset, 0, Size());
    return 0;
  }
  INT64 tell() override { return position_; }
  INT64 size() override { return Size(); }
  int get_char() override {
    uint8_t c = 0;
    return read(&c, 1, 1) == 1 ? c : -1;
  }
  char* gets(char* text, int room) override {
    if (room <= 0) return nullptr;
    int n = 0;
    for (int c; n < room - 1 && (c = get_char()) >= 0;) {
      text[n++] = static_cast<char>(c);
      if (c == '\n') break;
    }
    text[n] = '\0';
    return n > 0 ? text : nullptr;
  }
  int scanf_one(const char* format, void* value) override {
    char token[32];
    int n = 0;
    for (int c; (c = get_char()) >= 0;) {
      if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == 0) {
        if (n > 0) break;
        continue;
      }
      if (n < static_cast<int>(sizeof token) - 1) token[n++] = static_cast<char>(c);
    }
    token[n] = '\0';
    return n > 0 ? std::sscanf(token, format, value) : -1;
  }
  int eof() override { return position_ >= Size(); }
  void* make_jas_stream() override { return nullptr; }

protected:
  virtual int64_t Size() = 0;
  // Up to count bytes at the position into the buffer; the number read.
  virtual int64_t ReadAt(int64_t position, uint8_t* buffer, int64_t count) = 0;

private:
  static constexpr int64_t kWindow = 65536;
  bool InWindow(int64_t position) const {
    return position >= windowStart_ && position < windowStart_ + windowLength_;
  }
  bool Fill(int64_t position) {
    windowStart_ = position;
    windowLength_ = std::max<int64_t>(0, ReadAt(position, window_.data(), kWindow));
    return windowLength_ > 0;
  }

  int64_t position_ = 0;
  std::vector<uint8_t> window_ = std::vector<uint8_t>(kWindow);
  int64_t windowStart_ = 0, windowLength_ = 0;
};

// LibRaw with red and blue multiplied into the white balance.
class TIEScaledLibRaw : public LibRaw {
public:
  float RedScale = 1, BlueScale = 1;

protected:
  void scale_colors_loop(float scaleMul[4]) override {
    scaleMul[0] *= RedScale;
    scaleMul[2] *= BlueScale;
    LibRaw::scale_colors_loop(scaleMul);
  }
};
