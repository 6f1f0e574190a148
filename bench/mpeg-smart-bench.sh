#!/usr/bin/env bash
# Smart cut against the full re-encode (<smart> = 0) for the MPEG-style
# codecs, side by side: a 60-second clip of each (Sorenson H.263 in FLV
# 640x360, H.263 in 3GP 352x288, MPEG-4 Part 2 in AVI 640x360; 25 fps,
# GOP 60 unless --gop N) is split into six 10-second pieces in its own form,
# each piece cut both ways in turn, and the totals compared.
#
#   bench/mpeg-smart-bench.sh [--gop N] [--build DIR]     (DIR defaults to ./build)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build"
gop=60
while [ $# -gt 0 ]; do
  case "$1" in
    --gop) gop="$2"; shift ;;
    --build) build=$(cd "$2" && pwd); shift ;;
    *) echo "usage: $0 [--gop N] [--build DIR]" >&2; exit 2 ;;
  esac
  shift
done
tool="$build/bin/ZantrelCore"
[ -x "$tool" ] || { echo "missing $tool: cmake --build $build --target ZantrelCore" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg not found" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zantrel-mpegbench-XXXXXX")
trap 'rm -rf "$work"' EXIT

make_src() {  # file size video-codec audio-codec...
  local out=$1 size=$2 vcodec=$3; shift 3
  ffmpeg -v error -y -f lavfi -i "testsrc2=size=$size:rate=25:duration=60" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=60" \
    -c:v "$vcodec" -q:v 3 -g "$gop" "$@" -shortest "$out"
}
make_src "$work/src.flv" 640x360 flv1 -c:a libmp3lame
make_src "$work/src.3gp" 352x288 h263 -c:a aac
make_src "$work/src.avi" 640x360 mpeg4 -c:a libmp3lame

now() { date +%s.%N; }
cut() {  # src ext start smart -> seconds
  local src=$1 ext=$2 s=$3 smart=$4 out="$work/piece.$2" a
  case "$ext" in
    3gp) a=(-i "$src" -ss "$s" -t 10 -y -ar 8000 -ac 1 -ab 12.2k "$out" 6 100 100 "$smart") ;;
    flv) a=(-i "$src" -y -ar 22050 -ss "$s" -t 10 "$out" 6 100 100 "$smart") ;;
    *) a=(-i "$src" -ss "$s" -t 10 -y "$out" 6 100 100 "$smart") ;;
  esac
  local t0 t1
  t0=$(now)
  "$tool" "${a[@]}" 2>"$work/log" || { cat "$work/log" >&2; exit 1; }
  t1=$(now)
  if [ "$smart" = 1 ] && ! grep -q "smart cut" "$work/log"; then cat "$work/log" >&2; fi
  awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.3f", b - a }'
}

printf "%-6s %10s %10s %8s\n" form "smart s" "full s" ratio
for ext in flv 3gp avi; do
  smart=0 full=0
  for s in 0 10 20 30 40 50; do
    smart=$(awk -v a="$smart" -v b="$(cut "$work/src.$ext" "$ext" "$s" 1)" 'BEGIN { print a + b }')
    full=$(awk -v a="$full" -v b="$(cut "$work/src.$ext" "$ext" "$s" 0)" 'BEGIN { print a + b }')
  done
  printf "%-6s %10.2f %10.2f %7.2fx\n" "$ext" "$smart" "$full" "$(awk -v a="$full" -v b="$smart" 'BEGIN { print a / b }')"
done
