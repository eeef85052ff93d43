#pragma once
// The SSE forms of the temporal kernels by name, for the kernel tables. Each
// is bit-identical to the plain form of the same window length and fit (see
// engine/temporal_kernels.h). They need SSE (no later instruction set).
#include <cstdint>

void temporal_full_n3_sse(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                          int32_t frame);
void temporal_full_n5_sse(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                          int32_t frame);
void temporal_full_n7_sse(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                          int32_t frame);
void temporal_full_n9_sse(int32_t n, float threshold, float* out, const float* planes, int32_t p,
                          int32_t frame);
void temporal_reduced_n3_sse(int32_t n, float threshold, float* out, const float* planes,
                             int32_t p, int32_t frame);
void temporal_reduced_n5_sse(int32_t n, float threshold, float* out, const float* planes,
                             int32_t p, int32_t frame);
void temporal_reduced_n7_sse(int32_t n, float threshold, float* out, const float* planes,
                             int32_t p, int32_t frame);
void temporal_reduced_n9_sse(int32_t n, float threshold, float* out, const float* planes,
                             int32_t p, int32_t frame);
