// The motion-compensated window's parts: the camera's translation read to a
// fraction of a sample, and the move that lines frames up, which must keep
// the noise as it is and take nothing from outside the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "cli/analysis/global_motion.h"
#include "cli/motion/block_vectors.h"
#include "cli/motion/warp.h"
#include "cli/motion/warp_avx2.h"
#include "support/real_content.h"

namespace {

// The luma of a real picture cut at (x, y) and halved (2x2 means): one
// sample of the cut moves the half-size picture by half a sample.
Plane halved_cut(const RealPicture& p, int x0, int y0, int w, int h, double sigma, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0, sigma);
  Plane out;
  out.resize(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      double s = 0;
      for (int dy = 0; dy < 2; ++dy)
        for (int dx = 0; dx < 2; ++dx) s += p.planes[0][size_t(y0 + 2 * y + dy) * p.width + size_t(x0 + 2 * x + dx)];
      out.row(y)[x] = float(s / 4 + (sigma > 0 ? noise(rng) : 0));
    }
  }
  return out;
}

TEST(GlobalMotion, ReadsASubSamplePanWithinTwentiethsOfASample) {
  // (The grass picture is left out: halving its blades aliases, and a halved
  // cut of it moved by one sample is no longer the same picture moved.)
  for (double sigma : {0.0, 2.0, 5.0}) {
    for (auto [dx, dy] : {std::pair{3, 1}, {-1, 4}}) {
      // The camera moves by (dx, dy) cut samples, half that in the halved
      // picture, per frame: the content moves the other way.
      const Plane a = halved_cut(real_picture("garden"), 8, 8, 160, 96, sigma, 1);
      const Plane b = halved_cut(real_picture("garden"), 8 + dx, 8 + dy, 160, 96, sigma, 2);
      const Translation t = estimate_translation(build_pyramid(a, 16), build_pyramid(b, 16));
      EXPECT_NEAR(t.x, -dx / 2.0, 0.05) << "sigma " << sigma;
      EXPECT_NEAR(t.y, -dy / 2.0, 0.05) << "sigma " << sigma;
    }
  }
}

std::vector<PIXEL_YC> noise_frame(int w, int h, uint32_t seed) {
  std::mt19937 rng(seed);
  std::normal_distribution<double> noise(0, 200);
  std::vector<PIXEL_YC> f(size_t(w) * h);
  for (PIXEL_YC& p : f) p = {int16_t(2000 + std::lround(noise(rng))), int16_t(std::lround(noise(rng))), 0};
  return f;
}

double luma_variance(const std::vector<PIXEL_YC>& f, int w, int x0, int x1, int y0, int y1) {
  double s = 0, q = 0;
  long n = 0;
  for (int y = y0; y < y1; ++y)
    for (int x = x0; x < x1; ++x) {
      const double v = f[size_t(y) * w + x].y;
      s += v, q += v * v, ++n;
    }
  return q / n - (s / n) * (s / n);
}

TEST(Warp, KeepsTheNoiseAndTakesNothingFromOutsideThePicture) {
  const int w = 96, h = 64;
  const std::vector<PIXEL_YC> src = noise_frame(w, h, 3), centre = noise_frame(w, h, 4);
  std::vector<PIXEL_YC> dst(src.size());
  const WarpFrame g{w, h, w, h, w, w};
  // Whole samples are copied.
  warp_frame(src.data(), centre.data(), dst.data(), g, {3, -2}, false);
  for (int y = 0; y < h - 2; ++y)
    for (int x = 3; x < w; ++x) ASSERT_EQ(dst[size_t(y) * w + x].y, src[size_t(y + 2) * w + x - 3].y);
  // Half a sample both ways: the noise keeps the share the interpolator
  // promises, and most of it.
  const Translation half{5.5, 0.5};
  warp_frame(src.data(), centre.data(), dst.data(), g, half, false);
  const double kept = luma_variance(dst, w, 10, w - 4, 4, h - 4) / luma_variance(src, w, 0, w, 0, h);
  EXPECT_NEAR(kept, kept_noise_variance(half), 0.05);
  EXPECT_GT(kept_noise_variance(half), 0.65);
  // The columns and the row shifted in from outside the picture are the
  // centre's own samples, and the next ones are not.
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < 6; ++x) ASSERT_EQ(dst[size_t(y) * w + x].y, centre[size_t(y) * w + x].y) << x << "," << y;
  }
  for (int x = 0; x < w; ++x) ASSERT_EQ(dst[size_t(x)].y, centre[size_t(x)].y);
  int own = 0;
  for (int x = 6; x < w; ++x) own += dst[size_t(w) + x].y == centre[size_t(w) + x].y;
  EXPECT_LT(own, 5);
  // Per field, each field moves within its own rows.
  warp_frame(src.data(), centre.data(), dst.data(), g, {0, 2}, true);
  for (int y = 2; y < h; ++y) ASSERT_EQ(dst[size_t(y) * w + 7].y, src[size_t(y - 2) * w + 7].y) << y;
}

