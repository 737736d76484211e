#!/bin/bash
# Footage costs (camera audio at 48 kHz, as cameras record it), each the median of several runs of both sides, interleaved:
#  1. DNxHR HQ of a 10 s UHD clip through the run (RUN IT NOW without the window: the source
#     read and the output checked with ffprobe, one engine) against the engine line that run
#     wrote to its batch file, run by hand with sh -c. CPU times (the run's own and its
#     children's; the shell's and its engine's) are printed beside the wall times.
#  2. Every audio track kept: a 4-track 1080p DNxHD conversion with the program's maps
#     against the same command keeping one track.
#
#   bash bench/footage.sh        environment: ORLENNE_BENCH_RUNS (default 5)
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build="$top/build-bench"
runs=${ORLENNE_BENCH_RUNS:-5}
data=$(mktemp -d /tmp/orlenne-footage-XXXXXX)
trap 'rm -rf "$data"' EXIT

cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORLENNE_BENCH=ON >/dev/null
cmake --build "$build" --target orlenne_footage_command orlenne_bench -j2 >/dev/null
command_of() { "$build/bench/orlenne_footage_command" "$@" 2>/dev/null; }

lavfi() { ffmpeg -nostdin -v error -y "$@"; }
lavfi -f lavfi -i testsrc2=s=3840x2160:r=25:d=10 -f lavfi -i sine=d=10:r=48000 \
    -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a pcm_s24le "$data/uhd.mov"
lavfi -f lavfi -i testsrc2=s=1920x1080:r=25:d=10 -f lavfi -i sine=f=440:d=10:r=48000 -f lavfi -i sine=f=550:d=10:r=48000 \
    -f lavfi -i sine=f=660:d=10:r=48000 -f lavfi -i sine=f=770:d=10:r=48000 -map 0 -map 1 -map 2 -map 3 -map 4 \
    -c:v libx264 -preset ultrafast -pix_fmt yuv420p -c:a pcm_s24le "$data/a001.mov"

seconds() { local t0 t1; t0=$(date +%s.%N); sh -c "$1 -v error -nostdin" >/dev/null 2>&1; t1=$(date +%s.%N); echo "$t1 - $t0" | bc; }
median() { sort -g | awk '{v[NR]=$1} END {print (NR % 2) ? v[(NR+1)/2] : (v[NR/2]+v[NR/2+1])/2}'; }

# compare NAME PROGRAM_LINE BASELINE_LINE GOAL
compare() {
    local i p=() b=()
    for ((i = 0; i < runs; i++)); do
        p+=("$(seconds "$2")")
        b+=("$(seconds "$3")")
    done
    # The ratio is the median of the pairs' ratios: each pair saw the same load.
    local pm bm rm
    pm=$(printf '%s\n' "${p[@]}" | median)
    bm=$(printf '%s\n' "${b[@]}" | median)
    rm=$(for ((i = 0; i < runs; i++)); do echo "${p[i]} / ${b[i]}" | bc -l; done | median)
    printf '| %s | %.2f s | %.2f s | %.3f | %s |\n' "$1" "$pm" "$bm" "$rm" "$4"
}

# A working folder as the run expects it: the engine in the bundle, a Desktop for the job
# script and the batch file, a stand-in desktop opener.
work="$data/work"
mkdir -p "$work/VeltroanBatchConverter.app/engines" "$work/home/Desktop" "$work/bin" "$work/footage" "$work/out"
ln -s "$(command -v ffmpeg)" "$work/VeltroanBatchConverter.app/engines/ffmpeg"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/open" && chmod 755 "$work/bin/open"
mv "$data/uhd.mov" "$work/footage/uhd.mov"
bench="$build/bench/orlenne_bench"
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" <<<"$2"; }
by_run() {
    rm -rf "$work/out/footage"
    (cd "$work" && HOME="$work/home" PATH="$work/bin:$PATH" "$bench" run "$work/footage" "$work/out" "DNxHR HQ" 1 probe 2>/dev/null </dev/null)
}
by_hand() { "$bench" time /dev/null sh -c "$hand" 2>/dev/null </dev/null; }
first=$(by_run)
[ "$(field success "$first")" = 1 ] || { echo "the run failed: $first" >&2; exit 1; }
hand=$(sed -n 's/^\$ //p' "$work/home/Desktop/log_file_engines.txt" | head -n1)
four=$(command_of "Avid DNxHD Codec" "1080p/25 120" "$data/a001.mov" "$data/four.MOV")
one=$(sed 's/ -map 0:2 -map 0:3 -map 0:4//' <<<"$four")
[ "$one" != "$four" ] || { echo "no maps to take away: $four" >&2; exit 1; }
printf 'run wrote: %s\nfour:    %s\none:     %s\n\n' "$hand" "$four" "$one" >&2

# The run's pairs: wall and CPU of each side, the ratios of each pair, then their medians.
pairs=$(for ((i = 0; i < runs; i++)); do
    r=$(by_run) h=$(by_hand)
    [ "$(field success "$r")" = 1 ] || { echo "the run failed: $r" >&2; exit 1; }
    echo "$(field call_ms "$r") $(field cpu_ms "$r") $(field call_ms "$h") $(field cpu_ms "$h")"
done)
printf 'run wall/cpu ms, hand wall/cpu ms:\n%s\n' "$pairs" >&2
wall=$(awk '{print $1 / $3}' <<<"$pairs" | median)
cpu=$(awk '{print $2 / $4}' <<<"$pairs" | median)

echo "| Row | program | baseline | ratio | goal |"
echo "|---|---|---|---|---|"
printf '| DNxHR HQ, 10 s UHD, the run vs its line by hand | %.2f s | %.2f s | %.3f (CPU %.3f) | <= 1.02 |\n' \
    "$(awk '{print $1 / 1000}' <<<"$pairs" | median)" "$(awk '{print $3 / 1000}' <<<"$pairs" | median)" "$wall" "$cpu"
compare "DNxHD 1080p/25 120, 4 tracks vs 1" "$four" "$one" "<= 1.05"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
