#!/usr/bin/env bash
# Measures the conversion list's folder scan in the real main window (offscreen): its time against the
# mediainfo command over the same folder, the longest time the window could not answer, and the peak
# memory with many rows.
# Usage: bench/scan.sh [files=1000] [rows=10000] [runs=3]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

files=${1:-1000}
rows=${2:-10000}
runs=${3:-3}

echo "Building (Release, $bench_build)..."
bench_build_targets bench_scan
helper=$bench_build/bench/bench_scan

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/runtime QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME"
mkdir -m 700 "$XDG_RUNTIME_DIR"

echo "Making $files clips and a folder tree of $rows..."
ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=10:duration=1 \
    -f lavfi -i sine=frequency=440:sample_rate=44100:duration=1 \
    -c:v mpeg4 -c:a mp3 -shortest "$tmp/clip.avi"
mkdir "$tmp/small"
for i in $(seq -w 1 "$files"); do
    cp "$tmp/clip.avi" "$tmp/small/clip$i.avi"
done
# The large tree shares the small folder's files through hard links: it is there for memory and
# responsiveness, which don't depend on the bytes being distinct.
mkdir "$tmp/large"
for ((k = 0; k * files < rows; k++)); do
    cp -al "$tmp/small" "$tmp/large/part$k"
done
large_count=$(find "$tmp/large" -name '*.avi' | wc -l)

# Prints the value of KEY from the helper's "key value" output.
value() {
    awk -v k="$1" '$1 == k { print $2 }' "$2"
}

cli=() cli_cpu=() window=() window_cpu=() probe=() probe_cpu=() gap=() gaprow=()
TIMEFORMAT='%3R %3U %3S'
for ((r = 1; r <= runs; r++)); do
    # The runs take turns, so a busy moment of the machine falls on all of them alike.
    { time mediainfo --Inform="General;%Duration%\n" "$tmp/small" >"$tmp/cli.txt"; } 2>"$tmp/cli.time"
    [[ $(grep -c . "$tmp/cli.txt") -eq $files ]] || { echo "mediainfo did not read every file" >&2; exit 1; }
    cli+=($(awk '{ print $1 * 1000 }' "$tmp/cli.time"))
    cli_cpu+=($(awk '{ print ($2 + $3) * 1000 }' "$tmp/cli.time"))

    "$helper" "$tmp/small" >"$tmp/scan.txt"
    [[ $(value rows "$tmp/scan.txt") -eq $files ]] || { cat "$tmp/scan.txt" >&2; exit 1; }
    window+=($(value scan_ms "$tmp/scan.txt"))
    window_cpu+=($(value scan_cpu_ms "$tmp/scan.txt"))
    gap+=($(value longest_gap_ms "$tmp/scan.txt"))
    gaprow+=($(value longest_gap_at_row "$tmp/scan.txt"))

    "$helper" --probe-only "$tmp/small" >"$tmp/probe.txt"
    probe+=($(value probe_ms "$tmp/probe.txt"))
    probe_cpu+=($(value probe_cpu_ms "$tmp/probe.txt"))
done

"$helper" --recurse "$tmp/large" >"$tmp/large.txt"
[[ $(value rows "$tmp/large.txt") -eq $large_count ]] || { cat "$tmp/large.txt" >&2; exit 1; }

cli_ms=$(bench_median "${cli[@]}")
window_ms=$(bench_median "${window[@]}")
probe_ms=$(bench_median "${probe[@]}")
cli_cpu_ms=$(bench_median "${cli_cpu[@]}")
window_cpu_ms=$(bench_median "${window_cpu[@]}")
probe_cpu_ms=$(bench_median "${probe_cpu[@]}")
ratio=$(bench_ratio "$window_ms" "$cli_ms")
max_gap=$(printf '%s\n' "${gap[@]}" | sort -g | tail -n 1)
peak_mib=$(awk -v k="$(value vmhwm_kib "$tmp/large.txt")" 'BEGIN { printf "%.1f", k / 1024 }')
window_mib=$(awk -v k="$(value window_rss_kib "$tmp/large.txt")" 'BEGIN { printf "%.1f", k / 1024 }')
large_gap=$(value longest_gap_ms "$tmp/large.txt")

echo
echo "Folder scan of $files clips (1 s, avi), median of $runs runs; wall time, then CPU time"
printf '  %-40s %7.0f ms %7.0f ms cpu\n' "mediainfo --Inform over the folder" "$cli_ms" "$cli_cpu_ms"
printf '  %-40s %7.0f ms %7.0f ms cpu  ratio %s (target <= 0.70) %s, cpu ratio %s\n' \
    "scan into the list (window, offscreen)" "$window_ms" "$window_cpu_ms" "$ratio" \
    "$(bench_verdict "$ratio" "<=" 0.70)" "$(bench_ratio "$window_cpu_ms" "$cli_cpu_ms")"
printf '  %-40s %7.0f ms %7.0f ms cpu  ratio %s (the probe\x27s share, no window)\n' \
    "same probes without a window" "$probe_ms" "$probe_cpu_ms" "$(bench_ratio "$probe_ms" "$cli_ms")"
printf '  %-40s %7.2f ms/row first hundred, %.2f ms/row last hundred (last run)\n' "pace of the list" \
    "$(value first_hundred_ms_per_row "$tmp/scan.txt")" "$(value last_hundred_ms_per_row "$tmp/scan.txt")"
printf '  %-40s %7.1f ms   (runs: %s; at rows %s) (target < 100) %s\n' "longest event-loop gap" \
    "$max_gap" "${gap[*]}" "${gaprow[*]}" "$(bench_verdict "$max_gap" "<" 100)"
echo
echo "Scan of $large_count rows (recursive, $(value scan_ms "$tmp/large.txt" | cut -d. -f1) ms)"
printf '  %-40s %7s MiB (window before the scan: %s MiB) (target <= 50) %s\n' "peak resident memory (VmHWM)" \
    "$peak_mib" "$window_mib" "$(bench_verdict "$peak_mib" "<=" 50)"
printf '  %-40s %7.2f ms/row first hundred, %.2f ms/row last hundred\n' "pace of the list" \
    "$(value first_hundred_ms_per_row "$tmp/large.txt")" "$(value last_hundred_ms_per_row "$tmp/large.txt")"
printf '  %-40s %7.1f ms   (at row %s, %s gaps over 100 ms) (target < 100) %s\n' "longest event-loop gap" \
    "$large_gap" "$(value longest_gap_at_row "$tmp/large.txt")" "$(value gaps_over_100ms "$tmp/large.txt")" \
    "$(bench_verdict "$large_gap" "<" 100)"
