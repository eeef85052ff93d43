// Loading and unloading of the module, and the start of saving.
#include "plugin/allocation.h"
#include "plugin/cpu_probe.h"
#include "plugin/frame_driver.h"
#include "plugin/module_state.h"
#include "plugin/work_buffers.h"

namespace {

constexpr size_t kScratchBytes = 96;
constexpr size_t kGammaBytes = kGammaLutEntries * sizeof(int16_t);

void* g_scratch_block = nullptr;

void free_scratch_and_gamma() {
  if (g_scratch_block) module_aligned_free(g_scratch_block);
  g_scratch_block = nullptr;
  for (float*& vector : Planes.ScratchVectors) vector = nullptr;
  if (FilterParams.gamma_cbcr_lut) module_aligned_free(FilterParams.gamma_cbcr_lut);
  FilterParams.gamma_cbcr_lut = nullptr;
}

}  // namespace

BOOL func_init(FILTER* fp) {
  // A second init without exit must not leak the first one's buffers.
  free_scratch_and_gamma();
  SimdLevel = detect_simd_level();

  g_scratch_block = module_aligned_alloc(kScratchBytes, 16);
  if (g_scratch_block) {
    for (int i = 0; i < 6; ++i)
      Planes.ScratchVectors[i] = static_cast<float*>(g_scratch_block) + 4 * i;
  }
  FilterParams.gamma_cbcr_lut = static_cast<int16_t*>(module_aligned_alloc(kGammaBytes, 16));

  BufferWidth = 1952;
  BufferHeight = 1120;
  WindowCount = 5;
  AllocationOk = reallocate_work_buffers();
  reset_frame_driver();

  // The host normally derives the parameters before the first frame; doing it
  // here as well means a frame is never processed with zeroed parameters.
  if (fp && fp->track && fp->check) func_update(fp, 0);
  return 1;
}

BOOL func_exit(FILTER*) {
  free_scratch_and_gamma();
  free_work_buffers();
  release_frame_driver_buffers();
  AllocationOk = false;
  return 1;
}

BOOL func_save_start(FILTER*, int, int, void*) {
  empty_frame_slot_cache();
  return 1;
}
