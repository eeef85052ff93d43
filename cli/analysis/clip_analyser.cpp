#include "cli/analysis/clip_analyser.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <stdexcept>
#include <thread>

#include "cli/analysis/scene_cuts.h"

struct ClipAnalyser::Held {
  std::vector<uint8_t> payload;
  Pyramid pyramid;            // level 0 only once the picture is read
  std::optional<Picture> picture;
  ShiftSearch shift;          // from the frame before
};

namespace {

double median(std::vector<double> values) {
  if (values.empty()) return 0.0;
  const size_t k = values.size() / 2;
  std::nth_element(values.begin(), values.begin() + ptrdiff_t(k), values.end());
  return values[k];
}

// Mean |cur - prev| of each 8x8 luma block, without any shift.
void add_motion_blocks(const Plane& prev, const Plane& cur, std::vector<float>& out) {
  for (int by = 0; by + 8 <= cur.height; by += 8) {
    for (int bx = 0; bx + 8 <= cur.width; bx += 8) {
      float sum = 0;
      for (int y = by; y < by + 8; ++y) {
        const float* c = cur.row(y) + bx;
        const float* p = prev.row(y) + bx;
        for (int i = 0; i < 8; ++i) sum += std::fabs(c[i] - p[i]);
      }
      out.push_back(sum / 64.0f);
    }
  }
}

// Frames k of a scene (counted from its first) whose pair with frame k - 1
// is measured, and whose spatial figure is taken: k % kPairEvery == 1 and
// k % kSpatialEvery == 1 (and frame 0).
constexpr int kPairEvery = 6;
constexpr int kSpatialEvery = 12;

int scaled_shift(int shift, int plane_size, int luma_size) {
  return int(std::lround(double(shift) * plane_size / luma_size));
}

}  // namespace

ClipAnalyser::ClipAnalyser(const VideoFormat& format, PayloadLayout layout,
                           const AnalysisOptions& options)
    : format_(format), layout_(layout), options_(options) {}

ClipAnalyser::~ClipAnalyser() = default;

void ClipAnalyser::add_frame(const uint8_t* payload) {
  if (finished_) throw std::logic_error("ClipAnalyser: frame after the end");
  auto held = std::make_unique<Held>();
  const size_t bytes = layout_ == PayloadLayout::kHostPixels ? format_.luma_samples() * 6 : format_.frame_bytes();
  held->payload.assign(payload, payload + bytes);
  held->pyramid = build_pyramid_from_half(half_luma_from_payload(format_, layout_, payload));
  double d = 0;
  if (!held_.empty()) {
    // The full-size shift is found only for frames that are measured.
    held->shift = coarse_shift(held_.back()->pyramid, held->pyramid);
    d = held->shift.coarse_difference;
  }
  held_.push_back(std::move(held));
  if (held_.size() > 3) held_.pop_front();
  differences_.push_back(d);
  ++added_;
  if (added_ == 1) scenes_.push_back(Scene{});
  if (added_ >= 2) decide(added_ - 2);
}

void ClipAnalyser::finish() {
  if (finished_) return;
  finished_ = true;
  if (added_ == 0) return;
  decide(added_ - 1);
  Scene& last = scenes_.back();
  last.end = added_;
  if (!last.measured) close_measurement(last);
}

double ClipAnalyser::difference(int64_t f) const {
  if (f < differences_base_ || f >= differences_base_ + int64_t(differences_.size())) return 0.0;
  return differences_[size_t(f - differences_base_)];
}

void ClipAnalyser::decide(int64_t t) {
  if (t > 0) {
    const double before = t >= 2 ? difference(t - 1) : -1.0;
    const double next = t + 1 < added_ ? difference(t + 1) : -1.0;
    if (is_cut(before, difference(t), next)) {
      Scene& done = scenes_.back();
      done.end = t;
      if (!done.measured) close_measurement(done);
      Scene scene;
      scene.first = t;
      scenes_.push_back(scene);
    }
  }
  measure(t);
}

const Picture& ClipAnalyser::picture(Held& held) const {
  if (!held.picture) {
    held.picture = picture_from_payload(format_, layout_, held.payload.data());
    held.pyramid.levels[0] = held.picture->planes[0];
  }
  return *held.picture;
}

