#pragma once
// Real picture content for tests: crops of two photos (tests/support/data),
// and clips cut from them (still or panning) with seeded Gaussian noise, as
// 8-bit 4:2:0 frames in the planar layout of a YUV4MPEG2 payload.
#include <cstdint>
#include <string>
#include <vector>

struct RealPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> planes[3];  // Y, Cb, Cr; chroma at half size both ways
};

// "garden" (a flower with smooth, blurred surroundings) or "dune" (grass,
// detail everywhere). Stops the test program when the file is missing.
const RealPicture& real_picture(const std::string& name);

using Payload = std::vector<uint8_t>;

// What a camera over the picture sees: its window, its motion, the noise.
struct CameraShot {
  int width = 256, height = 160;  // even
  int x = 0, y = 0;               // window of frame 0
  int dx = 0, dy = 0;             // whole samples per frame (even keeps chroma aligned)
  double sigma = 0;               // noise on every plane, 8-bit code units
  uint32_t seed = 1;
};

// `frames` frames of the window moving over the picture.
std::vector<Payload> real_clip(const RealPicture& picture, int frames, const CameraShot& shot);

// Frames of a that fade into b over `steps` frames (b's frames follow).
std::vector<Payload> cross_fade(const std::vector<Payload>& a, const std::vector<Payload>& b,
                                int steps);

// A YUV4MPEG2 file of 8-bit 4:2:0 frames of the given size.
void write_real_y4m(const std::string& path, int width, int height, const std::vector<Payload>& frames);
