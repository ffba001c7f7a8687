// links.test.mjs: every relative link of every Markdown file in the repository resolves: to a
// file or folder that is there, and where it names a heading (#…), to a heading of that file, as
// GitHub makes its anchors (lower case, punctuation dropped, spaces to hyphens).
//   node --test tests/links.test.mjs
import assert from 'node:assert/strict';
import { execFileSync } from 'node:child_process';
import { existsSync, readFileSync, statSync } from 'node:fs';
import { dirname, join, resolve } from 'node:path';
import { test } from 'node:test';
import { fileURLToPath } from 'node:url';

const root = resolve(dirname(fileURLToPath(import.meta.url)), '..');
const markdown = execFileSync('git', ['ls-files', '*.md'], { cwd: root, encoding: 'utf8' }).split('\n').filter(Boolean);

// The anchors of a file's headings, numbered as GitHub numbers repeats.
function anchors(file) {
  const seen = new Map(), found = new Set();
  let fenced = false;
  for (const line of readFileSync(file, 'utf8').split('\n')) {
    if (/^\s*```/.test(line)) fenced = !fenced;
    const heading = !fenced && /^#{1,6}\s+(.*?)\s*#*\s*$/.exec(line);
    if (!heading) continue;
    const slug = heading[1].toLowerCase().replace(/`/g, '').replace(/[^\p{L}\p{N}\s_-]/gu, '').replace(/\s/g, '-');
    const n = seen.get(slug) ?? 0;
    seen.set(slug, n + 1);
    found.add(n ? `${slug}-${n}` : slug);
  }
  return found;
}

// The links of a Markdown text, code spans and fenced blocks left out: [text](target) and
// [text]: target.
function links(text) {
  const prose = text.replace(/```[\s\S]*?```/g, '').replace(/`[^`\n]*`/g, '');
  const targets = [];
  for (const m of prose.matchAll(/\]\(\s*<?([^)\s>]+)>?(?:\s+"[^"]*")?\s*\)/g)) targets.push(m[1]);
  for (const m of prose.matchAll(/^\s*\[[^\]]+\]:\s*<?(\S+?)>?\s*$/gm)) targets.push(m[1]);
  return targets;
}

test('every relative link of every Markdown file resolves', () => {
  assert.ok(markdown.includes('README.md'), 'the README is found');
  const broken = [];
  for (const file of markdown) {
    const path = join(root, file);
    for (const target of links(readFileSync(path, 'utf8'))) {
      if (/^[a-z][a-z0-9+.-]*:/i.test(target)) continue;  // another site, mail: not ours to check
      const [part, fragment] = target.split('#');
      const goal = part ? resolve(dirname(path), decodeURIComponent(part)) : path;
      if (!existsSync(goal)) broken.push(`${file}: ${target} (no such file)`);
      else if (fragment && statSync(goal).isFile() && goal.endsWith('.md') && !anchors(goal).has(fragment.toLowerCase())) broken.push(`${file}: ${target} (no such heading)`);
    }
  }
  assert.deepEqual(broken, []);
});
