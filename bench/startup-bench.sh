#!/usr/bin/env bash
# Start-up time: from exec to the main window mapped on an X display,
# Zantrel of this build against another build's, alternated in one run.
#
#   bench/startup-bench.sh --old OLD_BIN_DIR [--new NEW_BIN_DIR] [--runs N]
#
# Each program folder (build/bin, or another checkout's) is copied to a
# temporary folder first, so both start with the same fresh settings (no
# skin.ini, no lang_set.ini: the defaults). Runs on a private Xvfb display;
# the first two starts of each are warm-ups and not counted. Prints every
# time, then the medians and their ratio.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
new=$here/build/bin old="" runs=9
while [ $# -gt 0 ]; do
  case $1 in
    --old) old=$2; shift 2 ;;
    --new) new=$2; shift 2 ;;
    --runs) runs=$2; shift 2 ;;
    *) echo "unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -n "$old" ] || { echo "usage: $0 --old OLD_BIN_DIR [--new NEW_BIN_DIR] [--runs N]" >&2; exit 2; }
for d in "$old" "$new"; do [ -x "$d/Zantrel" ] || { echo "no Zantrel in $d" >&2; exit 2; }; done

work=$(mktemp -d /tmp/zantrel-startup-XXXXXX)
xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
cc -O2 -Wall -Wextra -o "$work/map_timer" "$here/bench/map_timer.c" -lxcb
cp -a "$old" "$work/old"
cp -a "$new" "$work/new"

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb_pid=$!
export DISPLAY=$display ZANTREL_AO=null
for _ in $(seq 50); do xwininfo -root >/dev/null 2>&1 && break; sleep 0.1; done

declare -A times=([old]="" [new]="")
for i in $(seq $((runs + 2))); do
  for which in old new; do
    rm -f "$work/$which/skin.ini" "$work/$which/lang_set.ini"
    t=$("$work/map_timer" "$work/$which/Zantrel" 2>/dev/null)
    [ "$i" -gt 2 ] && times[$which]+="$t "
  done
done
median() { tr ' ' '\n' | grep . | sort -n | awk '{a[NR]=$1} END {print (NR % 2) ? a[(NR+1)/2] : (a[NR/2] + a[NR/2+1]) / 2}'; }
mo=$(echo "${times[old]}" | median)
mn=$(echo "${times[new]}" | median)
echo "old (ms): ${times[old]}"
echo "new (ms): ${times[new]}"
printf 'median old %.1f ms, new %.1f ms, new / old %.2f\n' "$mo" "$mn" "$(echo "$mn / $mo" | bc -l)"
