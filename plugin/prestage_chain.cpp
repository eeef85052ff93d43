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

PreStageParams g_prestage_params;

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

int32_t strength(const FILTER* fp, int track_index) {
  return std::clamp(fp->track[track_index], 0, 20);
}

void run_block_nr(FILTER* fp, FILTER_PROC_INFO* fpip, const PIXEL_YC* src, bool small,
                  int32_t field_count) {
  const int32_t s = strength(fp, 15);
  g_prestage_params = {src, nullptr, nullptr, field_count,
                       (small ? 8 : 25) * s, (small ? 16 : 50) * s, (small ? 8 : 20) * s,
                       static_cast<uint8_t>(FilterParams.anime_mode ? 1 : 0)};
  fp->exfunc->exec_multi_thread_func(BlockNrPass, &g_prestage_params, fpip);
}

void run_mosquito_nr(FILTER* fp, FILTER_PROC_INFO* fpip, const PIXEL_YC* src,
                     const PIXEL_YC* previous, const PIXEL_YC* next, bool small,
                     int32_t field_count) {
  const int32_t s = strength(fp, 14);
  g_prestage_params = {src, previous, next, field_count,
                       (small ? 8 : 25) * s, (small ? 16 : 50) * s, (small ? 8 : 20) * s,
                       static_cast<uint8_t>(FilterParams.anime_mode ? 1 : 0)};
  fp->exfunc->exec_multi_thread_func(MosquitoNrPass, &g_prestage_params, fpip);
}

}  // namespace

const PIXEL_YC* prepare_prestages(FILTER* fp, FILTER_PROC_INFO* fpip, int32_t m,
                                  const FrameGeometry& g) {
  // The cross-colour stage rewrites its source in place; that is the window
  // frame itself only when neither of the other stages ran before it.
  const bool src_written = fp->check[2] == 1 && fp->check[3] != 1 && fp->check[4] != 1;
  PIXEL_YC* src = fetch_copy(fp, fpip, m, 0, g, src_written);
  if (!src) return nullptr;

  const bool small = BufferWidth < 1400;
  const int32_t field_count = fp->check[0] == 1 ? 2 : 1;
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

  if (fp->check[4] == 1) {
    run_block_nr(fp, fpip, src, small, field_count);
    src = fpip->ycp_edit;
  }
  if (fp->check[3] == 1) {
    const PIXEL_YC* previous = neighbour_or_src(-1);
    const PIXEL_YC* next = neighbour_or_src(+1);
    run_mosquito_nr(fp, fpip, src, previous, next, small, field_count);
    src = fpip->ycp_temp;
  }
  if (fp->check[2] == 1) {
    CrossColourJob job;
    job.cur = src;
    job.prev2 = neighbour_or_src(-2);
    job.prev1 = neighbour_or_src(-1);
    job.next1 = neighbour_or_src(+1);
    job.next2 = neighbour_or_src(+2);
    job.stride = fpip->max_w;
    job.w = g.padded_w;
    job.h = g.padded_h;
    job.strength = strength(fp, 7);
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
