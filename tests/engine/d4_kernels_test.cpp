// Tests of the D4 line kernels: the worked facts of the transform on the
// plain forms and on every table entry, and every vector form against the
// plain form of its level, bit for bit, on every line length the engine uses.
#include "engine/d4_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/simd_level.h"

namespace {

constexpr int32_t kGuard = 8;  // floats checked before and after every output line
constexpr uint32_t kSentinelBits = 0x7FC0DEADu;

// A float array starting on a 16-byte boundary, with kGuard sentinel floats
// before and after the usable part.
class GuardedLine {
 public:
  explicit GuardedLine(int32_t count) : count_(count), storage_(count + 2 * kGuard + 4) {
    const auto address = reinterpret_cast<uintptr_t>(storage_.data());
    base_ = reinterpret_cast<float*>((address + 15) & ~uintptr_t{15});
    std::fill(base_, base_ + count_ + 2 * kGuard, std::bit_cast<float>(kSentinelBits));
  }
  float* data() { return base_ + kGuard; }
  const float* data() const { return base_ + kGuard; }
  float& operator[](int32_t i) { return data()[i]; }
  float operator[](int32_t i) const { return data()[i]; }
  int32_t size() const { return count_; }
  bool guards_intact() const {
    for (int32_t i = 0; i < kGuard; ++i) {
      if (std::bit_cast<uint32_t>(base_[i]) != kSentinelBits) return false;
      if (std::bit_cast<uint32_t>(base_[kGuard + count_ + i]) != kSentinelBits) return false;
    }
    return true;
  }

