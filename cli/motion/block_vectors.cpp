#include "cli/motion/block_vectors.h"

#include <algorithm>
#include <climits>
#include <cstdlib>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr int kBlock = 16;
// Vectors reach this far from the camera's, in whole samples; every one is
// tried on every fourth row of the block, and the best is then weighed
// against the camera's on every other row.
constexpr int kReach = 4;
// A vector of its own must bring the block's sum of differences below this
// share of the camera's.
constexpr int64_t kBetterNumerator = 4, kBetterDenominator = 5;

// The luma plane as 8-bit codes (the host's units are 16 to a code), into a
// buffer kept by the calling thread (a fresh one per frame would be fresh
// pages each time). Eight bits are plenty to tell which vector matches.
void luma_of(const PIXEL_YC* frame, int width, int height, int stride, std::vector<uint8_t>& luma) {
  luma.resize(size_t(width) * size_t(height));
  for (int y = 0; y < height; ++y) {
    const PIXEL_YC* row = frame + size_t(y) * size_t(stride);
    uint8_t* out = luma.data() + size_t(y) * size_t(width);
    for (int x = 0; x < width; ++x) out[x] = uint8_t(std::clamp((int(row[x].y) + 8) >> 4, 0, 255));
  }
}

// Sum of absolute differences of the block at (bx, by) of `a` and the block
// displaced by (dx, dy) in `b`, over every `step`-th row of the block.
int64_t block_difference(const uint8_t* a, const uint8_t* b, int width, int bx, int by, int dx, int dy,
                         int step) {
  int64_t sum = 0;
  for (int r = 0; r < kBlock; r += step) {
    const uint8_t* ra = a + size_t(by + r) * size_t(width) + size_t(bx);
    const uint8_t* rb = b + size_t(by + r + dy) * size_t(width) + size_t(bx + dx);
#if defined(__SSE2__)
    // One row of the block is sixteen codes: one sum of absolute differences.
    const __m128i d = _mm_sad_epu8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(ra)),
                                   _mm_loadu_si128(reinterpret_cast<const __m128i*>(rb)));
    sum += _mm_cvtsi128_si32(d) + _mm_extract_epi16(d, 4);
#else
    for (int x = 0; x < kBlock; ++x) sum += std::abs(int(ra[x]) - int(rb[x]));
#endif
  }
  return sum;
}

}  // namespace

std::vector<uint8_t> matching_luma(const PIXEL_YC* frame, int width, int height, int stride) {
  std::vector<uint8_t> luma;
  luma_of(frame, width, height, stride, luma);
  return luma;
}

BlockMoveStats move_blocks(const std::vector<uint8_t>& a, const PIXEL_YC* moved, PIXEL_YC* out, int width,
                           int height, int stride, bool fields) {
  if (out != moved) {
    for (int y = 0; y < height; ++y) {
      std::copy_n(moved + size_t(y) * size_t(stride), width, out + size_t(y) * size_t(stride));
    }
  }
  BlockMoveStats stats;
  thread_local std::vector<uint8_t> b;
  luma_of(moved, width, height, stride, b);
  // The displaced blocks are taken from `moved` first and written when every
  // block is decided, so that moving in place reads no block already moved.
  struct Taken {
    int bx, by;
  };
  thread_local std::vector<Taken> taken;
  thread_local std::vector<PIXEL_YC> pixels;
  taken.clear();
  pixels.clear();
  for (int by = 0; by + kBlock <= height; by += kBlock) {
    for (int bx = 0; bx + kBlock <= width; bx += kBlock) {
      ++stats.blocks;
      auto inside = [&](int dx, int dy) {
        return bx + dx >= 0 && bx + dx + kBlock <= width && by + dy >= 0 && by + dy + kBlock <= height;
      };
      int64_t best = block_difference(a.data(), b.data(), width, bx, by, 0, 0, 4);
      int best_x = 0, best_y = 0;
      for (int dy = -kReach; dy <= kReach; ++dy) {
        if (fields && dy % 2 != 0) continue;  // odd rows would take the other field
        for (int dx = -kReach; dx <= kReach; ++dx) {
          if ((dx == 0 && dy == 0) || !inside(dx, dy)) continue;
          const int64_t d = block_difference(a.data(), b.data(), width, bx, by, dx, dy, 4);
          if (d < best) {
            best = d;
            best_x = dx;
            best_y = dy;
          }
        }
      }
      if (best_x == 0 && best_y == 0) continue;
      const int64_t own = block_difference(a.data(), b.data(), width, bx, by, 0, 0, 2);
      const int64_t with = block_difference(a.data(), b.data(), width, bx, by, best_x, best_y, 2);
      if (with * kBetterDenominator >= own * kBetterNumerator) continue;
      ++stats.moved;
      taken.push_back({bx, by});
      for (int r = 0; r < kBlock; ++r) {
        const PIXEL_YC* from = moved + size_t(by + r + best_y) * size_t(stride) + size_t(bx + best_x);
        pixels.insert(pixels.end(), from, from + kBlock);
      }
    }
  }
  const PIXEL_YC* from = pixels.data();
  for (const Taken& t : taken) {
    for (int r = 0; r < kBlock; ++r, from += kBlock) {
      std::copy_n(from, kBlock, out + size_t(t.by + r) * size_t(stride) + size_t(t.bx));
    }
  }
  return stats;
}
