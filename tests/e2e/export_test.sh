#!/usr/bin/env bash
# Mesh export, timing and grid size of the built program, headless: exported
# files load in a third-party reader (assimp) with the listed frame's face
# count, stdout is the same whatever these options, and a file that cannot be
# written (missing directory, no permission, full disk) leaves nothing behind
# and ends the run with exit code 1 after the usual statistics.
# Usage: export_test.sh path/to/marching-cubes
set -euo pipefail
program=$(realpath "$1")
work=$(mktemp -d)
chmod 755 "$work"
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# run NAME ARGS...: the program with stdout in NAME.out, stderr in NAME.err,
# its exit code in NAME.status.
run() {
    local name=$1
    shift
    local status=0
    "$program" "$@" >"$work/$name.out" 2>"$work/$name.err" || status=$?
    echo "$status" >"$work/$name.status"
}

status_of() { cat "$work/$1.status"; }

same_stdout() {
    cmp -s "$work/plain.out" "$work/$1.out" || fail "$1: stdout differs from the plain run"
}

# Frame 3 is listed and exported: its listing's line count is its face count.
listed=(--headless --frames 3 --press 3:P)
run plain "${listed[@]}"
faces=$(sed -n '/^case count:254$/,/^Usage stats:$/p' "$work/plain.out" | grep -c $'\t')
[ "$faces" -gt 100 ] || fail "frame 3 lists only $faces triangles"

# --- Each format loads in assimp with every face ---
for format in obj ply stl OBJ; do
    run "export_$format" "${listed[@]}" --export "$work/surface.$format"
    [ "$(status_of "export_$format")" -eq 0 ] || fail ".$format export exited $(status_of "export_$format")"
    same_stdout "export_$format"
    [ ! -s "$work/export_$format.err" ] || fail ".$format export wrote to stderr"
    info=$(assimp info "$work/surface.$format" 2>&1) || fail "assimp cannot read the .$format file"
    read_faces=$(awk '/^Faces:/ { print $2 }' <<<"$info")
    [ "$read_faces" = "$faces" ] || fail ".$format file has $read_faces faces for assimp, not $faces"
done
# Welded: far fewer vertices than the three per face of the drawn triangles.
vertices=$(grep -c '^v ' "$work/surface.obj")
[ "$vertices" -lt "$faces" ] || fail "OBJ has $vertices vertices for $faces faces: not welded"

# --- Timing goes to stderr only ---
run timing "${listed[@]}" --timing
same_stdout timing
head -n 1 "$work/timing.err" | grep -qE '^Timing: 3 frames in [0-9.]+ s, [0-9.]+ frames per second$' ||
    fail "no timing headline: $(cat "$work/timing.err")"
[ "$(grep -cE '^  (field step|surface pass|drawing and swap) +median +[0-9.]+ ms, slowest +[0-9.]+ ms$' "$work/timing.err")" -eq 3 ] ||
    fail "timing lacks a stage line: $(cat "$work/timing.err")"

# --- Grid sizes ---
run grid40 "${listed[@]}" --grid 40
same_stdout grid40
for size in 2 64; do
    run "grid$size" --headless --frames 3 --grid "$size" --export "$work/grid$size.obj"
    [ "$(status_of "grid$size")" -eq 0 ] || fail "--grid $size exited $(status_of "grid$size")"
    grep -q '^casesOk:' "$work/grid$size.out" || fail "--grid $size printed no statistics"
done
grep -q $'^casesOk:0\t' "$work/grid2.out" || fail "--grid 2 should have no surface"
[ "$(grep -c '^f ' "$work/grid64.obj")" -gt "$faces" ] || fail "--grid 64 gives no finer surface"
for arguments in "--grid 1" "--grid 257" "--grid x" "--export surface.fbx" "--export surface"; do
    # shellcheck disable=SC2086  # each entry is a whole argument list
    run bad --headless --frames 1 $arguments
    [ "$(status_of bad)" -eq 2 ] || fail "'$arguments' exited $(status_of bad), not 2"
    [ ! -s "$work/bad.out" ] || fail "'$arguments' wrote to stdout"
done

# --- Files that cannot be written ---
# expect_write_failure NAME TARGET: the run failed on TARGET after printing
# everything as usual, said so in one line and left no file beside TARGET.
expect_write_failure() {
    [ "$(status_of "$1")" -eq 1 ] || fail "$1: exited $(status_of "$1"), not 1"
    same_stdout "$1"
    [ "$(wc -l <"$work/$1.err")" -eq 1 ] && grep -q "^marching-cubes: cannot write $2: " "$work/$1.err" ||
        fail "$1: expected one line naming $2, got: $(cat "$work/$1.err")"
    [ -z "$(ls -A "$(dirname "$2")" 2>/dev/null)" ] || fail "$1: left $(ls -A "$(dirname "$2")")"
}

run missing "${listed[@]}" --export "$work/missing/surface.ply"
expect_write_failure missing "$work/missing/surface.ply"

mkdir "$work/locked"
if [ "$(id -u)" -eq 0 ]; then
    # Root writes anywhere: the program runs as nobody instead.
    as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
else
    chmod 555 "$work/locked"
    as_user=()
fi
status=0
"${as_user[@]}" "$program" "${listed[@]}" --export "$work/locked/surface.stl" \
    >"$work/locked.out" 2>"$work/locked.err" || status=$?
echo "$status" >"$work/locked.status"
expect_write_failure locked "$work/locked/surface.stl"

# A full disk: a tiny file system of our own in a private mount namespace.
mkdir "$work/full"
if unshare -m true 2>/dev/null; then
    # The file system lives only as long as the namespace, so what the run
    # left in it is listed from inside.
    unshare -m sh -c '
        mount -t tmpfs -o size=8k tmpfs "$1" || exit 99
        status=0
        "$2" --headless --frames 3 --press 3:P --export "$1/surface.obj" || status=$?
        echo "$status" >"$3.status"
        ls -A "$1" >"$3.left"' sh "$work/full" "$program" "$work/full" \
        >"$work/full.out" 2>"$work/full.err"
    expect_write_failure full "$work/full/surface.obj"
    [ ! -s "$work/full.left" ] || fail "full disk: left $(cat "$work/full.left")"
    grep -q 'No space left on device' "$work/full.err" || fail "full disk: $(cat "$work/full.err")"
else
    echo "note: no private mount namespace here; the full-disk run is left out" >&2
fi

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "export end-to-end checks passed"
