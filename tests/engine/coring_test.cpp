// Spatial coring: the smoothness mask, the zeroing, and the per-plane
// thresholds.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>

#include "engine/filter_parameters.h"
#include "engine/spatial_coring.h"
#include "support/coring_parameters.h"

namespace {

// Coring on (W2DY = 10, W2DC = 6), with or without the anime mode.
FilterParameters parameters(bool anime) {
  FilterParameters p;
  p.anime_mode = anime;
  enable_coring(p);
  return p;
}

// A level-1 detail band of M = 8 positions, [8, 16), inside lines of 24, with
// values outside the band that would break any test reading them.
struct Band {
  static constexpr int32_t M = 8;
  alignas(16) float X[24];
  alignas(16) float Y[24];
  alignas(16) float mask[24];
  alignas(16) float half[4];

  Band(float p, float q) {
    for (int i = 0; i < 24; ++i) {
      const bool inside = i >= M && i < 2 * M;
      X[i] = inside ? p : 1000.0f;
      Y[i] = inside ? q : -1000.0f;
      mask[i] = -7.0f;
    }
  }
  void run_mask(float t, float u) {
    for (float& lane : half) lane = u;
    coring_mask(X, Y, M, t, half, mask);
  }
};

TEST(CoringSettings, LumaHalfThresholdIsHalfTheMaskThreshold) {
  alignas(16) float mask_line[8];
  alignas(16) float half[4];
  const FilterParameters p = parameters(false);
  const CoringSettings s = luma_coring_settings(p, mask_line, half);
  EXPECT_TRUE(s.on);
  EXPECT_EQ(s.mask_line, mask_line);
  EXPECT_EQ(s.half_vector, half);
  const float expected_u[3] = {15, 20, 20};
  for (int j = 0; j < 3; ++j) {
    EXPECT_EQ(s.mask_threshold[j], p.w2dy_mask_threshold[j]);
    EXPECT_EQ(s.core_threshold[j], p.w2dy_core_threshold[j]);
    EXPECT_EQ(s.half_threshold[j], expected_u[j]) << "level " << j + 1;
  }
}

TEST(CoringSettings, AnimeDropsTheLumaLowerBoundAtLevelsTwoAndThree) {
  const CoringSettings s = luma_coring_settings(parameters(true), nullptr, nullptr);
  EXPECT_EQ(s.half_threshold[0], 15.0f);
  EXPECT_EQ(s.half_threshold[1], 0.0f);
  EXPECT_EQ(s.half_threshold[2], 0.0f);
}

TEST(CoringSettings, ChromaHasNoLowerBoundAndItsOwnSwitch) {
  for (bool anime : {false, true}) {
    FilterParameters p = parameters(anime);
    p.w2dy_on = false;
    const CoringSettings s = chroma_coring_settings(p, nullptr, nullptr);
    EXPECT_TRUE(s.on);
    EXPECT_FALSE(luma_coring_settings(p, nullptr, nullptr).on);
    for (int j = 0; j < 3; ++j) {
      EXPECT_EQ(s.half_threshold[j], 0.0f);
      EXPECT_EQ(s.mask_threshold[j], p.w2dc_mask_threshold[j]);
      EXPECT_EQ(s.core_threshold[j], p.w2dc_core_threshold[j]);
    }
  }
}

// Luma level 1 with W2DY = 10: t = 30, u = 15, tc = 80, on a flat band.
TEST(CoringMask, WorkedCaseAtLumaLevelOne) {
  {
    Band band(20.0f, -25.0f);
    band.run_mask(30.0f, 15.0f);
    apply_coring(band.X, band.Y, band.mask, Band::M, 80.0f);
    for (int i = 8; i < 16; ++i) {
      EXPECT_EQ(band.mask[i], 0.0f) << i;
      EXPECT_EQ(band.X[i], 0.0f) << i;
      EXPECT_EQ(band.Y[i], 0.0f) << i;
    }
  }
  {
    Band band(20.0f, -25.0f);
    band.X[11] = 10.0f;   // |P| below u
    band.Y[13] = -31.0f;  // |Q| not below t
    band.run_mask(30.0f, 15.0f);
    apply_coring(band.X, band.Y, band.mask, Band::M, 80.0f);
    EXPECT_EQ(band.mask[11], 1.0f);
    EXPECT_EQ(band.mask[13], 1.0f);
    EXPECT_EQ(band.X[11], 10.0f);
    EXPECT_EQ(band.Y[11], -25.0f);
    EXPECT_EQ(band.X[13], 20.0f);
    EXPECT_EQ(band.Y[13], -31.0f);
    // Their neighbours stay smooth enough (curvatures 10 and 6) and are cored.
    for (int i : {10, 12, 14}) {
      EXPECT_EQ(band.mask[i], 0.0f) << i;
      EXPECT_EQ(band.X[i], 0.0f) << i;
    }
  }
}

TEST(CoringMask, CurvatureAtTheThresholdKeepsThePair) {
  Band band(20.0f, -25.0f);
  band.Y[12] = 5.0f;  // |Q| below u at 12; at 11 and 13 |-50 + 25 - 5| = 30 = t
  band.run_mask(30.0f, 15.0f);
  EXPECT_EQ(band.mask[11], 1.0f);
  EXPECT_EQ(band.mask[12], 1.0f);
  EXPECT_EQ(band.mask[13], 1.0f);
  EXPECT_EQ(band.mask[10], 0.0f);
  EXPECT_EQ(band.mask[14], 0.0f);
}

// The band's first and last positions take their own value as the missing
// neighbour: no wrap to the other end of the band, no reading outside it.
TEST(CoringMask, BandEdgesRepeatTheirOwnValue) {
  Band band(29.0f, -20.0f);
  for (int i = 12; i < 16; ++i) band.X[i] = -16.0f;
  // Curvature across the step between 11 and 12 is |58 - 29 + 16| = 45.
  // A wrapped neighbour would give the same 45 at positions 8 and 15.
  band.run_mask(30.0f, 15.0f);
  const float expected[8] = {0, 0, 0, 1, 1, 0, 0, 0};
  for (int i = 0; i < 8; ++i) EXPECT_EQ(band.mask[8 + i], expected[i]) << 8 + i;
  for (int i : {0, 7, 16, 23}) EXPECT_EQ(band.mask[i], -7.0f) << "outside the band";
}

TEST(CoringMask, ZeroLowerBoundCoresEvenZeroPairs) {
  Band with_bound(0.0f, 0.0f);
  with_bound.run_mask(40.0f, 20.0f);
  Band without_bound(0.0f, 0.0f);
  without_bound.run_mask(40.0f, 0.0f);
  for (int i = 8; i < 16; ++i) {
    EXPECT_EQ(with_bound.mask[i], 1.0f) << i;
    EXPECT_EQ(without_bound.mask[i], 0.0f) << i;
  }
}

// Since t < tc at every level, a position with mask 0 loses both coefficients.
TEST(CoringMask, EverySmoothPositionLosesBothCoefficients) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> value(-40.0f, 40.0f);
  constexpr int32_t M = 64;
  alignas(16) float X[2 * M], Y[2 * M], X0[2 * M], Y0[2 * M], mask[2 * M];
  alignas(16) float half[4] = {15, 15, 15, 15};
  int smooth = 0;
  for (int trial = 0; trial < 50; ++trial) {
    for (int i = 0; i < 2 * M; ++i) {
      // Slowly varying lines so that many positions are smooth.
      X[i] = X0[i] = 20.0f + 0.3f * value(random);
      Y[i] = Y0[i] = -20.0f + value(random) * (i % 3 == 0 ? 0.1f : 0.4f);
    }
    coring_mask(X, Y, M, 30.0f, half, mask);
    apply_coring(X, Y, mask, M, 80.0f);
    for (int i = M; i < 2 * M; ++i) {
      if (mask[i] == 0.0f) {
        ++smooth;
        EXPECT_EQ(X[i], 0.0f);
        EXPECT_EQ(Y[i], 0.0f);
      } else {
        EXPECT_EQ(mask[i], 1.0f);
        EXPECT_EQ(X[i], X0[i]);
        EXPECT_EQ(Y[i], Y0[i]);
      }
    }
    for (int i = 0; i < M; ++i) EXPECT_EQ(X[i], X0[i]) << "low band touched";
  }
  EXPECT_GT(smooth, 100);  // the property was exercised
}

