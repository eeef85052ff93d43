// The whole module denoising generated clips in the stand-in host: identity
// when nothing is estimated, noise actually removed, and results that depend
// neither on the worker count nor on the order frames are requested.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <vector>

#include "host/stand_in_host.h"
#include "plugin/module_state.h"
#include "support/test_clip.h"

namespace {

std::vector<PIXEL_YC> render(StandInHost& host, TestClip& clip, int n) {
  std::vector<PIXEL_YC> out(static_cast<size_t>(clip.width()) * clip.height());
  host.process(clip, n, out.data(), clip.width());
  return out;
}

int max_difference(const std::vector<PIXEL_YC>& a, const std::vector<PIXEL_YC>& b) {
  int worst = 0;
  for (size_t i = 0; i < a.size(); ++i) {
    worst = std::max(worst, std::abs(a[i].y - b[i].y));
    worst = std::max(worst, std::abs(a[i].cb - b[i].cb));
    worst = std::max(worst, std::abs(a[i].cr - b[i].cr));
  }
  return worst;
}

HostOptions threads(int n) {
  HostOptions o;
  o.thread_num = n;
  return o;
}

// Every temporal threshold at its smallest: only neighbours closer than 0.1
// are taken, and the clip's frames all differ by far more.
void temporal_tracks_off(StandInHost& host) {
  for (int track : {1, 2, 4, 5}) host.set_track(track, 0);
  host.update(0);
}

TEST(EndToEnd, NothingEstimatedGivesTheInputBackWithinOne) {
  struct Case { int w, h; bool field; };
  for (const Case& c : {Case{64, 48, false}, Case{70, 37, false}, Case{70, 38, true},
                        Case{200, 120, true}, Case{33, 17, false}}) {
    TestClip clip = TestClip::textured(c.w, c.h, 6, 11);
    clip.add_noise(40, 30, 12);  // frames differ, so no neighbour is taken
    StandInHost host(GetFilterTable(), threads(2));
    ASSERT_EQ(host.init(), 1);
    host.set_check(0, c.field ? 1 : 0);
    temporal_tracks_off(host);
    for (int n : {0, 3, 5})
      EXPECT_LE(max_difference(render(host, clip, n), clip.frame(n)), 1)
          << c.w << "x" << c.h << " field " << c.field << " frame " << n;
  }
}

TEST(EndToEnd, IdenticalFramesComeOutWithinOneAtDefaultSettings) {
  TestClip clip = TestClip::textured(96, 64, 1, 13);
  TestClip still(96, 64, 7);
  still.fill([&](int, int x, int y) { return clip.frame(0)[y * 96 + x]; });
  StandInHost host(GetFilterTable(), threads(2));
  ASSERT_EQ(host.init(), 1);
  for (int n : {0, 3, 6}) EXPECT_LE(max_difference(render(host, still, n), still.frame(n)), 1);
}

TEST(EndToEnd, GaussianLumaNoiseIsReducedByAtLeastTwoDecibels) {
  TestClip clean(128, 96, 9);
  clean.fill([](int, int x, int y) {
    return PIXEL_YC{static_cast<int16_t>(1000 + 8 * x + 5 * y), 0, 0};
  });
  TestClip noisy = clean;
  noisy.add_noise(8, 0, 14);
  StandInHost host(GetFilterTable(), threads(2));
  ASSERT_EQ(host.init(), 1);
  for (int n : {2, 4, 6}) {
    const double before = luma_psnr(noisy.frame(n), clean.frame(n));
    const double after = luma_psnr(render(host, noisy, n), clean.frame(n));
    EXPECT_GE(after - before, 2.0) << "frame " << n << ": " << before << " -> " << after;
  }
}

TEST(EndToEnd, OutputDoesNotDependOnWorkerCountOrRequestOrder) {
  TestClip clip = TestClip::textured(80, 48, 10, 15);
  clip.add_noise(10, 6, 16);
  std::vector<std::vector<PIXEL_YC>> reference;
  {
    StandInHost host(GetFilterTable(), threads(1));
    ASSERT_EQ(host.init(), 1);
    host.set_check(1, 1);  // anime mode: full fit
    host.set_track(3, 5);  // spatial luma coring
    host.set_track(6, 5);  // spatial chroma coring
    host.update(0);
    for (int n = 0; n < clip.frame_count(); ++n) reference.push_back(render(host, clip, n));
  }
  for (int workers = 2; workers <= 5; ++workers) {
    StandInHost host(GetFilterTable(), threads(workers));
    ASSERT_EQ(host.init(), 1);
    host.set_check(1, 1);
    host.set_track(3, 5);
    host.set_track(6, 5);
    host.update(0);
    std::vector<int> order(clip.frame_count());
    for (int i = 0; i < clip.frame_count(); ++i) order[i] = i;
    std::shuffle(order.begin(), order.end(), std::mt19937(workers));
    for (int n : order)
      EXPECT_EQ(max_difference(render(host, clip, n), reference[n]), 0)
          << workers << " workers, frame " << n;
  }
}

// Two clips share field 0 (the even rows) and differ in field 1. The clips
// are still pictures with light noise, so the temporal estimates really
// average. Processed per field, field 0 comes out the same in both; processed
// as whole frames it does not (which shows the comparison can fail).
TEST(EndToEnd, PerFieldProcessingKeepsTheFieldsApart) {
  TestClip still = TestClip::textured(64, 64, 1, 20);
  TestClip a(64, 64, 5);
  a.fill([&](int, int x, int y) { return still.at(0, x, y); });
  a.add_noise(4, 3, 21);
  TestClip b = a;
  TestClip other(64, 64, 5);
  other.fill([](int, int x, int) { return PIXEL_YC{static_cast<int16_t>(3500 - 20 * x), 400, -300}; });
  other.add_noise(4, 3, 22);
  b.fill([&](int n, int x, int y) { return y % 2 ? other.at(n, x, y) : a.at(n, x, y); });
  auto field0_equal = [](const std::vector<PIXEL_YC>& p, const std::vector<PIXEL_YC>& q) {
    for (int y = 0; y < 64; y += 2)
      for (int x = 0; x < 64; ++x) {
        const PIXEL_YC &u = p[y * 64 + x], &v = q[y * 64 + x];
        if (u.y != v.y || u.cb != v.cb || u.cr != v.cr) return false;
      }
    return true;
  };
  for (int field : {1, 0}) {
    StandInHost host(GetFilterTable(), threads(2));
    ASSERT_EQ(host.init(), 1);
    host.set_check(0, field);
    host.update(0x20000);
    std::vector<PIXEL_YC> out_a = render(host, a, 2);
    host.save_start();  // another clip: the prepared slots must not be reused
    std::vector<PIXEL_YC> out_b = render(host, b, 2);
    EXPECT_EQ(field0_equal(out_a, out_b), field == 1) << "per-field " << field;
  }
}

TEST(EndToEnd, ChromaGainsAndHueChangeOnlyChroma) {
  TestClip clip = TestClip::textured(64, 48, 5, 17);
  StandInHost host(GetFilterTable(), threads(2));
  ASSERT_EQ(host.init(), 1);
  std::vector<PIXEL_YC> plain = render(host, clip, 2);
  host.set_track(10, 60);
  host.set_track(11, -40);
  host.set_track(12, 30);
  host.update(0);
  std::vector<PIXEL_YC> coloured = render(host, clip, 2);
  int chroma_changed = 0;
  for (size_t i = 0; i < plain.size(); ++i) {
    EXPECT_EQ(plain[i].y, coloured[i].y);
    chroma_changed += plain[i].cb != coloured[i].cb || plain[i].cr != coloured[i].cr;
  }
  EXPECT_GT(chroma_changed, static_cast<int>(plain.size()) / 2);
}

}  // namespace
