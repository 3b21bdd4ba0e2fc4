// The workbench in a real Chromium (Debian's, driven by playwright-core) against a server on a
// fresh demo account: what the user sees, and what the account holds afterwards.
//   AMBIT_ORDER      the ambit-order binary (required)
//   AMBIT_SHOTS      where the screenshots go (default: ../build/web-test)
//   CHROMIUM         the browser (default: /usr/bin/chromium)
import { after, before, describe, test } from 'node:test';
import assert from 'node:assert/strict';
import { spawn } from 'node:child_process';
import { mkdtempSync, mkdirSync, readFileSync, rmSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { dirname, join, resolve } from 'node:path';
import { fileURLToPath } from 'node:url';
import { chromium } from 'playwright-core';
import { vendored } from '../scripts/vendor.mjs';
import { captions } from '../public/i18n.js';

const here = dirname(fileURLToPath(import.meta.url));
const binary = process.env.AMBIT_ORDER && resolve(process.env.AMBIT_ORDER);
const shots = resolve(process.env.AMBIT_SHOTS || join(here, '../../build/web-test'));
const TOKEN = 'demo-token';

let server, base, account, browser, page, home;
let decline = false;  // how the next confirmation is answered
const outside = [];

// Starts `serve` on a free loopback port in an empty folder, where it grows the demo account.
function startServer() {
  home = mkdtempSync(join(tmpdir(), 'ambit-web-'));
  server = spawn(binary, ['serve', '--listen', '127.0.0.1:0', '--access-log', join(home, 'access.log')],
                 { cwd: home, stdio: ['ignore', 'pipe', 'inherit'] });
  return new Promise((done, fail) => {
    let out = '';
    const timer = setTimeout(() => fail(new Error(`no workbench URL from serve:\n${out}`)), 60000);
    server.stdout.on('data', chunk => {
      out += chunk;
      const url = /The order workbench: (http:\/\/\S+?)\/?\n/.exec(out);
      if (url) { clearTimeout(timer); done(url[1]); }
    });
    server.on('error', error => { clearTimeout(timer); fail(error); });
    server.on('exit', code => { clearTimeout(timer); fail(new Error(`serve ended (${code}):\n${out}`)); });
  });
}

// The account as the API reads it back, apart from the browser.
async function api(cls, method, args) {
  const res = await fetch(`${base}/api/${cls}/${method}`, {
    method: 'POST', headers: { Authorization: `Bearer ${TOKEN}` }, body: JSON.stringify(args),
  });
  const body = await res.json();
  assert.ok(res.ok, JSON.stringify(body));
  return body.result;
}
const listRows = async (method, para = {}) => {
  const { columns, rows } = await api('AmbitOrderInfo', method, { dctPara: { sDSN: account, ...para } });
  return rows.map(r => Object.fromEntries(columns.map((c, i) => [c.name, r[i]]).reverse()));
};
const countOf = async (method, para = {}) => (await listRows(method, { ...para, stTypeCount: '1' }))[0].RecordCount;

const shot = name => page.screenshot({ path: join(shots, `${name}.png`), fullPage: true });
const tabCount = id => page.locator(`#tab-${id} .count`);
const gridRow = fid => page.locator(`#grid .tabulator-row:has(.tabulator-cell[tabulator-field="FID"]:text-is("${fid}"))`);
const message = () => page.locator('#message');
const listShown = id => page.locator(`#grid[data-list="${id}"]`).waitFor();
// Selects one order of the list shown (and only it), as a click on its row does.
async function selectOrder(fid) {
  // A list still loading would drop the selection when it arrives.
  await page.locator('#grid[data-list]').waitFor();
  await page.waitForFunction(() => document.getElementById('selection').textContent === '');
  await gridRow(fid).locator('[tabulator-field="FSiteOrderID"]').click();
  await page.locator('#selection').filter({ hasText: '已选 1 单' }).waitFor();
}

async function signIn(token = TOKEN) {
  await page.fill('#token', token);
  await page.press('#token', 'Enter');
}

describe('the order workbench', { timeout: 180000 }, () => {
  before(async () => {
    assert.ok(binary, 'AMBIT_ORDER names the ambit-order binary');
    mkdirSync(shots, { recursive: true });
    base = await startServer();
    account = (await (await fetch(`${base}/health`)).json()).accounts[0];
    browser = await chromium.launch({
      executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
      args: ['--no-sandbox'],
      timeout: 30000,
    });
    page = await browser.newPage({ viewport: { width: 1280, height: 900 }, locale: 'zh-CN' });
    page.setDefaultTimeout(10000);
    page.on('request', req => { if (!req.url().startsWith(base)) outside.push(req.url()); });
    page.on('dialog', dialog => (decline ? dialog.dismiss() : dialog.accept()));
    await page.goto(base);
  });

  after(async () => {
    await browser?.close();
    server?.kill('SIGTERM');
    if (home) rmSync(home, { recursive: true, force: true });
  });

  test('the embedded vendor files are the ones package-lock.json pins', () => {
    for (const [from, to] of vendored)
      assert.ok(readFileSync(join(here, '../node_modules', from)).equals(readFileSync(join(here, '../public/vendor', to))),
                `public/vendor/${to} differs from node_modules/${from}: run npm run vendor`);
  });

  test('a wrong token is refused and the sign-in stays', async () => {
    await signIn('not-a-token');
    await assert.doesNotReject(page.locator('#sign-in-error').filter({ hasText: '令牌无效' }).waitFor());
    assert.ok(await page.locator('#work-view').isHidden());
    assert.equal(await page.evaluate(() => sessionStorage.getItem('ambit.token')), null);
  });

  test('signing in opens the overview: counts per state, orders per day, locks, oldest shops', async () => {
    await signIn();
    await page.locator('#overview-view[data-ready]').waitFor();
    for (const [tab, method] of [['wait', 'GetWaitVerifyData'], ['verified', 'GetVerifiedData'], ['all', 'GetAllData']])
      assert.equal(await page.locator(`#state-counts [data-tab="${tab}"] strong`).textContent(), String(await countOf(method)));
    // One bar per day; the chart draws what the list holds for the last 30 days.
    assert.equal(await page.locator('#per-day-chart canvas').count(), 1);
    const from = new Date();
    from.setDate(from.getDate() - 29);  // local days, as the page counts them
    const day = `${from.getFullYear()}-${String(from.getMonth() + 1).padStart(2, '0')}-${String(from.getDate()).padStart(2, '0')}`;
    const recent = await listRows('GetAllData', { OrderDateFrom: day });
    assert.match(await page.locator('#per-day-chart').getAttribute('aria-label'), new RegExp(`共 ${recent.length} 单`));
    const [oldest] = await listRows('GetWaitVerifyData', { PageSize: 1 });
    await page.locator('#oldest-shops td').filter({ hasText: oldest.FWebShopName }).waitFor();
    await shot('overview');
  });

  test('the awaiting-review tab shows the account\'s count, in the account\'s column layout', async () => {
    const expected = await countOf('GetWaitVerifyData');
    assert.equal(expected, 20);
    await page.click('[data-view="lists"]');
    await tabCount('wait').filter({ hasText: String(expected) }).waitFor();
    await page.locator('#grid .tabulator-row').nth(expected - 1).waitFor();
    assert.equal(await page.locator('#grid .tabulator-row').count(), expected);
    assert.equal(await tabCount('all').textContent(), String(await countOf('GetAllData')));
    // Money with two decimals.
    const first = (await listRows('GetWaitVerifyData'))[0];
    const amount = await gridRow(first.FID).locator('[tabulator-field="FAmount"]').textContent();
    assert.equal(amount, Number(first.FAmount).toFixed(2));
    // The key first, then the saved default columns in their order.
    const saved = await api('AmbitColumnsSet', 'GetColumnsDefaultSet',
                            { dctPara: { sDSN: account, FCLASSTYPEID: 1014300, FListName: 'fpVerified' } });
    const keyAt = saved.columns.findIndex(c => c.name === 'FKey');
    const fields = await page.locator('#grid .tabulator-col').evaluateAll(cols => cols.map(c => c.getAttribute('tabulator-field')));
    assert.deepEqual(fields.slice(0, saved.rows.length + 1), ['FID', ...saved.rows.map(r => r[keyAt])]);
    await shot('lists');
  });

  test('the list pages by keyset: page two holds the rows after page one', async () => {
    await page.click('#tab-all');
    await listShown('all');
    await page.locator('#page-info').filter({ hasText: '第 1 / 2 页' }).waitFor();
    const first = await listRows('GetAllData', { PageSize: 50 });
    await page.click('#page-next');
    await page.locator('#grid[data-list="all"][data-page="2"]').waitFor();
    // The grid renders the rows in view (and a few more).
    const shown = (await page.locator('#grid .tabulator-row [tabulator-field="FID"]').allTextContents()).map(Number);
    const all = await listRows('GetAllData');
    assert.ok(shown.length >= 10);
    assert.deepEqual(shown, all.slice(50, 50 + shown.length).map(o => o.FID));
    assert.ok(!shown.includes(first.at(-1).FID));
    await shot('paged');
    assert.ok(await page.locator('#page-next').isDisabled());
    await page.click('#page-prev');
    await page.locator('#grid[data-list="all"][data-page="1"]').waitFor();
    await page.click('#tab-wait');
    await listShown('wait');
  });

  test('the filter narrows every tab, and clearing it brings the lists back', async () => {
    const filter = { FieldName: 'FConsignee', Compare: 'LIKE', FieldValue: '收货人1' };
    const waiting = await listRows('GetWaitVerifyData', filter);
    const all = await countOf('GetAllData');
    assert.ok(waiting.length > 0 && waiting.length < 20);
    await page.selectOption('#filter-field', 'FConsignee');
    await page.fill('#filter-value', '收货人1');
    await page.press('#filter-value', 'Enter');
    await tabCount('wait').filter({ hasText: new RegExp(`^${waiting.length}$`) }).waitFor();
    await tabCount('all').filter({ hasText: new RegExp(`^${await countOf('GetAllData', filter)}$`) }).waitFor();
    await page.locator('#grid .tabulator-row').nth(waiting.length).waitFor({ state: 'detached' });
    const consignees = await page.locator('#grid .tabulator-row [tabulator-field="FConsignee"]').allTextContents();
    assert.deepEqual(consignees.sort(), waiting.map(o => o.FConsignee).sort());
    await shot('filtered');
    await page.click('#filter button[type="reset"]');
    await tabCount('all').filter({ hasText: new RegExp(`^${all}$`) }).waitFor();
    await tabCount('wait').filter({ hasText: /^20$/ }).waitFor();
  });

  test('a reviewed order leaves the tab and the account holds it reviewed', async () => {
    const [order] = await listRows('GetWaitVerifyData');
    const reviewed = await countOf('GetVerifiedData');
    await selectOrder(order.FID);
    await page.click('[data-action="review"]');
    await message().filter({ hasText: `审核完成：${order.FID}` }).waitFor();
    await gridRow(order.FID).waitFor({ state: 'detached' });
    await tabCount('wait').filter({ hasText: /^19$/ }).waitFor();
    await tabCount('verified').filter({ hasText: new RegExp(`^${reviewed + 1}$`) }).waitFor();
    assert.ok((await listRows('GetVerifiedData')).some(o => o.FID === order.FID));
    await shot('reviewed');

    // And back: un-reviewed from the reviewed tab, it awaits review again.
    await page.click('#tab-verified');
    await listShown('verified');
    await selectOrder(order.FID);
    await page.click('[data-action="unreview"]');
    await message().filter({ hasText: `反审核完成：${order.FID}` }).waitFor();
    await tabCount('wait').filter({ hasText: /^20$/ }).waitFor();
    assert.ok((await listRows('GetWaitVerifyData')).some(o => o.FID === order.FID));
    // Reviewed once more, so the scenarios below start from 19 awaiting review.
    await page.click('#tab-wait');
    await listShown('wait');
    await selectOrder(order.FID);
    await page.click('[data-action="review"]');
    await message().filter({ hasText: `审核完成：${order.FID}` }).waitFor();
    await listShown('wait');  // the refresh after the action is done: a click now counts
    await tabCount('wait').filter({ hasText: /^19$/ }).waitFor();
  });

  test('a lock keeps a reason with quotes, and a locked order stops the review', async () => {
    const [order] = await listRows('GetWaitVerifyData');
    const reason = 'buyer asks to "wait" for a call';
    await selectOrder(order.FID);
    await page.click('[data-action="lock"]');
    await page.fill('#ask-value', reason);
    await page.click('#ask-dialog button[value="ok"]');
    await message().filter({ hasText: `锁定完成：${order.FID}` }).waitFor();
    const locked = (await listRows('GetLockData')).find(o => o.FID === order.FID);
    assert.equal(locked?.FLockReason, reason);

    // Reviewing it is refused in the browser, naming the order, and the account is unchanged.
    await page.click('#tab-locked');
    await listShown('locked');
    await gridRow(order.FID).locator('[tabulator-field="FLockReason"]').filter({ hasText: reason }).waitFor();
    await selectOrder(order.FID);
    await page.click('[data-action="review"]');
    await message().filter({ hasText: `以下订单已锁定，请先解锁：${order.FOrderID} (${order.FID})` }).waitFor();
    assert.ok(await message().evaluate(el => el.classList.contains('error')));
    assert.ok((await listRows('GetWaitVerifyData')).some(o => o.FID === order.FID));
    await shot('locked');
  });

  test('a server error is shown in plain words', async () => {
    // Ask for a void with a key list the server refuses, as a stale page could.
    const order = (await listRows('GetWaitVerifyData')).find(o => !o.FIsLock);
    await page.click('#tab-wait');
    await listShown('wait');
    await selectOrder(order.FID);
    const before = await countOf('GetAllData');
    await page.route('**/api/AmbitOrderUpdate/SetWebOrderVoidStatus', route =>
      route.continue({ postData: JSON.stringify({ dctPara: { sDSN: account, FID: 'x', FVoidStatus: 1 } }) }));
    await page.click('[data-action="void"]');
    await message().filter({ hasText: "作废失败：Invalid key list FID 'x'" }).waitFor();
    await shot('failed-action');
    await page.unroute('**/api/AmbitOrderUpdate/SetWebOrderVoidStatus');
    await gridRow(order.FID).locator('[tabulator-field="FSiteOrderID"]').click();  // deselects
    assert.equal(await countOf('GetAllData'), before);
    assert.equal((await listRows('GetAllData')).filter(o => o.FVoidStatus).length, 0);
  });

  test('a review by stock check that fails names the short lines and reviews nothing', async () => {
    const order = (await listRows('GetWaitVerifyData')).find(o => !o.FIsLock);
    const [line] = await listRows('GetWebOrderEntryData', { FID: String(order.FID) });
    const logBefore = (await api('AmbitOrderInfo', 'GetOPLog', { sDsn: account, sFID: String(order.FID) })).rows.length;
    const reviewed = await countOf('GetVerifiedData');
    await selectOrder(order.FID);
    await page.click('[data-action="stockReview"]');
    // The demo account holds no stock of its items.
    await message().filter({ hasText: '按库存审核失败：已审核 0 单。' }).waitFor();
    assert.ok(await message().evaluate(el => el.classList.contains('error')));
    await message().filter({ hasText: `${order.FOrderID} ${line.FItemNumber}: 可用库存不足` }).waitFor();
    await shot('stock-review');
    assert.equal(await countOf('GetVerifiedData'), reviewed);
    assert.ok((await listRows('GetWaitVerifyData')).some(o => o.FID === order.FID));
    assert.equal((await api('AmbitOrderInfo', 'GetOPLog', { sDsn: account, sFID: String(order.FID) })).rows.length, logBefore);
  });

  test('the detail opens by keyboard; an edited consignee is saved and logged', async () => {
    const [order] = await listRows('GetWaitVerifyData');
    const [line] = await listRows('GetWebOrderEntryData', { FID: String(order.FID) });
    // Arrows move to the first row, Enter opens it.
    await page.locator('#grid[data-list="wait"]').focus();
    await page.keyboard.press('ArrowDown');
    await page.keyboard.press('Enter');
    await page.locator(`#detail[data-order="${order.FID}"]`).waitFor();
    await page.locator('#lines-grid [tabulator-field="FItemName"]').filter({ hasText: line.FItemName }).first().waitFor();

    const consignee = `王"五'${order.FID}`;
    await page.fill('#edit-FConsignee', consignee);
    await page.press('#edit-FConsignee', 'Enter');
    await message().filter({ hasText: `订单 ${order.FSiteOrderID} 已保存。` }).waitFor();
    await page.locator('#log-grid [tabulator-field="FLogDesc"]')
      .filter({ hasText: `收货人由 ${order.FConsignee} 改为 ${consignee}` }).waitFor();
    await gridRow(order.FID).locator('[tabulator-field="FConsignee"]').filter({ hasText: consignee }).waitFor();
    // The account holds the new consignee, one log row for it, and nothing else changed.
    const [saved] = await listRows('GetWebOrderData', { FID: String(order.FID) });
    assert.equal(saved.FConsignee, consignee);
    assert.equal(saved.FDeliveryAddress, order.FDeliveryAddress);
    const log = await api('AmbitOrderInfo', 'GetOPLog', { sDsn: account, sFID: String(order.FID) });
    assert.equal(log.rows.filter(r => String(r.at(-1)).startsWith('收货人由')).length, 1);
    await shot('detail-saved');
    await page.press('#edit-FConsignee', 'Escape');
    await page.locator('#detail').waitFor({ state: 'hidden' });
  });

  test('a line split by quantity becomes an order of its own', async () => {
    const waiting = (await listRows('GetWaitVerifyData')).filter(o => !o.FIsLock);
    let order, line;
    for (const candidate of waiting) {
      line = (await listRows('GetWebOrderEntryData', { FID: String(candidate.FID) })).find(l => l.FQuantity >= 2);
      if (line) { order = candidate; break; }
    }
    const before = await countOf('GetAllData');
    await selectOrder(order.FID);
    await page.click('[data-action="open"]');
    await page.locator(`#detail[data-order="${order.FID}"]`).waitFor();
    await page.locator(`#lines-grid .tabulator-row:has([tabulator-field="FEntryID"]:text-is("${line.FEntryID}")) [tabulator-field="FItemName"]`).click();
    await page.click('[data-line-action="splitQty"]');
    await page.fill('#ask-value', '1');
    await page.click('#ask-dialog button[value="ok"]');
    await message().filter({ hasText: `拆分出的订单：${order.FOrderID}_1` }).waitFor();
    // The source order went into the new ones: its detail closes, the answer stays.
    await page.locator('#detail').waitFor({ state: 'hidden' });
    await tabCount('all').filter({ hasText: String(before + 1) }).waitFor();
    assert.match(await message().textContent(), new RegExp(`拆分出的订单：${order.FOrderID}_1`));
    assert.ok(!(await message().evaluate(el => el.classList.contains('error'))));
    await shot('split');
    const all = await listRows('GetAllData');
    assert.equal(all.length, before + 1);
    const split = all.find(o => o.FOrderID === `${order.FOrderID}_1`);
    const splitLines = await listRows('GetWebOrderEntryData', { FID: String(split.FID) });
    assert.deepEqual(splitLines.map(l => [l.FItemNumber, l.FQuantity]), [[line.FItemNumber, 1]]);
  });

  test('two orders of one consignee merge into the first', async () => {
    const [a, b] = (await listRows('GetWaitVerifyData')).filter(o => !o.FIsLock).slice(-2);
    const same = ['FConsignee', 'FDeliveryAddress', 'FMobile', 'FTelephone', 'FBuyerNick', 'FZipCode'];
    await api('AmbitOrderUpdate', 'SaveOrder',
              { sDsn: account, dctDataCache: { [b.FID]: Object.fromEntries(same.map(f => [f, a[f]])) } });
    const linesOf = async fid => (await listRows('GetWebOrderEntryData', { FID: String(fid) })).length;
    const lines = await linesOf(a.FID) + await linesOf(b.FID);
    await page.click('[data-action="refresh"]');
    await listShown('wait');
    await selectOrder(a.FID);
    await gridRow(b.FID).locator('[tabulator-field="FSiteOrderID"]').click();
    await page.click('[data-action="merge"]');
    await message().filter({ hasText: `合并结果：本地订单号为[${a.FOrderID}]的订单合并成功。` }).waitFor();
    await gridRow(b.FID).waitFor({ state: 'detached' });
    await shot('merged');
    const all = await listRows('GetAllData');
    assert.ok(all.some(o => o.FID === a.FID) && !all.some(o => o.FID === b.FID));
    assert.equal(await linesOf(a.FID), lines);
  });

  test('delete asks first: declined, nothing goes; confirmed, the order is gone', async () => {
    const order = (await listRows('GetWaitVerifyData')).find(o => !o.FIsLock);
    const before = await countOf('GetAllData');
    await selectOrder(order.FID);
    decline = true;
    const [asked] = await Promise.all([page.waitForEvent('dialog'), page.click('[data-action="delete"]')]);
    assert.match(asked.message(), new RegExp(`确定删除订单 ${order.FID}？`));
    assert.equal(await countOf('GetAllData'), before);
    decline = false;
    await page.click('[data-action="delete"]');
    await message().filter({ hasText: `删除完成：${order.FID}` }).waitFor();
    await shot('deleted');
    await gridRow(order.FID).waitFor({ state: 'detached' });
    assert.equal(await countOf('GetAllData'), before - 1);
    assert.deepEqual(await listRows('GetWebOrderEntryData', { FID: String(order.FID) }), []);
  });

  test('the language switch turns every caption English and back', async () => {
    // Both languages are complete: the same captions, none empty.
    const keys = lang => Object.entries(captions[lang]).flatMap(([k, v]) => (k === 'cols' ? Object.keys(v).map(c => `cols.${c}`) : [k])).sort();
    assert.deepEqual(keys('en'), keys('zh'));
    await page.click('#language');
    await page.locator('#tab-wait').filter({ hasText: 'Awaiting review' }).waitFor();
    assert.equal(await page.locator('h1').textContent(), 'Order workbench');
    assert.equal(await page.locator('#grid .tabulator-col-title').first().textContent(), 'Key');
    assert.equal(await page.locator('#detail h3').first().textContent(), 'Lines');
    assert.equal(await page.locator('#page-next').textContent(), 'Next');
    // No Chinese left in the captions (the orders' own data stays as the account holds it).
    const chrome = await page.locator('header, #tabs, .toolbar, .pager, #filter label, #filter button, #detail h3, #detail dt, .tabulator-col-title')
      .allInnerTexts();
    assert.deepEqual(chrome.flatMap(text => text.split('\n')).filter(text => /[\u4e00-\u9fff]/.test(text)), ['中文']);
    await shot('english');
    await page.click('#language');
    await page.locator('#tab-wait').filter({ hasText: '待审核' }).waitFor();
    assert.equal(await page.locator('#page-next').textContent(), '下一页');
  });

  test('an expired token leads back to the sign-in; signing out forgets the token', async () => {
    await page.evaluate(() => sessionStorage.setItem('ambit.token', 'revoked'));
    await page.click('[data-action="refresh"]');
    await page.locator('#sign-in-error').filter({ hasText: '登录已失效' }).waitFor();
    await signIn();
    await page.locator('#overview-view').waitFor();
    await page.click('#sign-out');
    await page.locator('#sign-in-view').waitFor();
    assert.equal(await page.evaluate(() => sessionStorage.getItem('ambit.token')), null);
    assert.ok(await page.locator('#work-view').isHidden());
    await shot('signed-out');
  });

  test('nothing was loaded from outside the server', () => {
    assert.deepEqual(outside, []);
  });
});
