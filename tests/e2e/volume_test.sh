#!/usr/bin/env bash
# Volumes through the built program, headless: a raw file and a NRRD file
# that Teem's own tool wrote from the same samples give the same listed
# surface, and the NRRD's spacing reaches the exported mesh; the start-up
# listing is the blobs' own; the iso keys step by 1% of the data's range and
# the reset returns to the start; non-finite samples stay outside; every kind
# of bad file is refused before anything is listed, in one line naming it;
# and a 256^3 volume is meshed within its memory budget.
# Usage: volume_test.sh path/to/marching-cubes path/to/make-test-volume
set -euo pipefail
program=$(realpath "$1")
make_volume=$(realpath "$2")
source "$(dirname "$0")/lib.sh"
cd "$work"

# unu ARGS...: Teem's tool, its progress lines dropped.
unu() {
    teem-unu "$@" 2>/dev/null
}

# A sphere of radius 12 in uint16 samples, and the same samples as a gzip
# NRRD whose z step is 2.
readonly raw=sphere_40x36x32_uint16.raw
read -r low high < <("$make_volume" uint16 40 36 32 12 "$raw")
unu make -i "$raw" -t ushort -s 40 36 32 -sp 1 1 2 | unu save -f nrrd -e gzip -o sphere.nrrd

# --- The same surface from both files, listed in grid units ---
run blobs --headless --frames 0
run raw --headless --frames 1 --press 1:P --volume "$raw" --export raw.obj
run nrrd --headless --frames 1 --press 1:P --volume sphere.nrrd --export nrrd.obj
for name in raw nrrd; do
    [ "$status" -eq 0 ] || fail "$name: exit code $status"
    [ ! -s "$name.err" ] || fail "$name wrote to stderr: $(head -c 300 "$name.err")"
    cmp -s <(sed -n '1,/^case count:254$/p' blobs.out) <(sed -n '1,/^case count:254$/p' "$name.out") ||
        fail "$name: the start-up listing differs from the blobs'"
    check_statistics "$name"
done
listed=$(triangle_lines raw | wc -l)
[ "$listed" -gt 1000 ] || fail "the sphere lists only $listed triangles"
[ "$(triangle_lines nrrd)" = "$(triangle_lines raw)" ] || fail "the NRRD file lists another surface"
[ "$(grep -c '^f ' raw.obj)" -eq "$listed" ] || fail "raw.obj has not the $listed listed faces"
# Exported in physical units: every z of the NRRD's mesh twice the raw one's
# (to the float's precision: the files print the shortest exact digits).
paste -d' ' <(grep '^v ' raw.obj) <(grep '^v ' nrrd.obj) |
    awk 'function off(a, b) { return a - b > 1e-6 * (b < 0 ? -b : b) || b - a > 1e-6 * (b < 0 ? -b : b) }
         off($2, $6) || off($3, $7) || off(2 * $4, $8) { bad++ } END { exit bad > 0 }' ||
    fail "nrrd.obj is not raw.obj with z scaled by the spacing 2"

# The shape given on the command line instead of by the name, and the
# default iso value given explicitly, change nothing.
cp "$raw" samples.bin
run dims --headless --frames 1 --press 1:P --volume samples.bin --dims 40,36,32 --type uint16 \
    --iso "$(awk -v low="$low" -v high="$high" 'BEGIN { print (low + high) / 2 }')"
[ "$status" -eq 0 ] && [ "$(triangle_lines dims)" = "$(triangle_lines raw)" ] ||
    fail "--dims, --type and --iso: exit $status, or another surface: $(cat dims.err)"

# --- The iso keys: -, -, + and I print the value each time ---
run iso --headless --frames 1 --volume "$raw" --press 1:Minus,1:Minus,1:Plus,1:I,1:P
awk -v low="$low" -v high="$high" '
    { sub(/^Iso value: /, ""); value[NR] = $0 }
    END {
        start = (low + high) / 2; step = (high - low) / 100
        want[1] = start - step; want[2] = start - 2 * step; want[3] = start - step; want[4] = start
        if (NR != 4) exit 1
        for (i = 1; i <= 4; i++) if (value[i] - want[i] > 1e-4 || want[i] - value[i] > 1e-4) exit 1
    }' iso.err || fail "iso keys printed: $(cat iso.err), not steps of 1% of $low to $high"
[ "$(triangle_lines iso)" = "$(triangle_lines raw)" ] || fail "I did not restore the start surface"
run lower --headless --frames 1 --volume "$raw" --press 1:Minus,1:Minus,1:P
[ -n "$(triangle_lines lower)" ] && [ "$(triangle_lines lower)" != "$(triangle_lines raw)" ] ||
    fail "two steps down left the surface as it was"
run keys --headless --frames 2 --volume "$raw" --press 1:A,1:W,2:Q,2:P
[ "$(triangle_lines keys)" = "$(triangle_lines raw)" ] || fail "an animation key moved the volume"

# --- Samples that are no number stay outside ---
read -r _ _ < <("$make_volume" float32 24 24 24 8 holes_24x24x24_float32.raw)
# The centre sample NaN, two more infinite: bytes of float32 NaN, +inf, -inf.
for entry in "$((4 * (12 + 24 * 12 + 576 * 12)))":'\x00\x00\xc0\x7f' \
    "$((4 * (10 + 24 * 12 + 576 * 12)))":'\x00\x00\x80\x7f' \
    "$((4 * (12 + 24 * 9 + 576 * 12)))":'\x00\x00\x80\xff'; do
    printf "${entry#*:}" | dd of=holes_24x24x24_float32.raw bs=1 seek="${entry%%:*}" conv=notrunc 2>/dev/null
