// tapsim --serve against a hostile disk and hostile clients, without a
// browser: what Velumo.log points to must not stall, flood or leak into the
// page, and requests without the token must cost bounded memory and leave the
// key requests with the token answered at once.
// usage: node guard.test.mjs TAPSIM PLUGIN MKSAMPLE
import assert from 'node:assert/strict';
import { execFileSync, spawn } from 'node:child_process';
import fs from 'node:fs';
import net from 'node:net';
import os from 'node:os';
import path from 'node:path';

const [tapsim, plugin, mksample] = process.argv.slice(2);
assert.ok(tapsim && plugin && mksample, 'usage: guard.test.mjs TAPSIM PLUGIN MKSAMPLE');
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'velumo-guard-'));
const sleep = (ms) => new Promise((r) => setTimeout(r, ms));
// Each check runs even when one before it failed: they are independent.
let passed = 0;
const failed = [];
async function check(what, fn) {
  try {
    await fn();
    passed++;
    console.log('ok: ' + what);
  } catch (e) {
    failed.push(what);
    console.log('not ok: ' + what + '\n  ' + (e.stack || e));
  }
}

execFileSync(mksample, [path.join(work, 'base')]);
let disks = 0;
function disk() {
  const to = path.join(work, 'disk' + ++disks);
  execFileSync('cp', ['-a', path.join(work, 'base'), to]);
  return to;
}

// Starts tapsim on a disk; it must print its address within 5 s.
async function start(diskDir) {
  const proc = spawn(tapsim, ['--serve', '127.0.0.1:0', '--disk', diskDir, '--clock', '2012-02-17 09:05:30', plugin],
    { stdio: ['ignore', 'pipe', 'pipe'] });
  const srv = { proc, stderr: '' };
  proc.stderr.on('data', (d) => (srv.stderr += d));
  srv.exited = new Promise((resolve) => proc.on('exit', (code, signal) => resolve({ code, signal })));
  const url = await new Promise((resolve, reject) => {
    let out = '';
    const timer = setTimeout(() => reject(new Error('no address within 5 s')), 5000);
    proc.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/open (http:\/\/\S+) in a browser/);
      if (m) {
        clearTimeout(timer);
        resolve(new URL(m[1]));
      }
    });
    proc.on('exit', () => reject(new Error('tapsim ended before it served: ' + srv.stderr)));
  }).catch((e) => {
    proc.kill('SIGKILL');
    throw e;
  });
  srv.port = Number(url.port);
  srv.token = url.searchParams.get('token');
  return srv;
}

// Ctrl-C (or SIGTERM) must end it within 5 s with status 0.
async function stop(srv, signal = 'SIGINT') {
  srv.proc.kill(signal);
  const end = await Promise.race([srv.exited, sleep(5000).then(() => null)]);
  if (!end) srv.proc.kill('SIGKILL');
  assert.ok(end, `tapsim did not end within 5 s of ${signal}`);
  assert.equal(end.code, 0, srv.stderr);
}

// Resident memory of the server, in MiB.
function memory(srv) {
  const status = fs.readFileSync(`/proc/${srv.proc.pid}/status`, 'utf8');
  return Number(status.match(/VmRSS:\s+(\d+)/)[1]) / 1024;
}

// The first state the page would get: the panel's texts.
function firstState(srv) {
  return new Promise((resolve, reject) => {
    const s = net.connect(srv.port, '127.0.0.1', () =>
      s.write(`GET /api/events?token=${srv.token} HTTP/1.1\r\nHost: 127.0.0.1:${srv.port}\r\n\r\n`));
    let got = '';
    const timer = setTimeout(() => {
      s.destroy();
      reject(new Error('no state within 5 s'));
    }, 5000);
    s.on('data', (d) => {
      got += d.toString('latin1');
      const m = got.match(/event: state\ndata: (.*)\n/);
      if (!m) return;
      clearTimeout(timer);
      s.destroy();
      resolve(JSON.parse(Buffer.from(m[1], 'latin1').toString('utf8')));
    });
    s.on('error', reject);
  });
}

