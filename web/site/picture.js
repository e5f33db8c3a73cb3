// The picture of the box: a canvas with one pixel for every pixel of the
// screen it covers, at any pixel density, and one disc stamped per particle
// from a sprite drawn once per size, as the desktop stamps its discs.

const kBackground = 'rgb(112, 128, 144)';

export class Picture {
  // `state()` gives the state to draw: { count, xy } with x and y of each
  // particle side by side, or null before the first run.
  constructor(canvas, state) {
    this.canvas = canvas;
    this.context = canvas.getContext('2d');
    this.state = state;
    this.sprite = null;
    this.drawn = 0;
    this.onSized = null;  // called once the canvas has its size
  }

  // Follows the canvas's size in device pixels: from the browser where it
  // says so, from the pixel ratio elsewhere (WebKit knows no device-pixel box).
  observe() {
    const resizer = new ResizeObserver(([entry]) => this.resize(entry));
    try {
      resizer.observe(this.canvas, { box: 'device-pixel-content-box' });
    } catch {
      resizer.observe(this.canvas);
    }
  }

  resize(entry) {
    const box = entry.devicePixelContentBoxSize?.[0];
    this.canvas.width = box ? box.inlineSize : Math.round(entry.contentRect.width * devicePixelRatio);
    this.canvas.height = box ? box.blockSize : Math.round(entry.contentRect.height * devicePixelRatio);
    // Discs of diameter 1 in world units across, a pixel's white rim.
    const radius = this.canvas.width / 20;
    const rim = Math.max(1, this.canvas.width / 277);
    const size = Math.ceil(2 * radius + 2 * rim);
    const canvas = document.createElement('canvas');  // older tablets have no OffscreenCanvas
    canvas.width = size;
    canvas.height = size;
    const disc = canvas.getContext('2d');
    disc.beginPath();
    disc.arc(size / 2, size / 2, radius, 0, 2 * Math.PI);
    disc.fillStyle = 'black';
    disc.fill();
    disc.lineWidth = rim;
    disc.strokeStyle = 'white';
    disc.stroke();
    // A bitmap is copied faster than a canvas (by far in WebKit); the canvas
    // serves until it is made, and where there are no bitmaps.
    this.sprite = canvas;
    window.createImageBitmap?.(canvas).then((bitmap) => {
      if (this.sprite === canvas) this.sprite = bitmap;
    }, () => {});
    this.draw();
    this.onSized?.();
  }

  draw() {
    const { canvas, context, sprite } = this;
    context.fillStyle = kBackground;
    context.fillRect(0, 0, canvas.width, canvas.height);
    const state = this.state();
    if (!state || !sprite) return;  // resize draws it once the canvas has a size
    const sx = canvas.width / 10;
    const sy = canvas.height / 10;
    const half = sprite.width / 2;
    const { count, xy } = state;
    // At whole pixels: each disc is copied, not resampled, which makes
    // drawing three to four times cheaper.
    for (let k = 0; k < 2 * count; k += 2) {
      context.drawImage(sprite, Math.round(xy[k] * sx - half), Math.round(xy[k + 1] * sy - half));
    }
    this.drawn += 1;
  }
}
