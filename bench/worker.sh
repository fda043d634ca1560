#!/usr/bin/env bash
# Measures the conversion worker: the same ffmpeg command run directly and through the worker.
# Usage: bench/worker.sh [runs=5] [clip seconds=60]
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTOLVANE_PARTS="platform;convert" >/dev/null
cmake --build "$build" --target bench_worker -j"$(nproc)" >/dev/null
exec "$build/tests/convert/bench_worker" "${1:-5}" "${2:-60}"
