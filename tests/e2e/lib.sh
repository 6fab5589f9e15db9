# Sourced by the end-to-end scripts that need a display: a private work
# directory, bounded waits, an Xvfb display of its own, the program's window
# and pixel counts over screenshots. Everything started through `pids` is
# stopped, and the work directory removed, when the script exits.
# Expects `program` to hold the path of the built program.

work=$(mktemp -d)
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

readonly title="Marching cubes"
readonly wait_limit=60 # seconds for any one thing to happen
export LIBGL_ALWAYS_SOFTWARE=1

die() {
    echo "FAIL: $*" >&2
    exit 1
}

# wait_until DESCRIPTION COMMAND...: polls COMMAND until it succeeds.
wait_until() {
    local description=$1
    shift
    local deadline=$((SECONDS + wait_limit))
    until "$@"; do
        [ "$SECONDS" -lt "$deadline" ] || die "timed out waiting for $description"
        sleep 0.2
    done
}

start_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    pids+=($!)
    wait_until "Xvfb to report its display" test -s "$work/display"
    export DISPLAY=":$(head -n 1 "$work/display")"
    wait_until "the display to answer" xdpyinfo >/dev/null 2>&1
}

find_window() {
    window=$(xdotool search --onlyvisible --name "^${title}\$" 2>/dev/null | head -n 1)
    [ -n "$window" ]
}

# count_pixels NAME CONDITION: pixels of NAME.png in the work directory for
# which the awk CONDITION over r, g, b (0 to 255) and their max and min holds.
count_pixels() {
    convert "$work/$1.png" -depth 8 txt:- | awk -F'[(,)]' 'NR > 1 {
        r = $3 + 0; g = $4 + 0; b = $5 + 0
        max = r > g ? r : g; max = max > b ? max : b
        min = r < g ? r : g; min = min < b ? min : b
        if ('"$2"') n++
    } END { print n + 0 }'
}

# The lit surface is tinted by the red, green, blue and grey lights; unlit it
# shows its plain 0.9 grey. The axes are pure red, green and blue.
readonly tinted='max >= 60 && max - min >= 30'
readonly plain_grey='r == g && g == b && r >= 225 && r <= 235'
readonly pure_red='r >= 200 && g <= 20 && b <= 20'
readonly pure_green='g >= 200 && r <= 20 && b <= 20'
readonly pure_blue='b >= 200 && r <= 20 && g <= 20'
