#!/usr/bin/env bash
# Every kind of bad command line, against the built program: the first line
# on stderr names the problem (and the offending text), the usage follows,
# the exit code is 2, stdout stays empty and nothing is written anywhere.
# Each case runs in an empty directory of its own with no display and a time
# limit, so a command line taken for a good one fails instead of running.
# Usage: cli_test.sh path/to/marching-cubes
set -euo pipefail
program=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
readonly time_limit=20 # seconds; a usage error answers at once
failures=0
cases=0

fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# bad FRAGMENT ARGUMENT...: the command line must be refused with a first
# line that contains FRAGMENT.
bad() {
    local fragment=$1
    shift
    local name="'$*'"
    local dir="$work/case$cases"
    cases=$((cases + 1))
    mkdir "$dir"
    local status=0
    (cd "$dir" && exec env -u DISPLAY -u WAYLAND_DISPLAY timeout "$time_limit" \
        "$program" "$@" >"$work/out" 2>"$work/err") || status=$?
    [ "$status" -eq 2 ] || fail "$name exited $status, not 2"
    [ ! -s "$work/out" ] || fail "$name wrote to stdout: $(head -c 200 "$work/out")"
    local problem
    problem=$(sed -n 1p "$work/err")
    [[ "$problem" == "marching-cubes: "* ]] || fail "$name: first line is not the problem: $problem"
    [[ "$problem" == *"$fragment"* ]] || fail "$name: '$problem' does not name $fragment"
    sed -n 2p "$work/err" | grep -q '^Usage: marching-cubes ' || fail "$name: no usage after the problem"
    [ -z "$(ls -A "$dir")" ] || fail "$name left files behind: $(ls -A "$dir")"
}

# --- Unknown options and stray arguments ---
bad 'unknown option "--bogus"' --bogus
bad 'unknown option "-x"' -x
bad 'unknown option "--Headless"' --Headless --frames 1
bad 'unexpected argument "stray"' stray
bad 'unexpected argument ""' ""
bad 'unknown option "--bogus"' --headless --frames 1 --bogus

# --- Missing, attached and repeated values ---
bad '--frames needs a value' --frames
bad '--press needs a value' --headless --frames 1 --press
bad '--headless takes no value' --headless=1 --frames 1
bad '--help takes no value' --help=x
bad '--frames is given more than once' --headless --frames 1 --frames 2
bad '--headless is given more than once' --headless --headless --frames 1

# --- Malformed and out-of-range frame counts ---
bad '"x" is not a whole number' --frames x
bad '"" is not a whole number' --frames=
bad '"-1" is not a whole number' --frames -1
bad '"+3" is not a whole number' --frames +3
bad '"1.5" is not a whole number' --frames 1.5
bad '"1000000001" is out of range' --headless --frames 1000000001
bad '"99999999999999999999" is out of range' --headless --frames 99999999999999999999

# --- Key presses ---
bad 'unknown key "Home"' --headless --frames 3 --press 2:Home
bad 'unknown key ""' --headless --frames 3 --press 2:
bad '"2P" is not FRAME:KEY' --headless --frames 3 --press 2P
bad '"" is not FRAME:KEY' --headless --frames 3 --press 1:P,
bad 'frame "0"' --headless --frames 1 --press 0:P
bad 'frame ""' --headless --frames 3 --press :P
bad 'frame "x"' --headless --frames 3 --press x:P
bad 'frame 4 comes after the last frame' --headless --frames 3 --press 4:P
bad 'frame 4 comes after the last frame' --headless --frames 3 --press 1:P --press 4:A

# --- Combinations ---
bad '--headless needs --frames' --headless
bad '--headless needs --frames' --headless --press 1:P

# --- Grid size ---
bad '--grid: "x" is not a whole number' --headless --frames 1 --grid x
bad '--grid: "" is not a whole number' --headless --frames 1 --grid=
bad '--grid: "-3" is not a whole number' --headless --frames 1 --grid -3
bad '--grid: "1" is out of range' --headless --frames 1 --grid 1
bad '--grid: "257" is out of range' --headless --frames 1 --grid 257
bad '--grid needs a value' --headless --frames 1 --grid

# --- Files to write: refused before anything runs, so none appears ---
bad '"out.txt" does not end in .obj, .ply or .stl' --headless --frames 1 --export out.txt
bad '"out" does not end in .obj, .ply or .stl' --headless --frames 1 --export out
bad '"" does not end in .obj, .ply or .stl' --headless --frames 1 --export=
bad '"dir.obj/" does not end in .obj, .ply or .stl' --headless --frames 1 --export dir.obj/
bad '--export is given more than once' --headless --frames 1 --export a.obj --export b.obj
bad '"shot.jpg" does not end in .png' --frames 1 --screenshot shot.jpg
bad '--screenshot needs a window' --headless --frames 1 --screenshot shot.png
bad '--screenshot needs at least one frame' --frames 0 --screenshot shot.png
bad 'unknown option "--bogus"' --headless --frames 1 --export out.obj --bogus
bad '--grid: "1" is out of range' --headless --frames 1 --export out.stl --grid 1
bad 'frame 2 comes after the last frame' --frames 1 --screenshot shot.png --press 2:P
bad '--timing takes no value' --headless --frames 1 --timing=1

echo "$cases bad command lines checked"
if [ "$failures" -gt 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "command-line checks passed"
