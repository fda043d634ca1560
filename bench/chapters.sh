#!/usr/bin/env bash
# Measures a file per chapter: `tolvane /AUTOMATE --split-chapters` on one long clip with equal chapters
# against the same clip converted whole, and against a plain shell loop of one ffmpeg per chapter.
# Usage: bench/chapters.sh [minutes=20] [chapters=20] [runs=3]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

minutes=${1:-20}
chapters=${2:-20}
runs=${3:-3}
split_target=1.25
# The program's default MP3 options (batch/encoding.cpp); the warm-up run checks it still uses them.
mp3_options=(-acodec libmp3lame -ab 128k -ac 2 -ar 44100)

echo "Building (Release, $bench_build)..."
bench_build_targets tolvane
tolvane=$PWD/$bench_build/app/tolvane

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen
bench_settings_home "$tmp"

total_ms=$((minutes * 60000))
# Whole milliseconds; the last chapter takes the remainder.
chapter_ms=$((total_ms / chapters))
chapter_start() { echo $(($1 * chapter_ms)); }
chapter_end() { (($1 + 1 == chapters)) && echo "$total_ms" || echo $((($1 + 1) * chapter_ms)); }

{
    echo ";FFMETADATA1"
    for ((i = 0; i < chapters; i++)); do
        printf '[CHAPTER]\nTIMEBASE=1/1000\nSTART=%d\nEND=%d\ntitle=Chapter %d\n' \
            "$(chapter_start "$i")" "$(chapter_end "$i")" $((i + 1))
    done
} >"$tmp/chapters.txt"

# Tiny, sparse video keeps the clip cheap to make and to demux; the audio is what gets decoded.
clip=$tmp/clip.mkv
seconds=$((minutes * 60))
echo "Making a clip of $minutes min with $chapters chapters (64x48 mpeg4 at 5 fps, AAC 128k stereo)..."
ffmpeg -v error -nostdin -y -f lavfi -i "testsrc=size=64x48:rate=5:duration=$seconds" \
    -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$seconds" -f ffmetadata -i "$tmp/chapters.txt" \
    -map 0:v -map 1:a -map_chapters 2 -c:v mpeg4 -c:a aac -b:a 128k -ac 2 -shortest "$clip"
made_chapters=$(ffprobe -v error -show_chapters -of csv "$clip" | grep -c '^chapter' || true)
[[ $made_chapters -eq $chapters ]] || { echo "clip has $made_chapters of $chapters chapters" >&2; exit 1; }

# Each run starts from an empty output folder and the same settings (the program saves its own).
fresh() {
    rm -rf "${tmp:?}/out" "$tmp/loop"
    mkdir "$tmp/out" "$tmp/loop"
    bench_fresh_settings "$tmp"
}

whole() {
    "$tolvane" /AUTOMATE --jobs=1 --existing=overwrite "$clip" >"$tmp/tolvane.txt" 2>"$tmp/tolvane.err"
}
split() {
    "$tolvane" /AUTOMATE --jobs=1 --existing=overwrite --split-chapters "$clip" \
        >"$tmp/tolvane.txt" 2>"$tmp/tolvane.err"
}
# Input-side -ss/-to: each piece seeks, so the loop decodes the clip about once in all.
loop() {
    local i
    for ((i = 0; i < chapters; i++)); do
        ffmpeg -v error -nostdin -y -ss "$(ms_to_s "$(chapter_start "$i")")" \
            -to "$(ms_to_s "$(chapter_end "$i")")" -i "$clip" -vn "${mp3_options[@]}" -f mp3 \
            "$tmp/loop/piece_$((i + 1)).mp3"
    done
}
ms_to_s() { printf '%d.%03d' $(($1 / 1000)) $(($1 % 1000)); }

