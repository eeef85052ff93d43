// The clip analysis on real picture content: noise read back from clips
// with known noise, cuts found where a picture changes and nowhere else.
#include "cli/analysis/clip_analyser.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/real_content.h"

namespace {

VideoFormat format_of(const CameraShot& shot) {
  VideoFormat f;
  f.width = shot.width;
  f.height = shot.height;
  f.chroma = ChromaFormat::k420;
  f.bit_depth = 8;
  f.interlace = Interlace::kProgressive;
  return f;
}

std::vector<Scene> analyse(const std::vector<Payload>& clip, const CameraShot& shot) {
  ClipAnalyser analyser(format_of(shot), PayloadLayout::kPlanarSamples, AnalysisOptions{});
  for (const Payload& frame : clip) analyser.add_frame(frame.data());
  analyser.finish();
  return analyser.scenes();
}

TEST(ClipAnalyser, ReadsTheNoiseOfEveryPlaneOverRealPictures) {
  for (const char* name : {"garden", "dune"}) {
    for (double sigma : {0.0, 1.0, 2.0, 5.0, 10.0}) {
      for (bool pan : {false, true}) {
        CameraShot shot;
        shot.x = 16;
        shot.y = 8;
        shot.dx = pan ? 6 : 0;
        shot.dy = pan ? 2 : 0;
        shot.sigma = sigma;
        shot.seed = uint32_t(sigma * 10) + (pan ? 1 : 0);
        const std::vector<Scene> scenes = analyse(real_clip(real_picture(name), 12, shot), shot);
        ASSERT_EQ(scenes.size(), 1u) << name;
        const SceneFigures& f = scenes[0].figures;
        for (int p = 0; p < 3; ++p) {
          SCOPED_TRACE(testing::Message() << name << " sigma " << sigma << (pan ? " pan" : " still")
                                          << " plane " << p);
          if (sigma == 0) {
            EXPECT_LT(f.noise[p], 0.5);
          } else {
            EXPECT_NEAR(f.noise[p], sigma, sigma * (pan ? 0.25 : 0.10));
          }
        }
        if (pan && sigma <= 2) {
          EXPECT_NEAR(f.camera_shift, std::hypot(6.0, 2.0), 0.5) << name;
        } else if (!pan) {
          EXPECT_EQ(f.camera_shift, 0.0) << name;
        }
      }
    }
  }
}

TEST(ClipAnalyser, FindsCutsButNotPansOrFades) {
  CameraShot still, pan;
  pan.dx = 4;
  pan.dy = 2;
  for (double sigma : {0.0, 2.0, 10.0}) {
    still.sigma = pan.sigma = sigma;
    const auto garden_still = real_clip(real_picture("garden"), 10, still);
    const auto dune_pan = real_clip(real_picture("dune"), 10, pan);
    const auto garden_pan = real_clip(real_picture("garden"), 20, pan);
    SCOPED_TRACE(testing::Message() << "sigma " << sigma);

    std::vector<Payload> cut = garden_still;
    cut.insert(cut.end(), dune_pan.begin(), dune_pan.end());
    const std::vector<Scene> two = analyse(cut, still);
    ASSERT_EQ(two.size(), 2u);
    EXPECT_EQ(two[0].first, 0);
    EXPECT_EQ(two[0].end, 10);
    EXPECT_EQ(two[1].first, 10);
    EXPECT_EQ(two[1].end, 20);
    // Each scene is measured on its own frames: the still one reads no motion.
    EXPECT_EQ(two[0].figures.camera_shift, 0.0);
    EXPECT_GT(two[1].figures.camera_shift, 2.0);

    EXPECT_EQ(analyse(garden_pan, pan).size(), 1u);
    // One second of cross-fade between the two pictures.
    EXPECT_EQ(analyse(cross_fade(garden_still, real_clip(real_picture("dune"), 10, still), 25), still).size(),
              1u);
  }
  // A cut right after the first frame, and right before the last one.
  std::vector<Payload> early = real_clip(real_picture("garden"), 1, still);
  const auto rest = real_clip(real_picture("dune"), 6, still);
  early.insert(early.end(), rest.begin(), rest.end());
  early.push_back(real_clip(real_picture("garden"), 1, still)[0]);
  const std::vector<Scene> scenes = analyse(early, still);
  ASSERT_EQ(scenes.size(), 3u);
  EXPECT_EQ(scenes[1].first, 1);
  EXPECT_EQ(scenes[2].first, 7);
}

}  // namespace
