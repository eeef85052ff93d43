#pragma once
// Spatial coring: small detail coefficients in locally smooth places are set
// to zero in both coefficient sets of a level.
//
// A level's detail band occupies positions [M, 2M) of the set-A line X and the
// set-B line Y. A position is "smooth" (mask 0.0) when both its coefficients
// P = X[i], Q = Y[i] have magnitudes in [u, t) and both curvatures
// |2P - Pl - Pr|, |2Q - Ql - Qr| are below t; every other position gets
// mask 1.0. Neighbours do not wrap: the band's first and last positions use
// their own value for the missing neighbour. Coring then zeroes each
// coefficient of a smooth position whose magnitude is at most the core
// threshold tc. The coarsest low band is never touched.
#include <cstdint>

#include "engine/filter_parameters.h"

// The coring of one plane for the three levels (index 0 = level 1).
struct CoringSettings {
  bool on = false;
  float mask_threshold[3] = {};  // t
  float half_threshold[3] = {};  // u, the lower bound of the magnitudes
  float core_threshold[3] = {};  // tc
  float* mask_line = nullptr;    // line 3 of the plane's line buffers
  float* half_vector = nullptr;  // the plane's 16-byte scratch vector
};

// Luma: u = t/2, except 0 at levels 2 and 3 in anime mode.
CoringSettings luma_coring_settings(const FilterParameters& params, float* mask_line,
                                    float* half_vector);
// Chroma: u = 0 at every level.
CoringSettings chroma_coring_settings(const FilterParameters& params, float* mask_line,
                                      float* half_vector);

// Writes mask[i] for i in [M, 2M). The half threshold u is read from
// half_vector, which holds it in all four lanes.
void coring_mask(const float* X, const float* Y, int32_t M, float t,
                 const float* half_vector, float* mask);

// For i in [M, 2M) where mask[i] <= 0: X[i] = +0.0 when |X[i]| <= tc and,
// independently, Y[i] = +0.0 when |Y[i]| <= tc.
void apply_coring(float* X, float* Y, const float* mask, int32_t M, float tc);
