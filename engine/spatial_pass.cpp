#include "engine/spatial_pass.h"

#include "engine/chroma_gather.h"
#include "engine/dual_phase.h"
#include "engine/luma_vertical_step.h"
#include "engine/spatial_coring.h"

#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace {

// Slot-plane stores: the 16 floats of one chunk of slot s, a whole 64-byte
// line. The slot planes are far larger than any cache and are not read again
// before the temporal pass, so on x86 the lines bypass the cache (SSE1
// streaming stores, which every processor the engine runs on has): four
// stores fill one write-combining buffer, which goes to memory whole, without
// the line being read first. store_fence makes them visible before the pass
// returns.
#if defined(__SSE__)
inline void store_chunk(float* dst, const float* src) {
  for (int i = 0; i < kSlotChunk; i += 4) _mm_stream_ps(dst + i, _mm_load_ps(src + i));
}
inline void store_fence() { _mm_sfence(); }
#else
inline void store_chunk(float* dst, const float* src) {
  for (int i = 0; i < kSlotChunk; ++i) dst[i] = src[i];
}
inline void store_fence() {}
#endif

// Stores line[0, length) at positions [first_position, first_position + length)
// of slot `slot` of a slot-interleaved plane of window length n.
// first_position and length are multiples of the chunk (every W and H is a
// multiple of 16), so the line covers whole chunks.
void store_line_in_slot(float* plane, int64_t first_position, const float* line, int32_t length,
                        int32_t slot, int32_t n) {
  float* dst = plane + slot_index(first_position, slot, n);
  const int64_t chunk_stride = static_cast<int64_t>(kSlotChunk) * n;
  for (int32_t i = 0; i < length; i += kSlotChunk, dst += chunk_stride) store_chunk(dst, line + i);
}

ChromaAdjustment chroma_adjustment(const FilterParameters& params) {
  ChromaAdjustment adjustment;
  adjustment.gain_cb = params.gain_cb;
  adjustment.gain_cr = params.gain_cr;
  adjustment.hue_sin = params.hue_sin;
  adjustment.hue_cos = params.hue_cos;
  return adjustment;
}

// Three dual-phase levels over every row of LumaWorkPlane; set A and set B of
// row r go to row r of the A and B slot planes.
void luma_horizontal_step(const SpatialJob& job, const CoringSettings& coring) {
  const WorkPlanes& planes = *job.planes;
  const int32_t W = planes.W;
  float* const* lines = planes.LumaLineBuffers;
  for (int32_t r = 0; r < planes.H; ++r) {
    const int64_t first = static_cast<int64_t>(r) * W;
    dual_phase_decompose(planes.LumaWorkPlane + first, W, lines[1], lines[2], lines[0], coring,
                         *job.kernels);
    store_line_in_slot(planes.LumaSlotPlanesA, first, lines[1], W, job.slot, planes.N);
    store_line_in_slot(planes.LumaSlotPlanesB, first, lines[2], W, job.slot, planes.N);
  }
}

// What one chroma plane's work needs: its line buffers, the lines a block of
// columns is gathered into, coring and targets.
struct ChromaPlaneWork {
  float* const* lines;
  float* gathered;
  float* slot_planes_a;
  float* slot_planes_b;
  CoringSettings coring;
};

ChromaPlaneWork cb_plane_work(const SpatialJob& job) {
  const WorkPlanes& planes = *job.planes;
  return {planes.CbLineBuffers, planes.CbGatherLines, planes.CbSlotPlanesA, planes.CbSlotPlanesB,
          chroma_coring_settings(*job.params, planes.CbLineBuffers[3], planes.ScratchVectors[4])};
}

ChromaPlaneWork cr_plane_work(const SpatialJob& job) {
  const WorkPlanes& planes = *job.planes;
  return {planes.CrLineBuffers, planes.CrGatherLines, planes.CrSlotPlanesA, planes.CrSlotPlanesB,
          chroma_coring_settings(*job.params, planes.CrLineBuffers[3], planes.ScratchVectors[5])};
}

// Chroma columns k .. k + kChromaGatherColumns - 1 of the frame (pixel
// columns 2k, 2k + 2, ..) into the gather lines, in the same frame or field
// arrangement as the luma columns. Each call of the gather covers one half
// of the lines: the upper and lower halves of the rows, or one field.
template <typename Gather>
void gather_chroma_block(const SpatialJob& job, int32_t k, Gather gather) {
  const int32_t H = job.planes->H;
  const int32_t rows = job.h / 2;
  const PIXEL_YC* column = job.src + 2 * k;
  if (!job.params->field_mode) {
    const int32_t pad = (H - job.h) / 2;
    gather(column, rows, pad, 0, job.stride, 0);
    gather(column + static_cast<int64_t>(rows) * job.stride, rows, 0, pad, job.stride, pad + rows);
    return;
  }
  const int32_t pad = (H - job.h) / 4;
  gather(column, rows, pad, pad, 2 * job.stride, 0);
  gather(column + job.stride, rows, pad, pad, 2 * job.stride, H / 2);
}

