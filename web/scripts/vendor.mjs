// Copies the browser files of the npm dependencies into public/vendor, where the C++ build
// embeds them. They are committed, so building and serving never need npm or the network;
// run `npm ci && npm run vendor` after changing a version in package.json, and commit.
import { copyFileSync, mkdirSync } from 'node:fs';
import { dirname, join } from 'node:path';
import { fileURLToPath } from 'node:url';

const root = join(dirname(fileURLToPath(import.meta.url)), '..');

// [file in node_modules, name under public/vendor]
export const vendored = [
  ['tabulator-tables/dist/js/tabulator_esm.min.js', 'tabulator_esm.min.js'],
  ['tabulator-tables/dist/css/tabulator.min.css', 'tabulator.min.css'],
  ['uplot/dist/uPlot.esm.js', 'uPlot.esm.js'],
  ['uplot/dist/uPlot.min.css', 'uPlot.min.css'],
];

if (process.argv[1] === fileURLToPath(import.meta.url)) {
  mkdirSync(join(root, 'public/vendor'), { recursive: true });
  for (const [from, to] of vendored) {
    copyFileSync(join(root, 'node_modules', from), join(root, 'public/vendor', to));
    console.log(`public/vendor/${to} <- ${from}`);
  }
}
