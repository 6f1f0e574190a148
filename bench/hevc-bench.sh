#!/usr/bin/env bash
# HEVC smart cut against the ffmpeg command-line re-encode of the same cuts,
# side by side in one run: a 2-minute 1280x720 30 fps HEVC/AAC MP4 (libx265,
# closed groups of 61 pictures, about 2 s, with B-frames, as phones record)
# is cut into 4 equal pieces by ZantrelCore with the program's command lines
# (smart cut), then by `ffmpeg -ss S -i src -t T -c:v libx265 -crf 18 -c:a aac`
# (libx265's default preset), and, with --full, by ZantrelCore's own full
# re-encode (<smart> 0: libx265 crf 18 veryfast). Zantrel's pieces are
# decoded strictly and their pictures counted against the source's.
#
#   bench/hevc-bench.sh [--seconds N] [--full] [--build DIR]     (DIR defaults to ./build)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build"
seconds=120
full=0
while [ $# -gt 0 ]; do
  case "$1" in
    --seconds) seconds=$2; shift ;;
    --full) full=1 ;;
    --build) build=$(cd "$2" && pwd); shift ;;
    *) echo "usage: $0 [--seconds N] [--full] [--build DIR]" >&2; exit 2 ;;
  esac
  shift
done
tool="$build/bin/ZantrelCore"
[ -x "$tool" ] || { echo "missing $tool: cmake --build $build --target ZantrelCore" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg not found" >&2; exit 1; }
pieces=4

work=$(mktemp -d "${TMPDIR:-/tmp}/zantrel-hevcbench-XXXXXX")
trap 'rm -rf "$work"' EXIT
src="$work/source.mp4"
echo "== source: ${seconds}s 1280x720 30 fps HEVC (GOP 61, B-frames, closed) + AAC, $pieces pieces"
ffmpeg -nostdin -v error -y \
  -f lavfi -i "testsrc2=size=1280x720:rate=30:duration=$seconds" \
  -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$seconds" \
  -c:v libx265 -preset ultrafast -x265-params "log-level=error:keyint=61:min-keyint=61:scenecut=0:open-gop=0:bframes=3" \
  -c:a aac -b:a 128k -shortest "$src"
echo "size: $(du -h "$src" | cut -f1)"
cat "$src" >/dev/null

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
step=$((seconds / pieces))

# The program's general form; the last piece asks a second more.
cut_with_tool() {  # <out-dir> <smart>
  mkdir -p "$1"
  local k start len
  for ((k = 0; k < pieces; k++)); do
    start=$((k * step)); len=$step
    [ $k -eq $((pieces - 1)) ] && len=$((seconds - start + 1))
    "$tool" -i "$src" -ss "$start" -t "$len" "$1/source[$((k + 1))].mp4" 6 100 100 "$2" 2>>"$1.log" ||
      { cat "$1.log" >&2; exit 1; }
  done
}
cut_with_ffmpeg() {  # <out-dir>
  mkdir -p "$1"
  local k start len
  for ((k = 0; k < pieces; k++)); do
    start=$((k * step)); len=$step
    [ $k -eq $((pieces - 1)) ] && len=$((seconds - start))
    ffmpeg -nostdin -v error -y -ss "$start" -i "$src" -t "$len" -c:v libx265 -crf 18 \
      -x265-params log-level=error -c:a aac "$1/source[$((k + 1))].mp4"
  done
}

t0=$(now); cut_with_tool "$work/smart" 1; t1=$(now); t_smart=$(elapsed "$t0" "$t1")
t0=$(now); cut_with_ffmpeg "$work/cli"; t1=$(now); t_cli=$(elapsed "$t0" "$t1")
if [ "$full" = 1 ]; then
  t0=$(now); cut_with_tool "$work/full" 0; t1=$(now); t_full=$(elapsed "$t0" "$t1")
fi

frames() { ffprobe -v error -count_frames -select_streams v -show_entries stream=nb_read_frames -of csv=p=0 "$1"; }
src_frames=$(frames "$src")
sum=0 bad=0
for f in "$work"/smart/*.mp4; do
  sum=$((sum + $(frames "$f")))
  [ -z "$(ffmpeg -nostdin -v error -err_detect explode -xerror -i "$f" -f null - 2>&1)" ] || bad=$((bad + 1))
done

echo
grep -h "smart cut\|full re-encode" "$work/smart.log" | sed 's/^/  /'
printf '\n%-44s %10s %14s\n' contender seconds "it / Zantrel"
row() { printf '%-44s %10.3f %14.1f\n' "$1" "$2" "$(awk -v a="$2" -v b="$t_smart" 'BEGIN { print a / b }')"; }
row "ZantrelCore smart cut (4 pieces)" "$t_smart"
row "ffmpeg -ss before -i, libx265 crf 18 medium" "$t_cli"
[ "$full" = 1 ] && row "ZantrelCore full re-encode (x265 veryfast)" "$t_full"
printf 'Zantrel: %d pictures in %d pieces (source %d), %d failed the strict decode\n' \
  "$sum" "$pieces" "$src_frames" "$bad"
