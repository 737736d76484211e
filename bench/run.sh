#!/bin/bash
# Builds the benchmarks (Release, in build-bench) and runs them; prints one Markdown table.
# Every figure is the median of several runs, and every ratio is taken against a baseline
# measured in the same run, interleaved with the program's runs so that both see the same
# load. The program's times are those of the call alone (from the click, or the function
# call, to its return, measured inside the process); a baseline's time is its process's,
# from start to exit. The debug channel goes to /dev/null, as do the engines' messages.
#
#   bash bench/run.sh            environment: ORLENNE_BENCH_RUNS (default 7),
#                                ORLENNE_BENCH_DATA (default /tmp/orlenne-bench-PID),
#                                ORLENNE_BENCH_BUILD (default build-bench),
#                                ORLENNE_BENCH_ONLY (some of: analyze copy run mixed parallel
#                                dnxhd verify resume rerun forms; default all; faults go with
#                                dnxhd), ORLENNE_BENCH_KILLS (default 20), ORLENNE_BENCH_SEED
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
build=${ORLENNE_BENCH_BUILD:-$top/build-bench}
runs=${ORLENNE_BENCH_RUNS:-7}
# No dot in the path: ANALYZE takes an entry holding a dot for a file.
data=${ORLENNE_BENCH_DATA:-/tmp/orlenne-bench-$$}
bench="$build/bench/orlenne_bench"

only=${ORLENNE_BENCH_ONLY:-}
step() { printf '== %s\n' "$*" >&2; }
# want SECTION: whether the section is to run.
want() { [ -z "$only" ] || [[ " $only " == *" $1 "* ]]; }
fail() {
    printf 'bench failed: %s\n' "$*" >&2
    exit 1
}

case "$data" in *.*) fail "ORLENNE_BENCH_DATA must not hold a dot: $data" ;; esac
command -v ffmpeg >/dev/null || fail "ffmpeg is missing (bash scripts/setup.sh installs it)"
[ -e "$data" ] && fail "$data exists already"
mkdir -p "$data"
trap 'rm -rf "$data"' EXIT

step "building orlenne_bench in $build (Release)"
cmake -S "$top" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DORLENNE_BENCH=ON >/dev/null ||
    fail "cmake configure"
cmake --build "$build" --target orlenne_bench -j2 >/dev/null || fail "build"

load_start=$(cut -d' ' -f1-3 /proc/loadavg)

# field NAME LINE: the value of NAME=... in a result line.
field() { sed -n "s/.*\\b$1=\\([^ ]*\\).*/\\1/p" <<<"$2"; }
median() { sort -g | awk '{v[NR] = $1} END {print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2}'; }
calc() { awk "BEGIN {printf \"%.${2:-2}f\", $1}"; }
verdict() { awk "BEGIN {print ($1) ? \"met\" : \"**missed**\"}"; }

# record FILE LINE: keeps call_ms, cpu_ms, maxrss_kb, rss_before_kb and self_cpu_ms of one
# result line, in these columns.
record() {
    local line=$2
    [ -n "$(field call_ms "$line")" ] || fail "no result from a run: $line"
    local values=() key
    for key in call_ms cpu_ms maxrss_kb rss_before_kb self_cpu_ms; do
        values+=("$(field $key "$line")")
        [ -n "${values[-1]}" ] || values[-1]=-
    done
    echo "${values[*]}" >>"$1"
}
col() { awk -v c="$2" '{print $c}' "$1" | median; }
# ratios A B: each run's time in A over the time of the run beside it in B (runs of the two
# alternate, so the n-th lines of the files saw the same load); paired A B: their median.
ratios() { paste -d' ' <(awk '{print $1}' "$1") <(awk '{print $1}' "$2") | awk '{printf "%.4f\n", $1 / $2}'; }
paired() { ratios "$1" "$2" | median; }
# spread A B: the smallest and the largest of those ratios.
spread() { ratios "$1" "$2" | sort -g | sed -n '1p;$p' | xargs printf '%.2f–%.2f'; }

# A working folder as the program expects it: the bundle with an engine, a HOME with a
# Desktop for the job script, and a stand-in desktop opener first on PATH.
make_workdir() {
    local dir=$1 engine=$2
    mkdir -p "$dir/VeltroanBatchConverter.app/engines" "$dir/home/Desktop" "$dir/bin" \
        "$dir/footage" "$dir/out"
    if [ "$engine" = real ]; then
        ln -s "$(command -v ffmpeg)" "$dir/VeltroanBatchConverter.app/engines/ffmpeg"
    else
        # Writes 2000 bytes to its last argument, the output, and exits.
        printf '#!/bin/sh\nfor last in "$@"; do :; done\nprintf %%2000s "" > "$last"\n' \
            >"$dir/VeltroanBatchConverter.app/engines/ffmpeg"
        chmod 755 "$dir/VeltroanBatchConverter.app/engines/ffmpeg"
    fi
    printf '#!/bin/sh\nexit 0\n' >"$dir/bin/open"
    chmod 755 "$dir/bin/open"
}
# in_workdir DIR COMMAND...: runs the program's side in its working folder.
in_workdir() {
    local dir=$1
    shift
    (cd "$dir" && HOME="$dir/home" PATH="$dir/bin:$PATH" "$@" 2>/dev/null </dev/null)
}

