#!/usr/bin/env bash
# Makes the sound files the Windows conversion tests decode: two seconds of a
# stereo sine (440 Hz left, 660 Hz right) as raw 16-bit PCM, and the same
# encoded as MP3 by the Debian encoder, with an ID3v2 tag in front and an ID3v1
# trailer behind.
#   tools/make_sound_fixtures.sh OUTPUT-DIR
set -euo pipefail
out="$1"
mkdir -p "$out"
python3 - "$out/sine_stereo_44100.raw" <<'PY'
import math, struct, sys
rate = 44100
with open(sys.argv[1], "wb") as f:
    for i in range(2 * rate):
        left = round(12000 * math.sin(2 * math.pi * 440 * i / rate))
        right = round(12000 * math.sin(2 * math.pi * 660 * i / rate))
        f.write(struct.pack("<hh", left, right))
PY
lame --quiet -r -s 44.1 --bitwidth 16 --signed --little-endian -m s -b 128 \
  --add-id3v2 --tt "Korvo test tone" --ta "Korvo" \
  "$out/sine_stereo_44100.raw" "$out/sine_stereo_44100.mp3"
