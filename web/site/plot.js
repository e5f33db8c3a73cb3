// A small plot on a canvas, drawn in device pixels: a frame, axes with tick
// labels and titles, and lines or filled outlines of (x, y) points.
//
//   DrawPlot(canvas, { x: [0, 5], y: [0, 2], xTitle, yTitle, lines: [
//     { points: [[x, y], ...], color, width, dash, fill } ] })

// Ticks at 1, 2 or 5 times a power of ten, about `count` of them.
export function Ticks(low, high, count = 5) {
  if (!(high > low)) return [low];
  const raw = (high - low) / count;
  const power = 10 ** Math.floor(Math.log10(raw));
  const step = [1, 2, 5, 10].map((m) => m * power).find((s) => s >= raw);
  const ticks = [];
  for (let k = Math.ceil(low / step); k * step <= high + step * 1e-9; ++k) {
    ticks.push(Number((k * step).toPrecision(12)));
  }
  return ticks;
}

// The canvas's size in device pixels, from its size on the page.
function Fit(canvas) {
  const ratio = devicePixelRatio || 1;
  const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
  const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
  }
  return ratio;
}

export function DrawPlot(canvas, plot) {
  const ratio = Fit(canvas);
  const g = canvas.getContext('2d');
  const font = getComputedStyle(canvas).fontFamily;
  const px = (n) => n * ratio;
  g.setTransform(1, 0, 0, 1, 0, 0);
  g.clearRect(0, 0, canvas.width, canvas.height);
  g.font = `${px(11)}px ${font}`;
  const left = px(52);
  const right = canvas.width - px(10);
  const top = px(8);
  const bottom = canvas.height - px(36);
  if (right <= left || bottom <= top) return;
  const [x0, x1] = plot.x;
  const [y0, y1] = plot.y;
  const sx = (x) => left + ((x - x0) / (x1 - x0 || 1)) * (right - left);
  const sy = (y) => bottom - ((y - y0) / (y1 - y0 || 1)) * (bottom - top);

  g.fillStyle = '#333';
  g.strokeStyle = '#ddd';
  g.lineWidth = 1;
  g.textAlign = 'center';
  g.textBaseline = 'top';
  for (const t of Ticks(x0, x1)) {
    g.beginPath();
    g.moveTo(Math.round(sx(t)) + 0.5, top);
    g.lineTo(Math.round(sx(t)) + 0.5, bottom);
    g.stroke();
    g.fillText(Label(t), sx(t), bottom + px(3));
  }
  g.textAlign = 'right';
  g.textBaseline = 'middle';
  for (const t of Ticks(y0, y1)) {
    g.beginPath();
    g.moveTo(left, Math.round(sy(t)) + 0.5);
    g.lineTo(right, Math.round(sy(t)) + 0.5);
    g.stroke();
    g.fillText(Label(t), left - px(4), sy(t));
  }
  g.textAlign = 'center';
  g.textBaseline = 'bottom';
  g.fillText(plot.xTitle, (left + right) / 2, canvas.height - px(2));
  g.save();
  g.translate(px(12), (top + bottom) / 2);
  g.rotate(-Math.PI / 2);
  g.textBaseline = 'middle';
  g.fillText(plot.yTitle, 0, 0);
  g.restore();

  g.save();
  g.beginPath();
  g.rect(left, top, right - left, bottom - top);
  g.clip();
  for (const line of plot.lines) {
    if (line.points.length === 0) continue;
    g.beginPath();
    line.points.forEach(([x, y], k) => (k === 0 ? g.moveTo(sx(x), sy(y)) : g.lineTo(sx(x), sy(y))));
    if (line.fill) {
      const [lastX] = line.points[line.points.length - 1];
      g.lineTo(sx(lastX), sy(Math.max(y0, 0)));
      g.lineTo(sx(line.points[0][0]), sy(Math.max(y0, 0)));
      g.closePath();
      g.fillStyle = line.fill;
      g.fill();
    }
    g.setLineDash((line.dash || []).map(px));
    g.strokeStyle = line.color;
    g.lineWidth = px(line.width || 1.5);
    g.stroke();
  }
  g.restore();
  g.setLineDash([]);
  g.strokeStyle = '#666';
  g.lineWidth = px(1);
  g.strokeRect(left, top, right - left, bottom - top);
}

// A tick's label: as few digits as tell it apart.
function Label(value) {
  return String(Number(value.toPrecision(6)));
}