void ClipAnalyser::measure(int64_t t) {
  Scene& scene = scenes_.back();
  if (scene.measured) return;
  if (!options_.measure) {
    scene.measured = true;  // nothing to wait for
    return;
  }
  const int64_t k = t - scene.first;
  if (k >= options_.measured_frames) return;
  // held_ ends with frame added_ - 1; frame t sits that many places before.
  const size_t back = size_t(added_ - 1 - t);
  Held& cur = *held_[held_.size() - 1 - back];
  // Four frame pairs spread over the scene's first second stand for it about
  // as well as every pair would, at a fraction of the work; the spatial
  // figure is a cross-check and needs fewer frames still.
  const bool spatial = k == 0 || k % kSpatialEvery == 1;
  const bool pair = k % kPairEvery == 1;
  if (!spatial && !pair) {
    ++scene.figures.frames;
    if (k == options_.measured_frames - 1) close_measurement(scene);
    return;
  }
  Held* prev = pair ? held_[held_.size() - 2 - back].get() : nullptr;
  const Picture& b = picture(cur);
  const Picture* a = prev ? &picture(*prev) : nullptr;
  if (prev && cur.shift.level > 0) cur.shift = refine_to_full_size(prev->pyramid, cur.pyramid, cur.shift);
  const Plane& luma = b.planes[0];
  auto measure_plane = [&](int i) {
    const Plane& plane = b.planes[size_t(i)];
    if (spatial) spatial_[i].add_spatial(plane, options_.fields, b.max_code);
    if (a) {
      temporal_[i].add_temporal(a->planes[size_t(i)], plane, scaled_shift(cur.shift.x, plane.width, luma.width),
                                scaled_shift(cur.shift.y, plane.height, luma.height), b.max_code);
    }
  };
  // The chroma planes on a thread of their own: a scene's first frames wait
  // for this measurement before any of them is denoised.
  std::thread chroma([&] {
    measure_plane(1);
    measure_plane(2);
  });
  measure_plane(0);
  if (a) {
    add_motion_blocks(a->planes[0], luma, motion_blocks_);
    shifts_.push_back(std::hypot(double(cur.shift.x), double(cur.shift.y)));
    const Translation camera = refine_translation(prev->pyramid, cur.pyramid, cur.shift);
    speeds_.push_back(std::hypot(camera.x, camera.y));
  }
  chroma.join();
  ++scene.figures.frames;
  if (k == options_.measured_frames - 1) close_measurement(scene);
}

void ClipAnalyser::close_measurement(Scene& scene) {
  SceneFigures& f = scene.figures;
  if (options_.measure) {
    for (int p = 0; p < 3; ++p) {
      f.temporal_noise[p] = temporal_[p].estimate();
      f.spatial_noise[p] = spatial_[p].estimate();
      // Where the frame difference stands for the noise over much of the
      // picture, it is the better figure (it reads correlated grain right);
      // where little of it does (motion that is not a pan), content may
      // lift even the quietest blocks, and the lower of the two is taken.
      // Frames that never changed at all carry no noise; a scene of one
      // frame has only the spatial figure.
      const BlockNoise& t = temporal_[p];
      if (shifts_.empty()) {
        f.noise[p] = f.spatial_noise[p];
      } else if (t.blocks() == 0) {
        f.noise[p] = 0.0;
      } else {
        f.noise[p] = t.share_within(1.5) >= 0.3 ? f.temporal_noise[p]
                                                : std::min(f.temporal_noise[p], f.spatial_noise[p]);
      }
    }
    const double limit = 1.7 * f.noise[0] + 1.0;
    size_t moving = 0;
    for (float m : motion_blocks_) moving += m > limit ? 1 : 0;
    f.motion = motion_blocks_.empty() ? 0.0 : double(moving) / double(motion_blocks_.size());
    f.residual_motion = temporal_[0].blocks() > 0 ? 1.0 - temporal_[0].share_within(2.0) : 0.0;
    f.camera_shift = median(shifts_);
    f.camera_speed = median(speeds_);
  }
  scene.measured = true;
  for (int p = 0; p < 3; ++p) {
    temporal_[p] = BlockNoise();
    spatial_[p] = BlockNoise();
  }
  motion_blocks_.clear();
  shifts_.clear();
  speeds_.clear();
}

size_t ClipAnalyser::scene_index(int64_t f) const {
  auto it = std::upper_bound(scenes_.begin(), scenes_.end(), f,
                             [](int64_t v, const Scene& s) { return v < s.first; });
  if (it == scenes_.begin()) throw std::logic_error("ClipAnalyser: frame before the scenes held");
  return size_t(it - scenes_.begin()) - 1;
}

void ClipAnalyser::forget_before(int64_t f) {
  while (scenes_.size() > 1 && scenes_[1].first <= f) {
    scenes_.erase(scenes_.begin());
    ++scenes_base_;
  }
  // Decisions need the last two differences only.
  const int64_t keep_from = std::max<int64_t>(differences_base_, std::min(f, added_ - 2));
  if (keep_from > differences_base_) {
    differences_.erase(differences_.begin(), differences_.begin() + (keep_from - differences_base_));
    differences_base_ = keep_from;
  }
}