# Fails unless the command left every file it should have, with the program's names.
check() {
    local missing=() i name
    case $1 in
    whole) [[ -s $tmp/out/clip.mp3 ]] || missing+=(clip.mp3) ;;
    split | loop)
        for ((i = 1; i <= chapters; i++)); do
            if [[ $1 == split ]]; then
                name=$(printf 'clip/%0*d - Chapter %d.mp3' $((chapters >= 100 ? 3 : 2)) "$i" "$i")
                [[ -s $tmp/out/$name ]] || missing+=("$name")
            else
                [[ -s $tmp/loop/piece_$i.mp3 ]] || missing+=("piece_$i.mp3")
            fi
        done
        ;;
    esac
    ((${#missing[@]} == 0)) && return
    echo "$1: ${#missing[@]} of $([[ $1 == whole ]] && echo 1 || echo "$chapters") files missing," \
        "first: ${missing[0]}" >&2
    echo "files made:" >&2
    find "$tmp/out" "$tmp/loop" -type f | sed "s|^$tmp/|  |" | sort >&2
    echo "tolvane's output:" >&2
    cat "$tmp/tolvane.txt" "$tmp/tolvane.err" >&2 2>/dev/null || true
    return 1
}

# Runs a command once on fresh output and prints its wall time in milliseconds.
timed() {
    fresh
    local start ms
    start=$(bench_now_ms)
    "$1" || { echo "$1 failed" >&2; cat "$tmp/tolvane.txt" "$tmp/tolvane.err" >&2 2>/dev/null; return 1; }
    ms=$(($(bench_now_ms) - start))
    check "$1" || return 1
    echo "$ms"
}

# Warm-up, untimed, through a stand-in ffmpeg that notes its arguments: the loop must encode as the
# program does, or the comparison says nothing.
mkdir "$tmp/shim"
printf '#!/bin/sh\nprintf "%%s " "$@" >>"%s/calls.txt"\nexec "%s" "$@"\n' "$tmp" "$(command -v ffmpeg)" \
    >"$tmp/shim/ffmpeg"
chmod +x "$tmp/shim/ffmpeg"
ln -s "$(command -v ffprobe)" "$tmp/shim/ffprobe"
fresh
PATH=$tmp/shim:$PATH whole || { cat "$tmp/tolvane.err" >&2; exit 1; }
if [[ $(cat "$tmp/calls.txt") != *" ${mp3_options[*]} "* ]]; then
    echo "tolvane no longer encodes with '${mp3_options[*]}'; it ran:" >&2
    cat "$tmp/calls.txt" >&2
    exit 1
fi

# The three take turns, so a busy moment of the machine falls on all of them alike.
declare -A times median
commands=(whole split loop)
for ((r = 1; r <= runs; r++)); do
    for c in "${commands[@]}"; do
        t=$(timed "$c") || exit 1
        times[$c]+="$t "
    done
done
for c in "${commands[@]}"; do
    # shellcheck disable=SC2086
    median[$c]=$(bench_median ${times[$c]})
done

seconds_of() { awk -v ms="$1" 'BEGIN { printf "%.2f", ms / 1000 }'; }
ratio=$(bench_ratio "${median[split]}" "${median[whole]}")
echo
echo "A $minutes min clip with $chapters chapters to MP3 128k, one job, wall time, median of $runs runs"
printf '  %-44s %8s s\n' "whole: tolvane, one file" "$(seconds_of "${median[whole]}")"
printf '  %-44s %8s s\n' "split: tolvane --split-chapters" "$(seconds_of "${median[split]}")"
printf '  %-44s %8s s\n' "loop: one ffmpeg per chapter, input seek" "$(seconds_of "${median[loop]}")"
echo "  split/whole = $ratio (target <= $split_target) $(bench_verdict "$ratio" "<=" "$split_target")"
echo "  loop/whole = $(bench_ratio "${median[loop]}" "${median[whole]}")"
for c in "${commands[@]}"; do
    printf '  runs of %-7s %s ms\n' "$c:" "${times[$c]% }"
done
