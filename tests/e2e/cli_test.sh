#!/usr/bin/env bash
# Each line of bad_command_lines.txt (problem | arguments as in the shell), run in an
# empty directory: exit code 2, the problem, the usage, nothing on stdout or on disk.
# Usage: cli_test.sh path/to/marching-cubes
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/lib.sh"
unset DISPLAY WAYLAND_DISPLAY

while IFS='|' read -r fragment arguments; do
    eval "args=($arguments)"
    name="'${args[*]}'"
    directory=$(mktemp -d -p "$work")
    (cd "$directory" && run case "${args[@]}" && exit "$status") && status=0 || status=$?
    [ "$status" -eq 2 ] || fail "$name exited $status, not 2"
    [ ! -s "$work/case.out" ] || fail "$name wrote to stdout: $(head -c 200 "$work/case.out")"
    [[ "$(sed -n 1p "$work/case.err")" == "marching-cubes: "*"${fragment% }"* ]] ||
        fail "$name: '$(sed -n 1p "$work/case.err")' does not name ${fragment% }"
    sed -n 2p "$work/case.err" | grep -q '^Usage: marching-cubes ' || fail "$name: no usage after the problem"
    [ -z "$(ls -A "$directory")" ] || fail "$name left files behind"
done <"$(dirname "$0")/bad_command_lines.txt"
finish "command-line"
