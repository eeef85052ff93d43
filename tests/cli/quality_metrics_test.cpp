#include "cli/quality_metrics.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

TEST(QualityMetrics, IdenticalPlanesScorePerfectly) {
  std::vector<uint16_t> a(64 * 48);
  std::mt19937 random(3);
  for (auto& v : a) v = uint16_t(random() % 256);
  QualityMetrics m(255);
  for (int p = 0; p < 3; ++p) m.add_plane(p, a.data(), a.data(), 64, 48, 64);
  EXPECT_TRUE(std::isinf(m.psnr(0)));
  EXPECT_TRUE(std::isinf(m.psnr_all()));
  EXPECT_DOUBLE_EQ(m.ssim(1), 1.0);
  EXPECT_DOUBLE_EQ(m.ssim_all(), 1.0);
}

TEST(QualityMetrics, PsnrPoolsSquaredErrorsOverFramesAndPlanes) {
  // Plane 0 off by 4 in one frame and exact in another: MSE 8; planes 1 and
  // 2 off by 2 and 0: pooled MSE (16*100 + 0 + 4*25 + 0) / 250 per sample.
  std::vector<uint16_t> base(100, 100), plus4(100, 104), small(25, 50), plus2(25, 52);
  QualityMetrics m(255);
  m.add_plane(0, base.data(), plus4.data(), 10, 10, 10);
  m.add_plane(0, base.data(), base.data(), 10, 10, 10);
  m.add_plane(1, small.data(), plus2.data(), 5, 5, 5);
  m.add_plane(2, small.data(), small.data(), 5, 5, 5);
  EXPECT_NEAR(m.psnr(0), 10 * std::log10(255.0 * 255.0 / 8.0), 1e-9);
  EXPECT_NEAR(m.psnr(1), 10 * std::log10(255.0 * 255.0 / 4.0), 1e-9);
  const double pooled = (16.0 * 100 + 4.0 * 25) / (200 + 25 + 25);
  EXPECT_NEAR(m.psnr_all(), 10 * std::log10(255.0 * 255.0 / pooled), 1e-9);
}

TEST(QualityMetrics, SsimFallsWithNoiseAndIsBlindToNothingElse) {
  std::mt19937 random(5);
  std::vector<uint16_t> clean(64 * 64), light(64 * 64), heavy(64 * 64);
  for (size_t i = 0; i < clean.size(); ++i) {
    clean[i] = uint16_t(60 + (i % 64) * 2);
    int n = int(random() % 21) - 10;
    light[i] = uint16_t(clean[i] + n / 5);
    heavy[i] = uint16_t(clean[i] + n * 3);
  }
  QualityMetrics a(255), b(255);
  a.add_plane(0, clean.data(), light.data(), 64, 64, 64);
  b.add_plane(0, clean.data(), heavy.data(), 64, 64, 64);
  EXPECT_LT(a.ssim(0), 1.0);
  EXPECT_GT(a.ssim(0), b.ssim(0));
  EXPECT_GT(a.psnr(0), b.psnr(0));
}

TEST(QualityMetrics, HostUnitsUseSignedSamples) {
  std::vector<int16_t> a(16 * 16, -1000), b(16 * 16, -1016);
  QualityMetrics m(4096);
  m.add_plane(2, a.data(), b.data(), 16, 16, 16);
  EXPECT_NEAR(m.psnr(2), 10 * std::log10(4096.0 * 4096.0 / 256.0), 1e-9);
}

}  // namespace
