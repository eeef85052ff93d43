// Speed of the spatial pass (one window frame into one slot) and of the output
// pass, on one worker, at the two common frame sizes.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "bench/kernel_levels.h"
#include "engine/output_pass.h"
#include "engine/spatial_pass.h"
#include "tests/engine/test_work_planes.h"  // aligned, zero-filled (so mapped) work planes

namespace {

constexpr int32_t kWindow = 5;

std::vector<PIXEL_YC> make_frame(int32_t w, int32_t h) {
  std::vector<PIXEL_YC> frame(static_cast<size_t>(w) * h);
  uint32_t state = 1;
  for (int32_t y = 0; y < h; ++y)
    for (int32_t x = 0; x < w; ++x) {
      state = state * 1664525u + 1013904223u;
      const int noise = static_cast<int>(state >> 26) - 32;
      PIXEL_YC& p = frame[static_cast<size_t>(y) * w + x];
      p.y = static_cast<int16_t>(2048 + 1000 * std::sin(x * 0.02) * std::cos(y * 0.03) + noise);
      p.cb = static_cast<int16_t>(500 * std::sin(x * 0.01 + y * 0.02) + noise / 2);
      p.cr = static_cast<int16_t>(-400 * std::cos(y * 0.015) + noise / 2);
    }
  return frame;
}

FilterParameters bench_parameters(bool coring) {
  FilterParameters p;
  p.gain_cb = 1.1f;
  p.gain_cr = 0.9f;
  p.hue_sin = 0.1f;
  p.hue_cos = 0.995f;
  p.w2dy_on = coring;
  p.w2dc_on = coring;
  const float mask[3] = {3, 4, 4}, core[3] = {8, 12, 16};
  for (int j = 0; j < 3; ++j) {
    // W2DY = W2DC = 10.
    p.w2dy_mask_threshold[j] = p.w2dc_mask_threshold[j] = 10 * mask[j];
    p.w2dy_core_threshold[j] = p.w2dc_core_threshold[j] = 10 * core[j];
  }
  return p;
}

// Args: w, h, W, H, coring.
void BM_SpatialPass(benchmark::State& state) {
  const auto w = static_cast<int32_t>(state.range(0));
  const auto h = static_cast<int32_t>(state.range(1));
  TestWorkPlanes buffers(static_cast<int32_t>(state.range(2)), static_cast<int32_t>(state.range(3)),
                      kWindow);
  const std::vector<PIXEL_YC> frame = make_frame(w, h);
  const FilterParameters params = bench_parameters(state.range(4) != 0);
  SpatialJob job;
  job.src = frame.data();
  job.stride = w;
  job.w = w;
  job.h = h;
  const EngineKernels kernels = engine_kernels(highest_kernel_level());
  job.kernels = &kernels;
  job.params = &params;
  job.planes = &buffers.planes;
  int32_t slot = 0;
  for (auto _ : state) {
    job.slot = slot;
    slot = (slot + 1) % kWindow;
    spatial_pass_worker(0, 1, job);
    benchmark::ClobberMemory();
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

// Args: w, h, W, H, chroma gamma.
void BM_OutputPass(benchmark::State& state) {
  const auto w = static_cast<int32_t>(state.range(0));
  const auto h = static_cast<int32_t>(state.range(1));
  const auto W = static_cast<int32_t>(state.range(2));
  const auto H = static_cast<int32_t>(state.range(3));
  TestWorkPlanes buffers(W, H, 1);
  const WorkPlanes& p = buffers.planes;
  for (int64_t i = 0; i < static_cast<int64_t>(W) * H; ++i)
    p.LumaWorkPlane[i] = 2048.0f + static_cast<float>(i % 977) * 1.37f;
  for (int64_t i = 0; i < static_cast<int64_t>(W / 2) * H; ++i) {
    p.CbOutPlane[i] = static_cast<int16_t>(i % 4001 - 2000);
    p.CrOutPlane[i] = static_cast<int16_t>(i % 3001 - 1500);
  }
  std::vector<int16_t> lut(8192);
  for (int i = 0; i < 8192; ++i) lut[i] = static_cast<int16_t>(i - 4095);
  std::vector<PIXEL_YC> frame(static_cast<size_t>(w) * h);
  OutputJob job;
  job.dst = frame.data();
  job.stride = w;
  job.w = w;
  job.h = h;
  job.chroma_gamma = state.range(4) != 0;
  job.gain_y = 1.05f;
  job.offset_y = -12.0f;
  job.gamma_lut = lut.data();
  job.planes = &buffers.planes;
  const EngineKernels kernels = engine_kernels(highest_kernel_level());
  job.kernels = &kernels;
  for (auto _ : state) {
    output_pass_worker(0, 1, job);
    benchmark::ClobberMemory();
  }
  state.counters["frames_per_second"] =
      benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

BENCHMARK(BM_SpatialPass)
    ->ArgNames({"w", "h", "W", "H", "coring"})
    ->Args({720, 480, 800, 512, 0})
    ->Args({720, 480, 800, 512, 1})
    ->Args({1920, 1088, 1952, 1120, 0})
    ->Args({1920, 1088, 1952, 1120, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OutputPass)
    ->ArgNames({"w", "h", "W", "H", "gamma"})
    ->Args({720, 480, 800, 512, 0})
    ->Args({720, 480, 800, 512, 1})
    ->Args({1920, 1088, 1952, 1120, 0})
    ->Args({1920, 1088, 1952, 1120, 1})
    ->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
