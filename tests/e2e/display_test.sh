#!/usr/bin/env bash
# The program against its display: closed descriptors, an unusable display's
# name on one line, the window's class, and a display lost (killed, or gone).
# Usage: display_test.sh path/to/marching-cubes
set -euo pipefail
program=$1
source "$(dirname "$0")/lib.sh"
start_display

timeout "$wait_limit" "$program" --frames 30 >&- 2>"$work/no-stdout.err" && status=0 || status=$?
[ "$status" -eq 1 ] && tail -n 1 "$work/no-stdout.err" | grep -q '^marching-cubes: cannot write the standard output' ||
    fail "stdout closed: exit code $status, $(cat "$work/no-stdout.err")"
timeout "$wait_limit" "$program" --frames 30 2>&- >"$work/no-stderr.out" && status=0 || status=$?
[ "$status" -eq 0 ] || fail "stderr closed: exit code $status"
check_statistics no-stderr
DISPLAY=$'no\ndisplay' run unnamed --frames 1
expect unnamed 1 '*no\\ndisplay*'

# lose NAME HOW: a run whose display the command HOW takes away ends with exit code 1, the statistics and both files.
lose() {
    start "$1" --export "$work/$1.obj" --screenshot "$work/$1.png"
    wait_for_window
    wait_for_line "$1.out" '^case count:254$' "the case table listing"
    [ "$(xprop -id "$window" WM_CLASS)" = 'WM_CLASS(STRING) = "MarchingCubes", "MarchingCubes"' ] ||
        fail "window class: $(xprop -id "$window" WM_CLASS)"
    eval "$2"
    ended "$1" 1
    grep -qx 'marching-cubes: lost the connection to the display' "$work/$1.err" || fail "$1: $(cat "$work/$1.err")"
    grep -q '^f ' "$work/$1.obj" || fail "$1: no exported surface"
    check_surface_picture "$1"
}
lose killed 'xkill -id "$window" >/dev/null'
lose server-gone 'kill "$display_pid"'
finish "display end-to-end"
