// Plays the browser build in Debian's headless Chromium: the page loads from a local server
// onto the title, and keys alone (Enter on Play, Enter on the set-up's Play) start a match;
// the canvas shows the scene (not black) once the tanks can have landed, a Space press and
// release changes the picture, the game keeps 60 updates per second and stops while the window
// is away; Escape pauses (the computer's turns stand still) and Escape again, or a click on
// Resume, resumes them. The designed game (?classic) ends on Escape and the page offers a new
// one. The keys are the game's only while its canvas has the focus (Tab, shortcuts and the
// Full screen button stay the browser's), the Full screen button stays within reach on a
// narrow window, and a page that cannot run the game says why: options refused, no
// WebAssembly, no JavaScript, the game's code missing. A land's code makes, in the page, the
// land the desktop pins for it. Given the desktop's relay and headless game, the page joins a
// match the desktop hosts, plays on while hidden, and records what the desktop records; and
// hosts a room from its own menus on a relay that lets only its origin in, which the
// desktop's game joins; and both play over wss:// (OnlineGame.mjs). Prints the main thread's
// time per step, the browser's timedemo against the desktop's (run in turns; the page's cold
// run and its warm one) and the download's size.
//
// Usage: node BrowserGame.mjs <build/web directory> [--settle SECONDS] [--expect-checksum HEX
//        --native-command COMMAND [--rounds N]] [--expect-land-checksum HEX]
//        [--relay KELTO-RELAY --headless KELTO_HEADLESS [--assets FOLDER]]
import { chromium } from 'playwright-core';
import { checkOnlineMatch, checkPageHostsRoom, checkSecureRoom } from './OnlineGame.mjs';
import { createServer } from 'node:http';
import { readFile, stat } from 'node:fs/promises';
import { gzipSync } from 'node:zlib';
import path from 'node:path';
import os from 'node:os';
import { execSync } from 'node:child_process';

const root = path.resolve(process.argv[2] || 'build/web');
const settleIndex = process.argv.indexOf('--settle');
// The tanks fall one pixel a frame from the top: 16 s covers a fall through the whole land.
const settleSeconds = settleIndex > 0 ? Number(process.argv[settleIndex + 1]) : 16;
// The desktop's final state checksum of the golden replay, which the browser must reach too.
const expectIndex = process.argv.indexOf('--expect-checksum');
const expectedChecksum = expectIndex > 0 ? process.argv[expectIndex + 1] : null;
// The same for the replay on a made land.
const expectLandIndex = process.argv.indexOf('--expect-land-checksum');
const expectedLandChecksum = expectLandIndex > 0 ? process.argv[expectLandIndex + 1] : null;
// The command that runs the desktop's own timedemo of the same replay, for the speeds side by
// side, and how many times each side runs it.
const nativeIndex = process.argv.indexOf('--native-command');
const nativeCommand = nativeIndex > 0 ? process.argv[nativeIndex + 1] : null;
const roundsIndex = process.argv.indexOf('--rounds');
const rounds = roundsIndex > 0 ? Math.max(1, Number(process.argv[roundsIndex + 1])) : 7;
// The desktop's relay and headless game, for a match between the page and the desktop.
const optionAfter = (name) => (process.argv.indexOf(name) > 0 ? process.argv[process.argv.indexOf(name) + 1] : null);
const online = optionAfter('--relay') && optionAfter('--headless') ?
  { relay: path.resolve(optionAfter('--relay')), headless: path.resolve(optionAfter('--headless')),
    assets: path.resolve(optionAfter('--assets') || 'assets') } : null;

// The frames per second in a timedemo's line ("7200 frames, 1.2 seconds, 6000 frames per second, ...").
function framesPerSecond(line) {
  const match = /(\d+) frames per second/.exec(line || '');
  return match ? Number(match[1]) : 0;
}

