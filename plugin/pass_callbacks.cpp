// Thin adapters between the host's worker callback form and the passes: each
// unpacks its record and the call's FILTER_PROC_INFO into the pass's job.
#include "engine/output_pass.h"
#include "engine/spatial_pass.h"
#include "engine/temporal_pass.h"
#include "engine/worker_rows.h"
#include "plugin/module_state.h"
#include "plugin/pass_records.h"
#include "prefilter/block_nr.h"
#include "prefilter/mosquito_nr.h"

void BlockNrPass(int thread_id, int thread_num, void* params, void* info) {
  const auto* p = static_cast<const PreStageParams*>(params);
  const auto* fpip = static_cast<const FILTER_PROC_INFO*>(info);
  BlockNrJob job;
  job.src = p->source;
  job.dst = fpip->ycp_edit;
  job.stride = fpip->max_w;
  job.w = fpip->w;
  job.h = fpip->h;
  job.field_count = p->field_count;
  job.t1 = p->t1;
  job.t2 = p->t2;
  job.anime = p->anime != 0;
  job.kernels = &Kernels;
  const RowRange rows = worker_rows(thread_id, thread_num, fpip->h);
  block_nr_rows(job, rows.begin, rows.end);
}

void MosquitoNrPass(int thread_id, int thread_num, void* params, void* info) {
  const auto* p = static_cast<const PreStageParams*>(params);
  const auto* fpip = static_cast<const FILTER_PROC_INFO*>(info);
  MosquitoNrJob job;
  job.cur = p->source;
  job.prev = p->previous;
  job.next = p->next;
  job.dst = fpip->ycp_temp;
  job.stride = fpip->max_w;
  job.w = fpip->w;
  job.h = fpip->h;
  job.field_count = p->field_count;
  job.t3 = p->t3;
  job.kernels = &Kernels;
  const RowRange rows = worker_rows(thread_id, thread_num, fpip->h);
  mosquito_nr_rows(job, rows.begin, rows.end);
}

void spatial_callback(int thread_id, int thread_num, void* params, void* info) {
  const auto* p = static_cast<const SpatialParams*>(params);
  const auto* fpip = static_cast<const FILTER_PROC_INFO*>(info);
  SpatialJob job;
  job.src = p->source;
  job.stride = fpip->max_w;
  job.w = fpip->w;
  job.h = fpip->h;
  job.slot = p->slot;
  job.kernels = &Kernels;
  job.params = &FilterParams;
  job.planes = &Buffers.planes();
  spatial_pass_worker(thread_id, thread_num, job);
}

void temporal_callback(int thread_id, int thread_num, void*, void* info) {
  const auto* fpip = static_cast<const FILTER_PROC_INFO*>(info);
  TemporalJob job;
  job.frame = current_frame(*fpip);
  job.kernels = &Kernels;
  job.params = &FilterParams;
  job.planes = &Buffers.planes();
  temporal_pass_worker(thread_id, thread_num, job);
}

void reconstruction_callback(int thread_id, int thread_num, void* params, void* info) {
  const auto* p = static_cast<const ReconParams*>(params);
  const auto* fpip = static_cast<const FILTER_PROC_INFO*>(info);
  OutputJob job;
  job.dst = fpip->ycp_edit;
  job.stride = fpip->max_w;
  job.w = fpip->w;
  job.h = fpip->h;
  job.field_mode = p->field_mode != 0;
  job.chroma_gamma = p->chroma_gamma != 0;
  job.gain_y = p->gain_y;
  job.offset_y = p->offset_y;
  job.gamma_lut = FilterParams.gamma_cbcr_lut;
  job.planes = &Buffers.planes();
  job.kernels = &Kernels;
  output_pass_worker(thread_id, thread_num, job);
}
