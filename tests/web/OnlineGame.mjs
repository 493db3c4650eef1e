// A browser and a desktop game in one online match, on the loopback: a relay (kelto-relay, its
// referee on) and the desktop's headless game hosting with the
// computer at its keys; the page joins with ?join= and the computer at its own seat's keys.
// Then the other way round: the page hosts from its menus (checkPageHostsRoom, below); and
// both over TLS (checkSecureRoom).
// Part of the way through, the page is made hidden as a browser hides a background tab (hidden,
// no animation frames): its game must go on by the page's ticker, or the desktop would wait for
// it. Both games end when the match is won; their recordings (every key and a state checksum
// every 60 frames) must be the same bytes, and the referee must have agreed with both at every
// checksum. Every process is bounded in time and ends with the check.
import { execFileSync, spawn } from 'node:child_process';
import { copyFile, mkdtemp, mkdir, readFile, rm } from 'node:fs/promises';
import { tmpdir } from 'node:os';
import path from 'node:path';

const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));
const MATCH_SECONDS = 240;
const HIDDEN_SECONDS = 6;

// A program's output as it comes, and a wait for a line of it.
function start(program, args, options) {
  const child = spawn(program, args, { ...options, stdio: ['ignore', 'pipe', 'pipe'] });
  const said = { out: '', err: '', status: null };
  child.stdout.on('data', (data) => { said.out += data; });
  child.stderr.on('data', (data) => { said.err += data; });
  const exited = new Promise((resolve) => child.on('exit', (code) => { said.status = code; resolve(code); }));
  return { child, said, exited };
}

async function waitFor(test, seconds) {
  for (let i = 0; i < seconds * 10; i++) {
    const value = test();
    if (value) return value;
    await sleep(100);
  }
  return null;
}

// What a background tab gets: hidden, and no more animation frames until shown again.
async function hide(page) {
  await page.evaluate(() => {
    window.keltoHeldFrames = [];
    window.keltoShownFrame = window.requestAnimationFrame;
    window.requestAnimationFrame = (callback) => { window.keltoHeldFrames.push(callback); return 0; };
    Object.defineProperty(document, 'hidden', { configurable: true, get: () => true });
    Object.defineProperty(document, 'visibilityState', { configurable: true, get: () => 'hidden' });
    document.dispatchEvent(new Event('visibilitychange'));
  });
}

async function show(page) {
  await page.evaluate(() => {
    delete document.hidden;
    delete document.visibilityState;
    window.requestAnimationFrame = window.keltoShownFrame;
    document.dispatchEvent(new Event('visibilitychange'));
    for (const callback of window.keltoHeldFrames) window.requestAnimationFrame(callback);
  });
}

async function canvasHash(page) {
  return page.evaluate(() => {
    const canvas = document.getElementById('screen');
    const data = canvas.getContext('2d').getImageData(0, 0, canvas.width, canvas.height).data;
    let hash = 2166136261;
    for (let i = 0; i < data.length; i++) hash = Math.imul(hash ^ data[i], 16777619) >>> 0;
    return hash;
  });
}

// A scratch folder for one match: the bundled pictures, and a home of its own for every game
// started in it. Returns { work, environment }.
async function scratchRun(prefix, programs) {
  const work = await mkdtemp(path.join(tmpdir(), prefix));
  const home = path.join(work, 'home');
  await mkdir(path.join(home, '.config'), { recursive: true });
  for (const picture of ['background.bmp', 'land.bmp', 'tank.bmp', 'bomb.bmp']) {
    await copyFile(path.join(programs.assets, picture), path.join(work, picture));
  }
  const environment = { ...process.env, HOME: home, XDG_CONFIG_HOME: path.join(home, '.config'),
                        XDG_DATA_HOME: path.join(home, '.local/share'), XDG_PICTURES_DIR: path.join(home, 'Pictures') };
  return { work, environment };
}

