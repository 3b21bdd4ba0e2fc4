// The order workbench: sign-in, the overview, the order lists as tabs with their counts (a page
// at a time), the shared filter, and the wiring of the actions and the detail.
import { TabulatorFull as Tabulator } from './vendor/tabulator_esm.min.js';
import { call, count, health, page, rowsOf, session, whenUnauthorized } from './api.js';
import { gridLangs } from './i18n.js';
import { $, columnsFor, describe, show, t, ui } from './shared.js';
import { runAction } from './actions.js';
import { closeDetail, openDetail, relabelDetail } from './detail.js';
import { showOverview } from './overview.js';

export const TABS = [
  { id: 'wait', method: 'GetWaitVerifyData', caption: 'tabWait' },
  { id: 'wait2', method: 'GetWaitVerifyData2', caption: 'tabWait2' },
  { id: 'noverify', method: 'GetNoVerifyData', caption: 'tabNoVerify' },
  { id: 'verified', method: 'GetVerifiedData', caption: 'tabVerified' },
  { id: 'locked', method: 'GetLockData', caption: 'tabLocked' },
  { id: 'all', method: 'GetAllData', caption: 'tabAll' },
];

// The grid's columns when the account keeps no default layout for it.
const FALLBACK_LAYOUT = [
  ['FSiteOrderID'], ['FWebShopName'], ['FOrderDate', 'date'], ['FBuyerNick'], ['FConsignee'],
  ['FAmount', 'money'], ['FTransactionStatusName'],
];
// Kinds of the fields a saved layout may name; the rest are text.
const KINDS = {
  FOrderDate: 'date', FPayTime: 'date', FChkDate: 'date', FSiteOrderDate: 'date',
  FAmount: 'money', FFinallyAmount: 'money', FTotalFreight: 'money', FBuyerFreight: 'money',
  FDiscountFee: 'money', FLogisticsCost: 'money', FWeight: 'number',
};
// The key first, so every row names its order, and the columns that tell why an order sits
// in its tab last, whatever the saved layout holds.
const LEAD = [['FID', 'int', 70]];
const TAIL = [['FChkManName'], ['FLockReason']];

export const state = {
  tab: TABS[0],
  counts: {},
  grid: null,
  layout: FALLBACK_LAYOUT,
  loads: 0,      // list loads started
  filter: {},    // the order filter's keys, shared by every tab
  pageSize: 50,
  cursors: [''], // the cursor of each page reached so far; the last one shown
  next: '',      // the cursor after the page shown ("" at the end)
  cursor: -1,    // the row the keyboard is on
  names: {},     // the account's captions of the order fields: FKey -> {zh, en}
  filterFields: [], // the fields the filter offers, from the account's field table
};

// ---- sign-in ----

function showSignIn(text = '') {
  $('work-view').hidden = true;
  $('overview-view').hidden = true;
  $('views').hidden = true;
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
  await showView('overview');
}

// The grid's columns: the account's default layout of the order grid where it keeps one.
async function loadLayout() {
  try {
    const saved = rowsOf(await call('AmbitColumnsSet', 'GetColumnsDefaultSet', {
      dctPara: { sDSN: session.account, FCLASSTYPEID: 1014300, FListName: 'fpVerified' },
    }));
    if (saved.length) state.layout = saved.map(c => [c.FKey, KINDS[c.FKey], c.FWidth || undefined, c.FAlign]);
  } catch (error) {
    if (error.status === 401) throw error;  // otherwise the fallback layout serves
  }
  const shown = new Set(state.layout.map(([field]) => field));
  state.layout = [...LEAD, ...state.layout.filter(([f]) => f !== 'FID'),
                  ...TAIL.filter(([field]) => !shown.has(field))];
}

// The filter's choices: the account's active shops, and the order fields its field table
// describes (header fields that are columns of the order themselves, and the item name), with
// the account's captions in both languages, which the grid's titles use too.
async function loadFilterChoices() {
  const [shops, fields] = await Promise.all([
    call('AmbitOrderInfo', 'GetWebShopData', { dctPara: { sDSN: session.account } }).then(rowsOf),
    call('AmbitOrderInfo', 'GetTemplateData', { dctPara: { sDSN: session.account } }).then(rowsOf),
  ]);
  $('filter-shop').append(...shops.map(shop => new Option(shop.FWebShopName, shop.FWebShopID)));
  for (const f of fields)
    if (f.FPage === 1) state.names[f.FKey] = { zh: f.FCaption_CHS, en: f.FCaption_EN };
  const offered = fields.filter(f => (f.FPage === 1 && f.FKey === f.FFieldName && f.FVisible & 2) || f.FKey === 'FItemName');
  if (offered.length) state.filterFields = offered.map(f => ({ key: f.FKey, zh: f.FCaption_CHS, en: f.FCaption_EN }));
  renderFilterFields();
}

