#!/bin/bash
# Sets up Orlenne Converter on Debian 12 (as root): installs what is missing, builds,
# lays out the bundle folder next to the program, then starts the program ("run") or
# runs every test ("test"). "node" sets up a render node instead: what the headless
# orlenne-convert needs, and that command alone. Every mode puts orlenne-convert on PATH.
# A second run skips what is already done.
set -euo pipefail

mode=${1:-run}
case "$mode" in
run | test | node) ;;
*)
    echo "usage: $0 run|test|node" >&2
    exit 2
    ;;
esac

top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build"

step() { printf '== %s\n' "$*"; }
fail() {
    printf 'setup failed: %s\n' "$*" >&2
    exit 1
}

# The preview plays through GStreamer: -bad brings the demuxers and parsers of camera
# footage (MPEG-PS, MPEG-TS/AVCHD, H.264, MPEG video), -libav the decoders.
packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev
    qt6-tools-dev libgl-dev libxxhash-dev libglib2.0-dev ffmpeg gstreamer1.0-plugins-good
    gstreamer1.0-plugins-bad gstreamer1.0-libav xdg-utils)
# A node has no display: Qt Core, the engine and its ffprobe, xxhsum to check the copies,
# GNU parallel to hand out a batch from there as well.
[ "$mode" = node ] && packages=(cmake ninja-build g++ pkg-config qt6-base-dev libxxhash-dev
    libglib2.0-dev ffmpeg xxhash parallel)
# clang and its runtimes (libFuzzer is only recommended by clang) for the fuzzer;
# desktop-file-validate checks the menu entry; xxhsum and GNU parallel check what the
# program writes for them.
[ "$mode" = test ] && packages+=(xvfb xauth clang libclang-rt-14-dev desktop-file-utils xxhash
    parallel)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ]; then
    step "installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q || fail "apt-get update"
    apt-get install -y -q "${missing[@]}" || fail "apt-get install ${missing[*]}"
else
    step "all packages present"
fi

step "building in $build"
# The same options in "run" and "test", so that switching between them rebuilds nothing; a
# node configures without Qt Widgets and Multimedia.
node_only=OFF
[ "$mode" = node ] && node_only=ON
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORLENNE_WERROR=ON -DORLENNE_NODE_ONLY=$node_only >/dev/null || fail "cmake configure"
# Starting the program needs the program only; the test programs are built for "test".
targets=()
[ "$mode" = run ] && targets=(--target OrlenneConverter orlenne-convert)
[ "$mode" = node ] && targets=(--target orlenne-convert)
cmake --build "$build" -j"$(nproc)" "${targets[@]}" || fail "build"

# Each line of the batch file calls orlenne-convert by its name: linked on PATH, for every
# user as root, otherwise for the user alone.
if [ "$(id -u)" -eq 0 ]; then
    bin=/usr/local/bin
else
    bin=$HOME/.local/bin
fi
step "linking $bin/orlenne-convert"
mkdir -p "$bin" || fail "folder $bin"
ln -sfn "$build/orlenne-convert" "$bin/orlenne-convert" || fail "link $bin/orlenne-convert"
"$bin/orlenne-convert" --help >/dev/null || fail "orlenne-convert does not start"
case ":$PATH:" in
*":$bin:"*) ;;
*) echo "Note: $bin is not on PATH; add it there (e.g. in ~/.profile) for the batch file's lines." ;;
esac
if [ "$mode" = node ]; then
    step "node ready: $(command -v orlenne-convert || echo "$bin/orlenne-convert")"
    exit 0
fi

# The program works from its working folder, the build folder: the bundle holds the
# engines, the presets file and the player.
step "laying out $build/VeltroanBatchConverter.app"
bundle="$build/VeltroanBatchConverter.app"
mkdir -p "$bundle/engines" || fail "bundle folder"
ln -sfn "$(command -v ffmpeg)" "$bundle/engines/ffmpeg" || fail "engine link"
ln -sfn "$(command -v ffplay)" "$bundle/ffplay" || fail "player link"
touch "$bundle/presets.txt" || fail "presets file"

# The desktop's menu entry: root installs it for every user, anyone else for themselves.
# The program finds its bundle beside itself, so the entry only names it.
if [ "$(id -u)" -eq 0 ]; then
    share=/usr/share
else
    share=${XDG_DATA_HOME:-$HOME/.local/share}
