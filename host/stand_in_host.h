#pragma once
// A stand-in for the video editor: it loads nothing, but plays the host's part
// for a module reached through its plug-in table. It owns the FILTER record
// with the track and check arrays, the EXFUNC services and the
// FILTER_PROC_INFO of each call; its filtering cache serves frames of a clip
// as buffers of max_w x max_h pixels with stride max_w; exec_multi_thread_func
// runs on a persistent pool of workers.
//
// The EXFUNC services are plain function pointers without a context, so one
// StandInHost at a time may be active in a process: constructing a second
// one while another exists stops the program with a message. The services
// other than exec_multi_thread_func keep unlocked counters and expect to be
// called from the thread that entered the module's callback, as the module
// does.
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "plugin/host_api.h"

// A clip the host can fetch frames from, in any order.
class FrameSource {
 public:
  virtual ~FrameSource() = default;
  virtual int width() const = 0;
  virtual int height() const = 0;
  virtual int frame_count() const = 0;
  // Writes frame n (0 <= n < frame_count) as height() rows of width() pixels
  // at dst, rows `stride` pixels apart. Returns false when it cannot.
  virtual bool read_frame(int n, PIXEL_YC* dst, int stride) = 0;
  // A source that already holds frame n in a width() x height() buffer of
  // its own may hand that buffer over instead of copying it: it takes
  // `buffer` (of the same size, or null) in exchange and answers true.
  // False: it changed nothing, and the frame is to be read.
  virtual bool exchange_frame(int /*n*/, std::unique_ptr<PIXEL_YC[]>& /*buffer*/) { return false; }
};

struct HostOptions {
  int thread_num = 0;  // workers behind exec_multi_thread_func; 0 = number of cores
  int max_w = 0;       // frame buffer width; 0 = the clip width rounded up to 16
  int max_h = 0;       // frame buffer height; 0 = the clip height rounded up to 16
                       // (a size below the clip's stops the program)
  // ycp_temp is filled with kStalePixel before every call, so that a module
  // that reads what it did not write shows it. A caller that trusts the
  // module may turn this off and save writing a frame's worth per call.
  bool stale_temp = true;
};

// Every service call counts in its service's counter, whatever its context;
// one with a foreign context counts in foreign_context_calls as well.
struct HostCounters {
  int set_cache_size_calls = 0;
  int last_cache_size = 0;         // the d argument of the last call
  int last_cache_width = 0;        // its w, h and flag arguments
  int last_cache_height = 0;
  int last_cache_flag = 0;
  int filter_window_update_calls = 0;
  int is_filter_active_calls = 0;
  int exec_multi_thread_calls = 0;
  std::vector<int> fetched;        // frame numbers asked of get_ycp_filtering_cache_ex
  // Service calls whose fp is not this host's record, or whose editp is not
  // the host's edit handle; they are answered with 0 or null.
  int foreign_context_calls = 0;
};

class StandInHost {
 public:
  StandInHost(FILTER_DLL* table, const HostOptions& options);
  ~StandInHost();  // calls func_exit when init() succeeded and exit() was not called
  StandInHost(const StandInHost&) = delete;
  StandInHost& operator=(const StandInHost&) = delete;

  FILTER* filter();              // the record every callback receives
  int thread_num() const;

  void set_track(int index, int value);  // changes the value only; see update()
  void set_check(int index, int value);
  int track(int index) const;
  int check(int index) const;

  BOOL init();                   // func_init, then func_update(fp, 0)
  BOOL update(int status);       // func_update
  BOOL exit();                   // func_exit
  BOOL save_start();             // func_save_start
  BOOL window_message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);

  // Renders frame n of the clip through func_proc: ycp_edit starts as frame n,
  // the result (width() x height() of the clip) is copied to out with stride
  // out_stride. Returns func_proc's result.
  // Both frame buffers, and every frame the filtering cache serves, hold
  // kStalePixel (host/filtering_cache.h) outside the clip's picture. The
  // cache serves the clip only during the call and keeps its frames across
  // calls with the same clip object and geometry. Answers 0 without calling
  // the module when n is outside the clip or the clip cannot read it, and 0
  // without copying when func_proc leaves ycp_edit pointing at neither of the
  // host's two buffers (swapping ycp_edit and ycp_temp is allowed).
  BOOL process(FrameSource& clip, int n, PIXEL_YC* out, int out_stride);
  // The same with `frame` itself as ycp_edit: a buffer of max_w x max_h
  // pixels (stride max_w) that receives frame n and the stale pattern around
  // it, and holds the result in its top-left width() x height() pixels when
  // func_proc returns (the rest as the module left it). Saves the copy.
  BOOL process_into(FrameSource& clip, int n, PIXEL_YC* frame);

  void set_filter_active(bool active);   // what is_filter_active answers
  // Makes get_ycp_filtering_cache_ex answer null for the frames where the
  // predicate is true (nullptr: deliver every frame).
  void set_fetch_failure(std::function<bool(int)> fails);
  // Drops every frame the filtering cache holds, as a host does when the
  // clip or an earlier filter changes; pointers fetched before are invalid.
  void flush_filtering_cache();
  const HostCounters& counters() const;
  void reset_counters();

  // The FILTER_PROC_INFO of the last process() call, as func_proc left it.
  const FILTER_PROC_INFO& last_proc_info() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};
