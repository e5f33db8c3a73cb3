// The observation panel (観測): the figures the worker works out with the
// model's own functions (model/observables), as the desktop's observation
// window shows them: the numbers with their units, the potential energy per
// particle over time, g(r), and the speeds beside the Maxwell–Boltzmann curve.
// It only lays them out; every number, and when they come, is the module's.
import { DrawPlot } from './plot.js';

const kScalars = ['steps', 'time', 'count', 'kinetic', 'potential', 'temperature',
  'kineticPerParticle', 'potentialPerParticle', 'totalPerParticle', 'wallPressure',
  'pairTop', 'pairNearPeak', 'speedRange', 'densityTop', 'curvePoints'];

// As the desktop writes them: four significant digits.
const Number4 = (value) => String(Number(value.toPrecision(4)));

// Splits tessaly_observe()'s answer into its parts; `layout(k)` is
// tessaly_observation_layout.
export function ReadFigures(buffer, layout) {
  const f = {};
  kScalars.forEach((name, k) => { f[name] = buffer[k]; });
  let at = layout(0);
  const take = (n) => { const part = Array.from(buffer.subarray(at, at + n)); at += n; return part; };
  f.pair = take(layout(1));
  f.speed = take(layout(3));
  f.curve = take(layout(4)).slice(0, f.curvePoints);
  return f;
}

export class Panel {
  constructor(root, button, layout) {
    this.root = root;
    this.button = button;
    this.layout = layout;
    this.shown = false;
    this.history = [];  // (time, potential energy per particle) of the refreshes kept
    this.refreshes = 0;
    this.figures = null;
    this.onToggle = null;
    this.note = root.querySelector('#pressureNote');
    this.note.textContent = this.note.textContent.replace('100', String(layout(5)));
    button.addEventListener('click', () => this.toggle());
  }

  toggle() {
    this.shown = !this.shown;
    this.root.hidden = !this.shown;
    this.button.setAttribute('aria-expanded', String(this.shown));
    document.body.classList.toggle('observing', this.shown);
    this.onToggle?.(this.shown);
  }

  // A new run: nothing to show until its first figures.
  runStarted() {
    this.figures = null;
    this.history = [];
  }

  // `buffer`: the figures as tessaly_figures() lays them out; `history`: the
  // energy plot's points, [time, U / N] each.
  show(buffer, history) {
    if (!this.shown) return;
    const f = ReadFigures(buffer, this.layout);
    this.figures = f;
    this.history = history;
    this.refreshes += 1;
    const text = {
      count: String(f.count),
      time: `${Number4(f.time)} τ (${f.steps} ステップ)`,
      temperature: `${Number4(f.temperature)} ε/k_B`,
      kinetic: `${Number4(f.kineticPerParticle)} ε`,
      potential: `${Number4(f.potentialPerParticle)} ε`,
      total: `${Number4(f.totalPerParticle)} ε`,
      pressure: `${Number4(f.wallPressure)} ε/σ²`,
    };
    for (const [name, value] of Object.entries(text)) {
      this.root.querySelector(`#${name}Value`).textContent = value;
    }
    this.draw();
  }

  draw() {
    const f = this.figures;
    const h = this.history;
    if (!f || !this.shown || h.length === 0) return;
    const values = h.map(([, u]) => u);
    let low = Math.min(...values);
    let high = Math.max(...values);
    const pad = high > low ? 0.05 * (high - low) : Math.max(0.1, 0.05 * Math.abs(low));
    const first = h[0][0];
    const lastTime = h[h.length - 1][0];
    DrawPlot(this.root.querySelector('#energyPlot'), {
      x: [first, lastTime > first ? lastTime : first + 1], y: [low - pad, high + pad],
      xTitle: '時刻 t (τ)', yTitle: 'U / N (ε)',
      lines: [{ points: h, color: 'rgb(32, 159, 223)' }],
    });

    const width = this.layout(2);
    const range = width * f.pair.length;
    DrawPlot(this.root.querySelector('#pairPlot'), {
      x: [0, range], y: [0, f.pairTop], xTitle: '距離 r (σ)', yTitle: 'g(r)',
      lines: [
        { points: [[0, 1], [range, 1]], color: 'gray', width: 1, dash: [4, 3] },
        { points: f.pair.map((g, k) => [(k + 0.5) * width, g]), color: 'rgb(32, 159, 223)' },
      ],
    });
    this.root.querySelector('#pairPeak').textContent = f.pairNearPeak > 0
      ? `r < 0.5 の山 (${Number4(f.pairNearPeak)}) は上で切れています` : '';

    const bin = f.speedRange / f.speed.length;
    const outline = f.speed.flatMap((d, k) => [[k * bin, d], [(k + 1) * bin, d]]);
    const steps = this.layout(4) - 1;
    DrawPlot(this.root.querySelector('#speedPlot'), {
      x: [0, f.speedRange], y: [0, f.densityTop], xTitle: '速さ v (σ/τ)', yTitle: '確率密度 (τ/σ)',
      lines: [
        { points: outline, color: 'rgb(40, 80, 160)', width: 1, fill: 'rgb(120, 160, 220)' },
        { points: f.curve.map((d, k) => [(f.speedRange * k) / steps, d]), color: 'rgb(200, 40, 40)', width: 2 },
      ],
    });
    this.root.querySelector('#curveName').textContent =
      `マクスウェル–ボルツマン分布 (T = ${Number4(f.temperature)})`;
  }
}
