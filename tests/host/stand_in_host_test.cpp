#include "host/stand_in_host.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "generated_clip.h"
#include "host/filtering_cache.h"
#if !defined(_WIN32)
#include "host/win32_stand_ins.h"
#endif

// A tiny module that exercises the host the way a filter does: its frame
// callback asks for cache room, fetches the current frame and its two
// neighbours through the host's services and writes a weighted average of
// them on the host's workers, each worker taking a band of rows and marking
// its rows with its thread_id.
namespace {

const char* const kTrackNames[] = {"Alpha", "Beta"};
const int32_t kTrackDefaults[] = {3, -4};
const int32_t kTrackMin[] = {0, -10};
const int32_t kTrackMax[] = {9, 10};
const char* const kCheckNames[] = {"One", "Two", "Three"};
const int32_t kCheckDefaults[] = {1, 0, 1};

// What the fake module saw and did.
struct FakeModuleLog {
  std::vector<std::string> calls;
  FILTER* fp = nullptr;
  FILTER_PROC_INFO entry = {};    // fpip as received
  int edit_wrong = 0;             // ycp_edit pixels not as preloaded
  int temp_not_stale = 0;         // ycp_temp pixels not stale
  bool fetched_null[3] = {};      // frames n-1, n, n+1
  int fetched_w = 0, fetched_h = 0;
  int save_start_e = -1;
  void* save_start_editp = nullptr;
  void* wndproc_editp = nullptr;
  bool swap_buffers = false;      // hand the result back in ycp_temp
};
FakeModuleLog g_log;

struct PassParams {
  const PIXEL_YC* frames[3];  // previous, current, next; null when missing
  int width;
};

// The pass: rows [t*h/n, (t+1)*h/n) of the padded frame, h being fpip->h.
void average_pass(int thread_id, int thread_num, void* param1, void* param2) {
  const auto* params = static_cast<const PassParams*>(param1);
  auto* fpip = static_cast<FILTER_PROC_INFO*>(param2);
  PIXEL_YC* out = g_log.swap_buffers ? fpip->ycp_temp : fpip->ycp_edit;
  const PIXEL_YC* cur = params->frames[1];
  for (int y = thread_id * fpip->h / thread_num; y < (thread_id + 1) * fpip->h / thread_num;
       ++y) {
    for (int x = 0; x < params->width; ++x) {
      const int i = y * fpip->max_w + x;
      if (cur == nullptr) {
        out[i] = {0, 0, static_cast<int16_t>(thread_id)};
        continue;
      }
      const PIXEL_YC& prev = params->frames[0] ? params->frames[0][i] : cur[i];
      const PIXEL_YC& next = params->frames[2] ? params->frames[2][i] : cur[i];
      out[i] = {static_cast<int16_t>((prev.y + 2 * cur[i].y + next.y) / 4), cur[i].cb,
                static_cast<int16_t>(thread_id)};
    }
  }
}

BOOL fake_proc(FILTER* fp, FILTER_PROC_INFO* fpip) {
  g_log.calls.push_back("proc");
  g_log.fp = fp;
  g_log.entry = *fpip;
  g_log.edit_wrong = 0;
  g_log.temp_not_stale = 0;
  for (int y = 0; y < fpip->max_h; ++y) {
    for (int x = 0; x < fpip->max_w; ++x) {
      const int i = y * fpip->max_w + x;
      const PIXEL_YC expected = x < fpip->w && y < fpip->h
                                    ? GeneratedClip::pixel(fpip->frame, x, y)
                                    : kStalePixel;
      if (!same_pixel(fpip->ycp_edit[i], expected)) ++g_log.edit_wrong;
      if (!same_pixel(fpip->ycp_temp[i], kStalePixel)) ++g_log.temp_not_stale;
    }
  }

  const EXFUNC* ex = fp->exfunc;
  ex->set_ycp_filtering_cache_size(fp, fpip->max_w, fpip->max_h, 3, 0);
  PassParams params = {{}, fpip->w};
  for (int k = -1; k <= 1; ++k) {
    int w = -1, h = -1;
    params.frames[k + 1] = ex->get_ycp_filtering_cache_ex(fp, fpip->editp, fpip->frame + k, &w, &h);
    g_log.fetched_null[k + 1] = params.frames[k + 1] == nullptr;
    if (k == 0) {
      g_log.fetched_w = w;
      g_log.fetched_h = h;
    }
  }

  // Work over the padded height like a real filter, then give the frame its
  // own size back.
  const int w = fpip->w, h = fpip->h;
  fpip->h = (h + 15) / 16 * 16;
  ex->exec_multi_thread_func(&average_pass, &params, fpip);
  fpip->w = w;
  fpip->h = h;
  if (g_log.swap_buffers) std::swap(fpip->ycp_edit, fpip->ycp_temp);
  return 1;
}

BOOL fake_init(FILTER*) {
  g_log.calls.push_back("init");
  return 1;
}
BOOL fake_exit(FILTER*) {
  g_log.calls.push_back("exit");
  return 1;
}
BOOL fake_update(FILTER*, int status) {
  g_log.calls.push_back("update " + std::to_string(status));
  return 1;
}
BOOL fake_save_start(FILTER*, int s, int e, void* editp) {
  g_log.calls.push_back("save_start " + std::to_string(s));
  g_log.save_start_e = e;
  g_log.save_start_editp = editp;
  return 1;
}
// A click on control 40001 asks the host whether the filter is on, redraws
// the settings window and answers the host's answer.
BOOL fake_wndproc(HWND, UINT message, WPARAM wparam, LPARAM, void* editp, FILTER* fp) {
  g_log.calls.push_back("wndproc " + std::to_string(message));
  g_log.wndproc_editp = editp;
  if (message != 0x0111 || (wparam & 0xFFFF) != 40001) return 0;
  const BOOL active = fp->exfunc->is_filter_active(fp);
  fp->exfunc->filter_window_update(fp);
  return active;
}

FILTER_DLL make_table() {
  FILTER_DLL table = {};
  table.flag = FILTER_FLAG_EX_INFORMATION;
  table.name = "Fake";
  table.track_n = 2;
  table.track_name = kTrackNames;
  table.track_default = kTrackDefaults;
  table.track_s = kTrackMin;
  table.track_e = kTrackMax;
  table.check_n = 3;
  table.check_name = kCheckNames;
  table.check_default = kCheckDefaults;
  table.func_proc = &fake_proc;
  table.func_init = &fake_init;
  table.func_exit = &fake_exit;
  table.func_update = &fake_update;
  table.func_WndProc = &fake_wndproc;
  table.information = "Fake 1.0";
  table.func_save_start = &fake_save_start;
  return table;
}

class StandInHostTest : public ::testing::Test {
 protected:
  void SetUp() override { g_log = FakeModuleLog{}; }
  FILTER_DLL table = make_table();
};

// The worker that owns row y when h rows are split over n workers.
int row_owner(int y, int h, int n) {
  for (int t = 0; t < n; ++t)
    if (y >= t * h / n && y < (t + 1) * h / n) return t;
  return -1;
}

}  // namespace

