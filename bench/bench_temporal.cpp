// Speed of the temporal kernels of every level run here (samples per second)
// and of the whole temporal pass on one worker at the highest level.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/kernel_levels.h"
#include "engine/filter_parameters.h"
#include "engine/temporal_kernels.h"
#include "engine/temporal_pass.h"
#include "engine/work_planes.h"
#include "plugin/allocation.h"

namespace {

struct AlignedFree {
  void operator()(void* p) const { module_aligned_free(p); }
};
template <typename T>
using Aligned = std::unique_ptr<T[], AlignedFree>;

template <typename T>
Aligned<T> aligned(size_t count) {
  return Aligned<T>(static_cast<T*>(module_aligned_alloc(count * sizeof(T), 64)));
}

// Values spread so that with threshold 8 about half the neighbours are taken:
// the mix of taken and not taken that real detail bands show.
void fill_slots(float* data, size_t count, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> value(-10.0f, 10.0f);
  for (size_t i = 0; i < count; ++i) data[i] = value(rng);
}

void kernel_bench(benchmark::State& state, TemporalKernel kernel, int32_t n_slots) {
  const int32_t n = static_cast<int32_t>(state.range(0));
  auto planes = aligned<float>(static_cast<size_t>(n) * n_slots);
  auto out = aligned<float>(n);
  fill_slots(planes.get(), static_cast<size_t>(n) * n_slots, 1);
  int32_t frame = 0;
  for (auto _ : state) {
    kernel(n, 8.0f, out.get(), planes.get(), 0, frame);
    benchmark::DoNotOptimize(out.get());
    benchmark::ClobberMemory();
    ++frame;
  }
  state.SetItemsProcessed(state.iterations() * n);
}

void pass_bench(benchmark::State& state, int32_t w, int32_t h) {
  const int32_t n_slots = 5;
  const size_t luma = static_cast<size_t>(n_slots) * w * h;
  const size_t chroma = static_cast<size_t>(n_slots) * (w / 2) * h;
  std::vector<Aligned<float>> owned;
  auto floats = [&owned](size_t count, uint32_t seed) {
    owned.push_back(aligned<float>(count));
    fill_slots(owned.back().get(), count, seed);
    return owned.back().get();
  };
  WorkPlanes planes;
  planes.W = w;
  planes.H = h;
  planes.N = n_slots;
  for (int i = 0; i < 4; ++i) {
    planes.LumaLineBuffers[i] = floats(w, 0);
    planes.CbLineBuffers[i] = floats(h, 0);
    planes.CrLineBuffers[i] = floats(h, 0);
  }
  planes.LumaSlotPlanesA = floats(luma, 1);
  planes.LumaSlotPlanesB = floats(luma, 2);
  planes.LumaWorkPlane = floats(static_cast<size_t>(w) * h, 0);
  planes.CbSlotPlanesA = floats(chroma, 3);
  planes.CbSlotPlanesB = floats(chroma, 4);
  planes.CrSlotPlanesA = floats(chroma, 5);
  planes.CrSlotPlanesB = floats(chroma, 6);
  auto cb = aligned<int16_t>(static_cast<size_t>(w / 2) * h);
  auto cr = aligned<int16_t>(static_cast<size_t>(w / 2) * h);
  planes.CbOutPlane = cb.get();
  planes.CrOutPlane = cr.get();

  FilterParameters params;
  params.frame_radius = 2;
  params.w3dyl_threshold_upper = params.w3dyl_threshold_lower = params.w3dcl_threshold = 8.0f;
  for (int l = 0; l < 3; ++l) params.w3dyh_threshold[l] = params.w3dch_threshold[l] = 8.0f;

  const EngineKernels kernels = engine_kernels(highest_kernel_level());
  TemporalJob job;
  job.kernels = &kernels;
  job.params = &params;
  job.planes = &planes;
  for (auto _ : state) {
    temporal_pass_worker(0, 1, job);
    benchmark::ClobberMemory();
    ++job.frame;
  }
  state.SetItemsProcessed(state.iterations() * w * h);
}

const char* const kEntryNames[8] = {"full_n3",    "full_n5",    "full_n7",    "full_n9",
                                    "reduced_n3", "reduced_n5", "reduced_n7", "reduced_n9"};

const int registered = [] {
  for (KernelLevel level : bench_kernel_levels()) {
    const EngineKernels k = engine_kernels(level);
    for (int e = 0; e < 8; ++e) {
      const int32_t n_slots = 2 * (e % 4 + 1) + 1;
      const std::string name = at_level(std::string("temporal_") + kEntryNames[e], level);
      benchmark::RegisterBenchmark(name.c_str(), kernel_bench, k.temporal[e], n_slots)
          ->Arg(244)
          ->Arg(976);
    }
  }
  benchmark::RegisterBenchmark("temporal_pass_800x512_n5", pass_bench, 800, 512)
      ->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("temporal_pass_1952x1120_n5", pass_bench, 1952, 1120)
      ->Unit(benchmark::kMillisecond);
  return 0;
}();

}  // namespace

BENCHMARK_MAIN();