// `programs`: { relay, headless, assets }; `check(ok, message)` counts the failures.
export async function checkOnlineMatch(browser, pageAddress, programs, check) {
  const { work, environment } = await scratchRun('kelto-online-web-', programs);
  const relay = start(programs.relay, ['--address', '127.0.0.1', '--port', '0',
                                       '--referee', programs.headless, '--referee-data', work],
                      { cwd: work, env: environment });
  let host = null;
  let page = null;
  try {
    const port = await waitFor(() => (/listening on port (\d+)/.exec(relay.said.out) || [])[1], 10);
    check(port, `the relay started (${relay.said.out.trim() || relay.said.err.trim()})`);
    if (!port) return;
    host = start(programs.headless, ['--online', '--computer-plays-me', '--seed', '1', '--frame-ms', '10', '--',
                                     '--host', '--relay', `ws://127.0.0.1:${port}`, '--name', 'DESKTOP',
                                     '--record', path.join(work, 'desktop.krec')],
                 { cwd: work, env: environment });
    const join = await waitFor(() => (/friends join with: kelto --join (ws:\S+)/.exec(host.said.out) || [])[1], 20);
    check(join, `the desktop opened a room (${join || host.said.err.trim()})`);
    if (!join) return;

    page = await browser.newPage();
    page.on('pageerror', (error) => check(false, `online page error: ${error.message}`));
    await page.addInitScript(() => { window.keltoTest = { computerPlaysMe: true, endWhenWon: true }; });
    await page.goto(`${pageAddress}index.html?join=${encodeURIComponent(join)}&name=BROWSER&record=/online.krec`);
    const frames = () => page.evaluate(() => window.kelto.frames);
    const playing = await page.waitForFunction(() => window.kelto && window.kelto.frames > 600, null,
                                               { timeout: 60000 }).then(() => true, () => false);
    check(playing, `the page joined and played 600 frames (${await frames()})`);

    await hide(page);
    const hiddenFrom = await frames();
    const hiddenPicture = await canvasHash(page);
    await sleep(HIDDEN_SECONDS * 1000);
    const hiddenFrames = (await frames()) - hiddenFrom;
    const stillPicture = await canvasHash(page);
    await show(page);
    // Lockstep holds the page to the desktop's pace; a stalled page would play none at all.
    check(hiddenFrames >= HIDDEN_SECONDS * 40,
          `the hidden page played on: ${hiddenFrames} frames in ${HIDDEN_SECONDS} s`);
    check(hiddenPicture === stillPicture, 'the hidden page drew nothing on its canvas meanwhile');

    const hostStatus = await Promise.race([host.exited, sleep(MATCH_SECONDS * 1000).then(() => 'timeout')]);
    const won = (/the match is won after (\d+) frames/.exec(host.said.out) || [])[1];
    check(hostStatus === 0 && won, `the desktop's match was won (after ${won} frames, exit ${hostStatus}): ` +
                                   host.said.err.trim().split('\n').slice(-2).join(' / '));
    await page.waitForFunction(() => window.kelto.exitCode !== null, null, { timeout: 30000 }).catch(() => {});
    const ended = await page.evaluate(() => ({ exitCode: window.kelto.exitCode, output: window.kelto.output.join(' / ') }));
    check(ended.exitCode === 0, `the page's game ended with the match (exit ${ended.exitCode}: ${ended.output})`);

    const browserRecording = Buffer.from(await page.evaluate(() => Array.from(FS.readFile('/online.krec'))));
    const desktopRecording = await readFile(path.join(work, 'desktop.krec'));
    check(browserRecording.length > 0 && browserRecording.equals(desktopRecording),
          `the page's recording is the desktop's, byte for byte (${browserRecording.length} and ` +
          `${desktopRecording.length} bytes)`);
    const verdict = await waitFor(() => (/the referee stayed on.*agreed at (\d+) checksums/.exec(relay.said.err) || [])[1], 10);
    check(verdict && !/out of sync|majority/.test(relay.said.err),
          `the referee agreed with both games at ${verdict} checksums: ` +
          relay.said.err.trim().split('\n').slice(-1)[0]);
  } finally {
    if (page) await page.close();
    if (host && host.said.status === null) host.child.kill('SIGKILL');
    relay.child.kill('SIGTERM');
    await Promise.race([relay.exited, sleep(3000)]);
    if (relay.said.status === null) relay.child.kill('SIGKILL');
    await rm(work, { recursive: true, force: true });
  }
}

// The key that types `c` in an address on the page's menus.
const keyOf = (c) => (/[0-9]/.test(c) ? `Digit${c}` : /[a-z]/i.test(c) ? `Key${c.toUpperCase()}`
  : { '.': 'Period', ':': 'Semicolon', '/': 'Slash' }[c]);

