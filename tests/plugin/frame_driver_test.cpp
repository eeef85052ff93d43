// The frame callback as the host drives it: gate, geometry, window walk and
// slot bookkeeping, failure paths, and the state it must give back.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "host/stand_in_host.h"
#include "plugin/allocation.h"
#include "plugin/module_state.h"
#include "support/test_clip.h"

#if defined(__i386__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace {

struct Rendered {
  std::vector<PIXEL_YC> pixels;
  BOOL result = 0;
};

Rendered render(StandInHost& host, TestClip& clip, int n) {
  Rendered out;
  out.pixels.assign(static_cast<size_t>(clip.width()) * clip.height(), PIXEL_YC{-1, -1, -1});
  out.result = host.process(clip, n, out.pixels.data(), clip.width());
  return out;
}

bool all_black(const std::vector<PIXEL_YC>& pixels) {
  return std::all_of(pixels.begin(), pixels.end(),
                     [](const PIXEL_YC& p) { return p.y == 0 && p.cb == 0 && p.cr == 0; });
}

HostOptions options(int threads, int max_w = 0, int max_h = 0) {
  HostOptions o;
  o.thread_num = threads;
  o.max_w = max_w;
  o.max_h = max_h;
  return o;
}

TEST(FrameDriver, FramesAboveTheLargestSizeComeBackBlackWithSizesUntouched) {
  for (auto [w, h] : {std::pair{1921, 32}, std::pair{32, 1089}}) {
    TestClip clip = TestClip::textured(w, h, 1, 1);
    StandInHost host(GetFilterTable(), options(2));
    ASSERT_EQ(host.init(), 1);
    Rendered r = render(host, clip, 0);
    EXPECT_EQ(r.result, 1);
    EXPECT_TRUE(all_black(r.pixels)) << w << "x" << h;
    EXPECT_EQ(host.last_proc_info().w, w);
    EXPECT_EQ(host.last_proc_info().h, h);
    EXPECT_TRUE(host.counters().fetched.empty());
  }
}

TEST(FrameDriver, ChoosesTheSizeClassFromThePaddedSize) {
  struct Case { int w, h, W, H; };
  const Case cases[] = {{720, 480, 800, 512},   {720, 576, 1472, 1120}, {1440, 1080, 1472, 1120},
                        {1441, 64, 1952, 1120}, {1920, 1088, 1952, 1120}, {100, 20, 800, 512}};
  StandInHost host(GetFilterTable(), options(2, 1920, 1088));
  ASSERT_EQ(host.init(), 1);
  for (const Case& c : cases) {
    TestClip clip = TestClip::textured(c.w, c.h, 1, 2);
    Rendered r = render(host, clip, 0);
    EXPECT_EQ(BufferWidth, c.W) << c.w << "x" << c.h;
    EXPECT_EQ(BufferHeight, c.H) << c.w << "x" << c.h;
    EXPECT_FALSE(all_black(r.pixels)) << c.w << "x" << c.h;
    EXPECT_EQ(host.last_proc_info().w, c.w);
    EXPECT_EQ(host.last_proc_info().h, c.h);
  }
}

TEST(FrameDriver, WindowWalkMirrorsAtTheClipEndsAndKeepsPreparedFrames) {
  TestClip clip = TestClip::textured(64, 48, 8, 3);
  StandInHost host(GetFilterTable(), options(2));
  ASSERT_EQ(host.init(), 1);  // radius 2: N = 5
  host.reset_counters();
  render(host, clip, 0);
  // Offsets -2 and -1 use frames 2 and 1 in slots 3 and 4.
  EXPECT_EQ(host.counters().fetched, (std::vector<int>{2, 1, 0, 1, 2}));
  EXPECT_EQ(FrameSlotCache[3], 2);
  EXPECT_EQ(FrameSlotCache[4], 1);
  EXPECT_EQ(FrameSlotCache[0], 0);
  EXPECT_EQ(host.counters().set_cache_size_calls, 5);
  EXPECT_EQ(host.counters().last_cache_size, 5);

  // Positions outside the clip are prepared again at every call.
  host.reset_counters();
  render(host, clip, 0);
  EXPECT_EQ(host.counters().fetched, (std::vector<int>{2, 1}));

  // Stepping forward inside the clip prepares only the entering frame.
  render(host, clip, 2);
  host.reset_counters();
  render(host, clip, 3);
  EXPECT_EQ(host.counters().fetched, (std::vector<int>{5}));

  // At the last frame F - 1 the offsets +1, +2 use frames F - 2 and F - 3.
  host.reset_counters();
  render(host, clip, 7);
  const std::vector<int>& fetched = host.counters().fetched;
  EXPECT_NE(std::find(fetched.begin(), fetched.end(), 6), fetched.end());
  EXPECT_EQ(FrameSlotCache[(7 + 1) % 5], 6);
  EXPECT_EQ(FrameSlotCache[(7 + 2) % 5], 5);
}

