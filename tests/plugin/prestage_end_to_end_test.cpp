// The pre-stages through the whole module: each check, on a clip with the
// artefact it is meant for, brings the output closer to the clean clip, and a
// check that is off changes nothing whatever its strength track says.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <random>
#include <vector>

#include "host/stand_in_host.h"
#include "plugin/module_state.h"
#include "support/test_clip.h"

namespace {

constexpr int kW = 64, kH = 48, kFrames = 7;

std::vector<PIXEL_YC> render(StandInHost& host, TestClip& clip, int n) {
  std::vector<PIXEL_YC> out(static_cast<size_t>(clip.width()) * clip.height());
  host.process(clip, n, out.data(), clip.width());
  return out;
}

// Renders frame n with the given check switched on or off (per-field off).
std::vector<PIXEL_YC> render_with(TestClip& clip, int n, int check, bool on) {
  HostOptions o;
  o.thread_num = 2;
  StandInHost host(GetFilterTable(), o);
  EXPECT_EQ(host.init(), 1);
  host.set_check(0, 0);
  host.set_check(check, on ? 1 : 0);
  host.update(0);
  return render(host, clip, n);
}

template <typename Sample>
double mean_abs_error(const std::vector<PIXEL_YC>& out, const std::vector<PIXEL_YC>& clean,
                      Sample sample) {
  double sum = 0;
  for (size_t i = 0; i < out.size(); ++i) sum += std::abs(sample(out[i]) - sample(clean[i]));
  return sum / out.size();
}

// Luma steps across the vertical 8-pixel block boundaries, less the steps
// inside the blocks: what block noise adds to a smooth picture.
double blockiness(const std::vector<PIXEL_YC>& frame) {
  double edges = 0, inside = 0;
  int n_edges = 0, n_inside = 0;
  for (int y = 4; y < kH - 4; ++y)
    for (int x = 4; x < kW - 5; ++x) {
      const double step = std::abs(frame[y * kW + x + 1].y - frame[y * kW + x].y);
      if (x % 8 == 7) {
        edges += step;
        ++n_edges;
      } else {
        inside += step;
        ++n_inside;
      }
    }
  return edges / n_edges - inside / n_inside;
}

TEST(PreStagesEndToEnd, ChecksOffIgnoreTheirStrengthTracks) {
  TestClip clip = TestClip::textured(kW, kH, kFrames, 30);
  clip.add_noise(20, 10, 31);
  HostOptions o;
  o.thread_num = 2;
  StandInHost host(GetFilterTable(), o);
  ASSERT_EQ(host.init(), 1);
  const std::vector<PIXEL_YC> plain = render(host, clip, 3);
  for (int track : {7, 14, 15}) host.set_track(track, 20);
  host.update(0);
  const std::vector<PIXEL_YC> strong = render(host, clip, 3);
  for (size_t i = 0; i < plain.size(); ++i) {
    ASSERT_EQ(plain[i].y, strong[i].y) << i;
    ASSERT_EQ(plain[i].cb, strong[i].cb) << i;
    ASSERT_EQ(plain[i].cr, strong[i].cr) << i;
  }
}

TEST(PreStagesEndToEnd, BlockNoiseIsFlattened) {
  // A gentle ramp with a fixed offset per 8x8 block, the same in every frame
  // (so the temporal stage cannot remove it), and light noise.
  TestClip clean(kW, kH, kFrames);
  clean.fill([](int, int x, int y) {
    return PIXEL_YC{static_cast<int16_t>(1500 + 3 * x + 2 * y), 0, 0};
  });
  std::mt19937 rng(32);
  std::uniform_int_distribution<int> offset(-14, 14);
  std::vector<int> block_offset((kW / 8) * (kH / 8));
  for (int& b : block_offset) b = offset(rng);
  TestClip blocky = clean;
  blocky.fill([&](int n, int x, int y) {
    PIXEL_YC p = clean.at(n, x, y);
    p.y = static_cast<int16_t>(p.y + block_offset[(y / 8) * (kW / 8) + x / 8]);
    return p;
  });
  const auto off = render_with(blocky, 3, 4, false);
  const auto on = render_with(blocky, 3, 4, true);
  const auto luma = [](const PIXEL_YC& p) { return p.y; };
  EXPECT_LT(blockiness(on), 0.7 * blockiness(off));
  EXPECT_LT(mean_abs_error(on, clean.frame(3), luma), mean_abs_error(off, clean.frame(3), luma));
}

TEST(PreStagesEndToEnd, MosquitoNoiseAroundEdgesIsReduced) {
  // Sharp vertical edges; beside them a ripple that changes from frame to
  // frame, as compression leaves it.
  TestClip clean(kW, kH, kFrames);
  clean.fill([](int, int x, int) {
    return PIXEL_YC{static_cast<int16_t>((x / 16) % 2 ? 3000 : 800), 0, 0};
  });
  TestClip rippled = clean;
  std::mt19937 rng(33);
  std::uniform_int_distribution<int> ripple(-30, 30);
  for (int n = 0; n < kFrames; ++n)
    for (int y = 0; y < kH; ++y)
      for (int x = 0; x < kW; ++x)
        if (std::abs((x + 8) % 16 - 8) <= 4) rippled.at(n, x, y).y += ripple(rng);
  const auto luma = [](const PIXEL_YC& p) { return p.y; };
  const auto off = render_with(rippled, 3, 3, false);
  const auto on = render_with(rippled, 3, 3, true);
  EXPECT_LT(mean_abs_error(on, clean.frame(3), luma),
            0.9 * mean_abs_error(off, clean.frame(3), luma));
}

TEST(PreStagesEndToEnd, CrossColourFlickerNearLumaEdgesIsCorrected) {
  // Luma bars with strong edges in every frame; frame 3 alone carries a Cb
  // jump of 160 that neither neighbour shows and luma does not explain.
  TestClip clean(kW, kH, kFrames);
  clean.fill([](int, int x, int) {
    return PIXEL_YC{static_cast<int16_t>((x / 6) % 2 ? 2800 : 600), 40, -30};
  });
  TestClip dotted = clean;
  for (int y = 0; y < kH; ++y)
    for (int x = 16; x < kW - 16; ++x) dotted.at(3, x, y).cb += 160;
  const auto cb = [](const PIXEL_YC& p) { return p.cb; };
  const auto luma = [](const PIXEL_YC& p) { return p.y; };
  const auto off = render_with(dotted, 3, 2, false);
  const auto on = render_with(dotted, 3, 2, true);
  EXPECT_LT(mean_abs_error(on, clean.frame(3), cb), 0.8 * mean_abs_error(off, clean.frame(3), cb));
  // Only chroma is corrected.
  EXPECT_EQ(mean_abs_error(on, off, luma), 0.0);
}

}  // namespace