 private:
  int32_t count_;
  std::vector<float> storage_;
  float* base_;
};

// Random samples spread over many binades, so that a changed summation order
// shows in the last bits.
void fill_random(GuardedLine& line, std::mt19937& rng) {
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
  std::uniform_int_distribution<int> exponent(-12, 13);
  std::bernoulli_distribution negative(0.5);
  for (int32_t i = 0; i < line.size(); ++i) {
    const float v = std::ldexp(mantissa(rng), exponent(rng));
    line[i] = negative(rng) ? -v : v;
  }
}

GuardedLine random_line(int32_t count, std::mt19937& rng) {
  GuardedLine line(count);
  fill_random(line, rng);
  return line;
}

GuardedLine run(D4Kernel kernel, const GuardedLine& src, int32_t count, int32_t out_count) {
  GuardedLine dst(out_count);
  kernel(src.data(), count, dst.data());
  return dst;
}

// The first index where the two lines differ in bits, or -1.
int32_t first_bit_difference(const GuardedLine& a, const GuardedLine& b) {
  for (int32_t i = 0; i < a.size(); ++i) {
    if (std::bit_cast<uint32_t>(a[i]) != std::bit_cast<uint32_t>(b[i])) return i;
  }
  return -1;
}

float max_abs(const GuardedLine& line) {
  float m = 0.0f;
  for (int32_t i = 0; i < line.size(); ++i) m = std::max(m, std::fabs(line[i]));
  return m;
}

// Largest difference between two lines, in units of the spacing of floats at
// the magnitude `scale`.
double error_in_ulps(const GuardedLine& a, const GuardedLine& b, float scale) {
  const double ulp = std::nextafter(scale, INFINITY) - scale;
  double worst = 0.0;
  for (int32_t i = 0; i < a.size(); ++i) {
    worst = std::max(worst, std::fabs(static_cast<double>(a[i]) - b[i]) / ulp);
  }
  return worst;
}

const float kH[4] = {kD4H0, kD4H1, kD4H2, kD4H3};
const float kG[4] = {kD4G0, kD4G1, kD4G2, kD4G3};

int32_t wrap(int32_t i, int32_t n) { return ((i % n) + n) % n; }

// The analysis and odd-lowpass line lengths of the engine: every level's
// input length of a luma row or chroma column (W and H of the buffer
// geometries 800x512, 1472x1120, 1952x1120), plus the smallest accepted ones.
std::vector<int32_t> analysis_lengths() {
  std::set<int32_t> lengths = {16, 24, 32};
  for (int32_t side : {512, 800, 1120, 1472, 1952}) {
    for (int32_t shift = 0; shift <= 3; ++shift) {
      const int32_t n = side >> shift;
      if (n % 8 == 0) lengths.insert(n);
    }
  }
  return {lengths.begin(), lengths.end()};
}

// The synthesis and odd-upsample band lengths: half of every analysis length,
// every band length down to one eighth of a side, and the smallest accepted.
std::vector<int32_t> synthesis_lengths() {
  std::set<int32_t> lengths = {8, 12};
  for (int32_t n : analysis_lengths()) lengths.insert(n / 2);
  for (int32_t side : {512, 800, 1120, 1472, 1952}) {
    for (int32_t shift = 1; shift <= 3; ++shift) lengths.insert(side >> shift);
  }
  return {lengths.begin(), lengths.end()};
}

struct KernelForm {
  const char* name;
  D4Kernel kernel;
};

// The level-1 and level-2 plain forms of each kernel.
constexpr KernelForm kAnalysisPlain[3] = {{"d4_analysis_l1_c", d4_analysis_l1_c},
                                          {"d4_analysis_l1_c", d4_analysis_l1_c},
                                          {"d4_analysis_l2_c", d4_analysis_l2_c}};
constexpr KernelForm kOddLowpassPlain[3] = {{"d4_odd_lowpass_l1_c", d4_odd_lowpass_l1_c},
                                            {"d4_odd_lowpass_l1_c", d4_odd_lowpass_l1_c},
                                            {"d4_odd_lowpass_l2_c", d4_odd_lowpass_l2_c}};

// ---------------------------------------------------------------------------
// Coefficients

TEST(D4Coefficients, HaveTheirExactBitPatterns) {
  EXPECT_EQ(std::bit_cast<uint32_t>(kD4H0), 0x3EF746EAu);
  EXPECT_EQ(std::bit_cast<uint32_t>(kD4H1), 0x3F5625EFu);
  EXPECT_EQ(std::bit_cast<uint32_t>(kD4H2), 0x3E6585F8u);
  EXPECT_EQ(std::bit_cast<uint32_t>(kD4H3), 0xBE0483EEu);
  // g = (h3, -h2, h1, -h0): only the sign bit differs from the h it copies.
  EXPECT_EQ(std::bit_cast<uint32_t>(kD4G0), 0xBE0483EEu);
  EXPECT_EQ(std::bit_cast<uint32_t>(kD4G1), 0xBE6585F8u);
  EXPECT_EQ(std::bit_cast<uint32_t>(kD4G2), 0x3F5625EFu);
  EXPECT_EQ(std::bit_cast<uint32_t>(kD4G3), 0xBEF746EAu);
}

// ---------------------------------------------------------------------------
// Worked facts, checked on every table entry (and so on the plain forms where
// the tables hold them).

class D4TableEntry : public ::testing::TestWithParam<int32_t> {};

TEST_P(D4TableEntry, AnalysisOfAnImpulseAtZeroWrapsIntoTheLastPair) {
  constexpr int32_t n = 16;
  GuardedLine x(n);
  std::fill(x.data(), x.data() + n, 0.0f);
  x[0] = 1.0f;
  const GuardedLine y = run(AnalysisKernels[GetParam()], x, n, n);
  for (int32_t i = 0; i < n; ++i) {
    float expected = 0.0f;
    if (i == 0) expected = kD4H0;
    if (i == n / 2 - 1) expected = kD4H2;
    if (i == n / 2) expected = kD4G0;
    if (i == n - 1) expected = kD4G2;
    EXPECT_EQ(y[i], expected) << "output " << i;
  }
}

// An impulse at every position picks out single coefficients, so each output
// of each kernel shows which input positions and coefficients it uses.
TEST_P(D4TableEntry, ImpulsesAtEveryPositionSelectTheRightCoefficients) {
  const int32_t level = GetParam();
  constexpr int32_t n = 16, m = n / 2;
  for (int32_t pos = 0; pos < n; ++pos) {
    GuardedLine x(n);
    std::fill(x.data(), x.data() + n, 0.0f);
    x[pos] = 1.0f;
    const GuardedLine analysed = run(AnalysisKernels[level], x, n, n);
    const GuardedLine odd_low = run(OddLowpassKernels[level], x, n, m);
    const GuardedLine synthesised = run(SynthesisKernels[level], x, m, n);
    for (int32_t k = 0; k < m; ++k) {
      const int32_t tap = wrap(pos - 2 * k, n);
      const int32_t odd_tap = wrap(pos - 2 * k - 1, n);
      EXPECT_EQ(analysed[k], tap < 4 ? kH[tap] : 0.0f) << "impulse " << pos << " low " << k;
      EXPECT_EQ(analysed[m + k], tap < 4 ? kG[tap] : 0.0f) << "impulse " << pos << " high " << k;
      EXPECT_EQ(odd_low[k], odd_tap < 4 ? kH[odd_tap] : 0.0f) << "impulse " << pos << " out " << k;
    }
    // Synthesis is the transpose: band coefficient j spreads over outputs 2j .. 2j+3.
    const int32_t band_pos = pos % m;
    const float* filter = pos < m ? kH : kG;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t tap = wrap(i - 2 * band_pos, n);
      EXPECT_EQ(synthesised[i], tap < 4 ? filter[tap] : 0.0f) << "impulse " << pos << " out " << i;
    }
  }
  for (int32_t pos = 0; pos < m; ++pos) {
    GuardedLine a(m);
    std::fill(a.data(), a.data() + m, 0.0f);
    a[pos] = 1.0f;
    const GuardedLine up = run(OddUpsampleKernels[level], a, m, n);
    for (int32_t i = 0; i < n; ++i) {
      // One sample later than the synthesis of a low-band impulse.
      const int32_t tap = wrap(i - 1 - 2 * pos, n);
      EXPECT_EQ(up[i], tap < 4 ? kH[tap] : 0.0f) << "impulse " << pos << " out " << i;
    }
  }
}

