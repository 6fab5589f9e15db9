#!/usr/bin/env bash
# The case explorer's window under Xvfb with real key presses, its markers,
# crossings and triangles counted in screenshots. (A case's headless
# description is checked in process, every case's triangles against the table.)
# Usage: explorer_test.sh path/to/marching-cubes
set -euo pipefail
program=$1
source "$(dirname "$0")/lib.sh"

readonly inside_marker='r >= 250 && g >= 120 && g <= 135 && b <= 5' # filled corners and their numbers
readonly outside_marker='r >= 70 && r <= 80 && g >= 148 && g <= 156 && b >= 250' # hollow corners
readonly crossing='r >= 250 && g <= 5 && b >= 250'

start_display
# shows NAME CASE INSIDE OUTSIDE CROSSINGS: a screenshot of CASE with at least
# (or, for 0, no) pixels of filled markers, hollow markers and crossings.
shows() {
    run "$1" --explore "$2" --frames 2 --screenshot "$work/$1.png"
    [ "$status" -eq 0 ] || fail "$1: exit code $status"
    local colour wanted got
    for pair in "$inside_marker:$3" "$outside_marker:$4" "$crossing:$5"; do
        colour=${pair%:*} wanted=${pair##*:}
        got=$(count_pixels "$1" "$colour")
        if [ "$wanted" -eq 0 ]; then
            [ "$got" -eq 0 ] || fail "$1: $got pixels of '$colour', none wanted"
        else
            [ "$got" -ge "$wanted" ] || fail "$1: $got pixels of '$colour', fewer than $wanted"
        fi
    done
}
shows none 0 0 100 0
shows all 255 300 0 0
shows three 22 150 100 100
convert "$work/three.png" -crop 300x300+250+150 +repage "$work/three-middle.png"
[ "$(count_pixels three-middle "$tinted")" -ge 500 ] || fail "case 22: too few lit triangle pixels"

# Keys: N steps to case 2, corner 3 joins it (case 10), P lists it, and E
# leaves for the blobs.
start keys --explore 1
wait_for_window
press() { xdotool key --window "$window" "$1"; }
press n
press 3
press p
wait_for_line keys.out '^case 10$' "case 10 listed after N, 3 and P"
press e
# The blobs again: their lit surface, and no corner markers.
blobs_shown() {
    screenshot blobs && [ "$(count_pixels blobs "$tinted")" -ge 2000 ] &&
        [ "$(count_pixels blobs "$inside_marker")" -eq 0 ]
}
wait_until "the blobs after E" blobs_shown
xdotool keydown --window "$window" Escape
ended keys 0
finish "explorer end-to-end"
