#!/usr/bin/env bash
# bench/run.sh - how fast tessenc and tessdec start and run, and how much memory they take.
#
# A benchmark, not a test: it prints figures and never fails on them.
#
#   bench/run.sh
#
# 1. Builds the static Release programs and tesspack with the `release` preset
#    (build/release), a dynamic Release build (build/bench-dynamic), and small
#    static C programs (`gcc -O2 -static`): bench/copy_file.c, the floor, a
#    process that reads its input and writes one file of the same size;
#    bench/noop.c, the start of any process; bench/create_file.c, that start
#    plus the creation of one file.
# 2. Generates the same inputs for every contender in a scratch folder
#    (bench/make_inputs.py): a 64x64 sprite with transparency and a few dozen
#    colours, and a 64x255 sheet with thousands of colours. ImageMagick's remap
#    target is the palette as `tesspack palette -o palette.png` writes it.
# 3. With hyperfine, on both inputs, compares
#      tessenc L2 (static, dynamic)  with  convert in.xpm -dither None -remap palette.png out.xpm
#      tessdec    (static, dynamic)  with  convert decoded.xpm out.png
#    and each with the copy of its own input (copy xpm for tessenc, copy til
#    for tessdec), then prints the ratios and the goals: the static tessenc and
#    tessdec within 1.3x the copy on the sprite and 2.5x on the sheet, tessenc
#    at least 100x faster than ImageMagick. The do-nothing process and "noop +
#    file" are shown beside as references: on a journalling file system the
#    creation of one file can cost more than the whole start of a process.
# 4. With /usr/bin/time -f %R, the minor page faults of the static tessenc and
#    tessdec on both inputs beside the copy's (median of BENCH_FAULT_RUNS runs).
# 5. With /usr/bin/time -v, measures the peak resident memory of tessenc on the
#    sheet and of tessdec on the largest tile file the format allows (255 scenes
#    x 4 views x 4 frames of full 64x255 images, 4080 XPMs written; built by
#    `tesspack build` from XPMs whose keys are palette indices), against the
#    16 MiB goal.
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
# TMPDIR=/dev/shm leaves the disk out); BENCH_BUILD, the release build folder
# (default build/release, the preset's); BENCH_DYNAMIC_BUILD (default
# build/bench-dynamic); BENCH_RESULTS, the folder for hyperfine's JSON and
# Markdown exports and a copy of everything printed, run.log (default
# build/bench-results); BENCH_WARMUP (default 20); BENCH_MIN_RUNS (default 50);
# BENCH_FAULT_RUNS (default 9); BENCH_KEEP=1 keeps the scratch folder.

set -euo pipefail
shopt -s inherit_errexit

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"

dynamic_build=${BENCH_DYNAMIC_BUILD:-$root/build/bench-dynamic}
warmup=${BENCH_WARMUP:-20}
min_runs=${BENCH_MIN_RUNS:-50}
fault_runs=${BENCH_FAULT_RUNS:-9}
memory_goal_kib=$((16 * 1024))

tools=(cmake gcc python3 hyperfine convert /usr/bin/time)
source "$root/bench/common.sh"
bench_start run.log tess-bench

step "Building"
build_release tessenc tessdec tesspack
show cmake -S . -B "$dynamic_build" -DCMAKE_BUILD_TYPE=Release -DTESS_STATIC=OFF -DBUILD_TESTING=OFF >/dev/null
show cmake --build "$dynamic_build" -j 2 --target tessenc tessdec >/dev/null
show gcc -O2 -static -o "$scratch/copy_file" bench/copy_file.c
show gcc -O2 -static -o "$scratch/noop" bench/noop.c
show gcc -O2 -static -o "$scratch/stdin_from" bench/stdin_from.c
show gcc -O2 -static -o "$scratch/create_file" bench/create_file.c

enc_static=$build/programs/tessenc
dec_static=$build/programs/tessdec
enc_dynamic=$dynamic_build/programs/tessenc
dec_dynamic=$dynamic_build/programs/tessdec
tesspack=$build/programs/tesspack/tesspack
copy_file=$scratch/copy_file
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

# ImageMagick's remap target: every palette entry once (16x16 pixels, 239
# distinct colours).
show "$tesspack" palette -o palette.png

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
    commands+=(-n "copy xpm" "$copy_file $input.xpm copy_$input.xpm")
    ((has_input)) || commands+=(-n "copy xpm <name" "$stdin_from $input.name $copy_file $input.xpm copy_$input.xpm")
    commands+=(-n "copy til" "$copy_file dec_$input.til copy_$input.til")
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
python3 "$root/bench/report.py" "sprite 64x64=1.3=$results/sprite.json" "sheet 64x255=2.5=$results/sheet.json"
echo "(hyperfine exports: $results/{sprite,sheet}.{json,md})"

step "Minor page faults (/usr/bin/time -f %R, median of $fault_runs runs)"
faults() {  # faults STDIN COMMAND...: the median of the command's minor page faults
    local input=$1 run
    shift
    for ((run = 0; run < fault_runs; ++run)); do
        /usr/bin/time -f %R -o faults.log "$@" <"$input" >/dev/null
        cat faults.log
    done | sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'
}
printf '%-16s %12s %12s\n' "" "sprite" "sheet"
row() {  # row LABEL COMMAND-FOR-INPUT: COMMAND-FOR-INPUT is called with the input's name
    printf '%-16s %12s %12s\n' "$1" "$("$2" sprite)" "$("$2" sheet)"
}
noop_faults() { faults /dev/null "$noop"; }
copy_xpm_faults() { faults /dev/null "$copy_file" "$1.xpm" "copy_$1.xpm"; }
tessenc_faults() { faults "$1.name" "$enc_static" L2 "$1.xpm"; }
copy_til_faults() { faults /dev/null "$copy_file" "dec_$1.til" "copy_$1.til"; }
tessdec_faults() { faults /dev/null "$dec_static" "dec_$1.til"; }
row "noop" noop_faults
row "copy xpm" copy_xpm_faults
row "tessenc static" tessenc_faults
row "copy til" copy_til_faults
row "tessdec static" tessdec_faults

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
show "$tesspack" palette -o palette.hex
show python3 "$root/bench/make_inputs.py" big-set palette.hex big_inputs
show "$tesspack" build big_inputs/big.toml -o big/big.til
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
