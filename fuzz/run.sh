#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs each for SECONDS, one after
# the other. Prints each target's executions; exits non-zero when any target crashed or broke
# an invariant (the input that did it is kept under build-fuzz/artifacts/).
set -euo pipefail
seconds="${1:?usage: fuzz/run.sh SECONDS}"
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$root/build-fuzz"
mkdir -p "$build"

if ! { CC=clang CXX=clang++ cmake -S "$root/fuzz" -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo &&
       cmake --build "$build" -j"$(nproc)"; } >"$build/build.log" 2>&1; then
  cat "$build/build.log" >&2
  echo "fuzz: building the targets failed" >&2
  exit 1
fi

# Leaks stay detected: what Qt keeps in its static data is still reachable, so only the code's
# own lost memory is reported. No QCoreApplication is made, so no platform plugin is loaded.
export ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=1"
failed=0
while read -r name; do
  [ -n "$name" ] || continue
  corpus="$build/corpus/$name"
  artifacts="$build/artifacts/$name"
  log="$build/$name.log"
  mkdir -p "$corpus" "$artifacts"
  seeds=()
  [ -d "$root/fuzz/corpus/$name" ] && seeds=("$root/fuzz/corpus/$name")
  if "$build/fuzz_$name" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$artifacts/" \
      "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    runs=$(grep -o 'Done [0-9]* runs' "$log" | grep -o '[0-9]*' || echo '?')
    printf 'fuzz %-14s %s runs\n' "$name" "$runs"
  else
    failed=1
    printf 'fuzz %-14s FAILED, log: %s\n' "$name" "$log"
    grep -E 'Invariant broken|ERROR: |SUMMARY: |Test unit written to|^ *#[0-9]+ 0x' "$log" | head -30 >&2 || true
  fi
done <"$build/fuzzers.txt"
exit "$failed"