TEST(Warp, AvxFormsEqualThePlainRoundingAndLayout) {
  if (!warp_avx2_usable()) GTEST_SKIP() << "this processor has no AVX2";
  // Halves both ways, the int16 bounds and past them, -0, and random
  // values, in rows of 1920 pixels; every end that groups of eight and
  // sixteen can meet.
  const int w = 1920;
  std::vector<float> in = {-0.0f, 0.5f, -0.5f, 1.5f, -2.5f, 32766.5f, 32767.4f, 32767.5f, 1e9f,
                           -32767.5f, -32768.0f, -32768.5f, -1e9f, 0.49999997f, -0.49999997f};
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> value(-40000.0f, 40000.0f);
  while (in.size() < size_t(3 * w)) in.push_back(value(rng));
  auto sample = [](float v) {
    const float c = std::min(std::max(v, -32768.0f), 32767.0f);
    return int16_t(int(c + std::copysign(0.5f, c)));
  };
  for (int count : {1, 7, 15, 16, 17, 31, 33, 3 * w}) {
    std::vector<int16_t> fast(size_t(count) + 1, 99);
    const int done = round_samples_avx2(in.data(), count, fast.data());
    ASSERT_TRUE(done <= count && count - done < 16) << count << " left " << count - done;
    for (int i = 0; i < done; ++i) ASSERT_EQ(fast[size_t(i)], sample(in[size_t(i)])) << in[size_t(i)];
    EXPECT_EQ(fast[size_t(done)], 99) << "wrote past what it reports";
  }
  // Pixels from split rows: each special value lands in every channel.
  const float* y = in.data() + 7;
  const float* cb = in.data() + w;
  const float* cr = cb + w / 2;
  // (The plain loop takes an odd first pixel; the groups start even.)
  for (auto [first, end] : {std::pair{0, w}, {2, w}, {4, 30}, {6, 13}, {0, 7}}) {
    std::vector<PIXEL_YC> out(size_t(w), PIXEL_YC{99, 99, 99});
    const int done = store_pixels_avx2(y, cb, cr, first, end, out.data());
    ASSERT_TRUE(done <= end && end - done < 8) << first << ".." << end << " left " << end - done;
    for (int x = 0; x < w; ++x) {
      const bool written = x >= first && x < done;
      const PIXEL_YC want = written ? PIXEL_YC{sample(y[x]), sample(cb[x / 2]), sample(cr[x / 2])} : PIXEL_YC{99, 99, 99};
      ASSERT_TRUE(out[size_t(x)].y == want.y && out[size_t(x)].cb == want.cb && out[size_t(x)].cr == want.cr)
          << "pixel " << x << " of " << first << ".." << end;
    }
  }
}

// Whether output sample i of `size` is moved from the source, by -shift:
// its source point, and the next sample with a fraction, lie in the picture.
bool moved_sample(int i, double shift, int size) {
  const int whole = int(std::floor(-shift));
  const bool fraction = -shift - whole > 1e-6;
  return i + whole >= 0 && i + whole + (fraction ? 1 : 0) <= size - 1;
}

