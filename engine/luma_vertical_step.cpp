// The vertical step of the spatial luma pass.
//
// Column x of the padded frame is the line of H samples: whole frames, (H-h)/2
// copies of row 0, rows 0 .. h-1, (H-h)/2 copies of row h-1; fields, field 0
// then field 1, each with (H-h)/4 copies of its first and last row. The pad
// columns left and right of the picture repeat the first and last image
// column. Without coring each column gets one d4_analysis; with coring three
// cored dual-phase levels folded back to one.
//
// Without coring the step runs row by row: padded rows 2k .. 2k+3 (the last
// pair wrapping to rows 0 and 1) give low row k and high row H/2 + k of every
// column at once, through the row kernels, which are bit-identical per column
// to the line kernel. The frame is then read and the work plane written in
// order, instead of one strided column at a time.
#include "engine/luma_vertical_step.h"

#include <cstddef>

#include "engine/dual_phase.h"

namespace {

// The frame row that padded row i of every column repeats.
int32_t source_row(const SpatialJob& job, int32_t i) {
  const int32_t H = job.planes->H;
  auto clamp = [](int32_t v, int32_t high) { return v < 0 ? 0 : (v > high ? high : v); };
  if (!job.params->field_mode) return clamp(i - (H - job.h) / 2, job.h - 1);
  const int32_t field = i < H / 2 ? 0 : 1;
  const int32_t j = i - field * (H / 2) - (H - job.h) / 4;
  return 2 * clamp(j, job.h / 2 - 1) + field;
}

// Padded row i as W floats: the image row widened exactly, with the pad
// columns repeating its first and last sample.
void widen_padded_row(const SpatialJob& job, int32_t i, float* line) {
  const int32_t W = job.planes->W;
  const int32_t left = (W - job.w) / 2;
  const PIXEL_YC* row = job.src + static_cast<ptrdiff_t>(source_row(job, i)) * job.stride;
  const float first = row[0].y;
  const float last = row[job.w - 1].y;
  for (int32_t c = 0; c < left; ++c) line[c] = first;
  job.kernels->widen_luma(row, job.w, line + left);
  for (int32_t c = left + job.w; c < W; ++c) line[c] = last;
}

// One d4_analysis per padded column, computed row by row. The four line
// buffers hold padded rows 2k .. 2k+3 as a ring (row r in line r mod 4).
void vertical_analysis_by_rows(const SpatialJob& job) {
  const WorkPlanes& planes = *job.planes;
  const int32_t W = planes.W;
  const int32_t H = planes.H;
  float* const* ring = planes.LumaLineBuffers;
  const D4AnalysisRowKernel analysis = job.kernels->analysis_rows;
  widen_padded_row(job, 0, ring[0]);
  widen_padded_row(job, 1, ring[1]);
  for (int32_t k = 0; k < H / 2; ++k) {
    const int32_t r = 2 * k;
    // H is a multiple of 4, so the wrapped rows 0 and 1 land in lines 0 and 1.
    widen_padded_row(job, (r + 2) % H, ring[(r + 2) & 3]);
    widen_padded_row(job, (r + 3) % H, ring[(r + 3) & 3]);
    analysis(ring[r & 3], ring[(r + 1) & 3], ring[(r + 2) & 3], ring[(r + 3) & 3], W,
             planes.LumaWorkPlane + static_cast<ptrdiff_t>(k) * W,
             planes.LumaWorkPlane + static_cast<ptrdiff_t>(H / 2 + k) * W);
  }
}

// Luma column x of the frame as a periodic line of H floats.
void gather_luma_column(const SpatialJob& job, int32_t x, float* line) {
  const WorkPlanes& planes = *job.planes;
  const int32_t H = planes.H;
  const PIXEL_YC* column = job.src + x;
  if (!job.params->field_mode) {
    // The 16-bit samples go through a short line first, so that the strided
    // reads of the frame are not interleaved with the float stores.
    int16_t* samples = planes.PartLineBuffers[0];
    for (int32_t r = 0; r < job.h; ++r) samples[r] = column[static_cast<ptrdiff_t>(r) * job.stride].y;
    const int32_t pad = (H - job.h) / 2;
    float* out = line;
    for (int32_t i = 0; i < pad; ++i) *out++ = samples[0];
    for (int32_t r = 0; r < job.h; ++r) *out++ = samples[r];
    for (int32_t i = 0; i < pad; ++i) *out++ = samples[job.h - 1];
    return;
  }
  const int32_t pad = (H - job.h) / 4;
  const int32_t field_rows = job.h / 2;
  const ptrdiff_t field_step = 2 * static_cast<ptrdiff_t>(job.stride);
  float* out = line;
  for (int32_t field = 0; field < 2; ++field) {
    const PIXEL_YC* first = column + static_cast<ptrdiff_t>(field) * job.stride;
    const float top = first[0].y;
    const float bottom = first[(field_rows - 1) * field_step].y;
    for (int32_t i = 0; i < pad; ++i) *out++ = top;
    for (int32_t r = 0; r < field_rows; ++r) *out++ = first[r * field_step].y;
    for (int32_t i = 0; i < pad; ++i) *out++ = bottom;
  }
}

// Writes line[0, H) into column `column` of LumaWorkPlane (element k to row k).
void put_work_plane_column(const WorkPlanes& planes, int32_t column, const float* line) {
  float* dst = planes.LumaWorkPlane + column;
  for (int32_t k = 0; k < planes.H; ++k) dst[static_cast<ptrdiff_t>(k) * planes.W] = line[k];
}

}  // namespace

void luma_vertical_step_by_columns(const SpatialJob& job, const CoringSettings& coring) {
  const WorkPlanes& planes = *job.planes;
  const int32_t H = planes.H;
  const int32_t left = (planes.W - job.w) / 2;
  float* const* lines = planes.LumaLineBuffers;
  for (int32_t x = 0; x < job.w; ++x) {
    gather_luma_column(job, x, lines[0]);
    if (coring.on) {
      dual_phase_decompose(lines[0], H, lines[0], lines[2], lines[1], coring, *job.kernels);
      dual_phase_fold_back(lines[0], lines[2], lines[1], H, *job.kernels);
    } else {
      job.kernels->analysis(lines[0], H, lines[2]);
    }
    put_work_plane_column(planes, left + x, lines[2]);
    if (x == 0) {
      for (int32_t c = 0; c < left; ++c) put_work_plane_column(planes, c, lines[2]);
    }
    if (x == job.w - 1) {
      for (int32_t c = left + job.w; c < planes.W; ++c) put_work_plane_column(planes, c, lines[2]);
    }
  }
}

void luma_vertical_step(const SpatialJob& job, const CoringSettings& coring) {
  if (coring.on) {
    luma_vertical_step_by_columns(job, coring);
  } else {
    vertical_analysis_by_rows(job);
  }
}
