// Steps forward through an endless clip in the stand-in host and reports, per
// frame, the wall time and the CPU time of every pass on every worker. The sum
// over the passes of the busiest worker's CPU time, plus the calling thread's
// own work between the passes, is the frame time on an otherwise idle
// machine with one core per worker: a figure that stays meaningful on a
// loaded machine where wall-clock rates do not.
//
//   step_frames [w h radius workers prestages frames]   (default 1920 1080 2 2 0 30)
//
// Under valgrind --tool=callgrind the counts of the stepped frames alone are
// dumped as a part of their own ("steps"), without the clip's generation and
// the first full window.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#if __has_include(<valgrind/callgrind.h>)
#include <valgrind/callgrind.h>
#else
#define CALLGRIND_ZERO_STATS
#define CALLGRIND_DUMP_STATS_AT(name)
#endif

#include "bench/endless_clip.h"
#include "host/stand_in_host.h"
#include "plugin/pass_records.h"

namespace {

double seconds(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) + 1e-9 * static_cast<double>(ts.tv_nsec);
}

constexpr int kMaxWorkers = 16;

// One pass as the module posted it, with the CPU time each worker spent.
struct TimedPass {
  MULTI_THREAD_FUNC func;
  void* param1;
  double worker_cpu[kMaxWorkers];
};

TimedPass g_pass;
BOOL (*g_host_exec)(MULTI_THREAD_FUNC, void*, void*) = nullptr;
std::map<std::string, std::vector<double>> g_busiest;  // per pass name, per frame sum
std::map<std::string, std::vector<double>> g_worker[kMaxWorkers];  // the same per worker
double g_in_passes_wall = 0;

void timed_worker(int thread_id, int thread_num, void* param1, void* param2) {
  auto* pass = static_cast<TimedPass*>(param1);
  const double start = seconds(CLOCK_THREAD_CPUTIME_ID);
  pass->func(thread_id, thread_num, pass->param1, param2);
  if (thread_id < kMaxWorkers) pass->worker_cpu[thread_id] = seconds(CLOCK_THREAD_CPUTIME_ID) - start;
}

std::string pass_name(MULTI_THREAD_FUNC func) {
  if (func == BlockNrPass) return "block NR";
  if (func == MosquitoNrPass) return "mosquito NR";
  if (func == spatial_callback) return "spatial";
  if (func == temporal_callback) return "temporal";
  if (func == reconstruction_callback) return "output";
  return "other";
}

std::map<std::string, double> g_frame_busiest;
std::map<std::string, double> g_frame_worker[kMaxWorkers];

BOOL timed_exec(MULTI_THREAD_FUNC func, void* param1, void* param2) {
  g_pass = TimedPass{func, param1, {}};
  const double start = seconds(CLOCK_MONOTONIC);
  const BOOL result = g_host_exec(timed_worker, &g_pass, param2);
  g_in_passes_wall += seconds(CLOCK_MONOTONIC) - start;
  g_frame_busiest[pass_name(func)] +=
      *std::max_element(g_pass.worker_cpu, g_pass.worker_cpu + kMaxWorkers);
  for (int t = 0; t < kMaxWorkers; ++t) g_frame_worker[t][pass_name(func)] += g_pass.worker_cpu[t];
  return result;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0.0 : v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int defaults[6] = {1920, 1080, 2, 2, 0, 30};
  int a[6];
  for (int i = 0; i < 6; ++i) a[i] = argc > i + 1 ? std::atoi(argv[i + 1]) : defaults[i];
  const int w = a[0], h = a[1], radius = a[2], workers = a[3], frames = a[5];
  const bool prestages = a[4] != 0;

  EndlessClip clip(w, h);
  HostOptions options;
  options.thread_num = workers;
  StandInHost host(GetFilterTable(), options);
  host.init();
  host.set_track(0, radius);
  if (prestages)
    for (int check : {2, 3, 4}) host.set_check(check, 1);
  host.update(0);
  g_host_exec = host.filter()->exfunc->exec_multi_thread_func;
  host.filter()->exfunc->exec_multi_thread_func = timed_exec;

  std::vector<PIXEL_YC> out(static_cast<size_t>(w) * h);
  int frame = 100;
  host.process(clip, frame, out.data(), w);  // fill the window once

  std::vector<double> wall, process_cpu, critical, main_outside;
  CALLGRIND_ZERO_STATS;
  for (int i = 0; i < frames; ++i) {
    g_frame_busiest.clear();
    for (auto& m : g_frame_worker) m.clear();
    g_in_passes_wall = 0;
    const double wall0 = seconds(CLOCK_MONOTONIC);
    const double cpu0 = seconds(CLOCK_PROCESS_CPUTIME_ID);
    const double main0 = seconds(CLOCK_THREAD_CPUTIME_ID);
    host.process(clip, ++frame, out.data(), w);
    const double main_cpu = seconds(CLOCK_THREAD_CPUTIME_ID) - main0;
    wall.push_back(seconds(CLOCK_MONOTONIC) - wall0);
    process_cpu.push_back(seconds(CLOCK_PROCESS_CPUTIME_ID) - cpu0);
    double sum = 0;
    for (auto& [name, t] : g_frame_busiest) {
      g_busiest[name].push_back(t);
      sum += t;
    }
    for (int t = 0; t < workers && t < kMaxWorkers; ++t)
      for (auto& [name, v] : g_frame_worker[t]) g_worker[t][name].push_back(v);
    // The calling thread sleeps while the workers run: its CPU time is its
    // own serial work.
    main_outside.push_back(main_cpu);
    critical.push_back(sum + main_cpu);
  }
  CALLGRIND_DUMP_STATS_AT("steps");

  std::printf("%dx%d R=%d workers=%d prestages=%d, %d frames (medians, ms)\n", w, h, radius,
              workers, prestages ? 1 : 0, frames);
  std::printf("  wall per frame        %8.2f  (%.1f fps)\n", 1e3 * median(wall),
              1.0 / median(wall));
  std::printf("  process CPU per frame %8.2f\n", 1e3 * median(process_cpu));
  std::printf("  calling thread's own  %8.2f\n", 1e3 * median(main_outside));
  for (auto& [name, v] : g_busiest) {
    std::printf("  %-12s busiest %8.2f  per worker", name.c_str(), 1e3 * median(v));
    for (int t = 0; t < workers && t < kMaxWorkers; ++t)
      std::printf(" %7.2f", 1e3 * median(g_worker[t][name]));
    std::printf("\n");
  }
  std::printf("  critical path         %8.2f  (%.1f fps on idle cores)\n", 1e3 * median(critical),
              1.0 / median(critical));
  return 0;
}
