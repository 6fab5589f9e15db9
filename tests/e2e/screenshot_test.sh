#!/usr/bin/env bash
# --screenshot of the built program in a real window on its own Xvfb display:
# after --frames N and after the user quits with Escape, the PNG has the
# window's size and shows the lit surface and the three axis colours; stdout
# is exactly what the same frames print headless; an unwritable target fails
# with exit code 1 and leaves nothing behind.
# Usage: screenshot_test.sh path/to/marching-cubes
set -euo pipefail
program=$1
source "$(dirname "$0")/lib.sh"

readonly frames=5
readonly enough_surface=2000 # tinted pixels in the middle of the picture
readonly enough_axis=20      # pixels of each axis colour

# run NAME ARGS...: the program, bounded in time, with stdout in NAME.out,
# stderr in NAME.err and its exit code in $status.
run() {
    local name=$1
    shift
    status=0
    timeout "$wait_limit" "$program" "$@" >"$work/$name.out" 2>"$work/$name.err" || status=$?
}

# check_picture NAME: NAME.png is 800x600, the lit surface fills its middle,
# and each axis shows in its colour.
check_picture() {
    local size middle colour count
    size=$(identify -format '%wx%h' "$work/$1.png") || die "$1.png is no image"
    [ "$size" = 800x600 ] || die "$1.png is $size, not the window's 800x600"
    convert "$work/$1.png" -crop 400x300+200+150 +repage "$work/$1-middle.png"
    middle=$(count_pixels "$1-middle" "$tinted")
    [ "$middle" -ge "$enough_surface" ] || die "$1.png: only $middle surface pixels in the middle"
    for colour in pure_red pure_green pure_blue; do
        count=$(count_pixels "$1" "${!colour}")
        [ "$count" -ge "$enough_axis" ] || die "$1.png: the $colour axis shows in $count pixels"
    done
}

# The window already shows a frame of the surface.
shows_surface() {
    import -window "$window" "png:$work/shown.png" 2>/dev/null &&
        [ "$(count_pixels shown "$tinted")" -ge "$enough_surface" ]
}

start_display
"$program" --headless --frames "$frames" >"$work/headless.out"

# --- After the last of --frames N ---
run frames --frames "$frames" --screenshot "$work/frames.png"
[ "$status" -eq 0 ] || die "--frames run exited $status: $(cat "$work/frames.err")"
cmp -s "$work/headless.out" "$work/frames.out" || die "--screenshot changed stdout"
[ "$(wc -l <"$work/frames.err")" -eq 1 ] || die "stderr holds more than the keys: $(cat "$work/frames.err")"
check_picture frames

# --- When the user quits ---
"$program" --screenshot "$work/quit.PNG" >"$work/quit.out" 2>"$work/quit.err" &
program_pid=$!
pids+=("$program_pid")
wait_until "the window" find_window
wait_until "the surface on screen" shows_surface
xdotool keydown --window "$window" Escape
status=0
wait "$program_pid" || status=$?
[ "$status" -eq 0 ] || die "Escape: exit code $status"
mv "$work/quit.PNG" "$work/quit.png"
check_picture quit

# --- An unwritable target ---
run missing --frames 1 --screenshot "$work/missing/shot.png"
[ "$status" -eq 1 ] || die "missing directory: exit code $status, not 1"
grep -q '^casesOk:' "$work/missing.out" || die "missing directory: no statistics"
grep -qx "marching-cubes: cannot write $work/missing/shot.png: No such file or directory" \
    "$work/missing.err" || die "missing directory: $(cat "$work/missing.err")"
[ ! -e "$work/missing" ] || die "missing directory: something was created"

echo "screenshot end-to-end checks passed"
