#!/usr/bin/env bash
# SPDX-License-Identifier: GPL-3.0-or-later
# Measures how far an output's length lies from its source's when lame reduces a file with the
# Reduce run's own arguments (-h -m s -b KBPS), both lengths counted frame by frame as the run
# counts them. Sources: sox tones at 8 to 48 kHz, mono and stereo, 0.1 to 60 s, made by lame as
# CBR files (with an Info frame), VBR files with a Xing frame and VBR files without one (-t);
# each reduced at all eighteen menu bitrates; and two-hour tones at 8 kHz reduced at a few.
#
#   bench/reduce/length_gap.sh [build folder] [--quick]
# Prints one line an encode (kind, rate, channels, seconds, kbps, gap in ms) into the work
# folder's gaps.txt and the smallest and largest gap at the end.
set -euo pipefail
root="$(cd "$(dirname "$0")/../.." && pwd)"
build="${1:-$root/build}"
quick="${2:-}"
cmake -S "$root" -B "$build" -G Ninja >/dev/null
cmake --build "$build" --target frame_length >/dev/null
length="$build/bin/frame_length"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
kbps_all="8 16 24 32 40 48 56 64 80 96 112 128 144 160 192 224 256 320"
kinds=(cbr xing noxing)

make_source() {  # kind rate channels seconds -> path of the source
    local kind=$1 rate=$2 ch=$3 secs=$4
    local wav="$work/src-$rate-$ch-$secs.wav" mp3="$work/src-$kind-$rate-$ch-$secs.mp3"
    [ -e "$wav" ] || sox -n -r "$rate" -c "$ch" "$wav" synth "$secs" sine 440 sine 1250 >/dev/null
    case $kind in
        cbr) lame --quiet -b 64 "$wav" "$mp3" ;;
        xing) lame --quiet -V 4 "$wav" "$mp3" ;;
        noxing) lame --quiet -V 4 -t "$wav" "$mp3" ;;
    esac
    echo "$mp3"
}

# One encode: prints "kind rate ch secs kbps gap".
encode() {
    local src=$1 kbps=$2 label=$3
    local out="${src%.mp3}_${kbps}.mp3"
    lame -h -m s -b "$kbps" --quiet "$src" "$out"
    read -r src_ms _ < <("$length" "$src")
    read -r out_ms _ < <("$length" "$out")
    awk -v l="$label" -v k="$kbps" -v s="$src_ms" -v o="$out_ms" \
        'BEGIN { printf "%s %s %.3f\n", l, k, o - s }'
    rm -f "$out"
}
export -f encode
export length

sources=()
i=0
rates="8000 11025 12000 16000 22050 24000 32000 44100 48000"
durations="0.1 1.3 13.7"
[ "$quick" = --quick ] && durations="0.1 1.3"
for rate in $rates; do
    for ch in 1 2; do
        for secs in $durations; do
            kind=${kinds[$((i % 3))]}
            i=$((i + 1))
            sources+=("$(make_source "$kind" "$rate" "$ch" "$secs")|$kind $rate $ch $secs")
        done
    done
done
# A minute at a few rates, in each kind.
if [ "$quick" != --quick ]; then
    for spec in "cbr 8000 1" "xing 22050 2" "noxing 44100 2" "cbr 48000 2" "xing 11025 1" "noxing 16000 1"; do
        set -- $spec
        sources+=("$(make_source "$1" "$2" "$3" 60)|$1 $2 $3 60")
    done
fi

jobs=()
for entry in "${sources[@]}"; do
    for kbps in $kbps_all; do jobs+=("${entry%%|*}|$kbps|${entry#*|}"); done
done
# Two hours at 8 kHz, mono and stereo: the gap does not grow with the length.
if [ "$quick" != --quick ]; then
    for spec in "cbr 8000 1" "noxing 8000 2"; do
        set -- $spec
        src="$(make_source "$1" "$2" "$3" 7200)"
        for kbps in 8 32 128; do jobs+=("$src|$kbps|$1 $2 $3 7200"); done
    done
fi

printf '%s\n' "${jobs[@]}" |
    nice xargs -P 2 -I{} bash -c 'IFS="|" read -r s k l <<< "{}"; encode "$s" "$k" "$l"' \
        > "$work/gaps.txt"
sort -k6 -g "$work/gaps.txt" > "$build/length_gaps.txt"
echo "encodes: $(wc -l < "$build/length_gaps.txt") (every gap in $build/length_gaps.txt)"
echo "smallest gap: $(head -1 "$build/length_gaps.txt")"
echo "largest gap:  $(tail -1 "$build/length_gaps.txt")"
awk '$4 == 7200 { print "two hours:", $0 }' "$build/length_gaps.txt"
