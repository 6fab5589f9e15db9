#!/usr/bin/env bash
# Volumes, headless: raw and Teem-written NRRD files of the same samples, the
# iso keys, bad files and the address-space limit.
# Usage: volume_test.sh path/to/marching-cubes path/to/make-test-volume
set -euo pipefail
program=$(realpath "$1")
make_volume=$(realpath "$2")
bad_volumes=$(realpath "$(dirname "$0")/bad_volumes.txt")
source "$(dirname "$0")/lib.sh"
cd "$work"
unu() { teem-unu "$@" 2>/dev/null; }

# A sphere of radius 12 in uint16 samples, and the same samples as a gzip NRRD with z step 2.
readonly raw=sphere_40x36x32_uint16.raw
read -r low high < <("$make_volume" uint16 40 36 32 12 "$raw")
unu make -i "$raw" -t ushort -s 40 36 32 -sp 1 1 2 | unu save -f nrrd -e gzip -o sphere.nrrd
for file in "$raw" sphere.nrrd; do
    name=${file##*.}
    run "$name" --headless --frames 1 --press 1:P --volume "$file" --export "$name.obj"
    [ "$status" -eq 0 ] && [ -z "$(errors "$name")" ] || fail "$name: exit code $status, $(head -c 300 "$name.err")"
    check_statistics "$name"
done
listed=$(triangle_lines raw | wc -l)
[ "$listed" -gt 1000 ] && [ "$(grep -c '^f ' raw.obj)" -eq "$listed" ] || fail "raw.obj has not the $listed listed faces"
[ "$(triangle_lines nrrd)" = "$(triangle_lines raw)" ] || fail "the NRRD file lists another surface"
# Every z of the NRRD's mesh twice the raw one's, to the float's precision.
paste -d' ' <(grep '^v ' raw.obj) <(grep '^v ' nrrd.obj) |
    awk 'function off(a, b) { return (a - b) ^ 2 > (1e-6 * b) ^ 2 }
         off($2, $6) || off($3, $7) || off(2 * $4, $8) { bad++ } END { exit bad > 0 }' ||
    fail "nrrd.obj is not raw.obj with z scaled by the spacing 2"

# A sphere larger than the box, closed where the box cuts it.
run capped --headless --frames 1 --quiet --volume "$raw" --iso 50 --export capped.stl --cap
grep -q '^Exported capped.stl: [0-9]* triangles, 1 piece, watertight, ' capped.err ||
    fail "capped: $(cat capped.err)"

# --- Iso keys: -, -, + and I print the value each time; I restores the surface ---
run iso --headless --frames 1 --volume "$raw" --press 1:Minus,1:Minus,1:Plus,1:I,1:P
awk -v low="$low" -v high="$high" '{ sub(/^Iso value: /, ""); value[NR] = $0 } END {
        start = value[4]; step = (high - low) / 100
        split("1 2 1 0", down)
        for (i = 1; i <= 4; i++) if ((value[i] - start + down[i] * step) ^ 2 > 1e-8) exit 1
        exit NR != 4 }' iso.err || fail "iso keys printed: $(cat iso.err), not steps of 1% of $low to $high"
[ "$(triangle_lines iso)" = "$(triangle_lines raw)" ] || fail "I did not restore the start surface"
# An iso value outside the data: a warning with the range, the run goes on with an empty surface.
run outside --headless --frames 1 --volume "$raw" --iso 70000 --press 1:P
expect outside 0 "marching-cubes: warning: --iso 70000 lies outside the data's range, $low to $high: the surface is empty"
[ -z "$(triangle_lines outside)" ] || fail "--iso 70000 listed triangles"
run lower --headless --frames 1 --volume "$raw" --press 1:Minus,1:Minus,1:P
[ -n "$(triangle_lines lower)" ] && [ "$(triangle_lines lower)" != "$(triangle_lines raw)" ] ||
    fail "two steps down left the surface as it was"

# Samples at the floats' limits: the start iso value between them, and 60
# steps up stop at the largest float, not at infinity.
printf '\377\377\177\377%.0s' 1 2 3 4 >extreme_2x2x2_float32.raw
printf '\377\377\177\177%.0s' 1 2 3 4 >>extreme_2x2x2_float32.raw
run extreme --headless --frames 2 --volume extreme_2x2x2_float32.raw --press "1:P$(printf ',2:Plus%.0s' $(seq 60))"
[ "$(triangle_lines extreme | wc -l)" -eq 2 ] || fail "extreme samples: not the 2 triangles between them"
[ "$(tail -n 1 extreme.err)" = "Iso value: 3.40282e+38" ] || fail "extreme samples: ended at $(tail -n 1 extreme.err)"

# Names holding a newline and an escape: one line, the name escaped wherever it shows.
touch $'a\nb.raw'
run escaped --headless --frames 1 --volume $'a\nb.raw'
expect escaped 1 'marching-cubes: a\\nb.raw: "a\\nb.raw" has no _XxYxZ_type part*'
run escaped --headless --frames 1 --volume $'a\eb_1x1x1_uint8.raw'
expect escaped 1 'marching-cubes: a\\x1bb_1x1x1_uint8.raw: cannot open: No such file or directory'

# Each line of bad_volumes.txt (file | problem | command making it): exit code 1, one line, no stdout.
while IFS='|' read -r file problem making; do
    eval "$making"
    file=${file% } problem=${problem:1:-1}
    run bad --headless --frames 1 --volume "$file"
    [ ! -s bad.out ] || fail "$file: wrote to stdout: $(head -c 200 bad.out)"
    expect bad 1 "marching-cubes: $file: *$problem*"
done <"$bad_volumes"

# 256^3 floats: meshed and exported within the budget of the float samples
# once and the mesh four times at 12 bytes per vertex and face, plus 32 MiB
# for the program and its libraries (GDCM builds its data dictionary at load);
# refused within 50000 KiB of address space. Sanitizers need more than either.
if [[ "$(ldd "$program")" != *libasan* ]]; then
    "$make_volume" float32 256 256 256 100 big_256x256x256_float32.raw >/dev/null
    /usr/bin/time -f '%M' -o big.rss "$program" --headless --frames 1 \
        --volume big_256x256x256_float32.raw --export big.ply >/dev/null 2>&1 || fail "256^3: failed"
    counts=$(head -c 400 big.ply | awk '/^element (vertex|face)/ { n += $3 } END { print n }')
    budget_kib=$(((256 * 256 * 256 * 4 + 4 * 12 * counts) / 1024 + 32 * 1024))
    [ "$(cat big.rss)" -le "$budget_kib" ] || fail "256^3: peak $(cat big.rss) KiB, over $budget_kib KiB"
    (ulimit -v 50000 && run big --headless --frames 1 --volume big_256x256x256_float32.raw && exit "$status") && status=0 || status=$?
    expect big 1 '*the volume needs 64 MiB, more than the*'
fi
finish "volume end-to-end"