rows=()
# row LABEL PROGRAM BASELINE RATIO CPU-RATIO GOAL RESULT
row() { rows+=("| $1 | $2 | $3 | $4 | $5 | $6 | $7 |"); }
# cpu A B: the ratio of the median CPU times of two result files.
cpu() { calc "$(col "$1" 2) / $(col "$2" 2)"; }

# --- ANALYZE -----------------------------------------------------------------------------
# The program's trace lines are off (orlenne_bench sets default.debug=false), as they are
# unless tracing is asked for.
if want analyze; then
step "making the trees: 200,000 files in 2,000 folders, 20,000 in 200 and 20 in 1 (60 % media)"
"$bench" maketree "$data/tree200k" 20 100 100 >/dev/null || fail "tree"
"$bench" maketree "$data/tree20k" 2 100 100 >/dev/null || fail "tree"
"$bench" maketree "$data/tree20" 1 1 20 >/dev/null || fail "tree"
make_workdir "$data/analyze" stand-in

step "ANALYZE, $runs runs per tree, each against find -type f (warm cache)"
for tree in tree200k tree20k tree20; do
    # One unmeasured pass of each, so that both find the tree in the cache.
    "$bench" time /dev/null find "$data/$tree" -type f >/dev/null
    in_workdir "$data/analyze" "$bench" analyze "$data/$tree" "$data/analyze/out" >/dev/null ||
        fail "ANALYZE of $data/$tree failed"
    for ((i = 0; i < runs; i++)); do
        record "$data/find.$tree" "$("$bench" time /dev/null find "$data/$tree" -type f)"
        line=$(in_workdir "$data/analyze" "$bench" analyze "$data/$tree" "$data/analyze/out")
        [ "$(field found "$line")" -gt 0 ] || fail "ANALYZE found nothing: $line"
        record "$data/analyze.$tree" "$line"
        if [ $tree = tree200k ]; then
            record "$data/walk.$tree" "$("$bench" walk "$data/$tree")"
        fi
    done
done
a200=$(col "$data/analyze.tree200k" 1)
f200=$(col "$data/find.tree200k" 1)
a20=$(col "$data/analyze.tree20k" 1)
f20=$(col "$data/find.tree20k" 1)
ratio=$(calc "$(paired "$data/analyze.tree200k" "$data/find.tree200k")")
row "ANALYZE, 200,000 files (120,000 media) vs \`find TREE -type f\`" "$a200 ms" "$f200 ms" \
    "$ratio" "$(cpu "$data/analyze.tree200k" "$data/find.tree200k")" "≤ 2.0" "$(verdict "$ratio <= 2.0")"
ratio=$(calc "$a200 / $a20")
row "ANALYZE, 10× the files: 200,000 vs 20,000" "$a200 ms" "$a20 ms" "$ratio" \
    "$(cpu "$data/analyze.tree200k" "$data/analyze.tree20k")" "≤ 11" "$(verdict "$ratio <= 11")"
peak=$(calc "$(col "$data/analyze.tree200k" 3) / 1024" 1)
before=$(calc "$(col "$data/analyze.tree200k" 4) / 1024" 1)
row "ANALYZE, peak memory at 200,000 files (before the click: $before MB)" "$peak MB" "–" "–" "–" \
    "< 150 MB" "$(verdict "$peak < 150")"
info=("ANALYZE 200,000: CPU $(col "$data/analyze.tree200k" 2) ms vs find's $(col "$data/find.tree200k" 2) ms")
info+=("ANALYZE 20,000 vs find: $(calc "$a20 / $f20") (find $f20 ms)")
info+=("ANALYZE of 20 files, the fixed cost (the new form with its player, the probes): $(col "$data/analyze.tree20" 1) ms, peak memory $(calc "$(col "$data/analyze.tree20" 3) / 1024" 1) MB")
info+=("The folder scan alone (scanFolder, no window), 200,000: $(col "$data/walk.tree200k" 1) ms = $(calc "$(col "$data/walk.tree200k" 1) / $f200") × find")
rm -rf "$data/tree200k" "$data/tree20k" "$data/tree20"

fi

