#!/usr/bin/env bash
# Many files from the command line: 10 sources cut into 3 pieces each, timed
# side by side in one run as
#   one by one: the same 30 cuts, one ZantrelCore run after another, with the
#               command lines the job builds (no probe, no progress channel);
#   --jobs 1:   zantrel-split --parts 3 (probes each file, then its job);
#   --jobs 2:   the same, two files at once.
# Each way runs ROUNDS times, the ways taking turns; the table gives each
# way's median, and the ratios come from those medians.
# Sources: 30-second 640x360 25 fps H.264/AAC MP4s, GOP 60 (2.4 s), each with
# its own pattern; --seconds changes the length. The cuts at 10 s and 20 s
# fall inside a GOP, so each piece after the first re-encodes its head.
#
#   bench/cli-bench.sh [--rounds N] [--seconds S] [--build DIR]   (DIR: ./build)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build"
rounds=3
seconds=30
while [ $# -gt 0 ]; do
  case "$1" in
    --rounds) rounds=$2; shift ;;
    --seconds) seconds=$2; shift ;;
    --build) build=$(cd "$2" && pwd); shift ;;
    *) echo "usage: $0 [--rounds N] [--seconds S] [--build DIR]" >&2; exit 2 ;;
  esac
  shift
done
tool="$build/bin/ZantrelCore"
split="$build/bin/zantrel-split"
for p in "$tool" "$split"; do
  [ -x "$p" ] || { echo "missing $p: cmake --build $build --target zantrel-split" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "ffmpeg not found" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zantrel-clibench-XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"

patterns=(testsrc2 smptebars rgbtestsrc testsrc mandelbrot life cellauto smptehdbars yuvtestsrc pal100bars)
echo "sources: 10 x ${seconds}s 640x360 25 fps H.264/AAC, GOP 60"
for i in $(seq 0 9); do
  src="${patterns[$i]}"
  [ "$src" = life ] && src="life=size=640x360:mold=10:rate=25:ratio=0.1:death_color=#C83232:life_color=#00ff00"
  [ "$src" = cellauto ] && src="cellauto=size=640x360:rate=25:rule=110"
  case "$src" in *=*) ;; *) src="$src=size=640x360:rate=25" ;; esac
  ffmpeg -v error -y -f lavfi -i "$src" -f lavfi -i "sine=frequency=$((300 + 50 * i)):duration=$seconds" \
    -t "$seconds" -c:v libx264 -preset veryfast -g 60 -pix_fmt yuv420p -c:a aac -shortest \
    "$work/src/clip$i.mp4"
done
cat "$work/src"/*.mp4 >/dev/null

# The job's plan for --parts 3 of a whole-second duration D: step D/3, the
# last piece asked for one second more.
duration=$("$split" --dry-run --parts 3 --out "$work/plan" "$work/src/clip0.mp4" 2>/dev/null |
  awk -F'\t' '{ split($4, t, ":"); s += t[1] * 3600 + t[2] * 60 + t[3] } END { print s }')
step=$((duration / 3))

one_by_one() {
  local out=$1 i k start len
  mkdir -p "$out"
  for i in $(seq 0 9); do
    for k in 1 2 3; do
      start=$(((k - 1) * step))
      len=$step
      [ "$k" = 3 ] && len=$((duration - 2 * step + 1))
      "$tool" -i "$work/src/clip$i.mp4" -ss "$start" -t "$len" "$out/clip$i[$k].mp4" 6 100 100 >/dev/null 2>&1
    done
  done
}
with_jobs() {
  local out=$1 jobs=$2
  "$split" --parts 3 --jobs "$jobs" --quiet --out "$out" "$work/src"/clip*.mp4
}

now() { date +%s.%N; }
declare -A times
for r in $(seq 1 "$rounds"); do
  for way in one_by_one jobs1 jobs2; do
    out="$work/out-$way-$r"
    t0=$(now)
    case "$way" in
      one_by_one) one_by_one "$out" ;;
      jobs1) with_jobs "$out" 1 ;;
      jobs2) with_jobs "$out" 2 ;;
    esac
    t1=$(now)
    n=$(find "$out" -name '*.mp4' | wc -l)
    [ "$n" = 30 ] || { echo "$way round $r wrote $n pieces, not 30" >&2; exit 1; }
    times[$way]+="$(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.2f", b - a }') "
    rm -rf "$out"
  done
done

median() { tr ' ' '\n' | sed '/^$/d' | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
m_one=$(echo "${times[one_by_one]}" | median)
m_j1=$(echo "${times[jobs1]}" | median)
m_j2=$(echo "${times[jobs2]}" | median)
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '%-44s %8s   %s\n' "10 files x 3 pieces ($rounds rounds)" median "all rounds"
printf '%-44s %7ss   %s\n' "ZantrelCore one by one (30 runs)" "$m_one" "${times[one_by_one]}"
printf '%-44s %7ss   %s\n' "zantrel-split --parts 3 --jobs 1" "$m_j1" "${times[jobs1]}"
printf '%-44s %7ss   %s\n' "zantrel-split --parts 3 --jobs 2" "$m_j2" "${times[jobs2]}"
awk -v a="$m_j2" -v b="$m_one" -v c="$m_j1" 'BEGIN {
  printf "--jobs 2 / one by one: %.2f (target: below 1)\n", a / b
  printf "--jobs 1 / one by one: %.2f\n", c / b }'
