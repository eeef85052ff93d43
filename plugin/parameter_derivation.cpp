// func_update: turns the host's track and check values into FilterParams and
// the frame driver's PreStages.
//
// Numbers: every product and sum is formed in double precision from the
// integer track values and rounded once to single precision when stored. The
// additive 0.1 of the temporal thresholds is the single-precision value nearest
// 0.1, widened to double, so a threshold is exactly what a single-precision
// constant added in double gives. On a 32-bit x87 build the precision control
// is held at double for the whole derivation so the host's setting cannot
// change a last bit.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "engine/filter_parameters.h"
#include "engine/x87_precision.h"
#include "plugin/filter_settings.h"
#include "plugin/parameter_derivation.h"
#include "plugin/module_state.h"
#include "plugin/threshold_factors.h"

namespace {

constexpr double kThresholdBias = static_cast<double>(0.1f);

// The curve bends only |v| < 2047; from there on it is the identity.
constexpr int kGammaKnee = 2047;
constexpr int kGammaCentre = 4095;

// The host clamps every track to its declared range; clamping again here keeps
// the derived values (the window radius sizes the slot cache, the gamma
// exponent divides by t + 100) safe whatever a caller stores.
int32_t track_value(const FILTER* fp, int index) {
  return std::clamp(fp->track[index], kTrackMinima[index], kTrackMaxima[index]);
}

// A check counts as on only when its value is exactly 1.
bool check_on(const FILTER* fp, int index) { return fp->check[index] == 1; }

float single(double value) { return static_cast<float>(value); }

// A threshold track's value times its factor (1 unless a linking program
// set another; the product with 1 is exact).
double threshold_track(const FILTER* fp, TrackIndex index) {
  return track_value(fp, index) * threshold_factor(index);
}

void derive_scalar_fields(const FILTER* fp, FilterParameters& p) {
  const int32_t frame = track_value(fp, kTrackFrame);
  const double w3dyl = threshold_track(fp, kTrackW3dyl);
  const double w3dyh = threshold_track(fp, kTrackW3dyh);
  const double w2dy = threshold_track(fp, kTrackW2dy);
  const double w3dcl = threshold_track(fp, kTrackW3dcl);
  const double w3dch = threshold_track(fp, kTrackW3dch);
  const double w2dc = threshold_track(fp, kTrackW2dc);

  p.frame_radius = frame;
  p.anime_mode = check_on(fp, kCheckAnime);
  p.field_mode = check_on(fp, kCheckFieldMode);
  p.w2dy_on = w2dy != 0;
  p.w2dc_on = w2dc != 0;

  // Normal mode raises the luma thresholds towards the coarse levels; anime
  // mode gives the finest level the highest one.
  if (p.anime_mode) {
    p.w3dyl_threshold_upper = single(w3dyl * 7 + kThresholdBias);
    p.w3dyl_threshold_lower = single(w3dyl * 3.5 + kThresholdBias);
    p.w3dyh_threshold[0] = single(w3dyh * 5 + kThresholdBias);
    p.w3dyh_threshold[1] = single(w3dyh * 4 + kThresholdBias);
    p.w3dyh_threshold[2] = single(w3dyh * 3 + kThresholdBias);
  } else {
    p.w3dyl_threshold_upper = single(w3dyl * 4 + kThresholdBias);
    p.w3dyl_threshold_lower = single(w3dyl * 2 + kThresholdBias);
    p.w3dyh_threshold[0] = single(w3dyh * 1.25 + kThresholdBias);
    p.w3dyh_threshold[1] = single(w3dyh * 2.5 + kThresholdBias);
    p.w3dyh_threshold[2] = single(w3dyh * 3 + kThresholdBias);
  }

  p.w3dcl_threshold = single(w3dcl * 7 + kThresholdBias);
  p.w3dch_threshold[0] = single(w3dch * 5 + kThresholdBias);
  p.w3dch_threshold[1] = single(w3dch * 4 + kThresholdBias);
  p.w3dch_threshold[2] = single(w3dch * 3 + kThresholdBias);

  const double core_factor[3] = {8, 12, 16};
  const double mask_factor[3] = {3, 4, 4};
  for (int level = 0; level < 3; ++level) {
    p.w2dy_core_threshold[level] = single(w2dy * core_factor[level]);
    p.w2dy_mask_threshold[level] = single(w2dy * mask_factor[level]);
    p.w2dc_core_threshold[level] = single(w2dc * core_factor[level]);
    p.w2dc_mask_threshold[level] = single(w2dc * mask_factor[level]);
  }

  p.gain_y = single((track_value(fp, kTrackGainY) + 200) / 200.0);
  p.gain_cb = single((track_value(fp, kTrackGainCb) + 200) / 200.0);
  p.gain_cr = single((track_value(fp, kTrackGainCr) + 200) / 200.0);
  p.offset_y = single(track_value(fp, kTrackOffsetY) * 16.0);
}

void derive_prestage_settings(const FILTER* fp, PreStageSettings& p) {
  p.block_nr = check_on(fp, kCheckBlockNr);
  p.mosquito_nr = check_on(fp, kCheckMosquitoNr);
  p.cross_colour = check_on(fp, kCheckCrossColour);
  p.field_count = check_on(fp, kCheckFieldMode) ? 2 : 1;
  p.anime = check_on(fp, kCheckAnime);
  p.cross_colour_strength = track_value(fp, kTrackCceCl);
  prestage_thresholds(track_value(fp, kTrackBlockNr), p.block_nr_thresholds);
  prestage_thresholds(track_value(fp, kTrackMosqNr), p.mosquito_nr_thresholds);
  p.chroma_gamma = track_value(fp, kTrackGammaCbCr) != 0;
}

// One track step turns the chroma by 1/180 radian. At 0 the pair is exactly
// (0, 1) without evaluating sine or cosine.
void derive_hue_pair(int32_t hue, FilterParameters& p) {
  if (hue == 0) {
    p.hue_sin = 0.0f;
    p.hue_cos = 1.0f;
    return;
  }
  const double angle = hue / 180.0;
  p.hue_sin = single(std::sin(angle));
  p.hue_cos = single(std::cos(angle));
}

// Odd-symmetric power curve over |v| < 2047 with exponent 100 / (t + 100),
// the identity beyond. Entry 4095 + v holds the value for chroma v; the
// reader never looks at entry 8191, which is left as it is.
void derive_gamma_table(int32_t gamma, int16_t* lut) {
  const double exponent = 1.0 / ((gamma + 100) / 100.0);
  lut[kGammaCentre] = 0;
  for (int i = 1; i < kGammaKnee; ++i) {
    const double curved = std::pow(i / static_cast<double>(kGammaKnee), exponent);
    const auto m = static_cast<int16_t>(std::trunc(curved * kGammaKnee + 0.5));
    lut[kGammaCentre + i] = m;
    lut[kGammaCentre - i] = static_cast<int16_t>(-m);
  }
  for (int i = kGammaKnee; i <= kGammaCentre; ++i) {
    lut[kGammaCentre + i] = static_cast<int16_t>(i);
    lut[kGammaCentre - i] = static_cast<int16_t>(-i);
  }
}

}  // namespace

void derive_filter_parameters(const FILTER* fp, int status, FilterParameters& params,
                              PreStageSettings& prestages) {
  [[maybe_unused]] X87DoublePrecision double_rounding;
  derive_scalar_fields(fp, params);
  derive_prestage_settings(fp, prestages);
  const bool everything = status == kUpdateAll;
  if (everything || status == track_changed(kTrackHue)) {
    derive_hue_pair(track_value(fp, kTrackHue), params);
  }
  // The table's storage comes from func_init; without it there is nothing to
  // write.
  if ((everything || status == track_changed(kTrackGammaCbCr)) &&
      params.gamma_cbcr_lut != nullptr) {
    derive_gamma_table(track_value(fp, kTrackGammaCbCr), params.gamma_cbcr_lut);
  }
}

BOOL func_update(FILTER* fp, int status) {
  if (fp != nullptr && fp->track != nullptr && fp->check != nullptr) {
    derive_filter_parameters(fp, status, FilterParams, PreStages);
  }
  // No frame prepared under the old settings may be reused.
  empty_frame_slot_cache();
  return 1;
}
