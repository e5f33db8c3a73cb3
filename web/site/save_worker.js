// Writes one state as the frame the batch run's --xyz writes, with the
// batch run's own writer compiled into the module, and hands back the text
// ('' where the time overflows), or that the module could not be loaded.
onmessage = async (event) => {
  const { moduleUrl, count, timeStep, steps, pos, vel } = event.data;
  let tessaly;
  try {
    const { default: createTessaly } = await import(moduleUrl);
    tessaly = await createTessaly();
  } catch (error) {
    postMessage({ failed: String(error) });
    return;
  }
  tessaly._tessaly_resize(count, timeStep);
  tessaly.HEAPF64.set(pos, tessaly._tessaly_positions() / 8);
  tessaly.HEAPF64.set(vel, tessaly._tessaly_velocities() / 8);
  postMessage({ frame: tessaly.UTF8ToString(tessaly._tessaly_xyz_frame(steps)) });
};
