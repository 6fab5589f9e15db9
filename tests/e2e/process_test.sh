#!/usr/bin/env bash
# The built program as a process, headless: a stdout that cannot be written
# (a full device, a closed descriptor) fails the run once everything else is
# done; SIGINT, SIGTERM and SIGHUP end it as closing the window does, with
# the statistics and the export and no listing cut short, unless the signal
# was ignored at start; a file past the file-size limit fails like any
# failed write; a path with a control character is named on one line.
# Usage: process_test.sh path/to/marching-cubes
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY

# expect_one_line NAME CODE LINE: the run exited CODE with one line on
# stderr, which the glob LINE matches.
expect_one_line() {
    [ "$status" -eq "$2" ] || fail "$1: exit code $status, not $2"
    # shellcheck disable=SC2053 # $3 is a glob
    [ "$(wc -l <"$work/$1.err")" -eq 1 ] && [[ "$(cat "$work/$1.err")" == $3 ]] ||
        fail "$1: stderr holds: $(cat "$work/$1.err")"
}

# --- A stdout that cannot be written ---
readonly stdout_failed='marching-cubes: cannot write the standard output*'
status=0
timeout "$wait_limit" "$program" --headless --frames 3 --press 2:P --export "$work/full.obj" \
    >/dev/full 2>"$work/full.err" || status=$?
expect_one_line full 1 "$stdout_failed"
grep -q '^f ' "$work/full.obj" || fail "full stdout: the export was not written"
status=0
timeout "$wait_limit" "$program" --headless --frames 3 >&- 2>"$work/closed.err" || status=$?
expect_one_line closed 1 "$stdout_failed"
status=0
timeout "$wait_limit" "$program" --help >/dev/full 2>"$work/help.err" || status=$?
expect_one_line help 1 "$stdout_failed"

# --- Quit signals ---
# A triangle line: three vertices of three coordinates, separated by a blank and a tab.
readonly number='-?[0-9]+\.[0-9]{2}'
readonly vertex="$number $number $number"
readonly triangle_line="^$vertex \\t$vertex \\t$vertex\$"
# P before each of the first frames, so the signal most likely lands in a listing.
presses=$(seq -s, -f '%g:P' 1 200)

# start_endless NAME [PREFIX...]: a run without end, started through PREFIX,
# exporting into a directory of its own, once it lists triangles.
start_endless() {
    local name=$1
    shift
    mkdir "$work/$name"
    "$@" "$program" --headless --frames 1000000000 --press "$presses" \
        --export "$work/$name/surface.obj" </dev/null >"$work/$name.out" 2>"$work/$name.err" &
    program_pid=$!
    pids+=("$program_pid")
    wait_for_line "$work/$name.out" $'\t' "a triangle line" "$program_pid"
}

# check_quit NAME: the run ended as a quit does: exit code 0, whole triangle
# lines, the statistics, the export and nothing else beside it.
check_quit() {
    wait_for_exit "$program_pid"
    [ "$status" -eq 0 ] || fail "$1: exit code $status"
    [ ! -s "$work/$1.err" ] || fail "$1: stderr holds: $(cat "$work/$1.err")"
    check_statistics "$1"
    ! triangle_lines "$1" | grep -qvE "$triangle_line" ||
        fail "$1: a cut line: $(triangle_lines "$1" | grep -vE "$triangle_line" | head -n 1)"
    grep -q '^f ' "$work/$1/surface.obj" || fail "$1: no exported surface"
    [ "$(ls -A "$work/$1")" = surface.obj ] || fail "$1: left $(ls -A "$work/$1")"
}

for signal in INT TERM HUP; do
    # A background job ignores SIGINT unless told otherwise.
    start_endless "$signal" env --default-signal="$signal"
    kill -s "$signal" "$program_pid"
    check_quit "$signal"
done
# nohup's ignored SIGHUP stays ignored, so SIGTERM is the first quit signal,
# not a second one that would end the run at once.
start_endless nohup nohup
kill -s HUP "$program_pid"
kill -s TERM "$program_pid"
check_quit nohup

# --- The file-size limit ---
# 64 KiB: room for stdout, not for the export.
mkdir "$work/limited"
status=0
(ulimit -f 64 && exec timeout "$wait_limit" "$program" --headless --frames 3 \
    --export "$work/limited/surface.obj") >"$work/limited.out" 2>"$work/limited.err" || status=$?
expect_one_line limited 1 "marching-cubes: cannot write $work/limited/surface.obj: File too large"
check_statistics limited
[ -z "$(ls -A "$work/limited")" ] || fail "file-size limit: left $(ls -A "$work/limited")"

# --- A path with a control character ---
status=0
timeout "$wait_limit" "$program" --headless --frames 1 --export "$work/no"$'\n'"such/a.obj" \
    >"$work/newline.out" 2>"$work/newline.err" || status=$?
# A glob: \\\\ in double quotes matches one backslash.
expect_one_line newline 1 "marching-cubes: cannot write $work/no\\\\nsuch/a.obj: No such file or directory"
finish "process end-to-end"
