// Opens report pages in headless Chromium, driven through the DevTools protocol on a pipe (no package
// needed), and prints one JSON line per page: what the browser logged, every request the page made or
// tried, and each shown number or name that differs from the document embedded in the page.
//   node browser-check.mjs CHROMIUM SHOT_DIR PAGE.html...
// Light, dark and print screenshots of each page go to SHOT_DIR (PAGE-light.png, PAGE-dark.png, PAGE-print.png).
import { spawn } from 'node:child_process';
import { mkdtempSync, rmSync, writeFileSync } from 'node:fs';
import { tmpdir } from 'node:os';
import { basename, join, resolve } from 'node:path';
import { pathToFileURL } from 'node:url';

const [chromium, shotDir, ...pages] = process.argv.slice(2);
const profile = mkdtempSync(join(tmpdir(), 'sumora-chromium-'));
const browser = spawn(chromium, [
  '--headless', '--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-component-update',
  '--disable-sync', '--no-first-run', '--disable-extensions', '--remote-debugging-pipe',
  `--user-data-dir=${profile}`, 'about:blank',
], { stdio: ['ignore', 'ignore', 'ignore', 'pipe', 'pipe'] });

// The protocol: JSON messages ended by a NUL byte, written to fd 3 and read from fd 4.
let nextId = 1;
const waiting = new Map();
const listeners = [];
let buffered = '';
browser.stdio[4].on('data', (chunk) => {
  buffered += chunk.toString('utf8');
  let end;
  while ((end = buffered.indexOf('\0')) >= 0) {
    const message = JSON.parse(buffered.slice(0, end));
    buffered = buffered.slice(end + 1);
    if (message.id && waiting.has(message.id)) {
      const { done, fail } = waiting.get(message.id);
      waiting.delete(message.id);
      message.error ? fail(new Error(JSON.stringify(message.error))) : done(message.result);
    } else {
      for (const listener of listeners) listener(message);
    }
  }
});
const send = (method, params = {}, sessionId) => new Promise((done, fail) => {
  const id = nextId++;
  waiting.set(id, { done, fail });
  browser.stdio[3].write(JSON.stringify({ id, method, params, sessionId }) + '\0');
});
const nextEvent = (method, sessionId) => new Promise((done) => {
  const listener = (message) => {
    if (message.method === method && message.sessionId === sessionId) {
      listeners.splice(listeners.indexOf(listener), 1);
      done(message.params);
    }
  };
  listeners.push(listener);
});

// Runs in the page: compares every tagged element with the embedded document, and each field heading
// with the field's name, both as the page must show them (control characters written out as \n or
// \x1b, invisible direction controls as \u202e).
const pageCheck = `(() => {
  const data = JSON.parse(document.getElementById('sumora-data').textContent);
  const named = { '\\n': 'n', '\\r': 'r', '\\t': 't', '\\0': '0' };
  const visible = (text) => text
    .replace(/[\\u0000-\\u001f\\u007f]/g, (c) => '\\\\' + (named[c] ?? 'x' + c.charCodeAt(0).toString(16).padStart(2, '0')))
    .replace(/[\\u0080-\\u009f\\u061c\\u200e\\u200f\\u202a-\\u202e\\u2066-\\u2069]/g,
             (c) => '\\\\u' + c.charCodeAt(0).toString(16).padStart(4, '0'));
  const resolve = (pointer) => pointer.split('/').slice(1).reduce(
    (value, key) => (value === undefined || value === null) ? undefined : value[key.replace(/~1/g, '/').replace(/~0/g, '~')], data);
  // A shown number must be the exact value rounded at its last shown digit.
  const roundedFrom = (shown, want) => {
    const parts = /^-?\\d+(?:\\.(\\d+))?(?:e([+-]\\d+))?$/.exec(shown);
    if (!parts) return false;
    const lastDigit = Number(parts[2] ?? 0) - (parts[1]?.length ?? 0);
    return Math.abs(Number(shown) - want) <= 0.5 * 10 ** lastDigit * (1 + 1e-9) + Math.abs(want) * 1e-15;
  };
  const differences = [];
  let checked = 0;
  for (const element of document.querySelectorAll('[data-k]')) {
    const key = element.dataset.k;
    const base = key.startsWith('/') ? '' : element.closest('[data-p]')?.dataset.p;
    const path = key.startsWith('/') ? key : base + '/' + key;
    const want = base === undefined ? undefined : resolve(path);
    const shown = element.textContent.trim();
    let same = false;
    if (want === null) same = shown === '\\u2014';
    else if (typeof want === 'number') same = roundedFrom(shown, want);
    else if (typeof want === 'string') {
      const cut = element.querySelector('bdi[title]');
      same = cut ? cut.title === visible(want) && shown.endsWith('\\u2026') && visible(want).startsWith(shown.slice(0, -1))
                 : shown === visible(want);
    }
    ++checked;
    if (!same) differences.push({ path, shown: shown.slice(0, 80), want: String(want).slice(0, 80) });
  }
  (data.fields || []).forEach((field, index) => {
    const heading = document.querySelector('#f' + index + ' h2 bdi');
    if (!heading) return;
    ++checked;
    const shownName = heading.title || heading.textContent;
    const cutOk = !heading.title || (heading.textContent.endsWith('\\u2026') &&
                                     visible(field.name).startsWith(heading.textContent.slice(0, -1)));
    if (shownName !== visible(field.name) || !cutOk) differences.push({ path: '/fields/' + index + '/name', shown: shownName.slice(0, 80) });
  });
  const active = document.querySelectorAll('img,iframe,object,embed,link,script:not(#sumora-data),[onerror],[onload],[onclick]');
  return { checked, differences: differences.slice(0, 20), differenceCount: differences.length,
           activeElements: active.length, sections: document.querySelectorAll('section').length,
           height: document.documentElement.scrollHeight };
})()`;