// Keys one at a time, a frame or two apart, as the menus read a key's going down once a frame.
async function keys(page, names) {
  for (const name of names) {
    await page.keyboard.press(name, { delay: 60 });
    await sleep(60);
  }
}

// The page hosts: on its title, Online, then the relay's address typed in Relay, then Host; the
// desktop's headless game joins the room the page prints, with the computer at both games'
// keys. The relay lets only the page's own origin in, and the desktop's game, which sends none.
// Both play a while through the relay, the page hidden for part of it, its referee agreeing
// with them, and leave.
export async function checkPageHostsRoom(browser, pageAddress, programs, check) {
  const { work, environment } = await scratchRun('kelto-page-host-', programs);
  const origin = new URL(pageAddress).origin;
  const relay = start(programs.relay, ['--address', '127.0.0.1', '--port', '0', '--origin', origin,
                                       '--referee', programs.headless, '--referee-data', work],
                      { cwd: work, env: environment });
  let guest = null;
  let page = null;
  try {
    const port = await waitFor(() => (/listening on port (\d+)/.exec(relay.said.out) || [])[1], 10);
    check(port, `the relay started (${relay.said.out.trim() || relay.said.err.trim()})`);
    if (!port) return;
    page = await browser.newPage();
    page.on('pageerror', (error) => check(false, `hosting page error: ${error.message}`));
    await page.addInitScript(() => { window.keltoTest = { computerPlaysMe: true }; });
    await page.goto(`${pageAddress}index.html?name=PAGE`);
    await page.waitForFunction(() => window.kelto && window.kelto.state === 'running', null, { timeout: 20000 })
      .catch(() => {});
    await page.click('#screen');
    // Up from Play goes round to Online, the title's last entry on a page; Relay is second.
    await keys(page, ['ArrowUp', 'Enter', 'ArrowDown', 'Enter']);
    await keys(page, [...`127.0.0.1:${port}`].map(keyOf));
    await keys(page, ['Enter', 'ArrowDown', 'Enter']);
    const said = () => page.evaluate(() => window.kelto.output.join('\n'));
    // The page's output is read through the browser: polled here, as waitFor takes no promises.
    let join = null;
    for (let i = 0; i < 200 && !join; i++) {
      join = (/friends join with: kelto --join (ws:\S+)/.exec(await said()) || [])[1];
      if (!join) await sleep(100);
    }
    check(join && join.startsWith(`ws://127.0.0.1:${port}/`), `the page opened a room on the relay (${join || await said()})`);
    if (!join) return;
    // 1200 frames of the desktop's at 16 ms: 20 seconds, some of them waiting for the page.
    guest = start(programs.headless, ['--online', '--computer-plays-me', '--frame-ms', '16', '--frames', '1200', '--',
                                      '--join', join, '--name', 'DESKTOP'], { cwd: work, env: environment });
    // Hidden, the hosting page plays on by its ticker too, or the desktop would wait for it.
    await sleep(3000);
    await hide(page);
    const hiddenFrom = await page.evaluate(() => window.kelto.frames);
    await sleep(HIDDEN_SECONDS * 1000);
    const hiddenFrames = (await page.evaluate(() => window.kelto.frames)) - hiddenFrom;
    await show(page);
    check(hiddenFrames >= HIDDEN_SECONDS * 40,
          `the hidden hosting page played on: ${hiddenFrames} frames in ${HIDDEN_SECONDS} s`);
    const guestStatus = await Promise.race([guest.exited, sleep(60000).then(() => 'timeout')]);
    check(guestStatus === 0 && !/out of sync/.test(guest.said.err),
          `the desktop joined the page's room and played with it (exit ${guestStatus}): ` +
          guest.said.err.trim().split('\n').slice(-2).join(' / '));
    await sleep(2000); // the referee catching up with the last blocks
    await page.close();
    page = null;
    const verdict = await waitFor(() => (/the referee stayed on.*agreed at (\d+) checksums/.exec(relay.said.err) || [])[1], 10);
    check(verdict >= 5 && !/out of sync|majority/.test(relay.said.err),
          `the referee agreed with the page and the desktop at ${verdict} checksums: ` +
          relay.said.err.trim().split('\n').slice(-1)[0]);
  } finally {
    if (page) await page.close();
    if (guest && guest.said.status === null) guest.child.kill('SIGKILL');
    relay.child.kill('SIGTERM');
    await Promise.race([relay.exited, sleep(3000)]);
    if (relay.said.status === null) relay.child.kill('SIGKILL');
    await rm(work, { recursive: true, force: true });
  }
}

