// The page in headless Chromium: served from the build folder on 127.0.0.1, played through
// its start dialog, F4, P, a blur, a hidden tab, Alt+Enter, the Screenshot button and Escape, each step checked in what the page shows and
// in the trace the game writes; the recording it downloads replays natively to the same
// trace, and frame 0 matches the native frame 0 pixel for pixel.
//   node --test browser_test.mjs   with MAZE_WEB_DIR (build/web) and MAZE_NATIVE_REPLAY
//   (the native mazereplay) set; CHROMIUM overrides /usr/bin/chromium.
import assert from 'node:assert/strict';
import { spawnSync } from 'node:child_process';
import { mkdtempSync, readFileSync, rmSync, existsSync } from 'node:fs';
import { createServer } from 'node:http';
import { crc32 } from 'node:zlib';
import { tmpdir } from 'node:os';
import { dirname, extname, join, resolve } from 'node:path';
import { after, before, test } from 'node:test';
import { chromium } from 'playwright-core';
import { readIndexedPng } from './png_read.mjs';
import { traceFileDifference } from './trace_diff.mjs';

const webDir = resolve(process.env.MAZE_WEB_DIR ?? 'build/web');
const nativeReplay = resolve(process.env.MAZE_NATIVE_REPLAY ?? 'build/dev/mazereplay');
const levelsDir = resolve(dirname(new URL(import.meta.url).pathname), '../../levels');
const waitLimit = 60000;  // generous: a busy 2-core machine

const types = { '.html': 'text/html', '.js': 'text/javascript', '.wasm': 'application/wasm', '.data': 'application/octet-stream' };
let server, browser, page, baseUrl, scratch;
const downloads = {};

before(async () => {
  scratch = mkdtempSync(join(tmpdir(), `maze-web-${process.pid}-`));
  server = createServer((request, response) => {
    const path = join(webDir, decodeURIComponent(new URL(request.url, 'http://x').pathname));
    if (!path.startsWith(webDir) || !existsSync(path)) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { 'Content-Type': types[extname(path)] ?? 'application/octet-stream' });
    response.end(readFileSync(path));
  });
  await new Promise((done) => server.listen(0, '127.0.0.1', done));
  baseUrl = `http://127.0.0.1:${server.address().port}/maze.html`;
  browser = await chromium.launch({
    executablePath: process.env.CHROMIUM ?? '/usr/bin/chromium',
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-background-networking', '--disable-quic', '--no-first-run',
           '--disable-component-update', '--disable-sync'],
  });
  const context = await browser.newContext({ acceptDownloads: true, viewport: { width: 1280, height: 1000 } });
  page = await context.newPage();
  page.on('pageerror', (error) => console.error('page error:', error));
  page.on('download', async (download) => {
    const path = join(scratch, download.suggestedFilename());
    await download.saveAs(path);
    downloads[download.suggestedFilename()] = path;
  });
  // Frame 0 as the canvas holds it the moment it is shown; later frames counted.
  await page.addInitScript(() => {
    window.addEventListener('mazepresent', (event) => {
      window.mazeLastPresent = event.detail.frame;
      if (event.detail.frame !== 0) return;
      const data = document.getElementById('frame').getContext('2d').getImageData(0, 0, 640, 480).data;
      let text = '';
      for (let i = 0; i < data.length; i += 8192) text += String.fromCharCode(...data.subarray(i, i + 8192));
      window.mazeFrame0 = btoa(text);
    });
  });
  await page.goto(`${baseUrl}?record&trace`);
});

after(async () => {
  await browser?.close();
  server?.close();
  if (scratch) rmSync(scratch, { recursive: true, force: true });
});

// The trace lines the game has written so far (it writes at least once a second).
async function traceLines() {
  const text = await page.evaluate(() =>
    Module.FS.analyzePath('/maze-trace.jsonl').exists ? Module.FS.readFile('/maze-trace.jsonl', { encoding: 'utf8' }) : '');
  return text.split('\n').filter(Boolean).map((line) => JSON.parse(line));
}

// Waits until a trace line after `from` lines satisfies `wanted`; returns its index.
async function waitForTrace(what, wanted, from = 0) {
  const end = Date.now() + waitLimit;
  for (;;) {
    const lines = await traceLines();
    const found = lines.findIndex((line, i) => i >= from && wanted(line));
    if (found >= 0) return found;
    if (Date.now() > end) throw new Error(`no trace line shows ${what} (${lines.length} lines)`);
    await page.waitForTimeout(100);  // polling interval, not a wait for the result
  }
}

async function framePixels() {
  return page.evaluate(() => Array.from(document.getElementById('frame').getContext('2d').getImageData(0, 0, 640, 480).data.filter((_, i) => i % 4 !== 3)).join(','));
}

