// Browser tests of a print-condition page (TS300P advanced, UID 31) with
// printersim as its printer: the stored-data warning, the retrieval dialog
// (progress, messages, Abort), the print modes it brings and their pass
// lists, and OK after a retrieval.
//   node conditions.mjs --panel PATH --parmtool PATH --printersim PATH [--chromium PATH]
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { Harness, parseArgs } from './harness.mjs';

const h = new Harness(parseArgs(process.argv.slice(2)));
// Dot volumes of the status block as sent: 8, 14 and 24 pl for the first
// ink slot, none for the rest.
const VOLUMES = '0050008C00F0' + 'F'.repeat(708);
before(async () => {
  const printer = await h.startPrinter(['--uid', '31', '--dot-volumes', VOLUMES]);
  const silent = await h.startPrinter(['--uid', '31', '--misbehave', 'silent']);
  const silentUcjv = await h.startPrinter(['--uid', '38', '--misbehave', 'silent']);
  await h.start(`[Adv]\nPrEnv_UID=31\nPrEnv_Port=${printer}\n\n[Adv silent]\nPrEnv_UID=31\nPrEnv_Port=${silent}\n` +
    `\n[UCJV silent]\nPrEnv_UID=38\nPrEnv_Port=${silentUcjv}\n`);
});
after(async () => { await h.stop(); });

const open = (name) => h.open(name);

// The options offered (those a mode does not accept are hidden).
const options = (page, selector) => page.$$eval(`${selector} option`, (os) => os.filter((o) => !o.hidden).map((o) => o.textContent));
const buttonsEnabled = async (page) => Promise.all(['#c1253', '#c1254', '#c1071'].map(async (b) => !(await page.isDisabled(b))));

test('print modes retrieved: the warning goes, the modes and their pass lists come, OK saves the chosen one', async () => {
  const page = await open('Adv');
  assert.match(await page.textContent('#messages .warning'), /Print mode data in this print environment is old/);
  await page.click('#c1256');
  assert.equal(await page.isVisible('#dlg-retrieve'), true);
  assert.equal(await page.textContent('#retrieve-what'), 'Retrieve print modes from printer');
  assert.deepEqual(await buttonsEnabled(page), [true, false, true], 'Retrieve, not Abort, OK');
  await page.click('#c1253');
  await page.waitForSelector('#retrieve-messages .notice');
  assert.equal(await page.textContent('#retrieve-messages .notice'),
    'Print modes list successfully retrieved from printer\nClose and open again the print environment to activate the new print modes list');
  assert.equal(await page.textContent('#retrieve-bytes'), '6452 of 6452 bytes received');
  assert.deepEqual(await buttonsEnabled(page), [true, false, true]);
  await page.click('#c1071');
  assert.equal(await page.isVisible('#dlg-retrieve'), false);
  assert.equal(await page.locator('#messages .warning').count(), 0, 'the old-data warning is gone');

  const modes = await options(page, '#c1200');
  assert.equal(modes.length, 53);
  await page.selectOption('#c1200', { label: 'Cotton 600x300 VD' });
  const passList = 'select[data-mode-passes]';
  assert.deepEqual((await options(page, passList)).slice(1), ['1', '2', '3', '4', '6']);
  await page.selectOption('#c1200', { label: 'Stretch 1440x1440 VD' });
  assert.deepEqual((await options(page, passList)).slice(1), ['24', '32', '48']);
  await page.selectOption(passList, { label: '32' });
  // The retrieval wrote the store; the page carries its new revision, so
  // OK saves instead of reporting a change on disk.
  await Promise.all([page.waitForURL(/saved=1/), page.click('#ok')]);
  const r = h.record('Adv');
  assert.equal(r.m_nPass, 32);
  assert.notEqual(r.strPrintModeData, '');
  const reopened = await open('Adv');
  assert.equal(await reopened.$eval('#c1200', (s) => s.selectedOptions[0].textContent), 'Stretch 1440x1440 VD');
  await reopened.context().close();
  await page.context().close();
});

test('dot volumes retrieved and stored', async () => {
  const page = await open('Adv');
  await page.click('#c1257');
  assert.equal(await page.textContent('#retrieve-what'), 'Retrieve dot volumes from printer');
  await page.click('#c1253');
  await page.waitForSelector('#retrieve-messages .notice');
  await page.click('#c1071');
  assert.match(h.record('Adv').strDotVolumesData, /^50008C00F000F{708}$/);
  await page.context().close();
});

test('a printer that never answers: Abort ends the retrieval silently, Escape waits for it, nothing is stored', async () => {
  const stored = h.readStore();
  const page = await open('Adv silent');
  await page.click('#c1256');
  // The start's answer held back: Escape comes before the server has named
  // the retrieval.
  let release;
  const held = new Promise((resolve) => { release = resolve; });
  await page.route(/\/api\/retrieve\?p=/, async (route) => { await held; await route.continue(); });
  await page.click('#c1253');
  await page.keyboard.press('Escape');
  assert.equal(await page.isVisible('#dlg-retrieve'), true, 'Escape does not leave a running retrieval');
  assert.deepEqual(await buttonsEnabled(page), [false, true, false], 'only Abort while it runs');
  // Abort before the server named it: sent as soon as it has.
  await page.click('#c1254');
  release();
  // An abort shows no message (the port reported no error).
  await page.waitForFunction(() => !document.getElementById('c1253').disabled);
  assert.deepEqual(await buttonsEnabled(page), [true, false, true]);
  assert.equal(await page.locator('#retrieve-messages p').count(), 0);
  await page.keyboard.press('Escape');
  assert.equal(await page.isVisible('#dlg-retrieve'), false);
  assert.equal(h.readStore(), stored);
  await page.context().close();
});

test('OK of a page that checks its settings with a printer that never answers: Abort ends the wait, the settings stay saved', async () => {
  const page = await open('UCJV silent');
  assert.equal(await page.isVisible('#ok-check'), false);
  await page.fill('#c1116', '77');
  await page.click('#ok');
  await page.waitForSelector('#ok-check', { state: 'visible' });
  assert.equal(await page.textContent('#ok-check'), 'Checking the settings with the printer... Abort');
  // The printer's read timeout is 10 s: the next page within 5 s is the abort's doing.
  await Promise.all([page.waitForURL(/saved=1/, { timeout: 5000 }), page.click('#ok-abort')]);
  await h.ready(page);
  assert.equal(await page.textContent('#messages .notice'), 'The settings were saved.');
  const warnings = await page.locator('#messages .warning').allTextContents();
  assert.deepEqual(warnings.filter((w) => /settings were saved/.test(w)), [], 'an abort is no warning');
  assert.match(h.readStore(), /\[UCJV silent\][^[]*DP35_nLayerOffset=77\n/);
  await page.context().close();
});