# --- SRCopyFile2 -------------------------------------------------------------------------
if want copy; then
step "SRCopyFile2 of 2 GiB against cat, $runs runs with the source cached, $runs after dropping the caches"
dd if=/dev/zero of="$data/source.bin" bs=1M count=2048 status=none || fail "source file"
sync
gib=2147483648
can_drop=no
if (echo 3 >/proc/sys/vm/drop_caches) 2>/dev/null; then can_drop=yes; fi
copy_round() { # copy_round warm|cold
    local kind=$1
    local sides="cat ours"
    [ "$kind" = warm ] && sides="cat dd kernel ours"
    for side in $sides; do
        rm -f "$data/copy.bin"
        sync
        if [ "$kind" = cold ]; then echo 3 >/proc/sys/vm/drop_caches; else cat "$data/source.bin" >/dev/null; fi
        if [ $side = cat ]; then
            record "$data/cat.$kind" "$("$bench" time "$data/copy.bin" cat "$data/source.bin")"
        elif [ $side = dd ]; then
            # The same 16000-byte read and write loop as SRCopyFile2's, without Qt.
            record "$data/dd.$kind" "$("$bench" time /dev/null dd if="$data/source.bin" \
                of="$data/copy.bin" bs=16000 status=none)"
        elif [ $side = kernel ]; then
            line=$("$bench" copy-in-kernel "$data/source.bin" "$data/copy.bin")
            [ "$(field ok "$line")" = 1 ] || fail "copy_file_range did not copy: $line"
            record "$data/kernel.$kind" "$line"
        else
            line=$("$bench" copy "$data/source.bin" "$data/copy.bin" 2>/dev/null)
            [ "$(field ok "$line")" = 1 ] && [ "$(stat -c %s "$data/copy.bin")" = $gib ] ||
                fail "SRCopyFile2 did not copy: $line"
            record "$data/ours.$kind" "$line"
        fi
    done
}
for ((i = 0; i < runs; i++)); do copy_round warm; done
kinds=(warm)
if [ $can_drop = yes ]; then
    for ((i = 0; i < runs; i++)); do copy_round cold; done
    kinds+=(cold)
fi
rm -f "$data/copy.bin" "$data/source.bin"
for kind in "${kinds[@]}"; do
    ours=$(col "$data/ours.$kind" 1)
    cat_ms=$(col "$data/cat.$kind" 1)
    ratio=$(calc "$(paired "$data/cat.$kind" "$data/ours.$kind")")
    label="source in the page cache"
    [ "$kind" = cold ] && label="caches dropped before each run"
    row "SRCopyFile2, 2 GiB, $label: throughput vs \`cat SRC > DST\`" \
        "$(calc "$gib / 1048576 / $ours * 1000" 0) MiB/s" \
        "$(calc "$gib / 1048576 / $cat_ms * 1000" 0) MiB/s" "$ratio" \
        "$(cpu "$data/cat.$kind" "$data/ours.$kind")" "≥ 0.8" "$(verdict "$ratio >= 0.8")"
done
growth=$(calc "($(col "$data/ours.warm" 3) - $(col "$data/ours.warm" 4))" 0)
row "SRCopyFile2, 2 GiB: growth of peak memory during the copy" "$growth kB" "–" "–" "–" "flat" \
    "$(verdict "$growth < 1024")"
info+=("SRCopyFile2 warm: \`dd bs=16000\` (a bare 16000-byte read/write loop): $(calc "$gib / 1048576 / $(col "$data/dd.warm" 1) * 1000" 0) MiB/s, $(calc "$(col "$data/cat.warm" 1) / $(col "$data/dd.warm" 1)") of cat's throughput")
info+=("Proposed SRCopyFile2 with copy_file_range (bench prototype, warm): $(calc "$gib / 1048576 / $(col "$data/kernel.warm" 1) * 1000" 0) MiB/s, $(calc "$(col "$data/cat.warm" 1) / $(col "$data/kernel.warm" 1)") of cat's throughput")
[ $can_drop = yes ] || info+=("caches could not be dropped: the cold rows are missing")

fi

