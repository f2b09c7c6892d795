#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# What lame keeps of damaged and mixed MP3 sources, against what the Reduce run's frame walk
# counts in them.
#
#   bench/reduce/lame_model.sh [--quick] [--kestrelund-info PATH] [--keep]
#
# Everything is made in a temporary folder with fixed seeds (--keep leaves it): four seconds of
# sox noise, lame CBR/ABR/VBR files at 8, 11.025, 12, 16, 22.05, 24, 32, 44.1 and 48 kHz, mono
# and stereo (one without an Info frame), ffmpeg Layer II files; from them sources with a cut
# last frame; with 1, 3, 6, 35 frames or the whole rest of another sample rate, channel count or
# layer spliced in (from the foreign stream's start, middle or random spots); with junk, zeros or
# an ID3v2 tag between two frames; two files joined end to end, with and without a tag between.
# Each is decoded (lame --decode) and reduced at all eighteen target bitrates (five with
# --quick) as the run hands lame its files: lame -h -m s -b N --mpXinput /dev/fd/3 /dev/fd/4
# 3<source 4<>output. Then a census of 600 splices of 1 to 6 foreign frames from random spots,
# the bitrate lame writes for each sample rate and target, and a check that lame writes the same
# bytes through /dev/fd as to named files. Tables to stdout and build/lame_model/report.txt,
# every encode's row to build/lame_model/table.tsv. About 30 minutes (a busy machine, 2 cores).
#
# Measured (full run): gap = the output's counted length - the source's frames in its first
# audio frame's format (a cut last frame not counted); lost = frames lame's decode lacks against
# the same file undamaged.
#
#   source                                          lost                    gap, ms (18 rates)
#   clean                                           0                       -12 .. +199
#   last frame cut by 1 byte, 100 bytes, half       0 or 1 (kept or not)    -20 .. +225
#   last frame cut to 2 or 4 bytes of its header    1 (never decoded)        -9 .. +179
#   1-35 frames of another sample rate, channel     0-2, all after the run  -48 .. +199
#     count or layer (Layer II in III, III in II)
#   the same, but lame stopped at the run (exit 0)  all after the run       -3240 (2 of 27 at
#                                                                           35 frames; 0 of 587
#                                                                           census splices)
#   the whole rest in another format                that rest                 0 .. +189
#   junk (1-5000 random bytes) between frames       0                       -12 .. +199
#   zeros or an ID3v2 tag between frames            0-2 after it (Layer III) -105 .. +153
#   two files joined, same format, tag or not       0                       -12 .. +182
#   two files joined, other formats                 the second file         -12 .. +225
#   3 foreign frames before the first main frame    lame keeps those 3 at most and stops: the
#                                                   output is 0.6-8.5 % of the source's length
#
# The rule these leave: expect the first format's frames; fail an output outside
# -40 ms - 2 first-format frames per interruption (bytes the walk passes over, or a run of other
# formats) .. +288 ms: no false failure and no false pass in 8,352 encodes. Where lame stopped
# at a foreign run, the output lasts as long as the audio before the walk's first foreign frame
# (0 to +180 ms).
#
# Written bitrate (kbps; *N: lame resamples to N Hz), a stereo source:
#   Hz        8     16     24     32     40     48     56     64     80     96    112  128  144  160  192  224  256  320
#   8000      8     16     24     32     40     48     56     64     64     64     64   64   64   64   64   64   64   64
#   11025  8*8k  16*8k  24*8k     32     40     48     56     64     64     64     64   64   64   64   64   64   64   64
#   12000  8*8k  16*8k  24*8k     32     40     48     56     64     64     64     64   64   64   64   64   64   64   64
#   16000  8*8k  16*8k  24*8k     32     40     48     56     64     80     96    112  128  144  160  160  160  160  160
#   22050  8*8k  16*8k  24*8k 32*16k 40*16k     48     56     64     80     96    112  128  144  160  160  160  160  160
#   24000  8*8k  16*8k  24*8k 32*16k 40*16k 48*22k     56     64     80     96    112  128  144  160  160  160  160  160
#   32000  8*8k  16*8k  24*8k 32*16k 40*16k 48*22k 56*24k 64*24k     80     96    112  128  128  160  192  224  256  320
#   44100  8*8k  16*8k  24*8k 32*16k 40*16k 48*22k 56*24k 64*24k 80*32k 96*32k    112 128  128  160  192  224  256  320
#   48000  8*8k  16*8k  24*8k 32*16k 40*16k 48*22k 56*24k 64*24k 80*32k 96*32k 112*44k 128 128  160  192  224  256  320
# (22k = 22050 Hz, 44k = 44100 Hz.) A mono source, the same bitrates, resampled less: 8 kbps to
# 8 kHz (from 11.025 kHz up), 16-24 to 16 kHz (from 22.05 kHz up), 32 to 22.05 kHz (from 24 kHz
# up), 40 to 24 kHz (from 32 kHz up), 48-56 to 32 kHz (44.1 and 48 kHz).
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
helper="$root/bench/reduce/lame_model.py"
quick=0
keep=0
ki=""
while [ $# -gt 0 ]; do
    case $1 in
        --quick) quick=1 ;;
        --keep) keep=1 ;;
        --kestrelund-info) ki=$2; shift ;;
        *) echo "usage: $0 [--quick] [--kestrelund-info PATH] [--keep]" >&2; exit 2 ;;
    esac
    shift