// Decomposes chroma column k, gathered into `column`, and stores set A
// (line 1) and set B (line 2) as column k of the slot planes. The first and
// last image columns are also stored as the pad columns beside them.
void decompose_and_store_chroma(const SpatialJob& job, const ChromaPlaneWork& work, int32_t k,
                                const float* column) {
  const WorkPlanes& planes = *job.planes;
  const int32_t H = planes.H;
  const int32_t pad_columns = (planes.W - job.w) / 4;
  const int32_t image_columns = job.w / 2;
  float* const* lines = work.lines;
  dual_phase_decompose(column, H, lines[1], lines[2], lines[0], work.coring, *job.kernels);
  auto store_column = [&](int32_t c) {
    const int64_t first = static_cast<int64_t>(c) * H;
    store_line_in_slot(work.slot_planes_a, first, lines[1], H, job.slot, planes.N);
    store_line_in_slot(work.slot_planes_b, first, lines[2], H, job.slot, planes.N);
  };
  if (k == 0) {
    for (int32_t c = 0; c < pad_columns; ++c) store_column(c);
  }
  store_column(pad_columns + k);
  if (k == image_columns - 1) {
    for (int32_t c = pad_columns + image_columns; c < planes.W / 2; ++c) store_column(c);
  }
}

// job.w is a multiple of 16, so the image's w / 2 chroma columns come in
// whole blocks.
void chroma_pass(const SpatialJob& job, bool cb, bool cr) {
  const ChromaAdjustment adjustment = chroma_adjustment(*job.params);
  const ChromaPlaneWork cb_work = cb_plane_work(job);
  const ChromaPlaneWork cr_work = cr_plane_work(job);
  const int32_t H = job.planes->H;
  for (int32_t k = 0; k < job.w / 2; k += kChromaGatherColumns) {
    if (cb && cr) {
      gather_chroma_block(job, k, [&](const PIXEL_YC* first, int32_t count, int32_t top,
                                      int32_t bottom, int32_t step, int32_t offset) {
        job.kernels->gather_chroma(first, count, top, bottom, step, cb_work.gathered + offset,
                                   cr_work.gathered + offset, H, adjustment);
      });
    } else if (cb) {
      gather_chroma_block(job, k, [&](const PIXEL_YC* first, int32_t count, int32_t top,
                                      int32_t bottom, int32_t step, int32_t offset) {
        job.kernels->gather_cb(first, count, top, bottom, step, cb_work.gathered + offset, H,
                               adjustment);
      });
    } else {
      gather_chroma_block(job, k, [&](const PIXEL_YC* first, int32_t count, int32_t top,
                                      int32_t bottom, int32_t step, int32_t offset) {
        job.kernels->gather_cr(first, count, top, bottom, step, cr_work.gathered + offset, H,
                               adjustment);
      });
    }
    for (int32_t c = 0; c < kChromaGatherColumns; ++c) {
      const int64_t line = static_cast<int64_t>(c) * H;
      if (cb) decompose_and_store_chroma(job, cb_work, k + c, cb_work.gathered + line);
      if (cr) decompose_and_store_chroma(job, cr_work, k + c, cr_work.gathered + line);
    }
  }
  store_fence();
}

}  // namespace

void luma_spatial_pass(const SpatialJob& job) {
  const WorkPlanes& planes = *job.planes;
  const CoringSettings coring =
      luma_coring_settings(*job.params, planes.LumaLineBuffers[3], planes.ScratchVectors[3]);
  luma_vertical_step(job, coring);
  luma_horizontal_step(job, coring);
  store_fence();
}

void chroma_spatial_pass(const SpatialJob& job) { chroma_pass(job, true, true); }
void cb_spatial_pass(const SpatialJob& job) { chroma_pass(job, true, false); }
void cr_spatial_pass(const SpatialJob& job) { chroma_pass(job, false, true); }

void spatial_pass_worker(int thread_id, int thread_num, const SpatialJob& job) {
  if (thread_id == 0) luma_spatial_pass(job);
  switch (thread_num < 1 ? 1 : thread_num) {
    case 1:
      if (thread_id == 0) chroma_spatial_pass(job);
      break;
    case 2:
      if (thread_id == 1) chroma_spatial_pass(job);
      break;
    case 3:
      if (thread_id == 1) cb_spatial_pass(job);
      if (thread_id == 2) cr_spatial_pass(job);
      break;
    default:
      // With four or more workers, worker 1 stays idle so that each chroma
      // plane has a worker of its own beside the longer luma work.
      if (thread_id == 2) cb_spatial_pass(job);
      if (thread_id == 3) cr_spatial_pass(job);
      break;
  }
}