TEST(FrameDriver, ChangingTheWindowReallocatesAndPreparesEveryFrame) {
  TestClip clip = TestClip::textured(64, 48, 12, 4);
  StandInHost host(GetFilterTable(), options(1));
  ASSERT_EQ(host.init(), 1);
  render(host, clip, 5);
  host.set_track(0, 4);
  host.update(0x10000);
  host.reset_counters();
  render(host, clip, 5);
  EXPECT_EQ(WindowCount, 9);
  EXPECT_EQ(host.counters().fetched.size(), 9u);
}

TEST(FrameDriver, AMissingHostFrameEmptiesItsSlotAndTheFrameIsStillProduced) {
  TestClip clip = TestClip::textured(64, 48, 8, 5);
  StandInHost host(GetFilterTable(), options(2));
  ASSERT_EQ(host.init(), 1);
  host.set_fetch_failure([](int n) { return n == 4; });
  Rendered r = render(host, clip, 3);
  EXPECT_EQ(r.result, 1);
  EXPECT_EQ(FrameSlotCache[4 % 5], kEmptySlot);
  EXPECT_FALSE(all_black(r.pixels));
}

TEST(FrameDriver, UndersizedHostBuffersGiveABlackFrame) {
  TestClip clip = TestClip::textured(100, 40, 3, 6);
  StandInHost host(GetFilterTable(), options(1, 104, 48));  // padded width is 112
  ASSERT_EQ(host.init(), 1);
  Rendered r = render(host, clip, 1);
  EXPECT_EQ(r.result, 1);
  EXPECT_TRUE(all_black(r.pixels));
  EXPECT_EQ(host.last_proc_info().w, 100);
}

TEST(FrameDriver, FailedAllocationGivesBlackFramesUntilTheGeometryChanges) {
  TestClip clip = TestClip::textured(64, 48, 5, 7);
  StandInHost host(GetFilterTable(), options(1));
  ASSERT_EQ(host.init(), 1);
  set_allocation_hook([](size_t bytes) { return bytes < 4u * 1024 * 1024; });
  host.set_track(0, 1);
  host.update(0x10000);
  Rendered failed = render(host, clip, 2);
  set_allocation_hook(nullptr);
  EXPECT_EQ(failed.result, 1);
  EXPECT_TRUE(all_black(failed.pixels));
  EXPECT_FALSE(AllocationOk);
  // Not retried while the geometry stays.
  EXPECT_TRUE(all_black(render(host, clip, 2).pixels));
  EXPECT_EQ(host.last_proc_info().h, 48);
  host.set_track(0, 2);
  host.update(0x10000);
  EXPECT_FALSE(all_black(render(host, clip, 2).pixels));
}

#if defined(__i386__) || defined(__x86_64__)
TEST(FrameDriver, GivesTheCallersControlWordBackOnEveryPath) {
  TestClip small = TestClip::textured(64, 48, 3, 8);
  TestClip large = TestClip::textured(1921, 16, 1, 8);
  StandInHost host(GetFilterTable(), options(2));
  ASSERT_EQ(host.init(), 1);
  const unsigned saved = _mm_getcsr();
  const unsigned caller = 0x1F80 | 0x6000;  // round toward zero, all masked
  _mm_setcsr(caller);
  render(host, small, 1);
  EXPECT_EQ(_mm_getcsr(), caller);
  render(host, large, 0);
  EXPECT_EQ(_mm_getcsr(), caller);
  _mm_setcsr(saved);
}
#endif

}  // namespace
