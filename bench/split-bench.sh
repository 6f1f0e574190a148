#!/usr/bin/env bash
# Times Zantrel's split job against plain tools on generated sources, one
# table per source:
#   cp of the file | Zantrel (split_driver, 10 pieces) |
#   ffmpeg, 10 cuts, -ss before -i, re-encoded (libx264 crf 18 veryfast + aac) |
#   ffmpeg, the same 10 cuts with -c copy
# and checks Zantrel's smart cut against its budget: cp + the time ffmpeg
# takes to re-encode each cut's [cut, next key frame) + 0.1 s per piece.
# The sources are 5-minute 720p30 H.264/AAC MP4s with GOPs of 250 frames,
# about 2 seconds (61: with 60 every 30-second cut would land on a key frame
# and cost nothing) and 8 seconds (240) (--short: 30 seconds each, for a
# quick check that everything runs).
#
#   bench/split-bench.sh [--short] [--build DIR] [--gops "250 61 240"]
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build"
seconds=300
gops="250 61 240"
while [ $# -gt 0 ]; do
  case "$1" in
    --short) seconds=30 ;;
    --build) build=$(cd "$2" && pwd); shift ;;
    --gops) gops=$2; shift ;;
    *) echo "usage: $0 [--short] [--build DIR] [--gops LIST]" >&2; exit 2 ;;
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

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }

# Same boundaries as Zantrel's average mode: equal whole-second steps, the
# last piece takes the remainder.
step=$((seconds / pieces))

bench_one() {  # <gop>
  local gop=$1
  local dir="$work/gop$gop"
  mkdir -p "$dir"
  local src="$dir/source.mp4"
  echo
  echo "== source: ${seconds}s 1280x720 30 fps H.264 (GOP $gop) + AAC, $pieces pieces"
  ffmpeg -nostdin -v error -y \
    -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
    -c:v libx264 -preset veryfast -g "$gop" -pix_fmt yuv420p \
    -c:a aac -b:a 128k -shortest "$src"
  echo "size: $(du -h "$src" | cut -f1)"

  cut_with_ffmpeg() {  # <out-dir> <codec args...>
    local out=$1; shift
    mkdir -p "$out"
    local k start len
    for ((k = 0; k < pieces; k++)); do
      start=$((k * step))
      len=$step
      [ $k -eq $((pieces - 1)) ] && len=$((seconds - start))
      ffmpeg -nostdin -v error -y -ss "$start" -i "$src" -t "$len" "$@" "$out/source[$((k + 1))].mp4"
    done
  }

  # Warm the page cache so the first contender does not pay for the disk.
  cat "$src" >/dev/null

  local t0 t1
  t0=$(now); cp "$src" "$dir/copy.mp4"; t1=$(now)
  local t_cp; t_cp=$(elapsed "$t0" "$t1")

  t0=$(now); "$driver" "$src" "$dir/zantrel" "$pieces" "$seconds"; t1=$(now)
  local t_z; t_z=$(elapsed "$t0" "$t1")

  t0=$(now)
  cut_with_ffmpeg "$dir/reencode" -c:v libx264 -crf 18 -preset veryfast -c:a aac
  t1=$(now)
  local t_re; t_re=$(elapsed "$t0" "$t1")

  t0=$(now); cut_with_ffmpeg "$dir/copy" -c copy; t1=$(now)
  local t_copy; t_copy=$(elapsed "$t0" "$t1")

  # The budget: what re-encoding only [cut, next key frame) costs for each
  # cut after the first, timed the same way (-ss before -i decodes from the
  # key frame before the cut, as the smart cut's head does).
  local keys t_heads=0 k start next
  keys=$(ffprobe -v error -select_streams v -skip_frame nokey -show_entries frame=pts_time -of csv=p=0 "$src")
  for ((k = 1; k < pieces; k++)); do
    start=$((k * step))
    next=$(awk -v s="$start" '$1 + 0 >= s - 0.0001 { print $1; exit }' <<<"$keys")
    [ -n "$next" ] || continue
    if awk -v a="$next" -v s="$start" 'BEGIN { exit !(a - s > 0.0001) }'; then
      t0=$(now)
      ffmpeg -nostdin -v error -y -ss "$start" -i "$src" -t "$(awk -v a="$next" -v s="$start" 'BEGIN { print a - s }')" \
        -an -c:v libx264 -crf 18 -preset veryfast -f null -
      t1=$(now)
      t_heads=$(awk -v a="$t_heads" -v b="$(elapsed "$t0" "$t1")" 'BEGIN { printf "%.3f", a + b }')
    fi
  done
  local budget; budget=$(awk -v c="$t_cp" -v h="$t_heads" -v n="$pieces" 'BEGIN { printf "%.3f", c + h + 0.1 * n }')

  # What Zantrel produced, so a fast but wrong run cannot pass unnoticed:
  # durations, and every piece decoded strictly.
  local total=0 n=0 bad=0 f d
  for f in "$dir"/zantrel/*; do
    d=$(ffprobe -v error -show_entries format=duration -of default=nw=1:nk=1 "$f")
    total=$(awk -v a="$total" -v b="$d" 'BEGIN { print a + b }')
    n=$((n + 1))
    if [ -n "$(ffmpeg -nostdin -v error -err_detect explode -xerror -i "$f" -f null - 2>&1)" ]; then
      bad=$((bad + 1))
    fi
  done

  printf '\n%-38s %10s %14s\n' "contender (GOP $gop)" "seconds" "Zantrel / it"
  row() { printf '%-38s %10.3f %14.3f\n' "$1" "$2" "$(awk -v a="$t_z" -v b="$2" 'BEGIN { print (b > 0 ? a / b : 0) }')"; }
  row "cp of the source" "$t_cp"
  row "Zantrel job (split_driver)" "$t_z"
  row "ffmpeg -ss before -i, re-encode" "$t_re"
  row "ffmpeg -ss before -i, -c copy" "$t_copy"
  row "budget: cp + heads + 0.1 s/piece" "$budget"
  printf 'ffmpeg re-encode / Zantrel: %.1f x faster\n' "$(awk -v a="$t_re" -v b="$t_z" 'BEGIN { print a / b }')"
  printf 'Zantrel within budget: %s\n' "$(awk -v a="$t_z" -v b="$budget" 'BEGIN { print (a <= b ? "yes" : "no") }')"
  printf 'Zantrel: %d pieces, %.2f s in total (source %d s), %d failed the strict decode\n' \
    "$n" "$total" "$seconds" "$bad"
}

for gop in $gops; do
  bench_one "$gop"
  rm -rf "$work/gop$gop"
done
