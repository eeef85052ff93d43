#include "host/filtering_cache.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "generated_clip.h"

namespace {

// Counts the pixels of a max_w x max_h buffer that differ from the clip's
// frame n inside the picture or from the stale pattern outside it.
int wrong_pixels(const PIXEL_YC* frame, int n, int w, int h, int max_w, int max_h) {
  int wrong = 0;
  for (int y = 0; y < max_h; ++y) {
    for (int x = 0; x < max_w; ++x) {
      const PIXEL_YC expected =
          x < w && y < h ? GeneratedClip::pixel(n, x, y) : kStalePixel;
      if (!same_pixel(frame[y * max_w + x], expected)) ++wrong;
    }
  }
  return wrong;
}

}  // namespace

TEST(FilteringCache, ServesFramesWithStrideMaxWAndStaleOutsideThePicture) {
  GeneratedClip clip(21, 11, 6);
  FilteringCache cache;
  cache.bind(&clip, 40, 19);
  for (int n : {3, 0, 5}) {
    const PIXEL_YC* frame = cache.fetch(n);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(wrong_pixels(frame, n, 21, 11, 40, 19), 0) << "frame " << n;
  }
}

TEST(FilteringCache, FillStaleOutsideLeavesThePictureAlone) {
  std::vector<PIXEL_YC> buffer(8 * 5, PIXEL_YC{1, 2, 3});
  fill_stale_outside(buffer.data(), 8, 5, 6, 3);
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 8; ++x)
      EXPECT_TRUE(same_pixel(buffer[y * 8 + x],
                             x < 6 && y < 3 ? PIXEL_YC{1, 2, 3} : kStalePixel))
          << x << "," << y;
}

TEST(FilteringCache, AnswersNullOutsideTheClipAndForFailingFrames) {
  GeneratedClip clip(16, 8, 5);
  FilteringCache cache;
  EXPECT_EQ(cache.fetch(0), nullptr) << "no clip bound yet";
  cache.bind(&clip, 16, 8);
  EXPECT_EQ(cache.fetch(-1), nullptr);
  EXPECT_EQ(cache.fetch(5), nullptr);
  EXPECT_NE(cache.fetch(4), nullptr);

  cache.set_failure([](int n) { return n == 2 || n == 4; });
  EXPECT_EQ(cache.fetch(2), nullptr);
  EXPECT_EQ(cache.fetch(4), nullptr) << "held frames fail too once selected";
  EXPECT_NE(cache.fetch(3), nullptr);
  cache.set_failure(nullptr);
  EXPECT_NE(cache.fetch(2), nullptr);

  clip.unreadable_frame = 1;
  EXPECT_EQ(cache.fetch(1), nullptr);

  cache.unbind();
  EXPECT_EQ(cache.fetch(3), nullptr) << "an unbound cache delivers nothing";
}

// After asking for d frames, the last d distinct frames fetched keep their
// buffers and contents, even those the module changed in place, and a held
// frame is not read again.
TEST(FilteringCache, KeepsTheLastFramesAskedFor) {
  for (int d : {1, 3, 5}) {
    SCOPED_TRACE(d);
    GeneratedClip clip(16, 4, 40);
    FilteringCache cache;
    cache.bind(&clip, 16, 4);
    cache.set_frames_needed(d);
    EXPECT_EQ(cache.capacity(), d + FilteringCache::kMargin);

    std::vector<PIXEL_YC*> pointers(40, nullptr);
    for (int n = 0; n < 40; ++n) {
      pointers[n] = cache.fetch(n);
      ASSERT_NE(pointers[n], nullptr);
      pointers[n][0].cb = static_cast<int16_t>(1000 + n);  // the module's change
      for (int back = 1; back < d && back <= n; ++back) {
        const PIXEL_YC* older = pointers[n - back];
        ASSERT_EQ(older[0].cb, 1000 + n - back) << "frame " << n - back << " at " << n;
        for (int x = 1; x < 16; ++x)
          ASSERT_TRUE(same_pixel(older[x], GeneratedClip::pixel(n - back, x, 0)));
      }
    }
    EXPECT_EQ(clip.reads, 40);
    EXPECT_LE(cache.frames_held(), cache.capacity());

    // Fetching a held frame again gives the same buffer without a read and
    // makes it the most recent, so it outlives frames fetched before it.
    const int reads = clip.reads;
    EXPECT_EQ(cache.fetch(39 - d + 1), pointers[39 - d + 1]);
    EXPECT_EQ(clip.reads, reads);
    EXPECT_NE(cache.fetch(0), nullptr);
    EXPECT_EQ(clip.reads, reads + 1) << "frame 0 should have been dropped long ago";
  }
}

