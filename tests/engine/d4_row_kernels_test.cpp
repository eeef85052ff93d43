// D4 row kernels: every column of a row step equals the same column
// transformed as a line by the plain line kernel of its level, bit for bit,
// including the wrap and the order of the first synthesis pairs; every table
// entry and vector form agrees with the plain row form; in-place synthesis
// reads each column before writing it.
#include "engine/d4_row_kernels.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "engine/d4_kernels.h"
#include "engine/engine_kernels.h"
#include "support/kernel_levels.h"

namespace {

constexpr int32_t kColumns = 36;  // a multiple of 4, not of 8 or 16
constexpr int32_t kGuard = 4;
constexpr uint32_t kSentinelBits = 0x7FC0DEADu;

// kRows rows of kColumns floats, each row 16-byte aligned, with sentinel
// guards after every row.
class Rows {
 public:
  Rows(const Rows&) = delete;
  Rows& operator=(const Rows&) = delete;
  explicit Rows(int32_t rows) : rows_(rows), storage_(rows * stride() + 4) {
    const auto address = reinterpret_cast<uintptr_t>(storage_.data());
    base_ = reinterpret_cast<float*>((address + 15) & ~uintptr_t{15});
    for (int32_t r = 0; r < rows_; ++r)
      for (int32_t g = 0; g < kGuard; ++g) row(r)[kColumns + g] = std::bit_cast<float>(kSentinelBits);
  }
  static constexpr int32_t stride() { return kColumns + kGuard; }
  float* row(int32_t r) { return base_ + r * stride(); }
  const float* row(int32_t r) const { return base_ + r * stride(); }
  int32_t rows() const { return rows_; }
  bool guards_intact() const {
    for (int32_t r = 0; r < rows_; ++r)
      for (int32_t g = 0; g < kGuard; ++g)
        if (std::bit_cast<uint32_t>(row(r)[kColumns + g]) != kSentinelBits) return false;
    return true;
  }

