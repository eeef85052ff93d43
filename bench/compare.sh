#!/usr/bin/env bash
# Whole-process speed of the command-line tool against ffmpeg's denoisers
# (vaguedenoiser, hqdn3d, atadenoise), and the tool against the module alone,
# all measured side by side in one run.
#
#   bench/compare.sh [BUILD_DIR]        (default: build/release)
#
# Every contender reads the same y4m clip and writes y4m to standard output,
# into /dev/null, with two threads; the tool with --no-field. The clips are
# generated: ffmpeg's moving test pattern with temporal and uniform noise,
# 40 frames played three times (120 frames), 1920x1080 4:2:2 and 720x480
# 4:2:0. The cases:
#   - 1920x1080, the module's defaults (N = 5, reduced fit);
#   - 1920x1080, radius 4 and the full fit (--frame 4 --anime, N = 9);
#   - 720x480, the module's defaults.
# A figure is the median of ROUNDS rounds (default 3); the rounds take turns
# through every command, so that a busy spell of the machine touches them
# alike, and each is printed. Ratios are rates against vaguedenoiser's, the
# tool's against the module's.
#
# The module's rate comes from build/bench/bench_end_to_end (stepping forward
# one frame per call in the stand-in host, two workers, no reading or
# writing); the tool's from its whole process (start-up, reading and
# writing included) and, as its steady rate, from the time of the whole clip
# minus that of its first quarter.
#
# Environment: WORK (scratch directory, default a fresh temporary one,
# removed at the end unless given), ROUNDS, MIN_TIME (seconds per module
# benchmark, default 3).
set -euo pipefail

build=${1:-build/release}
rounds=${ROUNDS:-3}
min_time=${MIN_TIME:-3}
bench="$build/bench/bench_end_to_end"
tool="$build/cli/quietloom"
for need in "$bench" "$tool"; do
  if [[ ! -x "$need" ]]; then
    echo "compare.sh: $need not found (build the tool and the benchmarks first)" >&2
    exit 1
  fi
done
if ! command -v ffmpeg > /dev/null; then
  echo "compare.sh: ffmpeg not found" >&2
  exit 1
fi

# The tool backs its large buffers with huge pages where the kernel gives
# them on request (it restarts itself with glibc's tunable); run the module's
# benchmark and ffmpeg the same way, so that the figures compare like with
# like.
huge_pages=off
if grep -q '\[madvise\]' /sys/kernel/mm/transparent_hugepage/enabled 2> /dev/null &&
   [[ "${GLIBC_TUNABLES:-}" != *glibc.malloc.hugetlb* ]]; then
  export GLIBC_TUNABLES="${GLIBC_TUNABLES:+$GLIBC_TUNABLES:}glibc.malloc.hugetlb=1"
fi
[[ "${GLIBC_TUNABLES:-}" == *glibc.malloc.hugetlb=1* ]] && huge_pages=on
grep -q '\[always\]' /sys/kernel/mm/transparent_hugepage/enabled 2> /dev/null && huge_pages=on

if [[ -n "${WORK:-}" ]]; then
  mkdir -p "$WORK"
else
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
fi

frames=120
# A noisy clip: 40 frames of the moving test pattern, then the same frames
# twice more (the y4m header once, the frames three times).
make_clip() {
  local size=$1 pix_fmt=$2 out=$3
  ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i "testsrc2=size=${size}:rate=25,noise=alls=14:allf=t+u" \
    -frames:v 40 -pix_fmt "$pix_fmt" -f yuv4mpegpipe "$out.40"
  { head -n 1 "$out.40"; for _ in 1 2 3; do tail -n +2 "$out.40"; done; } > "$out"
  rm -f "$out.40"
}

# Seconds a command takes, its output into /dev/null.
seconds() {
  local start end
  start=$(date +%s.%N)
  "$@" > /dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}

ffmpeg_filter() {
  local clip=$1 filter=$2
  ffmpeg -hide_banner -loglevel error -nostdin -threads 2 -filter_threads 2 -i "$clip" \
    -vf "$filter" -f yuv4mpegpipe -strict -1 -
}

# The module's frames per second for one benchmark case (the "fps" counter).
module_fps() {
  local filter=$1 fps
  fps=$("$bench" --benchmark_filter="$filter" --benchmark_min_time="$min_time" \
                 --benchmark_format=json 2> /dev/null |
        sed -n 's/^ *"fps": *\([0-9.e+-]*\),\{0,1\}$/\1/p' | head -n 1)
  if [[ -n "$fps" ]]; then awk -v f="$fps" 'BEGIN { printf "%.2f", f }'; fi
}

# The median of the numbers given as arguments (empty ones left out).
median() {
  printf '%s\n' "$@" | awk 'NF { v[n++] = $1 } END {
    if (n == 0) exit
    for (i = 1; i < n; ++i) for (j = i; j > 0 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    printf "%.3f", n % 2 ? v[int(n / 2)] : (v[n / 2 - 1] + v[n / 2]) / 2 }'
}

fps_of() { awk -v f="$1" -v t="$2" 'BEGIN { if (t > 0) printf "%.1f", f / t }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { if (a > 0 && b > 0) printf "x%.2f", a / b; else print "-" }'; }

