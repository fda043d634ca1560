#!/usr/bin/env bash
# Measures copying the audio as it is: `tolvane /AUTOMATE --format=original` on clips with AAC audio
# against a plain shell loop of `ffmpeg -c:a copy` and against a real AAC re-encode by the program, then
# `--format=mp3` on clips whose MP3 audio already fits (smart copy) against the same kind of loop.
# Checks that every copied output holds the source's audio bit for bit.
# Usage: bench/copy.sh [clips=20] [clip seconds=20] [runs=3]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/common.sh

clips=${1:-20}
seconds=${2:-20}
runs=${3:-3}
overhead_target=15 # ms per file over the plain loop
reencode_target=0.20

echo "Building (Release, $bench_build)..."
bench_build_targets tolvane
tolvane=$PWD/$bench_build/app/tolvane

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
export QT_QPA_PLATFORM=offscreen
bench_settings_home "$tmp"
cp "$tmp/settings.conf" "$tmp/base.conf"

video=mpeg4
# Read in full first: grep -q would end early and pipefail would take ffmpeg's SIGPIPE as a failure.
encoders=$(ffmpeg -hide_banner -encoders 2>/dev/null)
[[ $encoders == *" libx264 "* ]] && video=libx264

# Clips of small video and stereo 44.1 kHz audio, each with its own tone so no two outputs are alike:
# make_clips FOLDER EXTENSION AUDIO_OPTIONS...
make_clips() {
    local dir=$1 ext=$2 i
    shift 2
    mkdir -p "$dir"
    for i in $(seq -w 1 "$clips"); do
        ffmpeg -v error -nostdin -y -f lavfi -i "testsrc=size=160x120:rate=25:duration=$seconds" \
            -f lavfi -i "sine=frequency=$((300 + 10#$i * 20)):sample_rate=44100:duration=$seconds" \
            -c:v "$video" -pix_fmt yuv420p "$@" -ar 44100 -ac 2 -shortest "$dir/clip$i.$ext"
    done
}
echo "Making $clips clips of $seconds s ($video 160x120 video; AAC 128k in .mp4, MP3 128k in .mkv)..."
make_clips "$tmp/aac" mp4 -c:a aac -b:a 128k
make_clips "$tmp/mp3" mkv -c:a libmp3lame -b:a 128k

# Each run starts from an empty output folder and the stored settings plus the given lines (the
# program saves its own settings at the end of a run).
fresh() {
    rm -f "$tmp/out"/*
    cp "$tmp/base.conf" "$tmp/settings.conf"
    local line
    for line in "$@"; do
        echo "$line" >>"$tmp/settings.conf"
    done
    bench_fresh_settings "$tmp"
}

run_tolvane() { # FORMAT INPUT_FOLDER EXTENSION
    "$tolvane" /AUTOMATE --format="$1" "$tmp/$2"/*."$3" >"$tmp/tolvane.txt" 2>"$tmp/tolvane.err"
}
copy_original() { fresh; run_tolvane original aac mp4; }
reencode_aac() { fresh smartcopy=0 aacbitrate=3; run_tolvane aac aac mp4; }
smart_mp3() { fresh; run_tolvane mp3 mp3 mkv; }

# copy_loop INPUT_FOLDER EXTENSION MUXER OUTPUT_EXTENSION
copy_loop() {
    rm -f "$tmp/out"/*
    local f name
    for f in "$tmp/$1"/*."$2"; do
        name=${f##*/} # no basename process: the loop pays for ffmpeg alone
        name=${name%.*}
        ffmpeg -v error -nostdin -y -i "$f" -map 0:a:0 -c:a copy -f "$3" "$tmp/out/$name.$4"
    done
}
loop_ipod() { copy_loop aac mp4 ipod m4a; }
loop_mp3() { copy_loop mp3 mkv mp3 mp3; }

# Runs a command and prints its wall time and its processor time (user + system, with its children) in
# milliseconds; fails unless every clip got an output ending in the extension: timed EXTENSION COMMAND
timed() {
    local ext=$1 TIMEFORMAT='%3U %3S' start wall
    shift
    start=$(bench_now_ms)
    { time "$@" 2>"$tmp/command.err"; } 2>"$tmp/time" ||
        { echo "$* failed" >&2; cat "$tmp/command.err" "$tmp/tolvane.err" >&2 2>/dev/null; return 1; }
    wall=$(($(bench_now_ms) - start))
    awk -v w="$wall" '{ printf "%d %d\n", w, ($1 + $2) * 1000 + 0.5 }' "$tmp/time"
    local made
    made=$(find "$tmp/out" -name "*.$ext" -size +0 | wc -l)
    [[ $made -eq $clips ]] || { echo "$*: $made of $clips files made" >&2; return 1; }
}

