#!/usr/bin/env bash
# Frames per second of the module, the command-line tool and ffmpeg's
# denoisers (vaguedenoiser, hqdn3d, fftdnoiz) on the same noisy clips at
# 720x480 and 1920x1080, two threads each, side by side with the ratio of
# each rate to vaguedenoiser's.
#
#   bench/compare.sh [BUILD_DIR]        (default: build/release, the README's)
#
# Environment: WORK (scratch directory, default a fresh temporary one, removed
# at the end unless given), FRAMES_SD / FRAMES_HD (clip lengths, default 200
# and 80), MIN_TIME (seconds per module benchmark, default 3), ROUNDS (rounds
# of measurements, default 3: every figure is the median of its rounds, and
# the rounds take turns so that a busy spell of the machine touches them all
# alike).
#
# The module's rate comes from BUILD_DIR/bench/bench_end_to_end (stepping forward
# one frame per call in the stand-in host, default settings, N = 5, two
# workers); the tool's from `quietloom INPUT -` on the clip (y4m in and out,
# conversions included): its steady rate, from the wall-clock time of the
# whole clip minus that of its first quarter (which leaves out the start-up:
# mapping the module's work buffers, filling the first window), and its rate
# over the whole clip; ffmpeg's from its own wall-clock time (-benchmark)
# over the whole clip, decoding of the y4m input included.
set -euo pipefail

build=${1:-build/release}
frames_sd=${FRAMES_SD:-200}
frames_hd=${FRAMES_HD:-80}
min_time=${MIN_TIME:-3}
rounds=${ROUNDS:-3}
bench="$build/bench/bench_end_to_end"
tool="$build/cli/quietloom"

if [[ ! -x "$bench" ]]; then
  echo "compare.sh: $bench not found (build the benchmarks first)" >&2
  exit 1
fi
have_ffmpeg=0
command -v ffmpeg > /dev/null && have_ffmpeg=1
have_tool=0
[[ -x "$tool" ]] && have_tool=1

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

# The module's frames per second for one benchmark case (the "fps" counter).
module_fps() {
  local filter=$1 fps
  fps=$("$bench" --benchmark_filter="$filter" --benchmark_min_time="$min_time" \
                 --benchmark_format=json 2> /dev/null |
        sed -n 's/^ *"fps": *\([0-9.e+-]*\),\{0,1\}$/\1/p' | head -n 1)
  if [[ -n "$fps" ]]; then awk -v f="$fps" 'BEGIN { printf "%.1f", f }'; fi
}

# A noisy test clip: ffmpeg's moving test pattern with temporal and uniform
# noise, 4:2:0, as YUV4MPEG2.
make_clip() {
  local size=$1 frames=$2 out=$3
  ffmpeg -hide_banner -loglevel error -nostdin -y \
    -f lavfi -i "testsrc2=size=${size}:rate=25,noise=alls=14:allf=t+u" \
    -frames:v "$frames" -pix_fmt yuv420p -f yuv4mpegpipe "$out"
}

# Frames per second of one ffmpeg filter over the clip, from -benchmark's
# real time.
ffmpeg_fps() {
  local clip=$1 frames=$2 filter=$3 rtime
  rtime=$(ffmpeg -hide_banner -nostdin -benchmark -threads 2 -filter_threads 2 \
            -i "$clip" -vf "$filter" -f null - 2>&1 |
          sed -n 's/.*rtime=\([0-9.]*\)s.*/\1/p' | tail -n 1)
  awk -v f="$frames" -v t="$rtime" 'BEGIN { if (t > 0) printf "%.2f", f / t; else print "" }'
}

# Seconds the tool takes for the clip, or for its first $2 frames when given.
tool_seconds() {
  local clip=$1 range=${2:-} start end
  start=$(date +%s.%N)
  "$tool" --threads 2 --quiet ${range:+--range 0:$range} "$clip" - > /dev/null
  end=$(date +%s.%N)
  awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }'
}

# The tool's steady and whole-clip frames per second: "steady whole".
tool_fps() {
  local clip=$1 frames=$2 part=$(( $2 / 4 )) t_part t_full
  t_part=$(tool_seconds "$clip" "$part")
  t_full=$(tool_seconds "$clip")
  awk -v f="$frames" -v p="$part" -v a="$t_part" -v b="$t_full" \
    'BEGIN { printf "%.2f %.2f", (f - p) / (b - a), f / b }'
}