done
run holes --headless --frames 1 --press 1:P --volume holes_24x24x24_float32.raw --export holes.obj
[ "$status" -eq 0 ] || fail "non-finite samples: exit code $status"
[ "$(grep -c '^f ' holes.obj)" -gt 0 ] || fail "non-finite samples: no surface"
! triangle_lines holes | cat - holes.obj | grep -qi 'nan\|inf' ||
    fail "non-finite samples gave a vertex that is no number"

# --- Bad files: one line naming the file and the problem, exit 1, nothing on stdout ---
printf 'not a volume\n' >garbage.nrrd
head -c 8 "$raw" >eight.raw
unu make -i eight.raw -t uchar -s 2 4 -o flat.nrrd
unu make -i eight.raw -t uchar -s 2 2 1 2 -o four.nrrd
unu make -i eight.raw -t longlong -s 1 1 1 -o wide.nrrd
nrrd_header() {
    printf 'NRRD0004\ntype: uchar\ndimension: 3\nsizes: %s\nencoding: %s\n\n' "$2" "$3" >"$1"
}
nrrd_header short.nrrd "4 4 4" raw
printf '12345678' >>short.nrrd
nrrd_header broken.nrrd "4 4 4" gzip
printf 'this is no gzip stream' >>broken.nrrd
nrrd_header huge.nrrd "100000 100000 100000" raw
nrrd_header wrapping.nrrd "4294967296 4294967296 4294967296" raw
head -c 8 /dev/zero >v_2x2x2_int64.raw
head -c 7 /dev/zero >v_2x2x2_uint8.raw
head -c 8 /dev/zero >v_0x2x4_uint8.raw
head -c 8 /dev/zero >v_2147483647x2147483647x2147483647_uint8.raw
unu make -i eight.raw -t uchar -s 4 4 4 -h -o short.nhdr
head -c 32 /dev/zero | tr '\0' '\377' >nan_2x2x2_float32.raw
mkdir folder.nrrd folder_2x2x2_uint8.raw
mkfifo pipe.nrrd pipe_2x2x2_uint8.raw

while IFS='|' read -r file fragment; do
    file=${file% }
    fragment=${fragment# }
    run bad --headless --frames 1 --volume "$file"
    [ "$status" -eq 1 ] || fail "$file: exit code $status, not 1"
    [ ! -s bad.out ] || fail "$file: wrote to stdout: $(head -c 200 bad.out)"
    [ "$(wc -l <bad.err)" -eq 1 ] && [[ "$(cat bad.err)" == "marching-cubes: $file: "*"$fragment"* ]] ||
        fail "$file: expected one line naming it and '$fragment', got: $(cat bad.err)"
done <<'TABLE'
missing.nrrd | cannot open: No such file or directory
missing_2x2x2_uint8.raw | cannot open: No such file or directory
folder.nrrd | cannot open: Is a directory
folder_2x2x2_uint8.raw | cannot open: Is a directory
pipe.nrrd | cannot open: not a regular file
pipe_2x2x2_uint8.raw | cannot open: not a regular file
garbage.nrrd | not a NRRD file
flat.nrrd | the data have 2 axes, not 3
four.nrrd | the data have 4 axes, not 3
wide.nrrd | the sample type is not
short.nrrd | Teem cannot read it
broken.nrrd | Teem cannot read it
huge.nrrd | 100000x100000x100000 samples are more than the 2147483647 a grid can hold
wrapping.nrrd | Teem cannot read it
v_2x2x2_int64.raw | unknown sample type "int64"
v_2x2x2_uint8.raw | the file holds 7 bytes, but 2x2x2 uint8 samples take 8 bytes
v_0x2x4_uint8.raw | "0x2x4" is not three sizes
v_2147483647x2147483647x2147483647_uint8.raw | 2147483647x2147483647x2147483647 samples are more than the 2147483647
short.nhdr | Teem cannot read it
nan_2x2x2_float32.raw | no sample is a finite number
eight.raw | has no _XxYxZ_type part
TABLE

# --- 256^3 float samples, meshed and exported within the budget ---
"$make_volume" float32 256 256 256 100 big_256x256x256_float32.raw >/dev/null
# Sanitizers keep shadow memory and freed blocks: no budget holds for them.
if [[ "$(ldd "$program")" == *libasan* ]]; then
    echo "memory budget skipped: the program is built with AddressSanitizer"
else
    /usr/bin/time -f '%M' -o big.rss "$program" --headless --frames 1 \
        --volume big_256x256x256_float32.raw --export big.ply >/dev/null 2>&1 || fail "256^3: failed"
    # The budget: the float samples twice (volume and grid), the mesh four
    # times at 12 bytes per vertex and per face (the extracted mesh with its
    # spare capacity, and the welded copy with its lookup), and 16 MiB for the
    # program and its libraries.
    counts=$(head -c 400 big.ply | awk '/^element (vertex|face)/ { n += $3 } END { print n }')
    budget_kib=$(((2 * 256 * 256 * 256 * 4 + 4 * 12 * counts) / 1024 + 16 * 1024))
    used_kib=$(cat big.rss)
    echo "256^3 volume: peak $used_kib KiB, budget $budget_kib KiB"
    [ "$used_kib" -le "$budget_kib" ] || fail "256^3: peak $used_kib KiB is over the budget of $budget_kib KiB"
    # A process that may not have the memory is refused before it starts.
    (ulimit -v 100000 && run small_memory --headless --frames 1 --volume big_256x256x256_float32.raw &&
        exit "$status") || status=$?
    [ "$status" -eq 1 ] && grep -q 'the volume needs 128 MiB, more than the' small_memory.err ||
        fail "256^3 within 100000 KiB of address space: exit $status, $(cat small_memory.err)"
fi
finish "volume end-to-end"
