// Frames per second of the three pre-stages on one thread, at the two
// padded sizes that matter (720 x 480 and 1920 x 1088); block and mosquito NR
// at every kernel level run here (the last argument).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "bench/kernel_levels.h"
#include "prefilter/block_nr.h"
#include "prefilter/cross_colour.h"
#include "prefilter/mosquito_nr.h"

namespace {

struct Frame {
  int32_t w;
  int32_t h;
  std::vector<PIXEL_YC> px;
  Frame(int32_t width, int32_t height) : w(width), h(height), px(static_cast<size_t>(width) * height) {}
};

// Smooth luma with grain, vertical bars every 64 columns (edges for the
// cross-colour gate and for the patch matching), and noisy chroma.
Frame test_frame(int32_t w, int32_t h, uint32_t seed) {
  Frame f(w, h);
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int32_t> grain(-40, 40);
  std::uniform_int_distribution<int32_t> chroma(-120, 120);
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      const int32_t base = 1200 + 4 * y + ((x / 64) % 2 == 0 ? 0 : 900);
      f.px[static_cast<size_t>(y) * w + x] =
          PIXEL_YC{static_cast<int16_t>(base + grain(rng)), static_cast<int16_t>(chroma(rng)),
                   static_cast<int16_t>(chroma(rng))};
    }
  return f;
}

void set_frames_per_second(benchmark::State& state) {
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                             benchmark::Counter::kIsRate);
}

// Thresholds at strength 10: the small size class below 1400 columns of work
// buffer, the large one above.
void BM_BlockNr(benchmark::State& state) {
  const int32_t w = static_cast<int32_t>(state.range(0));
  const int32_t h = static_cast<int32_t>(state.range(1));
  const bool small = w <= 720 && h <= 480;
  const Frame src = test_frame(w, h, 1);
  Frame dst(w, h);
  BlockNrJob job;
  job.src = src.px.data();
  job.dst = dst.px.data();
  job.stride = w;
  job.w = w;
  job.h = h;
  job.t1 = small ? 80 : 250;
  job.t2 = small ? 160 : 500;
  const EngineKernels kernels = engine_kernels(static_cast<KernelLevel>(state.range(2)));
  job.kernels = &kernels;
  for (auto _ : state) {
    block_nr_rows(job, 0, h);
    benchmark::DoNotOptimize(dst.px.data());
  }
  set_frames_per_second(state);
}

void BM_MosquitoNr(benchmark::State& state) {
  const int32_t w = static_cast<int32_t>(state.range(0));
  const int32_t h = static_cast<int32_t>(state.range(1));
  const bool small = w <= 720 && h <= 480;
  const Frame prev = test_frame(w, h, 2);
  const Frame cur = test_frame(w, h, 3);
  const Frame next = test_frame(w, h, 4);
  Frame dst(w, h);
  MosquitoNrJob job;
  job.cur = cur.px.data();
  job.prev = prev.px.data();
  job.next = next.px.data();
  job.dst = dst.px.data();
  job.stride = w;
  job.w = w;
  job.h = h;
  job.t3 = small ? 80 : 200;
  const EngineKernels kernels = engine_kernels(static_cast<KernelLevel>(state.range(2)));
  job.kernels = &kernels;
  for (auto _ : state) {
    mosquito_nr_rows(job, 0, h);
    benchmark::DoNotOptimize(dst.px.data());
  }
  set_frames_per_second(state);
}

// The stage rewrites chroma in place, so each run starts from a fresh copy
// (the copy is not timed).
void BM_CrossColour(benchmark::State& state) {
  const int32_t w = static_cast<int32_t>(state.range(0));
  const int32_t h = static_cast<int32_t>(state.range(1));
  const Frame original = test_frame(w, h, 5);
  const Frame prev2 = test_frame(w, h, 6);
  const Frame prev1 = test_frame(w, h, 7);
  const Frame next1 = test_frame(w, h, 8);
  const Frame next2 = test_frame(w, h, 9);
  Frame cur = original;
  CrossColourJob job;
  job.cur = cur.px.data();
  job.prev2 = prev2.px.data();
  job.prev1 = prev1.px.data();
  job.next1 = next1.px.data();
  job.next2 = next2.px.data();
  job.stride = w;
  job.w = w;
  job.h = h;
  job.strength = 10;
  for (auto _ : state) {
    state.PauseTiming();
    std::copy(original.px.begin(), original.px.end(), cur.px.begin());
    state.ResumeTiming();
    cross_colour_reduce(job);
    benchmark::DoNotOptimize(cur.px.data());
  }
  set_frames_per_second(state);
}

}  // namespace

void sizes_and_levels(benchmark::internal::Benchmark* b) {
  for (KernelLevel level : bench_kernel_levels())
    for (auto [w, h] : {std::pair{720, 480}, std::pair{1920, 1088}})
      b->Args({w, h, static_cast<int64_t>(level)});
  b->ArgNames({"w", "h", "level"})->Unit(benchmark::kMillisecond);
}

BENCHMARK(BM_BlockNr)->Apply(sizes_and_levels);
BENCHMARK(BM_MosquitoNr)->Apply(sizes_and_levels);
BENCHMARK(BM_CrossColour)->Args({1920, 1088})->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
