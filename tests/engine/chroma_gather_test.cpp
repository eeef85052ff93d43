// Every level's chroma column gathers against the plain forms, bit for bit:
// random chroma over the whole 16-bit range, gains and hue pairs that round
// differently with each order of the products, the row step of whole frames
// and of fields, every column length the passes use, pads, and guards.
#include "engine/chroma_gather.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/engine_kernels.h"
#include "support/kernel_levels.h"

namespace {

constexpr int32_t kGuard = 8;
constexpr uint32_t kSentinel = 0x7FC0DEADu;

std::vector<float> guarded(int32_t count) {
  return std::vector<float>(static_cast<size_t>(count + 2 * kGuard),
                            std::bit_cast<float>(kSentinel));
}

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
                                          std::tuple{256, 8, 8}}) {
          const int32_t total = top + count + bottom;
          const std::string what = std::string(kernel_level_name(level)) + " count " +
                                   std::to_string(count) + " step " + std::to_string(step);
          const PIXEL_YC* first = frame.data() + 3;
          std::vector<float> cb = guarded(total), cr = guarded(total);
          std::vector<float> cb_plain = guarded(total), cr_plain = guarded(total);
          std::vector<float> cb_alone = guarded(total), cr_alone = guarded(total);
          k.gather_chroma(first, count, top, bottom, step, cb.data() + kGuard, cr.data() + kGuard,
                          a);
          k.gather_cb(first, count, top, bottom, step, cb_alone.data() + kGuard, a);
          k.gather_cr(first, count, top, bottom, step, cr_alone.data() + kGuard, a);
          plain.gather_chroma(first, count, top, bottom, step, cb_plain.data() + kGuard,
                              cr_plain.data() + kGuard, a);
          for (size_t i = 0; i < cb.size(); ++i) {
            const uint32_t want_cb = std::bit_cast<uint32_t>(cb_plain[i]);
            const uint32_t want_cr = std::bit_cast<uint32_t>(cr_plain[i]);
            ASSERT_EQ(std::bit_cast<uint32_t>(cb[i]), want_cb) << what << " Cb at " << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(cr[i]), want_cr) << what << " Cr at " << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(cb_alone[i]), want_cb) << what << " Cb alone " << i;
            ASSERT_EQ(std::bit_cast<uint32_t>(cr_alone[i]), want_cr) << what << " Cr alone " << i;
          }
          ASSERT_EQ(std::bit_cast<uint32_t>(cb[0]), kSentinel) << what;
          ASSERT_EQ(std::bit_cast<uint32_t>(cb[cb.size() - 1]), kSentinel) << what;
        }
      }
    }
  }
  note_skipped_levels("chroma gathers of the levels not run here");
}

}  // namespace