TEST_P(D4TableEntry, ConstantLineHasScaledLowBandAndAlmostZeroHighBand) {
  const int32_t level = GetParam();
  constexpr int32_t n = 64;
  GuardedLine x(n);
  std::fill(x.data(), x.data() + n, 1.0f);
  const GuardedLine y = run(AnalysisKernels[level], x, n, n);
  // The four single-precision g coefficients do not cancel exactly; what is
  // left depends on the summation order.
  const double expected_high = level == kSimdSse3 ? 2.98e-8 : 5.96e-8;
  for (int32_t k = 0; k < n / 2; ++k) {
    EXPECT_NEAR(y[k], 1.41421354f, 2.4e-7f) << "low " << k;
    EXPECT_NEAR(y[n / 2 + k], expected_high, 0.01e-8) << "high " << k;
  }
  const GuardedLine odd_low = run(OddLowpassKernels[level], x, n, n / 2);
  for (int32_t k = 0; k < n / 2; ++k) EXPECT_NEAR(odd_low[k], 1.41421354f, 2.4e-7f) << k;
}

TEST_P(D4TableEntry, SynthesisInvertsAnalysisOnTheShortestLine) {
  const int32_t level = GetParam();
  std::mt19937 rng(1234 + level);
  constexpr int32_t n = 16;
  for (int trial = 0; trial < 200; ++trial) {
    const GuardedLine x = random_line(n, rng);
    const GuardedLine y = run(AnalysisKernels[level], x, n, n);
    const GuardedLine back = run(SynthesisKernels[level], y, n / 2, n);
    EXPECT_LE(error_in_ulps(back, x, max_abs(x)), 6.0) << "trial " << trial;
  }
}

TEST_P(D4TableEntry, OddLowpassInvertsOddUpsampleOnTheShortestLine) {
  const int32_t level = GetParam();
  std::mt19937 rng(99 + level);
  constexpr int32_t m = 8;
  for (int trial = 0; trial < 200; ++trial) {
    const GuardedLine a = random_line(m, rng);
    const GuardedLine up = run(OddUpsampleKernels[level], a, m, 2 * m);
    const GuardedLine back = run(OddLowpassKernels[level], up, 2 * m, m);
    EXPECT_LE(error_in_ulps(back, a, max_abs(a)), 6.0) << "trial " << trial;
  }
}

TEST_P(D4TableEntry, OddUpsampleIsLowBandSynthesisDelayedByOneSample) {
  const int32_t level = GetParam();
  std::mt19937 rng(7 + level);
  for (int32_t m : {8, 32}) {
    const GuardedLine a = random_line(m, rng);
    GuardedLine bands(2 * m);
    std::fill(bands.data(), bands.data() + 2 * m, 0.0f);
    std::copy(a.data(), a.data() + m, bands.data());
    const GuardedLine up = run(OddUpsampleKernels[level], a, m, 2 * m);
    const GuardedLine synthesised = run(SynthesisKernels[level], bands, m, 2 * m);
    // Outputs computed in double on one side and in single on the other may
    // differ by the rounding of one product.
    const double ulp = std::nextafter(max_abs(a), INFINITY) - max_abs(a);
    for (int32_t i = 0; i < 2 * m; ++i) {
      EXPECT_NEAR(up[i], synthesised[wrap(i - 1, 2 * m)], ulp) << "m " << m << " out " << i;
    }
  }
}