TEST(ApplyCoring, TestsEachSetOnItsOwnAndWritesPositiveZero) {
  constexpr int32_t M = 4;
  alignas(16) float X[8] = {1, 1, 1, 1, -5.0f, 5.0f, 9.0f, -1.0f};
  alignas(16) float Y[8] = {1, 1, 1, 1, 11.0f, -5.0f, 2.0f, 3.0f};
  alignas(16) float mask[8] = {0, 0, 0, 0, 0.0f, -0.0f, 0.0f, 1.0f};
  apply_coring(X, Y, mask, M, 5.0f);
  EXPECT_EQ(X[4], 0.0f);
  EXPECT_FALSE(std::signbit(X[4]));
  EXPECT_EQ(Y[4], 11.0f);  // above tc although the mask is 0
  EXPECT_EQ(X[5], 0.0f);   // |X| == tc is cored; -0.0 counts as mask 0
  EXPECT_EQ(Y[5], 0.0f);
  EXPECT_FALSE(std::signbit(Y[5]));
  EXPECT_EQ(X[6], 9.0f);
  EXPECT_EQ(Y[6], 0.0f);
  EXPECT_EQ(X[7], -1.0f);  // mask 1: untouched
  EXPECT_EQ(Y[7], 3.0f);
  for (int i = 0; i < M; ++i) EXPECT_EQ(X[i], 1.0f) << "outside the band";
}

}  // namespace
