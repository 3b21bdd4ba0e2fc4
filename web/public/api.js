// The server's HTTP/JSON API as the workbench uses it: the bearer token of the session, the
// served account, and method calls that turn {"error": {...}} answers into thrown ApiErrors.

const TOKEN_KEY = 'ambit.token';

export class ApiError extends Error {
  constructor(status, error) {
    super(error?.description || `HTTP ${status}`);
    this.status = status;
    this.number = error?.number;
    this.source = error?.source;
  }
}

export const session = {
  get token() { return sessionStorage.getItem(TOKEN_KEY); },
  set token(value) {
    if (value) sessionStorage.setItem(TOKEN_KEY, value);
    else sessionStorage.removeItem(TOKEN_KEY);
  },
  account: null,  // the served account's name, which methods take as sDsn / "sDSN"
};

// Called with the ApiError of every 401, after the token has been dropped.
let onUnauthorized = () => {};
export function whenUnauthorized(handler) { onUnauthorized = handler; }

export async function health() {
  const res = await fetch('/health');
  if (!res.ok) throw new ApiError(res.status, null);
  return res.json();
}

// Runs Class.Method with the named arguments; answers the method's "result".
export async function call(cls, method, args, token = session.token) {
  return (await callWithOut(cls, method, args, token)).result;
}

// The whole answer: "result", and under "out" the arguments the method wrote back.
export async function callWithOut(cls, method, args, token = session.token) {
  const res = await fetch(`/api/${cls}/${method}`, {
    method: 'POST',
    headers: { 'Content-Type': 'application/json', Authorization: `Bearer ${token}` },
    body: JSON.stringify(args),
  });
  let body = null;
  try { body = await res.json(); } catch { /* a body that is not JSON: the status says it */ }
  if (!res.ok || body?.error) {
    const error = new ApiError(res.status, body?.error);
    if (res.status === 401) {
      session.token = null;
      onUnauthorized(error);
    }
    throw error;
  }
  return body;
}

// A Recordset answer ({columns, rows}) as one object per row; a method that answered nothing
// (null) has no rows.
export function rowsOf(recordset) {
  if (!recordset) return [];
  const names = recordset.columns.map(c => c.name);
  return recordset.rows.map(row => {
    const item = {};
    // A name that appears twice keeps its first column, as a Recordset's field lookup does.
    names.forEach((name, i) => { if (!(name in item)) item[name] = row[i]; });
    return item;
  });
}

// The lists take their arguments in one Dictionary, "dctPara".
export const list = (method, para = {}) =>
  call('AmbitOrderInfo', method, { dctPara: { sDSN: session.account, ...para } });

// Counting mode: the list's "RecordCount" instead of its rows.
export async function count(method, para = {}) {
  const answer = await list(method, { ...para, stTypeCount: '1' });
  return answer.rows[0]?.[0] ?? 0;
}

// One page of a status list, by keyset: the rows after the cursor `after` ("" for the first
// page) and the cursor of the next page ("" when nothing follows).
export async function page(method, para, size, after = '') {
  const dctPara = { sDSN: session.account, ...para, PageSize: size };
  if (after) dctPara.PageAfter = after;
  const answer = await callWithOut('AmbitOrderInfo', method, { dctPara });
  return { rows: rowsOf(answer.result), next: answer.out?.dctPara?.PageNext ?? '' };
}
