// Keeps every file of the page, so that it opens without a network once it
// has been opened with one. A new build changes the cache's name.
const kCache = 'tessaly-@TESSALY_SITE_VERSION@';
const kFiles = ['./', 'index.html', 'main.js', 'panel.js', 'plot.js', 'worker.js', 'tessaly_web.js', 'style.css',
  'tessaly.svg', 'manifest.webmanifest', 'address.js', 'record.js', 'save_worker.js', 'share.js', 'help.js',
  'qrcode.mjs'];

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(kCache).then((cache) => cache.addAll(kFiles)).then(() => self.skipWaiting()));
});

self.addEventListener('activate', (event) => {
  event.waitUntil(caches.keys()
    .then((names) => Promise.all(names.filter((n) => n !== kCache).map((n) => caches.delete(n))))
    .then(() => self.clients.claim()));
});

// The cache first, the address's query left aside (?seed=7 is the page).
self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(caches.match(event.request, { ignoreSearch: true })
    .then((hit) => hit || fetch(event.request)));
});
