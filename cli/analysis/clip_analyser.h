#pragma once
// Reads a clip frame by frame, in order, and splits it into scenes at the
// cuts it finds; for the first frames of each scene it measures the noise of
// each plane, how much of the picture moves and how the camera moves.
//
// What it decides about a frame depends only on the frames around it, and
// what it measures of a scene only on the scene's own first frames, so a run
// over part of a clip sees the same scenes and the same figures as a run
// over the whole clip.
//
// The cut before frame t is decided once frame t + 1 has been read, and a
// scene's figures once its first `measured_frames` frames are decided (or
// the scene ended before).
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "cli/analysis/global_motion.h"
#include "cli/analysis/noise_estimate.h"
#include "cli/analysis/picture.h"
#include "cli/video_format.h"

struct SceneFigures {
  double noise[3] = {0, 0, 0};     // per plane, 8-bit code units
  double temporal_noise[3] = {0, 0, 0};
  double spatial_noise[3] = {0, 0, 0};
  // Share of the luma blocks whose content changed beyond the noise between
  // consecutive frames, as the temporal window sees them (no compensation).
  double motion = 0;
  // The same after the camera's translation is taken out: motion that is not
  // a pan (objects, zooms, interlaced fields).
  double residual_motion = 0;
  // Median length of the camera's whole-sample shift per frame, in samples.
  double camera_shift = 0;
  // Median length of the camera's translation per frame to a fraction of a
  // sample. Objects moving over a still background draw it off zero too,
  // by a few tenths.
  double camera_speed = 0;
  int64_t frames = 0;              // frames measured
};

struct Scene {
  int64_t first = 0;
  int64_t end = -1;                // one past the last frame; -1 while not known
  bool measured = false;           // figures final
  SceneFigures figures;
};

struct AnalysisOptions {
  bool measure = true;             // false: cuts only
  bool fields = false;             // interlaced: spatial figures per field
  int measured_frames = 25;        // frames of a scene that its figures come from
};

class ClipAnalyser {
 public:
  ClipAnalyser(const VideoFormat& format, PayloadLayout layout, const AnalysisOptions& options);
  ~ClipAnalyser();

  // The next frame of the clip, as stored.
  void add_frame(const uint8_t* payload);
  // The clip ended: every decision is final.
  void finish();

  int64_t frames_added() const { return added_; }
  // Frames whose scene is known: every frame before this one.
  int64_t decided() const { return finished_ ? added_ : std::max<int64_t>(0, added_ - 1); }
  bool finished() const { return finished_; }
  // Scenes in order; the last one may still be open (end -1).
  const std::vector<Scene>& scenes() const { return scenes_; }
  // The scene that frame f belongs to, as an index into scenes(); f <
  // decided() and f not before the scenes forgotten.
  size_t scene_index(int64_t f) const;
  // Scenes forgotten before scenes()[0].
  int64_t scenes_before() const { return scenes_base_; }
  // The scenes no longer needed before frame f can be forgotten.
  void forget_before(int64_t f);

  // The frame difference behind the cut decision of each frame still held
  // (for the analyse command's detail and for tests).
  double difference(int64_t f) const;

 private:
  struct Held;
  const Picture& picture(Held& held) const;
  void decide(int64_t t);
  void measure(int64_t t);
  void close_measurement(Scene& scene);

  VideoFormat format_;
  PayloadLayout layout_;
  AnalysisOptions options_;
  std::deque<std::unique_ptr<Held>> held_;  // the last three frames
  std::vector<double> differences_;          // d[t], from differences_base_
  int64_t differences_base_ = 0;
  std::vector<Scene> scenes_;
  int64_t scenes_base_ = 0;                   // scenes forgotten before scenes_[0]
  int64_t added_ = 0;
  bool finished_ = false;

  // The measurement of the newest scene.
  BlockNoise temporal_[3], spatial_[3];
  std::vector<float> motion_blocks_;          // luma blocks' mean |difference|, uncompensated
  std::vector<double> shifts_;
  std::vector<double> speeds_;  // to a fraction of a sample
};
