// Tests of the D4 line kernels: the worked facts of the transform on the
// plain forms and on every level's table, and every level's forms against the
// plain form of their arithmetic, bit for bit, on every line length the
// engine uses.
#include "engine/d4_kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "engine/engine_kernels.h"
#include "engine/x87_precision.h"
#include "plugin/kernel_level.h"
#include "support/kernel_levels.h"

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
GuardedLine random_line(int32_t count, std::mt19937& rng) {
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
  std::uniform_int_distribution<int> exponent(-12, 13);
  std::bernoulli_distribution negative(0.5);
  GuardedLine line(count);
  for (int32_t i = 0; i < count; ++i) {
    const float v = std::ldexp(mantissa(rng), exponent(rng));
    line[i] = negative(rng) ? -v : v;
  }
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

// One complete set of the four kernels: the plain forms of one arithmetic, or
// the table of a kernel level.
struct KernelSet {
  const char* name;
  bool level2;  // pairwise sums (SSE3 and AVX2 tables, the plain level-2 forms)
  bool from_table;
  KernelLevel level;  // of the table
  D4Kernel analysis, synthesis, odd_lowpass, odd_upsample;
};

KernelSet table_of(const char* name, KernelLevel level) {
  const EngineKernels k = engine_kernels(level);
  return {name, level >= KernelLevel::kSse3, true, level,
          k.analysis, k.synthesis, k.odd_lowpass, k.odd_upsample};
}

void PrintTo(const KernelSet& set, std::ostream* os) { *os << set.name; }

const KernelSet kKernelSets[] = {
    {"PlainLevel1", false, false, KernelLevel::kPlain, d4_analysis_l1_c, d4_synthesis_c,
     d4_odd_lowpass_l1_c, d4_odd_upsample_c},
    {"PlainLevel2", true, false, KernelLevel::kPlain, d4_analysis_l2_c, d4_synthesis_c,
     d4_odd_lowpass_l2_c, d4_odd_upsample_c},
    table_of("PlainTable", KernelLevel::kPlain),
    table_of("SseTable", KernelLevel::kSse),
    table_of("Sse3Table", KernelLevel::kSse3),
    table_of("Avx2Table", KernelLevel::kAvx2),
};

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
// Worked facts of the transform, checked on the plain forms of both levels
// and on every table entry.

class D4Kernels : public ::testing::TestWithParam<KernelSet> {
 protected:
  void SetUp() override {
    if (GetParam().from_table && GetParam().level > highest_kernel_level()) {
      GTEST_SKIP() << GetParam().name << ": not run here";
    }
  }
  const KernelSet& forms() const { return GetParam(); }
  bool level2() const { return GetParam().level2; }
};

// An impulse at every position picks out single coefficients, so each output
// of each kernel shows which input positions and coefficients it uses. The
// impulse at x[0] gives the analysis dst[0] = h0, dst[n/2-1] = h2 (through the
// wrap), dst[n/2] = g0, dst[n-1] = g2 and zeros elsewhere.
TEST_P(D4Kernels, ImpulsesAtEveryPositionSelectTheRightCoefficients) {
  constexpr int32_t n = 24, m = n / 2;  // three vector steps: first, middle, last
  for (int32_t pos = 0; pos < n; ++pos) {
    GuardedLine x(n);
    std::fill(x.data(), x.data() + n, 0.0f);
    x[pos] = 1.0f;
    const GuardedLine analysed = run(forms().analysis, x, n, n);
    const GuardedLine odd_low = run(forms().odd_lowpass, x, n, m);
    const GuardedLine synthesised = run(forms().synthesis, x, m, n);
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
    const GuardedLine up = run(forms().odd_upsample, a, m, n);
    for (int32_t i = 0; i < n; ++i) {
      // One sample later than the synthesis of a low-band impulse.
      const int32_t tap = wrap(i - 1 - 2 * pos, n);
      EXPECT_EQ(up[i], tap < 4 ? kH[tap] : 0.0f) << "impulse " << pos << " out " << i;
    }
  }
}

TEST_P(D4Kernels, ConstantLineHasScaledLowBandAndAlmostZeroHighBand) {
  constexpr int32_t n = 64;
  GuardedLine x(n);
  std::fill(x.data(), x.data() + n, 1.0f);
  const GuardedLine y = run(forms().analysis, x, n, n);
  // The four single-precision g coefficients do not cancel exactly; what is
  // left depends on the summation order.
  const double expected_high = level2() ? 2.98e-8 : 5.96e-8;
  for (int32_t k = 0; k < n / 2; ++k) {
    EXPECT_NEAR(y[k], 1.41421354f, 2.4e-7f) << "low " << k;
    EXPECT_NEAR(y[n / 2 + k], expected_high, 0.01e-8) << "high " << k;
  }
  const GuardedLine odd_low = run(forms().odd_lowpass, x, n, n / 2);
  for (int32_t k = 0; k < n / 2; ++k) EXPECT_NEAR(odd_low[k], 1.41421354f, 2.4e-7f) << k;
}

TEST_P(D4Kernels, SynthesisInvertsAnalysisOnTheShortestLine) {
  const int32_t level = static_cast<int32_t>(forms().level);
  std::mt19937 rng(1234 + level);
  constexpr int32_t n = 16;
  for (int trial = 0; trial < 200; ++trial) {
    const GuardedLine x = random_line(n, rng);
    const GuardedLine y = run(forms().analysis, x, n, n);
    const GuardedLine back = run(forms().synthesis, y, n / 2, n);
    EXPECT_LE(error_in_ulps(back, x, max_abs(x)), 6.0) << "trial " << trial;
  }
}

TEST_P(D4Kernels, OddLowpassInvertsOddUpsampleOnTheShortestLine) {
  const int32_t level = static_cast<int32_t>(forms().level);
  std::mt19937 rng(99 + level);
  constexpr int32_t m = 8;
  for (int trial = 0; trial < 200; ++trial) {
    const GuardedLine a = random_line(m, rng);
    const GuardedLine up = run(forms().odd_upsample, a, m, 2 * m);
    const GuardedLine back = run(forms().odd_lowpass, up, 2 * m, m);
    EXPECT_LE(error_in_ulps(back, a, max_abs(a)), 6.0) << "trial " << trial;
  }
}

TEST_P(D4Kernels, OddUpsampleIsLowBandSynthesisDelayedByOneSample) {
  const int32_t level = static_cast<int32_t>(forms().level);
  std::mt19937 rng(7 + level);
  for (int32_t m : {8, 32}) {
    const GuardedLine a = random_line(m, rng);
    GuardedLine bands(2 * m);
    std::fill(bands.data(), bands.data() + 2 * m, 0.0f);
    std::copy(a.data(), a.data() + m, bands.data());
    const GuardedLine up = run(forms().odd_upsample, a, m, 2 * m);
    const GuardedLine synthesised = run(forms().synthesis, bands, m, 2 * m);
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
TEST_P(D4Kernels, ShiftedReanalysisFoldsBackToTheLowBandAndTheLine) {
  const int32_t level = static_cast<int32_t>(forms().level);
  std::mt19937 rng(4242 + level);
  for (int32_t n : {16, 64, 200}) {
    const int32_t half = n / 2;
    const GuardedLine x = random_line(n, rng);
    const GuardedLine y = run(forms().analysis, x, n, n);
    GuardedLine y_low(half);
    std::copy(y.data(), y.data() + half, y_low.data());
    const GuardedLine up = run(forms().odd_upsample, y_low, half, n);
    const GuardedLine shifted = run(forms().analysis, up, n, n);
    const GuardedLine unfolded = run(forms().synthesis, shifted, half, n);
    const GuardedLine low_again = run(forms().odd_lowpass, unfolded, n, half);
    EXPECT_LE(error_in_ulps(low_again, y_low, max_abs(y_low)), 8.0) << "n " << n;

    GuardedLine bands(n);
    std::copy(low_again.data(), low_again.data() + half, bands.data());
    std::copy(y.data() + half, y.data() + n, bands.data() + half);
    const GuardedLine back = run(forms().synthesis, bands, half, n);
    EXPECT_LE(error_in_ulps(back, x, max_abs(x)), 12.0) << "n " << n;
  }
}

INSTANTIATE_TEST_SUITE_P(Forms, D4Kernels, ::testing::ValuesIn(kKernelSets),
                         [](const ::testing::TestParamInfo<KernelSet>& info) {
                           return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// Every level's forms

// What a kernel's count means: a line length n (n or n/2 outputs) or a band
// length m (2m outputs, from 2m or m inputs).
enum class Shape { kLine, kLineToLowBand, kBandsToLine, kLowBandToLine };

struct Entry {
  const char* name;
  D4Kernel EngineKernels::*kernel;
  Shape shape;
};

const Entry kEntries[] = {
    {"analysis", &EngineKernels::analysis, Shape::kLine},
    {"synthesis", &EngineKernels::synthesis, Shape::kBandsToLine},
    {"odd_lowpass", &EngineKernels::odd_lowpass, Shape::kLineToLowBand},
    {"odd_upsample", &EngineKernels::odd_upsample, Shape::kLowBandToLine},
};

// Each level's four kernels against the plain forms of its arithmetic, bit
// for bit, on random lines of every length the engine uses, with guards
// around each line. Above plain every entry must be a form of its own, or the
// comparison would prove nothing.
TEST(D4LevelForms, MatchThePlainFormOfTheirArithmeticBitForBit) {
  std::mt19937 rng(2024);
  for (KernelLevel level : runnable_kernel_levels()) {
    if (level == KernelLevel::kPlain) continue;
    const EngineKernels table = engine_kernels(level);
    const EngineKernels reference = plain_reference(level);
    for (const Entry& e : kEntries) {
      const D4Kernel form = table.*e.kernel;
      const D4Kernel plain = reference.*e.kernel;
      const std::string what = std::string(kernel_level_name(level)) + " " + e.name;
      ASSERT_NE(form, plain) << what << " is the plain form itself";
      const bool by_band = e.shape == Shape::kBandsToLine || e.shape == Shape::kLowBandToLine;
      for (int32_t count : by_band ? synthesis_lengths() : analysis_lengths()) {
        const int32_t in_count = e.shape == Shape::kBandsToLine ? 2 * count : count;
        const int32_t out_count =
            by_band ? 2 * count : (e.shape == Shape::kLineToLowBand ? count / 2 : count);
        for (int trial = 0; trial < 3; ++trial) {
          const GuardedLine src = random_line(in_count, rng);
          const GuardedLine expected = run(plain, src, count, out_count);
          const GuardedLine actual = run(form, src, count, out_count);
          const int32_t diff = first_bit_difference(actual, expected);
          ASSERT_EQ(diff, -1) << what << " count " << count << " output " << diff << ": "
                              << actual[std::max(diff, 0)] << " instead of "
                              << expected[std::max(diff, 0)];
          ASSERT_TRUE(actual.guards_intact()) << what << " wrote outside dst, count " << count;
          ASSERT_TRUE(expected.guards_intact()) << "plain form wrote outside dst, count " << count;
          ASSERT_TRUE(src.guards_intact()) << what << " wrote into src, count " << count;
        }
      }
    }
  }
  note_skipped_levels("D4 forms of the levels not run here");
}

// Which entries each level brings forms of its own for: the table of a level
// differs from the one below exactly there. (The plain level is the only
// level outside x86.)
TEST(D4LevelForms, EachLevelReplacesTheEntriesItHasFormsFor) {
#if defined(__i386__) || defined(__x86_64__)
  struct Change {
    KernelLevel level;
    bool analysis, synthesis, odd_lowpass, odd_upsample;
  };
  const Change changes[] = {
      {KernelLevel::kSse, true, true, true, true},
      // Level-2 arithmetic; synthesis and odd upsampling have only one.
      {KernelLevel::kSse3, true, false, true, false},
#if defined(__x86_64__)
      {KernelLevel::kAvx2, true, true, true, true},
#endif
  };
  for (const Change& c : changes) {
    const KernelLevel previous = static_cast<KernelLevel>(static_cast<int>(c.level) - 1);
    const EngineKernels below = engine_kernels(previous);
    const EngineKernels at = engine_kernels(c.level);
    const char* name = kernel_level_name(c.level);
    EXPECT_EQ(at.level, c.level);
    EXPECT_EQ(at.analysis != below.analysis, c.analysis) << name;
    EXPECT_EQ(at.synthesis != below.synthesis, c.synthesis) << name;
    EXPECT_EQ(at.odd_lowpass != below.odd_lowpass, c.odd_lowpass) << name;
    EXPECT_EQ(at.odd_upsample != below.odd_upsample, c.odd_upsample) << name;
  }
#else
  EXPECT_EQ(engine_kernels(KernelLevel::kAvx2).analysis, d4_analysis_l1_c);
  EXPECT_EQ(highest_built_kernel_level(), KernelLevel::kPlain);
#endif
}

// ---------------------------------------------------------------------------
// Double-precision outputs under an x87 left at extended precision

#if defined(__i386__) && !defined(__SSE2_MATH__)
// Sets the x87 precision control to 64-bit extended for its lifetime, as a
// host may leave it; restores the previous word afterwards.
class ExtendedPrecisionCaller {
 public:
  ExtendedPrecisionCaller() {
    __asm__ volatile("fnstcw %0" : "=m"(saved_) : : "memory");
    const uint16_t extended = static_cast<uint16_t>(saved_ | 0x0300u);
    __asm__ volatile("fldcw %0" : : "m"(extended) : "memory");
  }
  ~ExtendedPrecisionCaller() { __asm__ volatile("fldcw %0" : : "m"(saved_) : "memory"); }

 private:
  uint16_t saved_ = 0;
};

// 3*h0 is exact and lies exactly halfway between two floats; ties go to the
// even one. Adding c * 2^-56 (|c| < 1) to it changes nothing at double
// precision but pulls the value below the tie at extended precision, where
// the store to single then rounds down instead. A kernel whose double sums
// were really rounded at extended precision would return the odd neighbour.
TEST(D4DoubleOutputs, RoundToDoubleWhenTheCallerLeftTheX87AtExtendedPrecision) {
  const float tiny = -std::ldexp(1.0f, -56);
  const float tie = static_cast<float>(3.0 * static_cast<double>(kD4H0));  // one rounding
  {
    // Precondition: the processor honours the precision control, so that the
    // crafted input really tells the two precisions apart.
    ExtendedPrecisionCaller caller;
    volatile float three = 3.0f, small = tiny, h0 = kD4H0, h2 = kD4H2;
    const long double extended =
        static_cast<long double>(h0) * three + static_cast<long double>(h2) * small;
    ASSERT_NE(static_cast<float>(extended), tie);
  }
  std::mt19937 rng(77);
  for (int32_t m : {8, 32}) {
    const int32_t n = 2 * m;
    // Odd upsample output 1 = h0*a[0] + h2*a[m-1]; odd low-pass output n/2-1 =
    // h0*x[n-1] + h1*x[0] + h2*x[1] + h3*x[2].
    GuardedLine a = random_line(m, rng);
    a[0] = 3.0f;
    a[m - 1] = tiny;
    GuardedLine x = random_line(n, rng);
    x[n - 1] = 3.0f;
    x[0] = tiny;
    x[1] = x[2] = 0.0f;

    struct DoubleForm {
      const char* name;
      D4Kernel form;
      bool upsample;
    };
    const DoubleForm forms[] = {
        {"d4_odd_upsample_c", d4_odd_upsample_c, true},
        {"d4_odd_lowpass_l1_c", d4_odd_lowpass_l1_c, false},
        {"sse odd_upsample", engine_kernels(KernelLevel::kSse).odd_upsample, true},
        {"sse odd_lowpass", engine_kernels(KernelLevel::kSse).odd_lowpass, false},
    };
    for (const DoubleForm& f : forms) {
      const bool upsample = f.upsample;
      const GuardedLine& src = upsample ? a : x;
      const int32_t count = upsample ? m : n;
      const int32_t out_count = upsample ? n : m;
      const int32_t crafted = upsample ? 1 : m - 1;
      GuardedLine reference(out_count);
      {
        // The reference: the same form with the x87 rounding to double.
        X87DoublePrecision double_rounding;
        f.form(src.data(), count, reference.data());
      }
      GuardedLine actual(out_count);
      {
        ExtendedPrecisionCaller caller;
        f.form(src.data(), count, actual.data());
      }
      EXPECT_EQ(std::bit_cast<uint32_t>(actual[crafted]), std::bit_cast<uint32_t>(tie))
          << f.name << " m " << m;
      EXPECT_EQ(first_bit_difference(actual, reference), -1) << f.name << " m " << m;
    }
  }
}
#endif

}  // namespace
