// Keeps every file of the page, so that it opens without a network once it
// has been opened with one. A new build changes the cache's name.
const kCache = 'tessaly-@TESSALY_SITE_VERSION@';
// The modules are those modules.json lists, every one of them: the same
// device may run another one later (a browser updated, a policy changed).
const kFiles = ['./', 'index.html', 'start.js', 'main.js', 'panel.js', 'plot.js', 'worker.js', 'threads.js',
  'modules.json', 'style.css', 'tessaly.svg', 'manifest.webmanifest', 'address.js', 'saving.js', 'picture.js',
  'stepper.js', 'save_worker.js', 'share.js', 'help.js', 'qrcode.mjs', 'guide.html', 'guide.js',
  @TESSALY_GUIDE_FILES_JS@];

async function Install() {
  const modules = await (await fetch('modules.json', { cache: 'no-cache' })).json();
  const cache = await caches.open(kCache);
  await cache.addAll([...kFiles, ...modules.flatMap(({ file, beside = [] }) => [file, ...beside])]);
  await self.skipWaiting();
}

self.addEventListener('install', (event) => event.waitUntil(Install()));

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n !== kCache).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

// Every response it serves says that the page is cross-origin isolated, so
// that the page may share memory between threads (threads.js), wherever it
// is served from: a plain static host sends no such headers.
function Isolated(response) {
  if (response.type === 'opaque' || response.status === 0) return response;
  const headers = new Headers(response.headers);
  headers.set('Cross-Origin-Opener-Policy', 'same-origin');
  headers.set('Cross-Origin-Embedder-Policy', 'require-corp');
  return new Response(response.body, { status: response.status, statusText: response.statusText, headers });
}

// The cache first, the address's query left aside (?seed=7 is the page).
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.match(event.request, { ignoreSearch: true })
    .then((hit) => hit || fetch(event.request)).then(Isolated));
});
