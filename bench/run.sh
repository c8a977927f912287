#!/usr/bin/env bash
# bench/run.sh - how fast tessenc and tessdec start and run, and how much memory they take.
#
# A benchmark, not a test: it prints figures and never fails on them.
#
#   bench/run.sh
#
# 1. Builds the static Release programs (preset `release`, build/release) and a
#    dynamic Release build (build/bench-dynamic), and a do-nothing C program
#    (bench/noop.c, `gcc -O2 -static`): the floor of starting any process.
# 2. Generates the same inputs for every contender in a scratch folder
#    (bench/make_inputs.py): a 64x64 sprite with transparency and a few dozen
#    colours, and a 64x255 sheet with thousands of colours.
# 3. With hyperfine, on both inputs, compares
#      tessenc L2 (static, dynamic)  with  convert in.xpm -dither None -remap palette.png out.xpm
#      tessdec    (static, dynamic)  with  convert decoded.xpm out.png
#    and each with the floor, then prints the ratios and the goals: every
#    program within 1.5x the floor, tessenc at least 100x faster than ImageMagick.
#    A third reference, "noop + file", is a static program that creates one
#    file, as each program must: on a journalling file system that creation
#    can cost more than the whole start of a process.
# 4. With /usr/bin/time -v, measures the peak resident memory of tessenc on the
#    sheet and of tessdec on the largest tile file the format allows (255 scenes
#    x 4 views x 4 frames of full 64x255 images, 4080 XPMs written), against
#    the 16 MiB goal.
#
# tessenc reads its scene name from standard input. Where hyperfine has --input
# (1.16 and later), every command gets the name file as standard input. Older
# releases give /dev/null (the name is then empty; the work is the same), and
# the commands marked "<name" are added: started through bench/stdin_from.c, a
# static program that opens the file as standard input and execs the program
# (no shell). Its own start is measured as "noop <name", the floor those
# commands are held against.
#
# Settings (environment): TMPDIR, where the scratch folder goes (default /tmp;
# TMPDIR=/dev/shm leaves the disk out); BENCH_RESULTS, the folder for
# hyperfine's JSON and Markdown exports and a copy of everything printed,
# run.log (default build/bench-dynamic/results); BENCH_WARMUP (default 20);
# BENCH_MIN_RUNS (default 50); BENCH_KEEP=1 keeps the scratch folder.

set -euo pipefail
shopt -s inherit_errexit

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

results=${BENCH_RESULTS:-$root/build/bench-dynamic/results}
warmup=${BENCH_WARMUP:-20}
min_runs=${BENCH_MIN_RUNS:-50}
memory_goal_kib=$((16 * 1024))

step() { printf '\n=== %s\n' "$*"; }
show() { printf '+ %s\n' "$*"; "$@"; }

for tool in cmake gcc python3 hyperfine convert /usr/bin/time; do
    command -v "$tool" >/dev/null || { echo "bench/run.sh needs $tool" >&2; exit 2; }
done

scratch=$(mktemp -d "${TMPDIR:-/tmp}/tess-bench.XXXXXX")
if [[ ${BENCH_KEEP:-0} == 1 ]]; then
    trap 'echo "scratch folder kept: $scratch"' EXIT
else
    trap 'rm -rf "$scratch"' EXIT
fi
mkdir -p "$results"
exec > >(tee "$results/run.log") 2>&1

step "Building"
show cmake --workflow --preset release >/dev/null
show cmake -S . -B build/bench-dynamic -DCMAKE_BUILD_TYPE=Release -DTESS_STATIC=OFF -DBUILD_TESTING=OFF >/dev/null
show cmake --build build/bench-dynamic -j 2 --target tessenc tessdec >/dev/null
show gcc -O2 -static -o "$scratch/noop" bench/noop.c
show gcc -O2 -static -o "$scratch/stdin_from" bench/stdin_from.c
show gcc -O2 -static -o "$scratch/create_file" bench/create_file.c

enc_static=$root/build/release/encoder/tessenc
dec_static=$root/build/release/decoder/tessdec
enc_dynamic=$root/build/bench-dynamic/encoder/tessenc
dec_dynamic=$root/build/bench-dynamic/decoder/tessdec
noop=$scratch/noop
create_file=$scratch/create_file
stdin_from=$scratch/stdin_from

step "Machine"
uname -srm
grep -m1 'model name' /proc/cpuinfo || true
echo "cpus: $(nproc)"
hyperfine --version
convert -version | head -1
gcc --version | head -1
echo "scratch folder $scratch on $(df -T "$scratch" | awk 'NR == 2 { print $2 }') (set TMPDIR to measure elsewhere, e.g. TMPDIR=/dev/shm)"
uptime

step "Inputs (in $scratch)"
cd "$scratch"
show python3 "$root/bench/make_inputs.py" sprite sprite.xpm
show python3 "$root/bench/make_inputs.py" sheet sheet.xpm
printf 'walk\n' >sprite.name
printf 'sheet\n' >sheet.name
for input in sprite sheet; do
    printf '%s: %s\n' "$input.xpm" "$(sed -n 's/^"\([0-9 ]*\)",$/\1/p' "$input.xpm" | head -1) (width height colours chars-per-pixel)"
