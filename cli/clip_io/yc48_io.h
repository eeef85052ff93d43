#pragma once
// Raw host frames (.yc48): no header, each frame height rows of width pixels,
// each pixel three little-endian signed 16-bit values y, cb, cr. The frame
// size comes from the command line.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "engine/pixel.h"

class Yc48Reader {
 public:
  Yc48Reader(std::FILE* file, std::string name, int width, int height);
  size_t frame_bytes() const { return raw_.size(); }
  // Reads the next frame into dst (width x height, rows `stride` pixels
  // apart). Returns false at the clean end of the file; a partial frame is a
  // ToolError.
  bool read_frame(PIXEL_YC* dst, int stride);
  // Reads the next frame's bytes (frame_bytes()) into dst.
  bool read_payload(uint8_t* dst);
  // Unpacks a frame's bytes into dst: rows first_row .. end_row - 1 (end_row
  // < 0: through the last).
  void payload_to_host(const uint8_t* payload, PIXEL_YC* dst, int stride, int first_row = 0,
                       int end_row = -1) const;
  bool skip_frame();
  int64_t frames_read() const { return frames_read_; }
  // The file was moved to the start of frame n from outside.
  void moved_to_frame(int64_t n) { frames_read_ = n; }

 private:

  std::FILE* file_;
  std::string name_;
  int width_, height_;
  int64_t frames_read_ = 0;
  std::vector<uint8_t> raw_;
};

class Yc48Writer {
 public:
  Yc48Writer(std::FILE* file, std::string name, int width, int height);
  void write_frame(const PIXEL_YC* src, int stride);

 private:
  std::FILE* file_;
  std::string name_;
  int width_, height_;
  std::vector<uint8_t> raw_;
};