audio_md5() {
    ffmpeg -v error -nostdin -i "$1" -map 0:a:0 -c:a copy -f md5 -
}

# Compares the audio packets of each source with those of its output in $tmp/out and prints how many
# are identical, naming the others: identical INPUT_FOLDER EXTENSION OUTPUT_EXTENSION
identical() {
    local same=0 f name
    for f in "$tmp/$1"/*."$2"; do
        name=$(basename "${f%.*}")
        if [[ -f $tmp/out/$name.$3 && "$(audio_md5 "$f")" == "$(audio_md5 "$tmp/out/$name.$3")" ]]; then
            same=$((same + 1))
        else
            echo "  differs: $name.$3" >&2
        fi
    done
    echo "$same/$clips"
}

copied_lines() {
    grep -c "^copied"$'\t' "$tmp/tolvane.err" || true
}

# The commands take turns, so a busy moment of the machine falls on all of them alike. The last run of
# each of the program's copies is checked before the next command clears the output folder.
declare -A wall cpu
measure() { # COMMAND EXTENSION
    local t
    t=$(timed "$2" "$1") || exit 1
    wall[$1]+="${t% *} "
    cpu[$1]+="${t#* } "
}
for ((r = 1; r <= runs; r++)); do
    measure copy_original m4a
    if ((r == runs)); then
        original_same=$(identical aac mp4 m4a)
        original_copied=$(copied_lines)
    fi
    measure loop_ipod m4a
    measure reencode_aac m4a
done
for ((r = 1; r <= runs; r++)); do
    measure smart_mp3 mp3
    if ((r == runs)); then
        mp3_same=$(identical mp3 mkv mp3)
        mp3_copied=$(copied_lines)
    fi
    measure loop_mp3 mp3
done
declare -A median median_cpu
for c in "${!wall[@]}"; do
    # shellcheck disable=SC2086
    median[$c]=$(bench_median ${wall[$c]})
    # shellcheck disable=SC2086
    median_cpu[$c]=$(bench_median ${cpu[$c]})
done

per_file() { # PROGRAM_MS LOOP_MS
    awk -v p="$1" -v l="$2" -v n="$clips" 'BEGIN { printf "%.1f", (p - l) / n }'
}

# Wall time and processor time of a command: row LABEL COMMAND
row() {
    printf '  %-40s %6d ms   cpu %6d ms\n' "$1" "${median[$2]}" "${median_cpu[$2]}"
}

# The program's overhead per file over the loop, against the target, with the same in processor time
# (steadier when the machine is busy): overhead PROGRAM LOOP
overhead() {
    local o
    o=$(per_file "${median[$1]}" "${median[$2]}")
    printf '  %-40s %6s ms   cpu %6s ms   (target <= %d ms) %s\n' "overhead per file over the loop" "$o" \
        "$(per_file "${median_cpu[$1]}" "${median_cpu[$2]}")" "$overhead_target" \
        "$(bench_verdict "$o" "<=" "$overhead_target")"
}

# Every output identical to its source's audio, and every file told as copied.
checked() { # SAME COPIED
    printf '  %-40s identical %s, copied lines %s/%d %s\n' "audio of the outputs against the sources" "$1" \
        "$2" "$clips" "$([[ $2 -eq $clips && $1 == "$clips/$clips" ]] && echo ok || echo MISSED)"
}

echo
echo "$clips clips of $seconds s, wall time (and processor time with children), median of $runs runs"
echo "AAC 128k audio in .mp4:"
row "tolvane --format=original (copy)" copy_original
row "plain ffmpeg copy loop (-f ipod)" loop_ipod
overhead copy_original loop_ipod
row "tolvane --format=aac 192k (re-encode)" reencode_aac
ratio=$(bench_ratio "${median[copy_original]}" "${median[reencode_aac]}")
printf '  %-40s %6s      (target <= %s) %s\n' "copy / re-encode" "$ratio" "$reencode_target" \
    "$(bench_verdict "$ratio" "<=" "$reencode_target")"
checked "$original_same" "$original_copied"
echo "MP3 128k 44.1 kHz stereo audio in .mkv, to MP3 128k with smart copy:"
row "tolvane --format=mp3 (smart copy)" smart_mp3
row "plain ffmpeg copy loop (-f mp3)" loop_mp3
overhead smart_mp3 loop_mp3
checked "$mp3_same" "$mp3_copied"
echo "Runs, wall ms (cpu ms):"
for c in copy_original loop_ipod reencode_aac smart_mp3 loop_mp3; do
    read -ra w <<<"${wall[$c]}"
    read -ra p <<<"${cpu[$c]}"
    printf '  %-15s' "$c"
    for ((r = 0; r < ${#w[@]}; r++)); do
        printf ' %6d (%d)' "${w[r]}" "${p[r]}"
    done
    echo
done