done

# ImageMagick's remap target: every palette entry once, made by the project's own
# decoder from a tile file holding indices 0..255 (64x4 pixels, 239 distinct colours).
show python3 "$root/bench/make_inputs.py" palette-tile palette.til
"$dec_static" palette.til >/dev/null
show convert palette_remap_0_0.xpm palette.png

# One encode and decode of each input first: tessdec is measured on the tile
# file tessenc makes (copied, so that both can be measured in one run), and
# ImageMagick's PNG conversion on the XPM that tessdec writes.
for input in sprite sheet; do
    "$stdin_from" "$input.name" "$enc_static" L2 "$input.xpm" >/dev/null
    cp "$input.til" "dec_$input.til"
    "$dec_static" "dec_$input.til" >/dev/null
    ls "dec_${input}_$(cat "$input.name")_0_0.xpm" >/dev/null
done

style=basic
[[ -t 1 ]] && style=full

# hyperfine 1.16 and later give a command a file as standard input (--input);
# older ones give /dev/null, and the scene name then comes through stdin_from.
has_input=0
hyperfine --help | grep -q -- '--input' && has_input=1

for input in sprite sheet; do
    name=$(cat "$input.name")
    commands=(-n "noop" "$noop")
    if ((has_input)); then
        commands=(--input "$input.name" "${commands[@]}")
    else
        commands+=(-n "noop <name" "$stdin_from $input.name $noop")
    fi
    commands+=(-n "noop + file" "$create_file floor_$input.out")
    commands+=(-n "tessenc static" "$enc_static L2 $input.xpm")
    ((has_input)) || commands+=(-n "tessenc static <name" "$stdin_from $input.name $enc_static L2 $input.xpm")
    commands+=(-n "tessenc dynamic" "$enc_dynamic L2 $input.xpm")
    ((has_input)) || commands+=(-n "tessenc dynamic <name" "$stdin_from $input.name $enc_dynamic L2 $input.xpm")
    commands+=(-n "ImageMagick remap" "convert $input.xpm -dither None -remap palette.png im_$input.xpm")
    commands+=(-n "tessdec static" "$dec_static dec_$input.til")
    commands+=(-n "tessdec dynamic" "$dec_dynamic dec_$input.til")
    commands+=(-n "ImageMagick png" "convert dec_${input}_${name}_0_0.xpm im_$input.png")

    step "hyperfine: $input ($(sed -n 's/^"\([0-9]*\) \([0-9]*\) \([0-9]*\) .*",$/\1x\2, \3 colours/p' "$input.xpm" | head -1))"
    show hyperfine -N --style "$style" --warmup "$warmup" --min-runs "$min_runs" \
        --export-json "$results/$input.json" --export-markdown "$results/$input.md" "${commands[@]}"
done

step "Speed: means, ratios and goals"
python3 "$root/bench/report.py" "sprite 64x64=$results/sprite.json" "sheet 64x255=$results/sheet.json"
echo "(hyperfine exports: $results/{sprite,sheet}.{json,md})"

step "Peak memory (/usr/bin/time -v, maximum resident set size)"
peak_kib() {  # peak_kib STDIN COMMAND...: runs the command, prints its peak RSS in KiB
    local input=$1
    shift
    if ! /usr/bin/time -v -o time.log "$@" <"$input" >/dev/null; then
        echo "failed: $*" >&2
        cat time.log >&2
        return 1
    fi
    sed -n 's/^[[:space:]]*Maximum resident set size (kbytes): //p' time.log
}
wall() { sed -n 's/^[[:space:]]*Elapsed (wall clock) time (h:mm:ss or m:ss): //p' time.log; }
judge() {  # judge LABEL KIB
    local verdict="met"
    (($2 <= memory_goal_kib)) || verdict="NOT met"
    printf '%-64s %8d KiB = %6.2f MiB   goal <= 16 MiB: %s\n' "$1" "$2" "$(awk -v k="$2" 'BEGIN { print k / 1024 }')" "$verdict"
}

kib=$(peak_kib /dev/null "$noop")
printf '%-64s %8d KiB (reference)\n' "noop" "$kib"
kib=$(peak_kib sheet.name "$enc_static" L2 sheet.xpm)
judge "tessenc static L2 sheet.xpm (64x255, thousands of colours)" "$kib"
kib=$(peak_kib sheet.name "$enc_dynamic" L2 sheet.xpm)
judge "tessenc dynamic L2 sheet.xpm" "$kib"

mkdir big
show python3 "$root/bench/make_inputs.py" big-tile big/big.til
echo "big/big.til: $(stat -c %s big/big.til) bytes, 255 scenes x 4 views x 4 frames of 64x255"
for build in static dynamic; do
    decoder=$dec_static
    [[ $build == dynamic ]] && decoder=$dec_dynamic
    kib=$(peak_kib /dev/null "$decoder" big/big.til)
    written=$(find big -name 'big_*.xpm' | wc -l)
    bytes=$(du -sb big | cut -f1)
    judge "tessdec $build big.til ($written XPMs, $((bytes / 1024 / 1024)) MiB on disk)" "$kib"
    echo "    wall clock $(wall)"
    find big -name 'big_*.xpm' -delete
done
rm -rf big
