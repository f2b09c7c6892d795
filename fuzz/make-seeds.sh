#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Writes the fuzzer's seed corpus into fuzz/seeds/: a few tiny files, each a case the analysis
# must handle. Run it again after changing it; the files are committed.
set -euo pipefail
out="$(dirname "$0")/seeds"
mkdir -p "$out"
rm -f "$out"/*

zeros() { head -c "$1" /dev/zero; }
# frame HEADER_BYTES LENGTH: one frame of LENGTH bytes, the header then zeros.
frame() { printf "$1"; zeros $(($2 - 4)); }
be32() { printf "\\x$(printf %02x $(($1 >> 24 & 255)))\\x$(printf %02x $(($1 >> 16 & 255)))\\x$(printf %02x $(($1 >> 8 & 255)))\\x$(printf %02x $(($1 & 255)))"; }
tag() { printf 'TAG'; zeros 125; }

cbr='\xff\xfb\x90\x64'  # MPEG 1 Layer III, 128 kbps, 44100 Hz: 417 bytes

# Three plain frames and a trailing tag.
{ frame "$cbr" 417; frame "$cbr" 417; frame "$cbr" 417; tag; } >"$out/cbr-with-trailing-tag.mp3"

# A leading ID3v2 tag of 30 bytes, then frames.
{ printf 'ID3\x03\x00\x00\x00\x00\x00\x14'; zeros 20; frame "$cbr" 417; frame "$cbr" 417; } \
  >"$out/leading-tag.mp3"

# An ID3v2.4 tag with a footer, a second tag right behind it, then frames.
{ printf 'ID3\x04\x00\x10\x00\x00\x00\x06'; zeros 16; printf 'ID3\x03\x00\x00\x00\x00\x00\x00'
  frame "$cbr" 417; frame "$cbr" 417; } >"$out/footer-and-second-tag.mp3"

# A first frame with a "Xing" header holding every field.
{ printf "$cbr"; zeros 32; printf 'Xing'; be32 15; be32 9000; be32 4000000
  for i in $(seq 0 99); do printf "\\x$(printf %02x "$i")"; done; be32 57
  zeros $((417 - 156)); frame "$cbr" 417; } >"$out/xing.mp3"

# A mono first frame with an "Info" header (offset 21).
{ printf '\xff\xfb\x90\xc4'; zeros 17; printf 'Info'; be32 3; be32 100; be32 41700
  zeros $((417 - 37)); frame '\xff\xfb\x90\xc4' 417; } >"$out/info-mono.mp3"

# A first frame with a "VBRI" header and a two-entry seek table.
{ printf "$cbr"; zeros 32; printf 'VBRI\x00\x01\x04\xd2\x00\x4b'; be32 4000000; be32 9000
  printf '\x00\x01\x00\x02\x00\x02\x00\x10\x01\x00\x02\x00'
  zeros $((417 - 66)); frame "$cbr" 417; } >"$out/vbri.mp3"

# MPEG 2 Layer III at 8 kbps and 22050 Hz: 26-byte frames.
{ for i in $(seq 1 20); do frame '\xff\xf3\x10\x00' 26; done; } >"$out/mpeg2-26-byte-frames.mp3"

# MPEG 2.5 Layer III at 8 kbps and 8000 Hz, padded: 73-byte frames, after a byte 255.
{ printf '\xff'; for i in $(seq 1 5); do frame '\xff\xe3\x1a\x00' 73; done; } \
  >"$out/mpeg25-after-255.mp3"

# Frames whose second header is damaged.
{ frame "$cbr" 417; frame '\xff\x00\x90\x64' 417; frame "$cbr" 417; frame "$cbr" 417; } \
  >"$out/damaged-second-frame.mp3"

# Bytes without any frame.
{ for i in $(seq 1 100); do printf 'no frames ID here \xff\x00'; done; } >"$out/no-frames.bin"

# For the frame walk: frames, junk, an ID3v2 tag, frames at 22050 Hz (a change of format), a
# stray mono frame, an APE tag and a trailing tag.
half='\xff\xf3\x90\x64'  # MPEG 2 Layer III, 80 kbps, 22050 Hz: 261 bytes
{ frame "$cbr" 417; frame "$cbr" 417; printf 'junk\xff\xfb'; printf 'ID3\x03\x00\x00\x00\x00\x00\x0a'
  zeros 10; frame "$half" 261; frame '\xff\xf3\x90\xc4' 261; frame "$half" 261; frame "$half" 261
  printf 'APETAGEX\xd0\x07\x00\x00\x20\x00\x00\x00'; zeros 16; tag; } >"$out/walk-joined.mp3"

# For the frame walk: a hollow first frame with a CRC, then frames, the last cut short.
{ printf '\xff\xfa\x90\x64\x12\x34'; zeros 411; frame '\xff\xfa\x90\x64' 417
  frame '\xff\xfa\x90\x64' 100; } >"$out/walk-cut-short.mp3"