TEST_F(StandInHostTest, RecordCopiesTheTableWithItsOwnArraysAndServices) {
  StandInHost host(&table, HostOptions{2, 0, 0});
  FILTER* fp = host.filter();
  ASSERT_NE(fp, nullptr);
  EXPECT_NE(fp, &table);
  EXPECT_EQ(fp->flag, table.flag);
  EXPECT_EQ(fp->name, table.name);
  EXPECT_EQ(fp->track_n, 2);
  EXPECT_EQ(fp->track_name, table.track_name);
  EXPECT_EQ(fp->track_s, table.track_s);
  EXPECT_EQ(fp->track_e, table.track_e);
  EXPECT_EQ(fp->check_n, 3);
  EXPECT_EQ(fp->information, table.information);
  EXPECT_EQ(fp->func_proc, table.func_proc);
  EXPECT_EQ(fp->func_WndProc, table.func_WndProc);
  EXPECT_NE(fp->dll_hinst, nullptr);

  ASSERT_NE(fp->track, nullptr);
  ASSERT_NE(fp->check, nullptr);
  EXPECT_EQ(table.track, nullptr) << "the module's table is left as it was";
  EXPECT_EQ(fp->track[0], 3);
  EXPECT_EQ(fp->track[1], -4);
  EXPECT_EQ(fp->check[0], 1);
  EXPECT_EQ(fp->check[1], 0);
  EXPECT_EQ(fp->check[2], 1);
  host.set_track(1, 7);
  host.set_check(1, 1);
  EXPECT_EQ(fp->track[1], 7);
  EXPECT_EQ(host.track(1), 7);
  EXPECT_EQ(fp->check[1], 1);
  EXPECT_EQ(host.check(1), 1);
  EXPECT_EQ(kTrackDefaults[1], -4);

  ASSERT_NE(fp->exfunc, nullptr);
  EXPECT_NE(fp->exfunc->filter_window_update, nullptr);
  EXPECT_NE(fp->exfunc->is_filter_active, nullptr);
  EXPECT_NE(fp->exfunc->set_ycp_filtering_cache_size, nullptr);
  EXPECT_NE(fp->exfunc->get_ycp_filtering_cache_ex, nullptr);
  EXPECT_NE(fp->exfunc->exec_multi_thread_func, nullptr);
  EXPECT_EQ(host.thread_num(), 2);
}

