// The page of tapsim --serve: shows the screen the server publishes, sends
// the remote's and the computer keyboard's keys, and fills the side panel.
'use strict';

const token = new URLSearchParams(location.search).get('token') || '';
const api = (path, args = {}) =>
  '/api/' + path + '?' + new URLSearchParams({ token, ...args }).toString();
const $ = (id) => document.getElementById(id);
const screen = $('screen');
let shownFrame = -1;
let wantedFrame = 0;

function notice(text) {
  $('notice').textContent = text;
  $('notice').hidden = !text;
}

// One key after the other, in the order pressed.  The body's data-keys
// counts the keys delivered, data-key-frame the screen the last one led to.
let queue = Promise.resolve();
let keysDone = 0;
function send(args) {
  queue = queue
    .then(() => fetch(api('key', args), { method: 'POST' }))
    .then(async (r) => {
      if (!r.ok) return notice(await r.text());
      const answer = await r.json();
      document.body.dataset.keyFrame = String(answer.frame ?? '');
      document.body.dataset.keys = String(++keysDone);
    })
    .catch(() => notice('tapsim does not answer'));
  return queue;
}

function showFrame(n) {
  wantedFrame = n;
  if (n === shownFrame) return;
  const img = new Image();
  img.onload = () => {
    if (n < shownFrame) return;
    screen.src = img.src;
    shownFrame = n;
    screen.dataset.frame = String(n);
  };
  img.src = api('screen.png', { frame: String(n) });
}

// As large as the room allows in whole multiples, so that every pixel of the
// receiver's screen stays a sharp square; a window too small for 720 x 576
// gets a smooth reduction instead of dropped rows.
function fit() {
  const box = $('screen-box');
  const f = Math.min(box.clientWidth / 720, (window.innerHeight - 24) / 576);
  const s = f >= 1 ? Math.floor(f) : f;
  screen.style.width = Math.floor(720 * s) + 'px';
  screen.style.height = Math.floor(576 * s) + 'px';
  screen.style.imageRendering = s >= 1 ? 'pixelated' : 'auto';
}
window.addEventListener('resize', fit);
fit();

function fill(id, text) {
  const el = $(id);
  const atEnd = el.scrollTop + el.clientHeight >= el.scrollHeight - 4;
  if (el.textContent !== text) {
    el.textContent = text;
    if (atEnd) el.scrollTop = el.scrollHeight;
  }
}

function update(s) {
  showFrame(s.frame);
  fill('status', s.status);
  $('clock').textContent = 'Clock: ' + s.clock;
  fill('log', s.log);
  fill('terminal', s.terminal);
  $('summary').hidden = s.running;
  $('summary-text').textContent = s.summary + (s.error ? '\n' + s.error : '');
  $('record').setAttribute('aria-pressed', s.recording ? 'true' : 'false');
  $('record').textContent = s.recording ? 'Stop recording' : 'Record';
  document.body.dataset.running = s.running ? 'yes' : 'no';
}

function connect() {
  if (!token) {
    notice('Open the address with the token that tapsim printed.');
    return;
  }
  const events = new EventSource(api('events'));
  events.addEventListener('state', (e) => {
    notice('');
    update(JSON.parse(e.data));
  });
  events.onerror = () => notice('Connection to tapsim lost; retrying ...');
}

for (const b of document.querySelectorAll('#remote button')) {
  b.addEventListener('click', () => send({ key: b.dataset.key }));
}

// What an attached keyboard sends besides characters.
const keyboardCodes = { Enter: 13, Escape: 27, Backspace: 8, Delete: 127, Home: 292, End: 291 };
const arrows = { ArrowUp: 'Up', ArrowDown: 'Down', ArrowLeft: 'Left', ArrowRight: 'Right' };

document.addEventListener('keydown', (e) => {
  if (e.ctrlKey || e.metaKey || e.altKey) return;
  let args = null;
  if (arrows[e.key]) args = { key: arrows[e.key] };
  else if (keyboardCodes[e.key] !== undefined) args = { char: String(keyboardCodes[e.key]) };
  else if (e.key.length === 1 && e.key.charCodeAt(0) <= 255) args = { char: String(e.key.charCodeAt(0)) };
  if (!args) return;
  e.preventDefault();
  send(args);
});

$('shot').href = api('screen.png', { download: '1' });

$('record').addEventListener('click', async () => {
  const on = $('record').getAttribute('aria-pressed') !== 'true';
  await queue;
  const r = await fetch(api('record', { on: on ? '1' : '0' }), { method: 'POST' });
  if (!r.ok) return notice(await r.text());
  $('record').setAttribute('aria-pressed', on ? 'true' : 'false');
  if (on) return;
  const url = URL.createObjectURL(new Blob([await r.text()], { type: 'text/plain' }));
  const a = document.createElement('a');
  a.href = url;
  a.download = 'recorded.tsim';
  document.body.appendChild(a);
  a.click();
  a.remove();
  setTimeout(() => URL.revokeObjectURL(url), 10000);
});

$('restart').addEventListener('click', async () => {
  const r = await fetch(api('restart'), { method: 'POST' });
  if (!r.ok) notice(await r.text());
});

connect();
