#pragma once
// The host's filtering cache: frames of a clip, each in its own buffer of
// max_w x max_h pixels with stride max_w, fetched by frame number in any
// order. The cache keeps the most recently fetched frames (the number the
// module last asked for, plus a margin) and drops the least recently fetched
// one beyond that, so a pointer stays valid at least until that many other
// frames have been fetched. A dropped frame's buffer is reused for a later
// frame, as a host's cache reuses its frame memory.
//
// Every pixel outside the clip's width x height is set to kStalePixel, a
// value far outside the sample range, so that a module reading the buffer
// beyond the picture shows it in its output.
#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

#include "engine/pixel.h"

class FrameSource;

constexpr PIXEL_YC kStalePixel = {0x5A5A, 0x5A5A, 0x5A5A};

// Sets every pixel of the max_w x max_h buffer outside its top-left w x h
// area to kStalePixel.
void fill_stale_outside(PIXEL_YC* buffer, int max_w, int max_h, int w, int h);

class FilteringCache {
 public:
  // Frames kept beyond the number asked for.
  static constexpr int kMargin = 2;

  FilteringCache() = default;

  // Serves the frames of clip (not owned) in max_w x max_h buffers until
  // unbind(). The frames held are kept when the clip (the same object with
  // the same size and length) and the geometry are those of the last bind,
  // and forgotten otherwise.
  void bind(FrameSource* clip, int max_w, int max_h);
  // Stops reading the clip (fetch answers null) but keeps the frames held.
  void unbind() { clip_ = nullptr; }
  // Forgets every frame held; earlier pointers become invalid. Their
  // buffers are kept for the frames read next, so that a host that flushes
  // often (a motion-compensated run does for every frame) reads into memory
  // it has already touched.
  void flush();

  // The number of frames the module needs valid together; the cache keeps
  // max(frames, 1) + kMargin.
  void set_frames_needed(int frames);
  int capacity() const { return capacity_; }
  int frames_held() const { return static_cast<int>(entries_.size()); }

  // Frames for which fails(n) is true are not delivered (nullptr: all are).
  void set_failure(std::function<bool(int)> fails) { fails_ = std::move(fails); }

  // Frame n, or null when n lies outside the clip, the failure predicate
  // selects it, or the clip cannot read it. A frame still held is returned
  // as it is, including any change the module made to it.
  PIXEL_YC* fetch(int n);

 private:
  struct Entry {
    int frame;
    std::unique_ptr<PIXEL_YC[]> pixels;
  };

  struct Binding {
    const FrameSource* clip = nullptr;
    int width = 0, height = 0, frame_count = 0, max_w = 0, max_h = 0;
    bool operator==(const Binding&) const = default;
  };

  FrameSource* clip_ = nullptr;  // null while unbound
  Binding binding_;              // of the frames held
  int capacity_ = 1 + kMargin;
  std::function<bool(int)> fails_;
  std::vector<Entry> entries_;  // most recently fetched first
  // Buffers of the binding's geometry that hold no frame (dropped or
  // flushed frames'); the next frame read goes to the last.
  std::vector<std::unique_ptr<PIXEL_YC[]>> spares_;
};
