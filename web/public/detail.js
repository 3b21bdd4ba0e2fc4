// The detail of one order: its header (the editable fields saved through SaveOrder, which logs
// what changed), its lines with the actions on one line (split by quantity, an after-sales
// case), the after-sales history of those lines, the operation log, and the buyer's recent
// orders.
import { TabulatorFull as Tabulator } from './vendor/tabulator_esm.min.js';
import { call, list, rowsOf, session } from './api.js';
import { $, columnsFor, describe, formatValue, show, t } from './shared.js';
import { Refusal, ask, splitAnswer } from './actions.js';
import { refresh } from './app.js';

// [field, kind]; the editable ones are the fields the operation log follows.
const HEADER_FIELDS = [
  ['FSiteOrderID'], ['FOrderID'], ['FWebShopName'], ['FOrderDate', 'date'], ['FBuyerNick'],
  ['FAmount', 'money'], ['FTransactionStatusName'], ['FChkManName'], ['FChkDate', 'date'],
  ['FLockReason'], ['FBuyerMessage'],
];
const EDITABLE = ['FConsignee', 'FTelephone', 'FMobile', 'FZipCode', 'FDeliveryAddress',
                  'FSellerMessage', 'FLogisticsOrder'];
const LINE_COLUMNS = [
  ['FEntryID', 'int', 70], ['FItemNumber'], ['FItemName'], ['FStockName'], ['FQuantity', 'number'],
  ['FPrice', 'money'], ['FAmount', 'money'], ['FStatus'],
];
const CASE_COLUMNS = [
  ['FEntryID', 'int', 70], ['FRecordDate', 'date'], ['FServiceTypeName'], ['FType'], ['FManageType'],
  ['FQty', 'number'], ['FRefundAmount', 'money'], ['FRemark'],
];
const LOG_COLUMNS = [['FOPTime', 'date'], ['FOPUserName'], ['FOPName'], ['FLogDesc'], ['FUserIP']];
const LATELY_COLUMNS = [
  ['FOrderDate', 'date'], ['FSiteOrderID'], ['FTransactionStatusName'], ['FItemName'],
  ['FQuantity', 'number'], ['FAmount', 'money'],
];

const detail = { fid: null, order: null, grids: null };

// A grid laid out while hidden has no header, so the detail's grids wait until it shows.
function buildGrids() {
  const make = (id, columns, extra = {}) =>
    new Tabulator($(id), { layout: 'fitColumns', placeholder: '—', columns: columnsFor(columns), ...extra });
  detail.grids = {
    lines: make('lines-grid', LINE_COLUMNS, { index: 'FEntryID', selectableRows: 1 }),
    cases: make('cases-grid', CASE_COLUMNS),
    log: make('log-grid', LOG_COLUMNS),
    lately: make('lately-grid', LATELY_COLUMNS),
  };
  return Promise.all(Object.values(detail.grids).map(grid => new Promise(done => grid.on('tableBuilt', done))));
}

function field(name, text, input) {
  const dt = document.createElement('dt');
  const dd = document.createElement('dd');
  if (input) {
    const label = document.createElement('label');
    label.htmlFor = `edit-${name}`;
    label.textContent = t().cols[name] || name;
    dt.append(label);
    dd.append(input);
  } else {
    dt.textContent = t().cols[name] || name;
    dd.textContent = text;
    dd.dataset.field = name;
  }
  return [dt, dd];
}

function renderHeader() {
  const order = detail.order;
  $('detail-title').textContent = order.FSiteOrderID || String(detail.fid);
  $('detail-header').replaceChildren(
    ...HEADER_FIELDS.flatMap(([name, kind]) => field(name, formatValue(order[name], kind))),
    ...EDITABLE.flatMap(name => {
      const input = document.createElement('input');
      input.id = `edit-${name}`;
      input.name = name;
      input.value = order[name] ?? '';
      return field(name, null, input);
    }));
}

export async function openDetail(fid) {
  try {
    const [orders, lines, log, lately] = await Promise.all([
      list('GetWebOrderData', { FID: String(fid) }).then(rowsOf),
      list('GetWebOrderEntryData', { FID: String(fid) }).then(rowsOf),
      call('AmbitOrderInfo', 'GetOPLog', { sDsn: session.account, sFID: String(fid) }).then(rowsOf),
      list('GetLatelyData', { FID: String(fid) }).then(rowsOf),
    ]);
    const cases = (await Promise.all(lines.map(line =>
      call('AmbitOrderInfo', 'GetTradeRecordData', { dctData: { sDSN: session.account, FEntryID: String(line.FEntryID) } })
        .then(rowsOf)))).flat();
    // An order split or deleted meanwhile has no detail any more.
    if (!orders.some(o => o.FID === fid)) return closeDetail();
    detail.fid = fid;
    detail.order = orders.find(o => o.FID === fid);
    renderHeader();
    $('detail').hidden = false;
    if (!detail.grids) await buildGrids();
    const { grids } = detail;
    // The buyer's recent orders, this one aside.
    await Promise.all([grids.lines.setData(lines), grids.cases.setData(cases), grids.log.setData(log),
                       grids.lately.setData(lately.filter(line => line.FID !== fid))]);
    $('detail').dataset.order = String(fid);
    $('detail').scrollIntoView({ block: 'start' });
  } catch (error) {
    if (error.status !== 401) show(describe(error), true);
  }
}