 private:
  int32_t rows_;
  std::vector<float> storage_;
  float* base_;
};

// Random samples over many binades, so that a changed summation order shows.
void fill_random(Rows& rows, int32_t count, std::mt19937& rng) {
  std::uniform_real_distribution<float> mantissa(1.0f, 2.0f);
  std::uniform_int_distribution<int> exponent(-12, 13);
  std::bernoulli_distribution negative(0.5);
  for (int32_t r = 0; r < count; ++r)
    for (int32_t x = 0; x < kColumns; ++x) {
      const float v = std::ldexp(mantissa(rng), exponent(rng));
      rows.row(r)[x] = negative(rng) ? -v : v;
    }
}

// Column x of the rows as a 16-byte aligned line.
std::vector<float> column(const Rows& rows, int32_t x) {
  std::vector<float> line(rows.rows());
  for (int32_t r = 0; r < rows.rows(); ++r) line[r] = rows.row(r)[x];
  return line;
}

// A line kernel applied to a copy in aligned storage.
std::vector<float> line_transform(D4Kernel kernel, const std::vector<float>& in, int32_t count,
                                  int32_t out_count) {
  alignas(16) static float src[1024];
  alignas(16) static float dst[1024];
  std::copy(in.begin(), in.end(), src);
  kernel(src, count, dst);
  return std::vector<float>(dst, dst + out_count);
}

bool same_bits(float a, float b) { return std::bit_cast<uint32_t>(a) == std::bit_cast<uint32_t>(b); }

struct AnalysisForm {
  std::string name;
  bool level2;  // the arithmetic: pairwise sums
  D4AnalysisRowKernel kernel;
};

// The plain forms of both arithmetics and the row kernels of every level run
// here.
std::vector<AnalysisForm> analysis_forms() {
  std::vector<AnalysisForm> forms = {{"plain level 1", false, d4_analysis_rows_l1_c},
                                     {"plain level 2", true, d4_analysis_rows_l2_c}};
  for (KernelLevel level : runnable_kernel_levels())
    forms.push_back({kernel_level_name(level), level >= KernelLevel::kSse3,
                     engine_kernels(level).analysis_rows});
  return forms;
}

std::vector<std::pair<std::string, D4SynthesisRowKernel>> synthesis_forms() {
  std::vector<std::pair<std::string, D4SynthesisRowKernel>> forms = {
      {"plain form", d4_synthesis_rows_c}};
  for (KernelLevel level : runnable_kernel_levels())
    forms.push_back({kernel_level_name(level), engine_kernels(level).synthesis_rows});
  return forms;
}

// Above plain, every level's row kernels are forms of their own: otherwise
// the comparisons below would compare the plain forms with themselves.
TEST(D4RowKernels, LevelsAbovePlainHoldFormsOfTheirOwn) {
  for (KernelLevel level : runnable_kernel_levels()) {
    if (level == KernelLevel::kPlain) continue;
    const EngineKernels table = engine_kernels(level);
    const EngineKernels plain = plain_reference(level);
    EXPECT_NE(table.analysis_rows, plain.analysis_rows) << kernel_level_name(level);
    EXPECT_NE(table.synthesis_rows, plain.synthesis_rows) << kernel_level_name(level);
  }
  note_skipped_levels("row kernels of the levels not run here");
}

// Analysis of a whole column of n samples, step by step as the passes run it:
// step k reads samples 2k .. 2k+3, the last step wrapping to 0 and 1.
TEST(D4RowKernels, AnalysisColumnsEqualTheLineKernelOfTheirLevel) {
  std::mt19937 rng(7);
  for (int32_t n : {16, 64}) {
    Rows in(n);
    fill_random(in, n, rng);
    for (const AnalysisForm& form : analysis_forms()) {
      SCOPED_TRACE(testing::Message() << form.name << ", n = " << n);
      Rows out(n);
      for (int32_t k = 0; k < n / 2; ++k)
        form.kernel(in.row(2 * k), in.row(2 * k + 1), in.row((2 * k + 2) % n),
                    in.row((2 * k + 3) % n), kColumns, out.row(k), out.row(n / 2 + k));
      ASSERT_TRUE(out.guards_intact());
      for (int32_t x = 0; x < kColumns; ++x) {
        const std::vector<float> expected =
            line_transform(form.level2 ? d4_analysis_l2_c : d4_analysis_l1_c, column(in, x), n, n);
        const std::vector<float> got = column(out, x);
        for (int32_t i = 0; i < n; ++i)
          ASSERT_TRUE(same_bits(got[i], expected[i])) << "column " << x << ", output " << i;
      }
    }
  }
}

// Synthesis of a whole column of 2m samples from its low rows [0, m) and high
// rows [m, 2m), written in place the way the temporal pass does it: pair k
// into the rows that held low k-1 and high k-1 (pair 0 into fresh rows).
TEST(D4RowKernels, SynthesisColumnsEqualTheLineKernelAlsoInPlace) {
  std::mt19937 rng(11);
  for (int32_t m : {8, 32}) {
    Rows in(2 * m);
    fill_random(in, 2 * m, rng);
    for (const auto& [name, kernel] : synthesis_forms()) {
      SCOPED_TRACE(testing::Message() << name << ", m = " << m);
      Rows out(2 * m);
      // Out of place: the low and high rows are only read.
      for (int32_t k = 0; k < m; ++k) {
        const int32_t p = k == 0 ? m - 1 : k - 1;
        kernel(in.row(k), in.row(p), in.row(m + k), in.row(m + p), kColumns, k < 2,
               out.row(2 * k), out.row(2 * k + 1));
      }
      // In place: the rows of low k-1 and high k-1 receive the outputs.
      for (int32_t k = 1; k < m; ++k) {
        Rows pair(2);
        std::copy(in.row(k - 1), in.row(k - 1) + kColumns, pair.row(0));
        std::copy(in.row(m + k - 1), in.row(m + k - 1) + kColumns, pair.row(1));
        kernel(in.row(k), pair.row(0), in.row(m + k), pair.row(1), kColumns, k < 2, pair.row(0),
               pair.row(1));
        for (int32_t x = 0; x < kColumns; ++x) {
          ASSERT_TRUE(same_bits(pair.row(0)[x], out.row(2 * k)[x])) << "in place, even, " << k;
          ASSERT_TRUE(same_bits(pair.row(1)[x], out.row(2 * k + 1)[x])) << "in place, odd, " << k;
        }
      }
      ASSERT_TRUE(out.guards_intact());
      for (int32_t x = 0; x < kColumns; ++x) {
        const std::vector<float> expected = line_transform(d4_synthesis_c, column(in, x), m, 2 * m);
        const std::vector<float> got = column(out, x);
        for (int32_t i = 0; i < 2 * m; ++i)
          ASSERT_TRUE(same_bits(got[i], expected[i])) << "column " << x << ", output " << i;
      }
    }
  }
}

}  // namespace