// One request on its own connection; the answer's status, body and time.
function ask(srv, head, { localAddress } = {}) {
  return new Promise((resolve, reject) => {
    const t0 = process.hrtime.bigint();
    const s = net.connect({ port: srv.port, host: '127.0.0.1', localAddress }, () => s.write(head));
    let got = '';
    const timer = setTimeout(() => {
      s.destroy();
      reject(new Error('no answer within 10 s'));
    }, 10000);
    s.on('data', (d) => (got += d.toString('latin1')));
    s.on('error', (e) => {
      clearTimeout(timer);
      reject(e);
    });
    s.on('end', () => {
      clearTimeout(timer);
      s.destroy();
      const m = got.match(/^HTTP\/1\.1 (\d+)[^\r]*\r\n[\s\S]*?\r\n\r\n([\s\S]*)$/);
      resolve({ status: m ? Number(m[1]) : 0, body: m ? m[2] : got,
        ms: Number(process.hrtime.bigint() - t0) / 1e6 });
    });
  });
}
const keyRequest = (srv, key = 'Down') =>
  `POST /api/key?key=${key}&token=${srv.token} HTTP/1.1\r\nHost: 127.0.0.1:${srv.port}\r\n` +
  'Content-Length: 0\r\nConnection: close\r\n\r\n';

// Sends head, then piece after piece up to total bytes, as fast as the server
// takes them, until it answers or closes; how much went out by then.
function flood(srv, head, piece, total) {
  return new Promise((resolve) => {
    const s = net.connect(srv.port, '127.0.0.1');
    let sent = 0, got = '', done = false;
    const finish = (how) => {
      if (done) return;
      done = true;
      s.destroy();
      const m = got.match(/^HTTP\/1\.1 (\d+)/);
      resolve({ sent, how, status: m ? Number(m[1]) : 0 });
    };
    s.on('data', (d) => {
      got += d.toString('latin1');
      if (got.includes('\r\n\r\n')) finish('answered');
    });
    s.on('error', () => finish('closed'));
    s.on('close', () => finish('closed'));
    s.on('connect', async () => {
      s.write(head);
      sent += head.length;
      while (!done && sent < total) {
        const room = s.write(piece);
        sent += piece.length;
        if (!room) {
          await new Promise((r) => {
            const go = () => {
              s.off('drain', go);
              s.off('close', go);
              r();
            };
            s.on('drain', go);
            s.on('close', go);
          });
        }
        await new Promise(setImmediate); // lets an answer in between
      }
      setTimeout(() => finish('timeout'), 15000);
    });
  });
}

