#!/usr/bin/env bash
# The built program in a real window on its own Xvfb display with Mesa's
# software renderer: real key presses through xdotool, screenshots checked
# pixel by pixel, the --screenshot taken when the user quits, and a close
# request from a real window manager.
# Every wait ends when what it waits for happens (the window shown, a line
# printed, the program ended; only pictures are polled), within a generous
# bound, so a slow machine takes longer but never passes or fails by luck.
# Usage: windowed_test.sh path/to/marching-cubes
set -euo pipefail
program=$1
source "$(dirname "$0")/lib.sh"

readonly enough_pixels=2000

# start_program NAME ARGS...: the program in the background, with stdout in
# NAME.out and stderr in NAME.err.
start_program() {
    "$program" "${@:2}" >"$work/$1.out" 2>"$work/$1.err" &
    program_pid=$!
    pids+=("$program_pid")
}

# stop_with NAME ACTION...: ACTION ends the program, which must exit 0 and
# end its stdout with the statistics.
stop_with() {
    local name=$1
    shift
    "$@"
    wait_for_exit "$program_pid"
    [ "$status" -eq 0 ] || fail "$name: exit code $status"
    check_statistics "$name"
}

# shows NAME WANTED OTHERS: a screenshot NAME with at least enough_pixels of
# the WANTED kind and ten times as many as of the OTHERS.
shows() {
    local wanted others
    screenshot "$1" || return 1
    wanted=$(count_pixels "$1" "$2")
    others=$(count_pixels "$1" "$3")
    [ "$wanted" -ge "$enough_pixels" ] && [ "$wanted" -ge $((10 * others)) ]
}

differs_from() {
    screenshot "$2" &&
        [ "$(compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 || true)" != 0 ]
}

press() {
    xdotool key --window "$window" "$1"
}

# --- Run 1: keys ---
start_display
start_program keys --screenshot "$work/quit.png"
wait_for_window
wait_for_line "$work/keys.out" '^case count:254$' "the case table listing" "$program_pid"
[ "$(head -n 1 "$work/keys.out")" = "Vertex offset:" ] || fail "stdout does not start with the listing"
wait_until "the lit surface" shows lit "$tinted" "$plain_grey"
[ "$(identify -format '%wx%h' "$work/lit.png")" = 800x600 ] || fail "window is not 800x600"

# Pause first, so a second listed frame would repeat the first line for line.
press a
press p
wait_for_line "$work/keys.out" $'\t' "the listing of one frame" "$program_pid"
press l
wait_until "the surface in plain grey after L" shows unlit "$plain_grey" "$tinted"
check_axes unlit
press Left
wait_until "the view to turn after Left" differs_from unlit turned
press Prior
wait_until "the view to zoom after Page Up" differs_from turned zoomed
press l
wait_until "the lit surface again after L" shows relit "$tinted" "$plain_grey"
# Only the press: the window is gone before a release could reach it.
stop_with keys xdotool keydown --window "$window" Escape
check_picture quit

listed=$(triangle_lines keys)
[ -n "$listed" ] || fail "no triangle lines between the listing and the statistics"
[ -z "$(sort <<<"$listed" | uniq -d)" ] || fail "more than one frame was listed after one P"
! grep -qv $'\t' <<<"$listed" || fail "a line between listing and statistics is no triangle line"
[ "$(wc -l <"$work/keys.err")" -eq 1 ] && grep -q '^Keys: ' "$work/keys.err" ||
    fail "stderr should hold the one line of keys, got: $(cat "$work/keys.err")"

# --- Run 2: a volume, its overlay and its iso keys ---
# A ball of radius 16 as a NRRD file in text samples (value 100 at the
# surface, 4 more per unit inwards), its z step 1.5.
ball=$work/ball.nrrd
printf 'NRRD0004\ntype: float\ndimension: 3\nsizes: 48 40 32\nspacings: 1 1 1.5\nencoding: ascii\n\n' >"$ball"
awk 'BEGIN {
    for (k = 0; k < 32; k++) for (j = 0; j < 40; j++) for (i = 0; i < 48; i++) {
        x = i - 23.5; y = j - 19.5; z = (k - 15.5) * 1.5
        print 100 + 4 * (16 - sqrt(x * x + y * y + z * z))
    } }' >>"$ball"
readonly overlay_text='r >= 200 && g >= 200 && b <= 120' # the overlay's yellow
# overlay_pixels NAME: the overlay's pixels in the top-left corner of NAME.png.
overlay_pixels() {
    convert "$work/$1.png" -crop 200x110+0+0 +repage "$work/$1-corner.png"
    count_pixels "$1-corner" "$overlay_text"
}
has_overlay() {
    screenshot "$1" && [ "$(overlay_pixels "$1")" -ge 100 ]
}
has_no_overlay() {
    screenshot "$1" && [ "$(overlay_pixels "$1")" -eq 0 ]
}
iso_lines() {
    [ "$(grep -c '^Iso value: ' "$work/volume.err")" -eq "$1" ]
}
start_program volume --volume "$ball" --screenshot "$work/volume-quit.png"
wait_for_window
wait_until "the overlay over the volume" has_overlay overlaid
press o
wait_until "O to hide the overlay" has_no_overlay bare
for step in 1 2 3; do
    press minus
    wait_until "iso step $step on stderr" iso_lines "$step"
done
wait_until "the surface to change after -" differs_from bare lowered
press i
wait_until "the reset on stderr" iso_lines 4
same_as_bare() {
    screenshot reset && [ "$(compare -metric AE "$work/bare.png" "$work/reset.png" null: 2>&1)" = 0 ]
}
wait_until "I to restore the start picture" same_as_bare
stop_with volume xdotool keydown --window "$window" Escape
check_picture volume-quit
grep -q '^Keys: .*-/+ iso value' "$work/volume.err" || fail "no volume key line: $(cat "$work/volume.err")"
awk 'function near(a, b) { return a - b < 1e-3 && b - a < 1e-3 }
     /^Iso value: / { v[++n] = $3 } END {
        step = v[1] - v[2]
        exit !(n == 4 && step > 0 && near(v[3], v[2] - step) && near(v[4], v[1] + step)) }' "$work/volume.err" ||
    fail "the iso values do not step evenly and return: $(grep Iso "$work/volume.err")"
# --- Run 3: a window manager's close request ---
openbox >/dev/null 2>&1 &
pids+=($!)
wait_until "the window manager" wmctrl -m >/dev/null 2>&1
start_program close
wait_for_window

outer_size() {
    local extents width height left right top bottom
    extents=$(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | grep -oE '[0-9]+, [0-9]+, [0-9]+, [0-9]+') || return 1
    read -r width height < <(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
    IFS=', ' read -r left right top bottom <<<"$extents"
    [ "$((width + left + right))x$((height + top + bottom))" = 800x600 ]
}
wait_until "an outer size of 800x600 with decorations" outer_size
stop_with close wmctrl -c "$title"
[ -z "$(triangle_lines close)" ] || fail "close request: triangles listed without P"

finish "windowed end-to-end"
