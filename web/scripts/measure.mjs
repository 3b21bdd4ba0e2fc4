// Page weight and first paint of the lists, measured in Debian's Chromium against a running
// server:  node scripts/measure.mjs http://127.0.0.1:8080 [token]
// Weight: what a cold load of the lists view transfers, body bytes as encoded on the wire (the
// server gzips its files), from the browser's resource timing. First paint: from navigation
// start (the token already in the tab's session) to the frame after the first row of the
// awaiting-review list is in the page; the median of 5 cold loads, with when the scripts had
// arrived and when the list's answer had.
import { chromium } from 'playwright-core';

const [base = 'http://127.0.0.1:8080', token = 'demo-token'] = process.argv.slice(2);
const browser = await chromium.launch({ executablePath: process.env.CHROMIUM || '/usr/bin/chromium', args: ['--no-sandbox'] });

async function load() {
  const context = await browser.newContext({ viewport: { width: 1280, height: 900 }, locale: 'zh-CN' });
  await context.addInitScript(value => {
    sessionStorage.setItem('ambit.token', value);
    new MutationObserver((changes, observer) => {
      if (!document.querySelector('#grid .tabulator-row')) return;
      observer.disconnect();
      requestAnimationFrame(() => { window.listsPainted = performance.now(); });
    }).observe(document, { childList: true, subtree: true });
  }, token);
  const page = await context.newPage();
  await page.goto(`${base}/#lists`);
  await page.waitForFunction(() => window.listsPainted);
  const run = await page.evaluate(() => {
    const [nav] = performance.getEntriesByType('navigation');
    const files = [nav, ...performance.getEntriesByType('resource')].map(e => ({
      url: e.name, wire: e.encodedBodySize, size: e.decodedBodySize, end: e.responseEnd,
    }));
    return { painted: window.listsPainted, files };
  });
  await context.close();
  return run;
}

const runs = [];
for (let i = 0; i < 5; i++) runs.push(await load());
await browser.close();
const kb = bytes => `${(bytes / 1024).toFixed(1)} KB`;
const { files } = runs[0];
for (const file of [...files].sort((a, b) => b.wire - a.wire))
  console.log(`${kb(file.wire).padStart(9)} ${kb(file.size).padStart(9)}  ${file.url.replace(base, '')}`);
const sum = pick => files.reduce((total, file) => total + pick(file), 0);
console.log(`weight: ${kb(sum(f => f.wire))} transferred (${kb(sum(f => f.size))} decoded), ${files.length} requests`);
const ms = x => `${x.toFixed(0)} ms`;
runs.sort((a, b) => a.painted - b.painted);
for (const run of runs) {
  const scripts = Math.max(...run.files.filter(f => /\.js$/.test(f.url)).map(f => f.end));
  // The list's own answer is the first of its name; its count comes after it.
  const list = Math.min(...run.files.filter(f => f.url.endsWith('/GetWaitVerifyData')).map(f => f.end));
  console.log(`lists painted ${ms(run.painted)} (scripts in ${ms(scripts)}, list answered ${ms(list)})`);
}
console.log(`first paint of the lists: median ${ms(runs[2].painted)}`);
