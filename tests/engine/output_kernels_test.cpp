// Every level's output row kernel against the plain form, bit for bit: luma
// over the whole float range with the clamp limits, halves, negative values
// and NaN; chroma over the 16-bit range with and without the gamma curve;
// rows of every width the module pads to; guards after the row.
#include "engine/output_kernels.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/engine_kernels.h"
#include "support/kernel_levels.h"

namespace {

constexpr int32_t kGuard = 8;
constexpr PIXEL_YC kGuardPixel = {0x5A5A, -0x5A5A, 0x2A2A};
constexpr int64_t kChromaStep = 37;  // samples between chroma lines

struct Row {
  std::vector<float> luma;
  std::vector<int16_t> cb, cr;  // n/2 lines of kChromaStep samples
};

Row random_row(int32_t n, std::mt19937& rng) {
  Row row;
  std::uniform_real_distribution<float> wide(-12000.0f, 12000.0f);
  std::uniform_int_distribution<int> pick(0, 9), half_steps(-20000, 20000);
  const float specials[] = {8191.5f, 8192.0f, -8192.0f, -8192.5f, -100.6f, 100.5f, -0.5f,
                            std::numeric_limits<float>::quiet_NaN(),
                            std::numeric_limits<float>::infinity(), -1e30f};
  for (int32_t i = 0; i < n; ++i) {
    const int kind = pick(rng);
    row.luma.push_back(kind == 0   ? specials[std::uniform_int_distribution<int>(0, 9)(rng)]
                       : kind == 1 ? 0.5f * static_cast<float>(half_steps(rng))
                                   : wide(rng));
  }
  std::uniform_int_distribution<int> sample(-32768, 32767);
  for (int64_t i = 0; i < n / 2 * kChromaStep; ++i) {
    row.cb.push_back(static_cast<int16_t>(sample(rng) / (i % 3 == 0 ? 1 : 5)));
    row.cr.push_back(static_cast<int16_t>(sample(rng) / (i % 3 == 1 ? 1 : 5)));
  }
  return row;
}

struct Output {
  std::vector<PIXEL_YC> pixels;
  std::vector<int16_t> luma_line;
};

Output run(OutputRowKernel kernel, const Row& row, int32_t n, float gain, float k,
           const int16_t* lut) {
  Output out{std::vector<PIXEL_YC>(n + kGuard, kGuardPixel), std::vector<int16_t>(n + kGuard, 7)};
  kernel(row.luma.data(), n, gain, k, row.cb.data(), row.cr.data(), kChromaStep, lut,
         out.luma_line.data(), out.pixels.data());
  return out;
}

bool same(const PIXEL_YC& a, const PIXEL_YC& b) {
  return a.y == b.y && a.cb == b.cb && a.cr == b.cr;
}

TEST(OutputRowKernel, EveryLevelMatchesThePlainFormBitForBit) {
  std::vector<int16_t> lut(8192);
  for (int i = 0; i < 8192; ++i) lut[i] = static_cast<int16_t>((i * 7919) % 16001 - 8000);
  const EngineKernels plain = engine_kernels(KernelLevel::kPlain);
  std::mt19937 rng(99);
  for (KernelLevel level : runnable_kernel_levels()) {
    const OutputRowKernel form = engine_kernels(level).output_row;
    if (level == KernelLevel::kAvx2) {
      ASSERT_NE(form, plain.output_row) << "the AVX2 level has a form of its own";
    }
    for (int32_t n : {16, 32, 48, 720, 1440, 1920}) {
      const Row row = random_row(n, rng);
      const int16_t* const tables[] = {nullptr, lut.data()};
      for (const int16_t* gamma : tables) {
        for (auto [gain, k] : {std::pair{1.0f, 0.5f}, std::pair{1.25f, -799.5f},
                               std::pair{0.75f, 800.5f}}) {
          const Output expected = run(plain.output_row, row, n, gain, k, gamma);
          const Output actual = run(form, row, n, gain, k, gamma);
          const std::string what = std::string(kernel_level_name(level)) + " n " +
                                   std::to_string(n) + (gamma ? " gamma" : "");
          for (int32_t x = 0; x < n + kGuard; ++x) {
            ASSERT_TRUE(same(actual.pixels[x], expected.pixels[x])) << what << " pixel " << x;
            ASSERT_EQ(actual.luma_line[x], expected.luma_line[x]) << what << " luma " << x;
          }
          ASSERT_TRUE(same(actual.pixels[n], kGuardPixel)) << what << " wrote past the row";
        }
      }
    }
  }
  note_skipped_levels("output row kernels of the levels not run here");
}

// The plain form's contract on a few values worked by hand.
TEST(OutputRowKernel, PlainFormRoundsClampsAndPairsChroma) {
  Row row;
  row.luma = {100.4f, 100.5f, -100.6f, 8191.5f, -8192.5f, -8192.0f,
              std::numeric_limits<float>::quiet_NaN(), 0.0f};
  for (int j = 0; j < 4; ++j)
    for (int64_t i = 0; i < kChromaStep; ++i) {
      row.cb.push_back(static_cast<int16_t>(i == 0 ? 10 * j : 9999));
      row.cr.push_back(static_cast<int16_t>(i == 0 ? -10 * j : 9999));
    }
  const Output out = run(output_row_c, row, 8, 1.0f, 0.5f, nullptr);
  const int16_t luma[8] = {100, 101, -100, 8192, -8192, -8191, -8192, 0};
  for (int x = 0; x < 8; ++x) {
    EXPECT_EQ(out.pixels[x].y, luma[x]) << x;
    EXPECT_EQ(out.luma_line[x], luma[x]) << x;
    EXPECT_EQ(out.pixels[x].cb, 10 * (x / 2)) << x;
    EXPECT_EQ(out.pixels[x].cr, -10 * (x / 2)) << x;
  }
}

}  // namespace
