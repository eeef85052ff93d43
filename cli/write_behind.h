#pragma once
// Converts and writes rendered frames on a thread of its own, so that the
// run loop renders the next frame while the last one is being written.
//
// The run loop renders into a buffer from acquire(), hands it over with
// submit() and ends with finish(). A write error is thrown by the next
// acquire(), submit() or finish(). Destroying the object without finish()
// abandons the frames not yet written (the run failed).
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/clip_io/clip_output.h"

class WriteBehind {
 public:
  // Frames of `pixels` pixels, rows `stride` apart; at most `depth` frames
  // (at least 1) wait to be written while another is rendered.
  WriteBehind(ClipOutput& output, size_t pixels, int stride, int depth);
  ~WriteBehind();
  WriteBehind(const WriteBehind&) = delete;
  WriteBehind& operator=(const WriteBehind&) = delete;

  // A buffer to render the next frame into; waits for one to be free.
  PIXEL_YC* acquire();
  // Queues the acquired buffer for writing.
  void submit();
  // Waits until every submitted frame is written, then completes the output.
  void finish();

 private:
  void run();
  void stop();
  void throw_if_failed();  // with mutex_ held

  ClipOutput& output_;
  const int stride_;
  const size_t pixels_;
  const int buffer_limit_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::vector<PIXEL_YC>> free_;  // buffers ready to render into
  std::deque<std::vector<PIXEL_YC>> queued_; // rendered, to be written in order
  std::vector<PIXEL_YC> current_;            // the buffer being rendered
  int buffers_ = 0;                          // buffers made so far
  bool writing_ = false;                     // the writer holds a frame
  bool stopping_ = false;
  std::exception_ptr error_;
  std::thread thread_;
};