TEST(Warp, EvenChromaMovesLumaAndEvenPixelsAsTheFullMove) {
  // Odd widths and heights too, so that the last pixel of a row may have
  // no partner; fractions, whole shifts, and fields.
  for (auto [w, h] : {std::pair{96, 64}, {61, 37}}) {
    const std::vector<PIXEL_YC> src = noise_frame(w, h, 5), centre = noise_frame(w, h, 6);
    for (Translation offset : {Translation{2.4, -1.3}, {-3.0, 2.0}, {0.5, 0.0}, {-7.75, 0.25}}) {
      for (bool fields : {false, true}) {
        WarpFrame g{w, h, w, h, w, w};
        std::vector<PIXEL_YC> full(src.size()), even(src.size());
        warp_frame(src.data(), centre.data(), full.data(), g, offset, fields);
        g.even_chroma = true;
        warp_frame(src.data(), centre.data(), even.data(), g, offset, fields);
        for (int y = 0; y < h; ++y) {
          const bool row_moved = fields ? moved_sample(y / 2, offset.y / 2, (h - y % 2 + 1) / 2)
                                        : moved_sample(y, offset.y, h);
          for (int x = 0; x < w; ++x) {
            const size_t i = size_t(y) * size_t(w) + size_t(x);
            // An odd pixel moved after a moved even one repeats its chroma;
            // one left as the centre's is the centre's in both. (An odd
            // pixel moved after an even one left is not asked about.)
            size_t chroma_from = i;
            if (x % 2 == 1 && row_moved && moved_sample(x, offset.x, w)) {
              if (!moved_sample(x - 1, offset.x, w)) continue;
              chroma_from = i - 1;
            }
            ASSERT_TRUE(even[i].y == full[i].y && even[i].cb == full[chroma_from].cb &&
                        even[i].cr == full[chroma_from].cr)
                << "pixel " << x << "," << y << " of " << w << "x" << h << ", shift " << offset.x << ","
                << offset.y << (fields ? ", fields" : "");
          }
        }
      }
    }
  }
}

TEST(BlockVectors, MoveWhatMovesOverAStillPictureAndNothingElse) {
  // A real picture with a patch of another place of it pasted at (32, 16)
  // in the centre and at (35, 14) in the moved frame: an object that moved
  // by (3, -2) over a background that did not.
  const RealPicture& p = real_picture("dune");
  const int w = 96, h = 64;
  auto frame = [&](int ox, int oy) {
    std::vector<PIXEL_YC> f(size_t(w) * h);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x) {
        const bool object = x >= ox && x < ox + 32 && y >= oy && y < oy + 32;
        const int sx = object ? x - ox + 120 : x + 10, sy = object ? y - oy + 60 : y + 10;
        f[size_t(y) * w + x].y = int16_t(16 * p.planes[0][size_t(sy) * p.width + size_t(sx)]);
      }
    return f;
  };
  const std::vector<PIXEL_YC> centre = frame(32, 16), moved = frame(35, 14);
  const std::vector<uint8_t> centre_luma = matching_luma(centre.data(), w, h, w);
  std::vector<PIXEL_YC> out(centre.size());
  const BlockMoveStats stats = move_blocks(centre_luma, moved.data(), out.data(), w, h, w, false);
  EXPECT_EQ(stats.blocks, 24);
  // The four blocks wholly inside the object line up; the background, equal
  // already, is left alone.
  EXPECT_GE(stats.moved, 4);
  EXPECT_LE(stats.moved, 8);
  for (int y = 16; y < 48; ++y)
    for (int x = 32; x < 64; ++x) ASSERT_EQ(out[size_t(y) * w + x].y, centre[size_t(y) * w + x].y) << x << "," << y;
  for (int x = 0; x < w; ++x) ASSERT_EQ(out[size_t(60) * w + x].y, moved[size_t(60) * w + x].y);
  // In place the same blocks move from the same places.
  std::vector<PIXEL_YC> in_place = moved;
  EXPECT_EQ(move_blocks(centre_luma, in_place.data(), in_place.data(), w, h, w, false).moved, stats.moved);
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(in_place[i].y, out[i].y) << i;
  // Per field only even vertical vectors are taken: an object two rows up
  // still lines up, one a row further does not.
  EXPECT_GE(move_blocks(centre_luma, moved.data(), out.data(), w, h, w, true).moved, 4);
  EXPECT_EQ(out[size_t(20) * w + 40].y, centre[size_t(20) * w + 40].y);
  const std::vector<PIXEL_YC> odd = frame(35, 13);
  auto lined_up = [&](bool fields) {
    move_blocks(centre_luma, odd.data(), out.data(), w, h, w, fields);
    int n = 0;
    for (int y = 16; y < 48; ++y)
      for (int x = 32; x < 64; ++x) n += out[size_t(y) * w + x].y == centre[size_t(y) * w + x].y;
    return n;
  };
  EXPECT_EQ(lined_up(false), 1024);
  EXPECT_LT(lined_up(true), 512);
}

}  // namespace
