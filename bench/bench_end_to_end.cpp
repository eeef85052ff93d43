// Frames per second of the whole module in the stand-in host, stepping
// forward one frame per call (one new window frame prepared per call), and the
// cost of each pass on its own.
//
//   bench_end_to_end --benchmark_filter=EndToEnd   whole frames
//   bench_end_to_end --benchmark_filter=Pass       spatial / temporal / output
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "bench/endless_clip.h"
#include "engine/output_pass.h"
#include "engine/spatial_pass.h"
#include "engine/temporal_pass.h"
#include "host/stand_in_host.h"
#include "plugin/module_state.h"

namespace {

// prestages: a mask of the pre-stage checks to switch on: 1 cross-colour
// (check 2), 2 mosquito NR (check 3), 4 block NR (check 4). anime: the anime
// check, which makes the temporal estimate the full fit.
struct Setup {
  int w, h, radius, workers;
  int prestages;
  int anime;
};

Setup setup_from(const benchmark::State& state) {
  return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
          static_cast<int>(state.range(2)), static_cast<int>(state.range(3)),
          static_cast<int>(state.range(4)), static_cast<int>(state.range(5))};
}

std::unique_ptr<StandInHost> make_host(const Setup& s) {
  HostOptions options;
  options.thread_num = s.workers;
  auto host = std::make_unique<StandInHost>(GetFilterTable(), options);
  host->init();
  host->set_track(0, s.radius);
  for (int check : {2, 3, 4})
    if (s.prestages & (1 << (check - 2))) host->set_check(check, 1);
  host->set_check(1, s.anime);
  host->update(0);
  return host;
}

void EndToEnd(benchmark::State& state) {
  const Setup s = setup_from(state);
  EndlessClip clip(s.w, s.h);
  auto host = make_host(s);
  std::vector<PIXEL_YC> out(static_cast<size_t>(s.w) * s.h);
  int frame = 100;
  host->process(clip, frame, out.data(), s.w);  // fill the window once
  for (auto _ : state) {
    ++frame;
    host->process(clip, frame, out.data(), s.w);
    benchmark::DoNotOptimize(out.data());
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                             benchmark::Counter::kIsRate);
  state.counters["N"] = 2 * s.radius + 1;
}

// The passes alone on one worker, on the buffers that a processed frame left.
enum class Pass { kSpatial, kTemporal, kOutput };

template <Pass kPass>
void PassAlone(benchmark::State& state) {
  const Setup s = setup_from(state);
  EndlessClip clip(s.w, s.h);
  auto host = make_host(s);
  std::vector<PIXEL_YC> frame(static_cast<size_t>(s.w) * s.h);
  host->process(clip, 100, frame.data(), s.w);
  const int padded_w = (s.w + 15) & ~15, padded_h = (s.h + 15) & ~15;
  std::vector<PIXEL_YC> source(static_cast<size_t>(padded_w) * padded_h);
  clip.read_frame(100, source.data(), padded_w);
  for (auto _ : state) {
    if (kPass == Pass::kSpatial) {
      SpatialJob job;
      job.src = source.data();
      job.stride = padded_w;
      job.w = padded_w;
      job.h = padded_h;
      job.slot = 0;
      job.kernels = &Kernels;
      job.params = &FilterParams;
      job.planes = &Buffers.planes();
      spatial_pass_worker(0, 1, job);
    } else if (kPass == Pass::kTemporal) {
      TemporalJob job;
      job.frame = 100;
      job.kernels = &Kernels;
      job.params = &FilterParams;
      job.planes = &Buffers.planes();
      temporal_pass_worker(0, 1, job);
    } else {
      OutputJob job;
      job.dst = source.data();
      job.stride = padded_w;
      job.w = padded_w;
      job.h = padded_h;
      job.gain_y = FilterParams.gain_y;
      job.offset_y = FilterParams.offset_y;
      job.gamma_lut = FilterParams.gamma_cbcr_lut;
      job.planes = &Buffers.planes();
      job.kernels = &Kernels;
      output_pass_worker(0, 1, job);
    }
    benchmark::ClobberMemory();
  }
  state.counters["fps"] = benchmark::Counter(static_cast<double>(state.iterations()),
                                             benchmark::Counter::kIsRate);
}

void sizes_and_windows(benchmark::internal::Benchmark* b) {
  for (auto [w, h] : {std::pair{720, 480}, std::pair{1920, 1080}})
    for (int radius : {1, 2, 4})
      for (int workers : {1, 2}) b->Args({w, h, radius, workers, 0, 0});
  // N = 9 with the full fit, the setting strong automatic settings use.
  for (auto [w, h] : {std::pair{720, 480}, std::pair{1920, 1080}}) b->Args({w, h, 4, 2, 0, 1});
  // Each pre-stage alone, then all three, at both sizes.
  for (auto [w, h] : {std::pair{720, 480}, std::pair{1920, 1080}})
    for (int mask : {1, 2, 4, 7}) b->Args({w, h, 2, 2, mask, 0});
  b->ArgNames({"w", "h", "R", "workers", "prestages", "anime"});
  b->UseRealTime()->Unit(benchmark::kMillisecond);
}

void pass_sizes(benchmark::internal::Benchmark* b) {
  for (auto [w, h] : {std::pair{720, 480}, std::pair{1920, 1080}}) b->Args({w, h, 2, 1, 0, 0});
  b->ArgNames({"w", "h", "R", "workers", "prestages", "anime"});
  b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(EndToEnd)->Apply(sizes_and_windows);
BENCHMARK(PassAlone<Pass::kSpatial>)->Name("Pass/spatial")->Apply(pass_sizes);
BENCHMARK(PassAlone<Pass::kTemporal>)->Name("Pass/temporal")->Apply(pass_sizes);
BENCHMARK(PassAlone<Pass::kOutput>)->Name("Pass/output")->Apply(pass_sizes);

BENCHMARK_MAIN();
