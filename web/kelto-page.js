// The page around the game: passes the options in the address to the program
// (?classic, ?health=50, ?timedemo=golden.krec, ?join=ws://HOST:PORT/CODE&name=NAME), loads
// the game where the browser can run it and says plainly when it cannot, gives the canvas the focus on a click or a key, says so until it
// has it, offers a new game after the game ends, and keeps the figures a test or a curious
// player may read (window.kelto). The keys are the game's only while its canvas has the focus:
// Tab, the browser's shortcuts and the page's buttons keep working.
'use strict';

const canvas = document.getElementById('screen');
const hint = document.getElementById('hint');
const ended = document.getElementById('ended');
const report = document.getElementById('report');
const statusLine = document.getElementById('status');

const kelto = { state: 'loading', frames: 0, steps: 0, stepMilliseconds: 0, exitCode: null, output: [] };
window.kelto = kelto;

function optionsFromAddress() {
  const options = [];
  for (const [name, value] of new URLSearchParams(window.location.search)) {
    options.push('--' + name);
    if (value !== '') options.push(value);
  }
  return options;
}

// Shows what the game (or the browser) said in place of the game; the page stops there.
function showReport(said, advice, state) {
  kelto.state = state;
  hint.hidden = true;
  document.getElementById('said').textContent = said;
  document.getElementById('advice').textContent = advice;
  report.hidden = false;
}

function showFocus() {
  hint.hidden = kelto.state !== 'running' || document.activeElement === canvas;
}

// Nothing on the page has the focus: a key pressed then is meant for the game.
function focusIsNowhere() {
  return !document.activeElement || document.activeElement === document.body;
}

// Moving the focus and every shortcut held with a modifier (reload, find, zoom) are the
// browser's.
function isBrowserKey(event) {
  return event.key === 'Tab' || event.ctrlKey || event.altKey || event.metaKey;
}

canvas.addEventListener('focus', showFocus);
canvas.addEventListener('blur', showFocus);
// Browsers let a page make sound only after the player has done something on it.
function resumeAudio() {
  if (Module.keltoAudio && Module.keltoAudio.context.state !== 'running') Module.keltoAudio.context.resume();
}
canvas.addEventListener('mousedown', () => { canvas.focus(); resumeAudio(); });
// Runs before the game's own key handler, so that the first key pressed while nothing has the
// focus both gives the canvas the focus and reaches the game.
document.addEventListener('keydown', (event) => {
  if (isBrowserKey(event) || !(document.activeElement === canvas || focusIsNowhere())) return;
  if (kelto.state === 'ended' && event.code === 'Enter') {
    window.location.reload();
    return;
  }
  if (kelto.state === 'running' && document.activeElement !== canvas) canvas.focus();
  resumeAudio();
}, true);

document.getElementById('fullscreen').addEventListener('click', () => {
  const stage = document.getElementById('stage');
  if (document.fullscreenElement) {
    document.exitFullscreen();
  } else if (stage.requestFullscreen) {
    stage.requestFullscreen().then(() => canvas.focus(), () => {});
  }
});

// An online match (?join=ws://HOST:PORT/CODE, or one joined or hosted from the menus, whose
// first frames ask for it) goes on in a hidden tab, which gets no animation frames and slowed
// timers, so as not to stall the others: a worker's timer, which the browser leaves alone,
// ticks the game, which runs frames by it only while no animation frame comes and the match
// is on. Started once, it ticks as long as the game runs.
let ticker = null;
function startTicker() {
  if (ticker || typeof Worker === 'undefined') return;
  const source = 'setInterval(() => postMessage(0), 16);';
  ticker = new Worker(URL.createObjectURL(new Blob([source], { type: 'text/javascript' })));
  ticker.onmessage = () => {
    if (kelto.state === 'running') Module._KeltoTick();
    else {
      ticker.terminate();
      ticker = null;
    }
  };
}

const ADDRESS_ADVICE = 'Options go in the address without their dashes, as ?health=50&classic.';

var Module = {
  arguments: optionsFromAddress(),
  canvas: canvas,
  print: (text) => { kelto.output.push(text); console.log(text); },
  printErr: (text) => { kelto.output.push(text); console.warn(text); },
  onRuntimeInitialized: () => { kelto.state = 'running'; canvas.focus(); showFocus(); },
  keltoOnline: startTicker,
  // Emscripten stops the program this way when it cannot go on (the game's code could not be
  // fetched or compiled, or it ran out of memory).
  // The first reason is the one that says what went wrong; Emscripten's advice to its
  // developers is not the player's.
  onAbort: (reason) => {
    if (kelto.state === 'failed') return;
    const said = String(reason || 'no reason given').replace(/\.?\s*Build with .*$/, '');
    showReport('The game stopped: ' + said + '.', 'Reloading the page may help.', 'failed');
  },
  keltoStep: (frames, milliseconds) => {
    kelto.frames += frames;
    if (frames > 0) {
      kelto.steps += 1;
      kelto.stepMilliseconds += milliseconds;
    }
    if (kelto.steps > 0 && kelto.steps % 60 === 0) {
      statusLine.textContent = (kelto.stepMilliseconds / kelto.steps).toFixed(2) + ' ms a step';
    }
  },
  // The fingerprint of a land made from its code (?land=CODE), before the match's first frame.
  keltoLand: (hash) => { kelto.landHash = hash; },
  // `options` is 1 when the program ended on its options (refused, or ?help and ?version).
  // A game played on the page offers the next one; anything else shows what the program said
  // (a timedemo's figures, the usage, why it could not start).
  keltoEnded: (exitCode, options) => {
    kelto.exitCode = exitCode;
    if (exitCode === 0 && !options && kelto.frames > 0) {
      kelto.state = 'ended';
      hint.hidden = true;
      ended.hidden = false;
      return;
    }
    showReport(kelto.output.join('\n') || 'The game could not start.', options ? ADDRESS_ADVICE : '', 'ended');
  },
};

// A browser without WebAssembly (too old, or with it switched off) would otherwise leave the
// page black for ever.
if (typeof WebAssembly !== 'object' || typeof WebAssembly.instantiate !== 'function') {
  showReport('This browser cannot run the game: it has no WebAssembly, or it is switched off.',
             'A current Firefox, Chromium, Chrome, Edge or Safari runs it.', 'failed');
} else {
  const script = document.createElement('script');
  script.src = 'kelto.js';
  script.onerror = () => showReport('The game could not be loaded from the server.', 'Reloading the page may help.',
                                    'failed');
  document.body.appendChild(script);
}
