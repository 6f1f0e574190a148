#!/usr/bin/env bash
# Seek latency of the preview player on 720p H.264 clips with a 2 s and a
# 10 s group of pictures: median and p90 from a request to its frame painted,
# for today's setToPar, key-frame and exact seeks by time, and frame steps,
# side by side in one run (see bench/seek_latency.cpp), and the decoder's
# own floor under an exact seek.
#
#   bench/seek-latency.sh [seek_latency binary] [rounds]
#
# Clips are made once into $SEEK_BENCH_DIR (default /tmp/zantrel-seek-bench).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
driver=${1:-$here/build/bin/seek_latency}
seeks=${2:-30}
dir=${SEEK_BENCH_DIR:-/tmp/zantrel-seek-bench}
mkdir -p "$dir"
[ -x "$driver" ] || { echo "no driver at $driver (build target seek_latency)" >&2; exit 2; }

fps=25 seconds=60
# Moving test picture with some grain (so the decoder has real work), and in
# the top third the frame number as 16 bars, the lower half of the band
# inverted (see bench/seek_latency.cpp).
pattern="color=c=black:s=16x2:r=$fps:d=$seconds,format=gray,geq=lum='if(eq(mod(floor(N/pow(2\,X))\,2)\,Y)\,16\,235)',scale=1280:240:flags=neighbor,setsar=1,format=yuv420p"
make_clip() {  # gop out
  [ -s "$2" ] && return
  ffmpeg -nostdin -loglevel error -y \
    -f lavfi -i "testsrc2=s=1280x720:r=$fps:d=$seconds" -f lavfi -i "$pattern" \
    -f lavfi -i "sine=frequency=440:duration=$seconds" \
    -filter_complex "[0:v]noise=alls=8:allf=t[b];[b][1:v]overlay=0:0:shortest=1,format=yuv420p[v]" \
    -map "[v]" -map 2:a -c:v libx264 -preset veryfast -crf 23 -g "$1" -keyint_min "$1" \
    -sc_threshold 0 -c:a aac -b:a 96k "$2.tmp.mp4"
  mv -f "$2.tmp.mp4" "$2"
}
make_clip $((2 * fps)) "$dir/gop2s.mp4"
make_clip $((10 * fps)) "$dir/gop10s.mp4"

# The floor under any exact seek that decodes from the key frame: FFmpeg
# alone decoding the clip as an exact seek does (2 threads, frames nobody
# refers to skipped), best of three, per frame; a target half a group after
# its key frame (the median of random targets) and one at 90 % of a group.
floor() {  # clip gop
  local best=0 t0 t1 ms
  for _ in 1 2 3; do
    t0=$(date +%s.%N)
    ffmpeg -nostdin -v error -threads 2 -skip_frame noref -i "$1" -an -f null - || return
    t1=$(date +%s.%N)
    best=$(awk -v a="$t0" -v b="$t1" -v m="$best" 'BEGIN { d = b - a; print (m == 0 || d < m) ? d : m }')
  done
  awk -v s="$best" -v n=$((fps * seconds)) -v g="$2" -v c="$1" 'BEGIN {
    f = s * 1000 / n
    printf "%s decoder floor: %.2f ms a frame; median target %.0f ms, p90 target %.0f ms\n", c, f, f * g / 2, f * g * 0.9 }'
}

export QT_QPA_PLATFORM=offscreen ZANTREL_AO=null
status=0
uptime
"$driver" "$dir/gop2s.mp4" $((2 * fps)) "$seeks" || status=1
"$driver" "$dir/gop10s.mp4" $((10 * fps)) "$seeks" || status=1
floor "$dir/gop2s.mp4" $((2 * fps))
floor "$dir/gop10s.mp4" $((10 * fps))
uptime
exit $status
