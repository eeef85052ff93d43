#include "tools/plugin_runner/synthetic_clip.h"

#include <algorithm>

namespace {

int16_t clamp_sample(int v, int lo, int hi) { return static_cast<int16_t>(std::clamp(v, lo, hi)); }

}  // namespace

SyntheticClip::SyntheticClip(int width, int height, int frames)
    : width_(width), height_(height), frames_(frames) {}

bool SyntheticClip::read_frame(int n, PIXEL_YC* dst, int stride) {
  if (n < 0 || n >= frames_ || dst == nullptr || stride < width_) return false;
  IntegerLcg noise((0x9E3779B9u * static_cast<uint32_t>(n + 1)) ^ 0x5EEDu);
  // The object enters from the left and moves 4 pixels right per frame.
  const int object_x = 8 + 4 * n;
  const int object_y = height_ / 4;
  const int object_w = std::max(width_ / 4, 8);
  const int object_h = std::max(height_ / 3, 8);
  const int stripes_top = height_ * 3 / 4;
  const int flip = (n & 1) ? 1 : -1;

  for (int y = 0; y < height_; ++y) {
    PIXEL_YC* row = dst + static_cast<size_t>(y) * stride;
    for (int x = 0; x < width_; ++x) {
      // Pan: 3 pixels right and 1 down per frame; u and v stay non-negative.
      const int u = x + 3 * n;
      const int v = y + n;
      int luma = 900 + (u * 5 + v * 3) % 700 + ((((u >> 3) + (v >> 3)) & 1) ? 500 : 0);
      int cb = (u * 7) % 800 - 400;
      int cr = (v * 9) % 900 - 450;

      const bool in_object = x >= object_x && x < object_x + object_w && y >= object_y &&
                             y < object_y + object_h;
      if (in_object) {
        luma += 1500;
        cb += 600;
        cr -= 500;
      }
      if (y >= stripes_top) {
        // Fine luma stripes with chroma that alternates sign frame by frame.
        const bool bright = ((x >> 1) & 1) != 0;
        luma += bright ? 700 : -300;
        cb += flip * (bright ? 250 : -250);
        cr -= flip * (bright ? 200 : -200);
      }

      luma += noise.symmetric(64);
      cb += noise.symmetric(32);
      cr += noise.symmetric(32);
      row[x] = PIXEL_YC{clamp_sample(luma, 0, 4096), clamp_sample(cb, -2048, 2048),
                        clamp_sample(cr, -2048, 2048)};
    }
  }
  return true;
}
