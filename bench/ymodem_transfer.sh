#!/usr/bin/env bash
# Times a 512,000-byte YMODEM transfer over a pseudo-terminal to `rb --ymodem` (lrzsz):
#   (a) ModemSender in standard order, driven by a plain read loop;
#   (b) `sz --ymodem -k`.
# Prints the best of RUNS runs of each and their ratio; the goal is (a) <= 1.5 x (b).
# Then, when built (Qt), the download through the controller link to the simulated controller
# at the line rate: 115200 baud in bursts (goal <= 1.20 x the line time), 115200 and 256000 baud
# with fast download (goal <= 1.03 x), each with the longest event-loop gap (goal < 50 ms).
# rb flushes its input right after each answer, so on a pty (no line delay) a packet sent at
# once is sometimes thrown away and only repeated after rb's timeout; both senders suffer from
# it alike, which is why the best run counts.
#
# Usage: bench/ymodem_transfer.sh [BUILD_DIR]   (default build/bench; needs ymodem_pty_driver:
#        cmake --preset bench && cmake --build build/bench --target ymodem_pty_driver
#        ymodem_line_rate)
# Environment: RUNS (default 3), SIZE (default 512000).
set -euo pipefail

root="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$root/build/bench}"
driver="$build/bench/ymodem_pty_driver"
runs="${RUNS:-3}"
size="${SIZE:-512000}"

for tool in rb sz cmp; do
    command -v "$tool" >/dev/null || { echo "missing $tool (apt-get install lrzsz)" >&2; exit 2; }
done
[[ -x "$driver" ]] || { echo "missing $driver" >&2; exit 2; }

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
head -c "$size" /dev/urandom >"$work/image.bin"

best() { sort -g | head -n 1; }

run() {  # mode -> prints seconds of each run, checks the received file
    local mode="$1" i seconds
    for ((i = 1; i <= runs; i++)); do
        rm -rf "$work/rx" && mkdir "$work/rx"
        seconds="$("$driver" "$mode" "$work/image.bin" "$work/rx")"
        cmp -s "$work/image.bin" "$work/rx/image.bin" || { echo "$mode: received file differs" >&2; exit 1; }
        echo "$seconds"
    done
}

mapfile -t sender_times < <(run sender)
mapfile -t sz_times < <(run sz)
(( ${#sender_times[@]} == runs && ${#sz_times[@]} == runs )) || exit 1

a="$(printf '%s\n' "${sender_times[@]}" | best)"
b="$(printf '%s\n' "${sz_times[@]}" | best)"
ratio="$(awk -v a="$a" -v b="$b" 'BEGIN { printf "%.2f", a / b }')"

echo "image: $size bytes, $runs runs each"
echo "(a) ModemSender -> rb: ${sender_times[*]} s  best $a s"
echo "(b) sz          -> rb: ${sz_times[*]} s  best $b s"
echo "ratio (a)/(b): $ratio  (goal <= 1.5: $(awk -v r="$ratio" 'BEGIN { print (r <= 1.5) ? "met" : "missed" }'))"

line_rate="$build/bench/ymodem_line_rate"
if [[ -x "$line_rate" ]]; then
    "$line_rate"
else
    echo "line-rate figure skipped: $line_rate not built"
fi
