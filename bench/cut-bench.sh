#!/usr/bin/env bash
# Times single ZantrelCore runs against the ffmpeg CLI doing the same work:
#   probe:  ZantrelCore -i <src> 20 4 80   vs  ffprobe
#   cuts:   each command form (mp4, flv, 3gp, and avi from an MPEG-4 source),
#           early, middle and late starts, re-encoded by both with the same
#           codecs and quality (libx264 crf 18 veryfast; mpeg4 q 2).
# Sources: a 2-minute 1280x720 25 fps H.264/AAC MP4 and an MPEG-4/MP3 AVI,
# both with a 250-frame GOP (--short: 30 seconds).
#
#   bench/cut-bench.sh [--short] [--build DIR]     (DIR defaults to ./build)
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
build="$repo/build"
seconds=120
while [ $# -gt 0 ]; do
  case "$1" in
    --short) seconds=30 ;;
    --build) build=$(cd "$2" && pwd); shift ;;
    *) echo "usage: $0 [--short] [--build DIR]" >&2; exit 2 ;;
  esac
  shift
done
tool="$build/bin/ZantrelCore"
[ -x "$tool" ] || { echo "missing $tool: cmake --build $build --target ZantrelCore" >&2; exit 1; }
command -v ffmpeg >/dev/null || { echo "ffmpeg not found" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zantrel-cutbench-XXXXXX")
trap 'rm -rf "$work"' EXIT

echo "sources: ${seconds}s 1280x720 25 fps, GOP 250"
ffmpeg -v error -y -f lavfi -i "testsrc2=size=1280x720:rate=25:duration=$seconds" \
  -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$seconds" \
  -c:v libx264 -preset veryfast -g 250 -pix_fmt yuv420p -c:a aac -b:a 128k -shortest "$work/src.mp4"
ffmpeg -v error -y -i "$work/src.mp4" -c:v mpeg4 -q:v 3 -g 250 -c:a libmp3lame -b:a 128k "$work/src.avi"
cat "$work/src.mp4" "$work/src.avi" >/dev/null

now() { date +%s.%N; }
elapsed() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", b - a }'; }
timed() {  # prints the seconds a command takes, or "failed"
  local t0 t1
  t0=$(now)
  if ! "$@" >/dev/null 2>&1; then echo "failed: $*" >&2; echo failed; return; fi
  t1=$(now)
  elapsed "$t0" "$t1"
}

t_probe=$(timed "$tool" -i "$work/src.mp4" 20 4 80)
t_ffprobe=$(timed ffprobe -v error -show_format "$work/src.mp4")
printf '%-22s %8s %8s\n' "" ZantrelC ffmpeg
printf '%-22s %8s %8s\n' "probe mp4" "$t_probe" "$t_ffprobe"

len=10
starts="5 $((seconds / 2)) $((seconds - len - 2))"
x264=(-c:v libx264 -crf 18 -preset veryfast)
sum_z=0
sum_f=0
failures=0
row() {  # <label> <zantrel seconds> <ffmpeg seconds>
  printf '%-22s %8s %8s\n' "$1" "$2" "$3"
  if [ "$2" = failed ] || [ "$3" = failed ]; then failures=$((failures + 1)); return; fi
  sum_z=$(awk -v a="$sum_z" -v b="$2" 'BEGIN { print a + b }')
  sum_f=$(awk -v a="$sum_f" -v b="$3" 'BEGIN { print a + b }')
}
# Debian's ffmpeg CLI has no AMR-NB encoder; then it encodes 8 kHz mono AAC
# for the 3gp comparison, which costs about the same.
amr=(-c:a libopencore_amrnb -b:a 12.2k)
ffmpeg -hide_banner -encoders 2>/dev/null | grep -q libopencore_amrnb || amr=(-c:a aac)
for s in $starts; do
  o="$work/o$s"
  row "mp4 general -ss $s" \
    "$(timed "$tool" -i "$work/src.mp4" -ss "$s" -t $len "$o-z.mp4" 6 100 100)" \
    "$(timed ffmpeg -v error -y -ss "$s" -i "$work/src.mp4" -t $len "${x264[@]}" -c:a aac "$o-f.mp4")"
  row "flv -ss $s" \
    "$(timed "$tool" -i "$work/src.mp4" -ar 22050 -ss "$s" -t $len "$o-z.flv" 6 100 100)" \
    "$(timed ffmpeg -v error -y -ss "$s" -i "$work/src.mp4" -t $len "${x264[@]}" -c:a aac -ar 22050 "$o-f.flv")"
  row "3gp -ss $s" \
    "$(timed "$tool" -i "$work/src.mp4" -ss "$s" -t $len -y -ar 8000 -ac 1 -ab 12.2k "$o-z.3gp" 6 100 100)" \
    "$(timed ffmpeg -v error -y -ss "$s" -i "$work/src.mp4" -t $len "${x264[@]}" \
         "${amr[@]}" -ar 8000 -ac 1 "$o-f.3gp")"
  row "avi general -ss $s" \
    "$(timed "$tool" -i "$work/src.avi" -ss "$s" -t $len "$o-z.avi" 6 100 100)" \
    "$(timed ffmpeg -v error -y -ss "$s" -i "$work/src.avi" -t $len -c:v mpeg4 -q:v 2 -c:a libmp3lame "$o-f.avi")"
done
printf '%-22s %8s %8s\n' "total cuts" "$sum_z" "$sum_f"
[ "$failures" -eq 0 ] || { echo "$failures row(s) failed" >&2; exit 1; }
