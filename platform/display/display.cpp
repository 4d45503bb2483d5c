// Choosing the back end, and PNG snapshots.
#include "platform/display/display.h"
#include "platform/display/headless.h"
#include "platform/display/pngglue.h"

#include <dlfcn.h>
#include <png.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include <sys/stat.h>

namespace display {

namespace {

std::unique_ptr<Backend>& Slot() {
  static std::unique_ptr<Backend> backend;
  return backend;
}

bool EnvSet(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// PLATFORM_DISPLAY decides; without it, tests (VESK_TEST, as the test runner
// sets it) stay headless and programs use the desktop when there is one.
std::unique_ptr<Backend> ChooseBackend() {
  const char* choice = std::getenv("PLATFORM_DISPLAY");
  bool desktop = choice ? std::strcmp(choice, "desktop") == 0
                        : !EnvSet("VESK_TEST") && (EnvSet("DISPLAY") || EnvSet("WAYLAND_DISPLAY"));
  if (desktop) {
    if (auto b = CreateDesktopBackend()) return b;
  }
  if (!EnvSet("VESK_TEST")) CloseOnSignals();
  return CreateHeadlessBackend();
}

// The desktop back end lives in a module of its own, loaded when the first
// window needs it, so that programs which never open one do not load the
// window system's libraries. It is looked for beside the program (and in
// ../lib/vesk for an installed one), then where the build put it.
void* LoadDesktopModule() {
  constexpr const char* kName = "libvesk_desktop.so";
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n > 0) {
    std::string dir(self, static_cast<size_t>(n));
    dir.erase(dir.rfind('/') + 1);
    for (const std::string& path : {dir + kName, dir + "../lib/vesk/" + kName})
      if (void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) return module;
  }
#ifdef VESK_DESKTOP_MODULE
  return dlopen(VESK_DESKTOP_MODULE, RTLD_NOW | RTLD_LOCAL);
#else
  return nullptr;
#endif
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;

// Pixels larger than this are refused on reading (a PNG header may claim anything).
constexpr uint64_t kMaxPngPixels = uint64_t{1} << 28;

// The size of an open file; 0 when unknown.
uint64_t FileBytes(FILE* f) {
  struct stat st {};
  return fstat(fileno(f), &st) == 0 && st.st_size > 0 ? static_cast<uint64_t>(st.st_size) : 0;
}

}  // namespace

std::unique_ptr<Backend> CreateDesktopBackend() {
  // Loaded once and kept: the back end's code must outlive every window.
  static void* module = LoadDesktopModule();
  if (!module) {
    std::fprintf(stderr, "display: the desktop back end cannot be loaded: %s\n", dlerror());
    return nullptr;
  }
  using Create = Backend* (*)();
  const auto create = reinterpret_cast<Create>(dlsym(module, "VeskCreateDesktopBackend"));
  return std::unique_ptr<Backend>(create ? create() : nullptr);
}

Backend& ActiveBackend() {
  auto& slot = Slot();
  if (!slot) slot = ChooseBackend();
  return *slot;
}

void SetActiveBackend(std::unique_ptr<Backend> backend) { Slot() = std::move(backend); }

bool WritePng(const std::string& path, const uint32_t* pixels, int32_t width, int32_t height) {
  if (width <= 0 || height <= 0 || !pixels) return false;
  File f(std::fopen(path.c_str(), "wb"));
  if (!f) return false;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    return false;
  }
  std::vector<png_byte> row(static_cast<size_t>(width) * 4);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return false;
  }
  png_init_io(png, f.get());
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGBA,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int32_t y = 0; y < height; ++y) {
    const uint32_t* src = pixels + static_cast<size_t>(y) * static_cast<size_t>(width);
    for (int32_t x = 0; x < width; ++x) {
      uint32_t p = src[x];
      png_byte* d = &row[static_cast<size_t>(x) * 4];
      d[0] = static_cast<png_byte>(p >> 16);
      d[1] = static_cast<png_byte>(p >> 8);
      d[2] = static_cast<png_byte>(p);
      d[3] = static_cast<png_byte>(p >> 24);
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return std::fflush(f.get()) == 0;
}

bool PngSizeFits(uint64_t width, uint64_t height, uint64_t fileBytes) {
  const uint64_t leastRaw = height * (1 + (width + 7) / 8);
  return leastRaw / 1032 <= fileBytes;
}

bool ReadPng(const std::string& path, std::vector<uint32_t>& pixels, int32_t& width, int32_t& height) {
  File f(std::fopen(path.c_str(), "rb"));
  if (!f) return false;
  // The project's one libpng set-up: chunk allocations are capped.
  PngJump jump;
  png_structp png = PngCreateRead(jump);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return false;
  }
  // Everything with a destructor lives outside the guarded calls.
  std::vector<png_byte> image;
  std::vector<png_bytep> rows;
  png_uint_32 w = 0, h = 0;
  bool ok = PngGuard(jump, [&] {
    png_init_io(png, f.get());
    png_read_info(png, info);
    w = png_get_image_width(png, info);
    h = png_get_image_height(png, info);
  });
  ok = ok && w != 0 && h != 0 && uint64_t{w} * h <= kMaxPngPixels && PngSizeFits(w, h, FileBytes(f.get()));
  // Whatever the stored format, read 8-bit RGBA.
  ok = ok && PngGuard(jump, [&] {
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
  });
  ok = ok && png_get_rowbytes(png, info) == size_t{w} * 4;
  if (ok) {
    image.resize(size_t{w} * h * 4);
    rows.resize(h);
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = image.data() + size_t{y} * w * 4;
    png_bytepp rowPointers = rows.data();
    ok = PngGuard(jump, [&] {
      png_read_image(png, rowPointers);
      png_read_end(png, nullptr);
    });
  }
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) return false;
  std::vector<uint32_t> out(size_t{w} * h);
  for (size_t i = 0; i < out.size(); ++i) {
    const png_byte* s = &image[i * 4];
    out[i] = (uint32_t{s[3]} << 24) | (uint32_t{s[0]} << 16) | (uint32_t{s[1]} << 8) | s[2];
  }
  pixels = std::move(out);
  width = static_cast<int32_t>(w);
  height = static_cast<int32_t>(h);
  return true;
}

}  // namespace display
