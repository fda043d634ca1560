#!/usr/bin/env bash
# Measures the program's own peak resident memory (VmHWM of the tolvane process, not of its encoders)
# over an unattended `tolvane /AUTOMATE FOLDER` with no display. /usr/bin/time would report the
# largest child instead, which is ffmpeg.
# Usage: bench/memory.sh [clips=20] [clip seconds=5]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

clips=${1:-20}
seconds=${2:-5}
runs=3
limit_mib=32

echo "Building (Release, $bench_build)..."
bench_build_targets tolvane
tolvane=$PWD/$bench_build/app/tolvane
comm=$(basename "$tolvane")
comm=${comm:0:15} # the kernel keeps 15 characters of the name

tmp=$(mktemp -d)
pid=
cleanup() {
    if [[ -n $pid ]]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$tmp"
}
trap cleanup EXIT
# Without these a signal would end the script without its EXIT trap.
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
# No display: the program has to find that out on its own, as on a server.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
bench_settings_home "$tmp"
bench_make_clips "$tmp" "$seconds" "$clips"

# A pipe nobody writes to: `read -t` on it sleeps without starting a process for each poll.
exec {sleep_fd}<> <(:)

# Runs the batch once in the background, reading the program's VmHWM every ~5 ms until it exits, and
# prints the last value read in KiB. The high-water mark only grows, so the last value is the peak.
# Fails unless the program exited with 0 and every clip got its MP3.
peak_kib() {
    rm -f "$tmp/out"/* "$tmp/out"/.[!.]*
    bench_fresh_settings "$tmp"
    "$tolvane" /AUTOMATE "$tmp/in" </dev/null >"$tmp/tolvane.txt" 2>"$tmp/tolvane.err" &
    pid=$!
    local hwm=0 key value name state
    while [[ -r /proc/$pid/status ]]; do
        name='' state=''
        # Before exec the pid is still a copy of this shell: only lines of the program itself count.
        while read -r key value _; do
            case $key in
            Name:) name=$value ;;
            State:) state=$value ;;
            VmHWM:) [[ $name == "$comm" && $value -gt $hwm ]] && hwm=$value ;;
            esac
        done <"/proc/$pid/status" 2>/dev/null || true
        # An exited program that is not yet reaped has no memory left to read.
        [[ $state == Z || $state == X ]] && break
        read -r -t 0.005 -u "$sleep_fd" || true
    done
    local rc=0
    wait "$pid" || rc=$?
    pid=
    [[ $rc -eq 0 ]] || { echo "tolvane exited with $rc" >&2; cat "$tmp/tolvane.err" >&2; return 1; }
    local made
    made=$(find "$tmp/out" -maxdepth 1 -name '*.mp3' -size +0 | wc -l)
    [[ $made -eq $clips ]] || { echo "tolvane: $made of $clips files converted" >&2; return 1; }
    [[ $hwm -gt 0 ]] || { echo "no VmHWM read from the status of tolvane" >&2; return 1; }
    echo "$hwm"
}

peaks=()
for ((r = 1; r <= runs; r++)); do
    # Not in $(...): the cleanup trap of this shell has to know the program's pid to stop it.
    peak_kib >"$tmp/peak"
    peaks+=("$(awk '{ printf "%.1f", $1 / 1024 }' "$tmp/peak")")
done
max=$(printf '%s\n' "${peaks[@]}" | sort -g | tail -n 1)

echo
echo "Peak resident memory of tolvane itself (VmHWM, encoders not counted), $clips clips of $seconds s" \
    "with no display, max of $runs runs"
printf '  %-24s %6s MiB  (limit <= %d MiB) %s\n' "tolvane /AUTOMATE" "$max" "$limit_mib" \
    "$(bench_verdict "$max" "<=" "$limit_mib")"
printf '  runs: %s MiB\n' "${peaks[*]}"
