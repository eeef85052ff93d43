// Speed of the D4 line kernels: the plain forms of both arithmetics and the
// forms of every level run here, on line lengths the engine uses (64 = the smallest band
// call, 976 and 1952 = rows of the widest geometry). Reported as samples per
// second (line samples in for analysis and odd low-pass, line samples out for
// synthesis and odd upsampling).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <random>

#include <string>

#include "bench/kernel_levels.h"
#include "engine/d4_kernels.h"

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

void run_kernel(benchmark::State& state, D4Kernel kernel, Count count_kind) {
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

// The plain forms of both arithmetics, then each level's table.
const int registered = [] {
  struct Form {
    const char* name;
    D4Kernel kernel;
    Count count;
  };
  auto add = [](const std::string& name, D4Kernel kernel, Count count) {
    benchmark::RegisterBenchmark(name.c_str(), run_kernel, kernel, count)->Apply(lengths);
  };
  for (const Form& f : {Form{"analysis_l1_c", d4_analysis_l1_c, Count::kLine},
                        Form{"analysis_l2_c", d4_analysis_l2_c, Count::kLine},
                        Form{"odd_lowpass_l1_c", d4_odd_lowpass_l1_c, Count::kLine},
                        Form{"odd_lowpass_l2_c", d4_odd_lowpass_l2_c, Count::kLine}})
    add(f.name, f.kernel, f.count);
  for (KernelLevel level : bench_kernel_levels()) {
    const EngineKernels k = engine_kernels(level);
    add(at_level("analysis", level), k.analysis, Count::kLine);
    add(at_level("synthesis", level), k.synthesis, Count::kBand);
    add(at_level("odd_lowpass", level), k.odd_lowpass, Count::kLine);
    add(at_level("odd_upsample", level), k.odd_upsample, Count::kBand);
  }
  return 0;
}();

}  // namespace

BENCHMARK_MAIN();
