#include "host/stand_in_host.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "host/filtering_cache.h"
#include "host/worker_pool.h"
#if !defined(_WIN32)
#include "host/win32_stand_ins.h"
#endif

namespace {

// The edit handle the host passes as editp: the module only hands it back.
char g_edit_handle;

[[noreturn]] void misuse(const char* what) {
  std::fprintf(stderr, "StandInHost: %s\n", what);
  std::abort();
}

int round_up_16(int v) { return (v + 15) / 16 * 16; }

}  // namespace

struct StandInHost::Impl {
  FILTER_DLL* table;
  HostOptions options;
  FILTER filter = {};
  EXFUNC exfunc = {};
  std::vector<int32_t> tracks;
  std::vector<int32_t> checks;
  WorkerPool pool;
  FilteringCache cache;
  HostCounters counters;
  bool filter_active = true;
  bool initialised = false;
  bool exit_called = false;
  int last_frame_count = 0;
  int clip_w = 0;  // size of the clip of the current process() call
  int clip_h = 0;
  FILTER_PROC_INFO proc_info = {};
  std::vector<PIXEL_YC> edit;
  std::vector<PIXEL_YC> temp;

  // The host whose services the module reaches through EXFUNC (see the
  // header: one at a time).
  static Impl* active;

  Impl(FILTER_DLL* t, const HostOptions& o) : table(t), options(o), pool(o.thread_num) {}

  void buffer_size(const FrameSource& clip, int& max_w, int& max_h) const;
  const PIXEL_YC* run_frame(FrameSource& clip, int n, PIXEL_YC* edit_buffer, BOOL& result);

  static Impl& active_host() {
    if (active == nullptr) misuse("a host service was called while no host exists");
    return *active;
  }

  bool own_record(FILTER* fp) {
    if (fp == &filter) return true;
    ++counters.foreign_context_calls;
    return false;
  }

  // The EXFUNC services.
  static BOOL filter_window_update(FILTER* fp) {
    Impl& host = active_host();
    ++host.counters.filter_window_update_calls;
    if (!host.own_record(fp)) return 0;
    return 1;
  }

  static BOOL is_filter_active(FILTER* fp) {
    Impl& host = active_host();
    ++host.counters.is_filter_active_calls;
    if (!host.own_record(fp)) return 0;
    return host.filter_active ? 1 : 0;
  }

  static BOOL set_ycp_filtering_cache_size(FILTER* fp, int w, int h, int d, int flag) {
    Impl& host = active_host();
    ++host.counters.set_cache_size_calls;
    if (!host.own_record(fp)) return 0;
    host.counters.last_cache_size = d;
    host.counters.last_cache_width = w;
    host.counters.last_cache_height = h;
    host.counters.last_cache_flag = flag;
    host.cache.set_frames_needed(d);
    return 1;
  }

  static PIXEL_YC* get_ycp_filtering_cache_ex(FILTER* fp, void* editp, int n, int* w, int* h) {
    Impl& host = active_host();
    host.counters.fetched.push_back(n);
    if (!host.own_record(fp)) return nullptr;
    if (editp != &g_edit_handle) {
      ++host.counters.foreign_context_calls;
      return nullptr;
    }
    PIXEL_YC* frame = host.cache.fetch(n);
    if (frame != nullptr) {
      if (w != nullptr) *w = host.clip_w;
      if (h != nullptr) *h = host.clip_h;
    }
    return frame;
  }

  static BOOL exec_multi_thread_func(MULTI_THREAD_FUNC func, void* param1, void* param2) {
    Impl& host = active_host();
    ++host.counters.exec_multi_thread_calls;
    if (func == nullptr) return 0;
    host.pool.run(func, param1, param2);
    return 1;
  }
};

StandInHost::Impl* StandInHost::Impl::active = nullptr;

