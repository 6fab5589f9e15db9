#!/usr/bin/env bash
# Mesh export, timing and grid size of the built program, headless: exported
# files load in a third-party reader (assimp) with the listed frame's face
# count, stdout is the same whatever these options, and a file that cannot be
# written (missing directory, full disk) leaves nothing behind and ends the
# run with exit code 1 after the usual statistics.
# Usage: export_test.sh path/to/marching-cubes
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/lib.sh"

# check NAME: the run exited 0 with the plain run's stdout and nothing on stderr.
check() {
    [ "$status" -eq 0 ] || fail "$1 exited $status"
    cmp -s "$work/plain.out" "$work/$1.out" || fail "$1: stdout differs from the plain run"
    [ ! -s "$work/$1.err" ] || [ "$1" = timing ] || fail "$1 wrote to stderr: $(cat "$work/$1.err")"
}

# Frame 3 is listed and exported: its listing's line count is its face count.
listed=(--headless --frames 3 --press 3:P)
run plain "${listed[@]}"
faces=$(triangle_lines plain | wc -l)
[ "$faces" -gt 100 ] || fail "frame 3 lists only $faces triangles"

# --- Each format loads in assimp with every face ---
for format in obj ply stl OBJ; do
    run "$format" "${listed[@]}" --export "$work/surface.$format"
    check "$format"
    read_faces=$(assimp info "$work/surface.$format" 2>&1 | awk '/^Faces:/ { print $2 }')
    [ "$read_faces" = "$faces" ] || fail ".$format file has '$read_faces' faces for assimp, not $faces"
done
# Welded: far fewer vertices than the three per face of the drawn triangles.
vertices=$(grep -c '^v ' "$work/surface.obj")
[ "$vertices" -lt "$faces" ] || fail "OBJ has $vertices vertices for $faces faces: not welded"
run none --headless --frames 0 --export "$work/none.obj"
[ "$(cat "$work/none.obj")" = "# marching-cubes surface: 0 vertices, 0 faces" ] ||
    fail "a run without frames exports: $(head -c 200 "$work/none.obj")"

# --- Timing goes to stderr only ---
run timing "${listed[@]}" --timing
check timing
head -n 1 "$work/timing.err" | grep -qE '^Timing: 3 frames in [0-9.]+ s, [0-9.]+ frames per second$' ||
    fail "no timing headline: $(cat "$work/timing.err")"
[ "$(grep -cE '^  (field step|surface pass|drawing and swap) +median +[0-9.]+ ms, slowest +[0-9.]+ ms$' "$work/timing.err")" -eq 3 ] ||
    fail "timing lacks a stage line: $(cat "$work/timing.err")"

# --- Grid sizes ---
run grid40 "${listed[@]}" --grid 40
check grid40
for size in 2 64; do
    run "grid$size" --headless --frames 3 --grid "$size" --export "$work/grid$size.obj"
    [ "$status" -eq 0 ] && grep -q '^casesOk:' "$work/grid$size.out" || fail "--grid $size exited $status"
done
grep -q $'^casesOk:0\t' "$work/grid2.out" || fail "--grid 2 should have no surface"
[ "$(grep -c '^f ' "$work/grid64.obj")" -gt "$faces" ] || fail "--grid 64 gives no finer surface"

# --- Files that cannot be written ---
# expect_write_failure NAME TARGET: the run failed on TARGET after printing
# everything as usual, said so in one line and left no file beside TARGET.
expect_write_failure() {
    [ "$status" -eq 1 ] || fail "$1: exited $status, not 1"
    cmp -s "$work/plain.out" "$work/$1.out" || fail "$1: stdout differs from the plain run"
    [ "$(wc -l <"$work/$1.err")" -eq 1 ] && grep -q "^marching-cubes: cannot write $2: $3" "$work/$1.err" ||
        fail "$1: expected one line naming $2, got: $(cat "$work/$1.err")"
    [ -z "$(ls -A "$(dirname "$2")" 2>/dev/null)" ] || fail "$1: left $(ls -A "$(dirname "$2")")"
}

run missing "${listed[@]}" --export "$work/missing/surface.ply"
expect_write_failure missing "$work/missing/surface.ply" 'No such file or directory'

# A full disk: a tiny file system of our own in a private mount namespace,
# which lives only as long as the namespace, so what the run left is listed
# from inside.
mkdir "$work/full"
if unshare -m true 2>/dev/null; then
    status=0
    unshare -m sh -c 'mount -t tmpfs -o size=8k tmpfs "$1" || exit 99
        status=0
        "$2" --headless --frames 3 --press 3:P --export "$1/surface.obj" || status=$?
        ls -A "$1" >"$1.left"
        exit "$status"' sh "$work/full" "$program" >"$work/full.out" 2>"$work/full.err" || status=$?
    expect_write_failure full "$work/full/surface.obj" 'No space left on device'
    [ ! -s "$work/full.left" ] || fail "full disk: left $(cat "$work/full.left")"
else
    echo "note: no private mount namespace here; the full-disk run is left out" >&2
fi
finish "export end-to-end"