function renderFilterFields() {
  if (!state.filterFields.length) return;  // the page's own choice stays
  const select = $('filter-field');
  const chosen = select.value;
  select.replaceChildren(...state.filterFields.map(f => new Option(f[ui.lang] || f.key, f.key)));
  select.value = state.filterFields.some(f => f.key === chosen) ? chosen : 'FSiteOrderID';
}

// view: 'overview' or 'lists'.
export async function showView(view) {
  $('sign-in-view').hidden = true;
  $('sign-out').hidden = false;
  $('views').hidden = false;
  $('who').textContent = session.account;
  for (const button of document.querySelectorAll('[data-view]'))
    button.setAttribute('aria-current', String(button.dataset.view === view));
  // The address names the view, so a bookmark or a reload comes back to it.
  history.replaceState(null, '', `#${view}`);
  $('overview-view').hidden = view !== 'overview';
  $('work-view').hidden = view !== 'lists';
  try {
    if (view === 'overview') return await showOverview(TABS);
    // The first page is asked for alongside the layout, not after it.
    let first;
    if (!state.grid) {
      first = page(state.tab.method, state.filter, state.pageSize, state.cursors.at(-1));
      first.catch(() => {});  // refresh reports it
      await Promise.all([loadLayout(), loadFilterChoices()]);
      await buildGrid();
    }
    renderTabs();
    await refresh(first);
  } catch (error) {
    if (error.status !== 401) show(describe(error), true);
  }
}

function signOut() {
  session.token = null;
  closeDetail();
  state.grid?.clearData();
  show('');
  showSignIn();
}

whenUnauthorized(() => showSignIn(t().expired));

// ---- tabs and the list ----

