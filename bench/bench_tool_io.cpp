// The command-line tool's own work per frame, which it overlaps with the
// module's: converting a read frame into host units (on the run loop, when
// the host fetches the frame) and converting a rendered frame back (on the
// writing thread), against a plain copy of the host frame as the baseline.
#include <benchmark/benchmark.h>

#include <cstring>
#include <random>
#include <vector>

#include "cli/conversion.h"

namespace {

VideoFormat format_of(int width, int height, int bit_depth) {
  VideoFormat format;
  format.width = width;
  format.height = height;
  format.chroma = ChromaFormat::k420;
  format.bit_depth = bit_depth;
  return format;
}

std::vector<uint8_t> random_payload(const VideoFormat& format) {
  std::vector<uint8_t> payload(format.frame_bytes());
  std::mt19937 random(1);
  for (uint8_t& b : payload) b = uint8_t(random());
  if (format.bit_depth > 8) {
    for (size_t i = 1; i < payload.size(); i += 2) payload[i] &= 3;
  }
  return payload;
}

void set_rate(benchmark::State& state) {
  state.counters["fps"] = benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_PayloadToHost(benchmark::State& state) {
  const VideoFormat format = format_of(int(state.range(0)), int(state.range(1)), int(state.range(2)));
  const SampleConverter converter(format, false);
  const std::vector<uint8_t> payload = random_payload(format);
  std::vector<PIXEL_YC> host(format.luma_samples());
  for (auto _ : state) {
    converter.payload_to_host(payload.data(), host.data(), format.width);
    benchmark::DoNotOptimize(host.data());
  }
  set_rate(state);
}

void BM_HostToPayload(benchmark::State& state) {
  const VideoFormat format = format_of(int(state.range(0)), int(state.range(1)), int(state.range(2)));
  const SampleConverter converter(format, false);
  std::vector<PIXEL_YC> host(format.luma_samples());
  converter.payload_to_host(random_payload(format).data(), host.data(), format.width);
  std::vector<uint8_t> payload(format.frame_bytes());
  for (auto _ : state) {
    converter.host_to_payload(host.data(), format.width, payload.data());
    benchmark::DoNotOptimize(payload.data());
  }
  set_rate(state);
}

// The baseline: copying one host frame, which the host does for every frame
// it fetches.
void BM_HostFrameCopy(benchmark::State& state) {
  const size_t pixels = size_t(state.range(0)) * size_t(state.range(1));
  std::vector<PIXEL_YC> a(pixels, PIXEL_YC{1, 2, 3}), b(pixels);
  for (auto _ : state) {
    std::memcpy(b.data(), a.data(), pixels * sizeof(PIXEL_YC));
    benchmark::DoNotOptimize(b.data());
  }
  set_rate(state);
}

BENCHMARK(BM_PayloadToHost)->Args({720, 480, 8})->Args({1920, 1080, 8})->Args({1920, 1080, 10});
BENCHMARK(BM_HostToPayload)->Args({720, 480, 8})->Args({1920, 1080, 8})->Args({1920, 1080, 10});
BENCHMARK(BM_HostFrameCopy)->Args({720, 480, 0})->Args({1920, 1080, 0});

}  // namespace

BENCHMARK_MAIN();
