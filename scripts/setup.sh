#!/bin/bash
# Sets up Orlenne Converter on Debian 12 (as root): installs what is missing, builds,
# lays out the bundle folder next to the program, then starts the program ("run") or
# runs every test ("test"). A second run skips what is already done.
set -euo pipefail

mode=${1:-run}
case "$mode" in
run | test) ;;
*)
    echo "usage: $0 run|test" >&2
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

packages=(cmake ninja-build g++ pkg-config qt6-base-dev qt6-base-dev-tools qt6-multimedia-dev
    qt6-tools-dev libgl-dev ffmpeg gstreamer1.0-plugins-good gstreamer1.0-libav xdg-utils)
[ "$mode" = test ] && packages+=(xvfb xauth)

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
werror=OFF
[ "$mode" = test ] && werror=ON
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DORLENNE_WERROR=$werror >/dev/null || fail "cmake configure"
cmake --build "$build" -j"$(nproc)" || fail "build"

# The program works from its working folder, the build folder: the bundle holds the
# engines, the presets file and the player.
step "laying out $build/VeltroanBatchConverter.app"
bundle="$build/VeltroanBatchConverter.app"
mkdir -p "$bundle/engines" || fail "bundle folder"
ln -sfn "$(command -v ffmpeg)" "$bundle/engines/ffmpeg" || fail "engine link"
ln -sfn "$(command -v ffplay)" "$bundle/ffplay" || fail "player link"
touch "$bundle/presets.txt" || fail "presets file"

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
