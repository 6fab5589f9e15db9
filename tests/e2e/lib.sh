# Sourced by the end-to-end scripts: a private work directory, failure
# counting, runs of the program with their output kept, bounded waits and,
# for the windowed scripts, an Xvfb display of its own, the program's window
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
# Seconds for any one thing to happen: waits end as soon as it does, so the
# limit is reached only when something is stuck, however slow the machine.
readonly wait_limit=120
export LIBGL_ALWAYS_SOFTWARE=1
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

die() {
    fail "$@"
    exit 1
}

# finish WHAT: the script's verdict.
finish() {
    [ "$failures" -eq 0 ] || die "$failures check(s) failed"
    echo "$1 checks passed"
}

# run NAME ARGS...: the program, bounded in time, with stdout in NAME.out,
# stderr in NAME.err and its exit code in $status.
run() {
    local name=$1
    shift
    status=0
    timeout "$wait_limit" "$program" "$@" >"$work/$name.out" 2>"$work/$name.err" || status=$?
}

# The triangle lines NAME.out lists between the table and the statistics.
triangle_lines() {
    sed -n '/^case count:254$/,/^Usage stats:$/p' "$work/$1.out" | sed '1d;$d'
}

# NAME.out ends with statistics of a surface the table fully covers.
check_statistics() {
    tail -n 2 "$work/$1.out" | head -n 1 | grep -qE '^casesOk:[1-9][0-9]*'$'\t''casesEmpty:0$' ||
        fail "$1: no usage statistics at the end of stdout"
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

# wait_for_line FILE PATTERN DESCRIPTION [PID]: returns as soon as a line of
# FILE matches the extended regular expression PATTERN (tail follows the file
# as it grows); fails after wait_limit, or when process PID ends without it.
wait_for_line() {
    local file=$1 pattern=$2 description=$3 pid=${4:-} lines follower found=0
    exec {lines}< <(exec timeout "$wait_limit" tail -n +1 -F ${pid:+--pid="$pid"} "$file" 2>/dev/null)
    follower=$!
    grep -m 1 -qE -- "$pattern" <&"$lines" && found=1
    kill "$follower" 2>/dev/null || true
    exec {lines}<&-
    [ "$found" -eq 1 ] || die "never saw $description"
}

# wait_for_exit PID: waits for PID, a child of this shell, to end and sets
# $status to its exit code; one still running after wait_limit is killed.
wait_for_exit() {
    local timer ended=""
    sleep "$wait_limit" </dev/null >/dev/null 2>&1 &
    timer=$!
    status=0
    wait -n -p ended "$1" "$timer" || status=$?
    if [ "$ended" != "$1" ]; then
        kill -KILL "$1" 2>/dev/null || true
        die "process $1 did not end within $wait_limit s"
    fi
    kill "$timer" 2>/dev/null || true
}

start_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    display_pid=$!
    pids+=("$display_pid")
    wait_until "Xvfb to report its display" test -s "$work/display"
    export DISPLAY=":$(head -n 1 "$work/display")"
    wait_until "the display to answer" xdpyinfo >/dev/null 2>&1
}

# wait_for_window: sets $window to the program's window once it is shown.
wait_for_window() {
    window=$(timeout "$wait_limit" xdotool search --sync --onlyvisible --name "^${title}\$" 2>/dev/null |
        head -n 1) || true
    [ -n "$window" ] || die "timed out waiting for the window"
}

screenshot() {
    import -window "$window" "png:$work/$1.png" 2>/dev/null
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
readonly axis_colours=('r >= 200 && g <= 20 && b <= 20' 'g >= 200 && r <= 20 && b <= 20'
    'b >= 200 && r <= 20 && g <= 20')
readonly enough_axis=20       # pixels of each axis colour
readonly enough_surface=2000 # tinted pixels in the middle of a lit picture

check_axes() {
    local colour count
    for colour in "${axis_colours[@]}"; do
        count=$(count_pixels "$1" "$colour")
        [ "$count" -ge "$enough_axis" ] || fail "$1.png: the axis of '$colour' shows in $count pixels"
    done
}

# check_surface_picture NAME: NAME.png is 800x600 and the lit surface fills
# its middle.
check_surface_picture() {
    local size middle
    size=$(identify -format '%wx%h' "$work/$1.png") || die "$1.png is no image"
    [ "$size" = 800x600 ] || fail "$1.png is $size, not the window's 800x600"
    convert "$work/$1.png" -crop 400x300+200+150 +repage "$work/$1-middle.png"
    middle=$(count_pixels "$1-middle" "$tinted")
    [ "$middle" -ge "$enough_surface" ] || fail "$1.png: only $middle surface pixels in the middle"
}

# check_picture NAME: as check_surface_picture, and each axis shows in its
# colour (the blobs may hide them in later frames).
check_picture() {
    check_surface_picture "$1"
    check_axes "$1"
}
