// Screenshots of the settings pages in Debian's Chromium: one page of each
// family and each dialog, as PNG files in a folder (README pictures come
// from here). Not a test.
//   node screenshots.mjs --panel PATH --parmtool PATH --printersim PATH --out DIR
import { mkdirSync } from 'node:fs';
import { join } from 'node:path';
import { Harness, parseArgs } from './harness.mjs';

const args = parseArgs(process.argv.slice(2));
const out = args.out || 'out/screenshots';
mkdirSync(out, { recursive: true });

const h = new Harness(args);
try {
  const printer = await h.startPrinter(['--uid', '31']);
  await h.start(`[Model 16]\nPrEnv_UID=16\nPrEnv_DpiVert=1200\n
[TS3]\nPrEnv_UID=24\nnPrinterTyp=1\n
[TS300P advanced]\nPrEnv_UID=31\nPrEnv_Port=${printer}\n
[JFX200EX]\nPrEnv_UID=46\nDP46_nNumberOfLayers=3\nDP46_Layer1.nType=1\nDP46_Layer2.nType=2\nDP46_Layer2.nWaveForm=3\nDP46_Layer3.nType=3\nDP46_Layer3.nPass=4\n
[UJF706]\nPrEnv_UID=20\n`);
  const shots = [];
  const shot = async (page, file, selector) => {
    const path = join(out, file);
    if (selector) await page.locator(selector).screenshot({ path });
    else await page.screenshot({ path, fullPage: true });
    shots.push(path);
  };
  const list = await h.page();
  await list.goto(h.url);
  await shot(list, 'printers.png');
  // A page of each family.
  for (const [name, file] of [['Model 16', 'page-early.png'], ['TS3', 'page-roll.png'],
    ['TS300P advanced', 'page-conditions.png'], ['JFX200EX', 'page-flatbed.png']]) {
    const page = await h.open(name);
    await shot(page, file);
    await page.context().close();
  }
  // The dialogs.
  let page = await h.open('JFX200EX');
  await page.click('#c1338');
  await page.click('#dlg-layers-down');
  await shot(page, 'dialog-layers.png', '#dlg-layers');
  await page.context().close();
  page = await h.open('UJF706');
  await page.click('#c1178');
  await page.uncheck('#d1178_1041');
  await shot(page, 'dialog-dotsize.png', '#dlg-c1178');
  await page.context().close();
  page = await h.open('Model 16');
  await page.click('#c1300');
  await page.check('#d1300_1294');
  await page.fill('#d1300_1153', '700');
  await shot(page, 'dialog-jf-print-option.png', '#dlg-c1300');
  await page.context().close();
  page = await h.open('TS300P advanced');
  await page.click('#c1256');
  await page.click('#c1253');
  await page.waitForSelector('#retrieve-messages .notice');
  await shot(page, 'dialog-retrieve.png', '#dlg-retrieve');
  await page.context().close();
  for (const s of shots) console.log(s);
} finally {
  await h.stop();
}