const types = { '.html': 'text/html', '.js': 'text/javascript', '.css': 'text/css', '.wasm': 'application/wasm',
                '.png': 'image/png', '.data': 'application/octet-stream', '.krec': 'application/octet-stream' };

const server = createServer(async (request, response) => {
  const file = path.join(root, decodeURIComponent(new URL(request.url, 'http://x').pathname));
  if (!file.startsWith(root)) { response.writeHead(403).end(); return; }
  try {
    const body = await readFile((await stat(file)).isDirectory() ? path.join(file, 'index.html') : file);
    response.writeHead(200, { 'Content-Type': types[path.extname(file)] || 'application/octet-stream' });
    response.end(body);
  } catch {
    response.writeHead(404).end();
  }
});
await new Promise((resolve) => server.listen(0, '127.0.0.1', resolve));
const address = `http://127.0.0.1:${server.address().port}/`;

let failures = 0;
function check(ok, message) {
  console.log(`${ok ? 'ok' : 'FAIL'}: ${message}`);
  if (!ok) failures++;
}
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// The canvas's pixels: how many are not black, and a hash of all of them.
async function picture(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById('screen');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let lit = 0;
    let hash = 2166136261;
    for (let i = 0; i < data.length; i += 4) {
      if (data[i] | data[i + 1] | data[i + 2]) lit++;
      hash = Math.imul(hash ^ data[i] ^ (data[i + 1] << 8) ^ (data[i + 2] << 16), 16777619) >>> 0;
    }
    return { lit, hash, width: canvas.width, height: canvas.height };
  });
}

// Each key pressed, whether the page (the game) kept it from the browser, and what had the
// focus: heard last, on the window, after the game's own handler.
async function logKeys(page) {
  await page.evaluate(() => {
    window.keyLog = [];
    window.addEventListener('keydown', (event) => window.keyLog.push(
      { code: event.code, ctrl: event.ctrlKey, taken: event.defaultPrevented, focus: document.activeElement.id }));
  });
}

async function checkKeys(page) {
  await logKeys(page);
  await page.click('#screen');
  await page.keyboard.press('ArrowUp');
  await page.keyboard.press('ArrowDown');
  await page.keyboard.press('Control+KeyF');
  await page.keyboard.press('Control+Equal');
  await page.keyboard.press('F5');
  await page.keyboard.press('Tab');
  const afterTab = await page.evaluate(() => document.activeElement.id);
  check(afterTab === 'fullscreen', `Tab moved the focus from the game to the Full screen button (to '${afterTab}')`);
  check(await page.isVisible('#hint'), 'the focus hint shows again while the game does not have the keys');
  await page.keyboard.press('ArrowLeft');
  await page.keyboard.press('Space');
  const log = await page.evaluate(() => window.keyLog);
  const taken = (code, ctrl) => log.filter((key) => key.code === code && key.ctrl === ctrl).map((key) => key.taken);
  const expected = [
    ['ArrowUp', false, [true], 'the game takes the arrows while its canvas has the focus'],
    ['ArrowDown', false, [true], 'the game takes the arrows while its canvas has the focus'],
    ['KeyF', true, [false], 'Ctrl+F (find) stays the browser\'s'],
    ['Equal', true, [false], 'Ctrl+= (zoom) stays the browser\'s'],
    ['F5', false, [false], 'F5 (reload) stays the browser\'s'],
    ['Tab', false, [false], 'Tab stays the browser\'s'],
    ['ArrowLeft', false, [false], 'an arrow on the Full screen button is not the game\'s'],
    ['Space', false, [false], 'Space on the Full screen button presses the button, not the game\'s fire'],
  ];
  for (const [code, ctrl, want, what] of expected) {
    const got = taken(code, ctrl);
    check(JSON.stringify(got) === JSON.stringify(want), `${what} (kept from the browser: ${JSON.stringify(got)})`);
  }
  // Space pressed the button: out of full screen again, then Enter on the button goes in.
  await page.waitForFunction(() => document.fullscreenElement !== null, null, { timeout: 3000 }).catch(() => {});
  const bySpace = await page.evaluate(() => document.fullscreenElement && document.fullscreenElement.id);
  await page.evaluate(() => document.fullscreenElement && document.exitFullscreen());
  await page.waitForFunction(() => document.fullscreenElement === null, null, { timeout: 3000 }).catch(() => {});
  await page.focus('#fullscreen');
  await page.keyboard.press('Enter');
  await page.waitForFunction(() => document.fullscreenElement !== null, null, { timeout: 3000 }).catch(() => {});
  const byEnter = await page.evaluate(() => document.fullscreenElement && document.fullscreenElement.id);
  check(bySpace === 'stage' && byEnter === 'stage',
        `Space and Enter on the Full screen button fill the screen with the game (${bySpace}, ${byEnter})`);
  check(await page.evaluate(() => window.kelto.state) === 'running', 'Enter on the button did not end or restart the game');
  await page.evaluate(() => document.fullscreenElement && document.exitFullscreen());
  await page.waitForFunction(() => document.fullscreenElement === null, null, { timeout: 3000 }).catch(() => {});
  await page.click('#screen');
}