namespace {

// With the cross-colour stage alone on a clip whose size needs no padding,
// the stage corrects a private copy: the host's cached frames stay as they
// were, so a frame rendered from the cache equals one rendered afresh.
TEST(PreStagesEndToEnd, CrossColourNeverWritesTheHostsFrames) {
  TestClip clip(kW, kH, kFrames);
  clip.fill([](int n, int x, int) {
    return PIXEL_YC{static_cast<int16_t>((x / 8) % 2 ? 2000 : 500),
                    static_cast<int16_t>(n % 2 ? 150 : -150), 0};
  });
  std::vector<PIXEL_YC> cached, fresh;
  {
    HostOptions o;
    o.thread_num = 2;
    StandInHost host(GetFilterTable(), o);
    ASSERT_EQ(host.init(), 1);
    host.set_check(0, 0);
    host.set_check(2, 1);
    host.set_track(7, 1);
    host.update(0);
    for (int n : {2, 3}) render(host, clip, n);
    cached = render(host, clip, 4);
    host.flush_filtering_cache();
    host.save_start();
    fresh = render(host, clip, 4);
  }
  int differing = 0;
  for (size_t i = 0; i < cached.size(); ++i)
    differing += cached[i].y != fresh[i].y || cached[i].cb != fresh[i].cb ||
                 cached[i].cr != fresh[i].cr;
  EXPECT_EQ(differing, 0);
  // The stage did correct something, so the comparison means something.
  const auto cb = [](const PIXEL_YC& p) { return p.cb; };
  EXPECT_GT(mean_abs_error(fresh, render_with(clip, 4, 2, false), cb), 0.0);
}

}  // namespace
