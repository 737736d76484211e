#!/bin/bash
# Render nodes: the price of verification. The 40-file mixed batch (WAV, DV PAL and DNxHD of
# 1 s 1080p clips in turn), written by one desktop run, through `parallel -j 2` over its
# batch file (one orlenne-convert call a line) against `parallel -j 2` over the same bare
# engine commands, in pairs that alternate; then orlenne-convert's start-to-exit time for a
# file the journal shows already converted. Prints Markdown rows for bench/RESULTS.md.
#
#   bash bench/node.sh     environment: ORLENNE_BENCH_RUNS (pairs, default 5),
#                          ORLENNE_BENCH_BUILD (default build-bench), ORLENNE_BENCH_DATA
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${ORLENNE_BENCH_BUILD:-$top/build-bench}
runs=${ORLENNE_BENCH_RUNS:-5}
data=${ORLENNE_BENCH_DATA:-/tmp/orlenne-node-bench-$$}
bench="$build/bench/orlenne_bench"

step() { printf '== %s\n' "$*" >&2; }
fail() {
    printf 'bench failed: %s\n' "$*" >&2
    exit 1
}
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
calc() { awk "BEGIN {printf \"%.${2:-2}f\", $1}"; }
verdict() { awk "BEGIN {print ($1) ? \"met\" : \"**missed**\"}"; }
ms() { sed -n 's/.*call_ms=\([^ ]*\).*/\1/p'; }
cpu_ms() { sed -n 's/.*cpu_ms=\([^ ]*\).*/\1/p'; }

for program in ffmpeg ffprobe parallel; do
    command -v $program >/dev/null || fail "$program is missing (bash scripts/setup.sh test installs it)"
done
[ -e "$data" ] && fail "$data exists already"
mkdir -p "$data"
trap 'rm -rf "$data"' EXIT

step "building orlenne_bench and orlenne-convert in $build"
cmake -S "$top" -B "$build" -G Ninja -DORLENNE_BENCH=ON >/dev/null || fail "cmake configure"
cmake --build "$build" --target orlenne_bench orlenne-convert -j2 >/dev/null || fail "build"

# The working folder the desktop run expects, and orlenne-convert first on PATH.
work="$data/work"
mkdir -p "$work/VeltroanBatchConverter.app/engines" "$work/home/Desktop" "$work/bin" "$work/footage" "$work/out"
ln -s "$(command -v ffmpeg)" "$work/VeltroanBatchConverter.app/engines/ffmpeg"
ln -s "$build/orlenne-convert" "$work/bin/orlenne-convert"
printf '#!/bin/sh\nexit 0\n' >"$work/bin/open"
chmod 755 "$work/bin/open"
in_work() { (cd "$work" && HOME="$work/home" PATH="$work/bin:$PATH" "$@" 2>/dev/null </dev/null); }

step "40 clips and one desktop run at 2 engines, which writes the batch file"
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=1" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=1" -c:v libx264 -preset ultrafast \
    -pix_fmt yuv420p -c:a aac -shortest "$work/footage/clip01.mov" || fail "clip"
for ((i = 2; i <= 40; i++)); do cp "$work/footage/clip01.mov" "$work/footage/clip$(printf %02d $i).mov"; done
line=$(in_work "$bench" run "$work/footage" "$work/out" mixed 2 probe)
[[ "$line" == *success=1* ]] || fail "the desktop run did not succeed: $line"
cp "$work/home/Desktop/batch_file.txt" "$data/nodes"
# The bare engine commands of the same run, as its engine log records them.
sed -n 's/^\$ //p' "$work/home/Desktop/log_file_engines.txt" >"$data/bare"
[ "$(wc -l <"$data/nodes")" = 40 ] && [ "$(wc -l <"$data/bare")" = 40 ] || fail "40 lines expected"

step "$runs pairs: parallel -j 2 over the bare commands, then over the batch file"
for ((r = 0; r < runs; r++)); do
    rm -rf "$work/out" && mkdir -p "$work/out/footage"
    in_work "$bench" time /dev/null parallel --will-cite -j 2 -a "$data/bare" >>"$data/bare.times"
    rm -rf "$work/out" && mkdir -p "$work/out"
    in_work "$bench" time /dev/null parallel --will-cite -j 2 -a "$data/nodes" >>"$data/nodes.times"
    grep -q 'status=0 ' <(tail -n1 "$data/nodes.times") || fail "a line of the batch file failed"
done
paste -d' ' <(ms <"$data/nodes.times") <(ms <"$data/bare.times") | awk '{printf "%.4f\n", $1 / $2}' >"$data/ratios"
nodes=$(ms <"$data/nodes.times" | median)
bare=$(ms <"$data/bare.times" | median)
ratio=$(median <"$data/ratios")
cpu=$(calc "$(cpu_ms <"$data/nodes.times" | median) / $(cpu_ms <"$data/bare.times" | median)")

step "orlenne-convert for a file already converted, 31 runs"
first=$(head -n1 "$data/nodes")
for ((r = 0; r < 31; r++)); do
    in_work "$bench" time /dev/null sh -c "exec $first" >>"$data/skip.times"
done
grep -q 'status=0 ' "$data/skip.times" || fail "the skipped file did not exit 0"
in_work "$bench" time /dev/null true >/dev/null
for ((r = 0; r < 31; r++)); do in_work "$bench" time /dev/null true >>"$data/true.times"; done
skip=$(ms <"$data/skip.times" | median)

echo "| 40-file mixed batch: \`parallel -j 2\` over batch_file.txt (orlenne-convert: the source as the desktop run read it, output checked, journal) vs \`parallel -j 2\` over the same bare engine commands ($runs pairs) | $nodes ms | $bare ms | $(calc "$ratio") | $cpu | ≤ 1.05 | $(verdict "$ratio <= 1.05") |"
echo "| orlenne-convert, start to exit, a file the journal shows already converted (31 runs; \`true\` takes $(ms <"$data/true.times" | median) ms the same way) | $skip ms | – | – | – | ≤ 30 ms | $(verdict "$skip <= 30") |"
echo "Pairs' ratios: $(sort -g "$data/ratios" | sed -n '1p;$p' | xargs printf '%.2f–%.2f'); load before/after: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
