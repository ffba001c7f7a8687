// downloads.js: the other ways to watch the show, under the player: whatever a release put
// beside the page (downloads.json: the Windows program, the Debian package, the video, the
// source), each with its size. A page built alone has none, and says nothing of them.
const nav = document.getElementById('downloads');

function size(bytes) {
  return bytes >= 1e6 ? `${(bytes / 1e6).toFixed(1)} MB` : `${Math.max(1, Math.round(bytes / 1e3))} kB`;
}

export async function listDownloads() {
  let list;
  try {
    const response = await fetch('downloads.json', { cache: 'no-cache' });
    if (!response.ok) return;
    list = await response.json();
  } catch {
    return;  // none here, or offline: the show itself still plays
  }
  if (!Array.isArray(list) || !list.length) return;
  nav.append('Also: ');
  list.forEach(({ what, file, kind, bytes }, i) => {
    if (i) nav.append(' · ');
    const link = document.createElement('a');
    link.href = file;
    link.textContent = what;
    if (kind !== 'source') link.download = '';
    nav.append(link, ` (${kind}, ${size(bytes)})`);
  });
  nav.hidden = false;
}