# --- RUN IT NOW ----------------------------------------------------------------------------
# run_bench NAME SETTING ENGINES PROBE RUNS [stall]: the program's run over the files already
# in NAME/footage, and a loop that runs the command lines it wrote to its job script one after
# the other with `sh -c`, interleaved. With "stall" the program's runs also time the longest
# stall of the event loop (into NAME.stall).
run_bench() {
    local name=$1 setting=$2 engines=$3 probe=$4 stall=${6:-} dir="$data/$1" line
    line=$(in_workdir "$dir" "$bench" run "$dir/footage" "$dir/out" "$setting" "$engines" "$probe")
    [ "$(field success "$line")" = 1 ] || fail "$name: the run did not succeed: $line"
    # The job script: a header line, then each command and the report, each with a BOM.
    sed -e '1d' -e '$d' -e 's/^\xEF\xBB\xBF//' "$dir/home/Desktop/log_file.txt" >"$dir/commands"
    printf 'while IFS= read -r line; do sh -c "$line" </dev/null; done <"%s"\n' "$dir/commands" >"$dir/loop.sh"
    for ((i = 0; i < $5; i++)); do
        rm -rf "$dir/out/footage"
        mkdir -p "$dir/out/footage"
        record "$data/$name.loop" "$(in_workdir "$dir" "$bench" time /dev/null sh "$dir/loop.sh")"
        rm -rf "$dir/out/footage"
        line=$(in_workdir "$dir" "$bench" run "$dir/footage" "$dir/out" "$setting" "$engines" "$probe" $stall)
        [ "$(field success "$line")" = 1 ] || fail "$name: the run did not succeed: $line"
        record "$data/$name.ours" "$line"
        [ -z "$stall" ] || field stall_ms "$line" >>"$data/$name.stall"
    done
}
# run_once FOLDER RESULT SETTING ENGINES PROBE: one run of the program alone.
run_once() {
    local dir="$data/$1" line
    rm -rf "$dir/out/footage"
    line=$(in_workdir "$dir" "$bench" run "$dir/footage" "$dir/out" "$3" "$4" "$5")
    [ "$(field success "$line")" = 1 ] || fail "$2: the run did not succeed: $line"
    record "$data/$2" "$line"
}
# clip FILE SECONDS: a 1080p25 H.264 clip with a tone.
clip() {
    ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=1920x1080:rate=25:duration=$2" \
        -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=$2" -c:v libx264 \
        -preset ultrafast -pix_fmt yuv420p -c:a aac -shortest "$1" || fail "making $1"
}

if want run; then
step "RUN IT NOW, 200 files through a stand-in engine, $runs runs against a loop of sh -c"
make_workdir "$data/run200" stand-in
for ((i = 1; i <= 200; i++)); do printf 'source\n' >"$data/run200/footage/clip$i.mov"; done
run_bench run200 "1080p/25 120" 1 none "$runs" stall
ours=$(col "$data/run200.ours" 1)
loop=$(col "$data/run200.loop" 1)
ratio=$(calc "$(paired "$data/run200.ours" "$data/run200.loop")")
row "RUN IT NOW, 200 files, one engine at a time, stand-in engine (2000 bytes, exit) vs a loop running the same 200 lines with \`sh -c\`" \
    "$ours ms" "$loop ms" "$ratio" "$(cpu "$data/run200.ours" "$data/run200.loop")" "≤ 1.2" \
    "$(verdict "$ratio <= 1.2")"
stall=$(sort -g "$data/run200.stall" | tail -1)
row "RUN IT NOW, 200 files: longest stall of the event loop (worst of $runs runs; a 5 ms timer, its period taken off)" \
    "$stall ms" "–" "–" "–" "≤ 50 ms" "$(verdict "$stall <= 50")"
info+=("RUN IT NOW 200: CPU $(col "$data/run200.ours" 2) ms, the program's own $(col "$data/run200.ours" 5) ms; the loop's $(col "$data/run200.loop" 2) ms")
rm -rf "$data/run200"

fi

if want mixed; then
# The speed-up swings with the machine's load more than any other row (each run is 10-15 s
# of two saturated cores): this row takes at least 31 pairs of runs.
pairs=$((runs > 31 ? runs : 31))
step "40 files (WAV, DV PAL and DNxHD of 1 s 1080p clips in turn) at 1 and at 2 engines, $pairs pairs of runs"
make_workdir "$data/mixed" real
clip "$data/mixed/footage/clip01.mov" 1
for ((i = 2; i <= 40; i++)); do cp "$data/mixed/footage/clip01.mov" "$data/mixed/footage/clip$(printf %02d $i).mov"; done
for ((r = 0; r < pairs; r++)); do
    run_once mixed mixed.1 mixed 1 probe
    run_once mixed mixed.2 mixed 2 probe
done
speedup=$(paired "$data/mixed.1" "$data/mixed.2")
row "40-file mixed batch, outputs checked with ffprobe: 2 engines at once vs 1 (speed-up)" \
    "$(col "$data/mixed.2" 1) ms" "$(col "$data/mixed.1" 1) ms" "$(calc "$speedup")" \
    "$(cpu "$data/mixed.2" "$data/mixed.1")" "≥ 1.5" "$(verdict "$speedup >= 1.5")"