hd="$WORK/clip_1920x1080_422.y4m"
sd="$WORK/clip_720x480_420.y4m"
make_clip 1920x1080 yuv422p "$hd"
make_clip 720x480 yuv420p "$sd"

# The commands of one round, by name: the clip and what runs on it.
names=(hd_tool hd_tool_n9 hd_vague hd_hqdn3d hd_ata sd_tool sd_vague sd_hqdn3d sd_ata)
run_case() {
  case $1 in
    hd_tool) seconds "$tool" --preset none --threads 2 --no-field --quiet "$hd" - ;;
    hd_tool_n9) seconds "$tool" --preset none --threads 2 --no-field --frame 4 --anime --quiet "$hd" - ;;
    hd_vague) seconds ffmpeg_filter "$hd" vaguedenoiser ;;
    hd_hqdn3d) seconds ffmpeg_filter "$hd" hqdn3d ;;
    hd_ata) seconds ffmpeg_filter "$hd" atadenoise ;;
    sd_tool) seconds "$tool" --preset none --threads 2 --no-field --quiet "$sd" - ;;
    sd_vague) seconds ffmpeg_filter "$sd" vaguedenoiser ;;
    sd_hqdn3d) seconds ffmpeg_filter "$sd" hqdn3d ;;
    sd_ata) seconds ffmpeg_filter "$sd" atadenoise ;;
  esac
}
# The tool's first quarter alone, for its steady rate.
quarter=$(( frames / 4 ))
run_quarter() {
  case $1 in
    hd_tool) seconds "$tool" --preset none --threads 2 --no-field --quiet --range 0:$quarter "$hd" - ;;
    hd_tool_n9) seconds "$tool" --preset none --threads 2 --no-field --frame 4 --anime --quiet --range 0:$quarter "$hd" - ;;
    sd_tool) seconds "$tool" --preset none --threads 2 --no-field --quiet --range 0:$quarter "$sd" - ;;
  esac
}

load_before=$(cut -d' ' -f1-3 /proc/loadavg)
declare -A times quarters
module_hd=() module_hd_n9=() module_sd=()
for (( r = 0; r < rounds; ++r )); do
  for name in "${names[@]}"; do
    times[$name]+="$(run_case "$name") "
    case $name in *tool*) quarters[$name]+="$(run_quarter "$name") " ;; esac
  done
  module_hd+=("$(module_fps 'EndToEnd/w:1920/h:1080/R:2/workers:2/prestages:0/anime:0/real_time')")
  module_hd_n9+=("$(module_fps 'EndToEnd/w:1920/h:1080/R:4/workers:2/prestages:0/anime:1/real_time')")
  module_sd+=("$(module_fps 'EndToEnd/w:720/h:480/R:2/workers:2/prestages:0/anime:0/real_time')")
done

# Median seconds of a case, its rate, and its steady rate.
med() { median ${times[$1]}; }
rate() { fps_of "$frames" "$(med "$1")"; }
steady() {
  awk -v f="$frames" -v q="$quarter" -v a="$(median ${quarters[$1]})" -v b="$(med "$1")" \
    'BEGIN { if (b > a) printf "%.1f", (f - q) / (b - a) }'
}

echo "huge pages: $huge_pages; $frames frames a clip; median of $rounds rounds; $(nproc) processors"
echo "load average before the rounds: $load_before; after: $(cut -d' ' -f1-3 /proc/loadavg)"
echo
printf '%-34s %-14s %-14s %-14s %-14s\n' "whole process, fps (ratio)" tool vaguedenoiser hqdn3d atadenoise
row() {
  local label=$1 tool_case=$2 prefix=$3
  local t v h a
  t=$(rate "$tool_case"); v=$(rate "${prefix}_vague"); h=$(rate "${prefix}_hqdn3d"); a=$(rate "${prefix}_ata")
  printf '%-34s %-14s %-14s %-14s %-14s\n' "$label" "$t ($(ratio "$t" "$v"))" "$v (x1.00)" \
    "$h ($(ratio "$h" "$v"))" "$a ($(ratio "$a" "$v"))"
}
row "1920x1080 4:2:2, defaults" hd_tool hd
row "1920x1080 4:2:2, radius 4 full fit" hd_tool_n9 hd
row "720x480 4:2:0, defaults" sd_tool sd
echo
printf '%-34s %-14s %-14s %-14s\n' "the tool against the module alone" module tool "tool steady"
tool_row() {
  local label=$1 tool_case=$2; shift 2
  local m t s
  m=$(median "$@"); t=$(rate "$tool_case"); s=$(steady "$tool_case")
  printf '%-34s %-14s %-14s %-14s\n' "$label" "$m" "$t ($(ratio "$t" "$m"))" "$s ($(ratio "$s" "$m"))"
}
tool_row "1920x1080, defaults" hd_tool "${module_hd[@]}"
tool_row "1920x1080, radius 4 full fit" hd_tool_n9 "${module_hd_n9[@]}"
tool_row "720x480, defaults" sd_tool "${module_sd[@]}"
echo
echo "rounds (seconds; module fps):"
for name in "${names[@]}"; do printf '  %-11s %s\n' "$name" "${times[$name]}"; done
printf '  %-11s %s\n' module_hd "${module_hd[*]}" module_hd_n9 "${module_hd_n9[*]}" \
  module_sd "${module_sd[*]}"