let failure = null;
const servers = [];
try {
  // --- What Velumo.log points to ------------------------------------------
  const outside = path.join(work, 'outside');
  fs.mkdirSync(outside);
  fs.writeFileSync(path.join(outside, 'Velumo.log'), 'OUTSIDE-SECRET a file beside the disk\n');
  const logCases = [
    { what: 'a link to /dev/zero', plant: (f) => fs.symlinkSync('/dev/zero', f) },
    { what: 'a FIFO', plant: (f) => execFileSync('mkfifo', [f]) },
    { what: 'a link to a file outside the disk', plant: (f) => fs.symlinkSync(path.join(outside, 'Velumo.log'), f) },
    { what: 'its folder a link out of the disk', folder: true,
      plant: (dir) => fs.symlinkSync(outside, dir) },
  ];
  for (const c of logCases) {
    await check(`Velumo.log as ${c.what}: served at once, nothing of it shown, Ctrl-C ends`, async () => {
      const d = disk();
      const settings = path.join(d, 'ProgramFiles', 'Settings');
      fs.mkdirSync(settings, { recursive: true });
      const target = c.folder ? path.join(settings, 'Velumo') : path.join(settings, 'Velumo', 'Velumo.log');
      fs.rmSync(target, { recursive: true, force: true });
      c.plant(target);
      const srv = await start(d);
      servers.push(srv);
      const state = await firstState(srv);
      assert.equal(typeof state.log, 'string');
      assert.ok(!state.log.includes('OUTSIDE-SECRET'), 'the outside file is in the page');
      assert.ok(!state.log.includes('\u0000'), '/dev/zero is in the page');
      assert.ok(memory(srv) < 256, `tapsim holds ${memory(srv)} MiB`);
      await stop(srv);
    });
  }
  await check('a large plain log shows only its end', async () => {
    const d = disk();
    const folder = path.join(d, 'ProgramFiles', 'Settings', 'Velumo');
    fs.mkdirSync(folder, { recursive: true });
    let text = 'FIRST-LINE of a long log\n';
    for (let i = 0; text.length < 1 << 20; i++) text += `filler line ${i} of the log\n`;
    fs.writeFileSync(path.join(folder, 'Velumo.log'), text + 'LAST-PLANTED-LINE\n');
    const srv = await start(d);
    servers.push(srv);
    const state = await firstState(srv);
    assert.ok(state.log.includes('LAST-PLANTED-LINE'), 'the end is missing');
    assert.ok(state.log.includes('Programmstart'), 'the plug-in\'s own lines are missing');
    assert.ok(!state.log.includes('FIRST-LINE'), 'more than the end is shown');
    assert.ok(state.log.length <= 48 * 1024, `${state.log.length} bytes of log`);
    await stop(srv);
  });

  // --- Requests that cost memory or threads ---------------------------------
  const srv = await start(disk());
  servers.push(srv);
  const host = `Host: 127.0.0.1:${srv.port}\r\n`;
  const key = `POST /api/key?key=Info&token=${srv.token} HTTP/1.1\r\n${host}`;
  const before = memory(srv);
  const mib = 1 << 20;
  const bodyCases = [
    { what: '2,000,000 header lines (16 MB)', head: `GET / HTTP/1.1\r\n${host}`,
      piece: Buffer.from('X-a: b\r\n'.repeat(8192)), total: 16 * mib, refused: [431, 0] },
    { what: 'a 30 MB chunked body', head: `${key}Transfer-Encoding: chunked\r\n\r\n`,
      piece: Buffer.concat([Buffer.from('10000\r\n'), Buffer.alloc(65536, 97), Buffer.from('\r\n')]),
      total: 30 * mib, refused: [413] },
    { what: 'a 30 MB body with its length', head: `${key}Content-Length: ${30 * mib}\r\n\r\n`,
      piece: Buffer.alloc(65536, 97), total: 30 * mib, refused: [413] },
  ];
  for (const c of bodyCases) {
    await check(`${c.what}: refused before it is read`, async () => {
      const r = await flood(srv, c.head, c.piece, c.total);
      assert.ok(c.refused.includes(r.status), `answered ${r.status} (${r.how})`);
      assert.ok(r.sent < 8 * mib, `${(r.sent / mib).toFixed(1)} MiB went out before the refusal`);
      console.log(`${c.what}: ${r.status || 'closed'} after ${(r.sent / mib).toFixed(1)} MiB`);
    });
  }
  await check('the refusals kept no memory', async () => {
    const grown = memory(srv) - before;
    assert.ok(grown < 32, `${grown.toFixed(1)} MiB more than before`);
  });
  const exactly = (n) => `${key}Content-Length: ${n}\r\nConnection: close\r\n\r\n${'a'.repeat(n)}`;
  await check('a body of 4096 bytes is taken, 4097 are refused', async () => {
    assert.equal((await ask(srv, exactly(4096))).status, 200);
    assert.equal((await ask(srv, exactly(4097))).status, 413);
    const head = `GET / HTTP/1.1\r\n${host}${'X-a: bb\r\n'.repeat(6000)}Connection: close\r\n\r\n`;
    assert.ok(head.length > 50000 && head.length < 65536);
    assert.equal((await ask(srv, head)).status, 200);
  });

  // Idle and slow clients, from other loopback addresses and from the one
  // the key requests come from.
  const crowd = [];
  let crowdOn = true;
  function loiter(localAddress, slow) {
    const s = net.connect({ port: srv.port, host: '127.0.0.1', localAddress });
    const entry = { closedAt: 0 };
    crowd.push(entry);
    let timer = null;
    s.on('connect', () => {
      if (!slow) return;
      s.write('GET / HTTP/1.1\r\nX-Slow: ');
      timer = setInterval(() => s.write('a'), 300);
    });
    s.on('error', () => {});
    s.on('close', () => {
      clearInterval(timer);
      entry.closedAt = Date.now();
      if (crowdOn) setTimeout(() => crowdOn && loiter(localAddress, slow), 50); // keep the crowd up
    });
    entry.socket = s;
  }
  async function timedKeys(what) {
    const times = [];
    // The first is a warm-up that may be slow; the five after it must not be.
    for (let i = 0; i < 6; i++) {
      const r = await ask(srv, keyRequest(srv, i % 2 ? 'Up' : 'Down'));
      assert.equal(r.status, 200, r.body);
      assert.match(r.body, /"delivered":true/);
      times.push(Math.round(r.ms));
      await sleep(800);
    }
    console.log(`${what}: key answers in ${times.join(', ')} ms (the first a warm-up)`);
    for (const t of times.slice(1)) assert.ok(t < 200, `a key took ${t} ms: ${times.join(', ')}`);
  }
  await check('200 idle and slow connections leave the key requests answered within 200 ms', async () => {
    for (let i = 0; i < 200; i++) loiter(`127.0.0.${2 + (i % 10)}`, i % 2 === 1);
    await sleep(500);
    const open = crowd.filter((e) => !e.closedAt).length;
    assert.ok(open >= 190, `only ${open} of the 200 stayed open`);
    await timedKeys('200 idle and slow');
  });
  crowdOn = false;
  for (const e of crowd) e.socket.destroy();
  crowd.length = 0;
  await sleep(300);
  crowdOn = true;
  await check('one client\'s surplus connections go first, not the newest', async () => {
    const mine = [];
    for (let i = 0; i < 100; i++) {
      const s = net.connect({ port: srv.port, host: '127.0.0.1' });
      const e = { closedAt: 0, i };
      s.on('error', () => {});
      s.on('close', () => (e.closedAt = Date.now()));
      mine.push(e);
      e.socket = s;
      await sleep(2);
    }
    await sleep(1000);
    const closed = mine.filter((e) => e.closedAt);
    assert.ok(closed.length >= 60, `only ${closed.length} of 100 from one address were closed`);
    assert.ok(!mine[99].closedAt, 'the newest connection was closed');
    assert.ok(mine[0].closedAt, 'the oldest connection is still open');
    const r = await ask(srv, keyRequest(srv, 'Down'));
    assert.equal(r.status, 200);
    assert.ok(r.ms < 200, `the key took ${r.ms} ms`);
    for (const e of mine) e.socket.destroy();
  });
  crowdOn = false;
  await check('tapsim ends cleanly on SIGTERM after all that', () => stop(srv, 'SIGTERM'));
} catch (e) {
  failure = e;
}
for (const s of servers) s.proc.kill('SIGKILL');
if (failure || failed.length) {
  if (failure) console.error('FAILED: ' + (failure.stack || failure));
  for (const what of failed) console.error('FAILED: ' + what);
  console.error('work folder kept: ' + work);
  process.exit(1);
}
fs.rmSync(work, { recursive: true, force: true });
console.log(`web_guard: ${passed} checks passed`);
