#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/filter_parameters.h"
#include "plugin/host_api.h"
#include "plugin/filter_settings.h"
#include "plugin/module_state.h"
#include "plugin/parameter_derivation.h"

namespace {

constexpr int16_t kUntouched = 0x5A5A;

// Runs func_update on a FILTER whose track and check arrays start at the
// plug-in table's defaults, with a gamma table of its own. The module state
// the test touches is put back afterwards.
class ParameterDerivation : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_params_ = FilterParams;
    saved_prestages_ = PreStages;
    std::copy(std::begin(FrameSlotCache), std::end(FrameSlotCache), saved_slots_);
    const FILTER_DLL* table = GetFilterTable();
    std::copy(table->track_default, table->track_default + 16, tracks_);
    std::copy(table->check_default, table->check_default + 5, checks_);
    filter_.track = tracks_;
    filter_.check = checks_;
    lut_.assign(kGammaLutEntries, kUntouched);
    FilterParams = FilterParameters{};
    FilterParams.gamma_cbcr_lut = lut_.data();
  }
  void TearDown() override {
    FilterParams = saved_params_;
    PreStages = saved_prestages_;
    std::copy(std::begin(saved_slots_), std::end(saved_slots_), FrameSlotCache);
  }

  BOOL update(int status) { return func_update(&filter_, status); }
  static void occupy_slot_cache() {
    for (int i = 0; i < kSlotCacheEntries; ++i) FrameSlotCache[i] = 100 + i;
  }
  static void expect_slot_cache_empty() {
    for (int i = 0; i < kSlotCacheEntries; ++i) EXPECT_EQ(FrameSlotCache[i], kEmptySlot) << i;
  }
  // Entry for chroma value v.
  int16_t gamma_at(int v) const { return lut_[4095 + v]; }

  int32_t tracks_[16] = {};
  int32_t checks_[5] = {};
  FILTER filter_ = {};
  std::vector<int16_t> lut_;

 private:
  FilterParameters saved_params_;
  PreStageSettings saved_prestages_;
  int32_t saved_slots_[kSlotCacheEntries] = {};
};

TEST_F(ParameterDerivation, DefaultsGiveEveryScalarField) {
  occupy_slot_cache();
  EXPECT_EQ(update(0), 1);
  const FilterParameters& p = FilterParams;
  EXPECT_EQ(p.frame_radius, 2);
  EXPECT_TRUE(p.field_mode);
  EXPECT_FALSE(p.anime_mode);
  EXPECT_FALSE(p.w2dy_on);
  EXPECT_FALSE(p.w2dc_on);
  // 10 x factor + 0.1, rounded to single precision.
  EXPECT_EQ(p.w3dyl_threshold_upper, 40.1f);
  EXPECT_EQ(p.w3dyl_threshold_lower, 20.1f);
  EXPECT_EQ(p.w3dyh_threshold[0], 12.6f);
  EXPECT_EQ(p.w3dyh_threshold[1], 25.1f);
  EXPECT_EQ(p.w3dyh_threshold[2], 30.1f);
  EXPECT_EQ(p.w3dcl_threshold, 70.1f);
  EXPECT_EQ(p.w3dch_threshold[0], 50.1f);
  EXPECT_EQ(p.w3dch_threshold[1], 40.1f);
  EXPECT_EQ(p.w3dch_threshold[2], 30.1f);
  EXPECT_EQ(p.gain_y, 1.0f);
  EXPECT_EQ(p.gain_cb, 1.0f);
  EXPECT_EQ(p.gain_cr, 1.0f);
  EXPECT_EQ(p.offset_y, 0.0f);
  expect_slot_cache_empty();
}

TEST_F(ParameterDerivation, AnimeModeSwapsLumaFactors) {
  checks_[1] = 1;
  update(0);
  const FilterParameters& p = FilterParams;
  EXPECT_TRUE(p.anime_mode);
  // Formed in double from the single-precision 0.1, then rounded once.
  const double bias = static_cast<double>(0.1f);
  EXPECT_EQ(p.w3dyl_threshold_upper, static_cast<float>(70.0 + bias));
  EXPECT_EQ(p.w3dyl_threshold_lower, static_cast<float>(35.0 + bias));
  EXPECT_EQ(p.w3dyl_threshold_upper, 70.1f);
  EXPECT_EQ(p.w3dyl_threshold_lower, 35.1f);
  // The finest level gets the highest threshold in anime mode.
  EXPECT_EQ(p.w3dyh_threshold[0], 50.1f);
  EXPECT_EQ(p.w3dyh_threshold[1], 40.1f);
  EXPECT_EQ(p.w3dyh_threshold[2], 30.1f);
  // Chroma thresholds do not depend on the mode.
  EXPECT_EQ(p.w3dcl_threshold, 70.1f);
  EXPECT_EQ(p.w3dch_threshold[0], 50.1f);
}

