// What every part of the workbench shares: the session's language and captions, value
// formatting (dates in the user's locale, money with two decimals), the message line, and
// grid columns from a layout.
import { ApiError } from './api.js';
import { captions } from './i18n.js';

export const $ = id => document.getElementById(id);

export const ui = {
  lang: localStorage.getItem('ambit.lang') === 'en' ? 'en' : 'zh',
};
export const t = () => captions[ui.lang];
// Chinese captions show Chinese dates; English ones follow the browser's own locale.
export const locale = () => (ui.lang === 'zh' ? 'zh-CN' : navigator.language || 'en');

// kind: 'date' (date and time), 'money' (two decimals), 'number', or text.
export function formatValue(value, kind) {
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

const numeric = kind => kind === 'money' || kind === 'number' || kind === 'int';
const ALIGN = ['left', 'center', 'right'];

// layout: [field, kind, width, align] per column (the last two optional); captions by field,
// from `names` (field -> {zh, en}) before the workbench's own.
export function columnsFor(layout, names = {}) {
  return layout.map(([field, kind, width, align]) => ({
    title: names[field]?.[ui.lang] || t().cols[field] || field,
    field,
    hozAlign: ALIGN[align] || (numeric(kind) ? 'right' : 'left'),
    sorter: numeric(kind) ? 'number' : 'string',
    formatter: cell => formatValue(cell.getValue(), kind),
    minWidth: kind === 'date' ? 150 : 60,
    ...(width ? { width } : {}),
  }));
}

export function show(text, isError = false) {
  const message = $('message');
  message.textContent = text;
  message.classList.toggle('error', isError);
}

// An API error in the server's own words; a failed fetch means the server was not reached;
// anything else is the workbench's own fault, shown as it is.
export function describe(error) {
  if (error instanceof ApiError) return error.message;
  if (error instanceof TypeError && /fetch/i.test(error.message)) return t().unreachable;
  console.error(error);
  return String(error.message || error);
}
