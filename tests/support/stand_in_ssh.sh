#!/bin/sh
# Stands in for ssh in the farm tests, where no ssh server runs: takes ssh's
# arguments (options, the host, the command) and runs the command with
# /bin/sh in a folder of its own for each host, under $STAND_IN_HOSTS, with
# HOME set there. GNU parallel's transfers (rsync -e ssh) and its job
# commands then go through it as they would go to another machine that
# shares no folder with this one. SHELL is set as an ssh login sets it:
# parallel's job wrapper runs the job with $SHELL, and the test runner may
# have none.
while [ $# -gt 0 ]; do
  case "$1" in
    -[bcDEeFIiJLlmOoPpQRSWw]) shift 2 ;;
    -*) shift ;;
    *) break ;;
  esac
done
[ $# -gt 0 ] || { echo "stand_in_ssh: no host" >&2; exit 255; }
host=${1#*@}
shift
[ "${1:-}" = "--" ] && shift
home="${STAND_IN_HOSTS:?}/$host"
mkdir -p "$home" && cd "$home" || exit 255
HOME=$home SHELL=/bin/sh exec /bin/sh -c "$*"
