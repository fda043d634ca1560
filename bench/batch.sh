#!/usr/bin/env bash
# Measures a whole unattended batch: `tolvane /AUTOMATE FOLDER` (start-up, probing, conversion, exit)
# against a plain shell loop of the same ffmpeg commands over the same clips.
# Usage: bench/batch.sh [clips=20] [clip seconds=5] [runs=3]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

clips=${1:-20}
seconds=${2:-5}
runs=${3:-3}

echo "Building (Release, $bench_build)..."
bench_build_targets tolvane
tolvane=$PWD/$bench_build/app/tolvane

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen
bench_settings_home "$tmp"
bench_make_clips "$tmp" "$seconds" "$clips"

# Each run starts from an empty output folder and the same settings (the program saves its own).
fresh() {
    rm -f "$tmp/out"/*
    bench_fresh_settings "$tmp"
}

# The program's default MP3 options, one encoder after the other.
loop_serial() {
    local f name
    for f in "$tmp/in"/*.mkv; do
        name=$(basename "${f%.*}")
        ffmpeg -y -i "$f" -acodec libmp3lame -ab 128k -ac 2 -ar 44100 -f mp3 "$tmp/out/$name.mp3" \
            </dev/null >/dev/null 2>&1
    done
}

tolvane_serial() {
    "$tolvane" /AUTOMATE "$tmp/in" >"$tmp/tolvane.txt" 2>"$tmp/tolvane.err"
}

# Runs a command once on fresh output and prints its wall time in milliseconds; fails unless every
# clip got its MP3.
timed() {
    fresh
    local start
    start=$(bench_now_ms)
    "$@" || { echo "$* failed" >&2; cat "$tmp/tolvane.err" >&2 2>/dev/null; return 1; }
    echo $(($(bench_now_ms) - start))
    local made
    made=$(find "$tmp/out" -name '*.mp3' -size +0 | wc -l)
    [[ $made -eq $clips ]] || { echo "$*: $made of $clips files converted" >&2; return 1; }
}

# Measures the program's command against its baseline, taking turns so a busy moment of the machine
# falls on both alike, and prints the medians: report_pair LABEL BASELINE_COMMAND PROGRAM_COMMAND TARGET
report_pair() {
    local label=$1 base_cmd=$2 prog_cmd=$3 target=$4
    local base=() prog=() r t
    for ((r = 1; r <= runs; r++)); do
        t=$(timed "$base_cmd") || exit 1
        base+=("$t")
        t=$(timed "$prog_cmd") || exit 1
        prog+=("$t")
    done
    local b p ratio
    b=$(bench_median "${base[@]}")
    p=$(bench_median "${prog[@]}")
    ratio=$(bench_ratio "$p" "$b")
    printf '  %-10s shell loop %6d ms   tolvane %6d ms   ratio %s (target <= %s) %s\n' "$label" "$b" "$p" \
        "$ratio" "$target" "$(bench_verdict "$ratio" "<=" "$target")"
    printf '  %-10s runs: loop %s; tolvane %s\n' "" "${base[*]}" "${prog[*]}"
}

loop_parallel() {
    find "$tmp/in" -name '*.mkv' -print0 | sort -z |
        xargs -0 -P2 -I{} sh -c 'f=$1; n=$(basename "${f%.*}");
            ffmpeg -y -i "$f" -acodec libmp3lame -ab 128k -ac 2 -ar 44100 -f mp3 "$2/$n.mp3" </dev/null >/dev/null 2>&1' \
            sh {} "$tmp/out"
}

tolvane_parallel() {
    "$tolvane" --jobs=2 /AUTOMATE "$tmp/in" >"$tmp/tolvane.txt" 2>"$tmp/tolvane.err"
}

# The four commands take turns, so a busy moment of the machine falls on all of them alike.
declare -A times
commands=(loop_serial tolvane_serial loop_parallel tolvane_parallel)
for ((r = 1; r <= runs; r++)); do
    for c in "${commands[@]}"; do
        t=$(timed "$c") || exit 1
        times[$c]+="$t "
    done
done
declare -A median
for c in "${commands[@]}"; do
    # shellcheck disable=SC2086
    median[$c]=$(bench_median ${times[$c]})
done

line() { # LABEL COMMAND BASELINE TARGET
    local ratio
    ratio=$(bench_ratio "${median[$2]}" "${median[$3]}")
    if [[ -n $4 ]]; then
        printf '  %-34s %6d ms  ratio %s (target <= %s) %s\n' "$1" "${median[$2]}" "$ratio" "$4" \
            "$(bench_verdict "$ratio" "<=" "$4")"
    else
        printf '  %-34s %6d ms  ratio %s\n' "$1" "${median[$2]}" "$ratio"
    fi
}

echo
echo "Batch of $clips clips of $seconds s to MP3, wall time, median of $runs runs (runs: see below)"
printf '  %-34s %6d ms  baseline\n' "shell loop, one after the other" "${median[loop_serial]}"
line "tolvane, one job" tolvane_serial loop_serial 1.05
line "xargs -P2" loop_parallel loop_serial ""
line "tolvane --jobs=2" tolvane_parallel loop_serial 0.72
line "tolvane --jobs=2 against xargs -P2" tolvane_parallel loop_parallel ""
for c in "${commands[@]}"; do
    printf '  runs of %-16s %s\n' "$c:" "${times[$c]}"
done

# While a worker waits for the main thread to take its report it reads nothing from its encoder.
bench_build_targets bench_handover
echo
echo "Longest wait of a worker for the main thread (real window, real handlers):"
for jobs in 1 2; do
    fresh
    printf '  %d job(s): %s\n' "$jobs" "$("$bench_build/bench/bench_handover" "$tmp/in" "$tmp/out" "$jobs")"
done