StandInHost::StandInHost(FILTER_DLL* table, const HostOptions& options) {
  if (Impl::active != nullptr) misuse("only one StandInHost may exist at a time");
  if (table == nullptr) misuse("no plug-in table");
  impl_ = std::make_unique<Impl>(table, options);
  Impl& host = *impl_;
  Impl::active = &host;

  // Like the editor, start from a copy of the table and give the copy the
  // host's own arrays and services.
  host.filter = *table;
  host.tracks.assign(std::max(table->track_n, 0), 0);
  host.checks.assign(std::max(table->check_n, 0), 0);
  if (table->track_default != nullptr)
    std::copy_n(table->track_default, host.tracks.size(), host.tracks.begin());
  if (table->check_default != nullptr)
    std::copy_n(table->check_default, host.checks.size(), host.checks.begin());
  host.filter.track = host.tracks.data();
  host.filter.check = host.checks.data();

  host.exfunc.filter_window_update = &Impl::filter_window_update;
  host.exfunc.is_filter_active = &Impl::is_filter_active;
  host.exfunc.set_ycp_filtering_cache_size = &Impl::set_ycp_filtering_cache_size;
  host.exfunc.get_ycp_filtering_cache_ex = &Impl::get_ycp_filtering_cache_ex;
  host.exfunc.exec_multi_thread_func = &Impl::exec_multi_thread_func;
  host.filter.exfunc = &host.exfunc;

#if defined(_WIN32)
  // Real window functions see these handles, so they must be real ones.
  host.filter.dll_hinst = GetModuleHandleA(nullptr);
  host.filter.hwnd = nullptr;
#else
  host.filter.dll_hinst = reinterpret_cast<HINSTANCE>(static_cast<uintptr_t>(0x10000000));
  host.filter.hwnd = fake_settings_window();
#endif
}

StandInHost::~StandInHost() {
  Impl& host = *impl_;
  if (host.initialised && !host.exit_called && host.table->func_exit != nullptr)
    host.table->func_exit(&host.filter);
  Impl::active = nullptr;
}

FILTER* StandInHost::filter() { return &impl_->filter; }
int StandInHost::thread_num() const { return impl_->pool.size(); }

void StandInHost::set_track(int index, int value) {
  if (index < 0 || index >= static_cast<int>(impl_->tracks.size())) misuse("no such track");
  impl_->tracks[index] = value;
}

void StandInHost::set_check(int index, int value) {
  if (index < 0 || index >= static_cast<int>(impl_->checks.size())) misuse("no such check");
  impl_->checks[index] = value;
}

int StandInHost::track(int index) const {
  if (index < 0 || index >= static_cast<int>(impl_->tracks.size())) misuse("no such track");
  return impl_->tracks[index];
}

int StandInHost::check(int index) const {
  if (index < 0 || index >= static_cast<int>(impl_->checks.size())) misuse("no such check");
  return impl_->checks[index];
}

BOOL StandInHost::init() {
  Impl& host = *impl_;
  BOOL result = host.table->func_init != nullptr ? host.table->func_init(&host.filter) : 1;
  if (result == 0) return 0;
  host.initialised = true;
  host.exit_called = false;
  return update(0);
}

BOOL StandInHost::update(int status) {
  Impl& host = *impl_;
  if (host.table->func_update == nullptr) return 1;
  return host.table->func_update(&host.filter, status);
}

BOOL StandInHost::exit() {
  Impl& host = *impl_;
  host.exit_called = true;
  if (host.table->func_exit == nullptr) return 1;
  return host.table->func_exit(&host.filter);
}

BOOL StandInHost::save_start() {
  Impl& host = *impl_;
  if (host.table->func_save_start == nullptr) return 1;
  return host.table->func_save_start(&host.filter, 0, std::max(host.last_frame_count - 1, 0),
                                     &g_edit_handle);
}

BOOL StandInHost::window_message(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
  Impl& host = *impl_;
  if (host.table->func_WndProc == nullptr) return 0;
  return host.table->func_WndProc(hwnd, message, wparam, lparam, &g_edit_handle, &host.filter);
}

// The frame buffers' size for a clip.
void StandInHost::Impl::buffer_size(const FrameSource& clip, int& max_w, int& max_h) const {
  const int w = clip.width();
  const int h = clip.height();
  max_w = options.max_w > 0 ? options.max_w : round_up_16(w);
  max_h = options.max_h > 0 ? options.max_h : round_up_16(h);
  if (max_w < w || max_h < h) misuse("frame buffers smaller than the clip");
}

