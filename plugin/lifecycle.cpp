// Loading and unloading of the module, and the start of saving.
#include "plugin/allocation.h"
#include "plugin/cpu_probe.h"
#include "plugin/frame_driver.h"
#include "plugin/kernel_level.h"
#include "plugin/module_state.h"

namespace {

constexpr size_t kGammaBytes = kGammaLutEntries * sizeof(int16_t);

void free_gamma_table() {
  if (FilterParams.gamma_cbcr_lut) module_aligned_free(FilterParams.gamma_cbcr_lut);
  FilterParams.gamma_cbcr_lut = nullptr;
}

}  // namespace

BOOL func_init(FILTER* fp) {
  // A second init without exit must not leak the first one's buffers.
  free_gamma_table();
  SimdLevel = detect_simd_level();
  Kernels = engine_kernels(selected_kernel_level());

  // Without the scratch vectors every frame comes out black (the driver
  // checks for them).
  Buffers.allocate_scratch();
  FilterParams.gamma_cbcr_lut = static_cast<int16_t*>(module_aligned_alloc(kGammaBytes, 16));

  BufferWidth = 1952;
  BufferHeight = 1120;
  WindowCount = 5;
  AllocationOk = reallocate_module_buffers();
  reset_frame_driver();

  // The host normally derives the parameters before the first frame; doing it
  // here as well means a frame is never processed with zeroed parameters.
  if (fp && fp->track && fp->check) func_update(fp, 0);
  return 1;
}

BOOL func_exit(FILTER*) {
  free_gamma_table();
  Buffers.release();
  release_frame_driver_buffers();
  AllocationOk = false;
  return 1;
}

BOOL func_save_start(FILTER*, int, int, void*) {
  empty_frame_slot_cache();
  return 1;
}
