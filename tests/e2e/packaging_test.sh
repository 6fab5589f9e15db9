#!/usr/bin/env bash
# The build as a user meets it: configured without Google Benchmark, installed
# by cmake --install, and packaged as a .deb that apt would install here.
# Usage: packaging_test.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(realpath "$1")
build_dir=$(realpath "$2")
source "$(dirname "$0")/lib.sh"

# A DICOM file of a ball, which the program reads through its DICOM module.
/usr/bin/python3 - "$work/slice.dcm" "$source_dir/tests/e2e" <<'EOF'
import sys, numpy
sys.path.insert(0, sys.argv[2])
from dicom_files import write_enhanced
i, j, k = numpy.indices((8, 8, 8)) - 3.5
ball = (100 * ((i * i + j * j + k * k) < 9)).astype("u2")
write_enhanced(sys.argv[1], ball, numpy.zeros(3), numpy.eye(3), (1, 0), list(range(8)))
EOF

# installed ROOT: the program, its DICOM module and the README under ROOT, as built.
installed() {
    [ "$("$1/bin/marching-cubes" --version)" = "$("$build_dir/marching-cubes" --version)" ] || fail "$1: no program"
    "$1/bin/marching-cubes" --volume "$work/slice.dcm" --iso 50 --headless --frames 1 --quiet \
        --export "$work/ball.ply" 2>"$work/dicom.err" || fail "$1: no DICOM: $(cat "$work/dicom.err")"
    cmp -s "$source_dir/README.md" "$1/share/doc/marching-cubes/README.md" || fail "$1: no README"
}

cmake -S "$source_dir" -B "$work/no-benchmark" -DCMAKE_DISABLE_FIND_PACKAGE_benchmark=TRUE \
    -DMC_BUILD_TESTS=OFF >"$work/no-benchmark.log" 2>&1 || fail "no configuration without Google Benchmark"
grep -qx 'MC_BUILD_BENCHMARKS:BOOL=OFF' "$work/no-benchmark/CMakeCache.txt" ||
    fail "benchmarks are on without Google Benchmark"

cmake --install "$build_dir" --prefix "$work/prefix" >/dev/null
installed "$work/prefix"
# Without its module the program refuses DICOM in one line.
find "$work/prefix" -name 'libmarching-cubes-*.so' -exec mv {} "$work" \;
"$work/prefix/bin/marching-cubes" --volume "$work/slice.dcm" --iso 50 --headless --frames 1 \
    --quiet 2>"$work/dicom.err" && fail "DICOM read without the module"
grep -qx ".*slice.dcm: DICOM support cannot be loaded: .*" "$work/dicom.err" ||
    fail "no one-line refusal without the DICOM module: $(cat "$work/dicom.err")"

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
