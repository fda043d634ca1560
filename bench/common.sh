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

# A private settings home under $1 whose settings convert into $1/out without questions; a copy stays in
# $1/settings.conf for bench_fresh_settings. Also makes $1/out.
bench_settings_home() {
    local tmp=$1
    export XDG_CONFIG_HOME=$tmp/config XDG_RUNTIME_DIR=$tmp/runtime
    mkdir -p "$XDG_CONFIG_HOME/Morvexa" "$tmp/out"
    mkdir -m 700 "$XDG_RUNTIME_DIR"
    cat >"$tmp/settings.conf" <<SETTINGS
[Settings]
output=$tmp/out
samefolder=0
askoverwrite=0
openfolder=0
recurse=0
SETTINGS
    cp "$tmp/settings.conf" "$XDG_CONFIG_HOME/Morvexa/quorrel.conf"
}

# The settings as bench_settings_home wrote them (the program saves its own at the end of a run).
bench_fresh_settings() {
    cp "$1/settings.conf" "$XDG_CONFIG_HOME/Morvexa/quorrel.conf"
}

# A clip of $2 seconds, 320x240 MPEG-4 video and 44.1 kHz MP3 audio, written to $1.
bench_make_clip() {
    ffmpeg -v error -y -f lavfi -i "testsrc=size=320x240:rate=25:duration=$2" \
        -f lavfi -i "sine=frequency=440:sample_rate=44100:duration=$2" \
        -c:v mpeg4 -c:a mp3 -shortest "$1"
}

# $3 copies in $1/in (made here) of one clip of $2 seconds, named clip01.mkv, clip02.mkv, ...
bench_make_clips() {
    echo "Making $3 clips of $2 s (320x240 video and 44.1 kHz audio)..."
    mkdir "$1/in"
    bench_make_clip "$1/clip.mkv" "$2"
    local i
    for i in $(seq -w 1 "$3"); do
        cp "$1/clip.mkv" "$1/in/clip$i.mkv"
    done
}
