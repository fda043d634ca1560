#!/usr/bin/env bash
# The check of every finished output against the conversion it follows: 20 five-second clips are
# converted to MP3 by a plain ffmpeg loop (median per file), then each output is checked the way the
# batch checks it (median per file). Prints both and the check's share of a conversion.
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/common.sh
count=${1:-20}

bench_build_targets bench_verify
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
for i in $(seq -w 1 "$count"); do
    ffmpeg -v error -y -f lavfi -i testsrc=size=320x240:rate=25:duration=5 \
        -f lavfi -i sine=frequency=440:sample_rate=44100:duration=5 -c:v mpeg4 -c:a mp3 -shortest \
        "$work/clip$i.avi"
done

times=()
for f in "$work"/clip*.avi; do
    start=$(bench_now_ms)
    ffmpeg -v error -y -i "$f" -acodec libmp3lame -ab 128k -ac 2 -ar 44100 -f mp3 "${f%.avi}.mp3"
    times+=($(($(bench_now_ms) - start)))
done
convert_ms=$(bench_median "${times[@]}")
verify_us=$("$bench_build/bench/bench_verify" "$work"/clip*.mp3 | awk '{ print $2 }')
share=$(awk -v v="$verify_us" -v c="$convert_ms" 'BEGIN { printf "%.2f", 100 * v / 1000 / c }')
echo "conversion of a 5 s clip, median: ${convert_ms} ms"
echo "check of its output, median:      ${verify_us} us"
echo "check / conversion:               ${share} % (limit 2 %: $(bench_verdict "$share" "<" 2))"
