// Browser tests of the option dialogs: the layer manager of the JFX200EX,
// the dot-size dialog of the UJF706 and the JF print option of model 16;
// what OK saves is read back by parmtool.
//   node dialogs.mjs --panel PATH --parmtool PATH [--chromium PATH]
import { test, before, after } from 'node:test';
import assert from 'node:assert/strict';
import { Harness, parseArgs } from './harness.mjs';

const THREE_LAYERS = `PrEnv_UID=46
DP46_nNumberOfLayers=3
DP46_Layer1.nType=1
DP46_Layer2.nType=2
DP46_Layer2.nWaveForm=3
DP46_Layer2.nDirection=1
DP46_Layer3.nType=3
DP46_Layer3.nPass=4
`;
const STORE = `[EX move]
${THREE_LAYERS}
[EX delete]
${THREE_LAYERS}
[EX one]
PrEnv_UID=46
DP46_nNumberOfLayers=1
DP46_Layer1.nType=1

[UJF706]
PrEnv_UID=20

[JF]
PrEnv_UID=16
PrEnv_DpiVert=1200
`;

const h = new Harness(parseArgs(process.argv.slice(2)));
before(async () => { await h.start(STORE); });
after(async () => { await h.stop(); });

const open = (name) => h.open(name);

async function okAndWait(page) {
  await Promise.all([page.waitForURL(/saved=1/), page.click('#ok')]);
}

const rows = (page, table) => page.$$eval(`${table} tbody tr`, (trs) => trs.map((tr) => Array.from(tr.cells, (c) => c.textContent)));
const selectedRow = (page) => page.$$eval('#dlg-layers-grid tbody tr', (trs) => trs.findIndex((tr) => tr.getAttribute('aria-selected') === 'true'));
async function buttons(page) {
  return {
    up: !(await page.isDisabled('#dlg-layers-up')),
    down: !(await page.isDisabled('#dlg-layers-down')),
    del: !(await page.isDisabled('#dlg-layers-delete')),
  };
}

const PAGE_ROWS = [
  ['Layer 1', 'White', '0', 'Default', 'Unidirectional'],
  ['Layer 2', 'Primer', '0', 'WF 3', 'Bidirectional'],
  ['Layer 3', 'White+Color', '4', 'Default', 'Unidirectional'],
];

test('layer manager: columns, enabling, the moved row stays selected, Cancel leaves the list', async () => {
  const page = await open('EX move');
  assert.deepEqual(await rows(page, 'table.layers:not(.manage)'), PAGE_ROWS);
  await page.click('#c1338');
  assert.equal(await page.isVisible('#dlg-layers'), true);
  assert.equal(await page.textContent('#dlg-layers-title'), "Manage media's");
  assert.deepEqual(await page.$$eval('#dlg-layers-grid thead th', (ths) => ths.map((t) => t.textContent)),
    ['Layer', 'Type', 'Passes', 'Wave', 'Direction']);
  assert.deepEqual((await rows(page, '#dlg-layers-grid')).map((r) => r[0]), ['1', '2', '3']);
  assert.equal(await selectedRow(page), 0);
  assert.deepEqual(await buttons(page), { up: false, down: true, del: true });
  await page.click('#dlg-layers-down');
  assert.equal(await selectedRow(page), 1, 'the moved layer stays selected');
  const moved = await rows(page, '#dlg-layers-grid');
  assert.deepEqual(moved.map((r) => r[0]), ['1', '2', '3'], 'layer numbers stay in place');
  assert.deepEqual(moved.map((r) => r[1]), ['Primer', 'White', 'White+Color']);
  assert.deepEqual(await buttons(page), { up: true, down: true, del: true });
  // The keyboard moves the selection; at the last row Down is disabled.
  await page.keyboard.press('ArrowDown');
  assert.equal(await selectedRow(page), 2);
  assert.deepEqual(await buttons(page), { up: true, down: false, del: true });
  await page.click('#dlg-layers .dlg-cancel');
  assert.equal(await page.isVisible('#dlg-layers'), false);
  assert.deepEqual(await rows(page, 'table.layers:not(.manage)'), PAGE_ROWS, 'Cancel leaves the list');
  await okAndWait(page);
  const r = h.record('EX move');
  assert.deepEqual([r['Layer1.nType'], r['Layer2.nType'], r['Layer3.nType']], [1, 2, 3]);
  await page.context().close();
});

test('layer manager: the first row moved down and OK swaps the first two layer records', async () => {
  const page = await open('EX move');
  await page.click('#c1338');
  await page.click('#dlg-layers-down');
  await page.click('#dlg-layers .dlg-ok');
  assert.deepEqual(await rows(page, 'table.layers:not(.manage)'), [
    ['Layer 1', 'Primer', '0', 'WF 3', 'Bidirectional'],
    ['Layer 2', 'White', '0', 'Default', 'Unidirectional'],
    ['Layer 3', 'White+Color', '4', 'Default', 'Unidirectional'],
  ]);
  await okAndWait(page);
  const r = h.record('EX move');
  assert.equal(r.nNumberOfLayers, 3);
  assert.deepEqual([r['Layer1.nType'], r['Layer1.nWaveForm'], r['Layer1.nDirection']], [2, 3, 1]);
  assert.deepEqual([r['Layer2.nType'], r['Layer2.nWaveForm'], r['Layer2.nDirection']], [1, 0, 0]);
  assert.deepEqual([r['Layer3.nType'], r['Layer3.nPass']], [3, 4]);
  await page.context().close();
});