info+=("Mixed batch, $pairs pairs: the speed-ups spread over $(spread "$data/mixed.1" "$data/mixed.2")")
rm -rf "$data/mixed"

fi

# The engines never wait for a check: at two engines the program keeps up with GNU parallel
# running the same bare commands (the engine lines its run logged) two at a time, although
# it also reads every source and checks every output with ffprobe.
if want parallel; then
step "40 files (WAV, DV PAL and DNxHD in turn) at 2 engines against parallel -j 2 over the batch file, 9 pairs"
make_workdir "$data/pair" real
clip "$data/pair/footage/clip01.mov" 1
for ((i = 2; i <= 40; i++)); do cp "$data/pair/footage/clip01.mov" "$data/pair/footage/clip$(printf %02d $i).mov"; done
run_once pair pair.first mixed 2 probe
# The batch file calls orlenne-convert; the bare engine lines are in the engine log.
sed -n 's/^\$ //p' "$data/pair/home/Desktop/log_file_engines.txt" >"$data/pair/batch"
[ "$(wc -l <"$data/pair/batch")" = 40 ] || fail "the engine log does not hold 40 commands"
for ((r = 0; r < 9; r++)); do
    rm -rf "$data/pair/out/footage"
    mkdir -p "$data/pair/out/footage"
    record "$data/pair.parallel" "$(in_workdir "$data/pair" "$bench" time /dev/null \
        parallel --will-cite -j 2 -a "$data/pair/batch")"
    run_once pair pair.ours mixed 2 probe
done
ratio=$(calc "$(paired "$data/pair.ours" "$data/pair.parallel")")
row "40-file mixed batch at 2 engines, every source read and every output checked with ffprobe, vs \`parallel -j 2\` over the same bare engine commands (9 pairs)" \
    "$(col "$data/pair.ours" 1) ms" "$(col "$data/pair.parallel" 1) ms" "$ratio" \
    "$(cpu "$data/pair.ours" "$data/pair.parallel")" "≤ 1.05" "$(verdict "$ratio <= 1.05")"
info+=("Mixed batch against parallel, 9 pairs: the ratios spread over $(spread "$data/pair.ours" "$data/pair.parallel")")
rm -rf "$data/pair"
fi

if want dnxhd; then
step "DNxHD 1080p/25 120 of a 60-second clip, $runs runs against the same ffmpeg command"
make_workdir "$data/dnxhd" real
clip "$data/dnxhd/footage/clip.mov" 60
run_bench dnxhd "1080p/25 120" 1 probe "$runs"
ours=$(col "$data/dnxhd.ours" 1)
hand=$(col "$data/dnxhd.loop" 1)
ratio=$(calc "$(paired "$data/dnxhd.ours" "$data/dnxhd.loop")" 3)
row "DNxHD \"1080p/25 120\" of a 60 s 1080p25 H.264 clip, output checked with ffprobe, vs the same ffmpeg command by hand" \
    "$ours ms" "$hand ms" "$ratio" "$(calc "$(col "$data/dnxhd.ours" 2) / $(col "$data/dnxhd.loop" 2)" 3)" \
    "≤ 1.02" "$(verdict "$ratio <= 1.02")"
info+=("DNxHD: spread of the runs: program $(sort -g "$data/dnxhd.ours" | awk 'NR == 1 {a = $1} END {print a "–" $1}') ms, by hand $(sort -g "$data/dnxhd.loop" | awk 'NR == 1 {a = $1} END {print a "–" $1}') ms")

step "fault injection: 100 runs of a stand-in engine that truncates, changes the codec, drops the video, writes nothing or is killed"
make_workdir "$data/faults" stand-in
media="$data/faults/media"
mkdir -p "$media"
source="$data/dnxhd/footage/clip.mov"
dv=(-s 720x576 -pix_fmt yuv420p -r 25 -vcodec dvvideo -acodec pcm_s16le -ac 2 -ar 48000)
{
    ffmpeg -nostdin -v error -y -i "$source" -t 2 "${dv[@]}" "$media/good.mov" &&
        ffmpeg -nostdin -v error -y -i "$source" -t 2 -s 720x576 -vcodec mpeg4 -acodec pcm_s16le \
            "$media/codec.mov" &&
        ffmpeg -nostdin -v error -y -i "$source" -t 2 -vn -acodec pcm_s16le "$media/novideo.mov" &&
        ffmpeg -nostdin -v error -y -i "$source" -t 2 -c copy "$data/faults/footage/clip.mov"
} || fail "making the fault clips"
rm -rf "$data/dnxhd"
# The stand-in engine's fault comes from ORLENNE_FAULT, which the benchmark sets per run.
{
    echo '#!/bin/sh'
    echo 'for last in "$@"; do :; done'
    echo 'case "$ORLENNE_FAULT" in'
    echo "truncated) head -c 100000 '$media/good.mov' > \"\$last\" ;;"
    echo "codec) cp '$media/codec.mov' \"\$last\" ;;"
    echo "novideo) cp '$media/novideo.mov' \"\$last\" ;;"
    echo "killed) head -c 100000 '$media/good.mov' > \"\$last\"; kill -KILL \$\$ ;;"
    echo 'esac'
    echo 'exit 0'
} >"$data/faults/VeltroanBatchConverter.app/engines/ffmpeg"
line=$(in_workdir "$data/faults" "$bench" faults "$data/faults/footage/clip.mov" "$data/faults/out" 100) || true
faults="$(field converted "$line") / $(field leftovers "$line") / $(field damaged "$line")"
row "Fault injection, 100 runs: reported as converted / files left at an output name / earlier outputs changed" \
    "$faults" "–" "–" "–" "0 / 0 / 0" "$(verdict "\"$faults\" == \"0 / 0 / 0\"")"
