#!/usr/bin/env bash
# The built program without a display: the scripted headless run, every bad
# command line, and the message given when no window can be opened.
# Usage: headless_test.sh path/to/marching-cubes
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# --- The scripted run: listing, frame 2's triangles, statistics ---
status=0
"$program" --headless --frames 3 --press 2:P >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 0 ] || fail "headless run exited $status"
[ ! -s "$work/err" ] || fail "headless run wrote to stderr: $(cat "$work/err")"
[ "$(head -n 1 "$work/out")" = "Vertex offset:" ] || fail "stdout does not start with the listing"
# Between the table's last line and the statistics stand only triangle lines.
number='-?[0-9]+\.[0-9]{2}'
triple="$number $number $number"
between=$(sed -n '/^case count:254$/,/^Usage stats:$/p' "$work/out" | sed '1d;$d')
[ -n "$between" ] || fail "no triangle lines after one P"
if grep -qvE "^${triple} "$'\t'"${triple} "$'\t'"${triple}\$" <<<"$between"; then
    fail "a line between listing and statistics is no triangle line"
fi
[ -z "$(sort <<<"$between" | uniq -d)" ] || fail "a triangle is listed twice: more than one frame"
tail -n 2 "$work/out" | head -n 1 | grep -qE '^casesOk:[1-9][0-9]*'$'\t''casesEmpty:0$' ||
    fail "statistics totals missing or empty"

# --- Without --press nothing is listed ---
"$program" --headless --frames 2 >"$work/quiet"
if grep -q $'\t' <(sed '/^Usage stats:$/,$d' "$work/quiet" | sed '1,/^case count:254$/d'); then
    fail "triangles listed without P"
fi

# --- Bad command lines: one line naming the problem, the usage, exit 2, empty stdout ---
bad_inputs=(
    "--bogus" "stray" "--frames" "--frames x" "--frames -1" "--frames 1000000001"
    "--headless" "--headless --frames 1 --press 0:P" "--press 2:Home --frames 3"
    "--press 2P --frames 3" "--frames 3 --press 4:P" "--headless=1 --frames 1"
)
for arguments in "${bad_inputs[@]}"; do
    status=0
    # shellcheck disable=SC2086  # each entry is a whole argument list
    "$program" $arguments >"$work/out" 2>"$work/err" || status=$?
    [ "$status" -eq 2 ] || fail "'$arguments' exited $status, not 2"
    [ ! -s "$work/out" ] || fail "'$arguments' wrote to stdout"
    sed -n 1p "$work/err" | grep -q '^marching-cubes: ' || fail "'$arguments': no problem line"
    sed -n 2p "$work/err" | grep -q '^Usage: ' || fail "'$arguments': no usage after the problem"
done

# --- No display: one line on stderr, exit 1 ---
status=0
env -u DISPLAY -u WAYLAND_DISPLAY "$program" --frames 1 >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 1 ] || fail "run without a display exited $status, not 1"
[ ! -s "$work/out" ] || fail "run without a display wrote to stdout"
[ "$(wc -l <"$work/err")" -eq 1 ] && grep -q -- '--headless' "$work/err" ||
    fail "run without a display: expected one line suggesting --headless, got: $(cat "$work/err")"

if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "headless end-to-end checks passed"
