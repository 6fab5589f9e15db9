#!/usr/bin/python3
"""Volumes in their files' world frames, headless: each export checked
against a mesh made without the program.

NIfTI: ch2.nii.gz, and small files of every sample type and header kind
nibabel writes, against VTK's flying edges on the samples nibabel reads,
mapped through the affine nibabel reads. DICOM: an oblique series written by
pydicom, its slices shuffled, against flying edges on the volume it was made
from, mapped by its positions and orientation; and the series the reader
must refuse. NRRD: space origin and directions (one set a mirror image)
against the --export-space index mesh mapped by the header, with the normals
out of the inside.

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

from checks import check, finish, signed_volume
from dicom_files import decimal, spacing_and_cosines, write_enhanced, write_slice

PROGRAM = sys.argv[1]
TOLERANCE_MM = 0.01


def export(volume, mesh, *options):
    """The program's mesh of `volume` as (vertices, faces), 0-based. Under the
    table's face rule every vertex is a crossed grid edge's, as in flying
    edges, so the vertex counts compare one to one."""
    run = subprocess.run([PROGRAM, "--headless", "--frames", "1", "--volume", str(volume),
                          "--faces", "table", "--export", str(mesh), *options],
                         capture_output=True, text=True)
    check(run.returncode == 0, f"{volume}: exit code {run.returncode}: {run.stderr[:300]}")
    lines = Path(mesh).read_text().splitlines()
    vertices = numpy.array([l.split()[1:] for l in lines if l.startswith("v ")], float)
    faces = numpy.array([l.split()[1:] for l in lines if l.startswith("f ")], int) - 1
    return vertices, faces


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


def check_like(name, vertices, faces, expected):
    """Flying edges' vertex count and bounds, and normals out of the inside."""
    check(len(vertices) == len(expected),
          f"{name}: {len(vertices)} vertices, flying edges {len(expected)}")
    low = numpy.abs(vertices.min(axis=0) - expected.min(axis=0)).max()
    high = numpy.abs(vertices.max(axis=0) - expected.max(axis=0)).max()
    check(max(low, high) <= TOLERANCE_MM, f"{name}: bounds off by {max(low, high)} mm")
    check(signed_volume(vertices, faces) > 0, f"{name}: normals point inwards")


def nifti_against_vtk(work):
    path = "/usr/share/mricron/templates/ch2.nii.gz"
    image = nibabel.load(path)
    iso = 60.5
    expected = to_world(image.affine, flying_edges_points(numpy.asarray(image.dataobj), iso))
    check_like("ch2", *export(path, work / "ch2.obj", "--iso", str(iso)), expected)


def nifti_variants(work):
    """Every sample type, scaled, qform only, mirrored, 4-D, NIfTI-2 and a .hdr/.img pair,
    each against flying edges on the samples and affine nibabel reads."""
    values = ball((14, 12, 10), (6.5, 5, 4.5))  # from about 20 to 100; no sample at the iso value
    turned = numpy.array([[0, -1.2, 0, 30], [0.8, 0, 0, -12], [0, 0, -1.5, 7], [0, 0, 0, 1]])
    cases = []
    for dtype in ("u1", "i1", "u2", "i2", "u4", "i4", "f4", "f8"):
        cases.append((f"{dtype}.nii", nibabel.Nifti1Image(values.astype(dtype), turned)))
    scaled = nibabel.Nifti1Image(numpy.round((values - 7) / 0.25).astype("i2"), turned)
    scaled.header.set_slope_inter(0.25, 7)
    cases.append(("scaled.nii.gz", scaled))
    qform = nibabel.Nifti1Image(values.astype("f4"), None)
    qform.set_qform(turned @ numpy.diag([1, 1, -1, 1]), code=1)
    qform.set_sform(numpy.eye(4), code=0)
    cases.append(("qform.nii", qform))
    cases.append(("two.nii", nibabel.Nifti2Image(values.astype("f4"), turned)))
    cases.append(("pair.img", nibabel.Nifti1Pair(values.astype("u1"), turned)))
    cases.append(("four.nii", nibabel.Nifti1Image(numpy.stack([values, values * 0], 3), turned)))
    for name, image in cases:
        nibabel.save(image, work / name)
        read = nibabel.load(work / name)
        samples = numpy.asarray(read.get_fdata())
        samples = samples[..., 0] if samples.ndim == 4 else samples
        expected = to_world(read.affine, flying_edges_points(samples, 60.55))
        check_like(name, *export(work / name, work / "variant.obj", "--iso", "60.55"), expected)


def ball(shape, centre, slope=8.0):
    """Falls by `slope` per index step from 100 at `centre`, indexed [i, j, k]."""
    grids = numpy.meshgrid(*(numpy.arange(n) for n in shape), indexing="ij")
    return 100 - slope * numpy.sqrt(sum((g - c) ** 2 for g, c in zip(grids, centre)))


