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

# shows NAME WANTED OTHERS: NAME.png has 2000 pixels of WANTED and ten times as many as of OTHERS.
shows() {
    local wanted others
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
# Outlines drawn twice per cell differ in a few pixels, the surface in none.
pixels=$(differing frames arrays)
[ "$pixels" -le $((800 * 600 / 50)) ] || fail "--draw arrays: $pixels pixels differ"
# The window draws the processed mesh: smoothed, its outlines all move.
shot processed --frames 5 --cap --smooth 3
check_surface_picture processed
pixels=$(differing frames processed)
[ "$pixels" -ge $((800 * 600 / 20)) ] || fail "--cap --smooth 3: only $pixels pixels differ"
# Lights left where they stand for 40 samples light half of the ~62,000 pixels.
shot smooth --frames 2 --grid 128 --shading smooth
check_surface_picture smooth
[ "$(count_pixels smooth "$tinted")" -ge 45000 ] || fail "--grid 128: too few pixels of the surface are lit"

# One surface stored two ways: the second file holds the first's samples
# mirrored along x, under a world frame that mirrors them back. The window
# draws the world frame, so the two pictures agree (but for the few pixels
# where mirrored cells pick other diagonals); drawn along the grid's axes,
# the ball would stand on the other side.
ball_nrrd() { # FILE X-DIRECTION X-ORIGIN MIRRORED
    printf 'NRRD0004\ntype: float\ndimension: 3\nsizes: 24 20 16\nspace: right-anterior-superior\n' >"$1"
    printf 'space directions: (%s,0,0) (0,1,0) (0,0,1)\nspace origin: (%s,0,0)\nencoding: ascii\n\n' "$2" "$3" >>"$1"
    awk -v mirrored="$4" 'BEGIN { for (k = 0; k < 16; k++) for (j = 0; j < 20; j++) for (i = 0; i < 24; i++) {
        x = mirrored ? 23 - i : i; print 6 - sqrt((x - 7) ^ 2 + (j - 9) ^ 2 + (k - 7) ^ 2) } }' >>"$1"
}
ball_nrrd "$work/plain.nrrd" 1 0 0
ball_nrrd "$work/mirrored.nrrd" -1 23 1
shot plain --volume "$work/plain.nrrd" --iso 0 --frames 2
shot mirrored --volume "$work/mirrored.nrrd" --iso 0 --frames 2
pixels=$(differing plain mirrored)
[ "$pixels" -le 1000 ] || fail "a mirrored world frame: $pixels pixels differ from the plain one"

# Paused at the first frame, where no blob hides an axis from the start view
# or the turned one. Paused, a second listed frame would repeat the first line
# for line.
start keys --press 1:a --screenshot "$work/quit.png"
wait_for_window
wait_until "the lit surface" settled shows lit "$tinted" "$plain_grey"
press p
wait_for_line keys.out $'\t' "the listing of one frame"
press l
wait_until "the surface in plain grey after L" settled shows unlit "$plain_grey" "$tinted"
check_axes unlit
press l
wait_until "the lit surface again after L" settled shows relit "$tinted" "$plain_grey"
# A real drag turns the paused view (a twentieth of the picture changes), R turns it back.
turned() { [ "$(differing relit "$1")" -ge $((800 * 600 / 20)) ]; }
unturned() { [ "$(differing relit "$1")" -le 200 ]; }
xdotool mousemove --window "$window" 300 300 mousedown 1 mousemove --window "$window" 420 330 mouseup 1
wait_until "the view turned by a drag" settled turned turned
check_picture turned
press r
wait_until "the start view after R" settled unturned back
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
# A volume starts without outlines: unlit, its surface is plain grey; M
# outlines its triangles in black over a tenth of it and more.
press l
grey_pixels() { count_pixels "$1" "$plain_grey"; }
grey_at_least() { [ "$(grey_pixels "$1")" -ge "$2" ]; }
grey_at_most() { [ "$(grey_pixels "$1")" -le "$2" ]; }
wait_until "the unlit volume" settled grey_at_least unoutlined 2000
press m
wait_until "the outlines after M" settled grey_at_most outlined $(($(grey_pixels unoutlined) * 9 / 10))
wmctrl -c "$title"
ended close 0
[ -z "$(triangle_lines close)" ] || fail "close request: triangles listed without P"
finish "windowed end-to-end"
