#!/usr/bin/env bash
# Measures what the program adds around one encoder: `tolvane /AUTOMATE clip.mkv` of a 1-second clip
# with no display (start-up, probing, conversion, exit) against the plain ffmpeg command for the same
# file, and prints the difference of the medians.
# Usage: bench/startup.sh [runs=10]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

runs=${1:-10}
limit_ms=25

echo "Building (Release, $bench_build)..."
bench_build_targets tolvane
tolvane=$PWD/$bench_build/app/tolvane

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
# Without these a signal would end the script without its EXIT trap.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
# No display: the program has to find that out on its own, as on a server.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
bench_settings_home "$tmp"

echo "Making a clip of 1 s (320x240 video and 44.1 kHz audio)..."
bench_make_clip "$tmp/clip.mkv" 1

# Each run starts from an empty output folder and the same settings (the program saves its own).
fresh() {
    rm -f "$tmp/out"/* "$tmp/out"/.[!.]*
    bench_fresh_settings "$tmp"
}

# The program's default MP3 options.
plain_ffmpeg() {
    ffmpeg -y -i "$tmp/clip.mkv" -acodec libmp3lame -ab 128k -ac 2 -ar 44100 -f mp3 "$tmp/out/out.mp3" \
        </dev/null >/dev/null 2>&1
}

tolvane_automate() {
    "$tolvane" /AUTOMATE "$tmp/clip.mkv" </dev/null >"$tmp/tolvane.txt" 2>"$tmp/tolvane.err"
}

# Runs a command once on fresh output and prints its wall time in milliseconds; fails unless it
# exited with 0 and left one MP3.
timed() {
    fresh
    local start end
    start=$(bench_now_ms)
    "$@" || { echo "$* failed with $?" >&2; cat "$tmp/tolvane.err" >&2 2>/dev/null; return 1; }
    end=$(bench_now_ms)
    local made
    made=$(find "$tmp/out" -name '*.mp3' -size +0 | wc -l)
    [[ $made -eq 1 ]] || { echo "$*: $made MP3 files instead of 1" >&2; return 1; }
    echo $((end - start))
}

# One untimed pair first, so neither side pays for a cold page cache.
timed plain_ffmpeg >/dev/null
timed tolvane_automate >/dev/null

# The two take turns, so a busy moment of the machine falls on both alike.
base=()
prog=()
for ((r = 1; r <= runs; r++)); do
    t=$(timed plain_ffmpeg) || exit 1
    base+=("$t")
    t=$(timed tolvane_automate) || exit 1
    prog+=("$t")
done
b=$(bench_median "${base[@]}")
p=$(bench_median "${prog[@]}")
diff=$((p - b))

echo
echo "One 1-second clip to MP3 with no display, wall time, median of $runs runs"
printf '  %-24s %6d ms\n' "ffmpeg alone" "$b"
printf '  %-24s %6d ms\n' "tolvane /AUTOMATE" "$p"
printf '  %-24s %+6d ms  (limit <= %d ms) %s\n' "difference" "$diff" "$limit_ms" \
    "$(bench_verdict "$diff" "<=" "$limit_ms")"
printf '  runs: ffmpeg %s; tolvane %s\n' "${base[*]}" "${prog[*]}"