TEST(FilteringCache, ForgetsFramesWhenTheClipOrGeometryChanges) {
  GeneratedClip clip(16, 4, 3);
  GeneratedClip other(16, 4, 3);
  FilteringCache cache;
  cache.bind(&clip, 16, 4);
  cache.fetch(1)[0].y = -7;
  cache.unbind();
  cache.bind(&clip, 16, 4);
  EXPECT_EQ(cache.fetch(1)[0].y, -7) << "rebinding the same clip keeps its frames";

  cache.bind(&other, 16, 4);
  EXPECT_EQ(cache.fetch(1)[0].y, GeneratedClip::pixel(1, 0, 0).y);
  cache.fetch(1)[0].y = -7;
  cache.bind(&other, 32, 4);
  const PIXEL_YC* wider = cache.fetch(1);
  EXPECT_EQ(wrong_pixels(wider, 1, 16, 4, 32, 4), 0);
  cache.fetch(1)[0].y = -7;
  cache.flush();
  EXPECT_EQ(cache.fetch(1)[0].y, GeneratedClip::pixel(1, 0, 0).y);
}

TEST(FilteringCache, AFlushKeepsTheBuffersForTheFramesReadNext) {
  GeneratedClip clip(16, 4, 8);
  FilteringCache cache;
  cache.bind(&clip, 24, 6);
  cache.set_frames_needed(3);
  std::vector<const PIXEL_YC*> before;
  for (int n = 0; n < 3; ++n) before.push_back(cache.fetch(n));
  cache.flush();
  // Memory freed by the flush would go to these first.
  std::vector<std::vector<PIXEL_YC>> others(3, std::vector<PIXEL_YC>(24 * 6));
  for (int n = 3; n < 6; ++n) {
    const PIXEL_YC* frame = cache.fetch(n);
    EXPECT_NE(std::find(before.begin(), before.end(), frame), before.end()) << "frame " << n;
    EXPECT_EQ(wrong_pixels(frame, n, 16, 4, 24, 6), 0) << "frame " << n;
  }
}

// Hands over buffers of its own for its even frames, and reads the odd ones.
class ExchangingClip : public GeneratedClip {
 public:
  using GeneratedClip::GeneratedClip;
  bool exchange_frame(int n, std::unique_ptr<PIXEL_YC[]>& buffer) override {
    if (n % 2) return false;
    std::unique_ptr<PIXEL_YC[]> own(new PIXEL_YC[size_t(width()) * size_t(height())]);
    read_frame(n, own.get(), width());
    handed.push_back(own.get());
    taken.push_back(buffer.get());
    buffer.swap(own);
    kept.push_back(std::move(own));
    return true;
  }
  std::vector<const PIXEL_YC*> handed, taken;
  std::vector<std::unique_ptr<PIXEL_YC[]>> kept;
};

TEST(FilteringCache, TakesTheBuffersAClipHandsOverWhenItsFramesFillThem) {
  ExchangingClip clip(16, 4, 6);
  FilteringCache cache;
  cache.bind(&clip, 16, 4);
  for (int n = 0; n < 4; ++n) {
    const PIXEL_YC* frame = cache.fetch(n);
    EXPECT_EQ(wrong_pixels(frame, n, 16, 4, 16, 4), 0) << "frame " << n;
    EXPECT_EQ(frame == clip.handed.back(), n % 2 == 0) << "frame " << n;
  }
  EXPECT_NE(clip.taken.front(), nullptr);
  // Padded buffers need the stale pattern around the picture: no exchange.
  ExchangingClip small(12, 3, 4);
  cache.bind(&small, 16, 4);
  EXPECT_EQ(wrong_pixels(cache.fetch(0), 0, 12, 3, 16, 4), 0);
  EXPECT_TRUE(small.handed.empty());
}
