#include "engine/output_pass.h"

#include <algorithm>

#include "engine/x87_precision.h"

namespace {

// Converts n luma values: v * gain + k, clamped to -8192 .. 8192, truncated
// toward zero. k already holds the offset plus one half, so that truncation
// rounds positive values to nearest (negative values are not: -100.6 gives
// -100).
void convert_luma_line(int32_t n, int16_t* out, const float* in, float gain, float k) {
  for (int32_t i = 0; i < n; ++i) {
    // Written so that a NaN ends at the lower bound, as a vector max would
    // leave it, instead of reaching the integer conversion.
    float v = in[i] * gain + k;
    v = v > -8192.0f ? v : -8192.0f;
    v = v < 8192.0f ? v : 8192.0f;
    out[i] = static_cast<int16_t>(static_cast<int32_t>(v));
  }
}

inline int16_t gamma_curve(const int16_t* lut, int16_t sample) {
  const int32_t index = std::min(std::max(static_cast<int32_t>(sample) + 4095, 0), 8190);
  return lut[index];
}

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
  for (int32_t r = start; r < end / 2; ++r) {
    // Row r of `half`: in field mode line r of field `half`, output row
    // 2r + half; otherwise row r of the frame's upper or lower half.
    const int32_t y = job.field_mode ? 2 * r + half : half * (job.h / 2) + r;
    const int32_t q = plane_row(job, y);
    convert_luma_line(job.w, luma, planes.LumaWorkPlane + static_cast<int64_t>(q) * W + luma_left,
                      job.gain_y, k);
    PIXEL_YC* dst = job.dst + static_cast<int64_t>(y) * job.stride;
    const int16_t* cb_line = planes.CbOutPlane + static_cast<int64_t>(chroma_left) * H + q;
    const int16_t* cr_line = planes.CrOutPlane + static_cast<int64_t>(chroma_left) * H + q;
    for (int32_t g = 0; g < job.w / 4; ++g) {
      // Chroma lines 2g and 2g + 1 (from the first image line) are H apart.
      const int64_t line = 2 * static_cast<int64_t>(g) * H;
      int16_t cb0 = cb_line[line];
      int16_t cb1 = cb_line[line + H];
      int16_t cr0 = cr_line[line];
      int16_t cr1 = cr_line[line + H];
      if (job.chroma_gamma) {
        cb0 = gamma_curve(job.gamma_lut, cb0);
        cb1 = gamma_curve(job.gamma_lut, cb1);
        cr0 = gamma_curve(job.gamma_lut, cr0);
        cr1 = gamma_curve(job.gamma_lut, cr1);
      }
      const int16_t* y4 = luma + 4 * g;
      PIXEL_YC* p = dst + 4 * g;
      p[0] = {y4[0], cb0, cr0};
      p[1] = {y4[1], cb0, cr0};
      p[2] = {y4[2], cb1, cr1};
      p[3] = {y4[3], cb1, cr1};
    }
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
