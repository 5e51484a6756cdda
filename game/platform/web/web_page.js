// The page's side of the web platform (web_platform.cpp calls these): the frame drawn
// into the canvas with the native game's crisp scaling, pacing by the browser's frame
// callback, dialogs, full screen, downloads of screenshots and recordings, settings kept
// in local storage. Runs inside the emscripten module (Module, FS, HEAPU8 in scope).

const FRAME_WIDTH = 640, FRAME_HEIGHT = 480;
// Where the native game keeps them: ~/.config/maze/maze.cfg, emscripten's home being /home/web_user.
const SETTINGS_DIR = '/home/web_user/.config/maze';
const SETTINGS_FILE = SETTINGS_DIR + '/maze.cfg';
const SETTINGS_KEY = 'maze.cfg';

Module.mazePresents = 0;  // frames shown so far
Module.mazeFrameRate = 0;  // frames shown in the last whole second
Module.mazeFrameWorkMs = 0;  // the game's own time per frame over that second: from the
                             // browser handing back control to the frame's present

let rateSecondStart = 0, rateCount = 0, workSum = 0, workCount = 0, resumedAt = -1;
let upscaled = null;  // the frame repeated a whole number of times, made when needed

// Save-to-disk of bytes made in the page.
function mazeDownload(name, bytes, type) {
  const url = URL.createObjectURL(new Blob([bytes], { type }));
  const link = document.createElement('a');
  link.href = url;
  link.download = name;
  document.body.appendChild(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(url), 60000);
}

// How many times the frame is repeated before it is smoothed down to an area of this
// size (the native game's rule): 0 when the area is a whole multiple (repeating alone),
// else the smallest whole multiple that covers it.
function upscaleFactor(width, height) {
  if (width % FRAME_WIDTH === 0 && height % FRAME_HEIGHT === 0 && width / FRAME_WIDTH === height / FRAME_HEIGHT)
    return 0;
  return Math.max(1, Math.ceil(Math.max(width / FRAME_WIDTH, height / FRAME_HEIGHT)));
}

// The frame canvas scaled into the page's canvas: the largest 4:3 area, centred, black
// bars beside it, every frame pixel the same size so the 2 x 2 dither stays even.
function drawScaled(frame) {
  const canvas = Module.canvas;
  const ratio = window.devicePixelRatio || 1;
  const width = Math.max(1, Math.round(canvas.clientWidth * ratio));
  const height = Math.max(1, Math.round(canvas.clientHeight * ratio));
  if (canvas.width !== width || canvas.height !== height) {
    canvas.width = width;
    canvas.height = height;
  }
  let areaWidth = width, areaHeight = Math.floor((width * 3) / 4);
  if (width * 3 > height * 4) {
    areaHeight = height;
    areaWidth = Math.floor((height * 4) / 3);
  }
  const x = (width - areaWidth) >> 1, y = (height - areaHeight) >> 1;
  const context = canvas.getContext('2d');
  context.fillStyle = '#000';
  context.fillRect(0, 0, width, height);
  const factor = upscaleFactor(areaWidth, areaHeight);
  if (factor === 0) {
    context.imageSmoothingEnabled = false;
    context.drawImage(frame, x, y, areaWidth, areaHeight);
    return;
  }
  if (!upscaled || upscaled.width !== FRAME_WIDTH * factor) {
    upscaled = document.createElement('canvas');
    upscaled.width = FRAME_WIDTH * factor;
    upscaled.height = FRAME_HEIGHT * factor;
  }
  const repeat = upscaled.getContext('2d');
  repeat.imageSmoothingEnabled = false;
  repeat.drawImage(frame, 0, 0, upscaled.width, upscaled.height);
  context.imageSmoothingEnabled = true;
  context.imageSmoothingQuality = 'low';
  context.drawImage(upscaled, x, y, areaWidth, areaHeight);
}

// Screenshots the game wrote (Print Screen, or the page's button) go to the player.
function collectScreenshots() {
  for (const name of FS.readdir('/')) {
    if (!/^maze_\d{4}\.png$/.test(name)) continue;
    mazeDownload(name, FS.readFile('/' + name), 'image/png');
    FS.unlink('/' + name);
  }
}

Module.mazePresent = function (pointer) {
  const frame = document.getElementById('frame');
  const pixels = new Uint8ClampedArray(HEAPU8.buffer, pointer, FRAME_WIDTH * FRAME_HEIGHT * 4);
  frame.getContext('2d').putImageData(new ImageData(pixels, FRAME_WIDTH, FRAME_HEIGHT), 0, 0);
  drawScaled(frame);
  const number = Module.mazePresents++;
  const now = performance.now();
  rateCount++;
  if (resumedAt >= 0) {
    workSum += now - resumedAt;
    workCount++;
    resumedAt = -1;
  }
  if (now - rateSecondStart >= 1000) {
    Module.mazeFrameRate = (rateCount * 1000) / (now - rateSecondStart);
    Module.mazeFrameWorkMs = workCount ? workSum / workCount : 0;
    rateSecondStart = now;
    rateCount = workCount = workSum = 0;
    const status = document.getElementById('rate');
    if (status)
      status.textContent = `${Module.mazeFrameRate.toFixed(1)} frames/s, ${Module.mazeFrameWorkMs.toFixed(2)} ms a frame`;
  }
  collectScreenshots();
  // Listeners (the browser test among them) see each frame as it is shown.
  window.dispatchEvent(new CustomEvent('mazepresent', { detail: { frame: number } }));
};

