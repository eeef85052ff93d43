// Every level's chroma column gathers against the plain forms, bit for bit:
// random chroma over the whole 16-bit range, gains and hue pairs that round
// differently with each order of the products, the row step of whole frames
// and of fields, every column length the passes use, pads, and guards around
// every line of the block; and the plain form against the single-pixel
// adjustment, so that a block lands in the right lines.
#include "engine/chroma_gather.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "engine/engine_kernels.h"
#include "support/kernel_levels.h"

namespace {

constexpr int32_t kGuard = 8;
constexpr uint32_t kSentinel = 0x7FC0DEADu;

// A block's lines, each `line` floats with kGuard sentinels on either side.
struct GuardedBlock {
  explicit GuardedBlock(int32_t line)
      : stride(line + 2 * kGuard),
        values(static_cast<size_t>(stride) * kChromaGatherColumns, std::bit_cast<float>(kSentinel)) {}
  float* first_line() { return values.data() + kGuard; }
  int32_t stride;
  std::vector<float> values;
};

TEST(ChromaGather, EveryLevelMatchesThePlainFormsBitForBit) {
  constexpr int32_t kWidth = 41;  // pixels per frame row: an odd stride
  std::mt19937 rng(31);
  std::uniform_int_distribution<int> sample(-32768, 32767);
  std::vector<PIXEL_YC> frame(static_cast<size_t>(kWidth) * 1200);
  for (PIXEL_YC& p : frame)
    p = {1, static_cast<int16_t>(sample(rng)), static_cast<int16_t>(sample(rng) / 7)};
  const ChromaAdjustment adjustments[] = {
      {1.0f, 1.0f, 0.0f, 1.0f}, {1.5f, 0.5f, 0.27422f, 0.96167f}, {0.7f, 1.3f, -0.1f, 0.995f}};
  const EngineKernels plain = engine_kernels(KernelLevel::kPlain);
  for (KernelLevel level : runnable_kernel_levels()) {
    const EngineKernels k = engine_kernels(level);
    if (level == KernelLevel::kAvx2) {
      ASSERT_NE(k.gather_chroma, plain.gather_chroma) << "the AVX2 level has forms of its own";
    }
    for (const ChromaAdjustment& a : adjustments) {
      for (int32_t step : {kWidth, 2 * kWidth}) {
        for (auto [count, top, bottom] : {std::tuple{4, 8, 8}, std::tuple{240, 16, 16},
                                          std::tuple{540, 16, 0}, std::tuple{544, 0, 16},
                                          std::tuple{252, 8, 8}}) {
          const int32_t line = top + count + bottom;
          const std::string what = std::string(kernel_level_name(level)) + " count " +
                                   std::to_string(count) + " step " + std::to_string(step);
          const PIXEL_YC* first = frame.data() + 3;
          GuardedBlock cb(line), cr(line), cb_plain(line), cr_plain(line), cb_alone(line),
              cr_alone(line);
          const int32_t ls = cb.stride;
          k.gather_chroma(first, count, top, bottom, step, cb.first_line(), cr.first_line(), ls, a);
          k.gather_cb(first, count, top, bottom, step, cb_alone.first_line(), ls, a);
          k.gather_cr(first, count, top, bottom, step, cr_alone.first_line(), ls, a);
          plain.gather_chroma(first, count, top, bottom, step, cb_plain.first_line(),
                              cr_plain.first_line(), ls, a);
          for (size_t i = 0; i < cb.values.size(); ++i) {
            const uint32_t want_cb = std::bit_cast<uint32_t>(cb_plain.values[i]);
            const uint32_t want_cr = std::bit_cast<uint32_t>(cr_plain.values[i]);
            ASSERT_EQ(std::bit_cast<uint32_t>(cb.values[i]), want_cb) << what << " Cb at " << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(cr.values[i]), want_cr) << what << " Cr at " << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(cb_alone.values[i]), want_cb) << what << " Cb alone " << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(cr_alone.values[i]), want_cr) << what << " Cr alone " << i;
          }
          if (level != KernelLevel::kPlain) continue;
          // The plain form itself: column c, row i is pixel 2c of row i.
          for (int32_t c = 0; c < kChromaGatherColumns; ++c) {
            const float* cb_line = cb.first_line() + c * ls;
            const float* cr_line = cr.first_line() + c * ls;
            for (int32_t i = -kGuard; i < line + kGuard; ++i) {
              const bool inside = i >= 0 && i < line;
              const int32_t row = std::clamp(i - top, 0, count - 1);
              const PIXEL_YC& p = first[static_cast<ptrdiff_t>(row) * step + 2 * c];
              const uint32_t want_cb = inside ? std::bit_cast<uint32_t>(adjusted_cb(p, a)) : kSentinel;
              const uint32_t want_cr = inside ? std::bit_cast<uint32_t>(adjusted_cr(p, a)) : kSentinel;
              ASSERT_EQ(std::bit_cast<uint32_t>(cb_line[i]), want_cb) << what << " column " << c << " at " << i;
              ASSERT_EQ(std::bit_cast<uint32_t>(cr_line[i]), want_cr) << what << " column " << c << " at " << i;
            }
          }
        }
      }
    }
  }
  note_skipped_levels("chroma gathers of the levels not run here");
}

}  // namespace
