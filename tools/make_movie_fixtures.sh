#!/usr/bin/env bash
# Makes the movies the Windows movie tests play, encoded by the Debian GStreamer
# tools (10 frames a second but where said):
#   flat_colour.avi     Motion-JPEG, 64x48, one second of a flat colour (red 0x30,
#                       green 0x60, blue 0xa0);
#   scrolling_bars.avi  Motion-JPEG, 64x48, three seconds of colour bars scrolling
#                       4 pixels a frame;
#   sliding_bars.avi    Motion-JPEG, 64x48, three seconds of colour bars sliding 2
#                       pixels a frame: 30 frames, each another picture (the bars
#                       come round in 32);
#   odd_size_444.ogv    Ogg Theora, 161x97 (the encoder's choice of layout, 4:4:4),
#                       five frames of the test card at its own rate;
#   odd_size_420.ogv    Ogg Theora, 91x51, 4:2:0, five frames of the test card;
# and for each Theora movie its frames as GStreamer decodes them (.bgrx: 32-bit
# blue, green, red, unused; rows of the picture's width, frame after frame).
#   tools/make_movie_fixtures.sh OUTPUT-DIR
#   tools/make_movie_fixtures.sh --decode MOVIE.ogv OUTPUT.bgrx   one movie's decode
set -euo pipefail

decode_theora() {  # movie output
  gst-launch-1.0 -q filesrc location="$1" ! oggdemux ! theoradec ! videoconvert \
    ! video/x-raw,format=BGRx ! filesink location="$2" >/dev/null
}

if [ "${1:-}" = --decode ]; then
  decode_theora "$2" "$3"
  exit 0
fi

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
gst-launch-1.0 -q videotestsrc num-buffers=5 ! video/x-raw,width=161,height=97 \
  ! theoraenc ! oggmux ! filesink location="$out/odd_size_444.ogv" >/dev/null
gst-launch-1.0 -q videotestsrc num-buffers=5 ! video/x-raw,format=I420,width=91,height=51 \
  ! theoraenc ! oggmux ! filesink location="$out/odd_size_420.ogv" >/dev/null
for movie in odd_size_444 odd_size_420; do
  decode_theora "$out/$movie.ogv" "$out/$movie.bgrx"
done
