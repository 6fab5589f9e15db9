#!/usr/bin/env bash
# The built program against its display on its own Xvfb: closed standard
# descriptors must not let its text into the display connection, a display
# name with a newline is quoted on one line, the window is known by its
# class, and a lost display (the connection killed by another client, then
# the server gone) still ends with the statistics and the files asked for,
# and exit code 1.
# Usage: display_test.sh path/to/marching-cubes
set -euo pipefail
program=$1
source "$(dirname "$0")/lib.sh"

start_display

# --- Closed stdout or stderr: the display socket must not take their number ---
status=0
timeout "$wait_limit" "$program" --frames 30 >&- 2>"$work/no-stdout.err" || status=$?
[ "$status" -eq 1 ] || fail "stdout closed: exit code $status, not 1"
tail -n 1 "$work/no-stdout.err" | grep -q '^marching-cubes: cannot write the standard output' ||
    fail "stdout closed: $(cat "$work/no-stdout.err")"
status=0
timeout "$wait_limit" "$program" --frames 30 2>&- >"$work/no-stderr.out" || status=$?
[ "$status" -eq 0 ] || fail "stderr closed: exit code $status"
check_statistics no-stderr

# --- A display that cannot be opened, named with a newline: one line still ---
status=0
DISPLAY=$'no\ndisplay' timeout "$wait_limit" "$program" --frames 1 2>"$work/unnamed.err" || status=$?
[ "$status" -eq 1 ] || fail "unusable display: exit code $status, not 1"
[ "$(wc -l <"$work/unnamed.err")" -eq 1 ] && grep -qF 'no\ndisplay' "$work/unnamed.err" ||
    fail "unusable display: $(cat "$work/unnamed.err")"

# start_lost NAME: a run with both files asked for, shown and listed.
start_lost() {
    "$program" --export "$work/$1.obj" --screenshot "$work/$1.png" >"$work/$1.out" 2>"$work/$1.err" &
    program_pid=$!
    pids+=("$program_pid")
    wait_for_window
    wait_for_line "$work/$1.out" '^case count:254$' "the case table listing" "$program_pid"
}

# check_lost NAME: the run ended with exit code 1, said why, and printed and
# wrote everything a quit would have.
check_lost() {
    wait_for_exit "$program_pid"
    [ "$status" -eq 1 ] || fail "$1: exit code $status, not 1"
    grep -qx 'marching-cubes: lost the connection to the display' "$work/$1.err" ||
        fail "$1: $(cat "$work/$1.err")"
    check_statistics "$1"
    grep -q '^f ' "$work/$1.obj" || fail "$1: no exported surface"
    check_surface_picture "$1"
}

start_lost killed
[ "$(xprop -id "$window" WM_CLASS)" = 'WM_CLASS(STRING) = "MarchingCubes", "MarchingCubes"' ] ||
    fail "window class: $(xprop -id "$window" WM_CLASS)"
xkill -id "$window" >/dev/null
check_lost killed

start_lost server-gone
kill "$display_pid"
check_lost server-gone
finish "display end-to-end"
