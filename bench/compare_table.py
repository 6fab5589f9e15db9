"""Prints bench/compare's report from the two benchmark programs' JSON output
and the whole-process runs.

Every time is the best (smallest) real time over the repetitions or rounds; a
ratio above 1 means we are faster. Each comparison takes both sides from one
program's run (or, for whole processes, from the same rounds, taken in turn).
Exits 1 when a target is missed or when our mesh and vtkFlyingEdges3D's differ
in triangles or points.
"""
import json
import os
import sys

SIZES = (40, 128, 256)
THREADED_SIZES = (128, 256)
FRAME_SIZE = 40
FINE_FRAME_SIZE = 256
BANDWIDTH_SIZE = 256
MESH_TARGET = 1.5  # at least 1.5 times as fast as vtkFlyingEdges3D
BANDWIDTH_BUDGET = 3.0  # a mesh extraction within 3 vectorised reads of its samples
BANDWIDTH_VOLUME = "sphere512"
ISO_CHANGE_VOLUME = "ch2better"
ISO_CHANGE_BUDGET = 0.6  # an iso change within 0.6 of vtkFlyingEdges3D's re-run
FILE_TARGET = 1.25  # whole process at least 1.25 times as fast as VTK's
KIB_PER_MIB = 1024
FIELD_SPEED_UP_TARGET = 5.0
FRAME_BUDGET_IN_FE_EXTRACTIONS = 2.0

MS_PER_UNIT = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}


def best_runs(path):
    """Per benchmark name: (best real time in ms, counters of that run)."""
    best = {}
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


def ms(value):
    """Three significant digits, trailing zeros kept: 0.123, 4.00, 12.7."""
    return f"{value:#.3g}".rstrip(".")


def whole_process_runs(path):
    """(best seconds, largest peak in KiB) over the rounds in `path`."""
    with open(path) as f:
        runs = [line.split() for line in f if line.strip()]
    return min(float(r[0]) for r in runs), max(int(r[1]) for r in runs)


