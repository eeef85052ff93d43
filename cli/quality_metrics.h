#pragma once
// PSNR and SSIM between two clips, accumulated plane by plane over frames.
//
// PSNR = 10 log10(peak^2 / MSE), with the squared errors of all frames of a
// plane summed before dividing; "all" pools the squared errors of the three
// planes. SSIM is the mean over 8 x 8 windows placed every 4 samples (uniform
// weights, C1 = (0.01 peak)^2, C2 = (0.03 peak)^2) of every frame; "all"
// weights the planes by their number of samples.
#include <cstdint>

struct PlaneScore {
  double squared_error = 0;
  int64_t samples = 0;
  double ssim_sum = 0;
  int64_t ssim_windows = 0;
};

class QualityMetrics {
 public:
  explicit QualityMetrics(double peak) : peak_(peak) {}

  // Adds one plane of one frame (rows `stride` values apart).
  void add_plane(int plane, const uint16_t* a, const uint16_t* b, int width, int height, int stride);
  void add_plane(int plane, const int16_t* a, const int16_t* b, int width, int height, int stride);

  double psnr(int plane) const;   // +infinity when the planes are identical
  double ssim(int plane) const;
  double psnr_all() const;
  double ssim_all() const;

 private:
  template <class T>
  void add(int plane, const T* a, const T* b, int width, int height, int stride);

  double peak_;
  PlaneScore score_[3];
};
