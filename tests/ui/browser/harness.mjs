// Starts mimaki-panel on a free loopback port over a store in a fresh
// temporary folder, and Debian's Chromium headless with a fresh profile,
// connected over the DevTools protocol. Both are stopped on every path:
// stop(), a failed start, the end of the process and the usual signals.
import { spawn, spawnSync } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync, readFileSync, existsSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { join } from 'node:path';
import { chromium } from 'playwright-core';

const children = new Set();
function killAll() {
  for (const c of children) {
    try { c.kill('SIGKILL'); } catch { /* gone */ }
  }
  children.clear();
}
process.on('exit', killAll);
for (const sig of ['SIGINT', 'SIGTERM', 'SIGHUP']) process.on(sig, () => { killAll(); process.exit(128 + 2); });

// The first line a child prints on the stream that matches, or a failure
// after the time limit (the child is then stopped).
function firstMatch(child, stream, pattern, what, ms = 20000) {
  return new Promise((resolve, reject) => {
    let text = '';
    const timer = setTimeout(() => reject(new Error(`${what}: nothing after ${ms} ms: ${text}`)), ms);
    child[stream].on('data', (chunk) => {
      text += chunk;
      const m = text.match(pattern);
      if (m) { clearTimeout(timer); resolve(m); }
    });
    child.on('exit', (code) => { clearTimeout(timer); reject(new Error(`${what} ended (${code}): ${text}`)); });
  });
}

function stopChild(child) {
  return new Promise((resolve) => {
    if (!child || child.exitCode !== null || child.signalCode !== null) { children.delete(child); return resolve(); }
    const timer = setTimeout(() => child.kill('SIGKILL'), 5000);
    child.once('exit', () => { clearTimeout(timer); children.delete(child); resolve(); });
    child.kill('SIGTERM');
  });
}

export function parseArgs(argv) {
  const args = { chromium: '/usr/bin/chromium' };
  for (let i = 0; i < argv.length; i++) {
    if (argv[i].startsWith('--')) args[argv[i].slice(2)] = argv[i + 1], i++;
  }
  for (const need of ['panel', 'parmtool'])
    if (!args[need] || !existsSync(args[need])) throw new Error(`--${need} PATH is required (${args[need]})`);
  if (!existsSync(args.chromium)) throw new Error(`no browser at ${args.chromium}: scripts/setup.sh installs Debian's chromium`);
  return args;
}

export class Harness {
  constructor(args) { this.args = args; }

  async start(store) {
    this.dir = mkdtempSync(join(tmpdir(), 'panel-browser-'));
    this.store = join(this.dir, 'store.ini');
    writeFileSync(this.store, store);
    try {
      this.panel = spawn(this.args.panel, ['--settings', this.store, '--listen', '127.0.0.1:0'], { stdio: ['ignore', 'pipe', 'pipe'] });
      children.add(this.panel);
      this.panel.stderr.on('data', (d) => process.stderr.write(`panel: ${d}`));
      this.url = (await firstMatch(this.panel, 'stdout', /^(http:\/\/127\.0\.0\.1:\d+\/t\/[0-9a-f]+\/)\n/, 'mimaki-panel'))[1];
      this.browserProcess = spawn(this.args.chromium, [
        '--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync',
        '--disable-dev-shm-usage', `--user-data-dir=${join(this.dir, 'profile')}`,
        '--remote-debugging-address=127.0.0.1', '--remote-debugging-port=0', 'about:blank',
      ], { stdio: ['ignore', 'ignore', 'pipe'] });
      children.add(this.browserProcess);
      const ws = (await firstMatch(this.browserProcess, 'stderr', /DevTools listening on (ws:\/\/\S+)/, 'chromium'))[1];
      this.browser = await chromium.connectOverCDP(ws);
    } catch (e) {
      await this.stop();
      throw e;
    }
  }

  async page(locale = 'en-US') {
    const context = await this.browser.newContext({ locale, viewport: { width: 1000, height: 1000 } });
    const page = await context.newPage();
    page.setDefaultTimeout(10000);
    return page;
  }

  // printersim on a free loopback port (stopped with the rest); its
  // socket:// address.
  async startPrinter(args) {
    if (!this.args.printersim) throw new Error('--printersim PATH is required');
    const sim = spawn(this.args.printersim, [...args, '--listen', '127.0.0.1:0', '--quiet'], { stdio: ['ignore', 'pipe', 'pipe'] });
    children.add(sim);
    (this.printers ||= []).push(sim);
    return (await firstMatch(sim, 'stdout', /^(socket:\/\/127\.0\.0\.1:\d+)\n/, 'printersim'))[1];
  }

  // A new browser page on the printer's settings page, once its script has
  // run.
  async open(name, locale) {
    const page = await this.page(locale);
    await page.goto(this.printerUrl(name));
    await this.ready(page);
    return page;
  }
  // The page's script has run (the host queries come with the page).
  ready(page) {
    return page.waitForFunction(() => document.documentElement.dataset.ready === '1');
  }

  printerUrl(name) { return `${this.url}printer?p=${encodeURIComponent(name)}`; }
  readStore() { return readFileSync(this.store, 'utf8'); }
  writeStore(text) { writeFileSync(this.store, text); }

  // The loaded record as the plug-in's parmtool sees it.
  record(printer) {
    const r = spawnSync(this.args.parmtool, ['show', '--settings', this.store, '--printer', printer, '--json'], { encoding: 'utf8' });
    if (r.status !== 0) throw new Error(`parmtool: ${r.stderr}`);
    return JSON.parse(r.stdout).record;
  }

  async stop() {
    if (this.browser) { try { await this.browser.close(); } catch { /* gone */ } this.browser = null; }
    await stopChild(this.browserProcess);
    await stopChild(this.panel);
    for (const sim of this.printers || []) await stopChild(sim);
    if (this.dir) rmSync(this.dir, { recursive: true, force: true });
  }
}
