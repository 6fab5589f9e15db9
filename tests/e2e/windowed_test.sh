#!/usr/bin/env bash
# The program in a real window on Xvfb with Mesa's software renderer: screenshots
# checked pixel by pixel, real key presses, a volume and a window manager's close.
# Usage: windowed_test.sh path/to/marching-cubes
set -euo pipefail
program=$1
source "$(dirname "$0")/lib.sh"

# shot NAME ARGS...: a run exiting 0 with only its keys on stderr and its screenshot in NAME.png.
shot() {
    run "$1" --screenshot "$work/$1.png" "${@:2}"
    expect "$1" 0 'Keys: *'
}

# shows NAME WANTED OTHERS: a screenshot NAME with 2000 pixels of WANTED and ten times as many as of OTHERS.
shows() {
    local wanted others
    screenshot "$1" || return 1
    wanted=$(count_pixels "$1" "$2")
    others=$(count_pixels "$1" "$3")
    [ "$wanted" -ge 2000 ] && [ "$wanted" -ge $((10 * others)) ]
}

press() { xdotool key --window "$window" "$1"; }
# Only the press: the window is gone before a release could reach it.
quit() { xdotool keydown --window "$window" Escape; }

start_display
run headless --headless --frames 5
shot frames --frames 5
cmp -s "$work/headless.out" "$work/frames.out" || fail "--screenshot changed stdout"
shot arrays --frames 5 --draw arrays --threads 2
cmp -s "$work/frames.out" "$work/arrays.out" || fail "--draw arrays changed stdout"
# Outlines drawn twice per cell differ in a few pixels, the surface in none.
differing=$(compare -metric AE -fuzz 3% "$work/frames.png" "$work/arrays.png" null: 2>&1 || true)
[ "$differing" -le $((800 * 600 / 50)) ] || fail "--draw arrays: $differing pixels differ"
# The window draws the processed mesh: smoothed, its outlines all move.
shot processed --frames 5 --cap --smooth 3
check_surface_picture processed
differing=$(compare -metric AE -fuzz 3% "$work/frames.png" "$work/processed.png" null: 2>&1 || true)
[ "$differing" -ge $((800 * 600 / 20)) ] || fail "--cap --smooth 3: only $differing pixels differ"
# Lights left where they stand for 40 samples light half of the ~62,000 pixels.
shot smooth --frames 2 --grid 128 --shading smooth
check_surface_picture smooth
[ "$(count_pixels smooth "$tinted")" -ge 45000 ] || fail "--grid 128: too few pixels of the surface are lit"

start keys --screenshot "$work/quit.png"
wait_for_window
wait_until "the lit surface" shows lit "$tinted" "$plain_grey"
# Paused, a second listed frame would repeat the first line for line.
press a
press p
wait_for_line keys.out $'\t' "the listing of one frame"
press l
wait_until "the surface in plain grey after L" shows unlit "$plain_grey" "$tinted"
check_axes unlit
press l
wait_until "the lit surface again after L" shows relit "$tinted" "$plain_grey"
# A real drag turns the paused view (a fifth of the picture changes), R turns it back.
differing() { compare -metric AE -fuzz 3% "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }
turned() { screenshot turned && [ "$(differing relit turned)" -ge $((800 * 600 / 20)) ]; }
back() { screenshot back && [ "$(differing relit back)" -le 200 ]; }
# One motion, so no screenshot can catch the view half turned.
xdotool mousemove --window "$window" 300 300 mousedown 1 mousemove --window "$window" 420 330 mouseup 1
wait_until "the view turned by a drag" turned
check_picture turned
press r
wait_until "the start view after R" back
quit
ended keys 0
check_picture quit
listed=$(triangle_lines keys)
[ -n "$listed" ] && [ -z "$(sort <<<"$listed" | uniq -d)" ] || fail "not one frame listed after one P"

# A window manager's close request, to a window of a ball of radius 16 whose z step is 1.5.
printf 'NRRD0004\ntype: float\ndimension: 3\nsizes: 48 40 32\nspacings: 1 1 1.5\nencoding: ascii\n\n' >"$work/ball.nrrd"
awk 'BEGIN { for (k = 0; k < 32; k++) for (j = 0; j < 40; j++) for (i = 0; i < 48; i++)
    print 100 + 4 * (16 - sqrt((i - 23.5) ^ 2 + (j - 19.5) ^ 2 + ((k - 15.5) * 1.5) ^ 2)) }' >>"$work/ball.nrrd"
openbox >/dev/null 2>&1 &
pids+=($!)
wait_until "the window manager" wmctrl -m >/dev/null 2>&1
start close --volume "$work/ball.nrrd"
wait_for_window
outer_size() {
    local extents width height left right top bottom
    extents=$(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | grep -oE '[0-9]+, [0-9]+, [0-9]+, [0-9]+') || return 1
    read -r width height < <(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
    IFS=', ' read -r left right top bottom <<<"$extents"
    [ "$((width + left + right))x$((height + top + bottom))" = 800x600 ]
}
wait_until "an outer size of 800x600 with decorations" outer_size
press minus
wait_for_line close.err '^Iso value: ' "the lowered iso value on stderr"
wmctrl -c "$title"
ended close 0
[ -z "$(triangle_lines close)" ] || fail "close request: triangles listed without P"
finish "windowed end-to-end"
