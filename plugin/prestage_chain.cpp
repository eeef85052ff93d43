#include "plugin/prestage_chain.h"

#include <algorithm>

#include "plugin/allocation.h"
#include "plugin/module_state.h"
#include "plugin/padded_frame.h"
#include "plugin/pass_records.h"
#include "prefilter/cross_colour.h"

namespace {

// Private copies of the window frame (offset 0) and of its neighbours at
// offsets -2 .. +2, all unmodified host frames with mirrored padding.
// A frame whose size is already a multiple of 16 has no padding to fill:
// then the host's frame itself is used wherever no stage writes into it, as
// the stages read nothing beyond the padded size and the copy would only
// repeat it.
constexpr int kCopies = 5;
PIXEL_YC* g_copies[kCopies] = {};
size_t g_copy_pixels = 0;

PIXEL_YC* copy_buffer(int index, size_t pixels) {
  if (pixels != g_copy_pixels) {
    release_prestage_buffers();
    g_copy_pixels = pixels;
  }
  if (!g_copies[index])
    g_copies[index] = static_cast<PIXEL_YC*>(module_aligned_alloc(pixels * sizeof(PIXEL_YC), 64));
  return g_copies[index];
}

// Fetches clip frame `number` into the private copy at `offset` (-2 .. +2)
// from the window frame, or hands back the host's frame when it needs no
// padding and the caller will not write into it (`written` false). Returns
// nullptr for a frame outside the clip, one the host does not deliver, or
// when no memory is left for the copy.
PIXEL_YC* fetch_copy(FILTER* fp, FILTER_PROC_INFO* fpip, int32_t number, int offset,
                     const FrameGeometry& g, bool written) {
  if (number < 0 || number >= fpip->frame_n) return nullptr;
  PIXEL_YC* frame = fp->exfunc->get_ycp_filtering_cache_ex(fp, fpip->editp, number, nullptr,
                                                           nullptr);
  if (!frame) return nullptr;
  if (!written && g.w == g.padded_w && g.h == g.padded_h) return frame;
  PIXEL_YC* copy = copy_buffer(offset + 2, static_cast<size_t>(fpip->max_w) * g.padded_h);
  if (!copy) return nullptr;
  copy_padded(frame, copy, fpip->max_w, g.w, g.h, g.padded_w, g.padded_h);
  return copy;
}

// Runs one row-parallel pre-stage pass with its record.
void run_prestage_pass(FILTER* fp, FILTER_PROC_INFO* fpip, MULTI_THREAD_FUNC pass,
                       const PIXEL_YC* src, const PIXEL_YC* previous, const PIXEL_YC* next,
                       const PreStageThresholds& t) {
  PreStageParams params{src, previous, next, PreStages.field_count, t.t1, t.t2, t.t3,
                        static_cast<uint8_t>(PreStages.anime ? 1 : 0)};
  fp->exfunc->exec_multi_thread_func(pass, &params, fpip);
}

}  // namespace

const PIXEL_YC* prepare_prestages(FILTER* fp, FILTER_PROC_INFO* fpip, int32_t m,
                                  const FrameGeometry& g) {
  // The cross-colour stage rewrites its source in place; that is the window
  // frame itself only when neither of the other stages ran before it.
  const PreStageSettings& stages = PreStages;
  const bool src_written = stages.cross_colour && !stages.mosquito_nr && !stages.block_nr;
  PIXEL_YC* src = fetch_copy(fp, fpip, m, 0, g, src_written);
  if (!src) return nullptr;

  const WidthClass width = width_class(BufferWidth);
  PIXEL_YC* neighbour[kCopies] = {};  // fetched neighbours of this window frame
  bool fetched[kCopies] = {};
  auto neighbour_or_src = [&](int offset) -> PIXEL_YC* {
    if (!fetched[offset + 2]) {
      neighbour[offset + 2] = fetch_copy(fp, fpip, m + offset, offset, g, false);
      fetched[offset + 2] = true;
    }
    // Outside the clip, or not delivered: the stage's own source stands in.
    return neighbour[offset + 2] ? neighbour[offset + 2] : src;
  };

  if (stages.block_nr) {
    run_prestage_pass(fp, fpip, BlockNrPass, src, nullptr, nullptr,
                      stages.block_nr_thresholds[width]);
    src = fpip->ycp_edit;
  }
  if (stages.mosquito_nr) {
    const PIXEL_YC* previous = neighbour_or_src(-1);
    const PIXEL_YC* next = neighbour_or_src(+1);
    run_prestage_pass(fp, fpip, MosquitoNrPass, src, previous, next,
                      stages.mosquito_nr_thresholds[width]);
    src = fpip->ycp_temp;
  }
  if (stages.cross_colour) {
    CrossColourJob job;
    job.cur = src;
    job.prev2 = neighbour_or_src(-2);
    job.prev1 = neighbour_or_src(-1);
    job.next1 = neighbour_or_src(+1);
    job.next2 = neighbour_or_src(+2);
    job.stride = fpip->max_w;
    job.w = g.padded_w;
    job.h = g.padded_h;
    job.strength = stages.cross_colour_strength;
    cross_colour_reduce(job);
  }
  return src;
}

void release_prestage_buffers() {
  for (PIXEL_YC*& copy : g_copies) {
    if (copy) module_aligned_free(copy);
    copy = nullptr;
  }
  g_copy_pixels = 0;
}
