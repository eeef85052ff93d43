#include "cli/demo_clip.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

TEST(DemoClip, IsTheSameOnEveryRunAndMoves) {
  PlanarFrame a, b, later;
  render_clean_frame(5, a);
  render_clean_frame(5, b);
  render_clean_frame(6, later);
  for (int p = 0; p < 3; ++p) EXPECT_EQ(a.plane[p], b.plane[p]);
  EXPECT_NE(a.plane[0], later.plane[0]);
  const VideoFormat format = demo_format();
  EXPECT_EQ(a.plane[0].size(), format.luma_samples());
  EXPECT_EQ(a.plane[1].size(), format.chroma_samples());
}

TEST(DemoClip, NoiseIsSeededGaussianOfTheStatedStrength) {
  PlanarFrame clean, noisy, again, other_frame;
  render_clean_frame(0, clean);
  add_gaussian_noise(clean, 0, kDemoSeed, noisy);
  add_gaussian_noise(clean, 0, kDemoSeed, again);
  add_gaussian_noise(clean, 1, kDemoSeed, other_frame);
  EXPECT_EQ(noisy.plane[0], again.plane[0]);
  EXPECT_NE(noisy.plane[0], other_frame.plane[0]);
  double sum = 0, squares = 0;
  size_t n = 0;
  for (size_t i = 0; i < clean.plane[0].size(); ++i) {
    // Samples near the ends would be clamped; the clean clip stays inside.
    double d = double(noisy.plane[0][i]) - double(clean.plane[0][i]);
    sum += d;
    squares += d * d;
    ++n;
  }
  const double mean = sum / double(n);
  const double sd = std::sqrt(squares / double(n) - mean * mean);
  EXPECT_NEAR(mean, 0.0, 0.1);
  // Rounding to whole codes adds 1/12 to the variance.
  EXPECT_NEAR(sd, std::sqrt(kDemoLumaSigma * kDemoLumaSigma + 1.0 / 12), 0.1);
}

TEST(GaussianNoise, HasUnitVariance) {
  GaussianNoise noise(42);
  double sum = 0, squares = 0;
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    double v = noise.next();
    sum += v;
    squares += v * v;
  }
  EXPECT_NEAR(sum / n, 0.0, 0.01);
  EXPECT_NEAR(squares / n, 1.0, 0.02);
}

}  // namespace
