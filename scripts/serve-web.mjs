// serve-web.mjs: serves a folder over HTTP on this machine, for the web build's page.
//   node scripts/serve-web.mjs [DIR [PORT]]      (make serve-web runs it; PORT 0 picks a free one)
// Prints the page's address once listening; runs until stopped.
import { createServer } from 'node:http';
import { existsSync } from 'node:fs';
import { readFile } from 'node:fs/promises';
import { extname, join, normalize, resolve } from 'node:path';

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
  '.html': 'text/html; charset=utf-8', '.css': 'text/css', '.js': 'text/javascript',
  '.wasm': 'application/wasm',  // the type a browser needs to compile while downloading
  '.data': 'application/octet-stream',
};

const server = createServer(async (request, response) => {
  let path = decodeURIComponent(new URL(request.url, 'http://localhost').pathname);
  if (path.endsWith('/')) path += 'index.html';
  const file = join(root, normalize(path));
  try {
    if (!file.startsWith(root)) throw new Error('outside the folder');
    const body = await readFile(file);
    response.writeHead(200, { 'Content-Type': types[extname(file)] ?? 'application/octet-stream',
                              'Cache-Control': 'no-cache' });
    response.end(body);
  } catch {
    response.writeHead(404, { 'Content-Type': 'text/plain' });
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
