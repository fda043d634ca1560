#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a desktop and a user get from there:
# the files, their validators, the man page, the completion, the program and its manual.
# Usage: install.sh BUILD_DIR HELP_LOOKUP_TEST
set -euo pipefail
build=$1
lookup=$2
id=com.morvexa.Tolvane

fail() { echo "FAIL: $*" >&2; exit 1; }
need() { command -v "$1" >/dev/null || fail "$1 is missing; scripts/install-deps.sh installs it ($2)"; }
need desktop-file-validate desktop-file-utils
need appstreamcli appstream
need groff groff-base
need xvfb-run xvfb
need ffmpeg ffmpeg
need readelf binutils
completions=/usr/share/bash-completion/bash_completion
[ -f $completions ] || fail "$completions is missing; scripts/install-deps.sh installs bash-completion"

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null

for f in bin/tolvane lib/tolvane/tolvane lib/tolvane/tolvane-window.so share/doc/tolvane/quorrel.html \
  share/doc/tolvane/large-library.html \
  share/applications/$id.desktop share/metainfo/$id.metainfo.xml \
  share/icons/hicolor/scalable/apps/$id.svg share/man/man1/tolvane.1 \
  share/bash-completion/completions/tolvane; do
  [ -f "$prefix/$f" ] || fail "not installed: $f"
done
[ "$(readlink "$prefix/bin/tolvane")" = ../lib/tolvane/tolvane ] || fail "bin/tolvane is not the relative link"
# Nothing of the build may be installed: no tests, no benchmarks.
extra=$(cd "$prefix" && find . ! -type d | grep -Ev "^\./(bin|lib/tolvane|share/(doc/tolvane|applications|metainfo|icons|man/man1|bash-completion))/" || true)
[ -z "$extra" ] || fail "installed beyond the product: $extra"
# An installed program must not look into the build for its libraries.
if readelf -d "$prefix"/lib/tolvane/* | grep -E 'R(UN)?PATH'; then fail "installed with a build path"; fi

out=$(desktop-file-validate "$prefix/share/applications/$id.desktop" 2>&1) || fail "desktop entry: $out"
[ -z "$out" ] || fail "desktop entry: $out"
out=$(appstreamcli validate --no-net --strict "$prefix/share/metainfo/$id.metainfo.xml" 2>&1) ||
  fail "AppStream data: $out"
out=$(groff -man -Tutf8 -ww -z "$prefix/share/man/man1/tolvane.1" 2>&1)
[ -z "$out" ] || fail "man page: $out"

completion=$prefix/share/bash-completion/completions/tolvane
bash -n "$completion" || fail "completion does not parse"
got=$(bash -c 'source "$1"; source "$2"
  COMP_WORDS=(tolvane --format = o); COMP_CWORD=3; COMP_LINE="tolvane --format=o"; COMP_POINT=${#COMP_LINE}
  _tolvane; echo "${COMPREPLY[*]}"' _ $completions "$completion")
[ "$got" = "opus ogg original" ] || fail "completion of --format=o gave '$got'"

# The program from the installed link: its version is the one the AppStream release names.
version=$("$prefix/bin/tolvane" --version) || fail "installed program does not start"
grep -q "<release version=\"${version#Tolvane }\"" "$prefix/share/metainfo/$id.metainfo.xml" ||
  fail "AppStream release is not the program's version ($version)"

# With a window: the module loads from the installed place and converts a short clip.
mkdir -p "$tmp/config/Morvexa" "$tmp/cache" "$tmp/clip"
printf '[Settings]\nsamefolder=1\n' >"$tmp/config/Morvexa/quorrel.conf"
ffmpeg -v error -f lavfi -i sine=duration=1 -c:a pcm_s16le "$tmp/clip/a.mka"
out=$(cd "$tmp" && env -u QT_QPA_PLATFORM XDG_CONFIG_HOME="$tmp/config" XDG_CACHE_HOME="$tmp/cache" \
  xvfb-run -a "$prefix/bin/tolvane" /AUTOMATE --format=wav "$tmp/clip" 2>&1) || fail "window run: $out"
[ -f "$tmp/clip/a.wav" ] || fail "window run wrote no output: $out"

# The manual as the help command finds it from the installed program's folder.
cp "$lookup" "$prefix/lib/tolvane/"
TOLVANE_INSTALLED_PREFIX=$prefix QT_QPA_PLATFORM=offscreen \
  "$prefix/lib/tolvane/$(basename "$lookup")" -silent installedManual || fail "manual not found when installed"
echo "PASS"
