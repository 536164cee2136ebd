#!/usr/bin/env bash
# Makes the movies the Windows DirectShow tests play, Motion-JPEG in an AVI
# container, encoded by the Debian GStreamer tools (10 frames a second, 64x48):
#   flat_colour.avi     one second of a flat colour (red 0x30, green 0x60, blue 0xa0);
#   scrolling_bars.avi  three seconds of colour bars scrolling 4 pixels a frame;
#   sliding_bars.avi    three seconds of colour bars sliding 2 pixels a frame: 30
#                       frames, each another picture (the bars come round in 32).
#   tools/make_movie_fixtures.sh OUTPUT-DIR
set -euo pipefail
out="$1"
mkdir -p "$out"
gst-launch-1.0 -q videotestsrc num-buffers=10 pattern=solid-color foreground-color=0xff3060a0 \
  ! video/x-raw,format=I420,width=64,height=48,framerate=10/1 \
  ! jpegenc quality=95 ! avimux ! filesink location="$out/flat_colour.avi" >/dev/null
gst-launch-1.0 -q videotestsrc num-buffers=30 pattern=smpte horizontal-speed=4 \
  ! video/x-raw,format=I420,width=64,height=48,framerate=10/1 \
  ! jpegenc quality=95 ! avimux ! filesink location="$out/scrolling_bars.avi" >/dev/null
gst-launch-1.0 -q videotestsrc num-buffers=30 pattern=smpte horizontal-speed=2 \
  ! video/x-raw,format=I420,width=64,height=48,framerate=10/1 \
  ! jpegenc quality=95 ! avimux ! filesink location="$out/sliding_bars.avi" >/dev/null
