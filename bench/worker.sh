#!/usr/bin/env bash
# Converts the same short clips (video+audio -> MP3) once through the conversion worker, one at a
# time, and once with a plain shell loop of the same ffmpeg command lines, and prints the ratio of the
# wall times (worker / shell).
# Usage: bench/worker.sh [clips=20] [clip seconds=4] [rounds=1]
set -euo pipefail
cd "$(dirname "$0")/.."
count=${1:-20}
seconds=${2:-4}
rounds=${3:-1}
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTOLVANE_PARTS="platform;convert" >/dev/null
cmake --build "$build" --target bench_worker -j"$(nproc)" >/dev/null
ffmpeg=$(command -v ffmpeg)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
clips=()
for i in $(seq -w 1 "$count"); do
    clip="$work/clip$i.mkv"
    "$ffmpeg" -v error -y -f lavfi -i "testsrc=size=320x240:rate=25:duration=$seconds" \
        -f lavfi -i "sine=frequency=$((300 + 10#$i * 20)):sample_rate=44100:duration=$seconds" "$clip"
    clips+=("$clip")
done

now() { date +%s%N; }
worker_ns=0
shell_ns=0
for ((r = 1; r <= rounds; r++)); do
    ms=$("$build/tests/convert/bench_worker" "$ffmpeg" "$work/lines" "${clips[@]}")
    worker_ns=$((worker_ns + ms * 1000000))
    # The lines quote every path in double quotes, and these paths hold nothing a shell would expand.
    start=$(now)
    while IFS= read -r line; do
        eval "$line" </dev/null >/dev/null 2>&1
    done <"$work/lines"
    shell_ns=$((shell_ns + $(now) - start))
done

echo "clips: $count x ${seconds} s video+audio -> MP3 128k, $rounds round(s)"
echo "one line: $(head -n 1 "$work/lines")"
awk -v w="$worker_ns" -v s="$shell_ns" 'BEGIN {
    printf "worker:     %.0f ms\nshell loop: %.0f ms\nratio worker/shell: %.3f\n", w / 1e6, s / 1e6, w / s }'
