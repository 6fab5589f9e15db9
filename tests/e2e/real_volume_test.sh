#!/usr/bin/env bash
# Real data: a block of an MRI template (Debian's mricron-data, converted to
# raw with nibabel) meshed at several iso values, each mesh closed: every edge
# off the volume's boundary planes shared by exactly two faces, run along it
# in opposite directions.
# Usage: real_volume_test.sh path/to/marching-cubes
set -euo pipefail
program=$(realpath "$1")
source "$(dirname "$0")/lib.sh"

template=/usr/share/mricron/templates/ch2.nii.gz
block="$work/ch2_96x96x96_uint8.raw"
/usr/bin/python3 - "$template" "$block" <<'PY'
import sys
import nibabel
import numpy
samples = numpy.asarray(nibabel.load(sys.argv[1]).dataobj)
# The middle of the brain; x fastest in the file.
block = samples[40:136, 60:156, 40:136].astype(numpy.uint8)
block.transpose(2, 1, 0).tofile(sys.argv[2])
PY

# Prints the edges off the boundary planes not shared by exactly two faces
# running opposite ways, and the directed edges run twice.
check_mesh() {
    /usr/bin/python3 - "$1" <<'PY'
import collections
import struct
import sys
data = open(sys.argv[1], "rb").read()
end = data.index(b"end_header\n") + len(b"end_header\n")
header = data[:end].decode().split("\n")
count = {line.split()[1]: int(line.split()[2]) for line in header if line.startswith("element")}
positions = list(struct.iter_unpack("<3f", data[end:end + 12 * count["vertex"]]))
directed = collections.Counter()
offset = end + 12 * count["vertex"]
for _ in range(count["face"]):
    n = data[offset]
    face = struct.unpack_from("<%di" % n, data, offset + 1)
    offset += 1 + 4 * n
    for i in range(n):
        directed[(face[i], face[(i + 1) % n])] += 1
planes = [(min(p[k] for p in positions), max(p[k] for p in positions)) for k in range(3)]
def on_boundary(a, b):
    p, q = positions[a], positions[b]
    return any(p[k] == q[k] and p[k] in planes[k] for k in range(3))
bad = sum(1 for (a, b), runs in directed.items()
          if (runs != 1 or directed[(b, a)] != 1) and not on_boundary(a, b))
print(bad, sum(1 for runs in directed.values() if runs > 1))
PY
}

for iso in 40.5 60.5 80.5; do
    run "iso$iso" --volume "$block" --iso "$iso" --headless --frames 1 --quiet --export "$work/iso$iso.ply"
    [ "$status" -eq 0 ] || fail "iso $iso: exit code $status"
    read -r bad duplicates < <(check_mesh "$work/iso$iso.ply")
    [ "$bad" -eq 0 ] && [ "$duplicates" -eq 0 ] ||
        fail "iso $iso: $bad edges not shared by two opposite faces, $duplicates directed edges run twice"
done
finish "real volume"