test('layer manager: deleting row 2 of 3 renumbers the rest and OK keeps two records; one row cannot be deleted', async () => {
  const page = await open('EX delete');
  await page.click('#c1338');
  await page.click('#dlg-layers-grid tbody tr >> nth=1');
  assert.equal(await selectedRow(page), 1);
  await page.click('#dlg-layers-delete');
  const left = await rows(page, '#dlg-layers-grid');
  assert.deepEqual(left.map((r) => r.slice(0, 3)), [['1', 'White', '0'], ['2', 'White+Color', '4']]);
  assert.equal(await selectedRow(page), 1, 'the row now at the removed position');
  assert.deepEqual(await buttons(page), { up: true, down: false, del: true });
  await page.click('#dlg-layers .dlg-ok');
  await okAndWait(page);
  const r = h.record('EX delete');
  assert.equal(r.nNumberOfLayers, 2);
  assert.deepEqual([r['Layer1.nType'], r['Layer2.nType'], r['Layer2.nPass']], [1, 3, 4]);
  assert.doesNotMatch(h.readStore().split('[EX one]')[0].split('[EX delete]')[1], /Layer3/);
  await page.context().close();

  const one = await open('EX one');
  await one.click('#c1338');
  assert.deepEqual(await buttons(one), { up: false, down: false, del: false });
  await one.context().close();
});

test('dot-size dialog: three sliders between 72 pl and 6 pl over the twelve labels; Cancel puts back, OK saves', async () => {
  const page = await open('UJF706');
  await page.click('#c1178');
  assert.equal(await page.textContent('#dlg-c1178-title'), 'Dot Size');
  const sliders = ['#d1178_1163', '#d1178_1154', '#d1178_1155'];
  for (const s of sliders) {
    assert.equal(await page.isDisabled(s), true, 'fixed while "Use default" is checked');
    assert.deepEqual(await page.$eval(s, (e) => Array.from(e.parentElement.querySelectorAll('.end'), (x) => x.textContent)),
      ['72 pl', '6 pl']);
  }
  await page.uncheck('#d1178_1041');
  const labels = [];
  await page.focus('#d1178_1163');
  await page.keyboard.press('Home');
  for (let i = 0; i < 12; i++) {
    labels.push(await page.textContent('#d1178_1156'));
    await page.keyboard.press('ArrowRight');
  }
  assert.deepEqual(labels, ['72pl', '66pl', '60pl', '54pl', '48pl', '42pl', '36pl', '30pl', '24pl', '18pl', '12pl', '6pl']);
  await page.click('#dlg-c1178 .dlg-cancel');
  assert.equal(await page.isChecked('#d1178_1041'), true, 'Cancel puts the check back');
  assert.equal(await page.inputValue('#d1178_1163'), '5');
  await page.click('#c1178');
  await page.uncheck('#d1178_1041');
  await page.focus('#d1178_1163');
  await page.keyboard.press('Home');
  await page.keyboard.press('ArrowRight');
  await page.keyboard.press('ArrowRight');
  await page.focus('#d1178_1155');
  await page.keyboard.press('End');
  assert.equal(await page.textContent('#d1178_1158'), '6pl');
  await page.click('#dlg-c1178 .dlg-ok');
  await okAndWait(page);
  const r = h.record('UJF706');
  assert.deepEqual([r.bDotSizeUseDefault, r.nDotSizeBig, r.nDotSizeMedium, r.nDotSizeSmall], [0, 2, 6, 11]);
  await page.context().close();
});

test('JF print option: 11 ink layers refused, 10 accepted; weaving disables the pass counts it cannot print', async () => {
  const stored = h.readStore();
  const page = await open('JF');
  await page.click('#c1300');
  await page.fill('#d1300_1151', '11');
  await page.click('#dlg-c1300 .dlg-ok');
  await page.click('#ok');
  await page.waitForSelector('#messages .error');
  assert.match(await page.textContent('#messages .error'), /between 1 and 10/);
  assert.equal(await page.isVisible('#dlg-c1300'), true, 'the dialog opens again on the field');
  assert.equal(await page.evaluate(() => document.activeElement.id), 'd1300_1151');
  assert.equal(h.readStore(), stored, 'nothing saved');
  await page.fill('#d1300_1151', '10');

  // 1200 dpi, 1272 nozzles: the reference is 1200 x 1272 / (1272 - tooth);
  // a pass count p is refused while p x 600 is at most it, rounded.
  const passes = () => page.$$eval('#d1300_1132 input', (es) => es.map((e) => `${e.dataset.value}${e.disabled ? '-' : '+'}${e.checked ? '*' : ''}`));
  assert.deepEqual(await passes(), ['1+*', '2+', '4+', '8+'], 'weaving off: every count');
  await page.check('#d1300_1294');
  await page.fill('#d1300_1153', '700'); // 2668.5 -> 2669: 4 x 600 refused too
  assert.deepEqual(await passes(), ['1-', '2-', '4-', '8+*'], 'the choice moves on to the first count left');
  await page.fill('#d1300_1153', '128'); // 1334.3 -> 1334
  assert.deepEqual(await passes(), ['1-', '2-', '4+', '8+*']);
  await page.check('#d1300_1132-2');
  await page.click('#dlg-c1300 .dlg-ok');
  await okAndWait(page);
  const r = h.record('JF');
  assert.deepEqual([r.ColorParam_nInkLayer, r.ColorParam_bWeavingEnabled, r.ColorParam_nSawToothHeight,
    r.ColorParam_nPassIndex, r.ColorParam_nPass], [10, 1, 128, 2, 4]);
  await page.context().close();
});
