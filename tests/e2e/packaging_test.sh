#!/usr/bin/env bash
# The build as a user meets it: configured without Google Benchmark, installed
# by cmake --install, and packaged as a .deb that apt would install here.
# Usage: packaging_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(realpath "$1")
build_dir=$(realpath "$2")
source "$(dirname "$0")/lib.sh"

# installed ROOT: the program and the README under ROOT, as built.
installed() {
    [ "$("$1/bin/marching-cubes" --version)" = "$("$build_dir/marching-cubes" --version)" ] || fail "$1: no program"
    cmp -s "$source_dir/README.md" "$1/share/doc/marching-cubes/README.md" || fail "$1: no README"
}

cmake -S "$source_dir" -B "$work/no-benchmark" -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=TRUE \
    -DMC_BUILD_TESTS=OFF >"$work/no-benchmark.log" 2>&1 || fail "no configuration without Google Benchmark"
grep -qx 'MC_BUILD_BENCHMARKS:BOOL=OFF' "$work/no-benchmark/CMakeCache.txt" ||
    fail "benchmarks are on without Google Benchmark"

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
installed "$work/prefix"

(cd "$work" && cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work/package") >"$work/cpack.log" 2>&1 ||
    die "cpack failed: $(tail -n 5 "$work/cpack.log")"
deb=$(find "$work/package" -maxdepth 1 -name 'marching-cubes_*.deb')
for package in libc6 libstdc++6 libglfw3 libpng16-16 libx11-6; do
    [[ ", $(dpkg-deb --field "$deb" Depends)," == *", $package"[\ ,]* ]] || fail "the package does not depend on $package"
done
dpkg-deb --extract "$deb" "$work/unpacked"
installed "$work/unpacked/usr"
apt-get install --simulate "$deb" 2>&1 | grep -q '^Inst marching-cubes ' || fail "apt would not install the package"
finish "packaging"
