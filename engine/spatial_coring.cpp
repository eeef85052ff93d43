#include "engine/spatial_coring.h"

#include <cmath>

namespace {

CoringSettings coring_settings(bool on, const float* mask_threshold, const float* core_threshold,
                               float* mask_line, float* half_vector) {
  CoringSettings settings;
  settings.on = on;
  for (int level = 0; level < 3; ++level) {
    settings.mask_threshold[level] = mask_threshold[level];
    settings.core_threshold[level] = core_threshold[level];
  }
  settings.mask_line = mask_line;
  settings.half_vector = half_vector;
  return settings;
}

// |2p - left - right|, summed in this order.
inline float curvature(float p, float left, float right) {
  return std::fabs(((p + p) - left) - right);
}

inline bool smooth(float p, float q, float ep, float eq, float t, float u) {
  const float ap = std::fabs(p);
  const float aq = std::fabs(q);
  return ap < t && aq < t && ap >= u && aq >= u && ep < t && eq < t;
}

}  // namespace

CoringSettings luma_coring_settings(const FilterParameters& params, float* mask_line,
                                    float* half_vector) {
  CoringSettings settings =
      coring_settings(params.w2dy_on, params.w2dy_mask_threshold, params.w2dy_core_threshold,
                      mask_line, half_vector);
  for (int level = 0; level < 3; ++level) {
    // Anime pictures have large flat areas: at the coarser levels even the
    // smallest coefficients of a smooth place are cored.
    const bool no_lower_bound = params.anime_mode && level > 0;
    settings.half_threshold[level] = no_lower_bound ? 0.0f : settings.mask_threshold[level] * 0.5f;
  }
  return settings;
}

CoringSettings chroma_coring_settings(const FilterParameters& params, float* mask_line,
                                      float* half_vector) {
  // half_threshold stays 0: chroma has no lower bound at any level.
  return coring_settings(params.w2dc_on, params.w2dc_mask_threshold, params.w2dc_core_threshold,
                         mask_line, half_vector);
}

void coring_mask(const float* X, const float* Y, int32_t M, float t, const float* half_vector,
                 float* mask) {
  const float u = half_vector[0];
  const int32_t first = M;
  const int32_t last = 2 * M - 1;
  for (int32_t i = first; i <= last; ++i) {
    const float p = X[i];
    const float q = Y[i];
    float ep;
    float eq;
    if (i == last) {
      // The band edge repeats its own value; the last position subtracts the
      // repeated right neighbour first.
      const float pl = i == first ? p : X[i - 1];
      const float ql = i == first ? q : Y[i - 1];
      ep = curvature(p, p, pl);
      eq = curvature(q, q, ql);
    } else {
      const float pl = i == first ? p : X[i - 1];
      const float ql = i == first ? q : Y[i - 1];
      ep = curvature(p, pl, X[i + 1]);
      eq = curvature(q, ql, Y[i + 1]);
    }
    mask[i] = smooth(p, q, ep, eq, t, u) ? 0.0f : 1.0f;
  }
}

void apply_coring(float* X, float* Y, const float* mask, int32_t M, float tc) {
  for (int32_t i = M; i < 2 * M; ++i) {
    if (mask[i] <= 0.0f) {
      if (std::fabs(X[i]) <= tc) X[i] = 0.0f;
      if (std::fabs(Y[i]) <= tc) Y[i] = 0.0f;
    }
  }
}
