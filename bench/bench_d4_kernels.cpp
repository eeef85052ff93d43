// Speed of the D4 line kernels: the plain forms of both levels and the SSE and
// SSE3 vector forms, on line lengths the engine uses (64 = the smallest band
// call, 976 and 1952 = rows of the widest geometry). Reported as samples per
// second (line samples in for analysis and odd low-pass, line samples out for
// synthesis and odd upsampling).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <random>

#include "engine/d4_kernels.h"

#if defined(__i386__) || defined(__x86_64__)
#include "engine/x86/d4_kernels_sse.h"
#include "engine/x86/d4_kernels_sse3.h"
#define D4_HAS_VECTOR_FORMS 1
#endif

namespace {

enum class Count { kLine, kBand };  // count = line length n, or band length n/2

struct AlignedFloats {
  explicit AlignedFloats(int64_t count)
      : data(static_cast<float*>(std::aligned_alloc(64, ((count * 4 + 63) / 64) * 64))) {}
  ~AlignedFloats() { std::free(data); }
  AlignedFloats(const AlignedFloats&) = delete;
  AlignedFloats& operator=(const AlignedFloats&) = delete;
  float* data;
};

void run_kernel(benchmark::State& state, D4Kernel kernel, Count count_kind, bool needs_sse3) {
#ifdef D4_HAS_VECTOR_FORMS
  if (needs_sse3 && !__builtin_cpu_supports("sse3")) {
    state.SkipWithError("this processor lacks SSE3");
    return;
  }
#else
  (void)needs_sse3;
#endif
  const auto n = static_cast<int32_t>(state.range(0));
  AlignedFloats src(n), dst(n);
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> sample(-8192.0f, 8192.0f);
  for (int32_t i = 0; i < n; ++i) src.data[i] = sample(rng);
  const int32_t count = count_kind == Count::kLine ? n : n / 2;
  for (auto _ : state) {
    kernel(src.data, count, dst.data);
    benchmark::DoNotOptimize(dst.data);
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void lengths(benchmark::internal::Benchmark* b) {
  for (int64_t n : {64, 512, 976, 1952}) b->Arg(n);
}

}  // namespace

BENCHMARK_CAPTURE(run_kernel, analysis_l1_c, d4_analysis_l1_c, Count::kLine, false)->Apply(lengths);
BENCHMARK_CAPTURE(run_kernel, analysis_l2_c, d4_analysis_l2_c, Count::kLine, false)->Apply(lengths);
BENCHMARK_CAPTURE(run_kernel, synthesis_c, d4_synthesis_c, Count::kBand, false)->Apply(lengths);
BENCHMARK_CAPTURE(run_kernel, odd_lowpass_l1_c, d4_odd_lowpass_l1_c, Count::kLine, false)
    ->Apply(lengths);
BENCHMARK_CAPTURE(run_kernel, odd_lowpass_l2_c, d4_odd_lowpass_l2_c, Count::kLine, false)
    ->Apply(lengths);
BENCHMARK_CAPTURE(run_kernel, odd_upsample_c, d4_odd_upsample_c, Count::kBand, false)
    ->Apply(lengths);

#ifdef D4_HAS_VECTOR_FORMS
BENCHMARK_CAPTURE(run_kernel, analysis_sse, d4_analysis_sse, Count::kLine, false)->Apply(lengths);
BENCHMARK_CAPTURE(run_kernel, analysis_sse3, d4_analysis_sse3, Count::kLine, true)->Apply(lengths);
BENCHMARK_CAPTURE(run_kernel, synthesis_sse, d4_synthesis_sse, Count::kBand, false)->Apply(lengths);
BENCHMARK_CAPTURE(run_kernel, odd_lowpass_sse, d4_odd_lowpass_sse, Count::kLine, false)
    ->Apply(lengths);
BENCHMARK_CAPTURE(run_kernel, odd_lowpass_sse3, d4_odd_lowpass_sse3, Count::kLine, true)
    ->Apply(lengths);
BENCHMARK_CAPTURE(run_kernel, odd_upsample_sse, d4_odd_upsample_sse, Count::kBand, false)
    ->Apply(lengths);
#endif

BENCHMARK_MAIN();
