// serve-web.mjs: serves a folder over HTTP on this machine, for the web build's page.
//   node scripts/serve-web.mjs [DIR [PORT]]      (make serve-web runs it; PORT 0 picks a free one)
// Prints the page's address once listening; runs until stopped. Files go out gzip-compressed to
// browsers that accept it (show.wasm shrinks to a fifth), compressed once and kept while the
// file is unchanged, with the type a browser needs and Vary so caches keep both forms apart.
import { createServer } from 'node:http';
import { existsSync } from 'node:fs';
import { readFile, stat } from 'node:fs/promises';
import { extname, join, normalize, resolve, sep } from 'node:path';
import { promisify } from 'node:util';
import { gzip } from 'node:zlib';

const root = resolve(process.argv[2] ?? 'build-web/site');
const port = Number(process.argv[3] ?? 8000);
if (!Number.isInteger(port) || port < 0 || port > 65535) {
  console.error(`serve-web: ${process.argv[3]} is not a port number`);
  process.exit(2);
}
if (!existsSync(join(root, 'index.html'))) {
  console.error(`serve-web: no page in ${root} (make web builds it)`);
  process.exit(1);
}
const types = {
  '.html': 'text/html; charset=utf-8', '.css': 'text/css; charset=utf-8',
  '.js': 'text/javascript; charset=utf-8',
  '.wasm': 'application/wasm',  // the type a browser needs to compile WebAssembly from a response
  '.data': 'application/octet-stream',
  '.json': 'application/json', '.webmanifest': 'application/manifest+json', '.png': 'image/png',
};
const compressed = new Map();  // path -> {modified, size, body}: each file gzipped once
const gzipped = promisify(gzip);

// Whether the request's Accept-Encoding takes gzip (and does not refuse it with q=0).
function takesGzip(header) {
  return (header ?? '').split(',').some((part) => {
    const [name, ...params] = part.trim().split(';');
    const q = params.map((p) => p.trim()).find((p) => p.startsWith('q='));
    return (name === 'gzip' || name === '*') && !(q && Number(q.slice(2)) === 0);
  });
}

const server = createServer(async (request, response) => {
  let file;
  try {
    let path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
    if (path.endsWith('/')) path += 'index.html';
    file = join(root, normalize(path));
    if (file !== root && !file.startsWith(root + sep)) throw new Error('outside the folder');
    const info = await stat(file);
    if (!info.isFile()) throw new Error('not a file');
    const headers = { 'Content-Type': types[extname(file)] ?? 'application/octet-stream',
                      'Cache-Control': 'no-cache', 'Vary': 'Accept-Encoding' };
    let body;
    if (takesGzip(request.headers['accept-encoding'])) {
      let entry = compressed.get(file);
      if (!entry || entry.modified !== info.mtimeMs || entry.size !== info.size) {
        entry = { modified: info.mtimeMs, size: info.size, body: await gzipped(await readFile(file), { level: 9 }) };
        compressed.set(file, entry);
      }
      body = entry.body;
      headers['Content-Encoding'] = 'gzip';
    } else {
      body = await readFile(file);
    }
    headers['Content-Length'] = body.length;
    response.writeHead(200, headers);
    response.end(request.method === 'HEAD' ? undefined : body);
  } catch {
    response.writeHead(404, { 'Content-Type': 'text/plain; charset=utf-8' });
    response.end('not found\n');
  }
});
server.on('error', (error) => {
  console.error(`serve-web: ${error.message}`);
  process.exit(1);
});
server.listen(port, '127.0.0.1', () => {
  console.log(`serving ${root} at http://localhost:${server.address().port}/`);
});
