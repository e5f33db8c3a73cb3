// Starts a page module (build-web/site/tessaly_web*.js) under node. Its
// loader expects node's CommonJS names, and would fetch its WebAssembly,
// which node's fetch cannot read from a file: the bytes are handed over.
//   const tessaly = await LoadModule('build-web/site/tessaly_web.js', options);
import fs from 'node:fs';
import { createRequire } from 'node:module';
import path from 'node:path';

globalThis.require = createRequire(import.meta.url);

export async function LoadModule(file, options = {}) {
  const modulePath = path.resolve(file);
  globalThis.__dirname = path.dirname(modulePath);
  const { default: createTessaly } = await import(modulePath);
  const wasmBinary = fs.readFileSync(modulePath.replace(/\.js$/, '.wasm'));
  return createTessaly({ wasmBinary, ...options });
}
