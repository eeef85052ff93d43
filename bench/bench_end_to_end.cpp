// Frames per second of the whole module in the stand-in host, stepping
// forward one frame per call (one new window frame prepared per call), and the
// cost of each pass on its own.
//
//   bench_end_to_end --benchmark_filter=EndToEnd   whole frames
//   bench_end_to_end --benchmark_filter=Pass       spatial / temporal / output
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/output_pass.h"
#include "engine/spatial_pass.h"
#include "engine/temporal_pass.h"
#include "host/stand_in_host.h"
#include "plugin/engine_level.h"
#include "plugin/module_state.h"

namespace {

// A practically endless clip: eight textured, noisy frames repeated, so that
// stepping forward never reaches the end.
class EndlessClip : public FrameSource {
 public:
  EndlessClip(int w, int h) : w_(w), h_(h) {
    uint32_t state = 12345;
    auto noise = [&state]() {
      state = state * 1664525u + 1013904223u;
      return static_cast<int>((state >> 24) % 33) - 16;
    };
    for (auto& frame : frames_) {
      frame.resize(static_cast<size_t>(w) * h);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
          const int16_t luma = static_cast<int16_t>(500 + (x * 7 + y * 3) % 2500 + noise());
          const int16_t cb = static_cast<int16_t>(((x / 2) * 5) % 600 - 300 + noise());
          frame[static_cast<size_t>(y) * w + x] = {luma, cb, static_cast<int16_t>(-cb / 2)};
        }
    }
  }
  int width() const override { return w_; }
  int height() const override { return h_; }
  int frame_count() const override { return 1 << 20; }
  bool read_frame(int n, PIXEL_YC* dst, int stride) override {
    const auto& frame = frames_[n % 8];
    for (int y = 0; y < h_; ++y)
      std::memcpy(dst + static_cast<size_t>(y) * stride, frame.data() + static_cast<size_t>(y) * w_,
                  sizeof(PIXEL_YC) * w_);
    return true;
  }

 private:
  int w_, h_;
  std::vector<PIXEL_YC> frames_[8];
};

struct Setup {
  int w, h, radius, workers;
  bool prestages;
};

Setup setup_from(const benchmark::State& state) {
  return {static_cast<int>(state.range(0)), static_cast<int>(state.range(1)),
          static_cast<int>(state.range(2)), static_cast<int>(state.range(3)),
          state.range(4) != 0};
}

std::unique_ptr<StandInHost> make_host(const Setup& s) {
  HostOptions options;
  options.thread_num = s.workers;
  auto host = std::make_unique<StandInHost>(GetFilterTable(), options);
  host->init();
  host->set_track(0, s.radius);
  if (s.prestages)
    for (int check : {2, 3, 4}) host->set_check(check, 1);
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
      job.simd_level = engine_simd_level();
      job.params = &FilterParams;
      job.planes = &Planes;
      spatial_pass_worker(0, 1, job);
    } else if (kPass == Pass::kTemporal) {
      TemporalJob job;
      job.frame = 100;
      job.simd_level = engine_simd_level();
      job.params = &FilterParams;
      job.planes = &Planes;
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
      job.planes = &Planes;
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
      for (int workers : {1, 2}) b->Args({w, h, radius, workers, 0});
  b->Args({1920, 1080, 2, 2, 1});  // every pre-stage on
  b->ArgNames({"w", "h", "R", "workers", "prestages"});
  b->UseRealTime()->Unit(benchmark::kMillisecond);
}

void pass_sizes(benchmark::internal::Benchmark* b) {
  for (auto [w, h] : {std::pair{720, 480}, std::pair{1920, 1080}}) b->Args({w, h, 2, 1, 0});
  b->ArgNames({"w", "h", "R", "workers", "prestages"});
  b->Unit(benchmark::kMillisecond);
}

}  // namespace

BENCHMARK(EndToEnd)->Apply(sizes_and_windows);
BENCHMARK(PassAlone<Pass::kSpatial>)->Name("Pass/spatial")->Apply(pass_sizes);
BENCHMARK(PassAlone<Pass::kTemporal>)->Name("Pass/temporal")->Apply(pass_sizes);
BENCHMARK(PassAlone<Pass::kOutput>)->Name("Pass/output")->Apply(pass_sizes);

BENCHMARK_MAIN();
