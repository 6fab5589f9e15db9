#!/usr/bin/env bash
# The layering check passes on the tree and fails on each kind of include
# against the direction, injected into a copy of it.
#   tests/layering_test.sh ROOT
set -euo pipefail
root=$1
checker=$root/scripts/check-layers
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2 && failures=$((failures + 1)); }

"$checker" "$root" || fail "the tree itself breaks the layering"

# refused FILE LINE: with LINE added to FILE of a fresh copy, the check fails
# and names FILE.
refused() {
    rm -rf "$work/tree" && mkdir "$work/tree"
    (cd "$root" && git ls-files -z -- '*.cpp' '*.h' | xargs -0 cp --parents -t "$work/tree")
    echo "$2" >>"$work/tree/$1"
    if "$checker" "$work/tree" 2>"$work/err"; then
        fail "$1 with '$2' passed the check"
    elif ! grep -q "$1" "$work/err"; then
        fail "$1 with '$2': the report does not name the file: $(cat "$work/err")"
    fi
}

refused engine/topology.cpp '#include "field/scalar_grid.h"'
refused extract/crossing_cells.cpp '#include "render/gl_ops.h"'
refused render/overlay.cpp '#include "app/settings.h"'
refused field/scalar_grid.cpp '  #  include "extract/surface_mesh.h"'
refused extract/worker_pool.cpp '#include <GLFW/glfw3.h>'

[ "$failures" -eq 0 ] && echo "layering checks passed" || exit 1
