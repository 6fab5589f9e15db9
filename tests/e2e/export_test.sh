#!/usr/bin/env bash
# Mesh export and timing, headless: assimp reads each format back with the listed
# frame's faces, stdout stays the same; a run without frames exports no faces.
# Usage: export_test.sh path/to/marching-cubes
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/lib.sh"

# Frame 3 is listed and exported: its listing's line count is its face count.
listed=(--headless --frames 3 --press 3:P)
run plain "${listed[@]}"
faces=$(triangle_lines plain | wc -l)
for format in obj ply stl; do
    run "$format" "${listed[@]}" --export "$work/surface.$format"
    [ "$status" -eq 0 ] && cmp -s "$work/plain.out" "$work/$format.out" || fail "$format: exit code $status, or another stdout"
    read_faces=$(assimp info "$work/surface.$format" 2>&1 | awk '/^Faces:/ { print $2 }')
    [ "$read_faces" = "$faces" ] || fail ".$format file has '$read_faces' faces for assimp, not $faces"
    grep -q "^Exported $work/surface.$format: $faces triangles, " "$work/$format.err" ||
        fail "$format: the summary does not count its $faces faces: $(cat "$work/$format.err")"
done
# Closed, one piece, smoothed and simplified: still a solid, said in one line;
# the frame lists (and so draws) the mesh the file holds.
run solid "${listed[@]}" --export "$work/solid.stl" --cap --largest --smooth 2 --simplify 0.5
solid_faces=$(triangle_lines solid | wc -l)
number='[0-9.]+(e[+-][0-9]+)?'
grep -qE "^Exported $work/solid.stl: $solid_faces triangles, 1 piece, watertight, area $number grid units\\^2, volume $number grid units\\^3\$" "$work/solid.err" &&
    [ "$solid_faces" -lt "$faces" ] || fail "solid: $solid_faces listed, $faces unprocessed: $(cat "$work/solid.err")"
# Welded: fewer vertices than faces, where the drawn triangles have three each.
[ "$(grep -c '^v ' "$work/surface.obj")" -lt "$faces" ] || fail "the OBJ file is not welded"
# Quiet, as a mesher: the same file, nothing on stdout but the asked-for listing.
run quiet "${listed[@]}" --quiet --export "$work/quiet.obj"
[ "$status" -eq 0 ] && cmp -s "$work/surface.obj" "$work/quiet.obj" || fail "quiet: exit code $status, or another mesh"
cmp -s <(triangle_lines plain) "$work/quiet.out" || fail "quiet: stdout is not just the listed triangles"
run none --headless --frames 0 --export "$work/none.obj"
[ "$(cat "$work/none.obj")" = "# marching-cubes surface: 0 vertices, 0 faces" ] || fail "no frames, export: $(cat "$work/none.obj")"
run timing "${listed[@]}" --timing
grep -qE '^Timing: 3 frames in [0-9.]+ s, [0-9.]+ frames per second$' "$work/timing.err" && cmp -s "$work/plain.out" "$work/timing.out" &&
    [ "$(grep -cE '^  (field step|surface pass|drawing and swap) +median +[0-9.]+ ms, slowest +[0-9.]+ ms$' "$work/timing.err")" -eq 3 ] ||
    fail "timing: $(cat "$work/timing.err")"
# --- A file the user may not write is left alone, as a shell's redirection leaves it ---
# Their own read-only file, and (when run by root) root's file, in a folder
# everyone may write.
chmod 0711 "$work"
mkdir -m 0777 "$work/shared"
for name in read-only.obj root.obj; do
    [ "$name" = read-only.obj ] || [ "$(id -u)" -eq 0 ] || continue
    echo kept >"$work/shared/$name"
    if [ "$name" = read-only.obj ]; then
        chmod 0444 "$work/shared/$name"
        [ "$(id -u)" -ne 0 ] || chown nobody "$work/shared/$name"
    fi
    status=0
    "${as_user[@]}" "$program" --headless --frames 1 --export "$work/shared/$name" \
        >"$work/protected.out" 2>"$work/protected.err" || status=$?
    expect protected 1 "marching-cubes: cannot write $work/shared/$name: Permission denied"
    [ "$(cat "$work/shared/$name")" = kept ] && [ -z "$(find "$work/shared" -name '*partial*')" ] ||
        fail "$name: replaced, or a temporary file left"
done
finish "export end-to-end"