TEST_F(StandInHostTest, LifecycleCallsReachTheModuleInOrder) {
  {
    StandInHost host(&table, HostOptions{1, 0, 0});
    EXPECT_EQ(host.init(), 1);
    EXPECT_EQ(host.update(0x10001), 1);
    EXPECT_EQ(host.save_start(), 1);
    EXPECT_EQ(host.exit(), 1);
  }
  const std::vector<std::string> expected = {"init", "update 0", "update 65537", "save_start 0",
                                             "exit"};
  EXPECT_EQ(g_log.calls, expected) << "exit must not be called again on destruction";
  EXPECT_NE(g_log.save_start_editp, nullptr);

  g_log.calls.clear();
  { StandInHost host(&table, HostOptions{1, 0, 0}); }
  EXPECT_TRUE(g_log.calls.empty()) << "no init, so no exit";

  { StandInHost host(&table, HostOptions{1, 0, 0}); host.init(); }
  EXPECT_EQ(g_log.calls.back(), "exit") << "an initialised module is shut down";
}

TEST_F(StandInHostTest, ProcessPreloadsTheFrameFetchesThroughTheCacheAndRunsThePass) {
  constexpr int kW = 21, kH = 13, kFrames = 6, kPaddedH = 16;
  GeneratedClip clip(kW, kH, kFrames);
  for (const HostOptions options :
       {HostOptions{1, 0, 0}, HostOptions{2, 0, 0}, HostOptions{3, 48, 20},
        HostOptions{4, 0, 0}}) {
    StandInHost host(&table, options);
    const int max_w = options.max_w > 0 ? options.max_w : 32;
    const int max_h = options.max_h > 0 ? options.max_h : 16;
    for (int n : {0, 2, kFrames - 1}) {
      SCOPED_TRACE(testing::Message() << options.thread_num << " workers, frame " << n);
      host.reset_counters();
      constexpr int kOutStride = kW + 3;
      const PIXEL_YC guard = {-1, -2, -3};
      std::vector<PIXEL_YC> out(kOutStride * (kH + 1), guard);
      ASSERT_EQ(host.process(clip, n, out.data(), kOutStride), 1);

      // What the module received.
      EXPECT_EQ(g_log.fp, host.filter());
      EXPECT_EQ(g_log.entry.w, kW);
      EXPECT_EQ(g_log.entry.h, kH);
      EXPECT_EQ(g_log.entry.max_w, max_w);
      EXPECT_EQ(g_log.entry.max_h, max_h);
      EXPECT_EQ(g_log.entry.frame, n);
      EXPECT_EQ(g_log.entry.frame_n, kFrames);
      EXPECT_NE(g_log.entry.editp, nullptr);
      EXPECT_EQ(g_log.edit_wrong, 0);
      EXPECT_EQ(g_log.temp_not_stale, 0);
      EXPECT_EQ(g_log.fetched_w, kW);
      EXPECT_EQ(g_log.fetched_h, kH);
      EXPECT_EQ(g_log.fetched_null[0], n == 0);
      EXPECT_FALSE(g_log.fetched_null[1]);
      EXPECT_EQ(g_log.fetched_null[2], n == kFrames - 1);

      // What the host counted.
      const HostCounters& counters = host.counters();
      EXPECT_EQ(counters.set_cache_size_calls, 1);
      EXPECT_EQ(counters.last_cache_size, 3);
      EXPECT_EQ(counters.last_cache_width, max_w);
      EXPECT_EQ(counters.last_cache_height, max_h);
      EXPECT_EQ(counters.last_cache_flag, 0);
      EXPECT_EQ(counters.exec_multi_thread_calls, 1);
      EXPECT_EQ(counters.fetched, (std::vector<int>{n - 1, n, n + 1}));
      EXPECT_EQ(counters.foreign_context_calls, 0);
      EXPECT_EQ(host.last_proc_info().w, kW);
      EXPECT_EQ(host.last_proc_info().h, kH);

      // What came out: every row written by the worker that owns it over
      // the padded height, and nothing beyond the clip's size.
      for (int y = 0; y <= kH; ++y) {
        for (int x = 0; x < kOutStride; ++x) {
          const PIXEL_YC got = out[y * kOutStride + x];
          if (x >= kW || y >= kH) {
            ASSERT_TRUE(same_pixel(got, guard)) << x << "," << y;
            continue;
          }
          const int prev = n > 0 ? n - 1 : n, next = n + 1 < kFrames ? n + 1 : n;
          const PIXEL_YC expected = {
              static_cast<int16_t>((GeneratedClip::pixel(prev, x, y).y +
                                    2 * GeneratedClip::pixel(n, x, y).y +
                                    GeneratedClip::pixel(next, x, y).y) / 4),
              GeneratedClip::pixel(n, x, y).cb,
              static_cast<int16_t>(row_owner(y, kPaddedH, host.thread_num()))};
          ASSERT_TRUE(same_pixel(got, expected)) << x << "," << y;
        }
      }
    }
  }
}