// The side panel folds away at 800 pixels and below; the Full screen button must stay, inside
// the window, on both sides of that edge.
async function checkNarrowWindows(page) {
  const before = page.viewportSize();
  for (const [width, panel] of [[801, true], [800, false], [320, false]]) {
    await page.setViewportSize({ width, height: 600 });
    const box = await page.locator('#fullscreen').boundingBox();
    const inside = box !== null && box.x >= 0 && box.y >= 0 && box.x + box.width <= width && box.y + box.height <= 600;
    check(await page.isVisible('#fullscreen') && inside,
          `${width} px wide: the Full screen button shows inside the window (${JSON.stringify(box)})`);
    check(await page.isVisible('aside h1') === panel, `${width} px wide: the side panel ${panel ? 'shows' : 'folds away'}`);
  }
  await page.setViewportSize(before);
}

// Loads the page in a context of its own and waits for it to settle, failed or ended.
async function settledPage(browser, query, setUp, contextOptions = {}) {
  const context = await browser.newContext(contextOptions);
  const page = await context.newPage();
  const requested = [];
  page.on('request', (request) => requested.push(path.basename(new URL(request.url()).pathname)));
  if (setUp) await setUp(page);
  await page.goto(address + 'index.html' + query);
  if (contextOptions.javaScriptEnabled !== false) {
    await page.waitForFunction(() => window.kelto && window.kelto.state !== 'loading', null, { timeout: 30000 })
      .catch(() => {});
  }
  const seen = {
    state: contextOptions.javaScriptEnabled === false ? null : await page.evaluate(() => window.kelto.state),
    exitCode: contextOptions.javaScriptEnabled === false ? null : await page.evaluate(() => window.kelto.exitCode),
    report: await page.isVisible('#report') ? await page.innerText('#report') : '',
    hint: await page.isVisible('#hint'),
    requested,
    page,
  };
  return { seen, close: () => context.close() };
}

