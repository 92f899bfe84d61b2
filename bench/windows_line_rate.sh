#!/usr/bin/env bash
# The line-rate download under Wine: tarvik-cli.exe flashes a 512,000-byte image to the Linux
# simulated controller at 115200 baud (through a Wine COM port linked to its pseudo-terminal),
# in bursts and with --fast, against the line time of the bytes sent; then the same with the
# Linux tarvik-cli for comparison. Also times tarvik.exe --screenshot's start-up.
#
# Usage: bench/windows_line_rate.sh   (after scripts/windows/build; RUNS, default 1)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/build/windows
host=${TARVIK_HOST_BUILD:-$out/host}
runs=${RUNS:-1}
baud=115200
export WINEPREFIX=$out/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1
work=$(mktemp -d)
sim_pid=""
trap '[ -n "$sim_pid" ] && kill "$sim_pid" 2>/dev/null; wineserver -k >/dev/null 2>&1; rm -rf "$work"' EXIT
head -c 512000 /dev/urandom >"$work/image.bin"
# YMODEM here: block 0 (133 bytes), 500 blocks of 1029, EOT twice, the closing block 0.
line_bytes=$((133 + 500 * 1029 + 2 + 133))
line_time=$(awk -v b="$line_bytes" -v r="$baud" 'BEGIN { printf "%.2f", b * 10 / r }')
echo "line time of $line_bytes bytes at $baud baud: $line_time s"

flash() {  # side link extra-options...
    local side=$1 link=$2
    shift 2
    rm -f "$link" "$work/rx.bin"
    "$host/src/sim/tarvik-sim" --link "$link" --line-rate --baud "$baud" \
        --save-image "$work/rx.bin" >/dev/null 2>&1 &
    sim_pid=$!
    while [ ! -e "$link" ]; do sleep 0.05; done
    local started=$(date +%s.%N)
    if [ "$side" = windows ]; then
        wine "$out/dist/tarvik-cli.exe" flash --port COM5 --baud "$baud" "$@" \
            "$(winepath -w "$work/image.bin")" >/dev/null 2>&1
    else
        "$host/src/cli/tarvik-cli" flash --port "$link" --baud "$baud" "$@" "$work/image.bin" \
            >/dev/null 2>&1
    fi
    local ended=$(date +%s.%N)
    kill "$sim_pid" 2>/dev/null; wait "$sim_pid" 2>/dev/null || true
    sim_pid=""
    cmp -s "$work/image.bin" "$work/rx.bin" || { echo "$side $*: image differs" >&2; exit 1; }
    awk -v s="$started" -v e="$ended" -v l="$line_time" 'BEGIN { printf "%.2f s (%.3f x line time)", e - s, (e - s) / l }'
}
for ((i = 1; i <= runs; i++)); do
    echo "windows, bursts: $(flash windows "$WINEPREFIX/dosdevices/com5")"
    echo "windows, --fast: $(flash windows "$WINEPREFIX/dosdevices/com5" --fast)"
    echo "linux,   bursts: $(flash linux "$work/port")"
    echo "linux,   --fast: $(flash linux "$work/port" --fast)"
done
started=$(date +%s.%N)
wine "$out/dist/tarvik.exe" --screenshot "$(winepath -w "$work/shot.png")" >/dev/null 2>&1
awk -v s="$started" -v e="$(date +%s.%N)" 'BEGIN { printf "tarvik.exe --screenshot under Wine: %.2f s\n", e - s }'