async function presentsReach(count) {
  await page.waitForFunction((n) => (window.mazeLastPresent ?? -1) >= n, count, { timeout: waitLimit });
}

test('start dialog shows the caption and text, and OK starts the game', async () => {
  await page.waitForSelector('#box[open]', { timeout: waitLimit });
  assert.equal(await page.textContent('#box-caption'), "hold 'yer hourses!");
  assert.equal(await page.textContent('#box-text'), 'Press ok to start the program');
  await page.click('#box-ok');
  await page.waitForFunction(() => window.mazeFrame0 !== undefined, null, { timeout: waitLimit });
});

test('frame 0 of level 1 is the native frame 0, pixel for pixel', async () => {
  const frames = join(scratch, 'frames');
  const run = spawnSync(nativeReplay, [join(levelsDir, 'level1/win.script'), '--frames', '0', '--frames-dir', frames],
                        { cwd: dirname(nativeReplay), encoding: 'utf8' });
  assert.equal(run.status, 0, run.stderr);
  const native = readIndexedPng(join(frames, 'frame_000000.png'));
  const shown = Buffer.from(await page.evaluate(() => window.mazeFrame0), 'base64');
  assert.equal(shown.length, native.rgba.length);
  let differing = 0, first = -1;
  for (let i = 0; i < shown.length; i += 4) {
    if (shown[i] !== native.rgba[i] || shown[i + 1] !== native.rgba[i + 1] || shown[i + 2] !== native.rgba[i + 2]) {
      differing++;
      if (first < 0) first = i / 4;
    }
  }
  assert.equal(differing, 0, `${differing} pixels differ, the first at x ${first % 640}, y ${Math.floor(first / 640)}`);
});

// Each step: what the player does, and the trace line that shows the game took it.
const steps = [
  { name: 'F4 switches to solid drawing', act: () => page.keyboard.press('F4'),
    shows: (l) => 'frame' in l && (l.debug_flags & 0x1000) !== 0 },
  { name: 'P pauses', act: () => page.keyboard.press('KeyP'),
    shows: (l) => 'frame' in l && l.texts.includes('PAUSED') },
  { name: 'P plays on', act: () => page.keyboard.press('KeyP'),
    shows: (l) => 'frame' in l && !l.texts.includes('PAUSED') },
  { name: 'losing the focus pauses', act: () => page.evaluate(() => window.dispatchEvent(new Event('blur'))),
    shows: (l) => 'frame' in l && l.texts.includes('PAUSED') },
  { name: 'the focus back and P play on', act: async () => {
      await page.evaluate(() => window.dispatchEvent(new Event('focus')));
      await page.keyboard.press('KeyP');
    }, shows: (l) => 'frame' in l && !l.texts.includes('PAUSED') },
  { name: 'a hidden tab pauses', act: () => setHidden(true),
    shows: (l) => 'frame' in l && l.texts.includes('PAUSED') },
  { name: 'shown again, P plays on', act: async () => {
      await setHidden(false);
      await page.keyboard.press('KeyP');
    }, shows: (l) => 'frame' in l && !l.texts.includes('PAUSED') },
  { name: "the gamepad's Start pauses", act: () => padPress(9),
    shows: (l) => 'frame' in l && l.texts.includes('PAUSED') },
  { name: "the gamepad's A plays on", act: () => padPress(0),
    shows: (l) => 'frame' in l && !l.texts.includes('PAUSED') },
  { name: "the gamepad's Back switches to outlines", act: () => padPress(8),
    shows: (l) => 'frame' in l && (l.debug_flags & 0x1000) === 0 },
  { name: "the gamepad's left stick rolls the ball", act: async () => {
      ballBefore = (await traceLines()).findLast((l) => 'frame' in l).entities[0];
      await page.evaluate(() => { window.mazePad.axes[0] = 1; });
      const from = await page.evaluate(() => window.mazeLastPresent);
      await presentsReach(from + 30);
      await page.evaluate(() => { window.mazePad.axes[0] = 0; });
    }, shows: (l) => 'frame' in l && Math.hypot(l.entities[0][1] - ballBefore[1], l.entities[0][2] - ballBefore[2]) > 0.1 },
];

// A gamepad in the standard layout, as navigator.getGamepads() reports it.
let ballBefore = null;  // the ball's entity before the stick is pushed
async function padPress(button) {
  await page.evaluate((index) => {
    if (!window.mazePad) {
      window.mazePad = { connected: true, mapping: 'standard', axes: [0, 0, 0, 0],
                         buttons: Array.from({ length: 17 }, () => ({ pressed: false, value: 0 })) };
      navigator.getGamepads = () => [window.mazePad];
    }
    window.mazePad.buttons[index] = { pressed: true, value: 1 };
  }, button);
  // Held over a few frames, as a thumb would, then let go.
  const from = await page.evaluate(() => window.mazeLastPresent);
  await presentsReach(from + 3);
  await page.evaluate((index) => { window.mazePad.buttons[index] = { pressed: false, value: 0 }; }, button);
}

