#include "engine/output_pass.h"

#include "engine/output_kernels.h"
#include "engine/x87_precision.h"

namespace {

// Plane row holding output row y. In field mode the planes hold the two
// fields one above the other, each centred in its half of the H rows: output
// row y is row y / 2 of field y % 2. Otherwise the frame is centred in the
// plane.
inline int32_t plane_row(const OutputJob& job, int32_t y) {
  const int32_t H = job.planes->H;
  if (job.field_mode) return (H - job.h) / 4 + (y % 2) * (H / 2) + y / 2;
  return (H - job.h) / 2 + y;
}

// luma + offset + 0.5, with the offset sum formed in double and rounded once
// to single, whatever precision the x87 unit was left at by the caller.
float rounding_offset(float offset_y) {
  [[maybe_unused]] X87DoublePrecision guard;
  volatile double k = static_cast<double>(offset_y) + 0.5;
  return static_cast<float>(k);
}

}  // namespace

void output_rows(const OutputJob& job, int half, int part, int start, int end) {
  const WorkPlanes& planes = *job.planes;
  const int32_t W = planes.W;
  const int32_t H = planes.H;
  const int32_t luma_left = (W - job.w) / 2;
  const int32_t chroma_left = (W - job.w) / 4;
  int16_t* luma = planes.PartLineBuffers[part];
  const float k = rounding_offset(job.offset_y);
  const OutputRowKernel output_row = job.kernels->output_row;
  const int16_t* gamma = job.chroma_gamma ? job.gamma_lut : nullptr;
  for (int32_t r = start; r < end / 2; ++r) {
    // Row r of `half`: in field mode line r of field `half`, output row
    // 2r + half; otherwise row r of the frame's upper or lower half.
    const int32_t y = job.field_mode ? 2 * r + half : half * (job.h / 2) + r;
    const int32_t q = plane_row(job, y);
    // Chroma lines j and j + 1 are H samples apart; the row's samples are at
    // position q of each.
    const int64_t chroma = static_cast<int64_t>(chroma_left) * H + q;
    output_row(planes.LumaWorkPlane + static_cast<int64_t>(q) * W + luma_left, job.w, job.gain_y,
               k, planes.CbOutPlane + chroma, planes.CrOutPlane + chroma, H, gamma, luma,
               job.dst + static_cast<int64_t>(y) * job.stride);
  }
}

void output_pass_worker(int thread_id, int thread_num, const OutputJob& job) {
  const int h = job.h;
  if (thread_num <= 1) {
    if (thread_id != 0) return;
    output_rows(job, 0, 0, 0, h);
    output_rows(job, 1, 1, 0, h);
    return;
  }
  if (thread_num == 2) {
    if (thread_id == 0) output_rows(job, 0, 0, 0, h);
    if (thread_id == 1) output_rows(job, 1, 1, 0, h);
    return;
  }
  if (thread_num == 3) {
    // Worker 1 stays idle, as in the other plane-parallel passes.
    if (thread_id == 0) output_rows(job, 0, 0, 0, h);
    if (thread_id == 2) output_rows(job, 1, 1, 0, h);
    return;
  }
  // Four or more: each half is cut into half-relative rows [0, h/4) and
  // [h/4, h/2); workers from 4 on stay idle.
  if (thread_id == 0) output_rows(job, 0, 0, 0, h / 2);
  if (thread_id == 1) output_rows(job, 1, 1, 0, h / 2);
  if (thread_id == 2) output_rows(job, 0, 2, h / 4, h);
  if (thread_id == 3) output_rows(job, 1, 3, h / 4, h);
}