async function check(page) {
  const url = pathToFileURL(resolve(page)).href;
  const { targetId } = await send('Target.createTarget', { url: 'about:blank' });
  const { sessionId } = await send('Target.attachToTarget', { targetId, flatten: true });
  const report = { page, consoleErrors: [], requests: [], failedRequests: [] };
  const listener = (message) => {
    if (message.sessionId !== sessionId) return;
    const params = message.params;
    if (message.method === 'Runtime.consoleAPICalled' && ['error', 'warning', 'assert'].includes(params.type)) {
      report.consoleErrors.push(params.args.map((arg) => arg.value ?? arg.description).join(' '));
    } else if (message.method === 'Runtime.exceptionThrown') {
      report.consoleErrors.push(params.exceptionDetails.text);
    } else if (message.method === 'Log.entryAdded' && ['error', 'warning'].includes(params.entry.level)) {
      report.consoleErrors.push(params.entry.text);
    } else if (message.method === 'Network.requestWillBeSent' && params.request.url !== url) {
      report.requests.push(params.request.url.slice(0, 200));
    } else if (message.method === 'Network.loadingFailed') {
      report.failedRequests.push(params.errorText + (params.blockedReason ? ' ' + params.blockedReason : ''));
    }
  };
  listeners.push(listener);
  for (const domain of ['Runtime', 'Log', 'Network', 'Page']) await send(domain + '.enable', {}, sessionId);
  await send('Emulation.setDeviceMetricsOverride', { width: 1280, height: 1000, deviceScaleFactor: 1, mobile: false }, sessionId);
  const loaded = nextEvent('Page.loadEventFired', sessionId);
  const started = Date.now();
  await send('Page.navigate', { url }, sessionId);
  await loaded;
  report.loadMs = Date.now() - started;
  const { result } = await send('Runtime.evaluate', { expression: pageCheck, returnByValue: true }, sessionId);
  Object.assign(report, result.value);
  const name = basename(page, '.html');
  // Print lays out every section at once: looked at on the smaller pages only.
  const schemes = report.sections > 100 ? ['light', 'dark'] : ['light', 'dark', 'print'];
  for (const scheme of schemes) {
    const media = scheme === 'print' ? 'print' : 'screen';
    const features = [{ name: 'prefers-color-scheme', value: scheme === 'dark' ? 'dark' : 'light' }];
    await send('Emulation.setEmulatedMedia', { media, features }, sessionId);
    const { data } = await send('Page.captureScreenshot', { format: 'png' }, sessionId);
    writeFileSync(join(shotDir, `${name}-${scheme}.png`), Buffer.from(data, 'base64'));
  }
  listeners.splice(listeners.indexOf(listener), 1);
  await send('Target.closeTarget', { targetId });
  return report;
}

try {
  for (const page of pages) console.log(JSON.stringify(await check(page)));
} finally {
  // The profile folder can be removed only once the browser has let go of it.
  const exited = new Promise((done) => browser.once('exit', done));
  await send('Browser.close').catch(() => {});
  const killer = setTimeout(() => browser.kill('SIGKILL'), 5000);
  await exited;
  clearTimeout(killer);
  browser.stdio[4].destroy();
  rmSync(profile, { recursive: true, force: true });
}
