#pragma once
// Small generated clips held in memory, served to the stand-in host.
#include <cstdint>
#include <functional>
#include <vector>

#include "engine/pixel.h"
#include "host/stand_in_host.h"

class TestClip : public FrameSource {
 public:
  TestClip(int width, int height, int frames);
  int width() const override { return width_; }
  int height() const override { return height_; }
  int frame_count() const override { return static_cast<int>(frames_.size()); }
  bool read_frame(int n, PIXEL_YC* dst, int stride) override;

  std::vector<PIXEL_YC>& frame(int n) { return frames_[n]; }
  const std::vector<PIXEL_YC>& frame(int n) const { return frames_[n]; }
  PIXEL_YC& at(int n, int x, int y) { return frames_[n][y * width_ + x]; }

  // Fills every frame from f(frame, x, y).
  void fill(const std::function<PIXEL_YC(int, int, int)>& f);
  // A moving textured picture: gradients, a sine texture and a moving block;
  // chroma shared by pixel pairs.
  static TestClip textured(int width, int height, int frames, uint32_t seed);
  // Adds Gaussian noise of the given standard deviation to luma (and chroma
  // when chroma_sigma > 0).
  void add_noise(double luma_sigma, double chroma_sigma, uint32_t seed);
  // Gives pixels 2k and 2k + 1 of every row the chroma of pixel 2k, as in
  // frames the host makes from 4:2:2 video: the module keeps one chroma
  // sample per pixel pair.
  void share_chroma_in_pairs();

 private:
  int width_, height_;
  std::vector<std::vector<PIXEL_YC>> frames_;
};

// PSNR of luma between two equally sized frames, peak 4096.
double luma_psnr(const std::vector<PIXEL_YC>& a, const std::vector<PIXEL_YC>& b);
