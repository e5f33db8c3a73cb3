"""The guide's batch runs and what it reads from them.

scripts/guide-figures draws the guide's figures with these functions and
tests/guide_numbers_test.py checks the numbers the guide quotes with the
same ones, so that a figure and its number are worked out alike. numpy only.
"""

import functools
import os
import shlex
import subprocess
import tempfile

import numpy as np

# glibc's power function as the page's module has it: without FMA.
PAGE_LIKE = {"GLIBC_TUNABLES": "glibc.cpu.hwcaps=-FMA,-AVX2"}


def batch(program, command, folder, env=None):
    """Runs one `tessaly --batch ...` command line as the guide writes it, in
    `folder`, with `program` for `tessaly`; returns the folder."""
    words = shlex.split(command)
    if words[:2] != ["tessaly", "--batch"]:
        raise ValueError(f"not a batch run: {command}")
    environment = dict(os.environ, **(env or {}))
    subprocess.run([program] + words[1:], cwd=folder, check=True, env=environment,
                   stdout=subprocess.DEVNULL)
    return folder


def option(command, name):
    """The value of --name in a command line."""
    words = shlex.split(command)
    return words[words.index("--" + name) + 1]


def read_csv(path):
    """The --thermo table as named columns."""
    return np.genfromtxt(path, delimiter=",", names=True)


def read_xyz(path):
    """The --xyz frames: (step, time, positions N x 2, velocities N x 2)."""
    frames = []
    with open(path, encoding="ascii") as lines:
        while True:
            head = lines.readline()
            if not head:
                return frames
            count = int(head)
            comment = dict(word.split("=", 1) for word in lines.readline().split()
                           if word.startswith(("step=", "time=")))
            rows = np.array([lines.readline().split()[1:] for _ in range(count)],
                            dtype=float).reshape(count, 6)
            frames.append((int(comment["step"]), float(comment["time"]), rows[:, 0:2],
                           rows[:, 3:5]))


def rows_from(table, first_step):
    """The rows from step `first_step` on: the settled part of a run."""
    return table[table["step"] >= first_step]


def mean_per_particle(table, column, first_step, count):
    return float(rows_from(table, first_step)[column].mean()) / count


def ideal_pressure():
    """What an ideal gas with N T = 50 presses on the walls of the 9 x 9
    square the centres move in."""
    return 50.0 / 81.0


def speeds(frames, first_step):
    return np.concatenate([np.hypot(v[:, 0], v[:, 1]) for step, _, _, v in frames
                           if step >= first_step])


def speed_ratio(frames, first_step, last_step=None):
    """<v^4> / <v^2>^2 over the frames' particles: 2 for the two-dimensional
    Maxwell-Boltzmann distribution, 1 when every particle has the same speed."""
    v2 = np.concatenate([(v ** 2).sum(axis=1) for step, _, _, v in frames
                         if step >= first_step and (last_step is None or step <= last_step)])
    return float((v2 ** 2).mean() / v2.mean() ** 2)


def pair_distances(positions):
    d = positions[:, None, :] - positions[None, :, :]
    r = np.hypot(d[..., 0], d[..., 1])
    return r[np.triu_indices(len(positions), 1)]


def close_pairs(frames, first_step, below):
    """Pairs closer than `below`, on average per frame."""
    counts = [np.count_nonzero(pair_distances(p) < below) for step, _, p, _ in frames
              if step >= first_step]
    return float(np.mean(counts))


def pair_histogram(frames, first_step, edges):
    """g(r) as the observation view has it, roughly: pair counts over those
    of uniformly placed centres in the same 9 x 9 square (worked out from
    points spread over the square, so that the walls count alike)."""
    chosen = [p for step, _, p, _ in frames if step >= first_step]
    counts = sum(np.histogram(pair_distances(p), edges)[0] for p in chosen) / len(chosen)
    n = len(chosen[0])
    return counts / (uniform_pairs(tuple(edges)) * n * (n - 1) / 2)


@functools.lru_cache
def uniform_pairs(edges):
    """The share of pairs of centres spread uniformly over the square that
    falls in each bin."""
    rng = np.random.default_rng(1)
    uniform = rng.uniform(0.5, 9.5, size=(4000, 2))
    return np.histogram(pair_distances(uniform), np.array(edges))[0] / (4000 * 3999 / 2)


def separation(frames_a, frames_b, by_step=False):
    """(time, root-mean-square distance between the two runs' particles) at
    every time both runs wrote a frame; at every step both wrote, with
    `by_step`, for time steps that differ in the last digits."""
    key = (lambda step, t: step) if by_step else (lambda step, t: round(t, 6))
    other = {key(step, t): p for step, t, p, _ in frames_b}
    out = []
    for step, t, p, _ in frames_a:
        q = other.get(key(step, t))
        if q is not None:
            out.append((t, float(np.sqrt(((p - q) ** 2).sum(axis=1).mean()))))
    return np.array(out)