done
if [ -z "$ki" ]; then
    cmake -S "$root" -B "$root/build" -G Ninja >/dev/null
    nice cmake --build "$root/build" --target kestrelund-info >/dev/null
    ki="$root/build/bin/kestrelund-info"
fi
results="$root/build/lame_model"
mkdir -p "$results"
work="$(mktemp -d)"
if [ $keep = 1 ]; then echo "work folder: $work" >&2; else trap 'rm -rf "$work"' EXIT; fi

kbps_all="8 16 24 32 40 48 56 64 80 96 112 128 144 160 192 224 256 320"
if [ $quick = 1 ]; then kbps="8 32 64 144 320"; census_n=120; else kbps=$kbps_all; census_n=600; fi
secs=4
RANDOM=20240611  # every random choice of the shell below follows from this seed

# --- the streams -------------------------------------------------------------------------------

# wav NAME RATE CHANNELS NOISE: seconds of sox noise (repeatable).
wav() {
    [ -e "$work/$1.wav" ] ||
        sox -R -n -r "$2" -c "$3" "$work/$1.wav" synth "$secs" "$4" vol 0.3 2>/dev/null
}
# stream NAME RATE CHANNELS NOISE ENCODER...: the file NAME.mp3 in work; ENCODER "mp2 KBPS" for
# Layer II by ffmpeg, else lame's options (the sample rate always kept).
stream() {
    local name=$1 rate=$2 ch=$3 noise=$4
    shift 4
    [ -e "$work/$name.mp3" ] && return
    wav "w$rate-$ch-$noise" "$rate" "$ch" "$noise"
    if [ "$1" = mp2 ]; then
        ffmpeg -loglevel error -y -i "$work/w$rate-$ch-$noise.wav" -c:a mp2 -b:a "${2}k" \
            -f mp2 "$work/$name.mp3"
    else
        lame --quiet --resample "$(awk -v r="$rate" 'BEGIN { print r / 1000 }')" "$@" \
            "$work/w$rate-$ch-$noise.wav" "$work/$name.mp3"
    fi
}
# The other sample rate of the same MPEG version, for a foreign stream.
other_rate() {
    case $1 in
        8000) echo 12000 ;; 11025) echo 8000 ;; 12000) echo 11025 ;;
        16000) echo 22050 ;; 22050) echo 24000 ;; 24000) echo 16000 ;;
        32000) echo 48000 ;; 44100) echo 48000 ;; 48000) echo 44100 ;;
    esac
}

