// Keeps every file of the page, so that it opens without a network once it
// has been opened with one, and keeps each open page on the build it was
// opened with. Every file but the pages at the site's own addresses lies in
// the build's folder, builds/ID/ (assemble_site.py): a page and its workers
// ask only for their own build's files, whatever the host serves now.
const kBuild = '@TESSALY_BUILD@';
const kCache = `tessaly-${kBuild}`;
const kBuildsFolder = 'builds/';
const FolderOf = (build) => `${kBuildsFolder}${build}/`;
const kFolder = FolderOf(kBuild);
const kRootFiles = [@TESSALY_ROOT_FILES@];
const kBuildFiles = [@TESSALY_BUILD_FILES@];
// Names the build a page opened now is given: the newest installed.
const kNewest = 'tessaly-newest';

const kBuilds = new URL(kBuildsFolder, self.registration.scope).href;

// Every window of the site, those of other builds included.
const Windows = () => self.clients.matchAll({ type: 'window', includeUncontrolled: true });

async function Install() {
  const cache = await caches.open(kCache);
  // Each file afresh from the host, never from the browser's HTTP cache,
  // which may still hold the build before under the same address.
  await Promise.all([...kRootFiles, ...kBuildFiles.map((name) => kFolder + name)].map(async (name) => {
    const response = await fetch(name, { cache: 'reload' });
    if (!response.ok) throw new Error(`${name}: ${response.status}`);
    await cache.put(name, response);
  }));
  // A host part way through a deploy may serve another build's page: this
  // build is then installed at a later visit.
  if (!(await (await cache.match('index.html')).text()).includes(kFolder)) {
    throw new Error('index.html belongs to another build');
  }
  await (await caches.open(kNewest)).put('build', new Response(kBuild));
  // The first build installed takes the page that installed it at once, so
  // that the page can be cross-origin isolated (threads.js). A later one
  // waits until no page is left on the one before; meanwhile it is only
  // what a page opened from now on is given, and open pages are told.
  if (!self.registration.active) await self.skipWaiting();
  for (const client of await Windows()) client.postMessage({ newest: kFolder });
}

self.addEventListener('install', (event) => event.waitUntil(Install()));

// Active once no page is left on an older build (or at the first install):
// only this build's files and the newest's stay.
self.addEventListener('activate', (event) => {
  event.waitUntil((async () => {
    const keep = [kCache, kNewest, await NewestCache()];
    const names = (await caches.keys()).filter((name) => name.startsWith('tessaly-') && !keep.includes(name));
    await Promise.all(names.map((name) => caches.delete(name)));
    await self.clients.claim();
  })());
});

// The cache of the newest build installed, or this one's.
async function NewestCache() {
  const named = await (await caches.open(kNewest)).match('build');
  const cache = named ? `tessaly-${await named.text()}` : kCache;
  return (await caches.has(cache)) ? cache : kCache;
}

// A page asks for the newest build's folder, to tell its reader of a newer
// build than its own.
self.addEventListener('message', (event) => {
  if (event.data?.asking !== 'newest') return;
  event.waitUntil(caches.open(kNewest).then((cache) => cache.match('build'))
    .then((named) => (named ? named.text() : kBuild))
    .then((newest) => event.source?.postMessage({ newest: FolderOf(newest) })));
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

// A build's own file from whichever cache holds that build (its address
// names the build); a page at the site's own address from the newest
// build's. The address's query is left aside (?seed=7 is the page).
async function Answer(request) {
  const cache = request.url.startsWith(kBuilds) ? caches : await caches.open(await NewestCache());
  return (await cache.match(request, { ignoreSearch: true })) ?? fetch(request);
}

self.addEventListener('fetch', (event) => {
  if (event.request.method !== 'GET') return;
  event.respondWith(Answer(event.request).then(Isolated));
});
