# Shared by the benchmark scripts: the Release build of the program and its helpers, timing and
# medians. Sourced with the repository root as the current folder.

bench_build=build-bench-app

# Configures and builds the named targets in $bench_build.
bench_build_targets() {
    mkdir -p "$bench_build"
    cmake -S . -B "$bench_build" -DCMAKE_BUILD_TYPE=Release -DTOLVANE_PARTS=all -DTOLVANE_SANITIZE=OFF \
        >"$bench_build/bench-build.log" 2>&1 || { cat "$bench_build/bench-build.log"; return 1; }
    cmake --build "$bench_build" --target "$@" -j"$(nproc)" >>"$bench_build/bench-build.log" 2>&1 ||
        { tail -n 40 "$bench_build/bench-build.log"; return 1; }
}

# Milliseconds since the epoch, for wall times of whole commands.
bench_now_ms() {
    date +%s%3N
}

# Median of the numbers given as arguments.
bench_median() {
    printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}

# a / b with two decimals.
bench_ratio() {
    awk -v a="$1" -v b="$2" 'BEGIN { if (b > 0) printf "%.2f", a / b; else print "n/a" }'
}

# "ok" or "MISSED" for a value against a limit: bench_verdict VALUE "<=" LIMIT
bench_verdict() {
    awk -v v="$1" -v op="$2" -v l="$3" 'BEGIN {
        ok = (op == "<=") ? v <= l : v < l
        print ok ? "ok" : "MISSED"
    }'
}
