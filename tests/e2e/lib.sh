# Sourced by the end-to-end scripts once `program` is set: a work directory,
# failure counting, bounded runs and waits, Xvfb and pixel counts.
work=$(mktemp -d)
pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; rm -rf "$work"' EXIT
readonly title="Marching cubes"
readonly wait_limit=120 # seconds; waits end once what they wait for happens
export LIBGL_ALWAYS_SOFTWARE=1
failures=0

# Root may write any file and start any number of processes, so where
# permissions or per-user limits matter, root runs the program as nobody
# (then $work must let nobody through: chmod 0711).
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)

fail() { echo "FAIL: $*" >&2 && failures=$((failures + 1)); }
die() { fail "$@" && exit 1; }
finish() { [ "$failures" -eq 0 ] && echo "$1 checks passed" || die "$failures check(s) failed"; }

# run NAME ARGS...: stdout in NAME.out (or $stdout), stderr in NAME.err, exit code in $status.
run() {
    status=0
    timeout "$wait_limit" "$program" "${@:2}" >"${stdout:-$work/$1.out}" 2>"$work/$1.err" || status=$?
}

# start NAME ARGS...: as run, in the background as $program_pid, through $launcher if set.
start() {
    # shellcheck disable=SC2086 # the launcher is a command line
    ${launcher:-} "$program" "${@:2}" </dev/null >"$work/$1.out" 2>"$work/$1.err" &
    program_pid=$!
    pids+=("$program_pid")
}

# errors NAME: the stderr lines of the run but the summary of an export.
errors() { grep -v '^Exported ' "$work/$1.err" || true; }

# expect NAME CODE GLOB: the run exited CODE with one line on stderr (beside
# an export's summary), matching GLOB.
expect() {
    [ "$status" -eq "$2" ] || fail "$1: exit code $status, not $2"
    # shellcheck disable=SC2053 # $3 is a glob
    [ "$(errors "$1" | wc -l)" -eq 1 ] && [[ "$(errors "$1")" == $3 ]] ||
        fail "$1: stderr holds: $(cat "$work/$1.err")"
}

triangle_lines() { sed -n '/^case count:254$/,/^Usage stats:$/p' "$work/$1.out" | sed '1d;$d'; }

check_statistics() {
    tail -n 2 "$work/$1.out" | head -n 1 | grep -qE '^casesOk:[1-9][0-9]*'$'\t''casesEmpty:0$' ||
        fail "$1: no usage statistics at the end of stdout"
}

# ended NAME CODE: the started run ends with exit code CODE and the statistics.
ended() {
    local timer finished=""
    sleep "$wait_limit" </dev/null >/dev/null 2>&1 &
    timer=$!
    status=0
    wait -n -p finished "$program_pid" "$timer" || status=$?
    [ "$finished" = "$program_pid" ] || { kill -KILL "$program_pid"; die "$1 did not end in time"; }
    kill "$timer"
    [ "$status" -eq "$2" ] || fail "$1: exit code $status, not $2"
    check_statistics "$1"
}

wait_until() {
    local deadline=$((SECONDS + wait_limit))
    until "${@:2}"; do
        [ "$SECONDS" -lt "$deadline" ] || die "timed out waiting for $1"
        sleep 0.2
    done
}

# wait_for_line FILE REGEX DESCRIPTION: fails if the started run ends before FILE has a line matching REGEX.
wait_for_line() {
    local lines follower found=0
    exec {lines}< <(exec timeout "$wait_limit" tail -n +1 -F --pid="$program_pid" "$work/$1" 2>/dev/null)
    follower=$!
    grep -m 1 -qE -- "$2" <&"$lines" && found=1
    kill "$follower" 2>/dev/null || true
    exec {lines}<&-
    [ "$found" -eq 1 ] || die "never saw $3"
}

start_display() {
    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
    display_pid=$!
    pids+=("$display_pid")
    wait_until "Xvfb to report its display" test -s "$work/display"
    export DISPLAY=":$(head -n 1 "$work/display")"
    wait_until "the display to answer" xdpyinfo >/dev/null 2>&1
}

wait_for_window() {
    window=$(timeout "$wait_limit" xdotool search --sync --onlyvisible --name "^${title}\$" | head -n 1) || true
    [ -n "$window" ] || die "timed out waiting for the window"
}

screenshot() { import -window "$window" "png:$work/$1.png" 2>/dev/null; }

# differing A B: how many pixels of A.png and B.png differ by more than 3%.
differing() { compare -metric AE -fuzz 3% "$work/$1.png" "$work/$2.png" null: 2>&1 || true; }

# settled CHECK NAME ARGS...: a new screenshot NAME, within 200 pixels of the
# one taken before it, passes CHECK NAME ARGS: a picture still changing
# (input still queued, a frame half drawn) is never the one checked. (A
# volume's outlines flicker in a hundred pixels or so from frame to frame.)
settled() {
    [ ! -e "$work/$2.png" ] || mv "$work/$2.png" "$work/$2-before.png"
    screenshot "$2" && [ -e "$work/$2-before.png" ] && [ "$(differing "$2" "$2-before")" -le 200 ] &&
        "$@"
}

# count_pixels NAME CONDITION: pixels of NAME.png meeting the awk CONDITION on r, g, b, max, min.
count_pixels() {
    convert "$work/$1.png" -depth 8 txt:- | awk -F'[(,)]' 'NR > 1 {
        r = $3 + 0; g = $4 + 0; b = $5 + 0
        max = r > g ? r : g; max = max > b ? max : b
        min = r < g ? r : g; min = min < b ? min : b
        if ('"$2"') n++
    } END { print n + 0 }'
}

readonly tinted='max >= 60 && max - min >= 30' # the lit surface, in the lights' tints
readonly plain_grey='r == g && g == b && r >= 225 && r <= 235' # the unlit surface

# check_surface_picture NAME: NAME.png is 800x600 with the lit surface in its middle.
check_surface_picture() {
    [ "$(identify -format '%wx%h' "$work/$1.png")" = 800x600 ] || fail "$1.png is no 800x600 image"
    convert "$work/$1.png" -crop 400x300+200+150 +repage "$work/$1-middle.png"
    [ "$(count_pixels "$1-middle" "$tinted")" -ge 2000 ] || fail "$1.png: too few surface pixels in the middle"
}

check_axes() {
    local colour
    for colour in 'r >= 200 && g <= 20 && b <= 20' 'g >= 200 && r <= 20 && b <= 20' 'b >= 200 && r <= 20 && g <= 20'; do
        [ "$(count_pixels "$1" "$colour")" -ge 20 ] || fail "$1.png: the axis of '$colour' shows too little"
    done
}

check_picture() { check_surface_picture "$1" && check_axes "$1"; }
