#!/usr/bin/env bash
# --screenshot of the built program in a real window on its own Xvfb display:
# after --frames N the PNG has the window's size and shows the lit surface and
# the three axis colours (windowed_test.sh takes one when the user quits);
# stdout is exactly what the same frames print headless; an unwritable target
# fails with exit code 1 and leaves nothing behind.
# Usage: screenshot_test.sh path/to/marching-cubes
set -euo pipefail
program=$1
source "$(dirname "$0")/lib.sh"

readonly frames=5
start_display
run headless --headless --frames "$frames"
run frames --frames "$frames" --screenshot "$work/frames.png"
[ "$status" -eq 0 ] || die "--frames run exited $status: $(cat "$work/frames.err")"
cmp -s "$work/headless.out" "$work/frames.out" || fail "--screenshot changed stdout"
[ "$(wc -l <"$work/frames.err")" -eq 1 ] || fail "stderr holds more than the keys: $(cat "$work/frames.err")"
check_picture frames

# --- The vertex-array path: the same stdout and the same picture ---
# Its outlines differ where the per-cell pass draws an edge twice, lit with
# another triangle's normal: a few pixels of the lines, nothing of the surface.
run arrays --frames "$frames" --draw arrays --threads 2 --screenshot "$work/arrays.png"
[ "$status" -eq 0 ] || die "--draw arrays run exited $status: $(cat "$work/arrays.err")"
cmp -s "$work/frames.out" "$work/arrays.out" || fail "--draw arrays changed stdout"
differing=$(compare -metric AE -fuzz 3% "$work/frames.png" "$work/arrays.png" null: 2>&1 || true)
[ "$differing" -le $((800 * 600 / 50)) ] || fail "--draw arrays: $differing pixels differ"
# Smooth shading on a fine grid, lit by lights that moved out with the grid
# (smooth shading blends the axes from white, so only the surface is checked).
# About 62,000 pixels show lit; lights left where they stand for 40 samples
# light half as many.
run smooth --frames 2 --grid 128 --shading smooth --screenshot "$work/smooth.png"
[ "$status" -eq 0 ] || die "--shading smooth run exited $status: $(cat "$work/smooth.err")"
check_surface_picture smooth
lit=$(count_pixels smooth "$tinted")
[ "$lit" -ge 45000 ] || fail "--grid 128: only $lit pixels of the surface are lit"

# --- An unwritable target ---
run missing --frames 1 --screenshot "$work/missing/shot.png"
[ "$status" -eq 1 ] || fail "missing directory: exit code $status, not 1"
grep -q '^casesOk:' "$work/missing.out" || fail "missing directory: no statistics"
grep -qx "marching-cubes: cannot write $work/missing/shot.png: No such file or directory" \
    "$work/missing.err" || fail "missing directory: $(cat "$work/missing.err")"
[ ! -e "$work/missing" ] || fail "missing directory: something was created"
finish "screenshot end-to-end"
