#!/usr/bin/env bash
# The built program in a real window on its own Xvfb display with Mesa's
# software renderer: real key presses through xdotool, screenshots checked
# pixel by pixel, and a close request from a real window manager.
# Every wait polls with a bound, so a slow machine takes longer but never
# passes or fails by luck.
# Usage: windowed_test.sh path/to/marching-cubes
set -euo pipefail
program=$1
source "$(dirname "$0")/lib.sh"

readonly enough_pixels=2000

# start_program NAME: runs the program with stdout in NAME.out, stderr in NAME.err.
start_program() {
    "$program" >"$work/$1.out" 2>"$work/$1.err" &
    program_pid=$!
    pids+=("$program_pid")
}

# wait_for_exit: the program's exit code in $exit_code.
wait_for_exit() {
    wait_until "the program to quit" program_has_quit
    exit_code=0
    wait "$program_pid" || exit_code=$?
}

program_has_quit() {
    ! kill -0 "$program_pid" 2>/dev/null
}

screenshot() {
    import -window "$window" "png:$work/$1.png" 2>/dev/null
}

# mostly PIXELS OTHERS NAME: at least enough_pixels of one kind, ten times
# as many as of the other.
mostly() {
    local wanted others
    wanted=$(count_pixels "$3" "$1")
    others=$(count_pixels "$3" "$2")
    [ "$wanted" -ge "$enough_pixels" ] && [ "$wanted" -ge $((10 * others)) ]
}

shows_lit_surface() {
    screenshot "$1" && mostly "$tinted" "$plain_grey" "$1"
}

shows_unlit_surface() {
    screenshot "$1" && mostly "$plain_grey" "$tinted" "$1"
}

differs_from() {
    screenshot "$2" &&
        [ "$(compare -metric AE "$work/$1.png" "$work/$2.png" null: 2>&1 || true)" != 0 ]
}

has_triangle_lines() {
    grep -q $'\t' "$work/$1.out"
}

press() {
    xdotool key --window "$window" "$1"
}

triangle_lines() {
    sed -n '/^case count:254$/,/^Usage stats:$/p' "$work/$1.out" | sed '1d;$d'
}

check_statistics() {
    tail -n 2 "$work/$1.out" | head -n 1 | grep -qE '^casesOk:[1-9][0-9]*'$'\t''casesEmpty:0$' ||
        die "$1: no usage statistics at the end of stdout"
}

# --- Run 1: keys ---
start_display
start_program keys
wait_until "the window" find_window
wait_until "the case table listing" grep -qx 'case count:254' "$work/keys.out"
[ "$(head -n 1 "$work/keys.out")" = "Vertex offset:" ] || die "stdout does not start with the listing"

wait_until "the lit surface" shows_lit_surface lit
[ "$(identify -format '%wx%h' "$work/lit.png")" = 800x600 ] || die "window is not 800x600"

# Pause first, so a second listed frame would repeat the first line for line.
press a
press p
wait_until "the listing of one frame" has_triangle_lines keys
press l
wait_until "the surface in plain grey after L" shows_unlit_surface unlit
for colour in pure_red pure_green pure_blue; do
    count=$(count_pixels unlit "${!colour}")
    [ "$count" -ge 20 ] || die "the $colour axis shows in only $count pixels"
done
press Left
wait_until "the view to turn after Left" differs_from unlit turned
press Prior
wait_until "the view to zoom after Page Up" differs_from turned zoomed
# Only the press: the window is gone before a release could reach it.
xdotool keydown --window "$window" Escape
wait_for_exit
[ "$exit_code" -eq 0 ] || die "Escape: exit code $exit_code"

listed=$(triangle_lines keys)
[ -n "$listed" ] || die "no triangle lines between the listing and the statistics"
[ -z "$(sort <<<"$listed" | uniq -d)" ] || die "more than one frame was listed after one P"
grep -qv $'\t' <<<"$listed" && die "a line between listing and statistics is no triangle line"
check_statistics keys
[ "$(wc -l <"$work/keys.err")" -eq 1 ] && grep -q '^Keys: ' "$work/keys.err" ||
    die "stderr should hold the one line of keys, got: $(cat "$work/keys.err")"

# --- Run 2: a window manager's close request ---
openbox >/dev/null 2>&1 &
pids+=($!)
wait_until "the window manager" wmctrl -m >/dev/null 2>&1
start_program close
wait_until "the managed window" find_window

outer_size() {
    local extents width height
    extents=$(xprop -id "$window" _NET_FRAME_EXTENTS 2>/dev/null | grep -oE '[0-9]+, [0-9]+, [0-9]+, [0-9]+') || return 1
    read -r width height < <(xwininfo -id "$window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w, h }')
    IFS=', ' read -r left right top bottom <<<"$extents"
    [ "$((width + left + right))x$((height + top + bottom))" = 800x600 ]
}
wait_until "an outer size of 800x600 with decorations" outer_size
wmctrl -c "$title"
wait_for_exit
[ "$exit_code" -eq 0 ] || die "close request: exit code $exit_code"
[ -z "$(triangle_lines close)" ] || die "close request: triangles listed without P"
check_statistics close

echo "windowed end-to-end checks passed"