rm -rf "$data/faults"

fi

if want verify; then
step "copy plus verification of 2 GiB against cp and against the same steps by hand, $runs runs each, source in the page cache"
make_workdir "$data/verify" stand-in
dd if=/dev/urandom of="$data/verify/footage/card.mxf" bs=1M count=2048 status=none || fail "source file"
src="$data/verify/footage/card.mxf"
dst="$data/verify/copy.mxf"
# The steps by hand, one after the other: the copy, the flush, the copy's pages dropped (dd's
# nocache on the whole file, after its own fdatasync), then both files hashed with XXH128.
by_hand="cp '$src' '$dst' && sync && dd of='$dst' oflag=nocache conv=notrunc,fdatasync count=0 status=none && xxhsum -H2 '$src' '$dst'"
# warm_start: no copy left, nothing dirty, the source in the page cache, for every side.
warm_start() {
    rm -rf "$dst" "$data/verify/out/footage"
    sync
    cat "$src" >/dev/null
}
for ((i = 0; i < runs; i++)); do
    warm_start
    record "$data/cp" "$("$bench" time /dev/null cp "$src" "$dst")"
    warm_start
    line=$("$bench" time "$data/verify/hashes" sh -c "$by_hand")
    [ "$(field status "$line")" = 0 ] && [ "$(awk '{print $1}' "$data/verify/hashes" | uniq | wc -l)" = 1 ] ||
        fail "the steps by hand did not verify the copy: $line"
    record "$data/by_hand" "$line"
    warm_start
    run_once verify verified copy 1 none
done
ours=$(col "$data/verified" 1)
cp_ms=$(col "$data/cp" 1)
ratio=$(calc "$(paired "$data/verified" "$data/cp")")
row "Copy-only of 2 GiB, read back and compared by xxHash, vs \`cp SRC DST\`" "$ours ms" "$cp_ms ms" \
    "$ratio" "$(cpu "$data/verified" "$data/cp")" "≤ 2.1" "$(verdict "$ratio <= 2.1")"
ratio=$(calc "$(paired "$data/verified" "$data/by_hand")")
row "Copy-only of 2 GiB, flushed, read back from the disk and compared by xxHash (XXH128), vs the same steps by hand: \`cp\`, \`sync\`, the copy's pages dropped (\`dd oflag=nocache conv=notrunc,fdatasync count=0\`), \`xxhsum -H2 SRC DST\`" \
    "$ours ms" "$(col "$data/by_hand" 1) ms" "$ratio" "$(cpu "$data/verified" "$data/by_hand")" "≤ 1.1" \
    "$(verdict "$ratio <= 1.1")"
info+=("Verified copy against the steps by hand: the ratios spread over $(spread "$data/verified" "$data/by_hand")")
rm -rf "$data/verify"

fi