# The main streams: NAME RATE CHANNELS ENCODER...
if [ $quick = 1 ]; then
    mains=("m8 8000 1 --abr 48" "m24 24000 2 -V 4" "m44 44100 2 -V 2" "m44l2 44100 2 mp2 192")
else
    mains=("m8 8000 1 --abr 48" "m11 11025 2 -b 32" "m12 12000 1 -V 5" "m16 16000 2 --abr 40"
        "m22 22050 1 -b 48" "m24 24000 2 -V 4" "m32 32000 1 -b 64" "m44 44100 2 -V 2"
        "m48 48000 2 -b 192" "m44t 44100 2 -t -b 128" "m44l2 44100 2 mp2 192"
        "m22l2 22050 1 mp2 64")
fi
specs="$work/specs"
: > "$specs"
spec() { echo "$*" >> "$specs"; }
census_mains=()
census_foreigns=()
for entry in "${mains[@]}"; do
    set -- $entry
    m=$1 rate=$2 ch=$3
    shift 3
    stream "$m" "$rate" "$ch" pinknoise "$@"
    stream "${m}b" "$rate" "$ch" brownnoise "$@"  # a second file in the same format
    other_ch=$((3 - ch))
    orate=$(other_rate "$rate")
    # Foreign streams: another sample rate, another channel count, another layer (Layer II at the
    # same rate where Layer II has it, else at twice the rate; Layer III inside Layer II).
    stream "f$orate-$ch" "$orate" "$ch" brownnoise -V 4
    stream "f$rate-$other_ch" "$rate" "$other_ch" brownnoise -V 4
    if [ "$1" = mp2 ]; then
        stream "f$rate-$ch-l3" "$rate" "$ch" brownnoise -b 64
        layer_f="f$rate-$ch-l3"
    else
        l2rate=$rate
        [ "$rate" -lt 16000 ] && l2rate=$((rate * 2))
        stream "f$l2rate-$ch-l2" "$l2rate" "$ch" brownnoise mp2 $((ch * 64))
        layer_f="f$l2rate-$ch-l2"
        census_mains+=("$m")
    fi
    census_foreigns+=("f$orate-$ch" "f$rate-$other_ch" "$layer_f")
    layer=3
    [ "$1" = mp2 ] && layer=2

    spec "$m-clean clean copy $m.mp3"
    for cut in 1 100 hdr2 hdr4 half; do spec "$m-cut$cut cut cut $m.mp3 $cut"; done
    for f in "rate f$orate-$ch" "channels f$rate-$other_ch" "layer $layer_f"; do
        set -- $f
        kind=$1 fs=$2.mp3
        [ $layer = 2 ] && [ "$kind" != layer ] && continue
        i=0
        # (spot in the main stream, spot in the foreign one, frames): its start, its middle,
        # random spots; the last one before the main stream's first audio frame.
        for s in "0.5 0 1" "0.5 0.5 3" "0.7 r 3" "0.4 r 6" "0.2 0.5 35" "0.6 0.5 rest" "0 r 3"; do
            i=$((i + 1))
            [ $quick = 1 ] && [ $i = 3 ] && continue
            set -- $s
            spec "$m-$kind$i $kind splice $m.mp3 $fs $1 $2 $3"
        done
    done
    for d in "junk 1" "junk 100" "junk 1000" "junk 5000" "zeros 100" "zeros 2000" "id3 200" \
        "id3 3000" "id3raw 3000" "id3raw 20000"; do
        set -- $d
        spec "$m-$1$2 $1 insert $m.mp3 0.5 $1 $2"
    done
    spec "$m-join join-same join $m.mp3 ${m}b.mp3"
    spec "$m-joinid3 join-same+id3 join $m.mp3 ${m}b.mp3 2000"
    spec "$m-joino join-other join $m.mp3 f$orate-$ch.mp3"
    spec "$m-joinoid3 join-other+id3 join $m.mp3 f$orate-$ch.mp3 2000"