TEST_F(ParameterDerivation, ChecksCountOnlyWhenExactlyOne) {
  checks_[0] = 2;
  checks_[1] = -1;
  update(0);
  EXPECT_FALSE(FilterParams.field_mode);
  EXPECT_FALSE(FilterParams.anime_mode);
  EXPECT_EQ(FilterParams.w3dyl_threshold_upper, 40.1f);
}

TEST_F(ParameterDerivation, SpatialThresholds) {
  tracks_[3] = 0;   // W2DY
  tracks_[6] = 5;   // W2DC
  update(0);
  const FilterParameters& p = FilterParams;
  EXPECT_FALSE(p.w2dy_on);
  for (int level = 0; level < 3; ++level) {
    EXPECT_EQ(p.w2dy_core_threshold[level], 0.0f) << level;
    EXPECT_EQ(p.w2dy_mask_threshold[level], 0.0f) << level;
  }
  EXPECT_TRUE(p.w2dc_on);
  EXPECT_EQ(p.w2dc_core_threshold[0], 40.0f);
  EXPECT_EQ(p.w2dc_core_threshold[1], 60.0f);
  EXPECT_EQ(p.w2dc_core_threshold[2], 80.0f);
  EXPECT_EQ(p.w2dc_mask_threshold[0], 15.0f);
  EXPECT_EQ(p.w2dc_mask_threshold[1], 20.0f);
  EXPECT_EQ(p.w2dc_mask_threshold[2], 20.0f);

  tracks_[3] = 30;
  update(0);
  EXPECT_TRUE(p.w2dy_on);
  EXPECT_EQ(p.w2dy_core_threshold[0], 240.0f);
  EXPECT_EQ(p.w2dy_core_threshold[1], 360.0f);
  EXPECT_EQ(p.w2dy_core_threshold[2], 480.0f);
  EXPECT_EQ(p.w2dy_mask_threshold[0], 90.0f);
  EXPECT_EQ(p.w2dy_mask_threshold[1], 120.0f);
  EXPECT_EQ(p.w2dy_mask_threshold[2], 120.0f);
}

TEST_F(ParameterDerivation, GainsAndOffsetAtTheirLimits) {
  tracks_[8] = -50;    // GainY
  tracks_[9] = -50;    // Ofs-Y
  tracks_[10] = -100;  // GainCb
  tracks_[11] = 100;   // GainCr
  update(0);
  EXPECT_EQ(FilterParams.gain_y, 0.75f);
  EXPECT_EQ(FilterParams.offset_y, -800.0f);
  EXPECT_EQ(FilterParams.gain_cb, 0.5f);
  EXPECT_EQ(FilterParams.gain_cr, 1.5f);
  tracks_[8] = 50;
  tracks_[9] = 7;
  tracks_[10] = 1;
  update(0);
  EXPECT_EQ(FilterParams.gain_y, 1.25f);
  EXPECT_EQ(FilterParams.offset_y, 112.0f);
  EXPECT_EQ(FilterParams.gain_cb, 1.005f);
}

TEST_F(ParameterDerivation, HuePair) {
  update(0);
  EXPECT_EQ(FilterParams.hue_sin, 0.0f);
  EXPECT_EQ(FilterParams.hue_cos, 1.0f);
  // One step is 1/180 radian, so 50 steps are about 15.9 degrees.
  tracks_[12] = 50;
  update(0);
  EXPECT_NEAR(FilterParams.hue_sin, 0.27422, 1e-5);
  EXPECT_NEAR(FilterParams.hue_cos, 0.96167, 1e-5);
  tracks_[12] = -50;
  update(0);
  EXPECT_NEAR(FilterParams.hue_sin, -0.27422, 1e-5);
  EXPECT_NEAR(FilterParams.hue_cos, 0.96167, 1e-5);
}

TEST_F(ParameterDerivation, GammaTableIdentityAtZero) {
  update(0);
  for (int v = -4095; v <= 4095; ++v) ASSERT_EQ(gamma_at(v), v) << v;
  EXPECT_EQ(lut_[8191], kUntouched) << "entry 8191 is never read and never written";
}