function renderTabs() {
  $('tabs').replaceChildren(...TABS.map(tab => {
    const button = document.createElement('button');
    button.type = 'button';
    button.role = 'tab';
    button.id = `tab-${tab.id}`;
    button.dataset.tab = tab.id;
    button.setAttribute('aria-selected', String(tab === state.tab));
    button.setAttribute('aria-controls', 'grid');
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
  state.cursors = [''];
  renderTabs();
  if (focus) $(`tab-${state.tab.id}`).focus();
  refresh();
}

async function loadCounts() {
  const answers = await Promise.all(TABS.map(tab => count(tab.method, state.filter)));
  TABS.forEach((tab, i) => { state.counts[tab.id] = answers[i]; });
  renderTabs();
  renderPager();
}

// Shows the page whose cursor is last in state.cursors (`answer`: that page, asked for already).
async function loadList(answer) {
  // The grid names the list it shows once it shows it; a slower answer to an earlier tab
  // must not replace a later one.
  const load = ++state.loads;
  const grid = $('grid');
  grid.removeAttribute('data-list');
  grid.setAttribute('aria-busy', 'true');
  const shown = await (answer || page(state.tab.method, state.filter, state.pageSize, state.cursors.at(-1)));
  if (load !== state.loads) return;
  // A selection never outlives the page it was made on: acting on orders no longer shown
  // would surprise.
  state.grid.deselectRow();
  await state.grid.setData(shown.rows);
  state.next = shown.next;
  state.cursor = -1;
  grid.dataset.list = state.tab.id;
  grid.dataset.page = String(state.cursors.length);
  grid.setAttribute('aria-busy', 'false');
  renderPager();
  updateSelection();
}

function renderPager() {
  const pages = Math.max(1, Math.ceil((state.counts[state.tab.id] ?? 0) / state.pageSize));
  $('page-info').textContent = t().pageOf(state.cursors.length, pages);
  $('page-prev').disabled = state.cursors.length === 1;
  // A full last page still names a cursor; the count says nothing follows it.
  $('page-next').disabled = !state.next || state.cursors.length >= pages;
}

function turnPage(step) {
  if (step > 0 && state.next) state.cursors.push(state.next);
  else if (step < 0 && state.cursors.length > 1) state.cursors.pop();
  else return;
  loadList().catch(error => error.status !== 401 && show(describe(error), true));
}

// The page shown and the counts, after a filter or an action; an action may empty the last
// page, which then gives way to the first. The counts wait for the list, which the user reads
// first, rather than compete with it for the server.
export async function refresh(answer) {
  try {
    await loadList(answer);
    await loadCounts();
    if (!state.grid.getDataCount() && state.cursors.length > 1) {
      state.cursors = [''];
      await loadList();
    }
  } catch (error) {
    if (error.status !== 401) show(describe(error), true);
  }
}

function buildGrid() {
  state.grid = new Tabulator($('grid'), {
    index: 'FID',
    layout: 'fitColumns',
    height: '420px',
    placeholder: '—',
    selectableRows: true,
    langs: gridLangs,
    locale: ui.lang,
    columns: columnsFor(state.layout, state.names),
  });
  state.grid.on('rowSelectionChanged', updateSelection);
  state.grid.on('rowDblClick', (e, row) => openDetail(row.getData().FID));
  // Data given to a grid still building is lost.
  return new Promise(done => state.grid.on('tableBuilt', done));
}

export const selectedOrders = () => state.grid.getSelectedData();

function updateSelection() {
  const n = selectedOrders().length;
  $('selection').textContent = n ? t().selected(n) : '';
}

// ---- the keyboard in the grid: arrows move, Space selects, Enter opens ----

function moveCursor(step) {
  const rows = state.grid.getRows('active');
  if (!rows.length) return;
  rows[state.cursor]?.getElement().classList.remove('cursor');
  state.cursor = Math.min(rows.length - 1, Math.max(0, state.cursor + step));
  const row = rows[state.cursor];
  row.getElement().classList.add('cursor');
  state.grid.scrollToRow(row, 'nearest', false);
}

$('grid').addEventListener('keydown', event => {
  const rows = state.grid?.getRows('active') || [];
  const row = rows[state.cursor];
  if (event.key === 'ArrowDown' || event.key === 'ArrowUp') moveCursor(event.key === 'ArrowDown' ? 1 : -1);
  else if (event.key === ' ' && row) row.toggleSelect();
  else if (event.key === 'Enter' && row) openDetail(row.getData().FID);
  else if (event.key === 'PageDown' || event.key === 'PageUp') turnPage(event.key === 'PageDown' ? 1 : -1);
  else return;
  event.preventDefault();
});

// ---- language ----

function applyLanguage() {
  document.documentElement.lang = ui.lang === 'zh' ? 'zh-CN' : 'en';
  document.title = t().title;
  for (const el of document.querySelectorAll('[data-i18n]')) {
    const key = el.dataset.i18n;
    el.textContent = key.startsWith('col') ? t().cols[key.slice(3)] : t()[key];
  }
  for (const el of document.querySelectorAll('[data-i18n-title]')) el.title = t()[el.dataset.i18nTitle];
  if (state.grid) {
    state.grid.setLocale(ui.lang);
    state.grid.setColumns(columnsFor(state.layout, state.names));
    renderFilterFields();
    renderTabs();
    renderPager();
    updateSelection();
  }
  relabelDetail();
  if (!$('overview-view').hidden) showOverview(TABS).catch(error => show(describe(error), true));
}

// ---- the filter ----

// The keys of the order filter: one field compared with LIKE, the shop, and the order date's
// range (the end date taken whole).
function readFilter() {
  const filter = {};
  const value = $('filter-value').value.trim();
  const compare = $('filter-compare').value;
  // Empty and filled need no value; the others compare with one.
  if (value || compare.includes('NULL'))
    Object.assign(filter, { FieldName: $('filter-field').value, Compare: compare, FieldValue: value });
  if ($('filter-shop').value) filter.WebShopID = $('filter-shop').value;
  if ($('filter-from').value) filter.OrderDateFrom = $('filter-from').value;
  if ($('filter-to').value) filter.OrderDateTo = `${$('filter-to').value} 23:59:59`;
  return filter;
}

$('filter').addEventListener('submit', event => {
  event.preventDefault();
  state.filter = readFilter();
  state.cursors = [''];
  refresh();
});
$('filter').addEventListener('reset', event => {
  event.preventDefault();
  for (const id of ['filter-value', 'filter-from', 'filter-to', 'filter-shop']) $(id).value = '';
  $('filter-compare').value = 'LIKE';
  state.filter = {};
  state.cursors = [''];
  refresh();
});

// ---- wiring ----

$('sign-in-form').addEventListener('submit', event => {
  event.preventDefault();
  signIn($('token').value.trim());
});
$('sign-out').addEventListener('click', signOut);
$('language').addEventListener('click', () => {
  ui.lang = ui.lang === 'zh' ? 'en' : 'zh';
  localStorage.setItem('ambit.lang', ui.lang);
  applyLanguage();
});
$('views').addEventListener('click', event => {
  const button = event.target.closest('[data-view]');
  if (button) showView(button.dataset.view);
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
$('page-prev').addEventListener('click', () => turnPage(-1));
$('page-next').addEventListener('click', () => turnPage(1));
$('page-size').addEventListener('change', () => {
  state.pageSize = Number($('page-size').value);
  state.cursors = [''];
  refresh();
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
  if (session.token) await showView(location.hash === '#lists' ? 'lists' : 'overview');
  else showSignIn();
})();
