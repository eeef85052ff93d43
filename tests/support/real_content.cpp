#include "support/real_content.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>

namespace {

RealPicture load(const std::string& name) {
  const std::string path = std::string(QUIETLOOM_TEST_DATA) + "/" + name + ".y4m";
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    std::fprintf(stderr, "missing test picture %s\n", path.c_str());
    std::abort();
  }
  char header[256] = {};
  if (!std::fgets(header, sizeof header, f)) std::abort();
  RealPicture p;
  if (std::sscanf(header, "YUV4MPEG2 W%d H%d", &p.width, &p.height) != 2) std::abort();
  char frame[16] = {};
  if (!std::fgets(frame, sizeof frame, f) || std::strncmp(frame, "FRAME", 5) != 0) std::abort();
  const size_t sizes[3] = {size_t(p.width) * p.height, size_t(p.width / 2) * (p.height / 2),
                           size_t(p.width / 2) * (p.height / 2)};
  for (int i = 0; i < 3; ++i) {
    p.planes[i].resize(sizes[i]);
    if (std::fread(p.planes[i].data(), 1, sizes[i], f) != sizes[i]) std::abort();
  }
  std::fclose(f);
  return p;
}

}  // namespace

const RealPicture& real_picture(const std::string& name) {
  static std::map<std::string, RealPicture> loaded;
  auto it = loaded.find(name);
  if (it == loaded.end()) it = loaded.emplace(name, load(name)).first;
  return it->second;
}

std::vector<Payload> real_clip(const RealPicture& picture, int frames, const CameraShot& shot) {
  std::mt19937 rng(shot.seed);
  std::normal_distribution<double> gauss(0.0, 1.0);
  std::vector<Payload> clip;
  for (int t = 0; t < frames; ++t) {
    Payload out;
    const int x0 = shot.x + shot.dx * t, y0 = shot.y + shot.dy * t;
    for (int p = 0; p < 3; ++p) {
      const int s = p == 0 ? 0 : 1;
      const int pw = picture.width >> s, w = shot.width >> s, h = shot.height >> s;
      for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
          const double v = picture.planes[p][size_t((y0 >> s) + y) * pw + size_t((x0 >> s) + x)] +
                           (shot.sigma > 0 ? shot.sigma * gauss(rng) : 0.0);
          out.push_back(uint8_t(std::lround(std::fmin(255.0, std::fmax(0.0, v)))));
        }
      }
    }
    clip.push_back(std::move(out));
  }
  return clip;
}

std::vector<Payload> cross_fade(const std::vector<Payload>& a, const std::vector<Payload>& b, int steps) {
  std::vector<Payload> clip = a;
  for (int k = 1; k <= steps; ++k) {
    const double w = double(k) / (steps + 1);
    Payload mix(a.back().size());
    for (size_t i = 0; i < mix.size(); ++i) {
      mix[i] = uint8_t(std::lround(a.back()[i] * (1 - w) + b.front()[i] * w));
    }
    clip.push_back(std::move(mix));
  }
  clip.insert(clip.end(), b.begin(), b.end());
  return clip;
}

void write_real_y4m(const std::string& path, int width, int height, const std::vector<Payload>& frames) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  std::fprintf(f, "YUV4MPEG2 W%d H%d F25:1 Ip A1:1 C420jpeg\n", width, height);
  for (const Payload& frame : frames) {
    std::fputs("FRAME\n", f);
    std::fwrite(frame.data(), 1, frame.size(), f);
  }
  std::fclose(f);
}
