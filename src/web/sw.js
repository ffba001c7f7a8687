// sw.js: the page's service worker: keeps the page, its program and its music, so that a page
// visited once plays with the network gone. Network first, so a new release is seen at once
// where there is a network; the kept copy where there is none. Only the show's own files are
// kept, not the downloads beside it. The list is the web build's (src/web/CMakeLists.txt).
const kCache = 'nocturne';
const kFiles = ['./', @SITE_FILES@];
const kept = new Set(kFiles.map((file) => new URL(file, self.registration.scope).href));

self.addEventListener('install', (event) => {
  event.waitUntil(caches.open(kCache).then((cache) => cache.addAll(kFiles)).then(() => self.skipWaiting()));
});
self.addEventListener('activate', (event) => event.waitUntil(self.clients.claim()));

self.addEventListener('fetch', (event) => {
  const url = new URL(event.request.url);
  url.search = url.hash = '';
  if (event.request.method !== 'GET' || !kept.has(url.href)) return;
  event.respondWith(fetch(event.request).then((response) => {
    if (response.ok) {
      const copy = response.clone();
      caches.open(kCache).then((cache) => cache.put(url.href, copy));
    }
    return response;
  }, () => caches.match(url.href).then((cached) => cached || Response.error())));
});
