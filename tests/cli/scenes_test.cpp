// Scenes under the automatic settings, run through the built tool: each
// scene is denoised as a clip of its own, a part of a clip comes out as the
// same frames of the whole, and `--preset none` is the module exactly as the
// plug-in runs it.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>

#include "host/stand_in_host.h"
#include "support/real_content.h"
#include "tool_harness.h"

namespace {

#define REQUIRE_TOOL() \
  if (!module_table_present()) GTEST_SKIP() << "the module's plug-in table is not in this build"

constexpr int kW = 160, kH = 96;

// The frames of an 8-bit 4:2:0 YUV4MPEG2 file without frame parameters.
std::vector<std::string> frames_of(const std::string& path) {
  const std::string bytes = read_file(path);
  const size_t payload = size_t(kW) * kH * 3 / 2;
  std::vector<std::string> frames;
  for (size_t at = bytes.find('\n') + 1; at + 6 + payload <= bytes.size(); at += 6 + payload) {
    frames.push_back(bytes.substr(at + 6, payload));
  }
  return frames;
}

std::vector<Payload> scene(const char* picture, int frames, int dx, double sigma, uint32_t seed) {
  CameraShot shot;
  shot.width = kW;
  shot.height = kH;
  shot.x = 40;
  shot.y = 20;
  shot.dx = dx;
  shot.sigma = sigma;
  shot.seed = seed;
  return real_clip(real_picture(picture), frames, shot);
}

std::vector<Payload> joined(std::vector<Payload> a, const std::vector<Payload>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

TEST(Scenes, EachSceneIsDenoisedAsAClipOfItsOwn) {
  REQUIRE_TOOL();
  ScratchDir dir;
  // Scenes of the same length: to a host that keys its frames by number and
  // clip length, the second looks like the first.
  const auto still = scene("garden", 9, 0, 3.0, 1);
  const auto pan = scene("dune", 9, 4, 3.0, 2);
  const auto other = scene("dune", 9, 0, 6.0, 3);
  write_real_y4m(dir.file("cut.y4m"), kW, kH, joined(still, pan));
  write_real_y4m(dir.file("other.y4m"), kW, kH, joined(still, other));
  write_real_y4m(dir.file("still.y4m"), kW, kH, still);
  write_real_y4m(dir.file("pan.y4m"), kW, kH, pan);
  for (const char* name : {"cut", "other", "still", "pan"}) {
    ToolRun run = run_tool({dir.file(std::string(name) + ".y4m"), dir.file(std::string(name) + "-out.y4m")});
    ASSERT_EQ(run.exit_status, 0) << run.err;
    // One line per scene, with what was measured and chosen.
    const size_t scenes = std::string(name) == "cut" || std::string(name) == "other" ? 2 : 1;
    EXPECT_EQ(size_t(std::count(run.err.begin(), run.err.end(), '\n')), scenes) << run.err;
    EXPECT_EQ(run.err.rfind("quietloom: scene 1, frames 0-", 0), 0u) << run.err;
    EXPECT_NE(run.err.find(": noise Y "), std::string::npos) << run.err;
  }
  const auto cut = frames_of(dir.file("cut-out.y4m"));
  const auto other_out = frames_of(dir.file("other-out.y4m"));
  const auto still_out = frames_of(dir.file("still-out.y4m"));
  const auto pan_out = frames_of(dir.file("pan-out.y4m"));
  ASSERT_EQ(cut.size(), still.size() + pan.size());
  ASSERT_EQ(other_out.size(), still.size() + other.size());
  for (size_t i = 0; i < still.size(); ++i) {
    EXPECT_TRUE(cut[i] == still_out[i]) << "frame " << i << " depends on the scene after the cut";
    EXPECT_TRUE(other_out[i] == still_out[i]) << "frame " << i;
  }
  for (size_t i = 0; i < pan.size(); ++i) {
    EXPECT_TRUE(cut[still.size() + i] == pan_out[i]) << "frame " << still.size() + i;
  }
  // The still scene is denoised (it changed) and the settings differ per scene.
  EXPECT_FALSE(still_out[2] == std::string(reinterpret_cast<const char*>(still[2].data()), still[2].size()));
}

TEST(Scenes, RangesAreTheSameFramesOfTheWholeRunUnderEveryPreset) {
  REQUIRE_TOOL();
  ScratchDir dir;
  // Two cuts, the middle scene shorter than the widest window.
  const auto clip = joined(joined(scene("garden", 12, 0, 2.0, 4), scene("dune", 4, 2, 2.0, 5)),
                           scene("garden", 14, 6, 4.0, 6));
  write_real_y4m(dir.file("in.y4m"), kW, kH, clip);
  for (const char* preset : {"auto", "light", "none"}) {
    SCOPED_TRACE(preset);
    ASSERT_EQ(run_tool({"-q", "--preset", preset, dir.file("in.y4m"), dir.file("all.y4m")}).exit_status, 0);
    const auto all = frames_of(dir.file("all.y4m"));
    ASSERT_EQ(all.size(), clip.size());
    for (auto [first, end] : {std::pair{0, 3}, {10, 14}, {13, 15}, {15, 17}, {16, 30}, {27, -1}}) {
      const std::string range = std::to_string(first) + ":" + (end < 0 ? "" : std::to_string(end));
      ToolRun run = run_tool({"-q", "--preset", preset, "--range", range, dir.file("in.y4m"), dir.file("part.y4m")});
      ASSERT_EQ(run.exit_status, 0) << run.err;
      const auto part = frames_of(dir.file("part.y4m"));
      ASSERT_EQ(part.size(), size_t((end < 0 ? int(clip.size()) : end) - first)) << range;
      for (size_t i = 0; i < part.size(); ++i) EXPECT_TRUE(part[i] == all[size_t(first) + i]) << range << " frame " << i;
    }
  }
}

// Raw host frames read straight from memory, as the editor would hand them.
class HostFrames : public FrameSource {
 public:
  HostFrames(int w, int h, int n, uint32_t seed) : w_(w), h_(h), frames_(size_t(n)) {
    std::mt19937 rng(seed);
    for (auto& f : frames_) {
      f.resize(size_t(w) * h);
      for (size_t i = 0; i < f.size(); ++i) {
        const int x = int(i % size_t(w));
        f[i] = {int16_t(1500 + 40 * (x % 17) + int(rng() % 200)), int16_t(int(rng() % 300) - 150),
                int16_t(int(rng() % 300) - 150)};
      }
    }
  }
  int width() const override { return w_; }
  int height() const override { return h_; }
  int frame_count() const override { return int(frames_.size()); }
  bool read_frame(int n, PIXEL_YC* dst, int stride) override {
    for (int y = 0; y < h_; ++y) std::memcpy(dst + size_t(y) * stride, &frames_[size_t(n)][size_t(y) * w_], sizeof(PIXEL_YC) * w_);
    return true;
  }
  std::string bytes() const {
    std::string out;
    for (const auto& f : frames_) out.append(reinterpret_cast<const char*>(f.data()), f.size() * sizeof(PIXEL_YC));
    return out;
  }

 private:
  int w_, h_;
  std::vector<std::vector<PIXEL_YC>> frames_;
};

TEST(Scenes, PresetNoneIsTheModuleAsThePlugInRunsIt) {
  REQUIRE_TOOL();
  ScratchDir dir;
  HostFrames clip(64, 48, 9, 7);
  write_file(dir.file("in.yc48"), clip.bytes());
  // Raw host frames are progressive to the tool; the table's default
  // processes the fields apart.
  ToolRun run = run_tool({"-q", "--preset", "none", "--field", "--size", "64x48", dir.file("in.yc48"),
                          dir.file("out.yc48")});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  // The same frames through the module in the stand-in host, at the table's
  // defaults, as the editor runs the plug-in.
  StandInHost host(GetFilterTable(), HostOptions{});
  ASSERT_TRUE(host.init());
  std::string expected;
  std::vector<PIXEL_YC> out(64 * 48);
  for (int n = 0; n < clip.frame_count(); ++n) {
    ASSERT_TRUE(host.process(clip, n, out.data(), 64));
    expected.append(reinterpret_cast<const char*>(out.data()), out.size() * sizeof(PIXEL_YC));
  }
  const std::string got = read_file(dir.file("out.yc48"));
  ASSERT_EQ(got.size(), expected.size());
  size_t first_difference = 0;
  while (first_difference < got.size() && got[first_difference] == expected[first_difference]) ++first_difference;
  EXPECT_EQ(first_difference, got.size()) << "the tool's output differs from the module's, first at frame "
                                          << first_difference / (64 * 48 * 6);
  EXPECT_FALSE(read_file(dir.file("out.yc48")) == clip.bytes()) << "the defaults changed nothing";
}

}  // namespace

namespace {

double luma_psnr(const std::vector<std::string>& frames, const std::vector<Payload>& clean) {
  double squares = 0;
  size_t n = 0;
  for (size_t f = 0; f < frames.size(); ++f) {
    for (size_t i = 0; i < size_t(kW) * kH; ++i) {
      const double d = double(uint8_t(frames[f][i])) - clean[f][i];
      squares += d * d;
      ++n;
    }
  }
  return 10 * std::log10(255.0 * 255.0 / (squares / double(n)));
}

TEST(Scenes, TheCompensatedWindowFollowsTheCameraExactlyInEveryPart) {
  REQUIRE_TOOL();
  ScratchDir dir;
  const auto clean = scene("dune", 14, 4, 0.0, 1);
  write_real_y4m(dir.file("in.y4m"), kW, kH, scene("dune", 14, 4, 4.0, 1));
  ASSERT_EQ(run_tool({"-q", "--motion", "off", dir.file("in.y4m"), dir.file("off.y4m")}).exit_status, 0);
  ToolRun run = run_tool({"--motion", "local", "--threads", "2", dir.file("in.y4m"), dir.file("all.y4m")});
  ASSERT_EQ(run.exit_status, 0) << run.err;
  EXPECT_NE(run.err.find("--motion local"), std::string::npos) << run.err;
  const auto all = frames_of(dir.file("all.y4m"));
  // Lined up with the camera, the window holds the pan as a still shot.
  EXPECT_GT(luma_psnr(all, clean), luma_psnr(frames_of(dir.file("off.y4m")), clean) + 1.0);
  ASSERT_EQ(run_tool({"-q", "--motion", "local", "--threads", "1", dir.file("in.y4m"), dir.file("one.y4m")}).exit_status, 0);
  EXPECT_TRUE(frames_of(dir.file("one.y4m")) == all) << "the output depends on the worker count";
  for (auto [first, end] : {std::pair{0, 4}, {5, 9}, {10, -1}}) {
    const std::string range = std::to_string(first) + ":" + (end < 0 ? "" : std::to_string(end));
    ASSERT_EQ(run_tool({"-q", "--motion", "local", "--range", range, dir.file("in.y4m"), dir.file("part.y4m")}).exit_status, 0);
    const auto part = frames_of(dir.file("part.y4m"));
    for (size_t i = 0; i < part.size(); ++i) EXPECT_TRUE(part[i] == all[size_t(first) + i]) << range << " frame " << i;
  }
  // By default the pan is followed (local is what auto follows with), and so
  // it is by a part that takes the scene from a plan and tracks the camera
  // over its own window only.
  ASSERT_EQ(run_tool({"-q", dir.file("in.y4m"), dir.file("default.y4m")}).exit_status, 0);
  EXPECT_TRUE(frames_of(dir.file("default.y4m")) == all) << "auto did not follow the pan";
  ASSERT_EQ(run_tool({"plan", "-q", dir.file("in.y4m"), "--parts", "1", "--save", dir.file("plan.json")}).exit_status, 0);
  EXPECT_NE(read_file(dir.file("plan.json")).find("\"follow_camera\": true"), std::string::npos);
  ASSERT_EQ(run_tool({"-q", "--settings", dir.file("plan.json"), "--range", "6:9", dir.file("in.y4m"),
                      dir.file("planned.y4m")}).exit_status, 0);
  const auto planned = frames_of(dir.file("planned.y4m"));
  ASSERT_EQ(planned.size(), 3u);
  for (size_t i = 0; i < planned.size(); ++i) EXPECT_TRUE(planned[i] == all[6 + i]) << "planned frame " << 6 + i;
  // A still camera is left as it is.
  write_real_y4m(dir.file("still.y4m"), kW, kH, scene("dune", 14, 0, 4.0, 1));
  ToolRun still = run_tool({dir.file("still.y4m"), dir.file("still_auto.y4m")});
  EXPECT_NE(still.err.find("--motion off"), std::string::npos) << still.err;
}

}  // namespace