// The display's refresh interval, as the frame callbacks' times show it: the median of
// the recent gaps (a late callback makes one gap long and the next short).
let displayInterval = 1000 / 60, lastCallbackTime = -1;
const recentGaps = [];
function noteCallback(time) {
  const gap = time - lastCallbackTime;
  if (lastCallbackTime >= 0 && gap > 2 && gap < 100) {
    recentGaps.push(gap);
    if (recentGaps.length > 30) recentGaps.shift();
    const sorted = recentGaps.slice().sort((a, b) => a - b);
    displayInterval = sorted[sorted.length >> 1];
  }
  lastCallbackTime = time;
}

// Resolves at the frame callback of the display frame in which the frame is due: the
// first whose display interval reaches past due_ms. So a pace equal to the display's
// takes every callback, half of it every second one, whatever the phase between the
// game's schedule and the display. A hidden page gets no frame callbacks: a timer
// stands in.
Module.mazeWaitFrame = function (due) {
  return new Promise((resolve) => {
    let done = false;
    const finish = () => {
      if (done) return;
      done = true;
      clearTimeout(timer);
      resumedAt = performance.now();
      resolve();
    };
    const step = (time) => {
      if (done) return;
      noteCallback(time);
      if (time + displayInterval > due + 0.5) finish();
      else requestAnimationFrame(step);
    };
    const timer = setTimeout(finish, Math.max(0, due - performance.now()) + 250);
    requestAnimationFrame(step);
  });
};

Module.mazeDialog = function (caption, text, error) {
  return new Promise((resolve) => {
    const box = document.getElementById('box');
    document.getElementById('box-caption').textContent = caption;
    document.getElementById('box-text').textContent = text;
    box.classList.toggle('error', error);
    box.addEventListener('close', () => resolve(), { once: true });
    document.getElementById('box-ok').onclick = () => box.close();
    if (document.pointerLockElement) document.exitPointerLock();
    box.showModal();
    document.getElementById('box-ok').focus();
  });
};

// The gamepads through the browser's Gamepad API, in the layout it calls standard: the
// sticks are axes 0 to 3, the triggers buttons 6 and 7 (0 to 1), A button 0, Back 8,
// Start 9. Each axis follows the pad deflecting it most, as natively; the values go in
// SDL's ranges (sticks -32768..32767, triggers 0..32767) into the six axes at `pointer`.
// Returns the buttons held on any pad: 1 Start, 2 A, 4 Back.
Module.mazeReadGamepads = function (pointer) {
  const axes = [0, 0, 0, 0, 0, 0];
  let held = 0;
  const pads = navigator.getGamepads ? navigator.getGamepads() : [];
  for (const pad of pads) {
    if (!pad || !pad.connected) continue;
    const value = (i) => (Number.isFinite(pad.axes[i]) ? pad.axes[i] : 0);
    // (No optional chaining here: emscripten's optimizer of this version rejects it.)
    const button = (i) => (i < pad.buttons.length && pad.buttons[i]) || { pressed: false, value: 0 };
    const pressed = (i) => button(i).pressed === true;
    const trigger = (i) => (Number.isFinite(button(i).value) ? button(i).value : 0);
    const read = [value(0), value(1), value(2), value(3), trigger(6), trigger(7)];
    for (let i = 0; i < 6; i++) {
      const raw = Math.max(-32768, Math.min(32767, Math.round(read[i] * 32767)));
      if (Math.abs(raw) > Math.abs(axes[i])) axes[i] = raw;
    }
    held |= (pressed(9) ? 1 : 0) | (pressed(0) ? 2 : 0) | (pressed(8) ? 4 : 0);
  }
  for (let i = 0; i < 6; i++) HEAP16[(pointer >> 1) + i] = axes[i];
  return held;
};

Module.mazeToggleFullscreen = function () {
  const stage = document.getElementById('stage');
  if (document.fullscreenElement) document.exitFullscreen();
  else if (stage.requestFullscreen) stage.requestFullscreen().catch(() => {});
};

// The settings file of the native game lives in local storage between visits.
Module.preRun = Module.preRun || [];
Module.preRun.push(() => {
  FS.mkdirTree(SETTINGS_DIR);
  try {
    const saved = localStorage.getItem(SETTINGS_KEY);
    if (saved !== null) FS.writeFile(SETTINGS_FILE, saved);
  } catch (e) {
    console.warn('maze: no local storage for the settings', e);
  }
});

// The settings file as the game last wrote it, into local storage.
Module.mazeStoreSettings = function () {
  try {
    if (FS.analyzePath(SETTINGS_FILE).exists)
      localStorage.setItem(SETTINGS_KEY, FS.readFile(SETTINGS_FILE, { encoding: 'utf8' }));
  } catch (e) {
    console.warn('maze: the settings were not kept', e);
  }
};

// At the end: the settings kept, the recording and the trace (when asked for) downloaded.
Module.onExit = function (status) {
  Module.mazeStoreSettings();
  // (No destructuring here: emscripten's optimizer of this version mangles it.)
  for (const file of Module.mazeOutputs || []) {
    if (FS.analyzePath(file.path).exists) mazeDownload(file.name, FS.readFile(file.path), file.type);
  }
  Module.mazeExitStatus = status;
  window.dispatchEvent(new CustomEvent('mazeexit', { detail: { status } }));
};
