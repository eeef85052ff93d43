#!/usr/bin/env bash
# Denoises one clip on many machines with GNU parallel: `quietloom plan`
# splits it into parts on scene cuts and saves each scene's settings, every
# part is a `quietloom --settings PLAN --range A:B` job on one of the hosts
# (retried when it fails, each attempt in the job log), and `quietloom join`
# checks the parts and writes the clip. The output is byte for byte what one
# run over the whole clip writes.
#
#   tools/farm.sh [-S HOSTS] [-j SLOTS] [--parts N] [--retries N] [--transfer]
#                 [--work DIR] [--joblog FILE] [--keep] INPUT OUTPUT.y4m [-- OPTIONS...]
#
#   -S HOSTS     GNU parallel's --sshlogin list, e.g. ':,4/render1,user@render2'
#                (default ':', this machine)
#   -j SLOTS     jobs at once on each host (default: one per core of each host)
#   --parts N    parts to split the clip into (default 16)
#   --retries N  attempts of each job before the run fails (default 3)
#   --transfer   the hosts share no folder with this machine: every job gets
#                a copy of INPUT and the plan and sends its part back (rsync
#                over ssh); every host is then reached over ssh (':' is refused)
#   --work DIR   folder for the plan, the parts and the job log (default
#                OUTPUT.farm); without --transfer every host must see it, and
#                INPUT, at the same paths
#   --joblog F   GNU parallel's job log (default WORK/jobs.log)
#   --keep       keep the work folder after a good run
#   OPTIONS      quietloom options for every part (settings, --threads ...)
#
# Environment: QUIETLOOM, the tool on this machine (default: quietloom on
# PATH); QUIETLOOM_REMOTE, the command the jobs run (default: QUIETLOOM when
# every host is this machine, else quietloom on each host's PATH);
# PARALLEL_SSH, the ssh command GNU parallel uses.
set -euo pipefail

usage() {
  sed -n '9,28p' "$0" | sed 's/^# \{0,1\}//' >&2
  exit 2
}
fail() {
  echo "farm: $*" >&2
  exit 1
}

hosts=":" slots="" parts=16 retries=3 transfer=0 work="" joblog="" keep=0
positional=()
while [ $# -gt 0 ]; do
  case "$1" in
    -S) [ $# -ge 2 ] || usage; hosts=$2; shift 2 ;;
    -j) [ $# -ge 2 ] || usage; slots=$2; shift 2 ;;
    --parts) [ $# -ge 2 ] || usage; parts=$2; shift 2 ;;
    --retries) [ $# -ge 2 ] || usage; retries=$2; shift 2 ;;
    --transfer) transfer=1; shift ;;
    --work) [ $# -ge 2 ] || usage; work=$2; shift 2 ;;
    --joblog) [ $# -ge 2 ] || usage; joblog=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    -h|--help) usage ;;
    --) shift; break ;;
    -*) echo "farm: unknown option $1" >&2; usage ;;
    *) positional+=("$1"); shift ;;
  esac
done
[ ${#positional[@]} -eq 2 ] || usage
options=("$@")
input=${positional[0]}
output=${positional[1]}
case "$parts$retries" in *[!0-9]*) fail "--parts and --retries take whole numbers" ;; esac
[ -n "$slots" ] && case "$slots" in *[!0-9]*|0) fail "-j takes a number of job slots" ;; esac
command -v parallel >/dev/null || fail "GNU parallel is not installed (Debian package parallel)"
[ -f "$input" ] || fail "$input: not a regular file"
case "$output" in *.y4m) ;; *) fail "$output: the joined clip is y4m (name it .y4m)" ;; esac

tool=${QUIETLOOM:-quietloom}
case "$tool" in */*) tool=$(realpath "$tool") ;; esac
# ':' (with or without a slot count, 2/:) is this machine, reached without ssh.
local_only=1 has_local=0
IFS=, read -r -a logins <<<"$hosts"
for login in "${logins[@]}"; do
  if [ "${login##*/}" = ":" ]; then has_local=1; else local_only=0; fi
done
if [ "$transfer" = 1 ] && [ "$has_local" = 1 ]; then
  # GNU parallel transfers nothing to ':', whose jobs would find no input.
  fail "--transfer reaches every host over ssh: name this machine (e.g. localhost) instead of ':'"
fi
if [ -n "${QUIETLOOM_REMOTE:-}" ]; then
  remote=$QUIETLOOM_REMOTE
elif [ "$local_only" = 1 ]; then
  remote=$tool
else
  remote=quietloom
fi

input=$(realpath "$input")
work=$(realpath -m "${work:-$output.farm}")
mkdir -p "$work"
joblog=$(realpath -m "${joblog:-$work/jobs.log}")
rm -f "$joblog" "$work"/part-*.y4m

"$tool" plan -q "$input" --parts "$parts" --save "$work/plan.json" >"$work/ranges.txt"
count=$(wc -l <"$work/ranges.txt")

# Each job writes part-JOB.y4m; join orders the parts by the ranges they
# record. -q hands the command to the shell quoted, word for word.
run=(parallel --will-cite --joblog "$joblog" --retries "$retries" -S "$hosts" --halt soon,fail=1 -q)
[ -n "$slots" ] && run+=(-j "$slots")
jobs_failed() {
  fail "a job failed $retries time(s) (the job log $joblog has every attempt); nothing was joined"
}
if [ "$transfer" = 1 ]; then
  # A path with /./ in it arrives relative to the job's own folder (--wd
  # ...: a fresh one per job, so that jobs on one host never share files).
  (cd "$work" && "${run[@]}" --wd ... \
     --transferfile "$(dirname "$input")/./$(basename "$input")" --transferfile "$work/./plan.json" \
     --return "part-{#}.y4m" --cleanup \
     "$remote" -q "${options[@]}" --settings plan.json --range {} "$(basename "$input")" "part-{#}.y4m" \
     :::: "$work/ranges.txt") || jobs_failed
else
  (cd "$work" && "${run[@]}" \
     "$remote" -q "${options[@]}" --settings "$work/plan.json" --range {} "$input" "$work/part-{#}.y4m" \
     :::: "$work/ranges.txt") || jobs_failed
fi

part_files=()
for ((i = 1; i <= count; i++)); do part_files+=("$work/part-$i.y4m"); done
"$tool" join "${part_files[@]}" "$output"
if [ "$keep" = 0 ]; then
  # What a killed attempt left under a temporary name goes too; the job log
  # stays.
  rm -f "$work"/part-*.y4m "$work"/.part-*.quietloom-* "$work/plan.json" "$work/ranges.txt"
  rmdir "$work" 2>/dev/null || true
fi
echo "farm: $output: $count parts joined; job log $joblog" >&2
