#!/usr/bin/python3
"""Volumes in their files' world frames, headless: each export checked
against a mesh made without the program.

NIfTI: ch2.nii.gz against VTK's flying edges on the samples nibabel reads,
mapped through the sform nibabel reads. NRRD: space origin and directions
(one set a mirror image) against the --export-space index mesh mapped by the
header, with the normals out of the inside.

Usage: world_frames_test.py path/to/marching-cubes
"""
import subprocess
import sys
import tempfile
from pathlib import Path

import nibabel
import numpy
import vtk
from vtk.util import numpy_support

PROGRAM = sys.argv[1]
TOLERANCE_MM = 0.01
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, file=sys.stderr)


def export(volume, mesh, *options):
    """The program's mesh of `volume` as (vertices, faces), 0-based."""
    run = subprocess.run([PROGRAM, "--headless", "--frames", "1", "--volume", str(volume),
                          "--export", str(mesh), *options], capture_output=True, text=True)
    check(run.returncode == 0, f"{volume}: exit code {run.returncode}: {run.stderr[:300]}")
    lines = Path(mesh).read_text().splitlines()
    vertices = numpy.array([l.split()[1:] for l in lines if l.startswith("v ")], float)
    faces = numpy.array([l.split()[1:] for l in lines if l.startswith("f ")], int) - 1
    return vertices, faces


def signed_volume(vertices, faces):
    a, b, c = (vertices[faces[:, i]] for i in range(3))
    return numpy.einsum("ij,ij->i", a, numpy.cross(b, c)).sum() / 6.0


def to_world(affine, points):
    return points @ affine[:3, :3].T + affine[:3, 3]


def flying_edges_points(samples, iso):
    """VTK's surface of samples indexed [i, j, k], in index units."""
    image = vtk.vtkImageData()
    image.SetDimensions(*samples.shape)
    image.GetPointData().SetScalars(numpy_support.numpy_to_vtk(samples.ravel(order="F")))
    surface = vtk.vtkFlyingEdges3D()
    surface.SetInputData(image)
    surface.SetValue(0, iso)
    surface.ComputeNormalsOff()
    surface.Update()
    return numpy_support.vtk_to_numpy(surface.GetOutput().GetPoints().GetData())


def check_bounds(name, ours, expected):
    low = numpy.abs(ours.min(axis=0) - expected.min(axis=0)).max()
    high = numpy.abs(ours.max(axis=0) - expected.max(axis=0)).max()
    check(max(low, high) <= TOLERANCE_MM, f"{name}: bounds off by {max(low, high)} mm")


def nifti_against_vtk(work):
    path = "/usr/share/mricron/templates/ch2.nii.gz"
    image = nibabel.load(path)
    iso = 60.5
    expected = to_world(image.affine, flying_edges_points(numpy.asarray(image.dataobj), iso))
    vertices, faces = export(path, work / "ch2.obj", "--iso", str(iso))
    check(len(vertices) == len(expected),
          f"ch2: {len(vertices)} vertices, flying edges {len(expected)}")
    check_bounds("ch2", vertices, expected)
    check(signed_volume(vertices, faces) > 0, "ch2: normals point inwards")


def nrrd_with_space(work):
    """A ball off the grid's centre, so a wrong origin or flip moves it."""
    i, j, k = numpy.meshgrid(*(numpy.arange(n) for n in (24, 20, 16)), indexing="ij")
    ball = (100 - 8 * numpy.sqrt((i - 10) ** 2 + (j - 9) ** 2 + (k - 7) ** 2)).astype("<f4")
    for name, directions in (("turned", [[-1, 0, 0], [0, -1, 0], [0, 0, 1]]),
                             ("mirrored", [[-1.5, 0, 0], [0, 0.5, 0.5], [0, -2, 2]])):
        header = ("NRRD0004\ntype: float\ndimension: 3\nsizes: 24 20 16\nspace: RAS\n"
                  "space origin: (90,126,-72)\nspace directions: "
                  + " ".join("(%g,%g,%g)" % tuple(d) for d in directions)
                  + "\nendian: little\nencoding: raw\n\n")
        path = work / f"{name}.nrrd"
        path.write_bytes(header.encode() + ball.tobytes(order="F"))
        world, faces = export(path, work / f"{name}.obj", "--iso", "50")
        index, _ = export(path, work / f"{name}-index.obj", "--iso", "50", "--export-space", "index")
        axes = numpy.array(directions, float)
        affine = numpy.eye(4)
        affine[:3, :3] = axes.T
        affine[:3, 3] = [90, 126, -72]
        expected = to_world(affine, index / numpy.linalg.norm(axes, axis=1))
        check(len(world) == len(expected) and numpy.abs(world - expected).max() <= 1e-3,
              f"{name}.nrrd: the world mesh is not the index mesh placed by the header")
        check(signed_volume(world, faces) > 0, f"{name}.nrrd: normals point inwards")


with tempfile.TemporaryDirectory() as directory:
    nifti_against_vtk(Path(directory))
    nrrd_with_space(Path(directory))
print("world frames:", "%d failed" % len(failures) if failures else "all checks passed")
sys.exit(1 if failures else 0)
