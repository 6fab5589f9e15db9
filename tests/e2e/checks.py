"""What the end-to-end Python scripts share: checks that report each failure
on stderr at once and end the script by their count, and the signed volume
a mesh encloses."""
import sys

import numpy

failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, file=sys.stderr)


def finish(name):
    print(f"{name}:", "%d failed" % len(failures) if failures else "all checks passed")
    sys.exit(1 if failures else 0)


def signed_volume(vertices, faces):
    """The volume a closed mesh encloses: positive when its faces wind
    outwards."""
    a, b, c = (vertices[faces[:, i]] for i in range(3))
    return numpy.einsum("ij,ij->i", a, numpy.cross(b, c)).sum() / 6.0
