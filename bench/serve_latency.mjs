// How soon a key pressed in tapsim --serve's page reaches a watching page:
// from sending the key to the server-sent state that names the new frame,
// and on to the frame's PNG fetched.  The goal is within 100 ms.  Run by hand:
//   node bench/serve_latency.mjs build/bin/tapsim build/bin/Velumo.so build/bin/mksample [KEYS]
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import http from 'node:http';
import os from 'node:os';
import path from 'node:path';

const [tapsim, plugin, mksample, keysArg] = process.argv.slice(2);
if (!mksample) {
  console.error('usage: serve_latency.mjs TAPSIM PLUGIN MKSAMPLE [KEYS]');
  process.exit(2);
}
const keys = Number(keysArg || 100);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'velumo-latency-'));
execFileSync(mksample, [path.join(work, 'disk')]);
const server = spawn(tapsim, ['--serve', '127.0.0.1:0', '--disk', path.join(work, 'disk'), plugin],
  { stdio: ['ignore', 'pipe', 'inherit'] });
const url = new URL(await new Promise((resolve) => {
  let out = '';
  server.stdout.on('data', (d) => {
    out += d;
    const m = out.match(/open (http:\/\/\S+) in a browser/);
    if (m) resolve(m[1]);
  });
}));
const token = url.searchParams.get('token');
const api = (p, extra = '') => `${url.origin}/api/${p}?token=${token}${extra}`;

// The state stream: resolves waiters when a frame above theirs arrives.
let frame = -1;
let waiters = [];
http.get(api('events'), (res) => {
  let buf = '';
  res.on('data', (d) => {
    buf += d;
    let end;
    while ((end = buf.indexOf('\n\n')) >= 0) {
      const block = buf.slice(0, end);
      buf = buf.slice(end + 2);
      const data = block.split('\n').find((l) => l.startsWith('data: '));
      if (!data) continue;
      frame = JSON.parse(data.slice(6)).frame;
      waiters = waiters.filter((w) => (frame > w.above ? (w.resolve(frame), false) : true));
    }
  });
});
const nextFrame = (above) => new Promise((resolve) => waiters.push({ above, resolve }));
const fetchBytes = (u, method = 'GET') => new Promise((resolve, reject) => {
  const req = http.request(u, { method, headers: { 'Content-Length': 0 } }, (res) => {
    const parts = [];
    res.on('data', (d) => parts.push(d));
    res.on('end', () => resolve(Buffer.concat(parts)));
  });
  req.on('error', reject);
  req.end();
});

while (frame < 1) await new Promise((r) => setTimeout(r, 20));
const toState = [], toPng = [];
for (let i = 0; i < keys; i++) {
  const before = frame;
  const t0 = performance.now();
  const seen = nextFrame(before);
  fetchBytes(api('key', '&key=' + (i % 2 ? 'Up' : 'Down')), 'POST');
  const n = await seen;
  const t1 = performance.now();
  await fetchBytes(api('screen.png', '&frame=' + n));
  toState.push(t1 - t0);
  toPng.push(performance.now() - t0);
}
server.kill('SIGTERM');
await new Promise((r) => server.on('exit', r));
fs.rmSync(work, { recursive: true, force: true });

const stat = (a) => {
  const s = [...a].sort((x, y) => x - y);
  const q = (p) => s[Math.min(s.length - 1, Math.floor(p * s.length))].toFixed(1);
  return `median ${q(0.5)} ms, 95th percentile ${q(0.95)} ms, most ${s[s.length - 1].toFixed(1)} ms`;
};
console.log(`${keys} cursor moves, key sent to new frame announced: ${stat(toState)}`);
console.log(`${keys} cursor moves, key sent to the frame's PNG received: ${stat(toPng)}`);
