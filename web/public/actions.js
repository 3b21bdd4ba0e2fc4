// Actions on the orders selected in the list. Before an action runs, the state checks name the
// orders in its way; afterwards the tab and the counts are refreshed, and the method's answer,
// or its error, shows in plain words.
import { call, session } from './api.js';
import { $, describe, show, t } from './shared.js';
import { refresh, selectedOrders } from './app.js';
import { openDetail } from './detail.js';

// What stands in an action's way: locked orders, and orders with partner-shipped lines, whose
// shipping the partner runs.
const LOCKED = { method: 'CheckWebOrderIsLock', caption: 'lockedInTheWay' };
const PARTNER = { method: 'CheckWebHaveIsShShipFlag', caption: 'partnerInTheWay' };

// An answer that says the action did not (wholly) happen, in the workbench's words.
export class Refusal extends Error {}

const para = (extra, ids) => ({ dctPara: { sDSN: session.account, ...extra, FID: ids } });
const fids = ids => ids.split(',');

// run(ids, input) calls the method and answers the message to show (or throws);
// checks: what must not be selected; confirm: a question first; input: what to ask for.
const ACTIONS = {
  review: { checks: [LOCKED], run: ids => status(ids, 2) },
  unreview: { checks: [LOCKED, PARTNER], run: ids => status(ids, 1) },
  prereview: { checks: [LOCKED], run: ids => status(ids, 3) },
  unprereview: { checks: [LOCKED], run: ids => status(ids, 4) },
  lock: { input: 'reason', run: (ids, reason) => update('LockWebOrder', { IsLock: 1, LockStatus: 1, LockReason: reason }, ids) },
  unlock: { run: ids => update('LockWebOrder', { IsLock: 0, LockStatus: 0 }, ids) },
  void: { checks: [LOCKED, PARTNER], confirm: 'confirmVoid', run: ids => update('SetWebOrderVoidStatus', { FVoidStatus: 1 }, ids) },
  delete: { checks: [LOCKED, PARTNER], confirm: 'confirmDelete', run: ids => update('DeleteWebOrder', {}, ids) },
  stockReview: { checks: [LOCKED], run: stockReview },
  merge: { checks: [LOCKED, PARTNER], least: 2, run: merge },
  splitLines: { checks: [LOCKED, PARTNER], run: async ids => splitAnswer(await call('AmbitOrderUpdate', 'SplitOrders', { sDsn: session.account, vctOrderInfo: fids(ids) })) },
};

const status = (ids, code) => update('SetWebOrderStatus', { FOrderStatus: code }, ids);

async function update(method, extra, ids) {
  const done = await call('AmbitOrderUpdate', method, para(extra, ids));
  if (!done) throw new Refusal(t().notDone);
  return null;
}

// Orders short of stock stay unreviewed; each short line is named.
async function stockReview(ids) {
  const answer = await call('AmbitOrderUpdate', 'SetWebOrderStatusByCheckStock', { sDsn: session.account, sFIDs: ids });
  const failed = answer.filter(item => item && item.ErrInfo !== undefined);
  const error = answer.find(item => item && item.Error !== undefined);
  if (error) throw new Refusal(String(error.Error));
  const lines = failed.map(item => `${item.FOrderID || item.FSiteOrderID} ${item.FNumber}: ${item.ErrInfo}`);
  const reviewed = fids(ids).length - new Set(failed.map(item => item.FOrderID)).size;
  const text = [t().stockReviewed(reviewed), ...lines].join('\n');
  if (lines.length) throw new Refusal(text);
  return text;
}

// "Success:|<survivor messages>;Error:|<consignees kept apart and why>"
async function merge(ids) {
  const answer = await call('AmbitOrderUpdate', 'MergeOrders', { sDsn: session.account, vctOrderInfo: [ids] });
  const [, merged = '', kept = ''] = /^Success:\|(.*);Error:\|(.*)$/s.exec(answer) || [];
  const messages = text => text.split('|').map(m => m.trim()).filter(Boolean).join('\n');
  if (!messages(merged)) throw new Refusal(messages(kept) || t().nothingMerged);
  return [t().merged(messages(merged)), messages(kept) && t().keptApart(messages(kept))]
    .filter(Boolean).join('\n');
}

// The new orders' numbers separated by blanks; "" when nothing could be split.
export function splitAnswer(answer) {
  const made = String(answer || '').trim().split(/\s+/).filter(Boolean);
  if (!made.length) throw new Refusal(t().nothingSplit);
  return t().splitInto(made.join(', '));
}

// Asks for a line of text in the dialog; null when cancelled.
export function ask(caption, value = '') {
  const dialog = $('ask-dialog');
  $('ask-label').textContent = caption;
  $('ask-value').value = value;
  return new Promise(resolve => {
    dialog.addEventListener('close', () =>
      resolve(dialog.returnValue === 'ok' ? $('ask-value').value : null), { once: true });
    dialog.returnValue = '';
    dialog.showModal();
  });
}

// The orders of `ids` that each check finds, as one message; "" when none is in the way.
async function inTheWay(checks, ids) {
  const found = await Promise.all(checks.map(check =>
    call('AmbitOrderInfo', check.method, { sDsn: session.account, sFID: ids })));
  return checks.map((check, i) => found[i].length
    ? t()[check.caption](found[i].map(o => (o.FOrderID ? `${o.FOrderID} (${o.FID})` : o.FID)).join(', ')) : '')
    .filter(Boolean).join('\n');
}

export async function runAction(name) {
  if (name === 'refresh') return refresh();
  const orders = selectedOrders();
  if (name === 'open')
    return orders.length ? openDetail(orders[0].FID) : show(t().noSelection, true);
  const action = ACTIONS[name];
  const caption = t()[name];
  const ids = orders.map(order => order.FID).join(',');
  if (orders.length < (action.least || 1)) return show(action.least ? t().selectAtLeast(action.least) : t().noSelection, true);
  let answer;
  try {
    const blocked = await inTheWay(action.checks || [], ids);
    if (blocked) return show(blocked, true);
    if (action.confirm && !window.confirm(t()[action.confirm](ids))) return;
    let input;
    if (action.input) {
      input = await ask(t().lockReason);
      if (input === null) return;
    }
    answer = await action.run(ids, input);
  } catch (error) {
    if (error.status === 401) return;
    show(t().failed(caption, error instanceof Refusal ? error.message : describe(error)), true);
    // A refusal came after the method ran, which may have changed part of the selection.
    if (error instanceof Refusal) await refresh();
    return;
  }
  show([t().done(caption, ids), answer].filter(Boolean).join('\n'));
  await refresh();
}