async function checkPagesThatCannotPlay(browser) {
  // Each row: the address's options, the exit code, and what the page must then say.
  const refused = [
    ['?bogus', 2, ["unknown option '--bogus'", 'Usage: kelto', 'without their dashes']],
    ['?health=0', 2, ['--health: value not understood', 'Usage: kelto']],
    ['?health=1000', 2, ['--health: value not understood', 'Usage: kelto']],
    ['?health', 2, ['--health needs a value', 'Usage: kelto']],
    ['?help', 0, ['Usage: kelto', '--timedemo FILE']],
    ['?version', 0, ['kelto ']],
    ['?land=HILLS-GRAY-3F9A21C0', 2, ["--land: 'HILLS-GRAY-3F9A21C0' is neither a land code", 'nor a .bmp picture']],
  ];
  for (const [query, exitCode, phrases] of refused) {
    const { seen, close } = await settledPage(browser, query);
    const says = phrases.filter((phrase) => !seen.report.includes(phrase));
    check(seen.state === 'ended' && seen.exitCode === exitCode && says.length === 0 && !seen.hint,
          `${query} shows what the program said, exit code ${seen.exitCode} (${exitCode} expected)` +
          (says.length ? `; missing ${JSON.stringify(says)} in ${JSON.stringify(seen.report.slice(0, 200))}` : ''));
    await close();
  }
  {
    const { seen, close } = await settledPage(browser, '?health=999');
    check(seen.state === 'running' && seen.report === '', `?health=999, the largest, starts the game (${seen.state})`);
    await close();
  }
  {
    const { seen, close } = await settledPage(browser, '', (page) => page.addInitScript(() => { delete window.WebAssembly; }));
    check(seen.state === 'failed' && seen.report.includes('cannot run the game') && !seen.hint &&
          !seen.requested.includes('kelto.js') && !seen.requested.includes('kelto.wasm'),
          `without WebAssembly the page says the browser cannot run the game (${JSON.stringify(seen.report)})`);
    await close();
  }
  {
    const { seen, close } = await settledPage(browser, '', (page) => page.route('**/kelto.wasm',
      (route) => route.fulfill({ status: 404, body: '' })));
    check(seen.state === 'failed' && seen.report.includes('The game stopped') && !seen.hint,
          `with its code missing the page says the game stopped (${JSON.stringify(seen.report.slice(0, 120))})`);
    await close();
  }
  {
    const { seen, close } = await settledPage(browser, '', null, { javaScriptEnabled: false });
    const text = await seen.page.innerText('#stage');
    check(text.includes('cannot run the game') && !seen.hint,
          `without JavaScript the page says it cannot run the game (${JSON.stringify(text)})`);
    await close();
  }
}

// One land of each style made from its code in the browser, with the fingerprint the desktop
// pins for it (tests/LandsTest.cpp, EachStyleAndThemeMakesItsPinnedPicture): the generator
// makes the same bytes in WebAssembly as on x86-64.
const LAND_FINGERPRINTS = [
  ['HILLS-GREEN-3F9A21C0', 3854759529],
  ['ISLANDS-GREEN-3F9A21C0', 1967162333],
  ['CAVERN-GREEN-3F9A21C0', 817002568],
  ['CLIFFS-GREEN-3F9A21C0', 47554147],
];

async function checkLandsMadeAlike(browser) {
  for (const [code, expected] of LAND_FINGERPRINTS) {
    const { seen, close } = await settledPage(browser, `?land=${code.toLowerCase()}`);
    await seen.page.waitForFunction(() => window.kelto.landHash !== undefined, null, { timeout: 5000 })
      .catch(() => {});
    const got = await seen.page.evaluate(() => window.kelto.landHash);
    check(seen.state === 'running' && got === expected,
          `?land=${code.toLowerCase()} makes the desktop's land (fingerprint ${got}, ${expected} expected)`);
    await close();
  }
}

// The browser's timedemo of the golden replay on a page of its own: its output, which has
// two runs, cold and warm (app/WebMain.cpp says why), each with its line.
async function browserTimedemo(browser) {
  const demo = await browser.newPage();
  await demo.goto(address + 'index.html?timedemo=golden.krec');
  await demo.waitForFunction(() => window.kelto && window.kelto.state === 'ended', null, { timeout: 120000 })
    .catch(() => {});
  const line = await demo.evaluate(() => window.kelto.output.join(' '));
  await demo.close();
  return line;
}

// The frames per second of each timedemo run in a page's output, in order.
function runSpeeds(line) {
  return [...(line || '').matchAll(/(\d+) frames per second/g)].map((match) => Number(match[1]));
}

