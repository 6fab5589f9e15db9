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

# --- An unwritable target ---
run missing --frames 1 --screenshot "$work/missing/shot.png"
[ "$status" -eq 1 ] || fail "missing directory: exit code $status, not 1"
grep -q '^casesOk:' "$work/missing.out" || fail "missing directory: no statistics"
grep -qx "marching-cubes: cannot write $work/missing/shot.png: No such file or directory" \
    "$work/missing.err" || fail "missing directory: $(cat "$work/missing.err")"
[ ! -e "$work/missing" ] || fail "missing directory: something was created"
finish "screenshot end-to-end"
