// The temporal pass: estimate the current frame's coefficients over the
// window, band by band, and synthesise them back into samples.
//
// A luma row or a chroma line of length L holds, in both coefficient sets,
// the coarsest low band at [0, L/8) and the detail bands of levels 3, 2, 1 at
// [L/8, L/4), [L/4, L/2), [L/2, L). Set B holds each level's analysis, set A
// the analysis of the odd-phase upsampling of set B's low band. Rebuilding a
// level from the estimates takes three steps: synthesise set A's pair, take
// the odd-phase low band of that (which is set B's low band again) and
// synthesise it with set B's detail band into the level's input.
//
// Every result is what the plain order of work gives: all luma rows, then
// d4_synthesis of every luma column, then the chroma lines.
#include "engine/temporal_pass.h"

#include <cstddef>

#include "engine/sample_conversion.h"

namespace {

// Everything one plane's line work needs.
struct LinePlan {
  TemporalKernel estimate;
  D4Kernel synthesis;
  D4Kernel odd_lowpass;
  int32_t frame;
  int32_t length;               // L: W for luma rows, H for chroma lines
  const float* slots_a;
  const float* slots_b;
  float* line[3];               // line buffers 0, 1, 2
  float level_threshold[3];     // detail threshold of levels 1, 2, 3
};

// Estimates the line at position p (= line index x L) and rebuilds it over
// the three levels. The result goes to `result`, or stays in line 1 when
// `result` is null.
void rebuild_line(const LinePlan& plan, int32_t p, float coarse_threshold, float* result) {
  float* const line0 = plan.line[0];
  float* const line1 = plan.line[1];
  float* const line2 = plan.line[2];
  plan.estimate(plan.length / 8, coarse_threshold, line1, plan.slots_a, p, plan.frame);
  for (int level = 3; level >= 1; --level) {
    const int32_t v = plan.length >> level;
    const float threshold = plan.level_threshold[level - 1];
    plan.estimate(v, threshold, line1 + v, plan.slots_a, p + v, plan.frame);
    plan.estimate(v, threshold, line2 + v, plan.slots_b, p + v, plan.frame);
    plan.synthesis(line1, v, line0);
    plan.odd_lowpass(line0, 2 * v, line2);
    float* const level_input = (level == 1 && result != nullptr) ? result : line1;
    plan.synthesis(line2, v, level_input);
  }
}

LinePlan line_plan(const TemporalJob& job, int32_t length, const float* slots_a,
                   const float* slots_b, float* const* line_buffers,
                   const float level_threshold[3]) {
  const WorkPlanes& planes = *job.planes;
  const FilterParameters& params = *job.params;
  // The window length of the buffers decides the kernel: it is the layout
  // the kernel reads. The driver sizes the buffers for frame_radius, so the
  // two agree.
  const int32_t radius = (planes.N - 1) / 2;
  LinePlan plan{};
  plan.estimate = job.kernels->temporal[temporal_kernel_entry(radius, params.anime_mode)];
  plan.synthesis = job.kernels->synthesis;
  plan.odd_lowpass = job.kernels->odd_lowpass;
  plan.frame = job.frame;
  plan.length = length;
  plan.slots_a = slots_a;
  plan.slots_b = slots_b;
  for (int i = 0; i < 3; ++i) {
    plan.line[i] = line_buffers[i];
    plan.level_threshold[i] = level_threshold[i];
  }
  return plan;
}

// The luma rows, each rebuilt over its three horizontal levels, and one
// vertical synthesis level per column. Row y < H/2 is vertical low
// coefficient y, row H/2 + y high coefficient y; together they are pair y,
// and output rows 2k and 2k+1 of every column come from pairs k and k-1
// (pair H/2-1 for k = 0).
//
// The vertical step runs row by row with the row kernels, bit-identical per
// column to d4_synthesis, as soon as its two pairs exist, while they are
// still in the cache. Pair j is kept where no output overwrites it before it
// is used: pair 0 in rows 0 and 1, pair j (1 <= j < H/2 - 1) in rows 2j + 2
// and 2j + 3, the last pair in line buffers 3 and 0. Output pair k >= 2 then
// replaces pair k-1, which it is the last to read; output pair 1 goes to the
// free rows 2 and 3, and output pair 0 replaces pair 0 at the end.
void luma_pass(const TemporalJob& job) {
  const WorkPlanes& planes = *job.planes;
  const FilterParameters& params = *job.params;
  const int32_t W = planes.W;
  const int32_t H = planes.H;
  const int32_t half = H / 2;
  const LinePlan plan = line_plan(job, W, planes.LumaSlotPlanesA, planes.LumaSlotPlanesB,
                                  planes.LumaLineBuffers, params.w3dyh_threshold);
  const D4SynthesisRowKernel synthesis = job.kernels->synthesis_rows;
  float* const work = planes.LumaWorkPlane;
  auto row = [work, W](int32_t r) { return work + static_cast<ptrdiff_t>(r) * W; };
  // Rebuilds plane row y (its coefficients at position y x W) into `result`.
  auto rebuild_row = [&](int32_t y, float* result) {
    const float coarse = y < half ? params.w3dyl_threshold_upper : params.w3dyl_threshold_lower;
    rebuild_line(plan, y * W, coarse, result);
  };

  rebuild_row(0, row(0));
  rebuild_row(half, row(1));
  for (int32_t k = 1; k < half - 1; ++k) {
    rebuild_row(k, row(2 * k + 2));
    rebuild_row(half + k, row(2 * k + 3));
    const int32_t previous = k == 1 ? 0 : 2 * k;
    synthesis(row(2 * k + 2), row(previous), row(2 * k + 3), row(previous + 1), W, k < 2,
              row(2 * k), row(2 * k + 1));
  }
  // The last pair: rebuild_line's own lines are free again once a row is
  // done, and line 0 is not read by the row's final synthesis.
  float* const last_low = planes.LumaLineBuffers[3];
  float* const last_high = planes.LumaLineBuffers[0];
  rebuild_row(half - 1, last_low);
  rebuild_row(H - 1, last_high);
  synthesis(last_low, row(H - 2), last_high, row(H - 1), W, false, row(H - 2), row(H - 1));
  synthesis(row(0), last_low, row(1), last_high, W, true, row(0), row(1));
}

void chroma_pass(const TemporalJob& job, const float* slots_a, const float* slots_b,
                 float* const* line_buffers, int16_t* out_plane) {
  const WorkPlanes& planes = *job.planes;
  const FilterParameters& params = *job.params;
  const int32_t H = planes.H;
  const LinePlan plan =
      line_plan(job, H, slots_a, slots_b, line_buffers, params.w3dch_threshold);
  const float* const line1 = line_buffers[1];
  for (int32_t j = 0; j < planes.W / 2; ++j) {
    const int32_t p = j * H;
    rebuild_line(plan, p, params.w3dcl_threshold, nullptr);
    int16_t* const out = out_plane + p;
    for (int32_t k = 0; k < H; ++k) out[k] = float_to_sample(line1[k]);
  }
}

void cb_pass(const TemporalJob& job) {
  const WorkPlanes& planes = *job.planes;
  chroma_pass(job, planes.CbSlotPlanesA, planes.CbSlotPlanesB, planes.CbLineBuffers,
              planes.CbOutPlane);
}

void cr_pass(const TemporalJob& job) {
  const WorkPlanes& planes = *job.planes;
  chroma_pass(job, planes.CrSlotPlanesA, planes.CrSlotPlanesB, planes.CrLineBuffers,
              planes.CrOutPlane);
}

}  // namespace

void temporal_pass_worker(int thread_id, int thread_num, const TemporalJob& job) {
  // Workers that carry Cb and Cr for 1, 2, 3 and 4 or more workers; with four
  // or more, worker 1 and every worker from 4 on stay idle.
  int cb_worker = 0;
  int cr_worker = 0;
  if (thread_num == 2) {
    cb_worker = 1;
    cr_worker = 1;
  } else if (thread_num == 3) {
    cb_worker = 1;
    cr_worker = 2;
  } else if (thread_num >= 4) {
    cb_worker = 2;
    cr_worker = 3;
  }
  // A window length the kernels do not know: nothing would be read correctly.
  const int32_t n_slots = job.planes->N;
  if (n_slots < 3 || n_slots > 9 || n_slots % 2 == 0) return;
  if (thread_id == 0) luma_pass(job);
  if (thread_id == cb_worker) cb_pass(job);
  if (thread_id == cr_worker) cr_pass(job);
}