// The tab hidden or shown as the browser reports it (document.hidden and its event).
function setHidden(hidden) {
  return page.evaluate((value) => {
    Object.defineProperty(document, 'hidden', { value, configurable: true });
    document.dispatchEvent(new Event('visibilitychange'));
  }, hidden);
}

for (const step of steps) {
  test(step.name, async () => {
    const from = (await traceLines()).length;
    await step.act();
    await waitForTrace(step.name, step.shows, from);
  });
}

test('Alt+Enter goes full screen and back', async () => {
  for (const wanted of ['stage', null]) {
    await page.keyboard.press('Alt+Enter');
    await page.waitForFunction((id) => (document.fullscreenElement?.id ?? null) === id, wanted, { timeout: waitLimit });
  }
});

test('the Screenshot button downloads a frame the game showed, as a PNG', async () => {
  await page.click('#screenshot');
  const end = Date.now() + waitLimit;
  while (!downloads['maze_0000.png'] && Date.now() < end) await new Promise((done) => setTimeout(done, 100));
  assert.ok(downloads['maze_0000.png'], 'no screenshot downloaded');
  const png = readIndexedPng(downloads['maze_0000.png']);
  assert.equal(`${png.width}x${png.height}`, '640x480');
  const crc = crc32(png.indices).toString(16).padStart(8, '0');
  await waitForTrace(`a frame with CRC ${crc}`, (l) => l.frame_crc32 === crc);
});

test('a paused frame holds still', async () => {
  await page.keyboard.press('KeyP');
  await waitForTrace('the pause', (l) => 'frame' in l && l.texts.includes('PAUSED'));
  const seen = await page.evaluate(() => window.mazeLastPresent);
  const before = await framePixels();
  await presentsReach(seen + 10);
  assert.equal(await framePixels(), before);
  await page.keyboard.press('KeyP');
});

test('a changed setting is kept when the page is hidden (a tab closed) and at the end', async () => {
  // F11 raises the brightness one step: the setting the game writes back.
  await page.keyboard.press('F11');
  await presentsReach((await page.evaluate(() => window.mazeLastPresent)) + 3);
  // The tab hidden earlier kept F4's solid drawing; the gamepad's Back has switched it back.
  assert.equal(await page.evaluate(() => localStorage.getItem('maze.cfg')), 'solid 1\n');
  await setHidden(true);
  assert.equal(await page.evaluate(() => localStorage.getItem('maze.cfg')), 'brightness 1\n');
  await setHidden(false);
  await page.keyboard.press('KeyP');
  await waitForTrace('playing on', (l) => 'frame' in l && !l.texts.includes('PAUSED'), (await traceLines()).length);
});

test('Escape shows the farewell and ends the game', async () => {
  await page.keyboard.press('Escape');
  await waitForTrace('the farewell', (l) => l.closing === true && l.texts.includes('LIVE LONG AND PROSPER!'));
  await page.waitForFunction(() => Module.mazeExitStatus !== undefined, null, { timeout: waitLimit });
  assert.equal(await page.evaluate(() => Module.mazeExitStatus), 0);
  assert.equal(await page.evaluate(() => localStorage.getItem('maze.cfg')), 'brightness 1\n');
});

test('a bad option in the address is shown on the page, and nothing starts', async () => {
  const other = await browser.newPage();
  await other.goto(`${baseUrl}?level=9`);
  await other.waitForFunction(() => Module.mazeExitStatus !== undefined, null, { timeout: waitLimit });
  assert.equal(await other.evaluate(() => Module.mazeExitStatus), 2);
  assert.match(await other.textContent('#output'), /--level/);
  assert.equal(await other.evaluate(() => document.getElementById('box').open), false);
  await other.close();
});

test('the downloaded recording replays natively to the same trace', async () => {
  const end = Date.now() + waitLimit;
  while (!(downloads['maze-recording.script'] && downloads['maze-trace.jsonl']) && Date.now() < end)
    await new Promise((done) => setTimeout(done, 100));
  assert.ok(downloads['maze-recording.script'], 'no recording downloaded');
  assert.ok(downloads['maze-trace.jsonl'], 'no trace downloaded');
  const replayed = join(scratch, 'replayed.jsonl');
  const run = spawnSync(nativeReplay, [downloads['maze-recording.script'], '--trace', replayed],
                        { cwd: dirname(nativeReplay), encoding: 'utf8' });
  assert.equal(run.status, 0, run.stderr);
  assert.equal(traceFileDifference(downloads['maze-trace.jsonl'], replayed), null);
});
