"""ASE reads a trajectory that tessaly --batch wrote, and what it reads is the
model's state bit for bit: positions, velocities (ASE keeps the `vel` column
as the per-atom array "vel"), step, time, box and boundaries, and the
potential energy of each frame, which ASE reports as the frame's energy. The
table that --thermo writes beside it reads back with numpy, its potential
energies the same.

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
    """Frames as the model computed them: {step: array of (x, y, vx, vy)} and
    {step: potential energy}."""
    out = subprocess.run([dump, str(COUNT), str(DT), str(STEPS), str(EVERY), str(SEED)],
                         check=True, capture_output=True, text=True).stdout
    frames, energies, step = {}, {}, None
    for line in out.splitlines():
        if line.startswith("frame "):
            _, word, energy = line.split()
            step = int(word)
            frames[step] = []
            energies[step] = float.fromhex(energy)
        else:
            frames[step].append([float.fromhex(word) for word in line.split()])
    return {step: np.array(rows) for step, rows in frames.items()}, energies


def bits(array):
    return np.ascontiguousarray(array, dtype=np.float64).view(np.uint64)


def main():
    program, dump = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "run.xyz")
        table_path = os.path.join(folder, "run.csv")
        subprocess.run([program, "--batch", "--count", str(COUNT), "--time-step", str(DT),
                        "--steps", str(STEPS), "--every", str(EVERY), "--seed", str(SEED),
                        "--xyz", path, "--thermo", table_path], check=True)
        frames = ase.io.read(path, ":")
        table = np.genfromtxt(table_path, delimiter=",", names=True)

    expected, energies = model_frames(dump)
    assert table.dtype.names == ("step", "time", "kinetic", "potential", "temperature",
                                 "wall_pressure"), table.dtype.names
    assert list(table["step"]) == sorted(expected), table["step"]
    assert np.array_equal(bits(table["potential"]), bits([energies[s] for s in sorted(expected)]))
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
        energy = atoms.get_potential_energy()
        assert bits(energy) == bits(energies[step]), (step, energy, energies[step])
    # The particles did move, so the comparison above compared something.
    assert not np.array_equal(frames[0].positions, frames[-1].positions)
    # Nor do all the particles sit beyond the force's reach of each other.
    assert any(energies[step] != 0 for step in steps)
    print(f"ASE {ase.__version__} read {len(frames)} frames equal to the model's, bit for bit,"
          " their energies too")


main()