TEST_F(ParameterDerivation, GammaTableCurves) {
  const int positions[13] = {1, 2, 3, 4, 8, 16, 64, 256, 1024, 1500, 2000, 2046, 2047};
  const int brighter[13] = {6, 10, 14, 17, 29, 49, 142, 414, 1201, 1612, 2011, 2046, 2047};
  const int darker[13] = {0, 0, 0, 0, 1, 2, 14, 105, 761, 1313, 1980, 2046, 2047};
  for (int gamma : {30, -30}) {
    SCOPED_TRACE(gamma);
    tracks_[13] = gamma;
    update(0);
    const int* expected = gamma > 0 ? brighter : darker;
    for (int k = 0; k < 13; ++k) {
      EXPECT_EQ(gamma_at(positions[k]), expected[k]) << positions[k];
    }
    EXPECT_EQ(gamma_at(0), 0);
    for (int v = 1; v <= 4095; ++v) ASSERT_EQ(gamma_at(-v), -gamma_at(v)) << v;
    for (int v = 2047; v <= 4095; ++v) ASSERT_EQ(gamma_at(v), v) << v;
    for (int v = 2; v <= 4095; ++v) ASSERT_GE(gamma_at(v), gamma_at(v - 1)) << v;
  }
}

// Start from Hue 20 and γCbCr 10 derived with status 0, then move several
// settings at once so that every kind of field would change if recomputed.
class StatusRules : public ParameterDerivation {
 protected:
  void SetUp() override {
    ParameterDerivation::SetUp();
    tracks_[12] = 20;
    tracks_[13] = 10;
    update(0);
    hue_sin_ = FilterParams.hue_sin;
    hue_cos_ = FilterParams.hue_cos;
    table_ = lut_;
    tracks_[12] = -40;
    tracks_[13] = -20;
    tracks_[10] = 50;  // GainCb
    checks_[1] = 1;    // アニメ
    occupy_slot_cache();
  }
  void expect_scalars_recomputed() const {
    EXPECT_TRUE(FilterParams.anime_mode);
    EXPECT_EQ(FilterParams.w3dyl_threshold_upper, 70.1f);
    EXPECT_EQ(FilterParams.w3dyl_threshold_lower, 35.1f);
    EXPECT_EQ(FilterParams.w3dyh_threshold[0], 50.1f);
    EXPECT_EQ(FilterParams.gain_cb, 1.25f);
    expect_slot_cache_empty();
  }
  void expect_hue_kept() const {
    EXPECT_EQ(FilterParams.hue_sin, hue_sin_);
    EXPECT_EQ(FilterParams.hue_cos, hue_cos_);
  }
  void expect_table_kept() const { EXPECT_EQ(lut_, table_); }

  float hue_sin_ = 0, hue_cos_ = 0;
  std::vector<int16_t> table_;
};

TEST_F(StatusRules, CheckChangeRecomputesScalarsOnly) {
  EXPECT_EQ(update(0x20001), 1);
  expect_scalars_recomputed();
  expect_hue_kept();
  expect_table_kept();
}

TEST_F(StatusRules, OtherTrackChangeRecomputesScalarsOnly) {
  EXPECT_EQ(update(0x1000A), 1);
  expect_scalars_recomputed();
  expect_hue_kept();
  expect_table_kept();
}

TEST_F(StatusRules, HueChangeRecomputesHuePair) {
  EXPECT_EQ(update(0x1000C), 1);
  expect_scalars_recomputed();
  expect_table_kept();
  EXPECT_LT(FilterParams.hue_sin, 0.0f);
  EXPECT_NE(FilterParams.hue_cos, hue_cos_);
  const float sin_now = FilterParams.hue_sin, cos_now = FilterParams.hue_cos;
  update(0);
  EXPECT_EQ(FilterParams.hue_sin, sin_now);
  EXPECT_EQ(FilterParams.hue_cos, cos_now);
}

TEST_F(StatusRules, GammaChangeRewritesTable) {
  EXPECT_EQ(update(0x1000D), 1);
  expect_scalars_recomputed();
  expect_hue_kept();
  EXPECT_NE(lut_, table_);
  const std::vector<int16_t> after_gamma_change = lut_;
  update(0);
  EXPECT_EQ(lut_, after_gamma_change) << "the same table as a full derivation";
}

TEST_F(ParameterDerivation, TableWithoutStorageIsSkipped) {
  FilterParams.gamma_cbcr_lut = nullptr;
  tracks_[13] = 30;
  occupy_slot_cache();
  EXPECT_EQ(update(0), 1);
  EXPECT_EQ(FilterParams.gamma_cbcr_lut, nullptr);
  EXPECT_EQ(FilterParams.w3dyl_threshold_upper, 40.1f);
  expect_slot_cache_empty();
  EXPECT_EQ(update(0x1000D), 1);
}

