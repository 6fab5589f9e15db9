#!/usr/bin/env bash
# The build as a user meets it: it configures without Google Benchmark;
# `cmake --install` puts the program and its README under a prefix; CPack
# makes a .deb that declares its runtime packages, holds the same files under
# /usr and, as far as apt can tell without installing it, installs here.
# Usage: packaging_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(realpath "$1")
build_dir=$(realpath "$2")
source "$(dirname "$0")/lib.sh"

# check_program PATH: PATH is the built program and runs.
check_program() {
    [ "$("$1" --version)" = "$("$build_dir/marching-cubes" --version)" ] || fail "$1 does not run"
}

# --- Without Google Benchmark ---
cmake -S "$source_dir" -B "$work/no-benchmark" -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=TRUE \
    -DMC_BUILD_TESTS=OFF >"$work/no-benchmark.log" 2>&1 ||
    fail "no configuration without Google Benchmark: $(tail -n 5 "$work/no-benchmark.log")"
grep -qx 'MC_BUILD_BENCHMARKS:BOOL=OFF' "$work/no-benchmark/CMakeCache.txt" ||
    fail "benchmarks are on without Google Benchmark"

# --- cmake --install ---
cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
check_program "$work/prefix/bin/marching-cubes"
cmp -s "$source_dir/README.md" "$work/prefix/share/doc/marching-cubes/README.md" ||
    fail "the README is not in share/doc/marching-cubes"

# --- The Debian package ---
(cd "$work" && cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/package") \
    >"$work/cpack.log" 2>&1 || die "cpack failed: $(tail -n 5 "$work/cpack.log")"
deb=$(find "$work/package" -maxdepth 1 -name 'marching-cubes_*.deb')
[ -n "$deb" ] || die "no .deb: $(ls "$work/package")"
depends=$(dpkg-deb --field "$deb" Depends)
for package in libc6 libstdc++6 libglfw3 libpng16-16 libx11-6; do
    [[ ", $depends," == *", $package"[\ ,]* ]] || fail "the package does not depend on $package: $depends"
done
dpkg-deb --extract "$deb" "$work/unpacked"
check_program "$work/unpacked/usr/bin/marching-cubes"
[ -f "$work/unpacked/usr/share/doc/marching-cubes/README.md" ] || fail "no README in the package"
apt-get install --simulate "$deb" >"$work/apt.log" 2>&1 && grep -q '^Inst marching-cubes ' "$work/apt.log" ||
    fail "apt would not install the package: $(tail -n 5 "$work/apt.log")"
finish "packaging"
