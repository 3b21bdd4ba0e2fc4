// The order workbench: sign-in, the order lists as tabs with their counts, actions on the
// selected orders, and the detail (header, lines, log) of the order in focus.
import { TabulatorFull as Tabulator } from './vendor/tabulator_esm.min.js';
import { ApiError, call, count, health, list, rowsOf, session, whenUnauthorized } from './api.js';
import { captions, gridLangs } from './i18n.js';

const $ = id => document.getElementById(id);

const TABS = [
  { id: 'wait', method: 'GetWaitVerifyData', caption: 'tabWait' },
  { id: 'wait2', method: 'GetWaitVerifyData2', caption: 'tabWait2' },
  { id: 'noverify', method: 'GetNoVerifyData', caption: 'tabNoVerify' },
  { id: 'verified', method: 'GetVerifiedData', caption: 'tabVerified' },
  { id: 'locked', method: 'GetLockData', caption: 'tabLocked' },
  { id: 'all', method: 'GetAllData', caption: 'tabAll' },
];

const LIST_COLUMNS = [
  ['FID', 'int'], ['FSiteOrderID'], ['FWebShopName'], ['FOrderDate', 'date'], ['FBuyerNick'],
  ['FConsignee'], ['FAmount', 'money'], ['FTransactionStatusName'], ['FChkManName'],
  ['FLockReason'],
];
const HEADER_FIELDS = [
  ['FSiteOrderID'], ['FWebShopName'], ['FOrderDate', 'date'], ['FBuyerNick'], ['FConsignee'],
  ['FMobile'], ['FDeliveryAddress'], ['FAmount', 'money'], ['FBuyerMessage'], ['FSellerMessage'],
  ['FChkManName'], ['FChkDate', 'date'], ['FLockReason'],
];
const LINE_COLUMNS = [
  ['FItemNumber'], ['FItemName'], ['FStockName'], ['FQuantity', 'number'], ['FPrice', 'money'],
  ['FAmount', 'money'],
];
const LOG_COLUMNS = [['FOPTime', 'date'], ['FOPUserName'], ['FOPName'], ['FLogDesc'], ['FUserIP']];

const state = {
  lang: localStorage.getItem('ambit.lang') === 'en' ? 'en' : 'zh',
  tab: TABS[0],
  counts: {},
  grid: null,
  lines: null,
  log: null,
  focus: null,  // the order whose detail shows
  loads: 0,     // list loads started
  filter: {},   // the order filter's keys, shared by every tab
};
const t = () => captions[state.lang];
const locale = () => (state.lang === 'zh' ? 'zh-CN' : navigator.language || 'en');

// ---- formatting: dates in the user's locale, money with two decimals ----

function formatValue(value, kind) {
  if (value === null || value === undefined || value === '') return '';
  if (kind === 'date') {
    const date = new Date(String(value).replace(' ', 'T'));
    return Number.isNaN(date.getTime()) ? String(value) : date.toLocaleString(locale());
  }
  if (kind === 'money')
    return Number(value).toLocaleString(locale(), { minimumFractionDigits: 2, maximumFractionDigits: 2 });
  if (kind === 'number') return Number(value).toLocaleString(locale());
  return String(value);
}

function columnsFor(layout) {
  return layout.map(([field, kind]) => ({
    title: t().cols[field] || field,
    field,
    hozAlign: kind === 'money' || kind === 'number' || kind === 'int' ? 'right' : 'left',
    sorter: kind === 'money' || kind === 'number' || kind === 'int' ? 'number' : 'string',
    formatter: cell => formatValue(cell.getValue(), kind),
    minWidth: kind === 'date' ? 150 : 60,
  }));
}

// ---- messages ----

function show(text, isError = false) {
  const message = $('message');
  message.textContent = text;
  message.classList.toggle('error', isError);
}
const describe = error =>
  error instanceof ApiError ? error.message : t().unreachable;

// ---- sign-in ----

function showSignIn(text = '') {
  $('work-view').hidden = true;
  $('sign-out').hidden = true;
  $('who').textContent = '';
  $('sign-in-view').hidden = false;
  $('sign-in-error').textContent = text;
  $('token').value = '';
  $('token').focus();
}

async function signIn(token) {
  try {
    if (!session.account) session.account = (await health()).accounts[0];
    // Counting the first tab proves the token before anything is shown.
    await call('AmbitOrderInfo', TABS[0].method,
               { dctPara: { sDSN: session.account, stTypeCount: '1' } }, token);
  } catch (error) {
    $('sign-in-error').textContent = error.status === 401 ? t().badToken : describe(error);
    return;
  }
  session.token = token;
  await showWork();
}

async function showWork() {
  $('sign-in-view').hidden = true;
  $('work-view').hidden = false;
  $('sign-out').hidden = false;
  $('who').textContent = session.account;
  if (!state.grid) buildGrids();
  renderTabs();
  await refresh();
}

