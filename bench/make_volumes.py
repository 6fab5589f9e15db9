"""Writes the whole-process comparison's inputs into a directory: the MRI
templates ch2 and ch2better (Debian's mricron-data, NIfTI) as gzip NRRD files
of their uint8 samples, and a 512^3 uint8 raw volume of a sphere.

    /usr/bin/python3 bench/make_volumes.py DIR

Prints one line per file: NAME PATH.
"""
import gzip
import os
import sys

import nibabel
import numpy

TEMPLATES = "/usr/share/mricron/templates"
SPHERE_SIZE = 512
SPHERE_RADIUS = 200.0  # samples; the value falls by 4 per sample outwards
SPHERE_CENTRE_VALUE = 100.0
SPHERE_SLOPE = 4.0


def write_gzip_nrrd(path, samples, spacing):
    """samples indexed [x, y, z]; written x fastest."""
    nx, ny, nz = samples.shape
    header = (f"NRRD0004\ntype: uint8\ndimension: 3\nsizes: {nx} {ny} {nz}\n"
              f"spacings: {spacing[0]:g} {spacing[1]:g} {spacing[2]:g}\n"
              "encoding: gzip\nendian: little\n\n")
    with open(path, "wb") as f:
        f.write(header.encode())
        f.write(gzip.compress(samples.tobytes(order="F"), compresslevel=6))


def template(name, directory):
    image = nibabel.load(f"{TEMPLATES}/{name}.nii.gz")
    samples = numpy.asanyarray(image.dataobj)
    if samples.dtype != numpy.uint8 or samples.ndim != 3:
        sys.exit(f"{name}: expected 3-D uint8 samples, found {samples.dtype} {samples.shape}")
    path = os.path.join(directory, f"{name}.nrrd")
    write_gzip_nrrd(path, samples, image.header.get_zooms()[:3])
    return path


def sphere(directory):
    n = SPHERE_SIZE
    path = os.path.join(directory, f"sphere{n}_{n}x{n}x{n}_uint8.raw")
    centre = (n - 1) / 2.0
    y, x = numpy.mgrid[0:n, 0:n].astype(numpy.float64) - centre
    with open(path, "wb") as f:
        for z in range(n):
            distance = numpy.sqrt(x * x + y * y + (z - centre) ** 2)
            value = SPHERE_CENTRE_VALUE + SPHERE_SLOPE * (SPHERE_RADIUS - distance)
            f.write(numpy.clip(numpy.rint(value), 0, 255).astype(numpy.uint8).tobytes())
    return path


def main(directory):
    for name in ("ch2", "ch2better"):
        print(name, template(name, directory))
    print(f"sphere{SPHERE_SIZE}", sphere(directory))


if __name__ == "__main__":
    main(sys.argv[1])
