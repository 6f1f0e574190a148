#!/usr/bin/env bash
# Seek latency of the preview player on 720p H.264 clips with a 2 s and a
# 10 s group of pictures: median and p90 from a request to its frame painted,
# for today's setToPar, key-frame and exact seeks by time, and frame steps,
# side by side in one run (see bench/seek_latency.cpp).
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

export QT_QPA_PLATFORM=offscreen ZANTREL_AO=null
status=0
uptime
"$driver" "$dir/gop2s.mp4" $((2 * fps)) "$seeks" || status=1
"$driver" "$dir/gop10s.mp4" $((10 * fps)) "$seeks" || status=1
uptime
exit $status
