"""ASE reads a trajectory that tessaly --batch wrote, and what it reads is the
model's state bit for bit: positions, velocities (ASE keeps the `vel` column
as the per-atom array "vel"), step, time, box and boundaries.

    ase_read_test.py TESSALY MODEL_DUMP

Exits with 77 (skipped) when ASE is not installed (Debian: python3-ase).
"""
import os
import subprocess
import sys
import tempfile

try:
    import ase.io
    import numpy as np
except ImportError:
    print("ASE is not installed: skipped")
    sys.exit(77)

COUNT, DT, STEPS, EVERY, SEED = 30, 0.1, 40, 4, 12345


def model_frames(dump):
    """Frames as the model computed them: {step: array of (x, y, vx, vy)}."""
    out = subprocess.run([dump, str(COUNT), str(DT), str(STEPS), str(EVERY), str(SEED)],
                         check=True, capture_output=True, text=True).stdout
    frames, step = {}, None
    for line in out.splitlines():
        if line.startswith("frame "):
            step = int(line.split()[1])
            frames[step] = []
        else:
            frames[step].append([float.fromhex(word) for word in line.split()])
    return {step: np.array(rows) for step, rows in frames.items()}


def bits(array):
    return np.ascontiguousarray(array, dtype=np.float64).view(np.uint64)


def main():
    program, dump = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "run.xyz")
        subprocess.run([program, "--batch", "--count", str(COUNT), "--time-step", str(DT),
                        "--steps", str(STEPS), "--every", str(EVERY), "--seed", str(SEED),
                        "--xyz", path], check=True)
        frames = ase.io.read(path, ":")

    expected = model_frames(dump)
    steps = sorted(expected)
    assert steps == list(range(0, STEPS + 1, EVERY)), steps
    assert len(frames) == len(steps), f"ASE read {len(frames)} frames, want {len(steps)}"
    for atoms, step in zip(frames, steps):
        want = expected[step]
        assert len(atoms) == COUNT, f"step {step}: {len(atoms)} atoms"
        assert set(atoms.get_chemical_symbols()) == {"Ar"}
        assert atoms.info["step"] == step, atoms.info
        assert float(atoms.info["time"]) == step * DT, (step, atoms.info["time"])
        assert not atoms.pbc.any(), atoms.pbc
        assert np.array_equal(atoms.cell.array, np.diag([10.0, 10.0, 1.0])), atoms.cell
        assert np.array_equal(bits(atoms.positions[:, :2]), bits(want[:, :2])), \
            f"step {step}: positions differ from the model's"
        assert not atoms.positions[:, 2].any()
        velocities = atoms.arrays["vel"]
        assert np.array_equal(bits(velocities[:, :2]), bits(want[:, 2:])), \
            f"step {step}: velocities differ from the model's"
        assert not velocities[:, 2].any()
    # The particles did move, so the comparison above compared something.
    assert not np.array_equal(frames[0].positions, frames[-1].positions)
    print(f"ASE {ase.__version__} read {len(frames)} frames equal to the model's, bit for bit")


main()