// Over TLS: a relay serving wss:// with a certificate made for this test (for localhost), the
// desktop's game hosting there trusting it through KELTO_RELAY_CA, and the page joining with a
// wss:// address in a browser context told to take the certificate, as a browser would take a
// relay's real one. Both play a while, the relay's referee agreeing with them.
export async function checkSecureRoom(browser, pageAddress, programs, check) {
  const { work, environment: scratch } = await scratchRun('kelto-secure-room-', programs);
  const certificate = path.join(work, 'relay.pem');
  const key = path.join(work, 'relay.key');
  execFileSync('openssl', ['req', '-x509', '-newkey', 'ec', '-pkeyopt', 'ec_paramgen_curve:prime256v1', '-nodes',
                           '-days', '1', '-subj', '/CN=localhost', '-addext', 'subjectAltName=DNS:localhost',
                           '-keyout', key, '-out', certificate], { stdio: 'ignore' });
  const environment = { ...scratch, KELTO_RELAY_CA: certificate };
  const relay = start(programs.relay, ['--address', '127.0.0.1', '--port', '0', '--cert', certificate, '--key', key,
                                       '--referee', programs.headless, '--referee-data', work],
                      { cwd: work, env: environment });
  let host = null;
  let context = null;
  try {
    const port = await waitFor(() => (/listening on port (\d+)/.exec(relay.said.out) || [])[1], 10);
    check(port, `the relay started over TLS (${relay.said.out.trim() || relay.said.err.trim()})`);
    if (!port) return;
    host = start(programs.headless, ['--online', '--computer-plays-me', '--frame-ms', '16', '--frames', '900', '--',
                                     '--host', '--relay', `wss://localhost:${port}`, '--name', 'DESKTOP'],
                 { cwd: work, env: environment });
    const join = await waitFor(() => (/friends join with: kelto --join (wss:\S+)/.exec(host.said.out) || [])[1], 20);
    check(join, `the desktop opened a room over wss:// (${join || host.said.err.trim()})`);
    if (!join) return;
    context = await browser.newContext({ ignoreHTTPSErrors: true });
    const page = await context.newPage();
    page.on('pageerror', (error) => check(false, `secure page error: ${error.message}`));
    await page.addInitScript(() => { window.keltoTest = { computerPlaysMe: true }; });
    await page.goto(`${pageAddress}index.html?join=${encodeURIComponent(join)}&name=BROWSER`);
    const playing = await page.waitForFunction(() => window.kelto && window.kelto.frames > 300, null,
                                               { timeout: 60000 }).then(() => true, () => false);
    check(playing, `the page joined over wss:// and played 300 frames (${await page.evaluate(() => window.kelto.output.join(' / '))})`);
    const hostStatus = await Promise.race([host.exited, sleep(60000).then(() => 'timeout')]);
    check(hostStatus === 0 && !/out of sync/.test(host.said.err),
          `the desktop played with the page over wss:// (exit ${hostStatus}): ` +
          host.said.err.trim().split('\n').slice(-2).join(' / '));
    await context.close();
    context = null;
    // Both games reported their checksums through the relay, and its referee agreed with them.
    const verdict = await waitFor(() => (/the referee stayed on.*agreed at (\d+) checksums/.exec(relay.said.err) || [])[1], 10);
    check(verdict >= 3 && !/out of sync|majority/.test(relay.said.err),
          `the referee agreed with both games over wss:// at ${verdict} checksums: ` +
          relay.said.err.trim().split('\n').slice(-1)[0]);
  } finally {
    if (context) await context.close();
    if (host && host.said.status === null) host.child.kill('SIGKILL');
    relay.child.kill('SIGTERM');
    await Promise.race([relay.exited, sleep(3000)]);
    if (relay.said.status === null) relay.child.kill('SIGKILL');
    await rm(work, { recursive: true, force: true });
  }
}
