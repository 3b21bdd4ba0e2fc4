// The overview a shift lead opens in the morning: how many orders wait in each state, orders
// per day over the last 30 days, what is locked and why, and the shops whose unreviewed orders
// are oldest. Counts come from counting mode, the rest from the lists.
import { count, page } from './api.js';
import { $, formatValue, locale, t } from './shared.js';

const DAYS = 30;
// Rows read to draw the chart and the tables; an account busier than this shows the first
// ones, and says so.
const READ = 5000;

let chart = null;

const dayKey = date => `${date.getFullYear()}-${String(date.getMonth() + 1).padStart(2, '0')}-${String(date.getDate()).padStart(2, '0')}`;

function cells(tag, values) {
  const row = document.createElement('tr');
  row.append(...values.map(value => {
    const cell = document.createElement(tag);
    cell.textContent = value;
    return cell;
  }));
  return row;
}

function table(id, head, rows) {
  $(id).replaceChildren(cells('th', head), ...rows.map(values => cells('td', values)));
}

// The chart library loads with the first overview, so the lists never wait for it.
async function drawChart(days, perDay) {
  const { default: uPlot } = await import('./vendor/uPlot.esm.js');
  chart?.destroy();
  const box = $('per-day-chart');
  box.replaceChildren();
  const x = days.map(day => new Date(`${day}T00:00:00`).getTime() / 1000);
  chart = new uPlot({
    width: Math.max(320, box.clientWidth || 640),
    height: 220,
    legend: { show: false },
    // Half a day either side, so the first and the last bar show whole.
    scales: { x: { time: true, range: (u, min, max) => [min - 43200, max + 43200] },
              y: { range: (u, min, max) => [0, Math.max(4, max)] } },
    axes: [
      { values: (u, ticks) => ticks.map(tick => new Date(tick * 1000).toLocaleDateString(locale(), { month: 'numeric', day: 'numeric' })) },
      { values: (u, ticks) => ticks.map(tick => (Number.isInteger(tick) ? tick : '')) },
    ],
    series: [{}, { label: t().ordersPerDay, fill: '#1f5fa8aa', stroke: '#1f5fa8', paths: uPlot.paths.bars({ size: [0.7] }), points: { show: false } }],
  }, [x, perDay], box);
  box.setAttribute('aria-label', t().chartSummary(perDay.reduce((a, b) => a + b, 0), DAYS));
}

export async function showOverview(tabs) {
  const today = new Date();
  const from = new Date(today.getFullYear(), today.getMonth(), today.getDate() - (DAYS - 1));
  const [counts, recent, locked, waiting] = await Promise.all([
    Promise.all(tabs.map(tab => count(tab.method))),
    page('GetAllData', { OrderDateFrom: dayKey(from) }, READ),
    page('GetLockData', {}, READ),
    // The list runs oldest first, so its first page holds the oldest unreviewed orders.
    page('GetWaitVerifyData', {}, READ),
  ]);

  $('state-counts').replaceChildren(...tabs.map((tab, i) => {
    const card = document.createElement('div');
    card.className = 'card';
    card.dataset.tab = tab.id;
    const label = document.createElement('span');
    label.textContent = t()[tab.caption];
    const figure = document.createElement('strong');
    figure.textContent = formatValue(counts[i], 'number');
    card.append(label, figure);
    return card;
  }));

  const days = Array.from({ length: DAYS }, (_, i) =>
    dayKey(new Date(from.getFullYear(), from.getMonth(), from.getDate() + i)));
  const perDay = days.map(() => 0);
  for (const order of recent.rows) {
    const i = days.indexOf(String(order.FOrderDate).slice(0, 10));
    if (i >= 0) perDay[i] += 1;
  }
  await drawChart(days, perDay);

  const reasons = new Map();
  for (const order of locked.rows) {
    const reason = order.FLockReason || t().noReason;
    reasons.set(reason, (reasons.get(reason) || 0) + 1);
  }
  $('locked-total').textContent = t().lockedTotal(counts[tabs.findIndex(tab => tab.id === 'locked')]);
  table('locked-reasons', [t().lockReason, t().orders],
        [...reasons].sort((a, b) => b[1] - a[1]).map(([reason, n]) => [reason, formatValue(n, 'number')]));

  const shops = new Map();
  for (const order of waiting.rows) {
    const shop = shops.get(order.FWebShopName) || { oldest: order.FOrderDate, n: 0 };
    if (String(order.FOrderDate) < String(shop.oldest)) shop.oldest = order.FOrderDate;
    shop.n += 1;
    shops.set(order.FWebShopName, shop);
  }
  table('oldest-shops', [t().cols.FWebShopName, t().oldestOrder, t().orders],
        [...shops].sort((a, b) => String(a[1].oldest).localeCompare(String(b[1].oldest)))
          .map(([name, shop]) => [name, formatValue(shop.oldest, 'date'), formatValue(shop.n, 'number')]));

  $('overview-note').textContent = [recent, locked, waiting].some(answer => answer.next) ? t().overviewCapped(READ) : '';
  $('overview-view').dataset.ready = 'true';
}
