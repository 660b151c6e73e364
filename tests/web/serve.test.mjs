// tapsim --serve in a real browser: the page shows the plug-in's screen,
// takes keys from the on-screen remote and the computer keyboard, renames a
// file on disk, refuses foreign requests, and records a script that tapsim
// replays to the same screen.
// usage: node serve.test.mjs TAPSIM PLUGIN MKSAMPLE
// VELUMO_DOCS_SHOT=FILE.png also saves a picture of the page there.
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';
import { chromium } from 'playwright-core';

const [tapsim, plugin, mksample] = process.argv.slice(2);
assert.ok(tapsim && plugin && mksample, 'usage: serve.test.mjs TAPSIM PLUGIN MKSAMPLE');
const clock = '2012-02-17 09:05:30';
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'velumo-web-'));
let passed = 0;
async function check(what, fn) {
  await fn();
  passed++;
  console.log('ok: ' + what);
}

// One sample disk; every run gets a copy with the same file times, so the
// lists show the same dates.
execFileSync(mksample, [path.join(work, 'base')]);
function diskCopy(name) {
  const to = path.join(work, name);
  // cp, not fs.cpSync: the logo names are ISO-8859-1 bytes, not UTF-8.
  execFileSync('cp', ['-a', path.join(work, 'base'), to]);
  return to;
}

// tapsim's own screenshot after a script of the given lines.
let runs = 0;
function scriptedShot(lines) {
  const name = 'run' + ++runs;
  const shots = path.join(work, name + '-shots');
  execFileSync(tapsim, ['--disk', diskCopy(name), '--script', '-', '--shots', shots,
    '--clock', clock, plugin], { input: [...lines, 'shot end.png', ''].join('\n'), stdio: ['pipe', 'ignore', 'pipe'] });
  return fs.readFileSync(path.join(shots, 'end.png'));
}

function findFile(dir, name) {
  const found = execFileSync('find', [dir, '-name', name], { encoding: 'latin1' }).split('\n')[0];
  return found || null;
}

// A raw request, with the headers a browser of another site would send.
function request(url, { method = 'POST', headers = {} } = {}) {
  return new Promise((resolve, reject) => {
    const u = new URL(url);
    const req = http.request({ host: u.hostname, port: u.port, path: u.pathname + u.search, method,
      headers: { 'Content-Length': '0', ...headers } }, (res) => {
      let body = '';
      res.on('data', (d) => (body += d));
      res.on('end', () => resolve({ status: res.statusCode, body }));
    });
    req.on('error', reject);
    req.end();
  });
}

const webDisk = diskCopy('web');
const server = spawn(tapsim, ['--serve', '127.0.0.1:0', '--disk', webDisk, '--clock', clock, plugin],
  { stdio: ['ignore', 'pipe', 'pipe'] });
let stderr = '';
server.stderr.on('data', (d) => (stderr += d));
const exited = new Promise((resolve) => server.on('exit', (code, signal) => resolve({ code, signal })));
const url = await new Promise((resolve, reject) => {
  let out = '';
  server.stdout.on('data', (d) => {
    out += d;
    const m = out.match(/open (http:\/\/\S+) in a browser/);
    if (m) resolve(m[1]);
  });
  server.on('exit', () => reject(new Error('tapsim ended before it served: ' + stderr)));
});
const base = new URL(url);
const token = base.searchParams.get('token');
console.log('serving at ' + base.origin);

