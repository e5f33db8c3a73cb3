// Runs one tick's step at a time on the state the page hands over, and
// hands back the new state or the kind of arithmetic error.
import createTessaly from './tessaly_web.js';

const ready = createTessaly();
let size = null;

onmessage = async (event) => {
  const tessaly = await ready;
  const { generation, count, timeStep, pos, vel } = event.data;
  if (!size || size.count !== count || !Object.is(size.timeStep, timeStep)) {
    tessaly._tessaly_resize(count, timeStep);
    size = { count, timeStep };
  }
  tessaly.HEAPF64.set(pos, tessaly._tessaly_positions() / 8);
  tessaly.HEAPF64.set(vel, tessaly._tessaly_velocities() / 8);
  const started = performance.now();
  const error = tessaly._tessaly_step();
  const stepMs = performance.now() - started;
  const at = (ptr) => tessaly.HEAPF64.slice(ptr / 8, ptr / 8 + pos.length);
  const next = { generation, error, stepMs, pos: at(tessaly._tessaly_positions()), vel: at(tessaly._tessaly_velocities()) };
  postMessage(next, [next.pos.buffer, next.vel.buffer]);
};