TEST_F(ParameterDerivation, OutOfRangeTracksAreClamped) {
  tracks_[0] = 9;      // Frame: the slot cache holds at most 2 x 4 + 1 frames
  tracks_[13] = -100;  // γCbCr: would divide by zero
  update(0);
  EXPECT_EQ(FilterParams.frame_radius, 4);
  const std::vector<int16_t> clamped = lut_;
  tracks_[13] = -30;
  update(0);
  EXPECT_EQ(lut_, clamped);
}

// The pre-stage settings come from the update step as well: which stages run,
// their thresholds for both width classes, and the chroma gamma flag.
TEST_F(ParameterDerivation, PreStageSettingsFollowTheirTracksAndChecks) {
  tracks_[kTrackBlockNr] = 10;
  tracks_[kTrackMosqNr] = 3;
  tracks_[kTrackCceCl] = 7;
  tracks_[kTrackGammaCbCr] = -1;
  checks_[kCheckFieldMode] = 1;
  checks_[kCheckAnime] = 1;
  checks_[kCheckCrossColour] = 1;
  checks_[kCheckMosquitoNr] = 2;  // only exactly 1 counts as on
  checks_[kCheckBlockNr] = 1;
  update(track_changed(kTrackGainCb));
  const PreStageSettings& p = PreStages;
  EXPECT_TRUE(p.block_nr);
  EXPECT_FALSE(p.mosquito_nr);
  EXPECT_TRUE(p.cross_colour);
  EXPECT_EQ(p.field_count, 2);
  EXPECT_TRUE(p.anime);
  EXPECT_EQ(p.cross_colour_strength, 7);
  EXPECT_TRUE(p.chroma_gamma);
  const PreStageThresholds& block_narrow = p.block_nr_thresholds[width_class(800)];
  const PreStageThresholds& block_wide = p.block_nr_thresholds[width_class(1472)];
  const PreStageThresholds& mosquito_wide = p.mosquito_nr_thresholds[width_class(1952)];
  EXPECT_EQ(block_narrow.t1, 80);
  EXPECT_EQ(block_narrow.t2, 160);
  EXPECT_EQ(block_narrow.t3, 80);
  EXPECT_EQ(block_wide.t1, 250);
  EXPECT_EQ(block_wide.t2, 500);
  EXPECT_EQ(block_wide.t3, 200);
  EXPECT_EQ(mosquito_wide.t1, 75);
  EXPECT_EQ(mosquito_wide.t3, 60);

  checks_[kCheckFieldMode] = 0;
  tracks_[kTrackGammaCbCr] = 0;
  tracks_[kTrackBlockNr] = 99;  // beyond the declared range: held at 20
  update(0);
  EXPECT_EQ(p.field_count, 1);
  EXPECT_FALSE(p.chroma_gamma);
  EXPECT_EQ(p.block_nr_thresholds[kNarrowBuffers].t2, 320);
}

// A caller's own records get what func_update gives the module's, and the
// module's stay as they were.
TEST_F(ParameterDerivation, CallersOwnRecordsGetTheSameValues) {
  tracks_[kTrackW3dyl] = 17;
  tracks_[kTrackHue] = -20;
  tracks_[kTrackGammaCbCr] = 9;
  tracks_[kTrackMosqNr] = 4;
  checks_[kCheckMosquitoNr] = 1;
  update(0);
  const FilterParameters module_params = FilterParams;
  const PreStageSettings module_prestages = PreStages;
  std::vector<int16_t> own_lut(kGammaLutEntries, kUntouched);
  FilterParameters own;
  own.gamma_cbcr_lut = own_lut.data();
  PreStageSettings own_prestages;
  tracks_[kTrackW3dyl] = 3;  // the module's records must not follow this
  derive_filter_parameters(&filter_, 0, own, own_prestages);
  EXPECT_EQ(FilterParams.w3dyl_threshold_upper, module_params.w3dyl_threshold_upper);
  EXPECT_FLOAT_EQ(own.w3dyl_threshold_upper, 3 * 4 + 0.1f);
  EXPECT_EQ(own.hue_sin, module_params.hue_sin);
  EXPECT_EQ(own.hue_cos, module_params.hue_cos);
  EXPECT_EQ(own_lut, lut_) << "the same gamma curve, in the caller's table";
  EXPECT_EQ(own_prestages.mosquito_nr, module_prestages.mosquito_nr);
  EXPECT_EQ(own_prestages.mosquito_nr_thresholds[kWideBuffers].t3, 80);
}

}  // namespace
