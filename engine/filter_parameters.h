#pragma once
// The processing parameters derived from the filter's tracks and checks.
// Written only by the settings callback; every pass reads them. Arrays indexed
// by level hold level 1 (finest detail) at index 0 and level 3 at index 2.
#include <cstdint>

struct FilterParameters {
  int32_t frame_radius = 0;
  bool anime_mode = false;
  bool field_mode = false;
  bool w2dy_on = false;
  bool w2dc_on = false;
  float w3dyl_threshold_upper = 0;
  float w3dyl_threshold_lower = 0;
  float w3dyh_threshold[3] = {};
  float w3dcl_threshold = 0;
  float w3dch_threshold[3] = {};
  float w2dy_core_threshold[3] = {};
  float w2dy_mask_threshold[3] = {};
  float w2dc_core_threshold[3] = {};
  float w2dc_mask_threshold[3] = {};
  float gain_y = 0;
  float offset_y = 0;
  float gain_cb = 0;
  float gain_cr = 0;
  float hue_sin = 0;
  float hue_cos = 0;
  // 8192 entries; entry 4095 + v holds the curve's value for chroma v.
  int16_t* gamma_cbcr_lut = nullptr;
};

constexpr int kGammaLutEntries = 8192;
