// Page open and OK times of mimaki-panel in Debian's Chromium, for one
// model of every page class. Open is what the operator waits for: from the
// start of the navigation until the page's script has run, with the host
// queries on the page (the browser's own clock); "wall" is the same seen from
// here, with the DevTools round trips of the harness; "first" is the first
// open of the page class, before the browser kept the script and style sheet.
// OK is the save request as the page sends it (checks, the class's Save, the
// store written and renamed) until its answer. Prints median and slowest of
// RUNS per page, largest page (most controls) first. Measures, never judges.
//   node open-ok.mjs --panel PATH --parmtool PATH [--runs N] [--chromium PATH]
import { spawnSync } from 'node:child_process';
import { readFileSync } from 'node:fs';
import { loadavg } from 'node:os';
import { Harness, parseArgs } from '../../tests/ui/browser/harness.mjs';

const args = parseArgs(process.argv.slice(2));
const runs = Number(args.runs || 10);
const pages = readFileSync(new URL('../../tests/ui/data/pages.tsv', import.meta.url), 'utf8')
  .split('\n').filter((l) => l && !l.startsWith('#')).map((l) => l.split('\t'));
const uidOf = new Map();
for (let uid = 1; uid < 64; uid++) {
  const r = spawnSync(args.parmtool, ['keys', '--uid', String(uid), '--json'], { encoding: 'utf8' });
  if (r.status === 0 && !uidOf.has(JSON.parse(r.stdout).class)) uidOf.set(JSON.parse(r.stdout).class, uid);
}

const median = (xs) => { const s = [...xs].sort((a, b) => a - b); return s[Math.floor(s.length / 2)]; };
const h = new Harness(args);
await h.start(pages.map(([page, , , , cls]) => `[${page}]\nPrEnv_UID=${uidOf.get(cls)}\n`).join('\n'));
try {
  const page = await h.page();
  const rows = [];
  for (const [name] of pages) {
    const open = [], wall = [], html = [], ok = [];
    let controls = 0, first = 0;
    for (let i = 0; i <= runs; i++) {
      const t0 = performance.now();
      await page.goto(h.printerUrl(name));
      await h.ready(page);
      const waited = performance.now() - t0;
      controls = await page.$$eval('[data-ctl]', (es) => es.length);
      // The server's part of the open: the page's HTML from request to its last byte.
      const [opened, served] = await page.evaluate(() => {
        const n = performance.getEntriesByType('navigation')[0];
        return [performance.getEntriesByName('panel-ready')[0].startTime, n.responseEnd - n.requestStart];
      });
      const saved = await page.evaluate(async () => {
        const form = document.getElementById('page');
        const t = performance.now();
        const res = await fetch(form.action, { method: 'POST', headers: { Accept: 'application/json' }, body: new URLSearchParams(new FormData(form)) });
        const answer = await res.json();
        if (!answer.ok) throw new Error(JSON.stringify(answer));
        return performance.now() - t;
      });
      if (i === 0) first = opened;
      else { open.push(opened); wall.push(waited); html.push(served); ok.push(saved); }
    }
    rows.push({ name, controls, first, open, wall, html, ok });
  }
  rows.sort((a, b) => b.controls - a.controls);
  const ms = (x) => x.toFixed(1).padStart(7);
  console.log(`page open and OK in ms, ${runs} runs each (targets: open < 100, OK < 50); load average ${loadavg().map((x) => x.toFixed(1)).join(' ')}`);
  console.log(`${'page'.padEnd(28)} ctls  open med   max  first   wall med   HTML med    OK med   max`);
  for (const r of rows)
    console.log(`${r.name.padEnd(28)} ${String(r.controls).padStart(4)} ${ms(median(r.open))} ${ms(Math.max(...r.open))}` +
      `${ms(r.first)}    ${ms(median(r.wall))}    ${ms(median(r.html))}   ${ms(median(r.ok))} ${ms(Math.max(...r.ok))}`);
  const all = (k) => rows.flatMap((r) => r[k]);
  console.log(`all pages: open median ${median(all('open')).toFixed(1)} ms, slowest ${Math.max(...all('open')).toFixed(1)} ms ` +
    `(wall median ${median(all('wall')).toFixed(1)} ms); ` +
    `OK median ${median(all('ok')).toFixed(1)} ms, slowest ${Math.max(...all('ok')).toFixed(1)} ms`);
} finally {
  await h.stop();
}
