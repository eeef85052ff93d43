#pragma once
// The parameter records the frame driver fills immediately before each pass,
// and the pass callbacks it hands to exec_multi_thread_func. Every callback
// receives the call's FILTER_PROC_INFO as param2, whose w and h are then the
// padded width and height.
#include <cstdint>

#include "plugin/host_api.h"

// The frame a call renders, as the driver fills the slot cache for it and
// as the temporal pass looks the slots up: a negative number from a host
// counts as frame 0 in both.
inline int32_t current_frame(const FILTER_PROC_INFO& fpip) { return fpip.frame < 0 ? 0 : fpip.frame; }

struct PreStageParams {
  const PIXEL_YC* source;
  const PIXEL_YC* previous;  // mosquito pass only
  const PIXEL_YC* next;      // mosquito pass only
  int32_t field_count;
  int32_t t1, t2, t3;
  uint8_t anime;
};

struct SpatialParams {
  const PIXEL_YC* source;
  int32_t slot;
};

struct ReconParams {
  uint8_t field_mode;
  uint8_t chroma_gamma;
  float gain_y;
  float offset_y;
};

void BlockNrPass(int thread_id, int thread_num, void* params, void* fpip);
void MosquitoNrPass(int thread_id, int thread_num, void* params, void* fpip);
void spatial_callback(int thread_id, int thread_num, void* params, void* fpip);
void temporal_callback(int thread_id, int thread_num, void* fp, void* fpip);
void reconstruction_callback(int thread_id, int thread_num, void* params, void* fpip);