export function closeDetail() {
  detail.fid = null;
  detail.order = null;
  $('detail-header').replaceChildren();
  $('detail').hidden = true;
  $('detail').removeAttribute('data-order');
}

// The captions of an open detail follow the language.
export function relabelDetail() {
  if (!detail.grids) return;
  detail.grids.lines.setColumns(columnsFor(LINE_COLUMNS));
  detail.grids.cases.setColumns(columnsFor(CASE_COLUMNS));
  detail.grids.log.setColumns(columnsFor(LOG_COLUMNS));
  detail.grids.lately.setColumns(columnsFor(LATELY_COLUMNS));
  if (detail.order) renderHeader();
}

// Only the fields the user changed go to SaveOrder, so the log names just those.
async function save(event) {
  event.preventDefault();
  const changes = {};
  for (const name of EDITABLE) {
    const value = $(`edit-${name}`).value;
    if (value !== String(detail.order[name] ?? '')) changes[name] = value;
  }
  if (!Object.keys(changes).length) return show(t().nothingChanged);
  try {
    await call('AmbitOrderUpdate', 'SaveOrder', { sDsn: session.account, dctDataCache: { [detail.fid]: changes } });
    show(t().saved(detail.order.FSiteOrderID));
  } catch (error) {
    if (error.status !== 401) show(t().failed(t().save, describe(error)), true);
    return;
  }
  await Promise.all([refresh(), openDetail(detail.fid)]);
}

// Actions on the line selected in the detail.
const LINE_ACTIONS = {
  // Quantities split off the line, each an order of its own.
  async splitQty(line) {
    const quantities = await ask(t().splitQtyAsk(line.FQuantity));
    if (quantities === null) return null;
    return splitAnswer(await call('AmbitOrderUpdate', 'SplitOrdersByNum', {
      sDsn: session.account,
      dctEntry: { FEntryID: String(line.FEntryID), SplitNum: quantities.trim(), GoodsNum: String(line.FQuantity) },
      dctOrderInfo: { FID: String(detail.fid) },
    }));
  },
  // A refund-and-return case for the line's whole quantity, with the buyer's reason.
  async afterSales(line) {
    const reason = await ask(t().afterSalesAsk);
    if (reason === null) return null;
    const answer = await call('AmbitOrderUpdate', 'AddRefundServices', {
      sDsn: session.account,
      vctData: [{ FEntryID: String(line.FEntryID), FRemark: reason, FNum: line.FQuantity,
                  FRefundAmount: line.FAmount, FServiceType: 1, FIsReturn: 1 }],
      lOpType: 1, lEmpID: 0,
    });
    // "OK:<line keys>,Faild:<line keys>"
    const failed = /Faild:(.*)$/.exec(answer)?.[1] || '';
    if (failed.trim()) throw new Refusal(t().caseRefused(failed));
    return t().caseOpened(line.FEntryID);
  },
};

async function runLineAction(name) {
  const [line] = detail.grids?.lines.getSelectedData() || [];
  if (!line) return show(t().noLine, true);
  const caption = t()[name];
  try {
    const answer = await LINE_ACTIONS[name](line);
    if (answer === null) return;
    show(`${t().done(caption, line.FEntryID)}\n${answer}`);
  } catch (error) {
    if (error.status !== 401) show(t().failed(caption, error instanceof Refusal ? error.message : describe(error)), true);
    return;
  }
  await Promise.all([refresh(), openDetail(detail.fid)]);
}

$('detail-form').addEventListener('submit', save);
$('detail-form').addEventListener('reset', event => {
  event.preventDefault();
  renderHeader();
});
$('detail-close').addEventListener('click', closeDetail);
$('detail').addEventListener('keydown', event => {
  if (event.key === 'Escape' && !document.querySelector('dialog[open]')) closeDetail();
});
$('line-actions').addEventListener('click', event => {
  const button = event.target.closest('[data-line-action]');
  if (button) runLineAction(button.dataset.lineAction);
});
