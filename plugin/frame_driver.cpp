// The per-frame callback: gate, padding, geometry, the walk over the temporal
// window (pre-stages and spatial decomposition of every window frame that no
// slot holds yet), then the temporal and output passes.
//
// A frame fetched from the host that needs padding is used through a private
// copy whose padding rows and columns are mirrored from the picture, so the
// wavelet filters never see whatever stale data the host's buffers hold
// there; a stage that writes its source always gets a copy, so the host's
// frames are never written.
#include <algorithm>
#include <cstring>

#include "plugin/allocation.h"
#include "plugin/frame_driver.h"
#include "plugin/module_state.h"
#include "plugin/mxcsr_guard.h"
#include "plugin/padded_frame.h"
#include "plugin/pass_records.h"
#include "plugin/prestage_chain.h"

namespace {

constexpr int32_t kMaxWidth = 1920;
constexpr int32_t kMaxHeight = 1088;

struct RememberedGeometry {
  int32_t padded_w = 1920;
  int32_t padded_h = 1088;
  int32_t frame_radius = 0;
};
RememberedGeometry g_last;

void blacken_rows(FILTER_PROC_INFO* fpip, int32_t rows) {
  if (!fpip->ycp_edit || rows <= 0 || fpip->max_w <= 0) return;
  std::memset(fpip->ycp_edit, 0,
              sizeof(PIXEL_YC) * static_cast<size_t>(rows) * static_cast<size_t>(fpip->max_w));
}

// Chooses the buffer geometry for the padded size and reallocates when the
// padded size or the window length changed since the last reallocation.
void update_geometry(int32_t padded_w, int32_t padded_h, int32_t radius) {
  if (padded_w == g_last.padded_w && padded_h == g_last.padded_h &&
      radius == g_last.frame_radius)
    return;
  if (padded_w <= 720 && padded_h <= 480) {
    BufferWidth = 800;
    BufferHeight = 512;
  } else {
    BufferHeight = 1120;
    BufferWidth = padded_w > 1440 ? 1952 : 1472;
  }
  WindowCount = 2 * radius + 1;
  AllocationOk = reallocate_module_buffers();
  // Remembered also after a failure: it is retried only at the next change.
  g_last = {padded_w, padded_h, radius};
}

// Prepares window frame n (clip frame m) into slot s. Returns false when the
// host delivered no frame.
bool prepare_window_frame(FILTER* fp, FILTER_PROC_INFO* fpip, int32_t m, int32_t slot,
                          const FrameGeometry& geometry) {
  const PIXEL_YC* src = prepare_prestages(fp, fpip, m, geometry);
  if (!src) return false;
  SpatialParams params{src, slot};
  fp->exfunc->exec_multi_thread_func(spatial_callback, &params, fpip);
  return true;
}

}  // namespace

void reset_frame_driver() { g_last = RememberedGeometry{}; }

void release_frame_driver_buffers() { release_prestage_buffers(); }

BOOL func_proc(FILTER* fp, FILTER_PROC_INFO* fpip) {
  if (!fpip) return 1;
  MxcsrGuard control_word;
  const int32_t w = fpip->w;
  const int32_t h = fpip->h;
  if (w <= 0 || h <= 0) return 1;

  const bool usable = SimdLevel != 0 && fp && fp->exfunc && fp->track && fp->check &&
                      FilterParams.gamma_cbcr_lut && Buffers.planes().ScratchVectors[0];
  if (h > kMaxHeight || w > kMaxWidth || !usable) {
    blacken_rows(fpip, h);
    return 1;
  }

  const int32_t padded_w = (w + 15) & ~15;
  const int32_t padded_h = (h + 15) & ~15;
  // Host buffers too small for the padded frame cannot be processed.
  if (fpip->max_w < padded_w || fpip->max_h < padded_h) {
    blacken_rows(fpip, std::min(h, fpip->max_h));
    return 1;
  }
  pad_rows_in_place(fpip->ycp_edit, fpip->max_w, w, h, padded_h);

  // The track's range is 1..4; anything else from a host would overrun the
  // nine-entry slot cache.
  const int32_t radius = std::clamp(FilterParams.frame_radius, 1, 4);
  update_geometry(padded_w, padded_h, radius);
  if (!AllocationOk) {
    blacken_rows(fpip, padded_h);
    return 1;
  }

  const FrameGeometry geometry{w, h, padded_w, padded_h};
  fpip->w = padded_w;
  fpip->h = padded_h;
  const int32_t n_slots = WindowCount;
  const int32_t frame = current_frame(*fpip);
  for (int32_t k = -radius; k <= radius; ++k) {
    const int32_t n = frame + k;
    const int32_t slot = ((n % n_slots) + n_slots) % n_slots;
    if (FrameSlotCache[slot] == n) continue;
    if (fp->exfunc->set_ycp_filtering_cache_size)
      fp->exfunc->set_ycp_filtering_cache_size(fp, fpip->max_w, fpip->max_h, 5, 0);
    const int32_t m = mirror_index(n, std::max(fpip->frame_n, 1));
    if (prepare_window_frame(fp, fpip, m, slot, geometry))
      FrameSlotCache[slot] = m;
    else
      FrameSlotCache[slot] = kEmptySlot;
  }

  fp->exfunc->exec_multi_thread_func(temporal_callback, fp, fpip);

  ReconParams recon{static_cast<uint8_t>(FilterParams.field_mode ? 1 : 0),
                    static_cast<uint8_t>(PreStages.chroma_gamma ? 1 : 0), FilterParams.gain_y,
                    FilterParams.offset_y};
  fp->exfunc->exec_multi_thread_func(reconstruction_callback, &recon, fpip);

  fpip->w = w;
  fpip->h = h;
  return 1;
}