def write_series(folder, stored, origin, axes, rescale, series="1.2.3.4", skip=(), order=None,
                 prefix=""):
    """`stored` as slices along axes[2]; returns the index-to-world affine."""
    folder.mkdir(exist_ok=True)
    spacing, cosines = spacing_and_cosines(axes)
    for k in order if order is not None else range(stored.shape[2]):
        if k not in skip:
            write_slice(folder / f"{prefix}{series}-{k * 7 % 11}-{k}", stored[:, :, k],
                        origin + k * axes[2], cosines, spacing, series, rescale)
    affine = numpy.eye(4)
    affine[:3, :3] = numpy.array([[float(decimal(v)) for v in axis] for axis in axes]).T
    affine[:3, 3] = [float(decimal(v)) for v in origin]
    return affine


def refused(volume, words, *options):
    run = subprocess.run([PROGRAM, "--headless", "--frames", "1", "--volume", str(volume),
                          *options], capture_output=True, text=True)
    line = run.stderr.strip()
    check(run.returncode == 1 and run.stdout == "" and "\n" not in line and words in line,
          f"{volume}: exit code {run.returncode}, stderr {run.stderr[:300]!r}, not '{words}'")


def dicom_series(work):
    turn = numpy.radians(25.0)
    tilt = numpy.radians(35.0)
    rotation = numpy.array([[numpy.cos(turn), -numpy.sin(turn), 0],
                            [numpy.sin(turn), numpy.cos(turn), 0], [0, 0, 1]]) @ numpy.array(
        [[1, 0, 0], [0, numpy.cos(tilt), -numpy.sin(tilt)], [0, numpy.sin(tilt), numpy.cos(tilt)]])
    axes = (rotation * [0.7, 0.9, 1.6]).T  # a step along each index, in mm
    origin = numpy.array([-101.25, 37.5, 12.0])
    slope, intercept = 0.5, -1024.0
    values = ball((22, 18, 14), (10, 8, 6)) * 20
    stored = numpy.round((values - intercept) / slope)
    shuffled = [5, 0, 13, 2, 9, 1, 12, 3, 7, 4, 11, 6, 10, 8]
    affine = write_series(work / "ct", stored, origin, axes, (slope, intercept), order=shuffled)
    iso = 1000.25
    expected = to_world(affine, flying_edges_points(stored * slope + intercept, iso))
    for name, volume in (("folder", work / "ct"), ("one file", next((work / "ct").iterdir()))):
        check_like(f"DICOM {name}", *export(volume, work / "ct.obj", "--iso", str(iso)), expected)
    write_enhanced(work / "frames.dcm", stored, origin, axes, (slope, intercept), shuffled)
    frames = export(work / "frames.dcm", work / "frames.obj", "--iso", str(iso))
    check_like("DICOM frames", *frames, expected)
    write_series(work / "ct", stored[:, :, :3], origin + 50, axes, (1, 0), series="1.2.3.5")
    refused(work / "ct", "--series")
    vertices, _ = export(work / "ct", work / "picked.obj", "--iso", str(iso), "--series", "1.2.3.4")
    check(len(vertices) == len(expected), "--series did not pick the series")
    write_series(work / "gap", stored, origin, axes, (1, 0), skip=(4, 5))
    refused(work / "gap", "2 slices are missing")
    write_series(work / "uneven", stored[:, :, :2], origin, axes, (1, 0))
    write_series(work / "uneven", stored[:, :, 2:3], origin + 2.3 * axes[2], axes, (1, 0),
                 prefix="late")
    refused(work / "uneven", "uneven slice spacing")
    (work / "jpeg").mkdir()
    write_slice(work / "jpeg" / "only", stored[:, :, 0], origin, [1, 0, 0, 0, 1, 0], (1, 1),
                "1.2.3.6", (1, 0), syntax="1.2.840.10008.1.2.4.90")
    refused(work / "jpeg", "cannot decode")
    (work / "empty").mkdir()
    refused(work / "empty", "no DICOM image")


def nrrd_with_space(work):
    """A ball off the grid's centre, so a wrong origin or flip moves it."""
    samples = ball((24, 20, 16), (10, 9, 7)).astype("<f4")
    for name, directions in (("turned", [[-1, 0, 0], [0, -1, 0], [0, 0, 1]]),
                             ("mirrored", [[-1.5, 0, 0], [0, 0.5, 0.5], [0, -2, 2]])):
        header = ("NRRD0004\ntype: float\ndimension: 3\nsizes: 24 20 16\nspace: RAS\n"
                  "space origin: (90,126,-72)\nspace directions: "
                  + " ".join("(%g,%g,%g)" % tuple(d) for d in directions)
                  + "\nendian: little\nencoding: raw\n\n")
        path = work / f"{name}.nrrd"
        path.write_bytes(header.encode() + samples.tobytes(order="F"))
        world, faces = export(path, work / f"{name}.obj", "--iso", "50")
        index, _ = export(path, work / f"{name}-index.obj", "--iso", "50", "--export-space", "index")
        axes = numpy.array(directions, float)
        expected = index / numpy.linalg.norm(axes, axis=1) @ axes + [90, 126, -72]
        check(len(world) == len(expected) and numpy.abs(world - expected).max() <= 1e-3,
              f"{name}.nrrd: the world mesh is not the index mesh placed by the header")
        check(signed_volume(world, faces) > 0, f"{name}.nrrd: normals point inwards")


with tempfile.TemporaryDirectory() as directory:
    nifti_against_vtk(Path(directory))
    nifti_variants(Path(directory))
    dicom_series(Path(directory))
    nrrd_with_space(Path(directory))
finish("world frames")