# --- a batch killed and run again ------------------------------------------------------------
# engines_left DIR: the processes whose command line names the working folder DIR: a killed
# run's engines, probes and their shells (this script's command line does not name it).
engines_left() { pgrep -c -f -- "$1/" || true; }
# running_at DIR: the files a run was busy with, the run itself stopped: the hidden partial
# outputs on the engines' and probes' command lines and those on the disk.
running_at() {
    { pgrep -a -f -- "$1/" || true; find "$1/out" -name '.*.partial*' 2>/dev/null || true; } |
        { grep -o '\.[^/ '"'"']*\.partial[^/ '"'"']*' || true; } | sort -u | wc -l
}
# stopped PID: whether the process is stopped (not running, not ended).
stopped() { [ "$(cut -d' ' -f3 "/proc/$1/stat" 2>/dev/null)" = T ]; }
if want resume; then
kills=${ORLENNE_BENCH_KILLS:-20}
dir="$data/resume"
make_workdir "$dir" real
clip "$dir/footage/clip01.mov" 1
for ((i = 2; i <= 40; i++)); do cp "$dir/footage/clip01.mov" "$dir/footage/clip$(printf %02d $i).mov"; done
# The moments are drawn over the length of one whole run of the process, start-up included.
rm -rf "$dir/out"
mkdir "$dir/out"
t0=$(date +%s%N)
line=$(in_workdir "$dir" "$bench" run "$dir/footage" "$dir/out" mixed 2 probe)
span_ms=$((($(date +%s%N) - t0) / 1000000))
[ "$(field success "$line")" = 1 ] || fail "resume: the whole run did not succeed: $line"
seed=${ORLENNE_BENCH_SEED:-$$}
RANDOM=$seed
step "40 files (WAV, DV PAL, DNxHD in turn) at 2 engines, killed with SIGKILL at $kills moments drawn over $span_ms ms (seed $seed), each time run again to its end"
landed=0
attempts=0
while ((landed < kills && attempts < 3 * kills)); do
    attempts=$((attempts + 1))
    rm -rf "$dir/out"
    mkdir "$dir/out"
    at_ms=$(((RANDOM * 32768 + RANDOM) % span_ms))
    (cd "$dir" && HOME="$dir/home" PATH="$dir/bin:$PATH" exec "$bench" run "$dir/footage" "$dir/out" \
        mixed 2 probe >/dev/null 2>&1 </dev/null) &
    pid=$!
    sleep "$(calc "$at_ms / 1000" 3)"
    # Stopped first, so that nothing starts or finishes between the count and the kill.
    kill -STOP "$pid" 2>/dev/null || true
    for ((n = 0; n < 50; n++)); do stopped "$pid" && break; sleep 0.01; done
    if ! stopped "$pid"; then
        kill -KILL "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
        continue # the run ended before this moment: drawn again
    fi
    running=$(running_at "$dir")
    finished=$(find "$dir/out" -type f -name 'clip*' 2>/dev/null | wc -l)
    kill -KILL "$pid"
    wait "$pid" 2>/dev/null || true
    sleep 1
    left=$(engines_left "$dir")
    line=$(in_workdir "$dir" "$bench" run "$dir/footage" "$dir/out" mixed 2 probe) || true
    partials=$(find "$dir/out" -name '.*.partial*' | wc -l)
    outputs=$(find "$dir/out/footage" -type f -name 'clip*' | wc -l)
    unreadable=0
    while IFS= read -r output; do
        ffprobe -v error -show_entries format=duration -of csv=p=0 "$output" </dev/null >/dev/null 2>&1 ||
            unreadable=$((unreadable + 1))
    done < <(find "$dir/out/footage" -type f -name 'clip*')
    duplicates=$(find "$dir/out/footage" -type f -name 'clip*_[0-9]*' | wc -l)
    converted=$(field converted "$line")
    # Of the files the re-run converted, those not started at the kill were converted for the
    # first time; the others again.
    again=$((${converted:-40} - (40 - finished - running)))
    echo "$at_ms $running $finished $left $partials $outputs $unreadable $duplicates ${converted:--} $(field already "$line") $(field success "$line") $again" >>"$data/resume.kills"
    landed=$((landed + 1))
done
((landed == kills)) || fail "resume: only $landed of $kills kills landed in a run"
# sum COLUMN: the column's total over the kills.
sum() { awk -v c="$1" '{s += $c} END {print s + 0}' "$data/resume.kills"; }
over=$(awk '$9 == "-" || $12 > $2' "$data/resume.kills" | wc -l)
failed=$(awk '$11 != 1' "$data/resume.kills" | wc -l)
row "40-file mixed batch at 2 engines killed with SIGKILL at $kills random moments: processes of the run left 1 s after the kill (total)" \
    "$(sum 4)" "–" "–" "–" "0" "$(verdict "$(sum 4) == 0")"
row "… and run again to its end each time: partial files left / outputs not read by ffprobe / runs reporting a failure / duplicate names (totals over $kills re-runs of 40 outputs)" \
    "$(sum 5) / $(sum 7) / $failed / $(sum 8)" "–" "–" "–" "0 / 0 / 0 / 0" \
    "$(verdict "$(sum 5) + $(sum 7) + $failed + $(sum 8) == 0 && $(sum 6) == 40 * $kills")"
row "… files converted again by the re-runs vs files running at the kills (totals; re-runs converting more than were running)" \
    "$(sum 12)" "$(sum 2)" "–" "–" "≤ running, every re-run" "$(verdict "$over == 0") ($over)"