// How many runs in a page's output ended on `checksum`.
function runsEndingOn(line, checksum) {
  return (line || '').split(`state checksum ${checksum}`).length - 1;
}

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

// The browser's speed against the desktop's: best against best (the least disturbed run of
// each), median against median, and the median of each turn's own ratio (a desktop run
// against the browser run right after it), which a busy moment on one side moves by one
// place at most.
function speedRatios(native, web) {
  const best = Math.max(...native) / Math.max(...web);
  const typical = median(native) / median(web);
  const paired = median(native.map((speed, round) => speed / web[round]));
  return `${best.toFixed(2)} times as fast best against best, ${typical.toFixed(2)} times median against median, ` +
         `${paired.toFixed(2)} times in the median turn`;
}

// The desktop's timedemo and the browser's take turns, `rounds` times each, so that both meet
// the same load on a shared machine, with the load average beside them. Each page runs the
// replay twice, a second after its own start-up: cold, while the browser still compiles the
// game's code, and warm, with the code a player has after the first second of play; both are
// compared with the desktop's. A browser is several processes, which a busy machine slows
// more than the one desktop process: how far its median falls under its best says how much.
// Every browser run must end on the desktop's checksum.
async function compareSpeeds(browser) {
  const native = [];
  const cold = [];
  const warm = [];
  let matched = 0;
  const loadBefore = os.loadavg()[0];
  for (let round = 0; round < rounds; round++) {
    if (nativeCommand) native.push(framesPerSecond(execSync(nativeCommand, { encoding: 'utf8', shell: '/bin/sh' })));
    const line = await browserTimedemo(browser);
    if (round === 0) console.log(`browser timedemo: ${line}`);
    matched += runsEndingOn(line, expectedChecksum);
    const [first = 0, second = 0] = runSpeeds(line);
    cold.push(first);
    warm.push(second);
  }
  check(matched === 2 * rounds,
        `the golden replay ends on the desktop's checksum ${expectedChecksum} in the browser too ` +
        `(${matched} of ${2 * rounds} runs, cold and warm)`);
  const load = `load average ${loadBefore.toFixed(2)} to ${os.loadavg()[0].toFixed(2)}`;
  console.log(`timedemo frames per second, ${rounds} runs each in turn (${load}): ` +
              `desktop ${native.join(' ')}; browser cold ${cold.join(' ')}; browser warm ${warm.join(' ')}`);
  if (native.length === 0 || Math.min(...cold, ...warm) <= 0) return;
  const under = (speeds) => `${(100 * (1 - median(speeds) / Math.max(...speeds))).toFixed(0)}%`;
  console.log(`timedemo, cold (a page's first run, the browser still compiling the code): the desktop runs it ` +
              `${speedRatios(native, cold)}`);
  console.log(`timedemo, warm (the same run again in the page, the code compiled): the desktop runs it ` +
              `${speedRatios(native, warm)}`);
  console.log(`timedemo: the load takes the desktop's median ${under(native)} under its best, the browser's ` +
              `${under(cold)} cold and ${under(warm)} warm`);
}

