#!/usr/bin/env bash
# The conversion list with many rows in the real main window (offscreen): a folder of hard links to a
# few real clips is added as Add Folder and the command line add it, then the commands a person gives
# a big list. Prints how soon the rows are listed after probing ends, the peak memory, and the longest
# time the window could not answer during each command, against the targets.
# Usage: bench/list.sh [rows=100000] [small=10000]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

rows=${1:-100000}
small=${2:-10000}

echo "Building (Release, $bench_build)..."
bench_build_targets bench_list
helper=$bench_build/bench/bench_list

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/runtime QT_QPA_PLATFORM=offscreen
mkdir -p "$XDG_CONFIG_HOME" "$tmp/out"
mkdir -m 700 "$XDG_RUNTIME_DIR"

echo "Making a folder of $rows hard links to 4 clips..."
mkdir "$tmp/clips" "$tmp/block"
for i in 1 2 3 4; do
    ffmpeg -v error -y -f lavfi -i testsrc=size=160x120:rate=10:duration=1 \
        -f lavfi -i "sine=frequency=$((400 + 10 * i)):duration=1" -c:v mpeg4 -c:a mp3 -shortest \
        "$tmp/clips/c$i.avi"
done
# A block of 1000 names, then as many blocks as the rows need: cp -al makes links, not copies.
for ((n = 0; n < 250; n++)); do
    for i in 1 2 3 4; do ln "$tmp/clips/c$i.avi" "$tmp/block/clip$n-$i.avi"; done
done
make_tree() { # ROWS FOLDER
    mkdir "$2"
    for ((k = 0; k * 1000 < $1; k++)); do cp -al "$tmp/block" "$2/part$k"; done
}
make_tree "$rows" "$tmp/big"
make_tree "$small" "$tmp/small"

value() { awk -v k="$1" '$1 == k { print $2 }' "$2"; }
mib() { awk -v k="$(value "$1" "$2")" 'BEGIN { printf "%.1f", k / 1024 }'; }

"$helper" "$tmp/small" "$tmp/out" >"$tmp/small.txt"
rm -rf "$tmp/out"/* "$tmp/out"/.[!.]* 2>/dev/null || true
"$helper" "$tmp/big" "$tmp/out" >"$tmp/big.txt"
"$helper" --no-probe "$tmp/big" "$tmp/out" >"$tmp/list-only.txt"

line() { # CAPTION KEY FILE TARGET
    local v
    v=$(value "$2" "$3")
    printf '  %-46s %9.1f ms  (target < %s) %s\n' "$1" "$v" "$4" "$(bench_verdict "$v" "<" "$4")"
}
echo
echo "$(value rows "$tmp/big.txt") rows (scan $(value scan_ms "$tmp/big.txt" | cut -d. -f1) ms, $(value batch_done "$tmp/big.txt") files converted in the batch)"
line "listed and drawn after probing ends" listed_ms "$tmp/big.txt" 2000
line "longest stall while adding" add_stall_ms "$tmp/big.txt" 100
line "longest stall: scroll to the end" scroll_end_ms "$tmp/big.txt" 100
line "longest stall: moving the selection" move_selection_ms "$tmp/big.txt" 100
line "longest stall: Select All (Ctrl+A)" select_all_ms "$tmp/big.txt" 100
line "longest stall: a batch starts and runs" batch_stall_ms "$tmp/big.txt" 100
line "longest stall: removing all rows" remove_all_ms "$tmp/big.txt" 100
big_mib=$(mib listed_vmhwm_kib "$tmp/big.txt")
printf '  %-46s %9s MiB (target <= 250) %s; after the batch %s MiB; rows without probes %s MiB\n' \
    "peak memory when listed (VmHWM)" "$big_mib" "$(bench_verdict "$big_mib" "<=" 250)" \
    "$(mib vmhwm_kib "$tmp/big.txt")" "$(mib listed_vmhwm_kib "$tmp/list-only.txt")"
small_mib=$(mib listed_vmhwm_kib "$tmp/small.txt")
printf '  %-46s %9s MiB (target <= 50) %s; the window alone %s MiB\n' \
    "$(value rows "$tmp/small.txt") rows: peak memory when listed" "$small_mib" \
    "$(bench_verdict "$small_mib" "<=" 50)" "$(mib window_rss_kib "$tmp/small.txt")"
