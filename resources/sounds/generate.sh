#!/usr/bin/env bash
# Generates the window's default sounds with sox: short sine chimes, 44.1 kHz 16-bit mono. The
# WAV files are kept in the tree so that building needs no sox; run this after changing a tone.
# Dither is off (-D) so that the output is the same on every run.
set -euo pipefail
cd "$(dirname "$0")"

# note NAME SECONDS FREQUENCY: one soft note (a sine with a little of its octave) with a short
# attack and a longer decay, so that no note starts or ends with a click.
note() {
    sox -D -n -r 44100 -b 16 -c 1 "$1" synth "$2" sine "$3" sine "$(awk "BEGIN{print $3*2}")" \
        remix 1v0.8,2v0.2 gain -n -6 fade q 0.008 "$2" "$(awk "BEGIN{print $2*0.7}")"
}

# chime OUT FREQUENCY...: the notes one after another, each 0.12 s, the last one rings longer.
chime() {
    local out=$1; shift
    local parts=() i=0 n=$#
    for f in "$@"; do
        i=$((i + 1))
        local len=0.12
        if [ "$i" -eq "$n" ]; then len=0.30; fi
        note "$tmp/part$i.wav" "$len" "$f"
        parts+=("$tmp/part$i.wav")
    done
    sox -D "${parts[@]}" "$out" gain -n -6
}

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

chime start_download.wav 523.25 783.99             # C5 G5: something begins
chime download_success.wav 523.25 659.25 783.99 1046.5  # C E G C: the long job is done
chime read_success.wav 659.25 880.00               # E5 A5: a short confirmation
chime success.wav 783.99 1046.5                    # G5 C6
chime error.wav 392.00 293.66                      # G4 D4: falling, lower
