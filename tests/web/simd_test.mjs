// The modules for engines without WebAssembly SIMD hold no SIMD instruction,
// and the page's two modules give the page the same functions.
// Binaryen's validator (Debian's emscripten depends on it), with every other
// feature allowed, refuses a module with a single SIMD instruction in it; the
// modules with SIMD are checked the same way, so that a validator that
// refused nothing would show.
//   node tests/web/simd_test.mjs build-web
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import fs from 'node:fs';
import os from 'node:os';
import path from 'node:path';
import { LoadModule } from './load_module.mjs';

const web = path.resolve(process.argv[2]);

// The WebAssembly of a module: the file beside it, or inside a one-file
// module as a base64 data address.
function WasmOf(file) {
  const beside = file.replace(/\.js$/, '.wasm');
  if (fs.existsSync(beside)) return fs.readFileSync(beside);
  const text = fs.readFileSync(file, 'utf8');
  const found = text.match(/data:application\/octet-stream;base64,([A-Za-z0-9+/=]+)/);
  assert.ok(found, `${file} holds no WebAssembly`);
  return Buffer.from(found[1], 'base64');
}

const dir = fs.mkdtempSync(path.join(os.tmpdir(), 'tessaly-simd-'));
try {
  const cases = [
    // file, whether it uses SIMD
    ['site-files/tessaly_web.js', true],
    ['site-files/tessaly_web_scalar.js', false],
    ['tessaly.js', true],
    ['tessaly_scalar.js', false],
  ];
  for (const [file, simd] of cases) {
    const wasm = path.join(dir, 'module.wasm');
    fs.writeFileSync(wasm, WasmOf(path.join(web, file)));
    const check = spawnSync('wasm-opt', ['--all-features', '--disable-simd', wasm], { encoding: 'utf8' });
    assert.equal(check.error, undefined, `wasm-opt: ${check.error}`);
    const refused = check.status !== 0;
    assert.ok(!refused || /SIMD/.test(check.stderr), `${file}: ${check.stderr.slice(0, 300)}`);
    assert.equal(refused, simd, `${file} ${simd ? 'should' : 'should not'} use SIMD`);
    console.log(`${file}: ${simd ? 'SIMD' : 'no SIMD instruction'}`);
  }
} finally {
  fs.rmSync(dir, { recursive: true, force: true });
}

// What the page and its worker can call: the same in both page modules.
async function Functions(file) {
  const tessaly = await LoadModule(path.join(web, 'site-files', file));
  return Object.keys(tessaly).filter((name) => typeof tessaly[name] === 'function').sort();
}
const simd = await Functions('tessaly_web.js');
assert.ok(simd.includes('_tessaly_start') && simd.includes('ccall'));
assert.deepEqual(await Functions('tessaly_web_scalar.js'), simd);
console.log(`the page's modules give the same ${simd.length} functions`);
