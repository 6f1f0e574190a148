#!/usr/bin/env bash
# Times Zantrel's split job against plain tools on one generated source:
#   cp of the file | Zantrel (split_driver, 10 pieces) |
#   ffmpeg, 10 cuts, -ss before -i, re-encoded (libx264 crf 18 veryfast + aac) |
#   ffmpeg, the same 10 cuts with -c copy
# The source is a 5-minute 720p30 H.264/AAC MP4 with a 250-frame GOP
# (--short: 30 seconds, for a quick check that everything runs).
#
#   bench/split-bench.sh [--short] [--build DIR]     (DIR defaults to ./build)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build"
seconds=300
while [ $# -gt 0 ]; do
  case "$1" in
    --short) seconds=30 ;;
    --build) build=$(cd "$2" && pwd); shift ;;
    *) echo "usage: $0 [--short] [--build DIR]" >&2; exit 2 ;;
  esac
  shift
done
pieces=10

driver="$build/bin/split_driver"
for f in "$driver" "$build/bin/ZantrelCore"; do
  [ -x "$f" ] || { echo "missing $f: cmake --build $build --target split_driver ZantrelCore" >&2; exit 1; }
done
command -v ffmpeg >/dev/null || { echo "ffmpeg not found" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zantrel-bench-XXXXXX")
trap 'rm -rf "$work"' EXIT
src="$work/source.mp4"

echo "source: ${seconds}s 1280x720 30 fps H.264 (GOP 250) + AAC, $pieces pieces"
ffmpeg -v error -y \
  -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=$seconds" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
  -c:v libx264 -preset veryfast -g 250 -pix_fmt yuv420p \
  -c:a aac -b:a 128k -shortest "$src"
echo "size: $(du -h "$src" | cut -f1)"

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# Same boundaries as Zantrel's average mode: equal whole-second steps, the
# last piece takes the remainder.
step=$((seconds / pieces))
cut_with_ffmpeg() {  # <out-dir> <codec args...>
  local out=$1; shift
  mkdir -p "$out"
  local k start len
  for ((k = 0; k < pieces; k++)); do
    start=$((k * step))
    len=$step
    [ $k -eq $((pieces - 1)) ] && len=$((seconds - start))
    ffmpeg -v error -y -ss "$start" -i "$src" -t "$len" "$@" "$out/source[$((k + 1))].mp4"
  done
}

# Warm the page cache so the first contender does not pay for the disk.
cat "$src" >/dev/null

t0=$(now); cp "$src" "$work/copy.mp4"; t1=$(now)
t_cp=$(elapsed "$t0" "$t1")

t0=$(now); "$driver" "$src" "$work/zantrel" "$pieces" "$seconds"; t1=$(now)
t_z=$(elapsed "$t0" "$t1")

t0=$(now)
cut_with_ffmpeg "$work/reencode" -c:v libx264 -crf 18 -preset veryfast -c:a aac
t1=$(now)
t_re=$(elapsed "$t0" "$t1")

t0=$(now); cut_with_ffmpeg "$work/copy" -c copy; t1=$(now)
t_copy=$(elapsed "$t0" "$t1")

# What Zantrel produced, so a fast but wrong run cannot pass unnoticed.
total=0
n=0
for f in "$work"/zantrel/*; do
  d=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$f")
  total=$(awk -v a="$total" -v b="$d" 'BEGIN { print a + b }')
  n=$((n + 1))
done

printf '\n%-34s %10s %14s\n' "contender" "seconds" "Zantrel / it"
row() { printf '%-34s %10.3f %14.2f\n' "$1" "$2" "$(awk -v a="$t_z" -v b="$2" 'BEGIN { print (b > 0 ? a / b : 0) }')"; }
row "cp of the source" "$t_cp"
row "Zantrel job (split_driver)" "$t_z"
row "ffmpeg -ss before -i, re-encode" "$t_re"
row "ffmpeg -ss before -i, -c copy" "$t_copy"
printf '\nZantrel: %d pieces, %.2f s in total (source %d s)\n' "$n" "$total" "$seconds"
