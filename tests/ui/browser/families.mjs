// Every page class of the page table (tests/ui/data/pages.tsv), opened in
// the browser for the first UID whose parameter class it belongs to: one
// control changed, OK, and the store read back by parmtool with the changed
// value and every other field as it was.
//   node families.mjs --panel PATH --parmtool PATH [--chromium PATH]
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { readFileSync } from 'node:fs';
import { spawnSync } from 'node:child_process';
import { Harness, parseArgs } from './harness.mjs';

const args = parseArgs(process.argv.slice(2));
const table = readFileSync(new URL('../data/pages.tsv', import.meta.url), 'utf8')
  .split('\n').filter((l) => l && !l.startsWith('#'))
  .map((l) => { const [page, base, dialog, second, cls] = l.split('\t'); return { page, base, dialogs: [dialog, second], cls }; });

// The first UID of each parameter class, as the plug-in builds it.
const uidOf = new Map();
for (let uid = 1; uid < 64; uid++) {
  const r = spawnSync(args.parmtool, ['keys', '--uid', String(uid), '--json'], { encoding: 'utf8' });
  if (r.status !== 0) continue;
  const cls = JSON.parse(r.stdout).class;
  if (!uidOf.has(cls)) uidOf.set(cls, uid);
}

const h = new Harness(args);
before(async () => {
  await h.start(table.map((row) => `[${row.page}]\nPrEnv_UID=${uidOf.get(row.cls)}\n`).join('\n'));
});
after(async () => { await h.stop(); });

const state = (page) => page.evaluate(async () =>
  (await fetch(document.getElementById('page').dataset.state, { headers: { Accept: 'application/json' } })).json());

// The page's controls an operator can change here, check boxes first: id,
// kind and the value they take when changed.
function candidates(page) {
  return page.evaluate(() => {
    const form = document.getElementById('page');
    const usable = (e) => !e.disabled && !e.closest('dialog') && !e.closest('[hidden]') && e.offsetParent !== null;
    const out = [];
    form.querySelectorAll('input[type=checkbox]').forEach((e) => { if (usable(e)) out.push({ slot: e.name, kind: 'check' }); });
    form.querySelectorAll('select').forEach((e) => {
      if (usable(e) && e.dataset.ctl !== '1200' && e.options.length > 1)
        out.push({ slot: e.name, kind: 'select', index: (e.selectedIndex + 1) % e.options.length });
    });
    return out;
  });
}

test('the page table has a model for every page class', () => {
  assert.equal(table.length, 51);
  assert.deepEqual(table.filter((row) => !uidOf.has(row.cls)).map((row) => row.cls), []);
});

for (const row of table) {
  test(`${row.page}: opened, one control changed, saved and read back`, async () => {
    const page = await h.page();
    try {
      await page.goto(h.printerUrl(row.page));
      await h.ready(page);
      const before = await state(page);
      assert.equal(before.page, row.page);
      assert.ok(row.dialogs.includes(String(before.dialog)), `dialog ${before.dialog}`);
      const recordBefore = h.record(row.page);
      const stored = h.readStore();
      let chosen = null;
      // A change the page refuses (an edit its check box enables holds a
      // value out of its range) is put back and the next control tried.
      for (const c of (await candidates(page)).filter((c) => before.fields[c.slot] in recordBefore)) {
        if (c.kind === 'check') await page.click(`#${c.slot}`);
        else await page.selectOption(`#${c.slot}`, { index: c.index });
        await page.click('#ok');
        const outcome = await Promise.race([
          page.waitForURL(/saved=1/).then(() => 'saved'),
          page.waitForSelector('#messages .error').then(() => 'refused'),
        ]);
        if (outcome === 'saved') { chosen = c; break; }
        assert.equal(h.readStore(), stored, 'a refused OK saves nothing');
        await page.goto(h.printerUrl(row.page));
        await h.ready(page);
      }
      assert.ok(chosen, 'no control could be changed and saved');
      await h.ready(page);
      const afterState = await state(page);
      const field = before.fields[chosen.slot];
      assert.notEqual(afterState.values[chosen.slot], before.values[chosen.slot], `${chosen.slot} (${field}) changed`);
      if (chosen.kind === 'check')
        assert.equal(await page.isChecked(`#${chosen.slot}`), before.values[chosen.slot] === 0);
      const recordAfter = h.record(row.page);
      // The page may show a field inverted or by index: the record's own
      // value has to differ, every other field stays.
      assert.notDeepEqual(recordAfter[field], recordBefore[field], `${field} as parmtool reads it`);
      for (const [key, value] of Object.entries(recordBefore))
        if (key !== field) assert.deepEqual(recordAfter[key], value, `${key} kept`);
    } finally {
      await page.context().close();
    }
  });
}
