#include "cli/clip_io/png_preview.h"

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <png.h>

#include "cli/tool_error.h"

namespace {

uint8_t to_byte(double v) { return uint8_t(std::clamp(v * 255.0 + 0.5, 0.0, 255.0)); }

void host_to_rgb(const PIXEL_YC& p, uint8_t* rgb) {
  // Host units: luma 0..4096 nominal, chroma -2048..2048 nominal.
  double y = p.y / 4096.0, cb = p.cb / 4096.0, cr = p.cr / 4096.0;
  rgb[0] = to_byte(y + 1.402 * cr);
  rgb[1] = to_byte(y - 0.344136 * cb - 0.714136 * cr);
  rgb[2] = to_byte(y + 1.772 * cb);
}

}  // namespace

std::vector<uint8_t> render_preview(const PIXEL_YC* input, const PIXEL_YC* output, int width,
                                    int height, int stride) {
  const int total_width = 3 * width + 2 * kPreviewGap;
  std::vector<uint8_t> rgb(size_t(total_width) * size_t(height) * 3, 0);
  for (int r = 0; r < height; ++r) {
    uint8_t* row = rgb.data() + size_t(r) * size_t(total_width) * 3;
    const PIXEL_YC* in = input + size_t(r) * stride;
    const PIXEL_YC* out = output + size_t(r) * stride;
    for (int x = 0; x < width; ++x) {
      host_to_rgb(in[x], row + 3 * x);
      host_to_rgb(out[x], row + 3 * (width + kPreviewGap + x));
      double difference = (out[x].y - in[x].y) / 4096.0 * kPreviewDifferenceGain;
      uint8_t grey = to_byte(0.5 + difference);
      uint8_t* d = row + 3 * (2 * (width + kPreviewGap) + x);
      d[0] = d[1] = d[2] = grey;
    }
  }
  return rgb;
}

namespace {

// What went wrong, kept for the message: libpng's own text, or the cause of
// a failed write.
struct PngTrouble {
  std::FILE* file = nullptr;
  std::string problem;
};

extern "C" void png_write_bytes(png_structp png, png_bytep data, size_t size) {
  auto* trouble = static_cast<PngTrouble*>(png_get_io_ptr(png));
  if (std::fwrite(data, 1, size, trouble->file) != size) {
    trouble->problem = std::string("write failed: ") + std::strerror(errno);
    png_error(png, "write failed");
  }
}

extern "C" void png_flush_bytes(png_structp) {}

extern "C" void png_failed(png_structp png, png_const_charp message) {
  auto* trouble = static_cast<PngTrouble*>(png_get_error_ptr(png));
  if (trouble->problem.empty()) trouble->problem = message;
  png_longjmp(png, 1);
}

extern "C" void png_warned(png_structp, png_const_charp) {}

}  // namespace

void write_png(std::FILE* file, const std::string& name, const std::vector<uint8_t>& rgb, int width,
               int height) {
  PngTrouble trouble;
  trouble.file = file;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &trouble, png_failed, png_warned);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  if (!info) {
    png_destroy_write_struct(&png, nullptr);
    throw ToolError(name, "cannot set up the PNG writer");
  }
  // libpng reports errors by longjmp; nothing with a destructor is created
  // between here and the end of the writing.
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    throw ToolError(name, "writing the PNG failed: " + trouble.problem);
  }
  png_set_write_fn(png, &trouble, png_write_bytes, png_flush_bytes);
  png_set_IHDR(png, info, png_uint_32(width), png_uint_32(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int r = 0; r < height; ++r) {
    png_write_row(png, rgb.data() + size_t(r) * size_t(width) * 3);
  }
  png_write_end(png, info);
  png_destroy_write_struct(&png, &info);
}