info+=("Kills (moment ms, running, finished, processes left, partials, outputs, unreadable, duplicates, converted, already converted, success, converted again): $(awk '{printf "%s[%s]", (NR > 1 ? "; " : ""), $0}' "$data/resume.kills")")
rm -rf "$dir"
fi

if want rerun; then
files=2000
dir="$data/rerun"
step "a finished batch of $files stand-in conversions run again (every file already converted), $runs runs against find -type f"
make_workdir "$dir" stand-in
for ((i = 1; i <= files; i++)); do printf 'source\n' >"$dir/footage/clip$i.mov"; done
# As the program runs unless tracing is asked for: without the trace lines.
export QT_LOGGING_RULES="default.debug=false"
line=$(in_workdir "$dir" "$bench" run "$dir/footage" "$dir/out" "1080p/25 120" 1 none)
[ "$(field success "$line")" = 1 ] || fail "rerun: the first run did not succeed: $line"
for ((i = 0; i < runs; i++)); do
    record "$data/rerun.find" "$("$bench" time /dev/null find "$dir/out" -type f)"
    line=$(in_workdir "$dir" "$bench" run "$dir/footage" "$dir/out" "1080p/25 120" 1 none)
    [ "$(field success "$line")" = 1 ] && [ "$(field already "$line")" = $files ] ||
        fail "rerun: not every file was already converted: $line"
    record "$data/rerun.ours" "$line"
done
ratio=$(calc "$(paired "$data/rerun.ours" "$data/rerun.find")")
row "A finished batch of $files stand-in conversions run again, probe off, every file skipped as already converted, vs \`find DESTINATION -type f\`" \
    "$(col "$data/rerun.ours" 1) ms" "$(col "$data/rerun.find" 1) ms" "$ratio" \
    "$(cpu "$data/rerun.ours" "$data/rerun.find")" "≤ 1.5" "$(verdict "$ratio <= 1.5")"
unset QT_LOGGING_RULES
rm -rf "$dir"
fi

if want forms; then
step "5 cycles of ANALYZE, 3 s of a 4K preview and the form closed"
make_workdir "$data/forms" stand-in
ffmpeg -nostdin -v error -y -f lavfi -i "testsrc2=size=3840x2160:rate=25:duration=8" \
    -f lavfi -i "sine=frequency=440:sample_rate=48000:duration=8" -c:v libx264 -preset ultrafast \
    -pix_fmt yuv420p -c:a aac -shortest "$data/forms/footage/clip4k.mov" || fail "making the 4K clip"
cycles=$(in_workdir "$data/forms" "$bench" forms "$data/forms/footage" "$data/forms/out" 5 3000) \
    || fail "forms: $cycles"
after() { field rss_kb "$(grep "^cycle=$1 " <<<"$cycles")"; }
growth=$(calc "($(after 5) - $(after 1)) / 4 / 1024" 1)
row "ANALYZE, 3 s of a 4K preview, the form closed, 5 cycles: growth of resident memory a cycle after the first" \
    "$growth MB" "–" "–" "–" "≤ 20 MB" "$(verdict "$growth <= 20")"
info+=("Forms: resident memory after each cycle $(for c in 0 1 2 3 4 5; do printf '%s ' "$(calc "$(after $c) / 1024" 0)"; done)MB, threads after the last $(field threads "$(grep '^cycle=5 ' <<<"$cycles")")")
rm -rf "$data/forms"
fi

# --- table -------------------------------------------------------------------------------
echo
echo "Date: $(date -u '+%Y-%m-%d %H:%M UTC'); machine: $(nproc) cores, $(sed -n 's/^model name[[:space:]]*: //p' /proc/cpuinfo | head -1)," \
    "$(awk '/MemTotal/ {printf "%.1f GiB", $2 / 1048576}' /proc/meminfo) memory;" \
    "load average $load_start at the start, $(cut -d' ' -f1-3 /proc/loadavg) at the end;" \
    "medians of $runs runs; the whole run took $((SECONDS / 60)) min $((SECONDS % 60)) s."
echo
echo "Times: the program's are the wall time of the call alone (click or function call to its" \
    "return, measured inside the process); a baseline's is its process's wall time, start to exit." \
    "Goals are judged on wall time; the CPU ratio (user + system, children included) is less" \
    "disturbed by other load on the machine. Throughput ratios are program / baseline." \
    "The runs of a program and its baseline alternate, and a wall ratio is the median of the" \
    "ratios of the runs side by side, which saw the same load."
echo
echo "| Benchmark | Program | Baseline | Ratio (wall) | Ratio (CPU) | Goal | Result |"
echo "|---|---|---|---|---|---|---|"
printf '%s\n' "${rows[@]}"
echo
[ -z "${info[*]:-}" ] || printf -- '- %s\n' "${info[@]}"