fi
entry="$share/applications/orlenne-converter.desktop"
step "adding Orlenne Converter to the desktop's menu: $entry"
program="$build/OrlenneConverter"
# Exec takes the path in double quotes, with " ` $ \ escaped and % doubled; then every
# backslash is doubled once more, as all values of the file are. TryExec only the latter.
exec_path=$(printf '%s' "$program" | sed -e 's/[\\"`$]/\\&/g' -e 's/\\/\\\\/g' -e 's/%/%%/g')
tryexec_path=$(printf '%s' "$program" | sed -e 's/\\/\\\\/g')
install -D -m 644 "$top/resources/orlenne-converter.png" \
    "$share/icons/hicolor/256x256/apps/orlenne-converter.png" || fail "menu icon"
mkdir -p "$share/applications" || fail "menu folder"
cat >"$entry" <<ENTRY || fail "menu entry"
[Desktop Entry]
Type=Application
Name=Orlenne Converter
GenericName=Batch Video Converter
Comment=Convert whole disks and folders of camera footage for editing
Exec="$exec_path"
TryExec=$tryexec_path
Icon=orlenne-converter
Terminal=false
Categories=AudioVideo;Video;
ENTRY
# Desktops that read the icon cache would otherwise show the entry without its icon.
if command -v gtk-update-icon-cache >/dev/null; then
    gtk-update-icon-cache -q -t -f "$share/icons/hicolor" || fail "icon cache"
fi
[ "$mode" = run ] || desktop-file-validate "$entry" || fail "menu entry $entry"

cd "$build"
if [ "$mode" = run ]; then
    if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
        echo "Set-up done, but there is no display (DISPLAY is not set): start $build/OrlenneConverter from a desktop session."
        exit 1
    fi
    step "starting Orlenne Converter"
    exec ./OrlenneConverter
fi

step "running the tests"
QT_QPA_PLATFORM=offscreen ctest --output-on-failure -j2 || fail "tests"

# The whole test suite again, built with AddressSanitizer and UndefinedBehaviorSanitizer.
# Leak reports from system libraries are suppressed in tests/lsan.supp; ours are not. The
# suppressions match frames deep in those libraries, which are built without frame
# pointers: only the full unwinder (fast_unwind_on_malloc=0) sees them. In the end-to-end
# program LeakSanitizer's own tracer dies while it stops the threads at exit ("Tracer caught
# signal 11"), after every test function has passed: that program runs with the address and
# undefined-behaviour checks but without the leak check.
sanitize="$top/build-sanitize"
step "building with AddressSanitizer and UndefinedBehaviorSanitizer in $sanitize"
cmake -S "$top" -B "$sanitize" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DORLENNE_SANITIZE=ON \
    >/dev/null || fail "cmake configure (sanitizers)"
cmake --build "$sanitize" -j"$(nproc)" || fail "build (sanitizers)"

step "running the tests under AddressSanitizer and UndefinedBehaviorSanitizer"
sanitized() {
    (cd "$sanitize" && QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=$1:fast_unwind_on_malloc=0 \
        LSAN_OPTIONS="suppressions=$top/tests/lsan.supp:print_suppressions=0" \
        UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
        ctest --output-on-failure -j2 "${@:2}")
}
sanitized 1 -E '^tst_endtoend$' || fail "tests under the sanitizers"
sanitized 0 -R '^tst_endtoend$' || fail "end-to-end tests under the sanitizers"

# The path helpers, the output naming and the shell quoting, fuzzed for a minute from the
# seeds in fuzz/corpus (left as they are: new inputs go to the build folder).
fuzz="$top/build-fuzz"
step "building the fuzzer in $fuzz"
clangxx=$(command -v clang++) || fail "clang++ not found"
cmake -S "$top" -B "$fuzz" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER="$clangxx" -DORLENNE_FUZZ=ON >/dev/null || fail "cmake configure (fuzzer)"
cmake --build "$fuzz" -j"$(nproc)" --target fuzz_paths || fail "build (fuzzer)"

step "fuzzing the path helpers, output naming and shell quoting for 60 s"
rm -rf "$fuzz/corpus" "$fuzz/findings"
mkdir -p "$fuzz/corpus" "$fuzz/findings" || fail "fuzzer folders"
"$fuzz/fuzz/fuzz_paths" -max_total_time=60 -rss_limit_mb=2048 -max_len=256 -print_final_stats=1 \
    -artifact_prefix="$fuzz/findings/" "$fuzz/corpus" "$top/fuzz/corpus" ||
    fail "the fuzzer found a fault; the input is in $fuzz/findings/"
step "all tests passed"
