#pragma once
// Reads a clip on a thread of its own, a bounded number of frames ahead of
// the run loop, so that waiting for the file or the decoding ffmpeg overlaps
// with the module's work on the frames before them.
//
// Frames come out in clip order as their stored bytes (see
// ClipInput::read_payload). An error met while reading frame k (a truncated
// file, a read error) is kept and thrown by the call that asks for frame k,
// so a run fails at the same frame, with the same message, as one that reads
// on demand.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

#include "cli/clip_io/clip_input.h"

class ReadAhead {
 public:
  // ahead: frames read at most before they are asked for (at least 1);
  // first: the number of the frame the input stands at.
  ReadAhead(ClipInput& input, int ahead, int64_t first = 0);
  ~ReadAhead();  // stop()
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // Takes the next frame of the clip into `frame` (whose previous storage is
  // given to the reader for reuse). Returns false at the end of the clip;
  // throws the reader's error for this frame.
  bool next(std::vector<uint8_t>& frame);
  // Passes over the next frame: false at the end of the clip. Frames below
  // skip_before(n) are passed over by the reader without being kept.
  bool skip();
  void skip_before(int64_t n);
  // The reader stops before frame last + 1 and waits there (as it waits for
  // room), so that nothing after the last frame needed is read.
  void read_no_further_than(int64_t last);
  // Gives a frame's storage back for reuse.
  void recycle(std::vector<uint8_t>&& storage);

  // Stops and joins the reader; the clip is not read after it returns.
  void stop();

 private:
  struct Entry {
    enum Kind { kFrame, kSkipped, kEnd, kError } kind;
    std::vector<uint8_t> payload;
    std::exception_ptr error;
  };

  void run(int64_t first);
  Entry take();

  ClipInput& input_;
  const size_t ahead_;

  std::mutex mutex_;
  std::condition_variable changed_;
  std::deque<Entry> ready_;                   // decoded, not yet taken
  std::vector<std::vector<uint8_t>> spare_;   // storage for the reader to reuse
  int64_t skip_before_ = 0;
  int64_t last_ = INT64_MAX;
  bool stopping_ = false;
  std::thread thread_;
};
