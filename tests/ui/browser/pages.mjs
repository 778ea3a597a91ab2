// Browser tests of the settings pages: a real Chromium drives the pages of
// mimaki-panel; what is saved is read back by parmtool.
//   node pages.mjs --panel PATH --parmtool PATH [--chromium PATH]
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { Harness, parseArgs } from './harness.mjs';

const STORE = `[TS3]
PrEnv_UID=24
nPrinterTyp=0
$PassesValues$=2,4,8,16

[TS3 white]
PrEnv_UID=24
nPrinterTyp=1
DP24_nWave=3

[JV5]
PrEnv_UID=13
`;

const h = new Harness(parseArgs(process.argv.slice(2)));
before(async () => { await h.start(STORE); });
after(async () => { await h.stop(); });

const open = (name, locale) => h.open(name, locale);

async function ok(page) {
  await page.click('#ok');
}

test('the printer list links to every page, and the keyboard opens one', async () => {
  const page = await h.page();
  await page.goto(h.url);
  const links = await page.$$eval('table.printers a[href]', (as) => as.map((a) => a.textContent));
  assert.deepEqual(links, ['TS3', 'TS3 white', 'JV5']);
  await page.focus('table.printers a >> nth=0');
  await page.keyboard.press('Enter');
  await page.waitForSelector('h1');
  assert.equal(await page.textContent('h1'), 'Device options');
  assert.match(await page.textContent('.printer'), /CMimakiPage24/);
  await page.context().close();
});

test('layer controls: hidden with nPrinterTyp 0, shown with 1', async () => {
  for (const [name, shown] of [['TS3', false], ['TS3 white', true]]) {
    const page = await open(name);
    for (const id of ['c1111', 'c1112', 'c1113', 'c1055', 'c1056', 'c1041'])
      assert.equal(await page.isVisible(`#${id}`), shown, `${id} of ${name}`);
    assert.equal(await page.isVisible('#c1016-3'), true);
    await page.context().close();
  }
});

test('10 ink layers are refused with the range and the field focused; 9 are stored', async () => {
  const before = h.readStore();
  const page = await open('TS3');
  assert.equal(await page.isDisabled('#c1031'), true, 'the edit follows its check box');
  await page.check('#c1042');
  assert.equal(await page.isDisabled('#c1031'), false);
  assert.equal(await page.getAttribute('#c1031', 'min'), '1');
  assert.equal(await page.getAttribute('#c1031', 'max'), '9');
  await page.fill('#c1031', '10');
  await ok(page);
  await page.waitForSelector('#messages .error');
  assert.match(await page.textContent('#messages .error'), /between 1 and 9.*Ink Layers/);
  assert.equal(await page.evaluate(() => document.activeElement.id), 'c1031');
  assert.equal(h.readStore(), before, 'nothing saved');
  await page.fill('#c1031', '9');
  await Promise.all([page.waitForURL(/saved=1/), ok(page)]);
  assert.match(await page.textContent('#messages .notice'), /saved/);
  const record = h.record('TS3');
  assert.equal(record.nOverprint, 9);
  assert.equal(record.bSendOverprint, 1);
  await page.context().close();
});

test('the small dot size answers 5, variable 1 with one ink level', async () => {
  const page = await open('TS3');
  await page.check('#c1016-3');
  await page.waitForFunction(() => document.getElementById('q-dot').textContent === '5');
  assert.equal(await page.textContent('#q-ink'), '3');
  await page.check('#c1016-0');
  await page.waitForFunction(() => document.getElementById('q-dot').textContent === '1');
  assert.equal(await page.textContent('#q-ink'), '1');
  await page.context().close();
});

test('a wave form no item has shows no selection and is kept on OK', async () => {
  const page = await open('TS3 white');
  assert.equal(await page.inputValue('#c1118'), '');
  await page.check('#c1016-1');
  await Promise.all([page.waitForURL(/saved=1/), ok(page)]);
  assert.match(h.readStore(), /DP24_nWave=3\n/);
  assert.equal(h.record('TS3 white').nDotSize, 1);
  await page.context().close();
});

test('a store changed on disk is not overwritten: the page says so and reloads', async () => {
  const page = await open('JV5');
  const changed = h.readStore().replace('[JV5]\n', '[JV5]\nDP13_nOverprint=5\n');
  h.writeStore(changed);
  await page.check('#c1016-2');
  await ok(page);
  await page.waitForSelector('#messages .warning');
  assert.match(await page.textContent('#messages .warning'), /changed on disk/);
  await page.waitForEvent('load');
  assert.equal(h.readStore(), changed);
  assert.equal(h.record('JV5').nOverprint, 5);
  await page.context().close();
});

test('the page follows the browser language (German), English otherwise', async () => {
  const de = await open('TS3', 'de-DE');
  assert.equal(await de.textContent('h1'), 'Geräteoptionen');
  assert.equal(await de.getAttribute('html', 'lang'), 'de');
  assert.match(await de.textContent('label[for="c1042"]'), /Tintenlagen/);
  await de.context().close();
  const fr = await open('TS3', 'fr-FR');
  assert.equal(await fr.textContent('h1'), 'Device options');
  await fr.context().close();
});

test('every control has a label, edits carry their range, mnemonics are access keys', async () => {
  const page = await open('TS3 white');
  const unlabelled = await page.$$eval('form#page input:not([type=hidden]), form#page select', (els) =>
    els.filter((e) => !(e.labels && e.labels.length) && !e.closest('[aria-label]')).map((e) => e.id || e.name));
  assert.deepEqual(unlabelled, []);
  const ranges = await page.$$eval('input[type=number]', (els) => els.filter((e) => !e.min || !e.max).map((e) => e.id));
  assert.deepEqual(ranges, []);
  assert.equal(await page.getAttribute('#c1042', 'accesskey'), 'l');
  await page.context().close();
});
