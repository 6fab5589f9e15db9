#!/usr/bin/env bash
# Every kind of bad command line, against the built program: the first line
# on stderr names the problem (and the offending text), the usage follows,
# the exit code is 2, stdout stays empty and nothing is written anywhere.
# Each case runs in an empty directory of its own with no display and a time
# limit, so a command line taken for a good one fails instead of running.
# Usage: cli_test.sh path/to/marching-cubes
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY

# Each line: the text the problem line must hold | the arguments, quoted as
# in the shell.
cases=0
while IFS='|' read -r fragment arguments; do
    fragment=${fragment% }
    eval "args=($arguments)"
    cases=$((cases + 1))
    name="'${args[*]}'"
    mkdir "$work/case$cases"
    status=0
    (cd "$work/case$cases" && run case "${args[@]}" && exit "$status") || status=$?
    [ "$status" -eq 2 ] || fail "$name exited $status, not 2"
    [ ! -s "$work/case.out" ] || fail "$name wrote to stdout: $(head -c 200 "$work/case.out")"
    problem=$(sed -n 1p "$work/case.err")
    [[ "$problem" == "marching-cubes: "*"$fragment"* ]] || fail "$name: '$problem' does not name $fragment"
    sed -n 2p "$work/case.err" | grep -q '^Usage: marching-cubes ' || fail "$name: no usage after the problem"
    [ -z "$(ls -A "$work/case$cases")" ] || fail "$name left files behind"
done <<'TABLE'
unknown option "--bogus" | --bogus
unknown option "--Headless" | --Headless --frames 1
unexpected argument "stray" | stray
unexpected argument "" | ""
--frames needs a value | --frames
--press needs a value | --headless --frames 1 --press
--grid needs a value | --headless --frames 1 --grid
--headless takes no value | --headless=1 --frames 1
--timing takes no value | --headless --frames 1 --timing=1
--frames is given more than once | --headless --frames 1 --frames 2
--export is given more than once | --headless --frames 1 --export a.obj --export b.obj
"x" is not a whole number | --frames x
"" is not a whole number | --frames=
"-1" is not a whole number | --frames -1
"+3" is not a whole number | --frames +3
" 3" is not a whole number | --frames " 3"
"1.5" is not a whole number | --frames 1.5
"1000000001" is out of range | --headless --frames 1000000001
"99999999999999999999" is out of range | --headless --frames 99999999999999999999
unknown key "Home" | --headless --frames 3 --press 2:Home
unknown key "" | --headless --frames 3 --press 2:
"2P" is not FRAME:KEY | --headless --frames 3 --press 2P
"" is not FRAME:KEY | --headless --frames 3 --press 1:P,
frame "0" | --headless --frames 1 --press 0:P
frame "x" | --headless --frames 3 --press x:P
frame 4 comes after the last frame | --headless --frames 3 --press 1:P --press 4:A
--headless needs --frames | --headless
--grid: "1" is out of range | --headless --frames 1 --grid 1
--grid: "257" is out of range | --headless --frames 1 --grid 257
--grid: "x" is not a whole number | --headless --frames 1 --grid x
"out.txt" does not end in .obj, .ply or .stl | --headless --frames 1 --export out.txt
"out" does not end in .obj, .ply or .stl | --headless --frames 1 --export out
"dir.obj/" does not end in .obj, .ply or .stl | --headless --frames 1 --export dir.obj/
"shot.jpg" does not end in .png | --frames 1 --screenshot shot.jpg
--faces: "closed" is neither decider nor table | --headless --frames 1 --faces closed
--screenshot needs a window | --headless --frames 1 --screenshot shot.png
--screenshot needs at least one frame | --frames 0 --screenshot shot.png
unknown option "--bogus" | --headless --frames 1 --export out.obj --bogus
unknown option "--bo\ngus\x1b[2J" | $'--bo\ngus\e[2J'
"a\tb" is not a whole number | --frames $'a\tb'
--grid cannot be used with --volume | --headless --frames 1 --volume v_2x2x2_uint8.raw --grid 40
--iso, --dims and --type need --volume | --headless --frames 1 --iso 3
--iso, --dims and --type need --volume | --headless --frames 1 --type uint8
--volume needs a file name | --headless --frames 1 --volume=
--iso: "x" is not a finite number | --headless --frames 1 --volume v.raw --iso x
--iso: "inf" is not a finite number | --headless --frames 1 --volume v.raw --iso inf
--iso: "1e99" is not a finite number | --headless --frames 1 --volume v.raw --iso 1e99
--dims: "2,2" is not X,Y,Z | --headless --frames 1 --volume v.raw --dims 2,2 --type uint8
--dims: "0,2,2" is not X,Y,Z | --headless --frames 1 --volume v.raw --dims 0,2,2 --type uint8
--dims: "2,x,2" is not X,Y,Z | --headless --frames 1 --volume v.raw --dims 2,x,2 --type uint8
--dims: "2,2,2147483648" is not X,Y,Z | --headless --frames 1 --volume v.raw --dims 2,2,2147483648 --type uint8
--type: unknown sample type "int64" | --headless --frames 1 --volume v.raw --dims 2,2,2 --type int64
TABLE
echo "$cases bad command lines checked"
finish "command-line"
