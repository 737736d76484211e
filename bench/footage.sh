#!/bin/bash
# Footage costs (camera audio at 48 kHz, as cameras record it), each the median of several runs of both sides, interleaved:
#  1. DNxHR HQ of a 10 s UHD clip: the program's engine line against the same ffmpeg
#     command typed by hand (the line as the run will build it, printed by
#     orlenne_footage_command; the run's own overhead is measured by bench/run.sh).
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
cmake --build "$build" --target orlenne_footage_command -j2 >/dev/null
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

hq=$(command_of "Avid DNxHR Codec" HQ "$data/uhd.mov" "$data/hq.MOV")
hand="ffmpeg -i $data/uhd.mov -y -map 0:0 -map 0:1 -vcodec dnxhd -profile:v dnxhr_hq -pix_fmt yuv422p -vf scale=iw:ih:force_original_aspect_ratio=decrease:force_divisible_by=2 -c:a pcm_s24le -ar 48000 $data/hand.MOV"
four=$(command_of "Avid DNxHD Codec" "1080p/25 120" "$data/a001.mov" "$data/four.MOV")
one=$(sed 's/ -map 0:2 -map 0:3 -map 0:4//' <<<"$four")
[ "$one" != "$four" ] || { echo "no maps to take away: $four" >&2; exit 1; }
printf 'program: %s\nhand:    %s\nfour:    %s\none:     %s\n\n' "$hq" "$hand" "$four" "$one" >&2

echo "| Row | program | baseline | ratio | goal |"
echo "|---|---|---|---|---|"
compare "DNxHR HQ, 10 s UHD, vs by hand" "$hq" "$hand" "<= 1.02"
compare "DNxHD 1080p/25 120, 4 tracks vs 1" "$four" "$one" "<= 1.05"
echo "load: $(cut -d' ' -f1-3 /proc/loadavg)"