TEST_F(StandInHostTest, ResultHandedBackInTheOtherBufferIsTaken) {
  GeneratedClip clip(16, 4, 2);
  StandInHost host(&table, HostOptions{2, 0, 0});
  g_log.swap_buffers = true;
  std::vector<PIXEL_YC> out(16 * 4);
  ASSERT_EQ(host.process(clip, 1, out.data(), 16), 1);
  EXPECT_EQ(out[0].y, (GeneratedClip::pixel(0, 0, 0).y + 3 * GeneratedClip::pixel(1, 0, 0).y) / 4);
}

// process_into renders into the caller's buffer as ycp_edit and gives the
// frame process() gives, also when the result comes back in ycp_temp.
TEST_F(StandInHostTest, ProcessIntoRendersInTheCallersBuffer) {
  GeneratedClip clip(20, 5, 4);
  StandInHost host(&table, HostOptions{2, 0, 0});
  for (bool swap : {false, true}) {
    g_log.swap_buffers = swap;
    std::vector<PIXEL_YC> copied(20 * 5);
    ASSERT_EQ(host.process(clip, 2, copied.data(), 20), 1);
    std::vector<PIXEL_YC> frame(32 * 16, PIXEL_YC{1, 2, 3});  // max_w x max_h
    ASSERT_EQ(host.process_into(clip, 2, frame.data()), 1);
    EXPECT_EQ(g_log.edit_wrong, 0) << "the buffer held the frame when func_proc began";
    if (!swap) {
      EXPECT_EQ(g_log.entry.ycp_edit, frame.data());
    }
    for (int y = 0; y < 5; ++y)
      for (int x = 0; x < 20; ++x)
        ASSERT_TRUE(same_pixel(frame[y * 32 + x], copied[y * 20 + x])) << x << ", " << y;
  }
}

// With stale_temp off, ycp_temp keeps what the module wrote into it.
TEST_F(StandInHostTest, TempBufferIsRefilledOnlyWhenAskedTo) {
  GeneratedClip clip(16, 4, 5);
  for (bool stale : {true, false}) {
    HostOptions options{1, 0, 0};
    options.stale_temp = stale;
    StandInHost host(&table, options);
    g_log.swap_buffers = true;  // the module writes its result into ycp_temp
    std::vector<PIXEL_YC> out(16 * 4);
    ASSERT_EQ(host.process(clip, 1, out.data(), 16), 1);
    EXPECT_EQ(g_log.temp_not_stale, 0) << "a fresh buffer is stale";
    ASSERT_EQ(host.process(clip, 2, out.data(), 16), 1);
    EXPECT_EQ(g_log.temp_not_stale == 0, stale) << "stale_temp " << stale;
  }
}