const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'velumo-chromium-'));
const context = await chromium.launchPersistentContext(profile, {
  executablePath: process.env.CHROMIUM || '/usr/bin/chromium',
  headless: true,
  acceptDownloads: true,
  viewport: { width: 1440, height: 720 },
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
    '--disable-background-networking', '--disable-component-update', '--disable-sync'],
});
let failure = null;
try {
  const page = context.pages()[0] || (await context.newPage());
  page.on('pageerror', (e) => { failure = failure || e; });
  await page.goto(url);

  const frame = () => page.$eval('#screen', (img) => Number(img.dataset.frame ?? -1));
  // Presses a key, waits until tapsim has delivered it and the page shows
  // the screen it led to, and checks that this is a new screen; returns how
  // long that took.
  async function changes(action) {
    const before = await frame();
    const keys = await page.evaluate(() => Number(document.body.dataset.keys ?? 0));
    const t0 = Date.now();
    await action();
    await page.waitForFunction((k) => Number(document.body.dataset.keys ?? 0) > k &&
      Number(document.getElementById('screen').dataset.frame ?? -1) >= Number(document.body.dataset.keyFrame),
    keys, { timeout: 10000 });
    const ms = Date.now() - t0;
    assert.ok((await frame()) > before, 'the key left the screen as it was');
    return ms;
  }
  async function download(selector) {
    const [d] = await Promise.all([page.waitForEvent('download'), page.click(selector)]);
    return fs.readFileSync(await d.path());
  }
  const screenPng = () => download('#shot');

  await page.waitForFunction(() => Number(document.getElementById('screen').dataset.frame ?? -1) >= 1);
  const list = await screenPng();
  await check('the list appears as in tapsim\'s screenshot', () =>
    assert.ok(list.equals(scriptedShot([])), 'the first screen differs from tapsim\'s'));

  await page.click('#record');
  await page.waitForSelector('#record[aria-pressed="true"]');

  const latency = await changes(() => page.click('#remote [data-key="Down"]'));
  console.log(`screen shown ${latency} ms after the click on Down`);
  const down = await screenPng();
  await check('Down on the remote moves the cursor', () => {
    assert.ok(!down.equals(list), 'the screen did not change');
    assert.ok(down.equals(scriptedShot(['key Down'])), 'differs from tapsim\'s screenshot of key Down');
  });

  // The arrows of the computer keyboard go to the remote's arrows: down to
  // the first logo, Alpha One.bll.
  await changes(() => page.keyboard.press('ArrowDown'));
  await changes(() => page.keyboard.press('ArrowDown'));
  const onLogo = ['key Down', 'key Down', 'key Down'];
  await check('the keyboard\'s arrows move the cursor', async () =>
    assert.ok((await screenPng()).equals(scriptedShot(onLogo)), 'not on the third entry below'));
  if (process.env.VELUMO_DOCS_SHOT) await page.screenshot({ path: process.env.VELUMO_DOCS_SHOT });

  await changes(() => page.keyboard.press('Enter'));
  const detail = await screenPng();
  await check('Enter on the keyboard opens the detail view', () =>
    assert.ok(detail.equals(scriptedShot([...onLogo, 'key OK'])), 'not the detail view'));

  await changes(() => page.keyboard.press('Escape'));
  const back = await screenPng();
  await check('Escape goes back to the list (as Exit does)', () =>
    assert.ok(back.equals(scriptedShot([...onLogo, 'key OK', 'key Exit'])), 'not the list'));

  // Rename the file under the cursor: White opens the keyboard, Blue clears
  // the name, the rest is typed.
  await changes(() => page.click('#remote [data-key="White"]'));
  await changes(() => page.click('#remote [data-key="Blue"]'));
  for (const c of 'Browser 1.png') await changes(() => page.keyboard.press(c === ' ' ? 'Space' : c));
  await changes(() => page.keyboard.press('Enter'));
  await check('a name typed on the keyboard renames the file on disk', async () => {
    // The plug-in's log reaches the file (and the panel) when it is flushed.
    await page.waitForFunction(() => document.getElementById('log').textContent.includes('Browser 1.png'));
    const m = (await page.textContent('#log')).match(/Renaming <([^>]+)> to <Browser 1\.png>/);
    assert.ok(m, 'no rename in the log');
    assert.equal(m[1], 'Alpha One.bll');
    const renamed = findFile(webDisk, 'Browser 1.png');
    assert.ok(renamed, 'no file "Browser 1.png" on the disk');
    const old = Buffer.from(path.join(path.dirname(renamed), path.basename(m[1])), 'latin1');
    assert.ok(!fs.existsSync(old), m[1] + ' is still there');
  });
  await check('the side panel shows the log and the heap', async () => {
    assert.match(await page.textContent('#status'), /Velumo\.so: running; heap blocks held: \d+/);
    assert.match(await page.textContent('#terminal'), /Renaming </);
  });

  // What was pressed, as a script, replayed by tapsim.
  const [rec] = await Promise.all([page.waitForEvent('download'), page.click('#record')]);
  const script = fs.readFileSync(await rec.path(), 'latin1');
  const now = await screenPng();
  await check('the recorded script replays to the same screen', () => {
    assert.match(script, /^key Down$/m);
    assert.match(script, /^key White$/m);
    assert.match(script, /^char 13$/m);
    const shots = path.join(work, 'replay-shots');
    execFileSync(tapsim, ['--disk', diskCopy('replay'), '--script', '-', '--shots', shots, '--clock', clock,
      plugin], { input: script, stdio: ['pipe', 'ignore', 'pipe'] });
    assert.ok(fs.readFileSync(path.join(shots, 'recorded.png')).equals(now), 'the replay ends elsewhere');
    assert.ok(findFile(path.join(work, 'replay'), 'Browser 1.png'), 'the replay did not rename');
  });

  // Refusals: no token, another site, another host name, files beside the page.
  const key = (extra) => `${base.origin}/api/key?key=Down${extra}`;
  await check('requests without the token or from elsewhere are refused', async () => {
    assert.equal((await request(key(''))).status, 403);
    assert.equal((await request(key('&token=' + (token[0] === '0' ? '1' : '0') + token.slice(1)))).status, 403);
    assert.equal((await request(key('&token=' + token), { headers: { Origin: 'http://evil.example' } })).status, 403);
    assert.equal((await request(key('&token=' + token), { headers: { 'Sec-Fetch-Site': 'cross-site' } })).status, 403);
    assert.equal((await request(key('&token=' + token), { headers: { Host: 'evil.example:' + base.port } })).status, 403);
    assert.equal((await request(`${base.origin}/api/screen.png`, { method: 'GET' })).status, 403);
    for (const p of ['/../../../../etc/passwd', '/index.html/../../etc/passwd', '/web/app.js', '/serve.cpp', '/appXjs', '/app.js/'])
      assert.equal((await request(base.origin + p, { method: 'GET' })).status, 404, p);
    // A page of another site cannot work the remote from inside a browser either.
    const other = await context.newPage();
    await other.route('http://evil.example/', (r) => r.fulfill({ contentType: 'text/html', body: '<p>hi</p>' }));
    await other.goto('http://evil.example/');
    const status = await other.evaluate(async (u) => {
      try {
        const r = await fetch(u, { method: 'POST', mode: 'no-cors' });
        return r.type;
      } catch (e) {
        return 'failed';
      }
    }, key('&token=' + token));
    assert.ok(status === 'opaque' || status === 'failed');
    await other.close();
    assert.ok((await screenPng()).equals(now), 'a refused key changed the screen');
  });

  // A second browser watches the same screen.
  const second = await context.newPage();
  await second.goto(url);
  await check('a second page shows the same screen', async () => {
    const n = await frame();
    await second.waitForFunction((f) => Number(document.getElementById('screen').dataset.frame ?? -1) === f, n);
  });
  await second.close();

  // The exit key ends the plug-in; the panel says how, and it starts again.
  await page.click('#remote [data-key="Stop"]');
  await page.waitForSelector('#summary:not([hidden])');
  await check('the exit summary appears when the plug-in ends', async () =>
    assert.match(await page.textContent('#summary-text'), /Velumo\.so: exited \(TAP_Exit\); normal mode: on;.*heap blocks held: 0;/));
  await page.click('#restart');
  await page.waitForSelector('#summary', { state: 'hidden' });
  await check('Start again runs the plug-in anew', async () => {
    await page.waitForFunction(() => document.body.dataset.running === 'yes');
    await changes(() => page.click('#remote [data-key="Down"]'));
  });
} catch (e) {
  failure = failure || e;
} finally {
  await context.close();
  server.kill('SIGTERM');
}
const end = await exited;
if (!failure) {
  try {
    await check('tapsim ends cleanly on SIGTERM with its summary', () => {
      assert.equal(end.code, 0, stderr);
      assert.match(stderr, /tapsim: Velumo\.so: still loaded; normal mode: off;/);
    });
  } catch (e) {
    failure = e;
  }
}
fs.rmSync(profile, { recursive: true, force: true });
if (failure) {
  console.error('FAILED: ' + (failure.stack || failure));
  console.error('tapsim said: ' + stderr);
  console.error('work folder kept: ' + work);
  process.exit(1);
}
fs.rmSync(work, { recursive: true, force: true });
console.log(`web_browser: ${passed} checks passed`);