const PIXEL_YC* StandInHost::Impl::run_frame(FrameSource& clip, int n, PIXEL_YC* edit_buffer,
                                             BOOL& result) {
  int max_w = 0, max_h = 0;
  buffer_size(clip, max_w, max_h);
  const int w = clip.width();
  const int h = clip.height();
  if (n < 0 || n >= clip.frame_count()) return nullptr;
  last_frame_count = clip.frame_count();
  clip_w = w;
  clip_h = h;

  // ycp_edit receives the frame over the picture and the stale pattern
  // around it; ycp_temp, which the module may have written anywhere, is
  // stale all over (unless the caller turned that off). The buffers keep
  // their storage from call to call.
  const size_t size = static_cast<size_t>(max_w) * max_h;
  if (temp.size() != size) {
    temp.assign(size, kStalePixel);
  } else if (options.stale_temp) {
    std::fill(temp.begin(), temp.end(), kStalePixel);
  }
  fill_stale_outside(edit_buffer, max_w, max_h, w, h);
  if (!clip.read_frame(n, edit_buffer, max_w)) return nullptr;

  FILTER_PROC_INFO& info = proc_info;
  info = {};
  info.ycp_edit = edit_buffer;
  info.ycp_temp = temp.data();
  info.w = w;
  info.h = h;
  info.max_w = max_w;
  info.max_h = max_h;
  info.frame = n;
  info.frame_n = clip.frame_count();
  info.org_w = w;
  info.org_h = h;
  info.editp = &g_edit_handle;
  info.yc_size = static_cast<int32_t>(sizeof(PIXEL_YC));
  info.line_size = max_w * info.yc_size;

  cache.bind(&clip, max_w, max_h);
  result = table->func_proc != nullptr ? table->func_proc(&filter, &info) : 0;
  cache.unbind();

  // A filter may hand its result back in either buffer by swapping the two
  // pointers; anything else is not a frame of this host.
  const PIXEL_YC* done = info.ycp_edit;
  if (done != edit_buffer && done != temp.data()) return nullptr;
  return done;
}

BOOL StandInHost::process(FrameSource& clip, int n, PIXEL_YC* out, int out_stride) {
  Impl& host = *impl_;
  int max_w = 0, max_h = 0;
  host.buffer_size(clip, max_w, max_h);
  const size_t size = static_cast<size_t>(max_w) * max_h;
  if (host.edit.size() != size) host.edit.resize(size);
  BOOL result = 0;
  const PIXEL_YC* done = host.run_frame(clip, n, host.edit.data(), result);
  if (done == nullptr) return 0;
  if (out != nullptr) {
    for (int y = 0; y < clip.height(); ++y)
      std::memcpy(out + static_cast<size_t>(y) * out_stride, done + static_cast<size_t>(y) * max_w,
                  sizeof(PIXEL_YC) * clip.width());
  }
  return result;
}

BOOL StandInHost::process_into(FrameSource& clip, int n, PIXEL_YC* frame) {
  Impl& host = *impl_;
  int max_w = 0, max_h = 0;
  host.buffer_size(clip, max_w, max_h);
  BOOL result = 0;
  const PIXEL_YC* done = host.run_frame(clip, n, frame, result);
  if (done == nullptr) return 0;
  if (done != frame) {
    // The module swapped its result into ycp_temp.
    for (int y = 0; y < clip.height(); ++y)
      std::memcpy(frame + static_cast<size_t>(y) * max_w, done + static_cast<size_t>(y) * max_w,
                  sizeof(PIXEL_YC) * clip.width());
  }
  return result;
}

void StandInHost::set_filter_active(bool active) { impl_->filter_active = active; }

void StandInHost::set_fetch_failure(std::function<bool(int)> fails) {
  impl_->cache.set_failure(std::move(fails));
}

void StandInHost::flush_filtering_cache() { impl_->cache.flush(); }

const HostCounters& StandInHost::counters() const { return impl_->counters; }
void StandInHost::reset_counters() { impl_->counters = HostCounters{}; }

const FILTER_PROC_INFO& StandInHost::last_proc_info() const { return impl_->proc_info; }
