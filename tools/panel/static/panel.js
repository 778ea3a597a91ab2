// The settings page's behaviour: enabling that follows the values, OK
// with the server's checks, the host queries, the option dialogs and the
// layer manager. The page works without it as a plain form.
'use strict';

(function () {
  const form = document.getElementById('page');
  if (!form) return;
  form.noValidate = true;
  const messages = document.getElementById('messages');
  const byName = (name) => form.elements.namedItem(name);
  const DOT_LABELS = ['72pl', '66pl', '60pl', '54pl', '48pl', '42pl', '36pl', '30pl', '24pl', '18pl', '12pl', '6pl'];

  function valueOf(name) {
    const el = byName(name);
    if (!el) return 0;
    if (el instanceof RadioNodeList) {
      // A check box posts a hidden 0 and its own 1; a radio group its index.
      const box = Array.from(el).find((e) => e.type === 'checkbox');
      if (box) return box.checked ? 1 : 0;
      const on = Array.from(el).find((e) => e.checked);
      return on ? Number(on.value) : -1;
    }
    if (el.tagName === 'SELECT') {
      const opt = el.selectedOptions[0];
      if (!opt || opt.value === '') return null;
      return opt.dataset.value !== undefined ? Number(opt.dataset.value) : Number(opt.value);
    }
    return Number(el.value);
  }

  function holds(el) {
    const from = el.dataset.enFrom;
    if (from === 'checked' && !valueOf(el.dataset.enCtl)) return false;
    if (from === 'control') {
      const v = valueOf(el.dataset.enCtl);
      const want = Number(el.dataset.enValue);
      const op = el.dataset.enOp;
      if ((op === 'eq' && v !== want) || (op === 'ne' && v === want) || (op === 'nz' && !v)) return false;
    }
    const group = el.dataset.group && document.getElementById(el.dataset.group);
    if (group && group.type === 'checkbox' && group !== el && (!group.checked || group.disabled)) return false;
    return true;
  }

  function setEnabled(el, on) {
    const hidden = el.closest('[hidden]');
    const enabled = on && !hidden;
    const targets = el.getAttribute('role') === 'radiogroup' ? el.querySelectorAll('input') : [el];
    targets.forEach((t) => { t.disabled = !enabled; });
    if (el.type === 'checkbox') {
      const zero = el.previousElementSibling;
      if (zero && zero.type === 'hidden') zero.disabled = !enabled;
    }
  }

  function refreshEnabling() {
    // Twice, so that a check box disabled by its own group passes it on.
    for (let pass = 0; pass < 2; pass++)
      form.querySelectorAll('[data-ctl]').forEach((el) => {
        if (el.tagName === 'BUTTON' || el.tagName === 'OUTPUT') return;
        setEnabled(el, holds(el));
      });
    form.querySelectorAll('dialog').forEach(checkWeaving);
  }

  function show(kind, text, slot) {
    messages.replaceChildren();
    const p = document.createElement('p');
    p.className = kind;
    p.textContent = text;
    if (slot) p.dataset.for = slot;
    messages.appendChild(p);
  }

  function focusSlot(slot) {
    form.querySelectorAll('[aria-invalid]').forEach((e) => e.removeAttribute('aria-invalid'));
    let el = document.getElementById(slot) || byName(slot);
    if (el instanceof RadioNodeList) el = el[0];
    if (!el) return;
    if (el.getAttribute && el.getAttribute('role') === 'radiogroup') el = el.querySelector('input');
    const dlg = el.closest('dialog');
    if (dlg && !dlg.open) openDialog(dlg);
    el.setAttribute('aria-invalid', 'true');
    el.focus();
    if (el.select) el.select();
  }

  function body() {
    return new URLSearchParams(new FormData(form));
  }

  async function post(url) {
    return fetch(url, {
      method: 'POST',
      headers: { Accept: 'application/json', 'Content-Type': 'application/x-www-form-urlencoded' },
      body: body(),
      credentials: 'same-origin',
    });
  }

  async function refreshQueries() {
    try {
      const res = await post(form.dataset.query);
      if (!res.ok) return;
      const q = await res.json();
      document.getElementById('q-ink').textContent = q.inkLevels;
      document.getElementById('q-dot').textContent = q.dotSize;
      document.getElementById('q-vol').textContent = q.dotVolume;
    } catch (e) { /* the next change asks again */ }
  }

  form.addEventListener('submit', async (ev) => {
    ev.preventDefault();
    const ok = document.getElementById('ok');
    ok.disabled = true;
    // A page whose OK asks the printer offers Abort once the answer is slow.
    const checking = document.getElementById('ok-check');
    const slow = checking && setTimeout(() => { checking.hidden = false; }, 250);
    try {
      const res = await post(form.action);
      const answer = await res.json();
      if (answer.ok) {
        const url = new URL(window.location.href);
        url.searchParams.set('saved', '1');
        window.location.replace(url.toString());
        return;
      }
      if (answer.conflict) {
        show('warning', answer.message);
        setTimeout(() => window.location.reload(), 1500);
        return;
      }
      show('error', answer.message, answer.slot);
      focusSlot(answer.slot);
    } catch (e) {
      show('error', String(e));
    } finally {
      ok.disabled = false;
      if (checking) {
        clearTimeout(slow);
        checking.hidden = true;
      }
    }
  });
  const okAbort = document.getElementById('ok-abort');
  if (okAbort) okAbort.addEventListener('click', () => { post(form.dataset.okAbort).catch(() => {}); });

  form.addEventListener('change', (ev) => {
    if (ev.target.dataset && ev.target.dataset.ctl === '1200') followPrintMode(true);
    refreshEnabling();
    refreshQueries();
  });
  form.addEventListener('input', (ev) => {
    if (ev.target.type === 'range') {
      const out = document.querySelector(`output[for="${ev.target.id}"]`);
      if (out) out.textContent = DOT_LABELS[Number(ev.target.value)] || '';
    }
  });

  // Print-condition pages: the pass list offers what the chosen print mode
  // prints with ("Printer setting" always). A pass count the new mode lacks
  // gives way to the mode's first.
  function followPrintMode(changed) {
    const mode = form.querySelector('select[data-ctl="1200"]');
    const list = form.querySelector('select[data-mode-passes]');
    if (!mode || !list) return;
    const opt = mode.selectedOptions[0];
    const passes = opt && opt.dataset.passes ? opt.dataset.passes.split(',').map(Number) : null;
    let keep = false;
    Array.from(list.options).forEach((o) => {
      if (o.value === '') return;
      const v = Number(o.dataset.value);
      const offered = !passes || v === 0 || passes.includes(v);
      o.hidden = !offered;
      o.disabled = !offered;
      if (o.selected && offered) keep = true;
    });
    if (changed && !keep && passes && passes.length) {
      const first = Array.from(list.options).find((o) => Number(o.dataset.value) === passes[0]);
      if (first) first.selected = true;
    }
  }

  // The print method is read again whenever the page comes back to the
  // front; a file changed meanwhile reloads the page.
  async function reactivate() {
    if (document.visibilityState !== 'visible') return;
    try {
      const res = await fetch(form.dataset.state, { headers: { Accept: 'application/json' } });
      if (!res.ok) return;
      const state = await res.json();
      document.getElementById('print-method').textContent = state.printMethod;
      if (state.revision !== form.dataset.revision) {
        show('warning', form.dataset.msgChanged);
        setTimeout(() => window.location.reload(), 1500);
      }
    } catch (e) { /* the server may be gone; OK will tell */ }
  }
  document.addEventListener('visibilitychange', reactivate);
  window.addEventListener('focus', reactivate);

  // Option dialogs: their controls belong to the page's form; Cancel puts
  // back the values they had when the dialog opened.
  function snapshot(dlg) {
    return Array.from(dlg.querySelectorAll('input, select')).map((e) => [e, e.type === 'checkbox' || e.type === 'radio' ? e.checked : e.value]);
  }
  function openDialog(dlg) {
    dlg._snapshot = snapshot(dlg);
    if (!dlg.open) dlg.showModal();
  }
  document.querySelectorAll('dialog').forEach((dlg) => {
    if (dlg.id === 'dlg-layers' || dlg.id === 'dlg-retrieve') return;
    const cancel = () => {
      (dlg._snapshot || []).forEach(([e, v]) => {
        if (e.type === 'checkbox' || e.type === 'radio') e.checked = v; else e.value = v;
      });
      dlg.close();
      refreshEnabling();
      refreshQueries();
    };
    dlg.querySelector('.dlg-ok').addEventListener('click', () => { dlg.close(); refreshEnabling(); refreshQueries(); });
    dlg.querySelector('.dlg-cancel').addEventListener('click', cancel);
    dlg.addEventListener('cancel', (ev) => { ev.preventDefault(); cancel(); });
    dlg.querySelectorAll('input, select').forEach((e) => { e.setAttribute('form', 'page'); });
    dlg.addEventListener('input', () => checkWeaving(dlg));
  });
  document.querySelectorAll('button[data-dialog]').forEach((b) => {
    b.addEventListener('click', () => {
      if (b.dataset.dialog === '22070') return openLayers();
      if (b.dataset.dialog === '22054') return openRetrieve(b);
      const dlg = document.getElementById('dlg-' + b.id);
      if (dlg) openDialog(dlg);
    });
  });

  // JF print option: with weaving on, a pass count p is not offered while
  // p x the head's vertical resolution is at most the weaving reference
  // rounded (the print's resolution x nozzles / (nozzles - tooth)); a
  // refused choice moves on to the next button, from the last it stays.
  function checkWeaving(dlg) {
    dlg.querySelectorAll('[role=radiogroup][data-weaving-check]').forEach((group) => {
      const weaving = document.getElementById(group.dataset.weavingCheck);
      const tooth = Number(document.getElementById(group.dataset.weavingTooth).value);
      const res = Number(group.dataset.headResolution);
      const nozzles = Number(group.dataset.nozzles);
      const dpi = Number(group.dataset.dpi);
      const reference = dpi <= 0 ? -1 : (dpi * nozzles) / Math.max(1, nozzles - Math.max(0, tooth));
      const on = weaving.checked && !weaving.disabled;
      const buttons = Array.from(group.querySelectorAll('input'));
      let chosen = buttons.findIndex((b) => b.checked);
      buttons.forEach((b, i) => {
        const off = on && Number(b.dataset.value) * res <= Math.floor(reference + 0.5);
        b.disabled = off || !holds(group) || !!group.closest('[hidden]');
        if (off && i === chosen && chosen < buttons.length - 1) {
          buttons[i + 1].checked = true;
          chosen = i + 1;
        }
      });
    });
  }

  // Layer manager: rows of the page's layer list in an order array; OK
  // reorders the page's list, Cancel leaves it.
  const layerTable = document.querySelector('table.layers:not(.manage)');
  const manage = document.getElementById('dlg-layers');
  let order = [];
  let selected = 0;
  function layerRows() { return Array.from(layerTable.tBodies[0].rows); }
  function renderManager() {
    const grid = document.getElementById('dlg-layers-grid');
    grid.tHead.rows[0].replaceChildren(...Array.from(layerTable.tHead.rows[0].cells).map((c) => c.cloneNode(true)));
    const tbody = grid.tBodies[0];
    tbody.replaceChildren();
    order.forEach((index, row) => {
      const src = layerRows()[index];
      const tr = document.createElement('tr');
      tr.setAttribute('aria-selected', String(row === selected));
      tr.tabIndex = row === selected ? 0 : -1;
      const cells = Array.from(src.cells).map((c) => c.textContent);
      cells[0] = String(row + 1);
      cells.forEach((t) => { const td = document.createElement('td'); td.textContent = t; tr.appendChild(td); });
      tr.addEventListener('click', () => { selected = row; renderManager(); tr.focus(); });
      tbody.appendChild(tr);
    });
    document.getElementById('dlg-layers-up').disabled = selected === 0;
    document.getElementById('dlg-layers-down').disabled = selected === order.length - 1;
    document.getElementById('dlg-layers-delete').disabled = order.length <= 1;
  }
  function openLayers() {
    order = document.getElementById('layers').value.split(',').filter((s) => s !== '').map((_, i) => i);
    selected = 0;
    renderManager();
    manage.showModal();
  }
  if (manage) {
    const move = (delta) => {
      const other = selected + delta;
      if (other < 0 || other >= order.length) return;
      [order[selected], order[other]] = [order[other], order[selected]];
      selected = other;
      renderManager();
    };
    document.getElementById('dlg-layers-up').addEventListener('click', () => move(-1));
    document.getElementById('dlg-layers-down').addEventListener('click', () => move(1));
    document.getElementById('dlg-layers-delete').addEventListener('click', () => {
      if (order.length <= 1) return;
      order.splice(selected, 1);
      if (selected >= order.length) selected = order.length - 1;
      renderManager();
    });
    manage.querySelector('.dlg-ok').addEventListener('click', () => {
      const rows = layerRows();
      const input = document.getElementById('layers');
      const stored = input.value.split(',');
      const fmt = layerTable.dataset.layerFormat || 'Layer %ld';
      layerTable.tBodies[0].replaceChildren(...order.map((i, n) => {
        const tr = rows[i];
        tr.cells[0].textContent = fmt.replace('%ld', String(n + 1));
        return tr;
      }));
      input.value = order.map((i) => stored[i]).join(',');
      manage.close();
    });
    manage.querySelector('.dlg-cancel').addEventListener('click', () => manage.close());
    manage.addEventListener('keydown', (ev) => {
      if (ev.key === 'ArrowUp' && selected > 0) { selected--; renderManager(); ev.preventDefault(); }
      if (ev.key === 'ArrowDown' && selected < order.length - 1) { selected++; renderManager(); ev.preventDefault(); }
    });
  }

  // The retrieval dialog: Retrieve runs the query on the server, the page
  // asks how far it is; Abort stops it; OK closes. What the printer sent is
  // stored by the server on success only; the page takes the new print
  // modes and the store's new revision (or reloads when someone else
  // changed the file meanwhile).
  const retrieve = document.getElementById('dlg-retrieve');
  let retrieval = null; // { id, mode, abort, timer }
  let reloadOnClose = false;
  function retrieveButtons(running) {
    document.getElementById('c1253').disabled = running;
    document.getElementById('c1071').disabled = running;
    document.getElementById('c1254').disabled = !running;
  }
  function retrieveMessage(kind, text) {
    const p = document.createElement('p');
    p.className = kind;
    p.textContent = text;
    document.getElementById('retrieve-messages').appendChild(p);
  }
  function openRetrieve(button) {
    retrieve.dataset.mode = button.dataset.retrieve;
    document.getElementById('retrieve-what').textContent = button.textContent;
    document.getElementById('retrieve-messages').replaceChildren();
    document.getElementById('retrieve-bytes').textContent = '';
    document.getElementById('retrieve-progress').hidden = true;
    retrieveButtons(false);
    retrieve.showModal();
    // The status-block pages read at once, as their button does.
    if (button.hasAttribute('data-direct')) startRetrieve();
  }
  function takeModes(state) {
    const mode = form.querySelector('select[data-ctl="1200"]');
    if (!state || !mode) return;
    mode.replaceChildren(...state.modes.map((m, i) => {
      const o = document.createElement('option');
      o.value = String(i);
      o.textContent = m.name;
      o.dataset.passes = m.passes.join(',');
      o.selected = i === state.selected;
      return o;
    }));
    const list = form.querySelector('select[data-mode-passes]');
    if (list && state.passes.length) {
      const current = valueOf(list.name);
      list.replaceChildren(...state.passes.map((p, i) => {
        const o = document.createElement('option');
        o.value = String(i);
        o.textContent = p.text;
        o.dataset.value = String(p.value);
        o.selected = p.value === current;
        return o;
      }));
    }
    messages.querySelectorAll('.warning').forEach((w) => w.remove());
    state.messages.forEach((m) => {
      const p = document.createElement('p');
      p.className = 'warning';
      p.textContent = m;
      messages.appendChild(p);
    });
    followPrintMode(false);
  }
  async function pollRetrieve() {
    const res = await fetch(`${retrieve.dataset.api}?id=${encodeURIComponent(retrieval.id)}`, { headers: { Accept: 'application/json' } });
    const state = await res.json();
    const bar = document.getElementById('retrieve-progress');
    if (state.expected > 0) {
      bar.hidden = false;
      bar.max = state.expected;
      bar.value = state.received;
      document.getElementById('retrieve-bytes').textContent =
        retrieve.dataset.msgBytes.replace('%1', state.received).replace('%2', state.expected);
    }
    if (state.running) {
      retrieval.timer = setTimeout(pollRetrieve, 150);
      return;
    }
    bar.hidden = true;
    state.messages.forEach((m) => retrieveMessage(state.success ? 'notice' : 'error', m.text));
    if (state.error) retrieveMessage('error', state.error);
    if (state.success) {
      if (state.conflict) {
        reloadOnClose = true;
        retrieveMessage('warning', retrieve.dataset.msgStoredElsewhere);
      } else {
        form.dataset.revision = state.revision;
        byName('revision').value = state.revision;
      }
      if (retrieval.mode === '1') takeModes(state.page);
      refreshQueries();
    }
    retrieval = null;
    retrieveButtons(false);
    document.getElementById('c1071').focus();
  }
  function sendAbort() {
    return fetch(`${retrieve.dataset.api}/abort?id=${encodeURIComponent(retrieval.id)}`, {
      method: 'POST',
      headers: { Accept: 'application/json' },
    });
  }
  async function startRetrieve() {
    if (retrieval) return;
    // Running from the click on: Escape and a second Retrieve wait for it,
    // and an Abort pressed before the server named the retrieval is sent
    // once it has.
    const mode = retrieve.dataset.mode;
    retrieval = { id: null, mode, abort: false };
    document.getElementById('retrieve-messages').replaceChildren();
    retrieveButtons(true);
    const body = new URLSearchParams({ mode, revision: byName('revision').value });
    try {
      const res = await fetch(`${retrieve.dataset.api}?p=${encodeURIComponent(retrieve.dataset.printer)}`, {
        method: 'POST',
        headers: { Accept: 'application/json', 'Content-Type': 'application/x-www-form-urlencoded' },
        body,
      });
      const answer = await res.json();
      if (!res.ok) {
        retrieval = null;
        retrieveMessage('error', answer.error);
        retrieveButtons(false);
        return;
      }
      retrieval.id = answer.id;
      if (retrieval.abort) sendAbort();
      else document.getElementById('c1254').focus();
      pollRetrieve();
    } catch (e) {
      retrieval = null;
      retrieveMessage('error', String(e));
      retrieveButtons(false);
    }
  }
  if (retrieve) {
    document.getElementById('c1253').addEventListener('click', startRetrieve);
    document.getElementById('c1254').addEventListener('click', async () => {
      if (!retrieval) return;
      document.getElementById('c1254').disabled = true;
      retrieval.abort = true;
      if (retrieval.id) await sendAbort();
    });
    const close = () => {
      retrieve.close();
      if (reloadOnClose) window.location.reload();
    };
    document.getElementById('c1071').addEventListener('click', close);
    // Escape closes only when no query runs, as OK is disabled then.
    retrieve.addEventListener('cancel', (ev) => { ev.preventDefault(); if (!retrieval) close(); });
  }

  // The host queries come answered with the page; they are asked again on
  // every change.
  followPrintMode(false);
  refreshEnabling();
  const invalid = document.querySelector('#messages .error[data-for]');
  if (invalid) focusSlot(invalid.dataset.for);
  document.documentElement.dataset.ready = '1';
  performance.mark('panel-ready');
})();
