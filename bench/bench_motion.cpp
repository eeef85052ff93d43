// The motion-compensated window's own work per moved frame: the camera's
// translation applied with the windowed sinc (whole samples, and a fraction
// both ways), and the block vectors searched and applied after it. Frames
// are 720x480 and 1920x1080 of noise, in the host's units.
#include <benchmark/benchmark.h>

#include <random>
#include <vector>

#include "cli/motion/block_vectors.h"
#include "cli/motion/warp.h"

namespace {

std::vector<PIXEL_YC> noise_frame(int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<PIXEL_YC> f(size_t(w) * size_t(h));
  for (PIXEL_YC& p : f) p = {int16_t(rng() % 4096), int16_t(int(rng() % 4096) - 2048), int16_t(int(rng() % 4096) - 2048)};
  return f;
}

void BM_Warp(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  const bool fraction = state.range(2) != 0;
  const bool even_chroma = state.range(3) != 0;
  const std::vector<PIXEL_YC> src = noise_frame(w, h, 1), centre = noise_frame(w, h, 2);
  std::vector<PIXEL_YC> dst(src.size());
  WarpFrame g{w, h, w, h, w, w};
  g.even_chroma = even_chroma;
  const Translation offset = fraction ? Translation{2.4, -1.3} : Translation{2, -1};
  for (auto _ : state) {
    warp_frame(src.data(), centre.data(), dst.data(), g, offset, false);
    benchmark::DoNotOptimize(dst.data());
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * w * h);
}
// Args: width, height, whether the shift has a fraction, whether only the
// even pixels' chroma is moved.
BENCHMARK(BM_Warp)
    ->Args({720, 480, 0, 0})
    ->Args({720, 480, 1, 0})
    ->Args({1920, 1080, 1, 0})
    ->Args({1920, 1080, 1, 1})
    ->Unit(benchmark::kMillisecond);

void BM_MoveBlocks(benchmark::State& state) {
  const int w = int(state.range(0)), h = int(state.range(1));
  const std::vector<PIXEL_YC> centre = noise_frame(w, h, 3), moved = noise_frame(w, h, 4);
  const std::vector<uint8_t> centre_luma = matching_luma(centre.data(), w, h, w);
  std::vector<PIXEL_YC> out(centre.size());
  for (auto _ : state) {
    benchmark::DoNotOptimize(move_blocks(centre_luma, moved.data(), out.data(), w, h, w, false));
  }
  state.SetItemsProcessed(int64_t(state.iterations()) * w * h);
}
BENCHMARK(BM_MoveBlocks)->Args({720, 480})->Args({1920, 1080})->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
