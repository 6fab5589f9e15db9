#!/usr/bin/env bash
# The program as a process, headless: a stdout it cannot write, quit signals
# (and one ignored at start), the file-size and address-space limits.
# Usage: process_test.sh path/to/marching-cubes
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY

stdout=/dev/full run full --headless --frames 3 --press 2:P --export "$work/full.obj"
expect full 1 'marching-cubes: cannot write the standard output*'
grep -q '^f ' "$work/full.obj" || fail "full stdout: the export was not written"
stdout=/dev/full run help --help
expect help 1 'marching-cubes: cannot write the standard output*'

# --- Quit signals, most likely landing in a listing: P before each of the first frames ---
readonly vertex='-?[0-9]+\.[0-9]{2} -?[0-9]+\.[0-9]{2} -?[0-9]+\.[0-9]{2}'
readonly triangle_line="^$vertex "$'\t'"$vertex "$'\t'"$vertex\$"

# quit_by NAME SIGNAL...: an endless run sent each SIGNAL as it lists ends as
# a quit does: exit code 0, whole lines, the statistics and the export alone.
quit_by() {
    mkdir "$work/$1"
    start "$1" --headless --frames 1000000000 --press "$(seq -s, -f '%g:P' 1 200)" --export "$work/$1/surface.obj"
    wait_for_line "$1.out" $'\t' "a triangle line"
    for signal in "${@:2}"; do
        kill -s "$signal" "$program_pid"
    done
    ended "$1" 0
    [ -z "$(errors "$1")" ] || fail "$1: stderr holds: $(cat "$work/$1.err")"
    ! triangle_lines "$1" | grep -vE "$triangle_line" || fail "$1: a cut line (above)"
    [ "$(ls -A "$work/$1")" = surface.obj ] && grep -q '^f ' "$work/$1/surface.obj" || fail "$1: no export alone"
}
# A background job ignores SIGINT unless told otherwise.
for signal in INT TERM HUP; do
    launcher="env --default-signal=$signal" quit_by "$signal" "$signal"
done
# SIGHUP ignored by nohup stays ignored: SIGTERM is the first quit signal, not a second.
launcher=nohup quit_by nohup HUP TERM

# --- 64 KiB of file size: room for stdout, not for the export ---
mkdir "$work/limited"
(ulimit -f 64 && run limited --headless --frames 3 --export "$work/limited/surface.obj" && exit "$status") && status=0 || status=$?
expect limited 1 "marching-cubes: cannot write $work/limited/surface.obj: File too large"
check_statistics limited
[ -z "$(ls -A "$work/limited")" ] || fail "file-size limit: left $(ls -A "$work/limited")"
# Sanitizers need more address space than the limits below, and a thread
# of their own to check for leaks at exit.
[[ "$(ldd "$program")" != *libasan* ]] || { finish "process end-to-end" && exit 0; }

# has_statistics NAME: stdout ends with the statistics, though a failed frame may have counted no cell.
has_statistics() { tail -n 2 "$work/$1.out" | head -n 1 | grep -qE '^casesOk:[0-9]+'$'\t''casesEmpty:0$'; }

# --- Address space for the grid but not always for a frame's mesh or threads ---
# Every run ends as a quit does: the statistics, then one line per failure
# (the frame's, the export's), exit code 1; or it succeeds.
frame_failures=0
for kib in 90000 100000 110000 125000; do
    (ulimit -v "$kib" && run oom --headless --frames 1 --grid 256 --draw arrays --threads 2 \
        --export "$work/oom.ply" && exit "$status") && status=0 || status=$?
    has_statistics oom || fail "$kib KiB: no usage statistics at the end of stdout"
    [ "$status" -eq "$([ -n "$(errors oom)" ] && echo 1 || echo 0)" ] ||
        fail "$kib KiB: exit code $status with stderr: $(head -c 300 "$work/oom.err")"
    ! errors oom | grep -vE '^marching-cubes: (not enough memory for the frame|cannot start a thread for the frame: .*|cannot write .*: Cannot allocate memory)$' ||
        fail "$kib KiB: an unexpected line (above)"
    grep -q 'for the frame' "$work/oom.err" && frame_failures=$((frame_failures + 1))
done
[ "$frame_failures" -gt 0 ] || fail "no address-space limit made a frame fail"

# --- No process to spare for a thread (ulimit -u): the same, with the export written ---
chmod 0711 "$work"
mkdir -m 0777 "$work/threads"
(ulimit -u 1 && exec "${as_user[@]}" "$program" --headless --frames 2 --draw arrays --threads 2 \
    --export "$work/threads/surface.ply" >"$work/threads.out" 2>"$work/threads.err") && status=0 || status=$?
expect threads 1 'marching-cubes: cannot start a thread for the frame: *'
has_statistics threads || fail "ulimit -u: no usage statistics at the end of stdout"
grep -q '^element face' "$work/threads/surface.ply" || fail "ulimit -u: no export"
finish "process end-to-end"
