// libpng glue; see pngglue.h.
#include "platform/display/pngglue.h"

#include <cstdlib>

namespace {

constexpr png_alloc_size_t kMaxChunkBytes = png_alloc_size_t{8} << 20;
constexpr png_uint_32 kMaxAncillaryChunks = 1000;

void JumpOut(png_structp png, png_const_charp) {
  auto* jump = static_cast<PngJump*>(png_get_error_ptr(png));
  std::longjmp(jump->jump, 1);
}

void Ignore(png_structp, png_const_charp) {}

// libpng allocates what a chunk declares before reading it (a text chunk
// of 44 bytes may declare 2 GiB); no single block above this is given, and
// libpng then skips the chunk or fails the image.
constexpr png_alloc_size_t kMaxBlock = png_alloc_size_t{16} << 20;

png_voidp Allocate(png_structp, png_alloc_size_t size) {
  return size <= kMaxBlock ? std::malloc(size) : nullptr;
}

void Release(png_structp, png_voidp block) { std::free(block); }

}  // namespace

png_structp PngCreateRead(PngJump& jump) {
  png_structp png =
      png_create_read_struct_2(PNG_LIBPNG_VER_STRING, &jump, JumpOut, Ignore, nullptr, Allocate, Release);
  if (!png) return nullptr;
  png_set_chunk_malloc_max(png, kMaxChunkBytes);
  png_set_chunk_cache_max(png, kMaxAncillaryChunks);
  return png;
}

png_structp PngCreateWrite(PngJump& jump) {
  return png_create_write_struct_2(PNG_LIBPNG_VER_STRING, &jump, JumpOut, Ignore, nullptr, Allocate, Release);
}
