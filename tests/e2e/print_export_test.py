#!/usr/bin/python3
"""A print-ready export of a real scan, checked without the program's own
reader or measures: the MRI template (mricron-data's ch2) at iso 40.5,
closed and its largest piece kept, then smoothed, then also simplified to a
tenth (the README's command); and closed at two more iso values. Each PLY is checked with numpy and scipy:
every edge shared by exactly two faces, run along it in opposite directions;
one piece; the enclosed volume against the inside samples nibabel counts
times the voxel volume; and the stderr summary against the same figures.

Usage: print_export_test.py path/to/marching-cubes
"""
import re
import subprocess
import sys
import tempfile
from pathlib import Path

import nibabel
import numpy
from scipy.sparse import coo_matrix
from scipy.sparse.csgraph import connected_components

from checks import check, finish, signed_volume

PROGRAM = sys.argv[1]
TEMPLATE = "/usr/share/mricron/templates/ch2.nii.gz"
ISO = 40.5


def read_ply(path):
    """A binary little-endian PLY of triangles as (vertices, faces)."""
    data = Path(path).read_bytes()
    end = data.index(b"end_header\n") + len(b"end_header\n")
    counts = {line.split()[1]: int(line.split()[2])
              for line in data[:end].decode().splitlines() if line.startswith("element")}
    vertices = numpy.frombuffer(data, "<f4", 3 * counts["vertex"], end).reshape(-1, 3)
    faces = numpy.frombuffer(data, [("n", "u1"), ("v", "<i4", 3)], counts["face"],
                             end + vertices.nbytes)
    check((faces["n"] == 3).all(), f"{path}: a face that is not a triangle")
    return vertices.astype(numpy.float64), faces["v"].astype(numpy.int64)


def measure(vertices, faces):
    """Edges not shared by exactly two faces (or degenerate), directed edges
    run twice, pieces, enclosed volume."""
    n = len(vertices)
    directed = faces[:, [0, 1, 1, 2, 2, 0]].reshape(-1, 2)
    _, runs = numpy.unique(directed[:, 0] * n + directed[:, 1], return_counts=True)
    undirected = numpy.sort(directed, axis=1)
    _, shares = numpy.unique(undirected[:, 0] * n + undirected[:, 1], return_counts=True)
    degenerate = numpy.count_nonzero(undirected[:, 0] == undirected[:, 1])
    graph = coo_matrix((numpy.ones(len(directed)), (directed[:, 0], directed[:, 1])), (n, n))
    _, label = connected_components(graph, directed=False)
    return {"triangles": len(faces),
            "unpaired": int(numpy.count_nonzero(shares != 2) + degenerate),
            "conflicts": int(numpy.count_nonzero(runs > 1)),
            "pieces": len(numpy.unique(label[faces[:, 0]])),
            "volume": signed_volume(vertices, faces)}


SUMMARY = re.compile(r"Exported .*: (\d+) triangles, (\d+) pieces?, watertight, "
                     r"area \S+ mm\^2, volume (\S+) mm\^3$")


def export(work, name, *options, iso=ISO):
    """Exports the template with `options`; checks the mesh is a closed,
    consistently wound solid and that the summary says so; returns its
    measures."""
    mesh = work / f"{name}.ply"
    run = subprocess.run([PROGRAM, "--volume", TEMPLATE, "--iso", str(iso), "--headless",
                          "--frames", "0", "--quiet", "--export", str(mesh), *options],
                         capture_output=True, text=True)
    check(run.returncode == 0, f"{name}: exit code {run.returncode}: {run.stderr[:300]}")
    found = measure(*read_ply(mesh))
    check(found["unpaired"] == 0, f"{name}: {found['unpaired']} edges not shared by two faces")
    check(found["conflicts"] == 0, f"{name}: {found['conflicts']} orientation conflicts")
    summary = SUMMARY.search(run.stderr)
    check(summary is not None, f"{name}: no watertight summary in mm: {run.stderr!r}")
    if summary:
        check(int(summary[1]) == found["triangles"] and int(summary[2]) == found["pieces"],
              f"{name}: the summary says {summary[0]!r}, the file has {found}")
        check(abs(float(summary[3]) - found["volume"]) <= 1e-4 * found["volume"],
              f"{name}: the summary's volume {summary[3]}, the file's {found['volume']}")
    print(name, found, file=sys.stderr)
    return found


scan = nibabel.load(TEMPLATE)
inside_volume = (numpy.count_nonzero(numpy.asanyarray(scan.dataobj) >= ISO) *
                 abs(numpy.linalg.det(scan.affine[:3, :3])))
with tempfile.TemporaryDirectory() as folder:
    work = Path(folder)
    solid = export(work, "solid", "--cap", "--largest")
    check(solid["pieces"] == 1, f"solid: {solid['pieces']} pieces")
    check(abs(solid["volume"] - inside_volume) <= 0.02 * inside_volume,
          f"solid: volume {solid['volume']}, the inside samples' {inside_volume}")
    smooth = export(work, "smooth", "--cap", "--largest", "--smooth", "10")
    check(abs(smooth["volume"] - solid["volume"]) < 0.01 * solid["volume"],
          f"smooth: volume {smooth['volume']}, before {solid['volume']}")
    printable = export(work, "printable", "--cap", "--largest", "--smooth", "10",
                       "--simplify", "0.1")
    check(printable["triangles"] <= 0.1 * solid["triangles"] and printable["pieces"] == 1,
          f"printable: {printable['triangles']} of {solid['triangles']} triangles, "
          f"{printable['pieces']} pieces")
    for other_iso in (60.5, 80.5):
        export(work, f"iso{other_iso}", "--cap", iso=other_iso)

finish("print export")