function signOut() {
  session.token = null;
  state.focus = null;
  $('detail').hidden = true;
  state.grid?.clearData();
  show('');
  showSignIn();
}

whenUnauthorized(() => showSignIn(t().expired));

// ---- tabs and the list ----

function renderTabs() {
  const nav = $('tabs');
  nav.replaceChildren(...TABS.map(tab => {
    const button = document.createElement('button');
    button.type = 'button';
    button.role = 'tab';
    button.id = `tab-${tab.id}`;
    button.dataset.tab = tab.id;
    button.setAttribute('aria-selected', String(tab === state.tab));
    button.tabIndex = tab === state.tab ? 0 : -1;
    const label = document.createElement('span');
    label.textContent = t()[tab.caption];
    const badge = document.createElement('span');
    badge.className = 'count';
    badge.textContent = state.counts[tab.id] ?? '…';
    button.append(label, ' ', badge);
    return button;
  }));
}

function selectTab(id, focus = false) {
  state.tab = TABS.find(tab => tab.id === id) || TABS[0];
  renderTabs();
  if (focus) $(`tab-${state.tab.id}`).focus();
  loadList().catch(error => show(describe(error), true));
}

async function loadCounts() {
  const answers = await Promise.all(TABS.map(tab => count(tab.method, state.filter)));
  TABS.forEach((tab, i) => { state.counts[tab.id] = answers[i]; });
  renderTabs();
}

async function loadList() {
  // The grid names the list it shows once it shows it; a slower answer to an earlier tab
  // must not replace a later one.
  const load = ++state.loads;
  const grid = $('grid');
  grid.removeAttribute('data-list');
  grid.setAttribute('aria-busy', 'true');
  const rows = rowsOf(await list(state.tab.method, state.filter));
  if (load !== state.loads) return;
  // A selection never outlives the list it was made in: acting on orders no longer shown
  // would surprise.
  state.grid.deselectRow();
  await state.grid.setData(rows);
  grid.dataset.list = state.tab.id;
  grid.setAttribute('aria-busy', 'false');
  updateSelection();
}

async function refresh() {
  try {
    await Promise.all([loadCounts(), loadList()]);
    if (state.focus) await openDetail(state.focus);
  } catch (error) {
    if (error.status !== 401) show(describe(error), true);
  }
}

function buildGrids() {
  state.grid = new Tabulator($('grid'), {
    index: 'FID',
    layout: 'fitColumns',
    height: '420px',
    placeholder: '—',
    selectableRows: true,
    pagination: true,
    paginationSize: 50,
    langs: gridLangs,
    locale: state.lang,
    columns: columnsFor(LIST_COLUMNS),
  });
  state.grid.on('rowSelectionChanged', updateSelection);
  state.grid.on('rowDblClick', (e, row) => openDetail(row.getData().FID));
  }

// A grid laid out while hidden has no header, so the detail's grids wait until it shows.
function buildDetailGrids() {
  const options = { layout: 'fitColumns', placeholder: '—' };
  state.lines = new Tabulator($('lines-grid'), { ...options, columns: columnsFor(LINE_COLUMNS) });
  state.log = new Tabulator($('log-grid'), { ...options, columns: columnsFor(LOG_COLUMNS) });
  return Promise.all([state.lines, state.log].map(grid => new Promise(done => grid.on('tableBuilt', done))));
}

const selectedIds = () => state.grid.getSelectedData().map(order => order.FID);

function updateSelection() {
  const n = selectedIds().length;
  $('selection').textContent = n ? t().selected(n) : '';
}

// ---- the detail of one order ----

async function openDetail(fid) {
  state.focus = fid;
  const [orders, lines, log] = await Promise.all([
    list('GetWebOrderData', { FID: String(fid) }).then(rowsOf),
    list('GetWebOrderEntryData', { FID: String(fid) }).then(rowsOf),
    call('AmbitOrderInfo', 'GetOPLog', { sDsn: session.account, sFID: String(fid) }).then(rowsOf),
  ]);
  const order = orders.find(o => o.FID === fid) || {};
  $('detail-title').textContent = order.FSiteOrderID || String(fid);
  $('detail-header').replaceChildren(...HEADER_FIELDS.flatMap(([field, kind]) => {
    const dt = document.createElement('dt');
    dt.textContent = t().cols[field] || field;
    const dd = document.createElement('dd');
    dd.textContent = formatValue(order[field], kind);
    return [dt, dd];
  }));
  $('detail').hidden = false;
  if (!state.lines) await buildDetailGrids();
  await Promise.all([state.lines.setData(lines), state.log.setData(log)]);
}

// ---- actions on the selected orders ----