// Re-analysing the odd-phase upsampled low band and folding it back with
// synthesis and odd low-pass returns the low band; with the original high band
// the line comes back.
TEST_P(D4TableEntry, ShiftedReanalysisFoldsBackToTheLowBandAndTheLine) {
  const int32_t level = GetParam();
  std::mt19937 rng(4242 + level);
  for (int32_t n : {16, 64, 200}) {
    const int32_t half = n / 2;
    const GuardedLine x = random_line(n, rng);
    const GuardedLine y = run(AnalysisKernels[level], x, n, n);
    GuardedLine y_low(half);
    std::copy(y.data(), y.data() + half, y_low.data());
    const GuardedLine up = run(OddUpsampleKernels[level], y_low, half, n);
    const GuardedLine shifted = run(AnalysisKernels[level], up, n, n);
    const GuardedLine unfolded = run(SynthesisKernels[level], shifted, half, n);
    const GuardedLine low_again = run(OddLowpassKernels[level], unfolded, n, half);
    EXPECT_LE(error_in_ulps(low_again, y_low, max_abs(y_low)), 8.0) << "n " << n;

    GuardedLine bands(n);
    std::copy(low_again.data(), low_again.data() + half, bands.data());
    std::copy(y.data() + half, y.data() + n, bands.data() + half);
    const GuardedLine back = run(SynthesisKernels[level], bands, half, n);
    EXPECT_LE(error_in_ulps(back, x, max_abs(x)), 12.0) << "n " << n;
  }
}

// What a kernel's count means: a line length n (n or n/2 outputs) or a band
// length m (2m outputs, from 2m or m inputs).
enum class Shape { kLine, kLineToLowBand, kBandsToLine, kLowBandToLine };

struct Case {
  const char* table;
  D4Kernel entry;
  const char* plain_name;
  D4Kernel plain;
  Shape shape;
};

// Every table entry against the plain form of its level, bit for bit, on
// random lines of every length the engine uses. The guards around each output
// line must stay untouched.
TEST_P(D4TableEntry, MatchesThePlainFormOfItsLevelBitForBit) {
  const int32_t level = GetParam();
  std::mt19937 rng(2024 + level);
  const Case cases[] = {
      {"AnalysisKernels", AnalysisKernels[level], kAnalysisPlain[level].name,
       kAnalysisPlain[level].kernel, Shape::kLine},
      {"OddLowpassKernels", OddLowpassKernels[level], kOddLowpassPlain[level].name,
       kOddLowpassPlain[level].kernel, Shape::kLineToLowBand},
      {"SynthesisKernels", SynthesisKernels[level], "d4_synthesis_c", d4_synthesis_c,
       Shape::kBandsToLine},
      {"OddUpsampleKernels", OddUpsampleKernels[level], "d4_odd_upsample_c", d4_odd_upsample_c,
       Shape::kLowBandToLine},
  };
  for (const Case& c : cases) {
    const bool by_band = c.shape == Shape::kBandsToLine || c.shape == Shape::kLowBandToLine;
    for (int32_t count : by_band ? synthesis_lengths() : analysis_lengths()) {
      const int32_t in_count = c.shape == Shape::kBandsToLine ? 2 * count : count;
      const int32_t out_count =
          by_band ? 2 * count : (c.shape == Shape::kLineToLowBand ? count / 2 : count);
      for (int trial = 0; trial < 3; ++trial) {
        const GuardedLine src = random_line(in_count, rng);
        const GuardedLine expected = run(c.plain, src, count, out_count);
        const GuardedLine actual = run(c.entry, src, count, out_count);
        const int32_t diff = first_bit_difference(actual, expected);
        EXPECT_EQ(diff, -1) << c.table << "[" << level << "] count " << count << " differs at "
                            << diff << ": " << actual[std::max(diff, 0)] << " vs "
                            << expected[std::max(diff, 0)];
        EXPECT_TRUE(actual.guards_intact()) << c.table << "[" << level << "] count " << count;
        EXPECT_TRUE(expected.guards_intact()) << c.plain_name << " count " << count;
        EXPECT_TRUE(src.guards_intact()) << c.table << "[" << level << "] count " << count;
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Levels, D4TableEntry, ::testing::Values(0, 1, 2),
                         [](const ::testing::TestParamInfo<int32_t>& info) {
                           return "Entry" + std::to_string(info.param);
                         });

}  // namespace
