// Writes one state as the frame the batch run's --xyz writes, with the
// batch run's own writer compiled into the module, and hands back the text.
onmessage = async (event) => {
  const { moduleUrl, count, timeStep, steps, pos, vel } = event.data;
  const { default: createTessaly } = await import(moduleUrl);
  const tessaly = await createTessaly();
  tessaly._tessaly_resize(count, timeStep);
  tessaly.HEAPF64.set(pos, tessaly._tessaly_positions() / 8);
  tessaly.HEAPF64.set(vel, tessaly._tessaly_velocities() / 8);
  postMessage(tessaly.UTF8ToString(tessaly._tessaly_xyz_frame(steps)));
};
