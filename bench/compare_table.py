"""Prints bench/compare's table from the two benchmark programs' JSON output.

Every time is the best (smallest) real time over the repetitions; a ratio
above 1 means we are faster. Exits 1 when a target is missed.
"""
import json
import sys

SIZES = (40, 128, 256)
FRAME_SIZE = 40
FIELD_SPEED_UP_TARGET = 5.0
EXTRACTION_TARGET = 1.0  # at least as fast as vtkFlyingEdges3D
EXTRACTION_AIM = 1.5
FRAME_BUDGET_IN_FE_EXTRACTIONS = 2.0

MS_PER_UNIT = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def best_runs(paths):
    """Per benchmark name: (best real time in ms, counters of that run)."""
    best = {}
    for path in paths:
        with open(path) as f:
            for run in json.load(f)["benchmarks"]:
                if run.get("run_type") != "iteration":
                    continue
                ms = run["real_time"] * MS_PER_UNIT[run["time_unit"]]
                name = run["run_name"]
                if name not in best or ms < best[name][0]:
                    best[name] = (ms, run)
    return best


def verdict(holds):
    return "holds" if holds else "MISSED"


def main(paths):
    best = best_runs(paths)
    time = lambda name: best[name][0]
    triangles = lambda name: int(best[name][1].get("triangles", 0))
    missed = False

    print()
    print("Extraction, drawing and listing off, time 0.2 (ms; ratio = peer / ours)")
    print(f"{'grid':>6} {'ours':>9} {'FlyingEdges3D':>14} {'ratio':>6} "
          f"{'MarchingCubes':>14} {'ratio':>6}  {'triangles ours/FE/MC':<24} target >= 1.0")
    for n in SIZES:
        ours, fe, mc = (time(f"{b}/{n}") for b in ("Extraction", "VtkFlyingEdges3D",
                                                    "VtkMarchingCubes"))
        counts = [triangles(f"{b}/{n}") for b in ("Extraction", "VtkFlyingEdges3D",
                                                 "VtkMarchingCubes")]
        ratio = fe / ours
        holds = ratio >= EXTRACTION_TARGET
        missed |= not holds
        aim = " (aim 1.5 reached)" if ratio >= EXTRACTION_AIM else ""
        same = "" if len(set(counts)) == 1 else "  COUNTS DIFFER"
        print(f"{n:>5}^3 {ours:9.3f} {fe:14.3f} {ratio:6.2f} {mc:14.3f} {mc / ours:6.2f}  "
              f"{'/'.join(map(str, counts)):<24} {verdict(holds)}{aim}{same}")

    print()
    print("Field step (ms; speed-up = six full passes / ours)")
    print(f"{'grid':>6} {'ours':>9} {'six passes':>11} {'speed-up':>9}  target >= 5")
    for n in SIZES:
        ours, plain = time(f"FieldStep/{n}"), time(f"FieldStepSixFullPasses/{n}")
        holds = plain / ours >= FIELD_SPEED_UP_TARGET
        missed |= not holds
        print(f"{n:>5}^3 {ours:9.3f} {plain:11.3f} {plain / ours:8.1f}x  {verdict(holds)}")

    print()
    frame = time(f"HeadlessFrame/{FRAME_SIZE}")
    fe = time(f"VtkFlyingEdges3D/{FRAME_SIZE}")
    holds = frame <= FRAME_BUDGET_IN_FE_EXTRACTIONS * fe
    missed |= not holds
    print(f"Headless frame at {FRAME_SIZE}^3 (time step, field step, surface pass): "
          f"{frame:.3f} ms = {frame / fe:.2f} x FlyingEdges3D's extraction "
          f"(target <= 2): {verdict(holds)}")
    print(f"Table generation at start-up: {time('TableGeneration'):.3f} ms")
    return 1 if missed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
