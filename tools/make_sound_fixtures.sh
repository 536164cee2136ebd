#!/usr/bin/env bash
# Makes the sound files the sound tests decode.
#
# 1. Two seconds of a stereo sine (440 Hz left, 660 Hz right) as raw 16-bit PCM,
#    and the same encoded as MP3 by the Debian encoder, with an ID3v2 tag in
#    front and an ID3v1 trailer behind.
# 2. The loader matrix (matrix/): short sweeps written the way SoX and lame write
#    them by default (WAVE of every sample kind, plain and extensible, with even
#    and odd sample counts; G.711, ADPCM, Ogg Vorbis, MP3 CBR and VBR), each with
#    SoX's own decode of it beside it (NAME.ref, raw little-endian PCM in the
#    sample kind the library delivers: the file's own for integer PCM, 16-bit
#    signed for everything else). matrix/rows.txt lists one row a line:
#      NAME FILE CHANNELS RATE REF-BITS
#    SoX's MS ADPCM decoder is not the format's (it differs by up to some 50
#    steps from ffmpeg's, which agrees with the platform's codec to the bit):
#    those rows take GStreamer's decode (ffmpeg's decoder) instead.
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

matrix="$out/matrix"
rm -rf "$matrix"
mkdir -p "$matrix"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
# SoX without dither and with its fixed random numbers: the same bytes every run.
soxq() { sox -R -D -V1 "$@"; }

# A 16-bit sweep of FRAMES frames (one falling sweep a channel beyond the first).
source_sweep() { # RATE CHANNELS FRAMES -> path
  local path="$work/src_$1_$2_$3.wav"
  if [ ! -f "$path" ]; then
    local tones=(sine 200-3000)
    [ "$2" -ge 2 ] && tones+=(sine 3000-200)
    soxq -r "$1" -c "$2" -n -b 16 "$path" synth "$3"s "${tones[@]}" vol 0.5
  fi
  echo "$path"
}

# row NAME RATE CHANNELS FRAMES REF-BITS SOX-OUTPUT-ARGS...: a WAVE or Ogg file by SoX
row() {
  local name="$1" rate="$2" channels="$3" frames="$4" bits="$5"
  shift 5
  local ext=wav
  [[ " $* " == *" -t ogg "* ]] && ext=ogg
  local file="$name.$ext"
  soxq "$(source_sweep "$rate" "$channels" "$frames")" "$@" "$matrix/$file"
  reference "$name" "$file" "$channels" "$rate" "$bits"
}

# mp3 NAME RATE CHANNELS FRAMES LAME-ARGS...: an MP3 file by lame
mp3() {
  local name="$1" rate="$2" channels="$3" frames="$4"
  shift 4
  lame --quiet "$@" "$(source_sweep "$rate" "$channels" "$frames")" "$matrix/$name.mp3"
  reference "$name" "$name.mp3" "$channels" "$rate" 16
}

# SoX's decode of a file, as raw PCM of the given bits (8 unsigned, else signed)
reference() { # NAME FILE CHANNELS RATE BITS
  local encoding=signed
  [ "$5" = 8 ] && encoding=unsigned
  soxq "$matrix/$2" -t raw -e "$encoding" -b "$5" "$matrix/$1.ref"
  echo "$1 $2 $3 $4 $5" >> "$matrix/rows.txt"
}

# GStreamer's decode of a row's file in place of SoX's (16-bit signed)
gst_reference() { # NAME
  gst-launch-1.0 -q filesrc location="$matrix/$1.wav" ! wavparse ! decodebin ! audioconvert \
    ! audio/x-raw,format=S16LE ! filesink location="$matrix/$1.ref"
}

#   name                      rate  ch frames bits  output
row u8_mono_8000_even         8000   1 4000   8     -e unsigned -b 8
row u8_stereo_22050_odd      22050   2 4411   8     -e unsigned -b 8
row s16_mono_44100_odd       44100   1 4411   16    -b 16
row s16_stereo_48000_even    48000   2 4800   16    -b 16
row s24_mono_48000_odd       48000   1 4801   24    -b 24
row s24_stereo_96000_even    96000   2 9600   24    -b 24
row s24_plain_mono_22050_odd 22050   1 2205   24    -t wavpcm -b 24
row s32_stereo_44100_odd     44100   2 4411   32    -b 32
row s32_plain_mono_8000_even  8000   1 4000   32    -t wavpcm -b 32
row f32_mono_44100_odd       44100   1 4411   16    -e float -b 32
row f64_stereo_48000_even    48000   2 4800   16    -e float -b 64
row s16_6ch_48000_even       48000   6 4800   16    -b 16
row mulaw_mono_48000_odd     48000   1 4801   16    -e mu-law
row mulaw_stereo_8000_even    8000   2 4000   16    -e mu-law
row alaw_mono_48000_odd      48000   1 4801   16    -e a-law
row alaw_stereo_22050_even   22050   2 4410   16    -e a-law
row ima_mono_22050_odd       22050   1 4411   16    -e ima-adpcm
row ima_stereo_44100_even    44100   2 8820   16    -e ima-adpcm
row msadpcm_mono_8000_odd     8000   1 4001   16    -e ms-adpcm
row msadpcm_stereo_48000_even 48000  2 9600   16    -e ms-adpcm
gst_reference msadpcm_mono_8000_odd
gst_reference msadpcm_stereo_48000_even
row ogg_mono_22050_odd       22050   1 4411   16    -t ogg
row ogg_stereo_44100_even    44100   2 8820   16    -t ogg
mp3 mp3_cbr_mono_32000       32000   1 16001      -b 64 -m m
mp3 mp3_cbr_stereo_44100     44100   2 22050      -b 128
mp3 mp3_cbr_stereo_48000     48000   2 24000      -b 160
mp3 mp3_vbr_mono_44100       44100   1 22051      -V 4 -m m
mp3 mp3_vbr_stereo_48000     48000   2 24000      -V 2
