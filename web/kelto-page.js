// The page around the game: passes the options in the address to the program
// (?classic, ?health=50, ?timedemo=golden.krec), gives the canvas the focus on a click or a key,
// says so until it has it, offers a new game after the game ends, and keeps the figures a
// test or a curious player may read (window.kelto).
'use strict';

const canvas = document.getElementById('screen');
const hint = document.getElementById('hint');
const ended = document.getElementById('ended');
const failed = document.getElementById('failed');
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

function showFocus() {
  hint.hidden = kelto.state !== 'running' || document.activeElement === canvas;
}

canvas.addEventListener('focus', showFocus);
canvas.addEventListener('blur', showFocus);
// Browsers let a page make sound only after the player has done something on it.
function resumeAudio() {
  if (Module.keltoAudio && Module.keltoAudio.context.state !== 'running') Module.keltoAudio.context.resume();
}
canvas.addEventListener('mousedown', () => { canvas.focus(); resumeAudio(); });
document.addEventListener('keydown', (event) => {
  if (kelto.state === 'ended' && event.code === 'Enter') {
    window.location.reload();
    return;
  }
  if (document.activeElement !== canvas) canvas.focus();
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

var Module = {
  arguments: optionsFromAddress(),
  canvas: canvas,
  print: (text) => { kelto.output.push(text); console.log(text); },
  printErr: (text) => { kelto.output.push(text); console.warn(text); },
  onRuntimeInitialized: () => { kelto.state = 'running'; canvas.focus(); showFocus(); },
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
  keltoEnded: (exitCode) => {
    kelto.exitCode = exitCode;
    kelto.state = 'ended';
    hint.hidden = true;
    if (exitCode === 0) {
      ended.hidden = false;
    } else {
      failed.textContent = kelto.output.join(' ') || 'The game could not start.';
      failed.hidden = false;
    }
  },
};
