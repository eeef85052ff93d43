#pragma once
// Work planes for tests: every buffer of a WorkPlanes view allocated with
// 64-byte alignment for a given W x H and window length N, freed on scope exit.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/chroma_gather.h"
#include "engine/work_planes.h"

#if defined(_WIN32)
#include <malloc.h>
#endif

class TestWorkPlanes {
 public:
  TestWorkPlanes(int32_t W, int32_t H, int32_t N) {
    planes.W = W;
    planes.H = H;
    planes.N = N;
    const size_t plane = static_cast<size_t>(W) * H;
    const size_t chroma_plane = static_cast<size_t>(W / 2) * H;
    for (int i = 0; i < 4; ++i) {
      planes.PartLineBuffers[i] = allocate<int16_t>(W);
      planes.LumaLineBuffers[i] = allocate<float>(W);
      planes.CbLineBuffers[i] = allocate<float>(H);
      planes.CrLineBuffers[i] = allocate<float>(H);
    }
    planes.LumaSlotPlanesA = allocate<float>(plane * N);
    planes.LumaSlotPlanesB = allocate<float>(plane * N);
    planes.LumaWorkPlane = allocate<float>(plane);
    planes.CbSlotPlanesA = allocate<float>(chroma_plane * N);
    planes.CbSlotPlanesB = allocate<float>(chroma_plane * N);
    planes.CrSlotPlanesA = allocate<float>(chroma_plane * N);
    planes.CrSlotPlanesB = allocate<float>(chroma_plane * N);
    // The gather lines share the output planes' memory, as in the module.
    const size_t gather_samples = sizeof(float) / sizeof(int16_t) * kChromaGatherColumns * static_cast<size_t>(H);
    const size_t out_plane = std::max(chroma_plane, gather_samples);
    planes.CbOutPlane = allocate<int16_t>(out_plane);
    planes.CrOutPlane = allocate<int16_t>(out_plane);
    planes.CbGatherLines = reinterpret_cast<float*>(planes.CbOutPlane);
    planes.CrGatherLines = reinterpret_cast<float*>(planes.CrOutPlane);
    for (int i = 0; i < 6; ++i) planes.ScratchVectors[i] = allocate<float>(4);
  }
  ~TestWorkPlanes() {
    for (void* block : blocks_) {
#if defined(_WIN32)
      _aligned_free(block);
#else
      std::free(block);
#endif
    }
  }
  TestWorkPlanes(const TestWorkPlanes&) = delete;
  TestWorkPlanes& operator=(const TestWorkPlanes&) = delete;

  size_t luma_slot_plane_size() const { return static_cast<size_t>(planes.W) * planes.H * planes.N; }
  size_t chroma_slot_plane_size() const {
    return static_cast<size_t>(planes.W / 2) * planes.H * planes.N;
  }

  WorkPlanes planes;

 private:
  template <typename T>
  T* allocate(size_t count) {
    const size_t bytes = (count * sizeof(T) + 63) / 64 * 64;
#if defined(_WIN32)
    void* block = _aligned_malloc(bytes, 64);
#else
    void* block = std::aligned_alloc(64, bytes);
#endif
    blocks_.push_back(block);
    // Zeroed, so that two fixtures compare equal wherever no pass writes.
    std::memset(block, 0, bytes);
    return static_cast<T*>(block);
  }

  std::vector<void*> blocks_;
};