# The median of the numbers given as arguments (empty ones left out).
median() {
  printf '%s\n' "$@" | awk 'NF { v[n++] = $1 } END {
    if (n == 0) exit
    for (i = 1; i < n; ++i) for (j = i; j > 0 && v[j - 1] > v[j]; --j) { t = v[j]; v[j] = v[j - 1]; v[j - 1] = t }
    printf "%.1f", n % 2 ? v[int(n / 2)] : (v[n / 2 - 1] + v[n / 2]) / 2 }'
}

# "fps (x ratio to the reference)", or "-" where there is no figure.
cell() {
  local fps=$1 reference=$2
  if [[ -z "$fps" ]]; then printf '%-18s' "-"; return; fi
  if [[ -z "$reference" ]]; then printf '%-18s' "$fps"; return; fi
  printf '%-18s' "$(awk -v a="$fps" -v b="$reference" 'BEGIN { printf "%.1f (x%.2f)", a, a / b }')"
}

echo "huge pages: $huge_pages; median of $rounds rounds"
printf '%-11s %-18s %-18s %-18s %-18s %-18s\n' size "module" "tool" "vaguedenoiser" "hqdn3d" "fftdnoiz"
for size in 720x480 1920x1080; do
  w=${size%x*}
  h=${size#*x}
  frames=$frames_sd
  [[ $size == 1920x1080 ]] && frames=$frames_hd
  clip="$WORK/clip_$size.y4m"
  (( have_ffmpeg )) && make_clip "$size" "$frames" "$clip"
  module=() vague=() hqdn=() fft=() tool_rate=() tool_whole=()
  for (( r = 0; r < rounds; ++r )); do
    module+=("$(module_fps "EndToEnd/w:$w/h:$h/R:2/workers:2/prestages:0/real_time")")
    if (( have_ffmpeg )); then
      vague+=("$(ffmpeg_fps "$clip" "$frames" vaguedenoiser)")
      hqdn+=("$(ffmpeg_fps "$clip" "$frames" hqdn3d)")
      fft+=("$(ffmpeg_fps "$clip" "$frames" fftdnoiz)")
      if (( have_tool )); then
        read -r steady whole <<< "$(tool_fps "$clip" "$frames")"
        tool_rate+=("$steady")
        tool_whole+=("$whole")
      fi
    fi
  done
  m=$(median "${module[@]}")
  v=$(median "${vague[@]}")
  t=$(median "${tool_rate[@]}")
  tw=$(median "${tool_whole[@]}")
  printf '%-11s ' "$size"
  cell "$m" "$v"; printf ' '
  cell "$t" "$v"; printf ' '
  cell "$v" "$v"; printf ' '
  cell "$(median "${hqdn[@]}")" "$v"; printf ' '
  cell "$(median "${fft[@]}")" "$v"; printf '\n'
  if [[ -n "$m" && -n "$t" ]]; then
    awk -v t="$t" -v w="$tw" -v m="$m" -v f="$frames" \
      'BEGIN { printf "            the tool keeps %.0f%% of the module'"'"'s rate (whole %d-frame clip, start-up included: %.1f fps, %.0f%%)\n", 100 * t / m, f, w, 100 * w / m }'
  fi
  echo "            module rounds: ${module[*]}; tool rounds: ${tool_rate[*]:--}"
done

# The module's other targets: N = 9, and every pre-stage on.
echo
echo "module, 1920x1080, two workers:"
n9=() pre=()
for (( r = 0; r < rounds; ++r )); do
  n9+=("$(module_fps 'EndToEnd/w:1920/h:1080/R:4/workers:2/prestages:0/real_time')")
  pre+=("$(module_fps 'EndToEnd/w:1920/h:1080/R:2/workers:2/prestages:7/real_time')")
done
printf '  N = 9:              %s fps (rounds: %s)\n' "$(median "${n9[@]}")" "${n9[*]}"
printf '  pre-stages 2, 3, 4: %s fps (rounds: %s)\n' "$(median "${pre[@]}")" "${pre[*]}"
(( have_ffmpeg )) || echo "(ffmpeg not found: no clips, no tool or ffmpeg figures)"