done

# The census: a main stream, a foreign stream in another format, 1 to 6 frames from a random spot
# spliced in at a random spot after the first audio frame.
for ((i = 1; i <= census_n; i++)); do
    m=${census_mains[$((RANDOM % ${#census_mains[@]}))]}
    while :; do
        f=${census_foreigns[$((RANDOM % ${#census_foreigns[@]}))]}
        case $f in f*-l3) continue ;; esac  # Layer III inside Layer III is no change of layer
        break
    done
    spec "c$i census splice $m.mp3 $f.mp3 r1 r $((RANDOM % 6 + 1))"
done
spec "fd-layer1 fd layer1 300"

echo "building $(wc -l < "$specs") sources" >&2
python3 "$helper" build "$work" < "$specs" > "$work/sources.jsonl"
# Census splices of two streams in one format are no change: left out.
python3 - "$work/sources.jsonl" <<'EOF'
import json, sys
p = sys.argv[1]
keep = [l for l in open(p) if not (json.loads(l)["kind"] == "census" and
        json.loads(l)["build"]["main"] == json.loads(l)["build"]["foreign"])]
open(p, "w").writelines(keep)
EOF

# --- decoding and encoding, as the Reduce run hands lame its files -------------------------------

# The input option for a source, by the layer of the first frame kestrelund-info finds (its
# --json line in $1).
input_option() {
    case $(sed -n 's/.*"Layer":\([0-9]\).*/\1/p' <<< "$1") in
        1) echo --mp1input ;;
        2) echo --mp2input ;;
        *) echo --mp3input ;;
    esac
}

# decode NAME REF: lame --decode on descriptors; one line: name, exit code, the WAV's samples,
# rate, channels and common start and end with the decode of REF (the clean file, "-" for none),
# lame's initial skip, what lame said of a change, the source's kestrelund-info --count line.
decode() {
    local name=$1 ref=$2 src="$work/$1.mp3" wav="$work/$1.wav" rc=0 opt wavinfo skip changed info
    info=$("$ki" --count --json "$src" 2>/dev/null || true)
    opt=$(input_option "$info")
    echo "$opt" > "$work/$name.opt"
    lame --decode "$opt" /dev/fd/3 /dev/fd/4 3<"$src" 4<>"$wav" 2>"$work/$name.derr" || rc=$?
    [ "$ref" = - ] || ref="$work/$ref.wav"
    wavinfo=$(python3 "$helper" compare "$ref" "$wav")
    skip=$(tr '\r' '\n' < "$work/$name.derr" |
        sed -n 's/.*skipping initial \([0-9]*\) samples.*/\1/p' | head -1)
    changed=$(tr '\r' '\n' < "$work/$name.derr" | grep -o '[a-z ]* has changed' | sort -u |
        tr '\n' ';' || true)
    [[ $name == *-clean ]] || rm -f "$wav"
    printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$rc" "$wavinfo" "${skip:-0}" "${changed:--}" \
        "$info"
}
# encode NAME KBPS: the Reduce run's encode on descriptors; name, kbps, exit code, the output's
# kestrelund-info --count line.
encode() {
    local name=$1 kbps=$2 src="$work/$1.mp3" out="$work/$1-$2.out.mp3" rc=0 opt
    opt=$(< "$work/$name.opt")
    lame -h -m s -b "$kbps" "$opt" /dev/fd/3 /dev/fd/4 3<"$src" 4<>"$out" >/dev/null 2>&1 ||
        rc=$?
    printf '%s\t%s\t%s\t%s\n' "$name" "$kbps" "$rc" "$("$ki" --count --json "$out" 2>/dev/null || true)"
    rm -f "$out"
}
export -f input_option decode encode
export work ki helper

# names WHICH: "NAME REF" for the sources of the table ("table"), of the census ("census"), or
# all; REF the clean file of the same main stream, "-" for the clean files themselves.
names() { python3 -c "import json,sys
for l in open(sys.argv[1]):
    s = json.loads(l)
    if s['kind'] == 'fd' or (sys.argv[2] != 'all' and (s['kind'] == 'census') != (sys.argv[2] == 'census')):
        continue
    ref = '-' if s['kind'] == 'clean' else s['spec'].split()[1][:-4] + '-clean'
    print(s['name'], ref)" "$work/sources.jsonl" "$1"; }

echo "decoding" >&2
# The clean files first: the others are compared with their decodes.
names all | grep -- ' -$' | nice xargs -P 2 -L 1 bash -c 'decode "$0" "$1"' > "$work/decodes.tsv"
names all | grep -v -- ' -$' | nice xargs -P 2 -L 1 bash -c 'decode "$0" "$1"' \
    >> "$work/decodes.tsv"
echo "encoding" >&2
{
    names table | while read -r n _; do for k in $kbps; do echo "$n $k"; done; done
    names census | while read -r n _; do echo "$n 64"; done
} | nice xargs -P 2 -L 1 bash -c 'encode "$0" "$1"' > "$work/encodes.tsv"

# --- the bitrate lame writes -----------------------------------------------------------------------

echo "bitrate table" >&2
for rate in 8000 11025 12000 16000 22050 24000 32000 44100 48000; do
    for ch in 1 2; do
        sox -R -n -r "$rate" -c "$ch" "$work/r$rate-$ch.wav" synth 1 pinknoise vol 0.3 2>/dev/null
        lame --quiet -V 4 --resample "$(awk -v r="$rate" 'BEGIN { print r / 1000 }')" \
            "$work/r$rate-$ch.wav" "$work/r$rate-$ch.mp3"
        for k in $kbps_all; do echo "$rate $ch $k"; done
    done
done | nice xargs -P 2 -L 1 bash -c '
    out="$work/r$0-$1-$2.out.mp3"; rc=0
    lame -h -m s -b "$2" --mp3input /dev/fd/3 /dev/fd/4 3<"$work/r$0-$1.mp3" 4<>"$out" \
        >/dev/null 2>&1 || rc=$?
    printf "%s\t%s\t%s\t%s\t%s\n" "$0" "$1" "$2" "$rc" "$("$ki" --json "$out")"
    rm -f "$out"' > "$work/rates.tsv"

# --- descriptors against named files ------------------------------------------------------------

fd_check() {  # LABEL SOURCE OPTION
    local a="$work/fd-$1-named.mp3" b="$work/fd-$1-fd.mp3" c="$work/fd-$1-named.wav" \
        d="$work/fd-$1-fd.wav"
    lame --quiet -h -m s -b 64 "$3" "$2" "$a"
    lame --quiet -h -m s -b 64 "$3" /dev/fd/3 /dev/fd/4 3<"$2" 4<>"$b"
    lame --quiet --decode "$3" "$2" "$c"
    lame --quiet --decode "$3" /dev/fd/3 /dev/fd/4 3<"$2" 4<>"$d"
    local e="differ" w="differ"
    cmp -s "$a" "$b" && e="identical"
    cmp -s "$c" "$d" && w="identical"
    echo "$1 ($("$ki" "$2" | sed 's/^[^:]*: //')): encode $e ($(stat -c %s "$a") bytes)," \
        "decode $w ($(stat -c %s "$c") bytes)"
}

{
    echo "== /dev/fd against named files (lame -h -m s -b 64, and --decode) =="
    fd_check "Layer I" "$work/fd-layer1.mp3" --mp1input
    fd_check "Layer II" "$work/m44l2.mp3" --mp2input
    fd_check "Layer III" "$work/m44.mp3" --mp3input
    echo
    python3 "$helper" report "$work" "$(echo $kbps | tr ' ' ',')"
} | tee "$results/report.txt"
cp "$work/table.tsv" "$results/table.tsv"
echo "every encode: $results/table.tsv; this report: $results/report.txt" >&2