class Report:
    def __init__(self, ours_path, peers_path, runs_dir, threads, volumes):
        self.ours = best_runs(ours_path)
        self.peers = best_runs(peers_path)
        self.runs_dir = runs_dir
        self.threads = threads
        self.volumes = volumes
        self.failed = False

    def check(self, holds):
        self.failed |= not holds
        return verdict(holds)

    def per_cell_pass(self):
        time = lambda name: self.peers[name][0]
        print("No-output pass: each crossing cell polygonised and its triangles thrown away;")
        print("not a mesh, unlike vtkFlyingEdges3D's welded points and triangles (ms)")
        for n in SIZES:
            ours, fe = time(f"PerCellPass/{n}"), time(f"VtkFlyingEdges3D/{n}")
            print(f"  no-output {n}: ours {ms(ours)} ms, vtkFlyingEdges3D {ms(fe)} ms, "
                  f"ratio {fe / ours:.2f}")

    def field_step(self):
        time = lambda name: self.ours[name][0]
        print(f"Field step (ms; speed-up = six full passes / ours; target >= {FIELD_SPEED_UP_TARGET:g})")
        for n in SIZES:
            ours, plain = time(f"FieldStep/{n}"), time(f"FieldStepSixFullPasses/{n}")
            print(f"  field {n}: ours {ms(ours)} ms, six passes {ms(plain)} ms, "
                  f"speed-up {plain / ours:.1f}x: {self.check(plain / ours >= FIELD_SPEED_UP_TARGET)}")

    def bandwidth(self):
        print(f"Mesh extraction against one vectorised read of the same samples as they are kept "
              f"(target <= {BANDWIDTH_BUDGET:g}x at 256^3 and on {BANDWIDTH_VOLUME})")
        rows = [(f"blobs 256^3 (float)", "MeshExtraction/256", "VectorisedRead/256", True)]
        rows += [(name, f"VolumeMeshExtraction/{name}", f"VolumeRead/{name}",
                  name == BANDWIDTH_VOLUME) for name in self.volumes]
        for label, mesh_name, read_name, targeted in rows:
            mesh, read = self.ours[mesh_name][0], self.ours[read_name][0]
            verdict_text = (f": {self.check(mesh <= BANDWIDTH_BUDGET * read)}" if targeted
                            else " (for the record)")
            print(f"  {label}: extraction {ms(mesh)} ms, read {ms(read)} ms, "
                  f"{mesh / read:.2f}x{verdict_text}")

    def iso_change(self):
        print(f"Iso change on a volume, extraction only, one thread: ours against "
              f"vtkFlyingEdges3D's re-run (target <= {ISO_CHANGE_BUDGET:g}x on {ISO_CHANGE_VOLUME})")
        for name in self.volumes:
            ours = self.peers[f"VolumeIsoChange/{name}"][0]
            fe = self.peers[f"VtkVolumeIsoChange/{name}"][0]
            targeted = name == ISO_CHANGE_VOLUME
            verdict_text = (f": {self.check(ours <= ISO_CHANGE_BUDGET * fe)}" if targeted
                            else " (for the record)")
            print(f"  {name}: ours {ms(ours)} ms, vtkFlyingEdges3D {ms(fe)} ms, "
                  f"{ours / fe:.2f}x{verdict_text}")

    def headless_frame(self):
        frame = self.peers[f"HeadlessFrame/{FRAME_SIZE}"][0]
        fe = self.peers[f"VtkFlyingEdges3D/{FRAME_SIZE}"][0]
        holds = frame <= FRAME_BUDGET_IN_FE_EXTRACTIONS * fe
        print(f"Headless frame at {FRAME_SIZE}^3 (time step, field step, per-cell pass): "
              f"{ms(frame)} ms = {frame / fe:.2f} x vtkFlyingEdges3D's extraction "
              f"(target <= {FRAME_BUDGET_IN_FE_EXTRACTIONS:g}): {self.check(holds)}")
        per_cell = self.ours[f"HeadlessFrame/{FINE_FRAME_SIZE}"][0]
        mesh = self.ours[f"HeadlessMeshFrame/{FINE_FRAME_SIZE}"][0]
        print(f"Headless frame at {FINE_FRAME_SIZE}^3: time step, field step and mesh extraction "
              f"on two threads {ms(mesh)} ms; with the per-cell pass instead (the default "
              f"headless frame) {ms(per_cell)} ms; ratio {per_cell / mesh:.2f}")
        print(f"Table generation at start-up: {ms(self.ours['TableGeneration'][0])} ms")

    def mesh(self):
        """Ends the report: one line per size and thread count, in the form
        scripts read."""
        print(f"Mesh extraction: points + triangles, no normals or scalars, one thread, and two "
              f"threads on VTK's TBB backend (target ratio >= {MESH_TARGET:g}; ours also counts "
              f"case usage)")
        lines = []
        for label, suffix, sizes in (("mesh", "", SIZES), ("mesh2", "2", THREADED_SIZES)):
            lines += self.mesh_lines(label, suffix, sizes)
        print("\n".join(lines))

    def whole_process(self):
        """Ends the report: one line per input file, in the form scripts read."""
        print(f"Whole process, file to binary PLY at iso 60.5 on {self.threads} threads each "
              f"(ours: --headless --frames 1 --export; VTK: its own reading, vtkFlyingEdges3D on "
              f"TBB, vtkPLYWriter); best time and largest peak resident memory of the rounds "
              f"(targets: ratio >= {FILE_TARGET:g}, peak no more than VTK's)")
        lines = []
        for name in self.volumes:
            ours_s, ours_kib = whole_process_runs(os.path.join(self.runs_dir, f"ours-{name}.runs"))
            vtk_s, vtk_kib = whole_process_runs(os.path.join(self.runs_dir, f"vtk-{name}.runs"))
            ratio = vtk_s / ours_s
            print(f"  {name}: speed {self.check(ratio >= FILE_TARGET)}, "
                  f"memory {self.check(ours_kib <= vtk_kib)}")
            lines.append(f"file {name}: ours {ours_s:.2f} s {ours_kib // KIB_PER_MIB} MiB, "
                         f"VTK {vtk_s:.2f} s {vtk_kib // KIB_PER_MIB} MiB, ratio {ratio:.2f}")
        print("\n".join(lines))

    def mesh_lines(self, label, suffix, sizes):
        lines = []
        for n in sizes:
            ours_ms, ours_run = self.peers[f"MeshExtraction{suffix}/{n}"]
            fe_ms, fe_run = self.peers[f"VtkFlyingEdges3D{suffix}/{n}"]
            counts = lambda run: (int(run["triangles"]), int(run["points"]))
            if counts(ours_run) != counts(fe_run):
                print(f"  {n}^3: triangles/points differ: ours {counts(ours_run)}, "
                      f"vtkFlyingEdges3D {counts(fe_run)}: MISSED")
                self.failed = True
            ratio = fe_ms / ours_ms
            print(f"  {label} {n}^3: {counts(ours_run)[0]} triangles, {counts(ours_run)[1]} "
                  f"points on both sides: {self.check(ratio >= MESH_TARGET)}")
            lines.append(f"{label} {n}: ours {ms(ours_ms)} ms, vtkFlyingEdges3D {ms(fe_ms)} ms, "
                         f"ratio {ratio:.2f}")
        return lines


def main(ours_path, peers_path, runs_dir, threads, *volumes):
    report = Report(ours_path, peers_path, runs_dir, threads, volumes)
    for section in (report.per_cell_pass, report.field_step, report.bandwidth,
                    report.iso_change, report.headless_frame, report.mesh,
                    report.whole_process):
        print()
        section()
    return 1 if report.failed else 0


if __name__ == "__main__":
    sys.exit(main(*sys.argv[1:]))