TEST_F(StandInHostTest, FetchFailuresAndFramesOutsideTheClipAnswerNull) {
  GeneratedClip clip(16, 4, 5);
  StandInHost host(&table, HostOptions{1, 0, 0});
  host.set_fetch_failure([](int n) { return n == 2; });
  std::vector<PIXEL_YC> out(16 * 4);
  ASSERT_EQ(host.process(clip, 3, out.data(), 16), 1);
  EXPECT_TRUE(g_log.fetched_null[0]);
  EXPECT_FALSE(g_log.fetched_null[1]);
  ASSERT_EQ(host.process(clip, 2, out.data(), 16), 1);
  EXPECT_TRUE(g_log.fetched_null[1]);
  EXPECT_EQ(out[0].y, 0);
  host.set_fetch_failure(nullptr);
  ASSERT_EQ(host.process(clip, 2, out.data(), 16), 1);
  EXPECT_FALSE(g_log.fetched_null[1]);

  EXPECT_EQ(host.process(clip, 5, out.data(), 16), 0) << "no frame 5 to render";
  EXPECT_EQ(host.process(clip, -1, out.data(), 16), 0);
}

TEST_F(StandInHostTest, ServicesAnswerOnlyTheHostsOwnRecordAndEditHandle) {
  GeneratedClip clip(16, 4, 3);
  StandInHost host(&table, HostOptions{1, 0, 0});
  std::vector<PIXEL_YC> out(16 * 4);
  ASSERT_EQ(host.process(clip, 1, out.data(), 16), 1);
  host.reset_counters();

  FILTER* fp = host.filter();
  const EXFUNC* ex = fp->exfunc;
  FILTER stranger = *fp;
  EXPECT_EQ(ex->is_filter_active(&stranger), 0);
  EXPECT_EQ(ex->filter_window_update(&stranger), 0);
  EXPECT_EQ(ex->set_ycp_filtering_cache_size(&stranger, 16, 16, 9, 0), 0);
  EXPECT_EQ(ex->get_ycp_filtering_cache_ex(&stranger, g_log.entry.editp, 1, nullptr, nullptr),
            nullptr);
  int other_edit = 0;
  EXPECT_EQ(ex->get_ycp_filtering_cache_ex(fp, &other_edit, 1, nullptr, nullptr), nullptr);
  EXPECT_EQ(host.counters().foreign_context_calls, 5);
  EXPECT_EQ(host.counters().last_cache_size, 0) << "a foreign request changes nothing";
  // Outside a frame call the clip is not at hand.
  EXPECT_EQ(ex->get_ycp_filtering_cache_ex(fp, g_log.entry.editp, 1, nullptr, nullptr), nullptr);
}

TEST_F(StandInHostTest, WindowMessagesReachTheModuleWithTheHostsServices) {
  StandInHost host(&table, HostOptions{1, 0, 0});
  HWND window = host.filter()->hwnd;
  EXPECT_EQ(host.window_message(window, 0x0111, 40001, 0), 1);
  host.set_filter_active(false);
  EXPECT_EQ(host.window_message(window, 0x0111, 40001, 0), 0);
  EXPECT_EQ(host.window_message(window, 0x0100, 0x41, 0), 0);
  EXPECT_EQ(host.counters().is_filter_active_calls, 2);
  EXPECT_EQ(host.counters().filter_window_update_calls, 2);
  EXPECT_NE(g_log.wndproc_editp, nullptr);
  EXPECT_EQ(g_log.calls.back(), "wndproc 256");
#if !defined(_WIN32)
  EXPECT_EQ(window, fake_settings_window());
#endif
}

TEST(StandInHostDeathTest, OnlyOneHostAtATime) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  FILTER_DLL table = make_table();
  EXPECT_DEATH(
      {
        StandInHost first(&table, HostOptions{1, 0, 0});
        StandInHost second(&table, HostOptions{1, 0, 0});
      },
      "only one StandInHost");
}