const ACTIONS = {
  review: { method: 'SetWebOrderStatus', para: { FOrderStatus: 2 }, lockedStop: true },
  unreview: { method: 'SetWebOrderStatus', para: { FOrderStatus: 1 }, lockedStop: true },
  lock: { method: 'LockWebOrder', para: { IsLock: 1, LockStatus: 1 }, askReason: true },
  unlock: { method: 'LockWebOrder', para: { IsLock: 0, LockStatus: 0 } },
  void: { method: 'SetWebOrderVoidStatus', para: { FVoidStatus: 1 }, lockedStop: true, confirm: true },
};

function askReason() {
  const dialog = $('lock-dialog');
  $('lock-reason').value = '';
  return new Promise(resolve => {
    dialog.addEventListener('close', () =>
      resolve(dialog.returnValue === 'ok' ? $('lock-reason').value : null), { once: true });
    dialog.showModal();
  });
}

async function runAction(name) {
  if (name === 'refresh') return refresh();
  if (name === 'open') {
    const [fid] = selectedIds();
    return fid ? openDetail(fid).catch(error => show(describe(error), true)) : show(t().noSelection, true);
  }
  const action = ACTIONS[name];
  const caption = t()[name];
  const ids = selectedIds().join(',');
  if (!ids) return show(t().noSelection, true);
  try {
    if (action.lockedStop) {
      // Locked orders are in the way of these actions: name them instead of failing on them.
      const locked = await call('AmbitOrderInfo', 'CheckWebOrderIsLock', { sDsn: session.account, sFID: ids });
      if (locked.length) return show(t().lockedInTheWay(locked.map(o => o.FID).join(',')), true);
    }
    if (action.confirm && !window.confirm(t().confirmVoid(ids))) return;
    const para = { ...action.para, FID: ids };
    if (action.askReason) {
      const reason = await askReason();
      if (reason === null) return;
      para.LockReason = reason;
    }
    const done = await call('AmbitOrderUpdate', action.method, { dctPara: { sDSN: session.account, ...para } });
    show(done ? t().done(caption, ids) : t().notDone(caption, ids), !done);
  } catch (error) {
    if (error.status !== 401) show(t().failed(caption, describe(error)), true);
    return;
  }
  await refresh();
}

// ---- language ----

function applyLanguage() {
  document.documentElement.lang = state.lang === 'zh' ? 'zh-CN' : 'en';
  document.title = t().title;
  for (const el of document.querySelectorAll('[data-i18n]')) {
    const key = el.dataset.i18n;
    el.textContent = key.startsWith('col') ? t().cols[key.slice(3)] : t()[key];
  }
  if (state.grid) {
    state.grid.setLocale(state.lang);
    state.grid.setColumns(columnsFor(LIST_COLUMNS));
    state.lines?.setColumns(columnsFor(LINE_COLUMNS));
    state.log?.setColumns(columnsFor(LOG_COLUMNS));
    renderTabs();
    updateSelection();
    if (state.focus) openDetail(state.focus).catch(error => show(describe(error), true));
  }
}

// ---- the filter ----

// The keys of the order filter: one field compared with LIKE, and the order date's range
// (the end date taken whole).
function readFilter() {
  const filter = {};
  const value = $('filter-value').value.trim();
  if (value) Object.assign(filter, { FieldName: $('filter-field').value, Compare: 'LIKE', FieldValue: value });
  if ($('filter-from').value) filter.OrderDateFrom = $('filter-from').value;
  if ($('filter-to').value) filter.OrderDateTo = `${$('filter-to').value} 23:59:59`;
  return filter;
}

$('filter').addEventListener('submit', event => {
  event.preventDefault();
  state.filter = readFilter();
  refresh();
});
$('filter').addEventListener('reset', event => {
  event.preventDefault();
  for (const id of ['filter-value', 'filter-from', 'filter-to']) $(id).value = '';
  state.filter = {};
  refresh();
});

// ---- wiring ----

$('sign-in-form').addEventListener('submit', event => {
  event.preventDefault();
  signIn($('token').value.trim());
});
$('sign-out').addEventListener('click', signOut);
$('language').addEventListener('click', () => {
  state.lang = state.lang === 'zh' ? 'en' : 'zh';
  localStorage.setItem('ambit.lang', state.lang);
  applyLanguage();
});
$('tabs').addEventListener('click', event => {
  const button = event.target.closest('[data-tab]');
  if (button) selectTab(button.dataset.tab);
});
// Arrow keys move between tabs, as in any tab list.
$('tabs').addEventListener('keydown', event => {
  const step = { ArrowRight: 1, ArrowLeft: -1 }[event.key];
  if (!step) return;
  const i = (TABS.indexOf(state.tab) + step + TABS.length) % TABS.length;
  selectTab(TABS[i].id, true);
});
document.querySelector('.toolbar').addEventListener('click', event => {
  const button = event.target.closest('[data-action]');
  if (button) runAction(button.dataset.action);
});

applyLanguage();
(async () => {
  try {
    session.account = (await health()).accounts[0];
  } catch {
    $('sign-in-error').textContent = t().unreachable;
  }
  if (session.token) await showWork();
  else showSignIn();
})();