const browser = await chromium.launch({
  executablePath: process.env.KELTO_CHROMIUM || '/usr/bin/chromium',
  args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run', '--disable-background-networking',
         '--disable-component-update', '--disable-sync'],
});
try {
  const page = await browser.newPage({ viewport: { width: 1100, height: 700 } });
  page.on('pageerror', (error) => check(false, `page error: ${error.message}`));
  await page.goto(address + 'index.html');
  await page.waitForFunction(() => window.kelto && window.kelto.state !== 'loading', null, { timeout: 20000 });
  check(await page.evaluate(() => window.kelto.state) === 'running', 'the game started in the page');
  await page.click('#screen');
  check(await page.evaluate(() => document.getElementById('hint').hidden), 'the focus hint goes once the canvas has the focus');

  // The title, then the set-up, then the match: Enter on each screen's Play.
  await sleep(500);
  const title = await picture(page);
  await page.keyboard.press('Enter');
  await sleep(300);
  const setup = await picture(page);
  check(setup.hash !== title.hash, 'Enter on the title opened the set-up');
  await page.keyboard.press('Enter');
  await sleep(300);

  const start = await page.evaluate(() => ({ frames: window.kelto.frames, time: performance.now() }));
  await sleep(settleSeconds * 1000);
  const settled = await page.evaluate(() => ({ frames: window.kelto.frames, time: performance.now() }));
  const rate = (settled.frames - start.frames) * 1000 / (settled.time - start.time);
  check(Math.abs(rate - 60) < 6, `${rate.toFixed(1)} updates per second over ${settleSeconds} s (60 expected)`);

  const before = await picture(page);
  check(before.width === 640 && before.height === 480, `the canvas is ${before.width} x ${before.height}`);
  check(before.lit > 640 * 480 / 2, `the scene shows (${before.lit} of ${640 * 480} pixels lit)`);

  await page.keyboard.down('Space');
  await sleep(500);
  await page.keyboard.up('Space');
  await sleep(1500);
  const after = await picture(page);
  check(after.hash !== before.hash, 'the picture changed with the shot');
  const sounds = await page.evaluate(() => Module.keltoAudio ? [Module.keltoAudio.context.state, Module.keltoAudio.started || 0] : ['none', 0]);
  check(sounds[0] !== 'running' || sounds[1] > 0, `the shot was heard (audio ${sounds[0]}, ${sounds[1]} sounds started)`);

  // Switching away (the window's focus goes) stops the game until it comes back.
  const frames = () => page.evaluate(() => window.kelto.frames);
  await page.evaluate(() => window.dispatchEvent(new FocusEvent('blur')));
  const away = await frames();
  await sleep(1000);
  const stillAway = await frames();
  await page.evaluate(() => window.dispatchEvent(new FocusEvent('focus')));
  await sleep(500);
  const back = await frames();
  check(stillAway - away <= 1 && back - stillAway > 15,
        `no updates while away (${stillAway - away} in 1 s), updates again after (${back - stillAway} in 0.5 s)`);

  await checkKeys(page);
  await checkNarrowWindows(page);

  const timing = await page.evaluate(() => window.kelto.stepMilliseconds / Math.max(1, window.kelto.steps));
  console.log(`main thread: ${timing.toFixed(3)} ms a step that runs frames`);

  // Escape pauses: the computer players' turns that follow the shot stand still, but for the
  // tanks' probe pixels, which change colour every frame.
  const differing = () => page.evaluate(() => {
    const canvas = document.getElementById('screen');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    const kept = window.keltoKept;
    window.keltoKept = data;
    let count = 0;
    for (let i = 0; kept && i < data.length; i += 4) {
      if (data[i] !== kept[i] || data[i + 1] !== kept[i + 1] || data[i + 2] !== kept[i + 2]) count++;
    }
    return count;
  });
  await page.keyboard.press('Escape');
  await sleep(300);
  await differing();
  await sleep(2000);
  const whilePaused = await differing();
  check(whilePaused <= 8, `nothing moved in 2 s of the pause (${whilePaused} pixels changed)`);
  await page.keyboard.press('Escape');
  // Whoever's turn it is, Left held turns a tank (or the computer plays on).
  await page.keyboard.down('ArrowLeft');
  let afterResume = 0;
  for (let i = 0; i < 10 && afterResume <= 8; i++) {
    await sleep(500);
    afterResume = await differing();
  }
  await page.keyboard.up('ArrowLeft');
  check(afterResume > 8, `the match went on after Escape resumed it (${afterResume} pixels changed)`);
  check(await page.evaluate(() => window.kelto.state) === 'running', 'Escape did not end the game in play');

  // The mouse chooses too: paused again, a click on Resume, the pause menu's first entry, lets
  // the match go on. The panel stands in the middle of the 640 x 480 picture, its title (28
  // pixels) and margin (12) over rows of 16: with a browser's five entries (no Quit) the first
  // row is 214 to 229; 221 is in it with six entries as well.
  await page.keyboard.press('Escape');
  await sleep(300);
  await differing();
  await sleep(1000);
  const pausedAgain = await differing();
  check(pausedAgain <= 8, `paused again by Escape (${pausedAgain} pixels changed)`);
  const screenBox = await page.locator('#screen').boundingBox();
  await page.mouse.click(screenBox.x + screenBox.width * 320 / 640, screenBox.y + screenBox.height * 221 / 480);
  await page.keyboard.down('ArrowLeft');
  let afterClick = 0;
  for (let i = 0; i < 10 && afterClick <= 8; i++) {
    await sleep(500);
    afterClick = await differing();
  }
  await page.keyboard.up('ArrowLeft');
  check(afterClick > 8, `a click on Resume resumed the match (${afterClick} pixels changed)`);

  // The designed game has no menus: Escape ends it and the page offers a new one.
  const classic = await browser.newPage({ viewport: { width: 1100, height: 700 } });
  classic.on('pageerror', (error) => check(false, `page error: ${error.message}`));
  await classic.goto(address + 'index.html?classic');
  await classic.waitForFunction(() => window.kelto && window.kelto.state === 'running', null, { timeout: 20000 })
    .catch(() => {});
  await classic.click('#screen');
  await classic.keyboard.press('Escape');
  await classic.waitForFunction(() => window.kelto.state === 'ended', null, { timeout: 5000 }).catch(() => {});
  check(await classic.evaluate(() => window.kelto.state === 'ended' && window.kelto.exitCode === 0),
        'Escape ended the designed game with exit code 0');
  check(await classic.isVisible('#ended'), 'the page offers a new game');
  await classic.keyboard.press('Enter');
  await classic.waitForFunction(() => window.kelto && window.kelto.state === 'running', null, { timeout: 20000 })
    .catch(() => {});
  check(await classic.evaluate(() => window.kelto.state) === 'running', 'Enter started a new game');

  if (expectedLandChecksum) {
    const demo = await browser.newPage();
    await demo.goto(address + 'index.html?timedemo=land.krec');
    await demo.waitForFunction(() => window.kelto && window.kelto.state === 'ended', null, { timeout: 120000 })
      .catch(() => {});
    const line = await demo.evaluate(() => window.kelto.output.join(' '));
    console.log(`browser timedemo on a made land: ${line}`);
    check(runsEndingOn(line, expectedLandChecksum) === 2,
          `the replay on a made land ends on the desktop's checksum ${expectedLandChecksum} in the browser too, ` +
          `cold and warm`);
  }

  if (online) {
    await checkOnlineMatch(browser, address, online, check);
    await checkPageHostsRoom(browser, address, online, check);
    await checkSecureRoom(browser, address, online, check);
  } else {
    console.log('online: no desktop relay and game given (--relay, --headless): the page\'s online match is not played');
  }

  await checkPagesThatCannotPlay(browser);
  await checkLandsMadeAlike(browser);
  // The speeds alone on the machine: no other page of ours left drawing frames beside them.
  for (const context of browser.contexts()) {
    for (const open of context.pages()) await open.close();
  }
  if (expectedChecksum) await compareSpeeds(browser);

  let total = 0;
  let zipped = 0;
  for (const name of ['kelto.wasm', 'kelto.js', 'kelto.data', 'index.html', 'kelto-page.js', 'kelto.css']) {
    const bytes = await readFile(path.join(root, name));
    total += bytes.length;
    zipped += gzipSync(bytes, { level: 9 }).length;
  }
  console.log(`download: ${total} bytes, ${zipped} bytes gzipped`);
} finally {
  await browser.close();
  server.close();
}
process.exit(failures === 0 ? 0 : 1);