def first_time_above(curve, size):
    """The first time the separation reaches `size`."""
    above = curve[curve[:, 1] >= size]
    return float(above[0, 0]) if len(above) else float("inf")


def growth_rate(curve, low, high):
    """The slope of ln(distance) against time, fitted where the distance
    lies between `low` and `high`, from its first reaching `low`."""
    start = np.argmax(curve[:, 1] >= low)
    end = np.argmax(curve[:, 1] >= high)
    part = curve[start:end]
    part = part[part[:, 1] > 0]
    slope, _ = np.polyfit(part[:, 0], np.log(part[:, 1]), 1)
    return float(slope)


def scratch():
    return tempfile.TemporaryDirectory(prefix="tessaly-guide-")


# The guide's own blocks. guide.md quotes its runs and numbers in fenced
# blocks of the kind "numbers":
#
#   A: tessaly --batch --count 40 ... --thermo a.csv
#   1 分子あたりの位置エネルギー | A mean potential/N from 1000 | -0.89 ± 0.03
#
# a run per line named by a letter, then one number a line: what it is, how
# it is worked out from the runs, and the value with the tolerance the guide
# gives it. A line "edition: fma" marks numbers that need a processor with
# FMA, on which the window and the page part.

class Block:
    def __init__(self, text):
        self.runs = {}       # letter -> (environment, command line)
        self.numbers = []    # (label, expression, value, tolerance)
        self.fma = False
        for line in text.strip().splitlines():
            line = line.strip()
            if not line:
                continue
            if line == "edition: fma":
                self.fma = True
            elif len(line) > 2 and line[1] == ":" and line[0].isupper():
                words = shlex.split(line[2:])
                env = dict(w.split("=", 1) for w in words if "=" in w and not w.startswith("-"))
                command = shlex.join(w for w in words if w not in
                                     {k + "=" + v for k, v in env.items()})
                self.runs[line[0]] = (env, command)
            else:
                label, expression, quoted = (part.strip() for part in line.split("|"))
                value, tolerance = quoted.replace("−", "-").split("±")
                self.numbers.append((label, expression, float(value), float(tolerance)))


def blocks(markdown, kind):
    """The text of every fenced block of `kind` in the guide's source."""
    found, inside = [], None
    for line in markdown.splitlines():
        if inside is None and line.strip() == "```" + kind:
            inside = []
        elif inside is not None and line.strip() == "```":
            found.append("\n".join(inside))
            inside = None
        elif inside is not None:
            inside.append(line)
    return found


class Runs:
    """One block's runs, made in a scratch folder, and its numbers."""

    def __init__(self, program, block, folder, extra_env=None):
        self.block = block
        self.folder = folder
        for env, command in block.runs.values():
            batch(program, command, folder, dict(env, **(extra_env or {})))

    def table(self, letter):
        return read_csv(os.path.join(self.folder, option(self.block.runs[letter][1], "thermo")))

    def frames(self, letter):
        return read_xyz(os.path.join(self.folder, option(self.block.runs[letter][1], "xyz")))

    def count(self, letter):
        return int(option(self.block.runs[letter][1], "count"))

    def time_step(self, letter):
        return float(option(self.block.runs[letter][1], "time-step"))

    def evaluate(self, expression):
        words = expression.split()
        if "~" in words[0]:
            a, b = words[0].split("~")
            by_step = abs(self.time_step(a) - self.time_step(b)) < 1e-5 * abs(self.time_step(a))
            curve = separation(self.frames(a), self.frames(b), by_step)
            if words[1] == "parting":
                return first_time_above(curve, float(words[2]))
            if words[1] == "growth":
                return growth_rate(curve, float(words[2]), float(words[3]))
        run, what = words[0], words[1]
        if what == "mean":
            column, first = words[2], int(words[4])
            scale = 1.0
            if column.endswith("/N"):
                column, scale = column[:-2], 1.0 / self.count(run)
            elif column.endswith("/ideal"):
                column, scale = column[:-6], 1.0 / ideal_pressure()
            return float(rows_from(self.table(run), first)[column].mean()) * scale
        if what == "speed_ratio":
            first, last = (int(s) for s in words[3].split("-"))
            return speed_ratio(self.frames(run), first, last)
        if what == "close_pairs":
            return close_pairs(self.frames(run), int(words[5]), float(words[3]))
        if what == "gr_peak":
            edges = np.arange(0.0, 5.0 + 1e-9, 0.05)
            g = pair_histogram(self.frames(run), int(words[3]), edges)
            return float(g[edges[:-1] >= 0.8].max())
        raise ValueError(f"no such number: {expression}")
