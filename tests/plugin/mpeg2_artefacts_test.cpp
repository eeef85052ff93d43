// Block and mosquito noise as a real encoder leaves them: a generated clip is
// encoded at a low bit rate with ffmpeg's MPEG-2 encoder, decoded, and
// denoised with each pre-stage on and off; the stage must bring the result
// closer to the source. Skipped when ffmpeg is not installed.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "host/stand_in_host.h"
#include "support/test_clip.h"

namespace {

constexpr int kW = 176, kH = 144, kFrames = 12;

bool have_ffmpeg() { return std::system("ffmpeg -version >/dev/null 2>&1") == 0; }

// 8-bit 4:2:0 planes <-> host units (limited range).
void write_yuv420(const TestClip& clip, const std::string& path) {
  std::ofstream out(path, std::ios::binary);
  for (int n = 0; n < clip.frame_count(); ++n) {
    const auto& f = clip.frame(n);
    std::vector<uint8_t> y(kW * kH), u(kW * kH / 4), v(kW * kH / 4);
    auto to8 = [](double value) {
      return static_cast<uint8_t>(std::lround(std::fmin(255, std::fmax(0, value))));
    };
    for (int i = 0; i < kW * kH; ++i) y[i] = to8(16 + f[i].y * 219.0 / 4096);
    for (int r = 0; r < kH / 2; ++r)
      for (int c = 0; c < kW / 2; ++c) {
        const PIXEL_YC& p = f[(2 * r) * kW + 2 * c];
        u[r * kW / 2 + c] = to8(128 + p.cb * 224.0 / 4096);
        v[r * kW / 2 + c] = to8(128 + p.cr * 224.0 / 4096);
      }
    out.write(reinterpret_cast<char*>(y.data()), y.size());
    out.write(reinterpret_cast<char*>(u.data()), u.size());
    out.write(reinterpret_cast<char*>(v.data()), v.size());
  }
}

TestClip read_yuv420(const std::string& path) {
  TestClip clip(kW, kH, kFrames);
  std::ifstream in(path, std::ios::binary);
  std::vector<uint8_t> y(kW * kH), u(kW * kH / 4), v(kW * kH / 4);
  for (int n = 0; n < kFrames; ++n) {
    in.read(reinterpret_cast<char*>(y.data()), y.size());
    in.read(reinterpret_cast<char*>(u.data()), u.size());
    in.read(reinterpret_cast<char*>(v.data()), v.size());
    for (int r = 0; r < kH; ++r)
      for (int x = 0; x < kW; ++x) {
        const int c = (r / 2) * (kW / 2) + x / 2;
        clip.at(n, x, r) = {static_cast<int16_t>(std::lround((y[r * kW + x] - 16) * 4096.0 / 219)),
                            static_cast<int16_t>(std::lround((u[c] - 128) * 4096.0 / 224)),
                            static_cast<int16_t>(std::lround((v[c] - 128) * 4096.0 / 224))};
      }
  }
  return clip;
}

double luma_error(const std::vector<PIXEL_YC>& a, const std::vector<PIXEL_YC>& b) {
  double sum = 0;
  for (size_t i = 0; i < a.size(); ++i) sum += std::abs(a[i].y - b[i].y);
  return sum / a.size();
}

double blockiness(const std::vector<PIXEL_YC>& f) {
  double edges = 0, inside = 0;
  int n_edges = 0, n_inside = 0;
  for (int y = 0; y < kH; ++y)
    for (int x = 0; x < kW - 1; ++x) {
      const double step = std::abs(f[y * kW + x + 1].y - f[y * kW + x].y);
      (x % 8 == 7 ? edges : inside) += step;
      ++(x % 8 == 7 ? n_edges : n_inside);
    }
  return edges / n_edges - inside / n_inside;
}

struct Scores {
  double error = 0, blockiness = 0;
};

Scores denoise(TestClip& clip, const TestClip& source, int check, bool on) {
  HostOptions o;
  o.thread_num = 2;
  StandInHost host(GetFilterTable(), o);
  EXPECT_EQ(host.init(), 1);
  host.set_check(0, 0);
  host.set_check(check, on ? 1 : 0);
  host.update(0);
  Scores s;
  for (int n = 2; n < kFrames - 2; ++n) {
    std::vector<PIXEL_YC> out(kW * kH);
    host.process(clip, n, out.data(), kW);
    s.error += luma_error(out, source.frame(n));
    s.blockiness += blockiness(out);
  }
  return s;
}

class Mpeg2Artefacts : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!have_ffmpeg()) return;
    // One folder per process: the test runner may run both tests at once.
    const auto dir = std::filesystem::temp_directory_path() /
                     ("quietloom-mpeg2-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    source_ = new TestClip(TestClip::textured(kW, kH, kFrames, 40));
    const std::string raw = (dir / "source.yuv").string(), mpg = (dir / "coded.m2v").string(),
                      back = (dir / "decoded.yuv").string();
    write_yuv420(*source_, raw);
    // Reload the source through the same 8-bit rounding, so only the coding
    // loss separates it from the decoded clip.
    *source_ = read_yuv420(raw);
    const std::string size = std::to_string(kW) + "x" + std::to_string(kH);
    const std::string encode = "ffmpeg -loglevel error -y -f rawvideo -pix_fmt yuv420p -s " +
                               size + " -r 25 -i " + raw +
                               " -c:v mpeg2video -b:v 120k -g 12 -bf 0 " + mpg;
    const std::string decode = "ffmpeg -loglevel error -y -i " + mpg +
                               " -f rawvideo -pix_fmt yuv420p " + back;
    if (std::system(encode.c_str()) == 0 && std::system(decode.c_str()) == 0)
      coded_ = new TestClip(read_yuv420(back));
    std::filesystem::remove_all(dir);
  }
  static void TearDownTestSuite() {
    delete source_;
    delete coded_;
    source_ = coded_ = nullptr;
  }
  void SetUp() override {
    if (!have_ffmpeg()) GTEST_SKIP() << "ffmpeg is not installed";
    ASSERT_NE(coded_, nullptr) << "ffmpeg could not encode the test clip";
  }
  static TestClip* source_;
  static TestClip* coded_;
};
TestClip* Mpeg2Artefacts::source_ = nullptr;
TestClip* Mpeg2Artefacts::coded_ = nullptr;

TEST_F(Mpeg2Artefacts, BlockNoiseReductionLowersBlockiness) {
  const Scores off = denoise(*coded_, *source_, 4, false);
  const Scores on = denoise(*coded_, *source_, 4, true);
  std::printf("block NR off: error %.2f blockiness %.3f; on: error %.2f blockiness %.3f\n",
              off.error, off.blockiness, on.error, on.blockiness);
  EXPECT_LT(on.blockiness, off.blockiness);
  EXPECT_LE(on.error, off.error * 1.01);
}

TEST_F(Mpeg2Artefacts, MosquitoNoiseReductionBringsTheClipCloserToItsSource) {
  const Scores off = denoise(*coded_, *source_, 3, false);
  const Scores on = denoise(*coded_, *source_, 3, true);
  std::printf("mosquito NR off: error %.2f; on: error %.2f\n", off.error, on.error);
  EXPECT_LT(on.error, off.error);
}

}  // namespace
