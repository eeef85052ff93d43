// The whole module at every kernel level run here, on a generated clip, with
// the frames' hashes against the ones recorded when the levels were added: a
// wrong stride, a wrong table entry or a form that differs only in some
// corner of a frame changes the hash where a tolerance would let it pass. The
// plain and SSE levels compute the D4 kernels' level-1 arithmetic, the SSE3
// and AVX2 levels the level-2 arithmetic, so each setting has two hashes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <vector>

#include "host/stand_in_host.h"
#include "plugin/filter_settings.h"
#include "plugin/kernel_level.h"
#include "support/kernel_levels.h"
#include "support/test_clip.h"

namespace {

// FNV-1a over the samples of every frame, in order.
uint64_t hash_frames(const std::vector<std::vector<PIXEL_YC>>& frames) {
  uint64_t hash = 0xCBF29CE484222325ull;
  for (const std::vector<PIXEL_YC>& frame : frames)
    for (const PIXEL_YC& p : frame)
      for (int16_t v : {p.y, p.cb, p.cr})
        for (int byte = 0; byte < 2; ++byte) {
          hash ^= static_cast<uint8_t>(static_cast<uint16_t>(v) >> (8 * byte));
          hash *= 0x100000001B3ull;
        }
  return hash;
}

struct Setting {
  const char* name;
  void (*apply)(StandInHost& host);
  uint64_t level1_hash;  // plain, SSE
  uint64_t level2_hash;  // SSE3, AVX2
};

void defaults(StandInHost&) {}

// Every stage and every option that changes which kernels run: all three
// pre-stages, per-field processing, anime mode (the full fit), both corings,
// N = 7, the colour adjustment and the gamma curve.
void everything(StandInHost& host) {
  for (CheckIndex c : {kCheckFieldMode, kCheckAnime, kCheckCrossColour, kCheckMosquitoNr,
                       kCheckBlockNr})
    host.set_check(c, 1);
  host.set_track(kTrackFrame, 3);
  host.set_track(kTrackW2dy, 6);
  host.set_track(kTrackW2dc, 4);
  host.set_track(kTrackGainY, 10);
  host.set_track(kTrackOffsetY, -3);
  host.set_track(kTrackGainCb, 20);
  host.set_track(kTrackHue, -15);
  host.set_track(kTrackGammaCbCr, 12);
}

// N = 9 with the reduced fit, whole frames.
void widest_window(StandInHost& host) {
  host.set_check(kCheckFieldMode, 0);
  host.set_track(kTrackFrame, 4);
}

const Setting kSettings[] = {
    {"defaults", defaults, 0xc901c1aa07f7ef36, 0x89707f5ef3278122},
    {"everything", everything, 0x58b9d29923dd5e78, 0x0b1f4547e17d2a83},
    {"widest window", widest_window, 0x023e6424522986b6, 0xae2db3541b47db14},
};

std::vector<std::vector<PIXEL_YC>> render_clip(const Setting& setting, TestClip& clip) {
  HostOptions options;
  options.thread_num = 2;
  StandInHost host(GetFilterTable(), options);
  EXPECT_EQ(host.init(), 1);
  setting.apply(host);
  host.update(0);
  std::vector<std::vector<PIXEL_YC>> frames;
  for (int n = 0; n < clip.frame_count(); ++n) {
    std::vector<PIXEL_YC> out(static_cast<size_t>(clip.width()) * clip.height());
    EXPECT_EQ(host.process(clip, n, out.data(), clip.width()), 1);
    frames.push_back(std::move(out));
  }
  return frames;
}

TEST(GoldenFrames, EveryLevelGivesTheHashOfItsArithmetic) {
  // Not a multiple of 16 either way, so the module pads both; noisy enough
  // that every stage changes something.
  TestClip clip = TestClip::textured(84, 54, 8, 31);
  clip.add_noise(12, 8, 32);
  for (const Setting& setting : kSettings) {
    for (KernelLevel level : runnable_kernel_levels()) {
      ASSERT_TRUE(select_kernel_level(level));
      const uint64_t hash = hash_frames(render_clip(setting, clip));
      const uint64_t expected =
          level >= KernelLevel::kSse3 ? setting.level2_hash : setting.level1_hash;
      EXPECT_EQ(hash, expected) << setting.name << " at " << kernel_level_name(level)
                                << ": 0x" << std::hex << hash;
    }
  }
  select_highest_kernel_level();
  note_skipped_levels("golden frames of the levels not run here");
}

}  // namespace
